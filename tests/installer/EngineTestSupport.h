// Shared pieces of the install engine's tests: a real window that collects the
// worker's posted messages, test installers carrying archives the tests build,
// and clean-up of the product's registry keys.
#pragma once

#include "installer/engine/FileManage.h"

#include <windows.h>

#include <string>
#include <vector>

namespace qmtest {

// A hidden top-level window that records the WM_INSTALL_PROGRESS and
// WM_INSTALL_RESULT messages posted to it, from this or another process.
class InstallProbe {
public:
    InstallProbe();
    ~InstallProbe();
    InstallProbe(const InstallProbe&) = delete;
    InstallProbe& operator=(const InstallProbe&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    // Handles every message already queued for this thread.
    void Drain();
    // Pumps until the handle is signalled (bounded), then drains; true when
    // it was signalled.
    bool PumpUntil(HANDLE handle, DWORD timeoutMs);

    std::vector<int> progress;
    // The InstallStep of each progress message.
    std::vector<int> steps;
    std::vector<unsigned> results;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND m_hwnd = nullptr;
};

// A job that only says where progress goes, for tests that run single steps.
inline TInstallJob ProgressTo(HWND window) {
    TInstallJob job;
    job.target.window = window;
    return job;
}

// A copy of the install runner (a small program that runs the real worker
// thread, see helpers/InstallRunner.cpp) at path. With a payload (BuildPayload),
// the copy carries it as the installer does (MakePayloadCopy); without one it
// carries none. Empty on failure.
std::wstring MakeInstaller(const std::wstring& path, const std::string* payload);

struct InstallRun {
    std::vector<int> progress;
    std::vector<int> steps;
    std::vector<unsigned> results;
    bool ended = false;
    // The runner's exit code once it ended (99 when a kill point ended it).
    DWORD exitCode = STILL_ACTIVE;
};
// Runs a test installer into installDir with tempDir as its temporary
// directory, collecting its messages in a real window of this process.
InstallRun RunInstaller(const std::wstring& exe, const std::wstring& installDir,
                        const std::wstring& tempDir, const std::wstring& logPath = L"",
                        const std::wstring& currentDir = L"");

// Removes the uninstall record of this machine and the per-user settings key.
void DeleteProductRegistry();
// Reads a value of the product's uninstall record; empty when missing.
std::string ReadRecordValue(const char* name, DWORD* type = nullptr);
// The "InstallWay" value as stored (narrow view); empty when missing.
std::string ReadInstallWay(DWORD* type = nullptr);

// Where a Windows path is on the Unix side under Wine; empty elsewhere.
std::string UnixPath(const std::wstring& path);
// Under Wine: makes path a Unix symbolic link to unixTarget (for example
// /dev/full, a file every write to fails on). False elsewhere or on failure.
bool MakeUnixSymlink(const std::wstring& path, const char* unixTarget);
// Removes such a link again: Windows file functions cannot delete a link to a
// device under Wine, and one left in the shared temporary folder would break
// every later install there.
void RemoveUnixSymlink(const std::wstring& path);

// Narrow (ANSI) form of a wide path, as the engine takes it.
std::string Narrow(const std::wstring& s);

} // namespace qmtest
