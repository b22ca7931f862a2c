#include "SkinTestWindow.h"

#include "skinui/window/PaintManagerUI.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include <algorithm>

namespace skinwin {

using namespace SkinUI;

namespace {

void AppendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::string*>(context);
    out->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], needed,
                        nullptr, nullptr);
    return utf8;
}

bool RemoveFolder(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

} // namespace

std::string MakePng(int width, int height, const std::function<DWORD(int x, int y)>& pixel) {
    std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const DWORD argb = pixel(x, y);
            unsigned char* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            p[0] = static_cast<unsigned char>(argb >> 16);
            p[1] = static_cast<unsigned char>(argb >> 8);
            p[2] = static_cast<unsigned char>(argb);
            p[3] = static_cast<unsigned char>(argb >> 24);
        }
    }
    std::string png;
    stbi_write_png_to_func(AppendBytes, &png, width, height, 4, rgba.data(), width * 4);
    return png;
}

std::string SolidPng(int width, int height, DWORD argb) {
    return MakePng(width, height, [argb](int, int) { return argb; });
}

// =============================================================================
// SkinFolder
// =============================================================================

SkinFolder::SkinFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[MAX_PATH];
        swprintf(name, MAX_PATH, L"%lsskinwin-%lu-%ld", temp, GetCurrentProcessId(),
                 InterlockedIncrement(&counter));
        if (CreateDirectoryW(name, nullptr)) {
            m_path = name;
            break;
        }
    }
    CPaintManagerUI::SetResourcePath((m_path + L"\\").c_str());
}

SkinFolder::~SkinFolder() {
    CPaintManagerUI::SetResourcePath(L"");
    if (!m_path.empty())
        RemoveFolder(m_path);
}

bool SkinFolder::Write(const std::wstring& name, const std::string& bytes) const {
    HANDLE file = CreateFileW((m_path + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool SkinFolder::WriteText(const std::wstring& name, const std::wstring& text) const {
    return Write(name, ToUtf8(text));
}

// =============================================================================
// SkinTestWindow
// =============================================================================

SkinTestWindow::SkinTestWindow(std::wstring skin) : m_skin(std::move(skin)) {
    if (CPaintManagerUI::GetInstance() == nullptr)
        CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
}

SkinTestWindow::~SkinTestWindow() {
    if (IsWindow(m_hWnd)) {
        allowClose = true;
        DestroyWindow(m_hWnd);
    }
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
        DispatchMessageW(&msg);
}

bool SkinTestWindow::Open(int x, int y) {
    if (Create(nullptr, L"skin test", WS_POPUP, WS_EX_TOPMOST, x, y, 10, 10) == nullptr)
        return false;
    SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    // Shown without activation: Wine treats an activated popup as managed by
    // the window manager, which Xvfb does not have, and then waits two
    // seconds for it whenever the window is hidden or destroyed.
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ::SetFocus(m_hWnd);
    Pump();
    Paint();
    Pump();
    return true;
}

void SkinTestWindow::Pump() {
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

bool SkinTestWindow::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        Pump();
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void SkinTestWindow::Paint() {
    UpdateWindow(m_hWnd);
}

void SkinTestWindow::MouseMove(int x, int y) {
    POINT screen = {x, y};
    ClientToScreen(m_hWnd, &screen);
    SetCursorPos(screen.x, screen.y);
    ::SendMessageW(m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

void SkinTestWindow::LButtonDown(int x, int y) {
    MouseMove(x, y);
    ::SendMessageW(m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

void SkinTestWindow::LButtonUp(int x, int y) {
    MouseMove(x, y);
    ::SendMessageW(m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void SkinTestWindow::LButtonDblClk(int x, int y) {
    MouseMove(x, y);
    ::SendMessageW(m_hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
}

void SkinTestWindow::Click(int x, int y) {
    LButtonDown(x, y);
    ::SendMessageW(m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

POINT SkinTestWindow::CenterOf(CControlUI* control) const {
    const RECT& rc = control->GetPos();
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void SkinTestWindow::ClickControl(CControlUI* control) {
    const POINT pt = CenterOf(control);
    Click(pt.x, pt.y);
}

void SkinTestWindow::PostKey(WPARAM vk, HWND target) {
    HWND to = target != nullptr ? target : m_hWnd;
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    ::PostMessageW(to, WM_KEYDOWN, vk, 1 | (scan << 16));
    Pump();
    ::PostMessageW(to, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000);
    Pump();
}

void SkinTestWindow::PostChar(wchar_t ch, HWND target) {
    ::PostMessageW(target != nullptr ? target : m_hWnd, WM_CHAR, ch, 1);
    Pump();
}

std::vector<DWORD> SkinTestWindow::Capture() {
    Paint();
    RECT rc = {};
    GetClientRect(m_hWnd, &rc);
    m_width = rc.right;
    m_height = rc.bottom;
    std::vector<DWORD> pixels(static_cast<size_t>(m_width) * m_height, 0);
    if (m_width <= 0 || m_height <= 0)
        return pixels;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = -m_height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC windowDC = GetDC(m_hWnd);
    HDC dc = CreateCompatibleDC(windowDC);
    DWORD* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS,
                                      reinterpret_cast<void**>(&bits), nullptr, 0);
    ReleaseDC(m_hWnd, windowDC);
    HGDIOBJ old = SelectObject(dc, bitmap);
    ::SendMessageW(m_hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = bits[i] & 0x00FFFFFF;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

DWORD SkinTestWindow::Pixel(int x, int y) {
    const std::vector<DWORD> pixels = Capture();
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0xDEADBEEF;
    return pixels[static_cast<size_t>(y) * m_width + x];
}

std::vector<std::wstring> SkinTestWindow::Of(std::initializer_list<const wchar_t*> types) const {
    std::vector<std::wstring> out;
    for (const std::wstring& entry : notifications) {
        const std::wstring type = entry.substr(0, entry.find(L' '));
        if (std::any_of(types.begin(), types.end(), [&](const wchar_t* t) { return type == t; }))
            out.push_back(entry);
    }
    return out;
}

void SkinTestWindow::Notify(TNotifyUI& msg) {
    std::wstring entry = msg.type.GetData();
    entry += L' ';
    entry += msg.sender != nullptr ? msg.sender->GetName().GetData() : L"-";
    notifications.push_back(entry);
    WindowImplBase::Notify(msg);
    if (onNotify)
        onNotify(msg);
}

CSkinString SkinTestWindow::GetSkinFileName() {
    return CSkinString(m_skin.c_str());
}

LRESULT SkinTestWindow::OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    ++closeRequests;
    lastCloseCode = wParam;
    if (allowClose)
        return WindowImplBase::OnClose(msg, wParam, lParam, handled);
    handled = true;
    return 0;
}

} // namespace skinwin
