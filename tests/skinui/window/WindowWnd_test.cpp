#include "skinui/core/WindowWnd.h"

#include "skinui/window/PaintManagerUI.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <vector>

using namespace SkinUI;

namespace {

const UINT kProbe = WM_APP + 77;

// A plain window object that records the messages it sees.
class RecordingWnd : public CWindowWnd {
public:
    std::vector<UINT> seen;
    std::function<void(UINT, WPARAM)> onMessage;
    int finalMessages = 0;
    HWND finalWindow = nullptr;

protected:
    const wchar_t* GetWindowClassName() const override { return L"RecordingWnd"; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(msg);
        if (onMessage)
            onMessage(msg, wParam);
        return CWindowWnd::HandleMessage(msg, wParam, lParam);
    }
    void OnFinalMessage(HWND window) override {
        ++finalMessages;
        finalWindow = window;
    }
};

// The system edit class under a name of its own.
class SuperEdit : public RecordingWnd {
protected:
    const wchar_t* GetWindowClassName() const override { return L"RecordingSuperEdit"; }
    const wchar_t* GetSuperClassName() const override { return L"Edit"; }
};

bool Saw(const std::vector<UINT>& seen, UINT msg) {
    for (UINT m : seen) {
        if (m == msg)
            return true;
    }
    return false;
}

void PumpAll() {
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
        DispatchMessageW(&msg);
}

} // namespace

TEST(WindowWnd, MessagesReachTheObjectUntilTheFinalMessage) {
    RecordingWnd wnd;
    HWND hwnd = wnd.Create(nullptr, L"t", WS_POPUP, 0, 0, 0, 50, 50);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(wnd.GetHWND(), hwnd);
    EXPECT_TRUE(Saw(wnd.seen, WM_NCCREATE));
    EXPECT_TRUE(Saw(wnd.seen, WM_CREATE));
    wnd.SendMessage(kProbe);
    EXPECT_TRUE(Saw(wnd.seen, kProbe));
    DestroyWindow(hwnd);
    EXPECT_EQ(wnd.finalMessages, 1);
    EXPECT_EQ(wnd.finalWindow, hwnd);
    EXPECT_EQ(wnd.GetHWND(), nullptr);
}

TEST(WindowWnd, ASuperclassedSystemWindowKeepsItsBehaviour) {
    SuperEdit edit;
    HWND hwnd = edit.Create(nullptr, L"", WS_POPUP | ES_AUTOHSCROLL, 0, 0, 0, 100, 20);
    ASSERT_NE(hwnd, nullptr);
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    EXPECT_STREQ(className, L"RecordingSuperEdit");
    // The object is found through the window property; the system class keeps
    // its own window data.
    EXPECT_EQ(GetPropW(hwnd, L"WndX"), static_cast<CWindowWnd*>(&edit));
    SetWindowTextW(hwnd, L"typed text");
    EXPECT_TRUE(Saw(edit.seen, WM_SETTEXT));
    wchar_t text[64] = {};
    GetWindowTextW(hwnd, text, 64);
    EXPECT_STREQ(text, L"typed text");
    ::SendMessageW(hwnd, EM_SETSEL, 0, 5);
    DWORD start = 0, end = 0;
    ::SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 5u);
    DestroyWindow(hwnd);
    EXPECT_EQ(edit.finalMessages, 1);
    EXPECT_EQ(edit.GetHWND(), nullptr);
}

TEST(WindowWnd, SubclassRoutesAnExistingWindowUntilUnsubclassed) {
    HWND plain = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(plain, nullptr);
    const LONG_PTR original = GetWindowLongPtrW(plain, GWLP_WNDPROC);
    RecordingWnd wnd;
    ASSERT_EQ(wnd.Subclass(plain), plain);
    ::SendMessageW(plain, kProbe, 0, 0);
    EXPECT_TRUE(Saw(wnd.seen, kProbe));
    wnd.Unsubclass();
    EXPECT_EQ(GetWindowLongPtrW(plain, GWLP_WNDPROC), original);
    wnd.seen.clear();
    ::SendMessageW(plain, kProbe, 0, 0);
    EXPECT_FALSE(Saw(wnd.seen, kProbe));
    DestroyWindow(plain);
    EXPECT_EQ(wnd.finalMessages, 0);
}

