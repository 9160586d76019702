#include "BookFuzzTargets.h"

#include <vector>

#include "book/BookLoader.h"

namespace {

// Bytes to units as the reader builds them: little-endian pairs, odd byte
// dropped. (The reader also drops the first unit; that is no concern here.)
std::vector<Utf16Unit> Units(const uint8_t* data, size_t size)
{
    std::vector<Utf16Unit> units(size / 2);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<Utf16Unit>(data[2 * i] | (data[2 * i + 1] << 8));
    return units;
}

} // namespace

bool FuzzBookSplit(const uint8_t* data, size_t size)
{
    const std::vector<Utf16Unit> units = Units(data, size);
    const uint32_t length = static_cast<uint32_t>(units.size());
    uint32_t lines = 0;
    BookLoader::CountLines(lines, units.data(), length);
    ParagraphList list;
    if (!list.SetSize(lines))
        return false;
    BookLoader::SplitParagraphs(list, units.data(), length);

    // Paragraph texts and their LFs account for every unit, in order.
    uint32_t position = 0;
    for (uint32_t i = 0; i < list.count; ++i) {
        const Paragraph& p = list.At(i);
        for (uint32_t j = 0; j < p.text.count; ++j, ++position) {
            if (position >= length || p.text.At(j) != units[position] || units[position] == 10)
                return false;
        }
        for (uint32_t w = 0; w < p.wordSpans.count; ++w) {
            const WordSpan& span = p.wordSpans.At(w);
            if (span.start < 0 || span.length < 0 ||
                static_cast<uint64_t>(span.start) + static_cast<uint64_t>(span.length) > p.text.count)
                return false;
            for (int32_t j = 0; j < span.length; ++j) {
                if (p.text.At(static_cast<uint32_t>(span.start + j)) == 32)
                    return false;
            }
        }
        if (i + 1 < list.count) {
            if (position >= length || units[position] != 10)
                return false;
            position += 1;
        }
    }
    return position == length;
}

bool FuzzTranslationParse(const uint8_t* data, size_t size)
{
    if (size == 0)
        return true;
    // The first byte picks the number of paragraphs, so that both matching
    // and out-of-range records are common.
    const uint32_t paragraphs = 1u + data[0] % 40u;
    const std::vector<Utf16Unit> units = Units(data + 1, size - 1);
    const uint32_t length = static_cast<uint32_t>(units.size());

    ParagraphList list;
    if (!list.SetSize(paragraphs))
        return false;
    list.SetTranslationCount(2);
    BookLoader::SizeTranslationLists(list, 2);
    BookLoader::ParseTranslationFile(list, 1, units.data(), length);

    uint64_t pieceUnits = 0;
    for (uint32_t i = 0; i < list.count; ++i) {
        if (list.At(i).TranslationAt(0).count != 0)
            return false;
        const TranslationList& pieces = list.At(i).TranslationAt(1);
        for (uint32_t k = 0; k < pieces.count; ++k)
            pieceUnits += pieces.At(k).text.count;
    }
    // Every piece text is a distinct stretch of the file.
    return pieceUnits <= length;
}
