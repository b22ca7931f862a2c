#include "skinui/render/GdiplusApi.h"
#include "skinui/render/RenderEngine.h"
#include "skinui/window/PaintManagerUI.h"

#include "RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace SkinUI;
using rendertest::Canvas;

namespace {

constexpr DWORD kWhite = 0xFFFFFFFF;
const wchar_t kFace[] = L"微软雅黑";
// The CJK font the test prefix maps the skin's face to, by its own name. Wine's
// GDI+ cannot find a family under a substituted name (GDI can), so under Wine
// only this name exercises GDI+ drawing; the skin's face there falls back to
// GDI, which the engine does whenever GDI+ cannot use the selected font.
const wchar_t kGdiplusFace[] = L"WenQuanYi Micro Hei";
const wchar_t kText[] = L"立即安装";

struct TextPath {
    bool gdiplus;
    const wchar_t* face;
    const char* name;
};

// The skin's fonts: id 1 is the face at 12, id 3 at 16.
class RenderTextTest : public ::testing::TestWithParam<TextPath> {
protected:
    void SetUp() override {
        m_manager.AddFont(1, GetParam().face, 12, false, false, false);
        m_manager.AddFont(3, GetParam().face, 16, false, false, false);
        m_manager.SetUseGdiplusText(GetParam().gdiplus);
    }

    // Draws and answers the box of the ink, or an empty box.
    RECT Ink(Canvas& canvas, RECT rc, const wchar_t* text, UINT format, DWORD colour = 0xFF000000,
             int font = 1) {
        CRenderEngine::DrawText(canvas.DC(), m_manager.GetResources(), rc, text, colour, font,
                                format);
        return canvas.InkBox(kWhite);
    }

    RECT Measure(RECT rc, const wchar_t* text, UINT format, int font = 1) {
        Canvas canvas(4, 4, kWhite);
        CRenderEngine::DrawText(canvas.DC(), m_manager.GetResources(), rc, text, 0xFF000000, font,
                                format | DT_CALCRECT);
        return rc;
    }

