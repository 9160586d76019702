#pragma once

// Clock and memory readings shared by the benchmark programs.

#include <windows.h>

#include <cstdint>

// Microseconds since 1970 on the clock Linux calls CLOCK_REALTIME (Wine reads
// it for this call), the clock the recorder of the sound device stamps with.
inline int64_t WallMicroseconds()
{
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const int64_t ticks = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (ticks - 116444736000000000LL) / 10;
}

// Milliseconds on the performance counter, for durations within a process.
inline double Milliseconds()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Committed private memory, as Windows counts "private bytes": Wine leaves
// its own counter of it at zero, so the address space is walked instead.
inline double PrivateCommittedMB()
{
    uint64_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    const char* p = nullptr;
    while (VirtualQuery(p, &info, sizeof(info)) == sizeof(info)) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= p)
            break;
        p = next;
    }
    return total / (1024.0 * 1024.0);
}
