// The skinned window base: message routing, building the skin, the borderless
// frame (hit testing, region, min/max info, system commands) and the default
// notification handling.
#include "skinui/window/WindowImplBase.h"

#include "skinui/control/ControlUI.h"
#include "skinui/core/Handles.h"

#include <cwctype>
#include <windowsx.h>

namespace SkinUI {

SKIN_BEGIN_MESSAGE_MAP(WindowImplBase, CNotifyPump)
SKIN_ON_MSGTYPE(L"click", &WindowImplBase::OnClick)
SKIN_END_MESSAGE_MAP()

namespace {

// Shows or hides the control of that name when the window has one.
void ShowNamed(CPaintManagerUI& pm, const wchar_t* name, bool show) {
    if (CControlUI* control = pm.FindControl(name))
        control->SetVisible(show);
}

// The window element's margins are written for 96 dpi, each number on its
// own: insets, not a rectangle that keeps its size.
RECT ScaleMargins(const CDPI& dpi, RECT rc) {
    rc.left = dpi.Scale(rc.left);
    rc.top = dpi.Scale(rc.top);
    rc.right = dpi.Scale(rc.right);
    rc.bottom = dpi.Scale(rc.bottom);
    return rc;
}

} // namespace

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase() = default;

// =============================================================================
// Hooks
// =============================================================================

void WindowImplBase::OnClick(TNotifyUI& msg) {
    if (msg.sender == nullptr)
        return;
    const CSkinString name = msg.sender->GetName();
    if (name == kCloseButton)
        Close(IDOK);
    else if (name == kMinimizeButton)
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == kMaximizeButton)
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name == kRestoreButton)
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
}

CSkinString WindowImplBase::GetSkinType() {
    return CSkinString();
}

const wchar_t* WindowImplBase::GetManagerName() {
    return nullptr;
}

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM wParam) {
    return wParam == VK_ESCAPE ? 1 : 0;
}

// =============================================================================
// Message routing
// =============================================================================

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    bool handled = true;
    switch (msg) {
    case WM_CREATE:
        result = OnCreate(msg, wParam, lParam, handled);
        break;
    case WM_CLOSE:
        // A window that a modal box has disabled must not be closed from the
        // keyboard or the taskbar under that box.
        if (!IsWindowEnabled(m_hWnd))
            return 0;
        result = OnClose(msg, wParam, lParam, handled);
        break;
    case WM_DESTROY:
        result = OnDestroy(msg, wParam, lParam, handled);
        break;
    case WM_NCACTIVATE:
        result = OnNcActivate(msg, wParam, lParam, handled);
        break;
    case WM_NCCALCSIZE:
        result = OnNcCalcSize(msg, wParam, lParam, handled);
        break;
    case WM_NCPAINT:
        result = OnNcPaint(msg, wParam, lParam, handled);
        break;
    case WM_NCHITTEST:
        result = OnNcHitTest(msg, wParam, lParam, handled);
        break;
    case WM_GETMINMAXINFO:
        result = OnGetMinMaxInfo(msg, wParam, lParam, handled);
        break;
    case WM_MOUSEWHEEL:
        result = OnMouseWheel(msg, wParam, lParam, handled);
        break;
    case WM_SIZE:
        result = OnSize(msg, wParam, lParam, handled);
        break;
    case WM_CHAR:
        result = OnChar(msg, wParam, lParam, handled);
        break;
    case WM_SYSCOMMAND:
        result = OnSysCommand(msg, wParam, lParam, handled);
        break;
    case WM_KEYDOWN:
        result = OnKeyDown(msg, wParam, lParam, handled);
        break;
    case WM_KILLFOCUS:
        result = OnKillFocus(msg, wParam, lParam, handled);
        break;
    case WM_SETFOCUS:
        result = OnSetFocus(msg, wParam, lParam, handled);
        break;
    case WM_LBUTTONUP:
        result = OnLButtonUp(msg, wParam, lParam, handled);
        break;
    case WM_LBUTTONDOWN:
        result = OnLButtonDown(msg, wParam, lParam, handled);
        break;
    case WM_MOUSEMOVE:
        result = OnMouseMove(msg, wParam, lParam, handled);
        break;
    case WM_MOUSEHOVER:
        result = OnMouseHover(msg, wParam, lParam, handled);
        break;
    default:
        handled = false;
        break;
    }
    if (handled)
        return result;

    result = HandleCustomMessage(msg, wParam, lParam, handled);
    if (handled)
        return result;
    if (m_pm.MessageHandler(msg, wParam, lParam, result))
        return result;
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

