// The installer's only window and its controller: the welcome page with the
// install button, the agreement line and the fold-out options panel, the
// progress page and the finish page, all drawn from the skin "skin.xml". It
// decides the install directory, checks it, starts the install worker on its
// own thread, follows the worker's posted messages and starts the installed
// client at the end.
//
// The window shares nothing with the worker: it describes the install in a
// TInstallJob, which the worker copies at its start. The constructor creates
// no window, so the directory checks can be used on their own; Open creates
// the real window.
#pragma once

#include "installer/FileManage.h"

#include "skinui/core/Handles.h"
#include "skinui/window/WindowImplBase.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {
class CEditUI;
class CLabelUI;
class COptionUI;
class CProgressUI;
class CTabLayoutUI;
} // namespace SkinUI

// How a silent run ("path", /S) ends, for the script that started it.
// Interactive runs end with 0. Listed in README.md under "Deploying silently".
enum SetupExitCode : UINT {
    SETUP_EXIT_INSTALLED = 0,
    // The window base ends the process with 1 when the skin cannot be built.
    SETUP_EXIT_SKIN_DAMAGED = 1,
    SETUP_EXIT_DIR_REJECTED = 2,
    // The guard refused: another installer or the updater runs, or the client
    // runs and the user chose not to stop it.
    SETUP_EXIT_NOT_STARTED = 3,
    SETUP_EXIT_NO_WINDOW = 4,
    // The program ended before the install had an outcome.
    SETUP_EXIT_UNFINISHED = 5,
    // An unknown command-line switch: the usage was printed, nothing done.
    SETUP_EXIT_USAGE = 6,
    // A failed install whose changes could not all be put back; the next run
    // of the installer or the uninstaller goes on with it.
    SETUP_EXIT_ROLLBACK_INCOMPLETE = 7,
    // Plus the InstallResult of a failed install whose changes were all put
    // back (11 unzip, 12 resource, 13 copy, 14 shortcut, 15 registry, 16
    // stopped).
    SETUP_EXIT_INSTALL_FAILED = 10,
};

class CFrameUI : public SkinUI::WindowImplBase {
public:
    // =========================================================================
    // Construction
    // =========================================================================
    CFrameUI();
    ~CFrameUI() override;

    // Creates the window from the skin, centres it, shows it unless told not
    // to, sets the program icon and prepares the install engine (whose first
    // use empties its unpack directory). False when the window could not be
    // created. A silent install keeps the window hidden from the start, so it
    // never flashes up before the install hides it.
    bool Open(bool show = true);

    // =========================================================================
    // Start modes (the entry point sets the flags, then may start at once)
    // =========================================================================
    // Reads the previous installation's directory from its uninstall record
    // into m_installDir; false when none is recorded.
    bool LoadRecordedInstallDir();
    // The "path" mode's parent directory (narrow): the product's own folder
    // below it goes into the directory edit.
    void ApplyPathArgument(const std::string& text);
    // Checks the directory and starts the worker, or shows why not.
    void StartInstall();

    // The process's exit code once the message loop has ended.
    UINT ExitCode() const;
    // Waits, at most timeoutMs, for a worker that has reported its outcome to
    // end. A worker still installing is not waited for; the window does not
    // quit while one runs, apart from a session that ends.
    void WaitForWorkerFinish(DWORD timeoutMs);
    // A worker was started and has not reported its outcome yet.
    bool Installing() const { return m_worker && !m_resultReceived; }
    // No worker, or its thread has ended (after the outcome it may still be
    // removing the files an update replaced).
    bool WorkerEnded() const {
        return !m_worker || WaitForSingleObject(m_worker.Get(), 0) == WAIT_OBJECT_0;
    }

    // =========================================================================
    // Directory checks
    // =========================================================================
    // The directory text with '\' appended unless it already ends with '\' or
    // '/' (an empty text has no last character, so it becomes "\").
    static void AppendSeparator(std::wstring& dir);
    // A drive-letter path ("X:\...") that exists as a directory. UNC paths,
    // relative paths and "X:/..." are refused even when they exist.
    static bool IsUsableInstallDir(std::wstring dir);
    // The "无法创建目录" message for a directory, shortened in the middle when
    // the directory would not fit the message buffer.
    static std::wstring CannotCreateMessage(const std::wstring& dir);
    // The same with the reason in a second line (none when reason is empty).
    static std::wstring CannotCreateMessage(const std::wstring& dir, const std::wstring& reason);
    static std::wstring TooLongMessage(size_t excess);

    // The rest of the checks live in InstallDirCheck.cpp.
    // Why dir cannot take the install, found before anything is made: not a
    // local drive-letter path, a character Windows does not allow in a name,
    // a drive that does not exist or is not ready, or less free space than
    // needed bytes. Empty when none of these applies.
    static std::wstring RefusalBeforeCreating(const std::wstring& dir, uint64_t needed);
    // Why dir could not be made, from the error of the level that failed
    // (ERROR_SUCCESS when every level was there but it is no usable folder).
    static std::wstring RefusalReason(const std::wstring& dir, DWORD error);
    static std::wstring NotEnoughSpaceReason(const std::wstring& dir, uint64_t needed,
                                             uint64_t free);
    // Creates dir's missing levels one by one; created gets those it made,
    // outermost first. The error of the last level that could not be made.
    static DWORD CreateInstallDirectory(const std::wstring& dir,
                                        std::vector<std::wstring>* created);
    // The nearest folder at or above dir that exists, without a trailing
    // separator except at a drive root; empty when there is none.
    static std::wstring NearestExistingFolder(const std::wstring& dir);
    // The bytes the caller may still write on dir's volume; false (with the
    // error) when the drive cannot tell.
    static bool FreeBytes(const std::wstring& dir, uint64_t* free, DWORD* error);
    // "812 KB", "12.4 MB", "45.6 GB", rounded up.
    static std::wstring SizeText(uint64_t bytes);
    // A picked folder as an install directory: the product's folder below
    // it, unless it is already the product's folder; with a trailing '\'.
    static std::wstring WithProductFolder(const std::wstring& chosen);

