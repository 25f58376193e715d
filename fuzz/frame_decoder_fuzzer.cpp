// libFuzzer target: bytes from a session server's socket.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFrameDecoder(data, size);
}
