// CFrameUI: the window's construction, its pages and controls, the install
// directory and the install's course as the window sees it.
//
// Sections: Construction; Directories; Start of an install; Notifications;
// Messages from the worker; Exit.
#include "installer/app/FrameUI.h"

#include "installer/app/Guard.h"
#include "installer/app/VersionNote.h"
#include "installer/engine/FileManage.h"
#include "installer/engine/InstallDir.h"
#include "installer/engine/InstallMessages.h"
#include "installer/engine/UninstallRecord.h"
#include "installer/services/MessageBox.h"
#include "installer/services/Product.h"
#include "installer/services/SetupLog.h"
#include "installer/services/SystemFolders.h"
#include "installer/app/UnelevatedStart.h"
#include "installer/services/TextConvert.h"

#include "skinui/control/EditUI.h"
#include "skinui/control/LabelUI.h"
#include "skinui/control/OptionUI.h"
#include "skinui/control/ProgressUI.h"
#include "skinui/control/TabLayoutUI.h"
#include "skinui/core/Handles.h"
#include "skinui/core/TextFormat.h"

#include <objbase.h>
#include <process.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <cwchar>
#include <memory>
#include <utility>

using namespace SkinUI;

namespace {

const wchar_t kCaption[] = L"提示:";
constexpr int kWindowWidth = 560;
constexpr int kWindowHeight = 420;
// With the options panel below the welcome page uncovered.
constexpr int kWindowHeightWithOptions = 542;
// Pages of the tab layout.
constexpr int kWelcomePage = 0;
constexpr int kProgressPage = 1;
constexpr int kFinishPage = 2;
// The question when the window is closed while files are being installed.
const wchar_t kStopQuestion[] = L"正在安装" QM_PRODUCT_NAME L", 确定要停止安装吗?\n"
                                L"停止后将撤销已做的全部更改, 您电脑上的内容不会改变。";
// How long the end of a session waits for the rollback; the system ends the
// process after about that long anyway.
constexpr DWORD kSessionEndWaitMs = 20000;
// The icon group of the program's resources.
constexpr UINT kIconId = 104;
// The path field takes as much as a path can hold with the long-path prefix:
// what is too long for the product is refused with how much too long it is,
// never cut to something the user did not type.
constexpr UINT kPathFieldChars = 32767;

// What the progress page says the install is doing, by InstallStep.
const wchar_t* StepText(LPARAM step) {
    switch (step) {
    case INSTALL_STEP_WRITE_FILES:
        return L"正在写入文件...";
    case INSTALL_STEP_REGISTER:
        return L"正在注册程序并创建快捷方式...";
    case INSTALL_STEP_REMOVE_OLD:
        return L"正在删除旧版本的文件...";
    case INSTALL_STEP_ROLL_BACK:
        return L"正在撤销更改, 恢复原来的状态...";
    default:
        return L"正在准备安装...";
    }
}

// The space line turns this colour when the drive lacks room.
constexpr DWORD kShortOfSpaceColor = 0xFFD03030;
constexpr DWORD kSpaceColor = 0xFF555555;

template <typename T> T* FindAs(CPaintManagerUI& pm, const wchar_t* name, const wchar_t* iface) {
    CControlUI* control = pm.FindControl(name);
    return control ? static_cast<T*>(control->GetInterface(iface)) : nullptr;
}

// The worker owns its job: the window keeps nothing the worker reads.
unsigned __stdcall WorkerEntry(void* job) {
    std::unique_ptr<TInstallJob> own(static_cast<TInstallJob*>(job));
    InstallWorkerThread(std::move(*own));
    return 0;
}

} // namespace

// ===========================================================================
// Construction
// ===========================================================================

CFrameUI::CFrameUI() = default;

// Never runs in the installer, which ends with ExitProcess.
CFrameUI::~CFrameUI() = default;

const wchar_t* CFrameUI::GetWindowClassName() const {
    return L"install";
}

CSkinString CFrameUI::GetSkinFileName() {
    return L"skin.xml";
}

