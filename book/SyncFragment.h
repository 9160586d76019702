#pragma once

#include <cstdint>

#include "book/TrackTime.h"
#include "core/BoundedArray.h"
#include "core/WideString.h"

// One row of the text-to-narration alignment: units firstChar..lastChar
// (inclusive) of one paragraph are spoken between start and end of trackFile.
// Users treat a row whose isSet is not 1 as no fragment at all.
class SyncFragment {
public:
    SyncFragment() : paragraph(0), firstChar(0), lastChar(0), isSet(0) {}
    virtual ~SyncFragment() {}

    void SetTextSpan(int32_t first, int32_t last, int32_t paragraphIndex)
    {
        firstChar = first;
        lastChar = last;
        paragraph = paragraphIndex;
        isSet = 1;
    }

    // Leaves paragraph as it was.
    void Fill(const WideString& track, const TrackTime& startTime, const TrackTime& endTime, int32_t set,
              int32_t first, int32_t last);

    TrackTime& Start() { return start; }
    TrackTime& End() { return end; }
    WideString& TrackFile() { return trackFile; }
    const TrackTime& Start() const { return start; }
    const TrackTime& End() const { return end; }
    const WideString& TrackFile() const { return trackFile; }
    int32_t FirstChar() const { return firstChar; }
    int32_t LastChar() const { return lastChar; }
    int32_t ParagraphIndex() const { return paragraph; }
    int32_t IsSet() const { return isSet; }

    TrackTime start;
    TrackTime end;
    int32_t paragraph;
    int32_t firstChar;
    int32_t lastChar;
    WideString trackFile; // assigned from a terminated name, so it keeps its zero unit
    int32_t isSet;
};

// The fragments of the whole book in reading order, sized once at start-up.
class SyncTable : public BoundedArray<SyncFragment> {
};

constexpr uint32_t SyncFragmentCount = 6245;
