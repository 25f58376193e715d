#include "WindowCatalog.h"

#include <array>
#include <optional>

namespace {
std::array<std::optional<WindowEntry>, static_cast<size_t>(WindowCommand::Count_)>& Entries() {
    static std::array<std::optional<WindowEntry>, static_cast<size_t>(WindowCommand::Count_)> e;
    return e;
}
} // namespace

void TWindowCatalog::Register(WindowCommand command, WindowEntry entry) {
    Entries()[static_cast<size_t>(command)] = std::move(entry);
}

void TWindowCatalog::Unregister(WindowCommand command) {
    Entries()[static_cast<size_t>(command)].reset();
}

const WindowEntry* TWindowCatalog::Find(WindowCommand command) {
    const auto& e = Entries()[static_cast<size_t>(command)];
    return e && e->Create ? &*e : nullptr;
}
