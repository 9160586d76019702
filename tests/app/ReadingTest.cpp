// Narration and translation balloons in the test process: clicks reach the
// program's own window procedure, and the tests read cell colours, the
// balloon ring and the screen.
#include "ReadingFixture.h"

#include <algorithm>
#include <memory>

#include "audio/PlaybackController.h"
#include "tests/audio/HookGate.h"
#include "core/CriticalLock.h"

namespace {

constexpr COLORREF BalloonFill = RGB(255, 255, 223);

int32_t ClientHeight()
{
    RECT client = {};
    GetClientRect(GetApplication()->window->Hwnd(), &client);
    return client.bottom;
}

// Screen pixels of a client rectangle that have the colour, once painting
// has reached the screen.
int CountPixels(HWND hwnd, const RECT& area, COLORREF color)
{
    UpdateWindow(hwnd);
    MSG message;
    for (int i = 0; i < 3; i++) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(30);
    }
    return ClientCapture(hwnd).Count(area, color);
}

} // namespace

TEST_F(ReadingTest, LeftClicksStepThroughTheEnabledTranslations)
{
    BookWindow& w = Window();
    ScrollTo(0);
    w.translationIndex = 0;
    ASSERT_EQ(w.TranslationRegions().count, 3u);
    const LPARAM piece = ClientPoint(DocumentPointOf(w.TranslationRegions().At(0)), 0);
    const LPARAM other = ClientPoint(DocumentPointOf(w.TranslationRegions().At(1)), 0);
    const LPARAM nowhere = MAKELPARAM(3, 3);

    // Clicks in order, and the text each leaves in the balloon.
    const struct {
        LPARAM where;
        UINT toggle; // a Translations command sent before the click, or 0
        const char* shown;
    } clicks[] = {
        {piece, 0, "0"},     {piece, 0, "1"},      {piece, 0, "2"},    {piece, 0, "3"},
        {piece, 0, "none"},  {piece, 0, "0"},      {piece, 8002, "1"}, {piece, 0, "3"},
        {piece, 0, "none"},  {piece, 8002, "0"},   {other, 0, "none"}, {other, 0, "0b"},
        {nowhere, 0, "none"}, {other, 0, "0b"},    {other, 0, "1b"},   {other, 0, "none-empty"},
    };
    int step = 0;
    for (const auto& click : clicks) {
        if (click.toggle != 0)
            SendMessageW(w.Hwnd(), WM_COMMAND, click.toggle, 0);
        SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, 0, click.where);
        const std::string shown = click.shown;
        std::u16string expected = u"(none)";
        if (shown[0] != 'n')
            expected = Expected(static_cast<uint32_t>(shown[0] - '0'), shown.size() > 1 ? 1 : 0);
        EXPECT_EQ(BalloonTextShown(), expected) << "click " << step;
        if (expected != u"(none)") {
            const Balloon& balloon = w.balloonLayer.BalloonAt(static_cast<uint32_t>(w.openBalloonIndex));
            EXPECT_EQ(balloon.visible, 1) << "click " << step;
        }
        step++;
    }
    // The Spanish piece 1 is empty: the piece was outlined, no balloon shown.
    EXPECT_EQ(w.translationIndex, 2u);
    EXPECT_TRUE(w.balloonOpen);
    SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, 0, nowhere);
    EXPECT_FALSE(w.balloonOpen);
    w.translationIndex = 0;
}

