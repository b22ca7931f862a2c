#include "installer/services/NoFollowFile.h"

#include "skinui/core/TextFormat.h"

#include <winternl.h>

#include <vector>

using SkinUI::UniqueHandle;

namespace {

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtStatusToErrorFn = ULONG(NTAPI*)(NTSTATUS);

// NtCreateFile's dispositions and options (ntifs.h, which mingw-w64's
// winternl.h lacks).
constexpr ULONG kNtOpen = 1;
constexpr ULONG kNtCreate = 2;
constexpr ULONG kNtOpenIf = 3;
constexpr ULONG_PTR kNtCreated = 2;
constexpr ULONG kDirectoryFile = 0x00000001;
constexpr ULONG kSynchronousIo = 0x00000020;
constexpr ULONG kNonDirectoryFile = 0x00000040;
constexpr ULONG kOpenForBackup = 0x00004000;
constexpr ULONG kOpenReparsePoint = 0x00200000;

struct TNtFunctions {
    NtCreateFileFn create = nullptr;
    NtStatusToErrorFn toError = nullptr;
};

// ntdll is mapped into every process before its first instruction, so asking
// it for the functions loads nothing. The Win32 functions open only by path,
// and a path is what a user can swap between two steps.
const TNtFunctions& Nt() {
    static const TNtFunctions fns = [] {
        TNtFunctions f;
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        f.create = reinterpret_cast<NtCreateFileFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")));
        f.toError = reinterpret_cast<NtStatusToErrorFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
        return f;
    }();
    return fns;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

std::wstring HandlePathOnVolume(HANDLE h) {
    // Most paths fit the buffer on the stack; the longest path Windows has
    // needs the heap.
    alignas(FILE_NAME_INFO) BYTE small[sizeof(FILE_NAME_INFO) + 1024 * sizeof(wchar_t)];
    std::vector<BYTE> large;
    BYTE* buffer = small;
    DWORD size = sizeof(small);
    if (!GetFileInformationByHandleEx(h, FileNameInfo, buffer, size)) {
        if (GetLastError() != ERROR_MORE_DATA)
            return std::wstring();
        large.resize(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
        buffer = large.data();
        size = static_cast<DWORD>(large.size());
        if (!GetFileInformationByHandleEx(h, FileNameInfo, buffer, size))
            return std::wstring();
    }
    const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer);
    const size_t room = (size - offsetof(FILE_NAME_INFO, FileName)) / sizeof(wchar_t);
    const size_t chars = info->FileNameLength / sizeof(wchar_t);
    return std::wstring(info->FileName, chars < room ? chars : room);
}

namespace {

// Wine stores a name as UTF-8 on the Unix side and cuts one longer than the
// Unix file system's 255 bytes to fit, so the handle names the shortened
// entry (NTFS keeps 255 UTF-16 characters, and Windows never gets here with
// a link: the handle says so). Only that cut is taken as the same name.
bool IsWineTruncatedName(const std::wstring& leaf, const std::wstring& name) {
    if (leaf.empty() || leaf.size() >= name.size())
        return false;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, name.c_str(), static_cast<int>(name.size()),
                                          nullptr, 0, nullptr, nullptr);
    return bytes > 255 && SameText(leaf, name.substr(0, leaf.size()));
}

// Whether entry, opened by name in the folder the system names folderName,
// is that entry itself. Windows opens the entry itself whenever
// FILE_OPEN_REPARSE_POINT is asked, and the handle says when it is a link.
// Wine 8 ignores the flag, opens whatever a Unix symbolic link names and
// reports a plain file or folder; but it names the handle by the path of
// what it opened, so a handle whose name is not the folder's followed by
// name came through a link. An 8.3 alias ("PROGRA~1") is named by its long
// name; there only the folder is compared.
bool ReachedItself(HANDLE entry, const std::wstring& folderName, const std::wstring& name) {
    const std::wstring got = HandlePathOnVolume(entry);
    const size_t cut = got.rfind(L'\\');
    if (folderName.empty() || cut == std::wstring::npos)
        return false;
    std::wstring folder = folderName;
    if (folder.back() != L'\\')
        folder += L'\\';
    const std::wstring leaf = got.substr(cut + 1);
    return SameText(got.substr(0, cut + 1), folder) &&
           (SameText(leaf, name) || name.find(L'~') != std::wstring::npos ||
            IsWineTruncatedName(leaf, name));
}

UniqueHandle Fail(DWORD error) {
    SetLastError(error);
    return UniqueHandle();
}

} // namespace

UniqueHandle OpenEntryNoFollow(HANDLE folder, const std::wstring& folderPath,
                               const std::wstring& name, const TNoFollowOpen& how, bool* created) {
    const std::wstring& folderName = folderPath;
    if (created)
        *created = false;
    const TNtFunctions& nt = Nt();
    if (!nt.create || !nt.toError)
        return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (name.empty() || name == L"." || name == L".." ||
        name.find_first_of(L"\\/") != std::wstring::npos || name.size() * sizeof(wchar_t) > 0xfffe)
        return Fail(ERROR_INVALID_NAME);
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name.c_str());
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, how.security);
    const ULONG disposition = how.disposition == CREATE_NEW    ? kNtCreate
                              : how.disposition == OPEN_ALWAYS ? kNtOpenIf
                                                               : kNtOpen;
    ULONG options = kSynchronousIo | kOpenForBackup | kOpenReparsePoint;
    if (how.kind == TEntryKind::kFolder)
        options |= kDirectoryFile;
    else if (how.kind == TEntryKind::kFile)
        options |= kNonDirectoryFile;
    IO_STATUS_BLOCK status = {};
    HANDLE raw = nullptr;
    const NTSTATUS result =
        nt.create(&raw, how.access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &status,
                  nullptr, FILE_ATTRIBUTE_NORMAL, how.share, disposition, options, nullptr, 0);
    if (result < 0) {
        const DWORD error = nt.toError(result);
        // As CreateFileW says it for CREATE_NEW.
        return Fail(error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : error);
    }
    UniqueHandle entry(raw);
    const bool made = status.Information == kNtCreated;
    // What this open made is what was asked for; an entry that was there is
    // judged on the handle, never on the name, which may have changed since.
    if (!made) {
        if (IsLinkHandle(entry.Get()) ? !how.linkItself
                                      : !ReachedItself(entry.Get(), folderName, name))
            return Fail(ERROR_CANT_ACCESS_FILE);
    }
    if (created)
        *created = made;
    SetLastError(ERROR_SUCCESS);
    return entry;
}

