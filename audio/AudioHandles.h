#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "core/WinHandles.h"

struct MmioFileTraits {
    using Handle = HMMIO;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { mmioClose(h, 0); }
};
using MmioFile = UniqueHandle<MmioFileTraits>;

// A wave-out device. It must be closed only once every buffer written to it
// has come back; the player sees to that before Close.
struct WaveOutDeviceTraits {
    using Handle = HWAVEOUT;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { waveOutClose(h); }
};
using WaveOutDevice = UniqueHandle<WaveOutDeviceTraits>;
