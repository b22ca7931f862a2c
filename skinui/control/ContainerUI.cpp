// The plain container: child management, visibility and enablement passed on
// to the children, the overlapping layout of the Container element, floating
// children, painting under two clips, and hit testing into the children.
#include "skinui/control/ContainerUI.h"

#include "skinui/render/RenderClip.h"
#include "skinui/control/ControlHost.h"
#include "skinui/render/SkinResources.h"

#include <cwchar>

namespace SkinUI {

using namespace AttributeValue;

// =============================================================================
// Construction
// =============================================================================

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    // Deletion is immediate here: the container itself is going away, so
    // there is no event of a child left to protect.
    m_bDelayedDestroy = false;
    if (m_bAutoDestroy) {
        for (int i = 0; i < m_items.GetSize(); ++i)
            delete static_cast<CControlUI*>(m_items[i]);
    }
    m_items.Empty();
}

// =============================================================================
// Identity
// =============================================================================

const wchar_t* CContainerUI::GetClass() const {
    return L"ContainerUI";
}

void* CContainerUI::GetInterface(const wchar_t* name) {
    if (name != nullptr && _wcsicmp(name, L"IContainer") == 0)
        return static_cast<IContainerUI*>(this);
    if (name != nullptr && _wcsicmp(name, L"Container") == 0)
        return static_cast<CContainerUI*>(this);
    return CControlUI::GetInterface(name);
}

// =============================================================================
// Children
// =============================================================================

CControlUI* CContainerUI::GetItemAt(int index) const {
    return static_cast<CControlUI*>(m_items.GetAt(index));
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    return control != nullptr ? m_items.Find(control) : -1;
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index) {
    const int old = GetItemIndex(control);
    if (old < 0 || index < 0 || index >= m_items.GetSize())
        return false;
    if (old == index)
        return true;
    m_items.Remove(old);
    if (!m_items.InsertAt(index, control)) {
        m_items.InsertAt(old, control);
        return false;
    }
    NeedUpdate();
    return true;
}

int CContainerUI::GetCount() const {
    return m_items.GetSize();
}

bool CContainerUI::Add(CControlUI* control) {
    if (control == nullptr)
        return false;
    if (m_pManager != nullptr)
        m_pManager->InitControls(control, this);
    if (IsVisible())
        NeedUpdate();
    else
        control->SetInternVisible(false);
    return m_items.Add(control);
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (control == nullptr || index < 0 || index > m_items.GetSize())
        return false;
    if (m_pManager != nullptr)
        m_pManager->InitControls(control, this);
    if (IsVisible())
        NeedUpdate();
    else
        control->SetInternVisible(false);
    return m_items.InsertAt(index, control);
}

bool CContainerUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0)
        return false;
    NeedUpdate();
    m_items.Remove(index);
    if (m_bAutoDestroy)
        ReleaseChild(control);
    return true;
}

bool CContainerUI::RemoveAt(int index) {
    CControlUI* control = GetItemAt(index);
    return control != nullptr && Remove(control);
}

void CContainerUI::RemoveAll() {
    if (m_bAutoDestroy) {
        for (int i = 0; i < m_items.GetSize(); ++i)
            ReleaseChild(static_cast<CControlUI*>(m_items[i]));
    }
    m_items.Empty();
    NeedUpdate();
}

void CContainerUI::ReleaseChild(CControlUI* control) {
    if (m_bDelayedDestroy && m_pManager != nullptr)
        m_pManager->AddDelayedCleanup(control);
    else
        delete control;
}

// =============================================================================
// Control base overrides
// =============================================================================

void CContainerUI::DoEvent(TEventUI& event) {
    if (!IsMouseEnabled() && IsMouseEvent(event.type)) {
        if (m_pParent != nullptr)
            m_pParent->DoEvent(event);
        else
            CControlUI::DoEvent(event);
        return;
    }
    // A container shows no focus of its own, so focus changes do not repaint.
    if (event.type == EventSetFocus) {
        m_bFocused = true;
        return;
    }
    if (event.type == EventKillFocus) {
        m_bFocused = false;
        return;
    }
    CControlUI::DoEvent(event);
}

