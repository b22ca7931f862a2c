// The processes running on the machine, as one snapshot lists them: what the
// installer and the uninstaller look through for the product's client.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TProcessEntry {
    DWORD id = 0;
    // The program's file name, without its folder.
    std::wstring exeName;
};

// Every process running now; false when no snapshot could be taken.
bool ListProcesses(std::vector<TProcessEntry>* processes);

// The ids of the processes whose program file is named exactly exeName.
std::vector<DWORD> ProcessIdsNamed(const std::vector<TProcessEntry>& processes,
                                   const wchar_t* exeName);