bool CFrameUI::Open(bool show) {
    m_installDir.clear();
    if (!Create(nullptr, kProductName, WS_POPUP, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                CW_USEDEFAULT))
        return false;
    CenterWindow();
    if (show)
        ShowWindow(true, true);
    SetIcon(kIconId);
    m_useRecordedDir = 0;
    m_askOverwrite = 0;
    // The first use of the install engine makes this run's staging folder.
    CFileManage::GetInstance();
    return true;
}

void CFrameUI::InitWindow() {
    m_pAgree = FindAs<COptionUI>(m_pm, L"agree", L"Option");
    m_pDesktopLnk = FindAs<COptionUI>(m_pm, L"desktopLnk", L"Option");
    m_pStartMenuLnk = FindAs<COptionUI>(m_pm, L"startMenuLnk", L"Option");
    m_pProgress = FindAs<CProgressUI>(m_pm, L"progress", L"Progress");
    m_pTabs = FindAs<CTabLayoutUI>(m_pm, L"tablayout", L"TabLayout");
    m_pPathEdit = FindAs<CEditUI>(m_pm, L"path", L"Edit");
    m_pSpace = FindAs<CLabelUI>(m_pm, L"space", L"Label");
    m_pProgressStep = FindAs<CLabelUI>(m_pm, L"progressStep", L"Label");
    m_pProgressPercent = FindAs<CLabelUI>(m_pm, L"progressPercent", L"Label");
    m_pFinishDir = FindAs<CLabelUI>(m_pm, L"finishDir", L"Label");
    m_pFinishVersion = FindAs<CLabelUI>(m_pm, L"finishVersion", L"Label");

    // A failed lookup leaves a directory without a drive, which validation
    // refuses with its message.
    const std::wstring dir = ProductDirBelow(ProgramFilesForProduct());
    if (m_pPathEdit)
        m_pPathEdit->SetMaxChar(kPathFieldChars);
    SetFieldDir(dir);
}

// ===========================================================================
// Directories
// ===========================================================================

bool CFrameUI::IsUsableInstallDir(std::wstring dir) {
    return ::IsUsableInstallDir(std::move(dir));
}

bool CFrameUI::LoadRecordedInstallDir() {
    // A recorded folder that is refused is logged there and the default
    // applies, as if nothing were recorded.
    std::wstring dir;
    if (!ReadRecordedInstallDir(&dir))
        return false;
    m_installDir = dir;
    // The folder the install will go to is the one the field shows.
    SetFieldDir(dir);
    return true;
}

void CFrameUI::ApplyPathArgument(const std::wstring& text) {
    const std::wstring parent = TrimmedBlanks(text);
    m_askOverwrite = 0;
    // No directory at all (only blanks) stays an empty text, which
    // validation refuses as such; with the product folder appended it would
    // name a folder in the root of the current drive instead.
    SetFieldDir(parent.empty() ? parent : ProductDirBelow(parent));
}

void CFrameUI::SetFieldDir(const std::wstring& dir) {
    if (m_pPathEdit)
        m_pPathEdit->SetText(dir.c_str());
    UpdateSpaceLine();
}

std::wstring CFrameUI::ChosenDir() const {
    if (m_useRecordedDir)
        return m_installDir;
    return m_pPathEdit ? std::wstring(m_pPathEdit->GetText().GetData()) : std::wstring();
}

uint64_t CFrameUI::NeededBytes() {
    if (!m_neededRead) {
        m_neededBytes = CFileManage::GetInstance()->Payload().UnpackedBytes();
        m_neededRead = true;
    }
    return m_neededBytes;
}

void CFrameUI::UpdateSpaceLine() {
    if (!m_pSpace)
        return;
    const uint64_t needed = NeededBytes();
    std::wstring text = L"所需空间: " + SizeText(needed) + L"      可用空间: ";
    const std::wstring dir = ChosenDir();
    uint64_t free = 0;
    DWORD error = ERROR_SUCCESS;
    bool shortOfSpace = false;
    if (IsAbsoluteLocalPath(dir) && FreeBytes(dir, &free, &error)) {
        text += SizeText(free);
        shortOfSpace = free < needed;
        if (shortOfSpace)
            text += L" (空间不足)";
    } else {
        text += L"未知";
    }
    m_pSpace->SetText(text.c_str());
    m_pSpace->SetTextColor(shortOfSpace ? kShortOfSpaceColor : kSpaceColor);
}

