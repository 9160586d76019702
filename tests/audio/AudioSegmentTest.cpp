#include "audio/AudioSegment.h"

#include <gtest/gtest.h>

#include <string>

#include "book/SyncFragment.h"

namespace {

std::basic_string<TrackNameUnit> Name(const AudioSegment& s)
{
    return s.TrackName() == nullptr ? std::basic_string<TrackNameUnit>() : s.TrackName();
}

std::basic_string<TrackNameUnit> Expected(const char* ascii)
{
    std::basic_string<TrackNameUnit> r;
    for (const char* p = ascii; *p != 0; ++p)
        r.push_back(static_cast<TrackNameUnit>(*p));
    return r;
}

// A row as the generated table holds it; kept in a small pool because rows
// cannot be copied.
SyncFragment& Row(const char16_t* track, bool set)
{
    static SyncFragment pool[4];
    static int next = 0;
    SyncFragment& f = pool[next++ % 4];
    f.Fill(WideString(), TrackTime(), TrackTime(), 0, 0, 0);
    if (set)
        f.SetTextSpan(40, 68, 5);
    if (track != nullptr)
        AssignString(f.TrackFile(), track);
    f.Start().Set(0, 1, 2, 300);
    f.End().Set(0, 1, 4, 5);
    return f;
}

TEST(FragmentSegment, CopiesTimesNameAndId)
{
    FragmentSegment s(Row(u"hd01.WAV", true), 17);
    EXPECT_EQ(Name(s), Expected("hd01.WAV"));
    EXPECT_EQ(s.FragmentId(), 17);
    EXPECT_EQ(s.StartMilliseconds(), 62300u);
    EXPECT_EQ(s.EndMilliseconds(), 64005u);
}

TEST(FragmentSegment, UnsetRowHasNoIdButKeepsTimesAndName)
{
    FragmentSegment s(Row(u"hd02.wav", false), 9);
    EXPECT_EQ(s.FragmentId(), -1);
    EXPECT_EQ(Name(s), Expected("hd02.wav"));
    EXPECT_EQ(s.StartMilliseconds(), 62300u);
}

TEST(FragmentSegment, EmptyTrackArrayGivesEmptyNameNotNull)
{
    FragmentSegment s(Row(nullptr, true), 3);
    ASSERT_NE(s.TrackName(), nullptr);
    EXPECT_EQ(s.TrackName()[0], 0);
}

TEST(FragmentSegment, EightBitBuildKeepsTheLowByteOfEachUnit)
{
    // U+0168 has low byte 0x68 ('h'); the wide build keeps the whole unit.
    FragmentSegment s(Row(u"\u0168d.wav", true), 0);
#ifdef UNICODE
    EXPECT_EQ(s.TrackName()[0], static_cast<TrackNameUnit>(0x168));
#else
    EXPECT_EQ(s.TrackName()[0], 'h');
#endif
}

TEST(AudioSegment, AssignMakesAnIndependentCopy)
{
    FragmentSegment source(Row(u"hd04.wav", true), 4);
    AudioSegment target;
    for (int k = 0; k < 3; ++k)
        target.Assign(source);
    EXPECT_EQ(Name(target), Expected("hd04.wav"));
    EXPECT_NE(target.TrackName(), source.TrackName());
    EXPECT_EQ(target.FragmentId(), 4);
    EXPECT_EQ(target.StartMilliseconds(), source.StartMilliseconds());
    EXPECT_EQ(target.EndMilliseconds(), source.EndMilliseconds());
    source.FreeName();
    EXPECT_EQ(Name(target), Expected("hd04.wav"));
}

TEST(AudioSegment, AssignFromNamelessSegmentLeavesNoName)
{
    FragmentSegment named(Row(u"hd05.wav", true), 1);
    AudioSegment nameless;
    nameless.SetFragmentId(8);
    named.Assign(nameless);
    EXPECT_EQ(named.TrackName(), nullptr);
    EXPECT_EQ(named.FragmentId(), 8);
}

TEST(AudioSegment, AllocateNameReplacesTheOldName)
{
    AudioSegment s;
    EXPECT_EQ(s.TrackName(), nullptr);
    EXPECT_EQ(s.FragmentId(), -1);
    TrackNameUnit* first = s.AllocateName(3);
    ASSERT_NE(first, nullptr);
    first[0] = 'a';
    first[1] = 0;
    TrackNameUnit* second = s.AllocateName(0);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(s.TrackName(), second);
    s.FreeName();
    EXPECT_EQ(s.TrackName(), nullptr);
}

TEST(AudioSegment, TrackNamesCompareExactly)
{
    FragmentSegment a(Row(u"hd06.wav", true), 0);
    FragmentSegment b(Row(u"hd06.WAV", true), 0);
    FragmentSegment c(Row(u"hd06.wav", true), 1);
    EXPECT_FALSE(SameTrackName(a.TrackName(), b.TrackName()));
    EXPECT_TRUE(SameTrackName(a.TrackName(), c.TrackName()));
    EXPECT_FALSE(SameTrackName(a.TrackName(), nullptr));
}

} // namespace
