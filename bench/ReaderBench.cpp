// Measures the reading window in the process that shows it: start-up (and
// its phases), full and recolour repaints, memory, and a narration whose
// highlight moments are logged for comparison with the sound device's
// recording. The window is the program's own BookWindow behind the program's
// own window procedure; the bench only subclasses that procedure to take
// timestamps after each message has been handled, so what it measures is
// what the program does.
//
//   bench_reader --out FILE [--launched UNIX_US] [--split] [--unix-pid PID]
//                [--narrate SECONDS [--lead SECONDS]] [--memory-every SECONDS]
//
// Run it in the edition's folder (it reads book.txt and the tracks there).
// --launched is the wall-clock time, in microseconds since 1970, at which the
// caller started the Wine process; the start-up figures are then measured
// from it. --split replaces BookWindow::Start by the same steps timed one by
// one. --unix-pid names the Unix process Wine runs the bench in (e.g.
// `sh -c 'exec wine bench_reader.exe --unix-pid $$'`); the first writes to
// fresh memory pages are then counted in window creation, in Start and in
// each of its steps. --narrate starts narration --lead seconds before the end
// of the first track (so that it crosses a track change) and runs for SECONDS.

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/BookWindow.h"
#include "app/Edition.h"
#include "audio/PlaybackController.h"
#include "bench/ProcessFigures.h"
#include "book/BookLoader.h"
#include "core/WinHandles.h"

namespace {

// ---- results --------------------------------------------------------------

FILE* results = nullptr;

void Figure(const char* name, double value, const char* unit, const char* note = "")
{
    std::fprintf(results, "figure %s %.3f %s %s\n", name, value, unit, note);
    std::fflush(results);
}

void Line(const char* text)
{
    std::fprintf(results, "%s\n", text);
    std::fflush(results);
}

struct Spread {
    double median;
    double worst;
};

Spread Summarise(std::vector<double> v)
{
    if (v.empty())
        return {0, 0};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.back()};
}

// ---- the observed window --------------------------------------------------

struct Report {
    int32_t fragment;
    int64_t reportedUs; // the window handled the report (cells recoloured)
    int64_t paintedUs;  // the paint that followed it ended: green on screen
};

BookWindow* window = nullptr;
WNDPROC programProc = nullptr;
int paintsDone = 0;
int64_t firstBookPaintUs = 0;
bool bookStarted = false;
std::vector<Report> reports;
size_t unpaintedFrom = 0;

LRESULT CALLBACK ObservingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CallWindowProcW(programProc, hwnd, message, wParam, lParam);
    if (message == WM_PAINT) {
        const int64_t now = WallMicroseconds();
        ++paintsDone;
        if (bookStarted && firstBookPaintUs == 0)
            firstBookPaintUs = now;
        for (; unpaintedFrom < reports.size(); ++unpaintedFrom)
            reports[unpaintedFrom].paintedUs = now;
    } else if (message == MessageFragmentStarted && window->Playing()) {
        reports.push_back({static_cast<int32_t>(wParam), WallMicroseconds(), 0});
    }
    return result;
}

// Handles messages until the predicate holds or the time is up.
template <typename Done>
void PumpUntil(Done done, double timeoutMs)
{
    const double end = Milliseconds() + timeoutMs;
    MSG message;
    while (!done() && Milliseconds() < end) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done())
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// ---- memory and threads ---------------------------------------------------

struct Memory {
    double privateMB;
    double workingSetMB;
    double peakWorkingSetMB;
};

Memory ReadMemory()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    const double mb = 1024.0 * 1024.0;
    return {PrivateCommittedMB(), counters.WorkingSetSize / mb, counters.PeakWorkingSetSize / mb};
}

void ReportMemory(const char* when, const Memory& m)
{
    char name[96];
    std::snprintf(name, sizeof name, "memory.%s.private", when);
    Figure(name, m.privateMB, "MB");
    std::snprintf(name, sizeof name, "memory.%s.working_set", when);
    Figure(name, m.workingSetMB, "MB");
    std::snprintf(name, sizeof name, "memory.%s.peak_working_set", when);
    Figure(name, m.peakWorkingSetMB, "MB");
}

double FileTimeMs(const FILETIME& t)
{
    return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
}

struct ThreadCpu {
    DWORD id;
    double cpuMs;
};

