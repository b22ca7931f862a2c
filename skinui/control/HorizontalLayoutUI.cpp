#include "skinui/control/HorizontalLayoutUI.h"

#include "skinui/control/LinearLayout.h"

#include <cwchar>

namespace SkinUI {

const wchar_t* CHorizontalLayoutUI::GetClass() const {
    return L"HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::GetInterface(const wchar_t* name) {
    if (name != nullptr && _wcsicmp(name, L"HorizontalLayout") == 0)
        return static_cast<CHorizontalLayoutUI*>(this);
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    const RECT inset = GetInset();
    RECT inner = m_rcItem;
    inner.left += inset.left;
    inner.top += inset.top;
    inner.right -= inset.right;
    inner.bottom -= inset.bottom;
    LayoutLinearChildren(this, inner, false);
}

void CHorizontalLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (name != nullptr && (_wcsicmp(name, L"sepwidth") == 0 || _wcsicmp(name, L"sepimm") == 0))
        return;
    CContainerUI::SetAttribute(name, value);
}

void CHorizontalLayoutUI::DoEvent(TEventUI& event) {
    CContainerUI::DoEvent(event);
}

void CHorizontalLayoutUI::DoPostPaint(HDC hDC, const RECT& rcPaint) {
    CContainerUI::DoPostPaint(hDC, rcPaint);
}

} // namespace SkinUI
