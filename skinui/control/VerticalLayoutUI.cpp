#include "skinui/control/VerticalLayoutUI.h"

#include "skinui/control/LinearLayout.h"

#include <cwchar>

namespace SkinUI {

const wchar_t* CVerticalLayoutUI::GetClass() const {
    return L"VerticalLayoutUI";
}

void* CVerticalLayoutUI::GetInterface(const wchar_t* name) {
    if (name != nullptr && _wcsicmp(name, L"VerticalLayout") == 0)
        return static_cast<CVerticalLayoutUI*>(this);
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    LayoutLinearChildren(this, LayoutRect(), true);
}

void CVerticalLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (name != nullptr && (_wcsicmp(name, L"sepheight") == 0 || _wcsicmp(name, L"sepimm") == 0))
        return;
    CContainerUI::SetAttribute(name, value);
}

} // namespace SkinUI
