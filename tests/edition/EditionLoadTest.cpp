// Loads the generated demo edition (text and translations, no tracks) with the
// program's own loader and checks that it agrees with the compiled rows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "book/BookDocument.h"
#include "book/BookLoader.h"

namespace {

constexpr uint32_t ParagraphCount = 1597;
constexpr uint32_t TranslationFiles = 4;

// Every record is a header line and a text line, each ending in CR LF.
uint32_t RecordsInFile(const std::string& name)
{
    std::ifstream file(name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    uint32_t lineFeeds = 0;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == '\n' && bytes[i + 1] == '\0')
            ++lineFeeds;
    }
    return lineFeeds / 2;
}

bool HasUnitIn(const WideString& text, Utf16Unit low, Utf16Unit high)
{
    for (uint32_t k = 0; k < text.count; ++k) {
        if (text.At(k) >= low && text.At(k) <= high)
            return true;
    }
    return false;
}

class EditionLoadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::filesystem::current_path("demo-edition");
        loaded = BookLoader::Instance().LoadBook();
    }
    static uint8_t loaded;
};

uint8_t EditionLoadTest::loaded = 0;

TEST_F(EditionLoadTest, BookLoadsIntoEveryParagraph)
{
    ASSERT_EQ(loaded, 1);
    ParagraphList& paragraphs = GetBookDocument().Paragraphs();
    EXPECT_EQ(paragraphs.count, ParagraphCount);
    EXPECT_EQ(paragraphs.TranslationCount(), TranslationFiles);
}

TEST_F(EditionLoadTest, EveryTranslationRecordIsReadIntoItsParagraph)
{
    ParagraphList& paragraphs = GetBookDocument().Paragraphs();
    const Utf16Unit scripts[TranslationFiles][2] = {
        {0x0400, 0x04FF}, {u'a', u'z'}, {u'a', u'z'}, {0x05D0, 0x05EA}};
    for (uint32_t t = 0; t < TranslationFiles; ++t) {
        const std::string name = "book_t" + std::to_string(t + 1) + ".txt";
        uint32_t pieces = 0;
        uint32_t inScript = 0;
        uint32_t paragraphsWithSeveral = 0;
        for (uint32_t p = 0; p < paragraphs.count; ++p) {
            const Paragraph& paragraph = paragraphs.At(p);
            const TranslationList& list = paragraph.TranslationAt(t);
            ASSERT_EQ(list.count, paragraph.TranslationAt(0).count) << name << " paragraph " << p;
            paragraphsWithSeveral += list.count > 1 ? 1 : 0;
            for (uint32_t k = 0; k < list.count; ++k) {
                const TranslationPiece& piece = list.At(k);
                const TranslationPiece& first = paragraph.PieceAt(0, k);
                EXPECT_EQ(piece.span.firstChar, first.span.firstChar) << name << " paragraph " << p;
                EXPECT_EQ(piece.span.lastChar, first.span.lastChar) << name << " paragraph " << p;
                EXPECT_LE(0, piece.span.firstChar);
                EXPECT_LE(piece.span.firstChar, piece.span.lastChar);
                ASSERT_LT(static_cast<uint32_t>(piece.span.lastChar), paragraph.Text().count);
                EXPECT_NE(paragraph.Text().At(piece.span.lastChar), u'\r') << name << " paragraph " << p;
                inScript += HasUnitIn(piece.text, scripts[t][0], scripts[t][1]) ? 1 : 0;
                ++pieces;
            }
        }
        EXPECT_EQ(pieces, RecordsInFile(name)) << name;
        EXPECT_GT(inScript, pieces * 8 / 10) << name;
        EXPECT_GT(paragraphsWithSeveral, 10u) << name;
    }
}

TEST_F(EditionLoadTest, EveryRowLiesInsideItsParagraph)
{
    ParagraphList& paragraphs = GetBookDocument().Paragraphs();
    const SyncTable& rows = GetBookDocument().Fragments();
    ASSERT_EQ(rows.count, 6245u);
    for (uint32_t i = 0; i < rows.count; ++i) {
        const SyncFragment& row = rows.At(i);
        ASSERT_LT(static_cast<uint32_t>(row.ParagraphIndex()), paragraphs.count) << "row " << i;
        const WideString& text = paragraphs.At(row.ParagraphIndex()).Text();
        ASSERT_LT(static_cast<uint32_t>(row.LastChar()), text.count) << "row " << i;
        EXPECT_NE(text.At(row.LastChar()), u'\r') << "row " << i;
    }
}

} // namespace
