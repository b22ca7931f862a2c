// The journal of one install run: every change the run makes to the install
// folder, the links and the registry is written down before it is made, so
// that the run itself (on failure or cancel) or any later run (after this one
// was killed) can put back exactly what was there, or finish what a run had
// already committed.
//
// The file lives in the run's staging folder and is held open, without write
// or delete sharing, for as long as the run lives: a later run that can open
// it for writing knows its owner is gone.
#pragma once

#include "skinui/core/Handles.h"

#include <windows.h>

#include <string>
#include <vector>

// One change as the journal holds it, written before the change is made.
struct TJournalFile {
    // The file was there before; it is moved to aside first.
    bool existed = false;
    std::wstring target;
    std::wstring aside;
};

class CInstallJournal {
public:
    // Creates the journal file (empty) and holds it. False on failure.
    bool Open(const std::wstring& path);
    bool IsOpen() const { return static_cast<bool>(m_file); }
    const std::wstring& Path() const { return m_path; }

    // The install folder this run changes: the first line. Nothing outside
    // it (and the product's links and registry places) is ever undone.
    bool NoteInstallDir(const std::wstring& dir);
    // The folder of an earlier installation the run removes (it moved to
    // the install folder): its files, aside folders and folders are within
    // the journal's reach as the install folder's are.
    bool NoteEarlierInstallDir(const std::wstring& dir);
    // Where replaced files of the install folder wait, inside the install
    // folder; removed at the end.
    bool NoteAsideRoot(const std::wstring& dir);
    // A folder this run creates (it did not exist).
    bool NoteCreatedDir(const std::wstring& dir);
    // Files put in place, in one write.
    bool NoteFiles(const std::vector<TJournalFile>& files);
    // An empty folder about to be removed (an update no longer carries it).
    bool NoteRemovedDir(const std::wstring& dir);
    // A folder moved in whole that did not exist.
    bool NoteTree(const std::wstring& dir);
    // A link about to be written at target: an existing one is copied to copy
    // first (complete before the line counts), so it can be put back.
    bool NoteLink(const std::wstring& target, const std::wstring& copy);
    // The registry key as it is now, every value of it, before it is written.
    bool NoteKey(HKEY root, const std::wstring& subKey);
    // One value of a key as it is now, before it is written.
    bool NoteValue(HKEY root, const std::wstring& subKey, const std::wstring& name);
    // From here on the run counts as done: a later run finishes it.
    bool Commit();

    // Undoes everything written down, in reverse (before a commit), or only
    // removes what a committed run left to remove; then empties the journal.
    // False when something could not be put back (the journal stays then).
    bool Resolve();

private:
    bool Append(const std::string& lines);
    SkinUI::UniqueHandle m_file;
    std::wstring m_path;
};

// Finishes or undoes what earlier, ended runs left (their journals in the
// staging folders FindStagingDirs names). Runs still alive are left alone.
// False when one could not be resolved completely.
bool RecoverInterruptedRuns();

// Removes the staging folders of ended runs (apart from except) and the
// unpack folder older versions used; a folder whose journal could not be
// resolved stays. Blocking; StartBackgroundCleanUp runs it on its own thread.
void RemoveEarlierStaging(const std::wstring& except);
void StartBackgroundCleanUp(const std::wstring& except);

// Tests stop a run at chosen points: the engine calls KillPoint between any
// two of its changes, and a hook installed by a test may end the process
// there. The programs themselves never install one.
using KillPointHook = void (*)();
KillPointHook SetKillPointHook(KillPointHook hook);
void KillPoint();
