#include "skinui/render/RenderBlend.h"

#include "skinui/core/SystemLibrary.h"
#include "skinui/core/Handles.h"

namespace SkinUI {

namespace {

// The fallback works on whole temporary copies of the piece; a piece larger
// than this (far beyond any window) is not drawn rather than allocated.
constexpr LONGLONG kMaxBlendPixels = 64LL * 1024 * 1024;

// A top-down 32-bit DIB section selected into its own memory DC.
class CScratchBitmap {
public:
    CScratchBitmap(HDC compatibleWith, int w, int h)
        : m_dc(compatibleWith), m_bitmap(compatibleWith, w, h),
          m_selection(m_dc.Get(), m_bitmap.Get()) {}

    bool Valid() const { return m_selection.Selected() && m_bitmap.Bits() != nullptr; }
    HDC DC() const { return m_dc.Get(); }
    BYTE* Bits() const { return reinterpret_cast<BYTE*>(m_bitmap.Bits()); }

private:
    CMemoryDC m_dc;
    CDibSection m_bitmap;
    CSelectObject m_selection;
};

BYTE Channel(DWORD argb, int shift) {
    return static_cast<BYTE>((argb >> shift) & 0xFF);
}

} // namespace

AlphaBlendFn GetAlphaBlend() {
    static const AlphaBlendFn fn = SystemProc<AlphaBlendFn>(L"msimg32.dll", "AlphaBlend");
    return fn;
}

GradientFillFn GetGradientFill() {
    static const GradientFillFn fn = SystemProc<GradientFillFn>(L"msimg32.dll", "GradientFill");
    return fn;
}

void BlendPremultiplied(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                        int sh, BYTE fade) {
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0 || static_cast<LONGLONG>(w) * h > kMaxBlendPixels)
        return;
    CScratchBitmap source(dst, w, h);
    CScratchBitmap target(dst, w, h);
    if (!source.Valid() || !target.Valid())
        return;
    // Nearest-pixel stretching keeps the alpha bytes exact, which halftone
    // stretching does not promise.
    SetStretchBltMode(source.DC(), COLORONCOLOR);
    if (!StretchBlt(source.DC(), 0, 0, w, h, src, sx, sy, sw, sh, SRCCOPY))
        return;
    if (!BitBlt(target.DC(), 0, 0, w, h, dst, x, y, SRCCOPY))
        return;
    GdiFlush();

    // The source is premultiplied, so its colour is scaled by the fade only;
    // the target keeps what the source's effective alpha leaves of it. All
    // sums stay below 2^25 and are rounded to nearest.
    const BYTE* s = source.Bits();
    BYTE* d = target.Bits();
    const size_t count = static_cast<size_t>(w) * h;
    for (size_t i = 0; i < count; ++i, s += 4, d += 4) {
        const unsigned a = s[3] * fade; // 0 .. 255 * 255
        const unsigned keep = 255 * 255 - a;
        for (int c = 0; c < 4; ++c) {
            const unsigned srcPart = c == 3 ? a * 255 : s[c] * fade * 255u;
            unsigned v = (srcPart + d[c] * keep + 255 * 255 / 2) / (255 * 255);
            d[c] = static_cast<BYTE>(v > 255 ? 255 : v);
        }
    }
    BitBlt(dst, x, y, w, h, target.DC(), 0, 0, SRCCOPY);
}

void AlphaBlendPiece(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                     BYTE fade) {
    if (AlphaBlendFn alphaBlend = GetAlphaBlend()) {
        BLENDFUNCTION bf = {AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
        alphaBlend(dst, x, y, w, h, src, sx, sy, sw, sh, bf);
        return;
    }
    BlendPremultiplied(dst, x, y, w, h, src, sx, sy, sw, sh, fade);
}

void FillGradientBands(HDC hDC, const RECT& rc, DWORD dwFirst, DWORD dwSecond, bool bVertical,
                       int nSteps) {
    int shift = 6;
    if (nSteps < 4)
        shift = 1;
    else if (nSteps < 8)
        shift = 2;
    else if (nSteps < 16)
        shift = 3;
    else if (nSteps < 32)
        shift = 4;
    else if (nSteps < 64)
        shift = 5;
    const int bands = 1 << shift;
    const int length = bVertical ? rc.bottom - rc.top : rc.right - rc.left;
    if (length <= 0 || rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    for (int i = 0; i < bands; ++i) {
        // The first band has the first colour and the last band the second.
        auto mix = [&](int shiftBits) {
            const int a = Channel(dwFirst, shiftBits);
            const int b = Channel(dwSecond, shiftBits);
            return static_cast<BYTE>(a + (b - a) * i / (bands - 1));
        };
        RECT band = rc;
        const int from = static_cast<int>(static_cast<LONGLONG>(length) * i / bands);
        const int to = static_cast<int>(static_cast<LONGLONG>(length) * (i + 1) / bands);
        if (to <= from)
            continue;
        if (bVertical) {
            band.top = rc.top + from;
            band.bottom = rc.top + to;
        } else {
            band.left = rc.left + from;
            band.right = rc.left + to;
        }
        CGdiObject<HBRUSH> brush(CreateSolidBrush(RGB(mix(16), mix(8), mix(0))));
        if (brush)
            FillRect(hDC, &band, brush.Get());
    }
}

} // namespace SkinUI
