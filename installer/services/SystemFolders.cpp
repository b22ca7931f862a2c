#include "installer/services/SystemFolders.h"

#include "installer/services/Product.h"
#include "installer/services/SlimLock.h"

#include "skinui/core/Handles.h"

#include <objbase.h>

#include <vector>

namespace {

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// True when full (canonical) is folder or lies below it.
bool IsAtOrBelow(const std::wstring& full, const std::wstring& folder) {
    if (folder.empty() || full.size() < folder.size())
        return false;
    return SameText(full.substr(0, folder.size()), folder) &&
           (full.size() == folder.size() || IsPathSeparator(full[folder.size()]) ||
            IsPathSeparator(folder.back()));
}

} // namespace

std::wstring KnownFolderPath(REFKNOWNFOLDERID id) {
    SkinUI::UniqueCoTaskMem<PWSTR> path;
    if (FAILED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, path.Put())) || !path)
        return std::wstring();
    return WithoutTrailingSeparators(path.Get());
}

std::wstring ProgramFilesForProduct() {
    // A 32-bit program on 64-bit Windows belongs below the x86 program files.
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    return KnownFolderPath(IsWow64Architecture(info.wProcessorArchitecture)
                               ? FOLDERID_ProgramFilesX86
                               : FOLDERID_ProgramFiles);
}

