#include "installer/services/Processes.h"

#include "skinui/core/Handles.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>

using SkinUI::UniqueHandle;

namespace {

bool g_allSessions = false;

DWORD SessionOf(DWORD pid) {
    DWORD session = kUnknownSession;
    if (!ProcessIdToSessionId(pid, &session))
        return kUnknownSession;
    return session;
}

struct TWindowsOf {
    const std::vector<DWORD>* ids;
    int asked = 0;
};

BOOL CALLBACK AskToClose(HWND hwnd, LPARAM param) {
    auto* of = reinterpret_cast<TWindowsOf*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (std::find(of->ids->begin(), of->ids->end(), pid) != of->ids->end()) {
        // Posted, never sent: a client that hangs must not hang the installer.
        if (PostMessageW(hwnd, WM_CLOSE, 0, 0))
            ++of->asked;
    }
    return TRUE;
}

// Waits until every handle is signalled or the time is up; true when all are.
bool WaitAll(const std::vector<UniqueHandle>& processes, DWORD waitMs) {
    const DWORD start = GetTickCount();
    for (const UniqueHandle& process : processes) {
        const DWORD spent = GetTickCount() - start;
        const DWORD left = spent >= waitMs ? 0 : waitMs - spent;
        if (WaitForSingleObject(process.Get(), left) != WAIT_OBJECT_0)
            return false;
    }
    return true;
}

} // namespace

bool ListProcesses(std::vector<TProcessEntry>* processes) {
    processes->clear();
    UniqueHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snap.Get(), &entry); more;
         more = Process32NextW(snap.Get(), &entry))
        processes->push_back(
            {entry.th32ProcessID, entry.szExeFile, SessionOf(entry.th32ProcessID)});
    return true;
}

std::vector<DWORD> ProcessIdsNamed(const std::vector<TProcessEntry>& processes,
                                   const wchar_t* exeName) {
    std::vector<DWORD> ids;
    for (const TProcessEntry& process : processes)
        if (process.exeName == exeName)
            ids.push_back(process.id);
    return ids;
}

void SetEndClientsInAllSessions(bool all) {
    g_allSessions = all;
}

bool EndClientsInAllSessions() {
    return g_allSessions;
}

std::vector<TProcessEntry> InReachableSessions(const std::vector<TProcessEntry>& processes) {
    if (g_allSessions)
        return processes;
    const DWORD own = SessionOf(GetCurrentProcessId());
    std::vector<TProcessEntry> reachable;
    // A process whose session cannot be read is not known to be this
    // desk's: it is left alone.
    for (const TProcessEntry& process : processes)
        if (process.sessionId != kUnknownSession && process.sessionId == own)
            reachable.push_back(process);
    return reachable;
}

std::wstring ProcessImageLongPath(DWORD pid) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process)
        return std::wstring();
    std::wstring image(32768, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    if (!QueryFullProcessImageNameW(process.Get(), 0, &image[0], &size))
        return std::wstring();
    image.resize(size);
    // A program started by its 8.3 name ("C:\APPS~1\QUILLM~1.EXE") is known
    // by that name; the long form is what the record and the list name.
    const DWORD n = GetLongPathNameW(image.c_str(), nullptr, 0);
    if (n == 0)
        return image;
    std::wstring longPath(n, L'\0');
    const DWORD got = GetLongPathNameW(image.c_str(), &longPath[0], n);
    if (got == 0 || got >= n)
        return image;
    longPath.resize(got);
    return longPath;
}

TEndResult EndProcessesGently(const std::vector<DWORD>& ids, DWORD closeWaitMs, DWORD endWaitMs) {
    TEndResult result;
    if (ids.empty())
        return result;
    std::vector<UniqueHandle> processes;
    std::vector<DWORD> opened;
    for (DWORD id : ids) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) {
            result.openFailed = true;
            result.allEnded = false;
            continue;
        }
        processes.push_back(std::move(process));
        opened.push_back(id);
    }
    // Asked first, as its user would close it, so that it can save its work.
    TWindowsOf of{&opened};
    EnumWindows(AskToClose, reinterpret_cast<LPARAM>(&of));
    if (of.asked > 0 && WaitAll(processes, closeWaitMs))
        return result;
    for (const UniqueHandle& process : processes)
        if (WaitForSingleObject(process.Get(), 0) != WAIT_OBJECT_0)
            TerminateProcess(process.Get(), 0);
    // Termination is asynchronous; the files stay locked until it is done.
    if (!WaitAll(processes, endWaitMs))
        result.allEnded = false;
    return result;
}
