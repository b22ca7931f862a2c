#include "RenderTestSupport.h"

#include "skinui/render/GdiplusApi.h"

#include <gtest/gtest.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace rendertest {

Canvas::Canvas(int width, int height, DWORD fill)
    : m_width(width), m_height(height), m_dc(nullptr), m_dib(m_dc.Get(), width, height),
      m_select(m_dc.Get(), m_dib.Get()) {
    Fill(fill);
}

void Canvas::Fill(DWORD argb) {
    GdiFlush();
    for (int i = 0; i < m_width * m_height; ++i)
        m_dib.Bits()[i] = argb;
}

DWORD Canvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0xDEADBEEF;
    GdiFlush();
    return m_dib.Bits()[y * m_width + x];
}

int Canvas::CountOtherThan(const RECT& rc, DWORD rgb) const {
    int count = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            if (Rgb(x, y) != (rgb & 0x00FFFFFF))
                ++count;
    return count;
}

RECT Canvas::InkBox(DWORD rgb) const {
    RECT box = {m_width, m_height, 0, 0};
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            if (Rgb(x, y) != (rgb & 0x00FFFFFF)) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    if (box.right == 0)
        return RECT{};
    return box;
}

void Image::FillRect(int l, int t, int r, int b, DWORD argb) {
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x)
            Set(x, y, argb);
}

std::string Image::Png() const {
    std::vector<unsigned char> rgba(pixels.size() * 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
        rgba[i * 4 + 0] = static_cast<unsigned char>(pixels[i] >> 16);
        rgba[i * 4 + 1] = static_cast<unsigned char>(pixels[i] >> 8);
        rgba[i * 4 + 2] = static_cast<unsigned char>(pixels[i]);
        rgba[i * 4 + 3] = static_cast<unsigned char>(pixels[i] >> 24);
    }
    std::string out;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
        },
        &out, width, height, 4, rgba.data(), width * 4);
    return out;
}

} // namespace rendertest

namespace {

// GDI+ started for the whole test program, as a paint manager would hold it
// for its window.
class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_session = new SkinUI::CGdiplusSession; }
    void TearDown() override {
        delete m_session;
        m_session = nullptr;
    }

private:
    SkinUI::CGdiplusSession* m_session = nullptr;
};

const auto* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

} // namespace
