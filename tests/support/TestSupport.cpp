#include "tests/support/TestSupport.h"

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>

namespace qmtest {

ChildProcess::~ChildProcess() {
    if (Running())
        Kill();
    if (m_pi.hProcess)
        CloseHandle(m_pi.hProcess);
    if (m_pi.hThread)
        CloseHandle(m_pi.hThread);
}

bool ChildProcess::Start(const std::wstring& commandLine, DWORD creationFlags,
                         const std::wstring& currentDir) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    void* environment = nullptr;
    if (!m_environment.empty()) {
        environment = const_cast<wchar_t*>(m_environment.c_str());
        creationFlags |= CREATE_UNICODE_ENVIRONMENT;
    }
    return CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, creationFlags, environment,
                          currentDir.empty() ? nullptr : currentDir.c_str(), &si, &m_pi) != 0;
}

std::wstring EnvironmentWithout(const std::wstring& name) {
    std::wstring block;
    wchar_t* strings = GetEnvironmentStringsW();
    if (!strings)
        return block;
    const std::wstring prefix = name + L"=";
    for (const wchar_t* p = strings; *p; p += wcslen(p) + 1) {
        if (wcslen(p) >= prefix.size() && _wcsnicmp(p, prefix.c_str(), prefix.size()) == 0)
            continue;
        block += p;
        block += L'\0';
    }
    FreeEnvironmentStringsW(strings);
    // The block ends with an empty string; c_str() adds the second terminator.
    block += L'\0';
    return block;
}

bool ChildProcess::Wait(DWORD timeoutMs) {
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

bool ChildProcess::Running() const {
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = 0xFFFFFFFF;
    if (m_pi.hProcess)
        GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

void ChildProcess::Kill() {
    if (m_pi.hProcess) {
        TerminateProcess(m_pi.hProcess, 1);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
}

std::string RunAndCapture(const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode) {
    *exitCode = 0xFFFFFFFF;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return std::string();
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    BOOL ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &si, &pi);
    CloseHandle(writeEnd);
    std::string out;
    auto drain = [&] {
        DWORD avail = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &avail, nullptr) && avail) {
            char buf[4096];
            DWORD got = 0;
            if (!ReadFile(readEnd, buf, avail < sizeof(buf) ? avail : sizeof(buf), &got, nullptr))
                break;
            out.append(buf, got);
        }
    };
    if (ok) {
        // Read while the child runs, so a chatty child never blocks on a full
        // pipe; a child that hangs is killed after the timeout.
        DWORD start = GetTickCount();
        for (;;) {
            bool ended = WaitForSingleObject(pi.hProcess, 10) == WAIT_OBJECT_0;
            drain();
            if (ended) {
                GetExitCodeProcess(pi.hProcess, exitCode);
                break;
            }
            if (GetTickCount() - start > timeoutMs) {
                TerminateProcess(pi.hProcess, 1);
                WaitForSingleObject(pi.hProcess, 5000);
                break;
            }
        }
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    return out;
}

namespace {
struct EnumState {
    DWORD pid;
    bool dialogsOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindows(HWND hwnd, LPARAM param) {
    auto* state = reinterpret_cast<EnumState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != state->pid || !IsWindowVisible(hwnd))
        return TRUE;
    if (state->dialogsOnly) {
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        if (wcscmp(cls, L"#32770") != 0)
            return TRUE;
    }
    state->found.push_back(hwnd);
    return TRUE;
}
} // namespace

std::vector<HWND> ProcessWindows(DWORD pid) {
    EnumState state{pid, false, {}};
    EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND WaitForProcessDialog(DWORD pid, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        EnumState state{pid, true, {}};
        EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&state));
        if (!state.found.empty())
            return state.found.front();
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

std::wstring WindowText(HWND hwnd) {
    wchar_t buf[1024] = {};
    GetWindowTextW(hwnd, buf, 1024);
    return buf;
}

std::wstring MessageBoxText(HWND box) {
    // The message of a standard message box is the static control 0xFFFF.
    wchar_t buf[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, buf, 1024);
    return buf;
}

void PressDialogButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    if (button)
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    else
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

TempDir::TempDir(const std::wstring& prefix) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    for (;;) {
        wchar_t name[MAX_PATH];
        swprintf(name, MAX_PATH, L"%ls%ls-%lu-%ld", temp, prefix.c_str(), GetCurrentProcessId(),
                 InterlockedIncrement(&counter));
        if (CreateDirectoryW(name, nullptr)) {
            m_path = name;
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
}

HeldFile::HeldFile(const std::wstring& path, DWORD disposition)
    : m_h(CreateFileW(path.c_str(),
                      GENERIC_READ | (disposition == OPEN_EXISTING ? 0 : GENERIC_WRITE), 0, nullptr,
                      disposition, FILE_ATTRIBUTE_NORMAL, nullptr)) {
}

void HeldFile::Release() {
    if (m_h != INVALID_HANDLE_VALUE)
        CloseHandle(m_h);
    m_h = INVALID_HANDLE_VALUE;
}

TempDir::~TempDir() {
    if (!m_path.empty())
        RemoveTree(m_path);
}

bool RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring full = path + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::wstring ProgramDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s = path;
    size_t slash = s.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : s.substr(0, slash);
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

static void AddTreeBelow(const std::wstring& dir, const std::wstring& rel,
                         std::map<std::wstring, std::string>* tree) {
    WIN32_FIND_DATAW found = {};
    HANDLE find = FindFirstFileW((dir + rel + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*tree)[rel + name + L"\\"] = "";
            AddTreeBelow(dir, rel + name + L"\\", tree);
        } else {
            (*tree)[rel + name] = ReadFileBytes(dir + rel + name);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

std::map<std::wstring, std::string> ReadTree(const std::wstring& dir) {
    std::map<std::wstring, std::string> tree;
    AddTreeBelow(dir, L"", &tree);
    return tree;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::wstring Quote(const std::wstring& s) {
    return L"\"" + s + L"\"";
}

std::wstring RecordKey() {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    bool wow = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
               info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
    return wow ? L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\青梧云端助"
                 L"手"
               : L"SOFTWARE\\Microsoft\\windows\\CurrentVersion\\Uninstall\\青梧云端助手";
}

std::wstring AsLinkStoresIt(const std::wstring& path) {
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") || path.empty())
        return path;
    const int len = static_cast<int>(path.size());
    int n = WideCharToMultiByte(CP_ACP, 0, path.data(), len, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.data(), len, &narrow[0], n, nullptr, nullptr);
    std::wstring wide(static_cast<size_t>(len) + 1, L'\0');
    n = MultiByteToWideChar(CP_ACP, 0, narrow.data(), n, &wide[0], len + 1);
    wide.resize(static_cast<size_t>(n));
    return wide;
}

} // namespace qmtest
