#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "core/DiskFile.h"
#include "core/WinHandles.h"

struct MmioFileTraits {
    using Handle = HMMIO;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { mmioClose(h, 0); }
};
using MmioFile = UniqueHandle<MmioFileTraits>;

// A track as mmio reads it, with the disk file that was checked before mmio
// opened it by name. The checked handle stays open as long as mmio's, and it
// shares reading only, so the file mmio reads cannot be replaced, moved or
// written while it plays.
struct TrackFile {
    DiskFile checked;
    MmioFile mmio;

    HMMIO Get() const { return mmio.Get(); }
    bool IsOpen() const { return mmio.IsOpen(); }
    void Close()
    {
        mmio.Close();
        checked.Close();
    }
};

// A wave-out device. It must be closed only once every buffer written to it
// has come back; the player sees to that before Close.
struct WaveOutDeviceTraits {
    using Handle = HWAVEOUT;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { waveOutClose(h); }
};
using WaveOutDevice = UniqueHandle<WaveOutDeviceTraits>;
