#pragma once

#include <windows.h>

#include <cstdint>

#include "core/WideString.h"
#include "core/WinHandles.h"

// Reads the chapter pictures on a thread of their own while the window is
// made and the book loads, so that the layout finds them ready instead of
// waiting for the disk and the bitmap conversion at each picture.
// Bitmaps nobody took are deleted with the object.
class PicturePreload {
public:
    static constexpr uint32_t Capacity = 16;

    PicturePreload();
    ~PicturePreload();
    PicturePreload(const PicturePreload&) = delete;
    PicturePreload& operator=(const PicturePreload&) = delete;

    // Starts reading the named files (count of them, at most Capacity; the
    // names must outlive the reading). Nothing is started when a thread
    // cannot be made: Take then loads each picture itself.
    void Begin(HINSTANCE instance, const Utf16Unit* const* fileNames, uint32_t count);
    // The bitmap of picture i, waited for until it is read; loaded here when
    // no reading was begun for it or it was taken before. The caller owns it.
    HBITMAP Take(uint32_t i, HINSTANCE instance, const Utf16Unit* fileName);

private:
    static DWORD WINAPI Run(LPVOID self);
    void Finish();

    KernelHandle thread;
    HINSTANCE instance;
    const Utf16Unit* names[Capacity];
    HBITMAP bitmaps[Capacity];
    // Set by the reading thread once picture i is read, so that the layout
    // waits only for the picture it places.
    KernelHandle read[Capacity];
    bool taken[Capacity];
    uint32_t count;
};
