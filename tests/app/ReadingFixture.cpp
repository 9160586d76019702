#include "ReadingFixture.h"

#include <algorithm>
#include <type_traits>

#include "audio/PlaybackController.h"

TempFolder* ReadingTest::folder = nullptr;

namespace {

std::u16string bookText;

// Paragraphs long enough to hold every fragment the synchronisation rows put
// in them, through the end of the second track; those before paragraph 10
// shorter, so that the end of the first track lies high in the book.
constexpr size_t LongParagraphs = 23;
size_t ParagraphUnits(size_t p)
{
    return p < 10 ? 300 : p == 10 ? 1000 : 1400;
}

std::u16string MakeBookText()
{
    std::vector<std::u16string> paragraphs = FillerParagraphs(400, 5);
    paragraphs[0] = u"Harrowdene";
    std::vector<std::u16string> extra = FillerParagraphs(LongParagraphs * 8, 9);
    size_t next = 0;
    for (size_t p = 1; p < LongParagraphs; p++) {
        while (paragraphs[p].size() < ParagraphUnits(p))
            paragraphs[p] += u" " + extra[next++ % extra.size()];
    }
    return JoinParagraphs(paragraphs);
}

void WriteTranslationFiles(const TempFolder& target)
{
    // Piece 0 of paragraph 2 in four languages, piece 1 empty in the third
    // file, and a piece far down the book.
    const char16_t* const texts[4][3] = {
        {u"\x0420\x0443\x0441\x0441\x043A\x0438\x0439", u"\x0432\x0442\x043E\x0440\x043E\x0439",
         u"\x0434\x0430\x043B\x0435\x043A\x043E"},
        {u"fran\x00E7" u"ais", u"second", u"loin"},
        {u"espa\x00F1ol", u"", u"lejos"},
        {u"\x05D8\x05E7\x05E1\x05D8", u"\x05E9\x05E0\x05D9", u"\x05E8\x05D7\x05D5\x05E7"}};
    for (int t = 0; t < 4; t++) {
        WriteUtf16File(target.File(L"book_t" + std::to_wstring(t + 1) + L".txt"),
                       u"02 0 9\r\n" + std::u16string(texts[t][0]) + u"\r\n2 20 30\r\n" +
                           std::u16string(texts[t][1]) + u"\r\n60 0 20\r\n" + std::u16string(texts[t][2]) +
                           u"\r\n");
    }
}

} // namespace

void ReadingTest::SetUpTestSuite()
{
    bookText = MakeBookText();
    folder = new TempFolder();
    WriteBookFiles(*folder);
    DeleteSettings();
    SetCurrentDirectoryW(folder->Path().c_str());
    GetApplication()->Start(GetModuleHandleW(nullptr), SW_SHOW);
    // The first track; narration reads it only when it starts.
    WriteTrackOf(*folder, 0);
    Pump();
}

void ReadingTest::TearDownTestSuite()
{
    StopNarration();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    SetCurrentDirectoryW(temp);
    delete folder;
}

void ReadingTest::WriteBookFiles(const TempFolder& target)
{
    WriteUtf16File(target.File(L"book.txt"), bookText);
    WriteTranslationFiles(target);
}

void ReadingTest::WriteTrackOf(const TempFolder& target, int32_t fragment)
{
    const SyncTable& table = GetBookDocument().Fragments();
    const WideString& track = table.At(static_cast<uint32_t>(fragment)).trackFile;
    int64_t end = 0;
    for (uint32_t i = 0; i < table.count; i++) {
        const SyncFragment& row = table.At(i);
        if (row.trackFile.count == track.count &&
            std::equal(track.items, track.items + track.count, row.trackFile.items))
            end = std::max<int64_t>(end, row.end.ToMilliseconds());
    }
    const std::wstring name(reinterpret_cast<const wchar_t*>(track.items), TextLength(track));
    WriteSilentTrack(target.File(name), static_cast<uint32_t>(end) + 500);
}

bool ReadingTest::PumpOne()
{
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

void ReadingTest::Pump()
{
    while (PumpOne()) {
    }
}

void ReadingTest::ScrollTo(int32_t shift)
{
    BookWindow& w = Window();
    w.ScrollUp(w.Shift(), 1);
    w.ScrollDown(shift, 1);
    Pump();
}

void ReadingTest::StopNarration()
{
    BookWindow& w = Window();
    if (w.Playing())
        SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, MAKELPARAM(3, 3));
    PumpUntil([&] { return w.player == nullptr || w.player->IsIdle(); }, 5000);
    Pump();
}

POINT ReadingTest::DocumentPointOf(const TextRegion& region)
{
    const Rect& r = region.At(0);
    return POINT{r.x + r.width / 2, r.y + r.height / 2};
}

POINT ReadingTest::DocumentPointOfCell(uint32_t c)
{
    const CharCell& cell = Window().Cells().CellAt(c);
    return POINT{(cell.Left() + cell.Right()) / 2, (cell.Top() + cell.Bottom()) / 2};
}

LPARAM ReadingTest::ClientPoint(POINT document, int32_t shift)
{
    return MAKELPARAM(document.x, document.y - shift);
}

const SyncFragment& ReadingTest::Fragment(int32_t i)
{
    return GetBookDocument().Fragments().At(static_cast<uint32_t>(i));
}

uint32_t ReadingTest::FirstCellOf(int32_t fragment)
{
    const SyncFragment& row = Fragment(fragment);
    return Window().ParagraphFirstCell(static_cast<uint32_t>(row.paragraph)) + static_cast<uint32_t>(row.firstChar);
}

uint32_t ReadingTest::LastCellOf(int32_t fragment)
{
    const SyncFragment& row = Fragment(fragment);
    return Window().ParagraphFirstCell(static_cast<uint32_t>(row.paragraph)) + static_cast<uint32_t>(row.lastChar);
}

std::u16string ReadingTest::BalloonTextShown()
{
    BookWindow& w = Window();
    if (!w.balloonText)
        return u"(none)";
    std::u16string text;
    for (const DisplayChar* c = w.balloonText.get(); *c != 0; c++)
        text.push_back(static_cast<char16_t>(static_cast<std::make_unsigned<DisplayChar>::type>(*c)));
    return text;
}

std::u16string ReadingTest::Expected(uint32_t t, uint32_t k)
{
    const WideString& text = GetBookDocument().Paragraphs().At(TranslatedParagraph).PieceAt(t, k).text;
    std::unique_ptr<DisplayChar[]> copy;
    Window().CopyText(text, copy);
    std::u16string result;
    for (uint32_t i = 0; i < text.count; i++)
        result.push_back(static_cast<char16_t>(static_cast<std::make_unsigned<DisplayChar>::type>(copy[i])));
    return result;
}

bool CellsHaveColor(uint32_t first, uint32_t last, const ColorRGB& color)
{
    for (uint32_t c = first; c <= last; c++) {
        if (GetApplication()->window->Cells().CellAt(c).Color().ToColorRef() != color.ToColorRef())
            return false;
    }
    return true;
}

bool AnyCellGreen()
{
    TextLayer& cells = GetApplication()->window->Cells();
    for (uint32_t c = 0; c < cells.CellCount(); c++) {
        if (cells.CellAt(c).Color().ToColorRef() == SpokenColor.ToColorRef())
            return true;
    }
    return false;
}
