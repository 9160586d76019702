#include "view/IllustrationLayer.h"

#include <memory>
#include <new>

#include "app/WindowBase.h"

namespace {

// Bitmap files are small; anything larger than this is not one of ours.
constexpr DWORD MaxFileBytes = 64u * 1024u * 1024u;

uint32_t ReadU16(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
}

uint32_t ReadU32(const uint8_t* p)
{
    return ReadU16(p) | (ReadU16(p + 2) << 16);
}

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : handle(h) {}
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

#ifndef UNICODE
// Picture names are plain ASCII; the 8-bit build hands them on as bytes.
std::unique_ptr<char[]> NarrowName(const Utf16Unit* name)
{
    size_t n = 0;
    while (name[n] != 0)
        ++n;
    std::unique_ptr<char[]> narrow(new (std::nothrow) char[n + 1]);
    if (!narrow)
        return narrow;
    for (size_t i = 0; i <= n; ++i)
        narrow[i] = name[i] < 0x80 ? static_cast<char>(name[i]) : '?';
    return narrow;
}
#endif

// Reads the whole file and checks it before the system loader sees it.
bool FileHoldsUsableBitmap(const Utf16Unit* fileName)
{
#ifdef UNICODE
    FileHandle file(CreateFileW(reinterpret_cast<const wchar_t*>(fileName), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
#else
    std::unique_ptr<char[]> narrow = NarrowName(fileName);
    if (!narrow)
        return false;
    FileHandle file(CreateFileA(narrow.get(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
#endif
    if (file.Get() == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > MaxFileBytes)
        return false;
    const DWORD bytes = static_cast<DWORD>(size.QuadPart);
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[bytes]);
    if (!data)
        return false;
    DWORD got = 0;
    if (!ReadFile(file.Get(), data.get(), bytes, &got, nullptr) || got != bytes)
        return false;
    return IsUsableBitmapFile(data.get(), bytes);
}

} // namespace

bool IsUsableBitmapFile(const uint8_t* data, size_t size)
{
    constexpr size_t FileHeaderBytes = 14;
    constexpr size_t InfoHeaderBytes = 40;
    if (data == nullptr || size < FileHeaderBytes + InfoHeaderBytes)
        return false;
    if (data[0] != 'B' || data[1] != 'M')
        return false;
    const uint64_t pixelOffset = ReadU32(data + 10);
    const uint64_t headerBytes = ReadU32(data + 14);
    // The info header and its successors (v4, v5); the old core header is
    // not used for pictures.
    if (headerBytes < InfoHeaderBytes || FileHeaderBytes + headerBytes > size)
        return false;
    const int32_t width = static_cast<int32_t>(ReadU32(data + 18));
    const int32_t rawHeight = static_cast<int32_t>(ReadU32(data + 22));
    const uint32_t planes = ReadU16(data + 26);
    const uint32_t bitCount = ReadU16(data + 28);
    const uint32_t compression = ReadU32(data + 30);
    const uint32_t usedColors = ReadU32(data + 46);
    if (planes != 1 || usedColors > 256)
        return false;
    if (width <= 0 || width > IllustrationLayer::MaxPictureSide)
        return false;
    // A negative height marks a top-down bitmap.
    if (rawHeight == 0 || rawHeight < -IllustrationLayer::MaxPictureSide ||
        rawHeight > IllustrationLayer::MaxPictureSide)
        return false;
    const uint64_t height = static_cast<uint64_t>(rawHeight < 0 ? -static_cast<int64_t>(rawHeight) : rawHeight);

    uint64_t paletteEntries = 0;
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
        if (usedColors > (1u << bitCount))
            return false;
        paletteEntries = usedColors != 0 ? usedColors : (1u << bitCount);
        if (compression != BI_RGB)
            return false;
        break;
    case 16:
    case 24:
    case 32:
        // An optional colour table may sit after the header.
        paletteEntries = usedColors;
        if (compression == BI_BITFIELDS) {
            if (bitCount == 24)
                return false;
            // The three masks follow a plain info header.
            if (headerBytes == InfoHeaderBytes)
                paletteEntries += 3;
        } else if (compression != BI_RGB) {
            return false;
        }
        break;
    default:
        return false;
    }

    const uint64_t paletteEnd = FileHeaderBytes + headerBytes + 4 * paletteEntries;
    if (paletteEnd > size || pixelOffset < FileHeaderBytes + headerBytes || pixelOffset > size)
        return false;
    const uint64_t rowBytes = ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
    const uint64_t pixelBytes = rowBytes * height;
    return pixelOffset + pixelBytes <= size;
}

IllustrationLayer::IllustrationLayer(WindowBase* ownerWindow) : DrawLayer(ownerWindow) {}

IllustrationLayer::~IllustrationLayer() {}

uint8_t IllustrationLayer::SetIllustrationCount(int32_t n)
{
    // A negative count would become a huge unsigned size.
    if (n <= 0) {
        illustrations.SetSize(0);
        return 0;
    }
    return illustrations.SetSize(static_cast<uint32_t>(n)) ? 1 : 0;
}

HBITMAP IllustrationLayer::PlaceIllustration(uint32_t index, const Utf16Unit* fileName, int32_t top, int32_t left)
{
    PlacedIllustration& entry = illustrations.At(index);
    entry.top = top;
    entry.left = left;
    HBITMAP bitmap = nullptr;
    if (fileName != nullptr && FileHoldsUsableBitmap(fileName)) {
        HINSTANCE instance = owner != nullptr ? owner->Instance() : nullptr;
#ifdef UNICODE
        bitmap = static_cast<HBITMAP>(LoadImageW(instance, reinterpret_cast<const wchar_t*>(fileName), IMAGE_BITMAP,
                                                 0, 0, LR_LOADFROMFILE));
#else
        std::unique_ptr<char[]> narrow = NarrowName(fileName);
        if (narrow)
            bitmap = static_cast<HBITMAP>(LoadImageA(instance, narrow.get(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
#endif
    }
    entry.bitmap.Reset(bitmap);
    return bitmap;
}

void IllustrationLayer::Draw(HDC dc)
{
    MemoryDC memory(CreateCompatibleDC(dc));
    if (memory.Get() == nullptr)
        return;
    const int32_t shift = owner != nullptr ? owner->Shift() : 0;
    // A picture is copied while its top lies less than SkipAbovePixels above
    // the client area and above its bottom edge.
    const int32_t clientHeight = owner != nullptr ? owner->ClientRect().Height() : 0;
    for (uint32_t i = 0; i < illustrations.count; ++i) {
        const PlacedIllustration& entry = illustrations.At(i);
        HBITMAP bitmap = entry.bitmap.Get();
        if (bitmap == nullptr)
            continue;
        BITMAP info;
#ifdef UNICODE
        const int got = GetObjectW(bitmap, sizeof(info), &info);
#else
        const int got = GetObjectA(bitmap, sizeof(info), &info);
#endif
        if (got == 0)
            continue;
        const int32_t t = entry.top - shift;
        if (t > -SkipAbovePixels && t < clientHeight) {
            ObjectSelection selection(memory.Get(), bitmap);
            BitBlt(dc, entry.left, t, info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
        }
    }
}
