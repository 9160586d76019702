#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/WinHandles.h"

// One run of the real program, watched from outside as a user's desktop
// would see it: its main window, the dialogs it opens, whether it answers
// messages in time and how it ends. Every lapse is kept as a failure line
// rather than stopping the run, so that one report tells all that went wrong.
class ProgramSession {
public:
    // What counts as answering: a window that takes longer than this for one
    // message looks hung to the user. A long run on a quiet machine holds the
    // program to that; a test run, which shares the machine with other
    // tests, raises both limits to where only a hang or a lost exit passes
    // them (Patient).
    static inline DWORD AnswerMilliseconds = 2000;
    // Time the program has to end after its window was asked to close.
    static inline DWORD ExitMilliseconds = 5000;
    static void Patient()
    {
        AnswerMilliseconds = 10000;
        ExitMilliseconds = 15000;
    }

    ProgramSession() = default;
    ~ProgramSession();
    ProgramSession(const ProgramSession&) = delete;
    ProgramSession& operator=(const ProgramSession&) = delete;

    bool Start(const std::wstring& program, const std::wstring& folder);
    // The main window, visible and titled; the title may stay empty when the
    // program has nothing to show, so an untitled window counts after
    // untitledGrace milliseconds.
    bool WaitForWindow(DWORD milliseconds, DWORD untitledGrace);
    HWND Window() const { return mainWindow; }
    DWORD ProcessId() const { return processInfo.dwProcessId; }
    HANDLE Process() const { return process ? process->Get() : nullptr; }

    // Sends one message and records a failure when it is not answered in time.
    bool Send(const char* what, UINT message, WPARAM wParam = 0, LPARAM lParam = 0, LRESULT* result = nullptr);
    // A mouse button pressed and released at a client point, with the move
    // that precedes it.
    void Click(const char* what, UINT down, UINT up, POINT at);

    // Visible top-level windows of the process other than the main window.
    std::vector<HWND> OtherWindows() const;
    // Waits for a dialog with this caption; null when none came in time.
    HWND WaitForDialog(const wchar_t* caption, DWORD milliseconds) const;
    // Closes every other window through its Cancel command, as Esc would;
    // returns their captions.
    std::vector<std::wstring> CloseOtherWindows();

    bool Alive() const;
    // Presses Alt+F4 on the window and waits; records a failure unless the
    // process ended by itself in time with exit code 0.
    bool CloseAndWait();
    // From the Alt+F4 to the end of the process, once CloseAndWait saw it end.
    DWORD CloseMilliseconds() const { return closeMilliseconds; }
    // Exit code once ended; STILL_ACTIVE otherwise.
    DWORD ExitCode() const;

    // Memory and handle figures of the program, for long runs.
    bool Figures(uint64_t& privateBytes, uint64_t& workingSet, DWORD& handles) const;
    // The largest working set and commit charge so far. Wine keeps no peak of
    // the commit charge (it reports the present one as the peak), so each call
    // also folds the present charge into the largest seen by this session.
    bool Peaks(uint64_t& workingSet, uint64_t& commit);

    const std::vector<std::string>& Failures() const { return failures; }
    void Fail(const std::string& reason) { failures.push_back(reason); }

private:
    PROCESS_INFORMATION processInfo = {};
    std::unique_ptr<KernelHandle> process;
    std::unique_ptr<KernelHandle> thread;
    HWND mainWindow = nullptr;
    DWORD closeMilliseconds = 0;
    bool gaveUp = false;
    uint64_t commitSeen = 0;
    std::vector<std::string> failures;
};

// A copy of the window's client area, for finding text and colours on it.
class ClientPicture {
public:
    // maxHeight, when above 0, keeps only that many rows from the top: a
    // smaller copy is quicker, for watching a part of the window closely.
    explicit ClientPicture(HWND window, int maxHeight = 0);
    int Width() const { return width; }
    int Height() const { return height; }
    COLORREF At(int x, int y) const;
    // The first dark pixel, reading row by row from the top; false on a page
    // without text.
    bool FirstDark(POINT& at, int fromY = 0) const;
    int CountColor(COLORREF color) const;
    // Pixels of a clear hue other than except: the text and the page are
    // black, grey and white, so these belong to a picture (or a highlight).
    int CountColourful(COLORREF except) const;
    // The smallest rectangle holding every pixel of the colour; false when
    // there is none.
    bool ColorBounds(COLORREF color, RECT& bounds) const;

private:
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

std::string Narrow(const std::wstring& text);
