// Colours, gradients, lines, frames and the 32-bit bitmaps of the render
// engine. Fills and frames that must honour alpha go through GDI+; the rest is
// plain GDI. Without GDI+ (gdiplus.dll missing or not started) the same
// results come from GDI and the blend routines.
#include "skinui/render/RenderEngine.h"

#include "skinui/core/Handles.h"
#include "skinui/render/GdiplusApi.h"
#include "skinui/render/RenderBlend.h"
#include "skinui/render/SkinColor.h"

#include <algorithm>
#include <cmath>

namespace SkinUI {

namespace {

BYTE Alpha(DWORD argb) {
    return static_cast<BYTE>(argb >> 24);
}

// Far beyond any window; keeps byte counts and pixel loops well inside 32 bits.
constexpr LONGLONG kMaxDibPixels = 0x1FFFFFFF / 4;

// Bottom-up, unlike every other scratch bitmap here (see CreateARGB32Bitmap).
HBITMAP CreateBottomUpDib32(HDC hDC, int cx, int cy, BYTE** pBits) {
    if (pBits)
        *pBits = nullptr;
    if (cx <= 0 || cy <= 0 || static_cast<LONGLONG>(cx) * cy > kMaxDibPixels)
        return nullptr;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    bmi.bmiHeader.biSizeImage = static_cast<DWORD>(cx) * cy * 4;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (pBits)
        *pBits = static_cast<BYTE*>(bits);
    return bitmap;
}

// A translucent fill without GDI+: one premultiplied pixel stretched over the
// rectangle by the blend routine.
void BlendSolid(HDC hDC, const RECT& rc, DWORD color) {
    CDibSection pixel(hDC, 1, 1);
    CMemoryDC memDC(hDC);
    if (!pixel || !memDC)
        return;
    BYTE* bits = reinterpret_cast<BYTE*>(pixel.Bits());
    const unsigned a = Alpha(color);
    bits[0] = static_cast<BYTE>((color & 0xFF) * a / 255);
    bits[1] = static_cast<BYTE>(((color >> 8) & 0xFF) * a / 255);
    bits[2] = static_cast<BYTE>(((color >> 16) & 0xFF) * a / 255);
    bits[3] = static_cast<BYTE>(a);
    CSelectObject selected(memDC.Get(), pixel.Get());
    AlphaBlendPiece(hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, memDC.Get(), 0, 0,
                    1, 1, 255);
}

void FillGradient(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond, bool bVertical,
                  int nSteps) {
    GradientFillFn gradientFill = GetGradientFill();
    if (gradientFill == nullptr) {
        FillGradientBands(hDC, rc, dwFirst, dwSecond, bVertical, nSteps);
        return;
    }
    auto vertex = [](LONG x, LONG y, DWORD c) {
        TRIVERTEX v;
        v.x = x;
        v.y = y;
        v.Red = static_cast<COLOR16>(((c >> 16) & 0xFF) << 8);
        v.Green = static_cast<COLOR16>(((c >> 8) & 0xFF) << 8);
        v.Blue = static_cast<COLOR16>((c & 0xFF) << 8);
        v.Alpha = 0xFF00;
        return v;
    };
    TRIVERTEX vertices[2] = {vertex(rc.left, rc.top, dwFirst),
                             vertex(rc.right, rc.bottom, dwSecond)};
    GRADIENT_RECT gradientRect = {0, 1};
    gradientFill(hDC, vertices, 2, &gradientRect, 1,
                 bVertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

// Hue in degrees 0..360, saturation and lightness 0..1.
void RgbToHsl(double r, double g, double b, double& h, double& s, double& l) {
    const double mx = std::max({r, g, b});
    const double mn = std::min({r, g, b});
    l = (mx + mn) / 2;
    if (mx == mn) {
        h = s = 0;
        return;
    }
    const double d = mx - mn;
    s = l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
    if (mx == r)
        h = (g - b) / d + (g < b ? 6 : 0);
    else if (mx == g)
        h = (b - r) / d + 2;
    else
        h = (r - g) / d + 4;
    h *= 60;
}

double HueToChannel(double p, double q, double t) {
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    if (t < 1.0 / 6)
        return p + (q - p) * 6 * t;
    if (t < 1.0 / 2)
        return q;
    if (t < 2.0 / 3)
        return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

void HslToRgb(double h, double s, double l, double& r, double& g, double& b) {
    if (s == 0) {
        r = g = b = l;
        return;
    }
    const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    const double p = 2 * l - q;
    const double t = h / 360;
    r = HueToChannel(p, q, t + 1.0 / 3);
    g = HueToChannel(p, q, t);
    b = HueToChannel(p, q, t - 1.0 / 3);
}

} // namespace

// ---- Colours ---------------------------------------------------------------

DWORD CRenderEngine::AdjustColor(DWORD dwColor, short H, short S, short L) {
    if (H == 180 && S == 100 && L == 100)
        return dwColor;
    double h, s, l;
    RgbToHsl(((dwColor >> 16) & 0xFF) / 255.0, ((dwColor >> 8) & 0xFF) / 255.0,
             (dwColor & 0xFF) / 255.0, h, s, l);
    h = std::fmod(h + (H - 180), 360.0);
    if (h < 0)
        h += 360;
    s = std::min(1.0, std::max(0.0, s * S / 100.0));
    l = std::min(1.0, std::max(0.0, l * L / 100.0));
    double r, g, b;
    HslToRgb(h, s, l, r, g, b);
    auto byte = [](double v) { return static_cast<DWORD>(std::lround(v * 255)) & 0xFF; };
    return (dwColor & 0xFF000000) | (byte(r) << 16) | (byte(g) << 8) | byte(b);
}

void CRenderEngine::AdjustImage(bool bUseHSL, TImageInfo* imageInfo, short H, short S, short L) {
    if (!bUseHSL || imageInfo == nullptr || !imageInfo->bUseHSL || imageInfo->pSrcBits == nullptr ||
        imageInfo->hBitmap == nullptr)
        return;
    DIBSECTION dib = {};
    if (GetObjectW(imageInfo->hBitmap, sizeof(dib), &dib) != sizeof(dib) || !dib.dsBm.bmBits)
        return;
    const size_t count = static_cast<size_t>(imageInfo->nX) * imageInfo->nY;
    const BYTE* src = imageInfo->pSrcBits;
    BYTE* dst = static_cast<BYTE*>(dib.dsBm.bmBits);
    for (size_t i = 0; i < count; ++i, src += 4, dst += 4) {
        const unsigned a = src[3];
        if (a == 0) {
            dst[0] = dst[1] = dst[2] = dst[3] = 0;
            continue;
        }
        // The pixels are premultiplied: adjust the straight colour.
        auto straight = [a](BYTE v) { return static_cast<DWORD>(std::min(255u, v * 255 / a)); };
        DWORD c = (straight(src[2]) << 16) | (straight(src[1]) << 8) | straight(src[0]);
        c = AdjustColor(c, H, S, L);
        dst[0] = static_cast<BYTE>((c & 0xFF) * a / 255);
        dst[1] = static_cast<BYTE>(((c >> 8) & 0xFF) * a / 255);
        dst[2] = static_cast<BYTE>(((c >> 16) & 0xFF) * a / 255);
        dst[3] = static_cast<BYTE>(a);
    }
    GdiFlush();
}

void CRenderEngine::CheckAlphaColor(DWORD& dwColor) {
    if ((dwColor & 0x00FFFFFF) == 0)
        dwColor += 1;
}

// ---- Fills, lines and frames -----------------------------------------------

void CRenderEngine::DrawColor(HDC hDC, const RECT& rc, DWORD color) {
    if (hDC == nullptr || color < 0x01000000 || rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    CGdiplusGraphics graphics(hDC);
    if (graphics) {
        Gdiplus::GpSolidFill* brush = nullptr;
        if (graphics.Api()->CreateSolidFill(color, &brush) == Gdiplus::Ok) {
            graphics.Api()->FillRectangleI(graphics.Get(), brush, rc.left, rc.top,
                                           rc.right - rc.left, rc.bottom - rc.top);
            graphics.Api()->DeleteBrush(brush);
            return;
        }
    }
    if (Alpha(color) == 255) {
        CGdiObject<HBRUSH> brush(CreateSolidBrush(ToColorRef(color)));
        if (brush)
            FillRect(hDC, &rc, brush.Get());
        return;
    }
    BlendSolid(hDC, rc, color);
}

void CRenderEngine::DrawGradient(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond,
                                 bool bVertical, int nSteps) {
    const int opacity = (Alpha(dwFirst) + Alpha(dwSecond)) / 2;
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    if (hDC == nullptr || opacity == 0 || width <= 0 || height <= 0)
        return;
    if (opacity == 255) {
        FillGradient(hDC, rc, dwFirst, dwSecond, bVertical, nSteps);
        return;
    }
    // Translucent: draw the gradient opaque off-screen, then lay it over the
    // target with the constant opacity. Alpha bytes of 255 turn the per-pixel
    // blend into exactly that constant blend.
    if (static_cast<LONGLONG>(width) * height > kMaxDibPixels)
        return;
    CDibSection bitmap(hDC, width, height);
    CMemoryDC memDC(hDC);
    if (!bitmap || !memDC)
        return;
    BYTE* bits = reinterpret_cast<BYTE*>(bitmap.Bits());
    CSelectObject selected(memDC.Get(), bitmap.Get());
    FillGradient(memDC.Get(), RECT{0, 0, width, height}, dwFirst, dwSecond, bVertical, nSteps);
    GdiFlush();
    const size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count; ++i)
        bits[i * 4 + 3] = 255;
    AlphaBlendPiece(hDC, rc.left, rc.top, width, height, memDC.Get(), 0, 0, width, height,
                    static_cast<BYTE>(opacity));
}

void CRenderEngine::DrawLine(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor, int nStyle) {
    if (hDC == nullptr)
        return;
    CGdiObject<HPEN> pen(CreatePen(nStyle, nSize, ToColorRef(dwPenColor)));
    if (!pen)
        return;
    CSelectObject selected(hDC, pen.Get());
    POINT old;
    MoveToEx(hDC, rc.left, rc.top, &old);
    LineTo(hDC, rc.right, rc.bottom);
    MoveToEx(hDC, old.x, old.y, nullptr);
}

void CRenderEngine::DrawRect(HDC hDC, const RECT& rc, int nSize, DWORD dwPenColor, int /*nStyle*/) {
    if (hDC == nullptr || nSize <= 0)
        return;
    CGdiplusGraphics graphics(hDC);
    if (graphics) {
        Gdiplus::GpPen* pen = nullptr;
        if (graphics.Api()->CreatePen1(dwPenColor, static_cast<Gdiplus::REAL>(nSize),
                                       Gdiplus::UnitWorld, &pen) == Gdiplus::Ok) {
            graphics.Api()->SetPenMode(pen, Gdiplus::PenAlignmentInset);
            graphics.Api()->DrawRectangleI(graphics.Get(), pen, rc.left, rc.top,
                                           rc.right - rc.left - 1, rc.bottom - rc.top - 1);
            graphics.Api()->DeletePen(pen);
            return;
        }
    }
    // Without GDI+ the frame is drawn opaque, inside the rectangle as well.
    CGdiObject<HPEN> pen(CreatePen(PS_INSIDEFRAME, nSize, ToColorRef(dwPenColor)));
    if (!pen)
        return;
    CSelectObject selectedPen(hDC, pen.Get());
    CSelectObject selectedBrush(hDC, GetStockObject(NULL_BRUSH));
    Rectangle(hDC, rc.left, rc.top, rc.right, rc.bottom);
}

void CRenderEngine::DrawRoundRect(HDC hDC, const RECT& rc, int nSize, int width, int height,
                                  DWORD dwPenColor, int nStyle) {
    if (hDC == nullptr)
        return;
    CGdiObject<HPEN> pen(CreatePen(nStyle, nSize, ToColorRef(dwPenColor)));
    if (!pen)
        return;
    CSelectObject selectedPen(hDC, pen.Get());
    CSelectObject selectedBrush(hDC, GetStockObject(NULL_BRUSH));
    RoundRect(hDC, rc.left, rc.top, rc.right, rc.bottom, width, height);
}

// ---- Bitmaps ---------------------------------------------------------------

HBITMAP CRenderEngine::CreateARGB32Bitmap(HDC hDC, int cx, int cy, BYTE** pBits) {
    // Bottom-up: the paint manager's layered-mode pixel loops walk the rows
    // from the client area's bottom line upwards.
    return CreateBottomUpDib32(hDC, cx, cy, pBits);
}

} // namespace SkinUI
