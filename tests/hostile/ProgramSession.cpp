#include "ProgramSession.h"

#include <psapi.h>

#include <algorithm>
#include <cstddef>

namespace {

// The main window's class name, as the program registers it.
const wchar_t MainWindowClass[] = L"Vellumar";

struct WindowSearch {
    DWORD processId;
    bool mainOnly;
    HWND mainWindow;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    const bool isMain = std::wstring(className) == MainWindowClass;
    if (search->mainOnly == isMain && window != search->mainWindow)
        search->found.push_back(window);
    return TRUE;
}

std::wstring Caption(HWND window)
{
    wchar_t text[256] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                        ProgramSession::AnswerMilliseconds, &copied);
    return std::wstring(text, copied < 256 ? copied : 255);
}

// After a message timed out: how long the window really took tells a slow
// step from a hang.
std::string LateAnswer(HWND window, DWORD sentAt)
{
    DWORD_PTR ignored = 0;
    if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored) != 0)
        return "answered after " + std::to_string(GetTickCount() - sentAt) + " ms";
    return IsWindow(window) ? "not answered within 60 s" : "window gone";
}

// Wine answers GetProcessHandleCount with zero; the system-wide handle table
// has one entry per open handle, tagged with its process.
bool CountProcessHandles(DWORD processId, DWORD& count)
{
    struct HandleEntry {
        ULONG processId;
        UCHAR objectType;
        UCHAR flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    struct HandleTable {
        ULONG count;
        HandleEntry entries[1];
    };
    using QuerySystem = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QuerySystem>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr)
        return false;
    constexpr ULONG SystemHandleInformation = 16;
    constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<char> buffer(1 << 20);
    LONG status;
    ULONG needed = 0;
    while ((status = query(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
               InfoLengthMismatch &&
           buffer.size() < (64u << 20))
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return false;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const size_t room = (buffer.size() - offsetof(HandleTable, entries)) / sizeof(HandleEntry);
    count = 0;
    for (size_t i = 0; i < table->count && i < room; i++)
        if (table->entries[i].processId == processId)
            count++;
    return true;
}

} // namespace

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    return out;
}

ProgramSession::~ProgramSession()
{
    if (Alive())
        TerminateProcess(Process(), 1);
}

bool ProgramSession::Start(const std::wstring& program, const std::wstring& folder)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &processInfo)) {
        Fail("the program did not start, error " + std::to_string(GetLastError()));
        return false;
    }
    process = std::make_unique<KernelHandle>(processInfo.hProcess);
    thread = std::make_unique<KernelHandle>(processInfo.hThread);
    return true;
}

bool ProgramSession::WaitForWindow(DWORD milliseconds, DWORD untitledGrace)
{
    const DWORD start = GetTickCount();
    DWORD untitledSince = 0;
    bool untitledSeen = false;
    while (GetTickCount() - start < milliseconds) {
        WindowSearch search = {processInfo.dwProcessId, true, nullptr, {}};
        EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.found.empty()) {
            HWND window = search.found.front();
            if (!untitledSeen) {
                untitledSeen = true;
                untitledSince = GetTickCount();
            }
            if (GetWindowTextLengthW(window) > 0 || GetTickCount() - untitledSince >= untitledGrace) {
                mainWindow = window;
                Send("first round trip", WM_NULL);
                return true;
            }
        }
        if (WaitForSingleObject(Process(), 50) != WAIT_TIMEOUT) {
            Fail("the program ended before its window appeared, exit code " + std::to_string(ExitCode()));
            return false;
        }
    }
    Fail("no main window within " + std::to_string(milliseconds) + " ms");
    return false;
}

bool ProgramSession::Send(const char* what, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    DWORD_PTR answer = 0;
    const DWORD start = GetTickCount();
    // Once the program has ended or hung, every later message would only
    // tell that again (a hang a minute each time).
    if (gaveUp)
        return false;
    if (SendMessageTimeoutW(mainWindow, message, wParam, lParam, SMTO_NORMAL, AnswerMilliseconds, &answer) == 0) {
        const DWORD error = GetLastError();
        if (!Alive()) {
            Fail(std::string("the program ended during ") + what + ", exit code " + std::to_string(ExitCode()));
            gaveUp = true;
        } else {
            const std::string late = LateAnswer(mainWindow, start);
            Fail(std::string(what) + " not answered within " + std::to_string(AnswerMilliseconds / 1000) +
                 " s (error " + std::to_string(error) + "); " + late);
            gaveUp = late.rfind("answered after", 0) != 0;
        }
        return false;
    }
    if (result != nullptr)
        *result = static_cast<LRESULT>(answer);
    return true;
}

void ProgramSession::Click(const char* what, UINT down, UINT up, POINT at)
{
    const LPARAM where = MAKELPARAM(at.x, at.y);
    const WPARAM button = down == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON;
    Send(what, WM_MOUSEMOVE, 0, where);
    Send(what, down, button, where);
    Send(what, up, 0, where);
}

