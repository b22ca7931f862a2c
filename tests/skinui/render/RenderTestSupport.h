// Canvases and fixtures for the render engine's tests: a small 32-bit DIB
// section in a memory DC whose pixels the tests read back, and PNG files made
// in memory from pixels the test chooses.
#pragma once

#include <windows.h>

#include "skinui/core/Handles.h"
#include "skinui/render/RenderEngine.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace rendertest {

// A top-down 32-bit DIB section selected into its own memory DC.
class Canvas {
public:
    Canvas(int width, int height, DWORD fill = 0xFF000000);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC DC() const { return m_dc.Get(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    RECT Bounds() const { return RECT{0, 0, m_width, m_height}; }

    // Every pixel set to the value (0xAARRGGBB, stored as B, G, R, A bytes).
    void Fill(DWORD argb);
    // The pixel as 0xAARRGGBB; 0xDEADBEEF outside the canvas.
    DWORD Pixel(int x, int y) const;
    // The pixel with its alpha byte masked off, for GDI calls that leave the
    // alpha byte undefined.
    DWORD Rgb(int x, int y) const { return Pixel(x, y) & 0x00FFFFFF; }
    // Number of pixels in the rectangle whose colour (alpha ignored) differs
    // from rgb.
    int CountOtherThan(const RECT& rc, DWORD rgb) const;
    // Bounding box of the pixels whose colour (alpha ignored) differs from
    // rgb; empty when there are none.
    RECT InkBox(DWORD rgb) const;

private:
    int m_width;
    int m_height;
    // Declared in the order of making; the selection is undone first.
    SkinUI::CMemoryDC m_dc;
    SkinUI::CDibSection m_dib;
    SkinUI::CSelectObject m_select;
};

// Pixels of a test image, row by row, as 0xAARRGGBB (straight, not
// premultiplied), and their PNG encoding.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;

    Image(int w, int h, DWORD fill) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    void Set(int x, int y, DWORD argb) { pixels[size_t(y) * width + x] = argb; }
    void FillRect(int l, int t, int r, int b, DWORD argb);
    std::string Png() const;
};

// An image decoded by the engine from a PNG, freed with the engine.
class LoadedPng {
public:
    explicit LoadedPng(const std::string& png, DWORD mask = 0)
        : m_info(SkinUI::CRenderEngine::LoadImageFromMemory(
              reinterpret_cast<const BYTE*>(png.data()), static_cast<DWORD>(png.size()), mask)) {}
    ~LoadedPng() { SkinUI::CRenderEngine::FreeImage(m_info); }
    SkinUI::TImageInfo* operator->() const { return m_info; }
    SkinUI::TImageInfo* Get() const { return m_info; }

    // The pixel of the loaded bitmap as 0xAARRGGBB.
    DWORD Pixel(int x, int y) const {
        DIBSECTION dib = {};
        GetObjectW(m_info->hBitmap, sizeof(dib), &dib);
        return static_cast<const DWORD*>(dib.dsBm.bmBits)[y * m_info->nX + x];
    }

private:
    SkinUI::TImageInfo* m_info;
};

} // namespace rendertest
