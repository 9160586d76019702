#pragma once

#include <cstdint>

#include "book/SyncFragment.h"
#include "core/BoundedArray.h"
#include "core/WideString.h"

// Indices throughout are UTF-16 unit indices inside one paragraph's text.

class WordSpan {
public:
    WordSpan() : start(0), length(0) {}
    virtual ~WordSpan() {}
    void Set(int32_t s, int32_t l)
    {
        start = s;
        length = l;
    }

    int32_t start;
    int32_t length; // 0 for the empty word between two blanks
};

class WordSpanArray : public BoundedArray<WordSpan> {
};

// First and last unit (inclusive) of a stretch of one paragraph.
class CharSpan {
public:
    CharSpan() : firstChar(0), lastChar(0) {}
    virtual ~CharSpan() {}
    void Set(int32_t first, int32_t last)
    {
        firstChar = first;
        lastChar = last;
    }

    int32_t firstChar;
    int32_t lastChar;
};

// A translated text and the stretch it translates. An empty text has nothing
// to show.
class TranslationPiece {
public:
    TranslationPiece() {}
    virtual ~TranslationPiece() {}

    WideString text;
    CharSpan span;
};

// The pieces of one translation file for one paragraph, in file order.
class TranslationList : public BoundedArray<TranslationPiece> {
};

// One list per translation file.
class TranslationListArray : public BoundedArray<TranslationList> {
};

// One line of the book. text keeps the line's CR (its end unit) but not the
// LF; the end unit counts in the length but belongs to no word.
class Paragraph {
public:
    Paragraph() {}
    virtual ~Paragraph() {}

    WideString& Text() { return text; }
    const WideString& Text() const { return text; }
    WordSpanArray& WordSpans() { return wordSpans; }
    const WordSpanArray& WordSpans() const { return wordSpans; }
    TranslationListArray& Translations() { return translations; }
    const TranslationListArray& Translations() const { return translations; }

    // List t, or an empty list when t is out of range.
    TranslationList& TranslationAt(uint32_t t) { return translations.At(t); }
    const TranslationList& TranslationAt(uint32_t t) const { return translations.At(t); }
    // Piece k of list t; out of range at either level gives an empty piece.
    TranslationPiece& PieceAt(uint32_t t, uint32_t k) { return translations.At(t).At(k); }
    const TranslationPiece& PieceAt(uint32_t t, uint32_t k) const { return translations.At(t).At(k); }

    WideString text;
    WordSpanArray wordSpans;
    TranslationListArray translations;
};

// The paragraphs, plus one on/off switch per translation file (switch t is
// for the file numbered t + 1).
class ParagraphList : public BoundedArray<Paragraph> {
public:
    ParagraphList() : translationCount(0) { translationEnabled.defaultItem = 0; }
    ~ParagraphList() override {}

    // Every switch on. The count is kept even when no switch could be made.
    void SetTranslationCount(uint32_t n);
    uint32_t TranslationCount() const { return translationCount; }
    uint8_t IsTranslationEnabled(uint32_t t) const { return translationEnabled.At(t); }
    void SetTranslationEnabled(uint32_t t, uint8_t value) { translationEnabled.At(t) = value; }
    // The first switch that is on, or 0 when none is.
    uint8_t AnyTranslationEnabled() const;

    uint32_t translationCount;
    ByteArray translationEnabled;
};

class BookDocument {
public:
    BookDocument() : totalCharacters(0) {}
    virtual ~BookDocument() {}

    ParagraphList& Paragraphs() { return paragraphs; }
    SyncTable& Fragments() { return fragments; }
    uint32_t TotalCharacters() const { return totalCharacters; }
    void RecountTotals() { CountCharacters(); }

    uint32_t totalCharacters;
    ParagraphList paragraphs;
    SyncTable fragments;

private:
    void CountCharacters();
};

// The one document of the program, built empty by static initialisation.
BookDocument& GetBookDocument();
