// The real program reading aloud: a missing track and its purchase dialog,
// and a storm of input during narration. Click points come from the same
// book laid out in the test process; the program's window is the same size
// on the same screen.
#include "ReadingFixture.h"

#include <random>

namespace {

const wchar_t PurchaseCaption[] = L"Harrowdene CD";
const wchar_t TrackNotFound[] = L"An appropriate audio file was not found. ";
constexpr COLORREF Green = RGB(0, 159, 0);

// The test process's own window stays out of the way of the screen reads.
class HiddenWindow {
public:
    explicit HiddenWindow(HWND window) : hwnd(window) { ShowWindow(hwnd, SW_HIDE); }
    ~HiddenWindow() { ShowWindow(hwnd, SW_SHOWMAXIMIZED); }
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

private:
    HWND hwnd;
};

bool Answers(HWND hwnd)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result) != 0;
}

bool HasStaticText(HWND dialog, const wchar_t* text)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t buffer[256] = {};
        GetWindowTextW(child, buffer, 256);
        if (std::wstring(buffer) == text)
            return true;
    }
    return false;
}

bool CloseDialog(HWND dialog)
{
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 200 && IsWindow(dialog); i++)
        Sleep(10);
    return !IsWindow(dialog);
}

// Green screen pixels anywhere in the window: one fragment at most is
// spoken at a time.
int GreenPixels(HWND hwnd)
{
    const ClientCapture capture(hwnd);
    return capture.Count({0, 0, capture.Width(), capture.Height()}, Green);
}

} // namespace

// The first fragment's track is absent: the dialog opens over the window,
// nothing turns green, and after it closes the program is ready for the next
// start, which finds the track still missing.
TEST_F(ReadingTest, MissingTrackOpensThePurchaseDialog)
{
    HiddenWindow hidden(Window().Hwnd());
    TempFolder run;
    WriteBookFiles(run);
    WriteSavedShift(0);
    RunningProgram program(run.Path());
    ASSERT_TRUE(program.WaitForWindow());
    HWND hwnd = program.Window();
    const TextRegion& region = Window().FragmentRegions().At(0);
    const LPARAM fragment0 = ClientPoint(DocumentPointOf(region), 0);

    PostMessageW(hwnd, WM_RBUTTONDOWN, 0, fragment0);
    HWND dialog = WaitForDialog(hwnd, PurchaseCaption);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), hwnd);
    EXPECT_TRUE(HasStaticText(dialog, TrackNotFound));
    EXPECT_TRUE(Answers(hwnd));
    EXPECT_EQ(GreenPixels(hwnd), 0);

    ASSERT_TRUE(CloseDialog(dialog));
    EXPECT_TRUE(Answers(hwnd));
    EXPECT_TRUE(IsWindowEnabled(hwnd));
    EXPECT_EQ(GreenPixels(hwnd), 0);

    // The narration is over but still counts as playing: the next right
    // click only stops, and the one after starts again.
    program.Send(WM_RBUTTONDOWN, 0, fragment0);
    Sleep(300);
    EXPECT_EQ(FindWindowW(L"#32770", PurchaseCaption), nullptr);
    PostMessageW(hwnd, WM_RBUTTONDOWN, 0, fragment0);
    dialog = WaitForDialog(hwnd, PurchaseCaption);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(Answers(hwnd));
    ASSERT_TRUE(CloseDialog(dialog));
    EXPECT_TRUE(Answers(hwnd));
    EXPECT_TRUE(program.Close(5000));
}

