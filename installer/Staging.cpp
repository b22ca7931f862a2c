#include "installer/Staging.h"

#include "installer/SlimLock.h"

#include "skinui/core/Handles.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cwchar>
#include <utility>

// The system's random source; advapi32 exports it under this name only, and
// advapi32 is loaded by every program anyway, so no further DLL is searched
// for next to the installer (which often lies in a downloads folder).
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

using SkinUI::UniqueFind;
using SkinUI::UniqueHandle;

namespace {

constexpr wchar_t kStagingPrefix[] = L"qms-";
constexpr size_t kStagingPrefixChars = 4;
constexpr size_t kStagingDigits = 16;
// A name is drawn again when one exists already; with 64 random bits only a
// planted folder can collide, and a user who plants them cannot guess the
// next draw, so a few draws are plenty.
constexpr int kStagingAttempts = 8;
// Administrators and SYSTEM, full control, inherited by everything below, no
// entries inherited from the user's temporary directory.
// Owned by the administrators (a member's elevated token may give that owner),
// so that a later run can tell its folders from planted ones.
constexpr wchar_t kAdminsOnlyAcl[] = L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring WithoutTrailingSeparators(std::wstring s) {
    while (s.size() > 3 && IsSeparator(s.back()))
        s.pop_back();
    return s;
}

// Handles that pin the staging folders this process created: opened without
// delete sharing, so neither the folder nor one above it can be renamed
// while the run uses it (a rename needs delete access to the folder, and a
// folder with open handles below it cannot be renamed).
// A slim lock: it cannot fail, and it brings no thread library along.
SRWLOCK g_pinLock = SRWLOCK_INIT;

std::vector<std::pair<std::wstring, HANDLE>> g_pins;

void Pin(const std::wstring& dir) {
    HANDLE h = CreateFileW(dir.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    CSlimLockHold lock(&g_pinLock);
    g_pins.emplace_back(dir, h);
}

void Unpin(const std::wstring& dir) {
    CSlimLockHold lock(&g_pinLock);
    for (size_t i = 0; i < g_pins.size(); ++i) {
        if (CompareStringOrdinal(g_pins[i].first.c_str(), -1, dir.c_str(), -1, TRUE) ==
            CSTR_EQUAL) {
            CloseHandle(g_pins[i].second);
            g_pins.erase(g_pins.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

bool IsStagingName(const wchar_t* name) {
    if (wcslen(name) != kStagingPrefixChars + kStagingDigits ||
        _wcsnicmp(name, kStagingPrefix, kStagingPrefixChars) != 0)
        return false;
    for (size_t i = kStagingPrefixChars; name[i]; ++i)
        if (!iswxdigit(name[i]))
            return false;
    return true;
}

// Removes the entry at path itself: a link as a link, a file, an empty
// folder. Opening with FILE_FLAG_OPEN_REPARSE_POINT and deleting through the
// handle acts on the link even where the name-based calls would reach
// through it.
bool RemoveEntry(const std::wstring& path, bool directory) {
    if (directory ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str()))
        return true;
    UniqueHandle h(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h)
        return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && !IsReparsePoint(path);
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(h.Get(), FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != FALSE;
}

bool RemoveBelow(const std::wstring& dir, int depth) {
    // Deeper than any path that fits MAX_PATH can go; a tree deeper than that
    // was not made by an install.
    if (depth > MAX_PATH / 2)
        return false;
    bool complete = true;
    std::vector<std::pair<std::wstring, DWORD>> entries;
    {
        WIN32_FIND_DATAW found = {};
        UniqueFind find(FindFirstFileW((dir + L"\\*").c_str(), &found));
        if (!find)
            return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_NO_MORE_FILES;
        do {
            if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
                continue;
            entries.emplace_back(dir + L"\\" + found.cFileName, found.dwFileAttributes);
        } while (FindNextFileW(find.Get(), &found));
    }
    for (const auto& [path, attrs] : entries) {
        const bool link = (attrs & FILE_ATTRIBUTE_REPARSE_POINT) || IsReparsePoint(path);
        const bool directory = (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (link) {
            complete = RemoveEntry(path, directory) && complete;
            continue;
        }
        if (attrs & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
        if (directory)
            complete = RemoveBelow(path, depth + 1) && complete;
        complete = RemoveEntry(path, directory) && complete;
    }
    return complete;
}

} // namespace

bool IsProcessElevated() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    UniqueHandle token(raw);
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    return GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated != 0;
}

bool IsTrustedStagingDir(const std::wstring& dir) {
    if (!IsProcessElevated())
        return true;
    const std::wstring path = WithoutTrailingSeparators(dir);
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool trusted = owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                        IsWellKnownSid(owner, WinLocalSystemSid));
    // The account this run belongs to: its folders are its own whatever the
    // system made their owner (Wine, for one, keeps no owners).
    HANDLE raw = nullptr;
    if (!trusted && owner != nullptr && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        UniqueHandle token(raw);
        BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
        DWORD size = 0;
        trusted = GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size) &&
                  EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    }
    LocalFree(descriptor);
    return trusted;
}

bool IsReparsePoint(const std::wstring& path) {
    const std::wstring p = WithoutTrailingSeparators(path);
    const DWORD attrs = GetFileAttributesW(p.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    // The name's own entry, asked through a handle to the link itself: this
    // also finds links whose target is gone, which the name-based query
    // reports as missing.
    UniqueHandle h(CreateFileW(p.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h)
        return false;
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (GetFileInformationByHandleEx(h.Get(), FileAttributeTagInfo, &tag, sizeof(tag)))
        return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    BY_HANDLE_FILE_INFORMATION info = {};
    return GetFileInformationByHandle(h.Get(), &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool NoReparseBelow(const std::wstring& base, const std::wstring& path) {
    if (path.size() < base.size() ||
        CompareStringOrdinal(path.c_str(), static_cast<int>(base.size()), base.c_str(),
                             static_cast<int>(base.size()), TRUE) != CSTR_EQUAL)
        return false;
    size_t pos = base.size();
    while (pos < path.size() && IsSeparator(path[pos]))
        ++pos;
    while (pos < path.size()) {
        size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        if (IsReparsePoint(path.substr(0, end)))
            return false;
        pos = end;
        while (pos < path.size() && IsSeparator(path[pos]))
            ++pos;
    }
    return true;
}

bool CreateStagingDir(std::wstring* dir) {
    wchar_t temp[MAX_PATH] = {};
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH)
        return false;
    std::wstring base(temp, n);
    if (!IsSeparator(base.back()))
        base += L'\\';
    // The longest name below the staging folder still has to fit MAX_PATH;
    // the caller checks its own names against that.
    if (base.size() + kStagingPrefixChars + kStagingDigits + 1 >= MAX_PATH)
        return false;

    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, FALSE};
    if (IsProcessElevated()) {
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminsOnlyAcl, SDDL_REVISION_1,
                                                                  &descriptor, nullptr))
            return false;
        security.lpSecurityDescriptor = descriptor;
    }
    bool made = false;
    for (int attempt = 0; attempt < kStagingAttempts && !made; ++attempt) {
        unsigned char random[kStagingDigits / 2] = {};
        if (!SystemFunction036(random, sizeof(random)))
            break;
        std::wstring name = base + kStagingPrefix;
        for (unsigned char byte : random) {
            static constexpr wchar_t kHex[] = L"0123456789abcdef";
            name += kHex[byte >> 4];
            name += kHex[byte & 15];
        }
        // CreateDirectoryW fails on any existing name, a planted link
        // included, so the folder is always one this call made.
        if (CreateDirectoryW(name.c_str(), descriptor ? &security : nullptr)) {
            made = !IsReparsePoint(name);
            if (made) {
                Pin(name);
                *dir = name + L'\\';
            }
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    if (descriptor)
        LocalFree(descriptor);
    return made;
}

std::vector<std::wstring> FindStagingDirs() {
    std::vector<std::wstring> dirs;
    wchar_t temp[MAX_PATH] = {};
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH)
        return dirs;
    std::wstring base(temp, n);
    if (!IsSeparator(base.back()))
        base += L'\\';
    WIN32_FIND_DATAW found = {};
    UniqueFind find(FindFirstFileW((base + kStagingPrefix + L"*").c_str(), &found));
    if (!find)
        return dirs;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            !IsStagingName(found.cFileName))
            continue;
        const std::wstring path = base + found.cFileName;
        if (!IsReparsePoint(path))
            dirs.push_back(path + L'\\');
    } while (FindNextFileW(find.Get(), &found));
    return dirs;
}

bool RemoveTreeNoFollow(const std::wstring& dir) {
    const std::wstring root = WithoutTrailingSeparators(dir);
    if (root.empty())
        return false;
    if (IsReparsePoint(root)) {
        Unpin(root);
        const DWORD attrs = GetFileAttributesW(root.c_str());
        return RemoveEntry(root,
                           attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY));
    }
    const DWORD attrs = GetFileAttributesW(root.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return true;
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY))
        return RemoveEntry(root, false);
    bool complete = RemoveBelow(root, 0);
    // The pin goes only now: until the content is gone the folder must stay
    // where it is.
    Unpin(root);
    return RemoveEntry(root, true) && complete;
}
