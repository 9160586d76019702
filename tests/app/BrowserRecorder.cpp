// Stands in for the web browser: writes the command line it was started with
// to "launched.txt" beside itself.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring log = self;
    log = log.substr(0, log.rfind(L'\\') + 1) + L"launched.txt";
    FILE* f = _wfopen(log.c_str(), L"ab");
    if (f == nullptr)
        return 1;
    const std::wstring line = std::wstring(GetCommandLineW()) + L"\n";
    fwrite(line.data(), sizeof(wchar_t), line.size(), f);
    fclose(f);
    return 0;
}
