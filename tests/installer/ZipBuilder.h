// Builds ZIP archives in memory for the install engine's tests, including
// deliberately damaged ones: wrong CRCs, sizes that lie, broken deflate data,
// an entry count larger than the directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qmtest {

struct ZipEntry {
    std::string name; // as stored, in the ANSI code page
    std::string data;
    bool deflate = true;
    // Faults.
    bool wrongCrc = false;      // the stored CRC is off by one
    int64_t declaredSize = -1;  // uncompressed size in the headers; -1: the real one
    bool brokenDeflate = false; // the compressed data starts with an invalid block
};

// The whole archive; declaredCount overrides the entry count of the end record.
std::string BuildZip(const std::vector<ZipEntry>& entries, int64_t declaredCount = -1);

// Data that deflate cannot shrink (a fixed pseudo-random sequence).
std::string NoiseBytes(size_t size, uint32_t seed);

} // namespace qmtest
