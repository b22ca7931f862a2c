// The label: text attributes, text painting and the text-driven size estimate.
#include "skinui/control/LabelUI.h"

#include "skinui/control/AttributeTable.h"
#include "skinui/render/RenderEngine.h"
#include "skinui/render/SkinColor.h"
#include "skinui/control/ControlHost.h"
#include "skinui/render/SkinResources.h"

#include <cwchar>

namespace SkinUI {

namespace {

using namespace AttributeValue;

// Clears `clear`, then sets `set`, in the label's text style.
void ChangeStyle(CLabelUI& label, UINT clear, UINT set) {
    label.SetTextStyle((label.GetTextStyle() & ~clear) | set);
}

// "align" may name several positions; they are tested in this order and each
// one found is applied, so the last of them wins.
void ApplyAlign(CLabelUI& label, const wchar_t* value) {
    if (wcsstr(value, L"left") != nullptr)
        ChangeStyle(label, DT_CENTER | DT_RIGHT, 0);
    if (wcsstr(value, L"center") != nullptr)
        ChangeStyle(label, DT_RIGHT, DT_CENTER);
    if (wcsstr(value, L"right") != nullptr)
        ChangeStyle(label, DT_CENTER, DT_RIGHT);
}

void ApplyVAlign(CLabelUI& label, const wchar_t* value) {
    if (wcsstr(value, L"top") != nullptr)
        ChangeStyle(label, DT_VCENTER | DT_BOTTOM | DT_WORDBREAK, DT_SINGLELINE);
    if (wcsstr(value, L"vcenter") != nullptr)
        ChangeStyle(label, DT_BOTTOM | DT_WORDBREAK, DT_VCENTER | DT_SINGLELINE);
    if (wcsstr(value, L"bottom") != nullptr)
        ChangeStyle(label, DT_VCENTER | DT_WORDBREAK, DT_BOTTOM | DT_SINGLELINE);
}

void ApplyWordBreak(CLabelUI& label, const wchar_t* value) {
    if (ToBool(value))
        ChangeStyle(label, DT_SINGLELINE, DT_WORDBREAK | DT_EDITCONTROL);
    else
        ChangeStyle(label, DT_WORDBREAK | DT_EDITCONTROL, DT_SINGLELINE);
}

struct TLabelAttribute {
    const wchar_t* name;
    void (*apply)(CLabelUI& label, const wchar_t* value);
};

const TLabelAttribute kLabelAttributes[] = {
    {L"align", ApplyAlign},
    {L"valign", ApplyVAlign},
    {L"endellipsis",
     [](CLabelUI& l, const wchar_t* v) {
         ChangeStyle(l, DT_END_ELLIPSIS, ToBool(v) ? DT_END_ELLIPSIS : 0);
     }},
    // Paths are shortened in the middle, keeping the drive and the last
    // folder, so a long one still says where it is.
    {L"pathellipsis",
     [](CLabelUI& l, const wchar_t* v) {
         ChangeStyle(l, DT_PATH_ELLIPSIS, ToBool(v) ? DT_PATH_ELLIPSIS : 0);
     }},
    {L"wordbreak", ApplyWordBreak},
    {L"noprefix",
     [](CLabelUI& l, const wchar_t* v) {
         ChangeStyle(l, DT_NOPREFIX, ToBool(v) ? DT_NOPREFIX : 0);
     }},
    {L"font", [](CLabelUI& l, const wchar_t* v) { l.SetFont(ToInt(v)); }},
    {L"textcolor", [](CLabelUI& l, const wchar_t* v) { l.SetTextColor(ParseColor(v)); }},
    {L"disabledtextcolor",
     [](CLabelUI& l, const wchar_t* v) { l.SetDisabledTextColor(ParseColor(v)); }},
    {L"textpadding", [](CLabelUI& l, const wchar_t* v) { l.SetTextPadding(ToRect(v)); }},
    {L"showhtml", [](CLabelUI& l, const wchar_t* v) { l.SetShowHtml(ToBool(v)); }},
    {L"autocalcwidth", [](CLabelUI& l, const wchar_t* v) { l.SetAutoCalcWidth(ToBool(v)); }},
};

} // namespace

CLabelUI::CLabelUI() = default;

CLabelUI::~CLabelUI() = default;

// =============================================================================
// Identity
// =============================================================================

const wchar_t* CLabelUI::GetClass() const {
    return L"LabelUI";
}

void* CLabelUI::GetInterface(const wchar_t* name) {
    if (name != nullptr && _wcsicmp(name, L"Label") == 0)
        return this;
    return CControlUI::GetInterface(name);
}

UINT CLabelUI::GetControlFlags() const {
    return IsEnabled() ? ControlFlagSetCursor : 0;
}

// =============================================================================
// Text and its look
// =============================================================================

void CLabelUI::SetText(const wchar_t* text) {
    CControlUI::SetText(text);
    if (GetAutoCalcWidth())
        NeedParentUpdate();
}

void CLabelUI::SetTextColor(DWORD color) {
    m_dwTextColor = color;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD color) {
    m_dwDisabledTextColor = color;
    Invalidate();
}

void CLabelUI::SetFont(int index) {
    m_iFont = index;
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style) {
    m_uTextStyle = style;
    Invalidate();
}

void CLabelUI::SetTextPadding(RECT padding) {
    m_rcTextPadding = padding;
    Invalidate();
}

void CLabelUI::SetShowHtml(bool showHtml) {
    if (m_bShowHtml == showHtml)
        return;
    m_bShowHtml = showHtml;
    Invalidate();
}

void CLabelUI::SetAutoCalcWidth(bool autoCalcWidth) {
    m_bAutoCalcWidth = autoCalcWidth;
}

bool CLabelUI::GetAutoCalcWidth() const {
    return m_bAutoCalcWidth;
}

// =============================================================================
// Control base overrides
// =============================================================================

SIZE CLabelUI::EstimateSize(SIZE available) {
    if (m_bAutoCalcWidth && m_pManager != nullptr) {
        RECT rcText = {0, 0, available.cx, available.cy};
        const CSkinString text = GetText();
        if (m_bShowHtml) {
            int links = 0;
            CRenderEngine::DrawHtmlText(Resources()->GetPaintDC(), Resources(), rcText, text,
                                        m_dwTextColor, nullptr, nullptr, links, m_iFont,
                                        m_uTextStyle | DT_CALCRECT);
        } else {
            CRenderEngine::DrawText(Resources()->GetPaintDC(), Resources(), rcText, text,
                                    m_dwTextColor, m_iFont, m_uTextStyle | DT_CALCRECT);
        }
        const int width =
            rcText.right - rcText.left + Scale(m_rcTextPadding.left) + Scale(m_rcTextPadding.right);
        // The fixed width is kept as written in the skin (unscaled). Written
        // straight into the field: the setter would ask for another layout
        // from inside this one.
        const int scale = Resources()->GetDPIObj()->GetScale();
        m_cxyFixed.cx = scale > 0 ? width * 100 / scale : width;
    }
    if (m_cxyFixed.cy != 0)
        return CControlUI::EstimateSize(available);
    int textHeight = 0;
    if (m_pManager != nullptr)
        textHeight = Resources()->GetFontInfo(m_iFont)->tm.tmHeight;
    return SIZE{GetFixedWidth(), textHeight + 4};
}

void CLabelUI::DoEvent(TEventUI& event) {
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

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!ApplyTableAttribute(kLabelAttributes, *this, name, value))
        CControlUI::SetAttribute(name, value);
}

