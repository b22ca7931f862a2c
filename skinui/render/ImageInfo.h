// The two records of image drawing: a decoded image as the window's image
// table holds it, and an image description parsed once for drawing.
#pragma once

#include <windows.h>

#include "skinui/core/SkinString.h"
#include "skinui/core/SkinTypes.h"

namespace SkinUI {

// A decoded image. The bitmap is a top-down 32-bit DIB section whose bytes are
// blue, green, red, alpha with the colours premultiplied by alpha, which is
// what AlphaBlend with AC_SRC_ALPHA expects. Released with
// CRenderEngine::FreeImage by the table that holds it.
struct TImageInfo {
    HBITMAP hBitmap = nullptr;
    // Always null after loading: the pixels are reached through the bitmap.
    LPBYTE pBits = nullptr;
    // Copy of the loaded pixels kept for the colour adjustment of images
    // registered with use-HSL; null otherwise.
    LPBYTE pSrcBits = nullptr;
    int nX = 0;
    int nY = 0;
    // Some pixel is not fully opaque, or the mask colour matched: the image
    // must be blended, not copied.
    bool bAlpha = false;
    bool bUseHSL = false;
    CSkinString sResType;
    DWORD dwMask = 0;
};

// An image description text and its modifier, parsed (see ImageDescription.h).
struct TDrawInfo {
    CSkinString sDrawString;
    CSkinString sDrawModify;
    CSkinString sImageName;
    CSkinString sResType;
    CSkinRect rcDest;
    CSkinRect rcSource;
    CSkinRect rcCorner;
    DWORD dwMask = 0;
    BYTE uFade = 255;
    bool bHole = false;
    bool bTiledX = false;
    bool bTiledY = false;
    bool bHSL = false;

    // Back to the defaults. The resource type is kept: it is only ever set by
    // a "restype" item, and a record is cleared once, right after creation.
    void Clear() {
        sDrawString.Empty();
        sDrawModify.Empty();
        sImageName.Empty();
        rcDest.Empty();
        rcSource.Empty();
        rcCorner.Empty();
        dwMask = 0;
        uFade = 255;
        bHole = bTiledX = bTiledY = bHSL = false;
    }
};

} // namespace SkinUI
