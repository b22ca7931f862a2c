// Start-up of the installer as a person sees it: the time from starting the
// process to its welcome page on the screen, beside the same time for a bare
// program that shows one window with one bitmap (startup/startup_floor.exe).
//
// Both are measured from outside the same way, with nothing built into the
// installer: the process is started, and the screen under the place of the
// install button is read every millisecond until the button's teal is there.
// That is after the first WM_PAINT has drawn the whole page and the system has
// put it on the screen.
#include "bench/BenchTiming.h"
#include "skinui/core/Handles.h"
#include "tests/support/TestSupport.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

constexpr int kRounds = 9;
constexpr DWORD kTimeoutMs = 30000;
// Left of the install button's text, inside its body.
constexpr RECT kProbe = {195, 293, 235, 300};

// Reads the probe rectangle of the window from the screen.
class Probe {
public:
    // True when most of the probe shows the button's teal.
    bool ShowsButton(HWND hwnd) {
        RECT rc = {};
        const DWORD* bits = m_dib.Bits();
        if (!bits || !GetWindowRect(hwnd, &rc))
            return false;
        const int w = kProbe.right - kProbe.left;
        const int h = kProbe.bottom - kProbe.top;
        if (!BitBlt(m_mem.Get(), 0, 0, w, h, m_screen.Get(), rc.left + kProbe.left,
                    rc.top + kProbe.top, SRCCOPY))
            return false;
        GdiFlush();
        int teal = 0;
        for (int i = 0; i < w * h; ++i) {
            const int r = (bits[i] >> 16) & 0xFF;
            const int g = (bits[i] >> 8) & 0xFF;
            const int b = bits[i] & 0xFF;
            if (g - r > 50 && b - r > 40)
                ++teal;
        }
        return teal * 4 > w * h * 3;
    }

private:
    // Destroyed in reverse: the DIB is selected out before it and the DC go.
    CWindowDC m_screen{nullptr};
    CMemoryDC m_mem{m_screen.Get()};
    CDibSection m_dib{m_mem.Get(), kProbe.right - kProbe.left, kProbe.bottom - kProbe.top};
    CSelectObject m_select{m_mem.Get(), m_dib.Get()};
};

// Seconds from the start of the program to its painted page; negative when
// it did not get there.
double TimeToPaint(const std::wstring& exe, Probe& probe) {
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const double start = bench::Now();
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    double painted = -1;
    const DWORD begin = GetTickCount();
    while (GetTickCount() - begin < kTimeoutMs &&
           WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) {
        const std::vector<HWND> shown = qmtest::ProcessWindows(pi.dwProcessId);
        if (!shown.empty() && probe.ShowsButton(shown.front())) {
            painted = bench::Now() - start;
            break;
        }
        Sleep(1);
    }
    // The next round must not meet this one's window or install mutex.
    TerminateProcess(process.Get(), 0);
    WaitForSingleObject(process.Get(), 10000);
    return painted;
}

} // namespace

int main() {
    const std::wstring setup = qmtest::ProgramDir() + L"\\..\\QuillmossdexSetup.exe";
    const std::wstring floorExe = qmtest::ProgramDir() + L"\\startup\\startup_floor.exe";
    Probe probe;
    // One round each first, so that neither pays alone for the system's
    // first loading of the common DLLs and fonts.
    if (TimeToPaint(floorExe, probe) < 0 || TimeToPaint(setup, probe) < 0) {
        printf("startup: a program did not show its page within %lu s\n", kTimeoutMs / 1000);
        return 1;
    }
    std::vector<double> setupTimes, floorTimes;
    for (int round = 0; round < kRounds; ++round) {
        const double f = TimeToPaint(floorExe, probe);
        const double s = TimeToPaint(setup, probe);
        if (f < 0 || s < 0) {
            printf("startup: a program did not show its page within %lu s\n", kTimeoutMs / 1000);
            return 1;
        }
        floorTimes.push_back(f);
        setupTimes.push_back(s);
    }
    const double s = bench::Median(setupTimes), f = bench::Median(floorTimes);
    printf("start to painted welcome page (median of %d rounds)\n", kRounds);
    printf("installer:                          %7.1f ms\n", s * 1000.0);
    printf("floor (one window, one bitmap):     %7.1f ms\n", f * 1000.0);
    printf("ratio installer / floor: %.2f (target <= 1.5)\n", s / f);
    return 0;
}
