#pragma once

// Fixtures for the playback tests: WAV files written on the spot into a
// private folder that becomes the working directory, and a window stand-in
// that records what the controller tells it.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "audio/AudioPlayer.h"
#include "audio/PlaybackOwner.h"
#include "book/SyncFragment.h"

struct WavLayout {
    uint16_t formatTag = 1;
    uint16_t channels = 1;
    uint32_t samplesPerSec = 22050;
    uint16_t bitsPerSample = 16;
    uint32_t milliseconds = 1000;
    // Overrides of what a sound file would hold; 0 keeps the consistent value.
    uint32_t avgBytesOverride = 0;
    uint32_t fmtExtraBytes = 0;    // bytes after the 16-byte record, size field included
    uint32_t dataBytesOverride = 0; // exact number of data bytes written
    int64_t dataSizeFieldDelta = 0; // added to the size written in the "data" header
    bool writeData = true;
    bool extensible = false; // PCM in an extensible record

    uint32_t BlockAlign() const { return channels * (bitsPerSample / 8u); }
    uint32_t AvgBytes() const
    {
        return avgBytesOverride != 0 ? avgBytesOverride : samplesPerSec * BlockAlign();
    }
    uint32_t DataBytes() const
    {
        if (dataBytesOverride != 0)
            return dataBytesOverride;
        return static_cast<uint32_t>(static_cast<uint64_t>(samplesPerSec) * milliseconds / 1000u) * BlockAlign();
    }
};

inline void Put32(std::string& b, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        b.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

inline void Put16(std::string& b, uint16_t v)
{
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>(v >> 8));
}

inline std::string WavBytes(const WavLayout& w)
{
    std::string body = "WAVE";
    body += "fmt ";
    Put32(body, w.extensible ? 40 : 16 + w.fmtExtraBytes);
    Put16(body, w.extensible ? 0xFFFE : w.formatTag);
    Put16(body, w.channels);
    Put32(body, w.samplesPerSec);
    Put32(body, w.AvgBytes());
    Put16(body, static_cast<uint16_t>(w.BlockAlign()));
    Put16(body, w.bitsPerSample);
    if (w.extensible) {
        Put16(body, 22);
        Put16(body, w.bitsPerSample);
        Put32(body, w.channels == 2 ? 3 : 4); // front left and right, or centre
        body += std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 16);
    } else if (w.fmtExtraBytes >= 2) {
        Put16(body, static_cast<uint16_t>(w.fmtExtraBytes - 2));
        body.append(w.fmtExtraBytes - 2, '\x11');
    } else {
        body.append(w.fmtExtraBytes, '\0');
    }
    if (w.writeData) {
        uint32_t n = w.DataBytes();
        body += "data";
        Put32(body, static_cast<uint32_t>(static_cast<int64_t>(n) + w.dataSizeFieldDelta));
        // A quiet ramp, so that no two buffers hold the same bytes.
        for (uint32_t k = 0; k < n; ++k)
            body.push_back(static_cast<char>(k * 7));
    }
    std::string file = "RIFF";
    Put32(file, static_cast<uint32_t>(body.size()));
    return file + body;
}

inline void WriteFileBytes(const std::string& name, const std::string& bytes)
{
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    ASSERT_TRUE(ok);
}

inline void WriteWav(const std::string& name, const WavLayout& w)
{
    WriteFileBytes(name, WavBytes(w));
}

// A fresh folder under the temporary directory, made the working directory
// for the test, so that track names resolve as the program resolves them.
class TrackFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        GetCurrentDirectoryA(MAX_PATH, previous);
        folder = std::string(temp) + "vm_audio_" + std::to_string(GetCurrentProcessId()) + "_" +
                 std::to_string(++serial);
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(previous);
        WIN32_FIND_DATAA fd;
        HANDLE f = FindFirstFileA((folder + "\\*").c_str(), &fd);
        if (f != INVALID_HANDLE_VALUE) {
            do {
                std::string p = folder + "\\" + fd.cFileName;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    if (fd.cFileName[0] != '.')
                        RemoveDirectoryA(p.c_str());
                } else {
                    DeleteFileA(p.c_str());
                }
            } while (FindNextFileA(f, &fd));
            FindClose(f);
        }
        RemoveDirectoryA(folder.c_str());
    }

    std::string folder;
    char previous[MAX_PATH];
    static inline int serial = 0;
};

struct OwnerEvent {
    char kind; // 'H' highlight, 'U' unhighlight, 'P' purchase dialog
    int32_t id;
    DWORD thread;
    uint32_t start; // the player's ReportingStart, when the player is known
};

