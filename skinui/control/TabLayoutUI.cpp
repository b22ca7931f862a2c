#include "skinui/control/TabLayoutUI.h"

#include "skinui/control/ControlHost.h"
#include "skinui/render/SkinResources.h"

#include <cwchar>

namespace SkinUI {

const wchar_t* CTabLayoutUI::GetClass() const {
    return L"TabLayoutUI";
}

void* CTabLayoutUI::GetInterface(const wchar_t* name) {
    if (name != nullptr && _wcsicmp(name, L"TabLayout") == 0)
        return static_cast<CTabLayoutUI*>(this);
    return CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* control) {
    if (!CContainerUI::Add(control))
        return false;
    if (m_iCurSel == -1 && control->IsVisible())
        m_iCurSel = GetItemIndex(control);
    else
        control->SetVisible(false);
    return true;
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index))
        return false;
    if (m_iCurSel == -1 && control->IsVisible())
        m_iCurSel = GetItemIndex(control);
    else if (m_iCurSel != -1 && index <= m_iCurSel)
        m_iCurSel += 1;
    else
        control->SetVisible(false);
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (!CContainerUI::Remove(control))
        return false;
    if (m_iCurSel == index) {
        if (GetCount() > 0) {
            m_iCurSel = 0;
            GetItemAt(0)->SetVisible(true);
        } else {
            m_iCurSel = -1;
        }
        NeedParentUpdate();
    } else if (m_iCurSel > index) {
        m_iCurSel -= 1;
    }
    return true;
}

void CTabLayoutUI::RemoveAll() {
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
    NeedParentUpdate();
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount())
        return false;
    if (index == m_iCurSel)
        return true;
    const int old = m_iCurSel;
    m_iCurSel = index;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* page = GetItemAt(i);
        if (i == index) {
            page->SetVisible(true);
            page->SetFocus();
            SetPos(m_rcItem, true);
        } else {
            page->SetVisible(false);
        }
    }
    NeedParentUpdate();
    if (m_pManager != nullptr) {
        m_pManager->SetNextTabControl(true);
        m_pManager->SendNotify(this, NotifyTabSelect, static_cast<WPARAM>(m_iCurSel), old);
        // Another page means other children for assistive programs.
        m_pManager->NotifyAccessibleChange(this, EVENT_OBJECT_REORDER);
    }
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* control) {
    const int index = GetItemIndex(control);
    return index >= 0 && SelectItem(index);
}

void CTabLayoutUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    const RECT inner = InnerRect();
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* page = GetItemAt(i);
        if (!page->IsVisible())
            continue;
        if (page->IsFloat()) {
            SetFloatPos(i);
            continue;
        }
        if (i != m_iCurSel)
            continue;
        const RECT pad = page->GetPadding();
        RECT area = {inner.left + pad.left, inner.top + pad.top, inner.right - pad.right,
                     inner.bottom - pad.bottom};
        const SIZE available = {area.right - area.left, area.bottom - area.top};
        SIZE size = page->EstimateSize(available);
        if (size.cx == 0)
            size.cx = available.cx > 0 ? available.cx : 0;
        if (size.cy == 0)
            size.cy = available.cy > 0 ? available.cy : 0;
        if (size.cx < page->GetMinWidth())
            size.cx = page->GetMinWidth();
        if (size.cx > page->GetMaxWidth())
            size.cx = page->GetMaxWidth();
        if (size.cy < page->GetMinHeight())
            size.cy = page->GetMinHeight();
        if (size.cy > page->GetMaxHeight())
            size.cy = page->GetMaxHeight();
        page->SetPos(RECT{area.left, area.top, area.left + size.cx, area.top + size.cy}, true);
    }
}

void CTabLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (name != nullptr && _wcsicmp(name, L"selectedid") == 0)
        SelectItem(AttributeValue::ToInt(value));
    CContainerUI::SetAttribute(name, value);
}

} // namespace SkinUI
