// The scale a paint manager applies to sizes written in the skin. The skin is
// drawn for 96 dots per inch (scale 100); nothing in the installer changes the
// scale, so every scaling leaves its value as it is.
#pragma once

#include <windows.h>

namespace SkinUI {

class CDPI {
public:
    CDPI() = default;

    int GetDPI() const { return m_nDPI; }
    // Dots per inch x 100 / 96: 100 at 96 dpi, 150 at 144 dpi.
    int GetScale() const { return m_nScale; }
    void SetDPI(int dpi);

    // value x scale / 100, rounded to the nearest integer.
    int Scale(int value) const;
    // Scales left, top, width and height, and rebuilds right and bottom from
    // them, so that a rectangle keeps its scaled size wherever it lies.
    void Scale(RECT* rc) const;
    void Scale(SIZE* size) const;
    void Scale(POINT* pt) const;

private:
    int m_nDPI = 96;
    int m_nScale = 100;
};

} // namespace SkinUI
