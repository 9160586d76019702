#include "view/OutlineLayer.h"

#include "app/WindowBase.h"
#include "view/TextRegion.h"

namespace {

const COLORREF OutlineColor = RGB(0, 176, 176);

} // namespace

OutlineSegment::OutlineSegment()
    : from(), to(), pen(CreatePen(PS_DOT, 1, OutlineColor)), visible(0), owner(nullptr)
{
}

void OutlineSegment::Set(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY)
{
    from = Point(fromX, fromY);
    to = Point(toX, toY);
    visible = 1;
}

void OutlineSegment::Draw(HDC dc) const
{
    if (visible != 1)
        return;
    const int32_t shift = owner != nullptr ? owner->Shift() : 0;
    ObjectSelection selection(dc, pen.Get());
    MoveToEx(dc, from.x, from.y - shift, nullptr);
    LineTo(dc, to.x, to.y - shift);
}

OutlineLayer::OutlineLayer(WindowBase* ownerWindow) : DrawLayer(ownerWindow), segmentOwner(ownerWindow) {}

OutlineLayer::~OutlineLayer() {}

void OutlineLayer::AllocateSegments(uint32_t n)
{
    segments.SetSize(n);
    for (uint32_t i = 0; i < n; ++i)
        segments.At(i).SetOwner(segmentOwner);
}

void OutlineLayer::SetPolygon(const BoundedArray<Point>& points)
{
    const uint32_t n = points.count;
    if (n == 0)
        return;
    for (uint32_t i = 0; i + 1 < n; ++i) {
        const Point& a = points.At(i);
        const Point& b = points.At(i + 1);
        segments.At(i).Set(a.x, a.y, b.x, b.y);
    }
    const Point& last = points.At(n - 1);
    const Point& first = points.At(0);
    // A chain longer than the segment list spills into the default segment,
    // which is never drawn.
    segments.At(n - 1).Set(last.x, last.y, first.x, first.y);
}

void OutlineLayer::ClearSegments()
{
    for (uint32_t i = 0; i < segments.count; ++i)
        segments.At(i).Clear();
}

void OutlineLayer::Draw(HDC dc)
{
    for (uint32_t i = 0; i < segments.count; ++i)
        segments.At(i).Draw(dc);
}

HighlightLayer::HighlightLayer(WindowBase* ownerWindow) : OutlineLayer(ownerWindow) {}

HighlightLayer::~HighlightLayer()
{
    // The point list goes before the segments, as the members' order says.
}

void HighlightLayer::OutlineRegion(const TextRegion& region)
{
    switch (region.count) {
    case 1:
        OutlineOneRect(region);
        break;
    case 2:
        OutlineTwoRects(region);
        break;
    case 3:
        OutlineThreeRects(region);
        break;
    default:
        break;
    }
}

void HighlightLayer::OutlineOneRect(const TextRegion& region)
{
    const Rect& r0 = region.At(0);
    points.SetSize(4);
    points.At(0) = Point(r0.x - 3, r0.y - 1);
    points.At(1) = Point(r0.Right() + 1, r0.y - 1);
    points.At(2) = Point(r0.Right() + 1, r0.Bottom());
    points.At(3) = Point(r0.x - 3, r0.Bottom());
    SetPolygon(points);
}

void HighlightLayer::OutlineTwoRects(const TextRegion& region)
{
    const Rect& r0 = region.At(0);
    const Rect& r1 = region.At(1);
    // The band joining the two parts runs through the middle third of the
    // space between the lines.
    const int32_t d = (r1.y - r0.Bottom()) / 3;
    points.SetSize(8);
    points.At(0) = Point(r0.x - 3, r0.y - 1);
    points.At(1) = Point(r0.Right() + 2, r0.y - 1);
    points.At(2) = Point(r0.Right() + 2, r1.y - d);
    points.At(3) = Point(r1.Right() + 2, r1.y - d);
    points.At(4) = Point(r1.Right() + 2, r1.Bottom());
    points.At(5) = Point(r1.x - 3, r1.Bottom());
    points.At(6) = Point(r1.x - 3, r0.Bottom() + d);
    points.At(7) = Point(r0.x - 3, r0.Bottom() + d);
    SetPolygon(points);
}

void HighlightLayer::OutlineThreeRects(const TextRegion& region)
{
    const Rect& r0 = region.At(0);
    const Rect& r1 = region.At(1);
    const Rect& r2 = region.At(2);
    points.SetSize(8);
    points.At(0) = Point(r0.x - 3, r0.y - 1);
    points.At(1) = Point(r0.Right() + 2, r0.y - 1);
    if (r0.Right() == r1.Right()) {
        points.At(2) = Point(r1.Right() + 2, r1.Bottom());
        points.At(3) = Point(r2.Right() + 2, r2.y);
    } else {
        points.At(2) = Point(r0.Right() + 2, r0.Bottom());
        points.At(3) = Point(r1.Right() + 2, r1.y);
    }
    points.At(4) = Point(r2.Right() + 2, r2.Bottom());
    points.At(5) = Point(r2.x - 3, r2.Bottom());
    if (r1.x == r2.x) {
        points.At(6) = Point(r1.x - 3, r1.y - 1);
        points.At(7) = Point(r0.x - 3, r0.Bottom() - 1);
    } else {
        points.At(6) = Point(r2.x - 3, r2.y - 1);
        points.At(7) = Point(r1.x - 3, r1.Bottom() - 1);
    }
    SetPolygon(points);
}

void HighlightLayer::BalloonAnchors(const BoundedArray<Point>& outline, Point& top, Point& bottom)
{
    if (outline.count == 4)
        AnchorsOfFourPoints(outline, top, bottom);
    else if (outline.count == 8)
        AnchorsOfEightPoints(outline, top, bottom);
}

void HighlightLayer::AnchorsOfFourPoints(const BoundedArray<Point>& outline, Point& top, Point& bottom)
{
    const Point& p0 = outline.At(0);
    const Point& p1 = outline.At(1);
    const Point& p2 = outline.At(2);
    const int32_t x = p0.x + (p1.x - p0.x) / 2;
    top = Point(x, p0.y);
    bottom = Point(x, p2.y);
}

void HighlightLayer::AnchorsOfEightPoints(const BoundedArray<Point>& outline, Point& top, Point& bottom)
{
    const int32_t a = outline.At(0).x; // left end of the first line's part
    const int32_t r = outline.At(1).x; // right end of the first line's part
    const int32_t l = outline.At(5).x; // left end of the last line's part
    const int32_t b = outline.At(4).x; // right end of the last line's part
    const int32_t quarter = (r - l) / 4;
    const int32_t half = (r - l) / 2;

    if (r - a < quarter)
        top = Point(l + (a - l) / 2, outline.At(7).y);
    else if (r - a > half)
        top = Point(a + (r - a) / 2, outline.At(0).y);
    else
        top = Point(a, outline.At(0).y);

    if (b - l < quarter)
        bottom = Point(b + (r - b) / 2, outline.At(3).y);
    else if (b - l > half)
        bottom = Point(l + (b - l) / 2, outline.At(4).y);
    else
        bottom = Point(b, outline.At(4).y);
}
