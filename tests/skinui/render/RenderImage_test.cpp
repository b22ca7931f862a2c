#include "skinui/render/RenderEngine.h"

#include "RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace SkinUI;
using rendertest::Canvas;
using rendertest::Image;
using rendertest::LoadedPng;

namespace {

constexpr DWORD kBackground = 0xFF202020;
constexpr DWORD kTopLeft = 0xFFFF0000, kTop = 0xFF00FF00, kTopRight = 0xFFFFFF00;
constexpr DWORD kLeft = 0xFF808080, kMiddle = 0xFF0000FF, kRight = 0xFFFFFFFF;
constexpr DWORD kBottomLeft = 0xFF00FFFF, kBottom = 0xFF008000, kBottomRight = 0xFFFF00FF;

// A 20 x 20 image whose nine pieces for corners (5, 5, 5, 5) have nine
// different colours.
std::string NinePiecePng() {
    Image img(20, 20, kMiddle);
    img.FillRect(0, 0, 5, 5, kTopLeft);
    img.FillRect(5, 0, 15, 5, kTop);
    img.FillRect(15, 0, 20, 5, kTopRight);
    img.FillRect(0, 5, 5, 15, kLeft);
    img.FillRect(15, 5, 20, 15, kRight);
    img.FillRect(0, 15, 5, 20, kBottomLeft);
    img.FillRect(5, 15, 15, 20, kBottom);
    img.FillRect(15, 15, 20, 20, kBottomRight);
    return img.Png();
}

// Two vertical stripes of 5 pixels each: red then blue.
std::string StripesPng(int height = 4) {
    Image img(10, height, 0xFFFF0000);
    img.FillRect(5, 0, 10, height, 0xFF0000FF);
    return img.Png();
}

RECT Whole(const LoadedPng& img) {
    return RECT{0, 0, img->nX, img->nY};
}

bool Near(DWORD expected, DWORD actual, int tolerance = 1) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int e = (expected >> shift) & 0xFF;
        const int a = (actual >> shift) & 0xFF;
        if (std::abs(e - a) > tolerance)
            return false;
    }
    return true;
}

#define EXPECT_RGB(expected, canvas, x, y)                                                         \
    EXPECT_EQ((expected)&0x00FFFFFFu, (canvas).Rgb((x), (y))) << "at (" << (x) << ", " << (y) << ")"

TEST(RenderImage, NinePiece_KeepsCornersAndStretchesEdgesAndMiddle) {
    LoadedPng img(NinePiecePng());
    ASSERT_NE(nullptr, img.Get());
    // Copy mode (opaque) and blend mode must place the pieces identically.
    for (bool blend : {false, true}) {
        SCOPED_TRACE(blend ? "blend" : "copy");
        Canvas canvas(120, 60, kBackground);
        const RECT dest = {10, 10, 110, 50}; // 100 x 40
        CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, dest, canvas.Bounds(), Whole(img),
                                 RECT{5, 5, 5, 5}, blend);
        struct Probe {
            int x, y;
            DWORD colour;
        } probes[] = {
            {10, 10, kTopLeft},      {14, 14, kTopLeft},    {15, 10, kTop},
            {104, 14, kTop},         {105, 10, kTopRight},  {109, 14, kTopRight},
            {10, 15, kLeft},         {14, 44, kLeft},       {15, 15, kMiddle},
            {60, 30, kMiddle},       {104, 44, kMiddle},    {105, 15, kRight},
            {109, 44, kRight},       {10, 45, kBottomLeft}, {14, 49, kBottomLeft},
            {15, 45, kBottom},       {104, 49, kBottom},    {105, 45, kBottomRight},
            {109, 49, kBottomRight}, {9, 9, kBackground},   {110, 50, kBackground},
            {60, 9, kBackground},    {60, 50, kBackground},
        };
        for (const Probe& p : probes)
            EXPECT_RGB(p.colour, canvas, p.x, p.y);
    }
}

TEST(RenderImage, NinePiece_HoleLeavesMiddleUntouched) {
    LoadedPng img(NinePiecePng());
    Canvas canvas(120, 60, kBackground);
    CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{10, 10, 110, 50}, canvas.Bounds(),
                             Whole(img), RECT{5, 5, 5, 5}, false, 255, true);
    EXPECT_EQ(0, canvas.CountOtherThan(RECT{15, 15, 105, 45}, kBackground));
    EXPECT_RGB(kTop, canvas, 60, 12);
    EXPECT_RGB(kLeft, canvas, 12, 30);
}

