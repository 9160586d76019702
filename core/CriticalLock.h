#pragma once

#include <windows.h>

// A critical section owned on the heap. Entered and left only through
// LockGuard.
class CriticalLock {
public:
    CriticalLock();
    virtual ~CriticalLock();
    CriticalLock(const CriticalLock&) = delete;
    CriticalLock& operator=(const CriticalLock&) = delete;

    void Enter();
    void Leave();

    // Null when the allocation failed; Enter and Leave then do nothing.
    CRITICAL_SECTION* section;
};

class LockGuard {
public:
    explicit LockGuard(CriticalLock& l) : lock(&l) { lock->Enter(); }
    virtual ~LockGuard() { lock->Leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

    CriticalLock* lock;
};

// The one lock in use: keeps the playback thread's reading and preparing of a
// chunk apart from the wave-out completion handling.
extern CriticalLock playbackLock;