namespace {

// path as full text without a "\\?\" prefix, split into the root of its
// volume ("C:\", "\\server\share\") and the names below it; false for a path
// of another form (a device, a relative path that does not resolve).
bool SplitPath(const std::wstring& path, std::wstring* root, std::vector<std::wstring>* names) {
    std::wstring full(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
        if (n == 0)
            return false;
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.assign(n + 1, L'\0');
    }
    if (full.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        full = L"\\\\" + full.substr(8);
    else if (full.compare(0, 4, L"\\\\?\\") == 0)
        full = full.substr(4);
    size_t pos = 0;
    if (full.size() >= 3 && iswalpha(full[0]) && full[1] == L':' && full[2] == L'\\') {
        pos = 3;
    } else if (full.size() > 2 && full[0] == L'\\' && full[1] == L'\\' && full[2] != L'?' &&
               full[2] != L'.') {
        // \\server\share\: two names make the root.
        const size_t server = full.find(L'\\', 2);
        const size_t share = server == std::wstring::npos ? server : full.find(L'\\', server + 1);
        if (server == std::wstring::npos || server == 2 || share == server + 1)
            return false;
        pos = share == std::wstring::npos ? full.size() : share + 1;
        if (share == std::wstring::npos)
            full += L'\\';
    } else {
        return false;
    }
    *root = full.substr(0, pos);
    while (pos < full.size()) {
        size_t end = full.find(L'\\', pos);
        if (end == std::wstring::npos)
            end = full.size();
        if (end > pos)
            names->push_back(full.substr(pos, end - pos));
        pos = end + 1;
    }
    return true;
}

} // namespace

bool IsLinkHandle(HANDLE h) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof(tag)))
        return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    BY_HANDLE_FILE_INFORMATION info = {};
    return !GetFileInformationByHandle(h, &info) ||
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