void CContainerUI::SetVisible(bool visible) {
    if (m_bVisible == visible)
        return;
    CControlUI::SetVisible(visible);
    for (int i = 0; i < m_items.GetSize(); ++i)
        static_cast<CControlUI*>(m_items[i])->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool visible) {
    CControlUI::SetInternVisible(visible);
    for (int i = 0; i < m_items.GetSize(); ++i)
        static_cast<CControlUI*>(m_items[i])->SetInternVisible(IsVisible());
}

void CContainerUI::SetEnabled(bool enable) {
    if (m_bEnabled == enable)
        return;
    m_bEnabled = enable;
    for (int i = 0; i < m_items.GetSize(); ++i)
        static_cast<CControlUI*>(m_items[i])->SetEnabled(enable);
    Invalidate();
}

void CContainerUI::SetMouseEnabled(bool enable) {
    CControlUI::SetMouseEnabled(enable);
}

RECT CContainerUI::GetClientPos() const {
    return InnerRect();
}

RECT CContainerUI::InnerRect() const {
    return RECT{m_rcItem.left + m_rcInset.left, m_rcItem.top + m_rcInset.top,
                m_rcItem.right - m_rcInset.right, m_rcItem.bottom - m_rcInset.bottom};
}

RECT CContainerUI::LayoutRect() const {
    const RECT inset = GetInset();
    return RECT{m_rcItem.left + inset.left, m_rcItem.top + inset.top, m_rcItem.right - inset.right,
                m_rcItem.bottom - inset.bottom};
}

void CContainerUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    if (m_items.IsEmpty())
        return;
    const RECT inner = InnerRect();
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* control = static_cast<CControlUI*>(m_items[i]);
        if (!control->IsVisible())
            continue;
        if (control->IsFloat()) {
            SetFloatPos(i);
            continue;
        }
        SIZE size = {inner.right - inner.left, inner.bottom - inner.top};
        if (size.cx < control->GetMinWidth())
            size.cx = control->GetMinWidth();
        if (size.cx > control->GetMaxWidth())
            size.cx = control->GetMaxWidth();
        if (size.cy < control->GetMinHeight())
            size.cy = control->GetMinHeight();
        if (size.cy > control->GetMaxHeight())
            size.cy = control->GetMaxHeight();
        control->SetPos(RECT{inner.left, inner.top, inner.left + size.cx, inner.top + size.cy},
                        false);
    }
}

void CContainerUI::Move(SIZE offset, bool needInvalidate) {
    // SetPos is virtual: the container's own layout places the children again.
    CControlUI::Move(offset, needInvalidate);
}

void CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    RECT visible;
    if (!IntersectRect(&visible, &rcPaint, &m_rcItem))
        return;
    CRenderClip clip;
    CRenderClip::GenerateClip(hDC, visible, clip);
    CControlUI::DoPaint(hDC, rcPaint);

    if (m_items.IsEmpty())
        return;
    const RECT inner = LayoutRect();
    RECT childArea;
    RECT tmp;
    if (!IntersectRect(&childArea, &rcPaint, &inner)) {
        // Only floating children can reach into the inset margin.
        for (int i = 0; i < m_items.GetSize(); ++i) {
            CControlUI* control = static_cast<CControlUI*>(m_items[i]);
            if (!control->IsVisible() || !control->IsFloat())
                continue;
            if (!IntersectRect(&tmp, &rcPaint, &control->GetPos()) ||
                !IntersectRect(&tmp, &m_rcItem, &control->GetPos()))
                continue;
            control->DoPaint(hDC, rcPaint);
        }
        return;
    }
    CRenderClip childClip;
    CRenderClip::GenerateClip(hDC, childArea, childClip);
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* control = static_cast<CControlUI*>(m_items[i]);
        if (!control->IsVisible() || !IntersectRect(&tmp, &rcPaint, &control->GetPos()))
            continue;
        if (control->IsFloat()) {
            if (!IntersectRect(&tmp, &m_rcItem, &control->GetPos()))
                continue;
            CRenderClip::UseOldClipBegin(hDC, childClip);
            control->DoPaint(hDC, rcPaint);
            CRenderClip::UseOldClipEnd(hDC, childClip);
        } else {
            if (!IntersectRect(&tmp, &inner, &control->GetPos()))
                continue;
            control->DoPaint(hDC, rcPaint);
        }
    }
}

