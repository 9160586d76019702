// Sweeps the system's bitmap loader with damaged pictures.
//   picture_sweep write DIR                 writes the grid's pictures, the
//       offset sweep and 1000 random mutations into DIR, and DIR\grid.list:
//       name, damaged (1, 0 or ? when not known: the offset sweep and the
//       mutations), check passes (1 or 0)
//   picture_sweep load LIST FIRST END       loads pictures FIRST to END - 1
//       of LIST as the program would without its check, and draws each
//   picture_sweep checked LIST FIRST END    the same through the program's
//       own path
//   picture_sweep beside LIST FIRST END     each damaged picture (or one not
//       known to be whole) written beside this program under a name that a
//       good picture has in the current directory, and loaded by that name
//       through the program's own path
//   picture_sweep cost-write DIR            writes the pictures of the cost
//       sweep into DIR, and DIR\cost.list: name, file bytes, the spans the
//       check counts, its verdict
//   picture_sweep cost LIST INDEX unchecked|checked   loads picture INDEX of
//       LIST once, straight through the system loader or through the
//       program's own path, and prints "INDEX NAME MS KEPT PEAK RESULT W H
//       DIGEST": the milliseconds the load took, the megabytes of memory
//       committed after it with the bitmap kept, the most committed during it
//       (one picture to a process, so that the peak is this picture's), and
//       a digest of the bitmap's pixels
// Prints a line per picture, "INDEX loaded W H" (followed by "blank" when
// the bitmap holds none of the file's pixels), "INDEX refused", "INDEX
// good" (beside: the good picture loaded), "INDEX crashed CODE" when the
// load or the drawing raised an exception nothing handled, or "INDEX hung";
// a crash or a hang ends the process, and sweep.sh starts the next one
// after that picture.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "tools/picturesweep/BitmapGrid.h"
#include "tools/picturesweep/CostPictures.h"
#include "view/BitmapFileCheck.h"
#include "view/IllustrationLayer.h"

namespace {

constexpr ULONGLONG HangMilliseconds = 30000;

std::atomic<long> current{-1};
std::atomic<ULONGLONG> currentSince{0};

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* e)
{
    std::printf("%ld crashed %08lx\n", current.load(), static_cast<unsigned long>(e->ExceptionRecord->ExceptionCode));
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI Watch(LPVOID)
{
    for (;;) {
        Sleep(500);
        if (GetTickCount64() - currentSince.load() > HangMilliseconds) {
            std::printf("%ld hung\n", current.load());
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
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

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (f == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

int Write(const std::wstring& dir)
{
    CreateDirectoryW(dir.c_str(), nullptr);
    FILE* list = _wfopen((dir + L"\\grid.list").c_str(), L"wb");
    if (list == nullptr)
        return 2;
    std::vector<GridBitmap> all = MakeBitmapGrid();
    // Only the grid's damage is known ahead: how far the loader reads the
    // pictures of the offset sweep is what the sweep finds out (verdicts.sh).
    const size_t named = all.size();
    std::vector<GridBitmap> mutations = Mutations(all, 1000);
    for (GridBitmap& b : MakeOffsetSweep())
        all.push_back(std::move(b));
    for (GridBitmap& b : mutations)
        all.push_back(std::move(b));
    for (size_t i = 0; i < all.size(); ++i) {
        const GridBitmap& b = all[i];
        const std::wstring path = dir + L"\\" + std::wstring(b.name.begin(), b.name.end()) + L".bmp";
        if (!WriteFileBytes(path, b.bytes))
            return 2;
        std::fprintf(list, "%s %s %d\n", b.name.c_str(), i >= named ? "?" : b.damaged ? "1" : "0",
                     BitmapFilePasses(b.bytes.data(), b.bytes.size(), b.bytes.size()) ? 1 : 0);
    }
    std::fclose(list);
    return 0;
}

struct Entry {
    std::wstring name;
    bool whole; // known to be well-formed
};

std::vector<uint8_t> ReadFileBytes(const std::wstring& path)
{
    std::vector<uint8_t> bytes;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (f == nullptr)
        return bytes;
    uint8_t block[65536];
    for (size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0;)
        bytes.insert(bytes.end(), block, block + n);
    std::fclose(f);
    return bytes;
}

std::vector<Entry> ReadList(const std::wstring& listPath)
{
    std::vector<Entry> entries;
    const std::vector<uint8_t> text = ReadFileBytes(listPath);
    std::string line;
    for (uint8_t c : text) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        const size_t space = line.find(' ');
        const std::string name = line.substr(0, space);
        entries.push_back({std::wstring(name.begin(), name.end()), line.compare(space + 1, 2, "0 ") == 0});
        line.clear();
    }
    return entries;
}

// Whether every pixel of the bitmap is black: the loader made the bitmap
// but put none of the file's pixels in it (every picture of the grid has
// pixels of another colour).
bool Blank(HBITMAP bitmap, const BITMAP& info)
{
    if (info.bmWidth <= 0 || info.bmHeight <= 0 || info.bmWidth > 4096 || info.bmHeight > 4096)
        return false;
    std::vector<uint32_t> pixels(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight));
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), info.bmWidth, -info.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &format,
                               DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == info.bmHeight &&
           std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return (p & 0xFFFFFF) == 0; });
}

