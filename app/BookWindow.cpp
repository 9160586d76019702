#include "app/BookWindow.h"

#include <new>

#include "audio/PlaybackController.h"
#include "book/BookLoader.h"

const ColorRGB TextColor(0, 0, 0);
const ColorRGB SpokenColor(0, 159, 0);

namespace {

constexpr uint32_t MaxTitleUnits = 256;

} // namespace

bool CreateBookWindow(BookWindow*& window)
{
    window = new (std::nothrow) BookWindow();
    return window != nullptr;
}

BookWindow::BookWindow()
    : WindowBase(u"Vellumar", 3), playing(0), autoScroll(0), screenWidth(0), screenHeight(0), textWidth(0),
      margin(0), wordGap(0), lineHeight(0), player(nullptr), highlightLayer(this), balloonLayer(this),
      textLayer(this), illustrationLayer(this), mapLayer(this), polylineLayer(this), highlightFirstCell(0),
      highlightLastCell(0), translationIndex(0), ownerRef(this), balloonOpen(false), openRegion(-1),
      lastHitRegion(-1), openBalloonIndex(0), lastBalloonResult(0), narrationStart(0)
{
    player = new (std::nothrow) PlaybackController(this);

    // List order is paint order: pictures under the text, balloons on top.
    SetLayerCount(6);
    SetLayer(&illustrationLayer, 0);
    SetLayer(&highlightLayer, 3);
    SetLayer(&balloonLayer, 5);
    SetLayer(&textLayer, 1);
    SetLayer(&mapLayer, 2);
    SetLayer(&polylineLayer, 4);

    highlightLayer.AllocateSegments(8);
    translationIndex = 0;
}

BookWindow::~BookWindow() {}

void BookWindow::Start()
{
    BookLoader::Instance().LoadBook();
    BookDocument& document = GetBookDocument();
    const uint32_t total = document.TotalCharacters();
    ParagraphList& paragraphs = document.Paragraphs();
    SyncTable& fragments = document.Fragments();

    CreateBookFont(0, BookFontHeight);
    textLayer.SetCellCount(total);
    LayoutText(paragraphs);
    UpdateScrollRange();
    BuildTranslationRegions(paragraphs);
    BuildFragmentRegions(fragments);
    SetTitleFromFirstParagraph(paragraphs);
    textLayer.UpdateDocumentHeight();

    int32_t saved = ReadShiftSetting();
    // A hand-edited negative value would put the view above the book.
    if (saved < 0)
        saved = 0;
    StartTimer(AutoScrollPeriod);
    ScrollDown(saved, 1);
}

int32_t BookWindow::DocumentHeight()
{
    return textLayer.DocumentHeight();
}

void BookWindow::BuildFragmentRegions(SyncTable& fragments)
{
    ::BuildFragmentRegions(fragmentRegions, fragments, textLayer, paragraphFirstCell);
}

void BookWindow::BuildTranslationRegions(ParagraphList& paragraphs)
{
    ::BuildTranslationRegions(translationRegions, paragraphs, textLayer, paragraphFirstCell);
}

void BookWindow::SetTitleFromFirstParagraph(ParagraphList& paragraphs)
{
    const WideString& text = paragraphs.At(0).text;
    std::unique_ptr<DisplayChar[]> title;
    CopyText(text, title);
    if (!title)
        return;
    // The paragraph's end unit is no character of the title; the title bar
    // would draw it as a box.
    uint32_t n = text.count;
    if (n > 0 && text.At(n - 1) == u'\r')
        n -= 1;
    // A title bar shows a line's worth at most, and the X server refuses a
    // window name of many megabytes, which ends the program. A surrogate
    // pair is kept whole or left out.
    if (n > MaxTitleUnits) {
        n = MaxTitleUnits;
        if (text.At(n - 1) >= 0xD800 && text.At(n - 1) <= 0xDBFF)
            n -= 1;
    }
    title[n] = 0;
    SetTitle(title.get());
}

int BookWindow::CopyText(const WideString& text, std::unique_ptr<DisplayChar[]>& out)
{
    const uint32_t n = text.count;
    out.reset(new (std::nothrow) DisplayChar[n + 1]);
    if (!out)
        return CharsetWestern;
    int charset = CharsetWestern;
    for (uint32_t i = 0; i < n; i++) {
        const int reported = ConvertChar(text.At(i), out[i]);
        if (reported != 0)
            charset = reported;
    }
    out[n] = 0;
    return charset;
}