std::wstring ProgramFiles64() {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    if (!IsWow64Architecture(info.wProcessorArchitecture))
        return std::wstring();
    const std::wstring known = KnownFolderPath(FOLDERID_ProgramFilesX64);
    if (!known.empty())
        return known;
    // A 32-bit process is refused FOLDERID_ProgramFilesX64. The system makes
    // its ProgramW6432 variable from this value of the machine's 64-bit
    // registry, which only administrators write; the variable itself is read
    // from an environment the signed-in user may have added to.
    SkinUI::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH * sizeof(wchar_t);
    if (RegGetValueW(key.Get(), nullptr, L"ProgramW6432Dir", RRF_RT_REG_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    return WithoutTrailingSeparators(buf);
}

namespace {

// The long form of the existing part of a full path; the rest, which does
// not exist yet, follows as it was written. A short name ("MYTOOL~1") and its
// long name are one folder to the file system but not as text: a program
// started by its 8.3 path gets that path from GetModuleFileNameW.
std::wstring LongForm(const std::wstring& full) {
    size_t end = full.size();
    // Each call looks up every level of the path: one call with room for
    // the usual length, a second only for a longer path.
    std::vector<wchar_t> buf(MAX_PATH + 1);
    for (;;) {
        const std::wstring head = full.substr(0, end);
        DWORD n = GetLongPathNameW(head.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
        if (n >= buf.size()) {
            buf.resize(n + 1);
            n = GetLongPathNameW(head.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
        }
        if (n > 0 && n < buf.size())
            return std::wstring(buf.data(), n) + full.substr(end);
        // Nothing of it exists below the root (or the system cannot say):
        // the text is all there is.
        const size_t cut = end > 0 ? full.rfind(L'\\', end - 1) : std::wstring::npos;
        if (cut == std::wstring::npos || cut < 3)
            return full;
        end = cut;
    }
}

} // namespace

namespace {

// The absolute form of path, as text alone; empty when it does not resolve.
std::wstring FullPath(const std::wstring& path) {
    if (path.empty())
        return std::wstring();
    std::vector<wchar_t> buf(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
        if (n == 0)
            return std::wstring();
        if (n < buf.size())
            return WithoutTrailingSeparators(std::wstring(buf.data(), n));
        // Too small: n is the size needed, terminator included.
        buf.resize(n + 1);
    }
    return std::wstring();
}

} // namespace

std::wstring CanonicalPath(const std::wstring& path) {
    const std::wstring full = FullPath(path);
    return full.empty() ? full : LongForm(full);
}

namespace {

// The system's folders are compared with every folder judged, each in its
// canonical form, which takes a look-up per level: the forms are kept by the
// text the system gave, so that each is worked out once per process and a
// folder moved elsewhere is still seen where it now is.
struct TCanonicalMemo {
    SRWLOCK lock = SRWLOCK_INIT;
    std::vector<std::pair<std::wstring, std::wstring>> forms;
};

TCanonicalMemo& CanonicalMemo() {
    static TCanonicalMemo memo;
    return memo;
}

} // namespace

std::wstring KnownFolderCanonical(REFKNOWNFOLDERID id) {
    return SystemFolderCanonical(KnownFolderPath(id));
}

std::wstring SystemFolderCanonical(const std::wstring& path) {
    if (path.empty())
        return std::wstring();
    TCanonicalMemo& memo = CanonicalMemo();
    {
        CSlimLockHold hold(&memo.lock);
        for (const auto& form : memo.forms)
            if (form.first == path)
                return form.second;
    }
    // Only a short name differs from its long form in more than case, and
    // every short name the system makes for a longer one holds a '~'; the
    // system's folders are only ever compared without regard to case.
    std::wstring canonical =
        path.find(L'~') == std::wstring::npos ? FullPath(path) : CanonicalPath(path);
    // Bounded: the system has a few dozen such folders, the rest is not kept.
    constexpr size_t kMaxForms = 64;
    CSlimLockHold hold(&memo.lock);
    if (!canonical.empty() && memo.forms.size() < kMaxForms)
        memo.forms.emplace_back(path, canonical);
    return canonical;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    const std::wstring x = CanonicalPath(a);
    return !x.empty() && SameText(x, CanonicalPath(b));
}

bool IsAbsoluteLocalPath(const std::wstring& path) {
    return path.size() >= 3 &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
           path[1] == L':' && path[2] == L'\\';
}

bool IsInsideWindowsFolder(const std::wstring& dir) {
    const std::wstring windows = KnownFolderCanonical(FOLDERID_Windows);
    return !windows.empty() && IsAtOrBelow(CanonicalPath(dir), windows);
}

bool IsInsideShellFolder(const std::wstring& dir) {
    const std::wstring full = CanonicalPath(dir);
    if (full.empty())
        return false;
    static const KNOWNFOLDERID* const kFolders[] = {
        &FOLDERID_Desktop,         &FOLDERID_PublicDesktop,  &FOLDERID_Documents,
        &FOLDERID_PublicDocuments, &FOLDERID_StartMenu,      &FOLDERID_CommonStartMenu,
        &FOLDERID_Programs,        &FOLDERID_CommonPrograms, &FOLDERID_Pictures,
        &FOLDERID_PublicPictures,  &FOLDERID_Music,          &FOLDERID_PublicMusic,
        &FOLDERID_Videos,          &FOLDERID_PublicVideos,   &FOLDERID_Downloads,
        &FOLDERID_PublicDownloads,
    };
    for (const KNOWNFOLDERID* id : kFolders) {
        const std::wstring known = KnownFolderCanonical(*id);
        if (!known.empty() && IsAtOrBelow(full, known))
            return true;
    }
    return false;
}

bool HasTrimmedComponent(const std::wstring& fullPath) {
    size_t begin = 0;
    while (begin < fullPath.size()) {
        size_t end = begin;
        while (end < fullPath.size() && !IsPathSeparator(fullPath[end]))
            ++end;
        const std::wstring part = fullPath.substr(begin, end - begin);
        // "." and ".." are resolved before this is asked, and a drive's "C:"
        // ends in neither.
        if (!part.empty() && part != L"." && part != L".." &&
            (part.back() == L'.' || part.back() == L' '))
            return true;
        begin = end + 1;
    }
    return false;
}

bool IsReservedFolder(const std::wstring& dir) {
    const std::wstring full = CanonicalPath(dir);
    // "C:\" or anything that does not resolve.
    if (full.size() <= 3)
        return true;
    static const KNOWNFOLDERID* const kFolders[] = {
        &FOLDERID_Windows,        &FOLDERID_System,          &FOLDERID_SystemX86,
        &FOLDERID_ProgramFiles,   &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramFilesX64,
        &FOLDERID_ProgramData,    &FOLDERID_Profile,         &FOLDERID_Desktop,
        &FOLDERID_PublicDesktop,  &FOLDERID_Documents,       &FOLDERID_PublicDocuments,
        &FOLDERID_RoamingAppData, &FOLDERID_LocalAppData,    &FOLDERID_Programs,
        &FOLDERID_CommonPrograms, &FOLDERID_StartMenu,       &FOLDERID_CommonStartMenu,
        &FOLDERID_Pictures,       &FOLDERID_Music,           &FOLDERID_Videos,
        &FOLDERID_Downloads,      &FOLDERID_Public,          &FOLDERID_UserProfiles,
    };
    for (const KNOWNFOLDERID* id : kFolders) {
        const std::wstring known = KnownFolderCanonical(*id);
        if (!known.empty() && SameText(known, full))
            return true;
    }
    const std::wstring programFiles64 = SystemFolderCanonical(ProgramFiles64());
    if (!programFiles64.empty() && SameText(programFiles64, full))
        return true;
    wchar_t temp[MAX_PATH] = {};
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    return n > 0 && n < MAX_PATH && SamePath(temp, full);
}
