#pragma once

#include "session/wire/LocalPeer.h"

#include <QDir>
#include <QString>

// The per-user local socket of the stand-in chat program: one instance per user
// listens there and raises its window when asked ("show").
inline QString ChatSocketName() {
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty())
        return QDir(runtimeDir).filePath(QStringLiteral("orvexchat.sock"));
    return QDir(wire::PrivateSocketFolder()).filePath(QStringLiteral("orvexchat.sock"));
}
