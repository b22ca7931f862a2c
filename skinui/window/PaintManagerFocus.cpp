// Focus, TAB order and mouse capture of the paint manager.
#include "skinui/window/PaintManagerUI.h"

#include "skinui/control/ControlUI.h"

namespace SkinUI {

namespace {

// The state of one TAB search through the tree, in search order (containers
// before their children).
struct TFindTabInfo {
    CControlUI* focus;    // where the search starts; null = from the first tab stop
    CControlUI* lastStop; // the last tab stop seen so far
    bool forward;
    bool nextIsIt; // the focus has been passed: the next tab stop wins
};

CControlUI* CALLBACK FindControlFromTab(CControlUI* control, LPVOID data) {
    TFindTabInfo* info = static_cast<TFindTabInfo*>(data);
    if (control == info->focus) {
        if (info->forward) {
            info->nextIsIt = true;
            return nullptr;
        }
        // Backward: the tab stop before the focus, if any; otherwise the
        // search goes on and lastStop ends as the last tab stop of the tree.
        return info->lastStop;
    }
    if ((control->GetControlFlags() & ControlFlagTabStop) == 0)
        return nullptr;
    info->lastStop = control;
    if (info->nextIsIt || info->focus == nullptr)
        return control;
    return nullptr;
}

const UINT kTabSearchFlags = FindVisible | FindEnabled | FindMeFirst;

} // namespace

void CPaintManagerUI::SetFocus(CControlUI* control) {
    if (::GetFocus() != m_hWndPaint && control != m_pFocus)
        ::SetFocus(m_hWndPaint);
    if (control == m_pFocus)
        return;
    if (m_pFocus != nullptr) {
        TEventUI event = MakeEvent(EventKillFocus, control);
        m_pFocus->Event(event);
        SendNotify(m_pFocus, NotifyKillFocus);
        m_pFocus = nullptr;
    }
    if (control == nullptr)
        return;
    if (control->GetManager() == this && control->IsVisible() && control->IsEnabled()) {
        m_pFocus = control;
        TEventUI event = MakeEvent(EventSetFocus, control);
        control->Event(event);
        SendNotify(control, NotifySetFocus);
    }
}

void CPaintManagerUI::SetFocusNeeded(CControlUI* control) {
    ::SetFocus(m_hWndPaint);
    if (control == nullptr)
        return;
    if (m_pFocus != nullptr) {
        TEventUI event = MakeEvent(EventKillFocus, control);
        m_pFocus->Event(event);
        SendNotify(m_pFocus, NotifyKillFocus);
        m_pFocus = nullptr;
    }
    // The tab stop before the control takes the focus silently, so that the
    // forward move after the next layout lands on the control itself.
    TFindTabInfo info = {control, nullptr, false, false};
    if (m_pRoot != nullptr)
        m_pFocus = m_pRoot->FindControl(FindControlFromTab, &info, kTabSearchFlags);
    m_bFocusNeeded = true;
    if (m_pRoot != nullptr)
        m_pRoot->NeedUpdate();
}

bool CPaintManagerUI::SetNextTabControl(bool forward) {
    // The tree is about to be laid out again: move after the layout, when
    // visibility and positions are settled.
    if (m_bUpdateNeeded && forward) {
        m_bFocusNeeded = true;
        if (m_hWndPaint != nullptr)
            InvalidateRect(m_hWndPaint, nullptr, FALSE);
        return true;
    }
    if (m_pRoot == nullptr) {
        m_bFocusNeeded = false;
        return false;
    }
    TFindTabInfo info = {m_pFocus, nullptr, forward, false};
    CControlUI* next = m_pRoot->FindControl(FindControlFromTab, &info, kTabSearchFlags);
    if (next == nullptr) {
        if (forward) {
            TFindTabInfo wrap = {nullptr, nullptr, true, false};
            next = m_pRoot->FindControl(FindControlFromTab, &wrap, kTabSearchFlags);
        } else {
            next = info.lastStop;
        }
    }
    if (next != nullptr)
        SetFocus(next);
    m_bFocusNeeded = false;
    return true;
}

void CPaintManagerUI::SetCapture() {
    ::SetCapture(m_hWndPaint);
    m_bMouseCapture = true;
}

void CPaintManagerUI::ReleaseCapture() {
    ::ReleaseCapture();
    m_bMouseCapture = false;
}

} // namespace SkinUI
