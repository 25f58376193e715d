#pragma once

// A main window on scripted sessions, with the helpers the start-up tests share.

#include "session/TBrokerSession.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Beep.h"
#include "shell/base/Log.h"
#include "shell/base/Registry.h"
#include "shell/main/MainForm.h"
#include "shell/main/StatusPanels.h"
#include "support/ScriptedSession.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// One answer row from its fields.
inline QString RowOf(const QStringList& fields) {
    QString row;
    for (const QString& f : fields)
        row += f + QChar(0);
    return row;
}

inline ScriptedAnswer Rows(const std::vector<QStringList>& rows,
                           const QString& chtoEcho = QString()) {
    AnswerBuilder b;
    for (const QStringList& r : rows)
        b.RawRow(RowOf(r));
    if (!chtoEcho.isEmpty())
        b.Param(QStringLiteral("chto"), chtoEcho);
    return b.Build();
}

class MainFormFixture : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORVEX_CONFIG_DIR", dir_.path().toLocal8Bit());
        TRegistry::ReloadStores();
        SetBeepHandler([this] { ++beeps_; });
        form_ = std::make_unique<TMainForm>();
        logName_ = dir_.filePath(QStringLiteral("test.log"));
        SetLogFileName(logName_);
    }
    void TearDown() override {
        form_.reset();
        SetBeepHandler(nullptr);
        qunsetenv("ORVEX_CONFIG_DIR");
        TRegistry::ReloadStores();
    }

    ScriptedSession& Ses(const char* name) { return hub_.Get(QString::fromLatin1(name)); }

    // The texts of the log lines written since the fixture started.
    QStringList LogTexts() const {
        QFile f(logName_);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList texts;
        for (const QString& line :
             Cp1251::Decode(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            // "dd.MM.yy hh:mm:ss  <thread> <text>"
            const int afterStamp = line.indexOf(QStringLiteral("  "));
            const int afterThread = line.indexOf(QLatin1Char(' '), afterStamp + 2);
            texts.append(line.mid(afterThread + 1));
        }
        return texts;
    }
    void ClearLog() { QFile::remove(logName_); }
    void ClearAllSent() {
        for (ScriptedSession* s : hub_.Live())
            s->ClearSent();
    }
    // Every request of every session, as "session:name:chto".
    QStringList AllSent() const {
        QStringList all;
        for (ScriptedSession* s : hub_.Live())
            for (const SentRequest& r : s->Sent())
                all.append(s->Name() + QLatin1Char(':') + r.name + QLatin1Char(':') +
                           r.Param(QStringLiteral("chto")));
        all.sort();
        return all;
    }

    void Login() { Ses("SesTorg").RaiseLogin(); }
    void FeedTorg(const QString& day, const QString& date = QStringLiteral("05.03.2007"),
                  const QString& state = QStringLiteral("1")) {
        Ses("SesTorg").FeedData(Rows({{day, date, state}}));
    }
    void FeedKto(const QString& client, const QString& session,
                 const QString& caption = QStringLiteral("Брокер: Дилер"),
                 const QString& kind = QStringLiteral("1")) {
        Ses("SesKto").FeedData(Rows({{client, caption, kind, session}}));
    }
    // Answers every reference request the chain has sent since the last clear.
    void FeedReferences() {
        auto sent = [&](const char* ses, const char* chto) {
            return !Ses(ses).SentTo(QStringLiteral("SpisokBB"), QString::fromLatin1(chto)).empty();
        };
        if (sent("SesCli", "402"))
            Ses("SesCli").FeedData(Rows({{"1", "Иванов", "0"}, {"2", "Петров", "1"}}));
        if (sent("SesAcc", "403"))
            Ses("SesAcc").FeedData(Rows({{"10", "Счет Иванова", "1"}, {"20", "Счет 2", "2"}}));
        if (sent("SesAccProv", "407"))
            Ses("SesAccProv").FeedData(Rows({{"10", "Счет Иванова", "1"}}));
        if (sent("SesTs", "404"))
            Ses("SesTs").FeedData(Rows({{"7", "ММВБ", "%CODE%"}}));
        if (sent("SesBoard", "405"))
            Ses("SesBoard").FeedData(Rows({{"TQBR", "Акции", "7", "", "1"}}));
        if (sent("SesBum", "409"))
            Ses("SesBum").FeedData(
                Rows({{"100", "Газпром", "GAZP", "TQBR", "10", "0", "2", "", "", "7", "0"}}));
        if (sent("sesOrderStatus", "408"))
            Ses("sesOrderStatus")
                .FeedData(Rows({{"10", "Активна"}, {"11", "Исполнена"}}, QStringLiteral("408")));
        if (sent("sesUserInfo", "420"))
            Ses("sesUserInfo").FeedData(Rows({{"1", "1", "1", "Метка счета"}}, "420"));
        if (sent("sesUserInfo", "421"))
            Ses("sesUserInfo").FeedData(Rows({{"5", "10", "1", "ИИС"}}, "421"));
    }
    // Login with a trading day, client and session, and answer everything.
    void FullStart(const QString& day = QStringLiteral("D1"),
                   const QString& client = QStringLiteral("C1"),
                   const QString& session = QStringLiteral("S1")) {
        Login();
        FeedTorg(day);
        FeedKto(client, session);
        FeedReferences();
    }

    QTemporaryDir dir_;
    ScriptedSessionHub hub_;
    std::unique_ptr<TMainForm> form_;
    QString logName_;
    int beeps_ = 0;
};
