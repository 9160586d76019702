#include "app/Application.h"

#include <new>

#include "app/BookWindow.h"
#include "app/Dialogs.h"
#include "app/Edition.h"

WindowBase* aboutDialogWindow = nullptr;

namespace {

Application* theApplication = nullptr;

int32_t LowWordX(LPARAM lParam)
{
    return static_cast<int32_t>(LOWORD(lParam));
}

int32_t HighWordY(LPARAM lParam)
{
    return static_cast<int32_t>(HIWORD(lParam));
}

} // namespace

Application* GetApplication()
{
    if (theApplication != nullptr)
        return theApplication;
    theApplication = new (std::nothrow) Application();
    return theApplication;
}

Application::Application() : window(nullptr)
{
    CreateBookWindow(window);
    aboutDialogWindow = window;
}

int32_t Application::Start(HINSTANCE instance, int)
{
    window->BeginPictureLoading(instance);
    window->CreateMainWindow(instance);
    window->Start();
    window->Invalidate();
    return 1;
}

int32_t Application::OnCreate(HWND hwnd, LPARAM)
{
    window->SetHwnd(hwnd);
    window->OnCreate();
    return 0;
}

int32_t Application::OnPaint(HWND, HDC, const PAINTSTRUCT& paint)
{
    Rect update;
    Rect::FromRECT(paint.rcPaint, update);
    window->OnPaint(update);
    return 0;
}

int32_t Application::OnTimer(HWND, WPARAM timerId, LPARAM)
{
    window->OnTimer(timerId);
    return 0;
}

int32_t Application::OnMouseMove(HWND, WPARAM, int32_t, int32_t)
{
    return 0;
}

int32_t Application::OnSize(HWND)
{
    window->UpdateScrollRange();
    return 0;
}

int32_t Application::OnLeftButtonDown(HWND, WPARAM, int32_t, int32_t)
{
    window->OnLeftButtonDown();
    return 0;
}

int32_t Application::OnRightButtonDown(HWND, WPARAM, int32_t, int32_t)
{
    window->OnRightButtonDown();
    return 0;
}

int32_t Application::OnMeasureItem(HWND, WPARAM, LPARAM)
{
    return 0;
}

int32_t Application::OnCommand(HWND hwnd, uint16_t notificationCode, WPARAM wParam, LPARAM lParam)
{
    if (notificationCode == 0)
        return OnMenuCommand(hwnd, wParam, lParam);
    return OnControlCommand(hwnd, notificationCode, wParam, lParam);
}

int32_t Application::OnMenuCommand(HWND hwnd, WPARAM wParam, LPARAM)
{
    const uint16_t id = LOWORD(wParam);
    if (id == CommandExit)
        DestroyWindow(hwnd);
    else if (id == CommandHowToUse)
        window->ShowHelpDialog();
    else if (id == CommandAbout)
        window->ShowAboutDialog();
    else if (id == CommandAboutAudioBook)
        window->OpenStorePage();
    else if (id == CommandDictionary)
        LaunchBrowser(FindBrowserPath(), DictionaryPage);
    else if (id >= CommandDictionaryExtra && id <= CommandDictionaryLast)
        window->OpenDictionaryPage(wParam);
    else if (id >= CommandChapterFirst && id <= CommandChapterLast)
        window->GoToChapter(wParam);
    else if (id >= CommandTranslationFirst && id <= CommandTranslationLast)
        window->OnTranslationCommand(wParam);
    return 0;
}

int32_t Application::OnReserved(HWND, WPARAM, LPARAM)
{
    return 0;
}

int32_t Application::OnControlCommand(HWND, uint16_t, WPARAM, LPARAM)
{
    return 0;
}

int32_t Application::OnKeyDown(HWND, WPARAM keyCode)
{
    // WM_CHAR comes here too, so "!", the double quotation mark, "&" and "("
    // scroll like the keys that share their codes.
    switch (keyCode) {
    case VK_PRIOR:
        window->PageUp();
        break;
    case VK_NEXT:
        window->PageDown();
        break;
    case VK_UP:
        window->LineUp();
        break;
    case VK_DOWN:
        window->LineDown();
        break;
    default:
        break;
    }
    return 0;
}

