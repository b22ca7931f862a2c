#include "installer/engine/StopGate.h"

#include "installer/services/SlimLock.h"

void CStopGate::Reset() {
    CSlimLockHold hold(&m_lock);
    m_state = kRunning;
    m_waiting = false;
    WakeAllConditionVariable(&m_changed);
}

bool CStopGate::RequestPause() {
    CSlimLockHold hold(&m_lock);
    if (m_state == kCommitted)
        return false;
    if (m_state == kRunning)
        m_state = kPauseRequested;
    return true;
}

void CStopGate::Resume() {
    CSlimLockHold hold(&m_lock);
    if (m_state == kPauseRequested)
        m_state = kRunning;
    WakeAllConditionVariable(&m_changed);
}

bool CStopGate::Cancel() {
    CSlimLockHold hold(&m_lock);
    if (m_state == kCommitted)
        return false;
    m_state = kCancelled;
    WakeAllConditionVariable(&m_changed);
    return true;
}

bool CStopGate::CancelRequested() const {
    CSlimLockHold hold(&m_lock);
    return m_state == kCancelled;
}

bool CStopGate::WorkerWaiting() const {
    CSlimLockHold hold(&m_lock);
    return m_waiting;
}

void CStopGate::WaitWhilePaused() {
    // No time limit: the person answers when they answer, and the answer (or
    // the end of the session, which cancels) is what wakes the worker.
    while (m_state == kPauseRequested) {
        m_waiting = true;
        SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
    }
    m_waiting = false;
}

bool CStopGate::Stopping() {
    CSlimLockHold hold(&m_lock);
    WaitWhilePaused();
    return m_state == kCancelled;
}

bool CStopGate::PassPointOfNoReturn() {
    CSlimLockHold hold(&m_lock);
    WaitWhilePaused();
    if (m_state == kCancelled)
        return false;
    m_state = kCommitted;
    return true;
}
