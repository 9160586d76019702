#pragma once

// The program's own application object started inside the test process on a
// book written here, with one narration track and four translation files.
// The tests read the window's state directly; the tests that start the real
// program take their click points from this same layout, which depends only
// on the screen and the book.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppDriver.h"
#include "app/Application.h"
#include "app/BookWindow.h"

// Where the translated pieces lie: two pieces in paragraph 2, one far down
// the book so that it can be scrolled to either edge of the window.
constexpr uint32_t TranslatedParagraph = 2;
constexpr uint32_t FarTranslatedParagraph = 60;

class ReadingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    // Writes the book and the translation files into another folder, for
    // the real program to read the same text.
    static void WriteBookFiles(const TempFolder& target);
    // The track a fragment is read from, written silent and as long as the
    // last fragment of it needs.
    static void WriteTrackOf(const TempFolder& target, int32_t fragment);

    // Dispatches one waiting message; false when none waits.
    static bool PumpOne();
    static void Pump();
    // Pumps messages until the condition holds or the time is up. The
    // condition is tested after every message: each fragment report is one,
    // and on a slow machine a fragment's start and end can wait in the queue
    // together.
    template <typename Condition>
    static bool PumpUntil(Condition condition, DWORD milliseconds)
    {
        const DWORD start = GetTickCount();
        for (;;) {
            if (condition())
                return true;
            const bool timeUp = GetTickCount() - start >= milliseconds;
            if (PumpOne())
                continue;
            if (timeUp)
                return false;
            Sleep(10);
        }
    }

    static BookWindow& Window() { return *GetApplication()->window; }
    // Scrolls the view to exactly this shift (within the document).
    static void ScrollTo(int32_t shift);
    // Stops narration if it runs and waits for its thread to end.
    static void StopNarration();

    // Document point in the middle of a region's first rectangle, and of a
    // text cell.
    static POINT DocumentPointOf(const TextRegion& region);
    static POINT DocumentPointOfCell(uint32_t c);
    // The same as a mouse message's lParam for a view shifted by shift.
    static LPARAM ClientPoint(POINT document, int32_t shift);

    // Row i of the synchronisation table.
    static const SyncFragment& Fragment(int32_t i);
    static uint32_t FirstCellOf(int32_t fragment);
    static uint32_t LastCellOf(int32_t fragment);

    static std::u16string BalloonTextShown();
    static std::u16string Expected(uint32_t t, uint32_t k);

    static TempFolder* folder;
};

bool CellsHaveColor(uint32_t first, uint32_t last, const ColorRGB& color);
bool AnyCellGreen();
