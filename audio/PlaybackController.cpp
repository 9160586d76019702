#include "audio/PlaybackController.h"

#include "audio/AudioSegment.h"

PlaybackController::PlaybackController(PlaybackOwner* o)
    : owner(o), currentFragment(0), gapQueued(0), requestedFragment(0)
{
}

PlaybackController::~PlaybackController()
{
    ShutDown();
}

void PlaybackController::PlayFrom(int32_t i)
{
    requestedFragment = i;
    StartPlaybackThread();
}

uint8_t PlaybackController::LoadFirstSegment()
{
    currentFragment = requestedFragment;
    owner->GetFragment(currentFragment, scratch);
    FragmentSegment segment(scratch, currentFragment);
    SetCurrentSegment(segment);
    gapQueued = 0;
    return 1;
}

uint8_t PlaybackController::LoadNextSegment()
{
    uint8_t r;
    if (gapQueued == 0) {
        gapQueued = 1;
        r = BuildGapSegment(scratch);
    } else {
        owner->GetFragment(currentFragment, scratch);
        gapQueued = 0;
        r = 1;
    }
    FragmentSegment segment(scratch, currentFragment);
    SetCurrentSegment(segment);
    return r;
}

void PlaybackController::OnSegmentFinished(int32_t fragmentId)
{
    if (fragmentId != -1)
        owner->UnhighlightFragment(fragmentId);
}

void PlaybackController::OnSegmentStarted(int32_t fragmentId)
{
    if (fragmentId != -1)
        owner->HighlightFragment(fragmentId);
}

int32_t PlaybackController::OnTrackMissing()
{
    return owner->ShowPurchaseDialog();
}

uint8_t PlaybackController::BuildGapSegment(SyncFragment& out)
{
    SyncFragment q;
    SyncFragment s;
    owner->GetFragment(currentFragment, q);
    bool exists = owner->GetFragment(currentFragment + 1, s);
    ++currentFragment;
    const WideString& a = q.TrackFile();
    const WideString& b = s.TrackFile();
    bool sameTrack = a.count == b.count;
    for (uint32_t k = 0; sameTrack && k < a.count; ++k)
        sameTrack = a.At(k) == b.At(k);
    TrackTime end = sameTrack ? s.Start() : TrackEndTime();
    out.Fill(q.TrackFile(), q.End(), end, 0, 0, 0);
    return exists ? 1 : 0;
}

TrackTime PlaybackController::TrackEndTime()
{
    TrackTime d = GetLastTrackDuration();
    return TrackTime(d.Hours(), d.Minutes(), d.Seconds(), 0);
}