// The balloon opens below a piece in the upper half of the window and above
// one in the lower half; the middle line itself counts as upper.
TEST_F(ReadingTest, BalloonOpensAwayFromTheNearerEdge)
{
    BookWindow& w = Window();
    const TextRegion& region = w.TranslationRegions().At(2);
    ASSERT_EQ(region.Line(), static_cast<int32_t>(FarTranslatedParagraph));
    const POINT point = DocumentPointOf(region);
    const int32_t h = ClientHeight();

    // The anchors are in document pixels: learn them from a first balloon.
    ScrollTo(point.y - h / 4);
    w.translationIndex = 0;
    SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, 0, ClientPoint(point, w.Shift()));
    ASSERT_TRUE(w.balloonText != nullptr);
    const Balloon& first = w.balloonLayer.BalloonAt(static_cast<uint32_t>(w.openBalloonIndex));
    const Point anchorTop = first.anchorTop;
    const Point anchorBottom = first.anchorBottom;
    SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));

    const struct {
        int32_t anchorClientY; // where the upper anchor is put in the window
        bool downwards;
    } cases[] = {{40, true}, {h / 2, true}, {h / 2 + 1, false}, {h - 60, false}};
    for (const auto& c : cases) {
        ScrollTo(anchorTop.y - c.anchorClientY);
        ASSERT_EQ(anchorTop.y - w.Shift(), c.anchorClientY);
        w.translationIndex = 0;
        SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, 0, ClientPoint(point, w.Shift()));
        UpdateWindow(w.Hwnd());
        const Balloon& b = w.balloonLayer.BalloonAt(static_cast<uint32_t>(w.openBalloonIndex));
        ASSERT_EQ(b.visible, 1) << c.anchorClientY;
        const Point tip = b.outline[0];
        if (c.downwards) {
            EXPECT_EQ(tip.y, anchorBottom.y - w.Shift()) << c.anchorClientY;
            EXPECT_EQ(b.outline[1].y, tip.y + 50) << c.anchorClientY;
            EXPECT_GT(b.outline[3].y, b.outline[1].y) << c.anchorClientY;
        } else {
            EXPECT_EQ(tip.y, anchorTop.y - w.Shift()) << c.anchorClientY;
            EXPECT_EQ(b.outline[1].y, tip.y - 50) << c.anchorClientY;
            EXPECT_LT(b.outline[3].y, b.outline[1].y) << c.anchorClientY;
        }
        // On screen: the body's fill lies on the chosen side of the piece,
        // and nothing of it on the other.
        const int32_t bodyTop = std::min(b.outline[1].y, b.outline[3].y);
        const int32_t bodyBottom = std::max(b.outline[1].y, b.outline[3].y);
        const RECT body = {b.outline[4].x + 2, bodyTop + 2, b.outline[3].x - 2, bodyBottom - 2};
        EXPECT_GT(CountPixels(w.Hwnd(), body, BalloonFill), 20) << c.anchorClientY;
        const int32_t mirrorTop = 2 * tip.y - bodyBottom;
        const RECT mirror = {body.left, std::max(0, mirrorTop + 2), body.right, std::max(0, 2 * tip.y - bodyTop - 2)};
        EXPECT_EQ(CountPixels(w.Hwnd(), mirror, BalloonFill), 0) << c.anchorClientY;
        SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
    }
}

TEST_F(ReadingTest, EmptyPieceShowsNoBalloon)
{
    BookWindow& w = Window();
    ScrollTo(0);
    const LPARAM piece = ClientPoint(DocumentPointOf(w.TranslationRegions().At(1)), 0);
    RECT client = {};
    GetClientRect(w.Hwnd(), &client);

    // The same piece in the second language has text, in the third none.
    const struct {
        uint32_t translation;
        bool shown;
    } cases[] = {{1, true}, {2, false}};
    for (const auto& c : cases) {
        w.translationIndex = c.translation;
        SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, 0, piece);
        UpdateWindow(w.Hwnd());
        int visible = 0;
        for (uint32_t i = 0; i < BalloonLayer::RingSize; i++)
            visible += w.balloonLayer.BalloonAt(i).visible;
        EXPECT_EQ(visible, c.shown ? 1 : 0) << c.translation;
        EXPECT_EQ(w.balloonText != nullptr, c.shown) << c.translation;
        // The piece is outlined either way.
        EXPECT_GT(w.highlightLayer.OutlinePoints().count, 0u) << c.translation;
        const int fill = CountPixels(w.Hwnd(), {0, 0, client.right, client.bottom}, BalloonFill);
        if (c.shown)
            EXPECT_GT(fill, 20);
        else
            EXPECT_EQ(fill, 0);
        SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
        UpdateWindow(w.Hwnd());
    }
    w.translationIndex = 0;
}

