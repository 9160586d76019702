// libFuzzer entry for the book splitter (clang builds only).
#include <cstdlib>

#include "../BookFuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!FuzzBookSplit(data, size))
        std::abort();
    return 0;
}
