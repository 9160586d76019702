#include <gtest/gtest.h>

#include "book/SyncFragment.h"

namespace {

TEST(SyncFragment, FillCopiesNameWithTerminatorAndKeepsParagraph)
{
    WideString name;
    AssignString(name, u"hd01.WAV");
    ASSERT_EQ(name.count, 9u);

    SyncFragment f;
    f.SetTextSpan(1, 2, 17);
    f.Fill(name, TrackTime(0, 1, 2, 3), TrackTime(0, 1, 4, 5), 0, 30, 31);
    EXPECT_EQ(f.ParagraphIndex(), 17);
    EXPECT_EQ(f.IsSet(), 0);
    EXPECT_EQ(f.FirstChar(), 30);
    EXPECT_EQ(f.LastChar(), 31);
    EXPECT_EQ(f.Start().ToMilliseconds(), 62003u);
    EXPECT_EQ(f.End().ToMilliseconds(), 64005u);
    ASSERT_EQ(f.TrackFile().count, 9u);
    for (uint32_t i = 0; i < 9; ++i)
        EXPECT_EQ(f.TrackFile().At(i), name.At(i)) << i;

    // The copy is independent of the source.
    AssignString(name, u"hd02.WAV");
    EXPECT_EQ(f.TrackFile().At(3), u'1');
}

// The four steps of a generated row, through the table's element access.
void WriteRow(SyncTable& table, uint32_t row, int32_t paragraph, int32_t first, int32_t last, int32_t ms)
{
    uint8_t found = 0;
    table.TryAt(row, found).SetTextSpan(first, last, paragraph);
    AssignString(table.At(row).TrackFile(), u"hd01.WAV");
    table.At(row).Start().Set(0, 0, 0, ms);
    table.At(row).End().Set(0, 0, 0, ms + 10);
}

TEST(SyncTable, RowsPastTheEndReadTheDefaultFragment)
{
    SyncTable table;
    ASSERT_TRUE(table.SetSize(SyncFragmentCount));
    for (uint32_t i = 0; i < SyncFragmentCount; ++i)
        EXPECT_EQ(table.At(i).IsSet(), 0);
    WriteRow(table, 0, 0, 0, 4, 100);
    WriteRow(table, SyncFragmentCount - 1, 1553, 10, 20, 200);
    EXPECT_EQ(table.At(0).IsSet(), 1);
    EXPECT_EQ(table.At(SyncFragmentCount - 1).ParagraphIndex(), 1553);

    uint8_t found = 1;
    EXPECT_EQ(table.TryAt(SyncFragmentCount, found).IsSet(), 0);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(table.At(0xFFFFFFFFu).IsSet(), 0);
}

} // namespace
