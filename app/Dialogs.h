#pragma once

#include <windows.h>

class WindowBase;

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PurchaseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Takes the bitmaps out of the dialog's picture controls and deletes them;
// the dialog procedures call it as the dialog is destroyed.
void ReleaseDialogBitmaps(HWND dialog);

// The program registered for "http" addresses, without quotation marks or
// arguments; null when none is registered. Looked up once and kept; safe to
// call from the playback thread and the user-interface thread at once.
const wchar_t* FindBrowserPath();

// Starts the browser with the address (which begins with a blank) and does
// not wait for it. Nothing happens without a path; failures are swallowed.
void LaunchBrowser(const wchar_t* path, const wchar_t* address);

// The program path in a registered command such as
// "C:\Program Files\Browser\browser.exe" -url "%1": the text inside the
// leading quotation marks, or, for a command without them, the longest
// prefix ending before a blank (or at the end) that names an existing file,
// else the text before the first blank.
// Null-terminated result in out (capacity units); false when there is none.
bool ProgramPathOfCommand(const wchar_t* command, size_t length, wchar_t* out, size_t capacity);

// The command line that LaunchBrowser passes: the path in quotation marks,
// so that a path with blanks cannot start another program, then the address.
bool BuildBrowserCommandLine(const wchar_t* path, const wchar_t* address, wchar_t* out, size_t capacity);

// Main window for the purchase dialog's owner; set before it opens.
extern WindowBase* purchaseDialogWindow;
