// Starts the real program on a small book and drives its window with the
// messages a user's keys, wheel, scroll bar and menus produce.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppDriver.h"

namespace {

const wchar_t MissingBookText[] =
    L"Error - the file book.txt is not found. Please check that all necessary files are in the same directory with "
    L"the file Vellumark.exe.  ";

class WindowTest : public ::testing::Test {
protected:
    void WriteBook(size_t paragraphs)
    {
        std::vector<std::u16string> text = FillerParagraphs(paragraphs, 7);
        text.insert(text.begin(), u"Harrowdene");
        WriteUtf16File(folder.File(L"book.txt"), JoinParagraphs(text));
    }

    TempFolder folder;
};

TEST_F(WindowTest, OpensMaximisedTitledWithItsMenus)
{
    WriteBook(60);
    DeleteSettings();
    RunningProgram program(folder.Path());
    ASSERT_TRUE(program.WaitForWindow());
    HWND hwnd = program.Window();

    EXPECT_TRUE(IsZoomed(hwnd));
    // Paragraph 0 without its end unit.
    EXPECT_EQ(program.Title(), L"Harrowdene");
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_STYLE) & WS_VSCROLL);

    // Start-up scrolls to the saved position, which writes it back.
    EXPECT_EQ(ReadSavedShift(), 0);

    // The text is drawn in black on the window's background.
    int dark = 0;
    for (int x = 0; x < 1200; x += 2)
        for (int y = 40; y < 70; y += 1)
            dark += GetRValue(ClientPixel(hwnd, x, y)) < 100 ? 1 : 0;
    EXPECT_GT(dark, 20);
    EXPECT_EQ(ClientPixel(hwnd, 5, 300), RGB(255, 255, 255));

    EXPECT_TRUE(program.Close());
}

// Every scroll step moves the shift by the step's pixels and writes it to the
// settings file; keys the program does not use write nothing.
TEST_F(WindowTest, KeysWheelAndScrollBarScrollAndSaveEachStep)
{
    WriteBook(200);
    WriteSavedShift(1000);
    RunningProgram program(folder.Path());
    ASSERT_TRUE(program.WaitForWindow());
    ASSERT_EQ(ReadSavedShift(), 1000) << "the saved position is read at start";

    const struct {
        UINT message;
        WPARAM wParam;
        int delta; // 0: nothing happens and nothing is written
    } steps[] = {
        {WM_KEYDOWN, VK_NEXT, 300},
        {WM_KEYDOWN, VK_PRIOR, -300},
        {WM_KEYDOWN, VK_DOWN, 20},
        {WM_KEYDOWN, VK_UP, -20},
        {WM_CHAR, '"', 300},
        {WM_CHAR, '!', -300},
        {WM_CHAR, '(', 20},
        {WM_CHAR, '&', -20},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 120), -20},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 20},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 0), 20},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 360), -20},
        {WM_VSCROLL, SB_LINEDOWN, 20},
        {WM_VSCROLL, SB_LINEUP, -20},
        {WM_VSCROLL, SB_PAGEDOWN, 300},
        {WM_VSCROLL, SB_PAGEUP, -300},
        {WM_VSCROLL, SB_TOP, 0},
        {WM_VSCROLL, SB_BOTTOM, 0},
        {WM_VSCROLL, SB_ENDSCROLL, 0},
        {WM_KEYDOWN, VK_HOME, 0},
        {WM_KEYDOWN, VK_END, 0},
        {WM_KEYDOWN, VK_LEFT, 0},
        {WM_KEYDOWN, VK_RIGHT, 0},
        {WM_CHAR, 'a', 0},
        {WM_COMMAND, 2001, 0},
        {WM_COMMAND, 4200, 0},
        {WM_COMMAND, 7009, 0},
    };
    int shift = 1000;
    for (const auto& step : steps) {
        DeleteSettings();
        program.Send(step.message, step.wParam, 0);
        if (step.delta == 0) {
            EXPECT_EQ(ReadSavedShift(), -1) << "message " << step.message << " " << step.wParam;
        } else {
            shift += step.delta;
            EXPECT_EQ(ReadSavedShift(), shift) << "message " << step.message << " " << step.wParam;
        }
    }
    ASSERT_TRUE(program.Alive());
    EXPECT_TRUE(program.Close());
}

