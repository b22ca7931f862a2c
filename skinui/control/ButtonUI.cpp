// The button: its mouse and keyboard state machine, activation, the bound tab
// layout, and painting by state.
#include "skinui/control/ButtonUI.h"

#include "skinui/control/AttributeTable.h"
#include "skinui/control/TabLayoutUI.h"
#include "skinui/render/RenderEngine.h"
#include "skinui/render/SkinColor.h"
#include "skinui/control/ControlHost.h"
#include "skinui/render/SkinResources.h"

#include <cwchar>

namespace SkinUI {

namespace {

using namespace AttributeValue;

struct TButtonAttribute {
    const wchar_t* name;
    void (*apply)(CButtonUI& button, const wchar_t* value);
};

const TButtonAttribute kButtonAttributes[] = {
    {L"normalimage", [](CButtonUI& b, const wchar_t* v) { b.SetNormalImage(v); }},
    {L"hotimage", [](CButtonUI& b, const wchar_t* v) { b.SetHotImage(v); }},
    {L"pushedimage", [](CButtonUI& b, const wchar_t* v) { b.SetPushedImage(v); }},
    {L"focusedimage", [](CButtonUI& b, const wchar_t* v) { b.SetFocusedImage(v); }},
    {L"disabledimage", [](CButtonUI& b, const wchar_t* v) { b.SetDisabledImage(v); }},
    {L"hotforeimage", [](CButtonUI& b, const wchar_t* v) { b.SetHotForeImage(v); }},
    {L"bindtabindex", [](CButtonUI& b, const wchar_t* v) { b.BindTabIndex(ToInt(v)); }},
    {L"bindtablayoutname", [](CButtonUI& b, const wchar_t* v) { b.BindTabLayoutName(v); }},
    {L"hotbkcolor", [](CButtonUI& b, const wchar_t* v) { b.SetHotBkColor(ParseColor(v)); }},
    {L"pushedbkcolor", [](CButtonUI& b, const wchar_t* v) { b.SetPushedBkColor(ParseColor(v)); }},
    {L"hottextcolor", [](CButtonUI& b, const wchar_t* v) { b.SetHotTextColor(ParseColor(v)); }},
    {L"pushedtextcolor",
     [](CButtonUI& b, const wchar_t* v) { b.SetPushedTextColor(ParseColor(v)); }},
    {L"focusedtextcolor",
     [](CButtonUI& b, const wchar_t* v) { b.SetFocusedTextColor(ParseColor(v)); }},
};

} // namespace

CButtonUI::CButtonUI() {
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
}

CButtonUI::~CButtonUI() = default;

// =============================================================================
// Identity
// =============================================================================

const wchar_t* CButtonUI::GetClass() const {
    return L"ButtonUI";
}

void* CButtonUI::GetInterface(const wchar_t* name) {
    if (name != nullptr && _wcsicmp(name, L"Button") == 0)
        return this;
    return CLabelUI::GetInterface(name);
}

UINT CButtonUI::GetControlFlags() const {
    return (IsKeyboardEnabled() ? ControlFlagTabStop : 0) |
           (IsEnabled() ? ControlFlagSetCursor : 0);
}

// =============================================================================
// Actions
// =============================================================================

bool CButtonUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    if (m_pManager != nullptr) {
        m_pManager->SendNotify(this, NotifyClick);
        BindTriggerTabSel();
    }
    return true;
}

void CButtonUI::SetEnabled(bool enable) {
    CControlUI::SetEnabled(enable);
    if (!IsEnabled())
        m_uButtonState = 0;
}

// =============================================================================
// State images
// =============================================================================

void CButtonUI::SetNormalImage(const wchar_t* image) {
    StoreImage(m_sNormalImage, image);
}

void CButtonUI::SetHotImage(const wchar_t* image) {
    StoreImage(m_sHotImage, image);
}

void CButtonUI::SetHotForeImage(const wchar_t* image) {
    StoreImage(m_sHotForeImage, image);
}

void CButtonUI::SetPushedImage(const wchar_t* image) {
    StoreImage(m_sPushedImage, image);
}

void CButtonUI::SetFocusedImage(const wchar_t* image) {
    StoreImage(m_sFocusedImage, image);
}

void CButtonUI::SetDisabledImage(const wchar_t* image) {
    StoreImage(m_sDisabledImage, image);
}

// =============================================================================
// Bound tab layout
// =============================================================================

void CButtonUI::BindTabIndex(int index) {
    if (index >= 0)
        m_iBindTabIndex = index;
}

void CButtonUI::BindTabLayoutName(const wchar_t* name) {
    m_sBindTabLayoutName = name != nullptr ? name : L"";
}

void CButtonUI::BindTriggerTabSel(int index) {
    if (m_pManager == nullptr || m_sBindTabLayoutName.IsEmpty())
        return;
    if (m_iBindTabIndex < 0 && index < 0)
        return;
    CControlUI* control = m_pManager->FindControl(m_sBindTabLayoutName);
    if (control == nullptr)
        return;
    // Only a tab layout has pages; a control of another kind that happens
    // to carry the name is left alone.
    CTabLayoutUI* tabs = static_cast<CTabLayoutUI*>(control->GetInterface(L"TabLayout"));
    if (tabs != nullptr)
        tabs->SelectItem(index >= 0 ? index : m_iBindTabIndex);
}

void CButtonUI::RemoveBindTabIndex() {
    m_iBindTabIndex = -1;
    m_sBindTabLayoutName.Empty();
}

// =============================================================================
// Events
// =============================================================================

