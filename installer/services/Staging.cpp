#include "installer/services/Staging.h"

#include "installer/services/FolderHandle.h"
#include "installer/services/Product.h"
#include "installer/services/RandomText.h"
#include "installer/services/SlimLock.h"
#include "installer/services/SystemFolders.h"

#include "skinui/core/Handles.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

#include <cwchar>
#include <utility>

using SkinUI::UniqueFind;
using SkinUI::UniqueHandle;
using SkinUI::UniqueRegKey;

namespace {

constexpr wchar_t kStagingPrefix[] = L"qms-";
constexpr size_t kStagingPrefixChars = 4;
constexpr size_t kStagingDigits = 16;
// A name is drawn again when one exists already; with 64 random bits only a
// planted folder can collide, and a user who plants them cannot guess the
// next draw, so a few draws are plenty.
constexpr int kStagingAttempts = 8;
// Administrators and SYSTEM, full control, inherited by everything below, no
// entries inherited from the temporary folder above (which lets users create
// folders and, as their creators, own them).
constexpr wchar_t kAdminsOnlyAcl[] = L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
// Below the product's key of the machine (or, without administrator rights,
// of the user): one value a staging folder, named as the folder (TIndexEntry).
constexpr wchar_t kIndexKey[] = L"" QM_PRODUCT_KEY "\\Staging";
constexpr wchar_t kMachineProductKey[] = L"" QM_PRODUCT_KEY;

// The one identity of a file or folder that survives renames: a folder found
// at an indexed name is trusted only when it is the very folder that was
// made there.
struct TFileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

bool IdentityOf(HANDLE h, TFileIdentity* id) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(h, &info))
        return false;
    id->volume = info.dwVolumeSerialNumber;
    id->indexHigh = info.nFileIndexHigh;
    id->indexLow = info.nFileIndexLow;
    return true;
}

bool SameIdentity(const TFileIdentity& a, const TFileIdentity& b) {
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

std::wstring LastComponent(const std::wstring& path) {
    const std::wstring s = WithoutTrailingSeparators(path);
    const size_t cut = s.find_last_of(L"\\/");
    return cut == std::wstring::npos ? s : s.substr(cut + 1);
}

std::wstring UserTempDir() {
    wchar_t temp[MAX_PATH] = {};
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH)
        return std::wstring();
    std::wstring base(temp, n);
    if (!IsPathSeparator(base.back()))
        base += L'\\';
    return base;
}

// A folder itself (never a link's target), opened to be read and kept where
// it is: without delete sharing, no one can rename it while it is open.
UniqueHandle OpenFolderNoFollow(const std::wstring& path, DWORD access) {
    return UniqueHandle(CreateFileW(WithoutTrailingSeparators(path).c_str(), access,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
}

bool HandleIsReparsePoint(HANDLE h) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof(tag)))
        return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    BY_HANDLE_FILE_INFORMATION info = {};
    return !GetFileInformationByHandle(h, &info) ||
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// ---------------------------------------------------------------------------
// The index

