// The silent install: the whole install on the program's first thread with no
// window at all, so that it needs no desktop and no person. Every message an
// interactive run would show goes to the log (MessageBox.h in silent mode);
// the exit code tells the script what happened.
#pragma once

#include <windows.h>

#include <string>

struct TStartRequest;

// Why a recorded install folder is not used (a text for the log), or null
// when it is: it must be an absolute local path, no drive root, Windows,
// system or shell folder, and still hold the product's client.
const wchar_t* RecordedDirRefusal(const std::wstring& dir);
// The previous installation's directory from its uninstall record, as a
// canonical full path with a trailing separator; false when none is recorded
// or the recorded one is refused (RecordedDirRefusal; logged), and the
// normal default then applies.
bool ReadRecordedInstallDir(std::wstring* dir);
// The folder the product goes below by default: the program files folder
// (its x86 branch on 64-bit Windows), without a trailing separator; empty
// when the system cannot name it.
std::wstring DefaultParentDir();

// The install directory a silent request names, with a trailing separator: a
// recorded installation wins, then the "path" words, then /D=, then the
// default. Empty when the words or /D= name no directory at all.
std::wstring SilentInstallDir(const TStartRequest& request);

// Runs the silent install to its end and returns the exit code (SetupExitCode).
// COM must be initialised on the calling thread.
UINT RunSilentInstall(const TStartRequest& request);
