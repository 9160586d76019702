#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Well-formed pictures of every depth and compression whose sides and runs
// reach what the program's bounds allow and past them: for timing and
// measuring what the system loader costs, and for the tests of the bounds.
struct CostPicture {
    std::string name;
    std::vector<uint8_t> bytes;
    // The length of the file, when more than the bytes: the rest is a hole
    // of zeros (a sparse file).
    uint64_t fileBytes;
};

// Plain pixels (bitFields: 16 or 32 bits with colour masks), every pixel
// colour 1 of the table or red.
std::vector<uint8_t> PlainPicture(uint32_t depth, bool bitFields, uint32_t width, uint32_t height);
// The headers and colour table of a 4- or 8-bit run-length picture followed
// by codes (pairs of bytes as the format stores them).
std::vector<uint8_t> RunLengthPicture(uint32_t depth, uint32_t width, uint32_t height,
                                      const std::vector<uint8_t>& codes);

// Codes of run-length pictures, each ending the picture. A span is what the
// decoder paints between two of the codes that end one (end of line, jump,
// end of picture).
// One run of runPixels a row; staggered: every other row starts a pixel on.
std::vector<uint8_t> OneRunARow(uint32_t rows, uint32_t runPixels, bool staggered);
// spansPerRow spans of one pixel a row, a jump of one pixel after each.
std::vector<uint8_t> SpansInRows(uint32_t rows, uint32_t spansPerRow);
// runsPerRow runs of runPixels each, back to back: one span a row.
std::vector<uint8_t> RunsBackToBack(uint32_t rows, uint32_t runsPerRow, uint32_t runPixels);
// Only jumps of one pixel, or only ends of lines: nothing painted.
std::vector<uint8_t> JumpsOnly(uint32_t jumps);
std::vector<uint8_t> EmptyRows(uint32_t rows);
// One literal run of literalPixels 8-bit pixels a row.
std::vector<uint8_t> LiteralRows(uint32_t rows, uint32_t literalPixels);
// A literal run of 255 8-bit pixels a row whose 256 stored bytes read, as
// codes, as 43 spans over two rows: a decoder that skips them paints one
// span a row, one that reads them paints 43.
std::vector<uint8_t> LiteralsOf255(uint32_t rows);

// The sweep of the loader's cost, in order; each entry makes its picture.
std::vector<std::function<CostPicture()>> MakeCostSweep();
