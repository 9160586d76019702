// Proves that the Wine environment the Windows tests run in has what they
// rely on: a wave-out device that plays to completion, and a display on which
// a window's drawing can be read back.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Harness, WaveOutPlaysABufferToCompletion)
{
    ASSERT_GE(waveOutGetNumDevs(), 1u) << "no wave-out device";

    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 22050;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = 44100;

    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT device = nullptr;
    ASSERT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done), 0, CALLBACK_EVENT),
              MMSYSERR_NOERROR);
    WaitForSingleObject(done, 1000); // the open notification

    std::vector<short> samples(2205); // 0.1 s of a square wave
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (i / 25) % 2 ? 8000 : -8000;
    WAVEHDR header = {};
    header.lpData = reinterpret_cast<LPSTR>(samples.data());
    header.dwBufferLength = static_cast<DWORD>(samples.size() * sizeof(short));
    ASSERT_EQ(waveOutPrepareHeader(device, &header, sizeof(header)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(device, &header, sizeof(header)), MMSYSERR_NOERROR);

    DWORD waited = 0;
    while (!(header.dwFlags & WHDR_DONE) && waited < 10000) {
        WaitForSingleObject(done, 100);
        waited += 100;
    }
    EXPECT_TRUE(header.dwFlags & WHDR_DONE) << "buffer never came back";
    EXPECT_EQ(waveOutUnprepareHeader(device, &header, sizeof(header)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
    CloseHandle(done);
}

LRESULT CALLBACK PaintProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH green = CreateSolidBrush(RGB(0, 159, 0));
        RECT box = {10, 10, 50, 50};
        FillRect(dc, &box, green);
        DeleteObject(green);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(Harness, WindowDrawingCanBeReadBack)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PaintProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"HarnessProbe";
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND hwnd = CreateWindowW(L"HarnessProbe", L"probe", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                              wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    UpdateWindow(hwnd);
    MSG msg;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(10);
    }
    HDC dc = GetDC(hwnd);
    EXPECT_EQ(GetPixel(dc, 30, 30), RGB(0, 159, 0));
    EXPECT_EQ(GetPixel(dc, 100, 100), RGB(255, 255, 255));
    ReleaseDC(hwnd, dc);
    DestroyWindow(hwnd);
    UnregisterClassW(L"HarnessProbe", wc.hInstance);
}

} // namespace
