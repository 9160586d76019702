#include "tools/picturesweep/BitmapGrid.h"

#include <cstdio>
#include <utility>

namespace {

constexpr uint32_t Width = 24;
constexpr uint32_t Height = 6;
constexpr uint32_t FileHeaderBytes = 14;

enum Compression : uint32_t { Plain = 0, RunLength8 = 1, RunLength4 = 2, BitFields = 3 };

struct Layout {
    uint32_t depth;
    uint32_t headerBytes; // 12, 40, 108 or 124
    uint32_t compression;
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

// Every pixel colour 1 of the table, or red in the pixel's own format.
std::vector<uint8_t> Pixels(const Layout& l)
{
    std::vector<uint8_t> p;
    if (IsRunLength(l.compression)) {
        // One run per row, each row ended, then the end of the picture.
        for (uint32_t y = 0; y < Height; ++y)
            p.insert(p.end(), {static_cast<uint8_t>(Width), l.compression == RunLength8 ? uint8_t{1} : uint8_t{0x11},
                               0, 0});
        p.insert(p.end(), {0, 1});
        return p;
    }
    const uint32_t row = (Width * l.depth + 31) / 32 * 4;
    for (uint32_t y = 0; y < Height; ++y) {
        std::vector<uint8_t> line(row, 0);
        for (uint32_t x = 0; x < Width; ++x) {
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

std::vector<uint8_t> WellFormed(const Layout& l)
{
    const uint32_t colours = l.depth <= 8 ? 1u << l.depth : 0;
    const std::vector<uint8_t> pixels = Pixels(l);
    std::vector<uint8_t> b(FileHeaderBytes + l.headerBytes, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 14, l.headerBytes);
    if (l.headerBytes == 12) {
        Put16(b, 18, Width);
        Put16(b, 20, Height);
        Put16(b, 22, 1);
        Put16(b, 24, l.depth);
    } else {
        Put32(b, 18, Width);
        Put32(b, 22, Height);
        Put16(b, 26, 1);
        Put16(b, 28, l.depth);
        Put32(b, 30, l.compression);
        Put32(b, 34, static_cast<uint32_t>(pixels.size()));
        Put32(b, 38, 2835);
        Put32(b, 42, 2835);
    }
    const uint32_t masks[] = {l.depth == 16 ? 0xF800u : 0xFF0000u, l.depth == 16 ? 0x07E0u : 0xFF00u,
                              l.depth == 16 ? 0x001Fu : 0xFFu};
    if (l.headerBytes > 40) {
        for (uint32_t i = 0; i < 3; ++i)
            Put32(b, FileHeaderBytes + 40 + i * 4, masks[i]);
        Put32(b, FileHeaderBytes + 56, 0x73524742); // sRGB colour space
    } else if (l.compression == BitFields) {
        for (uint32_t mask : masks)
            Append32(b, mask);
    }
    for (uint32_t i = 0; i < colours; ++i) {
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
    b.insert(b.end(), pixels.begin(), pixels.end());
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

const char* CompressionName(uint32_t c)
{
    static const char* const names[] = {"plain", "rle8", "rle4", "bitfields"};
    return names[c];
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
    for (uint32_t depth : {1u, 4u, 8u, 16u, 24u, 32u}) {
        for (uint32_t headerBytes : {12u, 40u, 108u, 124u}) {
            for (uint32_t compression : {Plain, RunLength8, RunLength4, BitFields}) {
                const bool core = headerBytes == 12;
                if (core && compression != Plain)
                    continue; // the core header has no compression field
                const Layout l{depth, headerBytes, compression};
                const std::vector<uint8_t> good = WellFormed(l);
                const uint32_t size = static_cast<uint32_t>(good.size());
                const bool runLength = IsRunLength(compression);
                char prefix[64];
                std::snprintf(prefix, sizeof prefix, "d%02u-h%03u-%s-", depth, headerBytes, CompressionName(compression));
                auto add = [&](const char* damage, std::vector<uint8_t> bytes, bool damaged) {
                    grid.push_back({std::string(prefix) + damage, std::move(bytes), damaged});
                };

                add("intact", good, false);
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
                b = good;
                if (core) {
                    Put16(b, 18, 8000);
                    Put16(b, 20, 8000);
                } else {
                    Put32(b, 18, 8000);
                    Put32(b, 22, 8000);
                }
                // Run-length pixels are read as far as the image size says,
                // whatever the sides.
                add("sides-past-end", b, !runLength);
                b = good;
                b.pop_back();
                add("last-byte-cut", b, true);
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
                    continue;
                }
                // A table of 256 colours, with the file ending inside it.
                b = good;
                Put32(b, 46, 256);
                const uint32_t tableEnd = FileHeaderBytes + (headerBytes > 40 ? headerBytes : 40) +
                                          (compression == BitFields && headerBytes == 40 ? 12 : 0) + 1024;
                if (b.size() > tableEnd - 4)
                    b.resize(tableEnd - 4);
                add("palette-past-end", b, true);
                b = good;
                Put32(b, 34, 1u << 24);
                add("image-size-past-end", b, runLength);
                b = good;
                Put32(b, 22, static_cast<uint32_t>(-static_cast<int32_t>(Height)));
                add("top-down", b, runLength);
            }
        }
    }
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
