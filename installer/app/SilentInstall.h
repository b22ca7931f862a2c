// The silent install: the whole install on the program's first thread with no
// window at all, so that it needs no desktop and no person. Every message an
// interactive run would show goes to the log (MessageBox.h in silent mode);
// the exit code tells the script what happened.
#pragma once

#include <windows.h>

#include <string>

struct TStartRequest;

// How a silent run ("path", /S) ends, for the script that started it.
// Interactive runs end with 0. Listed in README.md under "Deploying silently".
enum SetupExitCode : UINT {
    SETUP_EXIT_INSTALLED = 0,
    // The window base ends the process with 1 when the skin cannot be built.
    SETUP_EXIT_SKIN_DAMAGED = 1,
    SETUP_EXIT_DIR_REJECTED = 2,
    // The guard refused: another installer or the updater runs, or the client
    // runs and the user chose not to stop it.
    SETUP_EXIT_NOT_STARTED = 3,
    // Unused, kept so that no later meaning takes them: silent runs create no
    // window, and a silent run always ends with its install's outcome.
    SETUP_EXIT_NO_WINDOW = 4,
    SETUP_EXIT_UNFINISHED = 5,
    // An unknown command-line switch: the usage was printed, nothing done.
    SETUP_EXIT_USAGE = 6,
    // A failed install whose changes could not all be put back; the next run
    // of the installer or the uninstaller goes on with it.
    SETUP_EXIT_ROLLBACK_INCOMPLETE = 7,
    // Plus the InstallResult of a failed install whose changes were all put
    // back (11 unzip, 12 resource, 13 copy, 14 shortcut, 15 registry, 16
    // stopped, 17 damaged).
    SETUP_EXIT_INSTALL_FAILED = 10,
};

// The install directory a silent request names, with a trailing separator: a
// recorded installation wins, then the "path" words, then /D=, then the
// default. Empty when the words or /D= name no directory at all.
std::wstring SilentInstallDir(const TStartRequest& request);

// Runs the silent install to its end and returns the exit code (SetupExitCode).
// COM must be initialised on the calling thread.
UINT RunSilentInstall(const TStartRequest& request);
