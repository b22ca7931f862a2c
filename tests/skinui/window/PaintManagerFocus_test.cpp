// Focus and TAB order: the first tab stop after attaching, TAB and Shift+TAB
// through pre-translation with wrap-around, deferral while a layout is due,
// synchronous focus notifications, and Alt+letter shortcuts.
#include "tests/skinui/support/TestWindow.h"

#include "skinui/control/TabLayoutUI.h"
#include "skinui/control/VerticalLayoutUI.h"

#include <gtest/gtest.h>

namespace {

using namespace SkinUI;

class LabelLike : public CControlUI {
public:
    const wchar_t* GetClass() const override { return L"LabelUI"; }
    bool PassesShortcutOn() const override { return true; }
};

CControlUI* Stop(CContainerUI* parent, const wchar_t* name, const wchar_t* attributes = L"") {
    CControlUI* c = new skintest::TabStopControl;
    c->SetName(name);
    c->ApplyAttributeList(attributes);
    parent->Add(c);
    return c;
}

// A tab layout whose shown page holds tab stops a, b, c around a disabled,
// a hidden and a plain control; the hidden page holds "x".
class TabOrder : public ::testing::Test {
protected:
    void SetUp() override {
        CVerticalLayoutUI* root = new CVerticalLayoutUI;
        tab = new CTabLayoutUI;
        CVerticalLayoutUI* page = new CVerticalLayoutUI;
        CVerticalLayoutUI* hiddenPage = new CVerticalLayoutUI;
        CControlUI* plain = new CControlUI;
        page->Add(plain);
        Stop(page, L"disabled", L"enabled=\"false\"");
        a = Stop(page, L"a");
        Stop(page, L"invisible", L"visible=\"false\"");
        b = Stop(page, L"b");
        c = Stop(page, L"c");
        x = Stop(hiddenPage, L"x");
        tab->Add(page);
        tab->Add(hiddenPage);
        root->Add(tab);
        window.Attach(root);
        window.Manager().AddNotifier(&recorder);
    }
    void TearDown() override {
        BYTE keys[256] = {};
        SetKeyboardState(keys);
    }
    void HoldShift(bool down) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    CControlUI* Focus() { return window.Manager().GetFocus(); }

