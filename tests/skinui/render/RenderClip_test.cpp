#include "skinui/render/RenderClip.h"
#include "skinui/render/RenderEngine.h"

#include "RenderTestSupport.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using rendertest::Canvas;

namespace {

constexpr DWORD kWhite = 0xFFFFFFFF;
constexpr DWORD kRed = 0xFFFF0000;

void Paint(Canvas& canvas) {
    CRenderEngine::DrawColor(canvas.DC(), canvas.Bounds(), kRed);
}

TEST(RenderClip, RectangleClip_KeepsPaintingInsideAndEndsWithScope) {
    Canvas canvas(40, 40, kWhite);
    {
        CRenderClip clip;
        CRenderClip::GenerateClip(canvas.DC(), RECT{10, 10, 20, 20}, clip);
        Paint(canvas);
        EXPECT_EQ(100, canvas.CountOtherThan(canvas.Bounds(), kWhite));
        EXPECT_EQ(0xFF0000u, canvas.Rgb(10, 10));
        EXPECT_EQ(0xFF0000u, canvas.Rgb(19, 19));
    }
    Paint(canvas);
    EXPECT_EQ(0, canvas.CountOtherThan(canvas.Bounds(), kRed)) << "the old clip is back";
}

TEST(RenderClip, RoundClip_CutsTheWindowCorners) {
    Canvas canvas(560, 420, kWhite);
    {
        CRenderClip clip;
        const RECT item = {0, 0, 560, 420};
        CRenderClip::GenerateRoundClip(canvas.DC(), item, item, 3, 3, clip);
        Paint(canvas);
    }
    for (POINT corner : {POINT{0, 0}, POINT{559, 0}, POINT{0, 419}, POINT{559, 419}})
        EXPECT_EQ(0xFFFFFFu, canvas.Rgb(corner.x, corner.y)) << corner.x << "," << corner.y;
    for (POINT inside : {POINT{2, 0}, POINT{0, 2}, POINT{1, 1}, POINT{280, 0}, POINT{559, 210},
                         POINT{280, 419}, POINT{557, 419}, POINT{558, 418}})
        EXPECT_EQ(0xFF0000u, canvas.Rgb(inside.x, inside.y)) << inside.x << "," << inside.y;
    EXPECT_EQ(4, canvas.CountOtherThan(canvas.Bounds(), kRed));
}

TEST(RenderClip, NestedClips_IntersectAndRestoreTheOuterShape) {
    Canvas canvas(40, 40, kWhite);
    CRenderClip outer;
    const RECT item = {0, 0, 40, 40};
    CRenderClip::GenerateRoundClip(canvas.DC(), item, item, 20, 20, outer);
    {
        CRenderClip inner;
        CRenderClip::GenerateClip(canvas.DC(), RECT{20, 20, 60, 60}, inner);
        Paint(canvas);
        EXPECT_EQ(0xFFFFFFu, canvas.Rgb(10, 10)) << "outside the inner clip";
        EXPECT_EQ(0xFFFFFFu, canvas.Rgb(39, 39)) << "outside the outer round corner";
        EXPECT_EQ(0xFF0000u, canvas.Rgb(30, 30));
    }
    // The outer clip still has its round corners once the inner one ends.
    Paint(canvas);
    EXPECT_EQ(0xFFFFFFu, canvas.Rgb(0, 0));
    EXPECT_EQ(0xFFFFFFu, canvas.Rgb(39, 39));
    EXPECT_EQ(0xFF0000u, canvas.Rgb(10, 10));
}

TEST(RenderClip, UseOldClip_PaintsOutsideBetweenThePair) {
    Canvas canvas(40, 40, kWhite);
    CRenderClip outer;
    CRenderClip::GenerateClip(canvas.DC(), RECT{0, 0, 30, 30}, outer);
    CRenderClip clip;
    CRenderClip::GenerateClip(canvas.DC(), RECT{10, 10, 20, 20}, clip);

    CRenderClip::UseOldClipBegin(canvas.DC(), clip);
    CRenderEngine::DrawColor(canvas.DC(), RECT{0, 0, 5, 5}, kRed);
    CRenderEngine::DrawColor(canvas.DC(), RECT{35, 35, 40, 40}, kRed);
    CRenderClip::UseOldClipEnd(canvas.DC(), clip);
    EXPECT_EQ(0xFF0000u, canvas.Rgb(2, 2)) << "inside the clip from before";
    EXPECT_EQ(0xFFFFFFu, canvas.Rgb(37, 37)) << "outside even the clip from before";

    canvas.Fill(kWhite);
    Paint(canvas);
    EXPECT_EQ(100, canvas.CountOtherThan(canvas.Bounds(), kWhite)) << "clipped again";
}

} // namespace
