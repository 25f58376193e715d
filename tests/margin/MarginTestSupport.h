#pragma once

#include "shell/base/Services.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QStringList>

#include <ostream>

#ifndef MARGIN_TEST_HAS_PRINTTO
inline void PrintTo(const QString& text, std::ostream* os) {
    QString shown = text;
    shown.replace(QChar(0), QStringLiteral("\\0"));
    *os << '"' << shown.toStdString() << '"';
}
#endif

namespace margintest {

// Records the sounds played and the settings opened instead of making a noise.
class SoundRecorder : public ISoundService {
public:
    void Beep() override { ++beeps; }
    void PlayFile(const QString& path) override { played << path; }
    void OpenSoundSettings() override { ++settingsOpened; }
    QStringList played;
    int beeps = 0;
    int settingsOpened = 0;
};

// Records every message box and answers with a chosen button.
class ScriptedBoxes : public IMessageBoxService {
public:
    int Show(QWidget*, const QString& text, const QString&, MsgKind, int, bool) override {
        texts << text;
        return answer;
    }
    QStringList texts;
    int answer = MsgOk;
};

// Pieces of a parameter string, each followed by NUL.
inline QString Pieces(std::initializer_list<const char*> pieces) {
    QString text;
    for (const char* p : pieces)
        text += QString::fromUtf8(p) + QChar(0);
    return text;
}

// One client row of the margin list: number, name, percent, start, critical, account, mode.
struct MarginRow {
    const char* client;
    const char* percent;
    const char* start;
    const char* critical;
    const char* account = "Счет 1";
    const char* mode = "Маржинальный";
};

inline ScriptedAnswer MarginList(std::initializer_list<MarginRow> rows) {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.650"))
        .Int(QStringLiteral("id_cli"))
        .Text(QStringLiteral("NAME_CLI"))
        .Text(QStringLiteral("MARGIN_PERCENT"))
        .Text(QStringLiteral("START_MARGIN_LEVEL"))
        .Text(QStringLiteral("CRITICAL_MARGIN_LEVEL"))
        .Text(QStringLiteral("MARGIN_ACC_NAME"))
        .Text(QStringLiteral("MARGIN_MODE_NAME"));
    for (const MarginRow& r : rows)
        b.Row({QString::fromUtf8(r.client).toInt(),
               QStringLiteral("Клиент ") + QString::fromUtf8(r.client), r.percent, r.start,
               r.critical, r.account, r.mode});
    return b.Build();
}

inline ScriptedAnswer CommandAnswer(const char* code) {
    return AnswerBuilder().Row({code, ""}).Build();
}

} // namespace margintest
