// Who may write an install folder, decided from its security descriptor. Wine
// keeps no ACLs (every file reports the Wine user as owner with full control),
// so what the programs ask for and how they judge a descriptor are tested on
// descriptors themselves; each case names the Windows folder it stands for.
#include "installer/engine/FolderSecurity.h"
#include "installer/engine/InstallDir.h"
#include "installer/services/SystemFolders.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <cstring>
#include <map>
#include <string>

namespace {

bool WritableByNonAdmins(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        ADD_FAILURE() << "bad SDDL";
        return false;
    }
    const bool writable = IsWritableByNonAdmins(descriptor);
    LocalFree(descriptor);
    return writable;
}

TEST(FolderSecurity, DescriptorsThatLetOtherUsersChangeAFolder) {
    struct Case {
        const char* name;
        const wchar_t* sddl;
        bool writable;
    } cases[] = {
        {"what the installer gives a folder it makes", kInstallFolderSddl, false},
        {"a program files folder: users read, the installer service owns",
         L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
         L"D:P(A;OICI;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
         L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)",
         false},
        {"a folder below a drive root: signed-in users may change it",
         L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;AU)(A;OICI;0x1200a9;;;BU)",
         true},
        {"the drive root's own entry for signed-in users (create folders only)",
         L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;;0x4;;;AU)", true},
        {"rights passed on only to what is created below do not count",
         L"O:BAD:(A;OICI;FA;;;BA)(A;OICIIO;0x1301bf;;;AU)", false},
        {"made by the administrator's own account before elevation",
         L"O:S-1-5-21-1-2-3-1001D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},
        {"an entry for that account, whoever owns the folder",
         L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-21-1-2-3-1001)", true},
        {"everyone may delete it", L"O:BAD:(A;;SD;;;WD)(A;OICI;FA;;;BA)", true},
        {"users may rewrite its ACL", L"O:BAD:(A;;WD;;;BU)(A;OICI;FA;;;BA)", true},
        {"users may read and run only", L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", false},
        {"a denying entry never lets anyone in", L"O:BAD:(D;OICI;FA;;;BU)(A;OICI;FA;;;BA)", false},
        {"no DACL at all: everyone may do everything", L"O:BA", true},
        {"an empty DACL: nobody but the owner", L"O:BAD:", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.writable, WritableByNonAdmins(c.sddl));
    }
}

// The ACL is asked for outside the program files folders only: below them the
// folder takes what the program files folder passes on, which is what Windows
// gives every program there.
TEST(FolderSecurity, OnlyFoldersOutsideTheProgramFilesAreGivenTheirOwnAcl) {
    const std::wstring programFiles = ProgramFilesForProduct();
    ASSERT_FALSE(programFiles.empty());
    EXPECT_TRUE(IsBelowProgramFiles(programFiles));
    EXPECT_TRUE(IsBelowProgramFiles(programFiles + L"\\Quillmossdex\\"));
    EXPECT_TRUE(IsBelowProgramFiles(programFiles + L"\\a\\..\\Quillmossdex"));
    EXPECT_FALSE(IsBelowProgramFiles(programFiles + L" Extra\\Quillmossdex"));
    EXPECT_FALSE(IsBelowProgramFiles(L"C:\\Apps\\Quillmossdex\\"));
    EXPECT_FALSE(IsBelowProgramFiles(L"D:\\"));
}

// The staging folders' and the install folders' own descriptors are
// protected: nothing a folder above allows (a user's temporary folder, a
// drive root) reaches into them.
TEST(FolderSecurity, TheAclsAskedForInheritNothingFromAbove) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        kInstallFolderSddl, SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    LocalFree(descriptor);
}

// A descriptor from SDDL whose first entry is then given another kind:
// SDDL as Wine reads it spells no conditional (callback) or object entries,
// and their layout up to the SID is the plain entry's or set apart by flags.
struct TDescriptor {
    const wchar_t* sddl;
    BYTE firstEntryType = 0xFF; // 0xFF: as the SDDL says
};

