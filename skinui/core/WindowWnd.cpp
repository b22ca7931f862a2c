// The native window wrapper: registration, creation, the two window
// procedures, subclassing, the modal loop and small window operations.
#include "skinui/core/WindowWnd.h"

#include "skinui/core/SkinSource.h"

namespace SkinUI {

namespace {

// The window property that carries the object of a superclassed window.
const wchar_t kObjectProperty[] = L"WndX";

// Icons come in multiples of 16 pixels; a metric between two sizes takes
// the larger image rather than a blurry shrunken one.
int IconSize(int metric) {
    return (metric + 15) / 16 * 16;
}

} // namespace

HINSTANCE WindowModuleInstance() {
    HINSTANCE instance = CSkinSource::GetInstance();
    return instance != nullptr ? instance : GetModuleHandleW(nullptr);
}

// =============================================================================
// Construction
// =============================================================================

CWindowWnd::CWindowWnd() : m_OldWndProc(::DefWindowProcW) {
}

CWindowWnd::~CWindowWnd() = default;

// =============================================================================
// Registration and creation
// =============================================================================

bool CWindowWnd::RegisterWindowClass() {
    WNDCLASSW wc = {};
    wc.style = GetClassStyle();
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = WindowModuleInstance();
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.lpszClassName = GetWindowClassName();
    if (RegisterClassW(&wc) != 0)
        return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    const HINSTANCE instance = WindowModuleInstance();
    if (!GetClassInfoExW(nullptr, GetSuperClassName(), &wc) &&
        !GetClassInfoExW(instance, GetSuperClassName(), &wc))
        return false;
    m_OldWndProc = wc.lpfnWndProc;
    wc.lpfnWndProc = ControlProc;
    wc.hInstance = instance;
    wc.lpszClassName = GetWindowClassName();
    if (RegisterClassExW(&wc) != 0)
        return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle,
                        const RECT& rc, HMENU menu) {
    return Create(parent, title, style, exStyle, rc.left, rc.top, rc.right - rc.left,
                  rc.bottom - rc.top, menu);
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y,
                        int cx, int cy, HMENU menu) {
    if (GetSuperClassName() != nullptr ? !RegisterSuperclass() : !RegisterWindowClass())
        return nullptr;
    m_hWnd = CreateWindowExW(exStyle, GetWindowClassName(), title, style, x, y, cx, cy, parent,
                             menu, WindowModuleInstance(), this);
    return m_hWnd;
}

HWND CWindowWnd::CreateSkinWindow(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle) {
    return Create(parent, title, style, exStyle, 0, 0, 0, 0, nullptr);
}

HWND CWindowWnd::Subclass(HWND window) {
    const LONG_PTR old =
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
    if (old == 0)
        return nullptr;
    m_OldWndProc = reinterpret_cast<WNDPROC>(old);
    m_bSubclassed = true;
    m_hWnd = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return m_hWnd;
}

void CWindowWnd::Unsubclass() {
    if (!IsWindow(m_hWnd) || !m_bSubclassed)
        return;
    SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_OldWndProc));
    m_OldWndProc = ::DefWindowProcW;
    m_bSubclassed = false;
}

