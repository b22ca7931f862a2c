// The window side of the paint manager: binding to a window, the control
// tree and its delayed clean-up, window geometry, notifications, filters,
// lookup by name, point and class, and option groups.
#include "skinui/window/PaintManagerUI.h"
#include "skinui/window/PrivateMessages.h"

#include "skinui/control/ControlUI.h"

#include <cwchar>

namespace SkinUI {

CStdPtrArrayOf<CPaintManagerUI> CPaintManagerUI::m_aPreMessages;
CStdPtrArray CPaintManagerUI::m_aPlugins;

namespace {

CControlUI* CALLBACK FindControlFromNameHash(CControlUI* control, LPVOID data) {
    CStdStringPtrMap* names = static_cast<CStdStringPtrMap*>(data);
    const CSkinString name = control->GetName();
    if (!name.IsEmpty())
        names->Set(name, control);
    return nullptr;
}

CControlUI* CALLBACK FindControlFromPoint(CControlUI* control, LPVOID data) {
    return PtInRect(&control->GetPos(), *static_cast<const POINT*>(data)) ? control : nullptr;
}

CControlUI* CALLBACK FindControlFromName(CControlUI* control, LPVOID data) {
    const CSkinString name = control->GetName();
    if (name.IsEmpty())
        return nullptr;
    return _wcsicmp(name, static_cast<const wchar_t*>(data)) == 0 ? control : nullptr;
}

struct TClassSearch {
    const wchar_t* className;
    CStdPtrArray* found;
    int wanted; // stop after this many matches; 0 = collect all
};

CControlUI* CALLBACK FindControlsFromClass(CControlUI* control, LPVOID data) {
    TClassSearch* search = static_cast<TClassSearch*>(data);
    if (wcscmp(search->className, L"*") != 0 && wcscmp(control->GetClass(), search->className) != 0)
        return nullptr;
    search->found->Add(control);
    if (search->wanted > 0 && search->found->GetSize() >= search->wanted)
        return control;
    return nullptr;
}

bool RemoveFirst(CStdPtrArray& list, const void* item) {
    const int index = list.Find(item);
    return index >= 0 && list.Remove(index);
}

} // namespace

// =============================================================================
// Window and control tree
// =============================================================================

void CPaintManagerUI::Init(HWND hWnd, const wchar_t* name) {
    m_mNameHash.Resize(83);
    m_resources.RemoveAllFonts();
    m_resources.RemoveAllImages();
    m_resources.RemoveAllDrawInfos();
    m_resources.RemoveAllDefaultAttributeList();
    m_resources.RemoveAllStyle();
    RemoveAllOptionGroups();
    RemoveAllTimers();
    m_sName = name != nullptr ? name : L"";
    if (m_hWndPaint != hWnd) {
        m_resources.SetPaintDC(nullptr);
        m_paintDC.Reset();
        m_hWndPaint = hWnd;
        // GetDC(null) would be the screen's DC; a manager without a window
        // has none.
        if (hWnd != nullptr)
            m_resources.SetPaintDC(m_paintDC.Acquire(hWnd));
        if (m_aPreMessages.Find(this) < 0)
            m_aPreMessages.Add(this);
    }
    // The tables were just emptied, so the scale only has to be noted; the
    // skin built next reads it.
    if (hWnd != nullptr)
        m_resources.GetDPIObj()->SetDPI(CDPI::GetWindowDPI(hWnd));
}

SIZE CPaintManagerUI::GetClientSize() const {
    RECT client = {0, 0, 0, 0};
    if (m_hWndPaint != nullptr)
        GetClientRect(m_hWndPaint, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

bool CPaintManagerUI::AttachDialog(CControlUI* control) {
    SetFocus(nullptr);
    m_pEventKey = nullptr;
    m_pEventHover = nullptr;
    m_pEventClick = nullptr;
    if (m_pRoot != nullptr) {
        m_aPostPaintControls.Empty();
        AddDelayedCleanup(m_pRoot);
    }
    m_pRoot = control;
    m_bUpdateNeeded = true;
    m_bFirstLayout = true;
    m_bFocusNeeded = true;
    // The new tree is laid out and painted at the next WM_PAINT; a window that
    // is already on screen must be told that one is due.
    if (m_hWndPaint != nullptr)
        InvalidateRect(m_hWndPaint, nullptr, FALSE);
    return InitControls(control, nullptr);
}

bool CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
    if (control == nullptr)
        return false;
    control->SetManager(this, parent != nullptr ? parent : control->GetParent(), true);
    control->FindControl(FindControlFromNameHash, &m_mNameHash, 0);
    return true;
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
    if (control == nullptr)
        return;
    if (control == m_pEventKey)
        m_pEventKey = nullptr;
    if (control == m_pEventHover)
        m_pEventHover = nullptr;
    if (control == m_pEventClick)
        m_pEventClick = nullptr;
    if (control == m_pFocus)
        m_pFocus = nullptr;
    KillTimer(control);
    // A deleted control must not be painted after the tree.
    RemovePostPaint(control);
    const CSkinString name = control->GetName();
    if (!name.IsEmpty() && m_mNameHash.Find(name, false) == control)
        m_mNameHash.Remove(name);
    for (int i = 0; i < m_aAsyncNotify.GetSize(); ++i) {
        TNotifyUI* msg = static_cast<TNotifyUI*>(m_aAsyncNotify[i]);
        if (msg->sender == control)
            msg->sender = nullptr;
    }
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* control) {
    if (control == nullptr)
        return;
    control->SetManager(this, nullptr, false);
    m_aDelayedCleanup.Add(control);
    if (m_hWndPaint != nullptr)
        PostMessageW(m_hWndPaint, kDrainMessage, 0, 0);
}

CStdPtrArray* CPaintManagerUI::GetPaintManagers() {
    return &m_aPreMessages;
}

CStdPtrArray* CPaintManagerUI::GetPlugins() {
    return &m_aPlugins;
}

void CPaintManagerUI::ShutdownWindowSide() {
    CStdPtrArray delayed = m_aDelayedCleanup;
    m_aDelayedCleanup.Empty();
    for (int i = 0; i < delayed.GetSize(); ++i)
        delete static_cast<CControlUI*>(delayed[i]);
    for (int i = 0; i < m_aAsyncNotify.GetSize(); ++i)
        delete static_cast<TNotifyUI*>(m_aAsyncNotify[i]);
    m_aAsyncNotify.Empty();
    m_mNameHash.Resize(83);
    CControlUI* root = m_pRoot;
    m_pRoot = nullptr;
    delete root;
    RemoveAllOptionGroups();
    RemoveAllTimers();
    DetachAccessible();
    if (m_hwndTooltip != nullptr) {
        DestroyWindow(m_hwndTooltip);
        m_hwndTooltip = nullptr;
    }
    ReleaseOffscreen();
    m_resources.SetPaintDC(nullptr);
    m_paintDC.Reset();
    RemoveFirst(m_aPreMessages, this);
}

// =============================================================================
// Window geometry
// =============================================================================

SIZE CPaintManagerUI::GetInitSize() {
    return m_szInitWindowSize;
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_szInitWindowSize.cx = cx;
    m_szInitWindowSize.cy = cy;
    // Before the tree exists the window takes the size at once; afterwards the
    // window decides its own size.
    if (m_pRoot == nullptr && m_hWndPaint != nullptr)
        SetWindowPos(m_hWndPaint, nullptr, 0, 0, cx, cy,
                     SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CPaintManagerUI::SetRoundCorner(int cx, int cy) {
    m_szRoundCorner.cx = cx;
    m_szRoundCorner.cy = cy;
}

void CPaintManagerUI::SetMinInfo(int cx, int cy) {
    m_szMinWindow.cx = cx;
    m_szMinWindow.cy = cy;
}

void CPaintManagerUI::SetMaxInfo(int cx, int cy) {
    m_szMaxWindow.cx = cx;
    m_szMaxWindow.cy = cy;
}

// =============================================================================
// Notifications
// =============================================================================

void CPaintManagerUI::SendNotify(CControlUI* control, const wchar_t* message, WPARAM wParam,
                                 LPARAM lParam, bool async) {
    TNotifyUI msg;
    msg.sender = control;
    msg.type = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, async);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg, bool async) {
    msg.mousePos = m_ptLastMousePos;
    msg.timestamp = GetTickCount();
    if (m_bUsedVirtualWnd && msg.sender != nullptr)
        msg.virtualWnd = msg.sender->GetVirtualWnd();
    if (!async) {
        DeliverNotify(msg);
        return;
    }
    m_aAsyncNotify.Add(new TNotifyUI(msg));
    if (m_hWndPaint != nullptr)
        PostMessageW(m_hWndPaint, kDrainMessage, 0, 0);
}

void CPaintManagerUI::DeliverNotify(TNotifyUI& msg) {
    if (msg.sender != nullptr && msg.sender->OnNotify)
        msg.sender->OnNotify(&msg);
    // The size is read on every pass: a receiver may add or remove receivers.
    for (int i = 0; i < m_aNotifiers.GetSize(); ++i)
        static_cast<INotifyUI*>(m_aNotifiers[i])->Notify(msg);
}

void CPaintManagerUI::DrainAsyncNotify() {
    CStdPtrArray delayed = m_aDelayedCleanup;
    m_aDelayedCleanup.Empty();
    for (int i = 0; i < delayed.GetSize(); ++i)
        delete static_cast<CControlUI*>(delayed[i]);
    // Each record leaves the queue before delivery, so notifications queued
    // by a receiver are delivered in this same drain.
    while (m_aAsyncNotify.GetSize() > 0) {
        TNotifyUI* msg = static_cast<TNotifyUI*>(m_aAsyncNotify[0]);
        m_aAsyncNotify.Remove(0);
        DeliverNotify(*msg);
        delete msg;
    }
}

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    return notifier != nullptr && m_aNotifiers.Add(notifier);
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    return RemoveFirst(m_aNotifiers, notifier);
}

// =============================================================================
// Filters and post-paint controls
// =============================================================================

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) {
    return filter != nullptr && m_aPreMessageFilters.Add(filter);
}

bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
    return RemoveFirst(m_aPreMessageFilters, filter);
}

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) {
    return filter != nullptr && m_aMessageFilters.Add(filter);
}

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) {
    return RemoveFirst(m_aMessageFilters, filter);
}

