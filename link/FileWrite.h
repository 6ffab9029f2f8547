#pragma once
// Writing a file whole or not at all: the text goes to a temporary file beside it, reaches the
// disk, and only then is renamed over the old file, so a failed or interrupted write (a full
// disk, a power cut) leaves the older file whole and a reader never sees half of one.

#include <string>

// Writes `text` to `path` through "<path>.tmp"; false with the errno that tells why in `error`
// (the temporary file is then removed).
bool WriteFileWhole(const std::string &path, const std::string &text, int &error);
