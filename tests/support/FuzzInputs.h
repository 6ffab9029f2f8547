#pragma once
// Feeds a fuzz target's stored inputs through its entry point again, so that every input that
// once found a fault stays a regression test in the normal suite.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// The fuzz entry point's form: 0 for an input it took without a fault.
using TFuzzTarget = int (*)(const uint8_t *data, size_t size);

// Runs `target` on every file of `folder`, expecting 0 from each; returns how many it fed.
inline int FeedFuzzInputs(const std::filesystem::path &folder, TFuzzTarget target)
{
    int fed = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(target(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()), 0);
        ++fed;
    }
    return fed;
}
