// The main window against the real session server: the first start, a plain
// reconnect, a new trading day and a killed server.
#include "session/LocalSocketSession.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Log.h"
#include "shell/main/MainForm.h"
#include "shell/main/StatusPanels.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

#include "support/EndToEndTest.h"

namespace {

using realserver::WaitUntil;

QStringList LogTexts(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList texts;
    for (const QString& line :
         Cp1251::Decode(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const int afterThread = line.indexOf(QLatin1Char(' '), line.indexOf("  ") + 2);
        texts.append(line.mid(afterThread + 1));
    }
    return texts;
}

} // namespace

using EndToEndStartup = realserver::EndToEndTest;

TEST_F(EndToEndStartup, StartsReconnectsReloadsForANewDayAndSurvivesAKill) {
    SetEnv("ORVEX_SERVER_CONTROL", QStringLiteral("1"));
    // A slow machine: the server reports its preparation before it logs in.
    SetEnv("ORVEX_SERVER_PREPARE_DELAY", QStringLiteral("3000"));
    LocalSocketSession::SetReattachInterval(200);
    auto control = [&](const QStringList& args) {
        return QProcess::execute(Server(), QStringList{QStringLiteral("--ctl")} + args);
    };
    const QString log = Path("workstation.log");

    {
        TMainForm form;
        SetLogFileName(log);
        bool sawPreparation = false;
        ASSERT_TRUE(WaitUntil(
            [&] {
                sawPreparation |= form.StatusPanels().PanelText(3).contains(
                    QStringLiteral("Сервер готовит данные... "));
                return form.WorkStarted();
            },
            60000));
        EXPECT_TRUE(sawPreparation);
        EXPECT_GT(form.Refs().Securities.Count(), 0);
        EXPECT_GT(form.Refs().Clients.Count(), 0);
        EXPECT_GT(form.Refs().OrderStatuses.Count(), 0);
        EXPECT_TRUE(form.DesktopMenu()->menuAction()->isEnabled());
        EXPECT_FALSE(form.StatusPanels().PanelText(1).isEmpty());
        EXPECT_FALSE(form.StatusPanels().PanelText(2).isEmpty());
        QStringList texts = LogTexts(log);
        ASSERT_GE(texts.size(), 3);
        EXPECT_EQ(texts.mid(0, 3), QStringList({"Установлено соединение с сервером.",
                                                "Читаем дату и состояние торгов.",
                                                "Читаем идентификатор сессии и клиента"}));
        // The interface is built last; only the order states (query 408, which the
        // start does not wait for) may still log after it.
        const qsizetype built = texts.indexOf("Построение интерфейса закончено.");
        ASSERT_GE(built, 0);
        for (const QString& later : texts.mid(built + 1))
            EXPECT_EQ(later, "Читаем справочник состояний заявок.");
        EXPECT_FALSE(texts.join('\n').contains("EXCEPTION"));

        // A plain reconnect: the day, the session and the order states only.
        QFile::remove(log);
        ASSERT_EQ(control({QStringLiteral("drop")}), 0);
        // The order states may answer after the interface is rebuilt.
        ASSERT_TRUE(WaitUntil(
            [&] {
                const QStringList t = LogTexts(log);
                return t.contains("Построение интерфейса закончено.") &&
                       t.contains("Читаем справочник состояний заявок.");
            },
            30000));
        texts = LogTexts(log);
        EXPECT_TRUE(texts.contains("Потеря связи.Обновление интерфейса."));
        EXPECT_TRUE(texts.contains("Читаем справочник состояний заявок."));
        EXPECT_FALSE(texts.contains("Читаем справочник бумаг."));
        EXPECT_FALSE(texts.contains("Читаем справочник клиентов."));
        EXPECT_TRUE(form.WorkStarted());

        // A new trading day reloads the day's lists.
        QFile::remove(log);
        const QString oldDate = form.StatusPanels().PanelText(1);
        ASSERT_EQ(control({QStringLiteral("newday"), QStringLiteral("date=02.04.2007")}), 0);
        ASSERT_TRUE(WaitUntil(
            [&] { return LogTexts(log).contains("Построение интерфейса закончено."); }, 30000));
        texts = LogTexts(log);
        EXPECT_TRUE(texts.contains("Читаем справочник бумаг."));
        EXPECT_TRUE(texts.contains("Читаем справочник клиентов."));
        EXPECT_EQ(form.StatusPanels().PanelText(1), "02.04.2007");
        EXPECT_NE(oldDate, "02.04.2007");

        // The server is killed: the red disconnect text, then a new start.
        QFile::remove(log);
        ASSERT_FALSE(Process().pids.empty());
        ::kill(pid_t(Process().pids.back()), SIGKILL);
        ASSERT_TRUE(WaitUntil([&] { return !form.WorkStarted(); }, 30000));
        EXPECT_TRUE(form.StatusPanels().PanelText(3).endsWith(QStringLiteral(" Отбой связи")));
        EXPECT_FALSE(form.ActionByText(QStringLiteral("Соединение/Рабочий стол"))->isEnabled());
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 60000));
        EXPECT_TRUE(LogTexts(log).contains("Построение интерфейса закончено."));
    }
}
