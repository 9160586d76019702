// The book window inside the test process: the program's own application
// object starts on a book written here, and the tests read the layout, the
// menus, the scroll bar and the translation state directly.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "AppDriver.h"
#include "app/Application.h"
#include "app/BookWindow.h"
#include "app/Dialogs.h"
#include "app/Edition.h"
#include "app/ResourceIds.h"
#include "view/TextLayout.h"

namespace {

constexpr uint32_t LongWordParagraph = 5;
constexpr uint32_t OneWordParagraph = 6;
constexpr uint32_t EmptyParagraph = 7;
constexpr uint32_t DoubleBlankParagraph = 8;

// Four translation files; paragraph 2 has two pieces, the second one empty
// in the Spanish file.
void WriteTranslations(const TempFolder& folder)
{
    const char16_t* const languages[4][2] = {{u"\x0420\x0443\x0441\x0441\x043A\x0438\x0439 \x0442\x0435\x043A\x0441\x0442", u"\x0432\x0442\x043E\x0440\x043E\x0439"},
                                             {u"texte fran\x00E7" u"ais", u"second"},
                                             {u"texto espa\x00F1ol", u""},
                                             {u"\x05D8\x05E7\x05E1\x05D8 \x05E2\x05D1\x05E8\x05D9", u"\x05E9\x05E0\x05D9"}};
    for (int t = 0; t < 4; t++) {
        std::u16string text = u"02 0 9\r\n" + std::u16string(languages[t][0]) + u"\r\n2 20 30\r\n" +
                              std::u16string(languages[t][1]) + u"\r\n";
        WriteUtf16File(folder.File(L"book_t" + std::to_wstring(t + 1) + L".txt"), text);
    }
}

class BookWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new TempFolder();
        paragraphs = FillerParagraphs(900, 11);
        paragraphs[0] = u"Harrowdene";
        paragraphs[LongWordParagraph] = u"before " + std::u16string(400, u'm') + u" after and more words";
        paragraphs[OneWordParagraph] = u"Alone";
        paragraphs[EmptyParagraph] = u"";
        paragraphs[DoubleBlankParagraph] = u"two  blanks here";
        WriteUtf16File(folder->File(L"book.txt"), JoinParagraphs(paragraphs));
        WriteTranslations(*folder);
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

    static BookWindow& Window() { return *GetApplication()->window; }

    static TempFolder* folder;
    static std::vector<std::u16string> paragraphs;
};

TempFolder* BookWindowTest::folder = nullptr;
std::vector<std::u16string> BookWindowTest::paragraphs;

TEST_F(BookWindowTest, LayersArePaintedPicturesFirstBalloonsLast)
{
    BookWindow& w = Window();
    ASSERT_EQ(w.LayerCount(), 6u);
    EXPECT_EQ(w.LayerAt(0), &w.illustrationLayer);
    EXPECT_EQ(w.LayerAt(1), &w.textLayer);
    EXPECT_EQ(w.LayerAt(2), &w.mapLayer);
    EXPECT_EQ(w.LayerAt(3), &w.highlightLayer);
    EXPECT_EQ(w.LayerAt(4), &w.polylineLayer);
    EXPECT_EQ(w.LayerAt(5), &w.balloonLayer);
}

