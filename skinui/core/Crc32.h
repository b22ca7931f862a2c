// CRC-32 as ZIP archives and PNG files use it (the reflected polynomial
// 0xEDB88320): the check of every skin archive entry and of every file an
// install writes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace SkinUI {

// Continues crc (0 to begin) over size bytes of data.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

} // namespace SkinUI
