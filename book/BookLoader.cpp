#include "book/BookLoader.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr Utf16Unit Blank = 32;

// Stands in for the book when "book.txt" cannot be opened; the two trailing
// blanks are part of it.
const Utf16Unit MissingBookText[] = u"Error - the file book.txt is not found. Please check that all necessary "
                                    u"files are in the same directory with the file Vellumark.exe.  ";

BookLoader bookLoader;

} // namespace

uint32_t ParseDecimal(const Utf16Unit* units, uint32_t length, uint32_t from, uint32_t& end)
{
    uint32_t value = 0;
    uint32_t position = from;
    while (position < length && units[position] >= u'0' && units[position] <= u'9') {
        value = value * 10u + static_cast<uint32_t>(units[position] - u'0');
        position += 1;
    }
    end = position;
    return value;
}

BookLoader& BookLoader::Instance()
{
    return bookLoader;
}

uint8_t BookLoader::LoadBook()
{
    BookDocument& document = GetBookDocument();
    ParagraphList& paragraphs = document.Paragraphs();
    SyncTable& fragments = document.Fragments();

    uint8_t ok = LoadBookText(paragraphs);
    if (ok == 1) {
        LoadTranslations(paragraphs);
        BuildSyncTable(fragments);
        document.RecountTotals();
    }
    FreeText();
    return ok;
}

uint8_t BookLoader::LoadBookText(ParagraphList& paragraphs)
{
    FreeText();
    if (!ReadUtf16File(text, "book.txt", textLength, MaxBookBytes) ||
        !LinesWithin(text, textLength, MaxParagraphs, MaxLineUnits)) {
        FreeText();
        const uint32_t n = static_cast<uint32_t>(sizeof MissingBookText / sizeof MissingBookText[0] - 1);
        text = new (std::nothrow) Utf16Unit[n];
        if (text != nullptr) {
            std::memcpy(text, MissingBookText, n * sizeof(Utf16Unit));
            textLength = n;
        } else {
            textLength = 0;
        }
    }

    uint32_t lines = 0;
    CountLines(lines, text, textLength);
    if (!paragraphs.SetSize(lines))
        return 0;
    return SplitParagraphs(paragraphs, text, textLength) ? 1 : 0;
}

bool BookLoader::CountLines(uint32_t& count, const Utf16Unit* units, uint32_t length)
{
    const Utf16Unit lineBreak = LineBreakChar();
    uint32_t n = 1;
    for (uint32_t j = 0; j < length; ++j) {
        if (units[j] == lineBreak)
            n += 1;
    }
    count = n;
    return true;
}

bool BookLoader::LinesWithin(const Utf16Unit* units, uint32_t length, uint32_t maxLines, uint32_t maxLineUnits)
{
    const Utf16Unit lineBreak = LineBreakChar();
    uint32_t lines = 1;
    uint32_t start = 0;
    for (uint32_t j = 0; j < length; ++j) {
        if (units[j] != lineBreak)
            continue;
        if (j - start > maxLineUnits || ++lines > maxLines)
            return false;
        start = j + 1;
    }
    return length - start <= maxLineUnits;
}

bool BookLoader::SplitParagraphs(ParagraphList& paragraphs, const Utf16Unit* units, uint32_t length)
{
    const Utf16Unit lineBreak = LineBreakChar();
    uint32_t p = 0;
    uint32_t a = 0;
    uint32_t blanks = 0;

    auto close = [&](uint32_t e, bool hasEndUnit) {
        Paragraph& paragraph = paragraphs.At(p);
        const uint32_t n = e - a;
        paragraph.text.SetSize(n);
        paragraph.wordSpans.SetSize(blanks + 1);
        CopyUnits(paragraph.text, units + a, n);
        SplitWords(paragraph.wordSpans, units + a, n, hasEndUnit);
    };

    for (uint32_t j = 0; j < length; ++j) {
        const Utf16Unit u = units[j];
        if (u == Blank)
            blanks += 1;
        if (u == lineBreak) {
            close(j, j > a);
            p += 1;
            a = j + 1;
            blanks = 0;
        } else if (j == length - 1) {
            close(length, false);
        }
    }
    return true;
}

bool BookLoader::SplitWords(WordSpanArray& spans, const Utf16Unit* units, uint32_t n, bool hasEndUnit)
{
    uint32_t word = 0;
    uint32_t a = 0;
    auto store = [&](uint32_t start, uint32_t len) {
        if (word < spans.count)
            spans.At(word).Set(static_cast<int32_t>(start), static_cast<int32_t>(len));
        word += 1;
    };

    for (uint32_t j = 0; j < n; ++j) {
        if (units[j] == Blank || (hasEndUnit && j == n - 1)) {
            store(a, j - a);
            a = j + 1;
        }
    }
    if (!hasEndUnit)
        store(a, n - a);
    return true;
}

bool BookLoader::CopyUnits(WideString& target, const Utf16Unit* units, uint32_t n)
{
    const uint32_t fit = n < target.count ? n : target.count;
    if (fit > 0)
        std::memcpy(target.items, units, fit * sizeof(Utf16Unit));
    return true;
}

void BookLoader::TranslationFileName(char (&name)[32], uint32_t number)
{
    std::snprintf(name, sizeof name, "book_t%u.txt", static_cast<unsigned>(number));
}

