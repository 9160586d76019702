#include "app/SettingsFile.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

#include "core/DiskFile.h"

namespace {

const wchar_t SettingsName[] = L"velmark.ini";

// Opened and closed again before the profile functions open the file by its
// name: they cannot be handed a handle.
DiskFileState Examine(const std::wstring& path)
{
    DiskFile file;
    return file.Open(path.c_str(), MaxSettingsFileBytes);
}

bool ReadKey(const std::wstring& path, const wchar_t* section, const wchar_t* key, int32_t& value)
{
    if (path.empty() || Examine(path) != DiskFileState::Open)
        return false;
    wchar_t probe[2] = {};
    if (GetPrivateProfileStringW(section, key, L"", probe, 2, path.c_str()) == 0)
        return false;
    value = static_cast<int32_t>(GetPrivateProfileIntW(section, key, 0, path.c_str()));
    return true;
}

// A missing file may be written: the profile function makes it.
bool WriteKey(const std::wstring& path, const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    return !path.empty() && Examine(path) != DiskFileState::Refused &&
           WritePrivateProfileStringW(section, key, value, path.c_str()) != FALSE;
}

std::wstring ApplicationDataFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) == S_OK)
        return folder;
    wchar_t variable[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"APPDATA", variable, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(variable) : std::wstring();
}

} // namespace

ShiftSettings::ShiftSettings(const std::wstring& shared, const std::wstring& folder)
    : filesFound(true), sharedFile(shared), userFolder(folder), userFile(folder + L"\\" + SettingsName)
{
}

void ShiftSettings::FindFiles()
{
    if (filesFound)
        return;
    filesFound = true;
    // The name the profile functions would complete a bare "velmark.ini" to.
    wchar_t windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        sharedFile = std::wstring(windows) + L"\\" + SettingsName;
    const std::wstring data = ApplicationDataFolder();
    if (!data.empty()) {
        userFolder = data + L"\\Vellumark";
        userFile = userFolder + L"\\" + SettingsName;
    }
}

int32_t ShiftSettings::Read(const wchar_t* section, const wchar_t* key)
{
    FindFiles();
    int32_t value = 0;
    if (ReadKey(userFile, section, key, value)) {
        userInUse = true;
        return value;
    }
    ReadKey(sharedFile, section, key, value);
    return value;
}

void ShiftSettings::Write(const wchar_t* section, const wchar_t* key, int32_t value)
{
    FindFiles();
    wchar_t text[16];
    swprintf(text, sizeof(text) / sizeof(text[0]), L"%d", static_cast<int>(value));
    if (sharedWritable) {
        sharedWritable = WriteKey(sharedFile, section, key, text);
        if (sharedWritable && !userInUse)
            return;
    }
    if (userFile.empty())
        return;
    if (!userFolderMade) {
        userFolderMade = true;
        CreateDirectoryW(userFolder.c_str(), nullptr);
    }
    if (WriteKey(userFile, section, key, text))
        userInUse = true;
}