UniqueHandle OpenEntryNoFollow(HANDLE folder, const std::wstring& name, const TNoFollowOpen& how,
                               bool* created) {
    return OpenEntryNoFollow(folder, HandlePathOnVolume(folder), name, how, created);
}

UniqueHandle OpenPathNoFollow(const std::wstring& path, const TNoFollowOpen& how, bool* created) {
    if (created)
        *created = false;
    std::wstring root;
    std::vector<std::wstring> names;
    if (path.empty() || !SplitPath(path, &root, &names))
        return Fail(ERROR_BAD_PATHNAME);
    // The root of a volume is no link (the drive letter is the system's
    // name for the volume, and an elevated process does not see the drive
    // letters an unelevated one defines for itself).
    const bool rootOnly = names.empty();
    UniqueHandle folder(
        CreateFileW(root.c_str(),
                    rootOnly ? how.access | FILE_READ_ATTRIBUTES | SYNCHRONIZE
                             : FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    rootOnly ? how.share : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder || rootOnly)
        return rootOnly && how.kind == TEntryKind::kFile ? Fail(ERROR_ACCESS_DENIED)
                                                         : std::move(folder);
    // The levels above the last are passed through: traverse rights only,
    // and every kind of sharing, so that holding them stops nobody.
    TNoFollowOpen level;
    level.access = FILE_TRAVERSE;
    level.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    level.kind = TEntryKind::kFolder;
    std::wstring folderName = HandlePathOnVolume(folder.Get());
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        UniqueHandle next = OpenEntryNoFollow(folder.Get(), folderName, names[i], level, nullptr);
        if (!next) {
            const DWORD error = GetLastError();
            return Fail(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
        }
        folderName = HandlePathOnVolume(next.Get());
        folder = std::move(next);
    }
    return OpenEntryNoFollow(folder.Get(), folderName, names.back(), how, created);
}

HANDLE OpenFileNoFollow(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                        bool* existed, PSECURITY_DESCRIPTOR security) {
    if (existed)
        *existed = false;
    if (disposition != OPEN_ALWAYS && disposition != OPEN_EXISTING && disposition != CREATE_NEW) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    TNoFollowOpen how;
    how.access = access;
    how.share = share;
    how.disposition = disposition;
    how.security = security;
    bool created = false;
    UniqueHandle file = OpenPathNoFollow(path, how, &created);
    if (!file)
        return INVALID_HANDLE_VALUE;
    // The checks are made on the open handle, not on the name: between a
    // check by name and the open the name could be swapped.
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool plain = GetFileInformationByHandle(file.Get(), &info) &&
                       !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                       info.nNumberOfLinks <= 1;
    if (!plain) {
        file.Reset();
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return INVALID_HANDLE_VALUE;
    }
    if (existed)
        *existed = !created;
    // Callers that ask ERROR_ALREADY_EXISTS of the last error still get it.
    SetLastError(!created && disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return file.Release();
}

std::wstring EnforceRedirectionTrust() {
    // ProcessRedirectionTrustPolicy and its structure's first bit
    // (EnforceRedirectionTrust), which the headers give only to programs that
    // require the Windows versions that have it.
    constexpr int kRedirectionTrustPolicy = 16;
    constexpr DWORD kEnforce = 0x1;
    using SetPolicyFn = BOOL(WINAPI*)(int, PVOID, SIZE_T);
    // kernel32 is a KnownDLL and mapped into every process: asking it loads
    // nothing. Looked up by name, as Windows 7 lacks the function.
    const auto setPolicy = reinterpret_cast<SetPolicyFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetProcessMitigationPolicy")));
    if (!setPolicy)
        return L"the redirection trust policy is not available on this system";
    DWORD policy = kEnforce;
    if (!setPolicy(kRedirectionTrustPolicy, &policy, sizeof(policy)))
        return L"the redirection trust policy is not available on this system (error " +
               SkinUI::UnsignedDecimalText(GetLastError()) + L")";
    // Wine 8 accepts every policy and enforces none.
    return L"the redirection trust policy is enforced";
}
