// Sweeps the system's bitmap loader with damaged pictures.
//   picture_sweep write DIR          writes the grid's pictures into DIR and
//                                    DIR\grid.txt: name, damaged, check passes
//   picture_sweep load FILE          loads FILE as the program would without
//                                    its check, and draws it
//   picture_sweep checked FILE       the same through the program's own path
// Prints one line: "loaded W H", "refused", or "crashed CODE" when the load
// or the drawing raised an exception nothing handled; sweep.sh reads it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/picturesweep/BitmapGrid.h"
#include "view/BitmapFileCheck.h"
#include "view/IllustrationLayer.h"

namespace {

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* e)
{
    std::printf("crashed %08lx\n", static_cast<unsigned long>(e->ExceptionRecord->ExceptionCode));
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

int Write(const std::wstring& dir)
{
    CreateDirectoryW(dir.c_str(), nullptr);
    FILE* list = _wfopen((dir + L"\\grid.txt").c_str(), L"wb");
    if (list == nullptr)
        return 2;
    for (const GridBitmap& b : MakeBitmapGrid()) {
        const std::wstring path = dir + L"\\" + std::wstring(b.name.begin(), b.name.end()) + L".bmp";
        FILE* f = _wfopen(path.c_str(), L"wb");
        if (f == nullptr || std::fwrite(b.bytes.data(), 1, b.bytes.size(), f) != b.bytes.size())
            return 2;
        std::fclose(f);
        uint8_t head[BitmapCheckHeadBytes] = {};
        for (size_t i = 0; i < b.bytes.size() && i < sizeof head; ++i)
            head[i] = b.bytes[i];
        std::fprintf(list, "%s %d %d\n", b.name.c_str(), b.damaged ? 1 : 0,
                     BitmapLiesInsideFile(head, b.bytes.size()) ? 1 : 0);
    }
    std::fclose(list);
    return 0;
}

int Load(const wchar_t* file, bool checked)
{
    SetUnhandledExceptionFilter(ReportCrash);
    HBITMAP bitmap = checked ? IllustrationLayer::LoadIllustration(GetModuleHandleW(nullptr),
                                                                    reinterpret_cast<const char16_t*>(file))
                             : static_cast<HBITMAP>(LoadImageW(nullptr, file, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (bitmap == nullptr) {
        std::printf("refused\n");
        return 0;
    }
    // Drawn as the illustration layer draws it.
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    HDC screen = GetDC(nullptr);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 64, 64);
    HGDIOBJ oldCanvas = SelectObject(target, canvas);
    HDC source = CreateCompatibleDC(screen);
    HGDIOBJ oldBitmap = SelectObject(source, bitmap);
    BitBlt(target, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, oldBitmap);
    SelectObject(target, oldCanvas);
    DeleteDC(source);
    DeleteDC(target);
    DeleteObject(canvas);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    std::printf("loaded %ld %ld\n", info.bmWidth, info.bmHeight);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring verb = argc == 3 ? argv[1] : L"";
    if (verb == L"write")
        return Write(argv[2]);
    if (verb == L"load" || verb == L"checked")
        return Load(argv[2], verb == L"checked");
    std::fprintf(stderr, "usage: picture_sweep write DIR | load FILE | checked FILE\n");
    return 2;
}