int32_t Application::OnVScroll(HWND, uint16_t scrollCode, uint16_t position)
{
    switch (scrollCode) {
    case SB_LINEUP:
        window->LineUp();
        break;
    case SB_LINEDOWN:
        window->LineDown();
        break;
    case SB_PAGEUP:
        window->PageUp();
        break;
    case SB_PAGEDOWN:
        window->PageDown();
        break;
    case SB_THUMBPOSITION:
        window->OnThumbPosition(position);
        break;
    case SB_THUMBTRACK:
        window->OnThumbTrack(position);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT Application::DispatchCreate(HWND hwnd, WPARAM, LPARAM lParam, bool& handled)
{
    OnCreate(hwnd, lParam);
    handled = false;
    return 0;
}

LRESULT Application::DispatchPaint(HWND hwnd, WPARAM wParam, LPARAM, bool& handled)
{
    PAINTSTRUCT paint = {};
    HDC dc = reinterpret_cast<HDC>(wParam);
    bool began = false;
    if (dc == nullptr) {
        dc = BeginPaint(hwnd, &paint);
        began = dc != nullptr;
    } else {
        GetClientRect(hwnd, &paint.rcPaint);
    }
    OnPaint(hwnd, dc, paint);
    if (began)
        EndPaint(hwnd, &paint);
    handled = true;
    return 0;
}

LRESULT Application::DispatchTimer(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled)
{
    OnTimer(hwnd, wParam, lParam);
    handled = false;
    return 0;
}

LRESULT Application::DispatchKey(HWND hwnd, WPARAM wParam, LPARAM, bool& handled)
{
    OnKeyDown(hwnd, wParam);
    handled = true;
    return 1;
}

LRESULT Application::DispatchCommand(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled)
{
    OnCommand(hwnd, HIWORD(wParam), wParam, lParam);
    handled = false;
    return 0;
}

LRESULT Application::DispatchMeasureItem(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled)
{
    OnMeasureItem(hwnd, wParam, lParam);
    handled = false;
    return 0;
}

LRESULT Application::DispatchRightButtonDown(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled)
{
    window->TrackMouse(LOWORD(lParam), HIWORD(lParam));
    OnRightButtonDown(hwnd, wParam, LowWordX(lParam), HighWordY(lParam));
    handled = true;
    return 0;
}

LRESULT Application::DispatchMouseWheel(HWND, WPARAM wParam, LPARAM, bool& handled)
{
    // One line per message, whatever the distance; 0 counts as towards the user.
    const int16_t distance = static_cast<int16_t>(HIWORD(wParam));
    if (distance > 0)
        window->LineUp();
    else
        window->LineDown();
    handled = true;
    return 0;
}

LRESULT Application::DispatchLeftButtonDown(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled)
{
    window->TrackMouse(LOWORD(lParam), HIWORD(lParam));
    OnLeftButtonDown(hwnd, wParam, LowWordX(lParam), HighWordY(lParam));
    handled = true;
    return 0;
}

LRESULT Application::DispatchSize(HWND hwnd, WPARAM, LPARAM, bool& handled)
{
    OnSize(hwnd);
    handled = false;
    return 0;
}

LRESULT Application::DispatchMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled)
{
    window->TrackMouse(LOWORD(lParam), HIWORD(lParam));
    OnMouseMove(hwnd, wParam, LowWordX(lParam), HighWordY(lParam));
    handled = false;
    return 0;
}

LRESULT Application::DispatchVScroll(HWND hwnd, WPARAM wParam, LPARAM, bool& handled)
{
    OnVScroll(hwnd, LOWORD(wParam), HIWORD(wParam));
    handled = false;
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Application* application = GetApplication();
    // Without an application or its window there is nothing to hand the
    // message to; the platform's default handling keeps the window usable.
    if (application == nullptr || application->window == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);

    bool handled = false;
    LRESULT result = 0;
    switch (message) {
    case WM_CREATE:
        result = application->DispatchCreate(hwnd, wParam, lParam, handled);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case WM_SIZE:
        result = application->DispatchSize(hwnd, wParam, lParam, handled);
        break;
    case WM_PAINT:
        result = application->DispatchPaint(hwnd, wParam, lParam, handled);
        break;
    case WM_MEASUREITEM:
        result = application->DispatchMeasureItem(hwnd, wParam, lParam, handled);
        break;
    case WM_KEYDOWN:
    case WM_CHAR:
        result = application->DispatchKey(hwnd, wParam, lParam, handled);
        break;
    case WM_COMMAND:
        result = application->DispatchCommand(hwnd, wParam, lParam, handled);
        break;
    case WM_TIMER:
        result = application->DispatchTimer(hwnd, wParam, lParam, handled);
        break;
    case WM_VSCROLL:
        result = application->DispatchVScroll(hwnd, wParam, lParam, handled);
        break;
    case WM_MOUSEMOVE:
        result = application->DispatchMouseMove(hwnd, wParam, lParam, handled);
        break;
    case WM_LBUTTONDOWN:
        result = application->DispatchLeftButtonDown(hwnd, wParam, lParam, handled);
        break;
    case WM_RBUTTONDOWN:
        result = application->DispatchRightButtonDown(hwnd, wParam, lParam, handled);
        break;
    case WM_MOUSEWHEEL:
        result = application->DispatchMouseWheel(hwnd, wParam, lParam, handled);
        break;
    case MessageFragmentStarted:
    case MessageFragmentEnded:
    case MessageNarrationHalted:
        application->window->OnFragmentReport(message, wParam, lParam);
        return 0;
    default:
        break;
    }
    if (handled)
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