// Kernel plus user time of every thread of this process.
std::vector<ThreadCpu> ReadThreadTimes()
{
    std::vector<ThreadCpu> out;
    KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.IsOpen())
        return out;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID != self)
            continue;
        KernelHandle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
        FILETIME created, exited, kernel, user;
        if (thread.IsOpen() && GetThreadTimes(thread.Get(), &created, &exited, &kernel, &user))
            out.push_back({entry.th32ThreadID, FileTimeMs(kernel) + FileTimeMs(user)});
    }
    return out;
}

double CpuOf(const std::vector<ThreadCpu>& times, DWORD id)
{
    for (const ThreadCpu& t : times)
        if (t.id == id)
            return t.cpuMs;
    return 0;
}

double ProcessCpuMs()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return FileTimeMs(kernel) + FileTimeMs(user);
}

// ---- first touches of memory ----------------------------------------------

long unixPid = 0;

// Minor page faults of this process so far (mostly first writes to fresh
// pages), or -1 without a Unix pid. Wine's own fault counter stays at 0, and
// Wine's server opens the file, so /proc/self would name the server.
long long MinorFaults()
{
    if (unixPid <= 0)
        return -1;
    char path[48];
    std::snprintf(path, sizeof path, "Z:\\proc\\%ld\\stat", unixPid);
    KernelHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    char text[1024];
    DWORD got = 0;
    if (!file.IsOpen() || !ReadFile(file.Get(), text, sizeof text - 1, &got, nullptr))
        return -1;
    text[got] = 0;
    // After the command's closing parenthesis: state, ppid, pgrp, session,
    // tty, tpgid, flags, then the minor faults.
    const char* p = std::strrchr(text, ')');
    for (int field = 0; p != nullptr && field < 8; field++)
        p = std::strchr(p + 1, ' ');
    return p != nullptr ? std::atoll(p + 1) : -1;
}

// Steps timed one after another; each step's faults are read between the
// steps, so that the reading is timed in neither.
class Laps {
public:
    Laps() { Restart(); }

    double Next(const char* name, const char* note)
    {
        const double ms = Milliseconds() - start;
        const long long faults = MinorFaults();
        Figure(name, ms, "ms", note);
        if (faults >= 0 && faultsAtStart >= 0)
            Figure(("faults." + std::string(name)).c_str(), static_cast<double>(faults - faultsAtStart), "faults",
                   note);
        Restart();
        return ms;
    }

private:
    void Restart()
    {
        faultsAtStart = MinorFaults();
        start = Milliseconds();
    }

    long long faultsAtStart = -1;
    double start = 0;
};

// ---- start-up -------------------------------------------------------------

