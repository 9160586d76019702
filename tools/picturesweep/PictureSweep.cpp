// Sweeps the system's bitmap loader with damaged pictures.
//   picture_sweep write DIR          writes the grid's pictures and 1000
//                                    random mutations of them into DIR, and
//                                    DIR\grid.txt: name, damaged (1, 0 or ?
//                                    when not known), check passes (1 or 0)
//   picture_sweep load FILE          loads FILE as the program would without
//                                    its check, and draws it
//   picture_sweep checked FILE       the same through the program's own path
// Prints one line: "loaded W H", "refused", or "crashed CODE" when the load
// or the drawing raised an exception nothing handled; sweep.sh reads it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

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

// Well-formed pictures of the grid with a few header bytes set at random
// or the file cut short, from a fixed seed: damage the grid does not name.
// Whether such a picture is damaged is not known ahead ('?').
std::vector<GridBitmap> Mutations(const std::vector<GridBitmap>& grid, int count)
{
    std::vector<const GridBitmap*> intact;
    for (const GridBitmap& b : grid) {
        if (b.name.find("-intact") != std::string::npos)
            intact.push_back(&b);
    }
    std::mt19937 random(20261209);
    const uint32_t fields[] = {2, 10, 14, 18, 22, 26, 28, 30, 34, 46};
    std::vector<GridBitmap> out;
    for (int i = 0; i < count; ++i) {
        const GridBitmap& from = *intact[random() % intact.size()];
        GridBitmap b{"mutated-" + std::to_string(i) + "-" + from.name.substr(0, from.name.size() - 7), from.bytes,
                     false};
        for (uint32_t n = 1 + random() % 4; n > 0 && !b.bytes.empty(); --n) {
            const uint32_t kind = random() % 10;
            if (kind < 5) {
                b.bytes[random() % std::min<size_t>(b.bytes.size(), 60)] = static_cast<uint8_t>(random());
            } else if (kind < 8) {
                const uint32_t at = fields[random() % 10];
                const uint32_t size = static_cast<uint32_t>(b.bytes.size());
                const uint32_t values[] = {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, size, size + 1, 8000, 65536,
                                           static_cast<uint32_t>(random())};
                const uint32_t v = values[random() % 10];
                for (uint32_t k = 0; k < 4 && at + k < b.bytes.size(); ++k)
                    b.bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
            } else {
                b.bytes.resize(random() % b.bytes.size());
            }
        }
        out.push_back(std::move(b));
    }
    return out;
}

int Write(const std::wstring& dir)
{
    CreateDirectoryW(dir.c_str(), nullptr);
    FILE* list = _wfopen((dir + L"\\grid.txt").c_str(), L"wb");
    if (list == nullptr)
        return 2;
    std::vector<GridBitmap> all = MakeBitmapGrid();
    const size_t named = all.size();
    for (GridBitmap& b : Mutations(all, 1000))
        all.push_back(std::move(b));
    for (size_t i = 0; i < all.size(); ++i) {
        const GridBitmap& b = all[i];
        const std::wstring path = dir + L"\\" + std::wstring(b.name.begin(), b.name.end()) + L".bmp";
        FILE* f = _wfopen(path.c_str(), L"wb");
        if (f == nullptr || std::fwrite(b.bytes.data(), 1, b.bytes.size(), f) != b.bytes.size())
            return 2;
        std::fclose(f);
        uint8_t head[BitmapCheckHeadBytes] = {};
        for (size_t i = 0; i < b.bytes.size() && i < sizeof head; ++i)
            head[i] = b.bytes[i];
        std::fprintf(list, "%s %s %d\n", b.name.c_str(), i >= named ? "?" : b.damaged ? "1" : "0",
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
