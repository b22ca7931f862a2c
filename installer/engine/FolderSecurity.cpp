#include "installer/engine/FolderSecurity.h"

#include "installer/services/Staging.h"
#include "installer/services/SystemFolders.h"

#include "skinui/core/Handles.h"

#include <aclapi.h>
#include <sddl.h>

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

// The system's installer service (NT SERVICE\TrustedInstaller), which owns
// the system's own folders.
constexpr wchar_t kTrustedInstallerSid[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

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

} // namespace

bool IsBelowProgramFiles(const std::wstring& dir) {
    const std::wstring path = CanonicalPath(dir);
    for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFilesX86, FOLDERID_ProgramFiles})
        if (IsBelow(path, CanonicalPath(KnownFolderPath(id))))
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
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if ((ace->Mask & kChangeRights) != 0 && !IsAdminSid(&ace->SidStart))
            return true;
    }
    return false;
}

bool SecureInstallFolder(const std::wstring& dir, bool* repaired) {
    *repaired = false;
    if (!IsProcessElevated())
        return true;
    std::wstring path = WithoutTrailingSeparators(dir);
    UniqueLocal<PSECURITY_DESCRIPTOR> now;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, now.Put()) != ERROR_SUCCESS)
        return false;
    if (!IsWritableByNonAdmins(now.Get()))
        return true;
    UniqueLocal<PSECURITY_DESCRIPTOR> wanted;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kInstallFolderSddl, SDDL_REVISION_1,
                                                              wanted.Put(), nullptr))
        return false;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    GetSecurityDescriptorOwner(wanted.Get(), &owner, &defaulted);
    GetSecurityDescriptorDacl(wanted.Get(), &present, &dacl, &defaulted);
    // The owner first: whoever owns the folder may rewrite any ACL it gets.
    // An elevated administrator may give it to the administrators.
    const DWORD ownerSet = SetNamedSecurityInfoW(
        &path[0], SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr, nullptr);
    const DWORD daclSet = SetNamedSecurityInfoW(
        &path[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
        nullptr, nullptr, dacl, nullptr);
    *repaired = true;
    return ownerSet == ERROR_SUCCESS && daclSet == ERROR_SUCCESS;
}
