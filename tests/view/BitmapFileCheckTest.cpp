#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/picturesweep/BitmapGrid.h"
#include "tools/picturesweep/CostPictures.h"
#include "view/BitmapFileCheck.h"

namespace {

// What Wine's loader did with each picture of the offset sweep, without the
// check.
struct LoaderVerdicts {
    const char* layout;
    // One a picture: L loaded, B loaded but with none of the file's pixels
    // (it read them from elsewhere), R refused, C crashed.
    const char* letters;
};
const LoaderVerdicts Recorded[] = {
#include "LoaderOffsetVerdicts.inc"
};

bool Passes(const std::vector<uint8_t>& bytes, uint64_t fileBytes)
{
    return BitmapFilePasses(bytes.data(), std::min<uint64_t>(bytes.size(), fileBytes), fileBytes);
}

// The names of the pictures the check judges otherwise than their damage.
std::vector<std::string> Misjudged(const std::vector<GridBitmap>& pictures)
{
    std::vector<std::string> wrong;
    for (const GridBitmap& b : pictures) {
        if (Passes(b.bytes, b.bytes.size()) == b.damaged)
            wrong.push_back(b.name);
    }
    return wrong;
}

std::string FirstFew(const std::vector<std::string>& names)
{
    std::string out = std::to_string(names.size()) + " misjudged:";
    for (size_t i = 0; i < names.size() && i < 12; ++i)
        out += " " + names[i];
    return out;
}

TEST(BitmapFileCheck, PassesEveryWellFormedLayoutAndRefusesEveryDamagedOne)
{
    const std::vector<GridBitmap> grid = MakeBitmapGrid();
    ASSERT_GT(grid.size(), 800u);
    const std::vector<std::string> wrong = Misjudged(grid);
    EXPECT_TRUE(wrong.empty()) << FirstFew(wrong);
}

TEST(BitmapFileCheck, EveryPixelOffsetIsCountedFromWhereTheLoaderReadsIt)
{
    std::map<std::string, std::string> recorded;
    for (const LoaderVerdicts& v : Recorded)
        recorded[v.layout] = v.letters;
    // Each picture that crashed the loader is refused, each one it showed
    // passes; what it refused itself, or showed without its pixels, may go
    // either way.
    std::map<std::string, size_t> seen;
    std::vector<std::string> wrong;
    for (const GridBitmap& b : MakeOffsetSweep()) {
        const std::string layout = b.name.substr(0, b.name.find("-offset-"));
        const std::string& letters = recorded[layout];
        const size_t i = seen[layout]++;
        ASSERT_LT(i, letters.size()) << b.name << ": the sweep has changed since its verdicts were recorded";
        const char did = letters[i];
        if ((did == 'L' || did == 'C') && Passes(b.bytes, b.bytes.size()) != (did == 'L'))
            wrong.push_back(b.name + (did == 'L' ? " (shown)" : " (crashed)"));
    }
    EXPECT_EQ(seen.size(), recorded.size());
    EXPECT_TRUE(wrong.empty()) << FirstFew(wrong);
}

// The check's verdict on a whole picture, its pixels fed in pieces of the
// given size.
bool WithinBounds(const std::vector<uint8_t>& b, size_t piece)
{
    uint8_t head[BitmapCheckHeadBytes] = {};
    std::copy_n(b.begin(), std::min(b.size(), sizeof head), head);
    BitmapLayout layout;
    if (!ReadBoundedBitmapLayout(head, b.size(), layout))
        return false;
    if (!layout.RunLength())
        return true;
    RunSpanCount spans(layout);
    for (size_t at = layout.pixelStart; at < b.size(); at += piece) {
        if (!spans.Take(b.data() + at, std::min(piece, b.size() - at)))
            break;
    }
    return spans.Passes(b.size() - layout.pixelStart);
}

TEST(BitmapFileCheck, PicturesJustInsideTheCostBoundsPassAndJustPastThemAreRefused)
{
    const std::vector<uint8_t> end = {0, 1};
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        bool passes;
    } cases[] = {
        // 8 MB of 32-bit bitmap, also for a 1-bit picture.
        {"2048x1024", PlainPicture(32, false, 2048, 1024), true},
        {"2048x1025", PlainPicture(32, false, 2048, 1025), false},
        {"1-bit 2048x1025", PlainPicture(1, false, 2048, 1025), false},
        {"65535x32", PlainPicture(8, false, 65535, 32), true},
        {"65536x1", PlainPicture(8, false, 65536, 1), false},
        {"1x65536", PlainPicture(8, false, 1, 65536), false},
        {"run-length canvas 2048x1024", RunLengthPicture(8, 2048, 1024, end), true},
        {"run-length canvas 23170x23170", RunLengthPicture(4, 23170, 23170, end), false},
        // Spans that do not merge: a row each, or one row of many.
        {"2048 rows", RunLengthPicture(8, 16, 2048, OneRunARow(2048, 1, true)), true},
        {"2049 rows", RunLengthPicture(8, 16, 2049, OneRunARow(2049, 1, true)), false},
        {"2048 in a row", RunLengthPicture(4, 4098, 1, SpansInRows(1, 2048)), true},
        {"2049 in a row", RunLengthPicture(4, 4100, 1, SpansInRows(1, 2049)), false},
        {"four rows of 32000", RunLengthPicture(8, 64002, 16, SpansInRows(4, 32000)), false},
        // The rows past the last are never decoded.
        {"4096 rows in 2048", RunLengthPicture(8, 16, 2048, OneRunARow(4096, 1, true)), true},
        // Rows alike merge: 65535 of them cost less than 2049 that do not.
        {"65535 rows alike", RunLengthPicture(8, 16, 65535, OneRunARow(65535, 16, false)), true},
        // The decoder reads the bytes of a literal run of 255 pixels as codes:
        // 43 spans a row.
        {"47 literals of 255", RunLengthPicture(8, 400, 94, LiteralsOf255(47)), true},
        {"48 literals of 255", RunLengthPicture(8, 400, 96, LiteralsOf255(48)), false},
    };
    for (const auto& c : cases) {
        for (size_t piece : {size_t{1}, size_t{3}, size_t{65536}})
            EXPECT_EQ(WithinBounds(c.bytes, piece), c.passes) << c.name << ", pieces of " << piece;
    }
}

