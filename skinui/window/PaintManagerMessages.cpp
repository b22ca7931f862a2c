// The message side of the paint manager: the message entry that turns window
// messages into control events, the pre-translation of TAB, Alt+letter
// shortcuts and accelerators, and the message loop.
//
// Mouse state machine (pressed = the control that got the button-down):
//
//   message          pressed slot      event goes to           afterwards
//   ---------------  ----------------  ----------------------  -------------------------
//   WM_MOUSEMOVE     none              control under mouse     leave/enter on hover change
//   WM_MOUSEMOVE     set               pressed control         (capture keeps it coming)
//   WM_LBUTTONDOWN   -                 control under mouse     pressed := it, focus, capture
//   WM_LBUTTONUP     set               pressed control         pressed := none, no capture
//   WM_LBUTTONUP     none              nobody                  no capture
//   WM_MOUSELEAVE    -                 hover control (leave)   tracking off
#include "skinui/window/PaintManagerUI.h"

#include "skinui/control/ControlUI.h"

#include <windowsx.h>

#include <cwchar>
#include <cwctype>

namespace SkinUI {

namespace {

// Private message of the queue drain (see PaintManagerTree.cpp).
const UINT kDrainMessage = WM_APP + 1;
// Reflected notifications for child windows: the message number plus 0x2000.
const UINT kReflectBase = 0x2000;

struct TFindShortcut {
    wchar_t ch;
    bool pickNext;
};

// The first visible non-label control from the one whose shortcut matches:
// a label names the control that follows it.
CControlUI* CALLBACK FindControlFromShortcut(CControlUI* control, LPVOID data) {
    if (!control->IsVisible())
        return nullptr;
    TFindShortcut* find = static_cast<TFindShortcut*>(data);
    if (control->GetShortcut() != 0 && towupper(find->ch) == towupper(control->GetShortcut()))
        find->pickNext = true;
    if (wcsstr(control->GetClass(), L"LabelUI") != nullptr)
        return nullptr;
    return find->pickNext ? control : nullptr;
}

TEventUI MakeEvent(int type, CControlUI* sender) {
    TEventUI event;
    event.type = type;
    event.sender = sender;
    event.timestamp = GetTickCount();
    return event;
}

} // namespace

WORD CPaintManagerUI::CurrentKeyState() {
    WORD state = 0;
    if (GetKeyState(VK_LBUTTON) < 0)
        state |= KeyStateLButton;
    if (GetKeyState(VK_RBUTTON) < 0)
        state |= KeyStateRButton;
    if (GetKeyState(VK_SHIFT) < 0)
        state |= KeyStateShift;
    if (GetKeyState(VK_CONTROL) < 0)
        state |= KeyStateControl;
    if (GetKeyState(VK_MENU) < 0)
        state |= KeyStateAlt;
    return state;
}

// =============================================================================
// Message entry
// =============================================================================

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (m_hWndPaint == nullptr)
        return false;
    for (int i = 0; i < m_aMessageFilters.GetSize(); ++i) {
        bool handled = false;
        const LRESULT result = static_cast<IMessageFilterUI*>(m_aMessageFilters[i])
                                   ->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = result;
            return true;
        }
    }

    switch (uMsg) {
    case kDrainMessage:
        DrainAsyncNotify();
        return false;
    case WM_CLOSE: {
        TEventUI event = MakeEvent(0, nullptr);
        event.mousePos = m_ptLastMousePos;
        event.keyState = CurrentKeyState();
        if (m_pEventHover != nullptr) {
            event.type = EventMouseLeave;
            event.sender = m_pEventHover;
            m_pEventHover->Event(event);
        }
        if (m_pEventClick != nullptr) {
            event.type = EventButtonUp;
            event.sender = m_pEventClick;
            m_pEventClick->Event(event);
        }
        SetFocus(nullptr);
        // Give the keyboard back to the owner, as a closing dialog would.
        if (GetActiveWindow() == m_hWndPaint) {
            HWND owner = GetWindow(m_hWndPaint, GW_OWNER);
            if (owner != nullptr)
                ::SetFocus(owner);
        }
        if (m_hwndTooltip != nullptr) {
            DestroyWindow(m_hwndTooltip);
            m_hwndTooltip = nullptr;
        }
        return false;
    }
    case WM_ERASEBKGND:
        // The off-screen image covers every pixel.
        lRes = 1;
        return true;
    case WM_PAINT:
        OnPaint();
        lRes = 0;
        return true;
    case WM_PRINTCLIENT:
        OnPrintClient(reinterpret_cast<HDC>(wParam), lParam);
        return false;
    case WM_GETMINMAXINFO: {
        MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (info == nullptr)
            return false;
        if (m_szMinWindow.cx > 0)
            info->ptMinTrackSize.x = m_szMinWindow.cx;
        if (m_szMinWindow.cy > 0)
            info->ptMinTrackSize.y = m_szMinWindow.cy;
        if (m_szMaxWindow.cx > 0) {
            info->ptMaxTrackSize.x = m_szMaxWindow.cx;
            info->ptMaxSize.x = m_szMaxWindow.cx;
        }
        if (m_szMaxWindow.cy > 0) {
            info->ptMaxTrackSize.y = m_szMaxWindow.cy;
            info->ptMaxSize.y = m_szMaxWindow.cy;
        }
        return false;
    }
    case WM_SIZE:
        if (m_pFocus != nullptr) {
            TEventUI event = MakeEvent(EventWindowSize, m_pFocus);
            m_pFocus->Event(event);
        }
        if (m_pRoot != nullptr)
            m_pRoot->NeedUpdate();
        lRes = 0;
        return true;
    case WM_TIMER:
        OnTimer(wParam, lParam);
        return false;
    case WM_SETFOCUS:
        if (m_pFocus != nullptr) {
            TEventUI event = MakeEvent(EventSetFocus, m_pFocus);
            event.wParam = wParam;
            event.lParam = lParam;
            m_pFocus->Event(event);
        }
        return false;
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT)
            return false;
        if (m_bMouseCapture) {
            lRes = TRUE;
            return true;
        }
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(m_hWndPaint, &pt);
        CControlUI* control = FindControl(pt);
        if (control == nullptr || control->GetManager() != this ||
            (control->GetControlFlags() & ControlFlagSetCursor) == 0)
            return false;
        TEventUI event = MakeEvent(EventSetCursor, control);
        event.mousePos = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        event.keyState = CurrentKeyState();
        control->Event(event);
        lRes = TRUE;
        return true;
    }
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header == nullptr)
            return false;
        lRes = SendMessageW(header->hwndFrom, kReflectBase + WM_NOTIFY, wParam, lParam);
        return true;
    }
    case WM_COMMAND:
        if (lParam == 0)
            return false;
        lRes =
            SendMessageW(reinterpret_cast<HWND>(lParam), kReflectBase + WM_COMMAND, wParam, lParam);
        return lRes != 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (lParam == 0)
            return false;
        lRes = SendMessageW(reinterpret_cast<HWND>(lParam), kReflectBase + uMsg, wParam, lParam);
        return lRes != 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU:
    case WM_MOUSEHOVER:
    case WM_MOUSELEAVE:
        return HandleMouseMessage(uMsg, wParam, lParam, lRes);
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        return HandleKeyMessage(uMsg, wParam, lParam);
    default:
        return false;
    }
}

