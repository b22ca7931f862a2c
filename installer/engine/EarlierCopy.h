// An installation recorded in another folder than the one a run installs
// into: once the new copy is in place, the earlier one is removed as its
// uninstaller would remove it (what its entry list names, folders only when
// empty, whatever the user added stays), as part of the run's journaled
// change, so that a failure later in the run puts both copies back.
#pragma once

#include "installer/engine/InstallJob.h"

#include <string>
#include <vector>

class CInstallJournal;

// The entries of the installation in dir as its entry list names them
// ('\' separated, folders ending in one); empty when there is no list or it
// is no list of an install (too large, unreadable). Names that would lead out
// of dir are left out.
std::vector<std::wstring> ReadEntryListOf(const std::wstring& dir);

// Whether earlierDir (recorded) is another installation that a run into
// installDir should remove: another folder, neither inside the other, a
// plain folder that holds an entry list, and no folder a person or the
// system keeps other things in. Both end with a separator.
bool IsEarlierCopyToRemove(const std::wstring& earlierDir, const std::wstring& installDir);

// Sets aside every listed file of earlierDir into asideRoot (a folder inside
// earlierDir, so each is a rename on its own volume) and removes the listed
// folders that are then empty, each step written to journal first (which
// must name earlierDir as an earlier installation). journal may be null (a
// run without protection): the files are then deleted outright. A file that
// cannot be moved fails the step with its Win32 error in *error.
InstallResult RemoveEarlierCopy(const std::wstring& earlierDir, const std::wstring& asideRoot,
                                CInstallJournal* journal, DWORD* error, std::wstring* failedPath);

// After the run has committed and its aside folders are gone: the earlier
// folder itself when nothing is left in it.
void RemoveEarlierFolderIfEmpty(const std::wstring& earlierDir);
