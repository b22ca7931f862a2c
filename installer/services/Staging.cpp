#include "installer/services/Staging.h"

#include "installer/services/NoFollowFile.h"
#include "installer/services/FolderHandle.h"
#include "installer/services/Product.h"
#include "installer/services/RandomText.h"
#include "installer/services/SlimLock.h"
#include "installer/services/SystemFolders.h"

#include "skinui/core/Handles.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <utility>

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

// The entry name of folder, opened relative to the folder's handle as the
// entry itself: a link there is opened as the link, never followed.
UniqueHandle OpenChild(HANDLE folder, const std::wstring& folderPath, const std::wstring& name) {
    TNoFollowOpen how;
    how.access = DELETE | FILE_WRITE_ATTRIBUTES | FILE_LIST_DIRECTORY;
    how.linkItself = true;
    return OpenEntryNoFollow(folder, folderPath, name, how);
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

// Whether path still names the folder held open as folder. On Windows the
// handle alone decides what is deleted; Wine removes a file by the path it
// was opened under, so there a folder swapped for a link must also be seen
// before anything below it goes.
bool StillAt(const std::wstring& path, const TFileIdentity& folder) {
    UniqueHandle again = OpenFolderNoFollow(path, FILE_READ_ATTRIBUTES);
    TFileIdentity now;
    return again && IdentityOf(again.Get(), &now) && SameIdentity(now, folder) &&
           !IsLinkHandle(again.Get());
}

// Whether an elevated run may remove what earlier versions left in the
// temporary folder open as folder. In the split-token case the elevated
// run's temporary folder is the user's own, and its very value comes from
// HKCU\Environment, which the user edits: pointed at a folder the user
// cannot write (another account's, the system's, a program's data), the
// clean-up would remove with administrator rights what the user could not.
// So it runs only in a folder the user owns: there everything it may remove
// is the user's to remove anyway (what earlier versions left inherited the
// folder's ACL), each entry is opened as itself, a link goes as a link and
// a hard link loses one name only. Without a linked token (SYSTEM, a full
// administrator) the folder is the account's own, which no standard user
// chooses or writes.
bool MayCleanTemporaryFolder(HANDLE folder) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    UniqueHandle token(raw);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof(type), &size))
        return false;
    if (type != TokenElevationTypeFull)
        return true;
    alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    PSID owner = nullptr;
    SkinUI::UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
    return GetTokenInformation(token.Get(), TokenUser, user, sizeof(user), &size) &&
           GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                           nullptr, nullptr, descriptor.Put()) == ERROR_SUCCESS &&
           owner && EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
}

// FileDispositionInfoEx's flags (Windows 10 1709 and 1809), which the
// headers give only to programs that require those versions.
constexpr DWORD kDispositionDelete = 0x00000001;
constexpr DWORD kDispositionPosix = 0x00000002;
constexpr DWORD kDispositionIgnoreReadOnly = 0x00000010;
constexpr auto kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
struct TDispositionInfoEx {
    DWORD flags;
};

// A read-only file refuses the old deletion.
void ClearReadOnly(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file, &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
        return;
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic));
}