TEST(RenderImage, PiecesOutsidePaintRectangle_AreSkipped) {
    LoadedPng img(NinePiecePng());
    Canvas canvas(120, 60, kBackground);
    CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{10, 10, 110, 50}, RECT{0, 0, 60, 60},
                             Whole(img), RECT{5, 5, 5, 5}, false);
    EXPECT_RGB(kTopLeft, canvas, 12, 12);
    EXPECT_RGB(kBackground, canvas, 107, 12);
    EXPECT_RGB(kBackground, canvas, 107, 30);
    EXPECT_RGB(kBackground, canvas, 107, 47);
}

TEST(RenderImage, PlainStretch_WithoutCorners) {
    LoadedPng img(StripesPng());
    Canvas canvas(40, 8, kBackground);
    CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{0, 0, 40, 8}, canvas.Bounds(),
                             Whole(img), RECT{}, false);
    // Halftone stretching may mix colours next to the stripes' border, so the
    // probes keep a few pixels away from it.
    EXPECT_RGB(0xFF0000, canvas, 0, 0);
    EXPECT_RGB(0xFF0000, canvas, 14, 7);
    EXPECT_RGB(0x0000FF, canvas, 26, 0);
    EXPECT_RGB(0x0000FF, canvas, 39, 7);
}

TEST(RenderImage, SourcePart_SelectsPixelsOfTheImage) {
    LoadedPng img(StripesPng());
    Canvas canvas(40, 4, kBackground);
    CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{0, 0, 40, 4}, canvas.Bounds(),
                             RECT{5, 0, 10, 4}, RECT{}, false);
    EXPECT_EQ(0, canvas.CountOtherThan(canvas.Bounds(), 0x0000FF));
}

TEST(RenderImage, CopyShortcut_CopiesOnlyThePaintedPart) {
    LoadedPng img(StripesPng());
    Canvas canvas(30, 4, kBackground);
    // Same size as the source part: one copy of the visible part, offset into
    // the source by as much as the visible part is offset into the destination.
    CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{10, 0, 20, 4}, RECT{13, 0, 30, 4},
                             Whole(img), RECT{}, false);
    EXPECT_RGB(kBackground, canvas, 12, 1);
    EXPECT_RGB(0xFF0000, canvas, 13, 1);
    EXPECT_RGB(0xFF0000, canvas, 14, 1);
    EXPECT_RGB(0x0000FF, canvas, 15, 1);
    EXPECT_RGB(0x0000FF, canvas, 19, 1);
    EXPECT_RGB(kBackground, canvas, 20, 1);
}

TEST(RenderImage, BlendMode_ComposesPremultipliedPixels) {
    Image src(2, 1, 0x00FFFFFF); // fully transparent
    src.Set(1, 0, 0x80FF0000);   // half-transparent red
    LoadedPng img(src.Png());
    Canvas canvas(2, 1, 0xFFFFFFFF);
    CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{0, 0, 2, 1}, canvas.Bounds(),
                             Whole(img), RECT{}, true);
    EXPECT_RGB(0xFFFFFF, canvas, 0, 0);
    EXPECT_TRUE(Near(0xFF7F7F, canvas.Rgb(1, 0))) << std::hex << canvas.Rgb(1, 0);

    // The same image copied: the transparent pixel's zero bytes land as they are.
    Canvas copied(2, 1, 0xFFFFFFFF);
    CRenderEngine::DrawImage(copied.DC(), img->hBitmap, RECT{0, 0, 2, 1}, copied.Bounds(),
                             Whole(img), RECT{}, false);
    EXPECT_EQ(0u, copied.Pixel(0, 0));
}

