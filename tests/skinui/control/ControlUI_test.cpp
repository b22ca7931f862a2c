// The control base: its attribute table and value readers, attribute lists,
// custom attributes, size setters, visibility and focus, and the order of
// its paint steps and events.
#include "tests/skinui/support/TestWindow.h"

#include "skinui/control/VerticalLayoutUI.h"

#include <gtest/gtest.h>

namespace {

using namespace SkinUI;
using skintest::Str;

TEST(ControlAttributes, PosAfterWidthAndHeightKeepsTheSizeAndSetsTheOffset) {
    CControlUI c;
    c.ApplyAttributeList(L"width=\"13\" height=\"13\" float=\"true\" pos=\"504,10,0,0\"");
    EXPECT_EQ(c.GetFixedXY().cx, 504);
    EXPECT_EQ(c.GetFixedXY().cy, 10);
    EXPECT_EQ(c.GetFixedWidth(), 13);
    EXPECT_EQ(c.GetFixedHeight(), 13);
    EXPECT_TRUE(c.IsFloat());
}

TEST(ControlAttributes, UnknownNamesBecomeCustomAttributes) {
    CControlUI c;
    c.SetAttribute(L"tipvalue", L"最小化");
    c.SetAttribute(L"tipvalue", L"second");
    EXPECT_STREQ(c.GetCustomAttribute(L"tipvalue"), L"最小化");
    EXPECT_TRUE(c.GetToolTip().IsEmpty());
    c.AddCustomAttribute(L"", L"x");
    c.AddCustomAttribute(L"empty", L"");
    EXPECT_EQ(c.GetCustomAttribute(L"empty"), nullptr);
    EXPECT_TRUE(c.RemoveCustomAttribute(L"tipvalue"));
    EXPECT_EQ(c.GetCustomAttribute(L"tipvalue"), nullptr);
    c.AddCustomAttribute(L"a", L"1");
    c.RemoveAllCustomAttribute();
    EXPECT_EQ(c.GetCustomAttribute(L"a"), nullptr);
}

TEST(ControlAttributes, CursorNamesIgnoreCaseAndUnknownNamesChangeNothing) {
    const struct {
        const wchar_t* value;
        WORD expected;
    } cases[] = {{L"hand", 32649},    {L"HAND", 32649}, {L"ibeam", 32513},
                 {L"sizeall", 32646}, {L"no", 32648},   {L"pointer", 32648}};
    CControlUI c;
    for (const auto& item : cases) {
        c.SetAttribute(L"cursor", item.value);
        EXPECT_EQ(c.GetCursor(), item.expected) << static_cast<const void*>(item.value);
    }
}

TEST(ControlAttributes, ValuesAreReadLeniently) {
    CControlUI c;
    c.ApplyAttributeList(L"padding=\"1,2,3,4\" bkcolor=\"  #FF102030\" bordercolor=\"#80FF0000\" "
                         L"bordersize=\"0,1,0,1\" borderround=\"3,4\" width=\"12px\" "
                         L"height=\"abc\" shortcut=\"Install\" menu=\"TRUE\" enabled=\"yes\"");
    EXPECT_EQ(Str(c.GetPadding()), Str(1, 2, 3, 4));
    EXPECT_EQ(c.GetBkColor(), 0xFF102030u);
    EXPECT_EQ(c.GetBorderColor(), 0x80FF0000u);
    EXPECT_EQ(c.GetBorderSize(), 0);
    EXPECT_EQ(c.GetTopBorderSize(), 1);
    EXPECT_EQ(c.GetBottomBorderSize(), 1);
    EXPECT_EQ(c.GetBorderRound().cx, 3);
    EXPECT_EQ(c.GetBorderRound().cy, 4);
    EXPECT_EQ(c.GetFixedWidth(), 12);
    EXPECT_EQ(c.GetFixedHeight(), 0);
    EXPECT_EQ(c.GetShortcut(), L'I');
    EXPECT_TRUE(c.IsContextMenuUsed());
    EXPECT_FALSE(c.IsEnabled()); // only "true" is true
    // A single border size clears the per-side widths.
    c.SetAttribute(L"bordersize", L"2");
    EXPECT_EQ(c.GetBorderSize(), 2);
    EXPECT_EQ(c.GetTopBorderSize(), 0);
}

TEST(ControlAttributes, NegativeSizesAreIgnored) {
    CControlUI c;
    c.ApplyAttributeList(L"width=\"20\" minheight=\"5\"");
    c.ApplyAttributeList(L"width=\"-1\" minheight=\"-3\"");
    EXPECT_EQ(c.GetFixedWidth(), 20);
    EXPECT_EQ(c.GetMinHeight(), 5);
}

TEST(ControlAttributes, AttributeListsStopAtTheFirstMalformedPair) {
    const struct {
        const wchar_t* list;
        const wchar_t* name;
        const wchar_t* text;
    } cases[] = {
        {L"name=\"a\" text=\"b\"", L"a", L"b"},
        {L"name=\"a\",text=\"b\"", L"a", L"b"},
        {L"name=&quot;a&quot; text=&quot;say &quot;", L"a", L"say "},
        {L"name=\"a\"  text=\"b\"", L"a", L""},    // two spaces: the second starts a bad name
        {L"name=\"a\";text=\"b\"", L"a", L""},     // only a space or a comma continues
        {L"name=a text=\"b\"", L"", L""},          // no quote
        {L"name=\"a text=\"b\"", L"a text=", L""}, // the value ends at the next quote
        {L"name=\"a", L"", L""},                   // unterminated value
    };
    for (const auto& item : cases) {
        CControlUI c;
        c.ApplyAttributeList(item.list);
        EXPECT_STREQ(c.GetName(), item.name) << static_cast<const void*>(item.list);
        EXPECT_STREQ(c.GetText(), item.text) << static_cast<const void*>(item.list);
    }
}

TEST(ControlAttributes, InnerStyleAndStylesApplyLists) {
    CControlUI c;
    c.SetAttribute(L"innerstyle", L"name=&quot;inner&quot; width=&quot;7&quot;");
    EXPECT_STREQ(c.GetName(), L"inner");
    EXPECT_EQ(c.GetFixedWidth(), 7);

    CPaintManagerUI manager;
    manager.AddStyle(L"wide", L"width=\"300\" height=\"4\"");
    manager.AddStyle(L"loop", L"loop");
    CControlUI styled;
    styled.SetManager(&manager, nullptr, false);
    styled.SetAttribute(L"anything", L"wide");
    EXPECT_EQ(styled.GetFixedWidth(), 300);
    EXPECT_EQ(styled.GetFixedHeight(), 4);
    styled.ApplyAttributeList(L"loop"); // a style naming itself must not recurse forever
    styled.SetManager(nullptr, nullptr, false);
}

TEST(ControlAttributes, ToolTipLineBreaks) {
    CControlUI c;
    c.SetAttribute(L"tooltip", L"one<n>two");
    EXPECT_STREQ(c.GetToolTip(), L"one\r\ntwo");
}

TEST(ControlAttributes, ClassAndInterface) {
    CControlUI c;
    EXPECT_STREQ(c.GetClass(), L"ControlUI");
    EXPECT_EQ(c.GetInterface(L"control"), &c);
    EXPECT_EQ(c.GetInterface(L"Button"), nullptr);
    CVerticalLayoutUI v;
    EXPECT_EQ(v.GetInterface(L"VerticalLayout"), &v);
    EXPECT_EQ(v.GetInterface(L"Container"), static_cast<CContainerUI*>(&v));
    EXPECT_EQ(v.GetInterface(L"IContainer"), static_cast<IContainerUI*>(&v));
    EXPECT_EQ(v.GetInterface(L"Control"), static_cast<CControlUI*>(&v));
}

TEST(ControlEvents, DelegateAnsweringFalseDropsTheEvent) {
    skintest::TestWindow window(100, 100);
    CControlUI* c = new CControlUI;
    window.Attach(c);
    std::vector<int> seen;
    c->OnEvent += [&](void* p) {
        seen.push_back(static_cast<TEventUI*>(p)->type);
        return static_cast<TEventUI*>(p)->type != EventSetFocus;
    };
    TEventUI e;
    e.type = EventSetFocus;
    c->Event(e);
    EXPECT_FALSE(c->IsFocused());
    e.type = EventKillFocus;
    c->Event(e);
    EXPECT_EQ(seen, (std::vector<int>{EventSetFocus, EventKillFocus}));
}

TEST(ControlEvents, TimerAndMenuEventsBecomeNotifications) {
    skintest::TestWindow window(100, 100);
    CControlUI* c = new CControlUI;
    c->SetName(L"c");
    window.Attach(c);
    skintest::NotifyRecorder recorder;
    window.Manager().AddNotifier(&recorder);
    TEventUI e;
    e.type = EventTimer;
    e.wParam = 5;
    e.lParam = 6;
    c->Event(e);
    e.type = EventContextMenu;
    c->Event(e); // no context menu: nothing
    c->SetContextMenuUsed(true);
    c->Event(e);
    EXPECT_EQ(recorder.Of({NotifyTimer, NotifyMenu}),
              (std::vector<std::wstring>{L"timer c 5 6", L"menu c 5 6"}));
}

TEST(ControlVisibility, HidingTheFocusedControlTakesTheFocusAway) {
    skintest::TestWindow window(100, 100);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    skintest::TabStopControl* a = new skintest::TabStopControl;
    a->SetName(L"a");
    root->Add(a);
    window.Attach(root);
    ASSERT_EQ(window.Manager().GetFocus(), a);
    ASSERT_TRUE(a->IsFocused());
    a->SetVisible(false);
    EXPECT_EQ(window.Manager().GetFocus(), nullptr);
    EXPECT_FALSE(a->IsFocused());
    // Hiding through the parent does the same.
    a->SetVisible(true);
    a->SetFocus();
    ASSERT_EQ(window.Manager().GetFocus(), a);
    root->SetVisible(false);
    EXPECT_FALSE(a->IsVisible());
    EXPECT_EQ(window.Manager().GetFocus(), nullptr);
}

} // namespace
