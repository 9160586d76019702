#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LayerHost.h"
#include "view/BalloonLayer.h"

namespace {

const COLORREF Fill = RGB(255, 255, 223);

std::vector<BalloonChar> Text(const char* s)
{
    std::vector<BalloonChar> t;
    for (; *s != 0; ++s)
        t.push_back(static_cast<BalloonChar>(*s));
    t.push_back(0);
    return t;
}

// Width of the text's widest line in the balloon font, as the wrap measures
// (an ampersand counted as text unless the system's prefix rule is asked for).
int32_t Measure(LayerHost& host, const BalloonChar* s, int n, int32_t* height = nullptr, UINT prefix = DT_NOPREFIX)
{
    HGDIOBJ old = SelectObject(host.Hdc(), Balloon::BalloonFont());
    RECT r{0, 0, 0, 0};
#ifdef UNICODE
    DrawTextW(host.Hdc(), s, n, &r, DT_CALCRECT | prefix);
#else
    DrawTextA(host.Hdc(), s, n, &r, DT_CALCRECT | prefix);
#endif
    SelectObject(host.Hdc(), old);
    if (height != nullptr)
        *height = r.bottom - r.top;
    return r.right - r.left;
}

std::vector<std::vector<BalloonChar>> Lines(const BalloonChar* s)
{
    std::vector<std::vector<BalloonChar>> lines(1);
    for (; *s != 0; ++s) {
        if (*s == '\n')
            lines.emplace_back();
        else
            lines.back().push_back(*s);
    }
    return lines;
}

class BalloonTest : public ::testing::Test {
protected:
    BalloonTest() : host(800, 600), layer(&host) {}
    LayerHost host;
    BalloonLayer layer;
};

TEST_F(BalloonTest, RingHandsOutTwentySlotsThenStartsAgain)
{
    const auto text = Text("ring");
    for (uint32_t i = 0; i < 45; ++i)
        EXPECT_EQ(layer.ShowBalloon(Point(10, 10), Point(10, 30), text.data(), 400, 0), i % 20) << i;
    // Every slot is now showing; hiding one twice changes nothing more.
    layer.HideBalloon(3);
    EXPECT_EQ(layer.BalloonAt(3).visible, 0);
    EXPECT_EQ(layer.BalloonAt(3).Text(), nullptr);
    layer.HideBalloon(3);
    EXPECT_EQ(layer.BalloonAt(3).visible, 0);
    EXPECT_EQ(layer.BalloonAt(4).visible, 1);
    layer.HideBalloon(57); // the default balloon; the ring is untouched
    EXPECT_EQ(layer.BalloonAt(4).visible, 1);
}

TEST_F(BalloonTest, EmptyTextOpensNoBalloon)
{
    const auto empty = Text("");
    const uint32_t i = layer.ShowBalloon(Point(100, 100), Point(100, 130), empty.data(), 400, 0);
    EXPECT_EQ(layer.BalloonAt(i).visible, 0);
    layer.Draw(host.Hdc());
    EXPECT_EQ(host.CountPixels(Fill, 0, 0, 800, 600), 0);
}

TEST_F(BalloonTest, WrapBreaksAtTheBlankBeforeTheWordThatOverflows)
{
    const char* texts[] = {
        "the quick brown fox jumps over the lazy dog and runs far away into the hills",
        "a b c d e f g h i j k l m n o p q r s t u v w x y z a b c d e f g h i j k",
        "Extraordinarily",
        "short",
    };
    for (int32_t limit : {60, 120, 200}) {
        for (const char* s : texts) {
            const auto source = Text(s);
            const uint32_t i = layer.ShowBalloon(Point(100, 100), Point(100, 130), source.data(), limit, 0);
            const Balloon& b = layer.BalloonAt(i);
            const BalloonChar* wrapped = b.Text();
            ASSERT_NE(wrapped, nullptr);
            // Only blanks became line feeds; everything else is unchanged.
            for (size_t k = 0; k + 1 < source.size(); ++k) {
                if (wrapped[k] != source[k]) {
                    EXPECT_EQ(source[k], ' ') << s << " at " << k;
                    EXPECT_EQ(wrapped[k], '\n') << s << " at " << k;
                }
            }
            // Each line fits, unless it is a single word too wide for any line.
            const auto lines = Lines(wrapped);
            int32_t widest = 0;
            for (size_t l = 0; l < lines.size(); ++l) {
                const auto& line = lines[l];
                const int32_t w = Measure(host, line.data(), static_cast<int>(line.size()));
                widest = std::max(widest, w);
                bool oneWord = true;
                for (BalloonChar c : line)
                    oneWord = oneWord && c != ' ';
                // The wrap's last measure leaves the text's last unit out, so
                // the last line may pass the limit by that one character.
                const size_t checked = l + 1 == lines.size() ? line.size() - 1 : line.size();
                if (!oneWord) {
                    EXPECT_LE(Measure(host, line.data(), static_cast<int>(checked)), limit) << s << " limit " << limit;
                }
            }
            int32_t lineHeight = 0;
            Measure(host, source.data(), 1, &lineHeight);
            EXPECT_EQ(b.textWidth, widest) << s;
            EXPECT_EQ(b.textHeight, lineHeight * static_cast<int32_t>(lines.size())) << s;
        }
    }
}

TEST_F(BalloonTest, GreedyWrapFillsEachLine)
{
    const auto source = Text("aa bb cc dd ee ff gg hh ii jj kk ll mm nn oo pp");
    const int32_t limit = Measure(host, source.data(), 8); // exactly "aa bb cc"
    const uint32_t i = layer.ShowBalloon(Point(100, 100), Point(100, 130), source.data(), limit, 0);
    const auto lines = Lines(layer.BalloonAt(i).Text());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::basic_string<BalloonChar>(lines[0].begin(), lines[0].end()),
              std::basic_string<BalloonChar>(source.begin(), source.begin() + 8));
}

