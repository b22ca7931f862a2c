#include "tests/installer/EngineTestSupport.h"

#include "installer/engine/InstallMessages.h"
#include "installer/services/Product.h"
#include "tests/support/TestPayload.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>

namespace qmtest {

namespace {

const wchar_t kProbeClass[] = L"QmInstallProbe";

// Quotes one command-line word; backslashes before the closing quote are
// doubled, or a directory's trailing '\' would escape the quote.
std::wstring QuoteArg(const std::wstring& s) {
    std::wstring out = L"\"" + s;
    size_t trailing = 0;
    while (trailing < s.size() && s[s.size() - 1 - trailing] == L'\\')
        ++trailing;
    out.append(trailing, L'\\');
    return out + L"\"";
}

} // namespace

InstallProbe::InstallProbe() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kProbeClass;
    RegisterClassW(&wc); // fails harmlessly when a probe registered it before
    m_hwnd = CreateWindowExW(0, kProbeClass, L"probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

InstallProbe::~InstallProbe() {
    if (m_hwnd)
        DestroyWindow(m_hwnd);
}

LRESULT CALLBACK InstallProbe::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<InstallProbe*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_INSTALL_PROGRESS) {
        self->progress.push_back(static_cast<int>(wParam));
        self->steps.push_back(static_cast<int>(lParam));
        return 0;
    }
    if (self && msg == WM_INSTALL_RESULT) {
        self->results.push_back(static_cast<unsigned>(wParam));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void InstallProbe::Drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool InstallProbe::PumpUntil(HANDLE handle, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    bool signalled = false;
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            break;
        DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        Drain();
        if (r == WAIT_OBJECT_0) {
            signalled = true;
            break;
        }
        if (r != WAIT_OBJECT_0 + 1)
            break;
    }
    // Everything the other side posted before it ended is queued by now.
    Drain();
    return signalled;
}

std::wstring MakeInstaller(const std::wstring& path, const std::string* payload) {
    return MakePayloadCopy(ProgramDir() + L"\\qm_install_runner.exe", path, payload);
}

InstallRun RunInstaller(const std::wstring& exe, const std::wstring& installDir,
                        const std::wstring& tempDir, const std::wstring& logPath,
                        const std::wstring& currentDir) {
    InstallRun run;
    InstallProbe probe;
    wchar_t hwnd[32];
    swprintf(hwnd, 32, L"%lu",
             static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(probe.Hwnd())));
    std::wstring cmd =
        QuoteArg(exe) + L" " + hwnd + L" " + QuoteArg(installDir) + L" " + QuoteArg(tempDir);
    if (!logPath.empty())
        cmd += L" " + QuoteArg(logPath);
    ChildProcess child;
    if (!child.Start(cmd, 0, currentDir))
        return run;
    run.ended = probe.PumpUntil(child.Handle(), 60000);
    if (run.ended)
        run.exitCode = child.ExitCode();
    run.progress = probe.progress;
    run.steps = probe.steps;
    run.results = probe.results;
    return run;
}

void DeleteProductRegistry() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmossdex");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Quillmossdex");
}

std::string ReadRecordValue(const char* name, DWORD* type) {
    // The key is opened by its wide name, the value read through the narrow
    // functions: what a reader of the ANSI code page gets.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return std::string();
    char buf[2048];
    DWORD size = sizeof(buf);
    DWORD t = 0;
    LONG err = RegGetValueA(key, nullptr, name, RRF_RT_ANY | RRF_NOEXPAND, &t, buf, &size);
    RegCloseKey(key);
    if (err != ERROR_SUCCESS)
        return std::string();
    if (type)
        *type = t;
    return std::string(buf, size);
}

std::string ReadInstallWay(DWORD* type) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();
    char buf[16] = {};
    DWORD size = sizeof(buf);
    DWORD t = 0;
    LONG err =
        RegQueryValueExA(key, "InstallWay", nullptr, &t, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (err != ERROR_SUCCESS)
        return std::string();
    if (type)
        *type = t;
    return std::string(buf, size);
}

std::string UnixPath(const std::wstring& path) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unixPath = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unixPath)
        return std::string();
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

bool MakeUnixSymlink(const std::wstring& path, const char* unixTarget) {
    const std::string unixPath = UnixPath(path);
    if (unixPath.empty())
        return false;
    const std::string cmd = std::string("Z:\\bin\\ln -sf ") + unixTarget + " " + unixPath;
    // Wine starts Unix programs given by their path on the drive that maps /;
    // their process handles cannot be waited on, so the link is looked for.
    ChildProcess ln;
    if (!ln.Start(std::wstring(cmd.begin(), cmd.end())))
        return false;
    for (int i = 0; i < 200; ++i) {
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW(path.c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            FindClose(h);
            return true;
        }
        Sleep(25);
    }
    return false;
}

void RemoveUnixSymlink(const std::wstring& path) {
    const std::string unixPath = UnixPath(path);
    if (unixPath.empty())
        return;
    const std::string cmd = std::string("Z:\\bin\\rm -f ") + unixPath;
    ChildProcess rm;
    if (!rm.Start(std::wstring(cmd.begin(), cmd.end())))
        return;
    // As with ln, the Unix process cannot be waited on: wait for the name to go.
    for (int i = 0; i < 200 && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(25);
}

std::string Narrow(const std::wstring& s) {
    if (s.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

} // namespace qmtest
