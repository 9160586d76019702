#include "tools/picturesweep/CostPictures.h"

#include <cstdio>
#include <utility>

#include "tools/picturesweep/BitmapGrid.h"
#include "view/BitmapFileCheck.h"

namespace {

constexpr uint32_t FileHeaderBytes = 14;
constexpr uint32_t InfoHeaderBytes = 40;
enum Compression : uint32_t { Plain = 0, RunLength8 = 1, RunLength4 = 2, BitFields = 3 };

std::vector<uint8_t> Headers(uint32_t depth, uint32_t compression, uint32_t width, uint32_t height,
                             uint32_t imageBytes)
{
    const uint32_t colours = depth <= 8 ? 1u << depth : 0;
    const uint32_t masks = compression == BitFields ? 3 : 0;
    std::vector<uint8_t> b(FileHeaderBytes + InfoHeaderBytes + masks * 4 + colours * 4, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 10, static_cast<uint32_t>(b.size()));
    Put32(b, 14, InfoHeaderBytes);
    Put32(b, 18, width);
    Put32(b, 22, height);
    Put16(b, 26, 1);
    Put16(b, 28, depth);
    Put32(b, 30, compression);
    Put32(b, 34, imageBytes);
    size_t at = FileHeaderBytes + InfoHeaderBytes;
    if (masks != 0) {
        const bool d16 = depth == 16;
        for (uint32_t mask : {d16 ? 0xF800u : 0xFF0000u, d16 ? 0x07E0u : 0xFF00u, d16 ? 0x001Fu : 0xFFu}) {
            Put32(b, at, mask);
            at += 4;
        }
    }
    for (uint32_t i = 0; i < colours; ++i, at += 4)
        Put32(b, at, i == 1 ? 0xFF0000u : i == 0 ? 0u : 0x808080u);
    return b;
}

void Pair(std::vector<uint8_t>& codes, uint8_t a, uint8_t b)
{
    codes.push_back(a);
    codes.push_back(b);
}

void EndOfLine(std::vector<uint8_t>& codes)
{
    Pair(codes, 0, 0);
}

void Jump(std::vector<uint8_t>& codes, uint8_t right, uint8_t up)
{
    Pair(codes, 0, 2);
    Pair(codes, right, up);
}

std::vector<uint8_t> Ended(std::vector<uint8_t> codes)
{
    Pair(codes, 0, 1);
    return codes;
}

CostPicture Named(const char* format, uint32_t a, uint32_t b, uint32_t c, std::vector<uint8_t> bytes,
                  uint64_t fileBytes = 0)
{
    char name[96];
    std::snprintf(name, sizeof name, format, a, b, c);
    const uint64_t size = bytes.size();
    return {name, std::move(bytes), fileBytes > size ? fileBytes : size};
}

} // namespace

std::vector<uint8_t> PlainPicture(uint32_t depth, bool bitFields, uint32_t width, uint32_t height)
{
    const uint64_t row = (uint64_t{width} * depth + 31) / 32 * 4;
    std::vector<uint8_t> line(row, 0);
    for (uint32_t x = 0; x < width; ++x) {
        switch (depth) {
        case 1: line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8)); break;
        case 4: line[x / 2] |= static_cast<uint8_t>(x % 2 ? 0x01 : 0x10); break;
        case 8: line[x] = 1; break;
        case 16: Put16(line, x * 2, bitFields ? 0xF800 : 0x7C00); break;
        case 24: line[x * 3 + 2] = 0xFF; break;
        default: Put32(line, x * 4, 0xFF0000); break;
        }
    }
    std::vector<uint8_t> b =
        Headers(depth, bitFields ? BitFields : Plain, width, height, static_cast<uint32_t>(row * height));
    b.reserve(b.size() + row * height);
    for (uint32_t y = 0; y < height; ++y)
        b.insert(b.end(), line.begin(), line.end());
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

