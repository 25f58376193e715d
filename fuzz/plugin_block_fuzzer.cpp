// libFuzzer entry for the plug-in version block reader (see fuzz/CMakeLists.txt).
#include "shell/base/PluginBlock.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto strings = pluginblock::Parse(bytes);
    // What was read must build into a block that reads back the same.
    if (strings) {
        const QByteArray again = pluginblock::Build(*strings);
        if (!again.isEmpty() && pluginblock::Parse(again) != strings)
            std::abort();
    }
    return 0;
}
