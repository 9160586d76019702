// Narration and translation balloons in the test process: the program's own
// application object reads a book written here, with silent narration
// tracks and four translation files.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppDriver.h"
#include "app/Application.h"
#include "app/BookWindow.h"

namespace {

// An 8 kHz, 8-bit mono RIFF WAVE file of silence.
void WriteSilentTrack(const std::wstring& file, uint32_t milliseconds)
{
    const uint32_t bytes = milliseconds * 8;
    std::string data;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; i++)
            data.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&](uint16_t v) {
        data.push_back(static_cast<char>(v & 0xFF));
        data.push_back(static_cast<char>(v >> 8));
    };
    data += "RIFF";
    put32(36 + bytes);
    data += "WAVEfmt ";
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(8000);
    put16(1);
    put16(8);
    data += "data";
    put32(bytes);
    data.append(bytes, static_cast<char>(0x80));
    WriteBytes(file, data);
}

class ReadingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 2 * sizeof(wchar_t));
            RegCloseKey(key);
        }
        folder = new TempFolder();
        std::vector<std::u16string> paragraphs = FillerParagraphs(400, 5);
        paragraphs[0] = u"Harrowdene";
        WriteUtf16File(folder->File(L"book.txt"), JoinParagraphs(paragraphs));
        // Paragraph 2: piece 0 (units 0 to 9) in four languages, piece 1
        // (units 20 to 30) empty in the third file.
        const char16_t* const texts[4][2] = {
            {u"\x0420\x0443\x0441\x0441\x043A\x0438\x0439", u"\x0432\x0442\x043E\x0440\x043E\x0439"},
            {u"fran\x00E7" u"ais", u"second"},
            {u"espa\x00F1ol", u""},
            {u"\x05D8\x05E7\x05E1\x05D8", u"\x05E9\x05E0\x05D9"}};
        for (int t = 0; t < 4; t++) {
            WriteUtf16File(folder->File(L"book_t" + std::to_wstring(t + 1) + L".txt"),
                           u"02 0 9\r\n" + std::u16string(texts[t][0]) + u"\r\n2 20 30\r\n" +
                               std::u16string(texts[t][1]) + u"\r\n");
        }
        DeleteSettings();
        SetCurrentDirectoryW(folder->Path().c_str());
        GetApplication()->Start(GetModuleHandleW(nullptr), SW_SHOW);
        Pump();
    }

    static void TearDownTestSuite()
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        SetCurrentDirectoryW(temp);
        delete folder;
    }

    static void Pump()
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    // Pumps messages until the condition holds or the time is up.
    template <typename Condition>
    static bool PumpUntil(Condition condition, DWORD milliseconds)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < milliseconds) {
            Pump();
            if (condition())
                return true;
            Sleep(10);
        }
        Pump();
        return condition();
    }

    static BookWindow& Window() { return *GetApplication()->window; }

    // Client point in the middle of a region's first rectangle.
    static LPARAM ClientPointOf(const TextRegion& region)
    {
        const Rect& r = region.At(0);
        return MAKELPARAM(r.x + r.width / 2, r.y + r.height / 2 - Window().Shift());
    }

    static std::u16string BalloonTextShown()
    {
        BookWindow& w = Window();
        if (!w.balloonText)
            return u"(none)";
        std::u16string text;
        for (const DisplayChar* c = w.balloonText.get(); *c != 0; c++)
            text.push_back(static_cast<char16_t>(static_cast<std::make_unsigned<DisplayChar>::type>(*c)));
        return text;
    }

    static std::u16string Expected(uint32_t t, uint32_t k)
    {
        const WideString& text = GetBookDocument().Paragraphs().At(2).PieceAt(t, k).text;
        std::unique_ptr<DisplayChar[]> copy;
        Window().CopyText(text, copy);
        std::u16string result;
        for (uint32_t i = 0; i < text.count; i++)
            result.push_back(static_cast<char16_t>(static_cast<std::make_unsigned<DisplayChar>::type>(copy[i])));
        return result;
    }

    static TempFolder* folder;
};

