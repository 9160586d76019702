#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "BookFixture.h"
#include "book/BookLoader.h"

namespace {

using bookfixture::ScratchDirectory;
using bookfixture::ToU16;
using bookfixture::WriteBytes;
using bookfixture::WriteUtf16File;

using Spans = std::vector<std::pair<int32_t, int32_t>>;

struct ExpectedParagraph {
    std::u16string text;
    Spans words;
};

Spans WordsOf(const Paragraph& p)
{
    Spans out;
    for (uint32_t i = 0; i < p.WordSpans().count; ++i)
        out.emplace_back(p.WordSpans().At(i).start, p.WordSpans().At(i).length);
    return out;
}

void ExpectParagraphs(const ParagraphList& list, const std::vector<ExpectedParagraph>& expected,
                      const std::string& what)
{
    ASSERT_EQ(list.count, expected.size()) << what;
    for (uint32_t i = 0; i < list.count; ++i) {
        EXPECT_TRUE(ToU16(list.At(i).Text()) == expected[i].text) << what << ", paragraph " << i;
        EXPECT_EQ(WordsOf(list.At(i)), expected[i].words) << what << ", paragraph " << i;
    }
}

void Split(ParagraphList& list, const std::u16string& text)
{
    uint32_t lines = 0;
    const uint32_t length = static_cast<uint32_t>(text.size());
    ASSERT_TRUE(BookLoader::CountLines(lines, text.data(), length));
    ASSERT_TRUE(list.SetSize(lines));
    ASSERT_TRUE(BookLoader::SplitParagraphs(list, text.data(), length));
}

struct SplitCase {
    const char* what;
    std::u16string text;
    std::vector<ExpectedParagraph> paragraphs;
};

TEST(BookLoader, SplitsLinesAndWords)
{
    const SplitCase cases[] = {
        {"two CR LF lines", u"ab\r\ncd\r\n", {{u"ab\r", {{0, 2}}}, {u"cd\r", {{0, 2}}}, {u"", {}}}},
        {"no final line end", u"ab\r\ncd", {{u"ab\r", {{0, 2}}}, {u"cd", {{0, 2}}}}},
        {"double blank makes an empty word", u"a  b\r\n", {{u"a  b\r", {{0, 1}, {2, 0}, {3, 1}}}, {u"", {}}}},
        {"line of only CR LF", u"\r\n", {{u"\r", {{0, 0}}}, {u"", {}}}},
        {"blank before the CR", u"ab x \r\n", {{u"ab x \r", {{0, 2}, {3, 1}, {5, 0}}}, {u"", {}}}},
        {"empty text", u"", {{u"", {}}}},
        // Without a CR the last unit of the line still serves as its end unit.
        {"LF without CR", u"ab\ncd\n", {{u"ab", {{0, 1}}}, {u"cd", {{0, 1}}}, {u"", {}}}},
        {"empty lines without CR", u"\n\n", {{u"", {{0, 0}}}, {u"", {{0, 0}}}, {u"", {}}}},
        // The end unit is a blank too: it ends one word and the last span
        // stays unreached.
        {"blank as end unit", u"a \n", {{u"a ", {{0, 1}, {0, 0}}}, {u"", {}}}},
        {"single unclosed line", u"ab", {{u"ab", {{0, 2}}}}},
        {"single blank", u" ", {{u" ", {{0, 0}, {1, 0}}}}},
        {"trailing blanks, no line end", u"x.  ", {{u"x.  ", {{0, 2}, {3, 0}, {4, 0}}}}},
        {"CR inside a line is an ordinary unit", u"a\rb c\r\n", {{u"a\rb c\r", {{0, 3}, {4, 1}}}, {u"", {}}}},
    };
    for (const auto& c : cases) {
        ParagraphList list;
        Split(list, c.text);
        ExpectParagraphs(list, c.paragraphs, c.what);
    }
}

TEST(BookLoader, CountLines)
{
    const std::u16string text = u"a\nb\n\nc";
    uint32_t count = 0;
    EXPECT_TRUE(BookLoader::CountLines(count, text.data(), 0));
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(BookLoader::CountLines(count, text.data(), 2));
    EXPECT_EQ(count, 2u);
    EXPECT_TRUE(BookLoader::CountLines(count, text.data(), static_cast<uint32_t>(text.size())));
    EXPECT_EQ(count, 4u);
}

TEST(BookLoader, SplitWordsStoresNoSpanPastTheArray)
{
    const std::u16string text = u"a b c d";
    WordSpanArray spans;
    ASSERT_TRUE(spans.SetSize(2));
    EXPECT_TRUE(BookLoader::SplitWords(spans, text.data(), static_cast<uint32_t>(text.size()), false));
    EXPECT_EQ(spans.At(0).start, 0);
    EXPECT_EQ(spans.At(1).start, 2);
    EXPECT_EQ(spans.At(1).length, 1);
    // The surplus words went nowhere but the default span.
    EXPECT_EQ(spans.count, 2u);
}

TEST(BookLoader, CopyUnitsSkipsUnitsOutsideTheString)
{
    const std::u16string text = u"abcdef";
    WideString target;
    ASSERT_TRUE(target.SetSize(3));
    EXPECT_TRUE(BookLoader::CopyUnits(target, text.data(), 6));
    EXPECT_TRUE(ToU16(target) == u"abc");
    WideString empty;
    EXPECT_TRUE(BookLoader::CopyUnits(empty, text.data(), 6));
    EXPECT_EQ(empty.count, 0u);
}

const std::u16string MissingBook = u"Error - the file book.txt is not found. Please check that all necessary files "
                                   u"are in the same directory with the file Vellumark.exe.  ";

TEST(BookLoader, MissingBookBecomesTheMessage)
{
    ScratchDirectory dir;
    BookLoader loader;
    ParagraphList list;
    EXPECT_EQ(loader.LoadBookText(list), 1);
    ASSERT_EQ(list.count, 1u);
    const Paragraph& p = list.At(0);
    EXPECT_TRUE(ToU16(p.Text()) == MissingBook);
    const Spans words = WordsOf(p);
    ASSERT_GE(words.size(), 3u);
    const uint32_t n = static_cast<uint32_t>(MissingBook.size());
    const auto& exe = words[words.size() - 3];
    EXPECT_TRUE(MissingBook.substr(exe.first, exe.second) == u"Vellumark.exe.");
    EXPECT_EQ(words[words.size() - 2], std::make_pair(static_cast<int32_t>(n - 1), 0));
    EXPECT_EQ(words.back(), std::make_pair(static_cast<int32_t>(n), 0));
}

// The bytes as "book.txt" in the working directory, loaded.
void LoadBookBytes(BookLoader& loader, const std::vector<unsigned char>& bytes, ParagraphList& list, const char* what)
{
    WriteBytes("book.txt", bytes);
    EXPECT_EQ(loader.LoadBookText(list), 1) << what;
}

struct FileCase {
    const char* what;
    std::vector<unsigned char> bytes;
    std::vector<ExpectedParagraph> paragraphs;
};

TEST(BookLoader, LoadBookTextFromHostileFiles)
{
    using bookfixture::Utf16Bytes;
    std::vector<unsigned char> odd = Utf16Bytes(u"\xFEFF" u"ab");
    odd.push_back(0x0A);
    const FileCase cases[] = {
        {"empty file", {}, {{u"", {}}}},
        {"mark only", {0xFF, 0xFE}, {{u"", {}}}},
        {"odd byte count", odd, {{u"ab", {{0, 2}}}}},
        {"no byte-order mark loses the first unit", Utf16Bytes(u"xy z\r\n"), {{u"y z\r", {{0, 1}, {2, 1}}}, {u"", {}}}},
        {"LF without CR", Utf16Bytes(u"\xFEFF" u"ab\ncd"), {{u"ab", {{0, 1}}}, {u"cd", {{0, 2}}}}},
    };
    ScratchDirectory dir;
    BookLoader loader;
    for (const auto& c : cases) {
        ParagraphList list;
        LoadBookBytes(loader, c.bytes, list, c.what);
        ExpectParagraphs(list, c.paragraphs, c.what);
    }
}

TEST(BookLoader, VeryLongLines)
{
    std::u16string words;
    std::u16string solid(MaxLineUnits - 1, u'w');
    for (uint32_t i = 0; i < MaxLineUnits - 1; ++i)
        words += (i % 10 == 9) ? u' ' : u'a';
    ScratchDirectory dir;
    // Lines as long as a book's may be, the last without its CR.
    WriteUtf16File("book.txt", solid + u"\r\n" + words + u"\r\n" + solid + u"w");
    BookLoader loader;
    ParagraphList list;
    ASSERT_EQ(loader.LoadBookText(list), 1);
    ASSERT_EQ(list.count, 3u);
    EXPECT_EQ(list.At(0).Text().count, MaxLineUnits);
    EXPECT_EQ(WordsOf(list.At(0)), (Spans{{0, static_cast<int32_t>(MaxLineUnits - 1)}}));
    const Paragraph& p1 = list.At(1);
    EXPECT_EQ(p1.Text().count, MaxLineUnits);
    // 32767 units: 3276 words of nine letters and a blank, then seven letters.
    ASSERT_EQ(p1.WordSpans().count, 3277u);
    EXPECT_EQ(p1.WordSpans().At(3275).start, 32750);
    EXPECT_EQ(p1.WordSpans().At(3275).length, 9);
    EXPECT_EQ(p1.WordSpans().At(3276).length, 7);
    EXPECT_EQ(list.At(2).Text().count, MaxLineUnits);
}

#ifndef _WIN32 // pipes and sparse files as the host makes them
// Past a bound, the book is refused like a missing one; at it, it is read.
TEST(BookLoader, BookPastABoundIsTheMissingBookText)
{
    using bookfixture::Utf16Bytes;
    const std::u16string line(MaxLineUnits - 1, u'w');
    // A book of exactly the largest size, in lines of a thousand units.
    std::u16string largest = u"\xFEFF";
    while (largest.size() < MaxBookBytes / 2)
        largest += largest.size() % 1000 == 999 ? u'\n' : u'a';
    const struct {
        const char* what;
        std::vector<unsigned char> bytes;
        bool read;
    } cases[] = {
        {"as many lines as paragraphs may be", Utf16Bytes(u"\xFEFF" + std::u16string(MaxParagraphs - 1, u'\n')), true},
        {"one line more", Utf16Bytes(u"\xFEFF" + std::u16string(MaxParagraphs, u'\n')), false},
        {"a line at the bound", Utf16Bytes(u"\xFEFF" + line + u"\r\nab"), true},
        {"a line one unit longer", Utf16Bytes(u"\xFEFF" + line + u"w\r\nab"), false},
        {"a last line one unit longer", Utf16Bytes(u"\xFEFF" u"ab\r\n" + line + u"ww"), false},
        {"the largest book", Utf16Bytes(largest), true},
        {"one unit larger", Utf16Bytes(largest + u"a"), false},
    };
    ScratchDirectory dir;
    BookLoader loader;
    for (const auto& c : cases) {
        ParagraphList list;
        LoadBookBytes(loader, c.bytes, list, c.what);
        EXPECT_EQ(ToU16(list.At(0).Text()) == MissingBook, !c.read) << c.what;
    }
}

#endif

TEST(BookLoader, LoadBookFillsTheGlobalDocument)
{
    ScratchDirectory dir;
    WriteUtf16File("book.txt", u"ab\r\ncd\r\n");
    WriteUtf16File("book_t1.txt", u"0 0 1\r\nAB\r\n1 0 1\r\nCD\r\n");
    BookLoader& loader = BookLoader::Instance();
    EXPECT_EQ(loader.LoadBook(), 1);
    EXPECT_EQ(loader.text, nullptr);
    EXPECT_EQ(loader.textLength, 0u);

    BookDocument& document = GetBookDocument();
    EXPECT_EQ(document.Paragraphs().count, 3u);
    EXPECT_EQ(document.TotalCharacters(), 6u);
    EXPECT_EQ(document.Paragraphs().TranslationCount(), 1u);
    EXPECT_TRUE(ToU16(document.Paragraphs().At(1).PieceAt(0, 0).text) == u"CD");
    EXPECT_EQ(document.Fragments().count, SyncFragmentCount);

    // A second load replaces everything: a book without a final line end and
    // no translations.
    WriteUtf16File("book.txt", u"ab\r\ncd");
    std::remove("book_t1.txt");
    EXPECT_EQ(loader.LoadBook(), 1);
    EXPECT_EQ(document.Paragraphs().count, 2u);
    EXPECT_EQ(document.TotalCharacters(), 5u);
    EXPECT_EQ(document.Paragraphs().TranslationCount(), 0u);
    EXPECT_EQ(document.Paragraphs().AnyTranslationEnabled(), 0);
    EXPECT_EQ(document.Paragraphs().At(1).PieceAt(0, 0).text.count, 0u);
}

TEST(BookLoader, LoadBookWithoutAnyFileShowsTheMessage)
{
    ScratchDirectory dir;
    EXPECT_EQ(BookLoader::Instance().LoadBook(), 1);
    BookDocument& document = GetBookDocument();
    ASSERT_EQ(document.Paragraphs().count, 1u);
    EXPECT_TRUE(ToU16(document.Paragraphs().At(0).Text()) == MissingBook);
    EXPECT_EQ(document.TotalCharacters(), MissingBook.size());
    EXPECT_EQ(document.Fragments().count, SyncFragmentCount);
}

} // namespace
