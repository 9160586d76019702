#pragma once

// Older names of the handle owners, kept for the test drivers that use them.
#include "core/WinHandles.h"

using ScopedHandle = KernelHandle;
using ScopedRegKey = RegKey;
template <typename T>
using ScopedGdiObject = GdiObject<T>;
