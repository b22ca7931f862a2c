#include "installer/engine/FileManage.h"

#include "installer/services/SystemFolders.h"

#include "installer/engine/ArchiveEntry.h"
#include "installer/engine/EarlierCopy.h"
#include "installer/engine/EntryWriter.h"
#include "installer/engine/FolderSecurity.h"
#include "installer/engine/InsideFolder.h"
#include "installer/services/FolderHandle.h"
#include "installer/engine/InstallDir.h"
#include "installer/services/Log.h"
#include "installer/engine/MoveTree.h"
#include "installer/engine/PayloadReader.h"
#include "installer/engine/UninstallRecord.h"
#include "installer/services/Product.h"
#include "installer/services/SetupLog.h"
#include "installer/services/Staging.h"
#include "installer/services/TextConvert.h"

#include "skinui/core/Handles.h"
#include "skinui/core/TextFormat.h"

#include <objbase.h>
#include <shlwapi.h>

#include <algorithm>
#include <unordered_set>

#include <cstdint>
#include <cwchar>

using SkinUI::UniqueHandle;

namespace {

// The longest path text that still leaves room for a terminator in MAX_PATH:
// the unpack directory lies below the system's temporary directory, which no
// user chooses, and keeps to it.
constexpr size_t kMaxPathText = MAX_PATH - 1;
// A move that fails is tried this many times in all, kMoveRetryDelayMs apart:
// a file in the install directory held by another program (a client that is
// slow to exit, a virus scanner) is often released within a few seconds.
constexpr int kMoveAttempts = 10;
constexpr DWORD kMoveRetryDelayMs = 500;
// The wait between attempts is cut into slices this long, so that a cancel
// request is heard within one of them.
constexpr DWORD kCancelPollMs = 50;
// How often, and how far apart, the result is posted again when the system
// refuses it.
constexpr int kResultPostAttempts = 50;
constexpr DWORD kResultPostDelayMs = 20;
const wchar_t kJournalFileName[] = L"journal";
const wchar_t kUnpackSubDir[] = L"unpack\\";
// The log lines of the first and of the repeated move attempts carry these
// line numbers, which support staff know from earlier releases.
constexpr int kLogLineFirstMove = 232;
constexpr int kLogLineRetryMove = 238;

// One move attempt: everything below sourceDir into installDir, creating the
// install directory's missing levels first. Both end with a separator.
DWORD MoveTreeOnce(const std::wstring& sourceDir, const std::wstring& installDir) {
    for (const std::wstring& level : DirectoryLevels(L"", installDir))
        CreateDirectoryW(level.c_str(), nullptr);
    return MoveDirectoryContent(sourceDir, installDir);
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

CFileManage* CFileManage::GetInstance() {
    // Never destroyed: the installer ends with ExitProcess, and a worker may
    // still be using the instance then.
    static CFileManage* instance = new CFileManage();
    return instance;
}

CFileManage::CFileManage() {
    // The payload's file is opened now, once, and held: whoever renames the
    // program's file away and puts another at its name while the window waits
    // cannot change what is installed.
    m_payload.OpenOwn();
    // What an earlier run that was killed left half done is finished or put
    // back now, once, before this process reads the uninstall record or
    // journals anything: every run of this process then sees, and journals,
    // the installation as it is. Only journals are read here; the bulk of old
    // temporary data goes later (RemoveEarlierStaging).
    const bool recovered = RecoverInterruptedRuns();
    SetupLogLine(recovered ? std::wstring(L"earlier runs checked: nothing left to settle")
                           : std::wstring(L"earlier runs checked: some changes could not be "
                                          L"settled yet"));
    wchar_t buf[MAX_PATH] = {};
    DWORD n = GetTempPathW(MAX_PATH, buf);
    if (n != 0 && n <= kMaxPathText)
        tempDir.assign(buf, n);
    // Where the staging folder goes depends on the run's rights, not on the
    // user's temporary folder (Staging.h); one that does not fit leaves every
    // path empty, and the steps that need them refuse. What earlier runs
    // left goes after the window is shown.
    CreateStaging();
}

bool CFileManage::CreateStaging() {
    if (!m_stagingDir.empty())
        return true;
    // A folder of this run's own, so that nothing an earlier run left (and
    // nothing another run is writing) is ever in the way.
    std::wstring staging;
    if (!CreateStagingDir(&staging))
        return false;
    const std::wstring unpack = staging + kUnpackSubDir;
    if (unpack.size() > kMaxPathText || !m_journal.Open(staging + kJournalFileName)) {
        RemoveStagingDir(staging);
        return false;
    }
    m_stagingDir = staging;
    return true;
}

void CFileManage::FinishRun() {
    if (!m_run.finishPending)
        return;
    m_run.finishPending = false;
    if (!m_journal.Resolve())
        SetupLogLine(L"the replaced files could not all be removed yet; the next run goes on");
    else if (!m_run.earlierDir.empty())
        RemoveEarlierFolderIfEmpty(m_run.earlierDir);
}

void CFileManage::RemoveStaging() {
    if (m_stagingDir.empty())
        return;
    // A journal with changes in it is what a later run needs to put things
    // back; it stays with its folder.
    if (!m_journal.Resolve())
        return;
    m_journal = CInstallJournal();
    RemoveStagingDir(m_stagingDir);
    m_stagingDir.clear();
}

bool CFileManage::RemoveCreatedLevels(const std::vector<std::wstring>& levels) {
    bool gone = true;
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        // Only when empty: anything in it is not this run's.
        RemoveDirectoryW(it->c_str());
        gone = gone && GetFileAttributesW(it->c_str()) == INVALID_FILE_ATTRIBUTES;
    }
    return gone;
}

std::vector<std::wstring> CFileManage::CreateMissingLevels(const std::wstring& dir) {
    std::vector<std::wstring> created;
    for (const std::wstring& level : DirectoryLevels(L"", dir))
        if (CreateInstallFolderLevel(level))
            created.push_back(level);
    return created;
}

void CFileManage::RemoveUnpackDir() {
    // Held without delete sharing until here: the removal below, and the
    // journal's removal of the aside folder, open them for deletion.
    m_run.unpackFolder = TInsideFolder();
    m_run.asideFolder = TInsideFolder();
    if (m_run.unpackDir.empty())
        return;
    const std::wstring dir = WithoutTrailingSeparators(m_run.unpackDir);
    if (GetFileAttributesW(dir.c_str()) != INVALID_FILE_ATTRIBUTES)
        RemoveTreeNoFollow(dir);
}

void CFileManage::PostProgress(int percent, InstallStep step) {
    m_run.progress = percent;
    if (m_run.job.target.window)
        PostMessageW(m_run.job.target.window, m_run.job.target.progressMessage,
                     static_cast<WPARAM>(percent), static_cast<LPARAM>(step));
}

InstallResult CFileManage::Failed(InstallResult code, const std::wstring& path, DWORD error) {
    // The latest note of the step that fails is the one that ended it (a
    // move tried again keeps the last attempt's error); a step that ends well
    // clears it (RunInstall).
    if (!m_run.failure.Known()) {
        m_run.failure.path = path;
        m_run.failure.error = error;
    }
    return code;
}

std::wstring CFileManage::JournalPath() const {
    return m_run.stagingDir + kJournalFileName;
}

// ---------------------------------------------------------------------------
// The install sequence

void CFileManage::BeginJob(const TInstallJob& job) {
    m_run = TInstallRun();
    m_run.job = job;
    m_run.installDir = job.installDir;
    m_run.stagingDir = m_stagingDir;
    if (!m_stagingDir.empty())
        m_run.unpackDir = m_stagingDir + kUnpackSubDir;
}

TInstallOutcome CFileManage::RunInstall(const TInstallJob& job) {
    // What earlier runs left was settled when the engine was made
    // (GetInstance). A stop asked for before the run began is kept: the
    // request is the job's own, and the question is asked once.
    TInstallOutcome outcome;
    m_installKind = DetectInstallKind(m_installKind);
    BeginJob(job);

    // Each step's outcome goes to the setup log. The first step that fails
    // names the run's failure, with the file or folder and the system's error
    // its failing call noted (Failed), never an error a later call left.
    auto logged = [&](const wchar_t* step, InstallResult r) {
        TInstallFailure& failure = m_run.failure;
        if (r == INSTALL_OK) {
            SetupLogLine(std::wstring(step) + L": done");
            if (!failure.Known())
                failure = TInstallFailure();
        } else if (r == INSTALL_CANCELLED) {
            SetupLogLine(std::wstring(step) + L": stopped on request");
        } else if (!failure.Known()) {
            failure.step = step;
            std::wstring text =
                failure.step + L": failed with result " + SkinUI::DecimalText(static_cast<int>(r));
            if (!failure.path.empty())
                text += L" (" + failure.path + L")";
            if (failure.error != ERROR_SUCCESS)
                SetupLogFailure(text, failure.error);
            else
                SetupLogLine(text);
        }
        return r;
    };
    // Between steps as well as inside them: a request that comes late still
    // stops the run before it counts as done.
    auto go = [&](InstallResult r) {
        return r == INSTALL_OK && StopAsked() ? logged(L"continue", INSTALL_CANCELLED) : r;
    };
    SetupLogLine(L"installing into " + m_run.installDir);
    // Read before the record is written over: an installation recorded in
    // another folder is the one this run replaces, and its copy goes too.
    std::wstring recorded;
    if (ReadRecordedInstallDir(&recorded) && IsEarlierCopyToRemove(recorded, m_run.installDir)) {
        m_run.earlierDir = WithSeparator(CanonicalPath(recorded));
        SetupLogLine(L"the installation in " + m_run.earlierDir + L" moves to " + m_run.installDir +
                     L"; its copy there is removed once the new one is in place");
    }
    InstallResult result = logged(L"find the payload", ExtractPayload());
    // The window refuses such a directory before it starts; a starter without
    // a window must not get an install whose links and uninstaller cannot
    // reach their files.
    // The folder is used in the form its starter judged it in (InstallDir.h);
    // a starter that skipped the check gets a refusal, not a second form.
    if (result == INSTALL_OK &&
        (!IsAbsoluteLocalPath(m_run.installDir) ||
         m_run.installDir != WithSeparator(CanonicalPath(m_run.installDir))))
        result = logged(L"check the install folder's form",
                        Failed(INSTALL_ERR_COPY, m_run.installDir, ERROR_INVALID_NAME));
    if (result == INSTALL_OK && m_payload.PathExcess(m_run.installDir) > 0)
        result = logged(L"check the path lengths below the install folder",
                        Failed(INSTALL_ERR_COPY, m_run.installDir, ERROR_FILENAME_EXCED_RANGE));

    // From here on every change is journaled before it is made, the install
    // folder's own levels and the unpacking included: a stop or a failure at
    // any later moment puts everything back.
    m_run.guarded = false;
    if (result == INSTALL_OK && !PlanInsideFolders())
        result = logged(L"plan the folders inside the install folder",
                        Failed(INSTALL_ERR_COPY, std::wstring(), ERROR_PATH_NOT_FOUND));
    if (go(result) == INSTALL_OK && job.rollbackProtection) {
        if (StartJournal())
            m_run.guarded = true;
        else
            result = logged(L"start the journal",
                            Failed(INSTALL_ERR_COPY, JournalPath(), GetLastError()));
    }
    if (go(result) == INSTALL_OK)
        result = logged(L"prepare the install folder", PrepareInstallFolder());
    if (go(result) == INSTALL_OK)
        result = logged(L"unpack the payload", UnzipPayload());
    if (go(result) == INSTALL_OK)
        result = logged(L"write the entry list", WriteEntryList());
    // What the installation there now consists of, read before the new list
    // replaces it: an update leaves exactly the new version.
    // A list that is missing or untrusted (EntryList.h) removes nothing.
    TEntryList oldEntries;
    if (go(result) == INSTALL_OK)
        ReadEntryList(m_run.installDir + kEntryListName, &oldEntries);
    // The move's last message names what follows it: removing what the
    // version before left, when there is any, else the registration.
    m_run.removesOld = !oldEntries.files.empty() || !m_run.earlierDir.empty();
    if (go(result) == INSTALL_OK)
        result = logged(L"move the files into place", MoveFiles(m_run.installDir, m_run.unpackDir));
    if (go(result) == INSTALL_OK)
        result =
            logged(L"remove what the new version no longer carries", RemoveOrphans(oldEntries));
    if (go(result) == INSTALL_OK && !m_run.earlierDir.empty())
        result = logged(L"remove the earlier copy", RemoveEarlierInstallation());
    // Nothing of the payload stays in the temporary directory, whether the
    // files were moved or the run failed half way.
    RemoveUnpackDir();
    // A product missing from the system's program list cannot be removed the
    // usual way, so the user is told when the record could not be written.
    if (go(result) == INSTALL_OK) {
        if (m_run.guarded && !m_journal.NoteKey(HKEY_LOCAL_MACHINE, UninstallKeyPath()))
            result = logged(L"journal the uninstall record",
                            Failed(INSTALL_ERR_REGISTRY, JournalPath(), GetLastError()));
        else
            result = logged(L"write the uninstall record", WriteUninstallRecord());
    }
    if (go(result) == INSTALL_OK)
        result = logged(L"create the chosen shortcuts", CreateChosenShortcuts(job));
    if (go(result) == INSTALL_OK && m_run.guarded &&
        !m_journal.NoteValue(HKEY_CURRENT_USER, std::wstring(L"SOFTWARE\\") + kSettingsSubKey,
                             L"InstallWay"))
        result = logged(L"journal the install kind",
                        Failed(INSTALL_ERR_REGISTRY, JournalPath(), GetLastError()));
    // Before the starter learns the result: once it has it, it may end the
    // process at any moment (the finish button, the end of a silent install),
    // which would cut a later write off.
    if (go(result) == INSTALL_OK)
        WriteInstallKind(m_installKind);
    result = go(result);

    if (m_run.guarded) {
        if (result == INSTALL_OK) {
            // The one moment the run counts as done; what remains (removing
            // the replaced files) a later run finishes as well.
            // The replaced files go in FinishRun, once the starter has the
            // outcome; a run killed before that is finished by the next.
            // A stop asked for now still wins; once past this point none
            // can be asked for, and the window says the product is installed.
            if (!job.stop.PassPointOfNoReturn())
                result = logged(L"commit", INSTALL_CANCELLED);
            else if (!m_journal.Commit())
                result = logged(L"commit", Failed(INSTALL_ERR_COPY, JournalPath(), GetLastError()));
            else
                m_run.finishPending = true;
        }
        if (result != INSTALL_OK) {
            // After a failure as after a stop: the page must not go on
            // naming the step that failed while things are put back.
            PostProgress(m_run.progress, INSTALL_STEP_ROLL_BACK);
            outcome.rolledBack = true;
            outcome.rollbackComplete = m_journal.Resolve();
            SetupLogLine(outcome.rollbackComplete
                             ? std::wstring(L"rolled back: nothing was changed")
                             : std::wstring(L"rolled back in part; the next run goes on"));
        }
        m_run.guarded = false;
    } else if (result != INSTALL_OK) {
        // Ended before its journal began: the levels of the install folder
        // its starter created are all it may have changed.
        outcome.rolledBack = true;
        outcome.rollbackComplete = RemoveCreatedLevels(job.createdDirs);
    }
    outcome.result = result;
    if (result != INSTALL_OK && result != INSTALL_CANCELLED)
        outcome.failure = m_run.failure;
    return outcome;
}

InstallResult CFileManage::RemoveEarlierInstallation() {
    const std::wstring& earlier = m_run.earlierDir;
    // Its files wait in a folder of this run's name inside it, on its own
    // volume, until the run is settled; an undo puts them back from there.
    const std::wstring prefix = L"\\\\?\\" + m_run.installDir;
    std::wstring aside;
    if (m_run.asideRoot.compare(0, prefix.size(), prefix) == 0)
        aside = L"\\\\?\\" + earlier + m_run.asideRoot.substr(prefix.size());
    CInstallJournal* journal = m_run.guarded ? &m_journal : nullptr;
    if (journal && (aside.empty() || !journal->NoteEarlierInstallDir(earlier)))
        return INSTALL_ERR_COPY;
    DWORD error = ERROR_SUCCESS;
    std::wstring failed;
    const InstallResult result = RemoveEarlierCopy(earlier, aside, journal, &error, &failed);
    if (result != INSTALL_OK)
        SetupLogFailure(L"could not remove " + failed + L" of the earlier copy", error);
    SetLastError(error);
    return result;
}

bool CFileManage::PlanInsideFolders() {
    if (m_run.stagingDir.empty())
        return false;
    // Beside the files they hold, so that setting one aside and putting an
    // unpacked one in place are renames; the long-path form, as they lie one
    // level deeper than the paths that were checked. Their names are drawn
    // here and owe nothing to the staging folder's, which every user can
    // read in the index (InsideFolder.h).
    const std::wstring aside = InsideFolderName(L".old");
    const std::wstring unpack = InsideFolderName(L".new");
    if (aside.empty() || unpack.empty())
        return false;
    m_run.asideRoot = L"\\\\?\\" + m_run.installDir + aside + L"\\";
    m_run.unpackInside = L"\\\\?\\" + m_run.installDir + unpack + L"\\";
    return true;
}

bool CFileManage::StartJournal() {
    // What a later run may undo is what the index says this run installs
    // into, written before the journal's first step: never what a journal
    // says of itself.
    if (!m_journal.IsOpen() || !SetStagingScope(m_run.stagingDir, m_run.installDir))
        return false;
    bool ok = m_journal.NoteInstallDir(m_run.installDir);
    for (const std::wstring& level : m_run.job.createdDirs)
        ok = ok && m_journal.NoteCreatedDir(level);
    return ok;
}

bool CFileManage::MakeInsideFolders() {
    UniqueHandle install =
        OpenFolderLevels(m_run.installDir, FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE);
    if (!install)
        return false;
    // The first name is the one planned; one in the way is never taken over.
    auto names = [](std::wstring* planned, const wchar_t* suffix) {
        return [planned, suffix]() {
            if (!planned->empty()) {
                std::wstring name = WithoutTrailingSeparators(*planned);
                planned->clear();
                return name.substr(name.find_last_of(L'\\') + 1);
            }
            return InsideFolderName(suffix);
        };
    };
    auto note = [this](bool tree) {
        return [this, tree](const std::wstring& path) {
            return !m_run.guarded ||
                   (tree ? m_journal.NoteTree(path) : m_journal.NoteAsideRoot(path));
        };
    };
    if (!m_run.unpackFolder.handle) {
        std::wstring planned = m_run.unpackInside;
        if (!CreateInsideFolder(install.Get(), m_run.installDir, kUnpackFolderSddl,
                                names(&planned, L".new"), note(true), &m_run.unpackFolder))
            return false;
        m_run.unpackInside = m_run.unpackFolder.path;
    }
    if (m_run.guarded && !m_run.asideFolder.handle) {
        std::wstring planned = m_run.asideRoot;
        if (!CreateInsideFolder(install.Get(), m_run.installDir, kAsideFolderSddl,
                                names(&planned, L".old"), note(false), &m_run.asideFolder))
            return false;
        m_run.asideRoot = m_run.asideFolder.path;
    }
    return true;
}

InstallResult CFileManage::PrepareInstallFolder() {
    m_run.unpackFolder = TInsideFolder();
    m_run.asideFolder = TInsideFolder();
    // The unpack folder is made with the levels, so the install folder is
    // never empty for long: an uninstaller's clean-up copy still running
    // from just before removes an empty install folder. Should it take one
    // anyway, the levels are made again, a few times at most.
    bool made = false;
    for (int attempt = 0; attempt < 3 && !made; ++attempt) {
        // The install directory's own missing levels count as this run's.
        for (const std::wstring& level : DirectoryLevels(L"", m_run.installDir)) {
            if (GetFileAttributesW(level.c_str()) != INVALID_FILE_ATTRIBUTES)
                continue;
            if (m_run.guarded && !m_journal.NoteCreatedDir(level))
                return Failed(INSTALL_ERR_COPY, JournalPath(), GetLastError());
            if (!CreateInstallFolderLevel(level) && GetLastError() != ERROR_ALREADY_EXISTS)
                return Failed(INSTALL_ERR_COPY, level, GetLastError());
            KillPoint();
        }
        made = MakeInsideFolders();
    }
    if (!made)
        return Failed(INSTALL_ERR_COPY, m_run.unpackInside, GetLastError());
    if (IsReparsePoint(m_run.installDir))
        return Failed(INSTALL_ERR_COPY, m_run.installDir, ERROR_CANT_ACCESS_FILE);
    bool repaired = false;
    if (!SecureInstallFolder(m_run.installDir, &repaired))
        return Failed(INSTALL_ERR_COPY, m_run.installDir, GetLastError());
    if (repaired)
        SetupLogLine(L"the install folder was writable by other users; it now takes changes from "
                     L"administrators only");
    // Unpacked inside the install folder: same volume, so the moves are
    // renames.
    m_run.unpackDir = m_run.unpackInside;
    return INSTALL_OK;
}

// ---- Files an update no longer carries ----

InstallResult CFileManage::RemoveOrphans(const TEntryList& oldEntries) {
    // Compared as the file system compares names: case does not count. A
    // set, so that the check costs the same for every entry however many
    // the payload has.
    auto folded = [](const std::wstring& entry) {
        std::wstring name = WithoutTrailingSeparator(WithBackslashes(entry));
        if (!name.empty())
            CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
        return name;
    };
    std::unordered_set<std::wstring> newNames;
    newNames.reserve(m_run.unpackedNames.size() + 1);
    for (const std::wstring& name : m_run.unpackedNames)
        newNames.insert(folded(name));
    newNames.insert(folded(kEntryListName));
    auto carried = [&](const std::wstring& entry) { return newNames.count(folded(entry)) != 0; };
    // Files first, then folders deepest first, so that a folder is empty by
    // the time its turn comes. A file is renamed into the aside folder and
    // goes with it once the run has succeeded; a folder is removed. A
    // guarded run journals each before, so an undo puts it back.
    std::vector<std::wstring> files, folders;
    for (const std::wstring& entry : oldEntries.files)
        if (!carried(entry))
            files.push_back(entry);
    for (const std::wstring& entry : oldEntries.dirs)
        if (!carried(entry))
            folders.push_back(entry + L'\\');
    std::sort(folders.begin(), folders.end(),
              [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });
    files.insert(files.end(), folders.begin(), folders.end());
    const std::wstring aside =
        m_run.asideRoot.empty() ? std::wstring() : m_run.asideRoot + L"orphans\\";
    for (const std::wstring& listed : files) {
        const bool folder = EndsWithSeparator(listed);
        const std::wstring entry = WithoutTrailingSeparator(listed);
        const std::wstring target = m_run.installDir + entry;
        const DWORD attrs = GetFileAttributesW(target.c_str());
        // Gone already, a link (never followed), or a folder the user still
        // keeps something in: left as it is.
        if (attrs == INVALID_FILE_ATTRIBUTES || !NoReparseBelow(m_run.installDir, target) ||
            folder != ((attrs & FILE_ATTRIBUTE_DIRECTORY) != 0))
            continue;
        if (folder && !PathIsDirectoryEmptyW(target.c_str()))
            continue;
        if (!m_run.guarded) {
            if (folder ? !RemoveDirectoryW(target.c_str()) : !DeleteFileW(target.c_str()))
                SetupLogFailure(L"could not remove " + target, GetLastError());
            continue;
        }
        if (folder) {
            if (!m_journal.NoteRemovedDir(target))
                return Failed(INSTALL_ERR_COPY, JournalPath(), GetLastError());
            if (!RemoveDirectoryW(target.c_str()))
                return Failed(INSTALL_ERR_COPY, target, GetLastError());
            KillPoint();
            continue;
        }
        TJournalFile step;
        step.existed = true;
        step.target = target;
        step.aside = aside + entry;
        if (!m_journal.NoteFiles({step}))
            return Failed(INSTALL_ERR_COPY, JournalPath(), GetLastError());
        for (const std::wstring& level : DirectoryLevels(L"", step.aside))
            CreateDirectoryW(level.c_str(), nullptr);
        if (attrs & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(target.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
        if (!MoveFileExW(target.c_str(), step.aside.c_str(), 0))
            return Failed(INSTALL_ERR_COPY, target, GetLastError());
        KillPoint();
        if (StopAsked())
            return INSTALL_CANCELLED;
    }
    return INSTALL_OK;
}

// ---- The payload: read where it lies in the executable's file ----
// Nothing of it is written to disk but the unpacked files, and the loader
// never maps it, so memory does not grow with the m_payload.

InstallResult CFileManage::ExtractPayload() {
    if (!m_payload.Carried())
        return Failed(INSTALL_ERR_RESOURCE, ModulePath(), ERROR_SUCCESS);
    // The unpack directory is where the payload goes; without one the step
    // refuses before anything is posted. A run after one that ended makes a
    // staging folder of its own.
    if (!CreateStaging())
        return Failed(INSTALL_ERR_RESOURCE, std::wstring(), GetLastError());
    if (m_run.stagingDir.empty()) {
        m_run.stagingDir = m_stagingDir;
        m_run.unpackDir = m_stagingDir + kUnpackSubDir;
    }
    // Checked whole before the first file is written: a payload that is not
    // the one this program was built with, or one without the client and the
    // uninstaller, installs nothing.
    if (!m_payload.Verified() || !m_payload.CarriesProductPrograms())
        return Failed(INSTALL_ERR_DAMAGED, ModulePath(), ERROR_SUCCESS);
    PostProgress(10);
    return INSTALL_OK;
}

InstallResult CFileManage::UnzipPayload() {
    m_run.totalBytes = 0;
    m_run.unpackedNames.clear();
    CPayloadReader* reader = m_run.unpackDir.empty() ? nullptr : m_payload.DataReader();
    if (!reader)
        return Failed(INSTALL_ERR_UNZIP, m_run.unpackDir, ERROR_SUCCESS);
    // Every file goes in through the handle of the unpack folder: the one
    // this run made inside the install folder, or "unpack" in its own
    // staging folder (for a caller that runs the steps alone).
    UniqueHandle opened;
    HANDLE root = m_run.unpackFolder.handle.Get();
    if (!root || m_run.unpackDir != m_run.unpackFolder.path) {
        // Afresh each time, as the run's own folder is: the unpacking makes
        // every name new and takes over none.
        RemoveTreeNoFollow(WithoutTrailingSeparators(m_run.unpackDir));
        CreateDirectoryW(m_run.unpackDir.c_str(), nullptr);
        opened = OpenFolderLevels(m_run.unpackDir, FILE_LIST_DIRECTORY | FILE_ADD_FILE |
                                                       FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE);
        root = opened.Get();
    }
    if (!root)
        return Failed(INSTALL_ERR_UNZIP, m_run.unpackDir, GetLastError());

    // Files are created, written and their CRCs checked on the writer's
    // thread while this one decodes the next data.
    CEntryWriter writer;
    if (!writer.Start(root))
        return Failed(INSTALL_ERR_UNZIP, std::wstring(), ERROR_NOT_ENOUGH_MEMORY);
    const std::vector<TPayloadEntry>& entries = m_payload.Entries();
    const uint64_t count = entries.size();
    // An entry counts, and its progress is shown, once the writer is done
    // with it: written in full and matching its CRC.
    uint64_t shown = 0;
    auto showDone = [&]() {
        for (const uint64_t done = writer.Completed(); shown < done; ++shown) {
            KillPoint();
            PostProgress(10 + static_cast<int>(80.0 * static_cast<double>(shown) /
                                               static_cast<double>(count)));
        }
    };
    uint64_t written = 0;
    auto unpack = [&]() -> InstallResult {
        for (const TPayloadEntry& entry : entries) {
            if (StopAsked())
                return INSTALL_CANCELLED;
            if (writer.Failed())
                return Failed(INSTALL_ERR_UNZIP, m_run.unpackDir, ERROR_WRITE_FAULT);
            showDone();
            const std::wstring& name = entry.name;
            // A long-path form takes no '/' for a separator.
            const std::wstring local = WithBackslashes(name);
            const std::wstring target = m_run.unpackDir + local;
            // What must fit is the final path: an unpack folder inside the
            // install folder lies one level deeper and is reached by its
            // long-path form.
            const size_t fits = m_run.unpackDir.compare(0, 4, L"\\\\?\\") == 0
                                    ? m_run.installDir.size() + name.size()
                                    : target.size();
            if (!IsSafeEntryName(name))
                return Failed(INSTALL_ERR_UNZIP, name, ERROR_INVALID_NAME);
            if (fits > kMaxPathText)
                return Failed(INSTALL_ERR_UNZIP, target, ERROR_FILENAME_EXCED_RANGE);
            bool read = true;
            if (IsPathSeparator(name.back())) {
                // A folder carries no data; one that claims some is damage.
                writer.Begin(local, 0, 0);
                read = entry.size == 0;
            } else {
                writer.Begin(local, entry.crc, entry.size);
                read = reader->ReadEntry(entry, writer, &written);
            }
            writer.End(!read);
            // The data ended early or was damaged, or the writer failed.
            if (!read)
                return Failed(INSTALL_ERR_UNZIP, target,
                              writer.Failed() ? ERROR_WRITE_FAULT : ERROR_FILE_CORRUPT);
            m_run.unpackedNames.push_back(name);
        }
        // Data past the last entry means the index and the data disagree.
        return reader->AtEnd() ? INSTALL_OK
                               : Failed(INSTALL_ERR_UNZIP, std::wstring(), ERROR_FILE_CORRUPT);
    };
    InstallResult result = unpack();
    const bool allWritten = writer.Flush();
    // The window and the buffers are not held through the steps that follow.
    m_payload.ReleaseDecoder();
    showDone();
    if (result != INSTALL_OK)
        return result;
    if (!allWritten)
        return Failed(INSTALL_ERR_UNZIP, m_run.unpackDir, ERROR_WRITE_FAULT);
    m_run.totalBytes = static_cast<uint32_t>(written >> 10);
    return INSTALL_OK;
}

InstallResult CFileManage::WriteEntryList() {
    // The text as every list is written (EntryList.h).
    const std::string text = EntryListText(m_run.unpackedNames);
    const std::wstring path = m_run.unpackDir + kEntryListName;
    // Through the unpack folder's handle, as every file of the install: the
    // list the payload carried goes first, through a handle to it and never
    // through a link, so the new one is created new.
    UniqueHandle folder =
        OpenFolderLevels(m_run.unpackDir, FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE);
    if (!folder)
        return Failed(INSTALL_ERR_UNZIP, m_run.unpackDir, GetLastError());
    UniqueHandle carried =
        OpenBelow(folder.Get(), kEntryListName,
                  DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, false, BelowHow::Existing);
    if (carried && !DeleteOpenedFile(carried.Get()))
        return Failed(INSTALL_ERR_UNZIP, path, GetLastError());
    carried.Reset();
    UniqueHandle out = OpenBelow(folder.Get(), kEntryListName, GENERIC_WRITE, false, BelowHow::New);
    DWORD done = 0;
    // Closed by hand: a delayed write can fail at the close.
    if (!out ||
        !WriteFile(out.Get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr) ||
        done != text.size() || !CloseHandle(out.Release()))
        return Failed(INSTALL_ERR_UNZIP, path, GetLastError());
    return INSTALL_OK;
}

InstallResult CFileManage::MoveGuarded(const std::wstring& dir, const std::wstring& sourceDir,
                                       DWORD* ret) {
    // The install directory's own missing levels count as this run's.
    for (const std::wstring& level : DirectoryLevels(L"", dir)) {
        if (GetFileAttributesW(level.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (!m_journal.NoteCreatedDir(level))
            return Failed(INSTALL_ERR_COPY, JournalPath(), GetLastError());
        CreateInstallFolderLevel(level);
        KillPoint();
    }
    TGuardedMove guard;
    guard.journal = &m_journal;
    guard.stop = &m_run.job.stop;
    // Each attempt names its own failure: the last one's is what the run reports.
    m_run.failure.path.clear();
    guard.failedPath = &m_run.failure.path;
    *ret = MoveDirectoryContentGuarded(sourceDir, dir, m_run.asideRoot, guard);
    return *ret == ERROR_CANCELLED ? INSTALL_CANCELLED : INSTALL_OK;
}

InstallResult CFileManage::MoveFiles(std::wstring dir, std::wstring sourceDir) {
    if (!EndsWithSeparator(dir))
        dir += L'\\';
    if (!EndsWithSeparator(sourceDir))
        sourceDir += L'\\';
    InstallResult result = INSTALL_ERR_COPY;
    const bool longForm = sourceDir.compare(0, 4, L"\\\\?\\") == 0;
    if (sourceDir.size() <= 1 || (!longForm && sourceDir.size() > kMaxFolderPathChars + 1) ||
        dir.size() > kMaxFolderPathChars + 1) {
        result = Failed(INSTALL_ERR_COPY, dir, ERROR_FILENAME_EXCED_RANGE);
    } else {
        // In the log this step is "copy", as support staff know it; the log
        // takes UTF-8 text.
        const std::string from = ToNarrow(sourceDir + L'*');
        const std::string to = ToNarrow(dir);
        auto attempt = [&]() -> DWORD {
            if (!m_run.guarded)
                return MoveTreeOnce(sourceDir, dir);
            DWORD ret = ERROR_SUCCESS;
            if (MoveGuarded(dir, sourceDir, &ret) != INSTALL_OK && ret == ERROR_SUCCESS)
                ret = ERROR_WRITE_FAULT;
            return ret;
        };
        DWORD ret = attempt();
        CLog::Instance().Write(1, "FileManage", kLogLineFirstMove,
                               "copy szFrom=%s, szTo=%s, ret=%d\n", from.c_str(), to.c_str(),
                               static_cast<int>(ret));
        // A link in the way stays there however often the move is tried.
        for (int n = 1; ret != ERROR_SUCCESS && ret != ERROR_CANCELLED && ret != kMoveLinkRefused &&
                        n < kMoveAttempts;
             ++n) {
            for (DWORD waited = 0; waited < kMoveRetryDelayMs && !StopAsked();
                 waited += kCancelPollMs)
                Sleep(kCancelPollMs);
            if (StopAsked()) {
                ret = ERROR_CANCELLED;
                break;
            }
            SetupLogFailure(L"moving the files, attempt " + SkinUI::DecimalText(n) + L" of " +
                                SkinUI::DecimalText(kMoveAttempts) + L" failed; trying again",
                            ret);
            ret = attempt();
            CLog::Instance().Write(1, "FileManage", kLogLineRetryMove,
                                   "copy szFrom=%s, szTo=%s, ret=%d\n", from.c_str(), to.c_str(),
                                   static_cast<int>(ret));
        }
        if (ret == ERROR_SUCCESS)
            result = INSTALL_OK;
        else if (ret == ERROR_CANCELLED)
            result = INSTALL_CANCELLED;
        else
            result = Failed(INSTALL_ERR_COPY, m_run.failure.path.empty() ? dir : m_run.failure.path,
                            ret);
    }
    // What follows the move is the registration.
    PostProgress(95, m_run.removesOld ? INSTALL_STEP_REMOVE_OLD : INSTALL_STEP_REGISTER);
    return result;
}

// ---------------------------------------------------------------------------
// Registration: the record, the links

InstallResult CFileManage::WriteUninstallRecord() {
    PostProgress(99, INSTALL_STEP_REGISTER);
    if (!WriteUninstallValues(m_run.installDir, m_run.totalBytes))
        return Failed(INSTALL_ERR_REGISTRY, L"HKEY_LOCAL_MACHINE\\" + UninstallKeyPath(),
                      ERROR_SUCCESS);
    PostProgress(100, INSTALL_STEP_REGISTER);
    return INSTALL_OK;
}

InstallResult CFileManage::CreateStartMenuShortcuts() {
    return CreateStartMenuLinks(m_run.installDir, LinkJournal());
}

InstallResult CFileManage::CreateDesktopShortcut() {
    return CreateDesktopLink(m_run.installDir, LinkJournal());
}

InstallResult CFileManage::CreateChosenShortcuts(const TInstallJob& job) {
    InstallResult result = INSTALL_OK;
    if (job.startMenuLink)
        result = CreateStartMenuShortcuts();

    if (result == INSTALL_OK && job.desktopLink)
        result = CreateDesktopShortcut();
    return result;
}

TLinkJournal CFileManage::LinkJournal() {
    TLinkJournal journal;
    if (m_run.guarded) {
        journal.journal = &m_journal;
        journal.copyPrefix = m_stagingDir + L"link";
        journal.copies = &m_run.linkCopies;
    }
    return journal;
}

// ---------------------------------------------------------------------------
// Directories

void CFileManage::CreateDirectories(std::wstring base, std::wstring relative) {
    for (const std::wstring& level : DirectoryLevels(base, relative))
        CreateDirectoryW(level.c_str(), nullptr);
}

// ---------------------------------------------------------------------------
// The worker thread

void InstallWorkerThread(TInstallJob job) {
    CFileManage* engine = CFileManage::GetInstance();
    const TInstallOutcome outcome = engine->RunInstall(job);
    // Before the message: the starter reads the report once it has that.
    job.report.Store(outcome);
    if (job.target.window) {
        // The one message the window waits for: a post the system refuses
        // (a full queue) is tried again for a while rather than lost, which
        // would leave the window on its progress page for good.
        bool posted = false;
        for (int attempt = 0; attempt < kResultPostAttempts && !posted; ++attempt) {
            if (attempt > 0)
                Sleep(kResultPostDelayMs);
            posted = PostMessageW(job.target.window, job.target.resultMessage,
                                  static_cast<WPARAM>(outcome.result), OutcomeFlags(outcome)) != 0;
        }
        if (!posted)
            SetupLogFailure(L"the outcome could not be posted to the window", GetLastError());
    }
    engine->FinishRun();
}
