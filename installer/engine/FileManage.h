// The install engine: unpacks the payload carried after the executable's
// image straight from the executable file, moves it into the install
// directory and registers the product with the system. It knows no window:
// whoever starts an install describes it in a TInstallJob, and the engine
// reports by posting the messages of InstallMessages.h to the window the job
// names. One process-wide instance: the UI thread makes it at start and asks
// its payload about the index; what one install needs lives in a run record
// (TInstallRun) that the thread running the job owns (InstallWorkerThread).
//
// The record, the links and the install kind are written by the functions of
// UninstallRecord.h, Shortcut.h and InstallWay.h, which know nothing of it.
#pragma once

#include "installer/engine/InsideFolder.h"
#include "installer/engine/InstallJob.h"
#include "installer/engine/InstallPayload.h"
#include "installer/engine/InstallWay.h"
#include "installer/engine/Shortcut.h"
#include "installer/services/EntryList.h"
#include "installer/services/Journal.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// What one run needs, from BeginJob until its FinishRun returns: the thread
// that runs the job owns it for that long. The starter hands over the job and
// keeps only the job's stop request; it reads nothing of this while the run
// lasts and learns the outcome from the result message (or RunInstall's
// return value).
struct TInstallRun {
    TInstallJob job;
    // The job's install folder, in the one form its starter judged it in.
    std::wstring installDir;
    // This process's staging folder, which holds the journal, ending with '\'.
    std::wstring stagingDir;
    // Where the payload is unpacked: "unpack\" in the staging folder, or for
    // a guarded run a folder inside the install folder (unpackInside).
    std::wstring unpackDir;
    // Inside the install folder, long-path form: where replaced files wait
    // on its own volume, and where a guarded run unpacks.
    std::wstring asideRoot;
    std::wstring unpackInside;
    // The two once made (InsideFolder.h), held until the files have left
    // them.
    TInsideFolder unpackFolder;
    TInsideFolder asideFolder;
    // The names UnzipPayload unpacked, as the payload's index has them.
    std::vector<std::wstring> unpackedNames;
    // After unpacking: the unpacked bytes in KiB, for the uninstall record.
    uint32_t totalBytes = 0;
    // The last percentage posted.
    int progress = 0;
    // Why it failed (RunInstall's outcome carries it): the step that failed
    // first, and what its failing call noted (CFileManage::Failed).
    TInstallFailure failure;
    // Set while the run is in its journaled steps.
    bool guarded = false;
    // Committed, its replaced files still set aside (FinishRun removes them).
    bool finishPending = false;
    int linkCopies = 0;
};

// Every path the engine handles is wide text that must fit the limits above;
// longer ones are refused by the step that would use them, and an install
// directory whose payload would not fit is refused before anything is made.
class CFileManage {
public:
    // The one instance, created on the first call (on the UI thread at start,
    // before any worker exists and before anything reads the uninstall
    // record). That first call settles what earlier, interrupted runs left
    // (RecoverInterruptedRuns; the one place it runs in the installer),
    // opens the payload and creates this process's staging folder
    // (Staging.h).
    static CFileManage* GetInstance();

    // Starts a run record for the job (TInstallRun) on the calling thread,
    // which owns it from now on. RunInstall does it first; a caller that runs
    // single steps does it itself.
    void BeginJob(const TInstallJob& job);
    // The current run record: only the thread that began it reads or writes
    // it, until its FinishRun returns.
    TInstallRun& Run() { return m_run; }

    // The whole install sequence, on the worker thread: classifies the
    // install before any file is touched, runs the steps, makes the chosen
    // links and records the install kind. Either all of it happens or, on any
    // failure or a stop request, everything it changed is put back, which the
    // outcome says. The unpack directory is gone again when it returns,
    // whatever the outcome. Posts progress but not the result.
    TInstallOutcome RunInstall(const TInstallJob& job);

    // After a run that succeeded, once its starter has the outcome: removes
    // the files the run replaced (set aside until then). The worker thread
    // does it after posting the result; a starter that calls RunInstall
    // itself calls it before it ends.
    void FinishRun();

    // Whether the run is to stop here: the one question every step asks
    // between its steps and at each entry boundary (the job's CStopRequest).
    bool StopAsked() const { return m_run.job.stop.Requested(); }

    // At the end of the process, once no install runs: the run's staging
    // folder goes.
    void RemoveStaging();

