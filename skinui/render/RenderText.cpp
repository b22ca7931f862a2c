// Text of the render engine: drawn and measured with GDI in ordinary windows,
// with GDI+ in layered windows (GDI leaves the alpha bytes of the off-screen
// bitmap undefined) and where the window asks for it.
#include "skinui/render/RenderEngine.h"

#include "skinui/core/Handles.h"
#include "skinui/render/GdiplusApi.h"
#include "skinui/render/SkinColor.h"
#include "skinui/render/SkinResources.h"

#include <cwchar>

namespace SkinUI {

namespace {

// Restores the text colour and background mode GDI drawing changed, so that
// a caller's own drawing on the same DC is not affected.
class CTextState {
public:
    explicit CTextState(HDC hDC)
        : m_hdc(hDC), m_mode(GetBkMode(hDC)), m_text(GetTextColor(hDC)), m_bk(GetBkColor(hDC)) {}
    ~CTextState() {
        SetBkMode(m_hdc, m_mode);
        SetTextColor(m_hdc, m_text);
        SetBkColor(m_hdc, m_bk);
    }
    CTextState(const CTextState&) = delete;
    CTextState& operator=(const CTextState&) = delete;

private:
    HDC m_hdc;
    int m_mode;
    COLORREF m_text;
    COLORREF m_bk;
};

void DrawTextGdi(HDC hDC, CSkinResources* pManager, RECT& rc, const wchar_t* pstrText,
                 DWORD dwTextColor, int iFont, UINT uStyle) {
    CTextState state(hDC);
    SetBkMode(hDC, TRANSPARENT);
    SetTextColor(hDC, ToColorRef(dwTextColor));
    CSelectObject font(hDC, pManager->GetFont(iFont));
    ::DrawTextW(hDC, pstrText, -1, &rc, uStyle);
}

// False when GDI+ is not available, so that the caller can draw with GDI.
bool DrawTextGdiplus(HDC hDC, CSkinResources* pManager, RECT& rc, const wchar_t* pstrText,
                     DWORD dwTextColor, int iFont, UINT uStyle) {
    CGdiplusGraphics graphics(hDC);
    if (!graphics)
        return false;
    const TGdiplusApi* api = graphics.Api();
    Gdiplus::GpGraphics* g = graphics.Get();

    CSelectObject selected(hDC, pManager->GetFont(iFont));
    Gdiplus::GpFont* font = nullptr;
    if (api->CreateFontFromDC(hDC, &font) != Gdiplus::Ok)
        return false;

    const int hint = pManager->GetGdiplusTextRenderingHint();
    api->SetTextRenderingHint(g, hint >= 1 && hint <= 5
                                     ? static_cast<Gdiplus::TextRenderingHint>(hint)
                                     : Gdiplus::TextRenderingHintSystemDefault);
    api->SetSmoothingMode(g, Gdiplus::SmoothingModeHighQuality);
    api->SetInterpolationMode(g, Gdiplus::InterpolationModeHighQualityBicubic);

    Gdiplus::GpStringFormat* typographic = nullptr;
    Gdiplus::GpStringFormat* format = nullptr;
    if (api->StringFormatGetGenericTypographic(&typographic) != Gdiplus::Ok ||
        api->CloneStringFormat(typographic, &format) != Gdiplus::Ok) {
        api->DeleteFont(font);
        return false;
    }
    if (uStyle & DT_END_ELLIPSIS)
        api->SetStringFormatTrimming(format, Gdiplus::StringTrimmingEllipsisCharacter);
    INT flags = 0;
    if (uStyle & DT_NOCLIP)
        flags |= Gdiplus::StringFormatFlagsNoClip;
    if (uStyle & DT_SINGLELINE)
        flags |= Gdiplus::StringFormatFlagsNoWrap;
    api->SetStringFormatFlags(format, flags);
    api->SetStringFormatAlign(format, (uStyle & DT_CENTER)  ? Gdiplus::StringAlignmentCenter
                                      : (uStyle & DT_RIGHT) ? Gdiplus::StringAlignmentFar
                                                            : Gdiplus::StringAlignmentNear);
    api->SetStringFormatLineAlign(format, (uStyle & DT_VCENTER)  ? Gdiplus::StringAlignmentCenter
                                          : (uStyle & DT_BOTTOM) ? Gdiplus::StringAlignmentFar
                                                                 : Gdiplus::StringAlignmentNear);

    const Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(rc.left),
                                static_cast<Gdiplus::REAL>(rc.top),
                                static_cast<Gdiplus::REAL>(rc.right - rc.left),
                                static_cast<Gdiplus::REAL>(rc.bottom - rc.top));
    if (uStyle & DT_CALCRECT) {
        Gdiplus::RectF bounds;
        if (api->MeasureString(g, pstrText, -1, font, &layout, format, &bounds, nullptr, nullptr) ==
            Gdiplus::Ok) {
            rc.right = rc.left + static_cast<int>(bounds.Width) + 1;
            rc.bottom = rc.top + static_cast<int>(bounds.Height) + 1;
        }
    } else {
        // The brush is never quite opaque (alpha 254): with an opaque brush
        // GDI+ may choose ClearType, whose coloured fringes assume an opaque
        // background and look wrong over a layered window's alpha.
        Gdiplus::GpSolidFill* brush = nullptr;
        if (api->CreateSolidFill((dwTextColor & 0x00FFFFFF) | 0xFE000000, &brush) == Gdiplus::Ok) {
            api->DrawString(g, pstrText, -1, font, &layout, format, brush);
            api->DeleteBrush(brush);
        }
    }
    api->DeleteStringFormat(format);
    api->DeleteFont(font);
    return true;
}

} // namespace