LRESULT WindowImplBase::MessageHandler(UINT msg, WPARAM wParam, LPARAM /*lParam*/,
                                       bool& /*handled*/) {
    if (msg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE))
        return ResponseDefaultKeyEvent(wParam);
    return 0;
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    NotifyPump(msg);
}

CControlUI* WindowImplBase::CreateControl(const wchar_t* /*className*/) {
    return nullptr;
}

const wchar_t* WindowImplBase::QueryControlText(const wchar_t* /*id*/, const wchar_t* /*type*/) {
    return nullptr;
}

UINT WindowImplBase::GetClassStyle() const {
    return CS_DBLCLKS;
}

LONG WindowImplBase::GetStyle() {
    return GetWindowLongW(m_hWnd, GWL_STYLE) & ~static_cast<LONG>(WS_CAPTION);
}

void WindowImplBase::OnFinalMessage(HWND /*window*/) {
    m_pm.RemovePreMessageFilter(this);
    m_pm.RemoveNotifier(this);
    m_pm.ReapObjects(m_pm.GetRoot());
}

// =============================================================================
// Building the window
// =============================================================================

LRESULT WindowImplBase::OnCreate(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                                 bool& handled) {
    LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    style &= ~static_cast<LONG>(WS_CAPTION);
    style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    SetWindowLongW(m_hWnd, GWL_STYLE, style);
    // Recompute the frame now that the caption is gone; the whole window
    // becomes client area (OnNcCalcSize). The window is not visible yet, so
    // there is nothing to activate; saying so keeps Wine from treating every
    // skinned window as one for the X window manager, which costs a two-second
    // wait whenever such a window is hidden where no window manager runs.
    RECT rcClient = {};
    GetClientRect(m_hWnd, &rcClient);
    SetWindowPos(m_hWnd, nullptr, rcClient.left, rcClient.top, rcClient.right - rcClient.left,
                 rcClient.bottom - rcClient.top, SWP_FRAMECHANGED | SWP_NOACTIVATE);

    m_pm.Init(m_hWnd, GetManagerName());
    m_pm.AddPreMessageFilter(this);
    InitResource();

    const CSkinString skinType = GetSkinType();
    const CSkinString skinFile = GetSkinFileName();
    CDialogBuilder builder;
    CControlUI* root = nullptr;
    if (skinType.IsEmpty())
        root = builder.Create(skinFile, nullptr, this, &m_pm);
    else
        root = builder.Create(static_cast<UINT>(_wtoi(skinFile)), skinType, this, &m_pm);

    if (root == nullptr) {
        CSkinString text = L"加载资源文件失败：";
        text += skinFile;
        MessageBoxW(nullptr, text, L"SkinUI", MB_OK | MB_ICONERROR);
        ExitProcess(1);
    }
    m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);
    InitWindow();
    handled = true;
    return 0;
}

// =============================================================================
// Borderless frame
// =============================================================================

LRESULT WindowImplBase::OnNcActivate(UINT /*msg*/, WPARAM wParam, LPARAM /*lParam*/,
                                     bool& handled) {
    if (IsIconic(m_hWnd))
        handled = false;
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                                     bool& /*handled*/) {
    return 0;
}

