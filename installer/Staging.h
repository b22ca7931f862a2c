// One install run's private staging folder in the temporary directory, and
// the deletion of folder trees that never follows a link out of the tree.
// Both programs run elevated while the temporary directory belongs to the
// user, who may plant links there or swap folders between two steps.
#pragma once

#include <string>
#include <vector>

// One run's private staging folder: "<temp>\qms-<16 hex digits>\", where temp
// is GetTempPathW's folder (the user's own). The name comes from the system's
// random source and the folder is created new (the call fails when the name
// exists, link or not). When the process is elevated the folder carries an
// ACL for administrators and SYSTEM only, and the process keeps it open
// without delete sharing until RemoveTreeNoFollow removes it, so the user can
// neither write into it nor rename it or a folder above it away.
bool CreateStagingDir(std::wstring* dir); // dir gets a trailing backslash

// Earlier runs' staging folders (same naming), trailing backslash each;
// never a reparse point.
std::vector<std::wstring> FindStagingDirs();

// Deletes a tree without ever following a reparse point (a link is removed
// itself, never what it points at). False when something stayed.
bool RemoveTreeNoFollow(const std::wstring& dir);

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

// Whether an earlier run's staging folder may be trusted: when elevated, its
// owner must be the administrators, the system or this run's own account,
// which no other user can give a folder. What such a folder's journal says is
// carried out with the run's rights, so a folder that another user planted in
// the temporary folder is never read.
bool IsTrustedStagingDir(const std::wstring& dir);
