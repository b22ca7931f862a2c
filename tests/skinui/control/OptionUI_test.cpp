#include "skinui/control/OptionUI.h"

#include "skinui/window/PaintManagerUI.h"
#include "tests/skinui/support/TestWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinUI;
using skintest::SkinFolder;
using skintest::SkinTestWindow;

namespace {

typedef std::vector<std::wstring> Log;

// Three grouped options at x 0, 60, 120 and one ungrouped at x 180, all 40
// high and 60 wide.
const wchar_t kOptions[] =
    L"<Window size=\"300,100\"><VerticalLayout><HorizontalLayout height=\"40\">"
    L"<Option name=\"a\" width=\"60\" group=\"g\" selected=\"true\"/>"
    L"<Option name=\"b\" width=\"60\" group=\"g\"/>"
    L"<Option name=\"c\" width=\"60\" group=\"g\"/>"
    L"<Option name=\"check\" width=\"60\"/>"
    L"</HorizontalLayout></VerticalLayout></Window>";

Log Selection(SkinTestWindow& window) {
    Log out;
    for (const wchar_t* name : {L"a", L"b", L"c", L"check"}) {
        if (window.Get<COptionUI>(name)->IsSelected())
            out.push_back(name);
    }
    return out;
}

} // namespace

TEST(OptionUI, SelectingAGroupedOptionDeselectsTheOthersQuietly) {
    SkinTestWindow window(kOptions);
    ASSERT_TRUE(window.Open());
    // "selected" in the skin was applied before the window had receivers.
    EXPECT_TRUE(window.Of({L"selectchanged"}).empty());
    EXPECT_EQ(Selection(window), (Log{L"a"}));
    EXPECT_EQ(window.Manager().GetOptionGroup(L"g")->GetSize(), 3);

    window.notifications.clear();
    window.Click(90, 20);
    EXPECT_EQ(Selection(window), (Log{L"b"}));
    EXPECT_EQ(window.Of({L"leftbuttondown", L"leftbuttonup", L"click", L"selectchanged"}),
              (Log{L"leftbuttondown b", L"click b", L"selectchanged b", L"leftbuttonup b"}));
    EXPECT_EQ(window.Get<COptionUI>(L"a")->GetButtonState() & StateSelected, 0u);
    EXPECT_NE(window.Get<COptionUI>(L"b")->GetButtonState() & StateSelected, 0u);

    // Clicking the selected option of a group keeps it selected: a click, no change.
    window.notifications.clear();
    window.Click(90, 20);
    EXPECT_EQ(Selection(window), (Log{L"b"}));
    EXPECT_EQ(window.Of({L"click", L"selectchanged"}), (Log{L"click b"}));

    // Selecting by code works the same way.
    window.notifications.clear();
    window.Get<COptionUI>(L"c")->Selected(true);
    EXPECT_EQ(Selection(window), (Log{L"c"}));
    EXPECT_EQ(window.Of({L"selectchanged"}), (Log{L"selectchanged c"}));
    // A grouped option being deselected says nothing.
    window.notifications.clear();
    window.Get<COptionUI>(L"c")->Selected(false);
    EXPECT_TRUE(window.Of({L"selectchanged"}).empty());
    EXPECT_TRUE(Selection(window).empty());
}

TEST(OptionUI, AnUngroupedOptionTogglesAndAnnouncesBothChanges) {
    SkinTestWindow window(kOptions);
    ASSERT_TRUE(window.Open());
    COptionUI* check = window.Get<COptionUI>(L"check");
    std::vector<std::pair<std::wstring, bool>> seen;
    window.onNotify = [&](TNotifyUI& msg) {
        if (msg.sender == check && (msg.type == L"click" || msg.type == L"selectchanged"))
            seen.push_back({msg.type.GetData(), check->IsSelected()});
    };
    window.Click(210, 20);
    window.Click(210, 20);
    // The receiver of "click" still sees the state before the click; the
    // receiver of "selectchanged" sees the new one.
    EXPECT_EQ(seen, (std::vector<std::pair<std::wstring, bool>>{{L"click", false},
                                                                {L"selectchanged", true},
                                                                {L"click", true},
                                                                {L"selectchanged", false}}));
    EXPECT_FALSE(check->IsSelected());
}