void BookWindow::SetTranslationEnabled(uint32_t index, uint8_t on)
{
    GetBookDocument().Paragraphs().SetTranslationEnabled(index, on);
}

// Scrolling by the user stops the automatic scrolling; the next timer tick
// may start it again while the spoken fragment is near the bottom.
void BookWindow::PageDown()
{
    autoScroll = 0;
    ScrollDown(PageScrollPixels, 1);
    Invalidate();
}

void BookWindow::PageUp()
{
    autoScroll = 0;
    ScrollUp(PageScrollPixels, 1);
    Invalidate();
}

void BookWindow::LineDown()
{
    autoScroll = 0;
    ScrollDown(LineScrollPixels, 1);
    Invalidate();
}

void BookWindow::LineUp()
{
    autoScroll = 0;
    ScrollUp(LineScrollPixels, 1);
    Invalidate();
}

void BookWindow::OnThumbPosition(int32_t position)
{
    // The shift already moved while the thumb was dragged.
    autoScroll = 0;
    SetScrollBarPos(static_cast<int16_t>(position));
    Invalidate();
}

void BookWindow::OnTimer(UINT_PTR)
{
    UpdateAutoScroll(highlightFirstCell);
    if (autoScroll == 1) {
        ScrollDown(AutoScrollStepPixels, 1);
        Invalidate();
    }
}

void BookWindow::UpdateAutoScroll(uint32_t c)
{
    const int32_t top = textLayer.CellAt(c).Top();
    const int32_t h = ClientRect().height;
    const int32_t s = Shift();
    if (top > s + h - AutoScrollEdgePixels && playing == 1) {
        autoScroll = 1;
        return;
    }
    if (top < s + AutoScrollEdgePixels)
        autoScroll = 0;
}

void BookWindow::OnRightButtonDown()
{
    autoScroll = 0;
    if (playing) {
        textLayer.Recolor(TextColor, highlightFirstCell, highlightLastCell);
        if (player != nullptr)
            player->RequestStop();
        playing = 0;
        return;
    }
    uint32_t hit = 0;
    if (!fragmentRegions.HitTest(MousePoint(), hit))
        return;
    // Set before the thread starts: its first report is ignored while idle.
    playing = 1;
    if (player != nullptr) {
        player->PlayFrom(static_cast<int32_t>(hit));
        narrationStart = player->LatestStart();
    }
}

