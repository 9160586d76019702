#include "audio/AudioPlayer.h"

#include <new>

#include "audio/StreamMath.h"
#include "core/TraceStream.h"

TrackTime lastTrackDuration;

TrackTime GetLastTrackDuration()
{
    return lastTrackDuration;
}

namespace {

void RaisePeak(std::atomic<int32_t>& peak, int32_t value)
{
    int32_t seen = peak.load();
    while (value > seen && !peak.compare_exchange_weak(seen, value)) {
    }
}

// Whether the byte arithmetic can stream a track of this format: it needs
// channels, a frame that fits in a chunk and a byte rate with a millisecond
// divisor. Everything else (sample format, sizes, a byte rate a little off
// the frame rate) is for the device to take or refuse when it is opened.
bool CanStream(const WAVEFORMATEX& f)
{
    return f.nChannels != 0 && f.nBlockAlign != 0 && f.nBlockAlign <= ChunkBytes &&
           f.nAvgBytesPerSec >= MinimumBytesPerSecond;
}

} // namespace

BufferSlot::BufferSlot() : device(nullptr), busy(0), lastOfSegment(0), segmentSerial(0), start(0)
{
    ResetHeader();
}

BufferSlot::~BufferSlot()
{
    FreeData();
}

void BufferSlot::ResetHeader()
{
    ZeroMemory(&header, sizeof(header));
    header.dwLoops = 1;
    header.dwUser = static_cast<DWORD_PTR>(-1);
}

void BufferSlot::FreeData()
{
    delete[] header.lpData;
    header.lpData = nullptr;
}

AudioPlayer::AudioPlayer()
    : testHook(nullptr), segmentStart(0), readPosition(0), segmentEnd(0), threadSuspended(0), threadId(0),
      waitingForDrain(0), stopRequested(0), currentSlot(0), dataSize(0), dataOffset(0), startGeneration(0),
      threadRunning(false), startPending(false), shuttingDown(false), deviceRetired(false), playingStart(0),
      reportingStart(0), serialCounter(0), streamSerial(0), segmentChunksQueued(0), lastQueuedSlot(0),
      lastStartedSerial(0), lastFinishedSerial(0), announcedSerial(0), startOwed(false), detached(false), readAhead(0),
      queueHead(0), queueCount(0), completionQuit(false)
{
    ZeroMemory(&waveFormat, sizeof(waveFormat));
    ZeroMemory(&deviceFormat, sizeof(deviceFormat));
    InitializeConditionVariable(&wakeUp);
    TraceStream trace;
    trace.AppendString("Start Sound Player").EndLine();
    TraceStream::Flush(trace);
}

AudioPlayer::~AudioPlayer()
{
    {
        // A derived part that did not shut down is gone: no more reports.
        LockGuard guard(playbackLock);
        detached = true;
    }
    ShutDown();
}

bool AudioPlayer::StartPlaybackThread()
{
    LockGuard guard(startLock);
    if (shuttingDown)
        return false;
    // The new generation first: a thread of an earlier start must never see
    // the stop cleared while its own generation still looks current.
    ++startGeneration;
    stopRequested = 0;
    if (threadRunning) {
        // The running thread sees the new generation, stops, and hands over
        // to a fresh thread when it ends. Woken under the lock it tests and
        // sleeps under, so that the wake cannot fall between the two.
        startPending = true;
        LockGuard wakeGuard(playbackLock);
        WakeAllConditionVariable(&wakeUp);
        return true;
    }
    if (!EnsureCompletionThread())
        return false;
    DWORD id = 0;
    // 1000 bytes is the initial commitment only; without
    // STACK_SIZE_PARAM_IS_A_RESERVATION the reserve stays the program's
    // default, which the modal purchase dialog on this thread needs.
    HANDLE h = CreateThread(nullptr, 1000, PlaybackThreadMain, this, 0, &id);
    if (h == nullptr)
        return false;
    threadHandle.Reset(h);
    threadId = id;
    threadRunning = true;
    ++counters.threadsCreated;
    return true;
}

void AudioPlayer::RequestStop()
{
    stopRequested = 1;
    waitingForDrain = 0;
}