PSECURITY_DESCRIPTOR Build(const TDescriptor& d) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(d.sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return nullptr;
    if (d.firstEntryType != 0xFF) {
        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        ACE_HEADER* first = nullptr;
        if (GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && dacl &&
            GetAce(dacl, 0, reinterpret_cast<void**>(&first)))
            first->AceType = d.firstEntryType;
    }
    return descriptor;
}

// The same rights for users as an object entry: mask, flags (no GUIDs), SID.
PSECURITY_DESCRIPTOR ObjectEntryFor(ACCESS_MASK rights, const wchar_t* sid) {
    PSID who = nullptr;
    if (!ConvertStringSidToSidW(sid, &who))
        return nullptr;
    const DWORD sidSize = GetLengthSid(who);
    const DWORD aceSize = sizeof(ACE_HEADER) + 2 * sizeof(DWORD) + sidSize;
    const DWORD aclSize = sizeof(ACL) + aceSize + 64;
    auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(
        LocalAlloc(LPTR, sizeof(SECURITY_DESCRIPTOR) + aclSize + 64));
    ACL* acl = reinterpret_cast<ACL*>(descriptor + 1);
    InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(acl, aclSize, ACL_REVISION_DS);
    BYTE ace[128] = {};
    auto* header = reinterpret_cast<ACE_HEADER*>(ace);
    header->AceType = ACCESS_ALLOWED_OBJECT_ACE_TYPE;
    header->AceSize = static_cast<WORD>(aceSize);
    memcpy(ace + sizeof(ACE_HEADER), &rights, sizeof(rights));
    CopySid(sidSize, ace + sizeof(ACE_HEADER) + 2 * sizeof(DWORD), who);
    AddAce(acl, ACL_REVISION_DS, MAXDWORD, ace, aceSize);
    SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE);
    // Owned by the administrators: only the entry can make it unsafe.
    static BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(admins);
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size);
    SetSecurityDescriptorOwner(descriptor, admins, FALSE);
    LocalFree(who);
    return descriptor;
}

