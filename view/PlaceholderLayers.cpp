#include "view/PlaceholderLayers.h"

MapLayer::MapLayer(WindowBase* ownerWindow) : DrawLayer(ownerWindow) {}

MapLayer::~MapLayer()
{
    blocks.clear();
    objects.clear();
}

void MapLayer::ScrolledUp(int) {}
void MapLayer::ScrolledDown(int) {}
void MapLayer::Draw(HDC) {}

PolylineLayer::PolylineLayer(WindowBase* ownerWindow) : DrawLayer(ownerWindow) {}
PolylineLayer::~PolylineLayer() {}

void PolylineLayer::ScrolledUp(int) {}
void PolylineLayer::ScrolledDown(int) {}
void PolylineLayer::Draw(HDC) {}

BookPolylineLayer::BookPolylineLayer(WindowBase* ownerWindow) : PolylineLayer(ownerWindow) {}
BookPolylineLayer::~BookPolylineLayer() {}
