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

// Creates the install mutex owned by the calling thread; true when no other
// installer holds it. It lies in the product's private namespace, which only
// elevated processes can reach, and is held under its plain name as well for
// the programs that look there. A plain-named mutex that administrators do
// not own (a standard user took the name, here or as "Global\...") is not an
// installer's and does not stop this one.
bool CreateInstallMutex();
// Releases and closes the install mutex; later calls do nothing.
void ReleaseInstallMutex();
// True while the install mutex is held by this process.
bool HoldsInstallMutex();

bool IsClientRunning();
// The updater's mutex counts only as an elevated program makes it (in the
// private namespace, or owned by the administrators or SYSTEM).
bool IsUpdaterRunning();

// Ends every process of the reachable sessions (Processes.h) whose image
// name is exactly the client's: asked to close first, ended after a wait.
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
