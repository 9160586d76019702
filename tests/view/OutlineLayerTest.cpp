#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LayerHost.h"
#include "view/OutlineLayer.h"
#include "view/TextRegion.h"

namespace {

void MakeRegion(TextRegion& region, const std::vector<Rect>& rects)
{
    region.SetSize(static_cast<uint32_t>(rects.size()));
    for (uint32_t i = 0; i < rects.size(); ++i)
        region.At(i) = rects[i];
}

std::string Describe(const BoundedArray<Point>& points)
{
    std::string s;
    for (uint32_t i = 0; i < points.count; ++i)
        s += "(" + std::to_string(points.At(i).x) + "," + std::to_string(points.At(i).y) + ")";
    return s;
}

struct OutlineCase {
    const char* name;
    std::vector<Rect> rects;
    std::vector<Point> points;
    Point top;
    Point bottom;
};

TEST(HighlightLayerTest, OutlinesAndAnchorsOfTheWorkedExamples)
{
    const OutlineCase cases[] = {
        {"one rectangle",
         {Rect(100, 50, 80, 22)},
         {Point(97, 49), Point(181, 49), Point(181, 72), Point(97, 72)},
         Point(139, 49),
         Point(139, 72)},
        {"two rectangles apart",
         {Rect(500, 50, 200, 22), Rect(100, 83, 150, 22)},
         {Point(497, 49), Point(702, 49), Point(702, 80), Point(252, 80), Point(252, 105), Point(97, 105),
          Point(97, 75), Point(497, 75)},
         Point(497, 49),
         Point(252, 105)},
        {"three lines",
         {Rect(500, 50, 400, 33), Rect(60, 83, 840, 22), Rect(60, 105, 240, 33)},
         {Point(497, 49), Point(902, 49), Point(902, 105), Point(302, 105), Point(302, 138), Point(57, 138),
          Point(57, 82), Point(497, 82)},
         Point(497, 49),
         Point(302, 138)},
        {"three lines with narrow ends",
         {Rect(850, 50, 50, 33), Rect(60, 83, 840, 22), Rect(60, 105, 40, 33)},
         {Point(847, 49), Point(902, 49), Point(902, 105), Point(102, 105), Point(102, 138), Point(57, 138),
          Point(57, 82), Point(847, 82)},
         Point(452, 82),
         Point(502, 105)},
        // Two overlapping lines whose middle rectangle shares neither edge:
        // the second choice of both corner pairs.
        {"two lines overlapping",
         {Rect(200, 50, 700, 22), Rect(200, 72, 500, 11), Rect(60, 83, 640, 22)},
         {Point(197, 49), Point(902, 49), Point(902, 72), Point(702, 72), Point(702, 105), Point(57, 105),
          Point(57, 82), Point(197, 82)},
         Point(197 + (902 - 197) / 2, 49),
         Point(57 + (702 - 57) / 2, 105)},
    };
    LayerHost host(200, 100);
    for (const OutlineCase& c : cases) {
        HighlightLayer layer(&host);
        layer.AllocateSegments(8);
        TextRegion region;
        MakeRegion(region, c.rects);
        layer.OutlineRegion(region);
        const BoundedArray<Point>& points = layer.OutlinePoints();
        ASSERT_EQ(points.count, c.points.size()) << c.name;
        for (uint32_t i = 0; i < points.count; ++i) {
            EXPECT_EQ(points.At(i).x, c.points[i].x) << c.name << " p" << i << " " << Describe(points);
            EXPECT_EQ(points.At(i).y, c.points[i].y) << c.name << " p" << i << " " << Describe(points);
        }
        // The segments close the chain through the points.
        for (uint32_t i = 0; i < points.count; ++i) {
            const OutlineSegment& s = layer.segments.At(i);
            const Point& to = points.At((i + 1) % points.count);
            EXPECT_EQ(s.visible, 1) << c.name << " segment " << i;
            EXPECT_EQ(s.from.x, points.At(i).x) << c.name << " segment " << i;
            EXPECT_EQ(s.from.y, points.At(i).y) << c.name << " segment " << i;
            EXPECT_EQ(s.to.x, to.x) << c.name << " segment " << i;
            EXPECT_EQ(s.to.y, to.y) << c.name << " segment " << i;
        }
        Point top;
        Point bottom;
        HighlightLayer::BalloonAnchors(points, top, bottom);
        EXPECT_EQ(top.x, c.top.x) << c.name;
        EXPECT_EQ(top.y, c.top.y) << c.name;
        EXPECT_EQ(bottom.x, c.bottom.x) << c.name;
        EXPECT_EQ(bottom.y, c.bottom.y) << c.name;
    }
}

TEST(HighlightLayerTest, AnchorsNeedFourOrEightPoints)
{
    for (uint32_t n : {0u, 5u, 9u}) {
        BoundedArray<Point> points;
        points.SetSize(n);
        for (uint32_t i = 0; i < n; ++i)
            points.At(i) = Point(static_cast<int32_t>(i) * 10, 5);
        Point top(-7, -8);
        Point bottom(-9, -10);
        HighlightLayer::BalloonAnchors(points, top, bottom);
        EXPECT_EQ(top.x, -7) << n;
        EXPECT_EQ(top.y, -8) << n;
        EXPECT_EQ(bottom.x, -9) << n;
        EXPECT_EQ(bottom.y, -10) << n;
    }
}

TEST(HighlightLayerTest, ShorterOutlineLeavesLaterSegmentsAndClearHidesAll)
{
    LayerHost host(200, 100);
    HighlightLayer layer(&host);
    layer.AllocateSegments(8);
    TextRegion three;
    MakeRegion(three, {Rect(500, 50, 400, 33), Rect(60, 83, 840, 22), Rect(60, 105, 240, 33)});
    layer.OutlineRegion(three);
    TextRegion one;
    MakeRegion(one, {Rect(100, 50, 80, 22)});
    layer.OutlineRegion(one);
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(layer.segments.At(i).visible, 1) << i;
    EXPECT_EQ(layer.segments.At(3).to.x, 97); // closes the new box
    EXPECT_EQ(layer.segments.At(4).from.x, 302); // still the old outline

    // A region without rectangles changes nothing.
    TextRegion none;
    layer.OutlineRegion(none);
    EXPECT_EQ(layer.OutlinePoints().count, 4u);

    layer.ClearSegments();
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(layer.segments.At(i).visible, 0) << i;
    EXPECT_EQ(layer.OutlinePoints().count, 4u);
    EXPECT_EQ(layer.OutlinePoints().At(0).x, 97);
}

TEST(HighlightLayerTest, DrawsDottedCyanOutlineMovedUpByTheShift)
{
    const COLORREF cyan = RGB(0, 176, 176);
    LayerHost host(300, 200);
    HighlightLayer layer(&host);
    layer.AllocateSegments(8);
    TextRegion region;
    MakeRegion(region, {Rect(100, 70, 80, 22)}); // box from (97, 69) to (181, 92)

    layer.Draw(host.Hdc());
    EXPECT_EQ(host.CountPixels(cyan, 0, 0, 300, 200), 0) << "nothing is drawn before an outline";

    layer.OutlineRegion(region);
    host.SetShift(20);
    layer.Draw(host.Hdc());
    // Top edge at y 49, bottom edge at 72: dotted, so roughly every other
    // pixel along the 84-pixel edges.
    const int32_t top = host.CountPixels(cyan, 90, 49, 190, 50);
    const int32_t bottom = host.CountPixels(cyan, 90, 72, 190, 73);
    EXPECT_GT(top, 25);
    EXPECT_LT(top, 80);
    EXPECT_GT(bottom, 25);
    EXPECT_GT(host.CountPixels(cyan, 97, 50, 98, 72), 6); // left edge
    EXPECT_EQ(host.CountPixels(cyan, 0, 73, 300, 200), 0) << "nothing at the unshifted place";
    EXPECT_EQ(host.CountPixels(cyan, 99, 51, 180, 71), 0) << "inside stays clear";

    layer.ClearSegments();
    host.Clear(RGB(255, 255, 255));
    layer.Draw(host.Hdc());
    EXPECT_EQ(host.CountPixels(cyan, 0, 0, 300, 200), 0);
}

} // namespace
