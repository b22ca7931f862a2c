#include "installer/Guard.h"

#include "installer/MessageBox.h"
#include "installer/Product.h"
#include "installer/SystemFolders.h"
#include "installer/TextConvert.h"

#include "skinui/core/Handles.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>

using SkinUI::UniqueHandle;

namespace {

// Kept for the life of the process (or until the finish button releases it),
// so it is deliberately not an RAII holder.
HANDLE g_installMutex = nullptr;

const wchar_t kCaption[] = L"提示:";
const wchar_t kProcessCaption[] = L"提示";

bool ProbeMutex(const char* name) {
    SetLastError(ERROR_SUCCESS);
    UniqueHandle h(OpenMutexA(0, FALSE, name));
    DWORD err = GetLastError();
    if (err == ERROR_ALREADY_EXISTS || err == ERROR_ACCESS_DENIED)
        return true;
    // A handle that came back means the mutex exists: opening with no access
    // rights succeeds on Windows, and a probe that ignored that would never
    // see a running program.
    return static_cast<bool>(h);
}

} // namespace

bool CreateInstallMutex() {
    SetLastError(ERROR_SUCCESS);
    g_installMutex = CreateMutexA(nullptr, TRUE, kInstallMutexName);
    DWORD err = GetLastError();
    return !(err == ERROR_ALREADY_EXISTS || err == ERROR_ACCESS_DENIED);
}

void ReleaseInstallMutex() {
    if (!g_installMutex)
        return;
    ReleaseMutex(g_installMutex);
    CloseHandle(g_installMutex);
    g_installMutex = nullptr;
}

bool HoldsInstallMutex() {
    return g_installMutex != nullptr;
}

bool IsClientRunning() {
    return ProbeMutex(kClientMutexName);
}
bool IsUpdaterRunning() {
    return ProbeMutex(kUpdateMutexName);
}

bool CheckSingleInstance() {
    if (!CreateInstallMutex()) {
        ShowMessageBox(nullptr, L"安装程序正在运行!", kCaption, MB_OK);
        return true;
    }
    if (IsUpdaterRunning()) {
        ShowMessageBox(nullptr, L"安装程序正在运行, 请安装完成后再重试!", kCaption, MB_OK);
        return true;
    }
    if (IsClientRunning()) {
        int answer = ShowMessageBox(
            nullptr, L"" QM_PRODUCT_NAME "客户端正在运行, 是否强制关闭后安装?", kCaption, MB_YESNO);
        if (answer != IDYES)
            return true;
        KillClientProcesses();
    }
    return false;
}

void KillClientProcesses() {
    UniqueHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) {
        ShowMessageBox(nullptr, L"获取进程失败!", kProcessCaption, MB_OK);
        return;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    const size_t nameLen = wcslen(kClientFileNameW);
    for (BOOL more = Process32FirstW(snap.Get(), &entry); more;
         more = Process32NextW(snap.Get(), &entry)) {
        if (wcslen(entry.szExeFile) != nameLen || wcscmp(entry.szExeFile, kClientFileNameW) != 0)
            continue;
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        if (process)
            TerminateProcess(process.Get(), 0);
        else
            ShowMessageBox(nullptr, L"访问进程失败", kProcessCaption, MB_OK);
    }
}

void KillProcessById(DWORD pid) {
    UniqueHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap)
        return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snap.Get(), &entry); more;
         more = Process32NextW(snap.Get(), &entry)) {
        if (entry.th32ProcessID != pid)
            continue;
        UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
        if (process)
            TerminateProcess(process.Get(), 0);
        return;
    }
}

bool KillProductProcessById(DWORD pid, const std::wstring& installDir) {
    if (pid == 0 || pid == GetCurrentProcessId() || installDir.empty())
        return false;
    UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid));
    if (!process)
        return false;
    std::wstring image(32768, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    if (!QueryFullProcessImageNameW(process.Get(), 0, &image[0], &size))
        return false;
    image.resize(size);
    std::wstring dir = installDir;
    if (dir.back() != L'\\' && dir.back() != L'/')
        dir += L'\\';
    if (!SamePath(image, dir + kClientFileNameW) && !SamePath(image, dir + kUpdaterFileNameW))
        return false;
    return TerminateProcess(process.Get(), 0) != 0;
}

std::vector<std::string> GetCommandLineArgs() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words)
        return args;
    for (int i = 1; i < count; ++i)
        args.push_back(ToNarrow(words[i]));
    LocalFree(words);
    return args;
}