TEST(WindowWnd, ShowModalAnswersTheCloseCodeWithTheOwnerDisabledMeanwhile) {
    RecordingWnd owner;
    ASSERT_NE(owner.Create(nullptr, L"owner", WS_POPUP, 0, 0, 0, 50, 50), nullptr);
    RecordingWnd dialog;
    ASSERT_NE(dialog.Create(owner, L"dialog", WS_POPUP, 0, 0, 0, 50, 50), nullptr);
    bool ownerEnabledInside = true;
    dialog.onMessage = [&](UINT msg, WPARAM) {
        if (msg == kProbe) {
            ownerEnabledInside = IsWindowEnabled(owner) != FALSE;
            dialog.Close(42);
        }
    };
    dialog.PostMessage(kProbe);
    EXPECT_EQ(dialog.ShowModal(), 42u);
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindow(dialog.GetHWND()));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    DestroyWindow(owner);
}

TEST(WindowWnd, ShowModalPostsAQuitThatEndedItAgain) {
    RecordingWnd dialog;
    ASSERT_NE(dialog.Create(nullptr, L"dialog", WS_POPUP, 0, 0, 0, 50, 50), nullptr);
    PostQuitMessage(7);
    EXPECT_EQ(dialog.ShowModal(), 0u);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
    DestroyWindow(dialog);
    PumpAll();
}

TEST(WindowWnd, CenterWindowKeepsALargeWindowsTopLeftInTheWorkArea) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT work = monitor.rcWork;

    RecordingWnd normal;
    ASSERT_NE(normal.Create(nullptr, L"", WS_POPUP, 0, 0, 0, 201, 101), nullptr);
    normal.CenterWindow();
    RECT rc = {};
    GetWindowRect(normal, &rc);
    EXPECT_EQ(rc.left, (work.left + work.right) / 2 - 201 / 2);
    EXPECT_EQ(rc.top, (work.top + work.bottom) / 2 - 101 / 2);
    EXPECT_EQ(rc.right - rc.left, 201);
    DestroyWindow(normal);

    RecordingWnd large;
    const int width = work.right - work.left + 300;
    const int height = work.bottom - work.top + 200;
    ASSERT_NE(large.Create(nullptr, L"", WS_POPUP, 0, 50, 50, width, height), nullptr);
    large.CenterWindow();
    GetWindowRect(large, &rc);
    EXPECT_EQ(rc.left, work.left);
    EXPECT_EQ(rc.top, work.top);
    EXPECT_EQ(rc.right - rc.left, width);
    DestroyWindow(large);
}

TEST(WindowWnd, ResizeClientSizesTheClientAreaThroughTheFrame) {
    RecordingWnd wnd;
    ASSERT_NE(wnd.Create(nullptr, L"", WS_OVERLAPPEDWINDOW, 0, 10, 10, 300, 300), nullptr);
    wnd.ResizeClient(200, 120);
    RECT rc = {};
    GetClientRect(wnd, &rc);
    EXPECT_EQ(rc.right, 200);
    EXPECT_EQ(rc.bottom, 120);
    wnd.ResizeClient(-1, 90);
    GetClientRect(wnd, &rc);
    EXPECT_EQ(rc.right, 200);
    EXPECT_EQ(rc.bottom, 90);
    DestroyWindow(wnd);
}

TEST(WindowWnd, ShowWindowAndClose) {
    RecordingWnd wnd;
    ASSERT_NE(wnd.Create(nullptr, L"", WS_POPUP, 0, 0, 0, 40, 40), nullptr);
    wnd.ShowWindow(true, false);
    EXPECT_TRUE(IsWindowVisible(wnd));
    wnd.ShowWindow(false);
    EXPECT_FALSE(IsWindowVisible(wnd));
    wnd.Close(5);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, wnd, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
    DestroyWindow(wnd);
    // Nothing happens for an object without a window.
    wnd.ShowWindow();
    wnd.Close();
}
