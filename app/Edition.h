#pragma once

#include <cstdint>

#include "core/WideString.h"

// Everything that belongs to this one book rather than to the reader: the
// chapters, translations and pictures, the settings key, the icon and the web
// pages. Another edition exchanges this unit, the dialog resources and the
// book's own files.

constexpr uint32_t ChapterCount = 9;
// First text cell of each chapter, in the numbering of the layout.
extern const uint32_t ChapterStartChars[ChapterCount];

constexpr uint32_t TranslationMenuCount = 4;
extern const wchar_t* const TranslationMenuNames[TranslationMenuCount];

struct IllustrationPlacement {
    uint32_t paragraph; // placed after this paragraph
    const wchar_t* fileName;
    int32_t topOffset;  // below the layout's running y
    int32_t left;       // client pixels
    int32_t advance;    // how far the running y moves down
};
constexpr uint32_t IllustrationCount = 9;
extern const IllustrationPlacement IllustrationTable[IllustrationCount];

extern const Utf16Unit ShiftSettingKey[];

constexpr int ProgramIconId = 140;

// Web pages. Each address begins with a blank, which separates it from the
// browser's path on the command line.
extern const wchar_t* const StorePageUS;
extern const wchar_t* const StorePageFrance;
extern const wchar_t* const DictionaryPage;
extern const wchar_t* const GlossaryPage;
extern const wchar_t* const MakerSitePage;
