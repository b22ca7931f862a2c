// The product's uninstaller: removes exactly what the installer created, as
// named by the entry list that the build packs into the payload.
#pragma once

#include "installer/services/EntryList.h"

#include <windows.h>

#include <string>
#include <vector>

// Exit codes of uninst.exe, for scripts.
enum UninstallExit : int {
    UNINSTALL_OK = 0,
    UNINSTALL_CANCELLED = 1,      // the user said no to a question
    UNINSTALL_NO_LIST = 2,        // no entry list: nothing of ours to remove here
    UNINSTALL_INCOMPLETE = 3,     // some files or folders could not be removed
    UNINSTALL_CLIENT_RUNNING = 4, // the client could not be stopped
    UNINSTALL_USAGE = 5           // an unknown switch: the usage was printed
};

struct UninstallOptions {
    std::wstring installDir; // with a trailing backslash
    bool silent = false;
    // The running uninstaller's own path; it is left for the clean-up copy.
    std::wstring selfPath;
};

// Removes the listed files and then the listed folders that are empty, deepest
// first. Returns false when a listed file that exists could not be deleted.
bool RemoveListedEntries(const std::wstring& installDir, const TEntryList& list,
                         const std::wstring& skipPath);

// Deletes the uninstall record, but only when it points at this installation.
bool RemoveUninstallRecord(const std::wstring& installDir);

// Deletes the Start-menu folder's two links, the folder when it is then empty,
// and the desktop link, for all users and for the user who runs it (where
// earlier versions made them); each link only when its target lies in
// installDir.
void RemoveShortcuts(const std::wstring& installDir);

// Stops running clients (exact image name); true when none is left running.
bool StopClients(DWORD waitMs);

// The whole uninstall; returns an UninstallExit code.
int RunUninstall(const UninstallOptions& options);

// Second stage, run from a copy in a staging folder after the first stage
// ended: deletes the original uninstaller and the folders left empty. The
// original goes only while it is still the file the first stage ran from
// (identity, as FileIdentityText gives it): an install that put a new
// uninstaller there meanwhile keeps it.
int RunCleanup(const std::wstring& installDir, DWORD parentPid, const std::wstring& identity);

// A file's identity (volume serial number and file index) as text; empty
// when the file cannot be opened.
std::wstring FileIdentityText(const std::wstring& path);
