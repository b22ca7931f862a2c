#include "installer/services/FolderHandle.h"

#include "installer/services/SystemFolders.h"

#include <winternl.h>

#include <cstddef>
#include <cstring>

using SkinUI::UniqueHandle;

namespace {

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtQueryDirectoryFileFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK,
                                                PVOID, ULONG, ULONG, BOOLEAN, PUNICODE_STRING,
                                                BOOLEAN);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(NTSTATUS);
using NtSetInformationFileFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
// FileRenameInformation.
constexpr ULONG kRenameInformation = 10;

// The file options of NtCreateFile that winternl.h leaves out.
constexpr ULONG kDirectoryFile = 0x00000001;
constexpr ULONG kSynchronousIo = 0x00000020;
constexpr ULONG kNonDirectoryFile = 0x00000040;
constexpr ULONG kForBackupIntent = 0x00004000;
constexpr ULONG kOpenReparsePoint = 0x00200000;
constexpr ULONG kFileOpen = 1;
constexpr ULONG kFileCreate = 2;
// FileDirectoryInformation, the smallest listing record that has the
// attributes.
constexpr int kDirectoryInformation = 1;
// FileIdInfo and its record, from Windows 8 on; the headers offer them only
// to programs that require Windows 8, and this one runs on Windows 7.
constexpr int kFileIdInfo = 18;
struct TFileIdInfo {
    ULONGLONG volumeSerialNumber;
    BYTE fileId[16];
};

// ntdll is mapped into every process before its first instruction, so
// asking it for these loads nothing. The Win32 functions open only by path,
// and a path is what a user can swap between two steps.
template <typename Fn> Fn Ntdll(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

void SetErrorFromStatus(NTSTATUS status) {
    static const auto toDos = Ntdll<RtlNtStatusToDosErrorFn>("RtlNtStatusToDosError");
    SetLastError(toDos ? toDos(status) : ERROR_GEN_FAILURE);
}

struct TNameText {
    explicit TNameText(const std::wstring& name) {
        text.Buffer = const_cast<wchar_t*>(name.c_str());
        text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
        text.MaximumLength = text.Length;
    }
    UNICODE_STRING text;
};

// Wine opens what a link to a folder names even when asked for the link
// itself, so the handle alone cannot tell; the entry as its folder lists it
// still says it is a link. On Windows the handle already answers, and this
// asks the same question a second way.
bool ListedAsLink(HANDLE parent, const std::wstring& name) {
    static const auto query = Ntdll<NtQueryDirectoryFileFn>("NtQueryDirectoryFile");
    if (!query)
        return false;
    alignas(8) BYTE buffer[sizeof(FILE_DIRECTORY_INFORMATION) + MAX_PATH * sizeof(wchar_t)] = {};
    TNameText mask(name);
    IO_STATUS_BLOCK status = {};
    if (query(parent, nullptr, nullptr, nullptr, &status, buffer, sizeof(buffer),
              kDirectoryInformation, TRUE, &mask.text, TRUE) < 0)
        return false;
    const auto* entry = reinterpret_cast<const FILE_DIRECTORY_INFORMATION*>(buffer);
    return (entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsOneComponent(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"\\/") == std::wstring::npos &&
           name.size() * sizeof(wchar_t) <= 0xfffe;
}

} // namespace

bool HandleIsLink(HANDLE file) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof(tag)))
        return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    BY_HANDLE_FILE_INFORMATION info = {};
    return !GetFileInformationByHandle(file, &info) ||
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

UniqueHandle OpenBelow(HANDLE parent, const std::wstring& name, ACCESS_MASK access, bool folder,
                       BelowHow how, PSECURITY_DESCRIPTOR sd) {
    static const auto create = Ntdll<NtCreateFileFn>("NtCreateFile");
    if (!create || !IsOneComponent(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return UniqueHandle();
    }
    TNameText text(name);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text.text, OBJ_CASE_INSENSITIVE, parent, sd);
    IO_STATUS_BLOCK status = {};
    HANDLE h = nullptr;
    // The link itself, never what it names: a folder swapped for a link
    // between two steps can only make the open fail.
    const ULONG options = kOpenReparsePoint | kSynchronousIo | kForBackupIntent |
                          (folder ? kDirectoryFile : kNonDirectoryFile);
    const NTSTATUS result =
        create(&h, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL,
               FILE_SHARE_READ | FILE_SHARE_WRITE, how == BelowHow::New ? kFileCreate : kFileOpen,
               options, nullptr, 0);
    if (result < 0) {
        SetErrorFromStatus(result);
        return UniqueHandle();
    }
    UniqueHandle opened(h);
    // A name made new cannot be a link: the creation fails on any name there.
    if (how == BelowHow::Existing && (HandleIsLink(h) || ListedAsLink(parent, name))) {
        opened.Reset();
        SetLastError(kLinkRefused);
    }
    return opened;
}

