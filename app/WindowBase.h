#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "app/SettingsFile.h"
#include "core/BoundedArray.h"
#include "core/Geometry.h"
#include "core/WideString.h"
#include "view/OutlineLayer.h"

class DrawLayer;

// What the window hands to the platform when it draws or titles text: UTF-16
// in the wide-character build, an 8-bit character of code page 1251 or 1252
// in the 8-bit build.
#ifdef UNICODE
using DisplayChar = wchar_t;
#else
using DisplayChar = char;
#endif

// The one window timer; its ticks drive the automatic scrolling.
constexpr UINT_PTR AutoScrollTimerId = 20;

// Character sets that ConvertChar reports; the balloons choose a font by them.
constexpr int CharsetWestern = ANSI_CHARSET;    // 0
constexpr int CharsetCyrillic = RUSSIAN_CHARSET; // 204

// Kept by every window beside its layers; nothing fills it.
class WindowSegmentArray : public BoundedArray<OutlineSegment> {
public:
    explicit WindowSegmentArray(class WindowBase* window) : owner(window) {}
    class WindowBase* owner;
};

// The program's one top-level window, made concrete by BookWindow. It owns
// the system window and the device context kept for the window's whole life,
// holds the fonts and the ordered list of drawing layers, and keeps the
// vertical shift (the document y shown at the top of the client area)
// together with the scroll bar and the settings file that remembers it.
class WindowBase {
public:
    WindowBase(const Utf16Unit* windowClassName, uint32_t fontCount);

    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    // Overridable input and paint operations.
    virtual void Redraw();
    virtual void OnPaint(const Rect& update);
    virtual void PageDown() {}
    virtual void PageUp() {}
    virtual void LineDown() {}
    virtual void LineUp() {}
    virtual void OnThumbTrack(int32_t position);
    virtual void OnThumbPosition(int32_t position);
    virtual void OnCreate();
    virtual void EmptyHook(intptr_t) {}
    virtual void OnLeftButtonDown() {}
    virtual void OnRightButtonDown() {}
    virtual void OnTimer(UINT_PTR) {}
    virtual void SetTranslationEnabled(uint32_t index, uint8_t on) = 0;
    virtual const Utf16Unit* SettingsKeyName() = 0;
    virtual void GoToChapter(WPARAM command) = 0;
    virtual void OpenStorePage() = 0;
    // In its place in the slot order of the operations, after OpenStorePage.
    virtual ~WindowBase();
    virtual void Start() = 0;
    virtual int32_t DocumentHeight() = 0;

    // System window.
    void CreateMainWindow(HINSTANCE moduleInstance);
    void SetHwnd(HWND window) { hwnd = window; }
    void Invalidate();
    void UpdateClientRect();
    void RefreshClientRect() { UpdateClientRect(); }
    Rect ClientRect() const { return clientRect; }
    void SetTitle(const DisplayChar* text);
    bool StartTimer(UINT milliseconds);

    HWND Hwnd() const { return hwnd; }
    HDC Hdc() const { return hdc; }
    HINSTANCE Instance() const { return instance; }

    // Layers, painted from index 0 up.
    void SetLayerCount(uint32_t n) { layers.SetSize(n); }
    void SetLayer(DrawLayer* layer, uint32_t index) { layers.At(index) = layer; }
    uint32_t LayerCount() const { return layers.count; }
    DrawLayer* LayerAt(uint32_t index) const { return layers.At(index); }

    // Shift and scrolling. Only an update-bar value of exactly 1 moves the bar.
    int32_t Shift() const { return shift; }
    void SetShift(int32_t value) { shift = value; }
    int32_t MaxShift() const { return maxShift; }
    void SetMaxShift(int32_t value) { maxShift = value; }
    int32_t ScrollPos() const { return scrollPos; }
    void ScrollUp(int32_t pixels, uint8_t updateBar);
    void ScrollDown(int32_t pixels, uint8_t updateBar);
    int32_t PixelsPerScrollUnit();
    void SetScrollBarPos(int32_t position);
    void UpdateScrollRange();
    // The saved shift, 0 when no settings file holds one.
    int32_t ReadShiftSetting();

    // Mouse, stored in document coordinates.
    void TrackMouse(uint16_t x, uint16_t y);
    Point MousePoint() const { return mousePoint; }

    // Fonts and measuring, all on the kept device context.
    HFONT CreateBookFont(uint32_t index, int32_t height);
    void SelectFont(uint32_t index);
    HFONT FontAt(uint32_t index) const { return fonts.At(index); }
    int32_t CharWidth(Utf16Unit character, uint32_t fontIndex);
    int32_t LineHeight(uint32_t fontIndex);

    // Menus.
    void BuildMenus();
    void OnTranslationCommand(WPARAM command);
    HMENU TranslationsMenu() const { return translationsMenu; }

    // Edition configuration: icon and the menu items of this book.
    HICON LoadSmallIcon(HINSTANCE moduleInstance);
    void BuildChapterMenu(HMENU popup);
    void BuildTranslationMenu(HMENU popup);
    void AddDictionaryItems(HMENU popup, MENUITEMINFOW& item);

    // Dialogs.
    INT_PTR ShowAboutDialog();
    INT_PTR ShowHelpDialog();

    // Converts one unit for drawing and reports the character set to draw it
    // with: always CharsetWestern in the wide-character build.
    static int ConvertChar(Utf16Unit unit, DisplayChar& out);

    HWND hwnd;
    HDC hdc; // taken on WM_CREATE and never released: the class has no CS_OWNDC
    HINSTANCE instance;
    const Utf16Unit* className;
    int32_t scrollPos;
    HMENU translationsMenu;
    BoundedArray<HFONT> fonts;
    BoundedArray<DrawLayer*> layers;
    int32_t shift;
    int32_t maxShift;
    Point mousePoint;
    Rect clientRect;
    WindowSegmentArray segments;
    ShiftSettings settings;

    // A state change that the next paint must show although no invalidation
    // covers it (recolouring invalidates only the last line of its range):
    // the band of document rows from top to bottom, or the whole window.
    void RepaintAtNextPaint(int32_t documentTop, int32_t documentBottom);
    void RepaintAllAtNextPaint();

protected:
    void DrawLayers();
    void WriteShiftSetting();
    int32_t MeasureChar(Utf16Unit character);

    // Per font, the widths measured so far, one slot per UTF-16 unit.
    BoundedArray<std::unique_ptr<int32_t[]>> widthCache;
    // Rows owed to the next paint beyond its update area; empty when the
    // top is not above the bottom.
    int64_t repaintTop;
    int64_t repaintBottom;
};

// Right and bottom of the desktop window; both left unchanged when there is
// no desktop window.
void GetDesktopSize(int32_t& width, int32_t& height);

// Section of the settings file (ShiftSettings) that holds the shift.
extern const wchar_t* const SettingsSection;
