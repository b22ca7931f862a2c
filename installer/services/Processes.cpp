#include "installer/services/Processes.h"

#include "skinui/core/Handles.h"

#include <tlhelp32.h>

#include <cwchar>

bool ListProcesses(std::vector<TProcessEntry>* processes) {
    processes->clear();
    SkinUI::UniqueHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snap.Get(), &entry); more;
         more = Process32NextW(snap.Get(), &entry))
        processes->push_back({entry.th32ProcessID, entry.szExeFile});
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
