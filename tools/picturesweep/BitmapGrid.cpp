#include "tools/picturesweep/BitmapGrid.h"

#include <cstdio>
#include <utility>

namespace {

constexpr uint32_t Width = 24;
constexpr uint32_t Height = 6;
constexpr uint32_t FileHeaderBytes = 14;
constexpr uint32_t PageBytes = 4096;

enum Compression : uint32_t { Plain = 0, RunLength8 = 1, RunLength4 = 2, BitFields = 3 };

struct Layout {
    uint32_t depth;
    uint32_t headerBytes; // 12, 40, 52, 56, 108 or 124
    uint32_t compression;
    uint32_t colours; // entries of the colour table; 0: all that the depth has
};

void Append32(std::vector<uint8_t>& b, uint32_t v)
{
    b.resize(b.size() + 4);
    Put32(b, b.size() - 4, v);
}

bool IsRunLength(uint32_t compression)
{
    return compression == RunLength8 || compression == RunLength4;
}

uint32_t TableEntries(const Layout& l)
{
    if (l.depth > 8)
        return 0;
    return l.colours != 0 && l.headerBytes != 12 ? l.colours : 1u << l.depth;
}

// Every pixel colour 1 of the table, or red in the pixel's own format.
std::vector<uint8_t> Pixels(const Layout& l, uint32_t width, uint32_t height)
{
    std::vector<uint8_t> p;
    if (IsRunLength(l.compression)) {
        // One run per row (width below 256), each row ended, then the end
        // of the picture.
        for (uint32_t y = 0; y < height; ++y)
            p.insert(p.end(), {static_cast<uint8_t>(width), l.compression == RunLength8 ? uint8_t{1} : uint8_t{0x11},
                               0, 0});
        p.insert(p.end(), {0, 1});
        return p;
    }
    const uint32_t row = (width * l.depth + 31) / 32 * 4;
    for (uint32_t y = 0; y < height; ++y) {
        std::vector<uint8_t> line(row, 0);
        for (uint32_t x = 0; x < width; ++x) {
            switch (l.depth) {
            case 1: line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8)); break;
            case 4: line[x / 2] |= static_cast<uint8_t>(x % 2 ? 0x01 : 0x10); break;
            case 8: line[x] = 1; break;
            case 16: Put16(line, x * 2, l.compression == BitFields ? 0xF800 : 0x7C00); break;
            case 24: line[x * 3 + 2] = 0xFF; break;
            default: Put32(line, x * 4, 0xFF0000); break;
            }
        }
        p.insert(p.end(), line.begin(), line.end());
    }
    return p;
}

// The file header, the info header with its masks, and the colour table,
// with the pixel offset pointing right after them.
std::vector<uint8_t> Headers(const Layout& l, uint32_t width, uint32_t height, uint32_t imageBytes)
{
    std::vector<uint8_t> b(FileHeaderBytes + l.headerBytes, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 14, l.headerBytes);
    if (l.headerBytes == 12) {
        Put16(b, 18, width);
        Put16(b, 20, height);
        Put16(b, 22, 1);
        Put16(b, 24, l.depth);
    } else {
        Put32(b, 18, width);
        Put32(b, 22, height);
        Put16(b, 26, 1);
        Put16(b, 28, l.depth);
        Put32(b, 30, l.compression);
        Put32(b, 34, imageBytes);
        Put32(b, 38, 2835);
        Put32(b, 42, 2835);
        if (l.colours != 0)
            Put32(b, 46, l.colours);
    }
    const uint32_t masks[] = {l.depth == 16 ? 0xF800u : 0xFF0000u, l.depth == 16 ? 0x07E0u : 0xFF00u,
                              l.depth == 16 ? 0x001Fu : 0xFFu};
    if (l.headerBytes > 40) {
        for (uint32_t i = 0; i < 3; ++i)
            Put32(b, FileHeaderBytes + 40 + i * 4, masks[i]);
        if (l.headerBytes >= 108)
            Put32(b, FileHeaderBytes + 56, 0x73524742); // sRGB colour space
    } else if (l.compression == BitFields) {
        for (uint32_t mask : masks)
            Append32(b, mask);
    }
    for (uint32_t i = 0; i < TableEntries(l); ++i) {
        // Two-colour pictures are mostly black and white, which the loader
        // reads as a monochrome bitmap.
        const uint32_t colour = l.depth == 1 ? (i == 1 ? 0xFFFFFFu : 0u) : i == 1 ? 0xFF0000u : 0x808080u;
        if (l.headerBytes == 12)
            b.insert(b.end(), {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
                               static_cast<uint8_t>(colour >> 16)});
        else
            Append32(b, colour);
    }
    Put32(b, 10, static_cast<uint32_t>(b.size()));
    return b;
}

