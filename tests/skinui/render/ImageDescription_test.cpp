#include "skinui/render/ImageDescription.h"

#include <gtest/gtest.h>

using namespace SkinUI;

namespace {

TDrawInfo Parse(const wchar_t* description, const wchar_t* modifier = nullptr) {
    TDrawInfo info;
    info.Clear();
    ParseDrawInfo(info, description, modifier);
    return info;
}

void ExpectRect(const RECT& rc, int l, int t, int r, int b, const wchar_t* what) {
    EXPECT_EQ(l, rc.left) << what;
    EXPECT_EQ(t, rc.top) << what;
    EXPECT_EQ(r, rc.right) << what;
    EXPECT_EQ(b, rc.bottom) << what;
}

// The geometry and flags of a description, as one expectation.
struct TItems {
    RECT dest;
    RECT source;
    RECT corner;
    DWORD mask;
    int fade;
    bool hole;
    bool tiledX;
    bool tiledY;
};

void ExpectItems(const TDrawInfo& info, const TItems& want) {
    ExpectRect(info.rcDest, want.dest.left, want.dest.top, want.dest.right, want.dest.bottom,
               L"dest");
    ExpectRect(info.rcSource, want.source.left, want.source.top, want.source.right,
               want.source.bottom, L"source");
    ExpectRect(info.rcCorner, want.corner.left, want.corner.top, want.corner.right,
               want.corner.bottom, L"corner");
    EXPECT_EQ(want.mask, info.dwMask);
    EXPECT_EQ(want.fade, info.uFade);
    EXPECT_EQ(want.hole, info.bHole);
    EXPECT_EQ(want.tiledX, info.bTiledX);
    EXPECT_EQ(want.tiledY, info.bTiledY);
}

struct NameCase {
    const wchar_t* description;
    const wchar_t* name;
};

TEST(ImageDescription, ImageName_FromItemOrWholeText) {
    const NameCase cases[] = {
        {L"bk_top.png", L"bk_top.png"},     // bare name
        {L"my image.png", L"my image.png"}, // bare name with a space
        {L"file='down.png' dest='70,5,78,10'", L"down.png"},
        {L"res='12' restype='PNG'", L"12"},
        {L"file = 'a.png'", L"a.png"},      // blanks around '='
        {L"  file='a.png'", L"a.png"},      // leading blanks
        {L"File='a.png'", L"File='a.png'"}, // keys are case-sensitive
        {L"file=''", L"file=''"},           // empty values are skipped
        {L"file=a.png", L"file=a.png"},     // no quote: nothing parsed
        {L"dest='1,2,3,4' file='b.png'", L"b.png"},
    };
    for (const NameCase& c : cases)
        EXPECT_STREQ(c.name, Parse(c.description).sImageName.GetData()) << c.description;
}

TEST(ImageDescription, EveryItem_IsApplied) {
    TDrawInfo info = Parse(L"file='a.png' restype='PNG' dest='1,2,3,4' source='5,6,7,8' "
                           L"corner='9,10,11,12' mask='#FFFF00FF' fade='128' hole='TRUE' "
                           L"xtiled='true' ytiled='True' hsl='tRuE'");
    EXPECT_STREQ(L"a.png", info.sImageName.GetData());
    EXPECT_STREQ(L"PNG", info.sResType.GetData());
    ExpectItems(info,
                {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, 0xFFFF00FFu, 128, true, true, true});
    EXPECT_TRUE(info.bHSL);
}

TEST(ImageDescription, Defaults_WhenItemsAreAbsentOrNotTrue) {
    TDrawInfo info = Parse(L"file='a.png' hole='yes' xtiled='1' mask='FF00FF'");
    ExpectItems(info,
                {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, 0x00FF00FFu, 255, false, false, false});
    EXPECT_TRUE(info.sResType.IsEmpty());
}

TEST(ImageDescription, Fade_KeepsLowEightBits) {
    EXPECT_EQ(44, Parse(L"fade='300'").uFade);
    EXPECT_EQ(0, Parse(L"fade='256'").uFade);
    EXPECT_EQ(255, Parse(L"fade='-1'").uFade);
    EXPECT_EQ(0, Parse(L"fade='x'").uFade);
}

TEST(ImageDescription, Numbers_SkipExactlyOneSeparator) {
    ExpectRect(Parse(L"dest='70,5,78,10'").rcDest, 70, 5, 78, 10, L"commas");
    ExpectRect(Parse(L"dest='1;2;3;4'").rcDest, 1, 2, 3, 4, L"any separator");
    ExpectRect(Parse(L"dest='-1,-2,3,4'").rcDest, -1, -2, 3, 4, L"signs");
    // Two separators: the second is read as a number, which gives 0.
    ExpectRect(Parse(L"dest='1,,2,3'").rcDest, 1, 0, 2, 3, L"double comma");
    // A short list fills the rest with 0 and never reads past the value.
    ExpectRect(Parse(L"dest='5'").rcDest, 5, 0, 0, 0, L"short list");
    ExpectRect(Parse(L"dest='5,6,'").rcDest, 5, 6, 0, 0, L"trailing comma");
}

TEST(ImageDescription, MalformedItem_KeepsItemsBeforeIt) {
    // Missing closing quote.
    TDrawInfo a = Parse(L"file='a.png' dest='1,2,3,4' fade='9");
    EXPECT_STREQ(L"a.png", a.sImageName.GetData());
    ExpectRect(a.rcDest, 1, 2, 3, 4, L"dest");
    EXPECT_EQ(255, a.uFade);
    // A separator other than a space ends the text.
    TDrawInfo b = Parse(L"file='a.png',dest='1,2,3,4'");
    EXPECT_STREQ(L"a.png", b.sImageName.GetData());
    ExpectRect(b.rcDest, 0, 0, 0, 0, L"dest after comma");
    // A key without '=' ends the text.
    TDrawInfo c = Parse(L"file='a.png' dest '1,2,3,4' fade='7'");
    EXPECT_EQ(255, c.uFade);
    // A trailing space after the last item is harmless.
    EXPECT_STREQ(L"a.png", Parse(L"file='a.png' ").sImageName.GetData());
    // Two spaces between items are skipped as blanks.
    EXPECT_EQ(7, Parse(L"file='a.png'  fade='7'").uFade);
    // Unknown keys are skipped, later items still apply.
    EXPECT_EQ(10, Parse(L"file='a.png' unknown='x' fade='10'").uFade);
}

TEST(ImageDescription, Modifier_OverridesDescription) {
    TDrawInfo info = Parse(L"file='a.png' dest='0,0,10,10' fade='100'", L"dest='1,1,5,5'");
    EXPECT_STREQ(L"file='a.png' dest='0,0,10,10' fade='100'", info.sDrawString.GetData());
    EXPECT_STREQ(L"dest='1,1,5,5'", info.sDrawModify.GetData());
    EXPECT_STREQ(L"a.png", info.sImageName.GetData());
    ExpectRect(info.rcDest, 1, 1, 5, 5, L"dest");
    EXPECT_EQ(100, info.uFade);

    // A malformed modifier keeps the description's items.
    TDrawInfo kept = Parse(L"file='a.png' dest='0,0,10,10'", L"dest='1,1");
    ExpectRect(kept.rcDest, 0, 0, 10, 10, L"dest");

    // The modifier can also rename the image of a bare description.
    EXPECT_STREQ(L"b.png", Parse(L"a.png", L"file='b.png'").sImageName.GetData());
}

TEST(ImageDescription, Clear_KeepsResourceType) {
    TDrawInfo info = Parse(L"file='a.png' restype='PNG' fade='1' hole='true' dest='1,1,1,1'");
    info.Clear();
    EXPECT_TRUE(info.sImageName.IsEmpty());
    EXPECT_STREQ(L"PNG", info.sResType.GetData());
    EXPECT_EQ(255, info.uFade);
    EXPECT_FALSE(info.bHole);
    EXPECT_TRUE(info.rcDest.IsNull());
}

} // namespace
