#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <atomic>
#include <cstdint>

#include "audio/AudioHandles.h"
#include "audio/AudioSegment.h"
#include "book/TrackTime.h"
#include "core/CriticalLock.h"

// The largest track played: 32 times the edition's largest (8 MB). mmio
// walks a track's chunks one by one to find its data, about 4 ms a megabyte
// of small chunks, so the bound keeps that walk near a second; it also keeps
// every offset into the track within the signed 32 bits of an mmio seek. A
// larger track, or one that is no file on a disk, is refused like an
// unreadable one.
constexpr uint64_t MaxTrackBytes = 256u * 1024u * 1024u;

// One buffer of the ring that streams a track to the wave-out device.
class BufferSlot {
public:
    BufferSlot();
    virtual ~BufferSlot();
    BufferSlot(const BufferSlot&) = delete;
    BufferSlot& operator=(const BufferSlot&) = delete;

    // Every field 0 except the loop count 1 and the user value all bits set.
    void ResetHeader();
    void FreeData();

    WAVEHDR header;
    HWAVEOUT device;
    uint8_t busy;
    uint8_t lastOfSegment;
    AudioSegment segment;
    // Tells apart two segments that happen to have the same id (gaps are all
    // -1), so that each segment is reported started and finished once.
    uint32_t segmentSerial;
    // The start (its number from StartPlaybackThread) whose thread queued
    // this slot's chunk.
    uint32_t start;
};

// Counts kept for diagnostics: how many devices and playback threads exist at
// once, and at most.
struct PlaybackCounters {
    std::atomic<int32_t> devicesOpened{0};
    std::atomic<int32_t> devicesOpen{0};
    std::atomic<int32_t> peakDevicesOpen{0};
    std::atomic<int32_t> threadsCreated{0};
    std::atomic<int32_t> threadsRunning{0};
    std::atomic<int32_t> peakThreadsRunning{0};
};

// Streams stretches of RIFF WAVE tracks through a ring of four buffers on the
// wave-out device, from one playback thread per start. The derived class
// supplies the segments and hears when each one finishes and the next starts.
//
// Threads: StartPlaybackThread and RequestStop run on the user-interface
// thread. RequestStop takes no lock; StartPlaybackThread takes playbackLock,
// which the other threads hold only briefly, just to wake a playback thread
// that sleeps under it, and never waits for that thread to end. The playback
// thread reads, prepares and writes buffers. The device's callback only
// queues the finished buffer; a completion thread of the player then releases
// it, reports and wakes the playback thread, all under playbackLock, buffer by
// buffer in the order the device returned them.
class AudioPlayer {
public:
    AudioPlayer();
    virtual ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    // Puts the next segment into the current slot with SetCurrentSegment; 1
    // to go on, anything else ends the playback after the segment just
    // streamed.
    virtual uint8_t LoadNextSegment() = 0;
    // Puts the first segment into the current slot; 1 to start.
    virtual uint8_t LoadFirstSegment() = 0;
    // playbackLock held: the segment with this id has played, mostly told
    // on the completion thread as its last buffer comes back, on the
    // playback thread when nothing of it is still queued.
    virtual void OnSegmentFinished(int32_t fragmentId) = 0;
    // playbackLock held: the segment with this id starts sounding; on the
    // playback thread for the first segment of a start and for one whose
    // first buffer is queued after the one before ended, otherwise on the
    // completion thread.
    virtual void OnSegmentStarted(int32_t fragmentId) = 0;
    virtual void SpareHook() = 0;
    // Playback thread: the current segment's track cannot be played; the
    // thread ends once this returns.
    virtual int32_t OnTrackMissing() = 0;

    // Starts playback on a new thread. When the thread of an earlier start
    // still runs, the new start waits in the player for that thread to end
    // (it has been told to stop) and begins on a fresh thread then; the
    // calling thread never waits for it. False when no thread could be made.
    bool StartPlaybackThread();
    // Asks the playback thread to stop at its next check. Queued buffers play
    // to their end and are reported as usual.
    void RequestStop();
    // The current slot's segment becomes a copy of segment.
    void SetCurrentSegment(const AudioSegment& segment);
    // Ends playback for good: stops the playback thread, hands queued
    // buffers back at once (unreported), closes the device and ends the
    // completion thread. True once all of that is done; false when a thread
    // did not end within the time, and then the player, which that thread
    // may still use, must stay alive. Derived classes call it from their
    // destructor so that late reports still reach them.
    bool ShutDown(DWORD milliseconds = INFINITE);

    // No playback thread, no buffer queued and no device open.
    bool IsIdle();

    // Number of the latest start; each StartPlaybackThread counts one up.
    uint32_t LatestStart() const { return startGeneration; }
    // Inside a report (OnSegmentFinished, OnSegmentStarted, OnTrackMissing):
    // the number of the start the report belongs to, which may be older
    // than the latest when buffers of a stopped start come back.
    uint32_t ReportingStart() const { return reportingStart; }

    PlaybackCounters counters;

