#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "BookFuzzTargets.h"

namespace {

// Seeded, so a failure repeats. VELLUMARK_FUZZ_RUNS raises the count for a
// longer run by hand.
uint32_t Runs()
{
    const char* runs = std::getenv("VELLUMARK_FUZZ_RUNS");
    return runs != nullptr ? static_cast<uint32_t>(std::strtoul(runs, nullptr, 10)) : 3000u;
}

// Units drawn mostly from the ones the parsers care about, so that lines,
// words and headers form often; little-endian, sometimes with an odd byte.
std::vector<uint8_t> RandomInput(std::mt19937& rng)
{
    static const char16_t interesting[] = {u'0', u'1', u'2', u'3', u'9', u' ', u' ', u'\r', u'\n', u'\n', u'a', 0xFEFF};
    std::uniform_int_distribution<uint32_t> lengthPick(0, 600);
    std::uniform_int_distribution<uint32_t> kind(0, 9);
    std::uniform_int_distribution<uint32_t> any(0, 0xFFFF);
    std::vector<uint8_t> bytes;
    bytes.push_back(static_cast<uint8_t>(any(rng)));
    const uint32_t n = lengthPick(rng);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t k = kind(rng);
        const char16_t u = k < 8 ? interesting[any(rng) % (sizeof interesting / sizeof interesting[0])]
                                 : static_cast<char16_t>(any(rng));
        bytes.push_back(static_cast<uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
    if (kind(rng) == 0)
        bytes.push_back(static_cast<uint8_t>(any(rng)));
    return bytes;
}

TEST(BookFuzz, SplitterKeepsEveryUnitInPlace)
{
    std::mt19937 rng(20240611u);
    const uint32_t runs = Runs();
    for (uint32_t run = 0; run < runs; ++run) {
        const std::vector<uint8_t> input = RandomInput(rng);
        ASSERT_TRUE(FuzzBookSplit(input.data(), input.size())) << "run " << run;
    }
}

TEST(BookFuzz, TranslationParserStaysInsideTheFile)
{
    std::mt19937 rng(7001u);
    const uint32_t runs = Runs();
    for (uint32_t run = 0; run < runs; ++run) {
        const std::vector<uint8_t> input = RandomInput(rng);
        ASSERT_TRUE(FuzzTranslationParse(input.data(), input.size())) << "run " << run;
    }
}

} // namespace
