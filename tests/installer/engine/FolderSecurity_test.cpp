// Who may write an install folder, decided from its security descriptor. Wine
// keeps no ACLs (every file reports the Wine user as owner with full control),
// so what the programs ask for and how they judge a descriptor are tested on
// descriptors themselves; each case names the Windows folder it stands for.
#include "installer/engine/FolderSecurity.h"
#include "installer/services/SystemFolders.h"

#include <gtest/gtest.h>

#include <sddl.h>

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

} // namespace