    // =========================================================================
    // Window base overrides
    // =========================================================================
    void InitWindow() override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Esc does what the close button does, through the button itself.
    LRESULT ResponseDefaultKeyEvent(WPARAM wParam) override;

protected:
    const wchar_t* GetWindowClassName() const override;
    SkinUI::CSkinString GetSkinFileName() override;

public:
    // =========================================================================
    // State, shared with the entry point
    // =========================================================================
    // Install into m_installDir (a previous installation's directory) instead
    // of the edit's text.
    int m_useRecordedDir = 0;
    // Ask before installing over a previous installation.
    int m_askOverwrite = 0;
    SkinUI::CEditUI* m_pPathEdit = nullptr;
    SkinUI::CTabLayoutUI* m_pTabs = nullptr;
    SkinUI::CProgressUI* m_pProgress = nullptr;
    // The install directory; once stored it always ends with '\' or '/'. The
    // window does not change it while an install runs (the install button is
    // hidden from then on).
    std::wstring m_installDir;
    SkinUI::COptionUI* m_pAgree = nullptr;
    SkinUI::COptionUI* m_pDesktopLnk = nullptr;
    SkinUI::COptionUI* m_pStartMenuLnk = nullptr;
    SkinUI::CLabelUI* m_pSpace = nullptr;
    SkinUI::CLabelUI* m_pProgressStep = nullptr;
    SkinUI::CLabelUI* m_pProgressPercent = nullptr;
    SkinUI::CLabelUI* m_pFinishDir = nullptr;
    // Silent mode ("path"): the window hides when the install starts and the
    // program ends after its outcome.
    bool m_silent = false;

    SKIN_DECLARE_MESSAGE_MAP()

    // Notification handlers (the message map's rows).
    void OnCloseClicked(SkinUI::TNotifyUI& msg);
    void OnMinClicked(SkinUI::TNotifyUI& msg);
    void OnInstallClicked(SkinUI::TNotifyUI& msg);
    void OnAgreementClicked(SkinUI::TNotifyUI& msg);
    void OnPrivacyClicked(SkinUI::TNotifyUI& msg);
    void OnBrowseClicked(SkinUI::TNotifyUI& msg);
    void OnFinishClicked(SkinUI::TNotifyUI& msg);
    void OnCustomChanged(SkinUI::TNotifyUI& msg);
    void OnPathChanged(SkinUI::TNotifyUI& msg);

    void OnInstallResult(unsigned result);
    // A close request while the worker runs: asks whether to stop, and
    // stops the install (it rolls back) on Yes.
    void AskToStop();
    // The session ends: the install stops and rolls back without a question,
    // and the process waits for that before the system ends it.
    void StopForSessionEnd(bool ending);
    bool ValidateInstallDir();
    void ShowDirectoryMessage(const wchar_t* text);
    void SetWindowHeight(int height);
    // Folds the options panel away and puts "custom" back to closed.
    void FoldOptions();
    // The directory the install would go to now: the recorded one while it
    // wins, else the field's text.
    std::wstring ChosenDir() const;
    // The space line of the options panel for the chosen directory.
    void UpdateSpaceLine();
    // The space the payload needs, read once.
    uint64_t NeededBytes();
    // Puts dir into the field and the space line after it.
    void SetFieldDir(const std::wstring& dir);
    // The picker's folder for the field's text, or empty when cancelled.
    std::wstring PickFolder(const std::wstring& start);
    void OpenWebPage(const wchar_t* path);
    // Gives the keyboard back to the control that opened a dialog or a box,
    // when that control can still be seen.
    void ReturnFocusTo(SkinUI::CControlUI* opener);
    void Quit();

    // The running install as the worker was given it; the worker's entry
    // copies it, and the window reads its options back after the result.
    TInstallJob m_job;
    // The levels of the install directory the check created, which a run
    // that ends badly removes again.
    std::vector<std::wstring> m_createdDirs;
    // The worker thread, kept only for the bounded wait before the process
    // ends; the window never waits for it otherwise.
    SkinUI::UniqueHandle m_worker;
    // Set when the worker's result message arrived: from then on the worker
    // only finishes writing the install kind.
    bool m_resultReceived = false;
    // The outcome a silent run reports (SetupExitCode).
    UINT m_silentExitCode = SETUP_EXIT_UNFINISHED;
    // A stop was asked for (the question answered Yes, or the session ends).
    bool m_stopping = false;
    bool m_sessionEnding = false;
    // The question is up: a second close request does not ask again.
    bool m_asking = false;
    // The payload's unpacked size, once read (m_neededRead).
    uint64_t m_neededBytes = 0;
    bool m_neededRead = false;
};
