// SHA-256, for checking the payload against the digest the program's own
// image carries: a damaged or swapped payload must not match by chance or by
// design, which a CRC cannot promise.
#pragma once

#include <cstddef>
#include <cstdint>

class CSha256 {
public:
    static constexpr size_t kDigestSize = 32;

    // The processor's SHA instructions are used where it has them, unless
    // portable (tests compare the two).
    explicit CSha256(bool portable = false);
    void Update(const void* data, size_t length);
    // The digest of everything given; the object is spent afterwards.
    void Finish(uint8_t digest[kDigestSize]);

private:
    void Blocks(const uint8_t* data, size_t count);
    void Block(const uint8_t* block);

    bool m_hardware = false;
    uint32_t m_state[8];
    uint64_t m_length = 0;
    uint8_t m_pending[64];
    size_t m_pendingLength = 0;
};
