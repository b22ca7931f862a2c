// The progress bar: values, the percentage text and the filled part.
#include "skinui/control/ProgressUI.h"

#include "skinui/control/AttributeTable.h"
#include "skinui/control/ControlHost.h"
#include "skinui/core/TextFormat.h"
#include "skinui/render/RenderEngine.h"

#include <cwchar>

namespace SkinUI {

namespace {

using namespace AttributeValue;

struct TProgressAttribute {
    const wchar_t* name;
    void (*apply)(CProgressUI& progress, const wchar_t* value);
};

const TProgressAttribute kProgressAttributes[] = {
    {L"hor", [](CProgressUI& p, const wchar_t* v) { p.SetHorizontal(ToBool(v)); }},
    {L"min", [](CProgressUI& p, const wchar_t* v) { p.SetMinValue(ToInt(v)); }},
    {L"max", [](CProgressUI& p, const wchar_t* v) { p.SetMaxValue(ToInt(v)); }},
    {L"value", [](CProgressUI& p, const wchar_t* v) { p.SetValue(ToInt(v)); }},
    {L"isstretchfore", [](CProgressUI& p, const wchar_t* v) { p.SetStretchForeImage(ToBool(v)); }},
};

// length x part / whole, truncated toward zero. 64-bit in the middle, so a
// bar over a large range (bytes of a download) does not overflow.
int Share(int length, int part, int whole) {
    return static_cast<int>(static_cast<long long>(length) * part / whole);
}

} // namespace

CProgressUI::CProgressUI() {
    m_uTextStyle = DT_SINGLELINE | DT_CENTER;
    m_cxyFixed.cy = 12;
}

CProgressUI::~CProgressUI() = default;

const wchar_t* CProgressUI::GetClass() const {
    return L"ProgressUI";
}

void* CProgressUI::GetInterface(const wchar_t* name) {
    if (name != nullptr && _wcsicmp(name, L"Progress") == 0)
        return this;
    return CLabelUI::GetInterface(name);
}

// =============================================================================
// Values
// =============================================================================

void CProgressUI::SetMinValue(int value) {
    m_nMin = value;
    Invalidate();
}

void CProgressUI::SetMaxValue(int value) {
    m_nMax = value;
    Invalidate();
}

void CProgressUI::SetValue(int value) {
    if (value == m_nValue || value < m_nMin || value > m_nMax)
        return;
    m_nValue = value;
    Invalidate();
    UpdateText();
    if (m_pManager != nullptr)
        m_pManager->NotifyAccessibleChange(this, EVENT_OBJECT_VALUECHANGE);
}

void CProgressUI::SetHorizontal(bool horizontal) {
    if (m_bHorizontal == horizontal)
        return;
    m_bHorizontal = horizontal;
    Invalidate();
}

void CProgressUI::SetStretchForeImage(bool stretch) {
    if (m_bStretchForeImage == stretch)
        return;
    m_bStretchForeImage = stretch;
    Invalidate();
}

void CProgressUI::SetShowText(bool showText) {
    m_bShowText = showText;
    if (!m_bShowText)
        SetText(L"");
}

void CProgressUI::UpdateText() {
    if (!m_bShowText)
        return;
    // An empty range (maximum not above minimum) would divide by zero and
    // show "nan%" or "inf%"; it is read as the range painting repairs it to.
    const int range = m_nMax > m_nMin ? m_nMax - m_nMin : 1;
    const float percent =
        static_cast<float>(m_nValue - m_nMin) * 100.0f / static_cast<float>(range);
    wchar_t text[64];
    FormatText(text, sizeof(text) / sizeof(text[0]), L"%.0f%%", static_cast<double>(percent));
    SetText(text);
}

void CProgressUI::NormalizeValues() {
    if (m_nMin >= m_nMax)
        m_nMax = m_nMin + 1;
    if (m_nValue > m_nMax)
        m_nValue = m_nMax;
    if (m_nValue < m_nMin)
        m_nValue = m_nMin;
}

RECT CProgressUI::GetFilledRect() const {
    const int minimum = m_nMin;
    const int maximum = m_nMin >= m_nMax ? m_nMin + 1 : m_nMax;
    int value = m_nValue;
    if (value > maximum)
        value = maximum;
    if (value < minimum)
        value = minimum;
    const int width = m_rcItem.right - m_rcItem.left;
    const int height = m_rcItem.bottom - m_rcItem.top;
    const int range = maximum - minimum;
    if (m_bHorizontal)
        return RECT{0, 0, Share(width, value - minimum, range), height};
    return RECT{0, Share(height, maximum - value, range), width, height};
}

// =============================================================================
// Control base overrides
// =============================================================================

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!ApplyTableAttribute(kProgressAttributes, *this, name, value))
        CLabelUI::SetAttribute(name, value);
}

void CProgressUI::PaintForeColor(HDC hDC) {
    if (m_dwForeColor == 0)
        return;
    NormalizeValues();
    const RECT filled = GetFilledRect();
    RECT rc = filled;
    OffsetRect(&rc, m_rcItem.left, m_rcItem.top);
    CRenderEngine::DrawColor(hDC, rc, GetAdjustColor(m_dwForeColor));
}

void CProgressUI::PaintForeImage(HDC hDC) {
    NormalizeValues();
    if (m_sForeImage.IsEmpty())
        return;
    const RECT rc = GetFilledRect();
    if (m_bStretchForeImage) {
        m_sForeImageModify.Format(L"dest='%d,%d,%d,%d'", rc.left, rc.top, rc.right, rc.bottom);
    } else {
        m_sForeImageModify.Format(L"dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", rc.left, rc.top,
                                  rc.right, rc.bottom, rc.left, rc.top, rc.right, rc.bottom);
    }
    DrawImage(hDC, m_sForeImage, m_sForeImageModify);
}

} // namespace SkinUI