// The Russian piece: the 8-bit build holds its code page 1251 bytes and draws
// them with the Cyrillic font; the wide build holds the text itself.
TEST_F(ReadingTest, CyrillicTranslationIsDrawnInItsCodePage)
{
    BookWindow& w = Window();
    ScrollTo(0);
    w.translationIndex = 0;
    SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, 0, ClientPoint(DocumentPointOf(w.TranslationRegions().At(0)), 0));
    UpdateWindow(w.Hwnd());
    ASSERT_TRUE(w.balloonText != nullptr);
    const Balloon& b = w.balloonLayer.BalloonAt(static_cast<uint32_t>(w.openBalloonIndex));
    ASSERT_EQ(b.visible, 1);

    const WideString& piece = GetBookDocument().Paragraphs().At(TranslatedParagraph).PieceAt(0, 0).text;
    const std::wstring source(reinterpret_cast<const wchar_t*>(piece.items), piece.count);
#ifdef UNICODE
    EXPECT_EQ(std::wstring(b.Text()), source);
    EXPECT_EQ(b.charset, 0);
    const wchar_t* measured = source.c_str();
    HFONT reference = CreateFontW(18, 0, 0, 0, FW_LIGHT, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0,
                                  FF_ROMAN | DEFAULT_PITCH, L"Tahoma");
#else
    char converted[64] = {};
    WideCharToMultiByte(1251, 0, source.c_str(), static_cast<int>(source.size()), converted, 63, nullptr, nullptr);
    EXPECT_EQ(std::string(b.Text()), std::string(converted));
    EXPECT_EQ(b.charset, 204);
    const wchar_t* measured = source.c_str();
    HFONT reference = CreateFontW(18, 0, 0, 0, FW_LIGHT, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, 0, 0, 0,
                                  FF_ROMAN | DEFAULT_PITCH, L"Tahoma");
#endif
    // The balloon measured Cyrillic letters, not the Western letters that
    // share their byte values.
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, reference);
    RECT extent = {0, 0, 0, 0};
    DrawTextW(memory, measured, -1, &extent, DT_CALCRECT);
    SelectObject(memory, old);
    DeleteObject(reference);
    DeleteDC(memory);
    EXPECT_EQ(b.textWidth, extent.right);

    // The letters are on screen: the text rectangle is not all fill.
    const int area = (b.textRect.right - b.textRect.left) * (b.textRect.bottom - b.textRect.top);
    const int fill = CountPixels(w.Hwnd(), b.textRect, BalloonFill);
    EXPECT_GT(fill, area / 4);
    EXPECT_LT(fill, area - 30);
    SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
}