void CContainerUI::SetManager(IControlHost* manager, CControlUI* parent, bool init) {
    for (int i = 0; i < m_items.GetSize(); ++i)
        static_cast<CControlUI*>(m_items[i])->SetManager(manager, this, init);
    CControlUI::SetManager(manager, parent, init);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) {
    if ((flags & FindVisible) != 0 && !IsVisible())
        return nullptr;
    if ((flags & FindEnabled) != 0 && !IsEnabled())
        return nullptr;
    const bool hitTest = (flags & FindHitTest) != 0;
    const POINT* pt = static_cast<const POINT*>(data);
    if (hitTest && !PtInRect(&m_rcItem, *pt))
        return nullptr;
    if ((flags & FindUpdateTest) != 0 && proc(this, data) != nullptr)
        return nullptr;

    if ((flags & FindMeFirst) != 0 && (!hitTest || IsMouseEnabled())) {
        CControlUI* result = proc(this, data);
        if (result != nullptr)
            return result;
    }

    if (!hitTest || IsMouseChildEnabled()) {
        const RECT inner = InnerRect();
        const int count = m_items.GetSize();
        const bool topFirst = (flags & FindTopFirst) != 0;
        for (int n = 0; n < count; ++n) {
            CControlUI* child = static_cast<CControlUI*>(m_items[topFirst ? count - 1 - n : n]);
            CControlUI* result = child->FindControl(proc, data, flags);
            if (result == nullptr)
                continue;
            if (!hitTest || result->IsFloat() || PtInRect(&inner, *pt))
                return result;
        }
    }

    if ((flags & FindMeFirst) != 0 || (hitTest && !IsMouseEnabled()))
        return nullptr;
    return proc(this, data);
}

// =============================================================================
// Container properties
// =============================================================================

RECT CContainerUI::GetInset() const {
    return RECT{Scale(m_rcInset.left), Scale(m_rcInset.top), Scale(m_rcInset.right),
                Scale(m_rcInset.bottom)};
}

void CContainerUI::SetInset(RECT inset) {
    m_rcInset = inset;
    NeedUpdate();
}

int CContainerUI::GetChildPadding() const {
    return m_iChildPadding;
}

void CContainerUI::SetChildPadding(int padding) {
    m_iChildPadding = padding;
    NeedUpdate();
}

UINT CContainerUI::GetChildAlign() const {
    return m_iChildAlign;
}

void CContainerUI::SetChildAlign(UINT align) {
    m_iChildAlign = align;
    NeedUpdate();
}

UINT CContainerUI::GetChildVAlign() const {
    return m_iChildVAlign;
}

void CContainerUI::SetChildVAlign(UINT align) {
    m_iChildVAlign = align;
    NeedUpdate();
}

bool CContainerUI::IsAutoDestroy() const {
    return m_bAutoDestroy;
}

void CContainerUI::SetAutoDestroy(bool autoDestroy) {
    m_bAutoDestroy = autoDestroy;
}

bool CContainerUI::IsDelayedDestroy() const {
    return m_bDelayedDestroy;
}

void CContainerUI::SetDelayedDestroy(bool delayed) {
    m_bDelayedDestroy = delayed;
}

bool CContainerUI::IsMouseChildEnabled() const {
    return m_bMouseChildEnabled;
}

void CContainerUI::SetMouseChildEnabled(bool enable) {
    m_bMouseChildEnabled = enable;
}

