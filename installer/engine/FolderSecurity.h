// Who may write the folders the product is installed into. The installer and
// the uninstaller run elevated and the uninstall record points at the install
// folder, so a folder a standard user can write is a way for that user to
// have their own program run with administrator rights: any uninstaller they
// put there is what "remove" in the program list starts. The same holds for
// every folder above it: whoever may rename a level away can put a folder of
// their own, with their own uninstaller, at its name.
#pragma once

#include <windows.h>

#include <string>

// The ACL of a folder the installer makes outside the program files folders
// (which protect what lies below them already): administrators and SYSTEM
// full control, users read and run; nothing inherited from above (a drive
// root lets every signed-in user change what is created below it).
extern const wchar_t kInstallFolderSddl[];

// True when dir lies below (or is) one of the program files folders, the
// 64-bit one included when a 32-bit process asks.
bool IsBelowProgramFiles(const std::wstring& dir);

// Creates one folder level of an install folder: outside the program files
// folders, and when elevated, with kInstallFolderSddl; everywhere else with
// what the folder above passes on. As CreateDirectoryW: false with the error
// in GetLastError, ERROR_ALREADY_EXISTS for an existing level.
bool CreateInstallFolderLevel(const std::wstring& level);

// True when the descriptor lets anyone but the administrators, SYSTEM and the
// system's installer service change the folder, add to it, take or delete it:
// an allowing entry of any kind (conditional and object entries included)
// with such rights for any other account or group, or an owner other than
// those, who may always rewrite the ACL. Denying entries take nothing back
// here: a grant they do not cover in full still lets its holder in. A
// descriptor without a DACL lets everyone do everything.
bool IsWritableByNonAdmins(PSECURITY_DESCRIPTOR descriptor);

// Where an existing folder stands to the install folder; it decides what
// others must not be able to do to it.
enum class FolderLevel {
    // A drive root: every signed-in user may make folders there, which is
    // harmless as long as nobody but administrators may take away or rename
    // what lies in it.
    DriveRoot,
    // A folder the install folder lies below (C:\Apps for C:\Apps\Quillmossdex).
    Above,
    // The install folder itself, when it exists already.
    InstallFolder,
    // Anything already inside an existing install folder: the move merges
    // into its folders, and an owner keeps rewriting a child's ACL whatever
    // the folder above says.
    Inside,
};

// The folder-judging rule: true when the descriptor of a folder at that level
// is safe for an elevated install.
bool IsSafeFolderLevel(PSECURITY_DESCRIPTOR descriptor, FolderLevel level);

// What makes an install folder unsafe for an elevated install, found on the
// folder's existing levels before anything is made.
enum class FolderRisk {
    None,
    // The volume keeps no ACLs (FAT32, exFAT): whatever the installer gives,
    // every user can change the installed programs.
    NoPersistentAcls,
    // An existing level below the drive root is a link or a mount point
    // (path): whoever made it may point it elsewhere.
    Link,
    // A level above the install folder that others may change (path).
    WritableAbove,
    // The existing install folder others may change (path). It is refused,
    // not repaired: a repair takes back neither handles opened before it nor
    // what its children's owners may still do.
    WritableInstallFolder,
    // Something inside the existing install folder others may change (path).
    WritableInside,
};
struct TFolderRisk {
    FolderRisk risk = FolderRisk::None;
    std::wstring path;
};

// Judges dir's existing levels, and what an existing dir holds, for an
// install by this process: the volume's ACLs, links among the levels and who
// may change each level. The ACLs are judged only when this process is
// elevated (nothing else needs them) and the system keeps them (Wine makes
// each descriptor up, with the signed-in user owning everything).
TFolderRisk JudgeInstallFolderSecurity(const std::wstring& dir);

// Before an elevated install writes into its install folder: false when the
// folder, a level above it or something in it is not safe after all (as
// JudgeInstallFolderSecurity), so nothing may be installed there. Nothing
// is changed: *repaired is always false.
bool SecureInstallFolder(const std::wstring& dir, bool* repaired);

// What the file system reports, replaced by tests that stand in for a
// volume or an ACL this machine does not have. Only tests install hooks; the
// programs never do. Each setter returns the hook it replaces.
using VolumeFlagsHook = bool (*)(const std::wstring& volumeRoot, DWORD* flags);
VolumeFlagsHook SetVolumeFlagsHook(VolumeFlagsHook hook);
// The hook returns a descriptor allocated with LocalAlloc (owner and DACL),
// or null when the path has none to report.
using DescriptorHook = PSECURITY_DESCRIPTOR (*)(const std::wstring& path);
DescriptorHook SetDescriptorHook(DescriptorHook hook);
