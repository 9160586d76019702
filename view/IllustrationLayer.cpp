#include "view/IllustrationLayer.h"

#include <memory>
#include <new>

#include "app/WindowBase.h"
#include "core/DiskFile.h"
#include "view/BitmapFileCheck.h"

namespace {

#ifndef UNICODE
// The text in the program's code page, or null when the code page cannot
// spell it: a name with stand-in characters would name another file.
std::unique_ptr<char[]> CodePageText(const wchar_t* text)
{
    // UTF-8 spells everything and takes neither flags nor a stand-in test.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* const lossyTest = utf8 ? nullptr : &lossy;
    const int need = WideCharToMultiByte(CP_ACP, flags, text, -1, nullptr, 0, nullptr, lossyTest);
    if (need <= 0 || lossy)
        return nullptr;
    std::unique_ptr<char[]> narrow(new (std::nothrow) char[static_cast<size_t>(need)]);
    if (narrow && WideCharToMultiByte(CP_ACP, flags, text, -1, narrow.get(), need, nullptr, lossyTest) != need)
        narrow.reset();
    return narrow;
}
#endif

// ".\" and the bare name: the file of that name in the current directory.
// Handed a bare name, the loader would look beside the program first and
// could read a file the check never saw; handed this, it searches nowhere,
// and the 8-bit build converts no folder's name, which its code page may
// not spell.
std::unique_ptr<TCHAR[]> CurrentFolderPath(const Utf16Unit* fileName)
{
    const wchar_t* name = reinterpret_cast<const wchar_t*>(fileName);
#ifdef UNICODE
    const wchar_t* bare = name;
#else
    std::unique_ptr<char[]> converted = CodePageText(name);
    if (!converted)
        return nullptr;
    const char* bare = converted.get();
#endif
    const size_t length = lstrlen(bare);
    std::unique_ptr<TCHAR[]> path(new (std::nothrow) TCHAR[length + 3]);
    if (path) {
        path[0] = TEXT('.');
        path[1] = TEXT('\\');
        for (size_t i = 0; i <= length; ++i)
            path[i + 2] = bare[i];
    }
    return path;
}

// Run-length pixels are read this much at a time for counting their spans.
constexpr size_t WalkBlockBytes = 64 * 1024;

// A picture file checked and held open for the system loader. While held,
// the file is shared for reading only, so nothing can write, replace or
// remove it between the check and the load.
class CheckedPicture {
public:
    // False when the file is missing, is no disk file, or its headers
    // describe colours or pixels outside it or a cost past the bounds.
    bool Open(const Utf16Unit* fileName)
    {
        path = CurrentFolderPath(fileName);
        if (!path || file.Open(path.get(), PictureMostFileBytes) != DiskFileState::Open)
            return false;
        // A file shorter than the fields reads as if zeros followed.
        uint8_t head[BitmapCheckHeadBytes] = {};
        const size_t headBytes = file.Size() < sizeof head ? static_cast<size_t>(file.Size()) : sizeof head;
        BitmapLayout layout;
        if (!file.Read(head, headBytes) || !ReadBoundedBitmapLayout(head, file.Size(), layout))
            return false;
        return !layout.RunLength() || RunSpansWithinBounds(layout, head, headBytes);
    }

    const TCHAR* Path() const { return path.get(); }

private:
    // Reads the pixels through the held handle, which stands after the head.
    bool RunSpansWithinBounds(const BitmapLayout& layout, const uint8_t* head, size_t headBytes)
    {
        RunSpanCount spans(layout);
        const uint64_t room = file.Size() - layout.pixelStart;
        uint64_t position = headBytes;
        bool more = true;
        // Pixels may start inside the head, over the header's own bytes.
        if (layout.pixelStart < headBytes)
            more = spans.Take(head + layout.pixelStart, static_cast<size_t>(headBytes - layout.pixelStart));
        std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[WalkBlockBytes]);
        if (!buffer)
            return false;
        uint8_t* const block = buffer.get();
        while (more && spans.BytesWanted() > 0 && position < file.Size()) {
            const bool skipping = position < layout.pixelStart;
            const uint64_t left = file.Size() - position;
            const uint64_t wanted = skipping                     ? layout.pixelStart - position
                                    : spans.BytesWanted() < left ? spans.BytesWanted()
                                                                 : left;
            const size_t n = wanted < WalkBlockBytes ? static_cast<size_t>(wanted) : WalkBlockBytes;
            if (!file.Read(block, n))
                return false;
            position += n;
            if (!skipping)
                more = spans.Take(block, n);
        }
        return spans.Passes(room);
    }

    std::unique_ptr<TCHAR[]> path;
    DiskFile file;
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