// =============================================================================
// Window operations
// =============================================================================

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
    if (!IsWindow(m_hWnd))
        return;
    ::ShowWindow(m_hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

CWindowWnd::MESSAGETRANSLATOR CWindowWnd::s_translator = nullptr;

void CWindowWnd::SetMessageTranslator(MESSAGETRANSLATOR translator) {
    s_translator = translator;
}

UINT CWindowWnd::ShowModal() {
    const HWND owner = GetWindow(m_hWnd, GW_OWNER);
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    EnableWindow(owner, FALSE);
    UINT result = 0;
    MSG msg = {};
    bool quit = false;
    while (IsWindow(m_hWnd)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            break;
        }
        if (got == -1)
            break;
        if (msg.hwnd == m_hWnd && msg.message == WM_CLOSE) {
            result = static_cast<UINT>(msg.wParam);
            // The owner must be usable again before this window goes away, or
            // the system activates some other program's window instead.
            EnableWindow(owner, TRUE);
            ::SetFocus(owner);
        }
        if (s_translator == nullptr || !s_translator(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    EnableWindow(owner, TRUE);
    ::SetFocus(owner);
    if (quit)
        PostQuitMessage(static_cast<int>(msg.wParam));
    return result;
}

void CWindowWnd::Close(UINT code) {
    if (IsWindow(m_hWnd))
        ::PostMessageW(m_hWnd, WM_CLOSE, code, 0);
}

void CWindowWnd::CenterWindow() {
    RECT rcWindow = {};
    GetWindowRect(m_hWnd, &rcWindow);
    const HWND owner = GetWindow(m_hWnd, GW_OWNER);

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(owner != nullptr ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST),
                    &monitor);
    const RECT area = monitor.rcWork;
    RECT center = area;
    if (owner != nullptr)
        GetWindowRect(owner, &center);

    const int width = rcWindow.right - rcWindow.left;
    const int height = rcWindow.bottom - rcWindow.top;
    int left = (center.left + center.right) / 2 - width / 2;
    int top = (center.top + center.bottom) / 2 - height / 2;
    // A window larger than the area keeps its top-left corner visible: that
    // is where its caption and title buttons are.
    if (left < area.left)
        left = area.left;
    else if (left + width > area.right)
        left = area.right - width;
    if (top < area.top)
        top = area.top;
    else if (top + height > area.bottom)
        top = area.bottom - height;
    SetWindowPos(m_hWnd, nullptr, left, top, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT id) {
    const int cx = IconSize(GetSystemMetrics(SM_CXICON));
    const int cy = IconSize(GetSystemMetrics(SM_CYICON));
    const HINSTANCE instance = WindowModuleInstance();
    HICON bigIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR));
    if (bigIcon != nullptr) {
        ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
        m_hIconBig.Reset(bigIcon);
    }
    HICON smallIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR));
    if (smallIcon != nullptr) {
        ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
        m_hIconSmall.Reset(smallIcon);
    }
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    RECT rc = {};
    if (!GetClientRect(m_hWnd, &rc))
        return;
    if (cx != -1)
        rc.right = cx;
    if (cy != -1)
        rc.bottom = cy;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_EXSTYLE));
    const BOOL hasMenu = (style & WS_CHILD) == 0 && GetMenu(m_hWnd) != nullptr;
    if (!AdjustWindowRectEx(&rc, style, hasMenu, exStyle))
        return;
    SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(m_hWnd, msg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(m_hWnd, msg, wParam, lParam);
}

// =============================================================================
// Overridable hooks
// =============================================================================

const wchar_t* CWindowWnd::GetSuperClassName() const {
    return nullptr;
}

UINT CWindowWnd::GetClassStyle() const {
    return 0;
}

LRESULT CWindowWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(m_OldWndProc, m_hWnd, msg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND /*window*/) {
}

// =============================================================================
// Window procedures
// =============================================================================

namespace {

// Where a window keeps its object: the user data of windows of the library's
// own classes, a property of windows it subclasses or superclasses, whose user
// data belongs to their class.
struct UserDataSlot {
    static void Set(HWND window, CWindowWnd* self) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    static CWindowWnd* Get(HWND window) {
        return reinterpret_cast<CWindowWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    static void Clear(HWND window) { SetWindowLongPtrW(window, GWLP_USERDATA, 0); }
};

struct PropertySlot {
    static void Set(HWND window, CWindowWnd* self) { SetPropW(window, kObjectProperty, self); }
    static CWindowWnd* Get(HWND window) {
        return static_cast<CWindowWnd*>(GetPropW(window, kObjectProperty));
    }
    static void Clear(HWND window) { RemovePropW(window, kObjectProperty); }
};

} // namespace

template <typename Slot>
LRESULT CWindowWnd::Route(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* self = nullptr;
    if (msg == WM_NCCREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = static_cast<CWindowWnd*>(create->lpCreateParams);
        if (self != nullptr) {
            self->m_hWnd = window;
            Slot::Set(window, self);
        }
    } else {
        self = Slot::Get(window);
        if (msg == WM_NCDESTROY && self != nullptr) {
            const LRESULT result = CallWindowProcW(self->m_OldWndProc, window, msg, wParam, lParam);
            Slot::Clear(window);
            if (self->m_bSubclassed)
                self->Unsubclass();
            self->m_hWnd = nullptr;
            self->OnFinalMessage(window);
            return result;
        }
    }
    if (self != nullptr)
        return self->HandleMessage(msg, wParam, lParam);
    return DefWindowProcW(window, msg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return Route<UserDataSlot>(window, msg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::ControlProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return Route<PropertySlot>(window, msg, wParam, lParam);
}

} // namespace SkinUI
