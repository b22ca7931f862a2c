#include "skinui/core/Handles.h"
#include "skinui/render/DPI.h"
#include "skinui/window/PaintManagerUI.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using SkinUI::CPaintManagerUI;
using SkinUI::TFontInfo;

namespace {

// A manager with a paint device context, as it has once its window exists.
class MeasuringManager : public CPaintManagerUI {
public:
    MeasuringManager() { GetResources()->SetPaintDC(m_dc.Get()); }
    ~MeasuringManager() {
        RemoveAllFonts(false);
        GetResources()->SetPaintDC(nullptr);
    }

private:
    SkinUI::CMemoryDC m_dc{nullptr};
};

bool IsLiveFont(HFONT font) {
    return font != nullptr && GetObjectType(font) == OBJ_FONT;
}

LOGFONTW FontOf(HFONT font) {
    LOGFONTW lf = {};
    GetObjectW(font, sizeof(lf), &lf);
    return lf;
}

class PaintManagerResources : public ::testing::Test {
protected:
    void TearDown() override {
        CPaintManagerUI cleaner;
        cleaner.RemoveAllFonts(true);
        cleaner.RemoveAllDefaultAttributeList(true);
        cleaner.RemoveAllStyle(true);
    }
};

TEST_F(PaintManagerResources, FirstManagerPreparesSharedDefaults) {
    CPaintManagerUI pm;
    EXPECT_EQ(0xFFA7A6AAu, pm.GetDefaultDisabledColor());
    EXPECT_EQ(0xFF000000u, pm.GetDefaultFontColor());
    EXPECT_EQ(0xFF0000FFu, pm.GetDefaultLinkFontColor());
    EXPECT_EQ(0xFFD3215Fu, pm.GetDefaultLinkHoverFontColor());
    EXPECT_EQ(0xFFBAE4FFu, pm.GetDefaultSelectedBkColor());

    TFontInfo* def = pm.GetDefaultFontInfo();
    ASSERT_NE(nullptr, def);
    EXPECT_TRUE(IsLiveFont(def->hFont));
    EXPECT_FALSE(def->sFontName.IsEmpty());
    LOGFONTW stock = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock);
    EXPECT_EQ(-stock.lfHeight, def->iSize);
    EXPECT_EQ(DEFAULT_CHARSET, FontOf(def->hFont).lfCharSet);
    EXPECT_EQ(0, def->tm.tmHeight) << "no device context to measure with";
}

TEST_F(PaintManagerResources, SkinFontsFallBackToTheDefault) {
    CPaintManagerUI pm;
    const struct {
        int id, size;
        bool bold, shared;
    } fonts[] = {{0, 13, false, true}, {1, 12, false, true}, {2, 14, false, true},
                 {3, 16, false, true}, {4, 14, true, true},  {5, 11, false, false}};
    for (const auto& f : fonts)
        ASSERT_NE(nullptr, pm.AddFont(f.id, L"微软雅黑", f.size, f.bold, false, false, f.shared));

    HFONT def = pm.GetDefaultFontInfo()->hFont;
    EXPECT_EQ(def, pm.GetFont(7));
    EXPECT_EQ(def, pm.GetFont(-1));
    EXPECT_EQ(pm.GetDefaultFontInfo(), pm.GetFontInfo(7));

    TFontInfo* four = pm.GetFontInfo(4);
    EXPECT_EQ(14, four->iSize);
    EXPECT_TRUE(four->bBold);
    EXPECT_STREQ(L"微软雅黑", four->sFontName);
    const LOGFONTW lf = FontOf(four->hFont);
    EXPECT_EQ(-14, lf.lfHeight);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_EQ(DEFAULT_CHARSET, lf.lfCharSet);
    EXPECT_STREQ(L"微软雅黑", lf.lfFaceName);

    // A second window sees the shared fonts but not the first window's own.
    CPaintManagerUI other;
    EXPECT_EQ(pm.GetFont(0), other.GetFont(0));
    EXPECT_NE(pm.GetFont(5), other.GetFont(5));
    EXPECT_EQ(other.GetDefaultFontInfo()->hFont, other.GetFont(5));
}

