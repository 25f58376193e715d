#pragma once

#include "shell/base/Services.h"

#include <QString>

#include <functional>

// What a child window asks of the main window without knowing it: the broadcast of a
// window event to every window, and a message box posted to open after the current
// handler returns. The main window connects both while it lives; without it the
// broadcast reaches nobody and the message is shown at once.
class TShellLink {
public:
    struct Handlers {
        std::function<void(int eventNumber)> Broadcast;
        std::function<void(const QString& text, MsgKind kind, int buttons)> PostMessage;
    };
    static void Connect(Handlers handlers);
    static void Disconnect();

    static void BroadcastToWindows(int eventNumber);
    static void PostDeferredMessage(const QString& text, MsgKind kind, int buttons);
};
