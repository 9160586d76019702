#pragma once

#include <cstdint>

// Arithmetic of the text layout that does not need a window; the layout
// itself is a set of BookWindow operations (BookWindow.h).

// Gap in word gaps between the margin and the first word of a paragraph.
constexpr int32_t FirstLineIndentGaps = 8;

// Distance from one line's top to the next: one and a half line heights.
inline int32_t LinePitch(int32_t lineHeight)
{
    return lineHeight + lineHeight / 2;
}

// How the space after each word of a line is sized. A paragraph's last line
// keeps the normal gap; a full line of two or more words is stretched so its
// last word ends at the column's right edge, the first `extra` gaps being
// one pixel wider; a full line of one word keeps the whole slack after it.
struct LineGaps {
    int32_t gap;
    int32_t extra;
};

inline LineGaps JustifyLine(uint32_t wordCount, int32_t slack, bool lastLine, int32_t wordGap)
{
    if (lastLine)
        return LineGaps{wordGap, 0};
    if (wordCount <= 1)
        return LineGaps{slack, 0};
    const uint32_t spaces = wordCount - 1;
    const uint32_t room = static_cast<uint32_t>(slack);
    return LineGaps{static_cast<int32_t>(room / spaces) + wordGap, static_cast<int32_t>(room % spaces)};
}
