#include "audio/AudioPlayer.h"

#include <gtest/gtest.h>

#include <atomic>

#include "AudioFixture.h"
#include "audio/PlaybackController.h"

namespace {

class PlayerTest : public TrackFolderTest {
protected:
    // Plays fragment 0 (0 to endMs of track) through a fresh controller and
    // returns what the owner heard.
    std::string PlayOne(const char* track, uint32_t endMs, PlaybackCounters* counts = nullptr)
    {
        RecordingOwner owner;
        owner.AddRow(track, 0, endMs);
        owner.BuildTable();
        PlaybackController player(&owner);
        // The device's thread held up at its first report, as on a busy machine.
        static std::atomic<bool> held;
        held = false;
        player.testHook = [](AudioPlayer&, AudioPlayer::HookPoint at) {
            if (at == AudioPlayer::HookPoint::InDeviceCallback && !held.exchange(true))
                Sleep(60);
        };
        player.PlayFrom(0);
        bool idle = WaitIdle(player);
        EXPECT_TRUE(idle) << track;
        if (counts != nullptr) {
            counts->devicesOpened = player.counters.devicesOpened.load();
            counts->devicesOpen = player.counters.devicesOpen.load();
        }
        return owner.Trace();
    }
};

TEST_F(PlayerTest, PlaysEveryPcmLayout)
{
    struct {
        uint16_t channels;
        uint32_t rate;
        uint16_t bits;
    } layouts[] = {
        {1, 8000, 8}, {2, 8000, 8}, {1, 11025, 16}, {2, 22050, 8}, {1, 44100, 16}, {2, 44100, 16},
    };
    for (const auto& l : layouts) {
        WavLayout w;
        w.channels = l.channels;
        w.samplesPerSec = l.rate;
        w.bitsPerSample = l.bits;
        w.milliseconds = 700;
        WriteWav("t.wav", w);
        PlaybackCounters counts;
        EXPECT_EQ(PlayOne("t.wav", 650, &counts), "H0 U0 ") << l.channels << "x" << l.rate << "x" << l.bits;
        EXPECT_EQ(counts.devicesOpened, 1);
        EXPECT_EQ(counts.devicesOpen, 0);
    }
}

struct BadTrack {
    const char* what;
    WavLayout layout;
    const char* expected; // what the owner hears
};

WavLayout Layout(void (*change)(WavLayout&))
{
    WavLayout w;
    w.milliseconds = 400;
    change(w);
    return w;
}

TEST_F(PlayerTest, NonsenseTracksAreSkippedOrPlayedAsFarAsTheyAreValid)
{
    const BadTrack cases[] = {
        {"byte rate below 1000", Layout([](WavLayout& w) { w.samplesPerSec = 400; w.bitsPerSample = 8; }), "P "},
        {"byte rate below 1000 with a frame", Layout([](WavLayout& w) { w.avgBytesOverride = 999; }), "P "},
        {"byte rate of exactly 1000", Layout([](WavLayout& w) { w.samplesPerSec = 1000; w.bitsPerSample = 8; }),
         "H0 U0 "},
        {"byte rate a little off the frame", Layout([](WavLayout& w) { w.avgBytesOverride = 44000; }), "H0 U0 "},
        {"24-bit stereo", Layout([](WavLayout& w) { w.channels = 2; w.bitsPerSample = 24; }), "H0 U0 "},
        {"IEEE float", Layout([](WavLayout& w) { w.formatTag = 3; w.bitsPerSample = 32; }), "H0 U0 "},
        {"extensible", Layout([](WavLayout& w) { w.extensible = true; w.channels = 2; w.bitsPerSample = 24; }),
         "H0 U0 "},
        {"no channels", Layout([](WavLayout& w) { w.channels = 0; w.avgBytesOverride = 44100; }), "P "},
        {"a format no device opens", Layout([](WavLayout& w) { w.formatTag = 0x1234; }), "P "},
        {"no data chunk", Layout([](WavLayout& w) { w.writeData = false; }), "P "},
        {"format record with extra bytes", Layout([](WavLayout& w) { w.fmtExtraBytes = 22; }), "H0 U0 "},
        {"format record with a zero size field", Layout([](WavLayout& w) { w.fmtExtraBytes = 2; }), "H0 U0 "},
        {"data size past the end of the file", Layout([](WavLayout& w) { w.dataSizeFieldDelta = 1000000; }),
         "H0 U0 "},
        {"data size far past the end of the file",
         Layout([](WavLayout& w) { w.dataSizeFieldDelta = 0x7FFFFFFF; }), "H0 U0 "},
        {"odd data size, 16 bits", Layout([](WavLayout& w) { w.dataBytesOverride = 17641; }), "H0 U0 "},
        {"odd data size, 8 bits",
         Layout([](WavLayout& w) { w.bitsPerSample = 8; w.dataBytesOverride = 8821; }), "H0 U0 "},
    };
    for (const BadTrack& c : cases) {
        WriteWav("bad.wav", c.layout);
        PlaybackCounters counts;
        EXPECT_EQ(PlayOne("bad.wav", 400, &counts), c.expected) << c.what;
        EXPECT_EQ(counts.devicesOpen, 0) << c.what;
    }
}

TEST_F(PlayerTest, FilesThatAreNoTracksAreMissing)
{
    WriteFileBytes("empty.wav", "");
    WriteFileBytes("text.wav", "this is not a RIFF file at all, only some text");
    std::string shortFmt = WavBytes(WavLayout());
    shortFmt[16] = 8; // "fmt " chunk of 8 bytes
    WriteFileBytes("shortfmt.wav", shortFmt);
    std::string truncated = WavBytes(WavLayout()).substr(0, 30);
    WriteFileBytes("cut.wav", truncated);
    CreateDirectoryA("folder.wav", nullptr);
    for (const char* name : {"empty.wav", "text.wav", "shortfmt.wav", "cut.wav", "folder.wav", "absent.wav"})
        EXPECT_EQ(PlayOne(name, 400), "P ") << name;
}

// The track's file size sets its length, read in 64 bits: a file past the
// bound (a track grown sparse past 4 GB included) is refused, and the
// purchase dialog shows.
TEST_F(PlayerTest, TracksPastTheBoundOrNoDiskFilesAreMissing)
{
    WavLayout w;
    w.milliseconds = 400;
    w.dataSizeFieldDelta = 0x7FFFFFFF;
    const std::string bytes = WavBytes(w);
    const struct {
        const char* name;
        uint64_t size;
        const char* expected;
    } cases[] = {
        {"bound.wav", MaxTrackBytes, "H0 U0 "},
        {"past.wav", MaxTrackBytes + 1, "P "},
        {"sparse.wav", (uint64_t{1} << 32) + 60, "P "},
    };
    for (const auto& c : cases) {
        WriteFileBytes(c.name, bytes);
        KernelHandle file(CreateFileA(c.name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(c.size);
        ASSERT_TRUE(SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get())) << c.name;
        file.Reset();
        EXPECT_EQ(PlayOne(c.name, 400), c.expected) << c.name;
    }
    // The whole file after the header is the track's data.
    EXPECT_EQ(GetLastTrackDuration().ToMilliseconds(), (MaxTrackBytes - 44) / (w.AvgBytes() / 1000));
}

} // namespace