std::vector<HWND> ProgramSession::OtherWindows() const
{
    WindowSearch search = {processInfo.dwProcessId, false, mainWindow, {}};
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ProgramSession::WaitForDialog(const wchar_t* caption, DWORD milliseconds) const
{
    const DWORD start = GetTickCount();
    do {
        for (HWND window : OtherWindows())
            if (Caption(window) == caption)
                return window;
        if (WaitForSingleObject(Process(), 25) != WAIT_TIMEOUT)
            return nullptr;
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

std::vector<std::wstring> ProgramSession::CloseOtherWindows()
{
    std::vector<std::wstring> captions;
    for (HWND window : OtherWindows()) {
        const std::wstring caption = Caption(window);
        captions.push_back(caption);
        DWORD_PTR ignored = 0;
        const DWORD sent = GetTickCount();
        if (SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0, SMTO_NORMAL,
                                AnswerMilliseconds, &ignored) == 0) {
            const DWORD error = GetLastError();
            Fail("the window \"" + Narrow(caption) + "\" did not answer its Cancel command within 2 s (error " +
                 std::to_string(error) + "); " + LateAnswer(window, sent));
        }
        const DWORD start = GetTickCount();
        while (IsWindow(window) && IsWindowVisible(window) && GetTickCount() - start < AnswerMilliseconds)
            Sleep(20);
        if (IsWindow(window) && IsWindowVisible(window))
            Fail("the window \"" + Narrow(caption) + "\" stayed open after its Cancel command");
    }
    return captions;
}

bool ProgramSession::Alive() const
{
    return Process() != nullptr && WaitForSingleObject(Process(), 0) == WAIT_TIMEOUT;
}

DWORD ProgramSession::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (Process() != nullptr)
        GetExitCodeProcess(Process(), &code);
    return code;
}

bool ProgramSession::CloseAndWait()
{
    if (!Alive()) {
        Fail("the program had ended before the close, exit code " + std::to_string(ExitCode()));
        return false;
    }
    // Posted, as the keyboard would: the window's default handling turns it
    // into the close command, and the close ends the window, so there is
    // nothing to answer. Bit 29 says Alt is down; 0x3E is F4's scan code.
    const LPARAM altF4 = 1 | (0x3E << 16) | (1 << 29);
    PostMessageW(mainWindow, WM_SYSKEYDOWN, VK_F4, altF4);
    PostMessageW(mainWindow, WM_SYSKEYUP, VK_F4, altF4 | (1u << 30) | (1u << 31));
    const DWORD start = GetTickCount();
    const bool ended = WaitForSingleObject(Process(), ExitMilliseconds) == WAIT_OBJECT_0;
    closeMilliseconds = GetTickCount() - start;
    if (!ended) {
        std::string open;
        for (HWND window : OtherWindows())
            open += " \"" + Narrow(Caption(window)) + "\"";
        Fail("the program did not end within " + std::to_string(ExitMilliseconds / 1000) + " s of the close" +
             (open.empty() ? "" : "; open windows:" + open));
        TerminateProcess(Process(), 1);
        WaitForSingleObject(Process(), 2000);
        return false;
    }
    const DWORD code = ExitCode();
    if (code != 0) {
        Fail("the program ended after " + std::to_string(GetTickCount() - start) + " ms with exit code " +
             std::to_string(code));
        return false;
    }
    return true;
}

bool ProgramSession::Figures(uint64_t& privateBytes, uint64_t& workingSet, DWORD& handles) const
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters)))
        return false;
    // Wine leaves PrivateUsage at zero but fills the commit charge, which
    // Windows reports as the same figure.
    privateBytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    workingSet = counters.WorkingSetSize;
    handles = 0;
    if (GetProcessHandleCount(Process(), &handles) && handles != 0)
        return true;
    return CountProcessHandles(processInfo.dwProcessId, handles);
}

bool ProgramSession::Peaks(uint64_t& workingSet, uint64_t& commit)
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    // Wine answers for an ended process with zeros.
    if (!Alive() || !GetProcessMemoryInfo(Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters)))
        return false;
    commitSeen = std::max<uint64_t>({commitSeen, counters.PeakPagefileUsage, counters.PagefileUsage,
                                     counters.PrivateUsage});
    workingSet = counters.PeakWorkingSetSize;
    commit = commitSeen;
    return true;
}

ClientPicture::ClientPicture(HWND window, int maxHeight)
{
    RECT client = {};
    GetClientRect(window, &client);
    width = client.right;
    height = maxHeight > 0 && maxHeight < client.bottom ? maxHeight : client.bottom;
    if (width <= 0 || height <= 0) {
        width = height = 0;
        return;
    }
    WindowDC source(window);
    MemoryDC memory(CreateCompatibleDC(source.Get()));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(memory.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (source.Get() == nullptr || memory.Get() == nullptr || bitmap.Get() == nullptr) {
        width = height = 0;
        return;
    }
    HGDIOBJ previous = SelectObject(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, width, height, source.Get(), 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* first = static_cast<const uint32_t*>(bits);
    pixels.assign(first, first + static_cast<size_t>(width) * static_cast<size_t>(height));
    SelectObject(memory.Get(), previous);
}

COLORREF ClientPicture::At(int x, int y) const
{
    // A DIB pixel is 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
    const uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

bool ClientPicture::FirstDark(POINT& at, int fromY) const
{
    for (int y = fromY; y < height; y++)
        for (int x = 0; x < width; x++) {
            const COLORREF c = At(x, y);
            if (GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80) {
                at.x = x;
                at.y = y;
                return true;
            }
        }
    return false;
}

int ClientPicture::CountColourful(COLORREF except) const
{
    int n = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const COLORREF c = At(x, y);
            const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            n += c != except && std::max({r, g, b}) - std::min({r, g, b}) > 48 ? 1 : 0;
        }
    return n;
}

int ClientPicture::CountColor(COLORREF color) const
{
    int n = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            n += At(x, y) == color ? 1 : 0;
    return n;
}

bool ClientPicture::ColorBounds(COLORREF color, RECT& bounds) const
{
    bool found = false;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            if (At(x, y) != color)
                continue;
            if (!found) {
                bounds = RECT{x, y, x + 1, y + 1};
                found = true;
                continue;
            }
            bounds.left = std::min<LONG>(bounds.left, x);
            bounds.right = std::max<LONG>(bounds.right, x + 1);
            bounds.bottom = y + 1;
        }
    return found;
}