TEST_F(BookWindowTest, MenuBarHoldsItsItemsInOrder)
{
    HMENU bar = GetMenu(Window().Hwnd());
    ASSERT_NE(bar, nullptr);
    auto text = [](HMENU menu, UINT position) {
        wchar_t buffer[128] = {};
        GetMenuStringW(menu, position, buffer, 128, MF_BYPOSITION);
        return std::wstring(buffer);
    };
    const std::vector<std::wstring> popups = {L"File", L"Go to...", L"Translations", L"Dictionaries", L"Help"};
    ASSERT_EQ(GetMenuItemCount(bar), 5);
    for (UINT i = 0; i < 5; i++) {
        EXPECT_EQ(text(bar, i), popups[i]);
    }
    const struct {
        UINT popup;
        UINT position;
        const wchar_t* text;
        UINT id;
        bool checked;
    } items[] = {
        {0, 0, L"Exit", 2000, false},          {1, 0, L"Chapter 1", 7000, false},
        {1, 1, L"Chapter 2", 7001, false},     {1, 8, L"Chapter 9", 7008, false},
        {2, 0, L"Russian", 8000, true},        {2, 1, L"French", 8001, true},
        {2, 2, L"Spanish", 8002, true},        {2, 3, L"Hebrew", 8003, true},
        {3, 0, L"Wordhoard", 4100, false},     {4, 0, L"How to Use...", 3000, false},
        {4, 1, L"About...", 4000, false},      {4, 2, L"About the audio book", 4001, false},
    };
    const int counts[] = {1, 9, 4, 1, 3};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, i)), counts[i]);
    }
    for (const auto& item : items) {
        HMENU popup = GetSubMenu(bar, static_cast<int>(item.popup));
        EXPECT_EQ(text(popup, item.position), item.text);
        EXPECT_EQ(GetMenuItemID(popup, static_cast<int>(item.position)), item.id);
        EXPECT_EQ((GetMenuState(popup, item.position, MF_BYPOSITION) & MF_CHECKED) != 0, item.checked) << item.id;
    }
}

TEST_F(BookWindowTest, TranslationItemsSwitchTranslationsButNeverTheFirst)
{
    BookWindow& w = Window();
    ParagraphList& list = GetBookDocument().Paragraphs();
    ASSERT_EQ(list.TranslationCount(), 4u);
    const struct {
        UINT id;
        bool checked;
    } steps[] = {{8000, true}, {8001, false}, {8001, true}, {8003, false}, {8000, true}, {8003, true}};
    for (const auto& step : steps) {
        SendMessageW(w.Hwnd(), WM_COMMAND, step.id, 0);
        const UINT state = GetMenuState(w.TranslationsMenu(), step.id, MF_BYCOMMAND);
        EXPECT_EQ((state & MF_CHECKED) != 0, step.checked) << step.id;
        EXPECT_EQ(list.IsTranslationEnabled(step.id - 8000), step.checked ? 1 : 0) << step.id;
    }
}

