#pragma once
// The few POSIX calls that the shared test support uses and Windows lacks, in their Windows
// spelling. Only the Windows build of the tests includes this (forced, before any source).

#ifdef _WIN32

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <direct.h>
#include <io.h>

// Replaces the trailing XXXXXX of `pattern` and creates that folder; nullptr on failure.
inline char *mkdtemp(char *pattern)
{
    const size_t length = std::strlen(pattern);
    if (_mktemp_s(pattern, length + 1) != 0 || _mkdir(pattern) != 0) {
        return nullptr;
    }
    return pattern;
}

inline int setenv(const char *name, const char *value, int)
{
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes a variable on Windows.
inline int unsetenv(const char *name)
{
    return _putenv_s(name, "") == 0 ? 0 : -1;
}

#endif
