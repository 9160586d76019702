#include "book/TrackTime.h"

#include "core/TraceStream.h"

void TrackTime::FromMilliseconds(uint32_t t)
{
    hours = static_cast<int32_t>((t / 3600000u) % 60u);
    minutes = static_cast<int32_t>((t / 60000u) % 60u);
    seconds = static_cast<int32_t>((t / 1000u) % 60u);
    milliseconds = static_cast<int32_t>(t % 1000u);
}

uint32_t TrackTime::ToMilliseconds() const
{
    // Unsigned arithmetic: the sum wraps instead of overflowing.
    return static_cast<uint32_t>(milliseconds) + 1000u * static_cast<uint32_t>(seconds) +
           60000u * static_cast<uint32_t>(minutes) + 3600000u * static_cast<uint32_t>(hours);
}

TraceStream& WriteTrackTime(TraceStream& stream, TrackTime time)
{
    stream.AppendUnsigned(static_cast<uint32_t>(time.hours));
    stream.AppendString(":");
    stream.AppendUnsigned(static_cast<uint32_t>(time.minutes));
    stream.AppendString(":");
    stream.AppendUnsigned(static_cast<uint32_t>(time.seconds));
    stream.AppendString(":");
    stream.AppendUnsigned(static_cast<uint32_t>(time.milliseconds));
    return stream;
}