bool CPaintManagerUI::HandleMouseMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    // Wheel and context-menu positions come in screen coordinates.
    if (uMsg == WM_MOUSEWHEEL || uMsg == WM_CONTEXTMENU)
        ScreenToClient(m_hWndPaint, &pt);

    switch (uMsg) {
    case WM_MOUSEMOVE: {
        if (!m_bMouseTracking) {
            TRACKMOUSEEVENT track = {};
            track.cbSize = sizeof(track);
            track.dwFlags = TME_HOVER | TME_LEAVE;
            track.hwndTrack = m_hWndPaint;
            track.dwHoverTime = m_hwndTooltip != nullptr
                                    ? static_cast<DWORD>(SendMessageW(
                                          m_hwndTooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0))
                                    : 400;
            // user32's own tracking: the common controls' wrapper would tie the
            // program to a DLL that is not a KnownDLL.
            TrackMouseEvent(&track);
            m_bMouseTracking = true;
        }
        m_ptLastMousePos = pt;
        CControlUI* newHover = FindControl(pt);
        if (newHover != nullptr && newHover->GetManager() != this)
            return false;
        TEventUI event = MakeEvent(0, nullptr);
        event.mousePos = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        if (newHover != m_pEventHover && m_pEventHover != nullptr) {
            event.type = EventMouseLeave;
            event.sender = m_pEventHover;
            CControlUI* left = m_pEventHover;
            m_pEventHover = nullptr;
            left->Event(event);
            HideToolTip();
        }
        if (newHover != m_pEventHover && newHover != nullptr) {
            event.type = EventMouseEnter;
            event.sender = newHover;
            m_pEventHover = newHover;
            newHover->Event(event);
        }
        CControlUI* target = m_pEventClick != nullptr ? m_pEventClick : newHover;
        if (target != nullptr) {
            event.type = EventMouseMove;
            event.sender = target;
            target->Event(event);
        }
        return false;
    }
    case WM_LBUTTONDOWN: {
        ::SetFocus(m_hWndPaint);
        m_ptLastMousePos = pt;
        CControlUI* control = FindControl(pt);
        if (control == nullptr || control->GetManager() != this)
            return false;
        SetCapture();
        m_pEventClick = control;
        control->SetFocus();
        TEventUI event = MakeEvent(EventButtonDown, control);
        event.mousePos = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        event.keyState = LOWORD(wParam);
        control->Event(event);
        return false;
    }
    case WM_LBUTTONUP: {
        ReleaseCapture();
        m_ptLastMousePos = pt;
        if (m_pEventClick == nullptr)
            return false;
        CControlUI* control = m_pEventClick;
        m_pEventClick = nullptr;
        TEventUI event = MakeEvent(EventButtonUp, control);
        event.mousePos = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        event.keyState = LOWORD(wParam);
        control->Event(event);
        return false;
    }
    case WM_LBUTTONDBLCLK: {
        ::SetFocus(m_hWndPaint);
        SetCapture();
        m_ptLastMousePos = pt;
        CControlUI* control = FindControl(pt);
        if (control == nullptr || control->GetManager() != this)
            return false;
        TEventUI event = MakeEvent(EventDblClick, control);
        event.mousePos = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        event.keyState = LOWORD(wParam);
        control->Event(event);
        m_pEventClick = control;
        return false;
    }
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        ::SetFocus(m_hWndPaint);
        m_ptLastMousePos = pt;
        CControlUI* control = FindControl(pt);
        if (control == nullptr || control->GetManager() != this)
            return false;
        control->SetFocus();
        SetCapture();
        TEventUI event =
            MakeEvent(uMsg == WM_RBUTTONDOWN ? EventRButtonDown : EventMButtonDown, control);
        event.mousePos = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        event.keyState = LOWORD(wParam);
        control->Event(event);
        m_pEventClick = control;
        return false;
    }
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        ReleaseCapture();
        m_ptLastMousePos = pt;
        CControlUI* control = FindControl(pt);
        if (control == nullptr || control->GetManager() != this)
            return false;
        m_pEventClick = control;
        TEventUI event = MakeEvent(uMsg == WM_RBUTTONUP ? EventRButtonUp : EventMButtonUp, control);
        event.mousePos = pt;
        event.wParam = wParam;
        event.lParam = lParam;
        event.keyState = LOWORD(wParam);
        control->Event(event);
        return false;
    }
    case WM_MOUSEWHEEL: {
        m_ptLastMousePos = pt;
        CControlUI* control = FindControl(pt);
        if (control == nullptr || control->GetManager() != this)
            return false;
        TEventUI event = MakeEvent(EventScrollWheel, control);
        event.mousePos = pt;
        event.wParam = GET_WHEEL_DELTA_WPARAM(wParam) < 0 ? 1 : 0;
        event.lParam = lParam;
        event.keyState = CurrentKeyState();
        control->Event(event);
        // The view may have scrolled under the mouse: let hover state follow.
        SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0,
                     MAKELPARAM(m_ptLastMousePos.x, m_ptLastMousePos.y));
        return false;
    }
    case WM_CONTEXTMENU: {
        m_ptLastMousePos = pt;
        if (m_pEventClick == nullptr)
            return false;
        ReleaseCapture();
        CControlUI* control = m_pEventClick;
        TEventUI event = MakeEvent(EventContextMenu, control);
        event.mousePos = pt;
        event.wParam = wParam;
        event.keyState = LOWORD(wParam);
        event.lParam = reinterpret_cast<LPARAM>(control);
        control->Event(event);
        m_pEventClick = nullptr;
        return false;
    }
    case WM_MOUSEHOVER: {
        m_bMouseTracking = false;
        CControlUI* control = FindControl(pt);
        if (control == nullptr || control->GetManager() != this)
            return false;
        if (m_pEventHover != nullptr) {
            TEventUI event = MakeEvent(EventMouseHover, m_pEventHover);
            event.mousePos = pt;
            event.wParam = wParam;
            event.lParam = lParam;
            event.keyState = CurrentKeyState();
            m_pEventHover->Event(event);
        }
        ShowToolTip(control);
        lRes = 0;
        return true;
    }
    case WM_MOUSELEAVE: {
        HideToolTip();
        if (m_bMouseTracking) {
            POINT cursor;
            GetCursorPos(&cursor);
            RECT window;
            GetWindowRect(m_hWndPaint, &window);
            LPARAM move = static_cast<LPARAM>(-1); // finds no control: the hover control leaves
            if (!IsIconic(m_hWndPaint) && GetActiveWindow() == m_hWndPaint &&
                PtInRect(&window, cursor) &&
                SendMessageW(m_hWndPaint, WM_NCHITTEST, 0, MAKELPARAM(cursor.x, cursor.y)) ==
                    HTCLIENT) {
                ScreenToClient(m_hWndPaint, &cursor);
                move = MAKELPARAM(cursor.x, cursor.y);
            }
            SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, move);
        }
        m_bMouseTracking = false;
        return false;
    }
    default:
        return false;
    }
}

