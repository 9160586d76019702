#pragma once

#include <atomic>
#include <cstdint>

#include "audio/AudioPlayer.h"
#include "audio/PlaybackOwner.h"
#include "book/SyncFragment.h"

// Reads the book aloud from a chosen fragment to the end, alternating each
// fragment with the gap of track between it and the next, and reports the
// fragments (never the gaps) to its owner as they start and finish.
class PlaybackController : public AudioPlayer {
public:
    explicit PlaybackController(PlaybackOwner* owner);
    ~PlaybackController() override;

    // User-interface thread: narration from fragment i on. The index reaches
    // currentFragment on the new playback thread, once no earlier thread can
    // touch it.
    void PlayFrom(int32_t i);

    uint8_t LoadNextSegment() override;
    uint8_t LoadFirstSegment() override;
    void OnSegmentFinished(int32_t fragmentId) override;
    void OnSegmentStarted(int32_t fragmentId) override;
    void SpareHook() override {}
    int32_t OnTrackMissing() override;

    // The gap after fragment currentFragment, into out; moves currentFragment
    // on. 1 when the fragment after the gap exists.
    uint8_t BuildGapSegment(SyncFragment& out);
    // End of the open track at whole seconds.
    TrackTime TrackEndTime();

    PlaybackOwner* owner;
    int32_t currentFragment;
    uint8_t gapQueued;

private:
    std::atomic<int32_t> requestedFragment;
    SyncFragment scratch;
};