// The steps of BookWindow::Start, each timed; the remaining ones (title,
// document height, saved position, timer) are timed together.
void StartInPhases(BookWindow& w)
{
    BookDocument& document = GetBookDocument();
    ParagraphList& paragraphs = document.Paragraphs();
    SyncTable& fragments = document.Fragments();
    BookLoader& loader = BookLoader::Instance();

    Laps laps;
    const uint8_t loaded = loader.LoadBookText(paragraphs);
    if (loaded == 1)
        BookLoader::LoadTranslations(paragraphs);
    laps.Next("start.loading", "book and translation files read and split");
    if (loaded == 1) {
        BookLoader::BuildSyncTable(fragments);
        document.RecountTotals();
    }
    loader.FreeText();
    laps.Next("start.table", "synchronisation table built");

    // The layout's steps are timed one by one; their sum is the layout's
    // figure.
    double layout = 0;
    w.CreateBookFont(0, BookWindow::BookFontHeight);
    layout += laps.Next("layout.font", "font 0 created");
    w.textLayer.SetCellCount(document.TotalCharacters());
    layout += laps.Next("layout.cell_array", "cell array sized");
    w.LayoutText(paragraphs);
    layout += laps.Next("layout.text", "LayoutText");
    w.UpdateScrollRange();
    layout += laps.Next("layout.scroll_range", "scroll bar range");
    Figure("start.layout", layout, "ms", "text laid out into cells");

    w.BuildTranslationRegions(paragraphs);
    w.BuildFragmentRegions(fragments);
    laps.Next("start.regions", "translation and fragment hit regions");

    double rest = 0;
    w.SetTitleFromFirstParagraph(paragraphs);
    w.textLayer.UpdateDocumentHeight();
    rest += laps.Next("rest.title", "title and document height");
    int32_t saved = w.ReadShiftSetting();
    if (saved < 0)
        saved = 0;
    rest += laps.Next("rest.read_setting", "saved position read");
    w.StartTimer(BookWindow::AutoScrollPeriod);
    rest += laps.Next("rest.timer", "timer started");
    w.ScrollDown(saved, 1);
    rest += laps.Next("rest.scroll", "scrolled to it (settings written, bar moved)");
    Figure("start.rest", rest, "ms", "title, height, saved position, timer");

    // Where the layout's time goes: it asks for a character width about twice
    // per character, and each request selects the font into the device
    // context before it looks in the width cache.
    constexpr int Calls = 200000;
    double t = Milliseconds();
    for (int i = 0; i < Calls; i++)
        w.CharWidth(static_cast<Utf16Unit>(u'a' + i % 26), 0);
    Figure("layout.char_width_call", 1000.0 * (Milliseconds() - t) / Calls, "us", "cached width, font selected");
    t = Milliseconds();
    for (int i = 0; i < Calls; i++)
        SelectObject(w.Hdc(), w.FontAt(0));
    Figure("layout.select_font_call", 1000.0 * (Milliseconds() - t) / Calls, "us", "same font again");
    Figure("layout.cells", document.TotalCharacters(), "cells");
    // The same layout again, with every width measured and every page of the
    // cell array touched: what is left is the layout's own arithmetic.
    t = Milliseconds();
    w.LayoutText(paragraphs);
    Figure("layout.text_again", Milliseconds() - t, "ms", "LayoutText a second time");
    t = Milliseconds();
    int32_t y = 0;
    for (uint32_t i = 0; i < paragraphs.count; i++)
        w.PlaceIllustration(i, y);
    Figure("layout.pictures_again", Milliseconds() - t, "ms", "the chapter pictures placed (and read) again");
}

// ---- paint ----------------------------------------------------------------

// Waits until the X server has drawn what was sent: reading a pixel back is
// a round trip to it.
void SyncDisplay(BookWindow& w)
{
    GdiFlush();
    GetPixel(w.Hdc(), 1, 1);
}

void ScrollTo(BookWindow& w, int32_t y)
{
    const int32_t s = w.Shift();
    if (y > s)
        w.ScrollDown(y - s, 1);
    else if (y < s)
        w.ScrollUp(s - y, 1);
}

Spread TimeFullRepaints(BookWindow& w, int repetitions)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; i++) {
        SyncDisplay(w);
        const double t = Milliseconds();
        RedrawWindow(w.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        SyncDisplay(w);
        times.push_back(Milliseconds() - t);
    }
    return Summarise(times);
}