// Whether a refused deletion was refused because the file is a program image
// that is mapped (running, or loaded as a DLL): with delete access held and
// the read-only attribute dealt with, that is what refuses to delete a file
// (a folder is refused for what it holds). Windows lets such a file be
// renamed, though.
bool IsMappedImage(HANDLE file) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    return GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof(tag)) &&
           !(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Renames a file that cannot be deleted yet aside within its own folder
// ("qms-<random>.del"), so that its name is free for what comes next (a new
// uninstaller, a client of the next version); false, since it is still
// there, and its folder with it, until a later removal of that folder.
bool RenameAside(HANDLE file) {
    const std::wstring name = kStagingPrefix + RandomHex(8) + L".del";
    // A name without a folder renames within the file's own folder.
    alignas(FILE_RENAME_INFO) BYTE buffer[sizeof(FILE_RENAME_INFO) + 64 * sizeof(wchar_t)] = {};
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer);
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    if (name.size() >= 64)
        return false;
    memcpy(rename->FileName, name.c_str(), name.size() * sizeof(wchar_t));
    SetFileInformationByHandle(file, FileRenameInfo, rename, sizeof(buffer));
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
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
    const std::wstring folderPath = HandlePathOnVolume(folder);
    for (const TChild& child : children) {
        UniqueHandle h = OpenChild(folder, folderPath, child.name);
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
        if (IsLinkHandle(h.Get())) {
            // The link itself, to a file as to a folder; what it names stays
            // untouched.
            complete = DeleteOpenedFile(h.Get()) && complete;
            continue;
        }
        if (child.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // Listed as a link but opened as what it names: the system
            // reached through it, so it is left where it is.
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
    return folder && !IsLinkHandle(folder.Get()) && FileIdOf(folder.Get(), &found) &&
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
        if (!pin || IsLinkHandle(pin.Get()) || !FileIdOf(pin.Get(), &entry.id) ||
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
    // The temporary folder is listed through a handle, reached level by level
    // without following a link.
    TNoFollowOpen how;
    how.access = FILE_LIST_DIRECTORY | READ_CONTROL;
    how.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    how.kind = TEntryKind::kFolder;
    UniqueHandle folder = OpenPathNoFollow(base, how);
    std::vector<TChild> children;
    if (!folder || !MayCleanTemporaryFolder(folder.Get()) || !ListChildren(folder.Get(), &children))
        return dirs;
    const bool indexedHere =
        CompareStringOrdinal(base.c_str(), -1, StagingParent().c_str(), -1, TRUE) == CSTR_EQUAL;
    for (const TChild& child : children) {
        const bool staging = IsStagingName(child.name.c_str());
        const bool oldUnpack = _wcsicmp(child.name.c_str(), L"qmsTmp") == 0;
        if (!staging && !oldUnpack)
            continue;
        TIndexEntry recorded;
        if (indexedHere && staging && IndexLookup(child.name, &recorded))
            continue;
        dirs.push_back(base + child.name + L'\\');
    }
    return dirs;
}

void ForgetStagingDir(const std::wstring& dir) {
    IndexRemove(LastComponent(WithoutTrailingSeparators(dir)));
}

bool DeleteOpenedFile(HANDLE file) {
    // POSIX semantics: the name goes at once, although a virus scanner, the
    // indexer or Explorer may hold the file open, so that its folder is empty
    // and can go right after; with the old semantics it stays "delete
    // pending" until the last handle closes. Windows 10 1709 and later; the
    // read-only attribute is ignored from 1809 on. What the system knows is
    // learnt once: an older system (or Wine) refuses the flags or the class.
    static std::atomic<int> s_flagSets{2};
    const DWORD flagSets[] = {kDispositionDelete | kDispositionPosix | kDispositionIgnoreReadOnly,
                              kDispositionDelete | kDispositionPosix};
    for (int i = 2 - s_flagSets.load(); i < 2; ++i) {
        if (i == 1)
            ClearReadOnly(file);
        TDispositionInfoEx ex = {flagSets[i]};
        if (SetFileInformationByHandle(file, kDispositionInfoEx, &ex, sizeof(ex)))
            return true;
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED && IsMappedImage(file))
            return RenameAside(file);
        if (error != ERROR_INVALID_PARAMETER && error != ERROR_INVALID_FUNCTION &&
            error != ERROR_NOT_SUPPORTED)
            return false;
        s_flagSets = 1 - i;
    }
    ClearReadOnly(file);
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    if (SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)))
        return true;
    if (GetLastError() == ERROR_ACCESS_DENIED && IsMappedImage(file))
        return RenameAside(file);
    return false;
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
    UniqueHandle h;
    const std::wstring temp = UserTempDir();
    if (!temp.empty() && root.size() > temp.size() &&
        CompareStringOrdinal(root.c_str(), static_cast<int>(temp.size()), temp.c_str(),
                             static_cast<int>(temp.size()), TRUE) == CSTR_EQUAL) {
        // In the user's temporary folder (in the split-token case its very
        // value comes from HKCU\Environment) the root too is reached level by
        // level from its volume, each level relative to the one above, and
        // opened as itself: a junction above it, or one that leads on to an
        // object-manager link, is never passed.
        TNoFollowOpen how;
        how.access = DELETE | FILE_LIST_DIRECTORY | FILE_WRITE_ATTRIBUTES;
        how.linkItself = true;
        h = OpenPathNoFollow(root, how);
        if (!h)
            return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    } else {
        // Elsewhere (the install folder, the system's temporary folder) the
        // folders above are the administrators'.
        h = OpenFolderNoFollow(root, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES |
                                         FILE_WRITE_ATTRIBUTES | SYNCHRONIZE);
        if (!h)
            return GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES &&
                   !IsReparsePoint(root);
        if (!IsLinkHandle(h.Get()) && IsReparsePoint(root))
            return false;
    }
    // A link goes as a link, to a file as to a folder: never its target.
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!IsLinkHandle(h.Get()) && GetFileInformationByHandle(h.Get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !RemoveBelow(h.Get(), root, 0))
        return false;
    return DeleteOpenedFile(h.Get());
}
