// Drawing an image description: the placement of the image inside a
// control's rectangle, the source part, and the window's cached parse and
// image table.
#include "skinui/render/RenderEngine.h"

#include "skinui/render/SkinResources.h"

#include <algorithm>

namespace SkinUI {

bool CRenderEngine::DrawImageInfo(HDC hDC, CSkinResources* pManager, const RECT& rcItem,
                                  const RECT& rcPaint, const TDrawInfo* pDrawInfo,
                                  HINSTANCE instance) {
    if (pManager == nullptr || hDC == nullptr || pDrawInfo == nullptr)
        return false;

    // "dest" right and bottom are offsets from the item's left-top corner and
    // are cut at the item's right and bottom edges; left and top are not cut.
    RECT rcDest = rcItem;
    const RECT& dest = pDrawInfo->rcDest;
    if (dest.left != 0 || dest.top != 0 || dest.right != 0 || dest.bottom != 0) {
        rcDest.left = rcItem.left + dest.left;
        rcDest.top = rcItem.top + dest.top;
        rcDest.right = std::min<LONG>(rcItem.right, rcItem.left + dest.right);
        rcDest.bottom = std::min<LONG>(rcItem.bottom, rcItem.top + dest.bottom);
    }

    if (pDrawInfo->sImageName.IsEmpty())
        return false;
    const wchar_t* type = pDrawInfo->sResType.IsEmpty() ? nullptr : pDrawInfo->sResType.GetData();
    TImageInfo* image =
        pManager->GetImageEx(pDrawInfo->sImageName, type, pDrawInfo->dwMask, false, instance);
    if (image == nullptr)
        return false;

    RECT rcSource = pDrawInfo->rcSource;
    if (rcSource.left == 0 && rcSource.top == 0 && rcSource.right == 0 && rcSource.bottom == 0)
        rcSource = RECT{0, 0, image->nX, image->nY};
    rcSource.right = std::min<LONG>(rcSource.right, image->nX);
    rcSource.bottom = std::min<LONG>(rcSource.bottom, image->nY);

    RECT visible;
    if (IntersectRect(&visible, &rcDest, &rcItem) && IntersectRect(&visible, &rcDest, &rcPaint)) {
        DrawImage(hDC, image->hBitmap, rcDest, rcPaint, rcSource, pDrawInfo->rcCorner,
                  pManager->IsLayered() ? true : image->bAlpha, pDrawInfo->uFade, pDrawInfo->bHole,
                  pDrawInfo->bTiledX, pDrawInfo->bTiledY);
    }
    return true;
}

bool CRenderEngine::DrawImageString(HDC hDC, CSkinResources* pManager, const RECT& rcItem,
                                    const RECT& rcPaint, const wchar_t* pStrImage,
                                    const wchar_t* pStrModify, HINSTANCE instance) {
    if (pManager == nullptr || hDC == nullptr)
        return false;
    const TDrawInfo* info = pManager->GetDrawInfo(pStrImage, pStrModify);
    return DrawImageInfo(hDC, pManager, rcItem, rcPaint, info, instance);
}

} // namespace SkinUI
