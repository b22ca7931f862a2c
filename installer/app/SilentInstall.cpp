#include "installer/app/SilentInstall.h"

#include "installer/app/Startup.h"
#include "installer/engine/FileManage.h"
#include "installer/engine/InstallDir.h"
#include "installer/services/MessageBox.h"
#include "installer/services/SetupLog.h"
#include "installer/services/SystemFolders.h"

namespace {

// The caption the interactive boxes carry; the log keeps only their text.
const wchar_t kCaption[] = L"提示:";

} // namespace

std::wstring SilentInstallDir(const TStartRequest& request) {
    std::wstring dir;
    if (ReadRecordedInstallDir(&dir)) {
        SetupLogLine(L"an installation is recorded in " + dir +
                     L"; it is installed over, whatever directory the command line names");
        return dir;
    }
    std::wstring parent;
    if (!request.words.empty() && request.words[0] == L"path")
        parent = TrimmedBlanks(request.pathDir);
    else if (request.hasParentDir)
        parent = request.parentDir;
    else
        parent = DefaultParentDir();
    // No directory at all stays empty, which is refused as such; with the
    // product folder appended it would name a folder in the current drive's
    // root instead.
    if (parent.empty())
        return std::wstring();
    // Compared later as the file system resolves it ("C:\\x\\..\\Apps",
    // "C:\\Apps/sub"), so it is recorded that way too; a relative text stays as
    // it is and is refused as such.
    if (IsAbsoluteLocalPath(parent))
        parent = CanonicalPath(parent);
    return ProductDirBelow(parent);
}

UINT RunSilentInstall(const TStartRequest& request) {
    const std::wstring text = SilentInstallDir(request);
    SetupLogLine(L"install directory: " + text);
    // The first use of the engine makes this run's staging folder.
    CFileManage* engine = CFileManage::GetInstance();
    // The window's checks, in the window's order: refused before anything
    // is made where possible, every refusal with its reason.
    CInstallPayload& payload = engine->Payload();
    const TInstallDirCheck check = CheckAndCreateInstallDir(text, payload, payload.UnpackedBytes());
    if (!check.Accepted()) {
        ShowMessageBox(nullptr, check.refusal.c_str(), kCaption, MB_OK);
        return SETUP_EXIT_DIR_REJECTED;
    }

    TInstallJob job;
    job.installDir = check.dir;
    // The skin presets both shortcut options, and a silent run cannot change them.
    job.desktopLink = true;
    job.startMenuLink = true;
    job.createdDirs = check.created;
    // No target window: the engine posts nothing, and the outcome is the
    // return value of the install run right here. The links are part of it.
    const TInstallOutcome outcome = engine->RunInstall(job);
    if (outcome.result != INSTALL_OK) {
        // The text names the failed step, then what became of the changes.
        ShowMessageBox(nullptr, OutcomeMessage(outcome).c_str(), kCaption, MB_OK);
        return outcome.Settled() ? SETUP_EXIT_INSTALL_FAILED + static_cast<UINT>(outcome.result)
                                 : static_cast<UINT>(SETUP_EXIT_ROLLBACK_INCOMPLETE);
    }
    engine->FinishRun();
    SetupLogLine(L"installed into " + check.dir);
    return SETUP_EXIT_INSTALLED;
}
