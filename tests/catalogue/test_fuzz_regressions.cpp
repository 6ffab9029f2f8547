// Inputs the fuzzer once broke the reader with, fed again through the fuzz entry point.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

TEST(FuzzRegressions, StoredInputsRunCleanly)
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
}

} // namespace
