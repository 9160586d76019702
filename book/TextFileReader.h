#pragma once

#include <cstdint>

#include "core/WideString.h"

// Reads whole UTF-16 little-endian files whose first unit is a byte-order
// mark. Names are used as given, so bare names are looked up in the working
// directory.
class TextFileReader {
public:
    TextFileReader() : text(nullptr), textLength(0) {}
    virtual ~TextFileReader();

    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    // True when the file opens for binary reading.
    static bool FileExists(const char* path);

    // Every complete unit after the first (which is dropped unread); a final
    // odd byte is ignored. The caller owns the buffer (delete[]); it is null
    // when no unit follows the first. False when the file cannot be opened
    // or read into memory; buffer is then null and length 0.
    static bool ReadUtf16File(Utf16Unit*& buffer, const char* path, uint32_t& length);

    // Frees text and sets it to null.
    void FreeText();

    Utf16Unit* text; // owned; only held while the book loads
    uint32_t textLength;
};
