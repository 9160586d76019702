#pragma once

#include <cstdint>

#include "book/SyncFragment.h"

// What the playback controller needs from the window that shows the book.
// GetFragment runs on the playback thread. HighlightFragment and
// UnhighlightFragment run with playbackLock held, mostly on the completion
// thread as buffers come back, but also on the playback thread: the first
// fragment of a start, a fragment whose first buffer is queued after the one
// before it has already ended, a fragment that ends with nothing of it still
// queued (a stop, a failed read), and one announced at a track change whose
// narration stops during the drain. None of these may wait for the
// user-interface thread. ShowPurchaseDialog runs a modal dialog on the
// playback thread, and the dialog's modal loop sends messages to its owner
// window, which wait for the user-interface thread; so it is called with no
// lock held that the user-interface thread may take.
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