// Loads and draws the picture as the illustration layer does; its sides, or
// 0 0 when it was refused; blank tells whether the bitmap held none of the
// file's pixels.
SIZE LoadAndDraw(const wchar_t* file, bool checked, bool& blank)
{
    blank = false;
    HBITMAP bitmap = checked ? IllustrationLayer::LoadIllustration(GetModuleHandleW(nullptr),
                                                                    reinterpret_cast<const char16_t*>(file))
                             : static_cast<HBITMAP>(LoadImageW(nullptr, file, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (bitmap == nullptr)
        return SIZE{0, 0};
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    blank = Blank(bitmap, info);
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
    return SIZE{info.bmWidth, info.bmHeight};
}

// The good picture for the beside mode: sides no picture of the grid has.
constexpr LONG GoodWidth = 17;
constexpr LONG GoodHeight = 5;

int Load(const std::wstring& verb, const std::wstring& listPath, long first, long end)
{
    SetUnhandledExceptionFilter(ReportCrash);
    const std::vector<Entry> entries = ReadList(listPath);
    const std::wstring dir = listPath.substr(0, listPath.find_last_of(L"\\/"));
    const bool beside = verb == L"beside";
    std::wstring besideName, besidePath, goodFolder;
    if (beside) {
        wchar_t module[MAX_PATH];
        const DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
        std::wstring programDir(module, n);
        programDir.resize(programDir.find_last_of(L"\\"));
        besideName = L"beside-" + std::to_wstring(first) + L".bmp";
        besidePath = programDir + L"\\" + besideName;
        goodFolder = dir + L"\\good-" + std::to_wstring(first);
        CreateDirectoryW(goodFolder.c_str(), nullptr);
        std::vector<uint8_t> good = GridBitmapBytes("d24-h040-plain-intact");
        Put32(good, 18, GoodWidth);
        Put32(good, 22, GoodHeight);
        if (!WriteFileBytes(goodFolder + L"\\" + besideName, good) || !SetCurrentDirectoryW(goodFolder.c_str()))
            return 2;
    }
    currentSince = GetTickCount64();
    CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    for (long i = first; i < end && i < static_cast<long>(entries.size()); ++i) {
        const Entry& e = entries[static_cast<size_t>(i)];
        const std::wstring path = dir + L"\\" + e.name + L".bmp";
        if (beside && (e.whole || !WriteFileBytes(besidePath, ReadFileBytes(path)))) {
            std::printf("%ld skipped\n", i);
            continue;
        }
        currentSince = GetTickCount64();
        current = i;
        bool blank = false;
        const SIZE size = LoadAndDraw(beside ? besideName.c_str() : path.c_str(), verb != L"load", blank);
        if (beside && size.cx == GoodWidth && size.cy == GoodHeight)
            std::printf("%ld good\n", i);
        else if (size.cx == 0 && size.cy == 0)
            std::printf("%ld refused\n", i);
        else
            std::printf("%ld loaded %ld %ld%s\n", i, size.cx, size.cy, blank ? " blank" : "");
        std::fflush(stdout);
    }
    if (beside) {
        DeleteFileW(besidePath.c_str());
        DeleteFileW((goodFolder + L"\\" + besideName).c_str());
    }
    return 0;
}

// What the program's check says of a picture, from its bytes alone: "pass",
// or the bound it is past.
const char* CheckVerdict(const CostPicture& p, uint64_t& spans)
{
    spans = 0;
    uint8_t head[BitmapCheckHeadBytes] = {};
    std::copy_n(p.bytes.begin(), std::min(p.bytes.size(), sizeof head), head);
    BitmapLayout layout;
    if (p.fileBytes > PictureMostFileBytes)
        return "file-bytes";
    if (!ReadBitmapLayout(head, p.fileBytes, layout))
        return "headers";
    if (!BitmapSizeWithinBounds(layout))
        return "bitmap-bytes";
    if (!layout.RunLength())
        return "pass";
    RunSpanCount count(layout);
    const uint64_t there = p.bytes.size() - layout.pixelStart;
    count.Take(p.bytes.data() + layout.pixelStart, static_cast<size_t>(std::min(there, count.BytesWanted())));
    spans = count.Spans();
    return spans <= PictureMostRunSpans ? "pass" : "spans";
}

int CostWrite(const std::wstring& dir)
{
    CreateDirectoryW(dir.c_str(), nullptr);
    FILE* list = _wfopen((dir + L"\\cost.list").c_str(), L"wb");
    if (list == nullptr)
        return 2;
    for (const auto& make : MakeCostSweep()) {
        const CostPicture p = make();
        const std::wstring path = dir + L"\\" + std::wstring(p.name.begin(), p.name.end()) + L".bmp";
        if (!WriteFileBytes(path, p.bytes))
            return 2;
        if (p.fileBytes > p.bytes.size()) {
            // The rest of the file as a hole.
            HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            LARGE_INTEGER end;
            end.QuadPart = static_cast<LONGLONG>(p.fileBytes);
            const bool grown = f != INVALID_HANDLE_VALUE && SetFilePointerEx(f, end, nullptr, FILE_BEGIN) &&
                               SetEndOfFile(f);
            if (f != INVALID_HANDLE_VALUE)
                CloseHandle(f);
            if (!grown)
                return 2;
        }
        uint64_t spans = 0;
        const char* verdict = CheckVerdict(p, spans);
        std::fprintf(list, "%s %llu %llu %s\n", p.name.c_str(), static_cast<unsigned long long>(p.fileBytes),
                     static_cast<unsigned long long>(spans), verdict);
    }
    std::fclose(list);
    return 0;
}

double CommittedMB(bool peak)
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return static_cast<double>(peak ? counters.PeakPagefileUsage : counters.PagefileUsage) / (1024.0 * 1024.0);
}

// FNV-1a over the bitmap's pixels as 32-bit colours, to tell whether two
// ways of loading a picture give the same bitmap.
uint64_t PixelDigest(HBITMAP bitmap, const BITMAP& info)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    if (bitmap == nullptr || static_cast<uint64_t>(info.bmWidth) * static_cast<uint64_t>(info.bmHeight) > (1u << 22))
        return 0;
    std::vector<uint32_t> pixels(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight));
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), info.bmWidth, -info.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (uint32_t p : pixels) {
        for (int i = 0; i < 3; ++i)
            hash = (hash ^ ((p >> (8 * i)) & 0xFF)) * 0x100000001B3ull;
    }
    return hash;
}

