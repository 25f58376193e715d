#include "Beep.h"

namespace {
std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}
} // namespace

void ShortBeep() {
    if (Handler())
        Handler()();
}

void SetBeepHandler(std::function<void()> handler) {
    Handler() = std::move(handler);
}