HKEY IndexRoot() {
    return IsProcessElevated() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// What the index holds of one staging folder, all of it written only by the
// elevated programs: the folder's identity and its security descriptor (its
// owner and DACL) as the system reported them on the handle of the folder
// just made, and, once the run knows it, the install folder the run changes.
// Stored as this header, then the descriptor's text, then the install
// folder's, both UTF-16 without terminator.
struct TIndexEntry {
    TFileId id;
    std::wstring descriptor;
    std::wstring scope;
};

struct TIndexHeader {
    DWORD version;
    TFileId id;
    DWORD descriptorChars;
    DWORD scopeChars;
};
constexpr DWORD kIndexVersion = 2;
// Longer than any descriptor or path the programs write: an entry that says
// otherwise is not theirs.
constexpr DWORD kIndexMaxChars = 4096;

bool IndexWrite(const std::wstring& name, const TIndexEntry* entry) {
    UniqueRegKey key;
    if (RegCreateKeyExW(IndexRoot(), kIndexKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> data;
    if (entry) {
        if (entry->descriptor.size() > kIndexMaxChars || entry->scope.size() > kIndexMaxChars)
            return false;
        TIndexHeader header = {kIndexVersion, entry->id,
                               static_cast<DWORD>(entry->descriptor.size()),
                               static_cast<DWORD>(entry->scope.size())};
        const BYTE* h = reinterpret_cast<const BYTE*>(&header);
        data.assign(h, h + sizeof(header));
        for (const std::wstring* text : {&entry->descriptor, &entry->scope}) {
            const BYTE* t = reinterpret_cast<const BYTE*>(text->data());
            data.insert(data.end(), t, t + text->size() * sizeof(wchar_t));
        }
    }
    // An entry without data names a folder not made yet, which is never
    // trusted.
    return RegSetValueExW(key.Get(), name.c_str(), 0, REG_BINARY, data.data(),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// What the index holds for name; false when it names no such folder or the
// folder was never made (an entry is written before its folder).
bool IndexLookup(const std::wstring& name, TIndexEntry* entry) {
    UniqueRegKey key;
    if (RegOpenKeyExW(IndexRoot(), kIndexKey, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY || size < sizeof(TIndexHeader) ||
        size > sizeof(TIndexHeader) + 2 * kIndexMaxChars * sizeof(wchar_t))
        return false;
    std::vector<BYTE> data(size);
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS ||
        size != data.size())
        return false;
    TIndexHeader header;
    memcpy(&header, data.data(), sizeof(header));
    if (header.version != kIndexVersion || header.descriptorChars > kIndexMaxChars ||
        header.scopeChars > kIndexMaxChars ||
        size != sizeof(header) + (header.descriptorChars + header.scopeChars) * sizeof(wchar_t))
        return false;
    entry->id = header.id;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data() + sizeof(header));
    entry->descriptor.assign(text, header.descriptorChars);
    entry->scope.assign(text + header.descriptorChars, header.scopeChars);
    return true;
}

// The owner and DACL of the folder open as h, as text; empty when they
// cannot be read.
std::wstring DescriptorOf(HANDLE h) {
    SkinUI::UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, nullptr, nullptr, descriptor.Put()) != ERROR_SUCCESS)
        return std::wstring();
    SkinUI::UniqueLocal<LPWSTR> text;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor.Get(), SDDL_REVISION_1,
            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, text.Put(), nullptr))
        return std::wstring();
    return text.Get();
}

// Drops name's entry, and the index key and the product's key of the machine
// with it once they are empty, so that nothing of the product is left behind.
void IndexRemove(const std::wstring& name) {
    const HKEY root = IndexRoot();
    {
        UniqueRegKey key;
        if (RegOpenKeyExW(root, kIndexKey, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, key.Put()) !=
            ERROR_SUCCESS)
            return;
        RegDeleteValueW(key.Get(), name.c_str());
        DWORD values = 0, subKeys = 0;
        if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            values != 0 || subKeys != 0)
            return;
    }
    RegDeleteKeyW(root, kIndexKey);
    // The user's product key holds the settings; only the machine's is the
    // index's alone, and it goes only when nothing else is in it.
    if (root == HKEY_LOCAL_MACHINE) {
        UniqueRegKey product;
        DWORD values = 0, subKeys = 0;
        if (RegOpenKeyExW(root, kMachineProductKey, 0, KEY_QUERY_VALUE, product.Put()) ==
                ERROR_SUCCESS &&
            RegQueryInfoKeyW(product.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            values == 0 && subKeys == 0) {
            product.Reset();
            RegDeleteKeyW(root, kMachineProductKey);
        }
    }
}


// ---------------------------------------------------------------------------
// Pins

// Handles that pin the staging folders this process created: opened without
// delete sharing, so neither the folder nor one above it can be renamed
// while the run uses it (a rename needs delete access to the folder, and a
// folder with open handles below it cannot be renamed).
// A slim lock: it cannot fail, and it brings no thread library along.
SRWLOCK g_pinLock = SRWLOCK_INIT;

std::vector<std::pair<std::wstring, UniqueHandle>> g_pins;

void Pin(const std::wstring& dir, UniqueHandle handle) {
    CSlimLockHold lock(&g_pinLock);
    g_pins.emplace_back(dir, std::move(handle));
}

