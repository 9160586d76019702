#pragma once

#include <windows.h>
#include <mmsystem.h>

// Owners for the handles of the playback side: each closes its handle when it
// is reset or destroyed.

class KernelHandle {
public:
    KernelHandle() : handle(nullptr) {}
    explicit KernelHandle(HANDLE h) : handle(h) {}
    ~KernelHandle() { Reset(); }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;

    HANDLE Get() const { return handle; }
    void Reset(HANDLE h = nullptr)
    {
        if (handle != nullptr)
            CloseHandle(handle);
        handle = h;
    }

private:
    HANDLE handle;
};

class MmioFile {
public:
    MmioFile() : handle(nullptr) {}
    ~MmioFile() { Close(); }
    MmioFile(const MmioFile&) = delete;
    MmioFile& operator=(const MmioFile&) = delete;

    HMMIO Get() const { return handle; }
    bool IsOpen() const { return handle != nullptr; }
    void Reset(HMMIO h)
    {
        Close();
        handle = h;
    }
    void Close()
    {
        if (handle != nullptr)
            mmioClose(handle, 0);
        handle = nullptr;
    }

private:
    HMMIO handle;
};

// A wave-out device. It must be closed only once every buffer written to it
// has come back; the player sees to that before Close.
class WaveOutDevice {
public:
    WaveOutDevice() : handle(nullptr) {}
    ~WaveOutDevice() { Close(); }
    WaveOutDevice(const WaveOutDevice&) = delete;
    WaveOutDevice& operator=(const WaveOutDevice&) = delete;

    HWAVEOUT Get() const { return handle; }
    bool IsOpen() const { return handle != nullptr; }
    void Adopt(HWAVEOUT h)
    {
        Close();
        handle = h;
    }
    // True when a device was open.
    bool Close()
    {
        if (handle == nullptr)
            return false;
        waveOutClose(handle);
        handle = nullptr;
        return true;
    }

private:
    HWAVEOUT handle;
};
