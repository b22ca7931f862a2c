// Moves a directory's content into another directory, as an install puts the
// unpacked product in place over whatever an earlier install left there.
#pragma once

#include <windows.h>

#include <string>

// The system's ERROR_STOPPED_ON_SYMLINK, which the cross compiler's headers
// lack: a move met a link it must not follow.
constexpr DWORD kMoveLinkRefused = 681;

class CInstallJournal;
class CStopRequest;

// Moves everything inside from into the directory to (both end with a
// separator): replaces files, merges directories of the same name, and goes on
// past a failure so that a retry has as little left as possible. Returns
// ERROR_SUCCESS or the first Win32 error; to must exist. An entry below from
// or to that is a link (junction, symbolic link, mount point) is neither
// followed nor replaced: it fails with kMoveLinkRefused. from and to
// themselves are the caller's to check.
//
// The shell's FO_MOVE does the same on Windows, but under Wine it reports
// success for moves it did not make (a target file held open, a directory that
// exists in the target) and refuses a wildcard that matches only files. So the
// move is made here, entry by entry: a rename on one volume, a copy of each
// file across volumes.
DWORD MoveDirectoryContent(const std::wstring& from, const std::wstring& to);

// What a move that can be undone needs: the journal that names every change
// before it is made, and the run's stop request, which it looks at before
// each entry: while the stop question is up it waits there, so that nothing
// new is moved behind the question. Where the first failure happened goes to
// failedPath (when given): the entry's path in the target, or the folder
// that could not be opened.
struct TGuardedMove {
    CInstallJournal* journal = nullptr;
    const CStopRequest* stop = nullptr;
    std::wstring* failedPath = nullptr;
};

// As MoveDirectoryContent, but nothing is replaced in place: a file in the
// way is first renamed into aside (the same relative path below a folder on
// the same volume as to; "\\?\" paths allowed, as it lies one level deeper),
// and the journal names each change before it is made, so that it can be
// undone from the journal alone. Between entries it waits while a pause is
// asked for and stops with ERROR_CANCELLED once a stop is; the entries moved
// until then are in the journal, as every one is before it is touched. The three folders are opened
// level by level from their volume's root and every entry below them through the handle of its
// folder, never through a link at any level; each file and folder is renamed through a handle to
// itself.
DWORD MoveDirectoryContentGuarded(const std::wstring& from, const std::wstring& to,
                                  const std::wstring& aside, const TGuardedMove& guard);