TEST_F(ReadingTest, RightClickSpeaksInGreenAndASecondStops)
{
    BookWindow& w = Window();
    StopNarration();
    ASSERT_EQ(Fragment(0).isSet, 1);
    const uint32_t first0 = FirstCellOf(0);
    const uint32_t last0 = LastCellOf(0);
    const uint32_t first1 = FirstCellOf(1);
    const uint32_t last1 = LastCellOf(1);

    ScrollTo(0);
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, ClientPoint(DocumentPointOf(w.FragmentRegions().At(0)), 0));
    ASSERT_TRUE(w.Playing());

    ASSERT_TRUE(PumpUntil([&] { return CellsHaveColor(first0, last0, SpokenColor); }, 5000));
    // Pixels of the window show it too.
    UpdateWindow(w.Hwnd());
    const CharCell& cell = w.Cells().CellAt(first0);
    const RECT box = {cell.Left(), cell.Top() - w.Shift(), cell.Left() + 200, cell.Bottom() - w.Shift()};
    EXPECT_GT(ClientCapture(w.Hwnd()).Count(box, RGB(0, 159, 0)), 5);

    // The next fragment takes over in order: the first turns black again.
    const DWORD wait = Fragment(1).start.ToMilliseconds() - Fragment(0).start.ToMilliseconds() + 4000;
    ASSERT_TRUE(PumpUntil([&] { return CellsHaveColor(first1, last1, SpokenColor); }, wait));
    EXPECT_TRUE(CellsHaveColor(first0, last0, TextColor));

    // A second right click anywhere stops and paints the fragment black; no
    // report that comes after turns anything green.
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, MAKELPARAM(3, 3));
    EXPECT_FALSE(w.Playing());
    EXPECT_TRUE(CellsHaveColor(first1, last1, TextColor));
    PumpUntil([] { return false; }, 1500);
    EXPECT_FALSE(AnyCellGreen());
}

// Cells that belong to no fragment: the gaps between neighbouring fragments
// of one paragraph.
TEST_F(ReadingTest, RightClickBetweenFragmentsDoesNothing)
{
    BookWindow& w = Window();
    StopNarration();
    const int32_t before[] = {3, 4, 10, 11};
    for (int32_t f : before) {
        ASSERT_EQ(Fragment(f).paragraph, Fragment(f + 1).paragraph);
        ASSERT_EQ(Fragment(f).lastChar + 2, Fragment(f + 1).firstChar);
        const uint32_t gap = LastCellOf(f) + 1;
        const POINT point = DocumentPointOfCell(gap);
        ScrollTo(point.y - 300);
        uint32_t hit = 0;
        w.TrackMouse(static_cast<uint16_t>(point.x), static_cast<uint16_t>(point.y - w.Shift()));
        EXPECT_FALSE(w.FragmentRegions().HitTest(w.MousePoint(), hit)) << "after fragment " << f << ": " << hit;
        SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, ClientPoint(point, w.Shift()));
        EXPECT_FALSE(w.Playing()) << "after fragment " << f;
        // The fragments on either side do start narration.
        SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, ClientPoint(DocumentPointOfCell(gap - 1), w.Shift()));
        EXPECT_TRUE(w.Playing()) << "fragment " << f;
        StopNarration();
    }
    PumpUntil([] { return false; }, 300);
    EXPECT_FALSE(AnyCellGreen());
}

// While the spoken fragment is within 100 pixels of the bottom, each tick
// moves the view 5 pixels; a scroll by the user switches that off at once.
TEST_F(ReadingTest, ViewFollowsTheSpokenFragmentUntilTheUserScrolls)
{
    BookWindow& w = Window();
    StopNarration();
    const int32_t fragment = 10;
    const uint32_t firstCell = FirstCellOf(fragment);
    const int32_t h = ClientHeight();
    const int32_t top = w.Cells().CellAt(firstCell).Top();
    ScrollTo(top - (h - 60));
    const int32_t start = w.Shift();
    ASSERT_EQ(top - start, h - 60);

    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, ClientPoint(DocumentPointOfCell(firstCell), start));
    ASSERT_TRUE(w.Playing());
    EXPECT_FALSE(w.AutoScrolling());
    ASSERT_TRUE(PumpUntil([&] { return w.Shift() >= start + 15; }, 3000));
    EXPECT_EQ((w.Shift() - start) % BookWindow::AutoScrollStepPixels, 0);
    EXPECT_EQ(ReadSavedShift(), w.Shift());

    // A line up or a page down by the user: the glide is off at once (the
    // next tick may start it again if the spoken fragment is still low).
    ASSERT_TRUE(w.AutoScrolling());
    const WPARAM keys[] = {VK_UP, VK_NEXT};
    for (WPARAM key : keys) {
        SendMessageW(w.Hwnd(), WM_KEYDOWN, key, 0);
        EXPECT_FALSE(w.AutoScrolling()) << key;
    }
    StopNarration();
    // Without narration no tick moves the view.
    const int32_t stopped = w.Shift();
    PumpUntil([] { return false; }, 400);
    EXPECT_EQ(w.Shift(), stopped);
    EXPECT_FALSE(w.AutoScrolling());
}