UniqueHandle OpenFolderLevels(const std::wstring& path, ACCESS_MASK access) {
    std::wstring p = path;
    for (wchar_t& c : p)
        if (c == L'/')
            c = L'\\';
    if (p.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        p = L"\\\\" + p.substr(8);
    else if (p.compare(0, 4, L"\\\\?\\") == 0)
        p.erase(0, 4);
    // The volume's root: "C:\" or "\\server\share\".
    size_t rootEnd = 0;
    if (p.size() >= 3 && p[1] == L':' && p[2] == L'\\') {
        rootEnd = 3;
    } else if (p.compare(0, 2, L"\\\\") == 0) {
        const size_t server = p.find(L'\\', 2);
        const size_t share = server == std::wstring::npos ? server : p.find(L'\\', server + 1);
        rootEnd = share == std::wstring::npos ? p.size() : share + 1;
    } else {
        SetLastError(ERROR_BAD_PATHNAME);
        return UniqueHandle();
    }
    const std::wstring root =
        p.compare(0, 2, L"\\\\") == 0 ? p.substr(0, rootEnd) : L"\\\\?\\" + p.substr(0, rootEnd);
    constexpr ACCESS_MASK kLevelAccess = FILE_TRAVERSE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
    size_t pos = rootEnd;
    while (pos < p.size() && p[pos] == L'\\')
        ++pos;
    const bool rootIsLast = pos >= p.size();
    UniqueHandle level(
        CreateFileW(root.c_str(), rootIsLast ? access | kLevelAccess : kLevelAccess,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    while (level && pos < p.size()) {
        size_t end = p.find(L'\\', pos);
        if (end == std::wstring::npos)
            end = p.size();
        size_t next = end;
        while (next < p.size() && p[next] == L'\\')
            ++next;
        const bool last = next >= p.size();
        level = OpenBelow(level.Get(), p.substr(pos, end - pos),
                          last ? access | kLevelAccess : kLevelAccess, true, BelowHow::Existing);
        pos = next;
    }
    return level;
}

bool FileIdOf(HANDLE file, TFileId* id) {
    *id = TFileId();
    TFileIdInfo info = {};
    if (GetFileInformationByHandleEx(file, static_cast<FILE_INFO_BY_HANDLE_CLASS>(kFileIdInfo),
                                     &info, sizeof(info))) {
        id->volume = info.volumeSerialNumber;
        static_assert(sizeof(info.fileId) == sizeof(id->id), "a 128-bit id");
        memcpy(id->id, info.fileId, sizeof(id->id));
        return true;
    }
    // Before Windows 8 and on file systems without the 128-bit ids.
    BY_HANDLE_FILE_INFORMATION old = {};
    if (!GetFileInformationByHandle(file, &old))
        return false;
    id->volume = old.dwVolumeSerialNumber;
    const ULONGLONG index = (static_cast<ULONGLONG>(old.nFileIndexHigh) << 32) | old.nFileIndexLow;
    memcpy(id->id, &index, sizeof(index));
    return true;
}

bool SameFileId(const TFileId& a, const TFileId& b) {
    return a.volume == b.volume && memcmp(a.id, b.id, sizeof(a.id)) == 0;
}

bool ListBelow(HANDLE folder, std::vector<TBelow>* entries) {
    alignas(8) BYTE buffer[32 * 1024];
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(folder, kind, buffer, sizeof(buffer)))
            return GetLastError() == ERROR_NO_MORE_FILES;
        kind = FileIdBothDirectoryInfo;
        for (size_t offset = 0;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
            if (offset + sizeof(FILE_ID_BOTH_DIR_INFO) > sizeof(buffer) ||
                offset + offsetof(FILE_ID_BOTH_DIR_INFO, FileName) + entry->FileNameLength >
                    sizeof(buffer))
                return false;
            std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                entries->push_back({name, entry->FileAttributes});
            if (entry->NextEntryOffset == 0)
                break;
            offset += entry->NextEntryOffset;
        }
    }
}

namespace {

// FILE_RENAME_INFORMATION as the kernel takes it.
struct TRenameInformation {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[1];
};

bool Rename(HANDLE item, HANDLE root, const std::wstring& name) {
    static const auto set = Ntdll<NtSetInformationFileFn>("NtSetInformationFile");
    if (!set || name.size() > 0x7fff) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    std::vector<BYTE> buffer(offsetof(TRenameInformation, fileName) +
                             (name.size() + 1) * sizeof(wchar_t));
    auto* info = reinterpret_cast<TRenameInformation*>(buffer.data());
    info->replaceIfExists = FALSE;
    info->rootDirectory = root;
    info->fileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    memcpy(info->fileName, name.c_str(), name.size() * sizeof(wchar_t));
    IO_STATUS_BLOCK status = {};
    const NTSTATUS result =
        set(item, &status, info, static_cast<ULONG>(buffer.size()), kRenameInformation);
    if (result < 0) {
        SetErrorFromStatus(result);
        return false;
    }
    return true;
}

} // namespace

bool RenameBelow(HANDLE item, HANDLE folder, const std::wstring& folderPath,
                 const std::wstring& name) {
    if (!IsOneComponent(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (Rename(item, folder, name))
        return true;
    // Only the ways Wine fails a rename with a folder handle: any other
    // failure is the rename's own.
    const DWORD error = GetLastError();
    if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
         error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED) ||
        folderPath.empty())
        return false;
    // Wine resolves the new name without the folder handle; the folder's
    // path then names it, in the kernel's form.
    std::wstring path = folderPath;
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        path = L"\\??\\UNC\\" + path.substr(8);
    else if (path.compare(0, 4, L"\\\\?\\") == 0)
        path = L"\\??\\" + path.substr(4);
    else if (path.compare(0, 2, L"\\\\") == 0)
        path = L"\\??\\UNC\\" + path.substr(2);
    else
        path = L"\\??\\" + path;
    if (path.back() != L'\\')
        path += L'\\';
    if (Rename(item, nullptr, path + name))
        return true;
    SetLastError(error);
    return false;
}