std::vector<uint8_t> RunLengthPicture(uint32_t depth, uint32_t width, uint32_t height,
                                      const std::vector<uint8_t>& codes)
{
    std::vector<uint8_t> b = Headers(depth, depth == 4 ? RunLength4 : RunLength8, width, height,
                                     static_cast<uint32_t>(codes.size()));
    b.insert(b.end(), codes.begin(), codes.end());
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

std::vector<uint8_t> OneRunARow(uint32_t rows, uint32_t runPixels, bool staggered)
{
    std::vector<uint8_t> codes;
    for (uint32_t y = 0; y < rows; ++y) {
        if (staggered && y % 2 == 1)
            Jump(codes, 1, 0);
        Pair(codes, static_cast<uint8_t>(runPixels), 0x11);
        EndOfLine(codes);
    }
    return Ended(std::move(codes));
}

std::vector<uint8_t> SpansInRows(uint32_t rows, uint32_t spansPerRow)
{
    std::vector<uint8_t> codes;
    for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t i = 0; i < spansPerRow; ++i) {
            Pair(codes, 1, 0x11);
            Jump(codes, 1, 0);
        }
        EndOfLine(codes);
    }
    return Ended(std::move(codes));
}

std::vector<uint8_t> RunsBackToBack(uint32_t rows, uint32_t runsPerRow, uint32_t runPixels)
{
    std::vector<uint8_t> codes;
    for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t i = 0; i < runsPerRow; ++i)
            Pair(codes, static_cast<uint8_t>(runPixels), static_cast<uint8_t>(i % 2 ? 0x11 : 0x22));
        EndOfLine(codes);
    }
    return Ended(std::move(codes));
}

std::vector<uint8_t> JumpsOnly(uint32_t jumps)
{
    std::vector<uint8_t> codes;
    for (uint32_t i = 0; i < jumps; ++i)
        Jump(codes, 1, 0);
    return Ended(std::move(codes));
}

std::vector<uint8_t> EmptyRows(uint32_t rows)
{
    std::vector<uint8_t> codes;
    for (uint32_t y = 0; y < rows; ++y)
        EndOfLine(codes);
    return Ended(std::move(codes));
}

std::vector<uint8_t> LiteralRows(uint32_t rows, uint32_t literalPixels)
{
    std::vector<uint8_t> codes;
    for (uint32_t y = 0; y < rows; ++y) {
        Pair(codes, 0, static_cast<uint8_t>(literalPixels));
        for (uint32_t i = 0; i < (literalPixels + 1) / 2 * 2; ++i)
            codes.push_back(1);
        EndOfLine(codes);
    }
    return Ended(std::move(codes));
}

std::vector<uint8_t> LiteralsOf255(uint32_t rows)
{
    std::vector<uint8_t> codes;
    for (uint32_t y = 0; y < rows; ++y) {
        Pair(codes, 0, 255);
        for (int i = 0; i < 42; ++i) {
            Pair(codes, 1, 1);
            Jump(codes, 1, 0);
        }
        Pair(codes, 1, 1);
        EndOfLine(codes);
        EndOfLine(codes);
    }
    return Ended(std::move(codes));
}

