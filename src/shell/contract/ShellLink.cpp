#include "shell/contract/ShellLink.h"

namespace {
TShellLink::Handlers& Current() {
    static TShellLink::Handlers handlers;
    return handlers;
}
} // namespace

void TShellLink::Connect(Handlers handlers) {
    Current() = std::move(handlers);
}

void TShellLink::Disconnect() {
    Current() = {};
}

void TShellLink::BroadcastToWindows(int eventNumber) {
    if (Current().Broadcast)
        Current().Broadcast(eventNumber);
}

void TShellLink::PostDeferredMessage(const QString& text, MsgKind kind, int buttons) {
    if (Current().PostMessage)
        Current().PostMessage(text, kind, buttons);
    else
        Services::MessageBox().Show(nullptr, text, QString(), kind, buttons);
}