TEST_F(WindowTest, ShiftIsClampedAtBothEndsAndTheThumbScrollsByUnits)
{
    WriteBook(200);
    WriteSavedShift(50000000);
    RunningProgram program(folder.Path());
    ASSERT_TRUE(program.WaitForWindow());
    HWND hwnd = program.Window();

    // A saved shift past the end is clamped to the top of the last line and
    // written back.
    const int maxShift = ReadSavedShift();
    ASSERT_GT(maxShift, 2000);
    ASSERT_LT(maxShift, 50000000);

    program.Send(WM_KEYDOWN, VK_NEXT);
    EXPECT_EQ(ReadSavedShift(), maxShift);
    program.Send(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(ReadSavedShift(), maxShift - 20);

    // Back to the top: Page Up past 0 stops at 0 and still writes.
    for (int i = 0; i < maxShift / 300 + 2; i++)
        program.Send(WM_KEYDOWN, VK_PRIOR);
    EXPECT_EQ(ReadSavedShift(), 0);
    DeleteSettings();
    program.Send(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(ReadSavedShift(), 0);

    // Dragging the thumb moves by whole scroll units of
    // document height / (client height + 1) + 1 pixels; the document height
    // is the largest shift.
    RECT client = {};
    GetClientRect(hwnd, &client);
    const int unit = maxShift / (client.bottom + 1) + 1;
    const struct {
        int position;
        int shift;
    } drags[] = {{10, 10 * unit}, {12, 12 * unit}, {4, 4 * unit}, {4, 4 * unit}, {0, 0}};
    for (const auto& drag : drags) {
        program.Send(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, drag.position));
        EXPECT_EQ(ReadSavedShift(), drag.shift) << drag.position;
    }
    EXPECT_TRUE(program.Close());
}

TEST_F(WindowTest, MissingBookShowsTheMessageAsTitle)
{
    DeleteSettings();
    RunningProgram program(folder.Path());
    ASSERT_TRUE(program.WaitForWindow());
    EXPECT_EQ(program.Title(), MissingBookText);
    EXPECT_TRUE(program.Alive());
    EXPECT_TRUE(program.Close());
}

// A first paragraph of any length gives a title of a line's worth: its first
// 256 units, here 255, for the 256th begins a surrogate pair.
TEST_F(WindowTest, LongFirstParagraphGivesABoundedTitle)
{
    const std::u16string first = std::u16string(255, u'a') + u"\xD83D\xDE00" + std::u16string(3000, u'b');
    WriteUtf16File(folder.File(L"book.txt"), JoinParagraphs({first, u"Harrowdene"}));
    RunningProgram program(folder.Path());
    ASSERT_TRUE(program.WaitForWindow());
    EXPECT_EQ(program.Title(), std::wstring(255, L'a'));
    EXPECT_TRUE(program.Close());
}

TEST_F(WindowTest, ExitCommandEndsTheProgram)
{
    WriteBook(5);
    RunningProgram program(folder.Path());
    ASSERT_TRUE(program.WaitForWindow());
    PostMessageW(program.Window(), WM_COMMAND, 2000, 0);
    for (int i = 0; i < 100 && program.Alive(); i++)
        Sleep(50);
    EXPECT_FALSE(program.Alive());
}

std::wstring ControlText(HWND dialog, int id)
{
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

TEST_F(WindowTest, AboutAndHelpDialogsOpenAndClose)
{
    WriteBook(5);
    RunningProgram program(folder.Path());
    ASSERT_TRUE(program.WaitForWindow());
    HWND hwnd = program.Window();

    PostMessageW(hwnd, WM_COMMAND, 4000, 0);
    HWND about = WaitForDialog(hwnd, L"About");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ControlText(about, IDOK), L"OK");
    EXPECT_EQ(ControlText(about, 3), L"More...");
    // The main window keeps painting and ticking while the dialog is open.
    EXPECT_FALSE(IsWindowEnabled(hwnd));
    PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 100 && IsWindow(about); i++)
        Sleep(25);
    EXPECT_FALSE(IsWindow(about));

    PostMessageW(hwnd, WM_COMMAND, 3000, 0);
    HWND help = WaitForDialog(hwnd, L"Help");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(ControlText(help, 1007), L"OK");
    // The instructions picture is a bitmap resource shown by a static control.
    bool picture = false;
    for (HWND child = GetWindow(help, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            picture = SendMessageW(child, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0;
    }
    EXPECT_TRUE(picture);
    PostMessageW(help, WM_COMMAND, 1007, 0);
    for (int i = 0; i < 100 && IsWindow(help); i++)
        Sleep(25);
    EXPECT_FALSE(IsWindow(help));
    EXPECT_TRUE(IsWindowEnabled(hwnd));
    EXPECT_TRUE(program.Close());
}

// The http handler of the test prefix is a recorder kept in a folder with
// blanks in its name; the program must start it, not a program named by the
// first part of its path.
class BrowserTest : public WindowTest {
protected:
    void SetUp() override
    {
        browserFolder = folder.File(L"Web Browser");
        CreateDirectoryW(browserFolder.c_str(), nullptr);
        browser = browserFolder + L"\\record er.exe";
        ASSERT_TRUE(CopyFileW(WindowsPathOf(BROWSER_RECORDER_EXE).c_str(), browser.c_str(), FALSE));
        WriteBook(5);
    }

    // The prefix's own handler is put back afterwards.
    void TearDown() override
    {
        if (saved)
            SetHandler(previous);
    }

    static std::wstring Handler(bool& found)
    {
        wchar_t value[1024] = {};
        DWORD size = sizeof(value);
        found = RegGetValueW(HKEY_CLASSES_ROOT, HandlerKey, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) ==
                ERROR_SUCCESS;
        return value;
    }

    static void SetHandler(const std::wstring& command)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, HandlerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return;
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    void Register(const std::wstring& command)
    {
        if (!saved)
            previous = Handler(saved);
        SetHandler(command);
        bool found = false;
        ASSERT_EQ(Handler(found), command);
    }

    static constexpr const wchar_t* HandlerKey = L"http\\shell\\open\\command";
    bool saved = false;
    std::wstring previous;

    std::vector<std::wstring> Launched(size_t expected)
    {
        std::vector<std::wstring> lines;
        for (int i = 0; i < 200; i++) {
            std::string bytes;
            ReadBytes(browserFolder + L"\\launched.txt", bytes);
            std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
            lines.clear();
            size_t start = 0;
            for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
                lines.push_back(text.substr(start, end - start));
            if (lines.size() >= expected)
                break;
            Sleep(25);
        }
        return lines;
    }

    std::wstring browserFolder;
    std::wstring browser;
};

TEST_F(BrowserTest, QuotedRegistrationStartsTheBrowserWithEachPage)
{
    Register(L"\"" + browser + L"\" -osint -url \"%1\"");
    RunningProgram program(folder.Path());
    ASSERT_TRUE(program.WaitForWindow());
    // Each browser is a process of its own, so wait for one to record its page before asking for the
    // next; otherwise the order of the lines is the order the processes happened to run in.
    program.Send(WM_COMMAND, 4100);
    ASSERT_EQ(Launched(1).size(), 1u);
    program.Send(WM_COMMAND, 4001);
    ASSERT_EQ(Launched(2).size(), 2u);
    program.Send(WM_COMMAND, 4150);
    const std::vector<std::wstring> lines = Launched(3);
    ASSERT_EQ(lines.size(), 3u);
    const std::wstring quoted = L"\"" + browser + L"\"";
    EXPECT_EQ(lines[0], quoted + L" https://www.example.com/wordhoard/");
    EXPECT_EQ(lines[1], quoted + L" https://www.example.com/store/us/harrowdene-audio-book");
    EXPECT_EQ(lines[2], quoted + L" https://www.example.com/wordhoard/glossary");
    EXPECT_TRUE(program.Close());
}

TEST_F(BrowserTest, UnquotedRegistrationKeepsTheWholeProgramPath)
{
    Register(browser + L" %1");
    RunningProgram program(folder.Path());
    ASSERT_TRUE(program.WaitForWindow());
    program.Send(WM_COMMAND, 4100);
    const std::vector<std::wstring> lines = Launched(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"\"" + browser + L"\" https://www.example.com/wordhoard/");
    EXPECT_TRUE(program.Close());
}

} // namespace