    // Removes the levels a starter created (outermost first), innermost
    // first and each only when empty; true when none is left.
    static bool RemoveCreatedLevels(const std::vector<std::wstring>& levels);
    // Creates the missing levels of dir (absolute); returns those it created,
    // outermost first.
    static std::vector<std::wstring> CreateMissingLevels(const std::wstring& dir);

    // The payload, opened on the program's own file when the engine is
    // created (at start, before the window waits for the click) and held
    // until the process ends; its index is decoded once, and everything that
    // needs the names or sizes asks it. Its digest is checked before anything
    // of it is used.
    CInstallPayload& Payload() { return m_payload; }

    // The steps, in the order RunInstall runs them; each works on the run
    // record.
    InstallResult ExtractPayload();
    InstallResult UnzipPayload();
    // Writes the entry list (uninst.lst) into the unpack directory: UTF-8,
    // one unpacked name a line, folders ending in '/', the list itself
    // included; it replaces any list the payload carried, so the uninstaller
    // removes exactly what this install put there.
    InstallResult WriteEntryList();
    InstallResult MoveFiles(std::wstring installDir, std::wstring sourceDir);
    InstallResult WriteUninstallRecord();

    // The links, made by the worker after the files and the record (a
    // guarded run journals them).
    InstallResult CreateStartMenuShortcuts();
    InstallResult CreateDesktopShortcut();
    // The links the job asks for, Start menu first; the first failure.
    InstallResult CreateChosenShortcuts(const TInstallJob& job);

    // Creates every directory level named in relative below base
    // (DirectoryLevels, PathText.h); a last component without a separator
    // after it (a file name) is not created. Existing levels are fine;
    // failures are not reported.
    void CreateDirectories(std::wstring base, std::wstring relative);

    // Deletes the run's unpack directory with everything in it.
    void RemoveUnpackDir();
    // This process's staging folder with its journal: made when there is
    // none (false when that fails).
    bool CreateStaging();

    // This process's staging folder (CreateStagingDir), ending with '\',
    // which also holds the journal; empty when it could not be made.
    const std::wstring& StagingDir() const { return m_stagingDir; }

    // GetTempPathW's result, ending with '\'; empty when it does not fit.
    // Set at construction only.
    std::wstring tempDir;

private:
    CFileManage();
    CFileManage(const CFileManage&) = delete;
    CFileManage& operator=(const CFileManage&) = delete;

    // Notes where the current step failed: the file or folder the failing
    // call was given and the Win32 error it left, taken right after it;
    // returns code.
    InstallResult Failed(InstallResult code, const std::wstring& path, DWORD error);
    // The journal's file, which a failing journal write names.
    std::wstring JournalPath() const;
    // Every percentage goes with the step it belongs to; the unpack loop's
    // entries are all written files.
    void PostProgress(int percent, InstallStep step = INSTALL_STEP_WRITE_FILES);
    InstallResult MoveGuarded(const std::wstring& dir, const std::wstring& sourceDir, DWORD* ret);
    // Names the aside and unpack folders inside the install folder.
    bool PlanInsideFolders();
    // Starts the guarded part of a run: names the install folder, the aside
    // and unpack folders inside it and the levels its starter created.
    bool StartJournal();
    // Makes the unpack folder and, for a guarded run, the aside folder inside
    // the install folder (InsideFolder.h), each journaled before it is made.
    bool MakeInsideFolders();
    // Creates the install folder's missing levels (journaled), makes it safe
    // from other users (FolderSecurity.h) and moves the unpacking into it.
    InstallResult PrepareInstallFolder();
    // After the move: what the old entry list names and the new payload does
    // not carry is set aside (journaled), so the folder holds exactly the new
    // version; folders only when empty.
    InstallResult RemoveOrphans(const TEntryList& oldEntries);
    // What the link operations journal: everything while the run is guarded.
    TLinkJournal LinkJournal();

    // The process's own: made at construction, kept to the end.
    CInstallPayload m_payload;
    std::wstring m_stagingDir;
    // The journal in the staging folder, lent to one run at a time.
    CInstallJournal m_journal;
    // Classified at the start of each run (by the thread running it); a run
    // that finds nothing keeps the kind of the one before (every process
    // starts fresh).
    InstallKind m_installKind = INSTALL_KIND_FRESH;
    // The run's own (TInstallRun).
    TInstallRun m_run;
};

// The worker thread procedure: runs the job on the process's engine, posts
// its outcome to the job's target and then finishes the run (FinishRun). The
// starter runs it on a new thread that it detaches at once (or keeps only for
// a bounded wait at its end).
void InstallWorkerThread(TInstallJob job);
