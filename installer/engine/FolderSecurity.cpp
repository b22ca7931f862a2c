#include "installer/engine/FolderSecurity.h"

#include "installer/services/Staging.h"
#include "installer/services/SystemFolders.h"

#include "skinui/core/Handles.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <vector>

using SkinUI::UniqueFind;
using SkinUI::UniqueHandle;
using SkinUI::UniqueLocal;

const wchar_t kInstallFolderSddl[] =
    L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";

namespace {

// Rights that let their holder change what a folder holds or who may: write
// or append (add files and folders), delete it or its children, rewrite its
// ACL or take it.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER |
                                      GENERIC_WRITE | GENERIC_ALL;
// Rights on a drive root that reach what lies in it: delete or rename its
// folders, or give that right to oneself.
constexpr ACCESS_MASK kRootTakeRights = FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;

// The system's installer service (NT SERVICE\TrustedInstaller), which owns
// the system's own folders.
constexpr wchar_t kTrustedInstallerSid[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

VolumeFlagsHook g_volumeFlagsHook = nullptr;
DescriptorHook g_descriptorHook = nullptr;

bool IsAdminSid(PSID sid) {
    if (!sid || !IsValidSid(sid))
        return false;
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid))
        return true;
    UniqueLocal<PSID> installer;
    if (!ConvertStringSidToSidW(kTrustedInstallerSid, installer.Put()))
        return false;
    return EqualSid(sid, installer.Get()) != FALSE;
}

bool IsBelow(const std::wstring& dir, const std::wstring& folder) {
    if (folder.empty() || dir.size() < folder.size())
        return false;
    if (CompareStringOrdinal(dir.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                             static_cast<int>(folder.size()), TRUE) != CSTR_EQUAL)
        return false;
    return dir.size() == folder.size() || dir[folder.size()] == L'\\';
}

// The SID that starts at sid inside the entry, or null when it does not fit
// the entry's size (a damaged entry is judged as one for anybody).
PSID SidInside(const ACE_HEADER* header, const BYTE* sid) {
    const BYTE* end = reinterpret_cast<const BYTE*>(header) + header->AceSize;
    // Revision, count of sub-authorities, the 6-byte authority.
    if (sid + 8 > end)
        return nullptr;
    const size_t length = 8 + 4 * static_cast<size_t>(sid[1]);
    if (sid + length > end)
        return nullptr;
    PSID result = const_cast<BYTE*>(sid);
    return IsValidSid(result) ? result : nullptr;
}

// What an entry grants, when it grants anything: false for denying, audit,
// label and attribute entries. Every kind of allowing entry counts, those
// whose condition or object type may narrow them included: the judgement
// must hold whatever the condition says. A kind this code does not know is
// taken to grant everything to anybody.
bool AllowedByEntry(const ACE_HEADER* header, ACCESS_MASK* mask, PSID* sid) {
    const BYTE* body = reinterpret_cast<const BYTE*>(header) + sizeof(ACE_HEADER);
    auto maskAt = [&](const BYTE* at) {
        ACCESS_MASK m = 0;
        if (at + sizeof(m) <= reinterpret_cast<const BYTE*>(header) + header->AceSize)
            memcpy(&m, at, sizeof(m));
        else
            m = GENERIC_ALL;
        return m;
    };
    switch (header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
        // The mask, then the SID (and for a callback entry its condition).
        *mask = maskAt(body);
        *sid = SidInside(header, body + sizeof(ACCESS_MASK));
        return true;
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE: {
        // The mask, the flags, the GUIDs the flags name, then the SID.
        *mask = maskAt(body);
        const DWORD flags = maskAt(body + sizeof(ACCESS_MASK));
        const BYTE* at = body + 2 * sizeof(DWORD);
        if (flags & ACE_OBJECT_TYPE_PRESENT)
            at += sizeof(GUID);
        if (flags & ACE_INHERITED_OBJECT_TYPE_PRESENT)
            at += sizeof(GUID);
        *sid = SidInside(header, at);
        return true;
    }
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
    case SYSTEM_AUDIT_ACE_TYPE:
    case SYSTEM_ALARM_ACE_TYPE:
    case SYSTEM_AUDIT_OBJECT_ACE_TYPE:
    case SYSTEM_ALARM_OBJECT_ACE_TYPE:
    case SYSTEM_AUDIT_CALLBACK_ACE_TYPE:
    case SYSTEM_ALARM_CALLBACK_ACE_TYPE:
    case SYSTEM_AUDIT_CALLBACK_OBJECT_ACE_TYPE:
    case SYSTEM_ALARM_CALLBACK_OBJECT_ACE_TYPE:
    case SYSTEM_MANDATORY_LABEL_ACE_TYPE:
    case 0x12: // resource attribute
    case 0x13: // scoped policy id
    case 0x14: // process trust label
    case 0x15: // access filter
        return false;
    default:
        // The compound entry (server and client SIDs) and anything newer.
        *mask = GENERIC_ALL;
        *sid = nullptr;
        return true;
    }
}

