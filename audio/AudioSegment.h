#pragma once

#include <cstdint>

#include "book/TrackTime.h"

class SyncFragment;

// Unit of a track file name as it is handed to the mmio open.
#ifdef UNICODE
using TrackNameUnit = wchar_t;
#else
using TrackNameUnit = char;
#endif

// Length of a zero-terminated track name, in units.
uint32_t TrackNameLength(const TrackNameUnit* name);
// Exact, case-sensitive comparison; false when either name is missing.
bool SameTrackName(const TrackNameUnit* a, const TrackNameUnit* b);

// One stretch of one track to play. Each segment owns its name buffer alone;
// copies go through Assign, which makes a buffer of its own.
class AudioSegment {
public:
    AudioSegment() : trackName(nullptr), fragmentId(-1) {}
    virtual ~AudioSegment() { FreeName(); }

    AudioSegment(const AudioSegment&) = delete;
    AudioSegment& operator=(const AudioSegment&) = delete;

    uint32_t StartMilliseconds() const { return start.ToMilliseconds(); }
    uint32_t EndMilliseconds() const { return end.ToMilliseconds(); }
    void SetStart(const TrackTime& t) { start.Set(t.hours, t.minutes, t.seconds, t.milliseconds); }
    void SetEnd(const TrackTime& t) { end.Set(t.hours, t.minutes, t.seconds, t.milliseconds); }
    void SetFragmentId(int32_t id) { fragmentId = id; }
    int32_t FragmentId() const { return fragmentId; }
    const TrackNameUnit* TrackName() const { return trackName; }

    // Room for n units and a terminator; null (and no name) when the
    // allocation failed.
    TrackNameUnit* AllocateName(uint32_t n);
    void FreeName();
    // A failed name allocation keeps this segment's previous name; the times
    // and the id are copied in any case.
    void Assign(const AudioSegment& other);

    TrackNameUnit* trackName;
    TrackTime start;
    TrackTime end;
    int32_t fragmentId;
};

// A segment made from one row of the synchronisation table and its index. A
// row whose set flag is not 1 (a gap, or a row never filled) gets id -1.
class FragmentSegment : public AudioSegment {
public:
    FragmentSegment(const SyncFragment& fragment, int32_t index);
};
