// The control factory and its table of built-in classes.
#include "skinui/window/ControlFactory.h"

#include "skinui/control/ButtonUI.h"
#include "skinui/control/ContainerUI.h"
#include "skinui/control/ControlUI.h"
#include "skinui/control/EditUI.h"
#include "skinui/control/HorizontalLayoutUI.h"
#include "skinui/control/LabelUI.h"
#include "skinui/control/OptionUI.h"
#include "skinui/control/ProgressUI.h"
#include "skinui/control/TabLayoutUI.h"
#include "skinui/control/VerticalLayoutUI.h"

namespace SkinUI {

namespace {

template <typename T> CControlUI* Make() {
    return new T();
}

struct TBuiltIn {
    const wchar_t* className;
    CControlFactory::CreateClass creator;
};

// The classes of this build. Skins may also name list, combo, rich edit,
// tree, slider and other classes; those are not part of the build and their
// elements are skipped.
const TBuiltIn kBuiltIns[] = {
    {L"CControlUI", Make<CControlUI>},     {L"CContainerUI", Make<CContainerUI>},
    {L"CButtonUI", Make<CButtonUI>},       {L"CEditUI", Make<CEditUI>},
    {L"CLabelUI", Make<CLabelUI>},         {L"COptionUI", Make<COptionUI>},
    {L"CProgressUI", Make<CProgressUI>},   {L"CHorizontalLayoutUI", Make<CHorizontalLayoutUI>},
    {L"CTabLayoutUI", Make<CTabLayoutUI>}, {L"CVerticalLayoutUI", Make<CVerticalLayoutUI>},
};

CControlFactory* g_factory = nullptr;

} // namespace

CControlFactory::CControlFactory() {
    for (const TBuiltIn& builtIn : kBuiltIns)
        m_creators[builtIn.className] = builtIn.creator;
}

CControlFactory* CControlFactory::GetInstance() {
    if (g_factory == nullptr)
        g_factory = new CControlFactory();
    return g_factory;
}

void CControlFactory::Release() {
    delete g_factory;
    g_factory = nullptr;
}

CControlUI* CControlFactory::CreateControl(const wchar_t* className) const {
    if (className == nullptr)
        return nullptr;
    const auto found = m_creators.find(className);
    if (found == m_creators.end() || found->second == nullptr)
        return nullptr;
    return found->second();
}

void CControlFactory::RegistControl(const wchar_t* className, CreateClass creator) {
    if (className == nullptr || *className == L'\0')
        return;
    m_creators[className] = creator;
}

bool CControlFactory::IsRegistered(const wchar_t* className) const {
    return className != nullptr && m_creators.find(className) != m_creators.end();
}

} // namespace SkinUI