int CContainerUI::FindSelectable(int index, bool forward) const {
    const int count = m_items.GetSize();
    if (count == 0)
        return -1;
    if (index < 0)
        index = 0;
    if (index >= count)
        index = count - 1;
    for (int i = index; i >= 0 && i < count; i += forward ? 1 : -1) {
        const CControlUI* control = static_cast<CControlUI*>(m_items[i]);
        if (control->IsVisible() && control->IsEnabled())
            return i;
    }
    return -1;
}

// =============================================================================
// Scrolling: without scrollbars there is nothing to scroll.
// =============================================================================

SIZE CContainerUI::GetScrollPos() const {
    return SIZE{0, 0};
}

SIZE CContainerUI::GetScrollRange() const {
    return SIZE{0, 0};
}

void CContainerUI::SetScrollPos(SIZE /*pos*/) {
}

void CContainerUI::SetScrollStepSize(int size) {
    if (size > 0)
        m_nScrollStepSize = size;
}

int CContainerUI::GetScrollStepSize() const {
    return m_nScrollStepSize;
}

void CContainerUI::LineUp() {
}
void CContainerUI::LineDown() {
}
void CContainerUI::PageUp() {
}
void CContainerUI::PageDown() {
}
void CContainerUI::HomeUp() {
}
void CContainerUI::EndDown() {
}
void CContainerUI::LineLeft() {
}
void CContainerUI::LineRight() {
}
void CContainerUI::PageLeft() {
}
void CContainerUI::PageRight() {
}
void CContainerUI::HomeLeft() {
}
void CContainerUI::EndRight() {
}
void CContainerUI::EnableScrollBar(bool /*enableVertical*/, bool /*enableHorizontal*/) {
}

CScrollBarUI* CContainerUI::GetVerticalScrollBar() const {
    return m_pVerticalScrollBar;
}

CScrollBarUI* CContainerUI::GetHorizontalScrollBar() const {
    return m_pHorizontalScrollBar;
}

void CContainerUI::ProcessScrollBar(RECT /*rc*/, int /*cxRequired*/, int /*cyRequired*/) {
}

// =============================================================================
// Layout hooks
// =============================================================================

void CContainerUI::SetFloatPos(int index) {
    CControlUI* control = GetItemAt(index);
    if (control == nullptr || !control->IsVisible() || !control->IsFloat())
        return;
    const SIZE xy = control->GetFixedXY();
    const int w = control->GetFixedWidth();
    const int h = control->GetFixedHeight();
    const TPercentInfo percent = control->GetFloatPercent();
    const double width = m_rcItem.right - m_rcItem.left;
    const double height = m_rcItem.bottom - m_rcItem.top;
    RECT rc;
    rc.left = m_rcItem.left + static_cast<LONG>(width * percent.left) + xy.cx;
    rc.top = m_rcItem.top + static_cast<LONG>(height * percent.top) + xy.cy;
    rc.right = m_rcItem.left + static_cast<LONG>(width * percent.right) + xy.cx + w;
    rc.bottom = m_rcItem.top + static_cast<LONG>(height * percent.bottom) + xy.cy + h;
    control->SetPos(rc, false);
}

// =============================================================================
// Attributes
// =============================================================================

