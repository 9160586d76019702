#pragma once

#include <windows.h>

#include <cstdint>

#include "core/Geometry.h"
#include "core/WideString.h"

// The unit a cell shows: UTF-16 in the wide-character build, the low 8 bits
// of the text unit in the 8-bit build (no code page is applied).
#ifdef UNICODE
using CellChar = wchar_t;
#else
using CellChar = char;
#endif

// One laid-out character of the book, or the gap after a word, with its box
// in document pixels.
class CharCell {
public:
    CharCell() : wordFlag(0), color(), character(0), box() {}
    CharCell(Utf16Unit unit, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t flag)
        : wordFlag(flag), color(), character(static_cast<CellChar>(unit)), box(x, y, width, height)
    {
    }
    virtual ~CharCell() {}

    int32_t Top() const { return box.y; }
    int32_t Bottom() const { return box.y + box.height; }
    int32_t Left() const { return box.x; }
    int32_t Right() const { return box.x + box.width; }
    const ColorRGB& Color() const { return color; }
    void SetColor(const ColorRGB& c) { color = c; }

    uint8_t wordFlag; // 1 for a character of a word, 0 for the space after it
    ColorRGB color;
    CellChar character;
    Rect box;
};
