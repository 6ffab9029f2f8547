#pragma once
// The element and attribute names of params.cfg, as the Windows-1251 bytes the file holds:
// the one place that spells them, for the catalogue and for what generates catalogues.

#include "catalogue/DeviceCatalogue.h"

#include <string>

// The catalogue file's names.
struct TCatalogueNames
{
    std::string Device = Utf8ToCp1251("Прибор");
    std::string Parameter = Utf8ToCp1251("Параметр");
    std::string Type = Utf8ToCp1251("тип");
    std::string Name = Utf8ToCp1251("название");
    std::string Versions = Utf8ToCp1251("версии");
    std::string Index = Utf8ToCp1251("индекс");
    std::string Divisor = Utf8ToCp1251("делитель");
    std::string Minimum = Utf8ToCp1251("минимум");
    std::string Maximum = Utf8ToCp1251("максимум");
    std::string ByDefault = Utf8ToCp1251("стандартно");
};

// The names, converted once.
inline const TCatalogueNames &CatalogueNames()
{
    static const TCatalogueNames names;
    return names;
}
