#pragma once

#include "session/wire/Cp1251.h"
#include "shell/base/Log.h"
#include "shell/base/Services.h"
#include "support/ScriptedSession.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os) {
    QString shown = text;
    shown.replace(QChar(0), QStringLiteral("\\0"));
    *os << '"' << shown.toStdString() << '"';
}

namespace interesttest {

// Records every message box.
class Boxes : public IMessageBoxService {
public:
    int Show(QWidget*, const QString& text, const QString&, MsgKind kind, int buttons,
             bool) override {
        texts.append(text);
        kinds.push_back(kind);
        buttonSets.push_back(buttons);
        return MsgCancel;
    }
    QStringList texts;
    std::vector<MsgKind> kinds;
    std::vector<int> buttonSets;
};

// Pair-form parameters written out ("a=1\0b=2\0").
inline QString PairText(std::initializer_list<const char*> pieces) {
    QString text;
    for (const char* piece : pieces)
        text += QString::fromUtf8(piece) + QChar(0);
    return text;
}

// Sends the log to a file of its own for the lifetime of the object.
class ScopedLog {
public:
    ScopedLog() {
        saved_ = LogFileName();
        SetLogFileName(dir_.filePath(QStringLiteral("test.log")));
    }
    ~ScopedLog() { SetLogFileName(saved_); }
    QString Text() const {
        QFile f(dir_.filePath(QStringLiteral("test.log")));
        return f.open(QIODevice::ReadOnly) ? Cp1251::Decode(f.readAll()) : QString();
    }

private:
    QTemporaryDir dir_;
    QString saved_;
};

} // namespace interesttest
