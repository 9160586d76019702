#include "audio/PlaybackController.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "AudioFixture.h"
#include "HookGate.h"

namespace {

class ControllerTest : public TrackFolderTest {
protected:
    void SetUp() override
    {
        TrackFolderTest::SetUp();
        WavLayout a; // 16-bit mono, 22050 Hz: 44100 bytes per second
        a.milliseconds = 3000;
        WriteWav("ta.wav", a);
        WavLayout b; // 8-bit stereo, 8000 Hz: 16000 bytes per second
        b.channels = 2;
        b.bitsPerSample = 8;
        b.samplesPerSec = 8000;
        b.milliseconds = 2000;
        WriteWav("tb.wav", b);
    }

    // Fragments in two tracks with a plain gap, touching rows (a 2-byte gap
    // and an empty one), an overlap, a track change, equal times and a last
    // row.
    void AddStandardRows()
    {
        owner.AddRow("ta.wav", 0, 500);
        owner.AddRow("ta.wav", 600, 1010);
        owner.AddRow("ta.wav", 1010, 1400);
        owner.AddRow("ta.wav", 1300, 2000);
        owner.AddRow("tb.wav", 100, 700);
        owner.AddRow("tb.wav", 700, 700);
        owner.AddRow("tb.wav", 800, 1200);
        owner.BuildTable();
    }

    bool WaitForEvents(size_t n, DWORD timeoutMs = 20000)
    {
        DWORD start = GetTickCount();
        while (owner.Events().size() < n) {
            if (GetTickCount() - start > timeoutMs)
                return false;
            Sleep(1);
        }
        return true;
    }

    RecordingOwner owner;
};

TEST_F(ControllerTest, ReportsEachFragmentOnceInOrderAcrossTwoTracks)
{
    AddStandardRows();
    PlaybackController player(&owner);
    player.PlayFrom(0);
    ASSERT_TRUE(WaitIdle(player));
    // Gaps are never reported; the empty fragment 5 queues nothing and is
    // never highlighted.
    EXPECT_EQ(owner.Trace(), "H0 U0 H1 U1 H2 U2 H3 U3 H4 U4 H6 U6 ");
    std::vector<OwnerEvent> events = owner.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].thread, player.threadId) << "the first start comes from the playback thread";
    // One device per track, each closed once its buffers were back.
    EXPECT_EQ(player.counters.devicesOpened, 2);
    EXPECT_EQ(player.counters.devicesOpen, 0);
    EXPECT_EQ(player.counters.peakDevicesOpen, 1);
}

// Touching fragments with no byte between them (1500 ms is an even offset at
// 44100 bytes per second): one buffer's return ends the first, then starts the
// second.
TEST_F(ControllerTest, TouchingFragmentsEndBeforeTheNextStarts)
{
    owner.AddRow("ta.wav", 0, 1500);
    owner.AddRow("ta.wav", 1500, 2000);
    owner.BuildTable();
    PlaybackController player(&owner);
    player.PlayFrom(0);
    ASSERT_TRUE(WaitIdle(player));
    EXPECT_EQ(owner.Trace(), "H0 U0 H1 U1 ");
}

TEST_F(ControllerTest, TrackEndTimeIsTheOpenedTrackAtWholeSeconds)
{
    AddStandardRows();
    PlaybackController player(&owner);
    player.PlayFrom(6);
    ASSERT_TRUE(WaitIdle(player));
    EXPECT_EQ(GetLastTrackDuration().ToMilliseconds(), 2000u); // 32000 bytes at 16 per ms
    player.PlayFrom(0);
    ASSERT_TRUE(WaitForEvents(3));
    player.RequestStop();
    ASSERT_TRUE(WaitIdle(player));
    // 132300 bytes at 44 bytes per millisecond: 3006 ms.
    EXPECT_EQ(GetLastTrackDuration().ToMilliseconds(), 3006u);
    EXPECT_EQ(player.TrackEndTime().ToMilliseconds(), 3000u);
}

