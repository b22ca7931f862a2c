// The floor of the start-up benchmark: the least a Windows program must do to
// show a window like the installer's. It creates one borderless window of the
// installer's size, centred, and paints one bitmap prepared in memory (a calm
// background with a teal bar where the installer's install button is, so the
// benchmark's probe sees both programs the same way).
#include "skinui/core/Handles.h"

#include <windows.h>

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 420;

HDC g_bitmapDC = nullptr;

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        BitBlt(dc, 0, 0, kWidth, kHeight, g_bitmapDC, 0, 0, SRCCOPY);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// Kept for the life of the process, selected into g_bitmapDC.
HBITMAP MakeBitmap() {
    SkinUI::CDibSection dib(nullptr, kWidth, kHeight);
    if (!dib)
        return nullptr;
    DWORD* px = dib.Bits();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool button = x >= 192 && x < 368 && y >= 292 && y < 336;
            px[y * kWidth + x] = button ? 0x0F9D8A : 0xEEF7F5;
        }
    return dib.Release();
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    HBITMAP bitmap = MakeBitmap();
    g_bitmapDC = CreateCompatibleDC(nullptr);
    SelectObject(g_bitmapDC, bitmap);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = L"startup_floor";
    RegisterClassW(&wc);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = (work.left + work.right - kWidth) / 2;
    const int y = (work.top + work.bottom - kHeight) / 2;
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"floor", WS_POPUP, x, y, kWidth, kHeight,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, SW_SHOWNORMAL);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