// True when an entry of the descriptor that applies to the object itself
// grants any of rights to somebody other than the administrators, or the
// owner is somebody else, or there is no DACL.
bool GrantsOthers(PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK rights) {
    if (!descriptor || !IsValidSecurityDescriptor(descriptor))
        return true;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !IsAdminSid(owner))
        return true;
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl)
        return true;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)))
            return true;
        // Entries only passed on to what is created below do not apply here.
        if (header->AceFlags & INHERIT_ONLY_ACE)
            continue;
        ACCESS_MASK mask = 0;
        PSID sid = nullptr;
        if (AllowedByEntry(header, &mask, &sid) && (mask & rights) != 0 && !IsAdminSid(sid))
            return true;
    }
    return false;
}

// Wine keeps no ACLs: it makes every descriptor up from the Unix file's mode,
// with the signed-in user as the owner of everything, and keeps none it is
// given. Judged, they would refuse every folder; on Windows this is false.
bool AclsAreMadeUp() {
    static const bool madeUp =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return madeUp;
}

// The owner and DACL of path itself, a link not followed; null when they
// cannot be read.
UniqueLocal<PSECURITY_DESCRIPTOR> DescriptorOf(const std::wstring& path) {
    UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (g_descriptorHook) {
        descriptor.Reset(g_descriptorHook(path));
        return descriptor;
    }
    UniqueHandle h(CreateFileW(
        path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h)
        return descriptor;
    if (GetSecurityInfo(h.Get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, descriptor.Put()) != ERROR_SUCCESS)
        descriptor.Reset();
    return descriptor;
}

bool IsSafeAt(const std::wstring& path, FolderLevel level) {
    const UniqueLocal<PSECURITY_DESCRIPTOR> descriptor = DescriptorOf(path);
    return descriptor && IsSafeFolderLevel(descriptor.Get(), level);
}

bool VolumeKeepsAcls(const std::wstring& folder) {
    wchar_t root[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(folder.c_str(), root, MAX_PATH))
        return true;
    DWORD flags = 0;
    const bool known = g_volumeFlagsHook ? g_volumeFlagsHook(root, &flags)
                                         : GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr,
                                                                 &flags, nullptr, 0) != 0;
    // A volume that cannot tell refuses what is made on it soon enough.
    return !known || (flags & FILE_PERSISTENT_ACLS) != 0;
}

// The first thing inside folder (its path in *where) that others may change;
// links are judged as themselves and not entered.
bool FindWritableInside(const std::wstring& folder, std::wstring* where) {
    WIN32_FIND_DATAW found = {};
    UniqueFind find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find)
        return false;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        if (!IsSafeAt(path, FolderLevel::Inside)) {
            *where = path;
            return true;
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            FindWritableInside(path, where))
            return true;
    } while (FindNextFileW(find.Get(), &found));
    return false;
}

} // namespace

