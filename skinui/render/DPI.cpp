#include "skinui/render/DPI.h"

namespace SkinUI {

void CDPI::SetDPI(int dpi) {
    if (dpi <= 0)
        dpi = 96;
    m_nDPI = dpi;
    m_nScale = MulDiv(dpi, 100, 96);
}

int CDPI::Scale(int value) const {
    if (m_nScale == 100)
        return value;
    return MulDiv(value, m_nScale, 100);
}

void CDPI::Scale(RECT* rc) const {
    if (rc == nullptr || m_nScale == 100)
        return;
    const int width = Scale(static_cast<int>(rc->right - rc->left));
    const int height = Scale(static_cast<int>(rc->bottom - rc->top));
    rc->left = Scale(static_cast<int>(rc->left));
    rc->top = Scale(static_cast<int>(rc->top));
    rc->right = rc->left + width;
    rc->bottom = rc->top + height;
}

void CDPI::Scale(SIZE* size) const {
    if (size == nullptr)
        return;
    size->cx = Scale(static_cast<int>(size->cx));
    size->cy = Scale(static_cast<int>(size->cy));
}

void CDPI::Scale(POINT* pt) const {
    if (pt == nullptr)
        return;
    pt->x = Scale(static_cast<int>(pt->x));
    pt->y = Scale(static_cast<int>(pt->y));
}

} // namespace SkinUI