// The rule every folder of an elevated install is judged by, level by level,
// on the descriptors Windows gives the folders each case stands for.
TEST(FolderSecurity, EachLevelOfAnInstallFolderIsJudgedByWhoMayChangeIt) {
    using FL = FolderLevel;
    struct Case {
        const char* name;
        TDescriptor descriptor;
        FL level;
        bool safe;
    } cases[] = {
        {"a drive root as Windows sets it up: users may add folders, not take them",
         {L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;;0x4;;;AU)"
          L"(A;OICIIO;SDGXGWGR;;;AU)"},
         FL::DriveRoot,
         true},
        {"the same entries on a folder above: users may add to it",
         {L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;;0x4;;;AU)"},
         FL::Above,
         false},
        {"a drive root everyone may change (an old data drive)",
         {L"O:BAD:(A;OICI;FA;;;WD)"},
         FL::DriveRoot,
         false},
        {"a drive root whose folders users may delete",
         {L"O:BAD:(A;OICI;FA;;;BA)(A;;0x40;;;BU)"},
         FL::DriveRoot,
         false},
        {"a drive root owned by a user",
         {L"O:S-1-5-21-1-2-3-1001D:(A;OICI;FA;;;BA)"},
         FL::DriveRoot,
         false},
        {"a parent a user made below a drive root (C:\\Apps)",
         {L"O:S-1-5-21-1-2-3-1001D:(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)"
          L"(A;OICIID;0x1200a9;;;BU)(A;OICIID;0x1301bf;;;AU)(A;OICIIOID;GA;;;CO)"},
         FL::Above,
         false},
        {"a parent an administrator made there: signed-in users may still rename it",
         {L"O:BAD:(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
          L"(A;OICIID;0x1301bf;;;AU)"},
         FL::Above,
         false},
        {"the program files folder",
         {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
          L"D:P(A;OICI;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
          L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)"},
         FL::Above,
         true},
        {"an install folder the installer made", {kInstallFolderSddl}, FL::InstallFolder, true},
        {"an install folder a user owns",
         {L"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"},
         FL::InstallFolder,
         false},
        {"a child a user owns in a repaired install folder: its owner may rewrite its ACL",
         {L"O:S-1-5-21-1-2-3-1001D:(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"},
         FL::Inside,
         false},
        {"a child with a protected DACL that lets users change it",
         {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)"},
         FL::Inside,
         false},
        {"a child that inherits the install folder's ACL",
         {L"O:BAD:(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"},
         FL::Inside,
         true},
        {"a deny entry does not take back the rest of a grant",
         {L"O:BAD:(D;;WDWO;;;AU)(A;;0x1301bf;;;AU)(A;OICI;FA;;;BA)"},
         FL::InstallFolder,
         false},
        {"a deny entry alone lets nobody in",
         {L"O:BAD:(D;OICI;FA;;;BU)(A;OICI;FA;;;BA)"},
         FL::InstallFolder,
         true},
        {"a conditional (callback) entry that lets users write",
         {L"O:BAD:(A;;0x1301bf;;;BU)(A;OICI;FA;;;BA)", ACCESS_ALLOWED_CALLBACK_ACE_TYPE},
         FL::InstallFolder,
         false},
        {"a conditional entry that lets users read and run",
         {L"O:BAD:(A;;0x1200a9;;;BU)(A;OICI;FA;;;BA)", ACCESS_ALLOWED_CALLBACK_ACE_TYPE},
         FL::InstallFolder,
         true},
        {"a conditional deny entry",
         {L"O:BAD:(D;;FA;;;BU)(A;OICI;FA;;;BA)", 10},
         FL::InstallFolder,
         true},
        {"an entry of a kind this code does not know",
         {L"O:BAD:(A;;0x1200a9;;;BU)(A;OICI;FA;;;BA)", 0x16},
         FL::InstallFolder,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PSECURITY_DESCRIPTOR descriptor = Build(c.descriptor);
        ASSERT_NE(nullptr, descriptor) << "bad SDDL";
        EXPECT_EQ(c.safe, IsSafeFolderLevel(descriptor, c.level));
        LocalFree(descriptor);
    }
    // An object entry: the SID comes after the flags.
    for (const auto& [rights, safe] :
         {std::pair<ACCESS_MASK, bool>{FILE_APPEND_DATA, false}, {FILE_GENERIC_READ, true}}) {
        PSECURITY_DESCRIPTOR descriptor = ObjectEntryFor(rights, L"S-1-5-32-545");
        ASSERT_NE(nullptr, descriptor);
        EXPECT_EQ(safe, IsSafeFolderLevel(descriptor, FolderLevel::InstallFolder)) << rights;
        LocalFree(descriptor);
    }
}

// What Windows would report for the folders of a case, keyed by path; every
// other folder is the administrators' alone. Wine keeps no ACLs, so the
// judgement of real folders is shown on descriptors standing in for them.
std::map<std::wstring, std::wstring>& StandIns() {
    static std::map<std::wstring, std::wstring> sddl;
    return sddl;
}
PSECURITY_DESCRIPTOR StandInDescriptor(const std::wstring& path) {
    std::wstring sddl = L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
    for (const auto& [folder, text] : StandIns())
        if (CompareStringOrdinal(folder.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL)
            sddl = text;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                         nullptr);
    return descriptor;
}
bool NoPersistentAcls(const std::wstring&, DWORD* flags) {
    *flags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    return true;
}

