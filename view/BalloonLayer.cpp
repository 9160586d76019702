#include "view/BalloonLayer.h"

#include <new>

#include "app/WindowBase.h"
#include "core/WinHandles.h"

namespace {

// Shared by every balloon of the process: made by the first one, kept until
// the process ends.
GdiObject<HFONT> balloonFont;
GdiObject<HFONT> cyrillicBalloonFont; // used by the 8-bit build only

void MakeSharedFonts()
{
    if (balloonFont.Get() == nullptr) {
        balloonFont.Reset(CreateFontW(18, 0, 0, 0, FW_LIGHT, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0,
                                      FF_ROMAN | DEFAULT_PITCH, L"Tahoma"));
    }
#ifndef UNICODE
    if (cyrillicBalloonFont.Get() == nullptr) {
        cyrillicBalloonFont.Reset(CreateFontA(18, 0, 0, 0, FW_LIGHT, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, 0, 0, 0,
                                              FF_ROMAN | DEFAULT_PITCH, "Tahoma"));
    }
#endif
}

size_t Length(const BalloonChar* s)
{
    size_t n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

int DrawBalloonText(HDC dc, const BalloonChar* s, int count, RECT* rect, UINT format)
{
    // An ampersand in a translation is text: without this the system hides it
    // and underlines the next letter, measuring and drawing alike.
    format |= DT_NOPREFIX;
#ifdef UNICODE
    return DrawTextW(dc, s, count, rect, format);
#else
    return DrawTextA(dc, s, count, rect, format);
#endif
}

} // namespace

HFONT Balloon::BalloonFont()
{
    return balloonFont.Get();
}

HFONT Balloon::CyrillicBalloonFont()
{
    return cyrillicBalloonFont.Get();
}

Balloon::Balloon()
    : visible(0), anchorTop(), anchorBottom(), textWidth(0), textHeight(0), text(), maxWidth(DefaultMaxWidth),
      textRect{0, 0, 0, 0}, charset(0), owner(nullptr)
{
    MakeSharedFonts();
}

Balloon::~Balloon() {}

HFONT Balloon::FontForText() const
{
#ifndef UNICODE
    if (charset == CyrillicCharset)
        return CyrillicBalloonFont();
#endif
    return BalloonFont();
}

HDC Balloon::MeasuringDC() const
{
    return owner != nullptr ? owner->Hdc() : nullptr;
}

void Balloon::Show(const Point& top, const Point& bottom, const BalloonChar* source, int32_t widthLimit,
                   int32_t charsetCode)
{
    maxWidth = widthLimit;
    charset = charsetCode;
    anchorTop = top;
    anchorBottom = bottom;

    text.reset();
    visible = 0;
    // Nothing to say: the balloon stays hidden rather than show an empty
    // bubble.
    if (source == nullptr || source[0] == 0)
        return;
    const size_t n = Length(source);
    text.reset(new (std::nothrow) BalloonChar[n + 1]);
    if (!text)
        return;
    for (size_t i = 0; i <= n; ++i)
        text[i] = source[i];
    visible = 1;

    HDC dc = MeasuringDC();
    if (dc != nullptr)
        SelectObject(dc, FontForText());
    const RECT bounds = WrapText(text.get());
    textWidth = bounds.right - bounds.left;
    textHeight = bounds.bottom - bounds.top;
    Layout();
}

void Balloon::Hide()
{
    visible = 0;
    text.reset();
}

RECT Balloon::WrapText(BalloonChar* buffer)
{
    HDC dc = MeasuringDC();
    ObjectSelection font(dc, FontForText());
    auto measure = [&](size_t units) {
        RECT r{0, 0, 0, 0};
        if (dc != nullptr)
            DrawBalloonText(dc, buffer, static_cast<int>(units), &r, DT_CALCRECT);
        return r;
    };

    const size_t n = Length(buffer);
    size_t breakAt = 0;
    for (size_t i = 0; i < n; ++i) {
        if (buffer[i] != ' ' && i != n - 1)
            continue;
        const RECT r = measure(i);
        // Only a blank becomes a line feed: when the first word alone is too
        // wide there is no earlier place to break, and turning its first
        // letter into a line feed would lose that letter.
        if (r.right - r.left > maxWidth && buffer[breakAt] == ' ')
            buffer[breakAt] = '\n';
        breakAt = i;
    }
    return measure(n);
}

void Balloon::ChooseSide(Point& tip, int32_t& dx, int32_t& dy) const
{
    RECT client{0, 0, 0, 0};
    int32_t shift = 0;
    if (owner != nullptr) {
        if (owner->Hwnd() == nullptr || !GetClientRect(owner->Hwnd(), &client))
            Rect::ToRECT(owner->ClientRect(), client);
        shift = owner->Shift();
    }
    const int32_t w = client.right;
    const int32_t h = client.bottom;
    if (anchorTop.y - shift > h / 2) {
        // The anchor is in the lower half: open upwards.
        dy = -50;
        tip = Point(anchorTop.x, anchorTop.y - shift);
    } else {
        dy = 50;
        tip = Point(anchorBottom.x, anchorBottom.y - shift);
    }
    dx = tip.x <= w / 2 ? 70 : -70;
}

void Balloon::BuildShape(int32_t dx, int32_t dy, const Point& tip, int32_t width, int32_t height)
{
    const int32_t c = tip.x + dx; // centre line of the body
    const int32_t b = tip.y + dy; // edge of the body nearest the tip
    const int32_t half = width / 2;
    const bool downwards = dy > 0;
    const int32_t f = downwards ? b + height + 6 : b - height - 6; // far edge

    outline[0] = tip;
    outline[1] = Point(c + 6, b);
    outline[2] = Point(c + 6 + half, b);
    outline[3] = Point(c + 6 + half, f);
    outline[4] = Point(c - 6 - half, f);
    outline[5] = Point(c - 6 - half, b);
    outline[6] = Point(c - 6, b);

    textRect.left = outline[4].x + 3;
    textRect.right = outline[3].x - 3;
    if (downwards) {
        textRect.top = b + 3;
        textRect.bottom = f - 3;
    } else {
        textRect.top = f + 3;
        textRect.bottom = b - 3;
    }
}

void Balloon::Layout()
{
    Point tip;
    int32_t dx = 0;
    int32_t dy = 0;
    ChooseSide(tip, dx, dy);
    BuildShape(dx, dy, tip, textWidth, textHeight);
}

bool Balloon::AlignsRight() const
{
#ifdef UNICODE
    if (!text)
        return false;
    // The second unit decides; a one-unit text has its terminator there.
    const wchar_t second = text[1];
    return second > 0x05B0 && second < 0x06FD;
#else
    return false;
#endif
}

void Balloon::Paint(HDC dc)
{
    if (visible != 1 || !text || dc == nullptr)
        return;
    Layout();

    POINT corners[7];
    for (int i = 0; i < 7; ++i)
        corners[i] = POINT{outline[i].x, outline[i].y};
    {
        GdiObject<HBRUSH> brush(CreateSolidBrush(FillColor));
        ObjectSelection selection(dc, brush.Get());
        // The border takes the context's current pen, the default black one.
        Polygon(dc, corners, 7);
    }

    const COLORREF savedBackground = SetBkColor(dc, FillColor);
    ObjectSelection font(dc, FontForText());
    const UINT align = AlignsRight() ? DT_RIGHT : DT_LEFT;
    RECT target = textRect;
    // No text colour is set: the text takes the context's current one.
    DrawBalloonText(dc, text.get(), -1, &target, align);
    SetBkColor(dc, savedBackground);
}

BalloonLayer::BalloonLayer(WindowBase* ownerWindow) : DrawLayer(ownerWindow), ringIndex(0)
{
    balloons.SetSize(RingSize);
    // Should the ring not be made, every index reaches the default balloon,
    // which then needs the owner too.
    balloons.defaultItem.SetOwner(ownerWindow);
    for (uint32_t i = 0; i < RingSize; ++i)
        balloons.At(i).SetOwner(ownerWindow);
}

BalloonLayer::~BalloonLayer() {}

uint32_t BalloonLayer::NextIndex()
{
    const uint32_t i = ringIndex;
    ringIndex = (ringIndex + 1) % RingSize;
    return i;
}

uint32_t BalloonLayer::ShowBalloon(const Point& top, const Point& bottom, const BalloonChar* source,
                                   int32_t widthLimit, int32_t charsetCode)
{
    const uint32_t i = NextIndex();
    balloons.At(i).Show(top, bottom, source, widthLimit, charsetCode);
    return i;
}

void BalloonLayer::HideBalloon(uint32_t index)
{
    balloons.At(index).Hide();
}

void BalloonLayer::Draw(HDC dc)
{
    for (uint32_t i = 0; i < RingSize; ++i)
        balloons.At(i).Paint(dc);
}
