#include "skinui/render/ImageLoader.h"
#include "skinui/render/RenderEngine.h"

#include "RenderTestSupport.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using rendertest::Image;
using rendertest::LoadedPng;

namespace {

struct PixelCase {
    BYTE rgba[4];
    BYTE bgra[4];
    bool transparent;
};

TEST(ImageLoader, PremultiplyPixels_ConvertsEachPixel) {
    const PixelCase cases[] = {
        {{200, 100, 50, 255}, {50, 100, 200, 255}, false}, // opaque: unchanged, swapped
        {{200, 100, 50, 128}, {25, 50, 100, 128}, true},   // premultiplied, truncated
        {{255, 255, 255, 0}, {0, 0, 0, 0}, true},          // fully transparent: all zero
        {{255, 255, 255, 1}, {1, 1, 1, 1}, true},          {{1, 2, 3, 254}, {2, 1, 0, 254}, true},
    };
    for (const PixelCase& c : cases) {
        BYTE out[4] = {};
        EXPECT_EQ(c.transparent, PremultiplyPixels(c.rgba, out, 1, 0x12345678));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.bgra[i], out[i]) << "channel " << i << " of pixel " << int(c.rgba[0]);
    }
}

TEST(ImageLoader, PremultiplyPixels_MaskClearsMatchingPixelsOnly) {
    // Opaque magenta, opaque green, and a half-transparent pixel whose
    // premultiplied value is the mask: the mask is compared after conversion.
    const BYTE rgba[] = {255, 0, 255, 255, 0, 255, 0, 255, 200, 100, 50, 128};
    BYTE out[12] = {};
    EXPECT_TRUE(PremultiplyPixels(rgba, out, 3, 0xFFFF00FF));
    EXPECT_EQ(0u, out[0] | out[1] | out[2] | out[3]);
    EXPECT_EQ(255, out[5]);
    EXPECT_EQ(255, out[7]);

    BYTE out2[12] = {};
    EXPECT_TRUE(PremultiplyPixels(rgba, out2, 3, 0x80643219));
    EXPECT_EQ(0u, out2[8] | out2[9] | out2[10] | out2[11]);

    // An opaque image whose pixels miss the mask stays opaque.
    BYTE out3[8] = {};
    EXPECT_FALSE(PremultiplyPixels(rgba + 4, out3, 1, 0xFFFF00FF));
}

TEST(ImageLoader, PremultiplyPixels_WorksInPlace) {
    BYTE px[] = {200, 100, 50, 128};
    PremultiplyPixels(px, px, 1, 0);
    EXPECT_EQ(25, px[0]);
    EXPECT_EQ(50, px[1]);
    EXPECT_EQ(100, px[2]);
    EXPECT_EQ(128, px[3]);
}

TEST(ImageLoader, LoadImageFromMemory_DecodesPngTopDownAndPremultiplied) {
    Image img(3, 2, 0xFFC86432); // opaque (200, 100, 50)
    img.Set(1, 0, 0x80C86432);   // (200, 100, 50, 128)
    img.Set(2, 1, 0x00FFFFFF);   // fully transparent white
    LoadedPng loaded(img.Png());
    ASSERT_NE(nullptr, loaded.Get());
    EXPECT_EQ(3, loaded->nX);
    EXPECT_EQ(2, loaded->nY);
    EXPECT_TRUE(loaded->bAlpha);
    EXPECT_EQ(nullptr, loaded->pBits);
    EXPECT_EQ(nullptr, loaded->pSrcBits);
    EXPECT_EQ(0xFFC86432u, loaded.Pixel(0, 0));
    EXPECT_EQ(0x80643219u, loaded.Pixel(1, 0));
    EXPECT_EQ(0u, loaded.Pixel(2, 1));

    DIBSECTION dib = {};
    ASSERT_EQ(int(sizeof(dib)), GetObjectW(loaded->hBitmap, sizeof(dib), &dib));
    EXPECT_EQ(32, dib.dsBm.bmBitsPixel);
}