bool CPaintManagerUI::HandleKeyMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CControlUI* target = uMsg == WM_KEYUP ? m_pEventKey : m_pFocus;
    if (target == nullptr)
        return false;
    const int type = uMsg == WM_KEYDOWN ? EventKeyDown : uMsg == WM_KEYUP ? EventKeyUp : EventChar;
    TEventUI event = MakeEvent(type, target);
    event.keyChar = static_cast<WORD>(wParam);
    event.wParam = wParam;
    event.lParam = lParam;
    event.mousePos = m_ptLastMousePos;
    event.keyState = CurrentKeyState();
    if (uMsg == WM_KEYDOWN)
        m_pEventKey = target;
    else if (uMsg == WM_KEYUP)
        m_pEventKey = nullptr;
    target->Event(event);
    return false;
}

// =============================================================================
// Pre-translation
// =============================================================================

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam,
                                        LRESULT& /*lRes*/) {
    for (int i = 0; i < m_aPreMessageFilters.GetSize(); ++i) {
        bool handled = false;
        static_cast<IMessageFilterUI*>(m_aPreMessageFilters[i])
            ->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled)
            return true;
    }
    switch (uMsg) {
    case WM_KEYDOWN:
        if (wParam != VK_TAB)
            return false;
        // Controls that edit text with tabs keep the key for themselves.
        if (m_pFocus != nullptr && m_pFocus->IsVisible() && m_pFocus->IsEnabled() &&
            (wcsstr(m_pFocus->GetClass(), L"RichEditUI") != nullptr ||
             wcsstr(m_pFocus->GetClass(), L"WkeWebkitUI") != nullptr))
            return false;
        SetNextTabControl(GetKeyState(VK_SHIFT) >= 0);
        return true;
    case WM_SYSCHAR: {
        if (m_pRoot == nullptr)
            return false;
        TFindShortcut find = {static_cast<wchar_t>(wParam), false};
        CControlUI* control = m_pRoot->FindControl(FindControlFromShortcut, &find,
                                                   FindEnabled | FindMeFirst | FindTopFirst);
        if (control == nullptr)
            return false;
        control->SetFocus();
        control->Activate();
        return true;
    }
    case WM_SYSKEYDOWN:
        if (m_pFocus != nullptr) {
            TEventUI event = MakeEvent(EventSysKey, m_pFocus);
            event.keyChar = static_cast<WORD>(wParam);
            event.mousePos = m_ptLastMousePos;
            event.keyState = CurrentKeyState();
            m_pFocus->Event(event);
        }
        return false;
    default:
        return false;
    }
}

