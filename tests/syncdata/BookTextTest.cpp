// The demo book text against the compiled rows: every row names whole words
// of its paragraph, the chapter headings start at the chapter cells, and the
// narration times leave a natural reading pace.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "book/SyncFragment.h"
#include "book/BookLoader.h"

namespace {

std::vector<std::u16string> ReadBook(bool& hasBom, bool& endsWithLineEnd)
{
    std::vector<std::u16string> lines;
    std::FILE* f = std::fopen(VELLUMARK_BOOK_TXT, "rb");
    if (f == nullptr)
        return lines;
    std::u16string text;
    int lo, hi;
    while ((lo = std::fgetc(f)) != EOF && (hi = std::fgetc(f)) != EOF)
        text += static_cast<char16_t>(lo | (hi << 8));
    std::fclose(f);
    hasBom = !text.empty() && text[0] == 0xFEFF;
    endsWithLineEnd = !text.empty() && text.back() == u'\n';
    size_t a = 1;
    for (size_t j = 1; j <= text.size(); ++j) {
        if (j == text.size() || text[j] == u'\n') {
            lines.push_back(text.substr(a, j - a));
            a = j + 1;
        }
    }
    return lines;
}

// A row may also end and the next begin where a dash "--" joins two words.
bool WordStart(const std::u16string& t, int i)
{
    return i == 0 || t[i - 1] == u' ' || (i >= 2 && t[i - 1] == u'-' && t[i - 2] == u'-');
}

bool WordEnd(const std::u16string& t, int i)
{
    const size_t next = static_cast<size_t>(i) + 1;
    return next >= t.size() || t[next] == u' ' || t[next] == u'\r' || (i >= 1 && t[i] == u'-' && t[i - 1] == u'-');
}

class BookTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        paragraphs = ReadBook(hasBom, endsWithLineEnd);
        ASSERT_EQ(paragraphs.size(), 1597u) << VELLUMARK_BOOK_TXT;
        BookLoader::BuildSyncTable(table);
    }
    // Paragraph text without its end unit.
    std::u16string Text(int p) const
    {
        std::u16string t = paragraphs[p];
        if (!t.empty() && t.back() == u'\r')
            t.pop_back();
        return t;
    }

    std::vector<std::u16string> paragraphs;
    bool hasBom = false;
    bool endsWithLineEnd = true;
    SyncTable table;
};

TEST_F(BookTextTest, FileFormat)
{
    EXPECT_TRUE(hasBom);
    EXPECT_FALSE(endsWithLineEnd) << "a final line end would add an empty paragraph 1597";
    for (size_t p = 0; p + 1 < paragraphs.size(); ++p) {
        ASSERT_TRUE(!paragraphs[p].empty() && paragraphs[p].back() == u'\r') << p;
    }
    EXPECT_NE(paragraphs.back().back(), u'\r');
    for (size_t p = 0; p < paragraphs.size(); ++p) {
        const std::u16string t = Text(static_cast<int>(p));
        EXPECT_EQ(t.find(u"  "), std::u16string::npos) << p;
        EXPECT_EQ(t.find(u'\r'), std::u16string::npos) << p;
        if (!t.empty()) {
            EXPECT_NE(t.front(), u' ') << p;
            EXPECT_NE(t.back(), u' ') << p;
        }
        for (char16_t c : t) {
            ASSERT_TRUE(c >= 32 && c < 127) << p;
        }
    }
    EXPECT_EQ(Text(0), u"Harrowdene Winter");
}

TEST_F(BookTextTest, EveryRowSpansWholeWordsOfItsParagraph)
{
    for (uint32_t i = 0; i < table.count; ++i) {
        const SyncFragment& r = table.At(i);
        SCOPED_TRACE(i);
        ASSERT_LT(r.ParagraphIndex(), 1597);
        const std::u16string t = Text(r.ParagraphIndex());
        ASSERT_LT(r.LastChar(), static_cast<int>(t.size()));
        EXPECT_TRUE(WordStart(t, r.FirstChar()));
        EXPECT_TRUE(WordEnd(t, r.LastChar()));
        for (int k = r.FirstChar(); k <= r.LastChar(); ++k) {
            EXPECT_NE(t[k], u'\r');
        }
    }
    // A paragraph's rows reach its last word: no unspoken text is left at the end.
    for (uint32_t i = 0; i < table.count; ++i) {
        const SyncFragment& r = table.At(i);
        if (i + 1 == table.count || table.At(i + 1).ParagraphIndex() != r.ParagraphIndex()) {
            EXPECT_EQ(r.LastChar() + 1, static_cast<int>(Text(r.ParagraphIndex()).size())) << i;
        }
    }
}

TEST_F(BookTextTest, ChapterHeadingsStartAtTheChapterCells)
{
    const uint32_t chapterCells[9] = {0, 32900, 56605, 89105, 119370, 142820, 165562, 215129, 240025};
    std::vector<uint32_t> firstCell;
    uint32_t cell = 0;
    for (const std::u16string& p : paragraphs) {
        firstCell.push_back(cell);
        cell += static_cast<uint32_t>(p.size());
    }
    int found = 0;
    for (size_t p = 0; p < paragraphs.size(); ++p) {
        const std::u16string t = Text(static_cast<int>(p));
        if (t.rfind(u"Chapter ", 0) != 0 || t.size() != 9)
            continue;
        const int n = t[8] - u'0';
        ASSERT_TRUE(n >= 1 && n <= 9) << p;
        EXPECT_EQ(n, found + 1) << p;
        ++found;
        if (n > 1) {
            EXPECT_EQ(firstCell[p], chapterCells[n - 1]) << p;
        }
        else {
            EXPECT_LT(firstCell[p], 100u) << "chapter 1 opens the book";
        }
        // The heading is spoken on its own, and a blank line stands before it.
        EXPECT_EQ(Text(static_cast<int>(p) - 1), u"") << p;
    }
    EXPECT_EQ(found, 9);
}

TEST_F(BookTextTest, PicturesFollowSpokenParagraphs)
{
    const int after[9] = {34, 152, 207, 334, 541, 679, 1053, 1424, 1594};
    for (int p : after) {
        const std::u16string t = Text(p);
        EXPECT_GT(t.size(), 20u) << p;
        EXPECT_EQ(t.back(), u'.') << p;
    }
}

TEST_F(BookTextTest, NarrationPaceIsNatural)
{
    int natural = 0;
    for (uint32_t i = 0; i < table.count; ++i) {
        const SyncFragment& r = table.At(i);
        const double units = r.LastChar() - r.FirstChar() + 1;
        const double seconds = (static_cast<double>(r.End().ToMilliseconds()) - r.Start().ToMilliseconds()) / 1000.0;
        const double pace = units / seconds;
        if (pace >= 12.0 && pace <= 20.0)
            ++natural;
        EXPECT_GT(pace, 5.0) << i;
        EXPECT_LT(pace, 50.0) << i;
    }
    EXPECT_GT(natural, static_cast<int>(table.count) * 95 / 100);
}

} // namespace
