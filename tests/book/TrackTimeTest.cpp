#include <gtest/gtest.h>

#include <string>

#include "book/TrackTime.h"
#include "core/TraceStream.h"

namespace {

struct MillisecondsCase {
    uint32_t ms;
    int32_t hours, minutes, seconds, milliseconds;
};

TEST(TrackTime, FromMillisecondsSplitsAndWrapsHoursAtSixty)
{
    const MillisecondsCase cases[] = {
        {0, 0, 0, 0, 0},
        {5170, 0, 0, 5, 170},
        {3723004, 1, 2, 3, 4},
        {59 * 3600000u + 59 * 60000u + 59 * 1000u + 999u, 59, 59, 59, 999},
        {60 * 3600000u, 0, 0, 0, 0},
        {61 * 3600000u + 1, 1, 0, 0, 1},
        {4294967295u, 53, 2, 47, 295},
    };
    for (const auto& c : cases) {
        TrackTime t(9, 9, 9, 9);
        t.FromMilliseconds(c.ms);
        EXPECT_EQ(t.Hours(), c.hours) << c.ms;
        EXPECT_EQ(t.Minutes(), c.minutes) << c.ms;
        EXPECT_EQ(t.Seconds(), c.seconds) << c.ms;
        EXPECT_EQ(t.Milliseconds(), c.milliseconds) << c.ms;
    }
}

struct FieldsCase {
    int32_t hours, minutes, seconds, milliseconds;
    uint32_t ms;
};

TEST(TrackTime, ToMillisecondsWeighsUnnormalisedFieldsAndWraps)
{
    const FieldsCase cases[] = {
        {0, 0, 5, 170, 5170},
        {0, 0, 75, 0, 75000},
        {1, 2, 3, 4, 3723004},
        {0, 0, 0, 0, 0},
        {0, 0, 0, -1, 4294967295u},
        // 1200 h = 4 320 000 000 ms, 25 032 704 past 2^32.
        {1200, 0, 0, 0, 25032704u},
    };
    for (const auto& c : cases) {
        TrackTime t;
        t.Set(c.hours, c.minutes, c.seconds, c.milliseconds);
        EXPECT_EQ(t.Seconds(), c.seconds) << "fields are kept as given";
        EXPECT_EQ(t.ToMilliseconds(), c.ms) << c.hours << ":" << c.minutes << ":" << c.seconds << ":"
                                            << c.milliseconds;
    }
}

TEST(TrackTime, RoundTripBelowSixtyHours)
{
    for (uint32_t ms : {1u, 999u, 1000u, 59999u, 60000u, 3599999u, 3600000u, 215999999u}) {
        TrackTime t;
        t.FromMilliseconds(ms);
        EXPECT_EQ(t.ToMilliseconds(), ms);
    }
}

std::string Text(const TraceStream& s)
{
    std::string out;
    for (uint32_t i = 0; i < s.length; ++i)
        out += static_cast<char>(s.buffer[i]);
    return out;
}

TEST(TrackTime, WriteTrackTimeAppendsFieldsWithColonsAndNoLineEnd)
{
    TraceStream stream;
    stream.AppendString("at ");
    TraceStream& result = WriteTrackTime(stream, TrackTime(1, 2, 3, 4));
    EXPECT_EQ(&result, &stream);
    EXPECT_EQ(Text(stream), "at 1:2:3:4");
    WriteTrackTime(stream, TrackTime(0, 0, 75, 0));
    EXPECT_EQ(Text(stream), "at 1:2:3:40:0:75:0");
}

} // namespace