// A stop and a start while the old narration's next fragment is queued
// behind a buffer that ends a segment: the start of that fragment, reported
// when the buffer comes back, belongs to the stopped narration and must not
// turn anything green, not even for one report. The new start is on that
// same fragment, and the old narration's end reports are held back until the
// new one has painted it, as if they came late: they must not blacken it.
TEST_F(ReadingTest, QuickStopAndRestartNeverGreensTheOldNextFragment)
{
    BookWindow& w = Window();
    StopNarration();
    ScrollTo(0);
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, ClientPoint(DocumentPointOf(w.FragmentRegions().At(0)), 0));
    // Completions wait while the lock is held here.
    std::unique_ptr<LockGuard> hold;
    const BufferSlot* slots = w.player->slots;
    for (DWORD start = GetTickCount(); !hold && GetTickCount() - start < 10000; Sleep(1)) {
        hold = std::make_unique<LockGuard>(playbackLock);
        bool queued = false;
        for (uint32_t k = 0; k < 4; k++)
            queued = queued || (slots[k].busy && slots[k].lastOfSegment && slots[(k + 1) % 4].busy &&
                                slots[(k + 1) % 4].segment.FragmentId() == 1);
        if (!queued)
            hold.reset();
    }
    ASSERT_TRUE(hold);
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, MAKELPARAM(3, 3));
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, ClientPoint(DocumentPointOf(w.FragmentRegions().At(1)), 0));
    const LPARAM latest = static_cast<LPARAM>(w.player->LatestStart());
    hold.reset();
    const auto spoken = [] { return CellsHaveColor(FirstCellOf(1), LastCellOf(1), SpokenColor); };
    std::vector<MSG> late;
    bool stale = false;
    MSG message;
    for (DWORD start = GetTickCount(); !spoken() && GetTickCount() - start < 20000; Sleep(5)) {
        while (!spoken() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const bool old = (message.message == MessageFragmentStarted || message.message == MessageFragmentEnded) &&
                             message.lParam != latest;
            if (old && message.message == MessageFragmentEnded) {
                late.push_back(message);
                continue;
            }
            DispatchMessageW(&message);
            stale = stale || (old && AnyCellGreen());
        }
    }
    EXPECT_FALSE(stale);
    ASSERT_TRUE(spoken());
    EXPECT_TRUE(std::any_of(late.begin(), late.end(), [](const MSG& m) { return m.wParam == 1; }));
    for (const MSG& m : late)
        DispatchMessageW(&m);
    EXPECT_TRUE(spoken());

    // The program ends while the playback thread cannot go on: the wait gives
    // up after its time; once the thread is free, narration ends for good.
    StopNarration();
    HookGate::Arm(*w.player, AudioPlayer::HookPoint::BeforeSlotTest, 20000, false);
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, ClientPoint(DocumentPointOf(w.FragmentRegions().At(0)), 0));
    ASSERT_EQ(WaitForSingleObject(HookGate::reached, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(w.player->counters.devicesOpen, 1);
    EXPECT_FALSE(w.EndNarration(200));
    SetEvent(HookGate::open);
    EXPECT_TRUE(w.EndNarration(5000));
    EXPECT_EQ(w.player->counters.devicesOpen, 0);
    EXPECT_EQ(w.player->counters.threadsRunning, 0);
    // The cases after this one narrate with a fresh player.
    delete w.player;
    w.player = new PlaybackController(&w);
    StopNarration();
}
