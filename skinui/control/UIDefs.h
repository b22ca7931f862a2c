// The records and numbers that controls and the paint manager exchange: events
// addressed to one control, notifications for the application, the event
// types, control flags, tree-search flags, notification type strings, and the
// interfaces of notification receivers, message filters and accelerator
// translators.
#pragma once

#include <windows.h>

#include "skinui/core/SkinString.h"

namespace SkinUI {

class CControlUI;

// =============================================================================
// Event types
// =============================================================================
// Controls test ranges of these values: every mouse event lies strictly
// between EventMouseBegin and EventMouseEnd, which are never raised.
enum EventTypeUI {
    EventKeyDown = 3,
    EventKeyUp = 4,
    EventChar = 5,
    EventSysKey = 6,
    EventMouseBegin = 8,
    EventMouseMove = 9,
    EventMouseLeave = 10,
    EventMouseEnter = 11,
    EventMouseHover = 12,
    EventButtonDown = 13,
    EventButtonUp = 14,
    EventRButtonDown = 15,
    EventRButtonUp = 16,
    EventMButtonDown = 17,
    EventMButtonUp = 18,
    EventDblClick = 19,
    EventContextMenu = 20,
    EventScrollWheel = 21,
    EventMouseEnd = 22,
    EventKillFocus = 23,
    EventSetFocus = 24,
    EventWindowSize = 25,
    EventSetCursor = 26,
    EventTimer = 27,
};

inline bool IsMouseEvent(int type) {
    return type > EventMouseBegin && type < EventMouseEnd;
}

// Bits of TEventUI::keyState. The first four have the meaning of the system's
// own mouse-message key flags (MK_LBUTTON ...), so mouse events may carry those.
enum KeyStateUI : WORD {
    KeyStateLButton = 0x01,
    KeyStateRButton = 0x02,
    KeyStateShift = 0x04,
    KeyStateControl = 0x08,
    KeyStateAlt = 0x20,
};

// =============================================================================
// Control flags (CControlUI::GetControlFlags)
// =============================================================================
constexpr UINT ControlFlagTabStop = 0x1;    // takes part in the TAB order
constexpr UINT ControlFlagSetCursor = 0x2;  // receives EventSetCursor
constexpr UINT ControlFlagWantReturn = 0x4; // wants the Return key

// =============================================================================
// Tree-search flags (CControlUI::FindControl)
// =============================================================================
constexpr UINT FindVisible = 0x1;
constexpr UINT FindEnabled = 0x2;
// The search data is a POINT*; only controls whose rectangle holds it match.
constexpr UINT FindHitTest = 0x4;
// Containers that the callback accepts are not searched further.
constexpr UINT FindUpdateTest = 0x8;
// Children are visited from the last to the first: the one painted on top first.
constexpr UINT FindTopFirst = 0x10;
// A container is offered to the callback before its children.
constexpr UINT FindMeFirst = 0x80000000;

// The callback of a tree search: non-null ends the search with that control.
typedef CControlUI*(CALLBACK* FINDCONTROLPROC)(CControlUI* control, LPVOID data);

// =============================================================================
// Notification types (TNotifyUI::type); receivers compare them case-sensitively.
// =============================================================================
constexpr const wchar_t* NotifyWindowInit = L"windowinit";
constexpr const wchar_t* NotifyWindowSize = L"windowsize";
constexpr const wchar_t* NotifySetFocus = L"setfocus";
constexpr const wchar_t* NotifyKillFocus = L"killfocus";
constexpr const wchar_t* NotifyTimer = L"timer";
constexpr const wchar_t* NotifyMenu = L"menu";
constexpr const wchar_t* NotifyClick = L"click";
constexpr const wchar_t* NotifyLeftButtonDown = L"leftbuttondown";
constexpr const wchar_t* NotifyLeftButtonUp = L"leftbuttonup";
constexpr const wchar_t* NotifySelectChanged = L"selectchanged";
constexpr const wchar_t* NotifyTextChanged = L"textchanged";
constexpr const wchar_t* NotifyReturn = L"return";
constexpr const wchar_t* NotifyTabSelect = L"tabselect";

// =============================================================================
// Records
// =============================================================================

// One event for one control. Built on the stack, passed by reference, never
// stored; every field not set by the raiser is zero.
struct TEventUI {
    int type = 0;
    // The control the event is addressed to; for EventKillFocus the control
    // that receives the focus (may be null).
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT mousePos = {0, 0};
    WORD keyChar = 0;
    WORD keyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// One notification for the application.
struct TNotifyUI {
    CSkinString type;
    // Filled only while virtual-window routing is on.
    CSkinString virtualWnd;
    // Null when the control was deleted while the notification was queued.
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT mousePos = {0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// =============================================================================
// Interfaces
// =============================================================================

class INotifyUI {
public:
    virtual void Notify(TNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};

// A message filter sets handled to consume the message; the return value is
// then the message's result.
class IMessageFilterUI {
public:
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

// Answers 0 when it translated the message (which is then not dispatched).
class ITranslateAccelerator {
public:
    virtual LRESULT TranslateAcceleratorW(MSG* pMsg) = 0;

protected:
    ~ITranslateAccelerator() = default;
};

} // namespace SkinUI
