#pragma once

#include <windows.h>

// Owner of a long-lived GDI object (pen, font, bitmap) that may be replaced.
template <typename T>
class GdiObjectOwner {
public:
    GdiObjectOwner() : object(nullptr) {}
    explicit GdiObjectOwner(T h) : object(h) {}
    ~GdiObjectOwner() { Reset(nullptr); }

    GdiObjectOwner(const GdiObjectOwner&) = delete;
    GdiObjectOwner& operator=(const GdiObjectOwner&) = delete;

    void Reset(T h)
    {
        if (object != nullptr && object != h)
            DeleteObject(object);
        object = h;
    }
    T Get() const { return object; }

private:
    T object;
};

// A memory device context for one paint.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) : dc(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC()
    {
        if (dc != nullptr)
            DeleteDC(dc);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Get() const { return dc; }

private:
    HDC dc;
};

// Selects an object and puts the one it replaced back when it goes out of
// scope; a null object selects nothing.
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
