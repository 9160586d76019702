// The demo edition pinned down to the last pixel: every laid-out cell of the
// whole book, and the window at the top, at chapter 5 and with a fragment
// turned green, compared with what the code gave when the values were
// recorded (a 1920x1080 screen, Wine's own fonts); after each sequence of
// changes a paint of the invalid area equals a fresh paint of the window.
// Each capture is also saved as a BMP next to the test, for
// `compare -metric AE` against another build's captures.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "AppDriver.h"
#include "app/Application.h"
#include "app/BookWindow.h"
#include "app/Edition.h"

namespace {

// The demo book is ASCII: both builds lay it out and draw it alike.
constexpr uint64_t CellsDigest = 0x4037ef7e7b9dddb4ull;
constexpr uint64_t TopDigest = 0xbab476ce6fdc718cull;
constexpr uint64_t ChapterFiveDigest = 0x0a12ae03ee6c505aull;
constexpr uint64_t SpokenDigest = 0x92a727e5d206ddbaull;

// FNV-1a over the value's eight bytes, so that padding never counts.
uint64_t Mix(uint64_t hash, int64_t value)
{
    for (int i = 0; i < 8; i++)
        hash = (hash ^ static_cast<uint8_t>(value >> (8 * i))) * 0x100000001B3ull;
    return hash;
}
constexpr uint64_t Seed = 0xCBF29CE484222325ull;

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

uint64_t Shoot(HWND hwnd, const char* name)
{
    Pump();
    UpdateWindow(hwnd);
    GdiFlush();
    const ClientCapture shot(hwnd);
    uint64_t hash = Mix(Mix(Seed, shot.Width()), shot.Height());
    for (uint32_t p : shot.Pixels())
        hash = Mix(hash, p & 0xFFFFFF);
    const DWORD bytes = static_cast<DWORD>(shot.Pixels().size() * sizeof(uint32_t));
    const BITMAPFILEHEADER file = {0x4D42, 54 + bytes, 0, 0, 54};
    const BITMAPINFOHEADER info = {40, shot.Width(), -shot.Height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    if (FILE* f = std::fopen((std::string(PICTURE_DIR) + "/" + name).c_str(), "wb")) {
        std::fwrite(&file, sizeof(file), 1, f);
        std::fwrite(&info, sizeof(info), 1, f);
        std::fwrite(shot.Pixels().data(), 1, bytes, f);
        std::fclose(f);
    }
    return hash;
}

class BookPictureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        DeleteSettings();
        SetCurrentDirectoryW(WindowsPathOf(DEMO_EDITION_DIR).c_str());
        GetApplication()->Start(GetModuleHandleW(nullptr), SW_SHOW);
        Pump();
    }
    void SetUp() override
    {
        if (GetSystemMetrics(SM_CXSCREEN) != 1920 || GetSystemMetrics(SM_CYSCREEN) != 1080)
            GTEST_SKIP() << "the recorded pictures are of a 1920x1080 screen";
    }
};

TEST_F(BookPictureTest, EveryCellOfTheBookIsWhereItWas)
{
    const TextLayer& text = GetApplication()->window->textLayer;
    ASSERT_GT(text.CellCount(), 100000u);
    uint64_t hash = Mix(Seed, text.CellCount());
    for (uint32_t i = 0; i < text.CellCount(); i++) {
        const CharCell& c = text.CellAt(i);
        for (int64_t v : {int64_t{c.character}, int64_t{c.wordFlag}, int64_t{c.box.x}, int64_t{c.box.y},
                          int64_t{c.box.width}, int64_t{c.box.height}, int64_t{c.color.red},
                          int64_t{c.color.green}, int64_t{c.color.blue}})
            hash = Mix(hash, v);
    }
    EXPECT_EQ(hash, CellsDigest) << std::hex << hash;
}