bool CFrameUI::ValidateInstallDir() {
    const std::wstring text =
        m_useRecordedDir ? m_installDir
                         : (m_pPathEdit ? std::wstring(m_pPathEdit->GetText().GetData()) : L"");
    const TInstallDirCheck check =
        CheckAndCreateInstallDir(text, CFileManage::GetInstance()->Payload(), NeededBytes());
    if (!check.Accepted()) {
        // The next attempt takes the edit's text, which now shows the
        // recorded directory that failed.
        if (m_useRecordedDir) {
            if (m_pPathEdit)
                m_pPathEdit->SetText(m_installDir.c_str());
            m_useRecordedDir = 0;
        }
        ShowDirectoryMessage(check.refusal.c_str());
        return false;
    }
    m_installDir = check.dir;
    m_createdDirs = check.created;
    return true;
}

void CFrameUI::ShowDirectoryMessage(const wchar_t* text) {
    ShowMessageBox(m_hWnd, text, kCaption, MB_OK);
}

// ===========================================================================
// Start of an install
// ===========================================================================

void CFrameUI::StartInstall() {
    if (!ValidateInstallDir()) {
        if (m_pTabs && m_pTabs->GetCurSel() != kWelcomePage)
            m_pTabs->SelectItem(kWelcomePage);
        return;
    }
    if (m_pTabs)
        m_pTabs->SelectItem(kProgressPage);
    TRecordedInstall recorded;
    m_replacedVersion = ReadRecordedInstall(&recorded) ? recorded.version : std::wstring();
    LogVersionChange(m_installDir);
    auto job = std::make_unique<TInstallJob>();
    job->installDir = m_installDir;
    // The options panel is part of the welcome page, so the choice cannot
    // change once the install runs.
    job->desktopLink = m_pDesktopLnk && m_pDesktopLnk->IsSelected();
    job->startMenuLink = m_pStartMenuLnk && m_pStartMenuLnk->IsSelected();
    job->target.window = m_hWnd;
    job->createdDirs = m_createdDirs;
    // The job's own stop request: the window keeps its copy and nothing else
    // of the run.
    m_stop = job->stop;
    m_report = job->report;
    HANDLE worker =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WorkerEntry, job.get(), 0, nullptr));
    if (!worker) {
        // Without a worker nothing would ever leave the progress page; this
        // is as if the install had failed before its first step.
        TInstallOutcome outcome;
        outcome.result = INSTALL_ERR_RESOURCE;
        OnInstallResult(outcome);
        return;
    }
    job.release();
    m_worker.Reset(worker);
}

// ===========================================================================
// Notifications
// ===========================================================================

// The close and minimise buttons are the skin's own; the window base knows
// them too, but the installer ends at once, without closing the window first,
// on any page and also while the worker runs.
SKIN_BEGIN_MESSAGE_MAP(CFrameUI, WindowImplBase)
SKIN_ON_CLICK_CTRNAME(L"closeBtn", &CFrameUI::OnCloseClicked)
SKIN_ON_CLICK_CTRNAME(L"minBtn", &CFrameUI::OnMinClicked)
SKIN_ON_CLICK_CTRNAME(L"install", &CFrameUI::OnInstallClicked)
SKIN_ON_CLICK_CTRNAME(L"agreement", &CFrameUI::OnAgreementClicked)
SKIN_ON_CLICK_CTRNAME(L"btn_private", &CFrameUI::OnPrivacyClicked)
SKIN_ON_CLICK_CTRNAME(L"browse", &CFrameUI::OnBrowseClicked)
SKIN_ON_CLICK_CTRNAME(L"success", &CFrameUI::OnFinishClicked)
SKIN_ON_SELECTCHANGED_CTRNAME(L"custom", &CFrameUI::OnCustomChanged)
SKIN_ON_MSGTYPE_CTRNAME(L"textchanged", L"path", &CFrameUI::OnPathChanged)
SKIN_ON_MSGTYPE_CTRNAME(L"return", L"path", &CFrameUI::OnPathReturn)
SKIN_END_MESSAGE_MAP()

