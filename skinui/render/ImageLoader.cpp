// Decoding of image files into premultiplied 32-bit bitmaps, with the PNG
// decoder of core/StbImage.cpp.
#include "skinui/render/ImageLoader.h"

#include "skinui/render/RenderEngine.h"

#include "skinui/core/Handles.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

#define STBI_NO_STDIO
#include <stb_image.h>

namespace SkinUI {

namespace {

// A skin image larger than this is an error, not something to allocate for:
// the limit keeps a damaged or hostile file from claiming gigabytes.
constexpr LONGLONG kMaxImagePixels = 32LL * 1024 * 1024;

struct StbiBuffer {
    stbi_uc* pixels = nullptr;
    ~StbiBuffer() {
        if (pixels)
            stbi_image_free(pixels);
    }
};

} // namespace

bool PremultiplyPixels(const BYTE* rgba, BYTE* bgra, size_t count, DWORD mask) {
    bool hasAlpha = false;
    for (size_t i = 0; i < count; ++i, rgba += 4, bgra += 4) {
        const BYTE r = rgba[0], g = rgba[1], b = rgba[2], a = rgba[3];
        if (a == 255) {
            bgra[0] = b;
            bgra[1] = g;
            bgra[2] = r;
        } else {
            bgra[0] = static_cast<BYTE>(b * a / 255);
            bgra[1] = static_cast<BYTE>(g * a / 255);
            bgra[2] = static_cast<BYTE>(r * a / 255);
            hasAlpha = true;
        }
        bgra[3] = a;
        const DWORD pixel = static_cast<DWORD>(bgra[0]) | (static_cast<DWORD>(bgra[1]) << 8) |
                            (static_cast<DWORD>(bgra[2]) << 16) |
                            (static_cast<DWORD>(bgra[3]) << 24);
        if (pixel == mask) {
            bgra[0] = bgra[1] = bgra[2] = bgra[3] = 0;
            hasAlpha = true;
        }
    }
    return hasAlpha;
}

TImageInfo* CRenderEngine::LoadImageFromMemory(const BYTE* data, DWORD size, DWORD mask) {
    if (data == nullptr || size == 0 || size > 0x7FFFFFFF)
        return nullptr;
    const int length = static_cast<int>(size);
    int width = 0, height = 0, components = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &components))
        return nullptr;
    if (width <= 0 || height <= 0 || static_cast<LONGLONG>(width) * height > kMaxImagePixels)
        return nullptr;

    StbiBuffer decoded;
    decoded.pixels = stbi_load_from_memory(data, length, &width, &height, &components, 4);
    if (decoded.pixels == nullptr)
        return nullptr;

    // Top-down: rows in file order.
    CDibSection bitmap(nullptr, width, height);
    if (!bitmap)
        return nullptr;
    const bool hasAlpha = PremultiplyPixels(decoded.pixels, reinterpret_cast<BYTE*>(bitmap.Bits()),
                                            static_cast<size_t>(width) * height, mask);

    TImageInfo* info = new TImageInfo;
    info->hBitmap = bitmap.Release();
    info->nX = width;
    info->nY = height;
    info->bAlpha = hasAlpha;
    return info;
}

namespace {

// One output position of a resampling axis: the source span it reads and the
// weights of that span, in units of 1 / kWeightOne, adding up to kWeightOne.
constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;
// Bits of fraction the first pass keeps for the second.
constexpr int kMidBits = 7;

struct TAxis {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int> weights; // count[i] entries per output position, in order
    int maxCount = 0;
};

bool BuildAxis(int from, int to, TAxis* axis) {
    const double step = static_cast<double>(from) / to;
    // The tent reaches one step either side when shrinking, one source pixel
    // when enlarging (linear interpolation).
    const double radius = step > 1.0 ? step : 1.0;
    axis->first.resize(static_cast<size_t>(to));
    axis->count.resize(static_cast<size_t>(to));
    axis->weights.clear();
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * step - 0.5;
        int lo = static_cast<int>(centre - radius) + 1;
        int hi = static_cast<int>(centre + radius);
        if (centre - radius < 0)
            lo = 0;
        if (hi > from - 1)
            hi = from - 1;
        if (lo > hi)
            lo = hi = centre < 0 ? 0 : (centre > from - 1 ? from - 1 : static_cast<int>(centre));
        double total = 0;
        for (int j = lo; j <= hi; ++j) {
            const double d = (j - centre) / radius;
            const double w = 1.0 - (d < 0 ? -d : d);
            total += w > 0 ? w : 0;
        }
        const size_t start = axis->weights.size();
        int sum = 0;
        int heaviest = 0;
        for (int j = lo; j <= hi; ++j) {
            const double d = (j - centre) / radius;
            double w = 1.0 - (d < 0 ? -d : d);
            w = w > 0 && total > 0 ? w / total : 0;
            const int weight = total > 0 ? static_cast<int>(w * kWeightOne + 0.5) : kWeightOne;
            axis->weights.push_back(weight);
            sum += weight;
            if (weight > axis->weights[start + static_cast<size_t>(heaviest)])
                heaviest = j - lo;
        }
        // Rounding must not brighten or darken a flat area.
        axis->weights[start + static_cast<size_t>(heaviest)] += kWeightOne - sum;
        axis->first[static_cast<size_t>(i)] = lo;
        axis->count[static_cast<size_t>(i)] = hi - lo + 1;
        if (hi - lo + 1 > axis->maxCount)
            axis->maxCount = hi - lo + 1;
    }
    return true;
}

} // namespace