void Unpin(const std::wstring& dir) {
    CSlimLockHold lock(&g_pinLock);
    for (size_t i = 0; i < g_pins.size(); ++i) {
        if (CompareStringOrdinal(g_pins[i].first.c_str(), -1, dir.c_str(), -1, TRUE) ==
            CSTR_EQUAL) {
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

// ---------------------------------------------------------------------------
// Deleting without following links

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);

// ntdll is mapped into every process before its first instruction, so asking
// it for the function loads nothing. The Win32 functions open only by path,
// and a path is what a user can swap between two steps.
NtCreateFileFn NtCreateFileFunction() {
    static const NtCreateFileFn fn = reinterpret_cast<NtCreateFileFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
    return fn;
}

// The entry name of folder, opened relative to the folder's handle and never
// through a link at that name: the link itself is opened.
UniqueHandle OpenChild(HANDLE folder, const std::wstring& name) {
    NtCreateFileFn create = NtCreateFileFunction();
    if (!create || name.size() * sizeof(wchar_t) > 0xfffe)
        return UniqueHandle();
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name.c_str());
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status = {};
    HANDLE h = nullptr;
    // FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT
    const ULONG options = 0x00200000 | 0x00000020 | 0x00004000;
    if (create(&h,
               DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | FILE_LIST_DIRECTORY |
                   SYNCHRONIZE,
               &attributes, &status, nullptr, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
               options, nullptr, 0) < 0)
        return UniqueHandle();
    return UniqueHandle(h);
}

struct TChild {
    std::wstring name;
    DWORD attributes = 0;
    LARGE_INTEGER id = {};
};

// The folder's entries, read through its handle, so that what is listed is
// that folder's whatever its path now names.
bool ListChildren(HANDLE folder, std::vector<TChild>* children) {
    alignas(8) BYTE buffer[32 * 1024];
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(folder, kind, buffer, sizeof(buffer)))
            return GetLastError() == ERROR_NO_MORE_FILES;
        kind = FileIdBothDirectoryInfo;
        for (size_t offset = 0;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
            const size_t chars = entry->FileNameLength / sizeof(wchar_t);
            if (offset + sizeof(FILE_ID_BOTH_DIR_INFO) > sizeof(buffer) ||
                offset + offsetof(FILE_ID_BOTH_DIR_INFO, FileName) + entry->FileNameLength >
                    sizeof(buffer))
                return false;
            std::wstring name(entry->FileName, chars);
            if (name != L"." && name != L"..")
                children->push_back({name, entry->FileAttributes, entry->FileId});
            if (entry->NextEntryOffset == 0)
                break;
            offset += entry->NextEntryOffset;
        }
    }
}

bool DeleteThrough(HANDLE h) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof(disposition)) !=
           FALSE;
}

// Whether path still names the folder held open as folder. On Windows the
// handle alone decides what is deleted; Wine removes a file by the path it
// was opened under, so there a folder swapped for a link must also be seen
// before anything below it goes.
bool StillAt(const std::wstring& path, const TFileIdentity& folder) {
    UniqueHandle again = OpenFolderNoFollow(path, FILE_READ_ATTRIBUTES);
    TFileIdentity now;
    return again && IdentityOf(again.Get(), &now) && SameIdentity(now, folder) &&
           !HandleIsReparsePoint(again.Get());
}

bool RemoveBelow(HANDLE folder, const std::wstring& path, int depth) {
    // Deeper than any path that fits MAX_PATH can go; a tree deeper than that
    // was not made by an install.
    if (depth > MAX_PATH / 2)
        return false;
    TFileIdentity self;
    std::vector<TChild> children;
    if (!IdentityOf(folder, &self) || !ListChildren(folder, &children))
        return false;
    bool complete = true;
    for (const TChild& child : children) {
        UniqueHandle h = OpenChild(folder, child.name);
        if (!h) {
            complete = false;
            continue;
        }
        TFileIdentity id;
        // What was listed must be what was opened: an entry swapped between
        // the two is left alone.
        if (!IdentityOf(h.Get(), &id) ||
            (child.id.QuadPart != 0 && (static_cast<DWORD>(child.id.HighPart) != id.indexHigh ||
                                        static_cast<DWORD>(child.id.LowPart) != id.indexLow))) {
            complete = false;
            continue;
        }
        const std::wstring childPath = path + L"\\" + child.name;
        if (HandleIsReparsePoint(h.Get())) {
            // The link itself; what it names stays untouched.
            complete = DeleteThrough(h.Get()) && complete;
            continue;
        }
        if (child.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // Listed as a link but opened as what it names: the system
            // reached through it (Wine does), so it is left where it is.
            complete = false;
            continue;
        }
        BY_HANDLE_FILE_INFORMATION info = {};
        GetFileInformationByHandle(h.Get(), &info);
        if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            complete = RemoveBelow(h.Get(), childPath, depth + 1) && complete;
        complete = StillAt(path, self) && DeleteOpenedFile(h.Get()) && complete;
    }
    return complete;
}

} // namespace

