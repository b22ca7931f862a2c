// The installer's only window and its controller: the welcome page with the
// install button, the agreement line and the fold-out options panel, the
// progress page and the finish page, all drawn from the skin "skin.xml". It
// decides the install directory, checks it, starts the install worker on its
// own thread, follows the worker's posted messages and starts the installed
// client at the end.
//
// The window shares nothing with the worker: it hands the worker a
// TInstallJob of its own and learns the outcome from the result message
// alone. The constructor creates no window; Open creates the real window.
#pragma once

#include "installer/engine/InstallJob.h"

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

class CFrameUI : public SkinUI::WindowImplBase {
public:
    // =========================================================================
    // Construction
    // =========================================================================
    CFrameUI();
    ~CFrameUI() override;

    // Creates the window from the skin, centres it, shows it unless told not
    // to, sets the program icon and makes sure the install engine exists
    // (GetInstance). False when the window could not be created. A silent
    // install never comes here: it runs without any window (SilentInstall.h).
    bool Open(bool show = true);

    // =========================================================================
    // Start modes (the entry point sets the flags, then may start at once)
    // =========================================================================
    // Reads the previous installation's directory from its uninstall record
    // into m_installDir; false when none is recorded.
    bool LoadRecordedInstallDir();
    // A parent directory from the command line (/D=): the product's own
    // folder below it goes into the directory edit.
    void ApplyPathArgument(const std::wstring& text);
    // Checks the directory and starts the worker, or shows why not.
    void StartInstall();

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
    // Directory checks (the policy of InstallDir.h)
    // =========================================================================
    static bool IsUsableInstallDir(std::wstring dir);

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
    // hidden from then on). The worker gets a copy in its job.
    std::wstring m_installDir;
    SkinUI::COptionUI* m_pAgree = nullptr;
    SkinUI::COptionUI* m_pDesktopLnk = nullptr;
    SkinUI::COptionUI* m_pStartMenuLnk = nullptr;
    SkinUI::CLabelUI* m_pSpace = nullptr;
    SkinUI::CLabelUI* m_pProgressStep = nullptr;
    SkinUI::CLabelUI* m_pProgressPercent = nullptr;
    SkinUI::CLabelUI* m_pFinishDir = nullptr;

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

    void OnInstallResult(const TInstallOutcome& outcome);
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

    // The levels of the install directory the check created, which the
    // job hands on, so that a run that ends badly removes them again.
    std::vector<std::wstring> m_createdDirs;
    // The worker thread, kept only for the bounded wait before the process
    // ends; the window never waits for it otherwise.
    SkinUI::UniqueHandle m_worker;
    // Set when the worker's result message arrived: from then on the worker
    // only finishes writing the install kind.
    bool m_resultReceived = false;
    // The running job's stop request and report (copies of the job's own):
    // once the result message came, m_report.Load().failure says why a run
    // failed (TInstallFailure::Text: the step, the file or folder, the
    // system's words).
    CStopRequest m_stop;
    CRunReport m_report;
    // A stop was asked for (the question answered Yes, or the session ends).
    bool m_stopping = false;
    bool m_sessionEnding = false;
    // The question is up: a second close request does not ask again.
    bool m_asking = false;
    // The payload's unpacked size, once read (m_neededRead).
    uint64_t m_neededBytes = 0;
    bool m_neededRead = false;
};