bool CPaintManagerUI::AddTranslateAccelerator(ITranslateAccelerator* translator) {
    return translator != nullptr && m_aTranslateAccelerator.Add(translator);
}

bool CPaintManagerUI::RemoveTranslateAccelerator(ITranslateAccelerator* translator) {
    return RemoveFirst(m_aTranslateAccelerator, translator);
}

bool CPaintManagerUI::AddPostPaint(CControlUI* control) {
    return control != nullptr && m_aPostPaintControls.Add(control);
}

bool CPaintManagerUI::RemovePostPaint(CControlUI* control) {
    return RemoveFirst(m_aPostPaintControls, control);
}

bool CPaintManagerUI::SetPostPaintIndex(CControlUI* control, int index) {
    if (!RemovePostPaint(control))
        return false;
    return m_aPostPaintControls.InsertAt(index, control) || m_aPostPaintControls.Add(control);
}

bool CPaintManagerUI::AddPaintChildWnd(HWND hChildWnd) {
    return hChildWnd != nullptr && m_aChildWnds.Add(hChildWnd);
}

bool CPaintManagerUI::RemovePaintChildWnd(HWND hChildWnd) {
    return RemoveFirst(m_aChildWnds, hChildWnd);
}

// =============================================================================
// Lookup
// =============================================================================

