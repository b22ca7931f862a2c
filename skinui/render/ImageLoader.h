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

namespace SkinUI {

struct TImageInfo;

// Resamples premultiplied blue, green, red, alpha pixels (rows top-down, no
// padding) from sw x sh to dw x dh. Each output pixel averages the source
// pixels under it with a tent filter as wide as the scale step (at least one
// source pixel), so a picture made smaller keeps its detail without
// aliasing and one made larger is interpolated. False when a size is not
// positive or a buffer cannot be had.
bool ResamplePixels(const BYTE* src, int sw, int sh, BYTE* dst, int dw, int dh);

// A new image of cx x cy pixels drawn from image by ResamplePixels; null on
// failure. The caller owns it (CRenderEngine::FreeImage).
TImageInfo* CreateResampledImage(const TImageInfo& image, int cx, int cy);

} // namespace SkinUI
