#include "view/IllustrationLayer.h"

#include <memory>
#include <new>

#include "app/WindowBase.h"

namespace {

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

// The start of a bitmap file that the check reads: the file header and the
// fields of the info header up to the image size.
constexpr size_t BitmapHeadBytes = 38;

// Whether a bitmap file may go to the system loader, given its first
// BitmapHeadBytes bytes and its size: false only for damage that would make
// the loader crash. Every other file is the loader's to show or refuse.
bool IsSafeBitmapFile(const uint8_t* head, uint64_t fileBytes)
{
    constexpr uint32_t CoreHeaderBytes = 12;
    const uint32_t headerBytes = ReadU32(head + 14);
    const uint32_t compression = ReadU32(head + 30);
    // The core header has no compression field; every later header has it
    // at the same place.
    if (headerBytes <= CoreHeaderBytes || (compression != BI_RLE8 && compression != BI_RLE4))
        return true;
    // Run-length pixels are decoded straight from the loader's view of the
    // file, as far as the header's image size reaches, with no look at the
    // file's own size: pixels that lie past its end make the loader read
    // outside the view and end the program.
    const uint64_t pixelOffset = ReadU32(head + 10);
    const uint64_t imageBytes = ReadU32(head + 34);
    return pixelOffset + imageBytes <= fileBytes;
}

// Reads the file's headers and size and checks them before the system
// loader sees the file. A file that cannot be opened goes on to the loader,
// which fails on it as well.
bool FileIsSafeToLoad(const Utf16Unit* fileName)
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
        return true;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        return true;
    // A file shorter than the fields reads as if zeros followed, as the
    // loader sees it.
    uint8_t head[BitmapHeadBytes] = {};
    DWORD got = 0;
    if (!ReadFile(file.Get(), head, sizeof head, &got, nullptr))
        return true;
    return IsSafeBitmapFile(head, static_cast<uint64_t>(size.QuadPart));
}

} // namespace

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
    return PlaceLoadedIllustration(index, LoadIllustration(owner != nullptr ? owner->Instance() : nullptr, fileName),
                                   top, left);
}

HBITMAP IllustrationLayer::PlaceLoadedIllustration(uint32_t index, HBITMAP bitmap, int32_t top, int32_t left)
{
    PlacedIllustration& entry = illustrations.At(index);
    entry.top = top;
    entry.left = left;
    entry.bitmap.Reset(bitmap);
    return bitmap;
}

HBITMAP IllustrationLayer::LoadIllustration(HINSTANCE instance, const Utf16Unit* fileName)
{
    if (fileName == nullptr || !FileIsSafeToLoad(fileName))
        return nullptr;
#ifdef UNICODE
    return static_cast<HBITMAP>(
        LoadImageW(instance, reinterpret_cast<const wchar_t*>(fileName), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
#else
    std::unique_ptr<char[]> narrow = NarrowName(fileName);
    if (!narrow)
        return nullptr;
    return static_cast<HBITMAP>(LoadImageA(instance, narrow.get(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
#endif
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