TEST_F(ControllerTest, GapRules)
{
    owner.AddRow("ta.wav", 0, 500);
    owner.AddRow("ta.wav", 400, 900);  // overlaps: gap ends before it starts
    owner.AddRow("TA.wav", 950, 990);  // differs in case only: another track
    owner.BuildTable();
    PlaybackController player(&owner);
    SyncFragment gap;
    player.currentFragment = 0;
    EXPECT_EQ(player.BuildGapSegment(gap), 1);
    EXPECT_EQ(gap.Start().ToMilliseconds(), 500u);
    EXPECT_EQ(gap.End().ToMilliseconds(), 400u);
    EXPECT_EQ(FragmentSegment(gap, player.currentFragment).FragmentId(), -1);

    lastTrackDuration.Set(0, 1, 1, 890);
    EXPECT_EQ(player.BuildGapSegment(gap), 1);
    EXPECT_EQ(gap.End().ToMilliseconds(), 61000u) << "runs to the end of the track at whole seconds";

    EXPECT_EQ(player.BuildGapSegment(gap), 0) << "no row after the last";
    EXPECT_EQ(player.currentFragment, 3);
}

TEST_F(ControllerTest, EveryStartOpensItsTrackAfresh)
{
    AddStandardRows();
    PlaybackController player(&owner);
    owner.player = &player;
    for (int k = 0; k < 3; ++k) {
        player.PlayFrom(6);
        ASSERT_TRUE(WaitIdle(player));
    }
    EXPECT_EQ(player.counters.devicesOpened, 3);
    EXPECT_EQ(player.counters.devicesOpen, 0);
    EXPECT_EQ(owner.Trace(), "H6 U6 H6 U6 H6 U6 ");
    EXPECT_EQ(owner.Starts(), "1 1 2 2 3 3 ");
}

TEST_F(ControllerTest, MissingFirstTrackOpensTheDialogOnceAndEnds)
{
    owner.AddRow("nope.wav", 0, 500);
    owner.AddRow("ta.wav", 600, 900);
    owner.BuildTable();
    PlaybackController player(&owner);
    player.PlayFrom(0);
    ASSERT_TRUE(WaitIdle(player));
    EXPECT_EQ(owner.Trace(), "P ");
    EXPECT_EQ(player.counters.devicesOpened, 0);
    // The dialog's modal loop needs the usual stack reserve.
    EXPECT_GE(owner.stackReserve, 1024u * 1024u);
}

TEST_F(ControllerTest, OutOfRangeStartIsAMissingTrack)
{
    AddStandardRows();
    PlaybackController player(&owner);
    player.PlayFrom(7);
    ASSERT_TRUE(WaitIdle(player));
    EXPECT_EQ(owner.Trace(), "P ");
}

TEST_F(ControllerTest, MissingLaterTrackComesAfterTheOldTrackDrained)
{
    owner.AddRow("ta.wav", 0, 300);
    owner.AddRow("nope.wav", 0, 300);
    owner.AddRow("ta.wav", 600, 900);
    owner.BuildTable();
    PlaybackController player(&owner);
    player.PlayFrom(0);
    ASSERT_TRUE(WaitIdle(player));
    // The next fragment is announced with the old track's last buffer, just
    // before its own track turns out to be missing.
    EXPECT_EQ(owner.Trace(), "H0 U0 H1 P ");
    EXPECT_EQ(player.counters.devicesOpen, 0);
}

