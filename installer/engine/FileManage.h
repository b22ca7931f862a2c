// The install engine: unpacks the payload carried after the executable's
// image straight from the executable file, moves it into the install
// directory and registers the product with the system. It knows no window:
// whoever starts an install describes it in a TInstallJob, and the engine
// reports by posting the messages of InstallMessages.h to the window the job
// names. One process-wide instance shared by the UI thread and one worker
// thread per install (see InstallWorkerThread).
//
// The record, the links and the install kind are written by the functions of
// UninstallRecord.h, Shortcut.h and InstallWay.h, which know nothing of it.
#pragma once

#include "installer/engine/InstallJob.h"
#include "installer/engine/InstallWay.h"
#include "installer/engine/PayloadReader.h"
#include "installer/engine/Shortcut.h"
#include "installer/engine/StopGate.h"
#include "installer/services/Journal.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// How many characters the longest path below installDir is too long by, for
// archive entry names as stored ('/' or '\' separated, folders ending in a
// separator); 0 when every path fits. The install directory itself counts as
// a folder.
size_t PathExcess(const std::wstring& installDir, const std::vector<std::wstring>& entryNames);

// Every path the engine handles is wide text that must fit the limits above;
// longer ones are refused by the step that would use them, and an install
// directory whose payload would not fit is refused before anything is made.
class CFileManage {
public:
    // The one instance, created on the first call (on the UI thread, before any
    // worker exists); the first call removes earlier runs' staging folders and
    // creates this run's (Staging.h).
    static CFileManage* GetInstance();

    // Takes the job's directory and progress target for the steps below.
    // RunInstall does it first; a caller that runs single steps does it itself.
    void BeginJob(const TInstallJob& job);

    // The whole install sequence, on the worker thread: settles what earlier,
    // interrupted runs left, classifies the install before any file is
    // touched, runs the steps, makes the chosen links and records the install
    // kind. Either all of it happens or, on any failure or a cancel request,
    // everything it changed is put back, which the outcome says. The unpack
    // directory is gone again when it returns, whatever the outcome. Posts
    // progress but not the result.
    TInstallOutcome RunInstall(const TInstallJob& job);

    // After a run that succeeded, once its starter has the outcome: removes
    // the files the run replaced (set aside until then). The worker thread
    // does it after posting the result; a starter that calls RunInstall
    // itself calls it before it ends.
    void FinishRun();

    // Any thread: asks a running install to stop at the next entry boundary
    // and roll back. A starter clears it before it hands a job to a worker,
    // so that an answer given at once is never lost.
    void RequestCancel() {
        m_stopGate.Cancel();
        m_cancel = true;
    }
    void ClearCancel() {
        m_stopGate.Reset();
        m_cancel = false;
    }
    bool CancelRequested() const { return m_cancel; }
    // Holds the worker at its next entry boundary while the window asks
    // whether to stop (StopGate.h).
    CStopGate& StopGate() { return m_stopGate; }

    // At the end of the process, once no install runs: the run's staging
    // folder goes.
    void RemoveStaging();

    // Removes the levels a starter created (outermost first), innermost
    // first and each only when empty; true when none is left.
    static bool RemoveCreatedLevels(const std::vector<std::wstring>& levels);
    // Creates the missing levels of dir (absolute); returns those it created,
    // outermost first.
    static std::vector<std::wstring> CreateMissingLevels(const std::wstring& dir);

    // How many characters a path of the carried payload below installDir is
    // too long by (PathExcess); 0 when all fit or the payload cannot be read
    // (the install then fails on that with its own message).
    size_t PayloadPathExcess(const std::wstring& installDir);

    // The bytes the carried payload takes once unpacked: the sum of its
    // entries' unpacked sizes as the archive's directory states them, read
    // without unpacking anything. 0 when the payload cannot be read.
    uint64_t PayloadUnpackedBytes();

    // The steps, in the order RunInstall runs them.
    InstallResult ExtractPayload();
    InstallResult UnzipPayload();
    // Writes the entry list (uninst.lst) into the unpack directory: UTF-8,
    // one unpacked name a line, folders ending in '/', the list itself
    // included; it replaces any list the payload carried, so the uninstaller
    // removes exactly what this install put there.
    InstallResult WriteEntryList();
    InstallResult MoveFiles(std::wstring installDir, std::wstring sourceDir);
    InstallResult WriteUninstallRecord();

    // UI thread, after a successful run.
    InstallResult CreateStartMenuShortcuts();
    InstallResult CreateDesktopShortcut();
    // The links the job asks for, Start menu first; the first failure.
    InstallResult CreateChosenShortcuts(const TInstallJob& job);