bool ResamplePixels(const BYTE* src, int sw, int sh, BYTE* dst, int dw, int dh) {
    if (src == nullptr || dst == nullptr || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return false;
    if (static_cast<LONGLONG>(dw) * dh > kMaxImagePixels ||
        static_cast<LONGLONG>(dw) * sh > kMaxImagePixels)
        return false;
    TAxis across, down;
    BuildAxis(sw, dw, &across);
    BuildAxis(sh, dh, &down);

    // First pass: rows to the new width, with kMidBits of fraction kept.
    std::vector<uint16_t> mid(static_cast<size_t>(dw) * sh * 4);
    for (int y = 0; y < sh; ++y) {
        const BYTE* row = src + static_cast<size_t>(y) * sw * 4;
        uint16_t* out = &mid[static_cast<size_t>(y) * dw * 4];
        size_t w = 0;
        for (int x = 0; x < dw; ++x) {
            int acc[4] = {0, 0, 0, 0};
            const BYTE* p = row + static_cast<size_t>(across.first[static_cast<size_t>(x)]) * 4;
            for (int n = 0; n < across.count[static_cast<size_t>(x)]; ++n, p += 4, ++w) {
                const int weight = across.weights[w];
                for (int c = 0; c < 4; ++c)
                    acc[c] += p[c] * weight;
            }
            for (int c = 0; c < 4; ++c) {
                const int v =
                    (acc[c] + (1 << (kWeightBits - kMidBits - 1))) >> (kWeightBits - kMidBits);
                out[x * 4 + c] = static_cast<uint16_t>(
                    v < 0 ? 0 : (v > (255 << kMidBits) ? 255 << kMidBits : v));
            }
        }
    }
    // Second pass: columns to the new height.
    size_t w = 0;
    for (int y = 0; y < dh; ++y) {
        const int first = down.first[static_cast<size_t>(y)];
        const int count = down.count[static_cast<size_t>(y)];
        BYTE* out = dst + static_cast<size_t>(y) * dw * 4;
        for (int x = 0; x < dw; ++x) {
            int acc[4] = {0, 0, 0, 0};
            for (int n = 0; n < count; ++n) {
                const uint16_t* p = &mid[(static_cast<size_t>(first + n) * dw + x) * 4];
                const int weight = down.weights[w + static_cast<size_t>(n)];
                for (int c = 0; c < 4; ++c)
                    acc[c] += p[c] * weight;
            }
            int v[4];
            for (int c = 0; c < 4; ++c) {
                v[c] = (acc[c] + (1 << (kWeightBits + kMidBits - 1))) >> (kWeightBits + kMidBits);
                v[c] = v[c] < 0 ? 0 : (v[c] > 255 ? 255 : v[c]);
            }
            // Premultiplied colour never exceeds its alpha.
            for (int c = 0; c < 3; ++c)
                out[x * 4 + c] = static_cast<BYTE>(v[c] > v[3] ? v[3] : v[c]);
            out[x * 4 + 3] = static_cast<BYTE>(v[3]);
        }
        w += static_cast<size_t>(count);
    }
    return true;
}

TImageInfo* CreateResampledImage(const TImageInfo& image, int cx, int cy) {
    if (image.hBitmap == nullptr || cx <= 0 || cy <= 0)
        return nullptr;
    DIBSECTION dib = {};
    if (GetObjectW(image.hBitmap, sizeof(dib), &dib) != sizeof(dib) || !dib.dsBm.bmBits ||
        dib.dsBm.bmBitsPixel != 32 || dib.dsBm.bmWidth != image.nX || dib.dsBm.bmHeight != image.nY)
        return nullptr;
    CDibSection bitmap(nullptr, cx, cy);
    if (!bitmap)
        return nullptr;
    GdiFlush();
    BYTE* out = reinterpret_cast<BYTE*>(bitmap.Bits());
    if (!ResamplePixels(static_cast<const BYTE*>(dib.dsBm.bmBits), image.nX, image.nY, out, cx, cy))
        return nullptr;
    bool hasAlpha = false;
    for (size_t i = 0; i < static_cast<size_t>(cx) * cy && !hasAlpha; ++i)
        hasAlpha = out[i * 4 + 3] != 255;

    TImageInfo* info = new TImageInfo;
    info->hBitmap = bitmap.Release();
    info->nX = cx;
    info->nY = cy;
    info->bAlpha = hasAlpha || image.bAlpha;
    return info;
}

void CRenderEngine::FreeImage(TImageInfo* bitmap, bool bDelete) {
    if (bitmap == nullptr)
        return;
    // The record owns its bitmap; the holder lets go of it here.
    CGdiObject<HBITMAP> gone(bitmap->hBitmap);
    bitmap->hBitmap = nullptr;
    free(bitmap->pBits);
    bitmap->pBits = nullptr;
    free(bitmap->pSrcBits);
    bitmap->pSrcBits = nullptr;
    if (bDelete)
        delete bitmap;
}

} // namespace SkinUI