std::vector<uint8_t> WellFormed(const Layout& l)
{
    const std::vector<uint8_t> pixels = Pixels(l, Width, Height);
    std::vector<uint8_t> b = Headers(l, Width, Height, static_cast<uint32_t>(pixels.size()));
    b.insert(b.end(), pixels.begin(), pixels.end());
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

// The well-formed picture with its pixels moved on so that they end
// `missing` bytes past a page end, where the file ends: a loader that reads
// a byte too far faults instead of reading the zeros left in the page.
std::vector<uint8_t> EndingAtPage(const Layout& l, uint32_t missing)
{
    const std::vector<uint8_t> pixels = Pixels(l, Width, Height);
    std::vector<uint8_t> b = Headers(l, Width, Height, static_cast<uint32_t>(pixels.size()));
    const uint32_t end = (static_cast<uint32_t>(b.size() + pixels.size()) + PageBytes - 1) / PageBytes * PageBytes;
    const uint32_t at = end + missing - static_cast<uint32_t>(pixels.size());
    Put32(b, 10, at);
    b.resize(at, 0);
    b.insert(b.end(), pixels.begin(), pixels.end());
    b.resize(end);
    Put32(b, 2, end);
    return b;
}

// Calls f (depth, header size, compression) for every layout of the grid;
// the core header has no compression field.
template <typename F>
void ForEachLayout(F f)
{
    for (uint32_t depth : {1u, 4u, 8u, 16u, 24u, 32u}) {
        for (uint32_t headerBytes : {12u, 40u, 52u, 56u, 108u, 124u}) {
            for (uint32_t compression : {Plain, RunLength8, RunLength4, BitFields}) {
                if (headerBytes != 12 || compression == Plain)
                    f(depth, headerBytes, compression);
            }
        }
    }
}

const char* CompressionName(uint32_t c)
{
    static const char* const names[] = {"plain", "rle8", "rle4", "bitfields"};
    return names[c];
}

// Pictures of one layout with every pixel offset from 0 to a little past the
// end of the colour table, each in a file of one page whose pixels fit when
// counted from the offset but not when counted from the end of the table,
// or the other way round; with offsets 0 and 14 and the table's own end
// also a picture that fits, and with offsets inside the file header one
// whose pixels would fit if they followed the table. Rows are 4 bytes (run-length: 4 a row and 2 for
// the end), so some offsets near the table's end have no such picture.
//
// Damaged as the loader reads it: an offset inside the file header sends it
// 4 GB on, offsets 0 and 14 mean the pixels follow the table, any other
// counts from the start of the file.
void AddOffsets(const Layout& l, std::vector<GridBitmap>& out)
{
    const bool runLength = IsRunLength(l.compression);
    const uint32_t width = runLength ? Width : l.depth == 24 ? 1 : 32 / l.depth;
    const uint32_t tableEnd = static_cast<uint32_t>(Headers(l, width, 1, 0).size());
    auto bytesOf = [&](uint32_t rows) { return rows * 4 + (runLength ? 2 : 0); };
    // The most rows whose pixels fit in `room`, or the fewest that do not.
    auto rowsWithin = [&](uint32_t room) { return (room - (runLength ? 2 : 0)) / 4; };
    auto rowsPast = [&](uint32_t room) { return rowsWithin(room) + 1; };
    auto add = [&](uint32_t offset, uint32_t rows, const char* fits) {
        const uint32_t pixelBytes = bytesOf(rows);
        std::vector<uint8_t> b = Headers(l, width, rows, pixelBytes);
        Put32(b, 10, offset);
        const bool inFileHeader = offset != 0 && offset < FileHeaderBytes;
        const uint32_t start = offset == 0 || offset == FileHeaderBytes ? tableEnd : offset;
        const uint32_t at = inFileHeader || start < tableEnd ? tableEnd : start;
        b.resize(PageBytes, 0);
        const std::vector<uint8_t> pixels = Pixels(l, width, rows);
        for (size_t i = 0; i < pixels.size() && at + i < PageBytes; ++i)
            b[at + i] = pixels[i];
        Put32(b, 2, PageBytes);
        char name[96];
        std::snprintf(name, sizeof name, "d%02u-h%03u-%s-t%03u-offset-%04u-%s", l.depth, l.headerBytes,
                      CompressionName(l.compression), TableEntries(l), offset, fits);
        out.push_back({name, std::move(b), inFileHeader || start + pixelBytes > PageBytes});
    };
    for (uint32_t offset = 0; offset <= tableEnd + 6; ++offset) {
        if (offset < tableEnd) {
            const uint32_t rows = rowsPast(PageBytes - tableEnd);
            if (offset + bytesOf(rows) <= PageBytes)
                add(offset, rows, "from-offset");
        } else if (offset > tableEnd) {
            const uint32_t rows = rowsPast(PageBytes - offset);
            if (tableEnd + bytesOf(rows) <= PageBytes)
                add(offset, rows, "from-table");
        }
        if (offset == 0 || offset == FileHeaderBytes || offset == tableEnd)
            add(offset, rowsWithin(PageBytes - tableEnd), "both");
        else if (offset < FileHeaderBytes)
            add(offset, rowsWithin(PageBytes - tableEnd), "table-fits");
    }
}

} // namespace

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