void CFrameUI::OnCloseClicked(TNotifyUI&) {
    if (Installing()) {
        AskToStop();
        return;
    }
    Quit();
}

void CFrameUI::AskToStop() {
    if (m_stopping || m_asking)
        return;
    // The worker waits at its next entry while the question is up, so that
    // nothing is written behind it. A run past its point of no return is
    // installed: there is nothing left to stop, and its finish page follows.
    if (!m_stop.Pause()) {
        SetupLogLine(L"a stop was asked for after the install had completed");
        ShowStep(INSTALL_STEP_REGISTER);
        return;
    }
    m_asking = true;
    const int answer =
        ShowMessageBox(m_hWnd, kStopQuestion, kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    m_asking = false;
    if (answer == IDYES && m_stop.Request()) {
        m_stopping = true;
        SetupLogLine(L"stop asked for: the install stops and puts everything back");
        // Said at once: the putting back can take a while, and the page
        // must not go on naming the step the install was in.
        ShowStep(INSTALL_STEP_ROLL_BACK);
    } else {
        m_stop.Resume();
    }
    // An outcome that came while the question was up (a failure in a step
    // that does not wait) is handled now that it has been answered.
    if (m_pendingResult) {
        m_pendingResult = false;
        OnInstallResult(m_pendingOutcome);
    }
}

void CFrameUI::ShowStep(int step) {
    if (m_pProgressStep)
        m_pProgressStep->SetText(StepText(step));
}

void CFrameUI::StopForSessionEnd(bool ending) {
    if (!Installing())
        return;
    m_stopping = true;
    m_sessionEnding = true;
    m_stop.Request();
    if (!ending)
        return;
    // The system ends the process once this message returns: the rollback
    // must be over by then.
    // A worker still putting things back after the wait is ended with the
    // process: its journal stays, untouched by this thread, and the next
    // start finishes the undo from it.
    if (WaitForSingleObject(m_worker.Get(), kSessionEndWaitMs) == WAIT_OBJECT_0)
        CFileManage::GetInstance()->RemoveStaging();
    ReleaseInstallMutex();
    // An interactive run ends with 0 whatever happened; its window said it.
    ExitProcess(0);
}

LRESULT CFrameUI::ResponseDefaultKeyEvent(WPARAM wParam) {
    // Through the button's own click, so that Esc keeps doing whatever the
    // close button does on each page.
    if (wParam == VK_ESCAPE) {
        if (CControlUI* close = m_pm.FindControl(kCloseButton))
            close->Activate();
        return 1;
    }
    return WindowImplBase::ResponseDefaultKeyEvent(wParam);
}

void CFrameUI::ReturnFocusTo(CControlUI* opener) {
    if (opener == nullptr || !m_pm.IsControlShown(opener) || !IsWindow(m_hWnd))
        return;
    ::SetFocus(m_hWnd);
    m_pm.SetFocus(opener);
}

void CFrameUI::OnMinClicked(TNotifyUI&) {
    ::ShowWindow(m_hWnd, SW_MINIMIZE);
}

void CFrameUI::OnAgreementClicked(TNotifyUI&) {
    OpenWebPage(kAgreementPage);
}

void CFrameUI::OnPrivacyClicked(TNotifyUI&) {
    OpenWebPage(kPrivacyPage);
}

void CFrameUI::OnPathChanged(TNotifyUI&) {
    // Only a person's typing gets here. The field shows the recorded folder
    // from the start; once it names another, the field is what counts.
    if (m_useRecordedDir && m_pPathEdit &&
        !SamePath(m_pPathEdit->GetText().GetData(), m_installDir))
        m_useRecordedDir = 0;
    UpdateSpaceLine();
}

void CFrameUI::OnPathReturn(TNotifyUI& msg) {
    // Enter in the folder field does what the install button does: the
    // agreement, the overwrite question, then the folder's checks.
    // As if the button had been pressed: the keyboard goes back to it after
    // a box, never to the field, which folds away with the options panel.
    CControlUI* install = m_pm.FindControl(L"install");
    if (!install || (m_pTabs && m_pTabs->GetCurSel() != kWelcomePage))
        return;
    TNotifyUI click = msg;
    click.sender = install;
    OnInstallClicked(click);
}

void CFrameUI::OnCustomChanged(TNotifyUI& msg) {
    auto* custom = static_cast<COptionUI*>(msg.sender->GetInterface(L"Option"));
    SetWindowHeight(custom && custom->IsSelected() ? kWindowHeightWithOptions : kWindowHeight);
}

void CFrameUI::OnInstallClicked(TNotifyUI& msg) {
    if (m_pAgree && !m_pAgree->IsSelected()) {
        ShowMessageBox(m_hWnd, L"请同意《用户服务协议》!", kCaption, MB_OK);
        ReturnFocusTo(msg.sender);
        return;
    }
    if (m_askOverwrite &&
        ShowMessageBox(m_hWnd, L"您的电脑上已经安装" QM_PRODUCT_NAME "客户端, 是否覆盖重新安装?",
                       kCaption, MB_YESNO) != IDYES) {
        ReturnFocusTo(msg.sender);
        return;
    }
    StartInstall();
    // After a refused directory the welcome page is still there, and so is
    // the button; after a start it has gone with its page.
    ReturnFocusTo(msg.sender);
    // The options panel folds away again, whether or not the directory was
    // accepted, and its arrow says so.
    FoldOptions();
}

void CFrameUI::FoldOptions() {
    auto* custom = FindAs<COptionUI>(m_pm, L"custom", L"Option");
    if (!custom || !custom->IsSelected())
        return;
    // The arrow goes back with the selection; its change notice sets the
    // height as a click does, and the height is set here as well, so the
    // panel folds even before that notice is handled.
    custom->Selected(false);
    SetWindowHeight(kWindowHeight);
}

void CFrameUI::OnBrowseClicked(TNotifyUI& msg) {
    const std::wstring picked = PickFolder(ChosenDir());
    ReturnFocusTo(msg.sender);
    if (picked.empty())
        return;
    // A shared folder such as Program Files gets the product's own folder
    // below it, so a choice never spreads the files among others'.
    m_useRecordedDir = 0;
    SetFieldDir(WithProductFolder(picked));
}

std::wstring CFrameUI::PickFolder(const std::wstring& start) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, dialog.PutVoid())))
        return std::wstring();
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST |
                       FOS_NOCHANGEDIR);
    dialog->SetTitle(L"请选择安装目录");
    // It opens where the field points: at the folder itself, or at the
    // nearest one above it that exists yet.
    const std::wstring folder = NearestExistingFolder(start);
    ComPtr<IShellItem> item;
    if (!folder.empty() && SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr,
                                                                 IID_IShellItem, item.PutVoid())))
        dialog->SetFolder(item.Get());
    if (FAILED(dialog->Show(m_hWnd)))
        return std::wstring();
    ComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(result.Put())))
        return std::wstring();
    UniqueCoTaskMem<wchar_t*> path;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, path.Put())) || !path)
        return std::wstring();
    // As the file system resolves it: Wine hands back a name typed as "."
    // or ".." joined to the folder shown, unresolved.
    return CanonicalPath(path.Get());
}

