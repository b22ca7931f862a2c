#include "skinui/render/RenderBlend.h"
#include "skinui/render/RenderEngine.h"

#include "RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

using namespace SkinUI;
using rendertest::Canvas;

namespace {

bool Near(DWORD expected, DWORD actual, int tolerance = 1) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int e = (expected >> shift) & 0xFF;
        const int a = (actual >> shift) & 0xFF;
        if (std::abs(e - a) > tolerance)
            return false;
    }
    return true;
}

#define EXPECT_NEAR_RGB(expected, actual)                                                          \
    EXPECT_TRUE(Near((expected), (actual)))                                                        \
        << std::hex << "expected " << (expected) << ", got " << (actual)

TEST(RenderDraw, DrawColor_HonoursAlpha) {
    struct Case {
        DWORD colour;
        DWORD expected; // over white
    } cases[] = {
        {0x00FFFFFF, 0xFFFFFF},                         // alpha 0: nothing
        {0x00000000, 0xFFFFFF}, {0xFFFF0000, 0xFF0000}, // opaque
        {0x80FF0000, 0xFF7F7F},                         // half-transparent red
        {0x40000000, 0xBFBFBF},
    };
    for (const Case& c : cases) {
        Canvas canvas(20, 20, 0xFFFFFFFF);
        CRenderEngine::DrawColor(canvas.DC(), RECT{5, 5, 15, 15}, c.colour);
        EXPECT_NEAR_RGB(c.expected, canvas.Rgb(5, 5));
        EXPECT_NEAR_RGB(c.expected, canvas.Rgb(14, 14));
        EXPECT_EQ(0xFFFFFFu, canvas.Rgb(4, 4)) << std::hex << c.colour;
        EXPECT_EQ(0xFFFFFFu, canvas.Rgb(15, 15)) << std::hex << c.colour;
    }
}

TEST(RenderDraw, DrawGradient_RunsFromFirstToSecondColour) {
    for (bool vertical : {false, true}) {
        SCOPED_TRACE(vertical ? "vertical" : "horizontal");
        Canvas canvas(64, 64, 0xFF000000);
        CRenderEngine::DrawGradient(canvas.DC(), RECT{0, 0, 64, 64}, 0xFFFF0000, 0xFF0000FF,
                                    vertical, 16);
        const DWORD first = vertical ? canvas.Rgb(32, 0) : canvas.Rgb(0, 32);
        const DWORD last = vertical ? canvas.Rgb(32, 63) : canvas.Rgb(63, 32);
        const DWORD middle = vertical ? canvas.Rgb(32, 32) : canvas.Rgb(32, 32);
        EXPECT_TRUE(Near(0xFF0000, first, 8)) << std::hex << first;
        EXPECT_TRUE(Near(0x0000FF, last, 8)) << std::hex << last;
        EXPECT_TRUE(Near(0x800080, middle, 8)) << std::hex << middle;
        // Constant across the other axis.
        EXPECT_EQ(vertical ? canvas.Rgb(0, 10) : canvas.Rgb(10, 0),
                  vertical ? canvas.Rgb(63, 10) : canvas.Rgb(10, 63));
    }
}

TEST(RenderDraw, DrawGradient_AverageAlphaIsTheOpacity) {
    Canvas canvas(16, 16, 0xFFFFFFFF);
    // Alphas 0x40 and 0xC0 average to 0x80.
    CRenderEngine::DrawGradient(canvas.DC(), RECT{0, 0, 16, 16}, 0x40FF0000, 0xC0FF0000, false, 8);
    EXPECT_NEAR_RGB(0xFF7F7F, canvas.Rgb(8, 8));

    Canvas untouched(16, 16, 0xFFFFFFFF);
    CRenderEngine::DrawGradient(untouched.DC(), RECT{0, 0, 16, 16}, 0x00FF0000, 0x01FF0000, false,
                                8);
    EXPECT_EQ(0, untouched.CountOtherThan(untouched.Bounds(), 0xFFFFFF));
}

