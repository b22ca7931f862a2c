// Runs the real install worker as the installer's main window would, but
// reports to a window of the test that started it:
//   qm_install_runner <window handle> <install dir> <temp dir> [<log file>]
// Tests give copies of it their own payload resource (ZIP / 101).
#include "installer/FileManage.h"
#include "installer/FrameUI.h"
#include "installer/Log.h"
#include "installer/TextConvert.h"

#include <windows.h>

#include <cstdlib>
#include <thread>

namespace {

// The main window as the worker sees it, with the test's window as its handle.
class RunnerFrame : public CFrameUI {
public:
    explicit RunnerFrame(HWND hwnd) { m_hWnd = hwnd; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 4)
        return 2;
    HWND target = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(strtoul(argv[1], nullptr, 10)));
    // Before the engine's first use, which reads the temporary directory.
    SetEnvironmentVariableA("TMP", argv[3]);
    SetEnvironmentVariableA("TEMP", argv[3]);
    if (argc > 4)
        CLog::Instance().SetLogPath(argv[4]);

    RunnerFrame frame(target);
    frame.m_installDir = ToWide(argv[2]);
    CFileManage::GetInstance()->hwnd = target;
    std::thread worker(InstallWorkerThread, &frame);
    worker.join();
    return 0;
}
