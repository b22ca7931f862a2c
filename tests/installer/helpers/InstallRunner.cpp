// Runs the real install worker as the installer's main window would, but
// reports to a window of the test that started it:
//   qm_install_runner <window handle> <install dir> <temp dir> [<log file>]
// Tests give copies of it their own payload resource (ZIP / 101).
#include "installer/FileManage.h"
#include "installer/Log.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 4)
        return 2;
    HWND target = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(strtoul(argv[1], nullptr, 10)));
    // Before the engine's first use, which reads the temporary directory.
    SetEnvironmentVariableA("TMP", argv[3]);
    SetEnvironmentVariableA("TEMP", argv[3]);
    if (argc > 4)
        CLog::Instance().SetLogPath(argv[4]);

    TInstallJob job;
    // The install directory in the command line's own wide text, so that any
    // name reaches the engine whatever the code pages are.
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words || count < 4)
        return 2;
    job.installDir = words[2];
    LocalFree(words);
    job.target.window = target;
    // The engine's first use empties the unpack directory, as the window's does.
    CFileManage::GetInstance();
    std::thread worker(InstallWorkerThread, job);
    worker.join();
    return 0;
}
