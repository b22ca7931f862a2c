// The message side of the paint manager: the message entry that turns window
// messages into control events, the pre-translation of TAB, Alt+letter
// shortcuts and accelerators, and the message loop.
#include "skinui/window/PaintManagerUI.h"
#include "skinui/window/PrivateMessages.h"

#include "skinui/control/ControlUI.h"

#include <windowsx.h>

#include <cwctype>

namespace SkinUI {

namespace {

// Reflected notifications for child windows: the message number plus 0x2000.
const UINT kReflectBase = 0x2000;

} // namespace

// =============================================================================
// Input table
// =============================================================================

namespace {

// What an event carries besides type, addressee and timestamp.
enum class Payload : unsigned char {
    None,        // nothing
    Params,      // wParam, lParam
    Move,        // mousePos, wParam, lParam
    Button,      // mousePos, wParam, lParam, keyState = the message's key flags
    Pointer,     // mousePos, wParam, lParam, keyState = the live key state
    Wheel,       // mousePos, wParam = 1 when turned towards the user, lParam, live keyState
    ContextMenu, // mousePos, wParam, lParam = the addressee, the message's key flags
    Key,         // keyChar, wParam, lParam, mousePos = last position, live keyState
    SysKey,      // keyChar, mousePos = last position, live keyState
    Cancel,      // mousePos = last position, live keyState
};

// Messages whose handling is more than a row of steps.
enum class Special : unsigned char { None, MouseMove, MouseHover, MouseLeave };

enum class Step : unsigned char {
    End,
    FocusWindow,    // the window takes the keyboard focus
    HideCues,       // the mouse is in use: the focus ring goes
    Capture,        // the mouse is captured
    Release,        // the capture is released
    StorePoint,     // the point becomes the last mouse position
    FindUnderMouse, // addressee := the control under the point (a foreign one counts as none)
    FindPressed,    // addressee := the pressed control
    FindHover,      // addressee := the hover control
    FindFocus,      // addressee := the focus control
    FindKeyControl, // addressee := the control that got the last key-down
    Press,          // pressed := addressee
    Unpress,        // pressed := none
    FocusControl,   // the addressee takes the focus
    MarkKey,        // key control := addressee
    ClearKey,       // key control := none
    Send,           // the event goes to the addressee
    FollowScroll,   // a WM_MOUSEMOVE at the last position, so hover follows a scrolled view
};

const int kMaxSteps = 8;

bool InScreenCoordinates(Payload payload) {
    return payload == Payload::Wheel || payload == Payload::ContextMenu;
}

bool AtLastPosition(Payload payload) {
    return payload == Payload::Key || payload == Payload::SysKey || payload == Payload::Cancel;
}

} // namespace

struct TInputRoute {
    UINT message;
    int eventType;
    Payload payload;
    Special special;
    Step steps[kMaxSteps];
};

namespace {

using S = Step;

// The route of a click, one direction through the layers:
//   CWindowWnd::__WndProc -> HandleMessage of the window (a derived window
//   passes on what it does not consume) -> WindowImplBase::HandleMessage ->
//   CPaintManagerUI::MessageHandler -> this table (WM_LBUTTONDOWN presses the
//   control under the mouse, WM_LBUTTONUP goes to that pressed control) ->
//   the control's Event / DoEvent -> CButtonUI::Activate -> SendNotify("click")
//   -> the window's INotifyUI::Notify -> its message map (CNotifyPump) -> the
//   handler row for the control's name.
//
// Each row names the event a message becomes, what the event carries and the
// steps that run, in order. A step that looks for the addressee ends the
// message (unconsumed) when there is none. The pressed control is the one
// that got the button-down: the button-up and every mouse move go to it while
// the button is held, wherever the mouse is. The key control got the last
// key-down and receives the matching key-up even if the focus moved meanwhile.

// clang-format off
const TInputRoute kInputRoutes[] = {
    // message         event              payload               special
    //     steps, in order
    {WM_MOUSEMOVE,     EventMouseMove,    Payload::Move,        Special::MouseMove,  {}},
    {WM_MOUSEHOVER,    EventMouseHover,   Payload::Pointer,     Special::MouseHover, {}},
    {WM_MOUSELEAVE,    EventMouseLeave,   Payload::None,        Special::MouseLeave, {}},
    {WM_LBUTTONDOWN,   EventButtonDown,   Payload::Button,      Special::None,
        {S::HideCues, S::FocusWindow, S::StorePoint, S::FindUnderMouse, S::Capture, S::Press, S::FocusControl,
         S::Send}},
    {WM_LBUTTONUP,     EventButtonUp,     Payload::Button,      Special::None,
        {S::Release, S::StorePoint, S::FindPressed, S::Unpress, S::Send}},
    // A double click leaves the focus where the first click put it.
    {WM_LBUTTONDBLCLK, EventDblClick,     Payload::Button,      Special::None,
        {S::HideCues, S::FocusWindow, S::Capture, S::StorePoint, S::FindUnderMouse, S::Send, S::Press}},
    {WM_RBUTTONDOWN,   EventRButtonDown,  Payload::Button,      Special::None,
        {S::HideCues, S::FocusWindow, S::StorePoint, S::FindUnderMouse, S::FocusControl, S::Capture, S::Send,
         S::Press}},
    {WM_MBUTTONDOWN,   EventMButtonDown,  Payload::Button,      Special::None,
        {S::HideCues, S::FocusWindow, S::StorePoint, S::FindUnderMouse, S::FocusControl, S::Capture, S::Send,
         S::Press}},
    // The right and middle button-up go to the control under the mouse, which
    // stays the pressed control for a context menu that follows.
    {WM_RBUTTONUP,     EventRButtonUp,    Payload::Button,      Special::None,
        {S::Release, S::StorePoint, S::FindUnderMouse, S::Press, S::Send}},
    {WM_MBUTTONUP,     EventMButtonUp,    Payload::Button,      Special::None,
        {S::Release, S::StorePoint, S::FindUnderMouse, S::Press, S::Send}},
    {WM_MOUSEWHEEL,    EventScrollWheel,  Payload::Wheel,       Special::None,
        {S::StorePoint, S::FindUnderMouse, S::Send, S::FollowScroll}},
    {WM_CONTEXTMENU,   EventContextMenu,  Payload::ContextMenu, Special::None,
        {S::StorePoint, S::FindPressed, S::Release, S::Send, S::Unpress}},
    {WM_KEYDOWN,       EventKeyDown,      Payload::Key,         Special::None,
        {S::FindFocus, S::MarkKey, S::Send}},
    {WM_KEYUP,         EventKeyUp,        Payload::Key,         Special::None,
        {S::FindKeyControl, S::ClearKey, S::Send}},
    {WM_CHAR,          EventChar,         Payload::Key,         Special::None,
        {S::FindFocus, S::Send}},
};
// clang-format on

// Reached only from the pre-translation, never from the message entry: a
// system key must be seen before the window's default processing eats it.
const TInputRoute kSysKeyRoute = {
    WM_SYSKEYDOWN, EventSysKey, Payload::SysKey, Special::None, {S::FindFocus, S::Send}};

// The rows below are run by the handlers of their messages, which do more
// than route an event.
// clang-format off
// A closing window ends what the mouse was doing: the hover control gets its
// leave and the pressed control its button-up, both still recorded as such.
const TInputRoute kCloseRoutes[] = {
    {WM_CLOSE,         EventMouseLeave,   Payload::Cancel,      Special::None, {S::FindHover, S::Send}},
    {WM_CLOSE,         EventButtonUp,     Payload::Cancel,      Special::None, {S::FindPressed, S::Send}},
};
const TInputRoute kSizeRoute =
    {WM_SIZE,          EventWindowSize,   Payload::None,        Special::None, {S::FindFocus, S::Send}};
const TInputRoute kSetFocusRoute =
    {WM_SETFOCUS,      EventSetFocus,     Payload::Params,      Special::None, {S::FindFocus, S::Send}};
// The addressee is found by the handler: the control under the cursor, if it
// asked for the event.
const TInputRoute kSetCursorRoute =
    {WM_SETCURSOR,     EventSetCursor,    Payload::Pointer,     Special::None, {S::Send}};
// clang-format on

const TInputRoute* FindInputRoute(UINT message) {
    for (const TInputRoute& route : kInputRoutes) {
        if (route.message == message)
            return &route;
    }
    return nullptr;
}

WORD LiveKeyState() {
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

void FillPayload(TEventUI& event, Payload payload, POINT pt, WPARAM wParam, LPARAM lParam) {
    switch (payload) {
    case Payload::None:
        return;
    case Payload::Params:
        event.wParam = wParam;
        event.lParam = lParam;
        return;
    case Payload::Move:
        event.wParam = wParam;
        event.lParam = lParam;
        break;
    case Payload::Button:
        event.wParam = wParam;
        event.lParam = lParam;
        event.keyState = LOWORD(wParam);
        break;
    case Payload::Pointer:
        event.wParam = wParam;
        event.lParam = lParam;
        event.keyState = LiveKeyState();
        break;
    case Payload::Wheel:
        event.wParam = GET_WHEEL_DELTA_WPARAM(wParam) < 0 ? 1 : 0;
        event.lParam = lParam;
        event.keyState = LiveKeyState();
        break;
    case Payload::ContextMenu:
        event.wParam = wParam;
        event.lParam = reinterpret_cast<LPARAM>(event.sender);
        event.keyState = LOWORD(wParam);
        break;
    case Payload::Key:
        event.keyChar = static_cast<WORD>(wParam);
        event.wParam = wParam;
        event.lParam = lParam;
        event.keyState = LiveKeyState();
        break;
    case Payload::SysKey:
        event.keyChar = static_cast<WORD>(wParam);
        event.keyState = LiveKeyState();
        break;
    case Payload::Cancel:
        event.keyState = LiveKeyState();
        break;
    }
    event.mousePos = pt;
}

struct TFindShortcut {
    const CPaintManagerUI* manager;
    wchar_t ch;
    bool pickNext;
};

// The first shown non-label control from the one whose shortcut matches: a
// label names the control that follows it. Controls a person cannot see (on
// a hidden page, folded away below the window) neither match nor are picked.
CControlUI* CALLBACK FindControlFromShortcut(CControlUI* control, LPVOID data) {
    TFindShortcut* find = static_cast<TFindShortcut*>(data);
    if (!find->manager->IsControlShown(control))
        return nullptr;
    if (control->GetShortcut() != 0 && towupper(find->ch) == towupper(control->GetShortcut()))
        find->pickNext = true;
    if (control->PassesShortcutOn())
        return nullptr;
    return find->pickNext ? control : nullptr;
}

} // namespace

WORD CPaintManagerUI::CurrentKeyState() {
    return LiveKeyState();
}

TEventUI CPaintManagerUI::MakeEvent(int type, CControlUI* sender) {
    TEventUI event;
    event.type = type;
    event.sender = sender;
    event.timestamp = GetTickCount();
    return event;
}

void CPaintManagerUI::SendRouted(const TInputRoute& route, CControlUI* target, POINT pt,
                                 WPARAM wParam, LPARAM lParam) {
    TEventUI event = MakeEvent(route.eventType, target);
    FillPayload(event, route.payload, pt, wParam, lParam);
    target->Event(event);
}

bool CPaintManagerUI::RouteInput(const TInputRoute& route, WPARAM wParam, LPARAM lParam,
                                 LRESULT& lRes) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (InScreenCoordinates(route.payload))
        ScreenToClient(m_hWndPaint, &pt);
    else if (AtLastPosition(route.payload))
        pt = m_ptLastMousePos;