void AudioPlayer::SetCurrentSegment(const AudioSegment& segment)
{
    CurrentSlot().segment.Assign(segment);
    CurrentSlot().segmentSerial = ++serialCounter;
}

bool AudioPlayer::IsIdle()
{
    {
        LockGuard guard(startLock);
        if (threadRunning)
            return false;
    }
    LockGuard guard(playbackLock);
    return !AnySlotBusy() && !device.IsOpen();
}

bool AudioPlayer::AnySlotBusy() const
{
    for (const BufferSlot& s : slots) {
        if (s.busy != 0)
            return true;
    }
    return false;
}

void AudioPlayer::MarkSlotQueued()
{
    CurrentSlot().busy = 1;
    currentSlot = (currentSlot + 1) % 4;
}

void AudioPlayer::ReleaseBuffer(uint32_t i)
{
    BufferSlot& s = slots[i];
    waveOutUnprepareHeader(s.device, &s.header, sizeof(WAVEHDR));
    s.FreeData();
    s.busy = 0;
}

void AudioPlayer::InheritPreviousSlot()
{
    BufferSlot& prev = PreviousSlot();
    CurrentSlot().segment.Assign(prev.segment);
    CurrentSlot().segmentSerial = prev.segmentSerial;
    CurrentSlot().device = prev.device;
}

bool AudioPlayer::ShouldStop(uint32_t generation) const
{
    return stopRequested != 0 || startGeneration != generation;
}

DWORD WINAPI AudioPlayer::PlaybackThreadMain(LPVOID player)
{
    static_cast<AudioPlayer*>(player)->RunPlayback();
    return 0;
}

void AudioPlayer::RunPlayback()
{
    RaisePeak(counters.peakThreadsRunning, ++counters.threadsRunning);
    if (testHook != nullptr)
        testHook(*this, HookPoint::BeforeTakingStart);
    uint32_t generation;
    {
        // Taking the latest start answers every start made so far, also one
        // that came before this thread ran: none of them is still pending.
        LockGuard guard(startLock);
        generation = startGeneration;
        startPending = false;
    }
    PlayOneStart(generation);

    LockGuard guard(startLock);
    --counters.threadsRunning;
    threadRunning = false;
    if (startPending && !shuttingDown) {
        // A start came while this thread ran: it begins on its own thread now
        // that this one no longer touches the player.
        startPending = false;
        DWORD id = 0;
        HANDLE h = CreateThread(nullptr, 1000, PlaybackThreadMain, this, 0, &id);
        if (h != nullptr) {
            threadHandle.Reset(h);
            threadId = id;
            threadRunning = true;
            ++counters.threadsCreated;
        }
    }
}

void AudioPlayer::PlayOneStart(uint32_t generation)
{
    {
        // Buffers of an earlier start play out before this start reuses the
        // slots; their device is closed once they are back.
        LockGuard guard(playbackLock);
        WaitLocked([this] { return AnySlotBusy(); }, generation, true);
        if (!AnySlotBusy())
            CloseDeviceLocked();
        playingStart = generation;
        startOwed = false;
        announcedSerial = 0;
        segmentChunksQueued = 0;
    }
    if (!ShouldStop(generation)) {
        currentSlot = 0;
        openTrack.FreeName();
        trackFile.Close();
        bool first = true;
        bool ok = true;
        uint8_t r = LoadFirstSegment();
        while (r == 1 && !ShouldStop(generation) && ok) {
            TrackOpen opened = OpenSegmentTrack(generation);
            if (opened == TrackOpen::Stopped)
                break;
            ok = opened == TrackOpen::Opened;
            if (ok) {
                if (first) {
                    LockGuard guard(playbackLock);
                    lastStartedSerial = CurrentSlot().segmentSerial;
                    ReportLocked(true, CurrentSlot(), generation);
                    first = false;
                }
                StreamSegment(generation);
            } else {
                {
                    // No buffer is out now, so no other report overlaps
                    // the dialog's.
                    LockGuard guard(playbackLock);
                    reportingStart = generation;
                }
                OnTrackMissing();
            }
            if (ok) {
                // The completion handler may still read the id of the
                // segment in this slot.
                LockGuard guard(playbackLock);
                WaitLocked([this] { return IsCurrentSlotBusy(); }, generation, true);
            }
            if (ok && !ShouldStop(generation))
                r = LoadNextSegment();
        }
    }
    LockGuard guard(playbackLock);
    FreeSlotSegments();
    deviceRetired = true;
    if (!AnySlotBusy())
        CloseDeviceLocked();
}

