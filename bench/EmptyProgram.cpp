// The cost of Wine itself, for comparison with the reader's figures: how long
// Wine takes to reach the first instruction of a program that does nothing,
// and, with --window, how long Wine takes to make a window in the reader's
// steps and what a process holding that window and nothing else occupies in
// memory; with --touch, what the first write to each page of freshly
// committed memory costs, against a second pass over the same pages (the
// reader's cell array is such a block).
//
//   bench_empty --out FILE [--launched UNIX_US] [--window] [--touch MB]

#include <windows.h>
#include <psapi.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/ProcessFigures.h"

namespace {

bool painted = false;

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE)
        GetDC(hwnd); // kept for the window's life, as the reader keeps its own
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        painted = true;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Makes a window in the reader's steps, with nothing of the reader in it:
// the arrow cursor (the first call into the display driver), the class, the
// window with a scroll bar and a kept device context, shown maximised and
// painted, then an empty menu bar set and five popups put on it. Returns the
// milliseconds those steps took.
double ShowPlainWindow()
{
    const double start = Milliseconds();
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = PlainProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = L"BenchPlain";
    RegisterClassExW(&windowClass);
    HWND hwnd = CreateWindowExW(0, L"BenchPlain", L"", WS_OVERLAPPEDWINDOW | WS_VSCROLL, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    ShowWindow(hwnd, SW_SHOWMAXIMIZED);
    UpdateWindow(hwnd);
    HMENU bar = CreateMenu();
    SetMenu(hwnd, bar);
    for (const wchar_t* title : {L"File", L"Go to...", L"Translations", L"Dictionaries", L"Help"})
        InsertMenuW(bar, 0, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), title);
    DrawMenuBar(hwnd);
    const double took = Milliseconds() - start;
    MSG message;
    while (!painted && GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    DestroyWindow(hwnd);
    return took;
}

// One byte written per page of a block of `megabytes`, twice; the milliseconds
// of each pass.
void TouchFreshMemory(double megabytes, double& first, double& second)
{
    const SIZE_T bytes = static_cast<SIZE_T>(megabytes * 1024 * 1024);
    volatile char* block =
        static_cast<volatile char*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    first = second = -1;
    if (block == nullptr)
        return;
    for (double* pass : {&first, &second}) {
        const double t = Milliseconds();
        for (SIZE_T i = 0; i < bytes; i += 4096)
            block[i] = static_cast<char>(i);
        *pass = Milliseconds() - t;
    }
    VirtualFree(const_cast<char*>(block), 0, MEM_RELEASE);
}

} // namespace

int main(int argc, char** argv)
{
    const int64_t entryUs = WallMicroseconds();
    const char* outPath = nullptr;
    long long launchedUs = 0;
    bool withWindow = false;
    double touchMB = 0;
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "--out" && i + 1 < argc)
            outPath = argv[++i];
        else if (a == "--launched" && i + 1 < argc)
            launchedUs = std::atoll(argv[++i]);
        else if (a == "--window")
            withWindow = true;
        else if (a == "--touch" && i + 1 < argc)
            touchMB = std::atof(argv[++i]);
    }
    FILE* out = outPath != nullptr ? std::fopen(outPath, "w") : stdout;
    if (out == nullptr)
        return 2;
    if (launchedUs != 0)
        std::fprintf(out, "figure wine.launch_to_entry %.3f ms empty program\n", (entryUs - launchedUs) / 1000.0);
    if (withWindow) {
        std::fprintf(out, "figure wine.window_steps %.3f ms the reader's window steps in an empty program\n",
                     ShowPlainWindow());
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof(counters);
        GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters));
        const double mb = 1024.0 * 1024.0;
        std::fprintf(out, "figure wine.window_only.private %.3f MB one painted window\n", PrivateCommittedMB());
        std::fprintf(out, "figure wine.window_only.peak_working_set %.3f MB one painted window\n",
                     counters.PeakWorkingSetSize / mb);
    }
    if (touchMB > 0) {
        double first = 0;
        double second = 0;
        TouchFreshMemory(touchMB, first, second);
        std::fprintf(out, "figure memory.first_touch %.3f ms %.1f MB freshly committed, one write per page\n", first,
                     touchMB);
        std::fprintf(out, "figure memory.second_touch %.3f ms the same pages again\n", second);
        const double pages = std::ceil(touchMB * 1024 * 1024 / 4096);
        std::fprintf(out, "figure memory.first_touch_per_page %.3f us the first write to one fresh page\n",
                     1000.0 * first / pages);
    }
    std::fprintf(out, "done\n");
    std::fclose(out);
    return 0;
}