bool IsProcessElevated() {
    // A process's token keeps its elevation for the process's whole life, and
    // the staging index, the folders and the ACLs all ask: read it once.
    static const bool elevated = [] {
        HANDLE raw = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
            return false;
        UniqueHandle token(raw);
        TOKEN_ELEVATION elevation = {};
        DWORD size = 0;
        return GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation),
                                   &size) &&
               elevation.TokenIsElevated != 0;
    }();
    return elevated;
}

std::wstring StagingParent() {
    if (!IsProcessElevated())
        return UserTempDir();
    wchar_t windows[MAX_PATH] = {};
    const UINT n = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::wstring();
    std::wstring base(windows, n);
    if (!IsPathSeparator(base.back()))
        base += L'\\';
    base += L"Temp\\";
    return base.size() < MAX_PATH ? base : std::wstring();
}

namespace {

// The index entry of dir when dir is a staging folder the index names and
// still the folder that was made there: the same identity (a folder made
// anew at the name gets another id, though a file system may hand a freed id
// out again) and the same owner and DACL, read on the handle. On Windows
// that descriptor is the one the run gave the folder, owned by the
// administrators, which no standard user can give a folder of theirs, so a
// folder a user made at a freed id is still refused.
bool TrustedEntry(const std::wstring& dir, TIndexEntry* entry) {
    const std::wstring parent = StagingParent();
    const std::wstring path = WithoutTrailingSeparators(dir);
    const std::wstring name = LastComponent(path);
    if (parent.empty() || !IsStagingName(name.c_str()) ||
        CompareStringOrdinal(path.c_str(), -1, (parent + name).c_str(), -1, TRUE) != CSTR_EQUAL ||
        !IndexLookup(name, entry) || entry->descriptor.empty())
        return false;
    UniqueHandle folder = OpenFolderNoFollow(path, FILE_READ_ATTRIBUTES | READ_CONTROL);
    TFileId found;
    return folder && !HandleIsReparsePoint(folder.Get()) && FileIdOf(folder.Get(), &found) &&
           SameFileId(found, entry->id) && DescriptorOf(folder.Get()) == entry->descriptor;
}

} // namespace

bool IsTrustedStagingDir(const std::wstring& dir) {
    TIndexEntry entry;
    return TrustedEntry(dir, &entry);
}

bool SetStagingScope(const std::wstring& dir, const std::wstring& installDir) {
    TIndexEntry entry;
    if (!TrustedEntry(dir, &entry))
        return false;
    entry.scope = installDir;
    return IndexWrite(LastComponent(WithoutTrailingSeparators(dir)), &entry);
}

std::wstring StagingScope(const std::wstring& dir) {
    TIndexEntry entry;
    return TrustedEntry(dir, &entry) ? entry.scope : std::wstring();
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
    while (pos < path.size() && IsPathSeparator(path[pos]))
        ++pos;
    while (pos < path.size()) {
        size_t end = pos;
        while (end < path.size() && !IsPathSeparator(path[end]))
            ++end;
        if (IsReparsePoint(path.substr(0, end)))
            return false;
        pos = end;
        while (pos < path.size() && IsPathSeparator(path[pos]))
            ++pos;
    }
    return true;
}

bool CreateStagingDir(std::wstring* dir) {
    const std::wstring base = StagingParent();
    // The longest name below the staging folder still has to fit MAX_PATH;
    // the caller checks its own names against that.
    if (base.empty() || base.size() + kStagingPrefixChars + kStagingDigits + 1 >= MAX_PATH)
        return false;

    SkinUI::UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
    SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, FALSE};
    if (IsProcessElevated()) {
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminsOnlyAcl, SDDL_REVISION_1,
                                                                  descriptor.Put(), nullptr))
            return false;
        security.lpSecurityDescriptor = descriptor.Get();
    }
    bool made = false;
    for (int attempt = 0; attempt < kStagingAttempts && !made; ++attempt) {
        const std::wstring digits = RandomHex(kStagingDigits / 2);
        if (digits.empty())
            break;
        const std::wstring name = kStagingPrefix + digits;
        const std::wstring path = base + name;
        // Named before it exists, so that no folder of a run that is killed
        // at any moment is unknown to the next; an entry without an identity
        // is never trusted.
        if (!IndexWrite(name, nullptr))
            break;
        // CreateDirectoryW fails on any existing name, a planted link
        // included, so the folder is always one this call made.
        if (!CreateDirectoryW(path.c_str(), descriptor ? &security : nullptr)) {
            const DWORD error = GetLastError();
            IndexRemove(name);
            if (error != ERROR_ALREADY_EXISTS)
                break;
            continue;
        }
        UniqueHandle pin =
            OpenFolderNoFollow(path, FILE_LIST_DIRECTORY | READ_CONTROL | SYNCHRONIZE);
        TIndexEntry entry;
        if (pin)
            entry.descriptor = DescriptorOf(pin.Get());
        if (!pin || HandleIsReparsePoint(pin.Get()) || !FileIdOf(pin.Get(), &entry.id) ||
            entry.descriptor.empty() || !IndexWrite(name, &entry)) {
            pin.Reset();
            RemoveDirectoryW(path.c_str());
            IndexRemove(name);
            break;
        }
        Pin(path, std::move(pin));
        *dir = path + L'\\';
        made = true;
    }
    return made;
}