CControlUI* CPaintManagerUI::FindControl(const wchar_t* name) const {
    if (name == nullptr)
        return nullptr;
    return static_cast<CControlUI*>(m_mNameHash.Find(name));
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    if (m_pRoot == nullptr)
        return nullptr;
    return m_pRoot->FindControl(FindControlFromPoint, &pt,
                                FindVisible | FindHitTest | FindTopFirst);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, const wchar_t* name) const {
    if (parent == nullptr)
        parent = m_pRoot;
    if (parent == nullptr || name == nullptr)
        return nullptr;
    return parent->FindControl(FindControlFromName, const_cast<wchar_t*>(name), 0);
}

CControlUI* CPaintManagerUI::FindSubControlByPoint(CControlUI* parent, POINT pt) const {
    if (parent == nullptr)
        parent = m_pRoot;
    if (parent == nullptr)
        return nullptr;
    return parent->FindControl(FindControlFromPoint, &pt, FindVisible | FindHitTest | FindTopFirst);
}

CControlUI* CPaintManagerUI::FindSubControlByClass(CControlUI* parent, const wchar_t* className,
                                                   int index) {
    if (parent == nullptr)
        parent = m_pRoot;
    m_aFoundControls.Empty();
    if (parent == nullptr || className == nullptr || index < 0)
        return nullptr;
    TClassSearch search = {className, &m_aFoundControls, index + 1};
    parent->FindControl(FindControlsFromClass, &search, 0);
    return static_cast<CControlUI*>(m_aFoundControls.GetAt(index));
}