    // Creates every directory level named in relative below base; a last
    // component without a separator after it (a file name) is not created.
    // Existing levels are fine; failures are not reported.
    void CreateDirectories(std::wstring base, std::wstring relative);

    // The directory levels CreateDirectories asks for, in order: each level
    // adds the next component and the separator after it ('/', '\' or '?');
    // doubled separators are skipped. Without a base, leading separators are
    // kept, so "\\server\share\" stays a network path.
    static std::vector<std::wstring> DirectoryLevels(const std::wstring& base,
                                                     const std::wstring& relative);

    // Deletes the unpack directory with everything in it.
    void RemoveUnpackDir();
    // This run's staging folder with its journal: made when there is none
    // (false when that fails).
    bool CreateStaging();

    // This run's staging folder (CreateStagingDir), ending with '\', which
    // also holds the run's journal; empty when it could not be made.
    const std::wstring& StagingDir() const { return m_stagingDir; }
    // The payload, opened on the program's own file when the engine is
    // created (at start, before the window waits for the click) and held
    // until the process ends; ExtractPayload checks it against the image's
    // digest before anything of it is used.
    CPayloadFile& Payload() { return m_payload; }

    // GetTempPathW's result, ending with '\'; empty when it does not fit.
    std::wstring tempDir;
    // Where the payload is unpacked: "unpack\" in the staging folder until a
    // run moves it into the install folder; empty without a staging folder.
    std::wstring unpackDir;
    std::wstring installDir;
    // After unpacking: the unpacked bytes in KiB, for the uninstall record.
    uint32_t totalBytes = 0;
    // The last percentage posted.
    int progress = 0;

private:
    CFileManage();
    CFileManage(const CFileManage&) = delete;
    CFileManage& operator=(const CFileManage&) = delete;

    // Every percentage goes with the step it belongs to; the unpack loop's
    // entries are all written files.
    void PostProgress(int percent, InstallStep step = INSTALL_STEP_WRITE_FILES);
    InstallResult MoveGuarded(const std::wstring& dir, const std::wstring& sourceDir, DWORD* ret);
    // Names the aside and unpack folders inside the install folder.
    bool PlanInsideFolders();
    // Starts the guarded part of a run: names the install folder, the aside
    // and unpack folders inside it and the levels its starter created.
    bool StartJournal(const TInstallJob& job);
    // Creates the install folder's missing levels (journaled), makes it safe
    // from other users (FolderSecurity.h) and moves the unpacking into it.
    InstallResult PrepareInstallFolder();
    // The entries the installation in installDir consists of now, from its
    // entry list ('\' separated, folders ending in one); empty when none.
    std::vector<std::wstring> ReadInstalledEntries() const;
    // After the move: what oldEntries names and the new payload does not
    // carry is set aside (journaled), so the folder holds exactly the new
    // version; folders only when empty.
    InstallResult RemoveOrphans(const std::vector<std::wstring>& oldEntries);
    // What the link operations journal: everything while the run is guarded.
    TLinkJournal LinkJournal();
    std::wstring m_stagingDir;
    CPayloadFile m_payload;
    // The names UnzipPayload unpacked, as decoded from the payload's index.
    std::vector<std::wstring> m_unpackedNames;
    // Classified at the start of each run; a run that finds nothing keeps the
    // kind of the one before (every process starts fresh).
    InstallKind m_installKind = INSTALL_KIND_FRESH;
    TProgressTarget m_target;
    // What the image says of its payload; m_carriesPayload is false for a
    // program without one.
    TPayloadDigest m_digest;
    bool m_carriesPayload = false;
    std::atomic<bool> m_cancel{false};
    CStopGate m_stopGate;
    // The run's journal (Journal.h), held from construction to the end.
    CInstallJournal m_journal;
    // Set while a guarded run is in its changing steps.
    bool m_guarded = false;
    // A committed run whose replaced files are still set aside.
    bool m_finishPending = false;
    // Where replaced files of the install folder wait, on its own volume.
    std::wstring m_asideRoot;
    // Where a guarded run unpacks: a folder inside the install folder.
    std::wstring m_unpackInside;
    int m_linkCopies = 0;
};

// The worker thread procedure: runs the job on the process's engine, posts
// its outcome to the job's target and then finishes the run (FinishRun). The
// starter runs it on a new thread that it detaches at once (or keeps only for
// a bounded wait at its end).
void InstallWorkerThread(TInstallJob job);