AudioPlayer::TrackOpen AudioPlayer::OpenSegmentTrack(uint32_t generation)
{
    const TrackNameUnit* cur = CurrentSlot().segment.TrackName();
    if (trackFile.IsOpen() && device.IsOpen() && SameTrackName(cur, openTrack.TrackName())) {
        CurrentSlot().device = device.Get();
        return TrackOpen::Opened;
    }
    // The old track's queued buffers hold their data already, so its file
    // can go now. The new file is opened and its first chunk read while the
    // old track still sounds; only the device waits for the drain.
    trackFile.Close();
    openTrack.FreeName();
    const bool fileOpened = OpenTrackFile();
    if (fileOpened)
        ReadAheadFirstChunk();
    {
        // The old track's buffers all play before its device is given up;
        // the segment waiting in the current slot is reported as started
        // when the last of them comes back.
        LockGuard guard(playbackLock);
        if (AnySlotBusy()) {
            waitingForDrain = 1;
            announcedSerial = CurrentSlot().segmentSerial;
            WaitLocked([this] { return AnySlotBusy(); }, generation, true);
            waitingForDrain = 0;
            announcedSerial = 0;
        }
        if (!AnySlotBusy())
            CloseDeviceLocked();
    }
    if (ShouldStop(generation)) {
        // A stop during the drain: the segment reported as started with the
        // old track's last buffer never plays, so it ends here too.
        LockGuard guard(playbackLock);
        uint32_t serial = CurrentSlot().segmentSerial;
        if (lastStartedSerial == serial && lastFinishedSerial != serial) {
            lastFinishedSerial = serial;
            ReportLocked(false, CurrentSlot(), generation);
        }
        DropReadAhead();
        trackFile.Close();
        return TrackOpen::Stopped;
    }
    // A missing track is told only now, after the old one has played out.
    if (fileOpened && OpenTrackDevice())
        return TrackOpen::Opened;
    DropReadAhead();
    return TrackOpen::Missing;
}

void AudioPlayer::ReadAheadFirstChunk()
{
    {
        // A buffer of an earlier start may still be out in this slot.
        LockGuard guard(playbackLock);
        if (IsCurrentSlotBusy())
            return;
    }
    ComputeByteRange();
    mmioSeek(trackFile.Get(), static_cast<LONG>(dataOffset + segmentStart), SEEK_SET);
    if (IsSegmentRead())
        return;
    uint32_t size = AllocateChunk();
    if (size == 0)
        return;
    LockGuard guard(playbackLock);
    if (mmioRead(trackFile.Get(), CurrentSlot().header.lpData, static_cast<LONG>(size)) == static_cast<LONG>(size))
        readAhead = size;
    else
        CurrentSlot().FreeData(); // streaming starts over and meets the short read itself
}

void AudioPlayer::DropReadAhead()
{
    if (readAhead == 0)
        return;
    readAhead = 0;
    CurrentSlot().FreeData();
}