// =============================================================================
// Painting
// =============================================================================

void CLabelUI::PaintText(HDC hDC) {
    ResolveDefaultColors();
    const CSkinString text = GetText();
    if (text.IsEmpty())
        return;
    DrawLabelText(hDC, ScaledTextRect(), text, IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor);
}

void CLabelUI::ResolveDefaultColors() {
    if (m_pManager == nullptr)
        return;
    if (m_dwTextColor == 0)
        m_dwTextColor = Resources()->GetDefaultFontColor();
    if (m_dwDisabledTextColor == 0)
        m_dwDisabledTextColor = Resources()->GetDefaultDisabledColor();
}

RECT CLabelUI::ScaledTextRect() const {
    RECT rc = m_rcItem;
    rc.left += Scale(m_rcTextPadding.left);
    rc.top += Scale(m_rcTextPadding.top);
    rc.right -= Scale(m_rcTextPadding.right);
    rc.bottom -= Scale(m_rcTextPadding.bottom);
    return rc;
}

void CLabelUI::DrawLabelText(HDC hDC, RECT rc, const wchar_t* text, DWORD color, UINT extraStyle) {
    if (m_pManager == nullptr)
        return;
    if (m_bShowHtml) {
        int links = 0;
        CRenderEngine::DrawHtmlText(hDC, Resources(), rc, text, color, nullptr, nullptr, links,
                                    m_iFont, m_uTextStyle | extraStyle);
    } else {
        CRenderEngine::DrawText(hDC, Resources(), rc, text, color, m_iFont,
                                m_uTextStyle | extraStyle);
    }
}

} // namespace SkinUI
