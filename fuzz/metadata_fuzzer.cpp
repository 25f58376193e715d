// libFuzzer target: an answer's metadata and rows read through the typed getters.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzMetadataAnswer(data, size);
}