TEST(BitmapFileCheck, SidesAndOffsetsAtTheEdgesOfTheirFields)
{
    const auto find = GridBitmapBytes;
    std::vector<uint8_t> b = find("d32-h040-plain-intact");
    ASSERT_FALSE(b.empty());
    // Sides whose product with the bit count overflows 64 bits, in a file of
    // a few hundred bytes.
    b[18] = b[19] = b[20] = 0xFF, b[21] = 0x7F;
    b[22] = b[23] = b[24] = 0xFF, b[25] = 0x7F;
    b[28] = b[29] = 0xFF;
    EXPECT_FALSE(Passes(b, b.size()));
    // A negative width, and the most negative height.
    b = find("d32-h040-plain-intact");
    b[21] = 0x80;
    EXPECT_FALSE(Passes(b, b.size()));
    b = find("d32-h040-plain-intact");
    b[22] = b[23] = b[24] = 0, b[25] = 0x80;
    EXPECT_FALSE(Passes(b, b.size()));
    // The largest header size, and a pixel offset of 0: the pixels follow the
    // colour table.
    b = find("d08-h040-plain-intact");
    b[14] = b[15] = b[16] = b[17] = 0xFF;
    EXPECT_FALSE(Passes(b, b.size()));
    b = find("d08-h040-plain-intact");
    b[10] = b[11] = b[12] = b[13] = 0;
    EXPECT_TRUE(Passes(b, b.size()));
    // A colour count past the 256 the loader reads, and a compression it
    // does not draw.
    b = find("d08-h040-plain-intact");
    b[47] = 0x10;
    EXPECT_TRUE(Passes(b, b.size()));
    b[30] = 4;
    EXPECT_FALSE(Passes(b, b.size()));
    // No pixels to read, but the loader reads the byte after the colour table.
    b = find("d08-h040-plain-intact");
    b[18] = 0;
    EXPECT_TRUE(Passes(b, 54 + 1024 + 1));
    EXPECT_FALSE(Passes(b, 54 + 1024));
    // Shorter than its file header, or no bitmap at all.
    EXPECT_FALSE(Passes(b, 17));
    b[1] = 'A';
    EXPECT_FALSE(Passes(b, b.size()));
}

} // namespace
