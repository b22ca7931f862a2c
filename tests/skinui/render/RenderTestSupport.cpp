#include "RenderTestSupport.h"

#include "skinui/render/GdiplusApi.h"

#include <gtest/gtest.h>
#include <zlib.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace rendertest {

Canvas::Canvas(int width, int height, DWORD fill) : m_width(width), m_height(height) {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_dc = CreateCompatibleDC(nullptr);
    m_bitmap = CreateDIBSection(m_dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<DWORD*>(bits);
    m_old = SelectObject(m_dc, m_bitmap);
    Fill(fill);
}

Canvas::~Canvas() {
    SelectObject(m_dc, m_old);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
}

void Canvas::Fill(DWORD argb) {
    GdiFlush();
    for (int i = 0; i < m_width * m_height; ++i)
        m_bits[i] = argb;
}

DWORD Canvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0xDEADBEEF;
    GdiFlush();
    return m_bits[y * m_width + x];
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

namespace {

void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, unsigned long v) {
    Put16(out, v & 0xFFFF);
    Put16(out, (v >> 16) & 0xFFFF);
}

} // namespace

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string out, directory;
    for (const auto& entry : entries) {
        const std::string& name = entry.first;
        const std::string& data = entry.second;
        const unsigned long crc =
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
        const unsigned long offset = static_cast<unsigned long>(out.size());
        Put32(out, 0x04034b50);
        Put16(out, 20); // version needed
        Put16(out, 0);  // flags
        Put16(out, 0);  // stored
        Put32(out, 0);  // time and date
        Put32(out, crc);
        Put32(out, static_cast<unsigned long>(data.size()));
        Put32(out, static_cast<unsigned long>(data.size()));
        Put16(out, static_cast<unsigned>(name.size()));
        Put16(out, 0);
        out += name;
        out += data;

        Put32(directory, 0x02014b50);
        Put16(directory, 20); // made by
        Put16(directory, 20); // needed
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, 0);
        Put32(directory, crc);
        Put32(directory, static_cast<unsigned long>(data.size()));
        Put32(directory, static_cast<unsigned long>(data.size()));
        Put16(directory, static_cast<unsigned>(name.size()));
        Put16(directory, 0); // extra
        Put16(directory, 0); // comment
        Put16(directory, 0); // disk
        Put16(directory, 0); // internal attributes
        Put32(directory, 0); // external attributes
        Put32(directory, offset);
        directory += name;
    }
    const unsigned long directoryOffset = static_cast<unsigned long>(out.size());
    out += directory;
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<unsigned>(entries.size()));
    Put16(out, static_cast<unsigned>(entries.size()));
    Put32(out, static_cast<unsigned long>(directory.size()));
    Put32(out, directoryOffset);
    Put16(out, 0);
    return out;
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