    switch (route.special) {
    case Special::MouseMove:
        return RouteMouseMove(route, pt, wParam, lParam);
    case Special::MouseHover:
        return RouteMouseHover(route, pt, wParam, lParam, lRes);
    case Special::MouseLeave:
        return RouteMouseLeave();
    case Special::None:
        break;
    }

    CControlUI* target = nullptr;
    for (const Step step : route.steps) {
        switch (step) {
        case Step::End:
            return false;
        case Step::FocusWindow:
            ::SetFocus(m_hWndPaint);
            break;
        case Step::HideCues:
            ShowFocusCues(false);
            break;
        case Step::Capture:
            SetCapture();
            break;
        case Step::Release:
            ReleaseCapture();
            break;
        case Step::StorePoint:
            m_ptLastMousePos = pt;
            break;
        case Step::FindUnderMouse:
            target = FindControl(pt);
            if (target == nullptr || target->GetManager() != this)
                return false;
            break;
        case Step::FindHover:
            target = m_pEventHover;
            if (target == nullptr)
                return false;
            break;
        case Step::FindPressed:
            target = m_pEventClick;
            if (target == nullptr)
                return false;
            break;
        case Step::FindFocus:
            target = m_pFocus;
            if (target == nullptr)
                return false;
            break;
        case Step::FindKeyControl:
            target = m_pEventKey;
            if (target == nullptr)
                return false;
            break;
        case Step::Press:
            m_pEventClick = target;
            break;
        case Step::Unpress:
            m_pEventClick = nullptr;
            break;
        case Step::FocusControl:
            target->SetFocus();
            break;
        case Step::MarkKey:
            m_pEventKey = target;
            break;
        case Step::ClearKey:
            m_pEventKey = nullptr;
            break;
        case Step::Send:
            SendRouted(route, target, pt, wParam, lParam);
            break;
        case Step::FollowScroll:
            SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0,
                         MAKELPARAM(m_ptLastMousePos.x, m_ptLastMousePos.y));
            break;
        }
    }
    return false;
}

