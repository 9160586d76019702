#pragma once

#include <windows.h>

// Owners for Windows handles: each one closes its handle when it is reset or
// destroyed, so an early return cannot leak it. The close operation and the
// empty value of each kind of handle come from a small traits type.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() : handle(Traits::Empty()) {}
    explicit UniqueHandle(Handle h) : handle(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle Get() const { return handle; }
    bool IsOpen() const { return Traits::IsValid(handle); }

    // Closes the handle held (unless it is h itself) and takes h.
    void Reset(Handle h = Traits::Empty())
    {
        if (Traits::IsValid(handle) && handle != h)
            Traits::Close(handle);
        handle = h;
    }
    // True when a handle was open.
    bool Close()
    {
        const bool wasOpen = IsOpen();
        Reset();
        return wasOpen;
    }
    // For functions that return a handle through a pointer.
    Handle* Receive()
    {
        Reset();
        return &handle;
    }

private:
    Handle handle;
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};
using RegKey = UniqueHandle<RegKeyTraits>;

template <typename T>
struct GdiObjectTraits {
    using Handle = T;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { DeleteObject(h); }
};
// A pen, brush, font or bitmap.
template <typename T>
using GdiObject = UniqueHandle<GdiObjectTraits<T>>;

struct MemoryDCTraits {
    using Handle = HDC;
    static Handle Empty() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { DeleteDC(h); }
};
// A device context from CreateCompatibleDC.
using MemoryDC = UniqueHandle<MemoryDCTraits>;

// A device context from GetDC, released to the window it came from.
class WindowDC {
public:
    explicit WindowDC(HWND window) : hwnd(window), hdc(GetDC(window)) {}
    ~WindowDC()
    {
        if (hdc != nullptr)
            ReleaseDC(hwnd, hdc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return hdc; }

private:
    HWND hwnd;
    HDC hdc;
};

// Selects an object into a device context and puts the one it replaced back
// when it goes out of scope; a null object selects nothing.
class ObjectSelection {
public:
    ObjectSelection(HDC dc, HGDIOBJ object)
        : hdc(dc), previous(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr)
    {
    }
    ~ObjectSelection()
    {
        if (previous != nullptr && previous != HGDI_ERROR)
            SelectObject(hdc, previous);
    }
    ObjectSelection(const ObjectSelection&) = delete;
    ObjectSelection& operator=(const ObjectSelection&) = delete;

private:
    HDC hdc;
    HGDIOBJ previous;
};
