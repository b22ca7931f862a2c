#include "skinui/control/LabelUI.h"

#include "skinui/render/RenderEngine.h"
#include "tests/skinui/support/TestWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinUI;
using skintest::SkinTestWindow;

namespace {

// Pixels of the rectangle whose colour is exactly `rgb`.
int CountColour(SkinTestWindow& window, const RECT& rc, DWORD rgb) {
    const std::vector<DWORD> pixels = window.Capture();
    RECT client = {};
    GetClientRect(window, &client);
    int count = 0;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) {
            if (pixels[static_cast<size_t>(y) * client.right + x] == rgb)
                ++count;
        }
    }
    return count;
}

} // namespace

TEST(LabelUI, TextStyleAttributes) {
    const UINT base = DT_VCENTER | DT_SINGLELINE;
    const struct {
        const wchar_t* name;
        const wchar_t* value;
        UINT expected;
    } cases[] = {
        {L"align", L"center", base | DT_CENTER},
        {L"align", L"right", base | DT_RIGHT},
        {L"align", L"left", base},
        {L"ALIGN", L"centerright", base | DT_RIGHT}, // both found, applied in order
        {L"valign", L"top", DT_SINGLELINE},
        {L"valign", L"bottom", DT_BOTTOM | DT_SINGLELINE},
        {L"valign", L"vcenter", base},
        {L"wordbreak", L"true", DT_VCENTER | DT_WORDBREAK | DT_EDITCONTROL},
        {L"wordbreak", L"false", base},
        {L"endellipsis", L"TRUE", base | DT_END_ELLIPSIS},
        {L"noprefix", L"true", base | DT_NOPREFIX},
        {L"noprefix", L"yes", base},
    };
    for (const auto& c : cases) {
        CLabelUI label;
        label.SetAttribute(c.name, c.value);
        EXPECT_EQ(label.GetTextStyle(), c.expected) << c.name << "=" << c.value;
    }
}

TEST(LabelUI, OtherAttributes) {
    CLabelUI label;
    label.SetAttribute(L"textcolor", L"#FFFF0000");
    label.SetAttribute(L"disabledtextcolor", L"FF00FF00");
    label.SetAttribute(L"font", L"3");
    label.SetAttribute(L"textpadding", L"20,0,0,0");
    label.SetAttribute(L"showhtml", L"true");
    label.SetAttribute(L"autocalcwidth", L"true");
    label.SetAttribute(L"width", L"110");
    EXPECT_EQ(label.GetTextColor(), 0xFFFF0000u);
    EXPECT_EQ(label.GetDisabledTextColor(), 0xFF00FF00u);
    EXPECT_EQ(label.GetFont(), 3);
    EXPECT_EQ(label.GetTextPadding().left, 20);
    EXPECT_EQ(label.GetTextPadding().right, 0);
    EXPECT_TRUE(label.IsShowHtml());
    EXPECT_TRUE(label.GetAutoCalcWidth());
    EXPECT_EQ(label.GetFixedWidth(), 110);
    EXPECT_STREQ(label.GetClass(), L"LabelUI");
    EXPECT_EQ(label.GetInterface(L"LABEL"), &label);
    EXPECT_EQ(label.GetInterface(L"Control"), &label);
    EXPECT_EQ(label.GetInterface(L"Button"), nullptr);
    EXPECT_EQ(label.GetControlFlags(), static_cast<UINT>(ControlFlagSetCursor));
    label.SetEnabled(false);
    EXPECT_EQ(label.GetControlFlags(), 0u);
}

TEST(LabelUI, WithoutAFixedHeightALabelIsOneLineOfItsFontPlusFour) {
    SkinTestWindow window(
        L"<Window size=\"200,200\"><Font id=\"1\" name=\"Arial\" size=\"20\"/><VerticalLayout>"
        L"<Label name=\"plain\" text=\"x\"/><Label name=\"big\" font=\"1\"/>"
        L"<Label name=\"fixed\" height=\"30\" font=\"1\"/></VerticalLayout></Window>");
    ASSERT_TRUE(window.Open());
    CPaintManagerUI& pm = window.Manager();
    EXPECT_EQ(window.Find(L"plain")->GetHeight(), pm.GetFontInfo(-1)->tm.tmHeight + 4);
    EXPECT_EQ(window.Find(L"big")->GetHeight(), pm.GetFontInfo(1)->tm.tmHeight + 4);
    EXPECT_EQ(window.Find(L"fixed")->GetHeight(), 30);
}

