#include "skinui/core/SkinTypes.h"

#include <gtest/gtest.h>

using SkinUI::CSkinPoint;
using SkinUI::CSkinRect;
using SkinUI::CSkinSize;

namespace {

void ExpectRect(const RECT& rc, int l, int t, int r, int b) {
    EXPECT_EQ(l, rc.left);
    EXPECT_EQ(t, rc.top);
    EXPECT_EQ(r, rc.right);
    EXPECT_EQ(b, rc.bottom);
}

TEST(SkinRect, JoinIgnoresEmptinessButUnionDoesNot) {
    CSkinRect joined(10, 10, 20, 20);
    joined.Join(CSkinRect(0, 0, 0, 0));
    ExpectRect(joined, 0, 0, 20, 20);

    CSkinRect united(10, 10, 20, 20);
    united.Union(CSkinRect(0, 0, 0, 0));
    ExpectRect(united, 10, 10, 20, 20);
    united.Union(CSkinRect(5, 15, 12, 30));
    ExpectRect(united, 5, 10, 20, 30);
}

TEST(SkinRect, GeometryOperations) {
    CSkinRect rc(10, 20, 110, 70);
    EXPECT_EQ(100, rc.GetWidth());
    EXPECT_EQ(50, rc.GetHeight());
    rc.Offset(5, -5);
    ExpectRect(rc, 15, 15, 115, 65);
    rc.Inflate(2, 3);
    ExpectRect(rc, 13, 12, 117, 68);
    rc.Deflate(2, 3);
    ExpectRect(rc, 15, 15, 115, 65);
    rc.ResetOffset();
    ExpectRect(rc, 0, 0, 100, 50);
    EXPECT_FALSE(rc.IsNull());
    rc.Empty();
    EXPECT_TRUE(rc.IsNull());

    CSkinRect flipped(30, 40, 10, 5);
    flipped.Normalize();
    ExpectRect(flipped, 10, 5, 30, 40);
}

TEST(SkinSizePoint, Construction) {
    RECT rc = {5, 6, 25, 16};
    CSkinSize sz(rc);
    EXPECT_EQ(20, sz.cx);
    EXPECT_EQ(10, sz.cy);

    // x = -2 in the low word, y = 300 in the high word.
    CSkinPoint pt(static_cast<LPARAM>(MAKELONG(0xFFFE, 300)));
    EXPECT_EQ(-2, pt.x);
    EXPECT_EQ(300, pt.y);
    CSkinPoint neg(static_cast<LPARAM>(MAKELONG(7, 0x8000)));
    EXPECT_EQ(7, neg.x);
    EXPECT_EQ(-32768, neg.y);
}

} // namespace
