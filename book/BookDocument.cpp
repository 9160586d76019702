#include "book/BookDocument.h"

void ParagraphList::SetTranslationCount(uint32_t n)
{
    translationCount = n;
    if (translationEnabled.SetSize(n)) {
        for (uint32_t t = 0; t < n; ++t)
            translationEnabled.At(t) = 1;
    }
}

uint8_t ParagraphList::AnyTranslationEnabled() const
{
    for (uint32_t t = 0; t < translationCount; ++t) {
        uint8_t on = translationEnabled.At(t);
        if (on != 0)
            return on;
    }
    return 0;
}

void BookDocument::CountCharacters()
{
    uint32_t total = 0;
    for (uint32_t p = 0; p < paragraphs.count; ++p)
        total += paragraphs.At(p).text.count;
    totalCharacters = total;
}

namespace {
BookDocument bookDocument;
}

BookDocument& GetBookDocument()
{
    return bookDocument;
}
