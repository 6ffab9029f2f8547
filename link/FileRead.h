#pragma once
// Reading a whole file whose size has a bound, without reading more than one byte past the
// bound: a file that is far too large (or a device that never ends) costs no more to refuse.

#include <cstddef>
#include <string>

// How reading a file whole came out.
enum class TFileReadFault
{
    None,       // read whole
    NotOpened,  // open() failed (ENOENT for a missing file); the errno is given
    NotRegular, // with `regularOnly`: a folder, a pipe or a device
    NotRead,    // a read failed (EISDIR for a folder); the errno is given
    TooLarge    // more than the bound
};

// Reads the file at `path` into `text` when it holds at most `maxBytes`; otherwise the fault,
// with the errno in `error` where one tells why (`text` is then empty). With `regularOnly`,
// anything but a regular file is refused before a byte is read, and a pipe without a writer
// does not hold the open.
TFileReadFault ReadFileBounded(const std::string &path, size_t maxBytes, bool regularOnly,
                               std::string &text, int &error);
