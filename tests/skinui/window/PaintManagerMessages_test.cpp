// Window messages to control events: the mouse state machine of
// PaintManagerMessages.cpp walked row by row, keyboard routing, hover and
// leave, set-cursor, tooltips, close, and the message filters.
#include "tests/skinui/support/TestWindow.h"

#include "skinui/control/HorizontalLayoutUI.h"

#include <gtest/gtest.h>

namespace {

using namespace SkinUI;
using skintest::Filter;
using Log = std::vector<std::wstring>;

// Two tab-stop controls side by side: "a" over x 0..99, "b" over x 100..199.
class TwoControls : public ::testing::Test {
protected:
    void SetUp() override {
        root = new CHorizontalLayoutUI;
        root->SetName(L"root");
        a = new skintest::TabStopControl;
        a->SetName(L"a");
        b = new skintest::TabStopControl;
        b->SetName(L"b");
        root->Add(a);
        root->Add(b);
        window.Attach(root);
        window.Manager().AddNotifier(&recorder);
        skintest::WatchEvents(a, &log);
        skintest::WatchEvents(b, &log);
        // The window has the keyboard, so that focus moves between controls
        // raise no WM_SETFOCUS of their own.
        ::SetFocus(window.Hwnd());
        log.clear();
    }

    skintest::TestWindow window{200, 100};
    CHorizontalLayoutUI* root = nullptr;
    CControlUI* a = nullptr;
    CControlUI* b = nullptr;
    Log log;
    skintest::NotifyRecorder recorder;
};

TEST_F(TwoControls, PressAndReleaseInsideGoToThePressedControlWithCapture) {
    ASSERT_EQ(window.Manager().GetFocus(), a);
    window.LButtonDown(150, 10);
    EXPECT_EQ(GetCapture(), window.Hwnd());
    EXPECT_TRUE(window.Manager().IsCaptured());
    window.LButtonUp(152, 12);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(window.Manager().IsCaptured());
    // The press focuses the control before it sees the button.
    EXPECT_EQ(
        Filter(log, {L"MouseEnter", L"ButtonDown", L"ButtonUp", L"SetFocus", L"KillFocus"}),
        (Log{L"b:MouseEnter", L"a:KillFocus", L"b:SetFocus", L"b:ButtonDown", L"b:ButtonUp"}));
    EXPECT_EQ(recorder.Of({NotifySetFocus, NotifyKillFocus}),
              (std::vector<std::wstring>{L"killfocus a 0 0", L"setfocus b 0 0"}));
}

TEST_F(TwoControls, ReleaseOutsideStillGoesToThePressedControl) {
    window.LButtonDown(10, 10);
    TEventUI up;
    a->OnEvent += [&](void* p) {
        if (static_cast<TEventUI*>(p)->type == EventButtonUp)
            up = *static_cast<TEventUI*>(p);
        return true;
    };
    log.clear();
    window.MouseMove(150, 10, MK_LBUTTON);
    window.LButtonUp(150, 10);
    // The hover moves to b, but moves and the release go to a, which can see
    // from the position that the release was outside.
    EXPECT_EQ(Filter(log, {}),
              (Log{L"a:MouseLeave", L"b:MouseEnter", L"a:MouseMove", L"a:ButtonUp"}));
    EXPECT_EQ(up.mousePos.x, 150);
    EXPECT_EQ(up.sender, a);
}

TEST_F(TwoControls, ReleaseWithoutPressSendsNothing) {
    window.MouseMove(150, 10);
    log.clear();
    window.LButtonUp(150, 10);
    EXPECT_TRUE(log.empty());
}

TEST_F(TwoControls, HoverMovesAndLeavesWhenTheCursorIsElsewhere) {
    window.MouseMove(10, 10);
    window.MouseMove(20, 10);
    window.MouseMove(150, 10);
    EXPECT_EQ(Filter(log, {L"MouseEnter", L"MouseLeave", L"MouseMove"}),
              (Log{L"a:MouseEnter", L"a:MouseMove", L"a:MouseMove", L"a:MouseLeave",
                   L"b:MouseEnter", L"b:MouseMove"}));
    log.clear();
    // The cursor is over another part of the screen: a point that finds no
    // control is moved to, so the hover control leaves.
    SetCursorPos(900, 700);
    window.Send(WM_MOUSELEAVE);
    EXPECT_EQ(Filter(log, {L"MouseLeave"}), (Log{L"b:MouseLeave"}));
    EXPECT_EQ(window.Manager().GetMousePos().x, -1);
}

TEST_F(TwoControls, KeysGoToTheFocusAndKeyUpToTheKeyDownReceiver) {
    a->SetFocus();
    window.KeyDown('X');
    window.Send(WM_CHAR, 'x', 1);
    b->SetFocus();
    window.KeyUp('X');
    window.KeyUp('X'); // no key control any more
    EXPECT_EQ(Filter(log, {L"KeyDown", L"KeyUp", L"Char"}),
              (Log{L"a:KeyDown", L"a:Char", L"a:KeyUp"}));
}

TEST_F(TwoControls, RightButtonFocusesAndCapturesLikeTheLeft) {
    window.MouseMove(150, 10);
    window.RButtonDown(150, 10);
    EXPECT_EQ(window.Manager().GetFocus(), b);
    EXPECT_EQ(GetCapture(), window.Hwnd());
    window.RButtonUp(150, 10);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Filter(log, {L"RButtonDown", L"RButtonUp"}), (Log{L"b:RButtonDown", L"b:RButtonUp"}));
}

