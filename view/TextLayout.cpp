// The layout of the book into character cells: line breaking, justification,
// first-line indents, line spacing and the room left for the pictures. It
// runs once at start-up and depends on the desktop size only, not on the
// window's, so resizing never lays the book out again.

#include "view/TextLayout.h"

#include "app/BookWindow.h"

void BookWindow::ComputeMetrics()
{
    GetDesktopSize(screenWidth, screenHeight);
    margin = screenWidth / 16;
    // Lines end at x = textWidth, so the right margin is twice the left one.
    textWidth = screenWidth - 2 * margin;
    wordGap = CharWidth(u' ', 0) + 1;
    lineHeight = LineHeight(0);
}

int32_t BookWindow::LineStartX(uint32_t w) const
{
    return w == 0 ? margin + FirstLineIndentGaps * wordGap : margin;
}

void BookWindow::LayoutText(ParagraphList& paragraphs)
{
    ComputeMetrics();
    int32_t y = 2 * lineHeight;
    uint32_t cell = 0;
    paragraphFirstCell.SetSize(paragraphs.count);
    illustrationLayer.SetIllustrationCount(IllustrationCount());
    for (uint32_t i = 0; i < paragraphs.count; i++) {
        paragraphFirstCell.At(i) = cell;
        LayoutParagraph(paragraphs.At(i), y, cell);
        PlaceIllustration(i, y);
    }
    SetFirstVisibleCell(0);
}

void BookWindow::LayoutParagraph(const Paragraph& paragraph, int32_t& y, uint32_t& cell)
{
    uint32_t w = 0;
    bool end = false;
    do {
        end = LayoutLine(paragraph, cell, w, y);
        y += LinePitch(lineHeight);
    } while (!end);
}

bool BookWindow::LayoutLine(const Paragraph& paragraph, uint32_t& cell, uint32_t& w, int32_t y)
{
    uint32_t n = 0;
    int32_t slack = 0;
    bool end = false;
    FitWords(paragraph, w, n, slack, end);
    if (n == 0 && !end) {
        // A word wider than the whole line would never fit: it goes alone on
        // its line and runs past the column's edge, so the layout moves on.
        n = 1;
        slack = wordGap;
        end = w + 1 >= paragraph.wordSpans.count;
    }
    PlaceWords(paragraph, cell, w, n, y, slack, end);
    w += n;
    return end;
}

void BookWindow::FitWords(const Paragraph& paragraph, uint32_t w, uint32_t& n, int32_t& slack, bool& end)
{
    int32_t x = LineStartX(w);
    n = 0;
    end = false;
    bool full = false;
    for (;;) {
        const int32_t width = WordWidth(paragraph, w + n);
        if (x + width > textWidth) {
            x -= wordGap;
            full = true;
        } else {
            x += width + wordGap;
            n += 1;
        }
        if (w + n >= paragraph.wordSpans.count) {
            end = true;
            break;
        }
        if (full)
            break;
    }
    slack = textWidth - x;
}

void BookWindow::PlaceWords(const Paragraph& paragraph, uint32_t& cell, uint32_t w, uint32_t n, int32_t y,
                            int32_t slack, bool end)
{
    int32_t x = LineStartX(w);
    const LineGaps gaps = JustifyLine(n, slack, end, wordGap);
    int32_t extra = gaps.extra;
    for (uint32_t k = 0; k < n; k++) {
        const WordSpan& span = paragraph.wordSpans.At(w + k);
        AppendWordCells(paragraph.text, span, y, x, cell);
        if (span.length > 0)
            cell += static_cast<uint32_t>(span.length);
        AppendSpaceCell(cell, y, x, gaps.gap, extra);
        cell += 1;
    }
}

int32_t BookWindow::WordWidth(const Paragraph& paragraph, uint32_t word)
{
    const WordSpan& span = paragraph.wordSpans.At(word);
    int32_t width = 0;
    for (int32_t k = 0; k < span.length; k++)
        width += CharWidth(paragraph.text.At(static_cast<uint32_t>(span.start + k)), 0);
    return width;
}

void BookWindow::AppendWordCells(const WideString& text, const WordSpan& span, int32_t y, int32_t& x, uint32_t cell)
{
    for (int32_t k = 0; k < span.length; k++) {
        const Utf16Unit unit = text.At(static_cast<uint32_t>(span.start + k));
        const int32_t width = CharWidth(unit, 0);
        textLayer.SetCell(cell + static_cast<uint32_t>(k), CharCell(unit, x, y, width, lineHeight, 1));
        x += width;
    }
}

void BookWindow::AppendSpaceCell(uint32_t cell, int32_t y, int32_t& x, int32_t gap, int32_t& extra)
{
    textLayer.SetCell(cell, CharCell(u' ', x, y, gap, lineHeight, 0));
    x += gap;
    // The line's first gaps take one pixel each of what the division left over.
    if (extra > 0) {
        x += 1;
        extra -= 1;
    }
}

void BookWindow::SetFirstVisibleCell(uint32_t s)
{
    const uint32_t count = GetBookDocument().TotalCharacters();
    const int32_t t0 = textLayer.CellAt(s).Top();
    uint32_t i = s;
    do {
        i += 1;
    } while (!(textLayer.CellAt(i).Top() - t0 > screenHeight || i >= count));
    textLayer.ScrollToCell(s, i - 1);
}