bool AudioPlayer::OpenTrackFile()
{
    TrackNameUnit* name = CurrentSlot().segment.trackName;
    if (name == nullptr || name[0] == 0)
        return false;
    // A pipe or a device is never handed to mmio, which would wait on it or
    // read it without end; nor a file whose offsets leave 32 bits.
    if (trackFile.checked.Open(name, MaxTrackBytes) != DiskFileState::Open)
        return false;
#ifdef UNICODE
    HMMIO file = mmioOpenW(name, nullptr, MMIO_READ | MMIO_ALLOCBUF);
#else
    HMMIO file = mmioOpenA(name, nullptr, MMIO_READ | MMIO_ALLOCBUF);
#endif
    if (file == nullptr)
        return false;
    trackFile.mmio.Reset(file);

    MMCKINFO riff;
    ZeroMemory(&riff, sizeof(riff));
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR)
        return false;

    MMCKINFO fmt;
    ZeroMemory(&fmt, sizeof(fmt));
    fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file, &fmt, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return false;
    // A PCM record has 16 bytes; anything shorter is no format at all.
    if (fmt.cksize < 16)
        return false;
    WAVEFORMATEXTENSIBLE format;
    ZeroMemory(&format, sizeof(format));
    LONG want = fmt.cksize < sizeof(format) ? static_cast<LONG>(fmt.cksize) : static_cast<LONG>(sizeof(format));
    if (mmioRead(file, reinterpret_cast<HPSTR>(&format), want) != want)
        return false;
    mmioAscend(file, &fmt, 0);
    if (!CanStream(format.Format))
        return false;
    // The device reads cbSize bytes after the record: the extensible part
    // when the chunk holds it whole, otherwise nothing, so that it never
    // reads past what was read.
    const uint16_t extension = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    const bool extensible = format.Format.wFormatTag == WAVE_FORMAT_EXTENSIBLE &&
                            format.Format.cbSize >= extension && want == static_cast<LONG>(sizeof(format));
    format.Format.cbSize = extensible ? extension : 0;
    waveFormat = format.Format;
    deviceFormat = format;

    MMCKINFO data;
    ZeroMemory(&data, sizeof(data));
    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(file, &data, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR)
        return false;
    dataSize = data.cksize;
    dataOffset = data.dwDataOffset;
    // A "data" size that runs past the end of the file plays what is there.
    // The size is the one the check saw, which the bound keeps in 32 bits.
    const uint32_t fileEnd = static_cast<uint32_t>(trackFile.checked.Size());
    if (fileEnd < dataOffset)
        return false;
    if (fileEnd - dataOffset < dataSize)
        dataSize = fileEnd - dataOffset;
    ComputeTrackDuration(dataSize, waveFormat);
    return true;
}