TEST_F(TwoControls, WheelTellsTheDirectionInWParam) {
    std::vector<WPARAM> directions;
    a->OnEvent += [&](void* p) {
        TEventUI* e = static_cast<TEventUI*>(p);
        if (e->type == EventScrollWheel)
            directions.push_back(e->wParam);
        return true;
    };
    POINT pt = {10, 10};
    ClientToScreen(window.Hwnd(), &pt);
    window.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(pt.x, pt.y));
    window.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(pt.x, pt.y));
    EXPECT_EQ(directions, (std::vector<WPARAM>{1, 0}));
}

TEST_F(TwoControls, SetCursorOnlyForControlsThatAskAndOnlyInTheClientArea) {
    POINT pt = {10, 10};
    ClientToScreen(window.Hwnd(), &pt);
    SetCursorPos(pt.x, pt.y);
    LRESULT result = 0;
    EXPECT_TRUE(window.Manager().MessageHandler(WM_SETCURSOR, 0, MAKELPARAM(HTCLIENT, 0), result));
    EXPECT_FALSE(
        window.Manager().MessageHandler(WM_SETCURSOR, 0, MAKELPARAM(HTCAPTION, 0), result));
    a->SetCursor(32649);
    EXPECT_EQ(Filter(log, {L"SetCursor"}), (Log{L"a:SetCursor"}));
    // A plain control does not want the event.
    root->SetMouseChildEnabled(false);
    EXPECT_FALSE(window.Manager().MessageHandler(WM_SETCURSOR, 0, MAKELPARAM(HTCLIENT, 0), result));
}

BOOL CALLBACK CountTooltip(HWND hwnd, LPARAM param) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    if (_wcsicmp(name, L"tooltips_class32") == 0)
        ++*reinterpret_cast<int*>(param);
    return TRUE;
}

// The tooltip windows of this thread.
int TooltipWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountTooltip, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST_F(TwoControls, HoverShowsATooltipOnlyForControlsWithTooltipText) {
    a->SetAttribute(L"tipvalue", L"no tooltip attribute");
    window.MouseMove(10, 10);
    EXPECT_EQ(window.Send(WM_MOUSEHOVER, 0, MAKELPARAM(10, 10)), 0);
    EXPECT_EQ(Filter(log, {L"MouseHover"}), (Log{L"a:MouseHover"}));
    EXPECT_EQ(TooltipWindows(), 0);

    b->SetToolTip(L"browse");
    window.MouseMove(150, 10);
    window.Send(WM_MOUSEHOVER, 0, MAKELPARAM(150, 10));
    EXPECT_EQ(TooltipWindows(), 1);
    // Closing the window destroys the tooltip.
    window.Send(WM_CLOSE);
    EXPECT_EQ(TooltipWindows(), 0);
}