    // Where a test can hold a thread of the player to drive an interleaving.
    enum class HookPoint {
        BeforeTakingStart, // a new playback thread, before it learns which start it plays
        BeforeSleep,       // the playback thread, playbackLock held, its wait's test just made
        BeforeSlotTest,    // the playback thread, its stop just tested, before it looks at the slot for its next chunk
        BeforeCompletion,  // the completion thread, before it handles a finished buffer
        InDeviceCallback,  // the device's thread, as it reports a finished buffer
    };
    // Null in the program.
    void (*testHook)(AudioPlayer& player, HookPoint point);

    uint32_t segmentStart;
    uint32_t readPosition;
    uint32_t segmentEnd;
    KernelHandle threadHandle;
    uint8_t threadSuspended;
    uint32_t threadId;
    TrackFile trackFile;
    WAVEFORMATEX waveFormat;
    // What the device is opened with: waveFormat, followed by the rest of an
    // extensible record (valid bits, speaker mask, sample format) when the
    // track has one, as many tools write for 24-bit or many channels.
    WAVEFORMATEXTENSIBLE deviceFormat;
    BufferSlot slots[4];
    std::atomic<uint8_t> waitingForDrain;
    std::atomic<uint8_t> stopRequested;
    uint32_t currentSlot;
    uint32_t dataSize;
    uint32_t dataOffset;


private:
    enum class TrackOpen { Opened, Missing, Stopped };

    static DWORD WINAPI PlaybackThreadMain(LPVOID player);
    static DWORD WINAPI CompletionThreadMain(LPVOID player);
    static void CALLBACK WaveOutCallback(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                         DWORD_PTR param2);

    BufferSlot& CurrentSlot() { return slots[currentSlot]; }
    BufferSlot& PreviousSlot() { return slots[(currentSlot + 3) % 4]; }
    BufferSlot& NextSlot(uint32_t i) { return slots[(i + 1) % 4]; }
    bool IsCurrentSlotBusy() { return CurrentSlot().busy != 0; }
    bool AnySlotBusy() const;
    void MarkSlotQueued();
    bool IsSegmentRead() const { return readPosition >= segmentEnd; }
    void ReleaseBuffer(uint32_t i);
    void InheritPreviousSlot();

    void RunPlayback();
    void PlayOneStart(uint32_t generation);
    bool ShouldStop(uint32_t generation) const;
    TrackOpen OpenSegmentTrack(uint32_t generation);
    bool OpenTrackFile();
    // Reads the current segment's first chunk into the current slot before
    // there is a device to prepare it on (readAhead).
    void ReadAheadFirstChunk();
    void DropReadAhead();
    bool OpenTrackDevice();
    void ComputeTrackDuration(uint32_t size, const WAVEFORMATEX& format);
    void ComputeByteRange();
    uint32_t AllocateChunk();
    // 1: the chunk ended its segment; 0: more to come; -1: the chunk could not
    // be queued.
    int ReadChunk();
    void StreamSegment(uint32_t generation);
    void EndSegmentLocked();
    // playbackLock held: tells the derived class, stamped with the start.
    void ReportLocked(bool started, const BufferSlot& slot, uint32_t start);
    void FreeSlotSegments();
    // With playbackLock held once: sleeps until stillWaiting() is false or
    // the start is stopped. The test and the sleep are one step under the
    // lock, so a completion in between is not lost.
    template <typename Condition>
    void WaitLocked(Condition stillWaiting, uint32_t generation, bool stopEndsWait);
    void CloseDeviceLocked();
    // False when buffers were still out when the time ran out.
    bool ReturnQueuedBuffers(DWORD began, DWORD milliseconds);
    bool WaitForPlaybackThread(DWORD began, DWORD milliseconds);
    void OnBufferDone(WAVEHDR* header);
    void QueueCompletion(uint32_t slotIndex);
    void RunCompletions();
    bool EnsureCompletionThread();

    // Who may touch the player: the generation of the latest start, the flag
    // of a running playback thread and a start waiting for it.
    CriticalLock startLock;
    std::atomic<uint32_t> startGeneration;
    bool threadRunning;
    bool startPending;
    bool shuttingDown;

    // The device of the open track; the slots' device fields copy it.
    WaveOutDevice device;
    // No thread writes to the device any more: close it once its buffers are
    // back.
    bool deviceRetired;
    // Name of the track open in trackFile, to decide whether the next segment
    // goes on in it.
    AudioSegment openTrack;

    // Report bookkeeping, under playbackLock.
    uint32_t playingStart; // the start of the running playback thread
    uint32_t reportingStart;
    uint32_t serialCounter;
    uint32_t streamSerial;
    uint32_t segmentChunksQueued;
    uint32_t lastQueuedSlot;
    uint32_t lastStartedSerial;
    uint32_t lastFinishedSerial;
    uint32_t announcedSerial;
    bool startOwed;
    bool detached;
    // Bytes of the current segment's first chunk already read into the
    // current slot, its byte range computed and its file positioned after
    // it; 0 when none.
    uint32_t readAhead;

    CONDITION_VARIABLE wakeUp;

    // Finished buffers handed from the device's callback to the completion
    // thread, oldest first.
    CriticalLock queueLock;
    uint32_t queued[16];
    uint32_t queueHead;
    uint32_t queueCount;
    KernelHandle completionEvent;
    KernelHandle completionThread;
    std::atomic<bool> completionQuit;
};

// Duration of the track opened last (zero before any).
extern TrackTime lastTrackDuration;
TrackTime GetLastTrackDuration();
