#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Helpers for the tests that start the real program under Wine and drive its
// window with messages.

// A fresh folder under the temporary directory, removed with its files.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return path; }
    std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }

private:
    std::wstring path;
};

// Writes UTF-16 little-endian text with a byte-order mark.
void WriteUtf16File(const std::wstring& file, const std::u16string& text);
void WriteBytes(const std::wstring& file, const std::string& bytes);
// An 8 kHz, 8-bit mono RIFF WAVE file of silence.
void WriteSilentTrack(const std::wstring& file, uint32_t milliseconds);
bool ReadBytes(const std::wstring& file, std::string& bytes);

// A book of paragraphs joined by CR LF, ending with a line end.
std::u16string JoinParagraphs(const std::vector<std::u16string>& paragraphs);
// n paragraphs of filler words, each long enough to wrap over a few lines.
std::vector<std::u16string> FillerParagraphs(size_t n, unsigned seed);

// The settings file in the Windows directory.
std::wstring SettingsFilePath();
// The saved shift, or -1 when the file or the key is missing.
int ReadSavedShift();
void WriteSavedShift(int shift);
void DeleteSettings();

// The program, started in a working folder; closed (or ended) on destruction.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& workingFolder);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // False when the window did not appear, titled, within the time.
    bool WaitForWindow(DWORD milliseconds = 20000);
    HWND Window() const { return hwnd; }
    bool Alive() const;
    // Sends the message and waits for it to be handled.
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // A round trip through the window's queue: everything posted before it
    // has been handled when it returns.
    void Sync() const;
    std::wstring Title() const;
    // Closes the window and waits for the process; true when it ended by
    // itself with exit code 0.
    bool Close(DWORD milliseconds = 10000);

private:
    PROCESS_INFORMATION process;
    HWND hwnd;
};

// The Vellumark.exe of this build, as a Windows path.
std::wstring ProgramPath();
// A file of the build tree named by its Unix path, as a Windows path.
std::wstring WindowsPathOf(const char* unixPath);

// A visible dialog of any process with this caption and owner, waited for;
// null when none shows within the time.
HWND WaitForDialog(HWND owner, const wchar_t* caption, DWORD milliseconds = 5000);

// The window's client area as it was last painted.
class ClientCapture {
public:
    explicit ClientCapture(HWND hwnd);
    COLORREF At(int x, int y) const;
    // Pixels of the colour in the rectangle (clipped to the client area).
    int Count(const RECT& area, COLORREF color) const;
    int Width() const { return width; }
    int Height() const { return height; }
    const std::vector<uint32_t>& Pixels() const { return pixels; }

private:
    int width;
    int height;
    std::vector<uint32_t> pixels; // top-down rows of 0x00RRGGBB
};

// The screen pixel at a client point of the window.
COLORREF ClientPixel(HWND hwnd, int x, int y);
