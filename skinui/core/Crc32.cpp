#include "skinui/core/Crc32.h"

namespace SkinUI {

namespace {

// Eight tables, so that eight bytes are taken a step: the install checks
// every byte it writes, and a byte at a time would cost it a noticeable share
// of its time. Made on first use, so they take no room in the program file.
struct CrcTables {
    uint32_t t[8][256];
    CrcTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int k = 1; k < 8; ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
};

const CrcTables& Tables() {
    static const CrcTables tables;
    return tables;
}

uint32_t Load32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
    const auto& t = Tables().t;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint32_t c = ~crc;
    for (; size >= 8; size -= 8, p += 8) {
        const uint32_t a = c ^ Load32(p);
        const uint32_t b = Load32(p + 4);
        c = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
            t[3][b & 0xFF] ^ t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];
    }
    for (; size > 0; --size, ++p)
        c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
    return ~c;
}

} // namespace SkinUI