namespace {

struct TContainerAttribute {
    const wchar_t* name;
    bool caseSensitive;
    void (*apply)(CContainerUI& container, const wchar_t* value);
};

const TContainerAttribute kContainerAttributes[] = {
    {L"inset", false, [](CContainerUI& c, const wchar_t* v) { c.SetInset(ToRect(v)); }},
    {L"mousechild", false,
     [](CContainerUI& c, const wchar_t* v) { c.SetMouseChildEnabled(ToBool(v)); }},
    // No scrollbar control in this build: the four scrollbar attributes are
    // accepted and change nothing.
    {L"vscrollbar", false, [](CContainerUI&, const wchar_t*) {}},
    {L"hscrollbar", false, [](CContainerUI&, const wchar_t*) {}},
    {L"vscrollbarstyle", false, [](CContainerUI&, const wchar_t*) {}},
    {L"hscrollbarstyle", false, [](CContainerUI&, const wchar_t*) {}},
    {L"childpadding", false,
     [](CContainerUI& c, const wchar_t* v) { c.SetChildPadding(ToInt(v)); }},
    {L"childalign", true,
     [](CContainerUI& c, const wchar_t* v) {
         if (wcscmp(v, L"left") == 0)
             c.SetChildAlign(DT_LEFT);
         else if (wcscmp(v, L"center") == 0)
             c.SetChildAlign(DT_CENTER);
         else if (wcscmp(v, L"right") == 0)
             c.SetChildAlign(DT_RIGHT);
     }},
    {L"childvalign", true,
     [](CContainerUI& c, const wchar_t* v) {
         if (wcscmp(v, L"top") == 0)
             c.SetChildVAlign(DT_TOP);
         else if (wcscmp(v, L"vcenter") == 0)
             c.SetChildVAlign(DT_VCENTER);
         else if (wcscmp(v, L"bottom") == 0)
             c.SetChildVAlign(DT_BOTTOM);
     }},
    {L"scrollstepsize", false,
     [](CContainerUI& c, const wchar_t* v) { c.SetScrollStepSize(ToInt(v)); }},
};

} // namespace

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (name == nullptr)
        return;
    if (value == nullptr)
        value = L"";
    if (_wcsicmp(name, L"vscrollbarstyle") == 0)
        m_sVerticalScrollBarStyle = value;
    if (_wcsicmp(name, L"hscrollbarstyle") == 0)
        m_sHorizontalScrollBarStyle = value;
    for (const TContainerAttribute& attribute : kContainerAttributes) {
        const bool match = attribute.caseSensitive ? wcscmp(name, attribute.name) == 0
                                                   : _wcsicmp(name, attribute.name) == 0;
        if (match) {
            attribute.apply(*this, value);
            return;
        }
    }
    CControlUI::SetAttribute(name, value);
}

// =============================================================================
// Descendants by name
// =============================================================================

CControlUI* CContainerUI::FindSubControl(const wchar_t* subControlName) {
    return m_pManager != nullptr ? m_pManager->FindSubControlByName(this, subControlName) : nullptr;
}

bool CContainerUI::SetSubControlText(const wchar_t* subControlName, const wchar_t* text) {
    CControlUI* control = FindSubControl(subControlName);
    if (control == nullptr)
        return false;
    control->SetText(text);
    return true;
}

bool CContainerUI::SetSubControlFixedHeight(const wchar_t* subControlName, int fixedHeight) {
    CControlUI* control = FindSubControl(subControlName);
    if (control == nullptr)
        return false;
    control->SetFixedHeight(fixedHeight);
    return true;
}

bool CContainerUI::SetSubControlFixedWdith(const wchar_t* subControlName, int fixedWidth) {
    CControlUI* control = FindSubControl(subControlName);
    if (control == nullptr)
        return false;
    control->SetFixedWidth(fixedWidth);
    return true;
}

bool CContainerUI::SetSubControlUserData(const wchar_t* subControlName, const wchar_t* text) {
    CControlUI* control = FindSubControl(subControlName);
    if (control == nullptr)
        return false;
    control->SetUserData(text);
    return true;
}

CSkinString CContainerUI::GetSubControlText(const wchar_t* subControlName) {
    CControlUI* control = FindSubControl(subControlName);
    return control != nullptr ? control->GetText() : CSkinString();
}

int CContainerUI::GetSubControlFixedHeight(const wchar_t* subControlName) {
    CControlUI* control = FindSubControl(subControlName);
    return control != nullptr ? control->GetFixedHeight() : -1;
}

int CContainerUI::GetSubControlFixedWdith(const wchar_t* subControlName) {
    CControlUI* control = FindSubControl(subControlName);
    return control != nullptr ? control->GetFixedWidth() : -1;
}

CSkinString CContainerUI::GetSubControlUserData(const wchar_t* subControlName) {
    CControlUI* control = FindSubControl(subControlName);
    return control != nullptr ? control->GetUserData() : CSkinString();
}

} // namespace SkinUI
