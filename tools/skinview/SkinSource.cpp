// Setting the resource source up for a folder, a document or an archive.
#include "tools/skinview/SkinSource.h"

#include "skinui/core/Handles.h"
#include "skinui/window/PaintManagerUI.h"

#include <windows.h>

namespace skinview {

namespace {

bool EndsWithNoCase(const std::wstring& text, const wchar_t* suffix) {
    const size_t length = wcslen(suffix);
    return text.size() >= length && _wcsicmp(text.c_str() + text.size() - length, suffix) == 0;
}

// The full path, so that the resource path does not depend on the current
// directory of whoever reads a file later.
std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (written == 0 || written >= needed)
        return path;
    full.resize(written);
    return full;
}

// Splits at the last separator: the folder keeps its separator.
void SplitPath(const std::wstring& path, std::wstring* folder, std::wstring* name) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        folder->clear();
        *name = path;
        return;
    }
    *folder = path.substr(0, slash + 1);
    *name = path.substr(slash + 1);
}

bool ReadWholeFile(const std::wstring& path, std::vector<unsigned char>* bytes) {
    SkinUI::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        size.QuadPart >= 0x7FFFFFFF)
        return false;
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return ReadFile(file.Get(), bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) !=
               FALSE &&
           read == bytes->size();
}

} // namespace

bool CSkinSource::Open(const std::wstring& path, std::wstring* error) {
    const std::wstring full = FullPath(path);
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *error = L"no such file or folder: " + path;
        return false;
    }
    std::wstring folder;
    std::wstring name;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        folder = full;
        name = L"skin.xml";
    } else {
        SplitPath(full, &folder, &name);
        if (EndsWithNoCase(full, L".zip")) {
            if (!ReadWholeFile(full, &m_archive)) {
                *error = L"cannot read the archive " + path;
                return false;
            }
            SkinUI::CPaintManagerUI::SetResourceZip(m_archive.data(),
                                                    static_cast<unsigned int>(m_archive.size()));
            if (SkinUI::CPaintManagerUI::GetResourceZipHandle() == nullptr) {
                *error = L"not a ZIP archive: " + path;
                return false;
            }
            name = L"skin.xml";
        }
    }
    SkinUI::CPaintManagerUI::SetResourcePath(folder.c_str());
    m_skinFile = name;
    return true;
}

} // namespace skinview
