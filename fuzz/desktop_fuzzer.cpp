// libFuzzer target: a stored desktop unscrambled and parsed into restore steps.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDesktopText(data, size);
}
