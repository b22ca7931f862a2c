#include "installer/Staging.h"

#include "skinui/core/Handles.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

namespace {

constexpr wchar_t kPrefix[] = L"qms-";
constexpr size_t kHexDigits = 16;

std::wstring TempDir() {
    wchar_t buf[MAX_PATH] = {};
    const DWORD n = GetTempPathW(MAX_PATH, buf);
    if (n == 0 || n >= MAX_PATH)
        return std::wstring();
    return std::wstring(buf, n);
}

// Not a secret, only a name no other run picks: the clock, the process and a
// counter mixed so that two runs started in the same tick still differ.
uint64_t NextName() {
    static LONG counter = 0;
    LARGE_INTEGER now = {};
    QueryPerformanceCounter(&now);
    uint64_t x = static_cast<uint64_t>(now.QuadPart) ^
                 (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^
                 static_cast<uint64_t>(InterlockedIncrement(&counter)) * 0x9E3779B97F4A7C15ull;
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    return x;
}

bool IsStagingName(const wchar_t* name) {
    if (wcsncmp(name, kPrefix, wcslen(kPrefix)) != 0)
        return false;
    const wchar_t* hex = name + wcslen(kPrefix);
    if (wcslen(hex) != kHexDigits)
        return false;
    for (const wchar_t* p = hex; *p; ++p)
        if (!iswxdigit(*p))
            return false;
    return true;
}

} // namespace

bool CreateStagingDir(std::wstring* dir) {
    const std::wstring temp = TempDir();
    if (temp.empty())
        return false;
    for (int attempt = 0; attempt < 8; ++attempt) {
        wchar_t name[32] = {};
        swprintf(name, 32, L"%ls%016llx\\", kPrefix, static_cast<unsigned long long>(NextName()));
        const std::wstring path = temp + name;
        if (path.size() > MAX_PATH - 1)
            return false;
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            *dir = path;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

std::vector<std::wstring> FindStagingDirs() {
    std::vector<std::wstring> dirs;
    const std::wstring temp = TempDir();
    if (temp.empty())
        return dirs;
    WIN32_FIND_DATAW found = {};
    SkinUI::UniqueFind find(FindFirstFileW((temp + kPrefix + L"*").c_str(), &found));
    if (!find)
        return dirs;
    do {
        const DWORD attrs = found.dwFileAttributes;
        if ((attrs & FILE_ATTRIBUTE_DIRECTORY) && !(attrs & FILE_ATTRIBUTE_REPARSE_POINT) &&
            IsStagingName(found.cFileName))
            dirs.push_back(temp + found.cFileName + L"\\");
    } while (FindNextFileW(find.Get(), &found));
    return dirs;
}

bool RemoveTreeNoFollow(const std::wstring& dir) {
    std::wstring base = dir;
    while (!base.empty() && (base.back() == L'\\' || base.back() == L'/'))
        base.pop_back();
    if (base.empty())
        return false;
    const DWORD top = GetFileAttributesW(base.c_str());
    if (top == INVALID_FILE_ATTRIBUTES)
        return true;
    bool ok = true;
    // A link to a folder is removed as the link; what it points to is not
    // this run's and stays.
    if ((top & FILE_ATTRIBUTE_DIRECTORY) && !(top & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW found = {};
        SkinUI::UniqueFind find(FindFirstFileW((base + L"\\*").c_str(), &found));
        if (find) {
            do {
                if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
                    continue;
                const std::wstring path = base + L"\\" + found.cFileName;
                const DWORD attrs = found.dwFileAttributes;
                if (attrs & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
                if (attrs & FILE_ATTRIBUTE_DIRECTORY)
                    ok = RemoveTreeNoFollow(path) && ok;
                else
                    ok = DeleteFileW(path.c_str()) && ok;
            } while (FindNextFileW(find.Get(), &found));
        }
    }
    if (top & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(base.c_str(), top & ~FILE_ATTRIBUTE_READONLY);
    const bool removed = (top & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(base.c_str())
                                                          : DeleteFileW(base.c_str());
    return removed && ok;
}
