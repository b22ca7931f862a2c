#include "skinui/core/Crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace {

uint32_t Reference(const std::vector<unsigned char>& data, size_t from, size_t size) {
    return static_cast<uint32_t>(crc32(0, data.data() + from, static_cast<uInt>(size)));
}

} // namespace

// The folding path takes whole 16-byte blocks from 64 bytes on and leaves the
// rest to the tables, so the lengths around those edges, at every alignment,
// and a check continued piece by piece as the writer does must all agree
// with zlib's.
TEST(Crc32, AgreesWithZlibAtEveryLengthAlignmentAndSplit) {
    std::mt19937 rng(20261211);
    std::vector<unsigned char> data(1 << 20);
    for (unsigned char& b : data)
        b = static_cast<unsigned char>(rng());
    for (size_t size : {0u, 1u, 7u, 8u, 15u, 16u, 63u, 64u, 65u, 79u, 80u, 127u, 128u, 129u, 255u,
                        4096u, 65536u + 13u, 1u << 20}) {
        for (size_t offset : {0u, 1u, 3u, 8u, 15u}) {
            if (offset + size > data.size())
                continue;
            SCOPED_TRACE(testing::Message() << size << " bytes at " << offset);
            EXPECT_EQ(Reference(data, offset, size), SkinUI::Crc32(0, data.data() + offset, size));
        }
    }
    const size_t pieces[] = {1, 63, 64, 100, 4096, 17, 262144};
    uint32_t crc = 0;
    size_t at = 0;
    for (size_t piece : pieces) {
        crc = SkinUI::Crc32(crc, data.data() + at, piece);
        at += piece;
    }
    EXPECT_EQ(Reference(data, 0, at), crc);
    // All zeros and all ones: the folding must not lose the register's
    // starting value.
    const std::vector<unsigned char> zeros(1000, 0), ones(1000, 0xFF);
    EXPECT_EQ(Reference(zeros, 0, zeros.size()), SkinUI::Crc32(0, zeros.data(), zeros.size()));
    EXPECT_EQ(Reference(ones, 0, ones.size()), SkinUI::Crc32(0, ones.data(), ones.size()));
}
