#include "AppDriver.h"

#include <cstdio>
#include <random>

namespace {

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<std::pair<DWORD, HWND>*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (owner == search->first && std::wstring(className) == L"Vellumar") {
        search->second = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

TempFolder::TempFolder()
{
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        path = std::wstring(base) + L"vmtest_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(counter++);
        if (CreateDirectoryW(path.c_str(), nullptr))
            break;
    }
}

TempFolder::~TempFolder()
{
    RemoveTree(path);
}

void WriteBytes(const std::wstring& file, const std::string& bytes)
{
    FILE* f = _wfopen(file.c_str(), L"wb");
    if (f == nullptr)
        return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

void WriteSilentTrack(const std::wstring& file, uint32_t milliseconds)
{
    const uint32_t bytes = milliseconds * 8;
    std::string data;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; i++)
            data.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&](uint16_t v) {
        data.push_back(static_cast<char>(v & 0xFF));
        data.push_back(static_cast<char>(v >> 8));
    };
    data += "RIFF";
    put32(36 + bytes);
    data += "WAVEfmt ";
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(8000);
    put16(1);
    put16(8);
    data += "data";
    put32(bytes);
    data.append(bytes, static_cast<char>(0x80));
    WriteBytes(file, data);
}

bool ReadBytes(const std::wstring& file, std::string& bytes)
{
    bytes.clear();
    FILE* f = _wfopen(file.c_str(), L"rb");
    if (f == nullptr)
        return false;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0)
        bytes.append(buffer, n);
    fclose(f);
    return true;
}

void WriteUtf16File(const std::wstring& file, const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    WriteBytes(file, bytes);
}

std::u16string JoinParagraphs(const std::vector<std::u16string>& paragraphs)
{
    std::u16string text;
    for (const auto& p : paragraphs)
        text += p + u"\r\n";
    return text;
}

std::vector<std::u16string> FillerParagraphs(size_t n, unsigned seed)
{
    static const char16_t* const words[] = {u"marsh", u"lantern", u"the", u"of", u"quietly", u"Harrowdene",
                                            u"a", u"river", u"grey", u"stone", u"window", u"and", u"reading"};
    std::mt19937 random(seed);
    std::vector<std::u16string> result;
    for (size_t i = 0; i < n; i++) {
        std::u16string p;
        const int count = 20 + static_cast<int>(random() % 60);
        for (int w = 0; w < count; w++) {
            if (w > 0)
                p += u" ";
            p += words[random() % (sizeof(words) / sizeof(words[0]))];
        }
        result.push_back(p);
    }
    return result;
}

std::wstring SettingsFilePath()
{
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\velmark.ini";
}

int ReadSavedShift()
{
    // Read as a file rather than through the profile functions, which may
    // keep an earlier copy of it.
    std::string bytes;
    if (!ReadBytes(SettingsFilePath(), bytes))
        return -1;
    const std::string key = "TheHarrowdeneVertshift=";
    const size_t at = bytes.find(key);
    if (at == std::string::npos || bytes.find("[Start]") == std::string::npos)
        return -1;
    return std::atoi(bytes.c_str() + at + key.size());
}

void WriteSavedShift(int shift)
{
    WriteBytes(SettingsFilePath(), "[Start]\r\nTheHarrowdeneVertshift=" + std::to_string(shift) + "\r\n");
}

void DeleteSettings()
{
    DeleteFileW(SettingsFilePath().c_str());
}

std::wstring WindowsPathOf(const char* unixPath)
{
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c != 0; c++)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

std::wstring ProgramPath()
{
    return WindowsPathOf(VELLUMARK_EXE);
}

RunningProgram::RunningProgram(const std::wstring& workingFolder) : process(), hwnd(nullptr)
{
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, workingFolder.c_str(), &startup,
                   &process);
}

RunningProgram::~RunningProgram()
{
    if (process.hProcess != nullptr) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            Close(5000);
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
}

bool RunningProgram::WaitForWindow(DWORD milliseconds)
{
    if (process.hProcess == nullptr)
        return false;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        std::pair<DWORD, HWND> search(process.dwProcessId, nullptr);
        EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
        // The title is set by start-up, after the layout; the timer runs from
        // then on, so one round trip later the book is ready.
        if (search.second != nullptr && GetWindowTextLengthW(search.second) > 0) {
            hwnd = search.second;
            Sync();
            return true;
        }
        if (WaitForSingleObject(process.hProcess, 50) != WAIT_TIMEOUT)
            return false;
    }
    return false;
}

bool RunningProgram::Alive() const
{
    return process.hProcess != nullptr && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

LRESULT RunningProgram::Send(UINT message, WPARAM wParam, LPARAM lParam) const
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, 10000, &result);
    return static_cast<LRESULT>(result);
}

void RunningProgram::Sync() const
{
    // WM_NULL goes through the window procedure's default handling.
    Send(WM_NULL);
}

std::wstring RunningProgram::Title() const
{
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &copied);
    return std::wstring(text, copied);
}

bool RunningProgram::Close(DWORD milliseconds)
{
    if (process.hProcess == nullptr)
        return false;
    if (hwnd != nullptr)
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, milliseconds) != WAIT_OBJECT_0)
        return false;
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    return code == 0;
}

COLORREF ClientPixel(HWND hwnd, int x, int y)
{
    POINT p = {x, y};
    ClientToScreen(hwnd, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF color = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return color;
}

HWND WaitForDialog(HWND owner, const wchar_t* caption, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND dialog = FindWindowW(L"#32770", caption);
        if (dialog != nullptr && GetWindow(dialog, GW_OWNER) == owner && IsWindowVisible(dialog))
            return dialog;
        if (GetTickCount() - start >= milliseconds)
            return nullptr;
        Sleep(25);
    }
}

ClientCapture::ClientCapture(HWND hwnd) : width(0), height(0)
{
    RECT client = {};
    GetClientRect(hwnd, &client);
    width = client.right;
    height = client.bottom;
    if (width <= 0 || height <= 0)
        return;
    pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    // Wine paints a window into a surface of its own and hands it to the X
    // server some time later, even after GdiFlush: the screen can lag behind
    // the window by a few hundred milliseconds on a busy machine. A window of
    // this process is read through a device context of its own, which reads
    // that surface; another program's window can only be read off the screen.
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    const bool own = process == GetCurrentProcessId();
    POINT origin = {0, 0};
    if (!own)
        ClientToScreen(hwnd, &origin);
    HDC screen = own ? GetDCEx(hwnd, nullptr, DCX_CACHE) : GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(own ? hwnd : nullptr, screen);
}

COLORREF ClientCapture::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return CLR_INVALID;
    const uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int ClientCapture::Count(const RECT& area, COLORREF color) const
{
    int n = 0;
    for (int y = area.top < 0 ? 0 : area.top; y < area.bottom && y < height; y++)
        for (int x = area.left < 0 ? 0 : area.left; x < area.right && x < width; x++)
            n += At(x, y) == color ? 1 : 0;
    return n;
}