// Hover changes first (leave, then enter), then the move itself, so a control
// always sees its enter before its first move.
bool CPaintManagerUI::RouteMouseMove(const TInputRoute& route, POINT pt, WPARAM wParam,
                                     LPARAM lParam) {
    if (!m_bMouseTracking) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = m_hWndPaint;
        track.dwHoverTime =
            m_hwndTooltip != nullptr
                ? static_cast<DWORD>(SendMessageW(m_hwndTooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0))
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
    TEventUI event = MakeEvent(route.eventType, nullptr);
    FillPayload(event, route.payload, pt, wParam, lParam);
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
        event.type = route.eventType;
        event.sender = target;
        target->Event(event);
    }
    return false;
}

// The hover event goes to the hover control, but the tooltip belongs to the
// control under the point, which may differ while a button is held.
bool CPaintManagerUI::RouteMouseHover(const TInputRoute& route, POINT pt, WPARAM wParam,
                                      LPARAM lParam, LRESULT& lRes) {
    m_bMouseTracking = false;
    CControlUI* control = FindControl(pt);
    if (control == nullptr || control->GetManager() != this)
        return false;
    if (m_pEventHover != nullptr)
        SendRouted(route, m_pEventHover, pt, wParam, lParam);
    ShowToolTip(control);
    lRes = 0;
    return true;
}

