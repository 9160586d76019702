// libFuzzer entry for the translation parser (clang builds only).
#include <cstdlib>

#include "../BookFuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!FuzzTranslationParse(data, size))
        std::abort();
    return 0;
}
