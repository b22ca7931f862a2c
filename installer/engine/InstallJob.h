// What an install is and what it ends with, as its starter and the engine
// exchange them: the job, the result codes and the outcome with its texts.
#pragma once

#include "installer/engine/InstallMessages.h"
#include "installer/services/PathText.h"
#include "installer/services/SharedState.h"
#include "installer/engine/StopGate.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

// The outcome of an install step or of a whole run; carried as the wParam of
// WM_INSTALL_RESULT.
enum InstallResult : unsigned {
    INSTALL_OK = 0,
    INSTALL_ERR_UNZIP = 1,
    INSTALL_ERR_RESOURCE = 2,
    INSTALL_ERR_COPY = 3,
    INSTALL_ERR_SHORTCUT = 4,
    INSTALL_ERR_REGISTRY = 5,
    // Stopped on request (the window's close question, the session ending).
    INSTALL_CANCELLED = 6,
    // The payload does not match the digest the program carries, or lacks
    // the client or the uninstaller: a damaged or tampered download.
    INSTALL_ERR_DAMAGED = 7,
};

// Why a run failed, kept from where the failing call was made: the step as
// the log names it, the file or folder the call was given (empty when it had
// none), and the Win32 error that call left (ERROR_SUCCESS when the failure
// was no system call's, a damaged payload for one).
struct TInstallFailure {
    std::wstring step;
    std::wstring path;
    DWORD error = ERROR_SUCCESS;
    bool Known() const { return !step.empty(); }
    // "step: path: the system's text for the error", the parts that are
    // known, on one line; empty when nothing is known.
    std::wstring Text() const;
};

// What a run tells whoever ran it: its result, why it failed and, when it
// did not complete, whether what it had changed was put back, and
// completely. RunInstall returns it; the result message carries all but the
// failure (InstallMessages.h), which the job's report (CRunReport) holds.
struct TInstallOutcome {
    InstallResult result = INSTALL_OK;
    bool rolledBack = false;
    bool rollbackComplete = true;
    // Empty after a success and after a stop.
    TInstallFailure failure;
    // Nothing is left for a later run to put back.
    bool Settled() const { return !rolledBack || rollbackComplete; }
};

// The outcome as the result message carries it, and back.
inline LPARAM OutcomeFlags(const TInstallOutcome& outcome) {
    return (outcome.rolledBack ? INSTALL_RESULT_ROLLED_BACK : 0) |
           (outcome.rollbackComplete ? 0 : INSTALL_RESULT_ROLLBACK_INCOMPLETE);
}
inline TInstallOutcome OutcomeOfMessage(WPARAM wParam, LPARAM lParam) {
    TInstallOutcome outcome;
    outcome.result = static_cast<InstallResult>(wParam);
    outcome.rolledBack = (lParam & INSTALL_RESULT_ROLLED_BACK) != 0;
    outcome.rollbackComplete = (lParam & INSTALL_RESULT_ROLLBACK_INCOMPLETE) == 0;
    return outcome;
}

// The user-facing text of a result code in UTF-8 (see TextConvert.h); empty
// for INSTALL_OK, INSTALL_CANCELLED and unknown codes.
std::string GetErrorText(unsigned code);

// What the user reads after a run: empty after success; after a stop or a
// failure the step's text (or that the install was stopped) and, once
// anything was put back, whether completely.
std::wstring OutcomeMessage(const TInstallOutcome& outcome);

// Written into the uninstall record; the product's updater reads them back.
extern const char kProcessChannel[];
extern const char kChannelName[];

// Where an install reports: progress and the one result are posted to window
// (nothing is posted when it is null), with these message ids.
struct TProgressTarget {
    HWND window = nullptr;
    UINT progressMessage = WM_INSTALL_PROGRESS;
    UINT resultMessage = WM_INSTALL_RESULT;
};

// A stop asked for by whoever started a run. The job carries it; the starter
// keeps a copy and asks through it, from any thread; the run looks at it
// between its steps and at every entry boundary (CFileManage::StopAsked), and
// then rolls back. Copies share one request, and every job gets a new one, so
// that no answer given to an earlier run reaches a later one.
class CStopRequest {
public:
    CStopRequest() = default;
    // "Yes" to the stop question, or the session ends. False when the run
    // had already passed its point of no return (it has succeeded).
    bool Request() const {
        const bool stops = m_state->gate.Cancel();
        m_state->flag.store(true);
        return stops;
    }
    bool Requested() const { return m_state->flag.load(); }
    // While the stop question is up, the run waits at its next boundary
    // (StopGate.h). False when it had already passed its point of no return.
    bool Pause() const { return m_state->gate.RequestPause(); }
    // "No": the run goes on.
    void Resume() const { m_state->gate.Resume(); }
    // The run's side, at a boundary: waits while the question is up; true
    // when the run is to stop.
    bool StopHere() const { return m_state->gate.Stopping() || Requested(); }
    // The run's side, at its commit: waits while the question is up; false
    // when the run is to stop instead.
    bool PassPointOfNoReturn() const { return !Requested() && m_state->gate.PassPointOfNoReturn(); }
    // For a step that polls the request itself (the guarded move); alive as
    // long as any copy is.
    const std::atomic<bool>* Flag() const { return &m_state->flag; }

private:
    struct TState {
        std::atomic<bool> flag{false};
        CStopGate gate;
    };
    CSharedState<TState> m_state;
};

// The whole outcome of a run for a starter that learns of its end from the
// result message: the worker thread stores it before it posts the message,
// and the starter reads it once the message came. Copies share one report.
class CRunReport {
public:
    CRunReport() = default;
    void Store(const TInstallOutcome& outcome) const;
    // The stored outcome; a default one (success) before anything was stored.
    TInstallOutcome Load() const;

private:
    struct TShared {
        SRWLOCK lock = SRWLOCK_INIT;
        TInstallOutcome outcome;
    };
    CSharedState<TShared> m_shared;
};

// One install as its starter describes it.
struct TInstallJob {
    // The install folder in its one form, as the starter's check gave it
    // (TInstallDirCheck::dir: full, canonical, ending with a separator). A run
    // uses it as it is and refuses one in any other form.
    std::wstring installDir;
    // The links made after a successful run (CreateChosenShortcuts).
    bool desktopLink = false;
    bool startMenuLink = false;
    TProgressTarget target;
    // The levels of installDir its starter created for this run (outermost
    // first), so that a run that ends badly removes them again.
    std::vector<std::wstring> createdDirs;
    // Every change is journaled and undone when the run ends badly. Only a
    // measurement of what that costs turns it off.
    bool rollbackProtection = true;
    // How the starter stops the run, and where it finds the whole outcome.
    CStopRequest stop;
    CRunReport report;
};
