#pragma once

#include <cstdint>

#include "core/BoundedArray.h"
#include "view/CharCell.h"
#include "view/DrawLayer.h"

// The text of the whole book as cells, filled once by the layout; afterwards
// only their colours change. Draws the cells of the lines that fit wholly in
// the client area, one text call per word, each word in the colour of its
// first cell.
class TextLayer : public DrawLayer {
public:
    // Longest run drawn by one text call; longer runs go out in pieces.
    static constexpr uint32_t TokenCapacity = 256;

    explicit TextLayer(WindowBase* ownerWindow);
    ~TextLayer() override;

    void ScrolledUp(int pixels) override;
    void ScrolledDown(int pixels) override;
    void Draw(HDC dc) override;

    bool SetCellCount(uint32_t n);
    uint32_t CellCount() const { return cells.count; }
    void SetCell(uint32_t i, const CharCell& cell);
    // Cell i, or the default cell for an index out of range.
    CharCell& CellAt(uint32_t i) { return cells.At(i); }
    const CharCell& CellAt(uint32_t i) const { return cells.At(i); }

    // Lines covered by cells a..b: 1 plus each rise of the top along the way.
    int32_t CountLinesBetween(uint32_t a, uint32_t b) const;
    // Cell i becomes the first visible cell and its top the window's shift;
    // neither the other layers nor the settings file hear of it.
    void ScrollToCell(uint32_t i, uint32_t last);
    // Top of the last cell: the view can scroll until the last line is at
    // the top of the window.
    int32_t DocumentHeight() const;
    void UpdateDocumentHeight();

    // Gives cells a..b the colour and invalidates the part of the range that
    // lies on its last line; the rows of the range are owed to the next
    // paint, so that it redraws the lines before the last as well.
    void Recolor(const ColorRGB& color, uint32_t a, uint32_t b);

    void ComputeVisible(uint32_t start);
    void DrawVisible(HDC dc);
    // Draws the word, sign or nothing that starts at cell a; next is the last
    // cell the token consumed, so the caller goes on at next + 1.
    void DrawToken(uint32_t a, uint32_t& next, HDC dc);

    uint32_t FirstVisible() const { return firstVisible; }
    uint32_t LastVisible() const { return lastVisible; }

    BoundedArray<CharCell> cells;
    uint32_t firstVisible;
    uint32_t lastVisible;

private:
    static bool IsLetter(CellChar c);
    int32_t OwnerShift() const;
};
