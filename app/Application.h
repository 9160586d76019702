#pragma once

#include <windows.h>

#include <cstdint>

class BookWindow;
class WindowBase;

// Menu command identifiers: the low 16 bits of a menu command's wParam.
constexpr uint16_t CommandExit = 2000;
constexpr uint16_t CommandHowToUse = 3000;
constexpr uint16_t CommandAbout = 4000;
constexpr uint16_t CommandAboutAudioBook = 4001;
constexpr uint16_t CommandDictionary = 4100;
constexpr uint16_t CommandDictionaryExtra = 4101;
constexpr uint16_t CommandDictionaryLast = 4199;
constexpr uint16_t CommandChapterFirst = 7000;
constexpr uint16_t CommandChapterLast = 7999;
constexpr uint16_t CommandTranslationFirst = 8000;
constexpr uint16_t CommandTranslationLast = 8999;

// Turns every message of the main window into a call on the one BookWindow.
// Created on first use and never destroyed.
class Application {
public:
    Application();
    virtual ~Application() {}

    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    int32_t Start(HINSTANCE instance, int showCommand);

    virtual int32_t OnCreate(HWND hwnd, LPARAM createParam);
    virtual int32_t OnPaint(HWND hwnd, HDC dc, const PAINTSTRUCT& paint);
    virtual int32_t OnTimer(HWND hwnd, WPARAM timerId, LPARAM callback);
    virtual int32_t OnMouseMove(HWND hwnd, WPARAM keyFlags, int32_t x, int32_t y);
    virtual int32_t OnSize(HWND hwnd);
    virtual int32_t OnLeftButtonDown(HWND hwnd, WPARAM keyFlags, int32_t x, int32_t y);
    virtual int32_t OnRightButtonDown(HWND hwnd, WPARAM keyFlags, int32_t x, int32_t y);
    virtual int32_t OnMeasureItem(HWND hwnd, WPARAM wParam, LPARAM lParam);
    virtual int32_t OnCommand(HWND hwnd, uint16_t notificationCode, WPARAM wParam, LPARAM lParam);
    virtual int32_t OnMenuCommand(HWND hwnd, WPARAM wParam, LPARAM lParam);
    virtual int32_t OnReserved(HWND hwnd, WPARAM wParam, LPARAM lParam);
    virtual int32_t OnControlCommand(HWND hwnd, uint16_t notificationCode, WPARAM wParam, LPARAM lParam);
    virtual int32_t OnKeyDown(HWND hwnd, WPARAM keyCode);
    virtual int32_t OnVScroll(HWND hwnd, uint16_t scrollCode, uint16_t position);

    LRESULT DispatchCreate(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchPaint(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchTimer(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchKey(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchCommand(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchMeasureItem(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchRightButtonDown(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchMouseWheel(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchLeftButtonDown(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchSize(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT DispatchVScroll(HWND hwnd, WPARAM wParam, LPARAM lParam, bool& handled);

    BookWindow* window;
};

// The application, made on the first call; null only when it could not be
// allocated, in which case a later call tries again.
Application* GetApplication();

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The main window while the application exists; the About dialog opens its
// web page only when it is set.
extern WindowBase* aboutDialogWindow;
