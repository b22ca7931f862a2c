// Control timers: each runs on a window timer of the manager's window, whose
// id comes from the manager's counter, and arrives as EventTimer.
#include "skinui/window/PaintManagerUI.h"

#include "skinui/control/ControlUI.h"

namespace SkinUI {

namespace {

// Window timer ids cycle through 0..239; 6553 is kept for the caret.
const UINT kTimerIdCycle = 240;
const UINT kCaretTimerId = 0x1999;

} // namespace

struct CPaintManagerUI::TTimerInfo {
    CControlUI* sender;
    UINT localId; // the control's own id
    HWND hWnd;
    UINT winTimer; // the window timer id actually used
    bool killed;   // stopped; kept so that a restart reuses winTimer
};

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT timerID, UINT elapse) {
    if (control == nullptr || m_hWndPaint == nullptr)
        return false;
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TTimerInfo* timer = static_cast<TTimerInfo*>(m_aTimers[i]);
        if (timer->sender != control || timer->hWnd != m_hWndPaint || timer->localId != timerID)
            continue;
        if (!timer->killed)
            return false;
        if (::SetTimer(m_hWndPaint, timer->winTimer, elapse, nullptr) == 0)
            return false;
        timer->killed = false;
        return true;
    }

    // Take the next id of the cycle that no record holds: setting a window
    // timer whose id is in use would silently replace that other timer.
    UINT winTimer = 0;
    bool free = false;
    for (UINT tries = 0; tries < kTimerIdCycle && !free; ++tries) {
        m_uTimerID = (m_uTimerID + 1) % kTimerIdCycle;
        winTimer = m_uTimerID;
        free = true;
        for (int i = 0; i < m_aTimers.GetSize() && free; ++i) {
            const TTimerInfo* timer = static_cast<TTimerInfo*>(m_aTimers[i]);
            free = !(timer->hWnd == m_hWndPaint && timer->winTimer == winTimer);
        }
    }
    if (!free || ::SetTimer(m_hWndPaint, winTimer, elapse, nullptr) == 0)
        return false;
    TTimerInfo* timer = new TTimerInfo{control, timerID, m_hWndPaint, winTimer, false};
    if (!m_aTimers.Add(timer)) {
        ::KillTimer(m_hWndPaint, winTimer);
        delete timer;
        return false;
    }
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT timerID) {
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TTimerInfo* timer = static_cast<TTimerInfo*>(m_aTimers[i]);
        if (timer->sender != control || timer->hWnd != m_hWndPaint || timer->localId != timerID ||
            timer->killed)
            continue;
        if (IsWindow(m_hWndPaint))
            ::KillTimer(timer->hWnd, timer->winTimer);
        timer->killed = true;
        return true;
    }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* control) {
    for (int i = m_aTimers.GetSize() - 1; i >= 0; --i) {
        TTimerInfo* timer = static_cast<TTimerInfo*>(m_aTimers[i]);
        if (timer->sender != control || timer->hWnd != m_hWndPaint)
            continue;
        if (!timer->killed && IsWindow(m_hWndPaint))
            ::KillTimer(timer->hWnd, timer->winTimer);
        delete timer;
        m_aTimers.Remove(i);
    }
}

void CPaintManagerUI::RemoveAllTimers() {
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TTimerInfo* timer = static_cast<TTimerInfo*>(m_aTimers[i]);
        if (!timer->killed && timer->hWnd != nullptr && IsWindow(timer->hWnd))
            ::KillTimer(timer->hWnd, timer->winTimer);
        delete timer;
    }
    m_aTimers.Empty();
}

void CPaintManagerUI::OnTimer(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    // This build draws no caret, so its blink timer has nothing to toggle.
    if (id == kCaretTimerId)
        return;
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TTimerInfo* timer = static_cast<TTimerInfo*>(m_aTimers[i]);
        if (timer->hWnd != m_hWndPaint || timer->winTimer != id || timer->killed)
            continue;
        TEventUI event;
        event.type = EventTimer;
        event.sender = timer->sender;
        event.timestamp = GetTickCount();
        event.mousePos = m_ptLastMousePos;
        event.keyState = CurrentKeyState();
        event.wParam = timer->localId;
        event.lParam = lParam;
        timer->sender->Event(event);
        return;
    }
}

} // namespace SkinUI
