// The "Отчеты" menu against the scripted session, and the chat's log lines.
#include "session/wire/Cp1251.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/PluginBlock.h"
#include "shell/base/Services.h"
#include "shell/plugins/ChatComponent.h"
#include "shell/plugins/PluginSupport.h"
#include "support/ScriptedSession.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class RecordingProcess : public IProcessService {
public:
    bool StartDetached(const QString& program, const QStringList& arguments,
                       const QString& folder) override {
        started << program + QLatin1Char('|') + arguments.join(QLatin1Char(' ')) +
                       QLatin1Char('|') + folder;
        return succeed;
    }
    QStringList started;
    bool succeed = true;
};

class PluginMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLogFileName(dir_.filePath(QStringLiteral("test.log")));
        Services::SetProcess(process_);
        for (const char* id : {"R.One", "R.Two", "R.Three"}) {
            const QString path = dir_.filePath(QString::fromUtf8(id) + QStringLiteral(".opm"));
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.close();
            ASSERT_TRUE(pluginblock::Stamp(path,
                                           {{"OrvexPluginInterface", "1"},
                                            {"OrvexPluginID", QString::fromUtf8(id)},
                                            {"OrvexPluginName", QStringLiteral("Отчет ") + id}},
                                           nullptr));
        }
    }
    void TearDown() override {
        Services::SetProcess(nullptr);
        SetLogFileName(QString());
    }
    QString Log() const {
        QFile f(dir_.filePath(QStringLiteral("test.log")));
        return f.open(QIODevice::ReadOnly) ? Cp1251::Decode(f.readAll()) : QString();
    }
    void Answer(const char* id, const char* verdict) {
        hub_.Get(QStringLiteral("SesPlugins"))
            .FeedData(AnswerBuilder()
                          .RawRow(QString::fromUtf8(id) + QChar(0) + QString::fromUtf8(verdict) +
                                  QChar(0))
                          .Build());
    }

    QTemporaryDir dir_;
    ScriptedSessionHub hub_;
    std::shared_ptr<RecordingProcess> process_ = std::make_shared<RecordingProcess>();
    QMenu menu_;
};

TEST_F(PluginMenuTest, AllowedModulesGetEntriesUntilTheSessionDrops) {
    TPluginSupport plugins(&menu_, {dir_.path()});
    plugins.DiscoverPlugins();
    QStringList asked;
    for (const SentRequest& r : hub_.Get(QStringLiteral("SesPlugins")).Sent()) {
        EXPECT_EQ(r.name, QStringLiteral("NorvanePluginSupport"));
        asked << r.params;
    }
    EXPECT_EQ(asked, QStringList({QStringLiteral("PluginID=R.One") + QChar(0),
                                  QStringLiteral("PluginID=R.Three") + QChar(0),
                                  QStringLiteral("PluginID=R.Two") + QChar(0)}));
    EXPECT_FALSE(menu_.menuAction()->isVisible());

    Answer("R.One", "NO");
    EXPECT_TRUE(menu_.actions().isEmpty());
    Answer("R.Three", "OK");
    Answer("R.Two", "OK");
    ASSERT_EQ(menu_.actions().size(), 2);
    EXPECT_TRUE(menu_.menuAction()->isVisible());
    EXPECT_EQ(menu_.actions()[0]->text(), QStringLiteral("Отчет R.Three"));
    EXPECT_TRUE(Log().contains(QStringLiteral("Читаем справочник доступных плугинов.")));

    // An entry starts its program with no arguments in the workstation's folder; a
    // failure is only logged.
    menu_.actions()[1]->trigger();
    EXPECT_EQ(process_->started, QStringList({dir_.path() + QStringLiteral("/R.Two.opm||") +
                                              QCoreApplication::applicationDirPath()}));
    process_->succeed = false;
    menu_.actions()[1]->trigger();
    EXPECT_TRUE(Log().contains(QStringLiteral("Не удалось запустить модуль")));

    hub_.Get(QStringLiteral("SesPlugins")).RaiseDisconnect();
    EXPECT_TRUE(menu_.actions().isEmpty());
    EXPECT_FALSE(menu_.menuAction()->isVisible());
    EXPECT_TRUE(plugins.PlugIns().isEmpty());
}

class FakeChat : public IChatComponent {
public:
    explicit FakeChat(int* shown, bool fail) : shown_(shown), fail_(fail) {}
    void Show() override {
        if (fail_)
            throw std::runtime_error("окно чата не открылось");
        ++*shown_;
    }

private:
    int* shown_;
    bool fail_;
};

TEST_F(PluginMenuTest, ChatFailuresAreLoggedWithTheirStep) {
    TChatHost chat;
    chat.ShowChat();
    EXPECT_TRUE(Log().contains(QStringLiteral("EXCEPTION Открытие чата. чат не создан")));

    TComponentFactory::Register(kChatComponentId, {});
    GuardStep(QStringLiteral("Запуск чата"), [&] { chat.CreateChat(); });
    EXPECT_TRUE(Log().contains(QStringLiteral(
        "EXCEPTION Запуск чата. Компонент \"OrvexChatAuto.Chat\" не зарегистрирован")));

    int shown = 0;
    bool fail = false;
    TComponentFactory::Register(kChatComponentId,
                                [&] { return std::make_unique<FakeChat>(&shown, fail); });
    chat.CreateChat();
    chat.ShowChat();
    EXPECT_EQ(shown, 1);
    fail = true;
    chat.CreateChat(); // a new StartWork replaces the object
    chat.ShowChat();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(Log().contains(QStringLiteral("EXCEPTION Открытие чата. окно чата не открылось")));

    // The stand-in chat cannot be made without its program.
    RegisterStandInChat(dir_.path());
    EXPECT_THROW(chat.CreateChat(), std::runtime_error);
    EXPECT_FALSE(chat.HasChat());
    TComponentFactory::Register(kChatComponentId, {});
}

} // namespace
