#include "installer/engine/Sha256.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define QM_SHA_INSTRUCTIONS 1
#endif

namespace {

constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

inline uint32_t Rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

#ifdef QM_SHA_INSTRUCTIONS

// The SHA extensions (with SSSE3 and SSE4.1 for the shuffles around them):
// most processors since 2017 have them, and they hash several times faster
// than the portable rounds, which the install otherwise waits for.
bool HasShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSSE3) || !(c & bit_SSE4_1))
        return false;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    return (b & (1u << 29)) != 0;
}

__attribute__((target("sha,sse4.1"))) void ShaBlocks(uint32_t state[8], const uint8_t* data,
                                                     size_t count) {
    const __m128i bigEndian = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    // The instructions keep the state as ABEF and CDGH.
    __m128i cdab =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i efgh =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; count > 0; --count, data += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i w[16];
        for (int i = 0; i < 16; ++i) {
            if (i < 4)
                w[i] = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), bigEndian);
            else
                w[i] = _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32(w[i - 4], w[i - 3]),
                                                          _mm_alignr_epi8(w[i - 1], w[i - 2], 4)),
                                            w[i - 1]);
            __m128i msg = _mm_add_epi32(
                w[i], _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, msg);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(msg, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

#endif

} // namespace

CSha256::CSha256(bool portable)
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {
#ifdef QM_SHA_INSTRUCTIONS
    static const bool hardware = HasShaInstructions();
    m_hardware = !portable && hardware;
#else
    (void)portable;
#endif
}

void CSha256::Blocks(const uint8_t* data, size_t count) {
#ifdef QM_SHA_INSTRUCTIONS
    if (m_hardware) {
        ShaBlocks(m_state, data, count);
        return;
    }
#endif
    for (; count > 0; --count, data += 64)
        Block(data);
}

void CSha256::Block(const uint8_t* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = (uint32_t{block[4 * i]} << 24) | (uint32_t{block[4 * i + 1]} << 16) |
               (uint32_t{block[4 * i + 2]} << 8) | block[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    uint32_t e = m_state[4], f = m_state[5], g = m_state[6], h = m_state[7];
    for (int i = 0; i < 64; ++i) {
        const uint32_t t1 =
            h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
        const uint32_t t2 =
            (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
    m_state[4] += e;
    m_state[5] += f;
    m_state[6] += g;
    m_state[7] += h;
}

void CSha256::Update(const void* data, size_t length) {
    const uint8_t* in = static_cast<const uint8_t*>(data);
    m_length += length;
    if (m_pendingLength > 0) {
        const size_t take = length < 64 - m_pendingLength ? length : 64 - m_pendingLength;
        memcpy(m_pending + m_pendingLength, in, take);
        m_pendingLength += take;
        in += take;
        length -= take;
        if (m_pendingLength < 64)
            return;
        Blocks(m_pending, 1);
        m_pendingLength = 0;
    }
    Blocks(in, length / 64);
    in += length / 64 * 64;
    length %= 64;
    memcpy(m_pending, in, length);
    m_pendingLength = length;
}

void CSha256::Finish(uint8_t digest[kDigestSize]) {
    const uint64_t bits = m_length * 8;
    const uint8_t one = 0x80;
    Update(&one, 1);
    const uint8_t zero = 0;
    while (m_pendingLength != 56)
        Update(&zero, 1);
    uint8_t tail[8];
    for (int i = 0; i < 8; ++i)
        tail[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Update(tail, 8);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(m_state[i] >> (24 - 8 * j));
}
