#include "core/CriticalLock.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct Shared {
    CriticalLock lock;
    volatile LONG inside = 0;
    volatile LONG overlaps = 0;
    long counter = 0;
};

DWORD WINAPI Hammer(LPVOID param)
{
    Shared* s = static_cast<Shared*>(param);
    for (int i = 0; i < 20000; ++i) {
        LockGuard guard(s->lock);
        if (InterlockedIncrement(&s->inside) != 1)
            InterlockedIncrement(&s->overlaps);
        long v = s->counter; // a torn update shows up as a lost increment
        if ((i & 255) == 0)
            SwitchToThread();
        s->counter = v + 1;
        InterlockedDecrement(&s->inside);
    }
    return 0;
}

TEST(CriticalLock, TwoThreadsNeverOverlap)
{
    Shared s;
    HANDLE threads[2];
    for (HANDLE& t : threads) {
        t = CreateThread(nullptr, 0, Hammer, &s, 0, nullptr);
        ASSERT_NE(t, nullptr);
    }
    ASSERT_EQ(WaitForMultipleObjects(2, threads, TRUE, 30000), WAIT_OBJECT_0);
    for (HANDLE t : threads)
        CloseHandle(t);
    EXPECT_EQ(s.overlaps, 0);
    EXPECT_EQ(s.counter, 40000);
}

DWORD WINAPI TryTakeOnce(LPVOID param)
{
    CriticalLock* lock = static_cast<CriticalLock*>(param);
    return TryEnterCriticalSection(lock->section) ? (LeaveCriticalSection(lock->section), 1) : 0;
}

DWORD RunOtherThread(CriticalLock& lock)
{
    HANDLE t = CreateThread(nullptr, 0, TryTakeOnce, &lock, 0, nullptr);
    WaitForSingleObject(t, 10000);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    return code;
}

TEST(CriticalLock, NestedGuardsAndExceptionsLeaveTheLockFree)
{
    CriticalLock lock;
    ASSERT_NE(lock.section, nullptr);
    {
        LockGuard outer(lock);
        LockGuard inner(lock); // re-entry on the same thread does not block
        EXPECT_EQ(RunOtherThread(lock), 0u) << "held lock must block another thread";
    }
    EXPECT_EQ(RunOtherThread(lock), 1u);

    try {
        LockGuard guard(lock);
        throw std::runtime_error("leave the scope early");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(RunOtherThread(lock), 1u);
}

TEST(CriticalLock, LockWithoutSectionIsHarmless)
{
    CriticalLock* lock = new CriticalLock;
    DeleteCriticalSection(lock->section);
    LocalFree(lock->section);
    lock->section = nullptr; // as after a failed allocation
    {
        LockGuard guard(*lock);
    }
    delete lock; // must not touch the missing section
}

TEST(CriticalLock, PlaybackLockExistsBeforeMain)
{
    EXPECT_NE(playbackLock.section, nullptr);
}

} // namespace