TEST(OptionUI, ChangingGroupsMovesTheOptionBetweenTheManagersGroups) {
    SkinTestWindow window(kOptions);
    ASSERT_TRUE(window.Open());
    COptionUI* check = window.Get<COptionUI>(L"check");
    check->SetGroup(L"g");
    EXPECT_EQ(window.Manager().GetOptionGroup(L"g")->GetSize(), 4);
    window.Click(210, 20);
    EXPECT_EQ(Selection(window), (Log{L"check"}));
    check->SetGroup(L"other");
    EXPECT_EQ(window.Manager().GetOptionGroup(L"g")->GetSize(), 3);
    EXPECT_EQ(window.Manager().GetOptionGroup(L"other")->GetSize(), 1);
    check->SetGroup(nullptr);
    EXPECT_EQ(window.Manager().GetOptionGroup(L"other"), nullptr);
    EXPECT_TRUE(check->IsSelected());
}

TEST(OptionUI, ADisabledOptionKeepsShowingItsSelectedImage) {
    SkinFolder folder;
    folder.Write(L"off.png", skintest::SolidPng(4, 4, 0xFF808080));
    folder.Write(L"on.png", skintest::SolidPng(4, 4, 0xFF00FF00));
    SkinTestWindow window(
        L"<Window size=\"200,100\"><HorizontalLayout><Option name=\"first\" width=\"50\"/>"
        L"<Option name=\"o\" width=\"100\" normalimage=\"off.png\" selectedimage=\"on.png\""
        L" hotimage=\"off.png\"/></HorizontalLayout></Window>");
    ASSERT_TRUE(window.Open());
    COptionUI* option = window.Get<COptionUI>(L"o");
    window.MouseMove(190, 90);
    EXPECT_EQ(window.Pixel(100, 50), 0x808080u);
    window.Click(100, 50);
    ASSERT_TRUE(option->IsSelected());
    // Hot while selected: no selected hot image, so the selected one.
    EXPECT_EQ(window.Pixel(100, 50), 0x00FF00u);
    option->SetEnabled(false);
    EXPECT_EQ(option->GetButtonState(), StateSelected);
    EXPECT_EQ(window.Pixel(100, 50), 0x00FF00u);
    option->SetEnabled(true);
    option->Selected(false);
    EXPECT_EQ(window.Pixel(100, 50), 0x808080u);
}

TEST(OptionUI, SelectedColoursAndAttributes) {
    COptionUI option;
    option.SetAttribute(L"Group", L"grp");
    option.SetAttribute(L"selectedimage", L"s.png");
    option.SetAttribute(L"selectedhotimage", L"sh.png");
    option.SetAttribute(L"selectedpushedimage", L"sp.png");
    option.SetAttribute(L"selectedforeimage", L"sf.png");
    option.SetAttribute(L"selectedbkcolor", L"#FF112233");
    option.SetAttribute(L"selectedtextcolor", L"FF445566");
    option.SetAttribute(L"selected", L"TRUE");
    EXPECT_EQ(option.GetGroup(), L"grp");
    EXPECT_EQ(option.GetSelectedImage(), L"s.png");
    EXPECT_EQ(option.GetSelectedHotImage(), L"sh.png");
    EXPECT_EQ(option.GetSelectedPushedImage(), L"sp.png");
    EXPECT_EQ(option.GetSelectedForedImage(), L"sf.png");
    EXPECT_EQ(option.GetSelectedBkColor(), 0xFF112233u);
    EXPECT_EQ(option.GetSelectedTextColor(), 0xFF445566u);
    EXPECT_TRUE(option.IsSelected());
    EXPECT_STREQ(option.GetClass(), L"OptionUI");
    EXPECT_EQ(option.GetInterface(L"OPTION"), &option);
    EXPECT_EQ(option.GetInterface(L"Button"), &option);
}

TEST(OptionUI, AZeroSelectedTextColourBecomesTheDefaultFontColour) {
    SkinTestWindow window(
        L"<Window size=\"100,50\" defaultfontcolor=\"#FF123456\"><Option name=\"o\"/></Window>");
    ASSERT_TRUE(window.Open());
    EXPECT_EQ(window.Get<COptionUI>(L"o")->GetSelectedTextColor(), 0xFF123456u);
}
