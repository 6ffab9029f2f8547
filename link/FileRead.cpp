#include "link/FileRead.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

#ifdef _WIN32
// A file opened without O_BINARY would have its line ends translated.
constexpr int ReadFlags = O_RDONLY | O_BINARY;
constexpr int NoWaitFlag = 0;
#else
constexpr int ReadFlags = O_RDONLY | O_CLOEXEC;
// A pipe with no writer would hold open() until one came; without waiting, fstat refuses it.
constexpr int NoWaitFlag = O_NONBLOCK;
#endif

} // namespace

TFileReadFault ReadFileBounded(const std::string &path, size_t maxBytes, bool regularOnly,
                               std::string &text, int &error)
{
    text.clear();
    error = 0;
    const int fd = open(path.c_str(), ReadFlags | (regularOnly ? NoWaitFlag : 0));
    if (fd < 0) {
        error = errno;
        return TFileReadFault::NotOpened;
    }
    struct stat status = {};
    if (regularOnly && (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        close(fd);
        return TFileReadFault::NotRegular;
    }
    // One byte more than allowed tells a file that is too large without reading all of it.
    std::string buffer(maxBytes + 1, '\0');
    size_t length = 0;
    while (length < buffer.size()) {
        const auto got =
            read(fd, buffer.data() + length, static_cast<unsigned>(buffer.size() - length));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        length += static_cast<size_t>(got);
    }
    close(fd);
    if (error != 0)
        return TFileReadFault::NotRead;
    if (length > maxBytes)
        return TFileReadFault::TooLarge;
    buffer.resize(length);
    text = std::move(buffer);
    return TFileReadFault::None;
}
