#include "installer/SilentInstall.h"

#include "installer/FileManage.h"
#include "installer/FrameUI.h"
#include "installer/MessageBox.h"
#include "installer/Product.h"
#include "installer/SetupLog.h"
#include "installer/Startup.h"
#include "installer/SystemFolders.h"
#include "installer/TextConvert.h"

#include "skinui/core/Handles.h"

#include <shlobj.h>

namespace {

// The caption the interactive boxes carry; the log keeps only their text.
const wchar_t kCaption[] = L"提示:";

std::wstring WithSeparator(std::wstring dir) {
    CFrameUI::AppendSeparator(dir);
    return dir;
}

std::wstring Trimmed(const std::wstring& text) {
    const size_t begin = text.find_first_not_of(L' ');
    if (begin == std::wstring::npos)
        return std::wstring();
    return text.substr(begin, text.find_last_not_of(L' ') - begin + 1);
}

} // namespace

const wchar_t* RecordedDirRefusal(const std::wstring& dir) {
    // The record lies in a key an earlier install wrote, but whoever could
    // write it once may have pointed it anywhere, and an elevated install
    // over it would write and later delete there.
    if (!IsAbsoluteLocalPath(dir))
        return L"not an absolute local path";
    if (IsReservedFolder(dir) || IsInsideWindowsFolder(dir))
        return L"a drive root, a system folder or a shell folder";
    const DWORD attrs =
        GetFileAttributesW((WithSeparator(CanonicalPath(dir)) + kClientFileNameW).c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY))
        return L"the product is no longer there";
    return nullptr;
}

bool ReadRecordedInstallDir(std::wstring* dir) {
    SkinUI::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, KEY_QUERY_VALUE,
                      key.Put()) != ERROR_SUCCESS)
        return false;
    // One character more than the size passed, so a value that fills the
    // buffer without a terminator still ends with one.
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH * sizeof(wchar_t);
    if (RegQueryValueExW(key.Get(), L"InstallLocation", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
        return false;
    const std::wstring recorded = buf;
    const wchar_t* refusal = RecordedDirRefusal(recorded);
    if (refusal) {
        SetupLogLine(L"the recorded folder " + recorded + L" is ignored: " + refusal);
        return false;
    }
    *dir = WithSeparator(CanonicalPath(recorded));
    return true;
}

std::wstring DefaultParentDir() {
    return ProgramFilesForProduct();
}

std::wstring SilentInstallDir(const TStartRequest& request) {
    std::wstring dir;
    if (ReadRecordedInstallDir(&dir)) {
        SetupLogLine(L"an installation is recorded in " + dir +
                     L"; it is installed over, whatever directory the command line names");
        return dir;
    }
    std::wstring parent;
    if (!request.words.empty() && request.words[0] == L"path")
        parent = Trimmed(request.pathDir);
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
    return WithSeparator(parent) + kProductFolder;
}

UINT RunSilentInstall(const TStartRequest& request) {
    const std::wstring dir = SilentInstallDir(request);
    if (dir.empty()) {
        ShowMessageBox(nullptr, L"路径不能为空, 请重新选择!", kCaption, MB_OK);
        return SETUP_EXIT_DIR_REJECTED;
    }
    // Relative, drive-relative and network paths are refused before anything
    // is made: "foo" would otherwise become a folder wherever the installer
    // was started from.
    if (!IsAbsoluteLocalPath(dir)) {
        ShowMessageBox(
            nullptr,
            CFrameUI::CannotCreateMessage(dir, CFrameUI::RefusalBeforeCreating(dir, 0)).c_str(),
            kCaption, MB_OK);
        return SETUP_EXIT_DIR_REJECTED;
    }
    SetupLogLine(L"install directory: " + dir);
    // The first use of the engine empties its unpack directory.
    CFileManage* engine = CFileManage::GetInstance();
    // Refused before anything is created, as the window does.
    if (const size_t excess = engine->PayloadPathExcess(dir)) {
        ShowMessageBox(nullptr, CFrameUI::TooLongMessage(excess).c_str(), kCaption, MB_OK);
        return SETUP_EXIT_DIR_REJECTED;
    }
    // A character Windows refuses, a missing drive or too little space.
    const std::wstring refusal =
        CFrameUI::RefusalBeforeCreating(dir, engine->PayloadUnpackedBytes());
    if (!refusal.empty()) {
        ShowMessageBox(nullptr, CFrameUI::CannotCreateMessage(dir, refusal).c_str(), kCaption,
                       MB_OK);
        return SETUP_EXIT_DIR_REJECTED;
    }
    std::vector<std::wstring> createdDirs;
    const DWORD created = CFrameUI::CreateInstallDirectory(dir, &createdDirs);
    if (!CFrameUI::IsUsableInstallDir(dir)) {
        if (created != ERROR_SUCCESS)
            SetupLogFailure(L"could not create " + dir, created);
        ShowMessageBox(
            nullptr,
            CFrameUI::CannotCreateMessage(dir, CFrameUI::RefusalReason(dir, created)).c_str(),
            kCaption, MB_OK);
        return SETUP_EXIT_DIR_REJECTED;
    }

    TInstallJob job;
    job.installDir = dir;
    // The skin presets both shortcut options, and a silent run cannot change them.
    job.desktopLink = true;
    job.startMenuLink = true;
    job.createdDirs = createdDirs;
    // No target window: the engine posts nothing, and the result is the
    // return value of the install run right here. The links are part of it.
    const InstallResult result = engine->RunInstall(job);
    if (result != INSTALL_OK) {
        // The text names the failed step, then what became of the changes.
        const bool complete = !engine->rolledBack || engine->rollbackComplete;
        const std::wstring text =
            OutcomeMessage(result, engine->rolledBack, engine->rollbackComplete);
        ShowMessageBox(nullptr, text.c_str(), kCaption, MB_OK);
        return complete ? SETUP_EXIT_INSTALL_FAILED + static_cast<UINT>(result)
                        : static_cast<UINT>(SETUP_EXIT_ROLLBACK_INCOMPLETE);
    }
    engine->FinishRun();
    SetupLogLine(L"installed into " + dir);
    return SETUP_EXIT_INSTALLED;
}
