#pragma once

#include "shell/base/Log.h"

#include <QString>

#include <exception>

// The text of an error as the log shows it.
inline QString ErrorText(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

// Runs one step; an error ends only that step and leaves one log line
// "EXCEPTION " + step + ". " + the error text. True when the step finished.
template <class F> bool GuardStep(const QString& step, F&& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("EXCEPTION ") + step + QStringLiteral(". ") + ErrorText(e));
    } catch (...) {
        WriteLog(QStringLiteral("EXCEPTION ") + step + QStringLiteral(". "));
    }
    return false;
}
