// Each run's private staging folder, the index that tells later runs which
// staging folders are the programs' own, and the deletion of folder trees
// that never follows a link out of the tree.
//
// Both programs run elevated, while a standard user of the same machine (in
// the usual split-token case the very account the run belongs to) may plant
// folders, files and links in any folder that user can write, and swap them
// between two steps. So when elevated, a staging folder lies in the system's
// own temporary folder (where users may create folders but cannot rename,
// enter or delete the administrators' ones), is made new with an ACL for
// administrators and SYSTEM only, and is named, with its file id and that
// ACL, below HKEY_LOCAL_MACHINE, which no standard user can write. A later
// run trusts a staging folder only when the index names it and the folder
// found at that name is still the one that was made, with the owner and ACL
// it was given.
#pragma once

#include <string>
#include <vector>

// Where staging folders are made, ending with '\': the system's temporary
// folder (%SystemRoot%\Temp) when elevated, GetTempPathW's folder otherwise
// (a run without administrator rights can change nothing a user could not).
// Empty when it does not fit MAX_PATH.
std::wstring StagingParent();

// One run's private staging folder: "<StagingParent>\qms-<16 hex digits>\".
// The name comes from the system's random source and the folder is created
// new (the call fails when the name exists, link or not). When the process is
// elevated the folder carries an ACL for administrators and SYSTEM only, and
// the process keeps it open without delete sharing until RemoveTreeNoFollow
// removes it. The folder is in the index before anything is written into it.
bool CreateStagingDir(std::wstring* dir); // dir gets a trailing backslash

// The staging folders the index names for this run's rights that are still
// the folders that were made (trailing backslash each; never a reparse
// point). Index entries whose folder is gone are dropped.
std::vector<std::wstring> FindStagingDirs();

// The names the index holds for this run's rights, whatever their folders;
// every user can read them, so nothing may be derived from them.
std::vector<std::wstring> StagingIndexNames();

// Folders in the user's temporary folder named like staging folders (those of
// earlier versions and of runs without administrator rights) and the unpack
// folder of older versions: never read, only removed. Excludes the indexed
// ones.
std::vector<std::wstring> FindStrayStagingDirs();

// Whether dir is a staging folder the index names and still the folder that
// was made there: the same 128-bit file id and volume, and the same owner and
// DACL, read on a handle to the folder itself. Only such a folder's journal
// is carried out.
bool IsTrustedStagingDir(const std::wstring& dir);

// Records, in dir's index entry, the install folder the run of dir changes;
// written once the run knows it and before its journal names any change.
// False when dir is not trusted or the index cannot be written.
bool SetStagingScope(const std::wstring& dir, const std::wstring& installDir);
// The install folder recorded for dir; empty when dir is not trusted or none
// was recorded. A journal's file steps are held to it, never to what the
// journal says of itself.
std::wstring StagingScope(const std::wstring& dir);

// Drops dir's index entry: a folder the system removes at the next start (the
// uninstaller's clean-up copy) that no later run needs to find.
void ForgetStagingDir(const std::wstring& dir);

// Removes dir (a staging folder) with everything in it, and its index entry
// once it is gone. False when something stayed.
bool RemoveStagingDir(const std::wstring& dir);

// Deletes a tree without ever following a reparse point: every level is
// opened relative to the handle of the level above, with the link itself
// opened rather than its target, so a folder swapped for a link between two
// steps can only ever lose the link. False when something stayed.
bool RemoveTreeNoFollow(const std::wstring& dir);

// Deletes the file or empty folder open as file (opened with DELETE and
// FILE_WRITE_ATTRIBUTES access), read-only or not: whatever its name names
// by now, the deletion is of what was opened.
bool DeleteOpenedFile(void* file);

// True when path names a reparse point (junction, symbolic link, mount
// point) itself, whether or not its target exists; false when it names a
// plain file or folder or nothing.
bool IsReparsePoint(const std::wstring& path);

// True when no component of path at or below the first component after base
// is a reparse point (base itself is not checked: it is what the user chose,
// or the staging folder). base is a prefix of path; both full paths.
bool NoReparseBelow(const std::wstring& base, const std::wstring& path);

// True when the process runs with an elevated (administrator) token.
bool IsProcessElevated();