// Leaving the client area ends tracking. A leave that only means the mouse
// went onto something of ours (a child window, the frame of an inactive
// window) is turned into a move at the cursor; otherwise a move to a point
// that finds no control, so the hover control gets its leave.
bool CPaintManagerUI::RouteMouseLeave() {
    HideToolTip();
    if (m_bMouseTracking) {
        POINT cursor;
        GetCursorPos(&cursor);
        RECT window;
        GetWindowRect(m_hWndPaint, &window);
        LPARAM move = static_cast<LPARAM>(-1);
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

// =============================================================================
// Message entry
// =============================================================================

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (m_hWndPaint == nullptr)
        return false;
    if (RunMessageFilters(uMsg, wParam, lParam, lRes))
        return true;
    if (const TInputRoute* route = FindInputRoute(uMsg))
        return RouteInput(*route, wParam, lParam, lRes);

    switch (uMsg) {
    case kDrainMessage:
        DrainAsyncNotify();
        return false;
    case kAccessibleActionMessage:
        RunAccessibleAction(lParam);
        return false;
    case WM_GETOBJECT:
        return OnGetObject(wParam, lParam, lRes);
    case WM_UPDATEUISTATE:
        OnUpdateUIState(wParam);
        return false;
    case WM_CLOSE:
        OnClose();
        return false;
    case WM_DPICHANGED:
        lRes = 0;
        return OnDpiChanged(wParam, lParam);
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
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return false;
    case WM_SIZE:
        OnSize();
        lRes = 0;
        return true;
    case WM_TIMER:
        OnTimer(wParam, lParam);
        return false;
    case WM_SETFOCUS:
        OnWindowFocus(wParam, lParam);
        return false;
    case WM_SETCURSOR:
        return OnSetCursor(wParam, lParam, lRes);
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return ReflectToChild(uMsg, wParam, lParam, lRes);
    default:
        return false;
    }
}

bool CPaintManagerUI::RunMessageFilters(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    for (int i = 0; i < m_aMessageFilters.GetSize(); ++i) {
        bool handled = false;
        const LRESULT result = static_cast<IMessageFilterUI*>(m_aMessageFilters[i])
                                   ->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = result;
            return true;
        }
    }
    return false;
}

