// Files and folders an elevated run writes, reached only through handles:
// each level is opened relative to the handle of the level above and never
// through a link, junction or mount point at any level, and what the run
// makes is created new, so that no name a user planted first is taken over.
#pragma once

#include "skinui/core/Handles.h"

#include <windows.h>

#include <string>
#include <vector>

// The system's ERROR_STOPPED_ON_SYMLINK, which the cross compiler's headers
// lack: an open met a link it must not follow.
constexpr DWORD kLinkRefused = 681;

// Whether a name below a folder is opened or made.
enum class BelowHow {
    Existing, // it must be there already
    New,      // it must not be there: a name in the way fails the call
};

// Opens name (one component, no separator) below the folder open as parent,
// as a folder or as a file, never through a link: a link at the name is
// refused (kLinkRefused), and a new one is made with sd (null: what the
// folder above passes on). On failure the handle is empty and the Win32
// error is in GetLastError (ERROR_ALREADY_EXISTS for a name in the way of
// BelowHow::New). SYNCHRONIZE is always added to access.
SkinUI::UniqueHandle OpenBelow(HANDLE parent, const std::wstring& name, ACCESS_MASK access,
                               bool folder, BelowHow how, PSECURITY_DESCRIPTOR sd = nullptr);

// Opens the existing folder path (absolute; "C:\...", "\\?\C:\..." or a UNC
// path) from its volume's root, level by level with OpenBelow, so that no
// level is reached through a link. Empty on failure, GetLastError says why.
SkinUI::UniqueHandle OpenFolderLevels(const std::wstring& path, ACCESS_MASK access);

// The identity of a file or folder that survives renames: the volume's
// serial and the 128-bit file id where the file system has one (ReFS needs
// it), the 64-bit id widened otherwise.
struct TFileId {
    ULONGLONG volume = 0;
    BYTE id[16] = {};
};
bool FileIdOf(HANDLE file, TFileId* id);
bool SameFileId(const TFileId& a, const TFileId& b);

// Whether the handle is a link itself (it was opened as one).
bool HandleIsLink(HANDLE file);

// One entry of a folder as its handle lists it.
struct TBelow {
    std::wstring name;
    DWORD attributes = 0;
};
// The entries of the folder open as folder (with FILE_LIST_DIRECTORY),
// without "." and "..": what that folder holds, whatever its path names now.
bool ListBelow(HANDLE folder, std::vector<TBelow>* entries);

// Renames the file or folder open as item (with DELETE access) to name in
// the folder open as folder, never over an existing name. folderPath is that
// folder's path, ending with '\': Wine takes no folder handle for a rename,
// so there the full path is used, as Windows never needs it.
bool RenameBelow(HANDLE item, HANDLE folder, const std::wstring& folderPath,
                 const std::wstring& name);
