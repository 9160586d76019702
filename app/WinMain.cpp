#include <windows.h>

#include "app/Application.h"
#include "app/BookWindow.h"

namespace {

// Most of the second a close may take before the process is gone.
constexpr DWORD ExitWaitMilliseconds = 500;

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    Application* application = GetApplication();
    if (application == nullptr || application->window == nullptr)
        return 0;
    application->Start(instance, showCommand);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The playback thread, the completion thread and the device's callbacks
    // use objects that the static destructors free once this returns. When
    // a thread did not end in time, the process ends here, which stops it
    // before anything it uses goes.
    if (!application->window->EndNarration(ExitWaitMilliseconds))
        ExitProcess(0);
    return 0;
}