TEST(FolderSecurity, AnElevatedInstallIsRefusedWhereOthersCouldSwapWhatItInstalls) {
    const std::wstring userOwned = L"O:S-1-5-21-1-2-3-1001D:(A;OICI;FA;;;S-1-5-21-1-2-3-1001)";
    qmtest::TempDir work{L"qmjudge"};
    const std::wstring apps = CanonicalPath(work / L"apps");
    const std::wstring product = apps + L"\\Quillmossdex";
    ASSERT_TRUE(CreateDirectoryW(apps.c_str(), nullptr));
    struct Case {
        const char* name;
        std::map<std::wstring, std::wstring> standIns;
        bool installed; // the install folder and its res folder exist
        bool withoutAcls;
        FolderRisk risk;
        std::wstring path;
        const wchar_t* reason;
    } cases[] = {
        {"a new folder below folders only administrators may change",
         {},
         false,
         false,
         FolderRisk::None,
         L"",
         L""},
        {"a parent a user made",
         {{apps, userOwned}},
         false,
         false,
         FolderRisk::WritableAbove,
         apps,
         L"文件夹 \""},
        {"a drive root everyone may change",
         {{L"C:\\", L"O:BAD:(A;OICI;FA;;;WD)"}},
         false,
         false,
         FolderRisk::WritableAbove,
         L"C:\\",
         L"文件夹 \"C:\\\" 允许其他用户修改"},
        {"an earlier install folder a user owns",
         {{product, userOwned}},
         true,
         false,
         FolderRisk::WritableInstallFolder,
         product,
         L"安装目录允许其他用户修改"},
        {"a folder a user owns inside an earlier install folder",
         {{product + L"\\res", userOwned}},
         true,
         false,
         FolderRisk::WritableInside,
         product + L"\\res",
         L"安装目录中的 \""},
        {"a volume that keeps no ACLs",
         {},
         false,
         true,
         FolderRisk::NoPersistentAcls,
         L"C:",
         L"驱动器 C: 的文件系统 (例如 FAT32 或 exFAT) 不能保存权限设置"},
    };
    const DescriptorHook previousDescriptors = SetDescriptorHook(StandInDescriptor);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandIns() = c.standIns;
        if (c.installed) {
            ASSERT_TRUE(CreateDirectoryW(product.c_str(), nullptr));
            ASSERT_TRUE(CreateDirectoryW((product + L"\\res").c_str(), nullptr));
        }
        const VolumeFlagsHook previousVolumes =
            SetVolumeFlagsHook(c.withoutAcls ? NoPersistentAcls : nullptr);
        const TFolderRisk risk = JudgeInstallFolderSecurity(product + L"\\");
        const std::wstring reason = FolderSecurityRefusal(product + L"\\");
        SetVolumeFlagsHook(previousVolumes);
        EXPECT_EQ(static_cast<int>(c.risk), static_cast<int>(risk.risk));
        EXPECT_TRUE(CompareStringOrdinal(c.path.c_str(), -1, risk.path.c_str(), -1, TRUE) ==
                    CSTR_EQUAL);
        EXPECT_EQ(0u, reason.find(c.reason));
        // Every refusal names where to go instead.
        EXPECT_EQ(c.risk != FolderRisk::None,
                  reason.find(L"例如 " + ProgramFilesForProduct()) != std::wstring::npos);
        RemoveDirectoryW((product + L"\\res").c_str());
        RemoveDirectoryW(product.c_str());
    }
    SetDescriptorHook(previousDescriptors);
    StandIns().clear();
}

// A 32-bit process does not get the 64-bit program files folder from the
// known-folder store; it is still a folder nobody installs straight into, and
// below it the installer gives no ACL of its own.
TEST(FolderSecurity, The64BitProgramFilesIsKnownToo) {
    const std::wstring programFiles64 = ProgramFiles64();
    ASSERT_FALSE(programFiles64.empty());
    EXPECT_TRUE(SamePath(programFiles64, KnownFolderPath(FOLDERID_ProgramFilesX64)));
    EXPECT_TRUE(IsReservedFolder(programFiles64));
    EXPECT_TRUE(IsBelowProgramFiles(programFiles64 + L"\\Quillmossdex"));
}

} // namespace