std::vector<std::function<CostPicture()>> MakeCostSweep()
{
    std::vector<std::function<CostPicture()>> sweep;
    // Plain pixels: the demo edition's sides, 2048 x 2048 (16 MB at 32 bits,
    // twice the bitmap bound) at every depth, the bound's shapes, and past it.
    sweep.push_back([] { return Named("plain-d%02u-%ux%u", 24, 640, 565, PlainPicture(24, false, 640, 565)); });
    for (uint32_t depth : {1u, 4u, 8u, 16u, 24u, 32u})
        sweep.push_back([depth] {
            return Named("plain-d%02u-%ux%u", depth, 2048, 2048, PlainPicture(depth, false, 2048, 2048));
        });
    for (uint32_t depth : {16u, 32u})
        sweep.push_back([depth] {
            return Named("bitfields-d%02u-%ux%u", depth, 2048, 2048, PlainPicture(depth, true, 2048, 2048));
        });
    for (uint32_t width : {65535u, 64u})
        sweep.push_back([width] {
            const uint32_t fit = static_cast<uint32_t>(PictureMostBitmapBytes / 4 / width);
            const uint32_t height = fit < 65535 ? fit : 65535;
            return Named("plain-d%02u-%ux%u", 24, width, height, PlainPicture(24, false, width, height));
        });
    sweep.push_back([] { return Named("plain-d%02u-%ux%u", 32, 2048, 1024, PlainPicture(32, false, 2048, 1024)); });
    sweep.push_back([] { return Named("plain-d%02u-%ux%u", 24, 2048, 1025, PlainPicture(24, false, 2048, 1025)); });
    sweep.push_back([] { return Named("plain-d%02u-%ux%u", 24, 4096, 4096, PlainPicture(24, false, 4096, 4096)); });
    // The sides of a 2 GB bitmap in a file of headers and a hole.
    sweep.push_back([] {
        std::vector<uint8_t> b = PlainPicture(24, false, 1, 1);
        const uint32_t row = (23170 * 24 + 31) / 32 * 4;
        const uint64_t file = 54 + uint64_t{row} * 23170;
        b.resize(54);
        Put32(b, 18, 23170);
        Put32(b, 22, 23170);
        Put32(b, 34, row * 23170);
        Put32(b, 2, static_cast<uint32_t>(file));
        return Named("plain-d%02u-%ux%u-sparse", 24, 23170, 23170, std::move(b), file);
    });

    // Run-length pixels: spans a row over many rows, and many in one row.
    auto add = [&sweep](const char* format, uint32_t depth, uint32_t width, uint32_t height, uint32_t label,
                        std::function<std::vector<uint8_t>()> codes) {
        sweep.push_back([=] {
            return Named(format, width, height, label, RunLengthPicture(depth, width, height, codes()));
        });
    };
    for (uint32_t rows : {1000u, 2000u, 4096u, 5000u, 8192u, 20000u, 65535u})
        add("rle8-one-run-a-row-staggered-%ux%u-run%u", 8, 16, rows, 1, [rows] { return OneRunARow(rows, 1, true); });
    for (uint32_t rows : {4096u, 20000u, 65535u})
        add("rle8-one-run-a-row-%ux%u-run%u", 8, 16, rows, 16, [rows] { return OneRunARow(rows, 16, false); });
    for (uint32_t rows : {4096u, 20000u})
        add("rle4-one-run-a-row-staggered-%ux%u-run%u", 4, 16, rows, 1, [rows] { return OneRunARow(rows, 1, true); });
    for (uint32_t spans : {1000u, 4096u, 8192u, 32000u})
        add("rle8-spans-in-one-row-%ux%u-%u", 8, 2 * spans + 2, 1, spans, [spans] { return SpansInRows(1, spans); });
    add("rle8-spans-in-rows-%ux%u-%u-a-row", 8, 64002, 16, 32000, [] { return SpansInRows(4, 32000); });
    add("rle4-spans-in-one-row-%ux%u-%u", 4, 8194, 1, 4096, [] { return SpansInRows(1, 4096); });
    // What costs little: runs back to back (as other programs write them),
    // jumps and ends of lines alone, literal runs; at the bitmap bound and
    // the file bound.
    add("rle8-back-to-back-%ux%u-%u-runs-a-row", 8, 640, 565, 247, [] { return RunsBackToBack(565, 247, 3); });
    add("rle8-back-to-back-%ux%u-%u-runs-a-row", 8, 2048, 2048, 2048, [] { return RunsBackToBack(2048, 2048, 1); });
    add("rle4-back-to-back-%ux%u-%u-runs-a-row", 4, 2048, 2048, 2048, [] { return RunsBackToBack(2048, 2048, 1); });
    add("rle8-back-to-back-%ux%u-%u-runs-a-row", 8, 65535, 64, 262100, [] { return RunsBackToBack(64, 262100, 255); });
    add("rle8-jumps-only-%ux%u-%u", 8, 65535, 64, 8000000, [] { return JumpsOnly(8000000); });
    add("rle8-empty-rows-%ux%u-%u", 8, 64, 65535, 65535, [] { return EmptyRows(65535); });
    add("rle8-literal-rows-%ux%u-%u", 8, 2048, 2048, 254, [] { return LiteralRows(2048, 254); });
    for (uint32_t rows : {50u, 95u, 200u})
        add("rle8-literals-of-255-%ux%u-%u-rows", 8, 400, 2 * rows, rows, [rows] { return LiteralsOf255(rows); });
    // The sides of a 2 GB bitmap in 1,080 bytes: the canvas is all it costs.
    add("rle8-canvas-%ux%u-%u", 8, 23170, 23170, 0, [] { return Ended({}); });
    add("rle8-canvas-%ux%u-%u", 8, 2048, 2048, 0, [] { return Ended({}); });
    return sweep;
}
