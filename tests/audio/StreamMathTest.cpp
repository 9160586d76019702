#include "audio/StreamMath.h"

#include <gtest/gtest.h>

namespace {

struct RangeCase {
    const char* what;
    uint32_t bytesPerSecond;
    uint32_t blockAlign;
    uint32_t startMs;
    uint32_t endMs;
    uint32_t dataSize;
    uint32_t start;
    uint32_t end;
};

const RangeCase rangeCases[] = {
    {"odd start rounds down, even end stays", 44100, 2, 1234, 2345, 1000000, 54418, 103414},
    {"equal times at an even offset are empty", 44100, 2, 1500, 1500, 1000000, 66150, 66150},
    {"equal times at an odd offset give two bytes", 44100, 2, 10, 10, 1000000, 440, 442},
    {"end before start plays the 2 ms before the end", 44100, 2, 5000, 4000, 1000000, 176310, 176400},
    {"end before start, end below 2 ms, plays from 0", 44100, 2, 5000, 1, 1000000, 0, 44},
    {"end past the data is cut at the data size", 44100, 2, 1000, 9000, 100000, 44100, 100000},
    {"cut also at an odd data size", 44100, 2, 1000, 9000, 100001, 44100, 100001},
    {"start past the data is empty", 44100, 2, 9000, 9500, 100000, 396900, 100000},
    {"8-bit mono keeps even offsets", 8000, 1, 125, 375, 100000, 1000, 3000},
    {"16-bit stereo starts on a whole frame", 176400, 4, 5, 10, 1000000, 880, 1764},
    {"16-bit stereo ends on a whole frame", 176400, 4, 0, 5, 1000000, 0, 884},
    {"wide frames cut at a whole frame of the data", 176400, 4, 0, 9000, 1002, 0, 1000},
    {"huge times do not overflow", 4000000, 2, 4000000000u, 4294967295u, 50000, 0xFFFFFFFFu, 50000},
};

TEST(StreamMath, ByteRange)
{
    for (const RangeCase& c : rangeCases) {
        ByteRange r = ComputeByteRange(c.bytesPerSecond, c.blockAlign, c.startMs, c.endMs, c.dataSize);
        EXPECT_EQ(r.start, c.start) << c.what;
        EXPECT_EQ(r.end, c.end) << c.what;
    }
}

// Cuts a stretch the way the player does and returns the chunk sizes.
std::vector<uint32_t> Chunks(uint32_t bytes, uint32_t blockAlign = 2)
{
    std::vector<uint32_t> sizes;
    uint32_t pos = 0;
    while (pos < bytes) {
        uint32_t n = ChunkSize(bytes - pos, blockAlign);
        sizes.push_back(n);
        pos += n;
    }
    return sizes;
}

TEST(StreamMath, Chunking)
{
    struct {
        uint32_t bytes;
        std::vector<uint32_t> sizes;
    } cases[] = {
        {2, {2}},
        {20000, {20000}},
        {20001, {10000, 10001}},
        {25000, {10000, 15000}},
        {30000, {10000, 20000}},
        {30001, {10000, 10000, 10001}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Chunks(c.bytes), c.sizes) << c.bytes;
    // 24-bit stereo and mono: whole frames of 6 and of 3 bytes.
    EXPECT_EQ(Chunks(30006, 6), (std::vector<uint32_t>{9996, 9996, 10014}));
    EXPECT_EQ(Chunks(30003, 3), (std::vector<uint32_t>{9999, 9999, 10005}));
}

TEST(StreamMath, TrackDurationTruncatesTheRatePerMillisecond)
{
    EXPECT_EQ(TrackDurationMs(44100 * 60, 44100), 60136u); // 44 bytes per ms
    EXPECT_EQ(TrackDurationMs(16000, 16000), 1000u);
    EXPECT_EQ(TrackDurationMs(16000, 999), 0u);
}

} // namespace
