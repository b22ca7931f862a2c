// Focus, TAB order and mouse capture of the paint manager, and the focus ring
// with the keyboard cues that decide when it shows.
#include "skinui/window/PaintManagerUI.h"

#include "skinui/control/ControlUI.h"
#include "skinui/render/DPI.h"
#include "skinui/core/Handles.h"

namespace SkinUI {

namespace {

// The state of one TAB search through the tree, in search order (containers
// before their children).
struct TFindTabInfo {
    const CPaintManagerUI* manager;
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
    // A control folded away below the window's edge, or scrolled out of its
    // container, would take the keys of a person who cannot see it.
    if (!info->manager->IsControlShown(control))
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
        InvalidateFocusRing();
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
        InvalidateFocusRing();
        if (m_pFocus == control && ::GetFocus() == m_hWndPaint)
            NotifyAccessibleChange(control, EVENT_OBJECT_FOCUS);
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
    TFindTabInfo info = {this, control, nullptr, false, false};
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
    TFindTabInfo info = {this, m_pFocus, nullptr, forward, false};
    CControlUI* next = m_pRoot->FindControl(FindControlFromTab, &info, kTabSearchFlags);
    if (next == nullptr) {
        if (forward) {
            TFindTabInfo wrap = {this, nullptr, nullptr, true, false};
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

bool CPaintManagerUI::IsControlShown(CControlUI* control) const {
    if (control == nullptr || !control->IsVisible() || m_hWndPaint == nullptr)
        return false;
    RECT shown = {0, 0, 0, 0};
    GetClientRect(m_hWndPaint, &shown);
    const RECT& own = control->GetPos();
    if (!IntersectRect(&shown, &shown, &own))
        return false;
    // Containers clip their children, floating ones included.
    for (CControlUI* parent = control->GetParent(); parent != nullptr;
         parent = parent->GetParent()) {
        if (!parent->IsVisible())
            return false;
        const RECT& clip = parent->GetPos();
        if (!IntersectRect(&shown, &shown, &clip))
            return false;
    }
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

// =============================================================================
// Focus ring and keyboard cues
// =============================================================================

void CPaintManagerUI::ShowFocusCues(bool show) {
    const bool changed = show != m_bFocusCuesShown;
    m_bFocusCuesShown = show;
    if (changed)
        InvalidateFocusRing();
    if (m_hWndPaint == nullptr)
        return;
    // The system keeps its own copy of the window's cue state (answered to
    // WM_QUERYUISTATE, passed on to child windows such as the edit box);
    // asking through WM_CHANGEUISTATE keeps both in step, and its
    // WM_UPDATEUISTATE comes back here with the same answer.
    const LRESULT state = SendMessageW(m_hWndPaint, WM_QUERYUISTATE, 0, 0);
    const bool systemShows = (state & UISF_HIDEFOCUS) == 0;
    if (systemShows != show)
        SendMessageW(m_hWndPaint, WM_CHANGEUISTATE,
                     MAKEWPARAM(show ? UIS_CLEAR : UIS_SET, UISF_HIDEFOCUS), 0);
}

void CPaintManagerUI::SetFocusRingColor(DWORD argb) {
    m_dwFocusRingColor = argb;
    InvalidateFocusRing();
}

void CPaintManagerUI::SetFocusRingInset(int inset) {
    InvalidateFocusRing();
    m_nFocusRingInset = inset;
    InvalidateFocusRing();
}

RECT CPaintManagerUI::FocusRingRect(CControlUI* control) {
    RECT rc = control->GetPos();
    const RECT shape = control->GetFocusInset();
    rc.left += shape.left;
    rc.top += shape.top;
    rc.right -= shape.right;
    rc.bottom -= shape.bottom;
    const int inset = GetDPIObj()->Scale(m_nFocusRingInset);
    InflateRect(&rc, -inset, -inset);
    return rc;
}

void CPaintManagerUI::InvalidateFocusRing() {
    if (m_pFocus == nullptr || m_hWndPaint == nullptr)
        return;
    RECT rc = FocusRingRect(m_pFocus);
    // The control repaints its own inside; only the band of the ring, which
    // may lie outside the control, needs the repaint here.
    Invalidate(rc);
}

void CPaintManagerUI::PaintFocusRing(HDC hDC) {
    if (!m_bFocusCuesShown || m_pFocus == nullptr || (m_dwFocusRingColor >> 24) == 0 ||
        !IsControlShown(m_pFocus))
        return;
    const RECT rc = FocusRingRect(m_pFocus);
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    // Two pixels (scaled): a one-pixel line is lost on the artwork's edges.
    // Four solid bands rather than a pen, so that every renderer puts the
    // ring on exactly the same pixels.
    int width = GetDPIObj()->Scale(2);
    if (width < 1)
        width = 1;
    CGdiObject<HBRUSH> brush(
        CreateSolidBrush(RGB((m_dwFocusRingColor >> 16) & 0xFF, (m_dwFocusRingColor >> 8) & 0xFF,
                             m_dwFocusRingColor & 0xFF)));
    if (!brush)
        return;
    // A rounded body gets a ring of its own shape, around the body: the
    // region between two rounded rectangles, which GDI fills on the same
    // pixels everywhere.
    const int radius = m_pFocus->GetFocusRadius();
    if (radius > 0) {
        const int outer = radius - GetDPIObj()->Scale(m_nFocusRingInset);
        const int inner = outer > width ? outer - width : 1;
        // A region leaves out its right and bottom edges, so those are one
        // pixel further out than the rectangle's.
        CGdiObject<HRGN> ring(
            CreateRoundRectRgn(rc.left, rc.top, rc.right + 1, rc.bottom + 1, 2 * outer, 2 * outer));
        CGdiObject<HRGN> hole(CreateRoundRectRgn(rc.left + width, rc.top + width,
                                                 rc.right - width + 1, rc.bottom - width + 1,
                                                 2 * inner, 2 * inner));
        if (!ring || !hole || CombineRgn(ring.Get(), ring.Get(), hole.Get(), RGN_DIFF) == ERROR)
            return;
        FillRgn(hDC, ring.Get(), brush.Get());
        return;
    }
    const RECT bands[] = {
        {rc.left, rc.top, rc.right, rc.top + width},
        {rc.left, rc.bottom - width, rc.right, rc.bottom},
        {rc.left, rc.top, rc.left + width, rc.bottom},
        {rc.right - width, rc.top, rc.right, rc.bottom},
    };
    for (const RECT& band : bands)
        FillRect(hDC, &band, brush.Get());
}

} // namespace SkinUI