std::vector<GridBitmap> MakeBitmapGrid()
{
    std::vector<GridBitmap> grid;
    ForEachLayout([&grid](uint32_t depth, uint32_t headerBytes, uint32_t compression) {
        const bool core = headerBytes == 12;
        const Layout l{depth, headerBytes, compression, 0};
        const std::vector<uint8_t> good = WellFormed(l);
        const uint32_t size = static_cast<uint32_t>(good.size());
        const bool runLength = IsRunLength(compression);
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "d%02u-h%03u-%s-", depth, headerBytes, CompressionName(compression));
        auto add = [&](const char* damage, std::vector<uint8_t> bytes, bool damaged) {
            grid.push_back({std::string(prefix) + damage, std::move(bytes), damaged});
        };

        add("intact", good, false);
        add("page-intact", EndingAtPage(l, 0), false);
        // Nor does the loader read the padding after the last row.
        const bool cutData = !IsRunLength(compression) && Width * depth % 32 == 0;
        add("page-last-byte-cut", EndingAtPage(l, 1), cutData);
        // A table shorter than the depth allows, in a file shorter
        // than the full table would be.
        if (!core && depth >= 4 && depth <= 8)
            add("table2-intact", WellFormed({depth, headerBytes, compression, 2}), false);
        std::vector<uint8_t> b;
        // Pixels that start inside the file header, just past the
        // end, a page past it, or far away.
        for (const auto& offset : {std::make_pair("offset-in-file-header", 1u),
                                   std::make_pair("offset-past-end", size + 1),
                                   std::make_pair("offset-past-page", size + 4096),
                                   std::make_pair("offset-far", 0x7FFFFFF0u)}) {
            b = good;
            Put32(b, 10, offset.second);
            add(offset.first, b, true);
        }
        // Sides far past the file, with a bitmap inside the program's bound.
        b = good;
        if (core) {
            Put16(b, 18, 1400);
            Put16(b, 20, 1400);
        } else {
            Put32(b, 18, 1400);
            Put32(b, 22, 1400);
        }
        // Run-length pixels are read as far as the image size says,
        // whatever the sides.
        add("sides-past-end", b, !runLength);
        // The run-length decoder stops after the last row, before the code
        // that ends the picture.
        b = good;
        b.pop_back();
        add("last-byte-cut", b, cutData);
        b = good;
        Put32(b, 14, size);
        add("header-past-end", b, true);
        if (core) {
            if (depth <= 8) {
                // The file ends inside the colour table.
                b = good;
                b.resize(FileHeaderBytes + 12 + 3 * (1u << depth) - 3);
                add("palette-past-end", b, true);
            }
            return;
        }
        // A table of 256 colours, with the file ending inside it.
        b = good;
        Put32(b, 46, 256);
        const uint32_t tableEnd = FileHeaderBytes + (headerBytes > 40 ? headerBytes : 40) +
                                  (compression == BitFields && headerBytes == 40 ? 12 : 0) + 1024;
        if (b.size() > tableEnd - 4)
            b.resize(tableEnd - 4);
        add("palette-past-end", b, true);
        // The run-length decoder stops at the end-of-picture code, well
        // before the end the image size gives.
        b = good;
        Put32(b, 34, 1u << 24);
        add("image-size-past-end", b, false);
        b = good;
        Put32(b, 22, static_cast<uint32_t>(-static_cast<int32_t>(Height)));
        add("top-down", b, runLength);
    });
    return grid;
}

std::vector<uint8_t> GridBitmapBytes(const std::string& name)
{
    for (GridBitmap& b : MakeBitmapGrid()) {
        if (b.name == name)
            return std::move(b.bytes);
    }
    return {};
}

std::vector<GridBitmap> MakeOffsetSweep()
{
    std::vector<GridBitmap> sweep;
    ForEachLayout([&sweep](uint32_t depth, uint32_t headerBytes, uint32_t compression) {
        // Short tables keep the sweep small; one layout also has the full
        // table of 256 colours. The core header always has the full table.
        std::vector<uint32_t> tables{depth <= 8 && headerBytes != 12 ? 2u : 0u};
        if (depth == 8 && headerBytes == 40)
            tables.push_back(256);
        for (uint32_t colours : tables)
            AddOffsets({depth, headerBytes, compression, colours}, sweep);
    });
    return sweep;
}