void CButtonUI::DoEvent(TEventUI& event) {
    if (!IsMouseEnabled() && IsMouseEvent(event.type)) {
        if (m_pParent != nullptr)
            m_pParent->DoEvent(event);
        else
            CLabelUI::DoEvent(event);
        return;
    }

    const bool inside = PtInRect(&m_rcItem, event.mousePos) != FALSE;
    switch (event.type) {
    case EventSetFocus:
    case EventKillFocus:
        Invalidate();
        break;
    case EventKeyDown:
        if (IsKeyboardEnabled() && (event.keyChar == VK_SPACE || event.keyChar == VK_RETURN)) {
            Activate();
            return;
        }
        break;
    case EventButtonDown:
    case EventDblClick:
        if (inside && IsEnabled()) {
            m_uButtonState |= StatePushed | StateCaptured;
            Invalidate();
            if (IsVisible() && IsEnabled() && m_pManager != nullptr)
                m_pManager->SendNotify(this, NotifyLeftButtonDown);
        }
        return;
    case EventMouseMove:
        if ((m_uButtonState & StateCaptured) != 0) {
            if (inside)
                m_uButtonState |= StatePushed;
            else
                m_uButtonState &= ~StatePushed;
            Invalidate();
        }
        return;
    case EventButtonUp:
        if ((m_uButtonState & StateCaptured) != 0) {
            m_uButtonState &= ~(StatePushed | StateCaptured);
            Invalidate();
            if (inside)
                Activate();
            if (IsVisible() && IsEnabled() && m_pManager != nullptr) {
                m_pManager->SendNotify(this, NotifyLeftButtonUp);
                BindTriggerTabSel();
            }
        }
        return;
    case EventContextMenu:
        if (IsContextMenuUsed() && m_pManager != nullptr)
            m_pManager->SendNotify(this, NotifyMenu, event.wParam, event.lParam);
        return;
    case EventMouseEnter:
        if (IsEnabled()) {
            m_uButtonState |= StateHot;
            Invalidate();
        }
        break;
    case EventMouseLeave:
        if (IsEnabled()) {
            m_uButtonState &= ~StateHot;
            Invalidate();
        }
        break;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!ApplyTableAttribute(kButtonAttributes, *this, name, value))
        CLabelUI::SetAttribute(name, value);
}

// =============================================================================
// Painting
// =============================================================================

void CButtonUI::RefreshFocusAndDisabled() {
    if (IsFocused())
        m_uButtonState |= StateFocused;
    else
        m_uButtonState &= ~StateFocused;
    if (!IsEnabled())
        m_uButtonState |= StateDisabled;
    else
        m_uButtonState &= ~StateDisabled;
}

bool CButtonUI::DrawStateImage(HDC hDC, const CSkinString& image) {
    return !image.IsEmpty() && DrawImage(hDC, image);
}

void CButtonUI::PaintStatusImage(HDC hDC) {
    RefreshFocusAndDisabled();
    // While a modal box owns the window, the button must not look hot,
    // pushed or focused: it cannot be used until the box is gone.
    if (m_pManager != nullptr && m_pManager->GetPaintWindow() != nullptr &&
        !IsWindowEnabled(m_pManager->GetPaintWindow()))
        m_uButtonState &= StateDisabled;

    const CSkinString* image = nullptr;
    if ((m_uButtonState & StateDisabled) != 0)
        image = &m_sDisabledImage;
    else if ((m_uButtonState & StatePushed) != 0)
        image = &m_sPushedImage;
    else if ((m_uButtonState & StateHot) != 0)
        image = &m_sHotImage;
    else if ((m_uButtonState & StateFocused) != 0)
        image = &m_sFocusedImage;
    if (image != nullptr && DrawStateImage(hDC, *image))
        return;
    DrawStateImage(hDC, m_sNormalImage);
}

void CButtonUI::PaintBkColor(HDC hDC) {
    if ((m_uButtonState & StatePushed) != 0) {
        if (m_dwPushedBkColor != 0) {
            CRenderEngine::DrawColor(hDC, m_rcPaint, GetAdjustColor(m_dwPushedBkColor));
            return;
        }
    } else if ((m_uButtonState & StateHot) != 0) {
        if (m_dwHotBkColor != 0) {
            CRenderEngine::DrawColor(hDC, m_rcPaint, GetAdjustColor(m_dwHotBkColor));
            return;
        }
    }
    CLabelUI::PaintBkColor(hDC);
}

void CButtonUI::PaintForeImage(HDC hDC) {
    if ((m_uButtonState & StateHot) != 0 && (m_uButtonState & StatePushed) == 0 &&
        DrawStateImage(hDC, m_sHotForeImage))
        return;
    if (!m_sForeImage.IsEmpty())
        DrawImage(hDC, m_sForeImage);
}

void CButtonUI::PaintText(HDC hDC) {
    RefreshFocusAndDisabled();
    ResolveDefaultColors();
    const CSkinString text = GetText();
    if (text.IsEmpty())
        return;
    DWORD color = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if ((m_uButtonState & StatePushed) != 0 && m_dwPushedTextColor != 0)
        color = m_dwPushedTextColor;
    else if ((m_uButtonState & StateHot) != 0 && m_dwHotTextColor != 0)
        color = m_dwHotTextColor;
    else if ((m_uButtonState & StateFocused) != 0 && m_dwFocusedTextColor != 0)
        color = m_dwFocusedTextColor;
    DrawLabelText(hDC, ScaledTextRect(), text, color);
}

} // namespace SkinUI