void CRenderEngine::DrawText(HDC hDC, CSkinResources* pManager, RECT& rc, const wchar_t* pstrText,
                             DWORD dwTextColor, int iFont, UINT uStyle) {
    if (hDC == nullptr || pManager == nullptr || pstrText == nullptr)
        return;
    if ((pManager->IsLayered() || pManager->IsUseGdiplusText()) &&
        DrawTextGdiplus(hDC, pManager, rc, pstrText, dwTextColor, iFont, uStyle))
        return;
    DrawTextGdi(hDC, pManager, rc, pstrText, dwTextColor, iFont, uStyle);
}

void CRenderEngine::DrawText(HDC hDC, CSkinResources* pManager, RECT& rc, const wchar_t* pstrText,
                             DWORD dwTextColor, int iFont, UINT uStyle, DWORD dwTextBKColor,
                             bool bTransparent) {
    if (hDC == nullptr || pManager == nullptr || pstrText == nullptr)
        return;
    CTextState state(hDC);
    SetBkMode(hDC, bTransparent ? TRANSPARENT : OPAQUE);
    SetBkColor(hDC, ToColorRef(dwTextBKColor));
    SetTextColor(hDC, ToColorRef(dwTextColor));
    CSelectObject font(hDC, pManager->GetFont(iFont));
    ::DrawTextW(hDC, pstrText, -1, &rc, uStyle | DT_NOPREFIX);
}

void CRenderEngine::DrawHtmlText(HDC hDC, CSkinResources* pManager, RECT& rc,
                                 const wchar_t* pstrText, DWORD dwTextColor, RECT* /*pLinks*/,
                                 CSkinString* /*sLinks*/, int& nLinkRects, int iFont, UINT uStyle) {
    nLinkRects = 0;
    if (pstrText == nullptr)
        return;
    // The tags are dropped and the text drawn plain: the formatting language
    // is not part of this build, and showing the words beats showing nothing.
    CSkinString plain;
    for (const wchar_t* p = pstrText; *p != L'\0'; ++p) {
        if (*p == L'<' || *p == L'{') {
            const wchar_t close = *p == L'<' ? L'>' : L'}';
            const wchar_t* end = wcschr(p, close);
            if (end != nullptr) {
                p = end;
                continue;
            }
        }
        plain += *p;
    }
    DrawText(hDC, pManager, rc, plain, dwTextColor, iFont, uStyle);
}

SIZE CRenderEngine::GetTextSize(HDC hDC, CSkinResources* pManager, const wchar_t* pstrText,
                                int iFont, UINT /*uStyle*/) {
    SIZE size = {0, 0};
    if (hDC == nullptr || pManager == nullptr || pstrText == nullptr)
        return size;
    CTextState state(hDC);
    SetBkMode(hDC, TRANSPARENT);
    CSelectObject font(hDC, pManager->GetFont(iFont));
    GetTextExtentPoint32W(hDC, pstrText, static_cast<int>(wcslen(pstrText)), &size);
    return size;
}

} // namespace SkinUI
