#pragma once
// A place in a text as people look for it in an editor: line and column.

#include <cstddef>
#include <string_view>

// Line and column, both counted from 1; the column counts bytes, which are characters in the
// catalogue's 8-bit text.
struct TTextPlace
{
    size_t Line = 1;
    size_t Column = 1;
};

// The place of byte `offset` of `text`; an offset at or past the end is the place just after
// the last character.
TTextPlace TextPlaceAt(std::string_view text, size_t offset);