    CPaintManagerUI m_manager;
};

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Show(const RECT& rc) {
    char text[64];
    snprintf(text, sizeof(text), "(%ld,%ld)-(%ld,%ld)", rc.left, rc.top, rc.right, rc.bottom);
    return text;
}

TEST_P(RenderTextTest, CjkText_LiesInsideItsMeasuredBox) {
    const RECT box = Measure(RECT{20, 10, 20, 10}, kText, DT_SINGLELINE);
    EXPECT_EQ(20, box.left);
    EXPECT_EQ(10, box.top);
    // Four CJK glyphs of a 12-pixel face are about 48 pixels wide.
    EXPECT_GE(box.right - box.left, 40) << Show(box);
    EXPECT_LE(box.right - box.left, 60) << Show(box);
    EXPECT_GE(box.bottom - box.top, 12) << Show(box);
    EXPECT_LE(box.bottom - box.top, 24) << Show(box);

    Canvas canvas(120, 40, kWhite);
    const RECT ink = Ink(canvas, box, kText, DT_SINGLELINE);
    EXPECT_GT(ink.right, ink.left) << "something was drawn";
    EXPECT_TRUE(Inside(ink, box)) << Show(ink) << " in " << Show(box);
    // Black text: the darkest ink is (nearly) black.
    bool dark = false;
    for (int y = ink.top; y < ink.bottom; ++y)
        for (int x = ink.left; x < ink.right; ++x)
            dark = dark || canvas.Rgb(x, y) < 0x202020;
    EXPECT_TRUE(dark);
}

TEST_P(RenderTextTest, Alignment_FollowsTheFormat) {
    const RECT rc = {10, 10, 210, 70}; // 200 x 60
    const RECT size = Measure(RECT{0, 0, 0, 0}, kText, DT_SINGLELINE);
    const int w = size.right, h = size.bottom;
    struct Case {
        UINT format;
        const char* name;
    } cases[] = {
        {DT_SINGLELINE | DT_LEFT | DT_TOP, "left top"},
        {DT_SINGLELINE | DT_CENTER | DT_VCENTER, "centre"},
        {DT_SINGLELINE | DT_RIGHT | DT_BOTTOM, "right bottom"},
    };
    for (const Case& c : cases) {
        Canvas canvas(220, 80, kWhite);
        const RECT ink = Ink(canvas, rc, kText, c.format);
        ASSERT_GT(ink.right, ink.left) << c.name;
        EXPECT_TRUE(Inside(ink, rc)) << c.name << ": " << Show(ink);
        // The ink lies in the text's own box placed as the format asks; a few
        // pixels of slack cover the glyphs' side bearings.
        int left = rc.left, top = rc.top;
        if (c.format & DT_CENTER)
            left = (rc.left + rc.right - w) / 2;
        if (c.format & DT_RIGHT)
            left = rc.right - w;
        if (c.format & DT_VCENTER)
            top = (rc.top + rc.bottom - h) / 2;
        if (c.format & DT_BOTTOM)
            top = rc.bottom - h;
        const RECT expected = {left - 3, top - 3, left + w + 3, top + h + 3};
        EXPECT_TRUE(Inside(ink, expected))
            << c.name << ": ink " << Show(ink) << " expected in " << Show(expected);
    }
}

TEST_P(RenderTextTest, FontId_SelectsTheRegisteredFont) {
    const RECT small = Measure(RECT{0, 0, 0, 0}, kText, DT_SINGLELINE, 1);
    const RECT large = Measure(RECT{0, 0, 0, 0}, kText, DT_SINGLELINE, 3);
    EXPECT_GT(large.right, small.right);
    EXPECT_GT(large.bottom, small.bottom);
}

TEST_P(RenderTextTest, Colour_DropsAlphaOnGdiAndKeepsTheHue) {
    Canvas canvas(120, 40, kWhite);
    const RECT ink = Ink(canvas, RECT{0, 0, 120, 40}, L"青梧", DT_SINGLELINE, 0x80FF0000, 3);
    ASSERT_GT(ink.right, ink.left);
    // The most saturated ink pixel is clearly red.
    bool red = false;
    for (int y = ink.top; y < ink.bottom; ++y)
        for (int x = ink.left; x < ink.right; ++x) {
            const DWORD c = canvas.Rgb(x, y);
            red =
                red || (((c >> 16) & 0xFF) > 0xC0 && ((c >> 8) & 0xFF) < 0x60 && (c & 0xFF) < 0x60);
        }
    EXPECT_TRUE(red);
}

TEST_P(RenderTextTest, MissingTextOrManager_DrawsNothing) {
    Canvas canvas(40, 20, kWhite);
    RECT rc = {0, 0, 40, 20};
    CRenderEngine::DrawText(canvas.DC(), m_manager.GetResources(), rc, nullptr, 0xFF000000, 1,
                            DT_SINGLELINE);
    CRenderEngine::DrawText(canvas.DC(), nullptr, rc, L"x", 0xFF000000, 1, DT_SINGLELINE);
    EXPECT_EQ(0, canvas.CountOtherThan(canvas.Bounds(), kWhite));
}

INSTANTIATE_TEST_SUITE_P(GdiAndGdiplus, RenderTextTest,
                         ::testing::Values(TextPath{false, kFace, "Gdi"},
                                           TextPath{true, kFace, "GdiplusSkinFace"},
                                           TextPath{true, kGdiplusFace, "Gdiplus"}),
                         [](const ::testing::TestParamInfo<TextPath>& info) {
                             return std::string(info.param.name);
                         });

class RenderTextGdiTest : public ::testing::Test {
protected:
    void SetUp() override { m_manager.AddFont(1, kFace, 12, false, false, false); }
    CPaintManagerUI m_manager;
};

TEST_F(RenderTextGdiTest, DrawText_RestoresTheDeviceContext) {
    Canvas canvas(40, 20, kWhite);
    HFONT before = static_cast<HFONT>(GetCurrentObject(canvas.DC(), OBJ_FONT));
    SetTextColor(canvas.DC(), RGB(1, 2, 3));
    SetBkMode(canvas.DC(), OPAQUE);
    RECT rc = {0, 0, 40, 20};
    CRenderEngine::DrawText(canvas.DC(), m_manager.GetResources(), rc, L"青", 0xFFFF0000, 1,
                            DT_SINGLELINE);
    EXPECT_EQ(before, GetCurrentObject(canvas.DC(), OBJ_FONT));
    EXPECT_EQ(RGB(1, 2, 3), GetTextColor(canvas.DC()));
    EXPECT_EQ(OPAQUE, GetBkMode(canvas.DC()));
}

TEST_F(RenderTextGdiTest, GetTextSize_MeasuresOneLine) {
    Canvas canvas(4, 4, kWhite);
    const SIZE one = CRenderEngine::GetTextSize(canvas.DC(), m_manager.GetResources(), L"青", 1, 0);
    const SIZE four =
        CRenderEngine::GetTextSize(canvas.DC(), m_manager.GetResources(), kText, 1, 0);
    EXPECT_GT(one.cx, 0);
    EXPECT_EQ(one.cy, four.cy);
    EXPECT_NEAR(4 * one.cx, four.cx, 4);
    // The same box DrawText measures for a single line.
    RECT rc = {0, 0, 0, 0};
    CRenderEngine::DrawText(canvas.DC(), m_manager.GetResources(), rc, kText, 0xFF000000, 1,
                            DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(four.cx, rc.right);
    EXPECT_EQ(four.cy, rc.bottom);

    const SIZE none = CRenderEngine::GetTextSize(canvas.DC(), nullptr, kText, 1, 0);
    EXPECT_EQ(0, none.cx);
    EXPECT_EQ(0, none.cy);
}

TEST_F(RenderTextGdiTest, UnknownFontId_UsesTheDefaultFont) {
    Canvas canvas(4, 4, kWhite);
    const SIZE unknown =
        CRenderEngine::GetTextSize(canvas.DC(), m_manager.GetResources(), kText, 7, 0);
    const SIZE fallback =
        CRenderEngine::GetTextSize(canvas.DC(), m_manager.GetResources(), kText, -1, 0);
    EXPECT_EQ(fallback.cx, unknown.cx);
    EXPECT_EQ(fallback.cy, unknown.cy);
}

TEST_F(RenderTextGdiTest, BackgroundVariant_FillsOrNotAndNeverTakesPrefixes) {
    Canvas opaque(60, 30, kWhite);
    RECT rc = {0, 0, 60, 30};
    CRenderEngine::DrawText(opaque.DC(), m_manager.GetResources(), rc, L"青", 0xFF000000, 1,
                            DT_SINGLELINE, 0xFF00FF00, false);
    EXPECT_EQ(0x00FF00u, opaque.Rgb(0, 0)) << "the text cell gets the background colour";

    Canvas transparent(60, 30, kWhite);
    CRenderEngine::DrawText(transparent.DC(), m_manager.GetResources(), rc, L"青", 0xFF000000, 1,
                            DT_SINGLELINE, 0xFF00FF00, true);
    EXPECT_EQ(0xFFFFFFu, transparent.Rgb(0, 0));

    // "&&" is one ampersand with prefix processing and two without it.
    RECT plain = {0, 0, 0, 0}, noPrefix = {0, 0, 0, 0};
    CRenderEngine::DrawText(opaque.DC(), m_manager.GetResources(), plain, L"&&", 0xFF000000, 1,
                            DT_SINGLELINE | DT_CALCRECT);
    CRenderEngine::DrawText(opaque.DC(), m_manager.GetResources(), noPrefix, L"&&", 0xFF000000, 1,
                            DT_SINGLELINE | DT_CALCRECT, 0, true);
    EXPECT_GT(noPrefix.right, plain.right);
}

// Measures the text as the GDI+ path does, straight through GDI+.
Gdiplus::RectF GdiplusBounds(HDC hDC, HFONT hFont, const wchar_t* text) {
    const TGdiplusApi* api = GetGdiplusApi();
    Gdiplus::RectF bounds(0, 0, 0, 0);
    Gdiplus::GpGraphics* g = nullptr;
    if (api == nullptr || api->CreateFromHDC(hDC, &g) != Gdiplus::Ok)
        return bounds;
    HGDIOBJ old = SelectObject(hDC, hFont);
    Gdiplus::GpFont* font = nullptr;
    Gdiplus::GpStringFormat *typographic = nullptr, *format = nullptr;
    if (api->CreateFontFromDC(hDC, &font) != Gdiplus::Ok) {
        SelectObject(hDC, old);
        api->DeleteGraphics(g);
        return bounds;
    }
    api->StringFormatGetGenericTypographic(&typographic);
    api->CloneStringFormat(typographic, &format);
    api->SetStringFormatFlags(format, Gdiplus::StringFormatFlagsNoWrap);
    const Gdiplus::RectF layout(0, 0, 0, 0);
    api->MeasureString(g, text, -1, font, &layout, format, &bounds, nullptr, nullptr);
    api->DeleteStringFormat(format);
    api->DeleteFont(font);
    SelectObject(hDC, old);
    api->DeleteGraphics(g);
    return bounds;
}

TEST_F(RenderTextGdiTest, GdiplusPath_CalcRectIsTruncatedSizePlusOne) {
    Canvas canvas(4, 4, kWhite);
    CPaintManagerUI fonts;
    fonts.AddFont(1, kGdiplusFace, 12, false, false, false);
    const Gdiplus::RectF bounds = GdiplusBounds(canvas.DC(), fonts.GetFont(1), kText);
    ASSERT_GT(bounds.Width, 0);
    for (bool layered : {false, true}) {
        CPaintManagerUI manager;
        manager.AddFont(1, kGdiplusFace, 12, false, false, false);
        manager.SetUseGdiplusText(!layered);
        manager.SetLayered(layered);
        RECT rc = {5, 7, 5, 7};
        CRenderEngine::DrawText(canvas.DC(), manager.GetResources(), rc, kText, 0xFF000000, 1,
                                DT_SINGLELINE | DT_CALCRECT);
        EXPECT_EQ(5 + static_cast<int>(bounds.Width) + 1, rc.right) << bounds.Width;
        EXPECT_EQ(7 + static_cast<int>(bounds.Height) + 1, rc.bottom) << bounds.Height;
    }
}

TEST_F(RenderTextGdiTest, LayeredWindow_DrawsText) {
    m_manager.SetLayered(true);
    Canvas canvas(120, 40, kWhite);
    RECT rc = {0, 0, 120, 40};
    CRenderEngine::DrawText(canvas.DC(), m_manager.GetResources(), rc, kText, 0xFF000000, 1,
                            DT_SINGLELINE);
    const RECT ink = canvas.InkBox(kWhite);
    EXPECT_GT(ink.right, ink.left);
}

TEST_F(RenderTextGdiTest, HtmlText_DrawsTheWordsWithoutTags) {
    RECT tagged = {0, 0, 0, 0}, plain = {0, 0, 0, 0};
    Canvas canvas(4, 4, kWhite);
    int links = 5;
    CRenderEngine::DrawHtmlText(canvas.DC(), m_manager.GetResources(), tagged,
                                L"<b>青梧</b>{c #FF0000}云", 0, nullptr, nullptr, links, 1,
                                DT_SINGLELINE | DT_CALCRECT);
    CRenderEngine::DrawText(canvas.DC(), m_manager.GetResources(), plain, L"青梧云", 0, 1,
                            DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(0, links);
    EXPECT_EQ(plain.right, tagged.right);
}

} // namespace
