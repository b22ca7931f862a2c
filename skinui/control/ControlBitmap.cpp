// A control rendered on its own into a new bitmap (the paint manager's drag
// images). A render engine operation that lives with the controls, since it
// needs one to paint.
#include "skinui/render/RenderEngine.h"

#include "skinui/control/ControlUI.h"
#include "skinui/core/Handles.h"
#include "skinui/render/SkinResources.h"

namespace SkinUI {

HBITMAP CRenderEngine::GenerateBitmap(CSkinResources* pManager, CControlUI* pControl, RECT rc) {
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    if (pManager == nullptr || pControl == nullptr || cx <= 0 || cy <= 0)
        return nullptr;
    HDC reference = pManager->GetPaintDC();
    CMemoryDC paintDC(reference);
    if (!paintDC)
        return nullptr;
    BYTE* bits = nullptr;
    HBITMAP bitmap = CreateARGB32Bitmap(reference, cx, cy, &bits);
    if (bitmap == nullptr)
        return nullptr;
    {
        CSelectObject selected(paintDC.Get(), bitmap);
        // The control paints at its window coordinates; moving the origin to
        // the rectangle's corner lands that on the bitmap's first pixel.
        POINT oldOrigin;
        SetWindowOrgEx(paintDC.Get(), rc.left, rc.top, &oldOrigin);
        pControl->DoPaint(paintDC.Get(), rc);
        SetWindowOrgEx(paintDC.Get(), oldOrigin.x, oldOrigin.y, nullptr);
    }
    return bitmap;
}

} // namespace SkinUI
