// Who may write the folders the product is installed into. The installer and
// the uninstaller run elevated and the uninstall record points at the install
// folder, so a folder a standard user can write is a way for that user to
// have their own program run with administrator rights: any uninstaller they
// put there is what "remove" in the program list starts.
#pragma once

#include <windows.h>

#include <string>

// The ACL of a folder the installer makes outside the program files folders
// (which protect what lies below them already), and of an existing install
// folder it repairs: administrators and SYSTEM full control, users read and
// run; nothing inherited from above (a drive root lets every signed-in user
// change what is created below it).
extern const wchar_t kInstallFolderSddl[];

// True when dir lies below (or is) one of the program files folders.
bool IsBelowProgramFiles(const std::wstring& dir);

// Creates one folder level of an install folder: outside the program files
// folders, and when elevated, with kInstallFolderSddl; everywhere else with
// what the folder above passes on. As CreateDirectoryW: false with the error
// in GetLastError, ERROR_ALREADY_EXISTS for an existing level.
bool CreateInstallFolderLevel(const std::wstring& level);

// True when the descriptor lets anyone but the administrators, SYSTEM and the
// system's installer service change the folder, add to it, take or delete it
// (an allowed entry with such rights for any other account or group, or an
// owner other than those, who may always rewrite the ACL). A descriptor
// without a DACL lets everyone do everything.
bool IsWritableByNonAdmins(PSECURITY_DESCRIPTOR descriptor);

// Before an elevated install writes into an existing install folder: when
// other users can write it, its owner becomes the administrators and its ACL
// kInstallFolderSddl, which the files below it inherit. *repaired says
// whether it had to. False when the folder could not be made safe; nothing
// then may be installed there.
bool SecureInstallFolder(const std::wstring& dir, bool* repaired);
