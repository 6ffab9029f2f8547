#include "link/FileWrite.h"

#include <cerrno>
#include <cstdio>
#ifdef _WIN32
#include "link/WindowsApi.h"
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// The errno whose text tells the operator why replacing the file failed.
int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    default:
        return EIO;
    }
}
#endif

// Flushes the stream and has the system put the file's bytes on the disk: a rename that
// reaches the disk before the data would leave an empty file after a power cut.
bool FlushToDisk(std::FILE *file)
{
#ifdef _WIN32
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
#else
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
#endif
}

// Renames `from` over `to`, replacing it; false with the errno.
bool Replace(const std::string &from, const std::string &to, int &error)
{
#ifdef _WIN32
    // rename() on Windows refuses to replace a file that exists, which saving over an earlier
    // file always does.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = ErrnoOf(GetLastError());
    return false;
#else
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    error = errno;
    return false;
#endif
}

} // namespace

bool WriteFileWhole(const std::string &path, const std::string &text, int &error)
{
    error = 0;
    const std::string temporary = path + ".tmp";
    std::FILE *file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = errno;
        return false;
    }
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size())
        error = errno ? errno : EIO;
    if (error == 0 && !FlushToDisk(file))
        error = errno ? errno : EIO;
    if (std::fclose(file) != 0 && error == 0)
        error = errno ? errno : EIO;
    if (error == 0 && Replace(temporary, path, error))
        return true;
    std::remove(temporary.c_str());
    return false;
}
