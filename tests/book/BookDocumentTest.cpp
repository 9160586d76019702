#include <gtest/gtest.h>

#include <vector>

#include "book/BookDocument.h"

namespace {

TEST(ParagraphList, SetTranslationCountTurnsEverySwitchOn)
{
    ParagraphList list;
    EXPECT_EQ(list.TranslationCount(), 0u);
    EXPECT_EQ(list.AnyTranslationEnabled(), 0);

    list.SetTranslationCount(4);
    EXPECT_EQ(list.TranslationCount(), 4u);
    for (uint32_t t = 0; t < 4; ++t)
        EXPECT_EQ(list.IsTranslationEnabled(t), 1) << t;
    EXPECT_EQ(list.IsTranslationEnabled(4), 0);
    EXPECT_EQ(list.AnyTranslationEnabled(), 1);
}

TEST(ParagraphList, AnyTranslationEnabled)
{
    struct Case {
        std::vector<uint8_t> switches;
        uint8_t expected;
    };
    const Case cases[] = {
        {{0, 0, 1}, 1},
        {{0, 0, 0}, 0},
        {{1, 0, 0}, 1},
        {{}, 0},
    };
    for (const auto& c : cases) {
        ParagraphList list;
        list.SetTranslationCount(static_cast<uint32_t>(c.switches.size()));
        for (uint32_t t = 0; t < c.switches.size(); ++t)
            list.SetTranslationEnabled(t, c.switches[t]);
        EXPECT_EQ(list.AnyTranslationEnabled(), c.expected) << c.switches.size();
    }
}

TEST(ParagraphList, SwitchesOutsideTheArrayShareTheDefaultEntry)
{
    ParagraphList list;
    list.SetTranslationCount(4);
    list.SetTranslationEnabled(7, 1);
    for (uint32_t t = 0; t < 4; ++t)
        EXPECT_EQ(list.IsTranslationEnabled(t), 1);
    EXPECT_EQ(list.IsTranslationEnabled(9), 1);

    list.SetTranslationEnabled(1, 0);
    EXPECT_EQ(list.IsTranslationEnabled(1), 0);
    EXPECT_EQ(list.IsTranslationEnabled(0), 1);
}

TEST(ParagraphList, ZeroTranslationsLeaveNoSwitch)
{
    ParagraphList list;
    list.SetTranslationCount(3);
    list.SetTranslationCount(0);
    EXPECT_EQ(list.TranslationCount(), 0u);
    EXPECT_EQ(list.translationEnabled.count, 0u);
    EXPECT_EQ(list.IsTranslationEnabled(0), 0);
    EXPECT_EQ(list.AnyTranslationEnabled(), 0);
}

TEST(Paragraph, OutOfRangeIndicesGiveEmptyParagraphsAndPieces)
{
    ParagraphList list;
    ASSERT_TRUE(list.SetSize(2));
    list.SetTranslationCount(1);
    ASSERT_TRUE(list.At(0).Translations().SetSize(1));
    ASSERT_TRUE(list.At(0).TranslationAt(0).SetSize(2));
    list.At(0).PieceAt(0, 1).span.Set(3, 9);

    EXPECT_EQ(list.At(0).PieceAt(0, 1).span.lastChar, 9);

    const Paragraph& past = list.At(2);
    EXPECT_EQ(past.Text().count, 0u);
    EXPECT_EQ(past.WordSpans().count, 0u);
    for (uint32_t t = 0; t < 3; ++t)
        for (uint32_t k = 0; k < 3; ++k)
            EXPECT_EQ(past.PieceAt(t, k).text.count, 0u);

    const Paragraph& first = list.At(0);
    const TranslationPiece& pastPiece = first.PieceAt(0, 2);
    EXPECT_EQ(pastPiece.text.count, 0u);
    EXPECT_EQ(pastPiece.span.firstChar, 0);
    EXPECT_EQ(pastPiece.span.lastChar, 0);
    EXPECT_EQ(first.PieceAt(1, 0).span.lastChar, 0);
    EXPECT_EQ(first.TranslationAt(5).count, 0u);
}

TEST(BookDocument, RecountTotalsSumsParagraphTexts)
{
    BookDocument document;
    EXPECT_EQ(document.TotalCharacters(), 0u);
    ParagraphList& list = document.Paragraphs();
    ASSERT_TRUE(list.SetSize(3));
    // a b CR | c CR | (empty)
    ASSERT_TRUE(list.At(0).Text().SetSize(3));
    ASSERT_TRUE(list.At(1).Text().SetSize(2));
    EXPECT_EQ(document.TotalCharacters(), 0u) << "only RecountTotals counts";
    document.RecountTotals();
    EXPECT_EQ(document.TotalCharacters(), 5u);
    EXPECT_EQ(document.Fragments().count, 0u);
}

} // namespace
