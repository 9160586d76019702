#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/picturesweep/BitmapGrid.h"
#include "view/BitmapFileCheck.h"

namespace {

bool Passes(const std::vector<uint8_t>& bytes, uint64_t fileBytes)
{
    uint8_t head[BitmapCheckHeadBytes] = {};
    std::copy_n(bytes.begin(), std::min(bytes.size(), sizeof head), head);
    return BitmapLiesInsideFile(head, fileBytes);
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
    const std::vector<GridBitmap> sweep = MakeOffsetSweep();
    ASSERT_GT(sweep.size(), 10000u);
    const std::vector<std::string> wrong = Misjudged(sweep);
    EXPECT_TRUE(wrong.empty()) << FirstFew(wrong);
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
