#include "app/WindowBase.h"

#include <cstdio>

#include "app/Application.h"
#include "view/DrawLayer.h"

const wchar_t* const SettingsSection = L"Start";

namespace {

const wchar_t* AsWide(const Utf16Unit* text)
{
    return reinterpret_cast<const wchar_t*>(text);
}

// Measuring one character at a time is the layout's hot path (two calls per
// character of a book of a quarter of a million units), so each font keeps
// the widths it has measured. A width depends only on the font and the unit.
constexpr uint32_t UnitRange = 0x10000;
constexpr int32_t WidthUnknown = -1;

} // namespace

WindowBase::WindowBase(const Utf16Unit* windowClassName, uint32_t fontCount)
    : hwnd(nullptr), hdc(nullptr), instance(nullptr), className(windowClassName), scrollPos(0),
      translationsMenu(nullptr), shift(0), maxShift(0), segments(this), repaintTop(0), repaintBottom(0)
{
    fonts.SetSize(fontCount);
    widthCache.SetSize(fontCount);
}

WindowBase::~WindowBase() {}

void WindowBase::Redraw()
{
    UpdateClientRect();
    DrawLayers();
}

void WindowBase::OnPaint(const Rect& update)
{
    UpdateClientRect();
    // The layers draw on the kept context, which the paint does not clip.
    // Outside the update area and the rows owed to this paint the window
    // already shows what they would draw, so they are limited to that.
    RECT area = {};
    Rect::ToRECT(update, area);
    if (repaintTop < repaintBottom) {
        const int64_t top = repaintTop - shift;
        const int64_t bottom = repaintBottom - shift;
        const LONG clampedTop = top < 0 ? 0 : top > clientRect.height ? clientRect.height : static_cast<LONG>(top);
        const LONG clampedBottom =
            bottom < 0 ? 0 : bottom > clientRect.height ? clientRect.height : static_cast<LONG>(bottom);
        if (clampedTop < clampedBottom) {
            // Erased as an invalidation would have erased them, so that
            // they end as a fresh paint of the whole window would leave them.
            const RECT owed = {0, clampedTop, clientRect.width, clampedBottom};
            FillRect(hdc, &owed, reinterpret_cast<HBRUSH>(GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND)));
            if (area.left >= area.right || area.top >= area.bottom)
                area = RECT{0, clampedTop, clientRect.width, clampedBottom};
            else
                area = RECT{0, clampedTop < area.top ? clampedTop : area.top, clientRect.width,
                            clampedBottom > area.bottom ? clampedBottom : area.bottom};
        }
        repaintTop = repaintBottom = 0;
    }
    IntersectClipRect(hdc, area.left, area.top, area.right, area.bottom);
    DrawLayers();
    SelectClipRgn(hdc, nullptr);
}

void WindowBase::RepaintAtNextPaint(int32_t documentTop, int32_t documentBottom)
{
    if (documentTop >= documentBottom)
        return;
    if (repaintTop >= repaintBottom) {
        repaintTop = documentTop;
        repaintBottom = documentBottom;
        return;
    }
    if (documentTop < repaintTop)
        repaintTop = documentTop;
    if (documentBottom > repaintBottom)
        repaintBottom = documentBottom;
}

void WindowBase::RepaintAllAtNextPaint()
{
    repaintTop = INT32_MIN;
    repaintBottom = static_cast<int64_t>(INT32_MAX) * 2;
}

void WindowBase::DrawLayers()
{
    for (uint32_t i = 0; i < layers.count; i++) {
        DrawLayer* layer = layers.At(i);
        if (layer != nullptr)
            layer->Draw(hdc);
    }
}

void WindowBase::OnThumbTrack(int32_t position)
{
    const int32_t p = static_cast<int16_t>(position);
    const int32_t unit = PixelsPerScrollUnit();
    if (scrollPos < p)
        ScrollDown(unit * (p - scrollPos), 0);
    else
        ScrollUp(unit * (scrollPos - p), 0);
    scrollPos = p;
    Invalidate();
}

void WindowBase::OnThumbPosition(int32_t)
{
    Invalidate();
}

void WindowBase::OnCreate()
{
    hdc = GetDC(hwnd);
    UpdateClientRect();
}

