#include "app/Edition.h"

#include "app/Application.h"
#include "app/BookWindow.h"
#include "app/Dialogs.h"

const uint32_t ChapterStartChars[ChapterCount] = {0, 32900, 56605, 89105, 119370, 142820, 165562, 215129, 240025};

const wchar_t* const TranslationMenuNames[TranslationMenuCount] = {L"Russian", L"French", L"Spanish", L"Hebrew"};

const IllustrationPlacement IllustrationTable[IllustrationCount] = {
    {34, L"Linden_Marsh_01.bmp", 30, 180, 590},
    {152, L"Quarrystone_02.bmp", 30, 200, 620},
    {207, L"Tamsin_02.bmp", 25, 180, 600},
    {334, L"Terrace_03.bmp", 25, 40, 620},
    {541, L"Corvane_04.bmp", 25, 200, 620},
    {679, L"Parlour_05.bmp", 25, 60, 620},
    {1053, L"Osric_Fenn_07.bmp", 25, 40, 620},
    {1424, L"Cellar_08.bmp", 25, 40, 620},
    {1594, L"Orchard_09.bmp", 25, 40, 620},
};

const Utf16Unit ShiftSettingKey[] = u"TheHarrowdeneVertshift";

const wchar_t* const StorePageUS = L" https://www.example.com/store/us/harrowdene-audio-book";
const wchar_t* const StorePageFrance = L" https://www.example.com/store/fr/harrowdene-livre-audio";
const wchar_t* const DictionaryPage = L" https://www.example.com/wordhoard/";
const wchar_t* const GlossaryPage = L" https://www.example.com/wordhoard/glossary";
const wchar_t* const MakerSitePage = L" https://www.example.com/lumisort/";

HICON WindowBase::LoadSmallIcon(HINSTANCE moduleInstance)
{
    return LoadIconW(moduleInstance, MAKEINTRESOURCEW(ProgramIconId));
}

void WindowBase::BuildChapterMenu(HMENU popup)
{
    static const wchar_t* const names[ChapterCount] = {L"Chapter 1", L"Chapter 2", L"Chapter 3",
                                                         L"Chapter 4", L"Chapter 5", L"Chapter 6",
                                                         L"Chapter 7", L"Chapter 8", L"Chapter 9"};
    for (UINT i = 0; i < ChapterCount; i++) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_TYPE | MIIM_ID;
        item.fType = MFT_STRING;
        item.wID = CommandChapterFirst + i;
        item.dwTypeData = const_cast<wchar_t*>(names[i]);
        InsertMenuItemW(popup, i, TRUE, &item);
    }
}

void WindowBase::BuildTranslationMenu(HMENU popup)
{
    for (UINT i = 0; i < TranslationMenuCount; i++) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_TYPE | MIIM_CHECKMARKS | MIIM_ID;
        item.fType = MFT_STRING;
        item.wID = CommandTranslationFirst + i;
        item.dwTypeData = const_cast<wchar_t*>(TranslationMenuNames[i]);
        InsertMenuItemW(popup, i, TRUE, &item);
        // Matches the translation switches, which start on.
        CheckMenuItem(popup, i, MF_BYPOSITION | MF_CHECKED);
    }
}

void WindowBase::AddDictionaryItems(HMENU, MENUITEMINFOW&)
{
    // This edition has no dictionary beyond the one the menu always holds.
}

int32_t BookWindow::IllustrationCount() const
{
    // The member of the same name hides the edition's constant here.
    return static_cast<int32_t>(::IllustrationCount);
}

void BookWindow::PlaceIllustration(uint32_t paragraph, int32_t& y)
{
    for (uint32_t i = 0; i < ::IllustrationCount; i++) {
        const IllustrationPlacement& place = IllustrationTable[i];
        if (place.paragraph != paragraph)
            continue;
        const Utf16Unit* name = reinterpret_cast<const Utf16Unit*>(place.fileName);
        illustrationLayer.PlaceLoadedIllustration(i, picturePreload.Take(i, Instance(), name), y + place.topOffset,
                                                  place.left);
        y += place.advance;
        return;
    }
}

void BookWindow::BeginPictureLoading(HINSTANCE instance)
{
    const Utf16Unit* names[::IllustrationCount];
    for (uint32_t i = 0; i < ::IllustrationCount; i++)
        names[i] = reinterpret_cast<const Utf16Unit*>(IllustrationTable[i].fileName);
    picturePreload.Begin(instance, names, ::IllustrationCount);
}

const Utf16Unit* BookWindow::SettingsKeyName()
{
    return ShiftSettingKey;
}

void BookWindow::GoToChapter(WPARAM command)
{
    const uint32_t chapter = static_cast<uint32_t>(LOWORD(command)) - CommandChapterFirst;
    // The command range is wider than the chapter table; the rest does nothing.
    if (chapter >= ChapterCount)
        return;
    const int32_t s = Shift();
    // The first cell stands for the very top, above the first line's top
    // margin, as when the book opens.
    const uint32_t cell = ChapterStartChars[chapter];
    const int32_t target = cell == 0 ? 0 : textLayer.CellAt(cell).Top();
    if (s < target)
        ScrollDown(target - s, 1);
    else
        ScrollUp(s - target, 1);
    Invalidate();
}

void BookWindow::OpenStorePage()
{
    LaunchBrowser(FindBrowserPath(), StorePageUS);
}

void BookWindow::OpenDictionaryPage(WPARAM)
{
    LaunchBrowser(FindBrowserPath(), GlossaryPage);
}
