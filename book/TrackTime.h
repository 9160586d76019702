#pragma once

#include <cstdint>

class TraceStream;

// A position inside one narration track. The fields are kept as given, not
// normalised: only FromMilliseconds yields fields inside their usual ranges.
class TrackTime {
public:
    TrackTime() : hours(0), minutes(0), seconds(0), milliseconds(0) {}
    TrackTime(int32_t h, int32_t m, int32_t s, int32_t ms) { Set(h, m, s, ms); }
    TrackTime(const TrackTime& other) = default;
    TrackTime& operator=(const TrackTime& other) = default;
    virtual ~TrackTime() {}

    void Set(int32_t h, int32_t m, int32_t s, int32_t ms)
    {
        hours = h;
        minutes = m;
        seconds = s;
        milliseconds = ms;
    }

    // Hours wrap at 60, so a length of 60 hours or more loses whole hours.
    void FromMilliseconds(uint32_t t);
    // Wraps modulo 2^32.
    uint32_t ToMilliseconds() const;

    int32_t Hours() const { return hours; }
    int32_t Minutes() const { return minutes; }
    int32_t Seconds() const { return seconds; }
    int32_t Milliseconds() const { return milliseconds; }

    int32_t hours;
    int32_t minutes;
    int32_t seconds;
    int32_t milliseconds;
};

// Appends "h:m:s:ms" without ending the line.
TraceStream& WriteTrackTime(TraceStream& stream, TrackTime time);
