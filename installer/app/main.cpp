// Entry point of QuillmossdexSetup.exe: the command line, the log, the guard,
// the crash filter and COM; then either the silent install with no window at
// all, or the skin, the main window and the start mode, the message loop until
// the window quits, and the end of the process.
#include "installer/app/CrashDump.h"
#include "installer/app/FrameUI.h"
#include "installer/app/Guard.h"
#include "installer/engine/FileManage.h"
#include "installer/services/MessageBox.h"
#include "installer/services/NoFollowFile.h"
#include "installer/services/Processes.h"
#include "installer/services/SetupLog.h"
#include "installer/services/TextConvert.h"
#include "installer/app/SilentInstall.h"
#include "installer/app/Startup.h"

#include "skinui/core/SystemLibrary.h"
#include "skinui/core/TextFormat.h"
#include "skinui/window/PaintManagerUI.h"

#include <objbase.h>
#include <windows.h>

#include <new>
#include <string>

namespace {

// How long the end of the process waits for a worker that has reported its
// outcome and is still writing the install kind.
constexpr DWORD kWorkerFinishTimeoutMs = 5000;

const wchar_t kProgram[] = L"QuillmossdexSetup.exe";

// UTF-8 (the compiler keeps narrow literals as the source spells them), half
// the bytes of the same text in UTF-16 in every download; widened only when
// asked for.
const char kUsage[] =
    "青梧云端助手 安装程序\n"
    "\n"
    "QuillmossdexSetup.exe [/S [/ALLSESSIONS]] [/LOG=file] [/D=dir]\n"
    "QuillmossdexSetup.exe [/LOG=file] path dir\n"
    "QuillmossdexSetup.exe [/LOG=file] Update pid\n"
    "\n"
    "  /S          silent install: no window, no questions; the exit code tells the outcome\n"
    "  /D=dir      install into dir\\Quillmossdex\\ (last on the line, blanks allowed, no "
    "quotes)\n"
    "  /ALLSESSIONS  with /S: close running clients of every session, not only this one's\n"
    "  /LOG=file   write the log to file (default: "
    "%SystemRoot%\\Temp\\Quillmossdex-install-<date>-<time>-<random>.log)\n"
    "  /? /help    show this text\n"
    "  path dir    silent install into dir\\Quillmossdex\\\n"
    "  Update pid  end process pid, then install over the recorded installation\n"
    "\n"
    "Silent runs install over a recorded installation. Their exit codes:\n"
    "  0 installed, 2 directory refused, 3 another installer or the updater is running,\n"
    "  6 unknown switch, 11-16 the install failed or was stopped and nothing was changed,\n"
    "  17 the installer is damaged (download it again) and nothing was changed,\n"
    "  7 the install failed and not all of its changes could be undone yet (see the log).\n";

void LogExit(UINT code) {
    SetupLogLine(L"exit code " + SkinUI::DecimalText(code));
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    // Before anything can load a DLL by name.
    SkinUI::HardenDllSearch();
    // Before the first file is opened, the log included.
    const std::wstring redirectionTrust = EnforceRedirectionTrust();

    const TStartRequest request = ParseStartCommandLine(GetCommandLineW());
    if (request.mode == TStartRequest::kUsage) {
        PrintToParentConsole(ToWide(kUsage));
        return 0;
    }
    if (request.mode == TStartRequest::kUnknownSwitch) {
        PrintToParentConsole(L"unknown switch: " + request.unknownSwitch + L"\n\n" +
                             ToWide(kUsage));
        return static_cast<int>(SETUP_EXIT_USAGE);
    }
    OpenRunLog(request.logPath, L"install", kProgram);
    SetupLogLine(redirectionTrust);
    // A silent run has nobody to answer a box: from here on every box of
    // this process goes to the log.
    SetSilentMessageBoxes(request.silent);
    // Clients of other people's sessions are ended only when a deployment
    // asks for it; the person at this desk is asked about their own only.
    SetEndClientsInAllSessions(request.silent && request.allSessions);

    if (CheckSingleInstance()) {
        const UINT code = request.silent ? static_cast<UINT>(SETUP_EXIT_NOT_STARTED) : 0u;
        SetupLogLine(L"not started");
        LogExit(code);
        return static_cast<int>(code);
    }
    SetUnhandledExceptionFilter(WriteCrashDump);
    // The window's folder picker needs COM on this thread; a silent run
    // needs none: its links are written without the shell's link object.
    if (!request.silent)
        CoInitialize(nullptr);
    // The engine's first use: an earlier run that was killed may have left
    // the product half changed, and it is finished or put back now, before
    // anything reads the record; the payload is opened and its check starts.
    CFileManage::GetInstance();

    if (request.silent) {
        // Nobody waits for a window: the old temporary data goes right away.
        RemoveEarlierStaging(CFileManage::GetInstance()->StagingDir());
        // No window and no skin: the install runs on this thread, so it needs
        // no desktop and cannot fail for the lack of one.
        const UINT code = RunSilentInstall(request);
        CFileManage::GetInstance()->RemoveStaging();
        ReleaseInstallMutex();
        LogExit(code);
        ExitProcess(code);
    }

    SkinUI::CPaintManagerUI::SetInstance(instance);
    SetupSkinResources();

    // Lives until the process ends; nothing deletes it.
    CFrameUI* frame = new (std::nothrow) CFrameUI();
    if (!frame || !frame->Open()) {
        ReleaseInstallMutex();
        SetupLogFailure(L"the window could not be created", GetLastError());
        LogExit(0);
        return 0;
    }
    // The window is up: what earlier runs left in the temporary directory
    // (tens of thousands of files, after a run that was cut off while
    // unpacking) goes on a thread of its own.
    StartBackgroundCleanUp(CFileManage::GetInstance()->StagingDir());
    ApplyStartRequest(*frame, request);

    SkinUI::CPaintManagerUI::MessageLoop();

    frame->WaitForWorkerFinish(kWorkerFinishTimeoutMs);
    // A worker still busy leaves its journal to the next run.
    if (frame->WorkerEnded())
        CFileManage::GetInstance()->RemoveStaging();
    // Unless the finish button released it already; a second call does nothing.
    ReleaseInstallMutex();
    // No clean-up: the window, the install context and the log live to the
    // end, and a worker still installing ends with the process.
    LogExit(SETUP_EXIT_INSTALLED);
    ExitProcess(SETUP_EXIT_INSTALLED);
}
