#include "app/Dialogs.h"

#include <atomic>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>

#include "app/Application.h"
#include "app/BookWindow.h"
#include "app/Edition.h"
#include "audio/PlaybackController.h"
#include "core/WinHandles.h"
#include "app/ResourceIds.h"

WindowBase* purchaseDialogWindow = nullptr;

namespace {

constexpr DWORD RegistryValueCapacity = 1000; // characters

// Set once by the first lookup that succeeds and kept for the process.
std::atomic<const wchar_t*> browserPathCache{nullptr};
std::mutex browserLookup;

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

INT_PTR ShowDialog(HINSTANCE instance, int resource, HWND owner, DLGPROC procedure)
{
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(resource), owner, procedure, 0);
    if (result == -1)
        return static_cast<INT_PTR>(GetLastError());
    return result;
}

// A picture control made from a dialog template loads its bitmap itself,
// and not every system deletes it with the control: Wine keeps it, so each
// opening of the dialog would cost a copy of the picture. Taking the
// bitmap out of the control before it goes leaves no owner in doubt.
BOOL CALLBACK ReleaseControlBitmap(HWND control, LPARAM)
{
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    if (lstrcmpiW(className, L"Static") != 0)
        return TRUE;
    const HANDLE image = reinterpret_cast<HANDLE>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    if (image == nullptr)
        return TRUE;
    const HANDLE taken = reinterpret_cast<HANDLE>(SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, 0));
    if (taken != nullptr)
        DeleteObject(taken);
    return TRUE;
}

} // namespace

void ReleaseDialogBitmaps(HWND dialog)
{
    EnumChildWindows(dialog, ReleaseControlBitmap, 0);
}

bool ProgramPathOfCommand(const wchar_t* command, size_t length, wchar_t* out, size_t capacity)
{
    while (length > 0 && command[length - 1] == L'\0')
        length -= 1;
    if (length == 0 || capacity == 0)
        return false;
    std::wstring value(command, length);
    std::wstring path;
    if (value[0] == L'"') {
        // The quoted program path, without its marks.
        const size_t close = value.find(L'"', 1);
        path = value.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
    } else {
        // Without quotation marks the blanks are ambiguous: the program is
        // the longest text ending at a blank or at the end that names a file,
        // so that a stray file named like the path's first words cannot
        // stand in for it.
        path = value.substr(0, value.find(L' '));
        size_t end = value.size();
        while (end > 0) {
            if (FileExists(value.substr(0, end))) {
                path = value.substr(0, end);
                break;
            }
            end = value.rfind(L' ', end - 1);
            if (end == std::wstring::npos)
                break;
        }
    }
    if (path.empty() || path.size() + 1 > capacity)
        return false;
    wmemcpy(out, path.c_str(), path.size() + 1);
    return true;
}

bool BuildBrowserCommandLine(const wchar_t* path, const wchar_t* address, wchar_t* out, size_t capacity)
{
    if (path == nullptr || address == nullptr)
        return false;
    std::wstring line = L"\"";
    line += path;
    line += L"\"";
    line += address;
    if (line.size() + 1 > capacity)
        return false;
    wmemcpy(out, line.c_str(), line.size() + 1);
    return true;
}

const wchar_t* FindBrowserPath()
{
    const wchar_t* cached = browserPathCache.load();
    if (cached != nullptr)
        return cached;

    // The purchase dialog's thread and the user-interface thread may both
    // make the first lookup; one of them does it and the other takes its
    // result.
    std::lock_guard<std::mutex> guard(browserLookup);
    cached = browserPathCache.load();
    if (cached != nullptr)
        return cached;

    RegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return nullptr;
    wchar_t value[RegistryValueCapacity] = {};
    DWORD type = 0;
    DWORD size = sizeof(value);
    const LONG read = RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    if (read != ERROR_SUCCESS || type != REG_SZ)
        return nullptr;

    std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[RegistryValueCapacity]);
    if (!path || !ProgramPathOfCommand(value, size / sizeof(wchar_t), path.get(), RegistryValueCapacity))
        return nullptr;
    // Kept for the rest of the process: callers hold on to the pointer.
    browserPathCache.store(path.release());
    return browserPathCache.load();
}

void LaunchBrowser(const wchar_t* path, const wchar_t* address)
{
    if (path == nullptr || address == nullptr)
        return;
    const size_t capacity = wcslen(path) + wcslen(address) + 3;
    std::unique_ptr<wchar_t[]> commandLine(new (std::nothrow) wchar_t[capacity]);
    if (!commandLine || !BuildBrowserCommandLine(path, address, commandLine.get(), capacity))
        return;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, commandLine.get(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        // Nothing waits for the browser.
        KernelHandle processHandle(process.hProcess);
        KernelHandle threadHandle(process.hThread);
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return 1;
    case WM_DESTROY:
        ReleaseDialogBitmaps(dialog);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_MORE) {
            if (aboutDialogWindow != nullptr)
                LaunchBrowser(FindBrowserPath(), MakerSitePage);
            return 1;
        }
        EndDialog(dialog, 1);
        return 1;
    default:
        return 0;
    }
}

INT_PTR CALLBACK PurchaseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return 1;
    case WM_DESTROY:
        ReleaseDialogBitmaps(dialog);
        return 0;
    case WM_COMMAND: {
        const wchar_t* path = FindBrowserPath();
        switch (LOWORD(wParam)) {
        case IDC_STORE_US:
            LaunchBrowser(path, StorePageUS);
            break;
        case IDC_STORE_FRANCE:
            LaunchBrowser(path, StorePageFrance);
            break;
        case IDC_STORE_GERMANY:
            break;
        default:
            EndDialog(dialog, 1);
            break;
        }
        return 1;
    }
    default:
        return 0;
    }
}

INT_PTR WindowBase::ShowAboutDialog()
{
    return ShowDialog(instance, IDD_ABOUT, hwnd, AboutDialogProc);
}

INT_PTR WindowBase::ShowHelpDialog()
{
    return ShowDialog(instance, IDD_HELP, hwnd, AboutDialogProc);
}

int32_t BookWindow::ShowPurchaseDialog()
{
    purchaseDialogWindow = this;
    // Queued behind the fragment reports already made, so it is handled after
    // them on the user-interface thread.
    PostMessageW(hwnd, MessageNarrationHalted, 0, static_cast<LPARAM>(player->ReportingStart()));
    return static_cast<int32_t>(ShowDialog(instance, IDD_PURCHASE, hwnd, PurchaseDialogProc));
}
