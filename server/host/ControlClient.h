#pragma once

#include <QString>
#include <QStringList>

// The command-line side of the control requests: `parvane --ctl ACTION [key=value ...]`.
// Connects to the running server, sends one control request and prints its answer.
namespace ControlClient {
// Returns the process exit code: 0 done, 1 refused by the server, 2 no server / no answer.
int Run(const QString& socketName, const QStringList& arguments, QString* output,
        int timeoutMs = 5000);
} // namespace ControlClient