TEST_F(BalloonTest, TooWideFirstWordKeepsItsFirstLetter)
{
    auto source = Text("Unbelievably tiny");
    const uint32_t i = layer.ShowBalloon(Point(100, 100), Point(100, 130), source.data(), 10, 0);
    source.assign(source.size(), 'x'); // the balloon keeps its own copy
    const BalloonChar* wrapped = layer.BalloonAt(i).Text();
    EXPECT_EQ(wrapped[0], 'U');
    EXPECT_EQ(wrapped[12], '\n');
    const auto alone = Text("Unbelievably");
    const uint32_t j = layer.ShowBalloon(Point(100, 100), Point(100, 130), alone.data(), 10, 0);
    EXPECT_EQ(layer.BalloonAt(j).Text()[0], 'U');
}

TEST_F(BalloonTest, SideFollowsTheRoomAroundTheAnchor)
{
    // Client 800 x 600: halves at 400 and 300.
    const struct {
        const char* name;
        int32_t shift;
        Point top;
        Point bottom;
        Point tip;
        int32_t dx;
        int32_t dy;
    } cases[] = {
        {"upper half, left", 0, Point(100, 200), Point(120, 230), Point(120, 230), 70, 50},
        {"exactly half way down opens downwards", 0, Point(100, 300), Point(120, 330), Point(120, 330), 70, 50},
        {"lower half opens upwards", 0, Point(100, 301), Point(120, 331), Point(100, 301), 70, -50},
        {"tip exactly at half width goes right", 0, Point(10, 100), Point(400, 130), Point(400, 130), 70, 50},
        {"tip right of the middle goes left", 0, Point(10, 100), Point(401, 130), Point(401, 130), -70, 50},
        {"shift takes the anchor up", 1000, Point(600, 1350), Point(600, 1380), Point(600, 350), -70, -50},
        {"shifted into the upper half", 1000, Point(600, 1250), Point(600, 1280), Point(600, 280), -70, 50},
    };
    const auto text = Text("side");
    for (const auto& c : cases) {
        host.SetShift(c.shift);
        const uint32_t i = layer.ShowBalloon(c.top, c.bottom, text.data(), 400, 0);
        Balloon& b = layer.BalloonAt(i);
        Point tip;
        int32_t dx = 0;
        int32_t dy = 0;
        b.ChooseSide(tip, dx, dy);
        EXPECT_EQ(tip.x, c.tip.x) << c.name;
        EXPECT_EQ(tip.y, c.tip.y) << c.name;
        EXPECT_EQ(dx, c.dx) << c.name;
        EXPECT_EQ(dy, c.dy) << c.name;
        EXPECT_EQ(b.outline[0].x, c.tip.x) << c.name;
        EXPECT_EQ(b.outline[0].y, c.tip.y) << c.name;
        EXPECT_EQ(b.outline[1].y, c.tip.y + c.dy) << c.name;
    }
}