TEST(LabelUI, AnAutoWidthLabelGrowsWithItsTextAndMovesItsSiblings) {
    SkinTestWindow window(
        L"<Window size=\"400,50\"><HorizontalLayout>"
        L"<Label name=\"auto\" autocalcwidth=\"true\" text=\"ab\" textpadding=\"3,0,5,0\"/>"
        L"<Label name=\"after\" width=\"50\"/></HorizontalLayout></Window>");
    ASSERT_TRUE(window.Open());
    CLabelUI* label = window.Get<CLabelUI>(L"auto");
    CControlUI* after = window.Find(L"after");
    const int narrow = label->GetWidth();
    RECT measure = {0, 0, 400, 50};
    CRenderEngine::DrawText(window.Manager().GetPaintDC(), window.Manager().GetResources(), measure,
                            L"ab", 0, -1, DT_VCENTER | DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(narrow, measure.right - measure.left + 8);
    EXPECT_EQ(after->GetX(), label->GetPos().right);

    label->SetText(L"a much longer text");
    window.Paint();
    EXPECT_GT(label->GetWidth(), narrow + 20);
    EXPECT_EQ(after->GetX(), label->GetPos().right);
}

TEST(LabelUI, TextColoursEnabledDisabledAndTheWindowDefault) {
    SkinTestWindow window(
        L"<Window size=\"300,60\" defaultfontcolor=\"#FF00FF00\">"
        L"<Font id=\"1\" name=\"Arial\" size=\"28\" bold=\"true\"/>"
        L"<HorizontalLayout bkcolor=\"#FFFFFFFF\">"
        L"<Label name=\"red\" width=\"100\" font=\"1\" text=\"WWW\" textcolor=\"#FFFF0000\""
        L" disabledtextcolor=\"#FF0000FF\"/>"
        L"<Label name=\"default\" width=\"100\" font=\"1\" text=\"WWW\"/>"
        L"<Label name=\"empty\" width=\"100\" font=\"1\" textcolor=\"#FFFF0000\"/>"
        L"</HorizontalLayout></Window>");
    ASSERT_TRUE(window.Open());
    const RECT first = {0, 0, 100, 60};
    const RECT second = {100, 0, 200, 60};
    const RECT third = {200, 0, 300, 60};
    EXPECT_GT(CountColour(window, first, 0xFF0000), 30);
    EXPECT_EQ(CountColour(window, first, 0x0000FF), 0);
    EXPECT_GT(CountColour(window, second, 0x00FF00), 30);
    EXPECT_EQ(CountColour(window, third, 0xFFFFFF), 100 * 60);
    // The zero colour was replaced by the window's default and kept.
    EXPECT_EQ(window.Get<CLabelUI>(L"default")->GetTextColor(), 0xFF00FF00u);

    window.Find(L"red")->SetEnabled(false);
    EXPECT_EQ(CountColour(window, first, 0xFF0000), 0);
    EXPECT_GT(CountColour(window, first, 0x0000FF), 30);
}

TEST(LabelUI, TextPaddingMovesTheText) {
    SkinTestWindow window(
        L"<Window size=\"200,40\"><Font id=\"1\" name=\"Arial\" size=\"28\" bold=\"true\"/>"
        L"<VerticalLayout bkcolor=\"#FFFFFFFF\">"
        L"<Label name=\"l\" height=\"40\" font=\"1\" text=\"W\" textcolor=\"#FFFF0000\""
        L" textpadding=\"120,0,0,0\"/></VerticalLayout></Window>");
    ASSERT_TRUE(window.Open());
    EXPECT_EQ(CountColour(window, RECT{0, 0, 120, 40}, 0xFF0000), 0);
    EXPECT_GT(CountColour(window, RECT{120, 0, 200, 40}, 0xFF0000), 10);
}