void WindowBase::CreateMainWindow(HINSTANCE moduleInstance)
{
    instance = moduleInstance;

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = nullptr;
    windowClass.hIconSm = LoadSmallIcon(instance);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = AsWide(className);
    RegisterClassExW(&windowClass);

    HWND created = CreateWindowExW(0, AsWide(className), L"", WS_OVERLAPPEDWINDOW | WS_VSCROLL, CW_USEDEFAULT, 0,
                                   CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    hwnd = created;
    ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    UpdateWindow(hwnd);
    BuildMenus();
}

void WindowBase::Invalidate()
{
    InvalidateRect(hwnd, nullptr, TRUE);
}

void WindowBase::UpdateClientRect()
{
    RECT r = {};
    GetClientRect(hwnd, &r);
    clientRect = Rect(0, 0, r.right, r.bottom);
}

void WindowBase::SetTitle(const DisplayChar* text)
{
#ifdef UNICODE
    SetWindowTextW(hwnd, text);
#else
    SetWindowTextA(hwnd, text);
#endif
}

bool WindowBase::StartTimer(UINT milliseconds)
{
    SetTimer(hwnd, AutoScrollTimerId, milliseconds, nullptr);
    return true;
}

void WindowBase::WriteShiftSetting()
{
    settings.Write(SettingsSection, AsWide(SettingsKeyName()), shift);
}

int32_t WindowBase::ReadShiftSetting()
{
    return settings.Read(SettingsSection, AsWide(SettingsKeyName()));
}

void WindowBase::ScrollUp(int32_t pixels, uint8_t updateBar)
{
    shift = shift < pixels ? 0 : shift - pixels;
    WriteShiftSetting();
    for (uint32_t i = 0; i < layers.count; i++) {
        DrawLayer* layer = layers.At(i);
        if (layer != nullptr)
            layer->ScrolledUp(pixels);
    }
    if (updateBar == 1) {
        scrollPos = shift / PixelsPerScrollUnit();
        SetScrollBarPos(scrollPos);
    }
}

void WindowBase::ScrollDown(int32_t pixels, uint8_t updateBar)
{
    // Widened so that a huge request cannot wrap past the largest shift.
    const int64_t wanted = static_cast<int64_t>(shift) + pixels;
    shift = wanted > maxShift ? maxShift : static_cast<int32_t>(wanted);
    WriteShiftSetting();
    for (uint32_t i = 0; i < layers.count; i++) {
        DrawLayer* layer = layers.At(i);
        if (layer != nullptr)
            layer->ScrolledDown(pixels);
    }
    if (updateBar == 1) {
        scrollPos = shift / PixelsPerScrollUnit();
        SetScrollBarPos(scrollPos);
    }
}

int32_t WindowBase::PixelsPerScrollUnit()
{
    RECT r = {};
    GetClientRect(hwnd, &r);
    const int32_t clientHeight = r.bottom - r.top;
    return DocumentHeight() / (clientHeight + 1) + 1;
}

void WindowBase::SetScrollBarPos(int32_t position)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
}

void WindowBase::UpdateScrollRange()
{
    RECT r = {};
    GetClientRect(hwnd, &r);
    const int32_t h = r.bottom - r.top;
    const int32_t d = DocumentHeight();
    if (d <= h || h <= 0)
        return;
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMin = 0;
    info.nMax = h;
    info.nPage = static_cast<UINT>(h / (d / h));
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
}

void WindowBase::TrackMouse(uint16_t x, uint16_t y)
{
    mousePoint = Point(x, static_cast<int32_t>(y) + shift);
}

HFONT WindowBase::CreateBookFont(uint32_t index, int32_t height)
{
    HFONT font = CreateFontW(height, 0, 0, 0, FW_LIGHT, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_ROMAN | DEFAULT_PITCH, nullptr);
    fonts.At(index) = font;
    widthCache.At(index).reset();
    return font;
}

void WindowBase::SelectFont(uint32_t index)
{
    // Selecting a font makes Wine's X11 driver look up the screen's Xft
    // settings, which costs microseconds each time; the text paths select
    // font 0 before every recolour and paint although it rarely changed.
    HFONT font = fonts.At(index);
    if (GetCurrentObject(hdc, OBJ_FONT) != font)
        SelectObject(hdc, font);
}

int32_t WindowBase::MeasureChar(Utf16Unit character)
{
    SIZE size = {};
#ifdef UNICODE
    const wchar_t text = static_cast<wchar_t>(character);
    GetTextExtentPoint32W(hdc, &text, 1, &size);
#else
    // The 8-bit build draws the low byte of each unit, so it measures that.
    const char text = static_cast<char>(character & 0xFF);
    GetTextExtentPoint32A(hdc, &text, 1, &size);
#endif
    return size.cx;
}

