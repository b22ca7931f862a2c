// The processes running on the machine, as one snapshot lists them: what the
// installer and the uninstaller look through for the product's client, and
// how a client is brought to an end (asked first, ended only after a wait).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A process whose session could not be read.
constexpr DWORD kUnknownSession = 0xFFFFFFFF;

struct TProcessEntry {
    DWORD id = 0;
    // The program's file name, without its folder.
    std::wstring exeName;
    // The terminal-services session it runs in (kUnknownSession when the
    // system does not say).
    DWORD sessionId = kUnknownSession;
};

// Every process running now; false when no snapshot could be taken.
bool ListProcesses(std::vector<TProcessEntry>* processes);

// The ids of the processes whose program file is named exactly exeName.
std::vector<DWORD> ProcessIdsNamed(const std::vector<TProcessEntry>& processes,
                                   const wchar_t* exeName);

// Which sessions' clients the programs may end. The person at this desk is
// asked about the clients of the installer's own session only: on a terminal
// server or a shared PC the others belong to people who were asked nothing
// and would lose their work. A silent deployment may ask for every session
// (/ALLSESSIONS), typically one running as SYSTEM in session 0, which has no
// clients of its own.
void SetEndClientsInAllSessions(bool all);
bool EndClientsInAllSessions();
// The processes of the list that the setting above lets the programs end.
std::vector<TProcessEntry> InReachableSessions(const std::vector<TProcessEntry>& processes);

// The full path of the process's program in its long form (a program
// started by its 8.3 name reports that name); empty when it cannot be read.
std::wstring ProcessImageLongPath(DWORD pid);

// What became of the processes EndProcessesGently was given.
struct TEndResult {
    // Every one of them has ended.
    bool allEnded = true;
    // Some could not even be opened (no right to end them).
    bool openFailed = false;
};

// Asks each process to close as its user would (WM_CLOSE to each of its
// top-level windows), gives them closeWaitMs together to save their work and
// end, then ends those still running and waits for them at most endWaitMs:
// the files of a process stay locked until it is gone.
TEndResult EndProcessesGently(const std::vector<DWORD>& ids, DWORD closeWaitMs, DWORD endWaitMs);

// How long a client asked to close gets before it is ended.
constexpr DWORD kClientCloseWaitMs = 5000;
