#include "skinui/control/ButtonUI.h"

#include "skinui/control/TabLayoutUI.h"
#include "tests/skinui/support/TestWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinUI;
using skintest::SkinFolder;
using skintest::SkinTestWindow;

namespace {

typedef std::vector<std::wstring> Log;

const DWORD kNormal = 0x808080;
const DWORD kHot = 0x00FF00;
const DWORD kPushed = 0x0000FF;
const DWORD kFocused = 0xFFFF00;
const DWORD kDisabled = 0xFF0000;

// Two buttons in a row: "b" at (0,0)-(100,40), "other" at (100,0)-(200,40).
const wchar_t kTwoButtons[] =
    L"<Window size=\"300,100\"><VerticalLayout><HorizontalLayout height=\"40\">"
    L"<Button name=\"b\" width=\"100\"/><Button name=\"other\" width=\"100\"/>"
    L"</HorizontalLayout></VerticalLayout></Window>";

Log Mouse(SkinTestWindow& window) {
    return window.Of({L"leftbuttondown", L"leftbuttonup", L"click"});
}

} // namespace

// The rows of the state machine in ButtonUI.h, walked with real mouse messages.
TEST(ButtonUI, ClickComesOnlyOnReleaseInside) {
    const struct {
        const char* what;
        std::vector<POINT> path; // down at the first point, moves, up at the last
        Log expected;
    } cases[] = {
        {"press and release inside",
         {{50, 20}, {50, 20}},
         {L"leftbuttondown b", L"click b", L"leftbuttonup b"}},
        {"release outside",
         {{50, 20}, {150, 20}, {250, 80}},
         {L"leftbuttondown b", L"leftbuttonup b"}},
        {"out and back in",
         {{50, 20}, {250, 80}, {60, 30}},
         {L"leftbuttondown b", L"click b", L"leftbuttonup b"}},
        {"pressed on the other button, released on this one",
         {{150, 20}, {50, 20}},
         {L"leftbuttondown other", L"leftbuttonup other"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SkinTestWindow window(kTwoButtons);
        ASSERT_TRUE(window.Open());
        window.notifications.clear();
        window.LButtonDown(c.path.front().x, c.path.front().y);
        for (size_t i = 1; i + 1 < c.path.size(); ++i)
            window.MouseMove(c.path[i].x, c.path[i].y);
        window.MouseMove(c.path.back().x, c.path.back().y);
        window.LButtonUp(c.path.back().x, c.path.back().y);
        EXPECT_EQ(Mouse(window), c.expected);
        EXPECT_EQ(window.Get<CButtonUI>(L"b")->GetButtonState() & (StatePushed | StateCaptured),
                  0u);
    }
}

TEST(ButtonUI, DoubleClickPressesAgainAndClicksAgain) {
    SkinTestWindow window(kTwoButtons);
    ASSERT_TRUE(window.Open());
    window.notifications.clear();
    window.Click(50, 20);
    window.LButtonDblClk(50, 20);
    window.MouseMove(50, 20);
    window.LButtonUp(50, 20);
    EXPECT_EQ(Mouse(window), (Log{L"leftbuttondown b", L"click b", L"leftbuttonup b",
                                  L"leftbuttondown b", L"click b", L"leftbuttonup b"}));
}

TEST(ButtonUI, SpaceOrReturnOnTheFocusedButtonClicksAlone) {
    SkinTestWindow window(kTwoButtons);
    ASSERT_TRUE(window.Open());
    window.Find(L"b")->SetFocus();
    window.notifications.clear();
    window.PostKey(VK_SPACE);
    window.PostKey(VK_RETURN);
    window.PostKey('A');
    EXPECT_EQ(Mouse(window), (Log{L"click b", L"click b"}));

    window.Find(L"b")->SetKeyboardEnabled(false);
    window.notifications.clear();
    window.PostKey(VK_RETURN);
    EXPECT_TRUE(Mouse(window).empty());
}

TEST(ButtonUI, DisabledOrInvisibleButtonsDoNotClick) {
    SkinTestWindow window(kTwoButtons);
    ASSERT_TRUE(window.Open());
    CButtonUI* button = window.Get<CButtonUI>(L"b");
    button->SetEnabled(false);
    window.notifications.clear();
    window.Click(50, 20);
    EXPECT_TRUE(Mouse(window).empty());
    EXPECT_FALSE(button->Activate());
    button->SetEnabled(true);
    EXPECT_TRUE(button->Activate());
    EXPECT_EQ(Mouse(window), (Log{L"click b"}));
}

TEST(ButtonUI, AMouseDisabledButtonHandsTheMouseToItsParent) {
    SkinTestWindow window(kTwoButtons);
    ASSERT_TRUE(window.Open());
    window.Find(L"b")->SetMouseEnabled(false);
    window.notifications.clear();
    window.Click(50, 20);
    EXPECT_TRUE(Mouse(window).empty());
}

TEST(ButtonUI, StateImagesFollowHotPushedFocusedAndDisabled) {
    SkinFolder folder;
    folder.Write(L"normal.png", skintest::SolidPng(8, 8, 0xFF000000 | kNormal));
    folder.Write(L"hot.png", skintest::SolidPng(8, 8, 0xFF000000 | kHot));
    folder.Write(L"pushed.png", skintest::SolidPng(8, 8, 0xFF000000 | kPushed));
    folder.Write(L"focused.png", skintest::SolidPng(8, 8, 0xFF000000 | kFocused));
    folder.Write(L"disabled.png", skintest::SolidPng(8, 8, 0xFF000000 | kDisabled));
    SkinTestWindow window(
        L"<Window size=\"300,100\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
        L"<HorizontalLayout height=\"40\"><Button name=\"first\" width=\"100\"/>"
        L"<Button name=\"b\" width=\"100\" normalimage=\"normal.png\" hotimage=\"hot.png\""
        L" pushedimage=\"pushed.png\" focusedimage=\"focused.png\""
        L" disabledimage=\"disabled.png\"/></HorizontalLayout></VerticalLayout></Window>");
    ASSERT_TRUE(window.Open());
    CButtonUI* button = window.Get<CButtonUI>(L"b");
    window.MouseMove(250, 80);
    EXPECT_EQ(window.Pixel(150, 20), kNormal);
    window.MouseMove(150, 20);
    EXPECT_EQ(window.Pixel(150, 20), kHot);
    window.LButtonDown(150, 20);
    EXPECT_EQ(window.Pixel(150, 20), kPushed);
    // Dragged out: no longer hot or pushed, but the press gave it the focus.
    window.MouseMove(250, 80);
    EXPECT_EQ(window.Pixel(150, 20), kFocused);
    window.MouseMove(250, 80);
    window.LButtonUp(250, 80);
    EXPECT_EQ(window.Pixel(150, 20), kFocused);
    // A disabled window (a modal box above it) shows the plain look.
    window.MouseMove(150, 20);
    EnableWindow(window, FALSE);
    window.Find(L"b")->Invalidate();
    EXPECT_EQ(window.Pixel(150, 20), kNormal);
    EnableWindow(window, TRUE);
    button->SetEnabled(false);
    EXPECT_EQ(window.Pixel(150, 20), kDisabled);
    EXPECT_EQ(button->GetButtonState() & (StateDisabled | StateHot | StatePushed), StateDisabled);
}

TEST(ButtonUI, AStateImageThatCannotBeDrawnFallsBackToTheNormalImage) {
    SkinFolder folder;
    folder.Write(L"normal.png", skintest::SolidPng(8, 8, 0xFF000000 | kNormal));
    SkinTestWindow window(
        L"<Window size=\"300,100\"><HorizontalLayout><Button name=\"first\" width=\"100\"/>"
        L"<Button name=\"b\" width=\"100\" normalimage=\"normal.png\" hotimage=\"missing.png\"/>"
        L"</HorizontalLayout></Window>");
    ASSERT_TRUE(window.Open());
    window.MouseMove(150, 20);
    ASSERT_NE(window.Get<CButtonUI>(L"b")->GetButtonState() & StateHot, 0u);
    EXPECT_EQ(window.Pixel(150, 20), kNormal);
}

TEST(ButtonUI, HotAndPushedColours) {
    SkinTestWindow window(
        L"<Window size=\"300,100\"><HorizontalLayout><Button name=\"first\" width=\"100\"/>"
        L"<Button name=\"b\" width=\"100\" bkcolor=\"#FF808080\" hotbkcolor=\"#FF00FF00\""
        L" pushedbkcolor=\"#FF0000FF\"/></HorizontalLayout></Window>");
    ASSERT_TRUE(window.Open());
    window.MouseMove(250, 80);
    EXPECT_EQ(window.Pixel(150, 20), kNormal);
    window.MouseMove(150, 20);
    EXPECT_EQ(window.Pixel(150, 20), kHot);
    window.LButtonDown(150, 20);
    EXPECT_EQ(window.Pixel(150, 20), kPushed);
    window.MouseMove(150, 20);
    window.LButtonUp(150, 20);
}

TEST(ButtonUI, AClickSelectsTheBoundPageOfTheNamedTabLayout) {
    SkinTestWindow window(
        L"<Window size=\"300,100\"><VerticalLayout><HorizontalLayout height=\"40\">"
        L"<Button name=\"b\" width=\"100\" bindtablayoutname=\"pages\" bindtabindex=\"2\"/>"
        L"<Button name=\"unbound\" width=\"100\" bindtablayoutname=\"nothing\""
        L" bindtabindex=\"1\"/></HorizontalLayout>"
        L"<TabLayout name=\"pages\"><Control/><Control/><Control/></TabLayout>"
        L"</VerticalLayout></Window>");
    ASSERT_TRUE(window.Open());
    auto* pages = window.Get<CTabLayoutUI>(L"pages");
    window.notifications.clear();
    window.Click(50, 20);
    EXPECT_EQ(pages->GetCurSel(), 2);
    EXPECT_EQ(window.Of({L"tabselect", L"click"}), (Log{L"click b", L"tabselect pages"}));
    window.Click(150, 20);
    EXPECT_EQ(pages->GetCurSel(), 2);

    CButtonUI* button = window.Get<CButtonUI>(L"b");
    button->BindTriggerTabSel(0);
    EXPECT_EQ(pages->GetCurSel(), 0);
    button->BindTabIndex(-5); // ignored
    EXPECT_EQ(button->GetBindTabLayoutIndex(), 2);
    button->RemoveBindTabIndex();
    button->Activate();
    EXPECT_EQ(pages->GetCurSel(), 0);
}

TEST(ButtonUI, AttributesAndIdentity) {
    CButtonUI button;
    button.SetAttribute(L"NormalImage", L"n.png");
    button.SetAttribute(L"hotforeimage", L"f.png");
    button.SetAttribute(L"hottextcolor", L"#FF010203");
    button.SetAttribute(L"pushedtextcolor", L"FF040506");
    button.SetAttribute(L"focusedtextcolor", L"#FF070809");
    button.SetAttribute(L"align", L"left");
    button.SetAttribute(L"tipvalue", L"最小化");
    EXPECT_EQ(button.GetNormalImage(), L"n.png");
    EXPECT_EQ(button.GetHotForeImage(), L"f.png");
    EXPECT_EQ(button.GetHotTextColor(), 0xFF010203u);
    EXPECT_EQ(button.GetPushedTextColor(), 0xFF040506u);
    EXPECT_EQ(button.GetFocusedTextColor(), 0xFF070809u);
    EXPECT_EQ(button.GetTextStyle(), static_cast<UINT>(DT_VCENTER | DT_SINGLELINE));
    // Only edits know "tipvalue": on a button it is a custom attribute and no
    // tooltip.
    EXPECT_STREQ(button.GetCustomAttribute(L"tipvalue"), L"最小化");
    EXPECT_EQ(button.GetToolTip(), L"");
    EXPECT_STREQ(button.GetClass(), L"ButtonUI");
    EXPECT_EQ(button.GetInterface(L"button"), &button);
    EXPECT_EQ(button.GetInterface(L"Label"), &button);
    EXPECT_EQ(button.GetControlFlags(), ControlFlagTabStop | ControlFlagSetCursor);
    button.SetEnabled(false);
    EXPECT_EQ(button.GetControlFlags(), ControlFlagTabStop);
}