int32_t WindowBase::CharWidth(Utf16Unit character, uint32_t fontIndex)
{
    // The layout asks for a width about twice per character of the book;
    // selecting the font costs as much as measuring, so both happen only for
    // a character not measured before. Drawing code selects its own font.
    if (fontIndex >= widthCache.count) {
        SelectFont(fontIndex);
        return MeasureChar(character);
    }
    std::unique_ptr<int32_t[]>& cache = widthCache.At(fontIndex);
    if (!cache) {
        cache.reset(new (std::nothrow) int32_t[UnitRange]);
        if (!cache) {
            SelectFont(fontIndex);
            return MeasureChar(character);
        }
        for (uint32_t i = 0; i < UnitRange; i++)
            cache[i] = WidthUnknown;
    }
    int32_t& width = cache[character];
    if (width == WidthUnknown) {
        SelectFont(fontIndex);
        width = MeasureChar(character);
    }
    return width;
}

int32_t WindowBase::LineHeight(uint32_t fontIndex)
{
    SelectFont(fontIndex);
    SIZE size = {};
    GetTextExtentPoint32W(hdc, L" ", 1, &size);
    return size.cy;
}

void WindowBase::BuildMenus()
{
    HMENU bar = CreateMenu();
    HMENU fileMenu = CreatePopupMenu();
    HMENU chapterMenu = CreatePopupMenu();
    translationsMenu = CreatePopupMenu();
    HMENU dictionaryMenu = CreatePopupMenu();
    HMENU helpMenu = CreatePopupMenu();

    SetMenu(hwnd, bar);

    // By command 0, which no item carries, so each popup is appended.
    InsertMenuW(bar, 0, MF_POPUP, reinterpret_cast<UINT_PTR>(fileMenu), L"File");
    InsertMenuW(bar, 0, MF_POPUP, reinterpret_cast<UINT_PTR>(chapterMenu), L"Go to...");
    InsertMenuW(bar, 0, MF_POPUP, reinterpret_cast<UINT_PTR>(translationsMenu), L"Translations");
    InsertMenuW(bar, 0, MF_POPUP, reinterpret_cast<UINT_PTR>(dictionaryMenu), L"Dictionaries");
    InsertMenuW(bar, 0, MF_POPUP, reinterpret_cast<UINT_PTR>(helpMenu), L"Help");

    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_TYPE | MIIM_ID;
    item.fType = MFT_STRING;

    const struct {
        HMENU menu;
        UINT position;
        UINT id;
        const wchar_t* text;
    } items[] = {
        {fileMenu, 0, CommandExit, L"Exit"},
        {helpMenu, 0, CommandHowToUse, L"How to Use..."},
        {helpMenu, 1, CommandAbout, L"About..."},
        {helpMenu, 2, CommandAboutAudioBook, L"About the audio book"},
        {dictionaryMenu, 0, CommandDictionary, L"Wordhoard"},
    };
    for (const auto& entry : items) {
        item.wID = entry.id;
        item.dwTypeData = const_cast<wchar_t*>(entry.text);
        InsertMenuItemW(entry.menu, entry.position, TRUE, &item);
    }

    AddDictionaryItems(dictionaryMenu, item);
    BuildChapterMenu(chapterMenu);
    BuildTranslationMenu(translationsMenu);
    DrawMenuBar(hwnd);
}

void WindowBase::OnTranslationCommand(WPARAM command)
{
    const UINT id = LOWORD(command);
    const uint32_t index = id - CommandTranslationFirst;
    // An id without an item reports every bit set, which counts as checked.
    const UINT state = GetMenuState(translationsMenu, id, MF_BYCOMMAND);
    if ((state & MF_CHECKED) != 0 && index != 0) {
        CheckMenuItem(translationsMenu, id, MF_BYCOMMAND | MF_UNCHECKED);
        SetTranslationEnabled(index, 0);
    } else {
        CheckMenuItem(translationsMenu, id, MF_BYCOMMAND | MF_CHECKED);
        SetTranslationEnabled(index, 1);
    }
}

int WindowBase::ConvertChar(Utf16Unit unit, DisplayChar& out)
{
#ifdef UNICODE
    out = static_cast<wchar_t>(unit);
    return CharsetWestern;
#else
    const bool cyrillic = unit >= 0x0401 && unit <= 0x0451;
    const wchar_t wide = static_cast<wchar_t>(unit);
    char narrow = '?';
    // A unit that the code page does not hold becomes the code page's
    // default character.
    if (WideCharToMultiByte(cyrillic ? 1251 : 1252, WC_COMPOSITECHECK, &wide, 1, &narrow, 1, nullptr, nullptr) != 1)
        narrow = '?';
    out = narrow;
    return cyrillic ? CharsetCyrillic : CharsetWestern;
#endif
}

void GetDesktopSize(int32_t& width, int32_t& height)
{
    HWND desktop = GetDesktopWindow();
    if (desktop == nullptr)
        return;
    RECT r = {};
    GetWindowRect(desktop, &r);
    width = r.right;
    height = r.bottom;
}
