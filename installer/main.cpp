// Entry point of QuillmossdexSetup.exe: the guard, the crash filter, COM, the
// skin, the main window and the start mode, then the message loop until the
// window quits, and the end of the process.
#include "installer/CrashDump.h"
#include "installer/FrameUI.h"
#include "installer/Guard.h"
#include "installer/Startup.h"

#include "skinui/core/SystemLibrary.h"
#include "skinui/window/PaintManagerUI.h"

#include <objbase.h>
#include <windows.h>

#include <new>
#include <string>
#include <vector>

namespace {

// How long the end of the process waits for a worker that has reported its
// outcome and is still writing the install kind.
constexpr DWORD kWorkerFinishTimeoutMs = 5000;

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    // Before anything can load a DLL by name.
    SkinUI::HardenDllSearch();

    // Read this early only so that a refused silent run can tell its script.
    const std::vector<std::string> args = GetCommandLineArgs();
    const bool silent = IsSilentStart(args);

    if (CheckSingleInstance())
        return silent ? static_cast<int>(SETUP_EXIT_NOT_STARTED) : 0;
    SetUnhandledExceptionFilter(WriteCrashDump);
    CoInitialize(nullptr);
    SkinUI::CPaintManagerUI::SetInstance(instance);
    SetupSkinResources();

    // Lives until the process ends; nothing deletes it.
    CFrameUI* frame = new (std::nothrow) CFrameUI();
    if (!frame || !frame->Open(!silent)) {
        ReleaseInstallMutex();
        return silent ? static_cast<int>(SETUP_EXIT_NO_WINDOW) : 0;
    }
    ApplyStartMode(*frame, args);

    SkinUI::CPaintManagerUI::MessageLoop();

    frame->WaitForWorkerFinish(kWorkerFinishTimeoutMs);
    // Unless the finish button released it already; a second call does nothing.
    ReleaseInstallMutex();
    // No clean-up: the window, the install context and the log live to the
    // end, and a worker still installing ends with the process.
    ExitProcess(frame->ExitCode());
}
