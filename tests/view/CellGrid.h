#pragma once

#include <cstdint>
#include <vector>

#include "view/TextLayer.h"

// Hand-made layout for region and text-layer tests: every character is
// 10 pixels wide and 22 high, every word is followed by a 10-pixel space
// cell, and lines are given by their top and their word lengths.
struct GridLine {
    int32_t top;
    std::vector<int32_t> words;
};

constexpr int32_t GridLeft = 60;
constexpr int32_t GridCharWidth = 10;
constexpr int32_t GridLineHeight = 22;

inline uint32_t GridCellCount(const std::vector<GridLine>& lines)
{
    uint32_t n = 0;
    for (const GridLine& line : lines)
        for (int32_t w : line.words)
            n += static_cast<uint32_t>(w) + 1;
    return n;
}

inline void FillGrid(TextLayer& layer, const std::vector<GridLine>& lines)
{
    layer.SetCellCount(GridCellCount(lines));
    uint32_t cell = 0;
    for (const GridLine& line : lines) {
        int32_t x = GridLeft;
        for (int32_t w : line.words) {
            for (int32_t k = 0; k < w; ++k, ++cell, x += GridCharWidth)
                layer.SetCell(cell, CharCell(u'a', x, line.top, GridCharWidth, GridLineHeight, 1));
            layer.SetCell(cell, CharCell(u' ', x, line.top, GridCharWidth, GridLineHeight, 0));
            ++cell;
            x += GridCharWidth;
        }
    }
}

// A justified line from x 60 to x 900: eight words of nine letters, each
// with its space cell (100 pixels a word), then a word of four letters.
inline GridLine FullLine(int32_t top)
{
    return GridLine{top, {9, 9, 9, 9, 9, 9, 9, 9, 4}};
}
constexpr uint32_t FullLineCells = 85;