int Cost(const std::wstring& listPath, long index, const std::wstring& mode)
{
    SetUnhandledExceptionFilter(ReportCrash);
    const std::vector<Entry> entries = ReadList(listPath);
    if (index < 0 || index >= static_cast<long>(entries.size()))
        return 2;
    const std::wstring dir = listPath.substr(0, listPath.find_last_of(L"\\/"));
    const std::wstring& name = entries[static_cast<size_t>(index)].name;
    // The loader's own first use of the screen costs what no picture does.
    DeleteObject(static_cast<HBITMAP>(LoadImageW(nullptr, (dir + L"\\" + entries[0].name + L".bmp").c_str(),
                                                 IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
    SetCurrentDirectoryW(dir.c_str());
    const std::wstring file = name + L".bmp";
    const double before = CommittedMB(false);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    HBITMAP bitmap = mode == L"checked"
                         ? IllustrationLayer::LoadIllustration(GetModuleHandleW(nullptr),
                                                               reinterpret_cast<const char16_t*>(file.c_str()))
                         : static_cast<HBITMAP>(LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    QueryPerformanceCounter(&end);
    const double kept = CommittedMB(false) - before;
    const double peak = CommittedMB(true) - before;
    BITMAP info = {};
    if (bitmap != nullptr)
        GetObjectW(bitmap, sizeof info, &info);
    std::printf("%ld %ls %.1f %.1f %.1f %s %ld %ld %016llx\n", index, name.c_str(),
                1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart),
                kept, peak, bitmap != nullptr ? "loaded" : "refused", info.bmWidth, info.bmHeight,
                static_cast<unsigned long long>(PixelDigest(bitmap, info)));
    std::fflush(stdout);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring verb = argc >= 2 ? argv[1] : L"";
    if (verb == L"write" && argc == 3)
        return Write(argv[2]);
    if (verb == L"cost-write" && argc == 3)
        return CostWrite(argv[2]);
    if (verb == L"cost" && argc == 5)
        return Cost(argv[2], std::wcstol(argv[3], nullptr, 10), argv[4]);
    if ((verb == L"load" || verb == L"checked" || verb == L"beside") && argc == 5)
        return Load(verb, argv[2], std::wcstol(argv[3], nullptr, 10), std::wcstol(argv[4], nullptr, 10));
    std::fprintf(stderr, "usage: picture_sweep write DIR | load|checked|beside LIST FIRST END | cost-write DIR |"
                         " cost LIST INDEX unchecked|checked\n");
    return 2;
}
