#include "core/Geometry.h"
#include "core/TraceStream.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Rect, ContainsIsInclusiveOnAllEdges)
{
    const Rect r(10, 20, 30, 40); // right 40, bottom 60
    struct Case {
        int x, y;
        bool inside;
    };
    const Case cases[] = {
        {10, 20, true},  {40, 20, true},  {10, 60, true},  {40, 60, true}, {25, 40, true},
        {9, 20, false},  {41, 20, false}, {10, 19, false}, {10, 61, false}, {41, 61, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(r.Contains(Point(c.x, c.y)), c.inside) << c.x << "," << c.y;

    EXPECT_TRUE(Rect(5, 5, 0, 0).Contains(Point(5, 5)));
    EXPECT_FALSE(Rect(5, 5, 0, 0).Contains(Point(6, 5)));
}

TEST(Rect, NegativeSizeContainsNothing)
{
    Rect r(10, 10, 0, 0);
    r.SetCorner(5, 30); // right of origin is left of it
    EXPECT_EQ(r.Width(), -5);
    EXPECT_EQ(r.Height(), 20);
    for (int x = 0; x <= 15; ++x)
        EXPECT_FALSE(r.Contains(Point(x, 15)));
}

TEST(ColorRGB, LowBytesOfEachComponent)
{
    EXPECT_EQ(ColorRGB().ToColorRef(), 0u);
    EXPECT_EQ(ColorRGB(0, 159, 0).ToColorRef(), 0x009F00u);
    EXPECT_EQ(ColorRGB(1, 2, 3).ToColorRef(), 0x030201u);
    EXPECT_EQ(ColorRGB(256 + 7, 0, 0).ToColorRef(), 7u);
}

std::string LineOf(const TraceStream& s)
{
    std::string out;
    for (uint32_t i = 0; i < s.length; ++i)
        out += static_cast<char>(s.buffer[i]);
    return out;
}

TEST(TraceStream, ComposesNumbersAndTexts)
{
    TraceStream s;
    s.AppendString("File duration ").AppendUnsigned(0).AppendString(":").AppendInt(-5).AppendInt(-2147483647 - 1);
    EXPECT_EQ(LineOf(s), "File duration 0:-5-2147483648");
    EXPECT_EQ(s.buffer[s.length], 0);
    s.AppendUnsigned(4294967295u);
    EXPECT_EQ(LineOf(s), "File duration 0:-5-21474836484294967295");
}

TEST(TraceStream, EndLineStartsAFreshLine)
{
    TraceStream s;
    s.EndLine();
    EXPECT_EQ(s.length, 0u);
    s.AppendString("first").EndLine();
    s.AppendString("second");
    EXPECT_EQ(LineOf(s), "second");
}

TEST(TraceStream, OverlongLineStopsAtBufferEnd)
{
    TraceStream s;
    for (int i = 0; i < 300; ++i)
        s.AppendString("abcd");
    EXPECT_EQ(s.length, TraceStream::Capacity - 2);
    s.EndLine(); // line feed and zero still fit
    EXPECT_EQ(s.length, 0u);
    s.AppendUnsigned(12);
    EXPECT_EQ(LineOf(s), "12");
}

#ifdef _WIN32
TEST(TraceStream, WriteRectOrder)
{
    TraceStream s;
    const RECT r = {10, 20, 30, -40};
    WriteRect(s, r);
    EXPECT_EQ(LineOf(s), "top - 20 left - 10 bottom - -40 right - 30");
}
#endif

} // namespace