TEST_F(TwoControls, CloseEndsHoverPressAndFocus) {
    window.LButtonDown(10, 10);
    log.clear();
    window.Send(WM_CLOSE);
    EXPECT_EQ(Filter(log, {}), (Log{L"a:MouseLeave", L"a:ButtonUp", L"a:KillFocus"}));
    EXPECT_EQ(window.Manager().GetFocus(), nullptr);
}

struct KeyEater : IMessageFilterUI {
    UINT eats;
    explicit KeyEater(UINT msg) : eats(msg) {}
    LRESULT MessageHandler(UINT uMsg, WPARAM, LPARAM, bool& handled) override {
        handled = uMsg == eats;
        return 42;
    }
};

TEST_F(TwoControls, AMessageFilterThatHandlesAMessageConsumesIt) {
    KeyEater eater(WM_KEYDOWN);
    window.Manager().AddMessageFilter(&eater);
    a->SetFocus();
    LRESULT result = 0;
    EXPECT_TRUE(window.Manager().MessageHandler(WM_KEYDOWN, 'A', 0, result));
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(Filter(log, {L"KeyDown"}).empty());
    EXPECT_TRUE(window.Manager().RemoveMessageFilter(&eater));
    EXPECT_FALSE(window.Manager().RemoveMessageFilter(&eater));
    window.KeyDown('A');
    EXPECT_EQ(Filter(log, {L"KeyDown"}), (Log{L"a:KeyDown"}));
}

struct Accelerator : ITranslateAccelerator {
    int calls = 0;
    LRESULT TranslateAcceleratorW(MSG*) override { return ++calls, 0; }
};

TEST_F(TwoControls, PreTranslationGivesAcceleratorsAndPreFiltersTheFirstLook) {
    Accelerator accelerator;
    window.Manager().AddTranslateAccelerator(&accelerator);
    MSG msg = {window.Hwnd(), WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_TRUE(CPaintManagerUI::TranslateMessage(&msg));
    EXPECT_EQ(accelerator.calls, 1);
    window.Manager().RemoveTranslateAccelerator(&accelerator);

    KeyEater eater(WM_CHAR);
    window.Manager().AddPreMessageFilter(&eater);
    msg.message = WM_CHAR;
    EXPECT_TRUE(CPaintManagerUI::TranslateMessage(&msg));
    msg.message = WM_KEYUP;
    EXPECT_FALSE(CPaintManagerUI::TranslateMessage(&msg));
    window.Manager().RemovePreMessageFilter(&eater);
}

TEST(PaintManagerMessages, NothingIsHandledBeforeInit) {
    CPaintManagerUI manager;
    LRESULT result = 0;
    EXPECT_FALSE(manager.MessageHandler(WM_ERASEBKGND, 0, 0, result));
    EXPECT_FALSE(manager.MessageHandler(WM_PAINT, 0, 0, result));
}

TEST(PaintManagerMessages, EraseBackgroundAlwaysAnswersOne) {
    skintest::TestWindow window(50, 50);
    HDC dc = GetDC(window.Hwnd());
    EXPECT_EQ(window.Send(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc)), 1);
    ReleaseDC(window.Hwnd(), dc);
    window.Attach(new CControlUI);
    EXPECT_EQ(window.Send(WM_ERASEBKGND, 0), 1);
}

TEST(PaintManagerMessages, MinMaxInfoTakesThePositiveSizes) {
    skintest::TestWindow window(50, 50);
    window.Manager().SetMinInfo(300, 0);
    window.Manager().SetMaxInfo(0, 500);
    MINMAXINFO info = {};
    info.ptMinTrackSize = {1, 2};
    info.ptMaxTrackSize = {3, 4};
    info.ptMaxSize = {5, 6};
    LRESULT result = 0;
    EXPECT_FALSE(window.Manager().MessageHandler(WM_GETMINMAXINFO, 0,
                                                 reinterpret_cast<LPARAM>(&info), result));
    EXPECT_EQ(info.ptMinTrackSize.x, 300);
    EXPECT_EQ(info.ptMinTrackSize.y, 2);
    EXPECT_EQ(info.ptMaxTrackSize.x, 3);
    EXPECT_EQ(info.ptMaxTrackSize.y, 500);
    EXPECT_EQ(info.ptMaxSize.y, 500);
}

} // namespace