namespace {

BOOL CALLBACK CancelDialog(HWND dialog, LPARAM)
{
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

} // namespace

bool BookWindow::EndNarration(DWORD milliseconds)
{
    if (player == nullptr)
        return true;
    const DWORD began = GetTickCount();
    for (;;) {
        // The one window the playback thread opens is the purchase dialog;
        // the thread ends once it is closed as Cancel would.
        EnumThreadWindows(player->threadId, CancelDialog, 0);
        if (player->ShutDown(50))
            return true;
        if (GetTickCount() - began >= milliseconds)
            return false;
    }
}

void BookWindow::OnLeftButtonDown()
{
    autoScroll = 0;
    if (balloonText) {
        highlightLayer.ClearSegments();
        balloonLayer.HideBalloon(static_cast<uint32_t>(openBalloonIndex));
        Invalidate();
        balloonText.reset();
    }

    ParagraphList& paragraphs = GetBookDocument().Paragraphs();
    uint32_t hit = 0;
    const bool found = translationRegions.HitTest(MousePoint(), hit);
    lastHitRegion = static_cast<int32_t>(hit);
    const uint32_t n = paragraphs.TranslationCount();
    const uint8_t any = paragraphs.AnyTranslationEnabled();

    if (!found) {
        balloonOpen = false;
        return;
    }
    if (!balloonOpen) {
        openRegion = lastHitRegion;
        balloonOpen = true;
        openBalloonIndex = ShowTranslationBalloon(paragraphs, openRegion);
        return;
    }
    if (lastHitRegion != openRegion || n == 0 || any == 0) {
        balloonOpen = false;
        return;
    }
    // The same piece again: on to the next enabled translation, or closed
    // after the last one.
    uint32_t t = translationIndex;
    do {
        t = translationIndex + 1;
        if (t >= n) {
            translationIndex = 0;
            balloonOpen = false;
            return;
        }
        translationIndex = t;
    } while (paragraphs.IsTranslationEnabled(t) == 0);
    openBalloonIndex = ShowTranslationBalloon(paragraphs, openRegion);
}

int BookWindow::ShowTranslationBalloon(ParagraphList& paragraphs, int32_t r)
{
    const TextRegion& region = translationRegions.At(static_cast<uint32_t>(r));
    const uint32_t p = static_cast<uint32_t>(region.Line());
    const uint32_t k = static_cast<uint32_t>(region.Index());

    highlightLayer.OutlineRegion(region);

    const TranslationPiece& piece = paragraphs.At(p).PieceAt(translationIndex, k);
    if (piece.text.count == 0) {
        // No invalidation: the new outline shows with whatever paints next.
        RepaintAllAtNextPaint();
        return lastBalloonResult;
    }

    const int charset = CopyText(piece.text, balloonText);
    if (!balloonText) {
        RepaintAllAtNextPaint();
        return lastBalloonResult;
    }
    Point top;
    Point bottom;
    HighlightLayer::BalloonAnchors(highlightLayer.OutlinePoints(), top, bottom);
    lastBalloonResult =
        static_cast<int32_t>(balloonLayer.ShowBalloon(top, bottom, balloonText.get(), BalloonMaxWidth, charset));
    Invalidate();
    return lastBalloonResult;
}

bool BookWindow::GetFragment(int32_t i, SyncFragment& out)
{
    const SyncTable& table = GetBookDocument().Fragments();
    const uint32_t index = static_cast<uint32_t>(i);
    const SyncFragment& row = table.At(index);
    out.start = row.start;
    out.end = row.end;
    out.paragraph = row.paragraph;
    out.firstChar = row.firstChar;
    out.lastChar = row.lastChar;
    CopyWideString(out.trackFile, row.trackFile);
    out.isSet = row.isSet;
    return i >= 0 && index < table.count;
}

// The playback thread and the wave-out completion path report fragments
// here. Cell colours, the highlight range and the automatic scrolling belong
// to the user-interface thread, so the reports travel through its message
// queue, which keeps them in the order they were made; each carries the
// number of the start it belongs to, which the player gives with the report:
// a buffer of an earlier start may come back after a new one began.
void BookWindow::HighlightFragment(int32_t i)
{
    PostMessageW(hwnd, MessageFragmentStarted, static_cast<WPARAM>(i), static_cast<LPARAM>(player->ReportingStart()));
}

void BookWindow::UnhighlightFragment(int32_t i)
{
    PostMessageW(hwnd, MessageFragmentEnded, static_cast<WPARAM>(i), static_cast<LPARAM>(player->ReportingStart()));
}

void BookWindow::OnFragmentReport(UINT message, WPARAM fragment, LPARAM start)
{
    const int32_t i = static_cast<int32_t>(fragment);
    // After a stop nothing is current: `playing` is 0 until the next start.
    const bool current = static_cast<uint32_t>(start) == narrationStart;
    if (message == MessageNarrationHalted) {
        // At a track change the next fragment is reported as started when
        // the old track's last buffer ends, before its own track is opened;
        // when that track is missing nothing of it sounds, so it must not
        // stay green.
        if (current && playing == 1)
            textLayer.Recolor(TextColor, highlightFirstCell, highlightLastCell);
        return;
    }
    if (message == MessageFragmentStarted) {
        // A start from a narration that was stopped meanwhile never paints.
        if (current)
            ApplyHighlight(i);
        return;
    }
    SyncFragment row;
    GetFragment(i, row);
    if (row.isSet != 1)
        return;
    const uint32_t first = ParagraphFirstCell(static_cast<uint32_t>(row.paragraph)) + static_cast<uint32_t>(row.firstChar);
    const uint32_t last = ParagraphFirstCell(static_cast<uint32_t>(row.paragraph)) + static_cast<uint32_t>(row.lastChar);
    // The end of an earlier narration's fragment must not blacken what a
    // newer narration is speaking now.
    if (!current && playing == 1 && first <= highlightLastCell && last >= highlightFirstCell)
        return;
    textLayer.Recolor(TextColor, first, last);
}

void BookWindow::ApplyHighlight(int32_t i)
{
    if (playing != 1)
        return;
    SyncFragment row;
    GetFragment(i, row);
    if (row.isSet != 1)
        return;
    const uint32_t firstCell = ParagraphFirstCell(static_cast<uint32_t>(row.paragraph));
    highlightFirstCell = firstCell + static_cast<uint32_t>(row.firstChar);
    highlightLastCell = firstCell + static_cast<uint32_t>(row.lastChar);
    textLayer.Recolor(SpokenColor, highlightFirstCell, highlightLastCell);
    UpdateAutoScroll(highlightLastCell);
}
