// Decoding of image files into premultiplied 32-bit bitmaps. The one
// definition of the stb_image implementation in the program lives here.
#include "skinui/render/ImageLoader.h"

#include "skinui/render/RenderEngine.h"

#include "skinui/core/Handles.h"

#include <cstdlib>

// Images are always decoded from memory, and never to floating point. Skins
// carry PNG only: the other formats' decoders would be code to ship and
// surface to attack for nothing.
#define STBI_ONLY_PNG
// Nothing reads the decoder's failure texts; without them it also needs no
// thread-local variable, which would bring the thread library along.
#define STBI_NO_FAILURE_STRINGS
#define STBI_NO_THREAD_LOCALS
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STB_IMAGE_IMPLEMENTATION
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

void CRenderEngine::FreeImage(TImageInfo* bitmap, bool bDelete) {
    if (bitmap == nullptr)
        return;
    if (bitmap->hBitmap)
        DeleteObject(bitmap->hBitmap);
    bitmap->hBitmap = nullptr;
    free(bitmap->pBits);
    bitmap->pBits = nullptr;
    free(bitmap->pSrcBits);
    bitmap->pSrcBits = nullptr;
    if (bDelete)
        delete bitmap;
}

} // namespace SkinUI
