#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
class TraceStream;
#endif

struct Point {
    int32_t x;
    int32_t y;

    Point() { Clear(); }
    Point(int32_t px, int32_t py) : x(px), y(py) {}
    Point& Clear()
    {
        x = y = 0;
        return *this;
    }
    void Assign(const Point& other)
    {
        x = other.x;
        y = other.y;
    }
    void Offset(int32_t dx, int32_t dy)
    {
        x += dx;
        y += dy;
    }
};

// Origin and size; the far edges are computed. Sizes may be negative.
struct Rect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;

    Rect() : x(0), y(0), width(0), height(0) {}
    Rect(int32_t px, int32_t py, int32_t w, int32_t h) : x(px), y(py), width(w), height(h) {}

    int32_t Left() const { return x; }
    int32_t Top() const { return y; }
    int32_t Width() const { return width; }
    int32_t Height() const { return height; }
    int32_t Right() const { return x + width; }
    int32_t Bottom() const { return y + height; }
    Point TopLeft() const { return Point(x, y); }
    Point TopRight() const { return Point(x + width, y); }
    Point BottomLeft() const { return Point(x, y + height); }
    Point BottomRight() const { return Point(x + width, y + height); }

    void SetOrigin(int32_t px, int32_t py)
    {
        x = px;
        y = py;
    }
    void SetCorner(const Point& corner) { SetCorner(corner.x, corner.y); }
    void SetCorner(int32_t right, int32_t bottom)
    {
        width = right - x;
        height = bottom - y;
    }
    void SetWidth(int32_t w) { width = w; }
    void SetHeight(int32_t h) { height = h; }
    void ExtendUp(int32_t d)
    {
        height += d;
        y -= d;
    }
    void GrowWidth(int32_t d) { width += d; }

    // All four edges belong to the rectangle.
    bool Contains(const Point& p) const
    {
        if (x > p.x)
            return false;
        if (x + width < p.x)
            return false;
        if (y > p.y)
            return false;
        if (y + height < p.y)
            return false;
        return true;
    }

#ifdef _WIN32
    static void ToRECT(const Rect& r, RECT& out)
    {
        out.left = r.x;
        out.top = r.y;
        out.right = r.x + r.width;
        out.bottom = r.y + r.height;
    }
    static void FromRECT(const RECT& in, Rect& out)
    {
        out.x = in.left;
        out.y = in.top;
        out.width = in.right - in.left;
        out.height = in.bottom - in.top;
    }
    // Document rectangle to client coordinates when d is the vertical shift.
    static void ShiftRECTUp(RECT& r, int32_t d)
    {
        r.top -= d;
        r.bottom -= d;
    }
#endif
};

#ifdef _WIN32
TraceStream& WriteRect(TraceStream& stream, const RECT& r);
#endif

struct ColorRGB {
    int32_t red;
    int32_t green;
    int32_t blue;

    ColorRGB() { Clear(); }
    ColorRGB(int32_t r, int32_t g, int32_t b) : red(r), green(g), blue(b) {}
    ColorRGB& Clear()
    {
        red = green = blue = 0;
        return *this;
    }
    // Windows colour value: red in the low byte, each component's low 8 bits.
    uint32_t ToColorRef() const
    {
        return (static_cast<uint32_t>(red) & 0xFF) | ((static_cast<uint32_t>(green) & 0xFF) << 8) |
               ((static_cast<uint32_t>(blue) & 0xFF) << 16);
    }
};
