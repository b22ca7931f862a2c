// The option: selection, groups and the selected look.
#include "skinui/control/OptionUI.h"

#include "skinui/control/AttributeTable.h"
#include "skinui/render/RenderEngine.h"
#include "skinui/render/SkinColor.h"
#include "skinui/control/ControlHost.h"
#include "skinui/render/SkinResources.h"

#include <cwchar>

namespace SkinUI {

namespace {

using namespace AttributeValue;

struct TOptionAttribute {
    const wchar_t* name;
    void (*apply)(COptionUI& option, const wchar_t* value);
};

const TOptionAttribute kOptionAttributes[] = {
    {L"group", [](COptionUI& o, const wchar_t* v) { o.SetGroup(v); }},
    {L"selected", [](COptionUI& o, const wchar_t* v) { o.Selected(ToBool(v)); }},
    {L"selectedimage", [](COptionUI& o, const wchar_t* v) { o.SetSelectedImage(v); }},
    {L"selectedhotimage", [](COptionUI& o, const wchar_t* v) { o.SetSelectedHotImage(v); }},
    {L"selectedpushedimage", [](COptionUI& o, const wchar_t* v) { o.SetSelectedPushedImage(v); }},
    {L"selectedforeimage", [](COptionUI& o, const wchar_t* v) { o.SetSelectedForedImage(v); }},
    {L"selectedbkcolor",
     [](COptionUI& o, const wchar_t* v) { o.SetSelectedBkColor(ParseColor(v)); }},
    {L"selectedtextcolor",
     [](COptionUI& o, const wchar_t* v) { o.SetSelectedTextColor(ParseColor(v)); }},
};

} // namespace

COptionUI::COptionUI() = default;

COptionUI::~COptionUI() {
    if (!m_sGroupName.IsEmpty() && m_pManager != nullptr)
        m_pManager->RemoveOptionGroup(m_sGroupName, this);
}

// =============================================================================
// Identity and links
// =============================================================================

const wchar_t* COptionUI::GetClass() const {
    return L"OptionUI";
}

void* COptionUI::GetInterface(const wchar_t* name) {
    if (name != nullptr && _wcsicmp(name, L"Option") == 0)
        return this;
    return CButtonUI::GetInterface(name);
}

void COptionUI::SetManager(IControlHost* manager, CControlUI* parent, bool init) {
    CButtonUI::SetManager(manager, parent, init);
    if (init && !m_sGroupName.IsEmpty() && m_pManager != nullptr)
        m_pManager->AddOptionGroup(m_sGroupName, this);
}

// =============================================================================
// Selection
// =============================================================================

bool COptionUI::Activate() {
    if (!CButtonUI::Activate())
        return false;
    if (!m_sGroupName.IsEmpty())
        Selected(true);
    else
        Selected(!m_bSelected);
    return true;
}

void COptionUI::Selected(bool selected) {
    if (m_bSelected == selected)
        return;
    m_bSelected = selected;
    if (m_bSelected)
        m_uButtonState |= StateSelected;
    else
        m_uButtonState &= ~StateSelected;

    if (m_pManager != nullptr) {
        if (m_sGroupName.IsEmpty()) {
            m_pManager->SendNotify(this, NotifySelectChanged);
        } else if (m_bSelected) {
            // The others are grouped and being deselected, so they send
            // nothing themselves.
            CStdPtrArray* group = m_pManager->GetOptionGroup(m_sGroupName);
            for (int i = 0; group != nullptr && i < group->GetSize(); ++i) {
                COptionUI* other =
                    static_cast<COptionUI*>(static_cast<CControlUI*>(group->GetAt(i)));
                if (other != this)
                    other->Selected(false);
            }
            m_pManager->SendNotify(this, NotifySelectChanged);
        }
        m_pManager->NotifyAccessibleChange(this, EVENT_OBJECT_STATECHANGE);
    }
    Invalidate();
}

void COptionUI::SetGroup(const wchar_t* groupName) {
    if (groupName == nullptr)
        groupName = L"";
    if (m_sGroupName == groupName)
        return;
    if (!m_sGroupName.IsEmpty() && m_pManager != nullptr)
        m_pManager->RemoveOptionGroup(m_sGroupName, this);
    m_sGroupName = groupName;
    if (!m_sGroupName.IsEmpty() && m_pManager != nullptr)
        m_pManager->AddOptionGroup(m_sGroupName, this);
    Selected(m_bSelected);
}

void COptionUI::SetEnabled(bool enable) {
    CControlUI::SetEnabled(enable);
    if (!IsEnabled())
        m_uButtonState = m_bSelected ? static_cast<UINT>(StateSelected) : 0u;
}

// =============================================================================
// Selected look
// =============================================================================

void COptionUI::SetSelectedImage(const wchar_t* image) {
    StoreImage(m_sSelectedImage, image);
}

void COptionUI::SetSelectedHotImage(const wchar_t* image) {
    StoreImage(m_sSelectedHotImage, image);
}

void COptionUI::SetSelectedPushedImage(const wchar_t* image) {
    StoreImage(m_sSelectedPushedImage, image);
}

void COptionUI::SetSelectedForedImage(const wchar_t* image) {
    StoreImage(m_sSelectedForeImage, image);
}

DWORD COptionUI::GetSelectedTextColor() {
    if (m_dwSelectedTextColor == 0 && m_pManager != nullptr)
        m_dwSelectedTextColor = Resources()->GetDefaultFontColor();
    return m_dwSelectedTextColor;
}

// =============================================================================
// Control base overrides
// =============================================================================

void COptionUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!ApplyTableAttribute(kOptionAttributes, *this, name, value))
        CButtonUI::SetAttribute(name, value);
}

void COptionUI::PaintBkColor(HDC hDC) {
    if (!m_bSelected) {
        CButtonUI::PaintBkColor(hDC);
        return;
    }
    if (m_dwSelectedBkColor != 0)
        CRenderEngine::DrawColor(hDC, m_rcPaint, GetAdjustColor(m_dwSelectedBkColor));
}

void COptionUI::PaintStatusImage(HDC hDC) {
    if (!m_bSelected) {
        CButtonUI::PaintStatusImage(hDC);
        return;
    }
    // A disabled option keeps showing its selected image: the selection is
    // still what the window will use.
    if ((m_uButtonState & StatePushed) != 0 && DrawStateImage(hDC, m_sSelectedPushedImage))
        return;
    if ((m_uButtonState & StateHot) != 0 && DrawStateImage(hDC, m_sSelectedHotImage))
        return;
    DrawStateImage(hDC, m_sSelectedImage);
}

void COptionUI::PaintForeImage(HDC hDC) {
    if (m_bSelected && DrawStateImage(hDC, m_sSelectedForeImage))
        return;
    CButtonUI::PaintForeImage(hDC);
}

void COptionUI::PaintText(HDC hDC) {
    if ((m_uButtonState & StateSelected) == 0) {
        CButtonUI::PaintText(hDC);
        return;
    }
    const DWORD ownColor = m_dwTextColor;
    if (m_dwSelectedTextColor != 0)
        m_dwTextColor = m_dwSelectedTextColor;
    ResolveDefaultColors();
    const CSkinString text = GetText();
    if (!text.IsEmpty())
        DrawLabelText(hDC, ScaledTextRect(), text,
                      IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor);
    m_dwTextColor = ownColor;
}

} // namespace SkinUI
