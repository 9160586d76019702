#include "view/TextRegion.h"

#include "view/TextLayer.h"

bool TextRegion::HitTest(const Point& p) const
{
    for (uint32_t r = 0; r < count; ++r) {
        if (items[r].Contains(p))
            return true;
    }
    return false;
}

bool TextRegionArray::HitTest(const Point& p, uint32_t& index) const
{
    const uint32_t n = count;
    for (index = 0; index < n; ++index) {
        if (items[index].HitTest(p))
            return true;
    }
    return false;
}

void TextRegionArray::SetRegion(const TextLayer& cells, const BoundedArray<uint32_t>& paragraphFirstCell,
                                const CharSpan& span, int32_t line, int32_t index, uint32_t i)
{
    At(i).Set(line, index, span.firstChar, span.lastChar);
    const uint32_t base = paragraphFirstCell.At(static_cast<uint32_t>(line));
    const uint32_t firstCell = base + static_cast<uint32_t>(span.firstChar);
    const uint32_t lastCell = base + static_cast<uint32_t>(span.lastChar);
    const int32_t lines = cells.CountLinesBetween(firstCell, lastCell);
    BuildRects(lines, i, cells, firstCell, lastCell);
}

namespace {

Rect FromCorners(const Point& a, const Point& b)
{
    Rect r;
    r.SetOrigin(a.x, a.y);
    r.SetCorner(b);
    return r;
}

} // namespace

void TextRegionArray::BuildRects(int32_t lines, uint32_t i, const TextLayer& cells, uint32_t firstCell,
                                 uint32_t lastCell)
{
    const CharCell& first = cells.CellAt(firstCell);
    const CharCell& last = cells.CellAt(lastCell);

    uint32_t n = 1;
    if (lines >= 3)
        n = 3;
    else if (lines == 2)
        n = first.Left() <= last.Right() ? 3 : 2;

    TextRegion& region = At(i);
    region.SetSize(n);

    // First cell of the second line (the last cell when all is on one line).
    uint32_t s = firstCell;
    while (cells.CellAt(s).Top() <= first.Top() && s < lastCell)
        ++s;

    // Every line ends with the space cell after its last word: s - 1 is that
    // cell and s - 2 the line's last character.
    const uint32_t e = n == 1 ? s : s - 2;
    region.At(0) = FromCorners(first.box.TopLeft(), cells.CellAt(e).box.BottomRight());
    if (n == 1)
        return;

    // Last cell of the line before the last line.
    uint32_t t = lastCell;
    while (cells.CellAt(t).Bottom() >= last.Bottom() && t > firstCell)
        --t;
    region.At(n - 1) = FromCorners(cells.CellAt(t + 1).box.TopLeft(), last.box.BottomRight());

    if (n == 3 && lines == 2) {
        region.At(1) = FromCorners(region.At(0).BottomLeft(), region.At(2).TopRight());
    } else if (n == 3) {
        Rect& r0 = region.At(0);
        Rect& r1 = region.At(1);
        Rect& r2 = region.At(2);
        r1 = FromCorners(cells.CellAt(s).box.TopLeft(), cells.CellAt(t - 1).box.BottomRight());
        const int32_t gap = r2.Top() - r1.Bottom();
        r0.SetCorner(r1.TopRight());
        r2.ExtendUp(gap);
    }
}

void BuildFragmentRegions(TextRegionArray& regions, const SyncTable& fragments, const TextLayer& cells,
                          const BoundedArray<uint32_t>& paragraphFirstCell)
{
    regions.SetSize(fragments.count);
    int32_t k = 0;
    int32_t previousParagraph = 0;
    for (uint32_t j = 0; j < fragments.count; ++j) {
        const SyncFragment& row = fragments.At(j);
        const int32_t p = row.ParagraphIndex();
        k = (j == 0 || p != previousParagraph) ? 0 : k + 1;
        previousParagraph = p;
        CharSpan span;
        span.Set(row.FirstChar(), row.LastChar());
        regions.SetRegion(cells, paragraphFirstCell, span, p, k, j);
    }
}

uint32_t CountTranslationPieces(const ParagraphList& paragraphs)
{
    uint32_t total = 0;
    for (uint32_t j = 0; j < paragraphs.count; ++j)
        total += paragraphs.At(j).TranslationAt(0).count;
    return total;
}

void BuildTranslationRegions(TextRegionArray& regions, const ParagraphList& paragraphs, const TextLayer& cells,
                             const BoundedArray<uint32_t>& paragraphFirstCell)
{
    regions.SetSize(CountTranslationPieces(paragraphs));
    uint32_t i = 0;
    for (uint32_t j = 0; j < paragraphs.count; ++j) {
        const TranslationList& pieces = paragraphs.At(j).TranslationAt(0);
        for (uint32_t k = 0; k < pieces.count; ++k) {
            regions.SetRegion(cells, paragraphFirstCell, pieces.At(k).span, static_cast<int32_t>(j),
                              static_cast<int32_t>(k), i);
            ++i;
        }
    }
}
