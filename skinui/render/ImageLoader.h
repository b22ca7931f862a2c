// Turning decoded RGBA pixels into the premultiplied BGRA form every drawing
// routine of the render engine expects.
#pragma once

#include <windows.h>

#include <cstddef>

namespace SkinUI {

// Converts count pixels of red, green, blue, alpha bytes into blue, green,
// red, alpha bytes with the colours multiplied by alpha / 255 (truncated).
// A converted pixel equal to mask (read as 0xAARRGGBB) becomes 0. Answers
// whether any pixel is not fully opaque or was masked. rgba and bgra may be
// the same buffer.
bool PremultiplyPixels(const BYTE* rgba, BYTE* bgra, size_t count, DWORD mask);

} // namespace SkinUI
