#pragma once

#include <cstddef>
#include <cstdint>

// How much of the start of a bitmap file BitmapLiesInsideFile reads: the
// file header and the fields of the info header up to its colour count.
constexpr size_t BitmapCheckHeadBytes = 54;

// Whether the header, colour table and pixel data that a bitmap file's
// headers describe all lie inside the file, as far as the system loader
// reads them. head holds the file's first BitmapCheckHeadBytes bytes (zeros
// past the end of a shorter file). False also for a file that is no bitmap
// at all, or one the loader cannot read: it would show nothing either way.
//
// The loader trusts the headers: it reads the colour table, and the pixels
// from the pixel offset on, as far as the headers say, without a look at the
// file's size; damage that sends it past the end of its view of the file
// ends the program. A file this passes is the loader's to show or refuse.
bool BitmapLiesInsideFile(const uint8_t* head, uint64_t fileBytes);
