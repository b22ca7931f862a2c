#include "TestWindow.h"

#include "skinui/core/Handles.h"
#include "skinui/window/PaintManagerUI.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace skintest {

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
    UniqueFind find(FindFirstFileW((path + L"\\*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(find.Get(), &data));
    }
    find.Reset();
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
        swprintf(name, MAX_PATH, L"%lsskintest-%lu-%ld", temp, GetCurrentProcessId(),
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
    UniqueHandle file(CreateFileW((m_path + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

bool SkinFolder::WriteText(const std::wstring& name, const std::wstring& text) const {
    return Write(name, ToUtf8(text));
}

} // namespace skintest
