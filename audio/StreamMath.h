#pragma once

#include <cstdint>

// The arithmetic of streaming a stretch of a track's "data" chunk. Kept free
// of Windows types so that it can be checked on any host.

// Offsets into the "data" chunk: [start, end). start >= end means nothing to
// play.
struct ByteRange {
    uint32_t start;
    uint32_t end;
};

// Below this average byte rate a track has no millisecond divisor and is not
// played.
constexpr uint32_t MinimumBytesPerSecond = 1000;

constexpr uint32_t LargeChunkLimit = 20000;
constexpr uint32_t ChunkBytes = 10000;

// The stretch from startMs to endMs of a track with the given average byte
// rate, block alignment and data size. Offsets fall on sample-frame
// boundaries: frames of one or two bytes keep the usual even offsets; wider
// frames (16-bit stereo, 24-bit) round to whole frames so that a stretch never
// begins in the middle of one, which would swap channels or play noise. A
// stretch that ends before it starts becomes the 2 ms before its end (from 0
// when its end is below 2 ms).
inline ByteRange ComputeByteRange(uint32_t bytesPerSecond, uint32_t blockAlign, uint32_t startMs, uint32_t endMs,
                                  uint32_t dataSize)
{
    uint64_t align = blockAlign > 2 ? blockAlign : 2;
    uint64_t s = startMs;
    uint64_t e = endMs;
    if (e < s)
        s = e >= 2 ? e - 2 : 0;
    uint64_t first = static_cast<uint64_t>(bytesPerSecond) * s / 1000u;
    uint64_t last = static_cast<uint64_t>(bytesPerSecond) * e / 1000u;
    first -= first % align;
    if (last % align != 0)
        last += align - last % align;
    uint64_t limit = dataSize;
    if (align > 2)
        limit -= limit % align;
    if (last > limit)
        last = limit;
    ByteRange r;
    r.start = first > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(first);
    r.end = static_cast<uint32_t>(last);
    return r;
}

// Size of the next chunk when rest bytes of a stretch remain: 10000-byte
// chunks until at most 20000 bytes remain, which form the last one. Frames
// wider than two bytes may not divide 10000 (24-bit stereo has 6), so there
// the chunk is cut down to whole frames; the rest of a stretch is whole
// frames already.
inline uint32_t ChunkSize(uint32_t rest, uint32_t blockAlign)
{
    if (rest <= LargeChunkLimit)
        return rest;
    return blockAlign > 2 ? ChunkBytes - ChunkBytes % blockAlign : ChunkBytes;
}

// Length of a "data" chunk in milliseconds; the byte rate per millisecond is
// truncated first (44100 bytes per second count as 44 per millisecond).
// Callers reject byte rates below MinimumBytesPerSecond.
inline uint32_t TrackDurationMs(uint32_t dataSize, uint32_t bytesPerSecond)
{
    uint32_t perMs = bytesPerSecond / 1000u;
    return perMs == 0 ? 0 : dataSize / perMs;
}
