// Helpers for tests that drive real processes and windows under Wine.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace qmtest {

// A child process started with CreateProcessW; killed on destruction if still
// running, so a failing test never leaves it behind.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // commandLine is the full command line, program path included.
    bool Start(const std::wstring& commandLine, DWORD creationFlags = 0,
               const std::wstring& currentDir = L"");
    // The environment block the next Start gives the child (EnvironmentWithout);
    // empty: the child inherits this process's environment.
    void SetEnvironment(const std::wstring& block) { m_environment = block; }
    // Waits at most timeoutMs; true when the process ended.
    bool Wait(DWORD timeoutMs);
    bool Running() const;
    DWORD ExitCode() const;
    DWORD Pid() const { return m_pi.dwProcessId; }
    HANDLE Handle() const { return m_pi.hProcess; }
    void Kill();

private:
    PROCESS_INFORMATION m_pi = {};
    std::wstring m_environment;
};

// This process's environment as a block for CreateProcessW, without the named
// variable (compared without regard to case).
std::wstring EnvironmentWithout(const std::wstring& name);

// Runs a console program to its end (bounded) and returns what it wrote to
// standard output; exitCode is 0xFFFFFFFF when it did not end in time.
std::string RunAndCapture(const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode);

// Waits (bounded) for a visible dialog box (class #32770) of the given process.
HWND WaitForProcessDialog(DWORD pid, DWORD timeoutMs);
// All visible top-level windows of a process.
std::vector<HWND> ProcessWindows(DWORD pid);
// The caption and the message text of a message box.
std::wstring WindowText(HWND hwnd);
std::wstring MessageBoxText(HWND box);
// Presses a button of a dialog box (IDOK, IDYES, IDNO, ...) as a click would.
void PressDialogButton(HWND box, int id);

// A folder below the temporary directory, removed with its content on destruction.
class TempDir {
public:
    explicit TempDir(const std::wstring& prefix = L"qmtest");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // Without a trailing backslash.
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// A file held open without sharing while the object lives, as a running
// program or a scanner holds one: it can be neither replaced, renamed,
// deleted nor read. OPEN_EXISTING holds the file that is there (for reading);
// CREATE_ALWAYS makes it anew (for reading and writing).
class HeldFile {
public:
    HeldFile(const std::wstring& path, DWORD disposition);
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Held() const { return m_h != INVALID_HANDLE_VALUE; }
    void Release();

private:
    HANDLE m_h;
};

// Removes a folder tree (files and subfolders); true when it is gone.
bool RemoveTree(const std::wstring& path);
// The folder of the running test program, without a trailing backslash.
std::wstring ProgramDir();
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
// Every file and folder below dir by its path relative to dir (folders end
// with '\'), with the files' bytes.
std::map<std::wstring, std::string> ReadTree(const std::wstring& dir);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Quotes a path for a command line.
std::wstring Quote(const std::wstring& s);

// A link's target as a shell link file gives it back: the path itself on
// Windows; under Wine, whose shell links store their target in the ANSI code
// page only, with '?' for every character that code page lacks.
std::wstring AsLinkStoresIt(const std::wstring& path);

// The uninstall record's key below HKLM as the 32-bit product names it on this
// machine: below WOW6432Node when the native system is 64-bit (the test bench
// runs in a 64-bit prefix where the kernel runs no 32-bit programs).
std::wstring RecordKey();

} // namespace qmtest
