#include "installer/services/SystemFolders.h"

#include "installer/services/Product.h"

#include "skinui/core/Handles.h"

#include <objbase.h>

#include <vector>

namespace {

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
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

namespace {

// The long form of the existing part of a full path; the rest, which does
// not exist yet, follows as it was written. A short name ("MYTOOL~1") and its
// long name are one folder to the file system but not as text: a program
// started by its 8.3 path gets that path from GetModuleFileNameW.
std::wstring LongForm(const std::wstring& full) {
    size_t end = full.size();
    for (;;) {
        const std::wstring head = full.substr(0, end);
        const DWORD need = GetLongPathNameW(head.c_str(), nullptr, 0);
        if (need > 0) {
            std::vector<wchar_t> buf(need + 1);
            const DWORD n =
                GetLongPathNameW(head.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
            if (n > 0 && n < buf.size())
                return std::wstring(buf.data(), n) + full.substr(end);
        }
        // Nothing of it exists below the root (or the system cannot say):
        // the text is all there is.
        const size_t cut = end > 0 ? full.rfind(L'\\', end - 1) : std::wstring::npos;
        if (cut == std::wstring::npos || cut < 3)
            return full;
        end = cut;
    }
}

} // namespace

std::wstring CanonicalPath(const std::wstring& path) {
    if (path.empty())
        return std::wstring();
    std::vector<wchar_t> buf(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
        if (n == 0)
            return std::wstring();
        if (n < buf.size()) {
            return LongForm(WithoutTrailingSeparators(std::wstring(buf.data(), n)));
        }
        // Too small: n is the size needed, terminator included.
        buf.resize(n + 1);
    }
    return std::wstring();
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
    const std::wstring windows = KnownFolderPath(FOLDERID_Windows);
    const std::wstring full = CanonicalPath(dir);
    if (windows.empty() || full.size() < windows.size())
        return false;
    return SameText(full.substr(0, windows.size()), windows) &&
           (full.size() == windows.size() || IsPathSeparator(full[windows.size()]));
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
        const std::wstring known = KnownFolderPath(*id);
        if (!known.empty() && SameText(CanonicalPath(known), full))
            return true;
    }
    wchar_t temp[MAX_PATH] = {};
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    return n > 0 && n < MAX_PATH && SamePath(temp, full);
}