TEST(RenderDraw, GradientBands_CountFollowsSteps) {
    struct Case {
        int steps;
        size_t bands;
    } cases[] = {{1, 2}, {3, 2}, {4, 4}, {8, 8}, {15, 8}, {16, 16}, {32, 32}, {64, 64}, {999, 64}};
    for (const Case& c : cases) {
        Canvas canvas(128, 4, 0xFF000000);
        FillGradientBands(canvas.DC(), RECT{0, 0, 128, 4}, 0xFF000000, 0xFFFFFFFF, false, c.steps);
        std::set<DWORD> colours;
        for (int x = 0; x < 128; ++x)
            colours.insert(canvas.Rgb(x, 2));
        EXPECT_EQ(c.bands, colours.size()) << "steps " << c.steps;
        // The first band has the first colour, the last band the second.
        EXPECT_EQ(0x000000u, canvas.Rgb(0, 0));
        EXPECT_EQ(0xFFFFFFu, canvas.Rgb(127, 3));
    }
}

TEST(RenderDraw, DrawLine_FromLeftTopToRightBottom) {
    Canvas canvas(20, 20, 0xFFFFFFFF);
    CRenderEngine::DrawLine(canvas.DC(), RECT{2, 5, 12, 5}, 1, 0x80FF0000);
    EXPECT_EQ(0xFF0000u, canvas.Rgb(2, 5)) << "alpha is dropped";
    EXPECT_EQ(0xFF0000u, canvas.Rgb(11, 5));
    EXPECT_EQ(0xFFFFFFu, canvas.Rgb(12, 5)) << "the end point is not drawn";
    EXPECT_EQ(0xFFFFFFu, canvas.Rgb(6, 4));
    EXPECT_EQ(0xFFFFFFu, canvas.Rgb(6, 6));

    Canvas thick(20, 20, 0xFFFFFFFF);
    CRenderEngine::DrawLine(thick.DC(), RECT{2, 10, 18, 10}, 3, 0xFF0000FF);
    EXPECT_EQ(0x0000FFu, thick.Rgb(10, 9));
    EXPECT_EQ(0x0000FFu, thick.Rgb(10, 11));
}

TEST(RenderDraw, DrawRect_FramesInsideTheRectangle) {
    Canvas canvas(12, 12, 0xFFFFFFFF);
    CRenderEngine::DrawRect(canvas.DC(), RECT{0, 0, 10, 10}, 1, 0xFF0000FF);
    for (int i : {0, 5, 9}) {
        EXPECT_EQ(0x0000FFu, canvas.Rgb(i, 0)) << i;
        EXPECT_EQ(0x0000FFu, canvas.Rgb(i, 9)) << i;
        EXPECT_EQ(0x0000FFu, canvas.Rgb(0, i)) << i;
        EXPECT_EQ(0x0000FFu, canvas.Rgb(9, i)) << i;
    }
    EXPECT_EQ(0, canvas.CountOtherThan(RECT{1, 1, 9, 9}, 0xFFFFFF));
    EXPECT_EQ(0, canvas.CountOtherThan(RECT{10, 0, 12, 12}, 0xFFFFFF));
    EXPECT_EQ(0, canvas.CountOtherThan(RECT{0, 10, 12, 12}, 0xFFFFFF));

    Canvas wide(12, 12, 0xFFFFFFFF);
    CRenderEngine::DrawRect(wide.DC(), RECT{0, 0, 10, 10}, 2, 0xFF0000FF);
    // Wine's GDI+ ignores the inset alignment and centres the pen on the
    // frame line, so its left and top sides are one pixel thinner there;
    // only the pixel (1, 1) tells the two apart.
    EXPECT_EQ(0x0000FFu, wide.Rgb(0, 5));
    EXPECT_EQ(0x0000FFu, wide.Rgb(5, 0));
    EXPECT_EQ(0x0000FFu, wide.Rgb(8, 8));
    EXPECT_EQ(0x0000FFu, wide.Rgb(9, 9));
    EXPECT_EQ(0, wide.CountOtherThan(RECT{2, 2, 8, 8}, 0xFFFFFF));
    EXPECT_EQ(0, wide.CountOtherThan(RECT{10, 0, 12, 12}, 0xFFFFFF));
}

