#pragma once
// Generated catalogues of any size, in the shape of a real params.cfg, for benchmarks and
// tests that need more entries than a fixture file holds.

#include <string>

// What a generated catalogue holds.
struct TSyntheticCatalogue
{
    int Devices = 1;    // device entries, of the types 0, 1, 2, ...
    int Parameters = 1; // parameter entries in each device entry
    // Entries named in the wrong letter case ("прибор", "параметр"): the same document
    // shape, but not one device or parameter entry for the catalogue.
    bool Misnamed = false;
};

// A catalogue document (Windows-1251) with a declaration, a comment up front and a little
// element text, as a real file has. Every device entry covers 1.00-1.99 and 2.05; every
// fifth parameter only 1.50-1.99.
std::string MakeSyntheticCatalogue(const TSyntheticCatalogue &shape);