// Size of the address range reserved for the calling thread's stack: the
// regions that share the allocation of a local variable.
inline uintptr_t StackReserveHere()
{
    MEMORY_BASIC_INFORMATION mbi;
    int local = 0;
    VirtualQuery(&local, &mbi, sizeof(mbi));
    void* base = mbi.AllocationBase;
    uintptr_t total = 0;
    char* p = static_cast<char*>(base);
    while (VirtualQuery(p, &mbi, sizeof(mbi)) != 0 && mbi.AllocationBase == base) {
        total += mbi.RegionSize;
        p += mbi.RegionSize;
    }
    return total;
}

// Stands in for the book window: serves rows of its own table and records
// every report with the thread it came from and the start it belongs to.
class RecordingOwner : public PlaybackOwner {
public:
    RecordingOwner() : dialogGate(nullptr), dialogShown(CreateEventA(nullptr, TRUE, FALSE, nullptr)), stackReserve(0)
    {
    }
    ~RecordingOwner() override
    {
        CloseHandle(dialogShown);
        if (dialogGate != nullptr)
            CloseHandle(dialogGate);
    }

    // Rows: track name, start and end in milliseconds; isSet 1 unless unset.
    void AddRow(const char* track, uint32_t startMs, uint32_t endMs, bool set = true)
    {
        rows.push_back(Row{track, startMs, endMs, set});
    }
    void BuildTable()
    {
        table.SetSize(static_cast<uint32_t>(rows.size()));
        for (uint32_t i = 0; i < rows.size(); ++i) {
            SyncFragment& f = table.At(i);
            if (rows[i].set)
                f.SetTextSpan(static_cast<int32_t>(i), static_cast<int32_t>(i) + 3, static_cast<int32_t>(i));
            std::u16string name(rows[i].track.begin(), rows[i].track.end());
            AssignString(f.TrackFile(), name.c_str());
            f.Start().FromMilliseconds(rows[i].startMs);
            f.End().FromMilliseconds(rows[i].endMs);
        }
    }

    bool GetFragment(int32_t i, SyncFragment& out) override
    {
        uint8_t found = 0;
        const SyncFragment& r = table.TryAt(static_cast<uint32_t>(i), found);
        out.Fill(r.TrackFile(), r.Start(), r.End(), r.IsSet(), r.FirstChar(), r.LastChar());
        out.paragraph = r.paragraph;
        return found != 0;
    }
    void HighlightFragment(int32_t i) override { Record('H', i); }
    void UnhighlightFragment(int32_t i) override { Record('U', i); }
    int32_t ShowPurchaseDialog() override
    {
        Record('P', -1);
        // The reserve of the calling thread's stack: the modal dialog needs
        // the program's default, whatever the thread asked to commit.
        stackReserve = StackReserveHere();
        SetEvent(dialogShown);
        if (dialogGate != nullptr)
            WaitForSingleObject(dialogGate, 60000);
        return 1;
    }

    std::vector<OwnerEvent> Events()
    {
        std::lock_guard<std::mutex> g(mutex);
        return events;
    }
    std::string Trace()
    {
        std::string s;
        for (const OwnerEvent& e : Events())
            s += std::string(1, e.kind) + (e.kind == 'P' ? "" : std::to_string(e.id)) + " ";
        return s;
    }
    // The start of each report, in order: "1 1 2 2 ".
    std::string Starts()
    {
        std::string s;
        for (const OwnerEvent& e : Events())
            s += std::to_string(e.start) + " ";
        return s;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> g(mutex);
        events.clear();
    }

    SyncTable table;
    const AudioPlayer* player = nullptr;
    HANDLE dialogGate;
    HANDLE dialogShown;
    uintptr_t stackReserve;

private:
    struct Row {
        std::string track;
        uint32_t startMs;
        uint32_t endMs;
        bool set;
    };
    void Record(char kind, int32_t id)
    {
        std::lock_guard<std::mutex> g(mutex);
        events.push_back(OwnerEvent{kind, id, GetCurrentThreadId(), player != nullptr ? player->ReportingStart() : 0});
    }

    std::vector<Row> rows;
    std::mutex mutex;
    std::vector<OwnerEvent> events;
};

// Waits, without assuming real-time playback, until the player has no thread,
// no queued buffer and no open device.
inline bool WaitIdle(AudioPlayer& player, DWORD timeoutMs = 30000)
{
    DWORD start = GetTickCount();
    while (!player.IsIdle()) {
        if (GetTickCount() - start > timeoutMs) {
            // Tells a buffer the device never gave back (still in its queue)
            // from one it gave back that the player lost (done, still busy).
            std::fprintf(stderr, "not idle: %d playback thread(s), %d device(s) open;", player.counters.threadsRunning.load(),
                         player.counters.devicesOpen.load());
            for (const BufferSlot& s : player.slots)
                std::fprintf(stderr, " [busy %d flags 0x%lx]", s.busy, static_cast<unsigned long>(s.header.dwFlags));
            std::fprintf(stderr, "\n");
            return false;
        }
        Sleep(5);
    }
    return true;
}
