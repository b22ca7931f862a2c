// The scale a paint manager applies to sizes written in the skin. The skin is
// written for 96 dots per inch (scale 100); a window on a display of another
// density takes that display's dots per inch, and every size read from the
// skin is scaled by it.
#pragma once

#include <windows.h>

namespace SkinUI {

class CDPI {
public:
    CDPI() = default;

    int GetDPI() const { return m_nDPI; }
    // Dots per inch x 100 / 96: 100 at 96 dpi, 150 at 144 dpi.
    int GetScale() const { return m_nScale; }
    // Values of 0 or below mean 96.
    void SetDPI(int dpi);
    // Sets the scale directly (dots per inch = scale x 96 / 100); for previews
    // of a skin at any scale.
    void SetScale(int scale);

    // value x scale / 100, rounded to the nearest integer.
    int Scale(int value) const;
    // Scales left, top, width and height, and rebuilds right and bottom from
    // them, so that a rectangle keeps its scaled size wherever it lies.
    void Scale(RECT* rc) const;
    void Scale(SIZE* size) const;
    void Scale(POINT* pt) const;
    // The inverse of Scale(int): value x 100 / scale, rounded.
    int Unscale(int value) const;

    // The dots per inch a window is shown at: its own where the system tracks
    // it per window (Windows 10 1607 and later), else that of its monitor
    // (8.1 and later), else the system's. 96 when nothing answers.
    static int GetWindowDPI(HWND window);

private:
    int m_nDPI = 96;
    int m_nScale = 100;
};

} // namespace SkinUI