// The shift at which the window shows the most cells within one chapter.
int32_t DensestPage(BookWindow& w, uint32_t& chapterOut, uint32_t& cellsOut)
{
    const TextLayer& cells = w.textLayer;
    const uint32_t n = cells.CellCount();
    const int32_t h = w.ClientRect().Height();
    uint32_t bestCells = 0;
    int32_t bestY = 0;
    chapterOut = 0;
    auto firstAtOrBelow = [&](int32_t y) {
        uint32_t lo = 0, hi = n;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (cells.CellAt(mid).Top() < y)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    for (uint32_t c = 0; c < ChapterCount; c++) {
        const uint32_t a = ChapterStartChars[c];
        const uint32_t b = c + 1 < ChapterCount ? ChapterStartChars[c + 1] : n;
        if (a >= n)
            continue;
        const int32_t top = cells.CellAt(a).Top();
        const int32_t bottom = cells.CellAt(b > 0 ? b - 1 : 0).Top();
        for (int32_t y = top; y + h / 2 <= bottom; y += 50) {
            const uint32_t count = firstAtOrBelow(y + h - w.lineHeight) - firstAtOrBelow(y);
            if (count > bestCells) {
                bestCells = count;
                bestY = y;
                chapterOut = c + 1;
            }
        }
    }
    cellsOut = bestCells;
    return bestY;
}

void MeasurePaint(BookWindow& w, int repetitions)
{
    const Rect client = w.ClientRect();
    char note[128];
    std::snprintf(note, sizeof note, "client area %dx%d", client.width, client.height);
    Line((std::string("condition window ") + note).c_str());

    ScrollTo(w, 0);
    Spread top = TimeFullRepaints(w, repetitions);
    Figure("paint.full.top.median", top.median, "ms", note);
    Figure("paint.full.top.worst", top.worst, "ms", note);

    uint32_t chapter = 0;
    uint32_t visibleCells = 0;
    const int32_t y = DensestPage(w, chapter, visibleCells);
    ScrollTo(w, y);
    Spread dense = TimeFullRepaints(w, repetitions);
    std::snprintf(note, sizeof note, "chapter %u, %u cells on screen", chapter, visibleCells);
    Figure("paint.full.densest.median", dense.median, "ms", note);
    Figure("paint.full.densest.worst", dense.worst, "ms", note);

    // A fragment in the middle of the dense page, turned green and back as
    // narration does; each change is painted as the program would, through
    // the update region that Recolor leaves.
    w.Redraw();
    const uint32_t middle = (w.textLayer.FirstVisible() + w.textLayer.LastVisible()) / 2;
    const SyncTable& table = GetBookDocument().Fragments();
    int32_t pick = -1;
    for (uint32_t i = 0; i < table.count && pick < 0; i++) {
        const SyncFragment& row = table.At(i);
        if (row.isSet != 1)
            continue;
        const uint32_t first = w.ParagraphFirstCell(static_cast<uint32_t>(row.paragraph)) +
                               static_cast<uint32_t>(row.firstChar);
        if (first >= middle)
            pick = static_cast<int32_t>(i);
    }
    if (pick < 0) {
        Line("note no fragment on the densest page; recolour not measured");
        return;
    }
    const SyncFragment& row = table.At(static_cast<uint32_t>(pick));
    const uint32_t base = w.ParagraphFirstCell(static_cast<uint32_t>(row.paragraph));
    const uint32_t a = base + static_cast<uint32_t>(row.firstChar);
    const uint32_t b = base + static_cast<uint32_t>(row.lastChar);
    std::vector<double> times;
    RECT area = {};
    for (int i = 0; i < repetitions; i++) {
        SyncDisplay(w);
        const double t = Milliseconds();
        w.textLayer.Recolor((i % 2) == 0 ? SpokenColor : TextColor, a, b);
        if (i == 0)
            GetUpdateRect(w.Hwnd(), &area, FALSE);
        UpdateWindow(w.Hwnd());
        SyncDisplay(w);
        times.push_back(Milliseconds() - t);
    }
    Spread recolour = Summarise(times);
    std::snprintf(note, sizeof note, "fragment %d, %u cells, update area %ldx%ld", pick, b - a + 1,
                  area.right - area.left, area.bottom - area.top);
    Figure("paint.recolour.median", recolour.median, "ms", note);
    Figure("paint.recolour.worst", recolour.worst, "ms", note);

    // The same recolour without the window's paint: the cost of the cells
    // and the invalidation alone.
    times.clear();
    for (int i = 0; i < repetitions; i++) {
        const double t = Milliseconds();
        w.textLayer.Recolor((i % 2) == 0 ? SpokenColor : TextColor, a, b);
        times.push_back(Milliseconds() - t);
        ValidateRect(w.Hwnd(), nullptr);
    }
    Figure("paint.recolour.cells_only.median", Summarise(times).median, "ms", note);
    ScrollTo(w, 0);
}

// ---- narration ------------------------------------------------------------

bool SameTrack(const SyncFragment& x, const SyncFragment& y)
{
    const WideString& a = x.TrackFile();
    const WideString& b = y.TrackFile();
    if (a.count != b.count)
        return false;
    for (uint32_t k = 0; k < a.count; k++)
        if (a.At(k) != b.At(k))
            return false;
    return true;
}

std::string TrackName(const SyncFragment& row)
{
    std::string s;
    const WideString& name = row.TrackFile();
    for (uint32_t k = 0; k < name.count; k++)
        s += static_cast<char>(name.At(k) & 0x7F);
    return s;
}

// The first fragment of the first track that starts at least lead seconds
// before that track's last fragment ends.
int32_t FragmentBeforeTrackEnd(double leadSeconds)
{
    const SyncTable& table = GetBookDocument().Fragments();
    if (table.count == 0)
        return -1;
    uint32_t last = 0;
    while (last + 1 < table.count && SameTrack(table.At(last + 1), table.At(0)))
        ++last;
    const double end = table.At(last).End().ToMilliseconds();
    for (uint32_t i = 0; i <= last; i++) {
        const SyncFragment& row = table.At(i);
        if (row.isSet == 1 && row.Start().ToMilliseconds() >= end - leadSeconds * 1000.0)
            return static_cast<int32_t>(i);
    }
    return 0;
}

bool Narrate(BookWindow& w, double seconds, double leadSeconds, double memoryEvery)
{
    const int32_t from = FragmentBeforeTrackEnd(leadSeconds);
    if (from < 0) {
        Line("error no synchronisation table");
        return false;
    }
    const SyncTable& table = GetBookDocument().Fragments();
    const SyncFragment& row = table.At(static_cast<uint32_t>(from));
    const uint32_t cell = w.ParagraphFirstCell(static_cast<uint32_t>(row.paragraph)) +
                          static_cast<uint32_t>(row.firstChar);
    const CharCell& target = w.textLayer.CellAt(cell);
    ScrollTo(w, std::max(0, target.Top() - 200));
    w.Invalidate();
    UpdateWindow(w.Hwnd());

    // The fragment table, for the analysis of the recording.
    for (uint32_t i = 0; i < table.count; i++) {
        const SyncFragment& r = table.At(i);
        if (r.isSet == 1 && i >= static_cast<uint32_t>(from))
            std::fprintf(results, "row %u %s %u %u\n", i, TrackName(r).c_str(), r.Start().ToMilliseconds(),
                         r.End().ToMilliseconds());
    }

    // The user's right click on the fragment, through the program's own path.
    const int x = target.Left() + 2;
    const int y = target.Top() - w.Shift() + 2;
    const std::vector<ThreadCpu> before = ReadThreadTimes();
    const double processBefore = ProcessCpuMs();
    const double t0 = Milliseconds();
    std::fprintf(results, "narration_start %d %lld\n", from, static_cast<long long>(WallMicroseconds()));
    PostMessageW(w.Hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
    PostMessageW(w.Hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(x, y));

    std::vector<Memory> samples;
    samples.push_back(ReadMemory());
    double nextSample = t0 + memoryEvery * 1000.0;
    const double end = t0 + seconds * 1000.0;
    while (Milliseconds() < end) {
        PumpUntil([&] { return Milliseconds() >= std::min(end, nextSample); }, seconds * 1000.0);
        if (Milliseconds() >= nextSample) {
            samples.push_back(ReadMemory());
            nextSample += memoryEvery * 1000.0;
        }
    }
    const double wall = Milliseconds() - t0;
    std::fprintf(results, "narration_end %lld\n", static_cast<long long>(WallMicroseconds()));
    const std::vector<ThreadCpu> after = ReadThreadTimes();
    const double processAfter = ProcessCpuMs();
    samples.push_back(ReadMemory());

    char note[96];
    std::snprintf(note, sizeof note, "%.0f s of narration", wall / 1000.0);
    const DWORD ui = GetCurrentThreadId();
    const DWORD playback = w.player != nullptr ? static_cast<DWORD>(w.player->threadId) : 0;
    Figure("cpu.ui_thread", 100.0 * (CpuOf(after, ui) - CpuOf(before, ui)) / wall, "%", note);
    Figure("cpu.playback_thread", 100.0 * (CpuOf(after, playback) - CpuOf(before, playback)) / wall, "%", note);
    double others = 0;
    for (const ThreadCpu& t : after)
        std::fprintf(results, "thread %lu %.1f ms%s\n", static_cast<unsigned long>(t.id), t.cpuMs - CpuOf(before, t.id),
                     t.id == ui ? " ui" : t.id == playback ? " playback" : "");
    for (const ThreadCpu& t : after)
        if (t.id != ui && t.id != playback)
            others += t.cpuMs - CpuOf(before, t.id);
    Figure("cpu.other_threads", 100.0 * others / wall, "%", "completion thread and Wine's own threads");
    Figure("cpu.process", 100.0 * (processAfter - processBefore) / wall, "%", note);

    ReportMemory("narration_start", samples.front());
    ReportMemory("narration_end", samples.back());
    double peakPrivate = 0;
    for (const Memory& m : samples)
        peakPrivate = std::max(peakPrivate, m.privateMB);
    // The first sound opens the audio stack (Wine's driver and the sound
    // server's client library); growth is counted from the first sample
    // taken while sound plays.
    const Memory& playing = samples.size() > 2 ? samples[1] : samples.front();
    Figure("memory.narration.first_sound_jump", playing.privateMB - samples.front().privateMB, "MB",
           "audio stack opened");
    Figure("memory.narration.private_growth", samples.back().privateMB - playing.privateMB, "MB", note);
    Figure("memory.narration.private_max", peakPrivate, "MB", note);
    for (size_t i = 0; i < samples.size(); i++)
        std::fprintf(results, "memory_sample %zu %.3f %.3f\n", i, samples[i].privateMB, samples[i].workingSetMB);

    for (const Report& r : reports)
        std::fprintf(results, "green %d %lld %lld\n", r.fragment, static_cast<long long>(r.reportedUs),
                     static_cast<long long>(r.paintedUs));
    Figure("narration.fragments_reported", static_cast<double>(reports.size()), "fragments", note);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const int64_t entryUs = WallMicroseconds();
    const char* outPath = nullptr;
    long long launchedUs = 0;
    bool split = false;
    double narrateSeconds = 0;
    double leadSeconds = 20;
    double memoryEvery = 10;
    int repetitions = 20;
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--out" && more)
            outPath = argv[++i];
        else if (a == "--launched" && more)
            launchedUs = std::atoll(argv[++i]);
        else if (a == "--split")
            split = true;
        else if (a == "--unix-pid" && more)
            unixPid = std::atol(argv[++i]);
        else if (a == "--narrate" && more)
            narrateSeconds = std::atof(argv[++i]);
        else if (a == "--lead" && more)
            leadSeconds = std::atof(argv[++i]);
        else if (a == "--memory-every" && more)
            memoryEvery = std::max(1.0, std::atof(argv[++i]));
        else if (a == "--repetitions" && more)
            repetitions = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "bench_reader: unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    results = outPath != nullptr ? std::fopen(outPath, "w") : stdout;
    if (results == nullptr)
        return 2;

    Application* application = GetApplication();
    if (application == nullptr || application->window == nullptr) {
        Line("error no application");
        return 1;
    }
    window = application->window;
    BookWindow& w = *window;
    // Every run opens at the top of the book, whatever an earlier one saved.
    w.settings.Write(SettingsSection, reinterpret_cast<const wchar_t*>(w.SettingsKeyName()), 0);

    // What Application::Start does, with the window procedure observed from
    // the moment the window exists.
    Laps creation;
    w.BeginPictureLoading(GetModuleHandleW(nullptr));
    w.CreateMainWindow(GetModuleHandleW(nullptr));
    creation.Next("startup.create_window", "class, window, menus, first empty paint");
    programProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ObservingProc)));
    Laps start;
    if (split)
        StartInPhases(w);
    else
        w.Start();
    start.Next("start.total", split ? "phases timed one by one" : "BookWindow::Start");
    bookStarted = true;
    w.Invalidate();
    PumpUntil([] { return firstBookPaintUs != 0; }, 10000);
    if (firstBookPaintUs == 0) {
        Line("error the book was never painted");
        return 1;
    }
    Figure("startup.entry_to_first_paint", (firstBookPaintUs - entryUs) / 1000.0, "ms",
           "from the program's first instruction");
    if (launchedUs != 0) {
        Figure("startup.launch_to_entry", (entryUs - launchedUs) / 1000.0, "ms", "Wine starting the process");
        Figure("startup.launch_to_first_paint", (firstBookPaintUs - launchedUs) / 1000.0, "ms",
               "process start to the book painted");
    }
    PumpUntil([] { return false; }, 200);
    ReportMemory("after_startup", ReadMemory());
    // Wine frees an ended thread's stacks only when the next thread ends;
    // one short thread shows what start-up's own threads left behind.
    KernelHandle probe(CreateThread(nullptr, 64 * 1024, [](LPVOID) -> DWORD { return 0; }, nullptr,
                                    STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (probe.IsOpen())
        WaitForSingleObject(probe.Get(), INFINITE);
    Figure("memory.after_a_thread_ended.private", ReadMemory().privateMB, "MB", "after one more thread ended");

    if (!split && narrateSeconds <= 0)
        MeasurePaint(w, repetitions);
    bool ok = true;
    if (narrateSeconds > 0)
        ok = Narrate(w, narrateSeconds, leadSeconds, memoryEvery);
    Line("done");
    std::fflush(results);
    // The playback side is never torn down by the program either; end here
    // without waiting for it.
    ExitProcess(ok ? 0 : 1);
}
