// Where the person and the worker meet when the window is closed during an
// install. While the window asks whether to stop, the worker waits at its
// next entry boundary, so nothing new is written behind the question; "No"
// lets it go on, "Yes" makes it stop and roll back. The run's one point of no
// return (its commit) is a boundary too: once it is passed, a stop can no
// longer be asked for, and the window says the product is installed instead.
#pragma once

#include <windows.h>

class CStopGate {
public:
    CStopGate() = default;
    CStopGate(const CStopGate&) = delete;
    CStopGate& operator=(const CStopGate&) = delete;

    // Before a run starts: no request, not past the point of no return.
    void Reset();

    // The starter's side (any thread).
    // Asks the worker to wait at its next boundary. False when the run has
    // passed its point of no return (it has succeeded, or is about to say so).
    bool RequestPause();
    // "No": the worker goes on.
    void Resume();
    // "Yes", or the session ends: the worker stops at its next boundary (a
    // waiting one at once). False when the run has passed its point of no
    // return.
    bool Cancel();
    bool CancelRequested() const;
    // The worker waits at a boundary now.
    bool WorkerWaiting() const;

    // The worker's side.
    // At a boundary: waits while a pause is asked for; true when the run is
    // to stop.
    bool Stopping();
    // The point of no return: waits while a pause is asked for; false when
    // the run is to stop instead, true once nothing can stop it any more.
    bool PassPointOfNoReturn();

private:
    enum State { kRunning, kPauseRequested, kCancelled, kCommitted };
    // Waits, with the lock held, while a pause is asked for.
    void WaitWhilePaused();

    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_changed = CONDITION_VARIABLE_INIT;
    State m_state = kRunning;
    bool m_waiting = false;
};
