#include "TestWindow.h"

#include "skinui/core/Handles.h"

#include <algorithm>
#include <cstdio>

namespace skintest {

using namespace SkinUI;

namespace {

const wchar_t kClassName[] = L"SkinUITestWindow";

} // namespace

// =============================================================================
// Driver
// =============================================================================

void WindowDriver::Pump() {
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

bool WindowDriver::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        Pump();
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void WindowDriver::Paint() {
    UpdateWindow(DrivenWindow());
}

void WindowDriver::SetClientSize(int cx, int cy) {
    SetWindowPos(DrivenWindow(), nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT WindowDriver::Send(UINT msg, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(DrivenWindow(), msg, wParam, lParam);
}

void WindowDriver::MouseMove(int x, int y, WPARAM keys) {
    POINT pt = {x, y};
    ClientToScreen(DrivenWindow(), &pt);
    SetCursorPos(pt.x, pt.y);
    Send(WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
}

void WindowDriver::LButtonDown(int x, int y) {
    MouseMove(x, y);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

void WindowDriver::LButtonUp(int x, int y) {
    Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void WindowDriver::LButtonDblClk(int x, int y) {
    MouseMove(x, y);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
}

void WindowDriver::RButtonDown(int x, int y) {
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
}

void WindowDriver::RButtonUp(int x, int y) {
    Send(WM_RBUTTONUP, 0, MAKELPARAM(x, y));
}

void WindowDriver::Click(int x, int y) {
    LButtonDown(x, y);
    LButtonUp(x, y);
}

POINT WindowDriver::CenterOf(CControlUI* control) const {
    const RECT& rc = control->GetPos();
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void WindowDriver::ClickControl(CControlUI* control) {
    const POINT pt = CenterOf(control);
    Click(pt.x, pt.y);
}

void WindowDriver::KeyDown(WPARAM vk) {
    Send(WM_KEYDOWN, vk, 1);
}

void WindowDriver::KeyUp(WPARAM vk) {
    Send(WM_KEYUP, vk, 0xC0000001);
}

void WindowDriver::PostKey(WPARAM vk, HWND target) {
    HWND to = target != nullptr ? target : DrivenWindow();
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    PostMessageW(to, WM_KEYDOWN, vk, 1 | (scan << 16));
    Pump();
    PostMessageW(to, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000);
    Pump();
}

void WindowDriver::PostChar(wchar_t ch, HWND target) {
    PostMessageW(target != nullptr ? target : DrivenWindow(), WM_CHAR, ch, 1);
    Pump();
}

std::vector<DWORD> WindowDriver::Capture() {
    Paint();
    HWND window = DrivenWindow();
    RECT rc = {};
    GetClientRect(window, &rc);
    m_captureWidth = rc.right;
    m_captureHeight = rc.bottom;
    std::vector<DWORD> pixels(static_cast<size_t>(m_captureWidth) * m_captureHeight, 0);
    CDibSection dib(nullptr, m_captureWidth, m_captureHeight);
    if (!dib)
        return pixels;
    CMemoryDC dc(nullptr);
    {
        CSelectObject select(dc.Get(), dib.Get());
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
        GdiFlush();
    }
    const DWORD* bits = dib.Bits();
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = bits[i] & 0x00FFFFFF;
    return pixels;
}

DWORD WindowDriver::Pixel(int x, int y) {
    const std::vector<DWORD> pixels = Capture();
    if (x < 0 || y < 0 || x >= m_captureWidth || y >= m_captureHeight)
        return 0xDEADBEEF;
    return pixels[static_cast<size_t>(y) * m_captureWidth + x];
}

DWORD WindowDriver::ScreenPixel(int x, int y) {
    CWindowDC dc(DrivenWindow());
    const COLORREF c = GetPixel(dc.Get(), x, y);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// =============================================================================
// Plain window with a paint manager
// =============================================================================

TestWindow::TestWindow(int cx, int cy) : m_manager(new CPaintManagerUI) {
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &TestWindow::WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc); // fails harmlessly once the class exists
    m_hwnd = CreateWindowExW(0, kClassName, L"test", WS_POPUP, 0, 0, cx, cy, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_manager->Init(m_hwnd);
    // Shown without activation: Wine treats an activated popup as managed by
    // the (absent) window manager and then waits two seconds for every unmap.
    ShowWindow(m_hwnd, SW_SHOWNOACTIVATE);
    ::SetFocus(m_hwnd);
    Pump();
}

TestWindow::~TestWindow() {
    // The manager goes first: it deletes the tree while the window still exists.
    delete m_manager;
    m_manager = nullptr;
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hwnd);
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
        DispatchMessageW(&msg);
}

LRESULT CALLBACK TestWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TestWindow* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && self->m_manager != nullptr) {
        LRESULT result = 0;
        if (self->m_manager->MessageHandler(msg, wParam, lParam, result))
            return result;
    }
    // Tests send WM_CLOSE to see what the manager does with it; the window
    // itself stays until the test ends.
    if (msg == WM_CLOSE)
        return 0;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void TestWindow::Attach(CControlUI* root) {
    m_manager->AttachDialog(root);
    Paint();
}

// =============================================================================
// Skinned window
// =============================================================================

SkinTestWindow::SkinTestWindow(std::wstring skin) : m_skin(std::move(skin)) {
    if (CPaintManagerUI::GetInstance() == nullptr)
        CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
}

SkinTestWindow::~SkinTestWindow() {
    if (IsWindow(m_hWnd)) {
        allowClose = true;
        DestroyWindow(m_hWnd);
    }
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
        DispatchMessageW(&msg);
}

bool SkinTestWindow::Open(int x, int y) {
    if (Create(nullptr, L"skin test", WS_POPUP, WS_EX_TOPMOST, x, y, 10, 10) == nullptr)
        return false;
    SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    // Shown without activation, as the plain window above.
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ::SetFocus(m_hWnd);
    Pump();
    Paint();
    Pump();
    return true;
}

std::vector<std::wstring> SkinTestWindow::Of(std::initializer_list<const wchar_t*> types) const {
    std::vector<std::wstring> out;
    for (const std::wstring& entry : notifications) {
        const std::wstring type = entry.substr(0, entry.find(L' '));
        if (std::any_of(types.begin(), types.end(), [&](const wchar_t* t) { return type == t; }))
            out.push_back(entry);
    }
    return out;
}

void SkinTestWindow::Notify(TNotifyUI& msg) {
    std::wstring entry = msg.type.GetData();
    entry += L' ';
    entry += msg.sender != nullptr ? msg.sender->GetName().GetData() : L"-";
    notifications.push_back(entry);
    WindowImplBase::Notify(msg);
    if (onNotify)
        onNotify(msg);
}

CSkinString SkinTestWindow::GetSkinFileName() {
    return CSkinString(m_skin.c_str());
}

LRESULT SkinTestWindow::OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    ++closeRequests;
    lastCloseCode = wParam;
    if (allowClose)
        return WindowImplBase::OnClose(msg, wParam, lParam, handled);
    handled = true;
    return 0;
}

// =============================================================================
// Recorders
// =============================================================================

namespace {

std::wstring SenderName(const CControlUI* sender) {
    if (sender == nullptr)
        return L"-";
    const CSkinString name = sender->GetName();
    return name.IsEmpty() ? std::wstring(L"?") : std::wstring(name.GetData());
}

} // namespace

void NotifyRecorder::Notify(TNotifyUI& msg) {
    wchar_t params[64];
    swprintf(params, 64, L" %u %ld", static_cast<unsigned>(msg.wParam),
             static_cast<long>(msg.lParam));
    entries.push_back(std::wstring(msg.type.GetData()) + L" " + SenderName(msg.sender) + params);
    records.push_back(msg);
    if (onNotify)
        onNotify(msg);
}

std::vector<std::wstring> NotifyRecorder::Of(std::initializer_list<const wchar_t*> types) const {
    std::vector<std::wstring> out;
    for (size_t i = 0; i < entries.size(); ++i) {
        bool wanted = types.size() == 0;
        for (const wchar_t* type : types)
            wanted = wanted || records[i].type == type;
        if (wanted)
            out.push_back(entries[i]);
    }
    return out;
}

int NotifyRecorder::Count(const wchar_t* type) const {
    int n = 0;
    for (const TNotifyUI& record : records)
        n += record.type == type ? 1 : 0;
    return n;
}

const wchar_t* EventName(int type) {
    switch (type) {
    case EventKeyDown:
        return L"KeyDown";
    case EventKeyUp:
        return L"KeyUp";
    case EventChar:
        return L"Char";
    case EventSysKey:
        return L"SysKey";
    case EventMouseMove:
        return L"MouseMove";
    case EventMouseLeave:
        return L"MouseLeave";
    case EventMouseEnter:
        return L"MouseEnter";
    case EventMouseHover:
        return L"MouseHover";
    case EventButtonDown:
        return L"ButtonDown";
    case EventButtonUp:
        return L"ButtonUp";
    case EventRButtonDown:
        return L"RButtonDown";
    case EventRButtonUp:
        return L"RButtonUp";
    case EventMButtonDown:
        return L"MButtonDown";
    case EventMButtonUp:
        return L"MButtonUp";
    case EventDblClick:
        return L"DblClick";
    case EventContextMenu:
        return L"ContextMenu";
    case EventScrollWheel:
        return L"ScrollWheel";
    case EventKillFocus:
        return L"KillFocus";
    case EventSetFocus:
        return L"SetFocus";
    case EventWindowSize:
        return L"WindowSize";
    case EventSetCursor:
        return L"SetCursor";
    case EventTimer:
        return L"Timer";
    default:
        return L"?";
    }
}

void WatchEvents(CControlUI* control, std::vector<std::wstring>* log) {
    control->OnEvent += [control, log](void* param) {
        const TEventUI* event = static_cast<const TEventUI*>(param);
        log->push_back(SenderName(control) + L":" + EventName(event->type));
        return true;
    };
}

std::vector<std::wstring> Filter(const std::vector<std::wstring>& log,
                                 std::initializer_list<const wchar_t*> events) {
    std::vector<std::wstring> out;
    for (const std::wstring& entry : log) {
        const std::wstring event = entry.substr(entry.find(L':') + 1);
        bool wanted = events.size() == 0;
        for (const wchar_t* name : events)
            wanted = wanted || event == name;
        if (wanted)
            out.push_back(entry);
    }
    return out;
}

std::string Str(const RECT& rc) {
    char text[64];
    snprintf(text, sizeof(text), "(%ld, %ld, %ld, %ld)", static_cast<long>(rc.left),
             static_cast<long>(rc.top), static_cast<long>(rc.right), static_cast<long>(rc.bottom));
    return text;
}

} // namespace skintest
