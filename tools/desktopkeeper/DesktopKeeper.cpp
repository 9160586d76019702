// Keeps Wine's desktop process alive for as long as a test harness runs.
//
// Wine closes its desktop process a moment after the last program that uses
// the desktop has ended, and the next program that shows a window starts it
// again. The new desktop process keeps that program's standard handles,
// which in a test run are a test's output pipes: the test runner would then
// wait for the end of a pipe that the desktop holds until the server stops.
// This program uses the desktop and waits, started with no pipes by the
// harness and ended by its server's shutdown, so the desktop never has to
// start again while tests run.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    GetDesktopWindow();
    Sleep(INFINITE);
    return 0;
}
