#include "audio/AudioSegment.h"

#include <new>

#include "book/SyncFragment.h"

uint32_t TrackNameLength(const TrackNameUnit* name)
{
    uint32_t n = 0;
    while (name[n] != 0)
        ++n;
    return n;
}

bool SameTrackName(const TrackNameUnit* a, const TrackNameUnit* b)
{
    if (a == nullptr || b == nullptr)
        return false;
    for (uint32_t k = 0;; ++k) {
        if (a[k] != b[k])
            return false;
        if (a[k] == 0)
            return true;
    }
}

TrackNameUnit* AudioSegment::AllocateName(uint32_t n)
{
    FreeName();
    trackName = new (std::nothrow) TrackNameUnit[static_cast<size_t>(n) + 1];
    return trackName;
}

void AudioSegment::FreeName()
{
    delete[] trackName;
    trackName = nullptr;
}

void AudioSegment::Assign(const AudioSegment& other)
{
    if (&other == this)
        return;
    TrackNameUnit* copy = nullptr;
    bool copied = true;
    if (other.trackName != nullptr) {
        uint32_t n = TrackNameLength(other.trackName);
        copy = new (std::nothrow) TrackNameUnit[static_cast<size_t>(n) + 1];
        if (copy != nullptr) {
            for (uint32_t k = 0; k <= n; ++k)
                copy[k] = other.trackName[k];
        } else {
            copied = false;
        }
    }
    if (copied) {
        FreeName();
        trackName = copy;
    }
    SetStart(other.start);
    SetEnd(other.end);
    fragmentId = other.fragmentId;
}

FragmentSegment::FragmentSegment(const SyncFragment& fragment, int32_t index)
{
    SetStart(fragment.Start());
    SetEnd(fragment.End());
    const WideString& file = fragment.TrackFile();
    uint32_t n = file.count;
    if (AllocateName(n) != nullptr) {
        for (uint32_t k = 0; k < n; ++k) {
            // The 8-bit build keeps the low byte of each unit: track names are
            // plain ASCII.
            trackName[k] = static_cast<TrackNameUnit>(file.At(k));
        }
        trackName[n] = 0;
    }
    fragmentId = fragment.IsSet() == 1 ? index : -1;
}
