#include "view/TextLayer.h"

#include <cwctype>

#include "app/WindowBase.h"
#include "core/TraceStream.h"

TextLayer::TextLayer(WindowBase* ownerWindow) : DrawLayer(ownerWindow), firstVisible(0), lastVisible(0) {}

TextLayer::~TextLayer() {}

int32_t TextLayer::OwnerShift() const
{
    return owner != nullptr ? owner->Shift() : 0;
}

bool TextLayer::SetCellCount(uint32_t n)
{
    return cells.SetSize(n);
}

void TextLayer::SetCell(uint32_t i, const CharCell& cell)
{
    CharCell& slot = cells.At(i);
    slot.wordFlag = cell.wordFlag;
    slot.color = cell.color;
    slot.character = cell.character;
    slot.box = cell.box;
}

int32_t TextLayer::CountLinesBetween(uint32_t a, uint32_t b) const
{
    int32_t lines = 1;
    if (a > b)
        return lines;
    int32_t previous = CellAt(a).Top();
    // Past the array every index reads the same default cell, so walking
    // beyond the first such index adds nothing.
    uint32_t end = b < cells.count ? b : cells.count;
    uint32_t begin = a < cells.count ? a : cells.count;
    for (uint32_t i = begin;; ++i) {
        int32_t top = CellAt(i).Top();
        if (top > previous) {
            lines += 1;
            previous = top;
        }
        if (i == end)
            break;
    }
    return lines;
}

void TextLayer::ScrollToCell(uint32_t i, uint32_t last)
{
    firstVisible = i;
    lastVisible = last;
    if (owner != nullptr)
        owner->SetShift(i == 0 ? 0 : CellAt(i).Top());
}

int32_t TextLayer::DocumentHeight() const
{
    // An empty array gives index 0xFFFFFFFF, the default cell.
    return CellAt(cells.count - 1).Top();
}

void TextLayer::UpdateDocumentHeight()
{
    if (owner != nullptr)
        owner->SetMaxShift(DocumentHeight());
}

void TextLayer::Recolor(const ColorRGB& color, uint32_t a, uint32_t b)
{
    if (owner != nullptr)
        owner->SelectFont(0);
    const int32_t shift = OwnerShift();
    RECT r{0, 0, 0, 0};
    if (a <= b) {
        // Every index from cells.count on reaches the same default cell, so
        // one visit stands for all of them and a wild range stays cheap.
        uint32_t begin = a < cells.count ? a : cells.count;
        uint32_t end = b < cells.count ? b : cells.count;
        for (uint32_t i = begin;; ++i) {
            CharCell& cell = cells.At(i);
            cell.SetColor(color);
            if (cell.Bottom() - shift != r.bottom) {
                // The range has reached a new line.
                r.left = cell.Left();
                r.top = cell.Top() - shift;
                r.bottom = cell.Bottom() - shift;
            }
            r.right = cell.Right();
            if (i == end)
                break;
        }
    }
    TraceStream trace;
    trace.AppendString("InvalidateRect ");
    WriteRect(trace, r).EndLine();
    if (owner != nullptr && a <= b && cells.count > 0) {
        // The invalidation covers the last line only; the lines before it
        // changed colour too and are owed to the next paint.
        const uint32_t first = a < cells.count ? a : cells.count - 1;
        const uint32_t last = b < cells.count ? b : cells.count - 1;
        owner->RepaintAtNextPaint(CellAt(first).Top(), CellAt(last).Bottom());
    }
    if (owner != nullptr && owner->Hwnd() != nullptr)
        InvalidateRect(owner->Hwnd(), &r, TRUE);
}

void TextLayer::ComputeVisible(uint32_t start)
{
    const int32_t s = OwnerShift();
    const int32_t h = owner != nullptr ? owner->ClientRect().Height() : 0;
    uint32_t i = start;
    while (i < cells.count && CellAt(i).Top() < s)
        ++i;
    firstVisible = i;
    const int32_t t = CellAt(i).Top();
    uint32_t j = i;
    while (j < cells.count && CellAt(j).Bottom() <= t + h)
        ++j;
    // When not even the first line fits this is firstVisible - 1, which
    // DrawVisible reads as an empty range.
    lastVisible = j - 1;
}

void TextLayer::ScrolledUp(int)
{
    ComputeVisible(0);
}

void TextLayer::ScrolledDown(int)
{
    ComputeVisible(firstVisible);
}

void TextLayer::Draw(HDC dc)
{
    ComputeVisible(firstVisible);
    DrawVisible(dc);
}

void TextLayer::DrawVisible(HDC dc)
{
    if (owner != nullptr)
        owner->SelectFont(0);
    if (firstVisible >= cells.count)
        return;
    // When no line fits below cell 0 (a client area lower than one line)
    // lastVisible is 0 - 1: an empty range, not the whole book.
    const int64_t last = lastVisible == 0xFFFFFFFFu ? -1 : static_cast<int64_t>(lastVisible);
    uint32_t i = firstVisible;
    // A paint limited to part of the window draws only the lines that reach
    // into it. Every line ends with a space cell, so a token never runs from
    // one line into the next and drawing may start at any line's first cell.
    RECT area = {};
    const int kind = GetClipBox(dc, &area);
    if (kind == NULLREGION)
        return;
    const int32_t shift = OwnerShift();
    if (kind != ERROR)
        while (static_cast<int64_t>(i) <= last && i < cells.count && CellAt(i).Bottom() - shift <= area.top)
            ++i;
    while (static_cast<int64_t>(i) <= last && i < cells.count) {
        if (kind != ERROR && CellAt(i).Top() - shift >= area.bottom)
            break;
        uint32_t next = i;
        DrawToken(i, next, dc);
        i = next + 1;
    }
}

bool TextLayer::IsLetter(CellChar c)
{
#ifdef UNICODE
    return std::iswalpha(static_cast<std::wint_t>(c)) != 0;
#else
    // The 8-bit build counts only the ASCII letters: bytes from 0x80 on end a
    // word and are drawn alone.
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
#endif
}

void TextLayer::DrawToken(uint32_t a, uint32_t& next, HDC dc)
{
    next = a;
    const CharCell& first = CellAt(a);
    const CellChar c = first.character;
    uint32_t length = 0;
    if (IsLetter(c)) {
        uint32_t k = a + 1;
        while (k < cells.count && (IsLetter(CellAt(k).character) || CellAt(k).character == '\''))
            ++k;
        length = k - a;
        next = k;
        // A blank after the word is consumed; any other sign starts the next
        // token.
        if (CellAt(k).character != ' ')
            next = k - 1;
        if (length > TokenCapacity - 1) {
            // Cut an overlong run; the rest is drawn from its own cells.
            length = TokenCapacity - 1;
            next = a + length - 1;
        }
    } else if (c == ' ' || c == 0) {
        // A gap, or a cell the layout never wrote: nothing to draw.
        return;
    } else {
        length = 1;
    }

    CellChar buffer[TokenCapacity];
    for (uint32_t k = 0; k < length; ++k)
        buffer[k] = CellAt(a + k).character;
    buffer[length] = 0;

    SetTextColor(dc, static_cast<COLORREF>(first.Color().ToColorRef()));
    const int y = first.Top() - OwnerShift();
#ifdef UNICODE
    TextOutW(dc, first.Left(), y, buffer, static_cast<int>(length));
#else
    TextOutA(dc, first.Left(), y, buffer, static_cast<int>(length));
#endif
}
