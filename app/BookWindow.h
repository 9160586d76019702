#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "app/PicturePreload.h"
#include "app/WindowBase.h"
#include "audio/PlaybackOwner.h"
#include "book/BookDocument.h"
#include "view/BalloonLayer.h"
#include "view/IllustrationLayer.h"
#include "view/MapLayer.h"
#include "view/OutlineLayer.h"
#include "view/TextLayer.h"
#include "view/TextRegion.h"

class PlaybackController;
class BookWindow;

// Messages that carry the playback side's fragment reports to the
// user-interface thread: wParam the fragment, lParam the narration it
// belongs to.
constexpr UINT MessageFragmentStarted = WM_APP + 1;
constexpr UINT MessageFragmentEnded = WM_APP + 2;
// The narration stopped at a track that cannot be played; wParam 0.
constexpr UINT MessageNarrationHalted = WM_APP + 3;

// Holds the book window; nothing else uses it.
struct WindowOwnerRef {
    explicit WindowOwnerRef(BookWindow* w) : window(w) {}
    BookWindow* window;
};

// The reading view of the one book: the layers, the hit regions, the layout
// of the text into cells, narration with the spoken fragment in green and
// the translation balloons.
class BookWindow : public WindowBase, public PlaybackOwner {
public:
    static constexpr int32_t PageScrollPixels = 300;
    static constexpr int32_t LineScrollPixels = 20;
    static constexpr int32_t AutoScrollStepPixels = 5;
    static constexpr int32_t AutoScrollEdgePixels = 100;
    static constexpr UINT AutoScrollPeriod = 100;
    static constexpr int32_t BalloonMaxWidth = 400;
    static constexpr int32_t BookFontHeight = 22;

    BookWindow();

    // WindowBase.
    void PageDown() override;
    void PageUp() override;
    void LineDown() override;
    void LineUp() override;
    void OnThumbPosition(int32_t position) override;
    void OnLeftButtonDown() override;
    void OnRightButtonDown() override;
    void OnTimer(UINT_PTR id) override;
    void SetTranslationEnabled(uint32_t index, uint8_t on) override;
    const Utf16Unit* SettingsKeyName() override;
    void GoToChapter(WPARAM command) override;
    void OpenStorePage() override;
    ~BookWindow() override;
    void Start() override;
    int32_t DocumentHeight() override;

    // For the playback side; any thread.
    bool GetFragment(int32_t i, SyncFragment& out) override;
    void HighlightFragment(int32_t i) override;
    void UnhighlightFragment(int32_t i) override;
    int32_t ShowPurchaseDialog() override;

    // Ends narration for good before the program ends; false when a thread
    // of the player did not end within the time.
    bool EndNarration(DWORD milliseconds);

    // A fragment report taken off the message queue (user-interface thread).
    void OnFragmentReport(UINT message, WPARAM fragment, LPARAM start);

    // Regions, edition configuration, tests.
    uint32_t ParagraphFirstCell(uint32_t p) const { return paragraphFirstCell.At(p); }
    TextLayer& Cells() { return textLayer; }
    TextRegionArray& FragmentRegions() { return fragmentRegions; }
    TextRegionArray& TranslationRegions() { return translationRegions; }
    bool Playing() const { return playing != 0; }
    bool AutoScrolling() const { return autoScroll != 0; }

    int CopyText(const WideString& text, std::unique_ptr<DisplayChar[]>& out);
    int ShowTranslationBalloon(ParagraphList& paragraphs, int32_t r);
    void UpdateAutoScroll(uint32_t c);

    // Edition configuration.
    int32_t IllustrationCount() const;
    void PlaceIllustration(uint32_t paragraph, int32_t& y);
    void OpenDictionaryPage(WPARAM command);

    // Layout.
    void LayoutText(ParagraphList& paragraphs);
    void ComputeMetrics();
    int32_t LineStartX(uint32_t w) const;
    void LayoutParagraph(const Paragraph& paragraph, int32_t& y, uint32_t& cell);
    bool LayoutLine(const Paragraph& paragraph, uint32_t& cell, uint32_t& w, int32_t y);
    void FitWords(const Paragraph& paragraph, uint32_t w, uint32_t& n, int32_t& slack, bool& end);
    void PlaceWords(const Paragraph& paragraph, uint32_t& cell, uint32_t w, uint32_t n, int32_t y, int32_t slack,
                    bool end);
    int32_t WordWidth(const Paragraph& paragraph, uint32_t word);
    void AppendWordCells(const WideString& text, const WordSpan& span, int32_t y, int32_t& x, uint32_t cell);
    // Moves x past the gap and, while extra lasts, one pixel more.
    void AppendSpaceCell(uint32_t cell, int32_t y, int32_t& x, int32_t gap, int32_t& extra);
    void SetFirstVisibleCell(uint32_t s);

    void BuildFragmentRegions(SyncTable& fragments);
    void BuildTranslationRegions(ParagraphList& paragraphs);
    void SetTitleFromFirstParagraph(ParagraphList& paragraphs);

    uint8_t playing;
    uint8_t autoScroll;
    int32_t screenWidth;
    int32_t screenHeight;
    int32_t textWidth;
    int32_t margin;
    int32_t wordGap;
    int32_t lineHeight;
    TextRegionArray translationRegions;
    TextRegionArray fragmentRegions;
    BoundedArray<uint32_t> paragraphFirstCell;
    std::unique_ptr<DisplayChar[]> balloonText;
    // Never deleted: a playback thread may still be using it when the window
    // goes, and it ends with the process.
    PlaybackController* player;
    HighlightLayer highlightLayer;
    BookBalloonLayer balloonLayer;
    TextLayer textLayer;
    BookIllustrationLayer illustrationLayer;
    MapLayer mapLayer;
    BookPolylineLayer polylineLayer;
    uint32_t highlightFirstCell;
    uint32_t highlightLastCell;
    uint32_t translationIndex;
    WindowOwnerRef ownerRef;

    // Left-click state.
    bool balloonOpen;
    int32_t openRegion;
    int32_t lastHitRegion;
    int32_t openBalloonIndex;
    int32_t lastBalloonResult;

    // Starts reading the edition's pictures for the layout to place, on a
    // thread of their own; the program does it before it makes its window,
    // whose creation is mostly waiting for Wine and the display.
    void BeginPictureLoading(HINSTANCE instance);
    PicturePreload picturePreload;

private:
    void ApplyHighlight(int32_t i);

    // The player's number of the start the right-click made, so that a
    // report still queued from an earlier start can be told apart.
    uint32_t narrationStart;
};

// Makes the window; false with a null window when allocation fails.
bool CreateBookWindow(BookWindow*& window);

// Colours of the reading view.
extern const ColorRGB TextColor;
extern const ColorRGB SpokenColor;
