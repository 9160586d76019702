#include "book/SyncFragment.h"

void SyncFragment::Fill(const WideString& track, const TrackTime& startTime, const TrackTime& endTime, int32_t set,
                        int32_t first, int32_t last)
{
    CopyWideString(trackFile, track);
    start = startTime;
    end = endTime;
    isSet = set;
    firstChar = first;
    lastChar = last;
}
