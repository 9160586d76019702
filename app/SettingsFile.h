#pragma once

#include <cstdint>
#include <string>

// The largest settings file the profile functions are let at. The program
// itself writes one section with one key, under 50 bytes; the bound leaves
// room for the lines a user may keep beside them, and keeps reading the file
// far below anything a user could notice. A larger file is neither read nor
// written: the profile functions would read it all at every step, and their
// rewrite would cut it down to what they had read.
constexpr uint64_t MaxSettingsFileBytes = 64 * 1024;

// Where the reading position is kept. The Windows folder's "velmark.ini" is
// read and written as it always was, but only administrators may write that
// folder, and 64-bit programs get no per-user copy of it from Windows. So
// once a write there fails, the position goes to "velmark.ini" in a
// "Vellumark" folder of the user's application-data folder, which start-up
// reads first. Each file is let at only while it is a disk file within
// MaxSettingsFileBytes (or, for a write, missing): a pipe or a device could
// make the user-interface thread wait for ever.
class ShiftSettings {
public:
    // The Windows folder and the user's application-data folder, found at the
    // first read or write.
    ShiftSettings() = default;
    // Given files, for tests: the shared file and the per-user folder.
    ShiftSettings(const std::wstring& shared, const std::wstring& userFolder);

    // The saved value: the per-user file's where it holds the key, else the
    // shared file's, else 0.
    int32_t Read(const wchar_t* section, const wchar_t* key);
    // Called at every scroll step: after the first failure costs one write.
    void Write(const wchar_t* section, const wchar_t* key, int32_t value);

private:
    void FindFiles();

    bool filesFound = false;
    std::wstring sharedFile;
    std::wstring userFolder;
    std::wstring userFile;
    // Cleared for the rest of the run by the first write the shared file
    // refused or failed.
    bool sharedWritable = true;
    // Set once the per-user file holds the position: from then on it is
    // written too, or the next start would read an older value from it.
    bool userInUse = false;
    bool userFolderMade = false;
};