TEST_F(PaintManagerResources, RegisteringAnIdAgainReplacesAndDeletesTheOldFont) {
    CPaintManagerUI pm;
    HFONT first = pm.AddFont(2, L"Arial", 14, false, false, false, false);
    ASSERT_TRUE(IsLiveFont(first));
    HFONT second = pm.AddFont(2, L"Arial", 20, false, true, true, false);
    ASSERT_TRUE(IsLiveFont(second));
    EXPECT_EQ(second, pm.GetFont(2));
    EXPECT_FALSE(IsLiveFont(first)) << "the replaced font object is deleted";
    const LOGFONTW lf = FontOf(second);
    EXPECT_TRUE(lf.lfUnderline);
    EXPECT_TRUE(lf.lfItalic);

    // The same id in the shared table is a different slot; the window's own
    // registration wins for this window.
    HFONT shared = pm.AddFont(2, L"Arial", 30, false, false, false, true);
    EXPECT_TRUE(IsLiveFont(second));
    EXPECT_EQ(second, pm.GetFont(2));
    pm.RemoveAllFonts(false);
    EXPECT_FALSE(IsLiveFont(second));
    EXPECT_EQ(shared, pm.GetFont(2));
}

TEST_F(PaintManagerResources, LongFaceNamesAreCutTo31Characters) {
    CPaintManagerUI pm;
    const std::wstring longName(40, L'F');
    pm.AddFont(1, longName.c_str(), 12, false, false, false, false);
    EXPECT_EQ(longName.substr(0, 31), pm.GetFontInfo(1)->sFontName.GetData());
}

TEST_F(PaintManagerResources, ForceSharedSendsRegistrationsToTheSharedTables) {
    CPaintManagerUI pm;
    pm.SetForceUseSharedRes(true);
    EXPECT_TRUE(pm.IsForceUseSharedRes());
    HFONT font = pm.AddFont(9, L"Arial", 12, false, false, false, false);
    pm.AddStyle(L"big", L"font=\"3\"");
    pm.SetForceUseSharedRes(false);
    CPaintManagerUI other;
    EXPECT_EQ(font, other.GetFont(9));
    EXPECT_STREQ(L"font=\"3\"", other.GetStyle(L"big"));
}

TEST_F(PaintManagerResources, DefaultFontOfTheWindowOrShared) {
    CPaintManagerUI pm;
    TFontInfo* shared = pm.GetDefaultFontInfo();
    pm.SetDefaultFont(L"Arial", 18, true, false, false, false);
    TFontInfo* own = pm.GetDefaultFontInfo();
    EXPECT_NE(shared, own);
    EXPECT_STREQ(L"Arial", own->sFontName);
    EXPECT_EQ(18, own->iSize);
    EXPECT_EQ(FW_BOLD, FontOf(own->hFont).lfWeight);
    EXPECT_EQ(own->hFont, pm.GetFont(3));

    // An empty face keeps the stock face, and still counts as set.
    HFONT previous = own->hFont;
    pm.SetDefaultFont(L"", 10, false, false, false, false);
    EXPECT_FALSE(pm.GetDefaultFontInfo()->sFontName.IsEmpty());
    EXPECT_FALSE(IsLiveFont(previous));

    CPaintManagerUI other;
    EXPECT_EQ(shared, other.GetDefaultFontInfo());
}

TEST_F(PaintManagerResources, MetricsAreMeasuredWithThePaintDeviceContext) {
    MeasuringManager pm;
    pm.AddFont(0, L"Arial", 20, false, false, false, false);
    TFontInfo* info = pm.GetFontInfo(0);
    EXPECT_GT(info->tm.tmHeight, 0);
    EXPECT_GT(pm.GetDefaultFontInfo()->tm.tmHeight, 0);
}