TempFolder* ReadingTest::folder = nullptr;

TEST_F(ReadingTest, LeftClicksStepThroughTheEnabledTranslations)
{
    BookWindow& w = Window();
    SendMessageW(w.Hwnd(), WM_COMMAND, 7000, 0);
    ASSERT_EQ(w.TranslationRegions().count, 2u);
    const LPARAM piece = ClientPointOf(w.TranslationRegions().At(0));
    const LPARAM other = ClientPointOf(w.TranslationRegions().At(1));
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

TEST_F(ReadingTest, RightClickSpeaksInGreenAndASecondStops)
{
    BookWindow& w = Window();
    SyncFragment f0;
    SyncFragment f1;
    ASSERT_TRUE(w.GetFragment(0, f0));
    ASSERT_TRUE(w.GetFragment(1, f1));
    ASSERT_EQ(f0.isSet, 1);
    // The first track, long enough for the first fragments.
    SyncFragment f4;
    w.GetFragment(4, f4);
    std::wstring track(reinterpret_cast<const wchar_t*>(f0.trackFile.items), TextLength(f0.trackFile));
    WriteSilentTrack(folder->File(track), static_cast<uint32_t>(f4.end.ToMilliseconds()) + 2000);

    const uint32_t first0 = w.ParagraphFirstCell(static_cast<uint32_t>(f0.paragraph)) + f0.firstChar;
    const uint32_t last0 = w.ParagraphFirstCell(static_cast<uint32_t>(f0.paragraph)) + f0.lastChar;
    const uint32_t first1 = w.ParagraphFirstCell(static_cast<uint32_t>(f1.paragraph)) + f1.firstChar;
    const uint32_t last1 = w.ParagraphFirstCell(static_cast<uint32_t>(f1.paragraph)) + f1.lastChar;

    // Bring fragment 0 into view and click it.
    const int32_t top = w.Cells().CellAt(first0).Top();
    SendMessageW(w.Hwnd(), WM_COMMAND, 7000, 0);
    w.ScrollDown(top > 200 ? top - 200 : 0, 1);
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, ClientPointOf(w.FragmentRegions().At(0)));
    ASSERT_TRUE(w.Playing());

    ASSERT_TRUE(PumpUntil([&] { return CellsHaveColor(first0, last0, SpokenColor); }, 5000));
    // Pixels of the window show it too.
    UpdateWindow(w.Hwnd());
    const CharCell& cell = w.Cells().CellAt(first0);
    int green = 0;
    for (int x = cell.Left(); x < cell.Left() + 200; x++)
        for (int y = cell.Top() - w.Shift(); y < cell.Bottom() - w.Shift(); y++)
            green += ClientPixel(w.Hwnd(), x, y) == RGB(0, 159, 0) ? 1 : 0;
    EXPECT_GT(green, 5);

    // The next fragment takes over in order: the first turns black again.
    const DWORD wait = static_cast<DWORD>(f1.start.ToMilliseconds() - f0.start.ToMilliseconds()) + 4000;
    ASSERT_TRUE(PumpUntil([&] { return CellsHaveColor(first1, last1, SpokenColor); }, wait));
    EXPECT_TRUE(CellsHaveColor(first0, last0, TextColor));

    // A second right click anywhere stops and paints the fragment black; no
    // report that comes after turns anything green.
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, MAKELPARAM(3, 3));
    EXPECT_FALSE(w.Playing());
    EXPECT_TRUE(CellsHaveColor(first1, last1, TextColor));
    PumpUntil([] { return false; }, 1500);
    EXPECT_FALSE(AnyCellGreen());

    // Right clicks between fragments do nothing.
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, 0, MAKELPARAM(3, 3));
    EXPECT_FALSE(w.Playing());
}

} // namespace
