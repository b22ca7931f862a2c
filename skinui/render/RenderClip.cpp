#include "skinui/render/RenderClip.h"

#include "skinui/core/Handles.h"

namespace SkinUI {

namespace {

// Regions are selected in device coordinates, while callers pass logical
// ones (WM_PRINTCLIENT painting may run with a moved window origin).
RECT ToDevice(HDC hDC, RECT rc) {
    POINT corners[2] = {{rc.left, rc.top}, {rc.right, rc.bottom}};
    LPtoDP(hDC, corners, 2);
    return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

} // namespace

CRenderClip::~CRenderClip() {
    Reset();
}

void CRenderClip::Reset() {
    if (hDC != nullptr)
        SelectClipRgn(hDC, hOldRgn.Get());
    hRgn.Reset();
    hOldRgn.Reset();
    hDC = nullptr;
}

// Records the clip of the moment exactly, not just its bounding box: restoring
// a box would silently drop the round corners of an enclosing round clip for
// everything painted after a nested clip ends.
void CRenderClip::Begin(HDC dc, const RECT& rc) {
    Reset();
    hDC = dc;
    rcItem = rc;
    hOldRgn.Reset(CreateRectRgn(0, 0, 0, 0));
    if (hOldRgn && GetClipRgn(dc, hOldRgn.Get()) != 1)
        hOldRgn.Reset();
}

void CRenderClip::GenerateClip(HDC hDC, RECT rc, CRenderClip& clip) {
    if (hDC == nullptr)
        return;
    clip.Begin(hDC, rc);
    const RECT device = ToDevice(hDC, rc);
    clip.hRgn.Reset(CreateRectRgnIndirect(&device));
    if (clip.hRgn)
        ExtSelectClipRgn(hDC, clip.hRgn.Get(), RGN_AND);
}

void CRenderClip::GenerateRoundClip(HDC hDC, RECT rc, RECT rcItem, int width, int height,
                                    CRenderClip& clip) {
    if (hDC == nullptr)
        return;
    clip.Begin(hDC, rc);
    const RECT device = ToDevice(hDC, rc);
    const RECT item = ToDevice(hDC, rcItem);
    clip.hRgn.Reset(CreateRectRgnIndirect(&device));
    // The rounded region's right and bottom are exclusive one pixel further
    // than a rectangle's, hence the + 1.
    CGdiObject<HRGN> round(
        CreateRoundRectRgn(item.left, item.top, item.right + 1, item.bottom + 1, width, height));
    if (clip.hRgn && round)
        CombineRgn(clip.hRgn.Get(), clip.hRgn.Get(), round.Get(), RGN_AND);
    if (clip.hRgn)
        ExtSelectClipRgn(hDC, clip.hRgn.Get(), RGN_AND);
}

void CRenderClip::UseOldClipBegin(HDC hDC, CRenderClip& clip) {
    if (hDC != nullptr && clip.hDC == hDC)
        SelectClipRgn(hDC, clip.hOldRgn.Get());
}

void CRenderClip::UseOldClipEnd(HDC hDC, CRenderClip& clip) {
    if (hDC == nullptr || clip.hDC != hDC || !clip.hRgn)
        return;
    // The clip as it stood right after GenerateClip: the old clip narrowed
    // by the clip's own region.
    SelectClipRgn(hDC, clip.hOldRgn.Get());
    ExtSelectClipRgn(hDC, clip.hRgn.Get(), RGN_AND);
}

} // namespace SkinUI
