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
    LayoutLinearChildren(this, LayoutRect(), false);
}

void CHorizontalLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (name != nullptr && (_wcsicmp(name, L"sepwidth") == 0 || _wcsicmp(name, L"sepimm") == 0))
        return;
    CContainerUI::SetAttribute(name, value);
}

} // namespace SkinUI