    skintest::TestWindow window{100, 200};
    CTabLayoutUI* tab = nullptr;
    CControlUI* a = nullptr;
    CControlUI* b = nullptr;
    CControlUI* c = nullptr;
    CControlUI* x = nullptr;
    skintest::NotifyRecorder recorder;
};

TEST_F(TabOrder, AttachingFocusesTheFirstVisibleEnabledTabStop) {
    EXPECT_EQ(Focus(), a);
    EXPECT_TRUE(a->IsFocused());
}

TEST_F(TabOrder, TabAndShiftTabWalkTheStopsAndWrap) {
    std::vector<CControlUI*> seen;
    for (int i = 0; i < 3; ++i) {
        window.PostKey(VK_TAB);
        seen.push_back(Focus());
    }
    EXPECT_EQ(seen, (std::vector<CControlUI*>{b, c, a}));
    HoldShift(true);
    seen.clear();
    for (int i = 0; i < 3; ++i) {
        window.PostKey(VK_TAB);
        seen.push_back(Focus());
    }
    EXPECT_EQ(seen, (std::vector<CControlUI*>{c, b, a}));
}

TEST_F(TabOrder, FocusNotificationsAreSynchronousWithTheNewFocusStored) {
    recorder.onNotify = [&](TNotifyUI& msg) {
        if (msg.type == NotifySetFocus) {
            EXPECT_EQ(window.Manager().GetFocus(), msg.sender);
        }
        if (msg.type == NotifyKillFocus) {
            EXPECT_FALSE(msg.sender->IsFocused());
        }
    };
    window.Manager().SetFocus(b);
    EXPECT_EQ(recorder.Of({NotifySetFocus, NotifyKillFocus}),
              (std::vector<std::wstring>{L"killfocus a 0 0", L"setfocus b 0 0"}));
}

TEST_F(TabOrder, TabWhileALayoutIsDueMovesAfterThePaint) {
    c->SetFixedHeight(30); // asks for a layout
    ASSERT_TRUE(window.Manager().IsUpdateNeeded());
    EXPECT_TRUE(window.Manager().SetNextTabControl(true));
    EXPECT_EQ(Focus(), a);
    window.Paint();
    EXPECT_EQ(Focus(), b);
}

TEST_F(TabOrder, FocusOnAControlThatCannotHaveItOnlyTakesItAway) {
    CControlUI* disabled = window.Manager().FindControl(L"disabled");
    window.Manager().SetFocus(disabled);
    EXPECT_EQ(Focus(), nullptr);
    window.Manager().SetFocus(a);
    window.Manager().SetFocus(x); // on a hidden page
    EXPECT_EQ(Focus(), nullptr);
    skintest::TestWindow other(10, 10);
    CControlUI* foreign = new skintest::TabStopControl;
    other.Attach(foreign);
    window.Manager().SetFocus(a);
    window.Manager().SetFocus(foreign);
    EXPECT_EQ(Focus(), nullptr);
}

TEST_F(TabOrder, FocusNeededLandsOnTheControlAfterTheNextLayout) {
    window.Manager().SetFocusNeeded(c);
    EXPECT_EQ(Focus(), b); // the stop before it, silently
    EXPECT_EQ(recorder.Of({NotifySetFocus}), std::vector<std::wstring>{});
    window.Paint();
    EXPECT_EQ(Focus(), c);
}

TEST_F(TabOrder, SelectingAPageMovesTheFocusIntoIt) {
    tab->SelectItem(1);
    window.Paint();
    EXPECT_EQ(Focus(), x);
}

TEST(Shortcuts, AltLetterFocusesTheControlThatALabelNames) {
    skintest::TestWindow window(100, 100);
    CVerticalLayoutUI* root = new CVerticalLayoutUI;
    CControlUI* first = Stop(root, L"first");
    CControlUI* target = Stop(root, L"target");
    CControlUI* label = new LabelLike;
    label->SetShortcut(L'N');
    root->Add(label);
    CControlUI* direct = Stop(root, L"direct", L"shortcut=\"d\"");
    window.Attach(root);
    ASSERT_EQ(window.Manager().GetFocus(), first);
    LRESULT result = 0;
    EXPECT_TRUE(window.Manager().PreMessageHandler(WM_SYSCHAR, L'D', 0, result));
    EXPECT_EQ(window.Manager().GetFocus(), direct);
    // The search runs from the top of the tree down (the last child first), so
    // a label hands the key to the control before it in the list.
    EXPECT_TRUE(window.Manager().PreMessageHandler(WM_SYSCHAR, L'n', 0, result));
    EXPECT_EQ(window.Manager().GetFocus(), target);
    EXPECT_FALSE(window.Manager().PreMessageHandler(WM_SYSCHAR, L'q', 0, result));
}

} // namespace

namespace {

// A window 100 x 100 whose column is taller than the window: "below" lies
// under the window's bottom edge, as a folded-away panel does.
class ClippedStops : public ::testing::Test {
protected:
    void SetUp() override {
        CVerticalLayoutUI* root = new CVerticalLayoutUI;
        top = Stop(root, L"top", L"height=\"40\"");
        CControlUI* filler = new CControlUI;
        filler->SetFixedHeight(80);
        root->Add(filler);
        below = Stop(root, L"below", L"height=\"40\" shortcut=\"b\"");
        window.Attach(root);
    }
    skintest::TestWindow window{100, 100};
    CControlUI* top = nullptr;
    CControlUI* below = nullptr;
};

TEST_F(ClippedStops, TabAndShortcutsSkipWhatLiesOutsideTheWindow) {
    ASSERT_EQ(window.Manager().GetFocus(), top);
    EXPECT_FALSE(window.Manager().IsControlShown(below));
    window.PostKey(VK_TAB);
    EXPECT_EQ(window.Manager().GetFocus(), top);
    LRESULT result = 0;
    EXPECT_FALSE(window.Manager().PreMessageHandler(WM_SYSCHAR, L'b', 0, result));
    EXPECT_EQ(window.Manager().GetFocus(), top);
    // Once the window is tall enough, the control is a tab stop again.
    window.SetClientSize(100, 200);
    window.Paint();
    EXPECT_TRUE(window.Manager().IsControlShown(below));
    window.PostKey(VK_TAB);
    EXPECT_EQ(window.Manager().GetFocus(), below);
}

} // namespace
