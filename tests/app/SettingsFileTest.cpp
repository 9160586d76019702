// The saved position through two starts (two ShiftSettings, as two runs make
// them), with the Windows folder's file and the per-user folder in a
// temporary folder.
#include <gtest/gtest.h>

#include "AppDriver.h"
#include "app/SettingsFile.h"
#include "core/WinHandles.h"

namespace {

// A value, then (past the bound) comment lines a user keeps.
std::string Saved(int shift, bool oversize = false)
{
    std::string bytes = "[Start]\r\nTheHarrowdeneVertshift=" + std::to_string(shift) + "\r\n";
    while (oversize && bytes.size() <= MaxSettingsFileBytes)
        bytes += "; kept by hand\r\n";
    return bytes;
}

enum class Shared { InUnwritableFolder, AdminFile, Writable, Oversize };

TEST(SettingsFileTest, NextStartShowsWhatTheLastRunLeftWhereverItCouldBeKept)
{
    const struct {
        const char* name;
        Shared shared;
        bool userOversize; // an oversize per-user file holding 500
        int firstStart;    // read at the first start, which then saves 300, 900
        int nextStart;
        bool userFileMade;
    } cases[] = {
        {"Windows folder cannot be written", Shared::InUnwritableFolder, false, 0, 900, true},
        {"administrator's file is read until the user has one", Shared::AdminFile, false, 700, 900, true},
        {"writable Windows folder keeps it there", Shared::Writable, false, 0, 900, false},
        {"oversize shared file is neither read nor written", Shared::Oversize, false, 0, 900, true},
        {"oversize per-user file is neither read nor written", Shared::InUnwritableFolder, true, 0, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        CreateDirectoryW(folder.File(L"windows").c_str(), nullptr);
        CreateDirectoryW(folder.File(L"appdata").c_str(), nullptr);
        const std::wstring userFolder = folder.File(L"appdata\\Vellumark");
        const std::wstring userFile = userFolder + L"\\velmark.ini";
        const std::wstring shared = folder.File(c.shared == Shared::InUnwritableFolder ? L"none\\velmark.ini"
                                                                                        : L"windows\\velmark.ini");
        std::string sharedBytes = c.shared == Shared::AdminFile  ? Saved(700)
                                  : c.shared == Shared::Oversize ? Saved(700, true)
                                                                 : "";
        if (!sharedBytes.empty())
            WriteBytes(shared, sharedBytes);
        // Held without sharing writes, the file refuses the write as an
        // administrator's file refuses a user's (a read-only attribute would
        // not stop Wine running as root).
        KernelHandle held(c.shared == Shared::AdminFile ? CreateFileW(shared.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                                      nullptr, OPEN_EXISTING, 0, nullptr)
                                                        : nullptr);
        const std::string userBytes = c.userOversize ? Saved(500, true) : "";
        if (c.userOversize) {
            CreateDirectoryW(userFolder.c_str(), nullptr);
            WriteBytes(userFile, userBytes);
        }

        ShiftSettings first(shared, userFolder);
        EXPECT_EQ(first.Read(L"Start", L"TheHarrowdeneVertshift"), c.firstStart);
        first.Write(L"Start", L"TheHarrowdeneVertshift", 300);
        first.Write(L"Start", L"TheHarrowdeneVertshift", 900);
        ShiftSettings next(shared, userFolder);
        EXPECT_EQ(next.Read(L"Start", L"TheHarrowdeneVertshift"), c.nextStart);

        EXPECT_EQ(GetFileAttributesW(userFile.c_str()) != INVALID_FILE_ATTRIBUTES, c.userFileMade);
        std::string bytes;
        EXPECT_TRUE(sharedBytes.empty() || (ReadBytes(shared, bytes) && bytes == sharedBytes)) << "shared changed";
        EXPECT_TRUE(userBytes.empty() || (ReadBytes(userFile, bytes) && bytes == userBytes)) << "per-user changed";
    }
}

} // namespace
