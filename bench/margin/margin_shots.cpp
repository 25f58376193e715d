// Pictures of the margin windows for a person to look at (run under a virtual X
// server): the monitor with red and yellow rows and its event box open, the level,
// add, copy and sound dialogs, and a rules window. Writes PNG files into the folder
// given as the first argument.
#include "margin/TFormMarginAddRule.h"
#include "margin/TFormMarginCopyRule.h"
#include "margin/TFormMarginLevel.h"
#include "margin/TFormMarginRules.h"
#include "margin/TFormMargo.h"
#include "margin/TFormSoundSettings.h"
#include "shell/base/Log.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

QString g_folder;

void Settle(int ms = 300) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Save(QWidget& w, const char* name) {
    w.show();
    w.raise();
    Settle();
    w.grab().save(QDir(g_folder).filePath(QString::fromLatin1(name)));
    std::printf("%s\n", name);
}

void FillRefs(TReferenceData& refs) {
    const char* systems[] = {"Фондовый рынок", "Срочный рынок"};
    for (int t = 1; t <= 2; ++t) {
        auto ts = std::make_unique<TTSObj>();
        ts->Id = t;
        ts->Name = QString::fromUtf8(systems[t - 1]);
        refs.AddTradingSystem(std::move(ts));
        auto board = std::make_unique<TBoardObj>();
        board->Id = 10 + t;
        board->BoardCode = QStringLiteral("B%1").arg(t);
        board->Name = t == 1 ? QStringLiteral("Акции") : QStringLiteral("Фьючерсы");
        board->TradingSystemId = t;
        refs.Boards.Append(std::move(board));
    }
    const char* names[] = {"Уралнефть ао",  "Волгагаз ао",    "Сибэнерго ап",
                           "Балтметалл ао", "Амуртелеком ао", "Кубаньагро ао"};
    for (int i = 0; i < 6; ++i) {
        auto bum = std::make_unique<TBumObj>();
        bum->Id = 101 + i;
        bum->Name = QString::fromUtf8(names[i]);
        bum->BoardCode = i < 4 ? QStringLiteral("B1") : QStringLiteral("B2");
        refs.Securities.Append(std::move(bum));
    }
    const char* clients[] = {"АО «Брокерский дом Северный»", "Иванов Сергей", "Петрова Анна",
                             "Сидоров Олег", "Орлов Павел"};
    for (int i = 0; i < 5; ++i) {
        auto cli = std::make_unique<TCliObj>();
        cli->Id = i + 1;
        cli->Name = QString::fromUtf8(clients[i]);
        refs.Clients.Append(std::move(cli));
    }
    for (int i = 0; i < 2; ++i) {
        auto acc = std::make_unique<TAccObj>();
        acc->Id = 1 + i;
        acc->Name = QStringLiteral("СОБСТВ-%1").arg(i + 1);
        acc->ClientId = 1;
        refs.Accounts.Append(std::move(acc));
    }
    refs.ClientKey = QStringLiteral("1");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    g_folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir dir;
    SetLogFileName(dir.filePath(QStringLiteral("shots.log")));
    TReferenceData refs;
    FillRefs(refs);
    TReferenceData::SetCurrent(&refs);
    ScriptedSessionHub hub;
    TFormMarginCopyRule copy;
    TFormMarginLevel level;
    TFormMarginAddRule add;
    level.FillControls(refs);
    add.FillTreeBum(refs);

    TFormMargo monitor;
    monitor.resize(980, 330);
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.650"));
    for (const char* f :
         {"id_cli", "NAME_CLI", "MARGIN_PERCENT", "START_MARGIN_LEVEL", "CRITICAL_MARGIN_LEVEL",
          "SUM_KREDIT", "SUM_ACTIVES", "MARGIN_ACC_NAME", "MARGIN_MODE_NAME", "SUM_SELF_MONEY",
          "SUM_MAX_KREDIT", "SUM_ADD_KREDIT", "SUM_NEED_CLOSE"})
        b.Text(QString::fromLatin1(f));
    b.Row({"2", "Иванов Сергей", "15", "50", "25", "850000.00", "1000000.00", "СОБСТВ-1",
           "Маржинальный", "150000.00", "150000.00", "0.00", "550000.00"});
    b.Row({"3", "Петрова Анна", "40", "50", "25", "600000.00", "1000000.00", "СОБСТВ-1",
           "Маржинальный", "400000.00", "400000.00", "0.00", "0.00"});
    b.Row({"4", "Сидоров Олег", "72", "50", "25", "280000.00", "1000000.00", "СОБСТВ-2",
           "Маржинальный", "720000.00", "720000.00", "440000.00", "0.00"});
    b.Row({"5", "Орлов Павел", "100", "50", "25", "0.00", "500000.00", "", "Без кредитования",
           "500000.00", "0.00", "0.00", "0.00"});
    hub.Get(QStringLiteral("SesMrg")).FeedData(b.Build());
    monitor.show();
    Settle();
    monitor.cbEvent().showPopup();
    Settle();
    QGuiApplication::primaryScreen()
        ->grabWindow(0)
        .copy(monitor.frameGeometry().adjusted(0, 0, 0, 200))
        .save(QDir(g_folder).filePath(QStringLiteral("monitor.png")));
    std::printf("monitor.png\n");
    monitor.cbEvent().hidePopup();

    level.Prepare(QStringLiteral("3"), QStringLiteral("Петрова Анна"), QStringLiteral("СОБСТВ-1"),
                  true, 30, 20);
    Save(level, "level.png");
    level.hide();
    TFilterTree& tree = add.Logic().Tree;
    tree.SetMark(tree.Node(add.Logic().AllNode()).children.front(), CheckMark::Checked);
    Save(add, "add.png");
    add.hide();
    Save(copy, "copy.png");
    copy.hide();
    TFormSoundSettings sound;
    sound.CriticalFile()->setText(TFormSoundSettings::SoundsFolder() + "/margin-critical.wav");
    sound.StartFile()->setText(TFormSoundSettings::SoundsFolder() + "/margin-start.wav");
    Save(sound, "sound.png");
    sound.hide();

    TFormMarginRules rules;
    rules.SetClient(QStringLiteral("3"), QStringLiteral("Петрова Анна"));
    rules.SesMrgRulesLogin();
    AnswerBuilder r;
    r.Row({"101", "Уралнефть ао", "1000", "1", "1"});
    r.Row({"102", "Волгагаз ао", "0", "1", "0"});
    r.Row({"-1", "_Деньги.Фондовый рынок", "0", "0", "1"});
    hub.Get(QStringLiteral("SesMrgRules")).FeedData(r.Build());
    rules.resize(620, 220);
    Save(rules, "rules.png");
    TReferenceData::SetCurrent(nullptr);
    return 0;
}
