// A clip region that keeps a control's painting inside its rectangle (and its
// round corners) for the length of one paint call, and restores the device
// context's previous clip when it goes out of scope.
#pragma once

#include <windows.h>

#include "skinui/core/Handles.h"

namespace SkinUI {

// Clips nest by construction order and must be destroyed in reverse order on
// the same device context, which a clip living on the stack of a paint call
// gives for free.
class CRenderClip {
public:
    CRenderClip() = default;
    ~CRenderClip();
    CRenderClip(const CRenderClip&) = delete;
    CRenderClip& operator=(const CRenderClip&) = delete;

    // Narrows the clip of hDC to rc.
    static void GenerateClip(HDC hDC, RECT rc, CRenderClip& clip);
    // Narrows the clip of hDC to rc and to rcItem with rounded corners of the
    // given ellipse size.
    static void GenerateRoundClip(HDC hDC, RECT rc, RECT rcItem, int width, int height,
                                  CRenderClip& clip);
    // Between the pair the clip is the one from before the clip was generated,
    // so that a container can paint outside the area of its children.
    static void UseOldClipBegin(HDC hDC, CRenderClip& clip);
    static void UseOldClipEnd(HDC hDC, CRenderClip& clip);

    RECT rcItem = {};
    HDC hDC = nullptr;
    // Owned: the clip's own region, in device coordinates.
    CGdiObject<HRGN> hRgn;
    // Owned: the clip region of hDC before this clip, in device coordinates;
    // null when hDC had no clip region at all.
    CGdiObject<HRGN> hOldRgn;

private:
    void Reset();
    void Begin(HDC dc, const RECT& rc);
};

} // namespace SkinUI
