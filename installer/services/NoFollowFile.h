// Opening files and folders by a path that someone else may have planted
// links along (the user's temporary folder, a log path a script names, the
// per-user shell folders), without ever going through a link: every level is
// opened relative to the handle of the level above, the name's own entry
// rather than what a link there names. Both programs run elevated there.
#pragma once

#include "skinui/core/Handles.h"

#include <windows.h>

#include <string>

// What the last level of a no-follow open must be.
enum class TEntryKind { kFile, kFolder, kAny };

struct TNoFollowOpen {
    // Asked of the last level; FILE_READ_ATTRIBUTES and SYNCHRONIZE are
    // always added, the checks need them.
    DWORD access = 0;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    // OPEN_EXISTING, CREATE_NEW or OPEN_ALWAYS: never one that truncates,
    // which would act before the checks.
    DWORD disposition = OPEN_EXISTING;
    TEntryKind kind = TEntryKind::kAny;
    // Given to a file or folder the open creates; null: inherited.
    PSECURITY_DESCRIPTOR security = nullptr;
    // A link (junction, symbolic link, mount point) at the last level is
    // opened as the link itself, to be removed, instead of being refused.
    // Links above the last level are refused either way.
    bool linkItself = false;
};

// Opens name (one entry, no separators) of the folder open as folder,
// relative to that handle, as the entry itself: a link there is opened as
// the link (and refused unless how.linkItself), never followed. created (may
// be null) tells whether the open made the entry. On failure the last error
// says why: ERROR_CANT_ACCESS_FILE for a link or an entry the system could
// only open through one, ERROR_DIRECTORY or ERROR_ACCESS_DENIED for an entry
// of the wrong kind, otherwise the system's.
SkinUI::UniqueHandle OpenEntryNoFollow(HANDLE folder, const std::wstring& name,
                                       const TNoFollowOpen& how, bool* created = nullptr);
// The same for many entries of one folder: folderPath is what
// HandlePathOnVolume gave for folder, asked once.
SkinUI::UniqueHandle OpenEntryNoFollow(HANDLE folder, const std::wstring& folderPath,
                                       const std::wstring& name, const TNoFollowOpen& how,
                                       bool* created = nullptr);

// The path of the file or folder open as h below the root of its volume
// ("\dir\name"), as the system names the handle; empty when it cannot be
// asked.
std::wstring HandlePathOnVolume(HANDLE h);

// Opens path (a full path: "X:\..." or "\\server\share\...") level by level
// from the root of its volume, each level relative to the handle of the one
// above, and refuses a link or a file at any level above the last ("." and
// ".." are resolved as text first). The last level is opened as
// OpenEntryNoFollow opens it. A missing level above the last fails with
// ERROR_PATH_NOT_FOUND.
SkinUI::UniqueHandle OpenPathNoFollow(const std::wstring& path, const TNoFollowOpen& how,
                                      bool* created = nullptr);

// True when the handle is open on a link (junction, symbolic link, mount
// point) itself; true as well when that cannot be told.
bool IsLinkHandle(HANDLE h);

// Opens path as CreateFileW does (disposition OPEN_ALWAYS, OPEN_EXISTING or
// CREATE_NEW), through OpenPathNoFollow, and refuses a folder and a file
// that has another name as well (a hard link makes the name another file's
// second name). A refused file is closed untouched and the call fails with
// ERROR_CANT_ACCESS_FILE. existed (may be null) tells whether the file was
// there before; security (may be null) is given to a file it creates.
HANDLE OpenFileNoFollow(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                        bool* existed, PSECURITY_DESCRIPTOR security = nullptr);

// Turns on the process's redirection trust policy (Windows 10 and 11 builds
// from 2022 on), enforced: the system then follows no junction that a
// non-administrator made, for any open of this process, a second line
// behind the opens above. Returns a line for the log that says whether it
// is on; a system without the policy (older Windows) refuses it, and the
// programs run on without it.
std::wstring EnforceRedirectionTrust();