// The first track is there, the second is not: the last fragment of the
// first track is spoken to its end, then the dialog opens.
TEST_F(ReadingTest, MissingNextTrackOpensTheDialogAfterTheFirstEnds)
{
    BookWindow& w = Window();
    int32_t last = 0;
    while (Fragment(last + 1).isSet == 1 && Fragment(last + 1).trackFile.count == Fragment(0).trackFile.count &&
           std::equal(Fragment(0).trackFile.items, Fragment(0).trackFile.items + Fragment(0).trackFile.count,
                      Fragment(last + 1).trackFile.items))
        last++;
    ASSERT_GT(last, 0);
    const TextRegion& region = w.FragmentRegions().At(static_cast<uint32_t>(last));
    const POINT point = DocumentPointOf(region);
    uint32_t hit = 0;
    w.TrackMouse(static_cast<uint16_t>(point.x), static_cast<uint16_t>(point.y - w.Shift()));
    ASSERT_TRUE(w.FragmentRegions().HitTest(w.MousePoint(), hit));
    ASSERT_EQ(hit, static_cast<uint32_t>(last));

    HiddenWindow hidden(w.Hwnd());
    TempFolder run;
    WriteBookFiles(run);
    WriteTrackOf(run, 0);
    // The fragment low in the window, clear of where the dialog opens.
    WriteSavedShift(point.y - 700 > 0 ? point.y - 700 : 0);
    RunningProgram program(run.Path());
    ASSERT_TRUE(program.WaitForWindow());
    HWND hwnd = program.Window();
    const int32_t shift = ReadSavedShift();

    PostMessageW(hwnd, WM_RBUTTONDOWN, 0, ClientPoint(point, shift));
    const DWORD start = GetTickCount();
    bool spoken = false;
    while (!spoken && GetTickCount() - start < 3000) {
        // Looked for before the pixels are read: while a slow capture is
        // taken the fragment may turn green, end and give way to the dialog.
        EXPECT_EQ(FindWindowW(L"#32770", PurchaseCaption), nullptr);
        spoken = GreenPixels(hwnd) > 5;
    }
    EXPECT_TRUE(spoken);

    HWND dialog = WaitForDialog(hwnd, PurchaseCaption, 10000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), hwnd);
    EXPECT_TRUE(HasStaticText(dialog, TrackNotFound));
    EXPECT_TRUE(Answers(hwnd));
    // Nothing is left green: neither the fragment that was spoken nor the
    // one whose track is missing.
    bool black = false;
    for (int i = 0; i < 50 && !black; i++, Sleep(20))
        black = GreenPixels(hwnd) == 0;
    EXPECT_TRUE(black);

    ASSERT_TRUE(CloseDialog(dialog));
    EXPECT_TRUE(Answers(hwnd));
    EXPECT_TRUE(program.Close(5000));
}

// Clicks, keys and wheel turns in quick succession while narration starts
// and stops; purchase dialogs that open on the way are closed as a user
// would. The program must stay responsive and exit cleanly.
TEST_F(ReadingTest, SurvivesAStormOfInputDuringNarration)
{
    HiddenWindow hidden(Window().Hwnd());
    TempFolder run;
    WriteBookFiles(run);
    WriteTrackOf(run, 0);
    const SyncTable& table = GetBookDocument().Fragments();
    for (uint32_t i = 0; i < table.count; i++) {
        if (table.At(i).trackFile.items[3] != table.At(0).trackFile.items[3]) {
            WriteTrackOf(run, static_cast<int32_t>(i));
            break;
        }
    }
    WriteSavedShift(0);
    RunningProgram program(run.Path());
    ASSERT_TRUE(program.WaitForWindow());
    HWND hwnd = program.Window();
    RECT client = {};
    GetClientRect(hwnd, &client);

    std::mt19937 random(20240607u);
    const WPARAM keys[] = {VK_NEXT, VK_PRIOR, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_SPACE, 'A', '!', '"', '&', '('};
    int dialogs = 0;
    for (int event = 0; event < 300; event++) {
        const LPARAM point = MAKELPARAM(random() % client.right, random() % client.bottom);
        switch (random() % 7) {
        case 0:
        case 1:
            PostMessageW(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, point);
            PostMessageW(hwnd, WM_RBUTTONUP, 0, point);
            break;
        case 2:
        case 3:
            PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, point);
            PostMessageW(hwnd, WM_LBUTTONUP, 0, point);
            break;
        case 4:
            PostMessageW(hwnd, random() % 2 ? WM_KEYDOWN : WM_CHAR, keys[random() % 12], 0);
            break;
        case 5:
            PostMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, random() % 2 ? WHEEL_DELTA : -WHEEL_DELTA), point);
            break;
        default:
            PostMessageW(hwnd, WM_MOUSEMOVE, 0, point);
            break;
        }
        if (HWND dialog = FindWindowW(L"#32770", PurchaseCaption)) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            dialogs++;
        }
        Sleep(random() % 12);
        ASSERT_TRUE(program.Alive()) << "event " << event;
    }
    // Starts still waiting for a closed dialog's thread open theirs now.
    for (int i = 0; i < 100; i++) {
        if (HWND dialog = FindWindowW(L"#32770", PurchaseCaption))
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        Sleep(10);
    }
    EXPECT_TRUE(Answers(hwnd));
    EXPECT_TRUE(program.Alive());
    const DWORD closing = GetTickCount();
    EXPECT_TRUE(program.Close(5000));
    EXPECT_LT(GetTickCount() - closing, 5000u);
    RecordProperty("purchaseDialogs", dialogs);
}
