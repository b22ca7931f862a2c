// The flat GDI+ functions the render engine and the paint manager use, looked
// up once in the system copy of gdiplus.dll, so that no program imports GDI+
// statically and a missing or planted gdiplus.dll never stops the program.
#pragma once

#include <windows.h>

// The headers are used for their types only; every call goes through the table.
#include <gdiplus.h>

namespace SkinUI {

struct TGdiplusApi {
    decltype(&Gdiplus::GdiplusStartup) Startup;
    decltype(&Gdiplus::GdiplusShutdown) Shutdown;
    decltype(&Gdiplus::DllExports::GdipCreateFromHDC) CreateFromHDC;
    decltype(&Gdiplus::DllExports::GdipDeleteGraphics) DeleteGraphics;
    decltype(&Gdiplus::DllExports::GdipSetTextRenderingHint) SetTextRenderingHint;
    decltype(&Gdiplus::DllExports::GdipSetSmoothingMode) SetSmoothingMode;
    decltype(&Gdiplus::DllExports::GdipSetInterpolationMode) SetInterpolationMode;
    decltype(&Gdiplus::DllExports::GdipCreateSolidFill) CreateSolidFill;
    decltype(&Gdiplus::DllExports::GdipDeleteBrush) DeleteBrush;
    decltype(&Gdiplus::DllExports::GdipFillRectangleI) FillRectangleI;
    decltype(&Gdiplus::DllExports::GdipCreatePen1) CreatePen1;
    decltype(&Gdiplus::DllExports::GdipSetPenMode) SetPenMode;
    decltype(&Gdiplus::DllExports::GdipDeletePen) DeletePen;
    decltype(&Gdiplus::DllExports::GdipDrawRectangleI) DrawRectangleI;
    decltype(&Gdiplus::DllExports::GdipCreateFontFromDC) CreateFontFromDC;
    decltype(&Gdiplus::DllExports::GdipDeleteFont) DeleteFont;
    decltype(&Gdiplus::DllExports::GdipStringFormatGetGenericTypographic)
        StringFormatGetGenericTypographic;
    decltype(&Gdiplus::DllExports::GdipCloneStringFormat) CloneStringFormat;
    decltype(&Gdiplus::DllExports::GdipDeleteStringFormat) DeleteStringFormat;
    decltype(&Gdiplus::DllExports::GdipGetStringFormatFlags) GetStringFormatFlags;
    decltype(&Gdiplus::DllExports::GdipSetStringFormatFlags) SetStringFormatFlags;
    decltype(&Gdiplus::DllExports::GdipSetStringFormatTrimming) SetStringFormatTrimming;
    decltype(&Gdiplus::DllExports::GdipSetStringFormatAlign) SetStringFormatAlign;
    decltype(&Gdiplus::DllExports::GdipSetStringFormatLineAlign) SetStringFormatLineAlign;
    decltype(&Gdiplus::DllExports::GdipDrawString) DrawString;
    decltype(&Gdiplus::DllExports::GdipMeasureString) MeasureString;
};

// The table, or null when gdiplus.dll or one of its functions is missing; the
// lookup happens once per process.
const TGdiplusApi* GetGdiplusApi();

// Holds GDI+ started for its lifetime (one per resources object, and in tools and
// tests that draw without one). Starting is reference counted by GDI+ itself.
class CGdiplusSession {
public:
    CGdiplusSession();
    ~CGdiplusSession();
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;

    bool IsStarted() const { return m_started; }

private:
    ULONG_PTR m_token = 0;
    bool m_started = false;
};

// A GDI+ graphics object on a device context for the length of one call.
class CGdiplusGraphics {
public:
    explicit CGdiplusGraphics(HDC hDC) : m_api(GetGdiplusApi()) {
        if (m_api && m_api->CreateFromHDC(hDC, &m_graphics) != Gdiplus::Ok)
            m_graphics = nullptr;
    }
    ~CGdiplusGraphics() {
        if (m_graphics)
            m_api->DeleteGraphics(m_graphics);
    }
    CGdiplusGraphics(const CGdiplusGraphics&) = delete;
    CGdiplusGraphics& operator=(const CGdiplusGraphics&) = delete;

    const TGdiplusApi* Api() const { return m_api; }
    Gdiplus::GpGraphics* Get() const { return m_graphics; }
    explicit operator bool() const { return m_graphics != nullptr; }

private:
    const TGdiplusApi* m_api;
    Gdiplus::GpGraphics* m_graphics = nullptr;
};

} // namespace SkinUI