LRESULT WindowImplBase::OnNcPaint(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                                  bool& /*handled*/) {
    return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT /*msg*/, WPARAM /*wParam*/, LPARAM lParam,
                                    bool& /*handled*/) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(m_hWnd, &pt);
    RECT rcClient = {};
    GetClientRect(m_hWnd, &rcClient);

    if (!IsZoomed(m_hWnd)) {
        const RECT box = ScaleMargins(*m_pm.GetDPIObj(), m_pm.GetSizeBox());
        if (pt.y < rcClient.top + box.top) {
            if (pt.x < rcClient.left + box.left)
                return HTTOPLEFT;
            if (pt.x > rcClient.right - box.right)
                return HTTOPRIGHT;
            return HTTOP;
        }
        if (pt.y > rcClient.bottom - box.bottom) {
            if (pt.x < rcClient.left + box.left)
                return HTBOTTOMLEFT;
            if (pt.x > rcClient.right - box.right)
                return HTBOTTOMRIGHT;
            return HTBOTTOM;
        }
        if (pt.x < rcClient.left + box.left)
            return HTLEFT;
        if (pt.x > rcClient.right - box.right)
            return HTRIGHT;
    }

    // Left and right are insets from the sides; top and bottom are client
    // coordinates, a bottom of -1 meaning the client's bottom.
    RECT caption = m_pm.GetCaptionRect();
    const bool toBottom = caption.bottom == -1;
    caption = ScaleMargins(*m_pm.GetDPIObj(), caption);
    if (toBottom)
        caption.bottom = rcClient.bottom;
    if (pt.x >= rcClient.left + caption.left && pt.x < rcClient.right - caption.right &&
        pt.y >= caption.top && pt.y < caption.bottom) {
        if (IsInStaticControl(m_pm.FindControl(pt)))
            return HTCAPTION;
    }
    return HTCLIENT;
}

bool WindowImplBase::IsInStaticControl(CControlUI* control) {
    if (control == nullptr)
        return false;
    for (CControlUI* c = control; c != nullptr; c = c->GetParent()) {
        if (!c->IsStaticControl())
            return false;
    }
    return true;
}

LRESULT WindowImplBase::OnSize(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, bool& handled) {
    if (!IsIconic(m_hWnd)) {
        SIZE corner = m_pm.GetRoundCorner();
        m_pm.GetDPIObj()->Scale(&corner);
        RECT rcWindow = {};
        GetWindowRect(m_hWnd, &rcWindow);
        OffsetRect(&rcWindow, -rcWindow.left, -rcWindow.top);
        // A region leaves out its right and bottom edges; one more pixel
        // each way keeps the window's last column and row.
        rcWindow.right++;
        rcWindow.bottom++;
        CGdiObject<HRGN> region(CreateRoundRectRgn(rcWindow.left, rcWindow.top, rcWindow.right,
                                                   rcWindow.bottom, corner.cx, corner.cy));
        // Once the window has the region the system owns it and it must not
        // be deleted; it is ours to delete only if the window refused it.
        if (region && SetWindowRgn(m_hWnd, region.Get(), TRUE) != 0)
            region.Release();
    }
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT /*msg*/, WPARAM /*wParam*/, LPARAM lParam,
                                        bool& /*handled*/) {
    MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT work = monitor.rcWork;
    // The maximised position is relative to the window's own monitor.
    if ((monitor.dwFlags & MONITORINFOF_PRIMARY) == 0)
        OffsetRect(&work, -work.left, -work.top);
    info->ptMaxPosition.x = work.left;
    info->ptMaxPosition.y = work.top;
    info->ptMaxSize.x = work.right - work.left;
    info->ptMaxSize.y = work.bottom - work.top;
    info->ptMaxTrackSize = info->ptMaxSize;
    SIZE minimum = m_pm.GetMinInfo();
    m_pm.GetDPIObj()->Scale(&minimum);
    info->ptMinTrackSize.x = minimum.cx;
    info->ptMinTrackSize.y = minimum.cy;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (wParam == SC_CLOSE) {
        handled = true;
        ::SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return 0;
    }
    const bool wasZoomed = IsZoomed(m_hWnd) != FALSE;
    const LRESULT result = CWindowWnd::HandleMessage(msg, wParam, lParam);
    const bool zoomed = IsZoomed(m_hWnd) != FALSE;
    if (zoomed != wasZoomed) {
        ShowNamed(m_pm, kMaximizeButton, !zoomed);
        ShowNamed(m_pm, kRestoreButton, zoomed);
    }
    return result;
}

// =============================================================================
// Handlers that leave the message to the paint manager
// =============================================================================

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

} // namespace SkinUI
