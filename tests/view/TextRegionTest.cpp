#include <gtest/gtest.h>

#include "CellGrid.h"
#include "view/TextRegion.h"

namespace {

bool SameRect(const Rect& a, const Rect& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::string Describe(const TextRegion& region)
{
    std::string s;
    for (uint32_t i = 0; i < region.count; ++i) {
        const Rect& r = region.At(i);
        s += "(" + std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
             std::to_string(r.height) + ")";
    }
    return s;
}

// Three full lines of paragraph 0 with tops 50, 83 and 116, then paragraph 1
// on a fourth line at 149.
class RegionGrid : public ::testing::Test {
protected:
    void SetUp() override
    {
        FillGrid(cells, {FullLine(50), FullLine(83), FullLine(116), FullLine(149)});
        firstCell.SetSize(2);
        firstCell.At(0) = 0;
        firstCell.At(1) = 3 * FullLineCells;
    }

    // Unit of paragraph 0 at word w, letter k of the given line.
    static int32_t Unit(int32_t line, int32_t word, int32_t letter)
    {
        return line * static_cast<int32_t>(FullLineCells) + word * 10 + letter;
    }

    TextLayer cells{nullptr};
    BoundedArray<uint32_t> firstCell;
};

struct RegionCase {
    const char* name;
    int32_t first;
    int32_t last;
    std::vector<Rect> rects;
};

TEST_F(RegionGrid, RectanglesFollowTheLinesTheRangeCovers)
{
    const RegionCase cases[] = {
        {"one line", Unit(0, 4, 4), Unit(0, 6, 3), {Rect(500, 50, 200, 22)}},
        {"one letter", Unit(0, 0, 0), Unit(0, 0, 0), {Rect(60, 50, 10, 22)}},
        {"two lines apart", Unit(0, 7, 4), Unit(1, 2, 3), {Rect(800, 50, 100, 22), Rect(60, 83, 240, 22)}},
        {"two lines overlapping",
         Unit(0, 1, 4),
         Unit(1, 6, 3),
         {Rect(200, 50, 700, 22), Rect(200, 72, 500, 11), Rect(60, 83, 640, 22)}},
        {"two lines touching",
         Unit(0, 2, 4),
         Unit(1, 2, 3),
         {Rect(300, 50, 600, 22), Rect(300, 72, 0, 11), Rect(60, 83, 240, 22)}},
        // From x 500 on the first line to a right edge at x 300 on the third:
        // the first part reaches down to the second line, the whole second
        // line is the block between, the last part reaches up to its bottom.
        {"three lines, x 500 to x 300",
         Unit(0, 4, 4),
         Unit(2, 2, 3),
         {Rect(500, 50, 400, 33), Rect(60, 83, 840, 22), Rect(60, 105, 240, 33)}},
    };
    for (const RegionCase& c : cases) {
        TextRegionArray regions;
        regions.SetSize(1);
        CharSpan span;
        span.Set(c.first, c.last);
        regions.SetRegion(cells, firstCell, span, 0, 7, 0);
        const TextRegion& region = regions.At(0);
        EXPECT_EQ(region.Line(), 0) << c.name;
        EXPECT_EQ(region.Index(), 7) << c.name;
        EXPECT_EQ(region.firstChar, c.first) << c.name;
        EXPECT_EQ(region.lastChar, c.last) << c.name;
        ASSERT_EQ(region.count, c.rects.size()) << c.name << " " << Describe(region);
        for (uint32_t i = 0; i < region.count; ++i)
            EXPECT_TRUE(SameRect(region.At(i), c.rects[i])) << c.name << " " << Describe(region);
    }
}

TEST_F(RegionGrid, HitTestIncludesEdgesAndCorners)
{
    TextRegionArray regions;
    regions.SetSize(1);
    CharSpan span;
    span.Set(Unit(0, 4, 4), Unit(0, 6, 3)); // (500, 50, 200, 22)
    regions.SetRegion(cells, firstCell, span, 0, 0, 0);
    const struct {
        Point p;
        bool hit;
    } cases[] = {
        {Point(500, 50), true},  {Point(700, 50), true},  {Point(500, 72), true},  {Point(700, 72), true},
        {Point(600, 60), true},  {Point(701, 72), false}, {Point(700, 73), false}, {Point(499, 60), false},
        {Point(600, 49), false}, {Point(701, 73), false},
    };
    for (const auto& c : cases) {
        uint32_t index = 99;
        EXPECT_EQ(regions.HitTest(c.p, index), c.hit) << c.p.x << "," << c.p.y;
        EXPECT_EQ(index, c.hit ? 0u : 1u);
    }
}

TEST_F(RegionGrid, TwoLinesApartLeaveTheSpaceBetweenUncovered)
{
    TextRegionArray regions;
    regions.SetSize(1);
    CharSpan span;
    span.Set(Unit(0, 7, 4), Unit(1, 2, 3));
    regions.SetRegion(cells, firstCell, span, 0, 0, 0);
    uint32_t index = 0;
    EXPECT_FALSE(regions.HitTest(Point(850, 78), index)); // under the first part
    EXPECT_FALSE(regions.HitTest(Point(200, 78), index)); // over the second part
}

TEST_F(RegionGrid, LowestIndexWinsWhereRegionsOverlap)
{
    SyncTable table;
    table.SetSize(4);
    table.At(0).SetTextSpan(Unit(0, 1, 0), Unit(0, 3, 8), 0); // x 160..450 on line one
    table.At(1).SetTextSpan(Unit(0, 3, 0), Unit(0, 5, 8), 0); // x 360..650, overlaps row 0
    table.At(2).SetTextSpan(Unit(0, 0, 0), Unit(0, 0, 8), 0); // x 60..150
    table.At(3).SetTextSpan(Unit(0, 1, 0), Unit(0, 1, 8), 0); // x 160..250, inside row 0 again
    TextRegionArray regions;
    BuildFragmentRegions(regions, table, cells, firstCell);
    ASSERT_EQ(regions.count, 4u);
    const struct {
        Point p;
        bool hit;
        uint32_t index;
    } cases[] = {
        {Point(400, 60), true, 0},  // in rows 0 and 1
        {Point(450, 60), true, 0},  // right edge of row 0, inside row 1
        {Point(451, 60), true, 1},  // just past row 0
        {Point(200, 60), true, 0},  // in rows 0 and 3
        {Point(150, 72), true, 2},  // bottom-right corner of row 2
        {Point(155, 60), false, 4}, // between rows 2 and 0
    };
    for (const auto& c : cases) {
        uint32_t index = 99;
        EXPECT_EQ(regions.HitTest(c.p, index), c.hit) << c.p.x;
        EXPECT_EQ(index, c.index) << c.p.x;
    }
}

TEST(TextRegionArrayTest, EmptyArrayAndEmptyRegionNeverHit)
{
    TextRegionArray empty;
    uint32_t index = 99;
    EXPECT_FALSE(empty.HitTest(Point(0, 0), index));
    EXPECT_EQ(index, 0u);

    TextRegionArray regions;
    regions.SetSize(2); // regions without rectangles
    EXPECT_FALSE(regions.HitTest(Point(0, 0), index));
    EXPECT_EQ(index, 2u);

    TextRegion negative;
    negative.SetSize(1);
    negative.At(0) = Rect(10, 10, -5, 20);
    EXPECT_FALSE(negative.HitTest(Point(8, 15)));
    EXPECT_FALSE(negative.HitTest(Point(10, 15)));
}

TEST_F(RegionGrid, FragmentRegionsNumberTheRowsOfEachParagraph)
{
    SyncTable table;
    table.SetSize(5);
    table.At(0).SetTextSpan(0, 8, 0);
    table.At(1).SetTextSpan(10, 18, 0);
    table.At(2).SetTextSpan(0, 3, 1);
    table.At(3).SetTextSpan(20, 28, 0);
    table.At(4).SetTextSpan(30, 38, 0);
    TextRegionArray regions;
    BuildFragmentRegions(regions, table, cells, firstCell);
    ASSERT_EQ(regions.count, 5u);
    const int32_t lines[] = {0, 0, 1, 0, 0};
    const int32_t indexes[] = {0, 1, 0, 0, 1};
    for (uint32_t j = 0; j < 5; ++j) {
        EXPECT_EQ(regions.At(j).Line(), lines[j]) << j;
        EXPECT_EQ(regions.At(j).Index(), indexes[j]) << j;
    }
    // Paragraph 1 starts on the fourth line: its region lies at y 149.
    ASSERT_EQ(regions.At(2).count, 1u);
    EXPECT_TRUE(SameRect(regions.At(2).At(0), Rect(60, 149, 40, 22))) << Describe(regions.At(2));
    uint32_t index = 0;
    ASSERT_TRUE(regions.HitTest(Point(70, 160), index));
    EXPECT_EQ(index, 2u);
}

TEST_F(RegionGrid, TranslationRegionsFollowPiecesOfTheFirstTranslation)
{
    ParagraphList paragraphs;
    paragraphs.SetSize(3);
    // Paragraph 0: two pieces in translation 0, one in translation 1 (which
    // must not count). Paragraph 1: no translations. Paragraph 2 is past the
    // first-cell table and reads its default entry.
    paragraphs.At(0).Translations().SetSize(2);
    paragraphs.At(0).TranslationAt(0).SetSize(2);
    paragraphs.At(0).PieceAt(0, 0).span.Set(0, 8);
    paragraphs.At(0).PieceAt(0, 1).span.Set(Unit(1, 0, 0), Unit(1, 1, 8));
    paragraphs.At(0).TranslationAt(1).SetSize(1);
    paragraphs.At(2).Translations().SetSize(1);
    paragraphs.At(2).TranslationAt(0).SetSize(1);
    paragraphs.At(2).PieceAt(0, 0).span.Set(0, 3);
    EXPECT_EQ(CountTranslationPieces(paragraphs), 3u);

    TextRegionArray regions;
    BuildTranslationRegions(regions, paragraphs, cells, firstCell);
    ASSERT_EQ(regions.count, 3u);
    EXPECT_EQ(regions.At(0).Line(), 0);
    EXPECT_EQ(regions.At(0).Index(), 0);
    EXPECT_EQ(regions.At(1).Line(), 0);
    EXPECT_EQ(regions.At(1).Index(), 1);
    EXPECT_TRUE(SameRect(regions.At(1).At(0), Rect(60, 83, 190, 22))) << Describe(regions.At(1));
    EXPECT_EQ(regions.At(2).Line(), 2);
    EXPECT_EQ(regions.At(2).Index(), 0);
}

} // namespace
