#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Small bitmap files of every bit depth, header version and compression,
// each written well-formed and with one kind of damage to its headers or
// its length: for the picture check's tests and for sweeping the system
// loader under Wine.
struct GridBitmap {
    std::string name; // e.g. "d08-h040-rle8-offset-past-end"
    std::vector<uint8_t> bytes;
    // The headers describe a header, colour table or pixel data that does
    // not lie inside the file, or run-length pixels stored top-down.
    bool damaged;
};

std::vector<GridBitmap> MakeBitmapGrid();

// Pictures of every layout with each pixel offset from 0 to a few bytes past
// the end of the colour table, in files that end at a page end, so that a
// loader that counts the pixels from another place than the check does
// reads past the end and faults. Their damage is as they were made (whole
// padded rows counted from the offset or from the table); what the loader
// did with each is recorded in tests/view/LoaderOffsetVerdicts.inc.
std::vector<GridBitmap> MakeOffsetSweep();

// Little-endian 16- and 32-bit fields, as bitmap headers store them.
void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v);
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v);

// The bytes of the grid's picture of that name; empty when there is none.
std::vector<uint8_t> GridBitmapBytes(const std::string& name);