std::vector<std::wstring> StagingIndexNames() {
    std::vector<std::wstring> names;
    UniqueRegKey key;
    if (RegOpenKeyExW(IndexRoot(), kIndexKey, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[64] = {};
        DWORD chars = 64;
        if (RegEnumValueW(key.Get(), i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, chars);
    }
    return names;
}

std::vector<std::wstring> FindStagingDirs() {
    std::vector<std::wstring> dirs;
    const std::wstring base = StagingParent();
    if (base.empty())
        return dirs;
    for (const std::wstring& name : StagingIndexNames()) {
        const std::wstring path = base + name;
        if (IsTrustedStagingDir(path)) {
            dirs.push_back(path + L'\\');
            continue;
        }
        // The folder is gone (or never came to be): its entry goes too. A
        // folder at that name that is not the one made there stays unread.
        TIndexEntry recorded;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && !IsReparsePoint(path))
            IndexRemove(name);
        else if (!IndexLookup(name, &recorded))
            IndexRemove(name);
    }
    return dirs;
}

std::vector<std::wstring> FindStrayStagingDirs() {
    std::vector<std::wstring> dirs;
    const std::wstring base = UserTempDir();
    if (base.empty())
        return dirs;
    const bool indexedHere =
        CompareStringOrdinal(base.c_str(), -1, StagingParent().c_str(), -1, TRUE) == CSTR_EQUAL;
    WIN32_FIND_DATAW found = {};
    UniqueFind find(FindFirstFileW((base + L"qms*").c_str(), &found));
    if (!find)
        return dirs;
    do {
        const bool staging = IsStagingName(found.cFileName);
        const bool oldUnpack = _wcsicmp(found.cFileName, L"qmsTmp") == 0;
        if (!staging && !oldUnpack)
            continue;
        TIndexEntry recorded;
        if (indexedHere && staging && IndexLookup(found.cFileName, &recorded))
            continue;
        dirs.push_back(base + found.cFileName + L'\\');
    } while (FindNextFileW(find.Get(), &found));
    return dirs;
}

void ForgetStagingDir(const std::wstring& dir) {
    IndexRemove(LastComponent(WithoutTrailingSeparators(dir)));
}

bool DeleteOpenedFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        // A read-only file refuses to be deleted.
        FILE_BASIC_INFO basic = {};
        basic.FileAttributes = info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
        if (basic.FileAttributes == 0)
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic));
    }
    return DeleteThrough(file);
}

bool RemoveStagingDir(const std::wstring& dir) {
    const std::wstring path = WithoutTrailingSeparators(dir);
    if (!RemoveTreeNoFollow(path))
        return false;
    IndexRemove(LastComponent(path));
    return true;
}

bool RemoveTreeNoFollow(const std::wstring& dir) {
    const std::wstring root = WithoutTrailingSeparators(dir);
    if (root.empty())
        return false;
    // This process's own pin would refuse the delete access asked for below.
    Unpin(root);
    UniqueHandle h = OpenFolderNoFollow(root, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES |
                                                  FILE_WRITE_ATTRIBUTES | SYNCHRONIZE);
    if (!h)
        return GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES && !IsReparsePoint(root);
    // A link opened as what it names (Wine reaches through links to folders
    // whatever the open asks) is left alone: it is the link that is ours to
    // remove, never its target.
    if (!HandleIsReparsePoint(h.Get()) && IsReparsePoint(root))
        return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!HandleIsReparsePoint(h.Get()) && GetFileInformationByHandle(h.Get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !RemoveBelow(h.Get(), root, 0))
        return false;
    return DeleteThrough(h.Get());
}