TEST(BalloonShapeTest, SevenPointOutlineAndTextRectangle)
{
    const struct {
        const char* name;
        int32_t dx, dy;
        Point tip;
        int32_t w, h;
        std::vector<Point> outline;
        RECT text;
    } cases[] = {
        {"down and right",
         70, 50, Point(100, 100), 41, 20,
         {Point(100, 100), Point(176, 150), Point(196, 150), Point(196, 176), Point(144, 176), Point(144, 150),
          Point(164, 150)},
         {147, 153, 193, 173}},
        {"up and left",
         -70, -50, Point(500, 400), 100, 30,
         {Point(500, 400), Point(436, 350), Point(486, 350), Point(486, 314), Point(374, 314), Point(374, 350),
          Point(424, 350)},
         {377, 317, 483, 347}},
    };
    for (const auto& c : cases) {
        Balloon b;
        b.BuildShape(c.dx, c.dy, c.tip, c.w, c.h);
        for (int k = 0; k < 7; ++k) {
            EXPECT_EQ(b.outline[k].x, c.outline[k].x) << c.name << " P" << k;
            EXPECT_EQ(b.outline[k].y, c.outline[k].y) << c.name << " P" << k;
        }
        EXPECT_EQ(b.textRect.left, c.text.left) << c.name;
        EXPECT_EQ(b.textRect.top, c.text.top) << c.name;
        EXPECT_EQ(b.textRect.right, c.text.right) << c.name;
        EXPECT_EQ(b.textRect.bottom, c.text.bottom) << c.name;
        EXPECT_EQ(b.textRect.bottom - b.textRect.top, c.h) << c.name;
    }
}

TEST_F(BalloonTest, RightToLeftTextIsAlignedRightInTheWideBuildOnly)
{
    const struct {
        BalloonChar second;
        bool right;
    } cases[] = {
        {static_cast<BalloonChar>(0x05B0), false}, {static_cast<BalloonChar>(0x05B1), true},
        {static_cast<BalloonChar>(0x05D0), true},  {static_cast<BalloonChar>(0x0627), true},
        {static_cast<BalloonChar>(0x06FC), true},  {static_cast<BalloonChar>(0x06FD), false},
        {static_cast<BalloonChar>('b'), false},
    };
    for (const auto& c : cases) {
        const BalloonChar text[] = {'a', c.second, 'c', 0};
        const uint32_t i = layer.ShowBalloon(Point(100, 100), Point(100, 130), text, 400, 0);
#ifdef UNICODE
        EXPECT_EQ(layer.BalloonAt(i).AlignsRight(), c.right) << static_cast<int>(c.second);
#else
        EXPECT_FALSE(layer.BalloonAt(i).AlignsRight()) << static_cast<int>(c.second);
#endif
    }
    const BalloonChar single[] = {static_cast<BalloonChar>(0x05D0), 0};
    const uint32_t i = layer.ShowBalloon(Point(100, 100), Point(100, 130), single, 400, 0);
    EXPECT_FALSE(layer.BalloonAt(i).AlignsRight());
}

TEST_F(BalloonTest, PaintsTheFilledBubbleWithItsTextAndFollowsTheShift)
{
    const auto text = Text("Hello balloon");
    const uint32_t i = layer.ShowBalloon(Point(200, 100), Point(200, 130), text.data(), 400, 0);
    layer.Draw(host.Hdc());
    const Balloon& b = layer.BalloonAt(i);
    // Opens downwards from (200, 130), body right of the tip.
    EXPECT_EQ(b.outline[1].y, 180);
    const RECT t = b.textRect;
    const int32_t fill = host.CountPixels(Fill, t.left - 2, t.top - 2, t.right + 2, t.bottom + 2);
    const int32_t area = (t.right - t.left + 4) * (t.bottom - t.top + 4);
    EXPECT_GT(fill, area / 2);
    EXPECT_LT(fill, area) << "the text leaves ink in the bubble";
    EXPECT_GT(host.CountPixels(RGB(0, 0, 0), b.outline[4].x, b.outline[1].y, b.outline[3].x + 1, b.outline[1].y + 1),
              10)
        << "black border along the near edge";
    EXPECT_EQ(host.CountPixels(Fill, 0, 0, 800, 130), 0) << "nothing above the pointer's tip";

    // Scrolled so that the anchor lies in the lower half: the balloon flips
    // above its upper anchor at the next paint.
    host.Clear(RGB(255, 255, 255));
    host.SetShift(-300);
    layer.Draw(host.Hdc());
    EXPECT_EQ(b.outline[0].y, 400);
    EXPECT_EQ(b.outline[1].y, 350);
    EXPECT_EQ(host.CountPixels(Fill, 0, 401, 800, 600), 0) << "nothing below the pointer's tip";
    EXPECT_GT(host.CountPixels(Fill, 0, 0, 800, 350), 100);

    layer.HideBalloon(i);
    host.Clear(RGB(255, 255, 255));
    layer.Draw(host.Hdc());
    EXPECT_EQ(host.CountPixels(Fill, 0, 0, 800, 600), 0);
}

TEST_F(BalloonTest, AmpersandsAreTextNotMnemonicPrefixes)
{
    const auto text = Text("R&D && Sons");
    const int n = static_cast<int>(text.size()) - 1;
    const Balloon& b = layer.BalloonAt(layer.ShowBalloon(Point(100, 100), Point(100, 130), text.data(), 400, 0));
    EXPECT_EQ(b.textWidth, Measure(host, text.data(), n));
    EXPECT_GT(b.textWidth, Measure(host, text.data(), n, nullptr, 0));
}

} // namespace
