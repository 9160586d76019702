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

bool BitmapLiesInsideFile(const uint8_t* head, uint64_t fileBytes)
{
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
    if (compression == RunLength8 || compression == RunLength4) {
        // Run-length pixels are decoded as far as the image size reaches;
        // they are never stored top-down.
        return height >= 0 && imageBytes <= room;
    }
    // Rows are padded to whole 32-bit words. width < 2^31 and bitCount <
    // 2^16, so the row fits in 64 bits; the product with the height may not.
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    return rowBytes == 0 || rows <= room / rowBytes;
}