// The next track's file is opened while the old track drains; a stop during
// that drain must not leave it open.
TEST_F(ControllerTest, StopDuringTheDrainClosesTheNextTrack)
{
    owner.AddRow("ta.wav", 2600, 3000);
    owner.AddRow("tb.wav", 100, 700);
    owner.BuildTable();
    PlaybackController player(&owner);
    HookGate::Arm(player, AudioPlayer::HookPoint::BeforeSleep, 20000, true);
    player.PlayFrom(0);
    ASSERT_EQ(WaitForSingleObject(HookGate::reached, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(player.waitingForDrain, 1);
    EXPECT_TRUE(player.trackFile.IsOpen());
    player.RequestStop();
    SetEvent(HookGate::open);
    SetEvent(HookGate::completions);
    ASSERT_TRUE(WaitIdle(player));
    EXPECT_EQ(owner.Trace(), "H0 U0 H1 U1 ");
    EXPECT_FALSE(player.trackFile.IsOpen());
}

TEST_F(ControllerTest, StopLetsQueuedBuffersPlayAndEndsTheFragment)
{
    owner.AddRow("ta.wav", 0, 3000);
    owner.AddRow("ta.wav", 3000, 3000);
    owner.BuildTable();
    PlaybackController player(&owner);
    player.PlayFrom(0);
    ASSERT_TRUE(WaitForEvents(1));
    player.RequestStop();
    ASSERT_TRUE(WaitIdle(player));
    EXPECT_EQ(owner.Trace(), "H0 U0 ");
    EXPECT_EQ(player.counters.devicesOpen, 0);
}

TEST_F(ControllerTest, StartDuringPurchaseDialogWaitsWithoutBlockingTheCaller)
{
    owner.AddRow("nope.wav", 0, 500);
    owner.AddRow("ta.wav", 600, 900);
    owner.BuildTable();
    owner.dialogGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    PlaybackController player(&owner);
    owner.player = &player;
    player.PlayFrom(0);
    ASSERT_EQ(WaitForSingleObject(owner.dialogShown, 20000), WAIT_OBJECT_0);

    DWORD before = GetTickCount();
    player.PlayFrom(1);
    EXPECT_LT(GetTickCount() - before, 500u) << "the caller must not wait for the dialog";
    Sleep(200);
    EXPECT_EQ(owner.Trace(), "P ") << "the new start must wait for the old thread";

    SetEvent(owner.dialogGate);
    ASSERT_TRUE(WaitIdle(player));
    EXPECT_EQ(owner.Trace(), "P H1 U1 ");
    EXPECT_EQ(owner.Starts(), "1 2 2 ");
    EXPECT_EQ(player.counters.threadsCreated, 2);
    EXPECT_EQ(player.counters.peakThreadsRunning, 1);
}

TEST_F(ControllerTest, StartStopAndStartBeforeTheFirstThreadRunsPlayOnce)
{
    AddStandardRows();
    PlaybackController player(&owner);
    owner.player = &player;
    HookGate::Arm(player, AudioPlayer::HookPoint::BeforeTakingStart, 20000, false);
    player.PlayFrom(0);
    player.RequestStop();
    player.PlayFrom(6);
    SetEvent(HookGate::open);
    ASSERT_TRUE(WaitIdle(player));
    EXPECT_EQ(owner.Trace(), "H6 U6 ");
    EXPECT_EQ(owner.Starts(), "2 2 ");
    EXPECT_EQ(player.counters.threadsCreated, 1);
}

// No buffer comes back meanwhile, so only the start's own wake can end the
// running thread's wait; it lands while the thread is between its wait's
// test and its sleep.
TEST_F(ControllerTest, StartWakesAThreadAboutToSleep)
{
    AddStandardRows();
    PlaybackController player(&owner);
    owner.player = &player;
    HookGate::Arm(player, AudioPlayer::HookPoint::BeforeSleep, 1000, true);
    player.PlayFrom(0);
    ASSERT_EQ(WaitForSingleObject(HookGate::reached, 20000), WAIT_OBJECT_0);
    player.PlayFrom(6);
    SetEvent(HookGate::open);
    for (DWORD start = GetTickCount(); player.counters.threadsCreated < 2 && GetTickCount() - start < 10000;)
        Sleep(1);
    EXPECT_EQ(player.counters.threadsCreated, 2) << "the first thread must hand over without a completion";
    SetEvent(HookGate::completions);
    ASSERT_TRUE(WaitIdle(player));
    EXPECT_EQ(owner.Trace(), "H0 U0 H1 U1 H6 U6 ");
    EXPECT_EQ(owner.Starts(), "1 1 1 1 2 2 ");
}

// The completion thread is held through the shutdown: the device closes all
// the same, and the shutdown ends once that thread lets go. Before that, a
// shutdown that cannot wait for the held playback thread returns the buffers
// while the completion thread holds the report of the first one, and the
// playback thread, which had tested the stop but not yet its slot, writes one
// more chunk into that slot: the late report must leave it to the device.
TEST_F(ControllerTest, ShutDownClosesTheDeviceWhileCompletionsAreHeld)
{
    owner.AddRow("ta.wav", 0, 3000);
    owner.BuildTable();
    PlaybackController player(&owner);
    static std::atomic<int> reports;
    reports = 0;
    HookGate::Arm(player, AudioPlayer::HookPoint::BeforeSlotTest, 20000, true);
    // The playback thread is held once all four slots are out, the completion
    // thread before each report and again after the first one was let go.
    player.testHook = [](AudioPlayer& p, AudioPlayer::HookPoint at) {
        if (at == AudioPlayer::HookPoint::BeforeCompletion && ++reports == 2)
            ResetEvent(HookGate::completions);
        if (at != AudioPlayer::HookPoint::BeforeSlotTest || p.slots[p.currentSlot].busy != 0)
            HookGate::Hold(p, at);
    };
    player.PlayFrom(0);
    ASSERT_EQ(WaitForSingleObject(HookGate::reached, 20000), WAIT_OBJECT_0);
    const BufferSlot& slot = player.slots[player.currentSlot];
    for (DWORD start = GetTickCount(); reports == 0 && GetTickCount() - start < 20000;)
        Sleep(1);
    EXPECT_FALSE(player.ShutDown(100));
    ASSERT_EQ(slot.busy, 0);
    waveOutPause(slot.device); // the next chunk stays queued
    SetEvent(HookGate::open);
    ASSERT_EQ(WaitForSingleObject(player.threadHandle.Get(), 20000), WAIT_OBJECT_0);
    ASSERT_EQ(slot.busy, 1);
    SetEvent(HookGate::completions);
    for (DWORD start = GetTickCount(); reports < 2 && GetTickCount() - start < 20000;)
        Sleep(1);
    EXPECT_EQ(slot.busy, 1);
    EXPECT_EQ(slot.header.dwFlags & (WHDR_PREPARED | WHDR_INQUEUE), static_cast<DWORD>(WHDR_PREPARED | WHDR_INQUEUE));
    bool closedWhileHeld = false;
    std::thread watcher([&] {
        for (DWORD start = GetTickCount(); player.counters.devicesOpen != 0 && GetTickCount() - start < 10000;)
            Sleep(1);
        closedWhileHeld = player.counters.devicesOpen == 0;
        SetEvent(HookGate::completions);
    });
    EXPECT_TRUE(player.ShutDown());
    watcher.join();
    EXPECT_TRUE(closedWhileHeld);
    EXPECT_TRUE(player.IsIdle());
}

TEST_F(ControllerTest, StartWhileStoppedNarrationDrains)
{
    AddStandardRows();
    PlaybackController player(&owner);
    owner.player = &player;
    player.PlayFrom(3);
    ASSERT_TRUE(WaitForEvents(1));
    player.RequestStop();
    player.PlayFrom(6);
    ASSERT_TRUE(WaitIdle(player));
    // The old narration's buffers come back and report, as its own, before
    // the new start reports anything.
    EXPECT_EQ(owner.Trace(), "H3 U3 H6 U6 ");
    EXPECT_EQ(owner.Starts(), "1 1 2 2 ");
    EXPECT_EQ(player.counters.peakThreadsRunning, 1);
    EXPECT_EQ(player.counters.peakDevicesOpen, 1);
    EXPECT_EQ(player.counters.devicesOpen, 0);
}

TEST_F(ControllerTest, RapidStartsAndStopsLeaveNothingBehind)
{
    AddStandardRows();
    PlaybackController player(&owner);
    owner.player = &player;
    std::mt19937 random(20240611);
    // Warm up once, so that the completion thread and the device driver's own
    // threads exist before handles are counted.
    player.PlayFrom(6);
    ASSERT_TRUE(WaitIdle(player));
    DWORD handlesBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);

    for (int cycle = 0; cycle < 500; ++cycle) {
        player.PlayFrom(static_cast<int32_t>(random() % 8)); // 7 is out of range
        Sleep(random() % 4);
        player.RequestStop();
        if (random() % 3 == 0)
            Sleep(random() % 3);
    }
    ASSERT_TRUE(WaitIdle(player, 120000));

    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore + 2);
    EXPECT_EQ(player.counters.devicesOpen, 0);
    EXPECT_LE(player.counters.peakDevicesOpen, 1);
    EXPECT_EQ(player.counters.peakThreadsRunning, 1);

    // Every highlighted fragment ended before the next one started, and in
    // the start that highlighted it; no report belongs to an older start
    // than the one before it.
    std::vector<OwnerEvent> events = owner.Events();
    int32_t lit = -1;
    uint32_t litStart = 0;
    for (size_t k = 0; k < events.size(); ++k) {
        const OwnerEvent& e = events[k];
        ASSERT_GE(e.start, k == 0 ? 1u : events[k - 1].start) << "event " << k << " of " << owner.Starts();
        if (e.kind == 'H') {
            ASSERT_EQ(lit, -1) << "event " << k << " of " << owner.Trace();
            lit = e.id;
            litStart = e.start;
        } else if (e.kind == 'U') {
            ASSERT_EQ(lit, e.id) << "event " << k << " of " << owner.Trace();
            ASSERT_EQ(litStart, e.start) << "event " << k << " of " << owner.Starts();
            lit = -1;
        }
    }
    EXPECT_EQ(lit, -1);
    printf("stress: %d devices opened, %d open at the end, peak %d open; %d threads made, peak %d running\n",
           player.counters.devicesOpened.load(), player.counters.devicesOpen.load(),
           player.counters.peakDevicesOpen.load(), player.counters.threadsCreated.load(),
           player.counters.peakThreadsRunning.load());
}

} // namespace
