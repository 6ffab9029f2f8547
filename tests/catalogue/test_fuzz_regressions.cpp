// The fuzz target's stored inputs, fed again through its entry point: the target checks every
// answer of the navigator and the catalogue against a plain walk over the tree, and traps on
// a disagreement. The inputs must also reach what they are there for: device entries that the
// catalogue offers, with parameter rows.

#include "catalogue/fuzz/fuzz_catalogue_xml.h"
#include "tests/support/FuzzInputs.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(FuzzRegressions, StoredInputsAgreeWithAPlainWalk)
{
    EXPECT_GT(FeedFuzzInputs(std::filesystem::path(LINVAR_TEST_DATA) / "catalogue-fuzz",
                             LLVMFuzzerTestOneInput),
              0);
    const TFuzzCatalogueReach reach = FuzzCatalogueReach();
    EXPECT_TRUE(reach.Parsed);
    EXPECT_TRUE(reach.Offered);
    EXPECT_GT(reach.Rows, 0u);
}

} // namespace