// Someone else (the system, a parent) changed the cues: follow it. The
// default procedure still stores the state.
void CPaintManagerUI::OnUpdateUIState(WPARAM wParam) {
    if ((HIWORD(wParam) & UISF_HIDEFOCUS) == 0 ||
        (LOWORD(wParam) != UIS_SET && LOWORD(wParam) != UIS_CLEAR))
        return;
    const bool show = LOWORD(wParam) == UIS_CLEAR;
    if (show != m_bFocusCuesShown) {
        m_bFocusCuesShown = show;
        InvalidateFocusRing();
    }
}

void CPaintManagerUI::OnClose() {
    LRESULT unused = 0;
    for (const TInputRoute& route : kCloseRoutes)
        RouteInput(route, 0, 0, unused);
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
}

// The skin's sizes are written at 100 %; the system wants pixels.
void CPaintManagerUI::OnGetMinMaxInfo(MINMAXINFO* info) {
    if (info == nullptr)
        return;
    const CDPI& dpi = *m_resources.GetDPIObj();
    if (m_szMinWindow.cx > 0)
        info->ptMinTrackSize.x = dpi.Scale(m_szMinWindow.cx);
    if (m_szMinWindow.cy > 0)
        info->ptMinTrackSize.y = dpi.Scale(m_szMinWindow.cy);
    if (m_szMaxWindow.cx > 0) {
        info->ptMaxTrackSize.x = dpi.Scale(m_szMaxWindow.cx);
        info->ptMaxSize.x = info->ptMaxTrackSize.x;
    }
    if (m_szMaxWindow.cy > 0) {
        info->ptMaxTrackSize.y = dpi.Scale(m_szMaxWindow.cy);
        info->ptMaxSize.y = info->ptMaxTrackSize.y;
    }
}

void CPaintManagerUI::OnSize() {
    LRESULT unused = 0;
    RouteInput(kSizeRoute, 0, 0, unused);
    if (m_pRoot != nullptr)
        m_pRoot->NeedUpdate();
}

void CPaintManagerUI::OnWindowFocus(WPARAM wParam, LPARAM lParam) {
    LRESULT unused = 0;
    RouteInput(kSetFocusRoute, wParam, lParam, unused);
    // Back from another window (a message box, the folder dialog): a screen
    // reader says where the keys go again.
    if (m_pFocus != nullptr)
        NotifyAccessibleChange(m_pFocus, EVENT_OBJECT_FOCUS);
}

bool CPaintManagerUI::OnSetCursor(WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
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
    SendRouted(kSetCursorRoute, control, pt, wParam, lParam);
    lRes = TRUE;
    return true;
}

// Notifications and colour requests of native child windows go back to the
// child that sent them, as reflected messages.
bool CPaintManagerUI::ReflectToChild(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (uMsg == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header == nullptr)
            return false;
        lRes = SendMessageW(header->hwndFrom, kReflectBase + WM_NOTIFY, wParam, lParam);
        return true;
    }
    if (lParam == 0)
        return false;
    lRes = SendMessageW(reinterpret_cast<HWND>(lParam), kReflectBase + uMsg, wParam, lParam);
    return lRes != 0;
}

// =============================================================================
// Pre-translation
// =============================================================================

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    for (int i = 0; i < m_aPreMessageFilters.GetSize(); ++i) {
        bool handled = false;
        static_cast<IMessageFilterUI*>(m_aPreMessageFilters[i])
            ->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled)
            return true;
    }
    switch (uMsg) {
    case WM_KEYDOWN:
        // Any key shows where the keys go, as the system's dialogs do.
        ShowFocusCues(true);
        if (wParam != VK_TAB)
            return false;
        SetNextTabControl(GetKeyState(VK_SHIFT) >= 0);
        return true;
    case WM_SYSCHAR: {
        if (m_pRoot == nullptr)
            return false;
        TFindShortcut find = {this, static_cast<wchar_t>(wParam), false};
        CControlUI* control = m_pRoot->FindControl(
            FindControlFromShortcut, &find, FindVisible | FindEnabled | FindMeFirst | FindTopFirst);
        if (control == nullptr)
            return false;
        control->SetFocus();
        control->Activate();
        return true;
    }
    case WM_SYSKEYDOWN:
        ShowFocusCues(true);
        return RouteInput(kSysKeyRoute, wParam, lParam, lRes);
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
