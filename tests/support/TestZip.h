// Builds ZIP archives in memory for the tests of the skin archive reader and
// of the install engine, including damaged ones that no real archiver would
// write: wrong CRCs, sizes that lie, unknown methods and flags, broken deflate
// data, an entry count larger than the directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qmtest {

// Tests write entries as aggregates ({name, data, deflate, wrongCrc, ...}), so
// new fields go at the end.
struct ZipEntry {
    std::string name; // bytes as stored (the ANSI code page unless utf8Name)
    std::string data;
    bool deflate = true; // names ending in a slash are directories, always stored
    // Faults.
    bool wrongCrc = false;      // the stored CRC does not match the data
    int64_t declaredSize = -1;  // uncompressed size in the headers; -1: the real one
    bool brokenDeflate = false; // the compressed data starts with an invalid block
    bool utf8Name = false;      // the name is flagged as UTF-8
    uint16_t extraFlags = 0;    // added to the general purpose flags (1: encrypted)
    int method = -1;            // compression method in the headers; -1: the real one
};

// The whole archive; declaredCount overrides the entry count of the end record.
std::string BuildZip(const std::vector<ZipEntry>& entries, int64_t declaredCount = -1);

// Data that deflate cannot shrink (a fixed pseudo-random sequence).
std::string NoiseBytes(size_t size, uint32_t seed);

} // namespace qmtest
