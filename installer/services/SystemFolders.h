// The system's and the user's well-known folders, and paths compared as the
// file system resolves them. Both programs run elevated: a folder is asked
// from the shell's known-folder store, never read from the per-user values
// Explorer leaves in the registry for old programs, which any user can edit.
#pragma once

#include "installer/services/PathText.h"

#include <windows.h>

#include <shlobj.h>

#include <string>

// A known folder's path without a trailing separator; empty when the shell
// has none (the folder is not created).
std::wstring KnownFolderPath(REFKNOWNFOLDERID id);

// The program files folder a 32-bit program installs below on this machine.
std::wstring ProgramFilesForProduct();

// The 64-bit program files folder on 64-bit Windows, also from a 32-bit
// process, which the known-folder store does not tell; empty on 32-bit
// Windows.
std::wstring ProgramFiles64();

// The absolute form of path as GetFullPathNameW gives it ("." and ".."
// resolved, '/' turned into '\', doubled separators merged), its existing
// components in their long form as GetLongPathNameW gives them (an 8.3 name
// such as "MYTOOL~1" becomes "My Tools"), without a trailing separator except
// after a drive root ("C:\"). Empty when path is empty or does not resolve.
std::wstring CanonicalPath(const std::wstring& path);

// A folder path the system gave (a known folder's, the program files') in a
// form to compare without regard to case with CanonicalPath's: CanonicalPath
// itself, or the absolute text alone when no level can be a short name.
// Worked out once per process for each such text.
std::wstring SystemFolderCanonical(const std::wstring& path);
// The same for a known folder; empty when the shell has none.
std::wstring KnownFolderCanonical(REFKNOWNFOLDERID id);

// True when both name the same folder or file once resolved (case ignored).
bool SamePath(const std::wstring& a, const std::wstring& b);

// True when path is absolute and local: a drive letter, a colon and a
// backslash ("C:\..."; "C:/..." has always been refused as an install
// folder). Relative, drive-relative ("C:dir"), rooted ("\dir")
// and network or device paths are not.
bool IsAbsoluteLocalPath(const std::wstring& path);

// True for folders nobody installs straight into and no uninstall may take
// away: a drive root, the Windows folder and the system folders below it,
// the program files folders, the temporary folder and the user's and the
// machine's shell folders (desktop, documents, profile, application data,
// Start menu, pictures, music, videos, downloads).
bool IsReservedFolder(const std::wstring& dir);

// True when dir lies inside the Windows folder (or is it).
bool IsInsideWindowsFolder(const std::wstring& dir);

// True when dir is, or lies inside, a folder whose content is a person's
// own or every user's (desktop, documents, Start menu, pictures, music,
// videos, downloads; the user's and the public ones): anything installed
// there shows up among that person's things or on every user's desktop.
bool IsInsideShellFolder(const std::wstring& dir);

// True when some component of the full path ends in a dot or a blank.
// Windows trims those from the last component of a path (so
// "C:\\Windows\\System32." is the system folder) and cannot make or reach
// such a name as a folder anywhere else.
bool HasTrimmedComponent(const std::wstring& fullPath);
