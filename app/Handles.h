#pragma once

#include <windows.h>

// Small owners for the Windows handles that the window code opens for a short
// time. Long-lived objects (the kept device context, fonts, menus) are owned
// by the window for the life of the process and need none.

class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE h = nullptr) : handle(h) {}
    ~ScopedHandle()
    {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

class ScopedRegKey {
public:
    ScopedRegKey() : key(nullptr) {}
    ~ScopedRegKey()
    {
        if (key != nullptr)
            RegCloseKey(key);
    }
    ScopedRegKey(const ScopedRegKey&) = delete;
    ScopedRegKey& operator=(const ScopedRegKey&) = delete;
    HKEY* Receive() { return &key; }
    HKEY Get() const { return key; }

private:
    HKEY key;
};

// Deletes a pen, brush, bitmap or font made for one paint.
template <typename T>
class ScopedGdiObject {
public:
    explicit ScopedGdiObject(T h) : object(h) {}
    ~ScopedGdiObject()
    {
        if (object != nullptr)
            DeleteObject(object);
    }
    ScopedGdiObject(const ScopedGdiObject&) = delete;
    ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
    T Get() const { return object; }

private:
    T object;
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : hdc(dc), previous(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject()
    {
        if (previous != nullptr)
            SelectObject(hdc, previous);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC hdc;
    HGDIOBJ previous;
};

// A device context from GetDC, released with the window it came from.
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