CStdPtrArray* CPaintManagerUI::FindSubControlsByClass(CControlUI* parent,
                                                      const wchar_t* className) {
    if (parent == nullptr)
        parent = m_pRoot;
    m_aFoundControls.Empty();
    if (parent != nullptr && className != nullptr) {
        TClassSearch search = {className, &m_aFoundControls, 0};
        parent->FindControl(FindControlsFromClass, &search, 0);
    }
    return &m_aFoundControls;
}

// =============================================================================
// Option groups
// =============================================================================

bool CPaintManagerUI::AddOptionGroup(const wchar_t* groupName, CControlUI* control) {
    if (groupName == nullptr || control == nullptr)
        return false;
    CStdPtrArray* group = static_cast<CStdPtrArray*>(m_mOptionGroup.Find(groupName));
    if (group != nullptr) {
        if (group->Find(control) >= 0)
            return false;
        return group->Add(control);
    }
    group = new CStdPtrArray(6);
    group->Add(control);
    if (!m_mOptionGroup.Insert(groupName, group)) {
        delete group;
        return false;
    }
    return true;
}

CStdPtrArray* CPaintManagerUI::GetOptionGroup(const wchar_t* groupName) {
    if (groupName == nullptr)
        return nullptr;
    return static_cast<CStdPtrArray*>(m_mOptionGroup.Find(groupName));
}

void CPaintManagerUI::RemoveOptionGroup(const wchar_t* groupName, CControlUI* control) {
    CStdPtrArray* group = GetOptionGroup(groupName);
    if (group == nullptr)
        return;
    RemoveFirst(*group, control);
    if (group->IsEmpty()) {
        delete group;
        m_mOptionGroup.Remove(groupName);
    }
}

void CPaintManagerUI::RemoveAllOptionGroups() {
    for (int i = 0; i < m_mOptionGroup.GetSize(); ++i) {
        const wchar_t* key = m_mOptionGroup.GetAt(i);
        if (key != nullptr)
            delete static_cast<CStdPtrArray*>(m_mOptionGroup.Find(key, false));
    }
    m_mOptionGroup.Resize(83);
}

} // namespace SkinUI
