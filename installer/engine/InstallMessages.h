// The private window messages between the install worker thread and the main
// window. The worker never touches the window directly and never waits for the
// UI thread: it only posts these, all from the one worker thread, so they
// arrive in the order they were posted.
#pragma once

#include <windows.h>

// Posted to the install job's target window whenever the install moves on. wParam is the
// percentage done, 0..100 (10 archive written, then one value per archive
// entry below 90, 95 files moved, 99 and 100 around the uninstall record);
// lParam is the InstallStep the install is in, so that the window can say
// what is being done and a long step never looks stuck.
#define WM_INSTALL_PROGRESS (WM_USER + 500)

// What an install is doing, carried in the lParam of WM_INSTALL_PROGRESS.
enum InstallStep : int {
    // Settling what earlier runs left, finding the payload, checking paths;
    // never posted: the window shows it until the first message comes.
    INSTALL_STEP_PREPARE = 0,
    // Unpacking the entries and moving them into the install folder.
    INSTALL_STEP_WRITE_FILES = 1,
    // The uninstall record, the links and the install kind.
    INSTALL_STEP_REGISTER = 2,
    // Removing what the version installed before no longer needs: the files
    // an update does not carry, an earlier copy in another folder.
    INSTALL_STEP_REMOVE_OLD = 3,
    // Putting back everything the run changed, after a stop or a failure.
    INSTALL_STEP_ROLL_BACK = 4,
};

// Posted to the same window exactly once per install, after every progress
// message of that install and after the worker's last write to data it shares
// with the window. wParam is the run's InstallResult (0 is success); lParam
// says what became of a run that did not complete (0 after a success, or
// when nothing had been changed yet).
#define WM_INSTALL_RESULT (WM_USER + 501)
// Bits of WM_INSTALL_RESULT's lParam (InstallJob.h reads and writes them).
constexpr LPARAM INSTALL_RESULT_ROLLED_BACK = 1;
constexpr LPARAM INSTALL_RESULT_ROLLBACK_INCOMPLETE = 2;
