#include "skinui/render/RenderBlend.h"

#include "RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace SkinUI;
using rendertest::Canvas;

namespace {

// Expected channel of a premultiplied source s with alpha a over target d at
// constant opacity fade.
int Over(int s, int a, int d, int fade) {
    return (s * fade * 255 + d * (255 * 255 - a * fade) + 255 * 255 / 2) / (255 * 255);
}

TEST(RenderBlend, OwnBlend_MatchesTheCompositingFormula) {
    struct Case {
        DWORD source; // premultiplied 0xAARRGGBB
        DWORD target;
        BYTE fade;
    } cases[] = {
        {0x80800000, 0xFF0000C8, 255}, // half red over blue
        {0xFF00FF00, 0xFF202020, 128}, // opaque green, half faded
        {0x00000000, 0xFF123456, 255}, // transparent: target unchanged
        {0x40404040, 0xFFFFFFFF, 200},
    };
    for (const Case& c : cases) {
        Canvas source(4, 4, c.source);
        Canvas target(8, 8, c.target);
        BlendPremultiplied(target.DC(), 2, 2, 4, 4, source.DC(), 0, 0, 4, 4, c.fade);
        const DWORD got = target.Pixel(3, 3);
        const int a = c.source >> 24;
        for (int shift : {0, 8, 16}) {
            const int expected =
                Over((c.source >> shift) & 0xFF, a, (c.target >> shift) & 0xFF, c.fade);
            EXPECT_EQ(expected, int((got >> shift) & 0xFF))
                << std::hex << c.source << " over " << c.target << ", channel " << shift;
        }
        EXPECT_EQ(c.target, target.Pixel(1, 1)) << "outside the piece";
        EXPECT_EQ(c.target, target.Pixel(6, 6));
    }
}

TEST(RenderBlend, OwnBlend_AgreesWithAlphaBlend) {
    ASSERT_NE(nullptr, GetAlphaBlend()) << "msimg32.dll!AlphaBlend is present on every target";
    Canvas source(2, 1, 0xFF00FF00);
    source.Fill(0x80800000);
    Canvas ours(6, 3, 0xFF3060C0);
    Canvas system(6, 3, 0xFF3060C0);
    // Stretched 2 x 1 -> 6 x 3 with a fade.
    BlendPremultiplied(ours.DC(), 0, 0, 6, 3, source.DC(), 0, 0, 2, 1, 180);
    AlphaBlendPiece(system.DC(), 0, 0, 6, 3, source.DC(), 0, 0, 2, 1, 180);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            for (int shift : {0, 8, 16}) {
                const int a = (ours.Pixel(x, y) >> shift) & 0xFF;
                const int b = (system.Pixel(x, y) >> shift) & 0xFF;
                EXPECT_LE(std::abs(a - b), 2) << x << "," << y << " channel " << shift;
            }
}

TEST(RenderBlend, OwnBlend_IgnoresEmptyPieces) {
    Canvas source(2, 2, 0xFFFF0000);
    Canvas target(4, 4, 0xFF000000);
    BlendPremultiplied(target.DC(), 0, 0, 0, 4, source.DC(), 0, 0, 2, 2, 255);
    BlendPremultiplied(target.DC(), 0, 0, 4, 4, source.DC(), 0, 0, 0, 2, 255);
    BlendPremultiplied(target.DC(), 0, 0, -4, 4, source.DC(), 0, 0, 2, 2, 255);
    EXPECT_EQ(0, target.CountOtherThan(target.Bounds(), 0));
}

} // namespace