bool IsBelowProgramFiles(const std::wstring& dir) {
    const std::wstring path = CanonicalPath(dir);
    for (const std::wstring& folder :
         {KnownFolderCanonical(FOLDERID_ProgramFilesX86),
          KnownFolderCanonical(FOLDERID_ProgramFiles), SystemFolderCanonical(ProgramFiles64())})
        if (IsBelow(path, folder))
            return true;
    return false;
}

bool CreateInstallFolderLevel(const std::wstring& level) {
    if (!IsProcessElevated() || IsBelowProgramFiles(level))
        return CreateDirectoryW(level.c_str(), nullptr) != FALSE;
    UniqueLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kInstallFolderSddl, SDDL_REVISION_1,
                                                              descriptor.Put(), nullptr))
        return false;
    SECURITY_ATTRIBUTES security = {sizeof(security), descriptor.Get(), FALSE};
    const BOOL made = CreateDirectoryW(level.c_str(), &security);
    // Callers read the last error after a failure; freeing may touch it.
    const DWORD error = GetLastError();
    descriptor.Reset();
    SetLastError(error);
    return made != FALSE;
}

bool IsWritableByNonAdmins(PSECURITY_DESCRIPTOR descriptor) {
    return GrantsOthers(descriptor, kChangeRights);
}

bool IsSafeFolderLevel(PSECURITY_DESCRIPTOR descriptor, FolderLevel level) {
    if (level == FolderLevel::DriveRoot)
        return !GrantsOthers(descriptor, kRootTakeRights);
    return !IsWritableByNonAdmins(descriptor);
}

TFolderRisk JudgeInstallFolderSecurity(const std::wstring& dir) {
    const std::wstring full = WithoutTrailingSeparators(CanonicalPath(dir));
    if (!IsAbsoluteLocalPath(full))
        return {};
    // The existing levels, the drive root first; the walk stops at the first
    // level that does not exist, below which nothing does.
    std::vector<std::wstring> existing;
    bool whole = false;
    for (size_t at = 2;; at = full.find(L'\\', at + 1)) {
        const std::wstring level = at == 2                    ? full.substr(0, 3)
                                   : at == std::wstring::npos ? full
                                                              : full.substr(0, at);
        const DWORD attrs = GetFileAttributesW(level.c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY))
            break;
        // What a link leads to is its maker's to change, whatever the ACL of
        // either end says.
        if (!existing.empty() && (attrs & FILE_ATTRIBUTE_REPARSE_POINT))
            return {FolderRisk::Link, level};
        existing.push_back(level);
        whole = level.size() >= full.size();
        if (whole)
            break;
    }
    if (existing.empty() || !IsProcessElevated())
        return {};
    // The ACL given to what is made lasts only on a volume that keeps it.
    if (!VolumeKeepsAcls(existing.back()))
        return {FolderRisk::NoPersistentAcls, full.substr(0, 2)};
    if (!g_descriptorHook && AclsAreMadeUp())
        return {};
    for (size_t i = 0; i < existing.size(); ++i) {
        const bool installFolder = whole && i + 1 == existing.size();
        const FolderLevel role = i == 0          ? FolderLevel::DriveRoot
                                 : installFolder ? FolderLevel::InstallFolder
                                                 : FolderLevel::Above;
        if (!IsSafeAt(existing[i], role))
            return {installFolder ? FolderRisk::WritableInstallFolder : FolderRisk::WritableAbove,
                    existing[i]};
    }
    std::wstring where;
    if (whole && FindWritableInside(full, &where))
        return {FolderRisk::WritableInside, where};
    return {};
}

bool SecureInstallFolder(const std::wstring& dir, bool* repaired) {
    *repaired = false;
    return JudgeInstallFolderSecurity(dir).risk == FolderRisk::None;
}

VolumeFlagsHook SetVolumeFlagsHook(VolumeFlagsHook hook) {
    const VolumeFlagsHook previous = g_volumeFlagsHook;
    g_volumeFlagsHook = hook;
    return previous;
}

DescriptorHook SetDescriptorHook(DescriptorHook hook) {
    const DescriptorHook previous = g_descriptorHook;
    g_descriptorHook = hook;
    return previous;
}
