// Holds a slim reader/writer lock exclusively for one scope. The installer's
// locks are the system's slim locks: they cannot fail, need no handle, and
// bring no thread library into the programs.
#pragma once

#include <windows.h>

class CSlimLockHold {
public:
    explicit CSlimLockHold(SRWLOCK* lock) : m_lock(lock) { AcquireSRWLockExclusive(m_lock); }
    ~CSlimLockHold() { ReleaseSRWLockExclusive(m_lock); }
    CSlimLockHold(const CSlimLockHold&) = delete;
    CSlimLockHold& operator=(const CSlimLockHold&) = delete;

private:
    SRWLOCK* m_lock;
};
