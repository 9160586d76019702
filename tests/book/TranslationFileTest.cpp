#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BookFixture.h"
#include "book/BookLoader.h"

namespace {

using bookfixture::ScratchDirectory;
using bookfixture::ToU16;
using bookfixture::WriteUtf16File;

uint32_t Len(const std::u16string& s)
{
    return static_cast<uint32_t>(s.size());
}

struct DecimalCase {
    std::u16string text;
    uint32_t from;
    uint32_t value;
    uint32_t end;
};

TEST(ParseDecimal, ReadsDigitsOnlyAndWraps)
{
    const DecimalCase cases[] = {
        {u"123 4", 0, 123, 3},
        {u"123 4", 3, 0, 3},
        {u"123 4", 4, 4, 5},
        {u"07", 0, 7, 2},
        {u"-5", 0, 0, 0},
        {u" 5", 0, 0, 0},
        {u"4294967295", 0, 4294967295u, 10},
        {u"4294967296", 0, 0, 10},
        {u"4294967298x", 0, 2, 10},
        {u"99999999999", 0, 1215752191u, 11},
        {u"12", 2, 0, 2},
        // A start past the end reads nothing and stays where it is.
        {u"12", 5, 0, 5},
        {u"\x0661", 0, 0, 0},
    };
    for (const auto& c : cases) {
        uint32_t end = 12345;
        EXPECT_EQ(ParseDecimal(c.text.data(), Len(c.text), c.from, end), c.value)
            << std::string(c.text.begin(), c.text.end()) << " from " << c.from;
        EXPECT_EQ(end, c.end) << std::string(c.text.begin(), c.text.end()) << " from " << c.from;
    }
}

TEST(BookLoader, SkipLines)
{
    const std::u16string text = u"ab\ncd\n\nef";
    struct Case {
        uint32_t from, n, expected;
    } cases[] = {
        {0, 1, 3}, {2, 1, 3}, {3, 1, 6}, {0, 2, 6}, {0, 3, 7}, {0, 4, 9}, {7, 1, 9}, {9, 1, 9}, {40, 1, 9}, {4, 0, 4},
    };
    for (const auto& c : cases) {
        uint32_t position = c.from;
        BookLoader::SkipLines(text.data(), Len(text), c.n, position);
        EXPECT_EQ(position, c.expected) << c.from << " +" << c.n;
    }
}

TEST(BookLoader, ReadRecordHeader)
{
    struct Case {
        std::u16string text;
        uint32_t paragraph, first, last, end;
    } cases[] = {
        {u"12 3 45\r\n", 12, 3, 45, 7},
        {u"12 3\r\n", 12, 3, 0, 5},
        // Two blanks: the first number reads as 0 and the last is the next one.
        {u"12  3 4\r\n", 12, 0, 3, 5},
        {u"1 4294967296 4294967297\r\n", 1, 0, 1, 23},
        {u"7", 7, 0, 0, 3},
    };
    for (const auto& c : cases) {
        uint32_t end = 0, paragraph = 9, first = 9, last = 9;
        EXPECT_TRUE(BookLoader::ReadRecordHeader(c.text.data(), Len(c.text), 0, end, paragraph, first, last));
        const std::string what(c.text.begin(), c.text.end());
        EXPECT_EQ(paragraph, c.paragraph) << what;
        EXPECT_EQ(first, c.first) << what;
        EXPECT_EQ(last, c.last) << what;
        EXPECT_EQ(end, c.end) << what;
    }
}

TEST(BookLoader, CountRecordsForParagraphStopsAtTheFirstOtherNumber)
{
    const std::u16string text = u"3 0 1\r\na\r\n3 2 4\r\nb\r\n5 0 1\r\nc\r\n";
    uint32_t next = 0;
    EXPECT_EQ(BookLoader::CountRecordsForParagraph(text.data(), Len(text), 3, 0, next), 2u);
    EXPECT_EQ(next, 20u);
    EXPECT_EQ(BookLoader::CountRecordsForParagraph(text.data(), Len(text), 4, next, next), 0u);
    EXPECT_EQ(next, 20u);
    EXPECT_EQ(BookLoader::CountRecordsForParagraph(text.data(), Len(text), 5, next, next), 1u);
    EXPECT_EQ(next, Len(text));
}

struct Piece {
    std::u16string text;
    int32_t first, last;
    bool operator==(const Piece& o) const { return text == o.text && first == o.first && last == o.last; }
};

std::ostream& operator<<(std::ostream& os, const Piece& p)
{
    return os << "{" << std::string(p.text.begin(), p.text.end()) << ", " << p.first << ", " << p.last << "}";
}

using Pieces = std::vector<std::vector<Piece>>; // per paragraph

Pieces PiecesOf(const ParagraphList& list, uint32_t t)
{
    Pieces out(list.count);
    for (uint32_t i = 0; i < list.count; ++i) {
        const TranslationList& pieces = list.At(i).TranslationAt(t);
        for (uint32_t k = 0; k < pieces.count; ++k)
            out[i].push_back({ToU16(pieces.At(k).text), pieces.At(k).span.firstChar, pieces.At(k).span.lastChar});
    }
    return out;
}

Pieces Parse(uint32_t paragraphs, const std::u16string& body)
{
    ParagraphList list;
    EXPECT_TRUE(list.SetSize(paragraphs));
    list.SetTranslationCount(2);
    BookLoader::SizeTranslationLists(list, 2);
    BookLoader::ParseTranslationFile(list, 1, body.data(), Len(body));
    EXPECT_EQ(PiecesOf(list, 0), Pieces(paragraphs)) << "only list 1 is written";
    return PiecesOf(list, 1);
}

struct ParseCase {
    const char* what;
    uint32_t paragraphs;
    std::u16string body;
    Pieces expected;
};

TEST(BookLoader, ParseTranslationFile)
{
    const ParseCase cases[] = {
        {"records in order",
         7,
         u"0 0 4\r\nNull\r\n3 0 2\r\nDrei a\r\n3 4 9\r\nDrei b\r\n5 1 1\r\nF\x00FCnf\r\n",
         {{{u"Null", 0, 4}}, {}, {}, {{u"Drei a", 0, 2}, {u"Drei b", 4, 9}}, {}, {{u"F\x00FCnf", 1, 1}}, {}}},
        {"empty body", 3, u"", {{}, {}, {}}},
        {"body of one unit", 3, u"0", {{}, {}, {}}},
        {"paragraph 0 only", 3, u"0 0 1\r\na\r\n0 2 3\r\nb\r\n", {{{u"a", 0, 1}, {u"b", 2, 3}}, {}, {}}},
        {"text line of only CR LF keeps its span", 2, u"0 0 1\r\n\r\n1 2 3\r\nx\r\n", {{{u"", 0, 1}}, {{u"x", 2, 3}}}},
        {"text line of only LF leaves the piece empty", 2, u"0 0 1\r\n\n1 2 3\r\nx\r\n", {{{u"", 0, 0}}, {{u"x", 2, 3}}}},
        {"last line without line end", 2, u"0 0 1\r\na\r\n1 0 3\r\nlast", {{{u"a", 0, 1}}, {{u"last", 0, 3}}}},
        {"header is the last line", 2, u"0 0 1\r\na\r\n1 0 3", {{{u"a", 0, 1}}, {{u"", 0, 0}}}},
        // The first unit is never read, so only the 2 of 12 is seen.
        {"first record for paragraph 12", 13, u"12 0 3\r\nx\r\n",
         {{}, {}, {{u"x", 0, 3}}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}}},
        {"leading zero", 8, u"0 0 1\r\na\r\n07 1 2\r\nseven\r\n",
         {{{u"a", 0, 1}}, {}, {}, {}, {}, {}, {}, {{u"seven", 1, 2}}}},
        {"out of order stops the file", 7, u"0 0 1\r\na\r\n5 0 1\r\nb\r\n3 0 1\r\nc\r\n6 0 1\r\nd\r\n",
         {{{u"a", 0, 1}}, {}, {}, {}, {}, {{u"b", 0, 1}}, {}}},
        {"out of range stops the file", 3, u"0 0 1\r\na\r\n99 0 1\r\nb\r\n1 0 1\r\nc\r\n", {{{u"a", 0, 1}}, {}, {}}},
        {"two-number header", 3, u"0 0 1\r\na\r\n2 5\r\nb\r\n", {{{u"a", 0, 1}}, {}, {{u"b", 5, 0}}}},
        // From the lone number on, the second pass reads a record late.
        {"one-number header", 4, u"0 0 1\r\na\r\n2\r\n42b\r\n3 1 2\r\nc\r\n",
         {{{u"a", 0, 1}}, {}, {{u"3 1 2", 0, 42}}, {{u"", 0, 0}}}},
        {"extra blanks", 3, u"0 0 1\r\na\r\n2  5 7\r\nb\r\n", {{{u"a", 0, 1}}, {}, {{u"b", 0, 5}}}},
        {"numbers past 32 bits wrap", 3, u"0 0 1\r\na\r\n4294967298 4294967296 4294967297\r\nb\r\n",
         {{{u"a", 0, 1}}, {}, {{u"b", 0, 1}}}},
        {"span past the paragraph is stored as read", 1, u"0 500 2147483648\r\nfar\r\n",
         {{{u"far", 500, -2147483647 - 1}}}},
        {"LF without CR drops the last unit", 2, u"0 0 1\nab\n1 0 1\nc\n", {{{u"a", 0, 1}}, {{u"", 0, 1}}}},
        {"many records for paragraph 0 from non-digit lines", 2, u"0 0 1\r\na\r\nx\r\ny\r\n",
         {{{u"a", 0, 1}, {u"y", 0, 0}}, {}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parse(c.paragraphs, c.body), c.expected) << c.what;
}

TEST(BookLoader, LoadTranslationsStopsAtTheFirstMissingNumber)
{
    ScratchDirectory dir;
    WriteUtf16File("book_t1.txt", u"0 0 1\r\none\r\n1 0 0\r\nuno\r\n");
    WriteUtf16File("book_t2.txt", u"0 0 1\r\ntwo\r\n");
    WriteUtf16File("book_t4.txt", u"0 0 1\r\nfour\r\n");
    ParagraphList list;
    ASSERT_TRUE(list.SetSize(3));
    EXPECT_EQ(BookLoader::LoadTranslations(list), 1);
    EXPECT_EQ(list.TranslationCount(), 2u);
    EXPECT_EQ(list.IsTranslationEnabled(0), 1);
    EXPECT_EQ(list.IsTranslationEnabled(1), 1);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(list.At(i).Translations().count, 2u) << i;
    EXPECT_EQ(PiecesOf(list, 0), (Pieces{{{u"one", 0, 1}}, {{u"uno", 0, 0}}, {}}));
    EXPECT_EQ(PiecesOf(list, 1), (Pieces{{{u"two", 0, 1}}, {}, {}}));
    EXPECT_EQ(list.At(0).PieceAt(3, 0).text.count, 0u);
}

// A translation file past a bound keeps its number and gives no pieces; the
// files after it are read as before.
TEST(BookLoader, TranslationFilePastABoundGivesNoPieces)
{
    constexpr uint32_t Large = 0xFFFFFFFF; // one record past the byte bound
    const struct {
        const char* what;
        std::vector<uint32_t> records; // of each file, all for paragraph 0
        std::vector<uint32_t> pieces;
    } cases[] = {
        {"records per file", {MaxRecordsPerFile, MaxRecordsPerFile + 1, 1}, {MaxRecordsPerFile, 0, 1}},
        {"records in all files", {MaxRecordsPerFile, MaxRecordsPerFile, 1}, {MaxRecordsPerFile, MaxRecordsPerFile, 0}},
        {"a file too large", {1, Large, 1}, {1, 0, 1}},
        {"files", std::vector<uint32_t>(MaxTranslationFiles + 1, 1), std::vector<uint32_t>(MaxTranslationFiles, 1)},
    };
    for (const auto& c : cases) {
        ScratchDirectory dir;
        for (size_t t = 0; t < c.records.size(); ++t) {
            const std::string name = "book_t" + std::to_string(t + 1) + ".txt";
            std::u16string body = c.records[t] == Large ? u"0 0 1\r\n" + std::u16string(MaxTextFileBytes / 2, u'x') : u"";
            for (uint32_t r = 0; r < c.records[t] && c.records[t] != Large; ++r)
                body += u"0 0 1\r\nab\r\n";
            WriteUtf16File(name, body);
        }
        ParagraphList list;
        ASSERT_TRUE(list.SetSize(1));
        BookLoader::LoadTranslations(list);
        ASSERT_EQ(list.TranslationCount(), c.pieces.size()) << c.what;
        for (uint32_t t = 0; t < c.pieces.size(); ++t)
            EXPECT_EQ(list.At(0).TranslationAt(t).count, c.pieces[t]) << c.what << " " << t;
    }
}

TEST(BookLoader, LoadTranslationsWithoutFiles)
{
    ScratchDirectory dir;
    WriteUtf16File("book_t2.txt", u"0 0 1\r\ntwo\r\n");
    ParagraphList list;
    ASSERT_TRUE(list.SetSize(2));
    EXPECT_EQ(BookLoader::LoadTranslations(list), 1);
    EXPECT_EQ(list.TranslationCount(), 0u);
    EXPECT_EQ(list.AnyTranslationEnabled(), 0);
    EXPECT_EQ(list.At(0).Translations().count, 0u);
    EXPECT_EQ(list.At(0).PieceAt(0, 0).text.count, 0u);
}

} // namespace
