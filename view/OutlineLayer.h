#pragma once

#include <cstdint>

#include "core/BoundedArray.h"
#include "core/Geometry.h"
#include "view/DrawLayer.h"
#include "core/WinHandles.h"

class TextRegion;

// One dotted line between two points in document pixels; drawn only while
// visible, with the owner's shift taken off at drawing time so it follows
// the text when the view scrolls.
class OutlineSegment {
public:
    OutlineSegment();
    ~OutlineSegment() {}

    OutlineSegment(const OutlineSegment&) = delete;
    OutlineSegment& operator=(const OutlineSegment&) = delete;

    void Set(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY);
    void Clear() { visible = 0; }
    void SetOwner(WindowBase* window) { owner = window; }
    void Draw(HDC dc) const;

    Point from;
    Point to;
    GdiObject<HPEN> pen; // made once per segment, released with it
    uint8_t visible;
    WindowBase* owner;
};

// A fixed set of segments that a list of points turns into a closed chain.
class OutlineLayer : public DrawLayer {
public:
    explicit OutlineLayer(WindowBase* ownerWindow);
    ~OutlineLayer() override;

    void ScrolledUp(int) override {}
    void ScrolledDown(int) override {}
    void Draw(HDC dc) override;

    void AllocateSegments(uint32_t n);
    void SetPolygon(const BoundedArray<Point>& points);
    void ClearSegments();

    BoundedArray<OutlineSegment> segments;
    WindowBase* segmentOwner;
};

// The dotted outline around the clicked translated piece, and the points on
// it that a balloon may point at.
class HighlightLayer : public OutlineLayer {
public:
    explicit HighlightLayer(WindowBase* ownerWindow);
    ~HighlightLayer() override;

    // Four points for one rectangle, eight for two or three; a region with
    // any other number of rectangles leaves the outline as it was.
    void OutlineRegion(const TextRegion& region);
    const BoundedArray<Point>& OutlinePoints() const { return points; }

    void OutlineOneRect(const TextRegion& region);
    void OutlineTwoRects(const TextRegion& region);
    void OutlineThreeRects(const TextRegion& region);

    // Anchors of a 4- or 8-point outline; any other list leaves top and bottom
    // as they were.
    static void BalloonAnchors(const BoundedArray<Point>& outline, Point& top, Point& bottom);
    static void AnchorsOfFourPoints(const BoundedArray<Point>& outline, Point& top, Point& bottom);
    static void AnchorsOfEightPoints(const BoundedArray<Point>& outline, Point& top, Point& bottom);

    BoundedArray<Point> points;
};
