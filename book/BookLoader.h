#pragma once

#include <cstdint>

#include "book/BookDocument.h"
#include "book/TextFileReader.h"

// Reads one unsigned decimal number starting at from: no sign, no blanks
// skipped, wrapping modulo 2^32. end is where it stopped (from itself when
// no digit is there, which reads as 0).
uint32_t ParseDecimal(const Utf16Unit* units, uint32_t length, uint32_t from, uint32_t& end);

// What the book's files may cost. Every paragraph, unit and piece is kept,
// laid out and given regions at start-up, so these bounds are what keeps any
// book's start-up time and memory near the edition's (a book of 0.54 MB,
// 1,597 paragraphs, lines of at most 1,331 units; four translation files of
// 1,708 records each). A book past a bound is refused like a missing one; a
// translation file past a bound keeps its number but gives no pieces.
constexpr uint64_t MaxBookBytes = 4u * 1024u * 1024u;
constexpr uint32_t MaxParagraphs = 50000;
constexpr uint32_t MaxLineUnits = 32768; // a line's units, its CR included
// The Translations menu names four; later files are reached only by clicking
// on through a piece's translations.
constexpr uint32_t MaxTranslationFiles = 8;
constexpr uint32_t MaxRecordsPerFile = 100000;
constexpr uint32_t MaxRecordsInAllFiles = 200000;

// Fills the global document from "book.txt" and "book_t1.txt", "book_t2.txt",
// ... in the working directory, then has the synchronisation table built.
//
// Positions in the book are (paragraph, unit) pairs that must match the
// generated synchronisation data and the translation files, so the splitting
// rules here are exact: one paragraph per LF-terminated line, the unit before
// the LF (the CR) kept as the paragraph's end unit, words cut at every single
// blank.
class BookLoader : public TextFileReader {
public:
    BookLoader() {}
    ~BookLoader() override {}

    static BookLoader& Instance();

    // 1 when the book text (or the missing-book message) was loaded and split.
    uint8_t LoadBook();
    uint8_t LoadBookText(ParagraphList& paragraphs);

    static bool CountLines(uint32_t& count, const Utf16Unit* units, uint32_t length);
    // False when the text holds more than maxLines lines, or a line longer
    // than maxLineUnits.
    static bool LinesWithin(const Utf16Unit* units, uint32_t length, uint32_t maxLines, uint32_t maxLineUnits);
    static bool SplitParagraphs(ParagraphList& paragraphs, const Utf16Unit* units, uint32_t length);
    static bool SplitWords(WordSpanArray& spans, const Utf16Unit* units, uint32_t n, bool hasEndUnit);
    static bool CopyUnits(WideString& target, const Utf16Unit* units, uint32_t n);
    static Utf16Unit LineBreakChar() { return 10; }

    // Sizes the table to SyncFragmentCount rows and fills every row, in
    // ascending order, from the alignment compiled into the program (the
    // generated sources of syncdata/). Always true: a table that cannot be
    // sized still receives every write, in its default row.
    static bool BuildSyncTable(SyncTable& table);

    // Result of reading the last translation file (1 when there is none).
    static uint8_t LoadTranslations(ParagraphList& paragraphs);
    static void SizeTranslationLists(ParagraphList& paragraphs, uint32_t n);
    static void ParseTranslationFile(ParagraphList& paragraphs, uint32_t t, const Utf16Unit* units, uint32_t length);
    static void CountPieces(ParagraphList& paragraphs, uint32_t t, const Utf16Unit* units, uint32_t length);
    static void ParsePieces(ParagraphList& paragraphs, uint32_t t, const Utf16Unit* units, uint32_t length);
    static uint32_t CountRecordsForParagraph(const Utf16Unit* units, uint32_t length, uint32_t paragraph,
                                             uint32_t position, uint32_t& next);
    static bool ReadRecordHeader(const Utf16Unit* units, uint32_t length, uint32_t position, uint32_t& end,
                                 uint32_t& paragraph, uint32_t& first, uint32_t& last);
    static void SkipLines(const Utf16Unit* units, uint32_t length, uint32_t n, uint32_t& position);

private:
    // "book_t1.txt" for number 1, and so on.
    static void TranslationFileName(char (&name)[32], uint32_t number);
};
