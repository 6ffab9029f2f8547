// The fuzz target's stored inputs, fed again through its entry point: the target checks every
// answer of the navigator and the catalogue against a plain walk over the tree, and traps on
// a disagreement. The inputs must also reach what they are there for: device entries that the
// catalogue offers, with parameter rows.

#include "fuzz/fuzz_catalogue_xml.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

TEST(FuzzRegressions, StoredInputsAgreeWithAPlainWalk)
{
    const std::filesystem::path dir = std::filesystem::path(LINVAR_TEST_DATA) / "catalogue-fuzz";
    int fed = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()),
            0);
        ++fed;
    }
    EXPECT_GT(fed, 0);
    const TFuzzCatalogueReach reach = FuzzCatalogueReach();
    EXPECT_TRUE(reach.Parsed);
    EXPECT_TRUE(reach.Offered);
    EXPECT_GT(reach.Rows, 0u);
}

} // namespace
