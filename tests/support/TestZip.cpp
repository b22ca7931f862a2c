#include "tests/support/TestZip.h"

#include "tests/support/LittleEndian.h"

#include <zlib.h>

namespace qmtest {

namespace {

std::string RawDeflate(const std::string& data) {
    z_stream s = {};
    // Negative window bits: a raw deflate stream, as ZIP stores it.
    deflateInit2(&s, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, static_cast<uLong>(data.size())), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(&out[0]);
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

} // namespace

std::string BuildZip(const std::vector<ZipEntry>& entries, int64_t declaredCount) {
    const uint32_t kDosDate = (0 << 9) | (1 << 5) | 1; // 1980-01-01
    std::string archive;
    std::string central;
    for (const ZipEntry& e : entries) {
        const bool directory = !e.name.empty() && (e.name.back() == '/' || e.name.back() == '\\');
        const bool deflated = e.deflate && !directory;
        std::string stored = deflated ? RawDeflate(e.data) : e.data;
        if (e.brokenDeflate && !stored.empty())
            stored[0] = 0x07; // final block of the reserved type 3
        uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                                   static_cast<uInt>(e.data.size())));
        if (e.wrongCrc)
            crc += 1;
        uint32_t size = e.declaredSize >= 0 ? static_cast<uint32_t>(e.declaredSize)
                                            : static_cast<uint32_t>(e.data.size());
        uint32_t offset = static_cast<uint32_t>(archive.size());
        const uint32_t flags = static_cast<uint32_t>((e.utf8Name ? 0x800 : 0) | e.extraFlags);
        const uint32_t method =
            e.method >= 0 ? static_cast<uint32_t>(e.method) : (deflated ? 8u : 0u);

        Put32(archive, 0x04034b50);
        Put16(archive, 20);
        Put16(archive, flags);
        Put16(archive, method);
        Put16(archive, 0);
        Put16(archive, kDosDate);
        Put32(archive, crc);
        Put32(archive, static_cast<uint32_t>(stored.size()));
        Put32(archive, size);
        Put16(archive, static_cast<uint32_t>(e.name.size()));
        Put16(archive, 0);
        archive += e.name;
        archive += stored;

        Put32(central, 0x02014b50);
        Put16(central, 20);
        Put16(central, 20);
        Put16(central, flags);
        Put16(central, method);
        Put16(central, 0);
        Put16(central, kDosDate);
        Put32(central, crc);
        Put32(central, static_cast<uint32_t>(stored.size()));
        Put32(central, size);
        Put16(central, static_cast<uint32_t>(e.name.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, directory ? 0x10 : 0x20);
        Put32(central, offset);
        central += e.name;
    }
    uint32_t centralOffset = static_cast<uint32_t>(archive.size());
    archive += central;
    uint32_t count = declaredCount >= 0 ? static_cast<uint32_t>(declaredCount)
                                        : static_cast<uint32_t>(entries.size());
    Put32(archive, 0x06054b50);
    Put16(archive, 0);
    Put16(archive, 0);
    Put16(archive, count);
    Put16(archive, count);
    Put32(archive, static_cast<uint32_t>(central.size()));
    Put32(archive, centralOffset);
    Put16(archive, 0);
    return archive;
}

std::string NoiseBytes(size_t size, uint32_t seed) {
    std::string out(size, '\0');
    uint32_t x = seed ? seed : 1;
    for (size_t i = 0; i < size; ++i) {
        // xorshift32: fast, and its output does not compress.
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = static_cast<char>(x & 0xFF);
    }
    return out;
}

} // namespace qmtest
