#include "view/BitmapFileCheck.h"

namespace {

uint32_t ReadU16(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
}

uint32_t ReadU32(const uint8_t* p)
{
    return ReadU16(p) | (ReadU16(p + 2) << 16);
}

int64_t ReadI32(const uint8_t* p)
{
    return static_cast<int32_t>(ReadU32(p));
}

constexpr uint64_t FileHeaderBytes = 14;
constexpr uint64_t CoreHeaderBytes = 12;
constexpr uint64_t InfoHeaderBytes = 40;
constexpr uint32_t MostColours = 256; // the loader reads no larger table

enum Compression : uint32_t { Plain = 0, RunLength8 = 1, RunLength4 = 2, BitFields = 3 };

} // namespace

bool BitmapLayout::RunLength() const
{
    return compression == RunLength8 || compression == RunLength4;
}

bool ReadBitmapLayout(const uint8_t* head, uint64_t fileBytes, BitmapLayout& layout)
{
    layout = BitmapLayout();
    if (fileBytes < FileHeaderBytes + 4 || head[0] != 'B' || head[1] != 'M')
        return false;
    const uint64_t headerBytes = ReadU32(head + 14);
    if (FileHeaderBytes + headerBytes > fileBytes)
        return false;

    int64_t width = 0;
    int64_t height = 0;
    uint32_t bitCount = 0;
    uint32_t compression = Plain;
    uint64_t imageBytes = 0;
    uint64_t infoBytes = 0; // the header with its masks and colour table
    if (headerBytes == CoreHeaderBytes) {
        width = ReadU16(head + 18);
        height = ReadU16(head + 20);
        bitCount = ReadU16(head + 24);
        infoBytes = CoreHeaderBytes + (bitCount <= 8 ? (1u << bitCount) * 3u : 0u);
    } else if (headerBytes >= InfoHeaderBytes) {
        width = ReadI32(head + 18);
        height = ReadI32(head + 22);
        bitCount = ReadU16(head + 28);
        compression = ReadU32(head + 30);
        imageBytes = ReadU32(head + 34);
        const uint32_t coloursUsed = ReadU32(head + 46);
        const uint64_t colours = coloursUsed != 0 ? (coloursUsed < MostColours ? coloursUsed : MostColours)
                                 : bitCount <= 8 ? (1u << bitCount)
                                                 : 0u;
        // Three colour masks follow a 40-byte header; later headers hold them.
        const uint64_t masked = InfoHeaderBytes + (compression == BitFields ? 12 : 0);
        infoBytes = (headerBytes > masked ? headerBytes : masked) + colours * 4;
    } else {
        return false; // no header the loader reads
    }
    if (width < 0 || compression > BitFields)
        return false; // nothing the loader draws
    // The loader also reads the byte that follows the colour table.
    if (FileHeaderBytes + infoBytes >= fileBytes)
        return false;

    // The loader counts the pixel offset from the end of the file header,
    // unsigned, and takes what is left as 0, "the pixels follow the colour
    // table": so do offsets 0 and 14. An offset inside the file header sends
    // it 4 GB on.
    const uint64_t pixelOffset = ReadU32(head + 10);
    const uint64_t pixelStart =
        pixelOffset != 0 && pixelOffset != FileHeaderBytes ? pixelOffset : FileHeaderBytes + infoBytes;
    if (pixelStart < FileHeaderBytes || pixelStart > fileBytes)
        return false;
    const uint64_t room = fileBytes - pixelStart;
    layout.width = width;
    layout.height = height;
    layout.bitCount = bitCount;
    layout.compression = compression;
    layout.pixelStart = pixelStart;
    layout.imageBytes = imageBytes;
    if (layout.RunLength()) {
        // How far the decoder reads is for RunSpanCount to find. It takes
        // no pixels stored top-down.
        return height > 0;
    }
    // Rows are padded to whole 32-bit words, but the loader reads no padding
    // after the last row. width < 2^31 and bitCount < 2^16, so the row fits
    // in 64 bits; the product with the height may not.
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
    const uint64_t lastRowBytes = (static_cast<uint64_t>(width) * bitCount + 7) / 8;
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    return rows == 0 || rowBytes == 0 || (lastRowBytes <= room && rows - 1 <= (room - lastRowBytes) / rowBytes);
}

bool BitmapFilePasses(const uint8_t* bytes, size_t count, uint64_t fileBytes)
{
    uint8_t head[BitmapCheckHeadBytes] = {};
    for (size_t i = 0; i < count && i < sizeof head; ++i)
        head[i] = bytes[i];
    BitmapLayout layout;
    if (!ReadBoundedBitmapLayout(head, fileBytes, layout))
        return false;
    if (!layout.RunLength())
        return true;
    RunSpanCount spans(layout);
    const uint64_t room = fileBytes - layout.pixelStart;
    const uint8_t zeros[64] = {};
    for (uint64_t at = layout.pixelStart; spans.BytesWanted() > 0 && at < fileBytes;) {
        // Bytes past those at hand are the zeros of a hole.
        const bool inHand = at < count;
        const uint64_t most = inHand ? count - at : sizeof zeros;
        const uint64_t wanted = spans.BytesWanted() < most ? spans.BytesWanted() : most;
        const uint64_t n = wanted < fileBytes - at ? wanted : fileBytes - at;
        if (!spans.Take(inHand ? bytes + at : zeros, static_cast<size_t>(n)))
            break;
        at += n;
    }
    return spans.Passes(room);
}

bool ReadBoundedBitmapLayout(const uint8_t* head, uint64_t fileBytes, BitmapLayout& layout)
{
    return fileBytes <= PictureMostFileBytes && ReadBitmapLayout(head, fileBytes, layout) &&
           BitmapSizeWithinBounds(layout);
}