void CFrameUI::OnFinishClicked(TNotifyUI&) {
    // The client refuses to start beside a running installer.
    ReleaseInstallMutex();
    // The client runs as the user, never with this installer's
    // administrator token; it is not started at all when that cannot be had.
    const std::wstring client = m_installDir + kClientFileNameW;
    if (!StartUnelevated(client)) {
        SetupLogFailure(L"could not start " + client + L" without elevation", GetLastError());
        // Without a desktop shell (a kiosk, a shell replacement) there is no
        // way to start it as the user; starting it with this installer's
        // administrator token instead is not an option, so the person is told.
        ShowMessageBox(m_hWnd,
                       L"无法以当前用户身份启动" QM_PRODUCT_NAME L"(没有找到桌面外壳程序)。\n"
                       L"请从开始菜单或桌面快捷方式启动。",
                       kCaption, MB_OK | MB_ICONINFORMATION);
    }
    Quit();
}

void CFrameUI::OpenWebPage(const wchar_t* path) {
    const std::wstring url = ToWide(kWebSiteRoot) + path;
    // As the user: the browser, or an "https" handler a user registered,
    // must not run with this installer's administrator token.
    if (!OpenPageUnelevated(url))
        SetupLogFailure(L"could not open " + url + L" without elevation", GetLastError());
}

