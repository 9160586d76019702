#include "view/IllustrationLayer.h"

#include <memory>
#include <new>
#include <utility>

#include "app/WindowBase.h"
#include "view/BitmapFileCheck.h"

namespace {

// The path that query (buffer, size) writes, asked once for its size and once
// for the text; null when it fails or the size changed in between (another
// thread may change the current directory).
template <typename Query>
std::unique_ptr<wchar_t[]> QueryPath(Query query)
{
    const DWORD need = query(nullptr, 0);
    if (need == 0)
        return nullptr;
    std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[need]);
    if (path && query(path.get(), need) + 1 != need)
        path.reset();
    return path;
}

// The full path of name in the current directory.
std::unique_ptr<wchar_t[]> FullPath(const wchar_t* name)
{
    return QueryPath([name](wchar_t* buffer, DWORD size) { return GetFullPathNameW(name, size, buffer, nullptr); });
}

#ifndef UNICODE
// The path in the program's code page, or null when the code page cannot
// spell it: a path with stand-in characters would name another file.
std::unique_ptr<char[]> CodePagePath(const wchar_t* path)
{
    // UTF-8 spells everything and takes neither flags nor a stand-in test.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* const lossyTest = utf8 ? nullptr : &lossy;
    const int need = WideCharToMultiByte(CP_ACP, flags, path, -1, nullptr, 0, nullptr, lossyTest);
    if (need <= 0 || lossy)
        return nullptr;
    std::unique_ptr<char[]> narrow(new (std::nothrow) char[static_cast<size_t>(need)]);
    if (narrow && WideCharToMultiByte(CP_ACP, flags, path, -1, narrow.get(), need, nullptr, lossyTest) != need)
        narrow.reset();
    return narrow;
}
#endif

// A picture file resolved once, from its bare name, to the file of that name
// in the current directory, checked, and held open for the system loader.
// Handed a bare name, the loader would look beside the program first and
// could read a file the check never saw; handed this path, it searches
// nowhere. While held, the file is shared for reading only, so nothing can
// write, replace or remove it between the check and the load.
class CheckedPicture {
public:
    // False when the file is missing, cannot be read, or its headers
    // describe colours or pixels outside it.
    bool Open(const Utf16Unit* fileName)
    {
        std::unique_ptr<wchar_t[]> full = FullPath(reinterpret_cast<const wchar_t*>(fileName));
        if (!full)
            return false;
#ifdef UNICODE
        path = std::move(full);
        file.Reset(CreateFileW(path.get(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
#else
        path = CodePagePath(full.get());
        if (!path) {
            // A folder the code page cannot spell may still have a short
            // name it can.
            const wchar_t* longPath = full.get();
            std::unique_ptr<wchar_t[]> shortPath = QueryPath(
                [longPath](wchar_t* buffer, DWORD size) { return GetShortPathNameW(longPath, buffer, size); });
            if (!shortPath)
                return false;
            path = CodePagePath(shortPath.get());
            if (!path)
                return false;
        }
        file.Reset(CreateFileA(path.get(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
#endif
        LARGE_INTEGER size;
        if (!file.IsOpen() || !GetFileSizeEx(file.Get(), &size))
            return false;
        // A file shorter than the fields reads as if zeros followed.
        uint8_t head[BitmapCheckHeadBytes] = {};
        DWORD total = 0;
        for (DWORD got = 1; got != 0 && total < sizeof head; total += got) {
            if (!ReadFile(file.Get(), head + total, static_cast<DWORD>(sizeof head - total), &got, nullptr))
                return false;
        }
        return BitmapLiesInsideFile(head, static_cast<uint64_t>(size.QuadPart));
    }

    const TCHAR* Path() const { return path.get(); }

private:
    std::unique_ptr<TCHAR[]> path;
    KernelHandle file;
};

} // namespace

void (*IllustrationLayer::loadHook)(const TCHAR* path) = nullptr;

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
    CheckedPicture picture;
    if (fileName == nullptr || !picture.Open(fileName))
        return nullptr;
    if (loadHook != nullptr)
        loadHook(picture.Path());
#ifdef UNICODE
    return static_cast<HBITMAP>(LoadImageW(instance, picture.Path(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
#else
    return static_cast<HBITMAP>(LoadImageA(instance, picture.Path(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
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