// Walks the cells line by line and checks what the layout promises of them.
TEST_F(BookWindowTest, LayoutJustifiesIndentsAndSpacesTheLines)
{
    BookWindow& w = Window();
    TextLayer& cells = w.Cells();
    const int32_t pitch = LinePitch(w.lineHeight);
    const int32_t indent = w.margin + FirstLineIndentGaps * w.wordGap;
    ASSERT_EQ(w.margin, w.screenWidth / 16);
    ASSERT_EQ(w.textWidth, w.screenWidth - 2 * w.margin);
    ASSERT_EQ(cells.CellAt(0).Top(), 2 * w.lineHeight);

    std::map<uint32_t, int32_t> pictureAdvance;
    for (const IllustrationPlacement& place : IllustrationTable)
        pictureAdvance[place.paragraph] = place.advance;

    int justifiedLines = 0;
    int32_t previousLastTop = 0;
    for (uint32_t p = 0; p + 1 < paragraphs.size(); p++) {
        const std::u16string& text = paragraphs[p];
        const uint32_t first = w.ParagraphFirstCell(p);
        const uint32_t length = static_cast<uint32_t>(text.size()) + 1; // with the CR
        ASSERT_EQ(w.ParagraphFirstCell(p + 1), first + length) << p;

        // Every unit has its cell; blanks and the end unit are space cells.
        for (uint32_t c = 0; c < text.size(); c++) {
            const CharCell& cell = cells.CellAt(first + c);
            ASSERT_EQ(static_cast<char16_t>(cell.character & 0xFF), text[c] & 0xFF) << p << ":" << c;
            ASSERT_EQ(cell.wordFlag, text[c] == u' ' ? 0 : 1) << p << ":" << c;
        }
        EXPECT_EQ(cells.CellAt(first + length - 1).wordFlag, 0);

        // The first line starts indented, one pitch (plus a picture's room)
        // below the paragraph before.
        EXPECT_EQ(cells.CellAt(first).Left(), indent) << p;
        if (p > 0) {
            const int32_t extra = pictureAdvance.count(p - 1) ? pictureAdvance[p - 1] : 0;
            EXPECT_EQ(cells.CellAt(first).Top(), previousLastTop + pitch + extra) << p;
        }

        // Lines of the paragraph, each as its run of cells.
        std::vector<std::pair<uint32_t, uint32_t>> lines;
        for (uint32_t c = first; c < first + length; c++) {
            if (lines.empty() || cells.CellAt(c).Top() != cells.CellAt(lines.back().first).Top()) {
                if (!lines.empty()) {
                    ASSERT_EQ(cells.CellAt(c).Top(), cells.CellAt(lines.back().first).Top() + pitch) << p;
                }
                lines.push_back({c, c});
            }
            lines.back().second = c;
        }
        previousLastTop = cells.CellAt(lines.back().first).Top();

        for (size_t l = 0; l + 1 < lines.size(); l++) {
            // Later lines start at the margin.
            if (l > 0) {
                EXPECT_EQ(cells.CellAt(lines[l].first).Left(), w.margin) << p;
            }
            // The line's last cell is the space after its last word.
            const uint32_t lastChar = lines[l].second - 1;
            std::vector<int32_t> gaps;
            for (uint32_t c = lines[l].first; c < lines[l].second; c++) {
                if (cells.CellAt(c).wordFlag == 0) {
                    gaps.push_back(cells.CellAt(c + 1).Left() - cells.CellAt(c).Left());
                }
            }
            if (p == LongWordParagraph && cells.CellAt(lastChar).Right() > w.textWidth)
                continue;
            if (gaps.empty())
                continue;
            justifiedLines++;
            EXPECT_EQ(cells.CellAt(lastChar).Right(), w.textWidth) << p << " line " << l;
            for (size_t g = 1; g < gaps.size(); g++) {
                EXPECT_TRUE(gaps[g] == gaps[g - 1] || gaps[g] == gaps[g - 1] - 1) << p << " line " << l;
            }
        }
        // The last line keeps the normal gap.
        for (uint32_t c = lines.back().first; c < lines.back().second; c++) {
            if (cells.CellAt(c).wordFlag == 0) {
                EXPECT_EQ(cells.CellAt(c).box.width, w.wordGap) << p;
            }
        }
    }
    EXPECT_GT(justifiedLines, 500);
}

TEST_F(BookWindowTest, EdgeParagraphsMakeProgress)
{
    BookWindow& w = Window();
    TextLayer& cells = w.Cells();
    const int32_t pitch = LinePitch(w.lineHeight);

    // The word wider than the column stands alone on its own line, starting
    // at the margin, and the words after it follow on the next line.
    const uint32_t p = w.ParagraphFirstCell(LongWordParagraph);
    const CharCell& longStart = cells.CellAt(p + 7);
    EXPECT_EQ(longStart.Left(), w.margin);
    EXPECT_EQ(longStart.Top(), cells.CellAt(p).Top() + pitch);
    EXPECT_GT(cells.CellAt(p + 7 + 399).Right(), w.textWidth);
    EXPECT_EQ(cells.CellAt(p + 7 + 401).Top(), longStart.Top() + pitch);

    // One word: indented, its space cell the normal gap, one pitch.
    const uint32_t one = w.ParagraphFirstCell(OneWordParagraph);
    EXPECT_EQ(cells.CellAt(one + 5).box.width, w.wordGap);
    EXPECT_EQ(cells.CellAt(w.ParagraphFirstCell(EmptyParagraph)).Top(), cells.CellAt(one).Top() + pitch);
    // An empty line takes one cell and one pitch.
    EXPECT_EQ(w.ParagraphFirstCell(DoubleBlankParagraph), w.ParagraphFirstCell(EmptyParagraph) + 1);
    EXPECT_EQ(cells.CellAt(w.ParagraphFirstCell(DoubleBlankParagraph)).Top(),
              cells.CellAt(w.ParagraphFirstCell(EmptyParagraph)).Top() + pitch);
    // Two blanks leave two gaps.
    const uint32_t two = w.ParagraphFirstCell(DoubleBlankParagraph);
    EXPECT_EQ(cells.CellAt(two + 3).wordFlag, 0);
    EXPECT_EQ(cells.CellAt(two + 4).wordFlag, 0);
    EXPECT_EQ(cells.CellAt(two + 5).Left(), cells.CellAt(two + 3).Left() + 2 * w.wordGap);
}