uint8_t BookLoader::LoadTranslations(ParagraphList& paragraphs)
{
    char name[32];
    uint32_t n = 0;
    for (; n < MaxTranslationFiles; ++n) {
        TranslationFileName(name, n + 1);
        if (!FileExists(name))
            break;
    }

    paragraphs.SetTranslationCount(n);
    SizeTranslationLists(paragraphs, n);

    uint8_t result = 1;
    uint32_t recordsLeft = MaxRecordsInAllFiles;
    for (uint32_t t = 0; t < n; ++t) {
        TranslationFileName(name, t + 1);
        Utf16Unit* units = nullptr;
        uint32_t length = 0;
        result = ReadUtf16File(units, name, length) ? 1 : 0;
        if (result == 1) {
            // A record is two lines, so the lines bound what the pieces of
            // one file, and of all files together, can cost.
            const uint32_t records = recordsLeft < MaxRecordsPerFile ? recordsLeft : MaxRecordsPerFile;
            if (LinesWithin(units, length, 2 * records + 1, length)) {
                uint32_t lines = 0;
                CountLines(lines, units, length);
                recordsLeft -= lines / 2;
                ParseTranslationFile(paragraphs, t, units, length);
            } else {
                result = 0;
            }
            delete[] units;
        }
    }
    return result;
}

void BookLoader::SizeTranslationLists(ParagraphList& paragraphs, uint32_t n)
{
    for (uint32_t i = 0; i < paragraphs.count; ++i)
        paragraphs.At(i).translations.SetSize(n);
}

void BookLoader::ParseTranslationFile(ParagraphList& paragraphs, uint32_t t, const Utf16Unit* units,
                                      uint32_t length)
{
    CountPieces(paragraphs, t, units, length);
    ParsePieces(paragraphs, t, units, length);
}

void BookLoader::CountPieces(ParagraphList& paragraphs, uint32_t t, const Utf16Unit* units, uint32_t length)
{
    // The first unit of the body is never read: records start at the second.
    uint32_t p = 1;
    for (uint32_t i = 0; i < paragraphs.count; ++i) {
        uint32_t next = p;
        const uint32_t n = CountRecordsForParagraph(units, length, i, p, next);
        p = next;
        if (n > 0)
            paragraphs.At(i).TranslationAt(t).SetSize(n);
    }
}

void BookLoader::ParsePieces(ParagraphList& paragraphs, uint32_t t, const Utf16Unit* units, uint32_t length)
{
    const Utf16Unit lineBreak = LineBreakChar();
    uint32_t p = 1;
    for (uint32_t i = 0; i < paragraphs.count; ++i) {
        TranslationList& list = paragraphs.At(i).TranslationAt(t);
        for (uint32_t k = 0; k < list.count; ++k) {
            TranslationPiece& piece = list.At(k);
            uint32_t end = p;
            uint32_t paragraph = 0;
            uint32_t first = 0;
            uint32_t last = 0;
            ReadRecordHeader(units, length, p, end, paragraph, first, last);
            p = end;

            uint32_t d = p;
            SkipLines(units, length, 1, d);
            uint32_t f = d;
            while (f < length && units[f] != lineBreak)
                f += 1;

            if (f < length) {
                if (f > d) {
                    // The line without its CR and LF.
                    const uint32_t n = f - 1 - d;
                    piece.text.SetSize(n);
                    piece.span.Set(static_cast<int32_t>(first), static_cast<int32_t>(last));
                    CopyUnits(piece.text, units + d, n);
                }
                p = f + 1;
            } else {
                if (d < length) {
                    const uint32_t n = length - d;
                    piece.text.SetSize(n);
                    piece.span.Set(static_cast<int32_t>(first), static_cast<int32_t>(last));
                    CopyUnits(piece.text, units + d, n);
                }
                p = length;
            }
        }
    }
}

uint32_t BookLoader::CountRecordsForParagraph(const Utf16Unit* units, uint32_t length, uint32_t paragraph,
                                              uint32_t position, uint32_t& next)
{
    uint32_t count = 0;
    uint32_t p = position;
    while (p < length) {
        uint32_t e = p;
        if (ParseDecimal(units, length, p, e) != paragraph)
            break;
        count += 1;
        p = e;
        SkipLines(units, length, 2, p);
    }
    next = p;
    return count;
}

bool BookLoader::ReadRecordHeader(const Utf16Unit* units, uint32_t length, uint32_t position, uint32_t& end,
                                  uint32_t& paragraph, uint32_t& first, uint32_t& last)
{
    uint32_t e = position;
    paragraph = ParseDecimal(units, length, position, e);
    first = ParseDecimal(units, length, e + 1, e);
    last = ParseDecimal(units, length, e + 1, e);
    end = e;
    return true;
}

void BookLoader::SkipLines(const Utf16Unit* units, uint32_t length, uint32_t n, uint32_t& position)
{
    const Utf16Unit lineBreak = LineBreakChar();
    uint32_t p = position;
    for (uint32_t i = 0; i < n; ++i) {
        while (p < length && units[p] != lineBreak)
            p += 1;
        if (p >= length) {
            p = length;
            break;
        }
        p += 1;
    }
    position = p;
}