TEST(RenderImage, Fade_BlendsEvenAnOpaqueImage) {
    LoadedPng img(Image(4, 4, 0xFFFF0000).Png());
    ASSERT_FALSE(img->bAlpha);
    struct FadeCase {
        BYTE fade;
        DWORD expected; // red over white
    } cases[] = {{128, 0xFF7F7F}, {44, 0xFFD3D3}, {0, 0xFFFFFF}, {255, 0xFF0000}};
    for (const FadeCase& c : cases) {
        Canvas canvas(8, 8, 0xFFFFFFFF);
        CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{0, 0, 8, 8}, canvas.Bounds(),
                                 Whole(img), RECT{}, false, c.fade);
        EXPECT_TRUE(Near(c.expected, canvas.Rgb(3, 3)))
            << "fade " << int(c.fade) << ": " << std::hex << canvas.Rgb(3, 3);
    }
}

TEST(RenderImage, TiledX_RepeatsMiddleAndCutsTheLastTile) {
    LoadedPng img(StripesPng());
    for (bool blend : {false, true}) {
        SCOPED_TRACE(blend ? "blend" : "copy");
        Canvas canvas(30, 8, kBackground);
        // A 10-pixel middle over 25 pixels: tiles of 10, 10 and 5, each
        // stretched from 4 to 8 pixels high.
        CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{0, 0, 25, 8}, canvas.Bounds(),
                                 Whole(img), RECT{}, blend, 255, false, true, false);
        const DWORD expected[] = {0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000};
        for (int i = 0; i < 5; ++i) {
            EXPECT_RGB(expected[i], canvas, i * 5, 0);
            EXPECT_RGB(expected[i], canvas, i * 5 + 4, 7);
        }
        EXPECT_RGB(kBackground, canvas, 25, 3);
    }
}

TEST(RenderImage, TiledY_RepeatsMiddleDownwards) {
    Image src(4, 10, 0xFFFF0000);
    src.FillRect(0, 5, 4, 10, 0xFF0000FF);
    LoadedPng img(src.Png());
    Canvas canvas(8, 30, kBackground);
    CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{0, 0, 8, 25}, canvas.Bounds(),
                             Whole(img), RECT{}, false, 255, false, false, true);
    const DWORD expected[] = {0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000};
    for (int i = 0; i < 5; ++i) {
        EXPECT_RGB(expected[i], canvas, 0, i * 5);
        EXPECT_RGB(expected[i], canvas, 7, i * 5 + 4);
    }
    EXPECT_RGB(kBackground, canvas, 3, 25);
}

TEST(RenderImage, TiledBoth_RepeatsAtNaturalSize) {
    LoadedPng img(StripesPng(2));
    Canvas canvas(30, 8, kBackground);
    CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{0, 0, 25, 5}, canvas.Bounds(),
                             Whole(img), RECT{}, false, 255, false, true, true);
    for (int y : {0, 1, 2, 3, 4}) {
        EXPECT_RGB(0xFF0000, canvas, 0, y);
        EXPECT_RGB(0x0000FF, canvas, 9, y);
        EXPECT_RGB(0xFF0000, canvas, 24, y);
    }
    EXPECT_RGB(kBackground, canvas, 3, 5);
    EXPECT_RGB(kBackground, canvas, 25, 0);
}

TEST(RenderImage, TiledMiddleOfSizeZero_DrawsNoMiddle) {
    LoadedPng img(StripesPng());
    Canvas canvas(40, 4, kBackground);
    // Corners as wide as the image leave no middle to repeat.
    CRenderEngine::DrawImage(canvas.DC(), img->hBitmap, RECT{0, 0, 40, 4}, canvas.Bounds(),
                             Whole(img), RECT{5, 0, 5, 0}, false, 255, false, true, false);
    EXPECT_RGB(0xFF0000, canvas, 2, 2);
    EXPECT_RGB(0x0000FF, canvas, 37, 2);
    EXPECT_EQ(0, canvas.CountOtherThan(RECT{5, 0, 35, 4}, kBackground));
}

TEST(RenderImage, MissingBitmapOrDC_DrawsNothing) {
    Canvas canvas(4, 4, kBackground);
    CRenderEngine::DrawImage(canvas.DC(), nullptr, RECT{0, 0, 4, 4}, canvas.Bounds(),
                             RECT{0, 0, 4, 4}, RECT{}, false);
    EXPECT_EQ(0, canvas.CountOtherThan(canvas.Bounds(), kBackground));
    LoadedPng img(StripesPng());
    CRenderEngine::DrawImage(nullptr, img->hBitmap, RECT{0, 0, 4, 4}, canvas.Bounds(), Whole(img),
                             RECT{}, false);
}

} // namespace
