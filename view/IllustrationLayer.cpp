#include "view/IllustrationLayer.h"

#include <memory>
#include <new>

#include "app/WindowBase.h"
#include "view/BitmapFileCheck.h"

namespace {

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

// Reads the file's headers and size and checks them before the system
// loader sees the file. A file that cannot be opened or read shows nothing.
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
    LARGE_INTEGER size;
    if (file.Get() == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.Get(), &size))
        return false;
    // A file shorter than the fields reads as if zeros followed.
    uint8_t head[BitmapCheckHeadBytes] = {};
    DWORD got = 0;
    if (!ReadFile(file.Get(), head, sizeof head, &got, nullptr))
        return false;
    return BitmapLiesInsideFile(head, static_cast<uint64_t>(size.QuadPart));
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
