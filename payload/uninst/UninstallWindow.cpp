#include "payload/uninst/UninstallWindow.h"

#include "installer/services/Product.h"
#include "installer/services/SlimLock.h"

#include "skinui/core/TextFormat.h"

using SkinUI::CGdiObject;
using SkinUI::CSelectObject;

namespace {

const wchar_t kClassName[] = L"QuillmossdexUninstall";
// The installer's window: white, its teal for the bar and the title.
constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kTitleColor = RGB(0x1F, 0x7A, 0x6E);
constexpr COLORREF kTextColor = RGB(0x55, 0x55, 0x55);
constexpr COLORREF kBarBackground = RGB(0xE4, 0xE8, 0xE8);
constexpr COLORREF kBarFill = RGB(0x1F, 0x9A, 0x8A);
// The client area at 96 dpi.
constexpr int kWidth = 420;
constexpr int kHeight = 150;
const wchar_t kFace[] = L"微软雅黑";

// The display's density; the manifest declares per-monitor awareness, so
// the window draws at the display's own scale.
int ScreenDpi() {
    SkinUI::CWindowDC screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

} // namespace

bool CUninstallWindow::Open() {
    if (m_hwnd)
        return true;
    m_ready.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_ready)
        return false;
    m_thread.Reset(CreateThread(nullptr, 0, ThreadEntry, this, 0, nullptr));
    if (!m_thread)
        return false;
    // The window exists (or failed to) before the first step is shown.
    const HANDLE waits[] = {m_ready.Get(), m_thread.Get()};
    WaitForMultipleObjects(2, waits, FALSE, 10000);
    return m_hwnd != nullptr;
}

void CUninstallWindow::Show(const std::wstring& step, int percent) {
    {
        CSlimLockHold hold(&m_lock);
        if (m_step == step && m_percent == percent)
            return;
        m_step = step;
        m_percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    }
    // The window's own thread repaints.
    if (m_hwnd)
        InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CUninstallWindow::Close() {
    if (m_hwnd)
        PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    if (m_thread)
        WaitForSingleObject(m_thread.Get(), 10000);
    m_thread.Reset();
    m_hwnd = nullptr;
}

DWORD WINAPI CUninstallWindow::ThreadEntry(void* param) {
    auto* self = static_cast<CUninstallWindow*>(param);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor =
        LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW, which is narrow text here */);
    wc.lpszClassName = kClassName;
    // The program's icon, when it carries one.
    wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(104));
    RegisterClassExW(&wc);
    self->m_dpi = ScreenDpi();
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT rc = {0, 0, self->Scale(kWidth), self->Scale(kHeight)};
    AdjustWindowRectEx(&rc, style, FALSE, 0);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const std::wstring title = std::wstring(L"卸载") + kProductName;
    HWND hwnd = CreateWindowExW(0, kClassName, title.c_str(), style,
                                work.left + (work.right - work.left - width) / 2,
                                work.top + (work.bottom - work.top - height) / 2, width, height,
                                nullptr, nullptr, wc.hInstance, self);
    self->m_hwnd = hwnd;
    SetEvent(self->m_ready.Get());
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

LRESULT CALLBACK CUninstallWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CUninstallWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_NCCREATE: {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
    }
    case WM_PAINT:
        if (self)
            self->Paint(hwnd);
        else
            ValidateRect(hwnd, nullptr);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SYSCOMMAND:
        // A removal half done is worse than one that finishes: the close
        // command of the caption is not taken while it runs.
        if ((wParam & 0xFFF0) == SC_CLOSE)
            return 0;
        break;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void CUninstallWindow::Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    std::wstring step;
    int percent = 0;
    {
        CSlimLockHold hold(&m_lock);
        step = m_step;
        percent = m_percent;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    // Drawn off screen and put up in one piece, so the bar never flickers.
    SkinUI::CMemoryDC memory(hdc);
    CGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(hdc, client.right, client.bottom));
    if (!memory || !bitmap) {
        EndPaint(hwnd, &ps);
        return;
    }
    CSelectObject selectBitmap(memory.Get(), bitmap.Get());
    HDC dc = memory.Get();
    CGdiObject<HBRUSH> background(CreateSolidBrush(kBackground));
    FillRect(dc, &client, background.Get());
    SetBkMode(dc, TRANSPARENT);

    const int margin = Scale(24);
    CGdiObject<HFONT> titleFont(CreateFontW(
        -Scale(16), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, kFace));
    CGdiObject<HFONT> textFont(CreateFontW(-Scale(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                           CLEARTYPE_QUALITY, DEFAULT_PITCH, kFace));
    {
        CSelectObject font(dc, titleFont.Get());
        SetTextColor(dc, kTitleColor);
        RECT rc = {margin, Scale(20), client.right - margin, Scale(48)};
        const std::wstring title = std::wstring(L"正在卸载") + kProductName;
        DrawTextW(dc, title.c_str(), -1, &rc, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    }
    {
        CSelectObject font(dc, textFont.Get());
        SetTextColor(dc, kTextColor);
        const std::wstring percentText = SkinUI::DecimalText(percent) + L"%";
        RECT line = {margin, Scale(64), client.right - margin, Scale(84)};
        RECT stepRect = line;
        stepRect.right -= Scale(50);
        DrawTextW(dc, step.c_str(), -1, &stepRect,
                  DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_PATH_ELLIPSIS | DT_NOPREFIX);
        DrawTextW(dc, percentText.c_str(), -1, &line, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    }
    RECT bar = {margin, Scale(94), client.right - margin, Scale(100)};
    CGdiObject<HBRUSH> barBrush(CreateSolidBrush(kBarBackground));
    FillRect(dc, &bar, barBrush.Get());
    RECT fill = bar;
    fill.right = bar.left + MulDiv(bar.right - bar.left, percent, 100);
    CGdiObject<HBRUSH> fillBrush(CreateSolidBrush(kBarFill));
    FillRect(dc, &fill, fillBrush.Get());

    BitBlt(hdc, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    EndPaint(hwnd, &ps);
}
