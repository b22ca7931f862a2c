#include "skinui/core/Crc32.h"

#include <cpuid.h>
#include <immintrin.h>

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

// The carry-less multiplication of the processors of the last fifteen years
// folds 64 bytes a step (a polynomial's remainder is linear in its parts), a
// few times faster again than the tables; the writer checks every byte of an
// install with it.
bool HasCarrylessMultiply() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL) && (c & bit_SSE4_1);
}

const bool kFolding = HasCarrylessMultiply();

// The constants are x^(32*k) mod P for the reflected polynomial P: k1, k2
// fold 512 bits onto the next 512, k3, k4 128 onto 128, k5 the last 64 bits,
// then the Barrett reduction by P and its quotient mu.
alignas(16) const uint64_t kK1K2[2] = {0x0154442bd4, 0x01c6e41596};
alignas(16) const uint64_t kK3K4[2] = {0x01751997d0, 0x00ccaa009e};
alignas(16) const uint64_t kK5K0[2] = {0x0163cd6124, 0x0000000000};
alignas(16) const uint64_t kPoly[2] = {0x01db710641, 0x01f7011641};

#define QM_FOLDING __attribute__((target("pclmul,sse4.1")))

QM_FOLDING inline __m128i Load(const unsigned char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// x's two halves carried forward by the two constants in k, onto next.
QM_FOLDING inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

// The CRC register c (not inverted) continued over size bytes, size at least
// 64 and a multiple of 16.
QM_FOLDING uint32_t FoldBlocks(uint32_t c, const unsigned char* p, size_t size) {
    __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x2 = Load(p + 16);
    __m128i x3 = Load(p + 32);
    __m128i x4 = Load(p + 48);
    p += 64;
    size -= 64;
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kK1K2));
    for (; size >= 64; size -= 64, p += 64) {
        x1 = Fold(x1, k, Load(p));
        x2 = Fold(x2, k, Load(p + 16));
        x3 = Fold(x3, k, Load(p + 32));
        x4 = Fold(x4, k, Load(p + 48));
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kK3K4));
    x1 = Fold(x1, k, x2);
    x1 = Fold(x1, k, x3);
    x1 = Fold(x1, k, x4);
    for (; size >= 16; size -= 16, p += 16)
        x1 = Fold(x1, k, Load(p));

    // 128 bits to 64, then to the 32-bit remainder.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i x2r = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2r);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kK5K0));
    x2r = _mm_srli_si128(x1, 4);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x00);
    x1 = _mm_xor_si128(x1, x2r);
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kPoly));
    x2r = _mm_and_si128(x1, low32);
    x2r = _mm_clmulepi64_si128(x2r, k, 0x10);
    x2r = _mm_and_si128(x2r, low32);
    x2r = _mm_clmulepi64_si128(x2r, k, 0x00);
    x1 = _mm_xor_si128(x1, x2r);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

#undef QM_FOLDING

} // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
    const auto& t = Tables().t;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint32_t c = ~crc;
    if (kFolding && size >= 64) {
        const size_t whole = size & ~static_cast<size_t>(15);
        c = FoldBlocks(c, p, whole);
        p += whole;
        size -= whole;
    }
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
