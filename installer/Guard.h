// The installer's first decisions: one installer at a time, never beside the
// product's updater, and an offer to stop a running client. Also the process
// helpers the start modes use.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The named objects shared with the other programs of the product are in
// installer/Product.h.

// The guard: true when the installer must not run (a box has told the user why).
bool CheckSingleInstance();

// Creates the install mutex owned by the calling thread; true when it is new.
bool CreateInstallMutex();
// Releases and closes the install mutex; later calls do nothing.
void ReleaseInstallMutex();
// True while the install mutex is held by this process.
bool HoldsInstallMutex();

bool IsClientRunning();
bool IsUpdaterRunning();

// Terminates every process whose image name is exactly the client's.
void KillClientProcesses();
// Terminates the process with this id, if one exists; says nothing either way.
void KillProcessById(DWORD pid);
// Terminates the process with this id only when its image is the product's
// client or updater inside installDir (compared as canonical full paths):
// an elevated installer must not end whatever process a caller names. True
// when it was ended.
bool KillProductProcessById(DWORD pid, const std::wstring& installDir);

// The command-line words after the program path, in narrow text.
std::vector<std::string> GetCommandLineArgs();