TEST_F(BookWindowTest, ChapterCommandsBringEachChapterToTheTop)
{
    BookWindow& w = Window();
    ASSERT_GT(GetBookDocument().TotalCharacters(), ChapterStartChars[ChapterCount - 1]);
    for (int round = 0; round < 2; round++) {
        for (uint32_t i = 0; i < ChapterCount; i++) {
            DeleteSettings();
            SendMessageW(w.Hwnd(), WM_COMMAND, 7000 + i, 0);
            const int32_t top = i == 0 ? 0 : w.Cells().CellAt(ChapterStartChars[i]).Top();
            const int32_t expected = top < w.MaxShift() ? top : w.MaxShift();
            EXPECT_EQ(w.Shift(), expected) << "chapter " << i + 1;
            EXPECT_EQ(ReadSavedShift(), expected) << "chapter " << i + 1;
        }
    }
    // The chapter already at the top moves nothing and still saves.
    DeleteSettings();
    SendMessageW(w.Hwnd(), WM_COMMAND, 7008, 0);
    EXPECT_EQ(ReadSavedShift(), w.Shift());
    // Past the ninth chapter nothing happens.
    DeleteSettings();
    const int32_t before = w.Shift();
    SendMessageW(w.Hwnd(), WM_COMMAND, 7009, 0);
    SendMessageW(w.Hwnd(), WM_COMMAND, 7999, 0);
    EXPECT_EQ(w.Shift(), before);
    EXPECT_EQ(ReadSavedShift(), -1);
    SendMessageW(w.Hwnd(), WM_COMMAND, 7000, 0);
    EXPECT_EQ(w.Shift(), 0);
}

TEST_F(BookWindowTest, ScrollBarRangeIsTheClientHeight)
{
    BookWindow& w = Window();
    RECT client = {};
    GetClientRect(w.Hwnd(), &client);
    const int32_t h = client.bottom;
    const int32_t d = w.DocumentHeight();
    ASSERT_GT(d, h);
    EXPECT_EQ(d, w.MaxShift());
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(w.Hwnd(), SB_VERT, &info));
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, h);
    EXPECT_EQ(static_cast<int32_t>(info.nPage), h / (d / h));
    EXPECT_EQ(w.PixelsPerScrollUnit(), d / (h + 1) + 1);

    SendMessageW(w.Hwnd(), WM_COMMAND, 7000, 0);
    SendMessageW(w.Hwnd(), WM_KEYDOWN, VK_NEXT, 0);
    ASSERT_TRUE(GetScrollInfo(w.Hwnd(), SB_VERT, &info));
    EXPECT_EQ(info.nPos, 300 / w.PixelsPerScrollUnit());
    SendMessageW(w.Hwnd(), WM_KEYDOWN, VK_PRIOR, 0);
}

