#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "core/BoundedArray.h"
#include "core/Geometry.h"
#include "view/DrawLayer.h"

// Objects the map layer may own; deleted through this destructor.
class MapObject {
public:
    virtual ~MapObject() {}
};

using OwningObjectMap = std::map<uint32_t, std::unique_ptr<MapObject>>;
using OwningBlockMap = std::map<uint32_t, std::unique_ptr<uint8_t[]>>;

// Keeps its place in the window's layer list; draws nothing and nothing
// fills its maps.
class MapLayer : public DrawLayer {
public:
    explicit MapLayer(WindowBase* ownerWindow);
    // Frees the blocks first, then deletes the objects.
    ~MapLayer() override;

    void ScrolledUp(int) override;
    void ScrolledDown(int) override;
    void Draw(HDC) override;

    OwningObjectMap objects;
    OwningBlockMap blocks;
};

class PolylineLayer : public DrawLayer {
public:
    explicit PolylineLayer(WindowBase* ownerWindow);
    ~PolylineLayer() override;

    void ScrolledUp(int) override;
    void ScrolledDown(int) override;
    void Draw(HDC) override;
};

// Keeps its place in the window's layer list; its point list is never sized.
class BookPolylineLayer : public PolylineLayer {
public:
    explicit BookPolylineLayer(WindowBase* ownerWindow);
    ~BookPolylineLayer() override;

    BoundedArray<Point> points;
};