bool AudioPlayer::OpenTrackDevice()
{
    BufferSlot& slot = CurrentSlot();
    HWAVEOUT h = nullptr;
    if (waveOutOpen(&h, WAVE_MAPPER, &deviceFormat.Format, reinterpret_cast<DWORD_PTR>(&WaveOutCallback),
                    reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return false;
    {
        LockGuard guard(playbackLock);
        device.Reset(h);
        deviceRetired = false;
        ++counters.devicesOpened;
        RaisePeak(counters.peakDevicesOpen, ++counters.devicesOpen);
    }
    slot.device = h;
    openTrack.Assign(slot.segment);
    return true;
}

void AudioPlayer::ComputeTrackDuration(uint32_t size, const WAVEFORMATEX& format)
{
    lastTrackDuration.FromMilliseconds(TrackDurationMs(size, format.nAvgBytesPerSec));
    TraceStream trace;
    trace.AppendString("File duration ");
    WriteTrackTime(trace, lastTrackDuration).EndLine();
    TraceStream::Flush(trace);
}

void AudioPlayer::ComputeByteRange()
{
    const AudioSegment& s = CurrentSlot().segment;
    ByteRange r = ::ComputeByteRange(waveFormat.nAvgBytesPerSec, waveFormat.nBlockAlign, s.StartMilliseconds(),
                                   s.EndMilliseconds(), dataSize);
    segmentStart = r.start;
    segmentEnd = r.end;
    readPosition = segmentStart;
}

uint32_t AudioPlayer::AllocateChunk()
{
    uint32_t size = ChunkSize(segmentEnd - readPosition, waveFormat.nBlockAlign);
    BufferSlot& slot = CurrentSlot();
    slot.FreeData();
    slot.header.lpData = new (std::nothrow) char[size];
    if (slot.header.lpData == nullptr)
        return 0;
    readPosition += size;
    return size;
}

int AudioPlayer::ReadChunk()
{
    uint32_t size = readAhead;
    const bool alreadyRead = size != 0;
    readAhead = 0;
    if (!alreadyRead)
        size = AllocateChunk();
    if (size == 0)
        return -1;
    BufferSlot& slot = CurrentSlot();
    LockGuard guard(playbackLock);
    slot.device = device.Get();
    bool queuedOk = false;
    if (alreadyRead ||
        mmioRead(trackFile.Get(), slot.header.lpData, static_cast<LONG>(size)) == static_cast<LONG>(size)) {
        char* data = slot.header.lpData;
        slot.ResetHeader();
        slot.header.lpData = data;
        slot.header.dwBufferLength = size;
        slot.header.dwBytesRecorded = 0;
        slot.header.dwLoops = 1;
        slot.header.dwUser = currentSlot;
        // No loop flags: a loop played once sounds as a plain buffer does, but
        // Wine's wave-out plays silence after a looped buffer written to an
        // idle device, then reports later buffers done before playing them and,
        // when its thread falls behind, drops the ones queued after them.
        slot.header.dwFlags = 0;
        if (waveOutPrepareHeader(slot.device, &slot.header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR) {
            slot.lastOfSegment = IsSegmentRead() ? 1 : 0;
            // Marked busy before the device sees it, so that its completion
            // never finds the slot unmarked.
            slot.busy = 1;
            if (waveOutWrite(slot.device, &slot.header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR) {
                queuedOk = true;
            } else {
                slot.busy = 0;
                waveOutUnprepareHeader(slot.device, &slot.header, sizeof(WAVEHDR));
            }
        }
    }
    if (!queuedOk) {
        slot.FreeData();
        slot.lastOfSegment = 0;
        return -1;
    }
    slot.start = playingStart;
    ++segmentChunksQueued;
    lastQueuedSlot = currentSlot;
    if (startOwed) {
        // The segment before ended while nothing of this one was queued yet.
        startOwed = false;
        lastStartedSerial = slot.segmentSerial;
        ReportLocked(true, slot, playingStart);
    }
    int last = slot.lastOfSegment;
    currentSlot = (currentSlot + 1) % 4;
    return last;
}

void AudioPlayer::StreamSegment(uint32_t generation)
{
    if (readAhead == 0) {
        ComputeByteRange();
        mmioSeek(trackFile.Get(), static_cast<LONG>(dataOffset + segmentStart), SEEK_SET);
    }
    {
        LockGuard guard(playbackLock);
        segmentChunksQueued = 0;
        streamSerial = CurrentSlot().segmentSerial;
    }
    bool first = true;
    // A chunk read ahead may have been the whole segment.
    while (!ShouldStop(generation) && (!IsSegmentRead() || readAhead != 0)) {
        if (testHook != nullptr)
            testHook(*this, HookPoint::BeforeSlotTest);
        {
            LockGuard guard(playbackLock);
            if (IsCurrentSlotBusy()) {
                WaitLocked([this] { return IsCurrentSlotBusy(); }, generation, true);
                continue;
            }
        }
        if (!first)
            InheritPreviousSlot();
        first = false;
        int last = ReadChunk();
        if (last < 0) {
            // A short read means the track ends early, and a failed buffer
            // would fail again: the rest of this segment is dropped.
            readPosition = segmentEnd;
            break;
        }
        if (last == 1)
            break;
    }
    DropReadAhead();
    LockGuard guard(playbackLock);
    EndSegmentLocked();
}

void AudioPlayer::EndSegmentLocked()
{
    if (segmentChunksQueued > 0 && slots[lastQueuedSlot].lastOfSegment != 0)
        return; // its last buffer reports when it comes back
    if (segmentChunksQueued > 0 && slots[lastQueuedSlot].busy != 0) {
        // Cut short by a stop or a failed chunk: the newest buffer queued
        // ends the segment.
        slots[lastQueuedSlot].lastOfSegment = 1;
        return;
    }
    // Nothing of the segment is still queued. If it was reported as started,
    // it ends here, and the next segment to queue a buffer is the one that
    // starts.
    if (lastStartedSerial == streamSerial && lastFinishedSerial != streamSerial) {
        lastFinishedSerial = streamSerial;
        startOwed = true;
        ReportLocked(false, CurrentSlot(), playingStart);
    }
}

void AudioPlayer::ReportLocked(bool started, const BufferSlot& slot, uint32_t start)
{
    if (detached)
        return;
    reportingStart = start;
    if (started)
        OnSegmentStarted(slot.segment.FragmentId());
    else
        OnSegmentFinished(slot.segment.FragmentId());
}

void AudioPlayer::FreeSlotSegments()
{
    for (BufferSlot& s : slots)
        s.segment.FreeName();
}

template <typename Condition>
void AudioPlayer::WaitLocked(Condition stillWaiting, uint32_t generation, bool stopEndsWait)
{
    while (stillWaiting() && !(stopEndsWait && ShouldStop(generation))) {
        if (testHook != nullptr)
            testHook(*this, HookPoint::BeforeSleep);
        threadSuspended = 1;
        if (playbackLock.section != nullptr) {
            SleepConditionVariableCS(&wakeUp, playbackLock.section, INFINITE);
        } else {
            // Without a working lock there is nothing to sleep on.
            Sleep(5);
        }
        threadSuspended = 0;
    }
}

void AudioPlayer::CloseDeviceLocked()
{
    if (device.Close())
        --counters.devicesOpen;
    for (BufferSlot& s : slots)
        s.device = nullptr;
}

void CALLBACK AudioPlayer::WaveOutCallback(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    // The driver forbids calling wave-out or window functions here: the
    // buffer goes to the completion thread.
    if (message != WOM_DONE)
        return;
    AudioPlayer* player = reinterpret_cast<AudioPlayer*>(instance);
    const WAVEHDR* header = reinterpret_cast<const WAVEHDR*>(param1);
    if (player->testHook != nullptr)
        player->testHook(*player, HookPoint::InDeviceCallback);
    player->QueueCompletion(static_cast<uint32_t>(header->dwUser));
}

void AudioPlayer::QueueCompletion(uint32_t slotIndex)
{
    {
        LockGuard guard(queueLock);
        // At most four buffers are out at once, so the queue never fills.
        if (queueCount < 16) {
            queued[(queueHead + queueCount) % 16] = slotIndex;
            ++queueCount;
        }
    }
    SetEvent(completionEvent.Get());
}

bool AudioPlayer::EnsureCompletionThread()
{
    if (completionThread.Get() != nullptr)
        return true;
    if (completionEvent.Get() == nullptr)
        completionEvent.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (completionEvent.Get() == nullptr)
        return false;
    completionThread.Reset(CreateThread(nullptr, 0, CompletionThreadMain, this, 0, nullptr));
    return completionThread.Get() != nullptr;
}

DWORD WINAPI AudioPlayer::CompletionThreadMain(LPVOID player)
{
    static_cast<AudioPlayer*>(player)->RunCompletions();
    return 0;
}

void AudioPlayer::RunCompletions()
{
    for (;;) {
        WaitForSingleObject(completionEvent.Get(), INFINITE);
        for (;;) {
            uint32_t index;
            {
                LockGuard guard(queueLock);
                if (queueCount == 0)
                    break;
                index = queued[queueHead];
                queueHead = (queueHead + 1) % 16;
                --queueCount;
            }
            if (testHook != nullptr)
                testHook(*this, HookPoint::BeforeCompletion);
            if (index < 4)
                OnBufferDone(&slots[index].header);
        }
        if (completionQuit)
            return;
    }
}

void AudioPlayer::OnBufferDone(WAVEHDR* header)
{
    LockGuard guard(playbackLock);
    uint32_t i = static_cast<uint32_t>(header->dwUser);
    // Not done: the slot was released at a shutdown, before this report of
    // its old buffer came, and holds a new buffer now.
    if (i > 3 || slots[i].busy == 0 || (slots[i].header.dwFlags & WHDR_DONE) == 0)
        return;
    BufferSlot& slot = slots[i];
    ReleaseBuffer(i);
    if (slot.lastOfSegment != 0) {
        lastFinishedSerial = slot.segmentSerial;
        ReportLocked(false, slot, slot.start);
        // The segment that starts is the one whose buffer follows in the
        // ring; at a track change, the one waiting for the drain. When the
        // playback thread has queued nothing after this buffer yet, the next
        // buffer it queues reports the start.
        BufferSlot& next = NextSlot(i);
        if (next.busy != 0) {
            lastStartedSerial = next.segmentSerial;
            ReportLocked(true, next, next.start);
        } else if (announcedSerial != 0 && CurrentSlot().segmentSerial == announcedSerial) {
            // Announced by the playback thread that waits for this drain.
            lastStartedSerial = announcedSerial;
            announcedSerial = 0;
            ReportLocked(true, CurrentSlot(), playingStart);
        } else {
            startOwed = true;
        }
    }
    if (threadSuspended != 0) {
        if (waitingForDrain == 0) {
            WakeAllConditionVariable(&wakeUp);
        } else if (NextSlot(i).busy == 0) {
            waitingForDrain = 0;
            WakeAllConditionVariable(&wakeUp);
        }
    }
    if (deviceRetired && !AnySlotBusy())
        CloseDeviceLocked();
}

namespace {

// What is left of a time limit that started at `began`.
DWORD Remaining(DWORD began, DWORD milliseconds)
{
    if (milliseconds == INFINITE)
        return INFINITE;
    DWORD spent = GetTickCount() - began;
    return spent >= milliseconds ? 0 : milliseconds - spent;
}

} // namespace

bool AudioPlayer::ShutDown(DWORD milliseconds)
{
    const DWORD began = GetTickCount();
    {
        LockGuard guard(startLock);
        shuttingDown = true;
        startPending = false;
        stopRequested = 1;
        ++startGeneration;
    }
    // A thread waiting for a slot or a drain wakes, sees the stop and ends.
    bool returned = ReturnQueuedBuffers(began, milliseconds);
    bool threadEnded = WaitForPlaybackThread(began, milliseconds);
    if (!threadEnded)
        return false;
    // Also a chunk queued while the stop was on its way.
    returned = ReturnQueuedBuffers(began, milliseconds);
    {
        LockGuard guard(playbackLock);
        if (returned)
            CloseDeviceLocked();
        if (device.IsOpen())
            return false;
    }
    // No device is left to call back, so the completion thread has nothing
    // more to come.
    if (completionThread.Get() != nullptr) {
        completionQuit = true;
        SetEvent(completionEvent.Get());
        if (WaitForSingleObject(completionThread.Get(), Remaining(began, milliseconds)) != WAIT_OBJECT_0)
            return false;
        completionThread.Reset();
    }
    trackFile.Close();
    return true;
}

bool AudioPlayer::ReturnQueuedBuffers(DWORD began, DWORD milliseconds)
{
    for (;;) {
        {
            LockGuard guard(playbackLock);
            WakeAllConditionVariable(&wakeUp);
            if (device.IsOpen())
                waveOutReset(device.Get());
            // The reset marks every queued buffer done. They are released
            // here, not by the completion thread, which may be held up: the
            // device must not wait for it before it closes.
            for (uint32_t i = 0; i < 4; ++i) {
                if (slots[i].busy != 0 && (slots[i].header.dwFlags & WHDR_DONE) != 0)
                    ReleaseBuffer(i);
            }
            if (!AnySlotBusy())
                return true;
        }
        if (Remaining(began, milliseconds) == 0)
            return false;
        Sleep(1);
    }
}

bool AudioPlayer::WaitForPlaybackThread(DWORD began, DWORD milliseconds)
{
    for (;;) {
        HANDLE h = nullptr;
        {
            LockGuard guard(startLock);
            if (!threadRunning)
                return true;
            DuplicateHandle(GetCurrentProcess(), threadHandle.Get(), GetCurrentProcess(), &h, SYNCHRONIZE, FALSE,
                            0);
        }
        KernelHandle thread(h);
        DWORD wait = Remaining(began, milliseconds);
        if (wait == 0)
            return false;
        if (h == nullptr)
            Sleep(1);
        else
            WaitForSingleObject(h, wait);
    }
}