TEST_F(BookWindowTest, MousePointIsInDocumentPixels)
{
    BookWindow& w = Window();
    SendMessageW(w.Hwnd(), WM_COMMAND, 7000, 0);
    w.ScrollDown(500, 1);
    SendMessageW(w.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 20));
    EXPECT_EQ(w.MousePoint().x, 10);
    EXPECT_EQ(w.MousePoint().y, 520);
    w.ScrollUp(500, 1);
}

TEST_F(BookWindowTest, ConvertCharPicksTheCodePage)
{
    const struct {
        char16_t unit;
        int charset;
        unsigned char narrow;
    } rows[] = {
        {u'A', 0, 'A'},       {0x00E9, 0, 0xE9},   {0x0401, 204, 0xA8}, {0x0451, 204, 0xB8},
        {0x0410, 204, 0xC0}, {0x0400, 0, '?'},    {0x0454, 0, '?'},    {0x20AC, 0, 0x80},
    };
    for (const auto& row : rows) {
        DisplayChar out = 0;
        const int charset = WindowBase::ConvertChar(row.unit, out);
#ifdef UNICODE
        EXPECT_EQ(charset, 0);
        EXPECT_EQ(out, static_cast<wchar_t>(row.unit));
#else
        EXPECT_EQ(charset, row.charset) << std::hex << row.unit;
        EXPECT_EQ(static_cast<unsigned char>(out), row.narrow) << std::hex << row.unit;
#endif
    }

    WideString text;
    AssignString(text, u"\x041C\x0438\x0440 ok");
    text.count -= 1; // without its terminator, as a piece's text
    std::unique_ptr<DisplayChar[]> copy;
    const int charset = Window().CopyText(text, copy);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy[6], 0);
#ifdef UNICODE
    EXPECT_EQ(charset, 0);
#else
    EXPECT_EQ(charset, 204);
#endif
}

} // namespace

// The picture controls of the Help and purchase dialogs load their bitmaps
// from the templates; a dialog that leaves them behind costs a copy of the
// picture each time it opens.
TEST(DialogPictureTest, DestroyedDialogsLeaveNoBitmapBehind)
{
    const struct {
        int resource;
        DLGPROC procedure;
    } dialogs[] = {{IDD_HELP, AboutDialogProc}, {IDD_PURCHASE, PurchaseDialogProc}};
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.resource);
        for (int round = 0; round < 3; round++) {
            HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(d.resource), nullptr,
                                             d.procedure, 0);
            ASSERT_NE(dialog, nullptr);
            HGDIOBJ picture = nullptr;
            for (HWND c = FindWindowExW(dialog, nullptr, L"Static", nullptr); c != nullptr && picture == nullptr;
                 c = FindWindowExW(dialog, c, L"Static", nullptr))
                picture = reinterpret_cast<HGDIOBJ>(SendMessageW(c, STM_GETIMAGE, IMAGE_BITMAP, 0));
            ASSERT_NE(picture, nullptr);
            EXPECT_EQ(GetObjectType(picture), static_cast<DWORD>(OBJ_BITMAP));
            DestroyWindow(dialog);
            EXPECT_EQ(GetObjectType(picture), 0u) << "the bitmap outlived its dialog";
        }
    }
}

// A browser registered unquoted from a folder with a blank in its name; from
// the second command on, a file named like the folder's first word competes.
TEST(BrowserPathTest, UnquotedCommandNamesTheLongestExistingFile)
{
    TempFolder folder;
    CreateDirectoryW(folder.File(L"Program Files").c_str(), nullptr);
    const std::wstring browser = folder.File(L"Program Files\\browser.exe");
    WriteBytes(browser, "MZ");
    for (const std::wstring& command : {browser, browser + L" -url %1", browser}) {
        wchar_t path[1000] = {};
        ASSERT_TRUE(ProgramPathOfCommand(command.c_str(), command.size(), path, 1000));
        EXPECT_EQ(std::wstring(path), browser) << command;
        WriteBytes(folder.File(L"Program"), "MZ");
    }
}