TEST(RenderDraw, DrawRoundRect_LeavesCornersAndInsideAlone) {
    Canvas canvas(30, 30, 0xFFFFFFFF);
    CRenderEngine::DrawRoundRect(canvas.DC(), RECT{0, 0, 20, 20}, 1, 8, 8, 0xFF00FF00);
    EXPECT_EQ(0x00FF00u, canvas.Rgb(10, 0));
    EXPECT_EQ(0x00FF00u, canvas.Rgb(0, 10));
    EXPECT_EQ(0x00FF00u, canvas.Rgb(19, 10));
    EXPECT_EQ(0x00FF00u, canvas.Rgb(10, 19));
    EXPECT_EQ(0xFFFFFFu, canvas.Rgb(0, 0)) << "rounded corner";
    EXPECT_EQ(0xFFFFFFu, canvas.Rgb(19, 19));
    EXPECT_EQ(0, canvas.CountOtherThan(RECT{3, 3, 17, 17}, 0xFFFFFF)) << "not filled";
}

TEST(RenderDraw, CheckAlphaColor_OnlyLiftsBlack) {
    struct Case {
        DWORD in, out;
    } cases[] = {
        {0xFF000000, 0xFF000001}, {0x00000000, 0x00000001}, {0x80000000, 0x80000001},
        {0xFF000001, 0xFF000001}, {0xFF010000, 0xFF010000}, {0xFF000100, 0xFF000100},
        {0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        DWORD colour = c.in;
        CRenderEngine::CheckAlphaColor(colour);
        EXPECT_EQ(c.out, colour) << std::hex << c.in;
    }
}

TEST(RenderDraw, AdjustColor_NeutralKeepsColourAndShiftsHue) {
    EXPECT_EQ(0x80123456u, CRenderEngine::AdjustColor(0x80123456, 180, 100, 100));
    // A hue turn of 120 degrees takes red to green; alpha is kept.
    EXPECT_EQ(0x8000FF00u, CRenderEngine::AdjustColor(0x80FF0000, 300, 100, 100));
    // No saturation: grey of the same lightness.
    EXPECT_EQ(0xFF808080u, CRenderEngine::AdjustColor(0xFFFF0000, 180, 0, 100));
}

TEST(RenderDraw, CreateARGB32Bitmap_IsBottomUp) {
    Canvas screen(1, 1);
    BYTE* bits = nullptr;
    HBITMAP bitmap = CRenderEngine::CreateARGB32Bitmap(screen.DC(), 4, 3, &bits);
    ASSERT_NE(nullptr, bitmap);
    ASSERT_NE(nullptr, bits);
    DIBSECTION dib = {};
    ASSERT_EQ(int(sizeof(dib)), GetObjectW(bitmap, sizeof(dib), &dib));
    EXPECT_EQ(4, dib.dsBm.bmWidth);
    EXPECT_EQ(3, dib.dsBm.bmHeight);
    EXPECT_EQ(32, dib.dsBm.bmBitsPixel);
    // The first row in memory is the bottom line.
    HDC dc = CreateCompatibleDC(screen.DC());
    HGDIOBJ old = SelectObject(dc, bitmap);
    SetPixel(dc, 0, 2, RGB(1, 2, 3));
    GdiFlush();
    EXPECT_EQ(3, bits[0]);
    EXPECT_EQ(2, bits[1]);
    EXPECT_EQ(1, bits[2]);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);

    EXPECT_EQ(nullptr, CRenderEngine::CreateARGB32Bitmap(screen.DC(), 0, 3, &bits));
    EXPECT_EQ(nullptr, bits);
}

} // namespace
