#include "skinui/render/DPI.h"

#include "skinui/core/Handles.h"
#include "skinui/core/SystemLibrary.h"

namespace SkinUI {

namespace {

// A scale of 0 or below, or one so large that sizes would overflow, is not a
// scale a display has.
constexpr int kMaxScale = 1000;

// The values of the monitor DPI type and of the call, declared here because
// the headers of older tool chains lack them.
constexpr int kEffectiveDpi = 0;
typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);
typedef HRESULT(WINAPI* GetDpiForMonitorFn)(HMONITOR, int, UINT*, UINT*);

} // namespace

void CDPI::SetDPI(int dpi) {
    if (dpi <= 0 || dpi > kMaxScale * 96 / 100)
        dpi = 96;
    m_nDPI = dpi;
    m_nScale = MulDiv(dpi, 100, 96);
}

void CDPI::SetScale(int scale) {
    if (scale <= 0 || scale > kMaxScale)
        scale = 100;
    m_nScale = scale;
    m_nDPI = MulDiv(scale, 96, 100);
}

int CDPI::Scale(int value) const {
    if (m_nScale == 100)
        return value;
    return MulDiv(value, m_nScale, 100);
}

int CDPI::Unscale(int value) const {
    if (m_nScale == 100)
        return value;
    return MulDiv(value, 100, m_nScale);
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

int CDPI::GetWindowDPI(HWND window) {
    if (window != nullptr) {
        static const auto forWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
        if (forWindow != nullptr) {
            const UINT dpi = forWindow(window);
            if (dpi != 0)
                return static_cast<int>(dpi);
        }
        static const auto forMonitor =
            SystemProc<GetDpiForMonitorFn>(L"shcore.dll", "GetDpiForMonitor");
        if (forMonitor != nullptr) {
            UINT dpiX = 0, dpiY = 0;
            HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
            if (SUCCEEDED(forMonitor(monitor, kEffectiveDpi, &dpiX, &dpiY)) && dpiY != 0)
                return static_cast<int>(dpiY);
        }
    }
    int dpi = 96;
    if (CWindowDC screen{nullptr})
        dpi = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

} // namespace SkinUI
