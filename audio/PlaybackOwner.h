#pragma once

#include <cstdint>

#include "book/SyncFragment.h"

// What the playback controller needs from the window that shows the book.
// GetFragment runs on the playback thread; HighlightFragment runs there for
// the first fragment of a start and otherwise on the completion thread with
// playbackLock held, as does UnhighlightFragment; ShowPurchaseDialog runs a
// modal dialog on the playback thread. None of them may wait for the
// user-interface thread.
class PlaybackOwner {
public:
    virtual ~PlaybackOwner() {}

    // A copy of row i of the synchronisation table, or of its default row
    // when i is out of range; true when i is in range.
    virtual bool GetFragment(int32_t i, SyncFragment& out) = 0;
    virtual void HighlightFragment(int32_t i) = 0;
    virtual void UnhighlightFragment(int32_t i) = 0;
    virtual int32_t ShowPurchaseDialog() = 0;
};
