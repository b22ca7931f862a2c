// The tree dump, the PNG of the client area, and console output.
#include "tools/skinview/SkinOutput.h"

#include "skinui/control/ContainerUI.h"
#include "skinui/control/ControlUI.h"
#include "skinui/core/Handles.h"

// The PNG writer's implementation lives in this file only.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include <cstdio>
#include <vector>

namespace skinview {

namespace {

std::string ToUtf8(const wchar_t* text) {
    if (text == nullptr || *text == L'\0')
        return std::string();
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 1)
        return std::string();
    std::string utf8(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], needed, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(needed) - 1);
    return utf8;
}

void DumpControl(SkinUI::CControlUI* control, int depth, std::string* out) {
    const RECT& rc = control->GetPos();
    char numbers[128];
    snprintf(numbers, sizeof(numbers), "%d,%d,%d,%d", static_cast<int>(rc.left),
             static_cast<int>(rc.top), static_cast<int>(rc.right), static_cast<int>(rc.bottom));
    *out += std::to_string(depth);
    *out += ' ';
    *out += ToUtf8(control->GetClass());
    *out += " \"";
    *out += ToUtf8(control->GetName());
    *out += "\" ";
    *out += numbers;
    *out += control->IsVisible() ? " 1\n" : " 0\n";

    auto* container = static_cast<SkinUI::IContainerUI*>(control->GetInterface(L"IContainer"));
    if (container == nullptr)
        return;
    for (int i = 0; i < container->GetCount(); ++i) {
        if (SkinUI::CControlUI* child = container->GetItemAt(i))
            DumpControl(child, depth + 1, out);
    }
}

void AppendBytes(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<unsigned char>*>(context);
    const auto* begin = static_cast<const unsigned char*>(data);
    bytes->insert(bytes->end(), begin, begin + size);
}

bool WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    SkinUI::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    // Closed before a failed file is deleted; a delayed write can fail at the
    // close.
    const bool ok = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr) != FALSE &&
                    written == bytes.size() && CloseHandle(file.Release());
    file.Reset();
    if (!ok)
        DeleteFileW(path.c_str());
    return ok;
}

} // namespace

std::string DumpTree(SkinUI::CControlUI* root) {
    std::string out;
    if (root != nullptr)
        DumpControl(root, 0, &out);
    return out;
}

bool WriteClientPng(HWND window, const std::wstring& path, std::wstring* error) {
    RECT rc = {};
    GetClientRect(window, &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0) {
        *error = L"the client area is empty";
        return false;
    }
    SkinUI::CWindowDC windowDC(window);
    SkinUI::CMemoryDC dc(windowDC.Get());
    SkinUI::CDibSection bitmap(windowDC.Get(), width, height);
    SkinUI::CSelectObject selected(dc.Get(), bitmap.Get());
    if (!dc || !selected.Selected()) {
        *error = L"cannot create a bitmap of the client area";
        return false;
    }
    // The paint manager paints the tree into a caller's DC on WM_PRINTCLIENT
    // exactly as into its own off-screen bitmap on WM_PAINT.
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
    GdiFlush();

    // The screen shows no transparency: every pixel is written opaque.
    std::vector<unsigned char> rgba(static_cast<size_t>(width) * height * 4);
    const DWORD* bits = bitmap.Bits();
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        const DWORD pixel = bits[i];
        rgba[i * 4 + 0] = static_cast<unsigned char>((pixel >> 16) & 0xFF);
        rgba[i * 4 + 1] = static_cast<unsigned char>((pixel >> 8) & 0xFF);
        rgba[i * 4 + 2] = static_cast<unsigned char>(pixel & 0xFF);
        rgba[i * 4 + 3] = 0xFF;
    }
    std::vector<unsigned char> png;
    if (stbi_write_png_to_func(AppendBytes, &png, width, height, 4, rgba.data(), width * 4) == 0) {
        *error = L"cannot encode the PNG";
        return false;
    }
    if (!WriteBytes(path, png)) {
        *error = L"cannot write " + path;
        return false;
    }
    return true;
}

void Print(DWORD stdHandle, const std::wstring& text) {
    HANDLE handle = GetStdHandle(stdHandle);
    DWORD mode = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    PrintUtf8(stdHandle, ToUtf8(text.c_str()));
}

void PrintUtf8(DWORD stdHandle, const std::string& text) {
    HANDLE handle = GetStdHandle(stdHandle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        // A console shows UTF-16; the bytes are converted back for it.
        const int needed =
            MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(needed), L'\0');
        if (needed > 0)
            MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                needed);
        DWORD written = 0;
        WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    size_t offset = 0;
    while (offset < text.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data() + offset, static_cast<DWORD>(text.size() - offset),
                       &written, nullptr) ||
            written == 0)
            return;
        offset += written;
    }
}

} // namespace skinview
