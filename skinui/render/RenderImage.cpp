// DrawImage: one bitmap into one rectangle as up to nine pieces (fixed-size
// corners, edges stretched along one axis, the middle stretched or tiled),
// copied when the image is opaque and unfaded, blended otherwise.
#include "skinui/render/RenderEngine.h"

#include "skinui/core/Handles.h"
#include "skinui/render/RenderBlend.h"

#include <algorithm>

namespace SkinUI {

namespace {

// Draws pieces of the bitmap selected into a memory DC onto the target.
class CPieceDrawer {
public:
    CPieceDrawer(HDC target, HDC source, const RECT& rcPaint, bool blend, BYTE fade)
        : m_target(target), m_source(source), m_paint(rcPaint), m_blend(blend), m_fade(fade) {}

    // Stretches the source part (sx, sy, sw, sh) onto dst when dst is not
    // empty, meets the paint rectangle and the source part has an area. A
    // negative size would mirror the piece, so it is skipped as well.
    void Piece(const RECT& dst, int sx, int sy, int sw, int sh) const {
        RECT visible;
        if (sw <= 0 || sh <= 0 || !IntersectRect(&visible, &dst, &m_paint))
            return;
        const int w = dst.right - dst.left;
        const int h = dst.bottom - dst.top;
        if (m_blend)
            AlphaBlendPiece(m_target, dst.left, dst.top, w, h, m_source, sx, sy, sw, sh, m_fade);
        else if (w == sw && h == sh)
            BitBlt(m_target, dst.left, dst.top, w, h, m_source, sx, sy, SRCCOPY);
        else
            StretchBlt(m_target, dst.left, dst.top, w, h, m_source, sx, sy, sw, sh, SRCCOPY);
    }

    // The middle repeated across and/or down from its left-top corner; a
    // tiled direction whose source size is 0 or less cannot repeat and draws
    // nothing, and the last tile in each direction is cut at the middle's end.
    void TiledMiddle(const RECT& m, int sx, int sy, int tw, int th, bool xtiled,
                     bool ytiled) const {
        if ((xtiled && tw <= 0) || (ytiled && th <= 0))
            return;
        // 64-bit positions, so that stepping past a middle that ends near
        // INT_MAX cannot wrap around.
        const LONGLONG stepX = xtiled ? tw : static_cast<LONGLONG>(m.right) - m.left;
        const LONGLONG stepY = ytiled ? th : static_cast<LONGLONG>(m.bottom) - m.top;
        for (LONGLONG top = m.top; top < m.bottom; top += stepY) {
            const LONG bottom = static_cast<LONG>(std::min<LONGLONG>(top + stepY, m.bottom));
            for (LONGLONG left = m.left; left < m.right; left += stepX) {
                const LONG right = static_cast<LONG>(std::min<LONGLONG>(left + stepX, m.right));
                // A tiled direction copies the cut length of source; a
                // stretched one spans the whole source middle.
                const int sw = xtiled ? static_cast<int>(right - left) : tw;
                const int sh = ytiled ? static_cast<int>(bottom - top) : th;
                Piece(RECT{static_cast<LONG>(left), static_cast<LONG>(top), right, bottom}, sx, sy,
                      sw, sh);
            }
        }
    }

private:
    HDC m_target;
    HDC m_source;
    RECT m_paint;
    bool m_blend;
    BYTE m_fade;
};

} // namespace

void CRenderEngine::DrawImage(HDC hDC, HBITMAP hBitmap, const RECT& rc, const RECT& rcPaint,
                              const RECT& rcBmpPart, const RECT& rcCorners, bool bAlpha, BYTE uFade,
                              bool hole, bool xtiled, bool ytiled) {
    if (hDC == nullptr || hBitmap == nullptr)
        return;
    CMemoryDC memDC(hDC);
    if (!memDC)
        return;
    CSelectObject selected(memDC.Get(), hBitmap);
    SetStretchBltMode(hDC, HALFTONE);
    // HALFTONE stretching leaves the brush origin undefined until it is set.
    SetBrushOrgEx(hDC, 0, 0, nullptr);

    const RECT& D = rc;
    const RECT& S = rcBmpPart;
    const RECT& K = rcCorners;
    const bool blend = bAlpha || uFade < 255;

    // An opaque image drawn 1:1 without corners is one copy of the part that
    // is to be repainted, whatever the hole and tiling flags say.
    if (!blend && D.right - D.left == S.right - S.left && D.bottom - D.top == S.bottom - S.top &&
        K.left == 0 && K.top == 0 && K.right == 0 && K.bottom == 0) {
        RECT visible;
        if (IntersectRect(&visible, &D, &rcPaint)) {
            BitBlt(hDC, visible.left, visible.top, visible.right - visible.left,
                   visible.bottom - visible.top, memDC.Get(), S.left + visible.left - D.left,
                   S.top + visible.top - D.top, SRCCOPY);
        }
        return;
    }

    CPieceDrawer draw(hDC, memDC.Get(), rcPaint, blend, uFade);
    const int w = S.right - S.left;
    const int h = S.bottom - S.top;
    const int tw = w - K.left - K.right;
    const int th = h - K.top - K.bottom;

    if (!hole) {
        const RECT middle = {D.left + K.left, D.top + K.top, D.right - K.right,
                             D.bottom - K.bottom};
        if (xtiled || ytiled)
            draw.TiledMiddle(middle, S.left + K.left, S.top + K.top, tw, th, xtiled, ytiled);
        else
            draw.Piece(middle, S.left + K.left, S.top + K.top, tw, th);
    }
    if (K.left > 0 && K.top > 0)
        draw.Piece({D.left, D.top, D.left + K.left, D.top + K.top}, S.left, S.top, K.left, K.top);
    if (K.top > 0)
        draw.Piece({D.left + K.left, D.top, D.right - K.right, D.top + K.top}, S.left + K.left,
                   S.top, tw, K.top);
    if (K.right > 0 && K.top > 0)
        draw.Piece({D.right - K.right, D.top, D.right, D.top + K.top}, S.right - K.right, S.top,
                   K.right, K.top);
    if (K.left > 0)
        draw.Piece({D.left, D.top + K.top, D.left + K.left, D.bottom - K.bottom}, S.left,
                   S.top + K.top, K.left, th);
    if (K.right > 0)
        draw.Piece({D.right - K.right, D.top + K.top, D.right, D.bottom - K.bottom},
                   S.right - K.right, S.top + K.top, K.right, th);
    if (K.left > 0 && K.bottom > 0)
        draw.Piece({D.left, D.bottom - K.bottom, D.left + K.left, D.bottom}, S.left,
                   S.bottom - K.bottom, K.left, K.bottom);
    if (K.bottom > 0)
        draw.Piece({D.left + K.left, D.bottom - K.bottom, D.right - K.right, D.bottom},
                   S.left + K.left, S.bottom - K.bottom, tw, K.bottom);
    if (K.right > 0 && K.bottom > 0)
        draw.Piece({D.right - K.right, D.bottom - K.bottom, D.right, D.bottom}, S.right - K.right,
                   S.bottom - K.bottom, K.right, K.bottom);
}

} // namespace SkinUI