bool CPaintManagerUI::TranslateAcceleratorW(LPMSG pMsg) {
    for (int i = 0; i < m_aTranslateAccelerator.GetSize(); ++i) {
        if (static_cast<ITranslateAccelerator*>(m_aTranslateAccelerator[i])
                ->TranslateAcceleratorW(pMsg) == 0)
            return true;
    }
    return false;
}

bool CPaintManagerUI::TranslateMessage(const LPMSG pMsg) {
    if (pMsg == nullptr || pMsg->hwnd == nullptr)
        return false;
    const LONG style = GetWindowLongW(pMsg->hwnd, GWL_STYLE);
    if ((style & WS_CHILD) != 0) {
        // A native child window (the edit box) still gets its message; the
        // managers of its ancestors only look at it first.
        for (int i = 0; i < m_aPreMessages.GetSize(); ++i) {
            CPaintManagerUI* manager = static_cast<CPaintManagerUI*>(m_aPreMessages[i]);
            HWND paint = manager->GetPaintWindow();
            bool related = pMsg->hwnd == paint;
            for (HWND parent = GetParent(pMsg->hwnd); parent != nullptr && !related;
                 parent = GetParent(parent))
                related = parent == paint;
            if (!related)
                continue;
            if (manager->TranslateAcceleratorW(pMsg))
                return true;
            LRESULT lRes = 0;
            manager->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
        }
        return false;
    }
    for (int i = 0; i < m_aPreMessages.GetSize(); ++i) {
        CPaintManagerUI* manager = static_cast<CPaintManagerUI*>(m_aPreMessages[i]);
        if (pMsg->hwnd != manager->GetPaintWindow())
            continue;
        LRESULT lRes = 0;
        return manager->TranslateAcceleratorW(pMsg) ||
               manager->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
    }
    return false;
}

void CPaintManagerUI::MessageLoop() {
    MSG msg = {};
    // GetMessageW answers -1 on failure; that ends the loop as WM_QUIT would
    // rather than spinning on an invalid call.
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

} // namespace SkinUI
