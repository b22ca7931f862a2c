// The install engine: unpacks the payload archive carried in the executable's
// resources straight from the executable file, moves it into the install directory and
// registers the product with the system. One process-wide instance shared by
// the UI thread and one worker thread per install (see InstallWorkerThread).
//
// The members are implemented in three files: FileManage.cpp (the install
// sequence and the file steps), UninstallRecord.cpp and Shortcut.cpp.
#pragma once

#include "installer/PayloadReader.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CFrameUI;

// The outcome of an install step or of a whole run; carried as the wParam of
// WM_INSTALL_RESULT.
enum InstallResult : unsigned {
    INSTALL_OK = 0,
    INSTALL_ERR_UNZIP = 1,
    INSTALL_ERR_RESOURCE = 2,
    INSTALL_ERR_COPY = 3,
    INSTALL_ERR_SHORTCUT = 4,
    INSTALL_ERR_REGISTRY = 5,
};

// The user-facing text of a result code in the ANSI code page (code page 936
// on the target systems); empty for INSTALL_OK and unknown codes.
std::string GetErrorText(unsigned code);

// Written into the uninstall record; the product's updater reads them back.
extern const char kProcessChannel[];
extern const char kChannelName[];

// Every path the engine handles is narrow ANSI text that must fit the
// platform's MAX_PATH (260 bytes with the terminator); longer ones are refused
// by the step that would use them.
class CFileManage {
public:
    // The one instance, created on the first call (on the UI thread, before any
    // worker exists); the first call empties the unpack directory.
    static CFileManage* GetInstance();

    // The whole install sequence; runs on the worker thread. installDir ends
    // with a separator.
    InstallResult RunInstall(std::string installDir);

    // The steps, in the order RunInstall runs them.
    InstallResult ExtractPayload();
    InstallResult UnzipPayload();
    InstallResult MoveFiles(std::string installDir, std::string sourceDir);
    InstallResult WriteUninstallRecord();

    // UI thread, after a successful run.
    InstallResult CreateStartMenuShortcuts();
    InstallResult CreateDesktopShortcut();

    // Creates every directory level named in relative below base; a last
    // component without a separator after it (a file name) is not created.
    // Existing levels are fine; failures are not reported.
    void CreateDirectories(std::string base, std::string relative);

    // The directory levels CreateDirectories asks for, in order: each level
    // adds the next component and the separator after it ('/', '\' or '?');
    // doubled separators are skipped. Without a base, leading separators are
    // kept, so "\\server\share\" stays a network path.
    static std::vector<std::string> DirectoryLevels(const std::string& base,
                                                    const std::string& relative);

    // The main window: target of the progress messages. Set by the window
    // right after it exists.
    HWND hwnd = nullptr;
    // GetTempPathA's result, ending with '\'; empty when it does not fit.
    std::string tempDir;
    // tempDir + "qmsTmp\"; empty when it does not fit.
    std::string unpackDir;
    std::string installDir;
    // Where the payload archive lies: set by ExtractPayload, read by UnzipPayload.
    PayloadRange payload;
    // After unpacking: the unpacked bytes in KiB, for the uninstall record.
    uint32_t totalBytes = 0;
    // The last percentage posted.
    int progress = 0;

private:
    CFileManage();
    CFileManage(const CFileManage&) = delete;
    CFileManage& operator=(const CFileManage&) = delete;

    void PostProgress(int percent);
};

// The worker thread procedure: the main window runs it on a new thread that
// it detaches at once.
void InstallWorkerThread(CFrameUI* frame);
