#pragma once

#include <windows.h>

#include <cstdint>

#include "core/BoundedArray.h"
#include "core/WideString.h"
#include "view/DrawLayer.h"
#include "core/WinHandles.h"

// One chapter picture and where it stands; the entry owns its bitmap. An
// entry never placed, or whose file could not be loaded, holds no bitmap and
// draws nothing.
struct PlacedIllustration {
    PlacedIllustration() : bitmap(), top(0), left(0) {}

    GdiObject<HBITMAP> bitmap;
    int32_t top;  // document pixels
    int32_t left; // client pixels
};

// Pictures drawn under the text at their own size, never scaled.
class IllustrationLayer : public DrawLayer {
public:
    // A picture whose top lies this far above the client area or further is
    // skipped without a copy.
    static constexpr int32_t SkipAbovePixels = 1000;

    explicit IllustrationLayer(WindowBase* ownerWindow);
    ~IllustrationLayer() override;

    void ScrolledUp(int) override {}
    void ScrolledDown(int) override {}
    void Draw(HDC dc) override;

    // 1 when the list now has n entries, all empty.
    uint8_t SetIllustrationCount(int32_t n);
    // Loads fileName (a bare name, looked up in the current directory only)
    // into entry index; returns the bitmap, null when the file is missing,
    // is no disk file, is no bitmap the loader takes, its headers describe
    // colours or pixels that lie outside the file (the system loader would
    // read past its end), or it would cost the loader more than the bounds
    // of view/BitmapFileCheck.h allow.
    HBITMAP PlaceIllustration(uint32_t index, const Utf16Unit* fileName, int32_t top, int32_t left);
    // The same with the bitmap already made by LoadIllustration; the entry
    // takes it over.
    HBITMAP PlaceLoadedIllustration(uint32_t index, HBITMAP bitmap, int32_t top, int32_t left);
    // The bitmap of a picture file, or null as above. Reading and converting
    // a picture takes longer than laying out many pages, so start-up runs it
    // on another thread; it touches nothing of a layer.
    static HBITMAP LoadIllustration(HINSTANCE instance, const Utf16Unit* fileName);
    // Called, when set, after a picture file passed the check and before the
    // system loader reads it, with the path the loader is handed; the check
    // still holds the file open.
    static void (*loadHook)(const TCHAR* path);

    uint32_t IllustrationCount() const { return illustrations.count; }
    const PlacedIllustration& IllustrationAt(uint32_t index) const { return illustrations.At(index); }

    BoundedArray<PlacedIllustration> illustrations;
};

class BookIllustrationLayer : public IllustrationLayer {
public:
    explicit BookIllustrationLayer(WindowBase* ownerWindow) : IllustrationLayer(ownerWindow) {}
};
