#pragma once

#include <windows.h>

#include <cstdint>

#include "app/WindowBase.h"

// A window for layers under test: a real top-level window (for invalidation
// and the client rectangle) whose kept device context is a memory context
// over a 32-bit DIB, so that what the layers draw can be read back exactly.
class LayerHost : public WindowBase {
public:
    LayerHost(int32_t width, int32_t height);
    ~LayerHost() override;

    void SetTranslationEnabled(uint32_t, uint8_t) override {}
    const Utf16Unit* SettingsKeyName() override { return u"LayerTestShift"; }
    void GoToChapter(WPARAM) override {}
    void OpenStorePage() override {}
    void Start() override {}
    int32_t DocumentHeight() override { return documentHeight; }

    // Fills the whole picture with one colour.
    void Clear(COLORREF color);
    COLORREF PixelAt(int32_t x, int32_t y) const;
    // Pixels of the colour inside [left, right) x [top, bottom).
    int32_t CountPixels(COLORREF color, int32_t left, int32_t top, int32_t right, int32_t bottom) const;
    // The bounding box of the window's pending update region (empty when
    // nothing is invalid), after which the window counts as painted.
    RECT TakeUpdateRect();

    int32_t documentHeight = 0;

private:
    int32_t width;
    int32_t height;
    HDC memoryDC = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    uint32_t* pixels = nullptr;
};
