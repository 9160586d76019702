#pragma once

#include <cstdint>

#include "book/BookDocument.h"
#include "core/BoundedArray.h"
#include "core/Geometry.h"

class TextLayer;

// Where one character range of one paragraph lies on screen: one to three
// rectangles in document pixels (the part on the first line, a block for the
// lines between, the part on the last line).
class TextRegion : public BoundedArray<Rect> {
public:
    TextRegion() : line(0), index(0), firstChar(0), lastChar(0) {}
    ~TextRegion() override {}

    void Set(int32_t lineIndex, int32_t regionIndex, int32_t first, int32_t last)
    {
        line = lineIndex;
        index = regionIndex;
        firstChar = first;
        lastChar = last;
    }
    int32_t Line() const { return line; }
    int32_t Index() const { return index; }

    // Edges included; rectangles are tried in order.
    bool HitTest(const Point& p) const;

    int32_t line;      // paragraph
    int32_t index;     // number of the region within its paragraph
    int32_t firstChar; // first unit of the range
    int32_t lastChar;  // last unit of the range, included
};

class TextRegionArray : public BoundedArray<TextRegion> {
public:
    ~TextRegionArray() override {}

    // The lowest-numbered region containing p; false with index = count when
    // none does.
    bool HitTest(const Point& p, uint32_t& index) const;

    // Fills region i from the cells of the range span of paragraph line; the
    // paragraph's first cell comes from paragraphFirstCell (its default entry
    // for a paragraph out of range).
    void SetRegion(const TextLayer& cells, const BoundedArray<uint32_t>& paragraphFirstCell, const CharSpan& span,
                   int32_t line, int32_t index, uint32_t i);
    void BuildRects(int32_t lines, uint32_t i, const TextLayer& cells, uint32_t firstCell, uint32_t lastCell);
};

// One region per row of the table, region j for row j; index counts the
// consecutive rows of one paragraph from 0.
void BuildFragmentRegions(TextRegionArray& regions, const SyncTable& fragments, const TextLayer& cells,
                          const BoundedArray<uint32_t>& paragraphFirstCell);

// Pieces of translation 0 over all paragraphs.
uint32_t CountTranslationPieces(const ParagraphList& paragraphs);

// One region per piece of translation 0, in paragraph and piece order. Only
// translation 0 says where pieces lie; the others are looked up by the same
// paragraph and piece number.
void BuildTranslationRegions(TextRegionArray& regions, const ParagraphList& paragraphs, const TextLayer& cells,
                             const BoundedArray<uint32_t>& paragraphFirstCell);