TEST_F(BookPictureTest, TopChapterFiveAndSpokenFragmentLookAsBefore)
{
    BookWindow& w = *GetApplication()->window;
    w.Invalidate();
    const uint64_t top = Shoot(w.Hwnd(), "picture-top.bmp");
    EXPECT_EQ(top, TopDigest) << std::hex << top;
    w.GoToChapter(CommandChapterFirst + 4);
    const uint64_t chapter = Shoot(w.Hwnd(), "picture-chapter5.bmp");
    EXPECT_EQ(chapter, ChapterFiveDigest) << std::hex << chapter;

    // The chapter's first fragment over two lines: only its last line is
    // invalidated, yet both turn green.
    const SyncTable& table = GetBookDocument().Fragments();
    uint32_t a = 0, b = 0, next = 0;
    for (uint32_t i = 0; i < table.count && b == 0; i++) {
        const SyncFragment& row = table.At(i);
        const uint32_t base = w.ParagraphFirstCell(static_cast<uint32_t>(row.paragraph));
        const uint32_t first = base + static_cast<uint32_t>(row.firstChar);
        const uint32_t last = base + static_cast<uint32_t>(row.lastChar);
        if (row.isSet == 1 && first >= ChapterStartChars[4] &&
            w.textLayer.CellAt(first).Top() < w.textLayer.CellAt(last).Top()) {
            a = first;
            b = last;
            next = i + 1;
        }
    }
    ASSERT_GT(b, a);
    ASSERT_LT(w.textLayer.CellAt(b).Bottom() - w.Shift(), w.ClientRect().Height());
    w.textLayer.Recolor(SpokenColor, a, b);
    const uint64_t partial = Shoot(w.Hwnd(), "picture-spoken-partial.bmp");
    // A partial paint must leave what a fresh paint of the erased window does.
    w.Invalidate();
    const uint64_t spoken = Shoot(w.Hwnd(), "picture-spoken.bmp");
    EXPECT_EQ(spoken, SpokenDigest) << std::hex << spoken;
    EXPECT_EQ(partial, spoken) << std::hex << partial;

    // The next fragment, lower, turns green before the window paints: the
    // rows owed to that paint still reach up to the first line of this one.
    const SyncFragment& after = table.At(next);
    const uint32_t c =
        w.ParagraphFirstCell(static_cast<uint32_t>(after.paragraph)) + static_cast<uint32_t>(after.firstChar);
    const uint32_t d = c + static_cast<uint32_t>(after.lastChar - after.firstChar);
    ASSERT_GT(w.textLayer.CellAt(c).Top(), w.textLayer.CellAt(a).Top());
    w.textLayer.Recolor(TextColor, a, b);
    w.textLayer.Recolor(SpokenColor, c, d);
    const uint64_t twoPartial = Shoot(w.Hwnd(), "picture-two-partial.bmp");
    w.Invalidate();
    EXPECT_EQ(twoPartial, Shoot(w.Hwnd(), "picture-two.bmp")) << std::hex << twoPartial;

    // A page down, a click on a piece the first translation leaves empty (an
    // outline, no balloon, nothing invalidated), then the fragment ends.
    w.PageDown();
    const TextRegionArray& regions = w.TranslationRegions();
    uint32_t r = 0;
    for (; r < regions.count; r++) {
        const TextRegion& region = regions.At(r);
        const Paragraph& paragraph = GetBookDocument().Paragraphs().At(static_cast<uint32_t>(region.Line()));
        const bool empty = paragraph.PieceAt(0, static_cast<uint32_t>(region.Index())).text.count == 0;
        if (empty && region.At(0).Top() >= w.Shift())
            break;
    }
    ASSERT_LT(r, regions.count);
    const Rect piece = regions.At(r).At(0);
    ASSERT_LT(piece.Bottom() - w.Shift(), w.ClientRect().Height());
    Shoot(w.Hwnd(), "picture-page-down.bmp");
    SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM(piece.Left() + piece.Width() / 2, piece.Top() + piece.Height() / 2 - w.Shift()));
    w.textLayer.Recolor(TextColor, c, d);
    const uint64_t outlinePartial = Shoot(w.Hwnd(), "picture-outline-partial.bmp");
    w.Invalidate();
    EXPECT_EQ(outlinePartial, Shoot(w.Hwnd(), "picture-outline.bmp")) << std::hex << outlinePartial;
    w.highlightLayer.ClearSegments();
    w.Invalidate();
    Pump();
}

} // namespace
