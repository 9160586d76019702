#pragma once

#include <windows.h>

class WindowBase;

// One plane of the reading view. The window paints its layers in list order,
// so a later layer covers an earlier one, and tells every layer of each
// scroll step. Layers keep their positions in document pixels and take the
// owner's shift off when they draw.
class DrawLayer {
public:
    explicit DrawLayer(WindowBase* ownerWindow) : owner(ownerWindow) {}
    virtual ~DrawLayer() {}

    DrawLayer(const DrawLayer&) = delete;
    DrawLayer& operator=(const DrawLayer&) = delete;

    // The shift has just been reduced (or increased); pixels is the amount
    // asked for, which can exceed the distance actually moved.
    virtual void ScrolledUp(int pixels) = 0;
    virtual void ScrolledDown(int pixels) = 0;
    // dc is the window's kept device context, never a paint context. A paint
    // clips it to the bounding rectangle of the update region, widened to
    // take in the rows owed to that paint; outside, the window keeps what it
    // shows.
    virtual void Draw(HDC dc) = 0;

    WindowBase* Owner() const { return owner; }

protected:
    WindowBase* owner; // not owned
};