void CFrameUI::SetWindowHeight(int height) {
    // The sizes are the skin's, for 96 dpi, scaled like everything it lays out.
    const CDPI* dpi = m_pm.GetDPIObj();
    SetWindowPos(m_hWnd, nullptr, 0, 0, dpi->Scale(kWindowWidth), dpi->Scale(height),
                 SWP_NOMOVE | SWP_NOZORDER);
}

// ===========================================================================
// Messages from the worker
// ===========================================================================

LRESULT CFrameUI::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INSTALL_PROGRESS:
        if (m_pProgress)
            m_pProgress->SetValue(static_cast<int>(wParam));
        if (m_pProgressPercent)
            m_pProgressPercent->SetText(
                (SkinUI::DecimalText(static_cast<int>(wParam)) + L"%").c_str());
        // Once a stop was asked for, the page says that things are being
        // put back, whatever step the worker was in.
        if (m_pProgressStep && !m_stopping)
            m_pProgressStep->SetText(StepText(lParam));
        // The worker's messages are the window's alone: nothing below it
        // (the window base, the message filters, the input table) has a use
        // for them.
        return 0;
    case WM_INSTALL_RESULT:
        m_resultReceived = true;
        // The stop question's box runs its own message loop: an outcome
        // that arrives meanwhile waits for the answer.
        if (m_asking) {
            m_pendingResult = true;
            m_pendingOutcome = OutcomeOfMessage(wParam, lParam);
        } else {
            OnInstallResult(OutcomeOfMessage(wParam, lParam));
        }
        return 0;
    case WM_CLOSE:
        // Alt+F4 and the taskbar's close: while files are being installed
        // they ask first, as the close button does. A window disabled by a
        // box does not take the request at all.
        if (Installing()) {
            if (IsWindowEnabled(m_hWnd))
                AskToStop();
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        if (Installing()) {
            StopForSessionEnd(false);
            return TRUE;
        }
        break;
    case WM_ENDSESSION:
        if (wParam)
            StopForSessionEnd(true);
        break;
    case WM_DESTROY:
        // A close request from the system (Alt+F4, the taskbar) destroys the
        // window without going through the close button; the process must
        // not stay behind without a window, holding the install mutex.
        Quit();
        break;
    default:
        break;
    }
    return WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void CFrameUI::OnInstallResult(const TInstallOutcome& outcome) {
    if (outcome.result == INSTALL_OK) {
        // The worker made the links already, as part of the install.
        if (m_pFinishDir)
            m_pFinishDir->SetText(
                (L"安装位置: " + WithoutTrailingSeparators(m_installDir)).c_str());
        if (m_pFinishVersion)
            m_pFinishVersion->SetText(FinishVersionLine(m_replacedVersion).c_str());
        if (m_pTabs)
            m_pTabs->SelectItem(kFinishPage);
        return;
    }
    // The text names the failed step (or the stop), why it failed, then what
    // became of the changes. Why is not in the message: the job's report has
    // it, stored before the message was posted. A session that ends has
    // nobody to read it.
    TInstallOutcome told = outcome;
    if (outcome.result != INSTALL_CANCELLED)
        told.failure = m_report.Load().failure;
    if (!m_sessionEnding)
        ShowMessageBox(m_hWnd, OutcomeMessage(told).c_str(), kCaption, MB_OK);
    Quit();
}

// ===========================================================================
// Exit
// ===========================================================================

void CFrameUI::Quit() {
    PostQuitMessage(0);
}

void CFrameUI::WaitForWorkerFinish(DWORD timeoutMs) {
    if (m_worker && m_resultReceived)
        WaitForSingleObject(m_worker.Get(), timeoutMs);
}
