#include "catalogue/TextPlace.h"

TTextPlace TextPlaceAt(std::string_view text, size_t offset)
{
    TTextPlace place;
    const size_t end = offset < text.size() ? offset : text.size();
    for (size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++place.Line;
            place.Column = 1;
        } else {
            ++place.Column;
        }
    }
    return place;
}