bool BitmapSizeWithinBounds(const BitmapLayout& layout)
{
    const uint64_t width = static_cast<uint64_t>(layout.width < 0 ? -layout.width : layout.width);
    const uint64_t rows = static_cast<uint64_t>(layout.height < 0 ? -layout.height : layout.height);
    if (width > PictureMostSide || rows > PictureMostSide)
        return false;
    // Rows of 32-bit pixels need no padding.
    return width * 4 * rows <= PictureMostBitmapBytes;
}

RunSpanCount::RunSpanCount(const BitmapLayout& layout)
    : width(layout.width), bitCount(layout.bitCount), imageBytes(layout.imageBytes), y(layout.height - 1),
      ended(layout.imageBytes < 2 || layout.height <= 0)
{
}

bool RunSpanCount::Passes(uint64_t room) const
{
    return (ended || at >= imageBytes) && at <= room && reach <= room && Spans() <= PictureMostRunSpans;
}

uint64_t RunSpanCount::Spans() const
{
    // A row of one span just like the one of the row below merges with it.
    const bool merges = rowSpans == 1 && belowSingle && rowLeft == belowLeft && rowRight == belowRight;
    return spans + (merges ? 0 : rowSpans);
}

void RunSpanCount::Close()
{
    if (left == right)
        return;
    if (rowSpans++ == 0) {
        rowLeft = left;
        rowRight = right;
    }
}

void RunSpanCount::Up(uint8_t rows)
{
    if (rows == 0)
        return;
    spans = Spans();
    belowSingle = rows == 1 && rowSpans == 1;
    belowLeft = rowLeft;
    belowRight = rowRight;
    rowSpans = 0;
    y -= rows;
    ended = y < 0;
}

void RunSpanCount::Jump(uint8_t rightBy, uint8_t up)
{
    x = x + rightBy < width ? x + rightBy : width;
    left = right = x;
    Up(up);
}

void RunSpanCount::Pair(uint8_t first, uint8_t second)
{
    expect = Expect::Count;
    if (first != 0) {
        // A run of one value.
        x += first < width - x ? first : width - x;
        right = x;
    } else if (second == 0) { // end of line
        Close();
        x = left = right = 0;
        Up(1);
    } else if (second == 1) { // end of picture
        Close();
        ended = true;
    } else if (second == 2) { // jump right and up
        Close();
        // The decoder wants both bytes of the jump inside the image.
        ended = at + 1 >= imageBytes;
        expect = Expect::JumpRight;
    } else {
        // A literal run: second pixels stored as they are, in bytes padded
        // to an even count. The decoder keeps that count in a byte, so the
        // padded 256 bytes of 255 8-bit pixels become 0, and it reads on
        // from the pixels themselves.
        const uint64_t bytesOfPixels = (uint64_t{second} * bitCount + 7) / 8;
        if (bytesOfPixels > imageBytes - at) {
            ended = true;
            return;
        }
        x += second < width - x ? second : width - x;
        right = x;
        if (at + bytesOfPixels > reach)
            reach = at + bytesOfPixels;
        literalLeft = ((bytesOfPixels + 1) & ~uint64_t{1}) & 0xFF;
        if (literalLeft != 0)
            expect = Expect::Literal;
        // Past the skip no whole pair is left to read.
        ended = at + literalLeft + 1 >= imageBytes;
    }
}

bool RunSpanCount::Take(const uint8_t* bytes, size_t n)
{
    const uint8_t* const end = bytes + n;
    while (!ended && bytes < end) {
        switch (expect) {
        case Expect::Count: {
            // Whole pairs inside both the piece and the image go round a
            // short loop: runs of one value and jumps are most of any
            // picture.
            uint64_t pairs = static_cast<uint64_t>(end - bytes) / 2;
            const uint64_t inImage = (imageBytes - at) / 2;
            if (pairs > inImage)
                pairs = inImage;
            if (pairs == 0) {
                ++at;
                count = *bytes++;
                expect = Expect::Code;
                break;
            }
            const uint8_t* const stop = bytes + 2 * pairs;
            const uint8_t* p = bytes;
            int64_t column = x;
            for (;;) {
                if (p < stop && p[0] != 0) {
                    column = column + p[0] < width ? column + p[0] : width;
                    right = column;
                    p += 2;
                } else if (stop - p >= 4 && p[1] == 2) {
                    // A jump, its two bytes inside the image.
                    x = column;
                    Close();
                    Jump(p[2], p[3]);
                    column = x;
                    p += 4;
                    if (ended)
                        break;
                } else {
                    break;
                }
            }
            x = column;
            at += static_cast<uint64_t>(p - bytes);
            bytes = p;
            if (!ended && bytes < stop) {
                at += 2;
                Pair(bytes[0], bytes[1]);
                bytes += 2;
            }
            break;
        }
        case Expect::Code:
            ++at;
            Pair(count, *bytes++);
            break;
        case Expect::JumpRight:
            ++at;
            jumpRight = *bytes++;
            expect = Expect::JumpUp;
            break;
        case Expect::JumpUp:
            ++at;
            expect = Expect::Count;
            Jump(jumpRight, *bytes++);
            break;
        case Expect::Literal: {
            const uint64_t there = static_cast<uint64_t>(end - bytes);
            const uint64_t skip = there < literalLeft ? there : literalLeft;
            bytes += skip;
            at += skip;
            literalLeft -= skip;
            if (literalLeft == 0)
                expect = Expect::Count;
            break;
        }
        }
        // The decoder reads a pair only when both its bytes lie inside the
        // image.
        if (expect == Expect::Count && at + 1 >= imageBytes)
            ended = true;
    }
    if (at >= imageBytes)
        ended = true;
    return !ended && Spans() <= PictureMostRunSpans;
}