TEST(ImageLoader, LoadImageFromMemory_OpaqueImageNeedsNoBlending) {
    LoadedPng loaded(Image(4, 4, 0xFF102030).Png());
    ASSERT_NE(nullptr, loaded.Get());
    EXPECT_FALSE(loaded->bAlpha);

    Image oneHole(4, 4, 0xFF102030);
    oneHole.Set(3, 3, 0xFE102030);
    LoadedPng withHole(oneHole.Png());
    ASSERT_NE(nullptr, withHole.Get());
    EXPECT_TRUE(withHole->bAlpha);
}

TEST(ImageLoader, LoadImageFromMemory_MaskMakesPixelsTransparent) {
    Image img(2, 1, 0xFFFF00FF);
    img.Set(1, 0, 0xFF00FF00);
    LoadedPng loaded(img.Png(), 0xFFFF00FF);
    ASSERT_NE(nullptr, loaded.Get());
    EXPECT_TRUE(loaded->bAlpha);
    EXPECT_EQ(0u, loaded.Pixel(0, 0));
    EXPECT_EQ(0xFF00FF00u, loaded.Pixel(1, 0));
}

TEST(ImageLoader, LoadImageFromMemory_RejectsBadInput) {
    const std::string png = Image(2, 2, 0xFF000000).Png();
    EXPECT_EQ(nullptr, CRenderEngine::LoadImageFromMemory(nullptr, 10, 0));
    EXPECT_EQ(nullptr,
              CRenderEngine::LoadImageFromMemory(reinterpret_cast<const BYTE*>(png.data()), 0, 0));
    const BYTE garbage[] = "this is not an image at all";
    EXPECT_EQ(nullptr, CRenderEngine::LoadImageFromMemory(garbage, sizeof(garbage), 0));
    // A truncated file decodes to nothing rather than to a partial image.
    EXPECT_EQ(nullptr,
              CRenderEngine::LoadImageFromMemory(reinterpret_cast<const BYTE*>(png.data()), 20, 0));
}

// Pins a fixed crash: a 16-bit PNM of 1 KB crashed the decoder, and JPEG
// input read out of range. Skins carry PNG only, so neither is decoded.
TEST(ImageLoader, LoadImageFromMemory_DecodesNoFormatButPng) {
    const std::string header = "P5\n16 16\n65535\n";
    const std::string pnm = header + std::string(1024 - header.size(), '\xFF');
    const std::string jpeg = std::string("\xFF\xD8\xFF\xDB\x00\x43\x00", 7) +
                             std::string(64, '\x01') + std::string("\xFF\xC0\x00\x11\x08", 5) +
                             std::string(32, '\x7F');
    const std::string bmp = std::string("BM", 2) + std::string(60, '\0');
    for (const std::string* bytes : {&pnm, &jpeg, &bmp})
        EXPECT_EQ(nullptr,
                  CRenderEngine::LoadImageFromMemory(reinterpret_cast<const BYTE*>(bytes->data()),
                                                     static_cast<DWORD>(bytes->size()), 0))
            << bytes->substr(0, 2);
}

TEST(ImageLoader, FreeImage_KeepsRecordWhenAsked) {
    const std::string png = Image(2, 2, 0xFF000000).Png();
    TImageInfo* info = CRenderEngine::LoadImageFromMemory(reinterpret_cast<const BYTE*>(png.data()),
                                                          static_cast<DWORD>(png.size()), 0);
    ASSERT_NE(nullptr, info);
    HBITMAP bitmap = info->hBitmap;
    CRenderEngine::FreeImage(info, false);
    EXPECT_EQ(nullptr, info->hBitmap);
    EXPECT_EQ(0, GetObjectType(bitmap)) << "the bitmap is deleted";
    delete info;
    CRenderEngine::FreeImage(nullptr); // harmless
}

} // namespace
