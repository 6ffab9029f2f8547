#pragma once
// The catalogue fuzz target's entry point, and what the inputs fed so far reached, for the
// regression test that feeds the stored inputs.

#include <cstddef>
#include <cstdint>

// What the inputs fed so far reached.
struct TFuzzCatalogueReach
{
    bool Parsed = false;  // some document parsed
    bool Offered = false; // some device entry was offered for the chosen type and version
    size_t Rows = 0;      // most parameter rows one input's device got
};

// Runs one input; traps when an answer disagrees with the plain walk over the tree.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// What the inputs fed so far reached.
TFuzzCatalogueReach FuzzCatalogueReach();
