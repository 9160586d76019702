#pragma once

#include <cstdint>

#include "core/WideString.h"

// What one text file may cost to read. The edition's translation files hold
// about 0.1 MB each; the book's bound is the loader's (BookLoader.h).
constexpr uint64_t MaxTextFileBytes = 4u * 1024u * 1024u;

// Reads whole UTF-16 little-endian files whose first unit is a byte-order
// mark. Names are used as given, so bare names are looked up in the working
// directory. Only files on a disk are read: a pipe or a device where a file
// should be is refused without being read from, as is a file larger than
// the caller allows.
class TextFileReader {
public:
    TextFileReader() : text(nullptr), textLength(0) {}
    virtual ~TextFileReader();

    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    // True when the file opens for reading, refused or not: a translation
    // file that is refused still holds its number.
    static bool FileExists(const char* path);

    // Every complete unit after the first (which is dropped unread); a final
    // odd byte is ignored. The caller owns the buffer (delete[]); it is null
    // when no unit follows the first. False when the file cannot be opened,
    // is refused (no disk file, or more than maxBytes), or cannot be read
    // into memory; buffer is then null and length 0.
    static bool ReadUtf16File(Utf16Unit*& buffer, const char* path, uint32_t& length,
                              uint64_t maxBytes = MaxTextFileBytes);

    // Frees text and sets it to null.
    void FreeText();

    Utf16Unit* text; // owned; only held while the book loads
    uint32_t textLength;
};
