#pragma once

// The map and polyline layers live together with the other layers that draw
// nothing.
#include "view/PlaceholderLayers.h"
