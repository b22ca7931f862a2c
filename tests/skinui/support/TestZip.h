// A tiny ZIP writer for tests of the skin archive: stored or deflated entries,
// with knobs to damage what a real archiver would never write.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace skinui_test {

struct ZipEntrySpec {
    std::string name; // bytes as stored
    std::string data;
    bool deflate = true;
    bool utf8Name = false;
    uint16_t extraFlags = 0;   // added to the general purpose flags
    bool overrideSize = false; // record `declaredSize` as the uncompressed size
    uint32_t declaredSize = 0;
    bool corruptCrc = false; // record a CRC that does not match the data
    bool overrideMethod = false;
    uint16_t method = 0;
};

inline std::string DeflateRaw(const std::string& data) {
    z_stream zs = {};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

inline void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

inline void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

inline std::string BuildZip(const std::vector<ZipEntrySpec>& entries) {
    std::string out;
    std::string central;
    for (const ZipEntrySpec& e : entries) {
        const std::string payload = e.deflate ? DeflateRaw(e.data) : e.data;
        uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                             static_cast<uInt>(e.data.size()));
        if (e.corruptCrc)
            crc ^= 0x5A5A5A5A;
        const uint16_t method = e.overrideMethod ? e.method : (e.deflate ? 8 : 0);
        const uint16_t flags = static_cast<uint16_t>((e.utf8Name ? 0x800 : 0) | e.extraFlags);
        const uint32_t size =
            e.overrideSize ? e.declaredSize : static_cast<uint32_t>(e.data.size());
        const uint32_t offset = static_cast<uint32_t>(out.size());

        Put32(out, 0x04034b50);
        Put16(out, 20);
        Put16(out, flags);
        Put16(out, method);
        Put16(out, 0);    // time
        Put16(out, 0x21); // date
        Put32(out, crc);
        Put32(out, static_cast<uint32_t>(payload.size()));
        Put32(out, size);
        Put16(out, static_cast<uint32_t>(e.name.size()));
        Put16(out, 0);
        out += e.name;
        out += payload;

        Put32(central, 0x02014b50);
        Put16(central, 20);
        Put16(central, 20);
        Put16(central, flags);
        Put16(central, method);
        Put16(central, 0);
        Put16(central, 0x21);
        Put32(central, crc);
        Put32(central, static_cast<uint32_t>(payload.size()));
        Put32(central, size);
        Put16(central, static_cast<uint32_t>(e.name.size()));
        Put16(central, 0); // extra
        Put16(central, 0); // comment
        Put16(central, 0); // disk
        Put16(central, 0); // internal attributes
        Put32(central, 0); // external attributes
        Put32(central, offset);
        central += e.name;
    }
    const uint32_t centralOffset = static_cast<uint32_t>(out.size());
    out += central;
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(entries.size()));
    Put16(out, static_cast<uint32_t>(entries.size()));
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, centralOffset);
    Put16(out, 0);
    return out;
}

} // namespace skinui_test
