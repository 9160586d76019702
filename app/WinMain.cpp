#include <windows.h>

#include "app/Application.h"

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
    return 0;
}