TEST_F(PaintManagerResources, SharedColourChangesReachWindowsThatDidNotChangeTheirs) {
    CPaintManagerUI pm;
    CPaintManagerUI other;
    const DWORD original = pm.GetDefaultFontColor();
    other.SetDefaultFontColor(0x00000000); // the skin's defaultfontcolor
    EXPECT_EQ(0x00000000u, other.GetDefaultFontColor());
    EXPECT_EQ(original, pm.GetDefaultFontColor());

    pm.SetDefaultFontColor(0xFF112233, true);
    EXPECT_EQ(0xFF112233u, pm.GetDefaultFontColor()) << "followed the shared value";
    EXPECT_EQ(0x00000000u, other.GetDefaultFontColor()) << "kept its own value";
    CPaintManagerUI later;
    EXPECT_EQ(0xFF112233u, later.GetDefaultFontColor());

    pm.SetDefaultDisabledColor(1, false);
    pm.SetDefaultLinkFontColor(2, false);
    pm.SetDefaultLinkHoverFontColor(3, false);
    pm.SetDefaultSelectedBkColor(4, false);
    EXPECT_EQ(1u, pm.GetDefaultDisabledColor());
    EXPECT_EQ(2u, pm.GetDefaultLinkFontColor());
    EXPECT_EQ(3u, pm.GetDefaultLinkHoverFontColor());
    EXPECT_EQ(4u, pm.GetDefaultSelectedBkColor());
    pm.SetDefaultFontColor(original, true);
}

TEST_F(PaintManagerResources, AttributeListsAndStylesLookInTheWindowFirst) {
    CPaintManagerUI pm;
    EXPECT_EQ(nullptr, pm.GetDefaultAttributeList(L"Button"));
    pm.AddDefaultAttributeList(L"Button", L"height=\"30\"", true);
    EXPECT_STREQ(L"height=\"30\"", pm.GetDefaultAttributeList(L"Button"));
    pm.AddDefaultAttributeList(L"Button", L"height=\"40\"");
    EXPECT_STREQ(L"height=\"40\"", pm.GetDefaultAttributeList(L"Button"));
    pm.AddDefaultAttributeList(L"Button", L"height=\"50\"");
    EXPECT_STREQ(L"height=\"50\"", pm.GetDefaultAttributeList(L"Button"));
    EXPECT_EQ(nullptr, pm.GetDefaultAttributeList(L"button")) << "class names are case-sensitive";
    EXPECT_TRUE(pm.RemoveDefaultAttributeList(L"Button"));
    EXPECT_STREQ(L"height=\"30\"", pm.GetDefaultAttributeList(L"Button"));
    EXPECT_FALSE(pm.RemoveDefaultAttributeList(L"Button"));

    pm.AddStyle(L"title", L"font=\"4\"");
    EXPECT_STREQ(L"font=\"4\"", pm.GetStyle(L"title"));
    pm.RemoveAllStyle();
    EXPECT_EQ(nullptr, pm.GetStyle(L"title"));
    pm.AddStyle(L"title", L"font=\"4\"", true);
    EXPECT_TRUE(pm.RemoveStyle(L"title", true));
    EXPECT_EQ(nullptr, pm.GetStyle(L"title"));
}

TEST_F(PaintManagerResources, DpiScaleIs100ByDefault) {
    CPaintManagerUI pm;
    EXPECT_EQ(100, pm.GetDPIObj()->GetScale());
    EXPECT_EQ(13, pm.GetDPIObj()->Scale(13));
    EXPECT_EQ(nullptr, pm.GetPaintDC());
}

TEST(DPI, ScaledRectanglesKeepTheirScaledSize) {
    SkinUI::CDPI dpi;
    dpi.SetDPI(144);
    EXPECT_EQ(150, dpi.GetScale());
    EXPECT_EQ(15, dpi.Scale(10));
    // Left 1 and width 1 both become 2 (1.5 rounded); scaling the right edge on
    // its own would give 3 and a width of 1.
    RECT rc = {1, 1, 2, 2};
    dpi.Scale(&rc);
    EXPECT_EQ(2, rc.left);
    EXPECT_EQ(4, rc.right);
    EXPECT_EQ(4, rc.bottom);
}

} // namespace
