#include <gtest/gtest.h>

#include <string>

#include "CellGrid.h"
#include "LayerHost.h"
#include "view/TextLayer.h"

namespace {

const ColorRGB Black(0, 0, 0);
const ColorRGB Green(0, 159, 0);
const COLORREF GreenRef = RGB(0, 159, 0);
const COLORREF BlackRef = RGB(0, 0, 0);

bool SameRECT(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

// Lines of two words (3 and 4 letters: 9 cells) with tops 10, 43, 76, 109,
// 142 in a client area 100 pixels high.
class GridLayer : public ::testing::Test {
protected:
    GridLayer() : host(400, 100), layer(&host)
    {
        FillGrid(layer, {{10, {3, 4}}, {43, {3, 4}}, {76, {3, 4}}, {109, {3, 4}}, {142, {3, 4}}});
        ShowWindow(host.Hwnd(), SW_SHOWNOACTIVATE);
        host.TakeUpdateRect();
    }

    LayerHost host;
    TextLayer layer;
};

TEST_F(GridLayer, VisibleCellsAreWholeLinesBelowTheShift)
{
    const struct {
        int32_t shift;
        uint32_t first;
        uint32_t last;
        int32_t height = 100;
    } cases[] = {
        {0, 0, 26},   // lines at 10, 43, 76; the one at 109 would end at 131
        {10, 0, 26},  // a line whose top is the shift is drawn
        {11, 9, 35},  // one pixel above the shift: not drawn
        {43, 9, 35},  // the window reaches 143; the line at 142 would end at 164
        {109, 27, 44},
        {142, 36, 44},
        {143, 45, 44},   // past every line
        {10, 0, 26, 88}, // the line at 76 ends at 98, the window's bottom: drawn
        {10, 0, 17, 87}, // the same line ends a pixel below the window: not drawn
    };
    for (const auto& c : cases) {
        SetWindowPos(host.Hwnd(), nullptr, 0, 0, 400, c.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        host.RefreshClientRect();
        host.SetShift(c.shift);
        layer.ComputeVisible(0);
        EXPECT_EQ(layer.FirstVisible(), c.first) << c.shift << " " << c.height;
        EXPECT_EQ(layer.LastVisible(), c.last) << c.shift << " " << c.height;
    }
}

TEST_F(GridLayer, ScrollingDownSearchesOnAndScrollingUpStartsAgain)
{
    host.SetShift(76);
    layer.ScrolledDown(76);
    EXPECT_EQ(layer.FirstVisible(), 18u);
    host.SetShift(20);
    layer.ScrolledDown(0); // continues from cell 18: the earlier lines are not looked at
    EXPECT_EQ(layer.FirstVisible(), 18u);
    layer.ScrolledUp(56);
    EXPECT_EQ(layer.FirstVisible(), 9u);
}

TEST_F(GridLayer, RecolorInvalidatesTheRangeOnItsLastLine)
{
    const struct {
        const char* name;
        int32_t shift;
        uint32_t a;
        uint32_t b;
        RECT expected;
    } cases[] = {
        {"one cell", 0, 1, 1, {70, 10, 80, 32}},
        {"one cell, shifted", 30, 10, 10, {70, 13, 80, 35}},
        {"a word", 0, 4, 7, {100, 10, 140, 32}},
        // Cells 5 to 22 run over three lines: only the part on the third line,
        // cells 18 to 22, is invalidated.
        {"three lines", 0, 5, 22, {60, 76, 110, 98}},
    };
    for (const auto& c : cases) {
        host.SetShift(c.shift);
        layer.Recolor(Green, c.a, c.b);
        const RECT pending = host.TakeUpdateRect();
        EXPECT_TRUE(SameRECT(pending, c.expected)) << c.name << " " << Describe(pending);
        for (uint32_t i = c.a; i <= c.b; ++i)
            EXPECT_EQ(layer.CellAt(i).Color().green, 159) << c.name << " cell " << i;
        EXPECT_EQ(layer.CellAt(c.b + 1).Color().green, 0) << c.name;
        layer.Recolor(Black, 0, layer.CellCount() - 1);
        host.TakeUpdateRect();
    }
}

TEST_F(GridLayer, RecolorOfAWildRangeEndsAndTouchesOnlyTheDefaultCellBeyond)
{
    layer.Recolor(Green, 40, 0xFFFFFFFFu);
    EXPECT_EQ(layer.CellAt(44).Color().green, 159);
    EXPECT_EQ(layer.CellAt(45).Color().green, 159); // the default cell
    EXPECT_EQ(layer.CellAt(39).Color().green, 0);
}

TEST_F(GridLayer, CountLinesDocumentHeightAndScrollToCell)
{
    const struct {
        uint32_t a;
        uint32_t b;
        int32_t lines;
    } cases[] = {{0, 8, 1}, {0, 9, 2}, {5, 30, 4}, {0, 44, 5}, {9, 3, 1}, {44, 44, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(layer.CountLinesBetween(c.a, c.b), c.lines) << c.a << ".." << c.b;

    EXPECT_EQ(layer.DocumentHeight(), 142);
    layer.UpdateDocumentHeight();
    EXPECT_EQ(host.MaxShift(), 142);

    host.SetShift(99);
    layer.ScrollToCell(0, 26);
    EXPECT_EQ(host.Shift(), 0);
    layer.ScrollToCell(20, 40);
    EXPECT_EQ(host.Shift(), 76);
    EXPECT_EQ(layer.FirstVisible(), 20u);
    EXPECT_EQ(layer.LastVisible(), 40u);
}

TEST(TextLayerTest, EmptyLayerDrawsNothingAndHasDefaultHeight)
{
    LayerHost host(200, 100);
    TextLayer layer(&host);
    EXPECT_EQ(layer.DocumentHeight(), 0);
    layer.Draw(host.Hdc());
    EXPECT_EQ(host.CountPixels(RGB(255, 255, 255), 0, 0, 200, 100), 200 * 100);
}

// Lays a text out on one line with the font's own widths, as the layout does.
void LayOut(LayerHost& host, TextLayer& layer, const char16_t* text, int32_t x, int32_t y)
{
    uint32_t n = 0;
    while (text[n] != 0)
        ++n;
    layer.SetCellCount(n);
    const int32_t h = host.LineHeight(0);
    for (uint32_t i = 0; i < n; ++i) {
        const int32_t w = host.CharWidth(text[i], 0);
        layer.SetCell(i, CharCell(text[i], x, y, w, h, text[i] == u' ' ? 0 : 1));
        x += w;
    }
}

int32_t InkOf(LayerHost& host, const TextLayer& layer, uint32_t first, uint32_t last, COLORREF color)
{
    const CharCell& a = layer.CellAt(first);
    const CharCell& b = layer.CellAt(last);
    return host.CountPixels(color, a.Left(), a.Top() - host.Shift(), b.Right(), b.Bottom() - host.Shift());
}

TEST(TextLayerTest, EachWordTakesTheColourOfItsFirstCell)
{
    LayerHost host(600, 120);
    TextLayer layer(&host);
    // 0..4 "Mmmm " | 5..10 "WWWWW " | 11..16 "Hh-Hh " | 17..22 "Mo'Mm " | 23..25 "NNN"
    LayOut(host, layer, u"Mmmm WWWWW Hh-Hh Mo'Mm NNN", 10, 30);
    layer.Recolor(Green, 5, 5);   // first letter of the second word only
    layer.Recolor(Green, 12, 20); // from the second letter of "Hh-Hh" into "Mo'Mm"
    layer.Recolor(Green, 24, 25); // all but the first letter of the last word
    layer.Draw(host.Hdc());

    // The whole second word is green, although only its first cell is.
    EXPECT_GT(InkOf(host, layer, 5, 9, GreenRef), 40);
    EXPECT_EQ(InkOf(host, layer, 5, 9, BlackRef), 0);
    // The first word stays black.
    EXPECT_GT(InkOf(host, layer, 0, 3, BlackRef), 40);
    EXPECT_EQ(InkOf(host, layer, 0, 3, GreenRef), 0);
    // "Hh" before the hyphen takes its first letter's black; the hyphen and
    // "Hh" after it are tokens of their own, in their own green.
    EXPECT_EQ(InkOf(host, layer, 11, 12, GreenRef), 0);
    EXPECT_GT(InkOf(host, layer, 13, 13, GreenRef), 0);
    EXPECT_GT(InkOf(host, layer, 14, 15, GreenRef), 20);
    EXPECT_EQ(InkOf(host, layer, 14, 15, BlackRef), 0);
    // "Mo'Mm" is one token: green throughout, as its first letter is.
    EXPECT_GT(InkOf(host, layer, 17, 21, GreenRef), 40);
    EXPECT_EQ(InkOf(host, layer, 17, 21, BlackRef), 0);
    // A fragment that starts at the second letter leaves the word black.
    EXPECT_GT(InkOf(host, layer, 23, 25, BlackRef), 30);
    EXPECT_EQ(InkOf(host, layer, 23, 25, GreenRef), 0);
}

TEST(TextLayerTest, DrawsAtTheShiftAndSkipsLinesThatDoNotFit)
{
    LayerHost host(300, 60);
    TextLayer layer(&host);
    LayOut(host, layer, u"MMM", 10, 100);
    host.SetShift(90); // line from 10 to 10 + line height in the client area
    layer.Draw(host.Hdc());
    EXPECT_GT(host.CountPixels(BlackRef, 10, 10, 100, 10 + host.LineHeight(0)), 40);
    EXPECT_EQ(host.CountPixels(BlackRef, 0, 10 + host.LineHeight(0), 300, 60), 0);

    host.Clear(RGB(255, 255, 255));
    host.SetShift(101); // the line's top is above the shift
    layer.ScrolledDown(11);
    layer.Draw(host.Hdc());
    EXPECT_EQ(host.CountPixels(BlackRef, 0, 0, 300, 60), 0);
}

TEST(TextLayerTest, ClientLowerThanALineDrawsNothingAndReturns)
{
    LayerHost host(300, 10);
    TextLayer layer(&host);
    LayOut(host, layer, u"MMM MMM", 10, 0);
    layer.Draw(host.Hdc());
    EXPECT_EQ(host.CountPixels(BlackRef, 0, 0, 300, 10), 0);
}

TEST(TextLayerTest, OverlongRunIsDrawnInPieces)
{
    LayerHost host(300, 120);
    TextLayer layer(&host);
    const uint32_t n = 300;
    layer.SetCellCount(n);
    const int32_t h = host.LineHeight(0);
    // The first 255 letters pile up on one line; the rest start again at the
    // left of a second line, so the second piece is drawn where its own
    // first cell lies.
    for (uint32_t i = 0; i < n; ++i) {
        const bool second = i >= TextLayer::TokenCapacity - 1;
        const int32_t x = second ? 10 + static_cast<int32_t>(i - 255) * 12 : 10;
        layer.SetCell(i, CharCell(u'M', x, second ? 40 : 10, 12, h, 1));
    }
    layer.Draw(host.Hdc());
    EXPECT_GT(host.CountPixels(BlackRef, 10, 40, 60, 40 + h), 20);
}

} // namespace
