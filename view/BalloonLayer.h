#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "core/BoundedArray.h"
#include "core/Geometry.h"
#include "view/DrawLayer.h"

// Text as the balloons draw it: UTF-16 in the wide-character build, 8-bit
// characters of code page 1251 or 1252 in the 8-bit build.
#ifdef UNICODE
using BalloonChar = wchar_t;
#else
using BalloonChar = char;
#endif

// A speech bubble holding one translation, its pointer touching the piece it
// translates. Anchors are kept with document y, so the balloon follows the
// text and flips sides as the view scrolls.
class Balloon {
public:
    static constexpr int32_t DefaultMaxWidth = 200;
    static constexpr int32_t CyrillicCharset = 204;
    static constexpr COLORREF FillColor = RGB(255, 255, 223);

    Balloon();
    virtual ~Balloon();

    Balloon(const Balloon&) = delete;
    Balloon& operator=(const Balloon&) = delete;

    void SetOwner(WindowBase* window) { owner = window; }
    void Show(const Point& top, const Point& bottom, const BalloonChar* source, int32_t widthLimit,
              int32_t charsetCode);
    void Hide();
    // Lays the balloon out for the current shift and client size and draws
    // it, if it is visible.
    void Paint(HDC dc);
    void Layout();

    // Turns the blank before each word that would pass maxWidth into a line
    // feed (in place, the length unchanged) and returns the bounding
    // rectangle of the wrapped text.
    RECT WrapText(BalloonChar* buffer);
    void ChooseSide(Point& tip, int32_t& dx, int32_t& dy) const;
    void BuildShape(int32_t dx, int32_t dy, const Point& tip, int32_t width, int32_t height);

    // Whether Paint aligns the text right (Hebrew and Arabic, wide build only).
    bool AlignsRight() const;
    const BalloonChar* Text() const { return text.get(); }

    // The fonts every balloon of the process shares; made by the first
    // balloon and kept until the process ends.
    static HFONT BalloonFont();
    static HFONT CyrillicBalloonFont();

    uint8_t visible;
    Point anchorTop;    // x in client pixels, y in document pixels
    Point anchorBottom; // same units
    int32_t textWidth;
    int32_t textHeight;
    std::unique_ptr<BalloonChar[]> text; // own copy, wrapped; null when hidden
    int32_t maxWidth;
    Point outline[7]; // client pixels
    RECT textRect;    // client pixels
    int32_t charset;
    WindowBase* owner;

private:
    HFONT FontForText() const;
    HDC MeasuringDC() const;
};

// The top layer: a ring of 20 balloons, each show taking the next slot.
class BalloonLayer : public DrawLayer {
public:
    static constexpr uint32_t RingSize = 20;

    explicit BalloonLayer(WindowBase* ownerWindow);
    ~BalloonLayer() override;

    void ScrolledUp(int) override {}
    void ScrolledDown(int) override {}
    void Draw(HDC dc) override;

    // Returns the ring index used, for HideBalloon.
    uint32_t ShowBalloon(const Point& top, const Point& bottom, const BalloonChar* source, int32_t widthLimit,
                         int32_t charsetCode);
    void HideBalloon(uint32_t index);
    uint32_t NextIndex();

    Balloon& BalloonAt(uint32_t index) { return balloons.At(index); }

    BoundedArray<Balloon> balloons;
    uint32_t ringIndex;
};

class BookBalloonLayer : public BalloonLayer {
public:
    explicit BookBalloonLayer(WindowBase* ownerWindow) : BalloonLayer(ownerWindow) {}
};
