// The margin monitor and a rules window against the real session server with demo data.
#include "MarginTestSupport.h"
#include "grids/NodeOps.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/TtsvTreeView.h"
#include "grids/fill/ResponseFill.h"
#include "margin/LimitSpinBox.h"
#include "margin/TFormMarginAddRule.h"
#include "margin/TFormMarginCopyRule.h"
#include "margin/TFormMarginEditRule.h"
#include "margin/TFormMarginLevel.h"
#include "margin/TFormMarginRules.h"
#include "margin/TFormMargo.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "shell/base/SoundScheme.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

#include <QApplication>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace margintest;
using realserver::WaitUntil;

namespace {

int RowOfClient(const TAdvColumnGrid& grid, const QString& client) {
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row)
        if (gridcols::TextByTag(grid, TFormMargo::kIdCli, row) == client)
            return row;
    return -1;
}

void Select(TAdvColumnGrid& grid, int row) {
    grid.setCurrentIndex(grid.model()->index(row - grid.FixedRows(), 1));
}

} // namespace

using MarginEndToEnd = realserver::EndToEndTest;

TEST_F(MarginEndToEnd, BreachesLevelsAndRulesGoThroughTheServer) {
    const QString db = Db();
    SetEnv("ORVEX_SERVER_SIM_RATE", QStringLiteral("0"));
    SetEnv("ORVEX_SERVER_CONTROL", QStringLiteral("1"));
    SetSoundEventFile(SoundEvent::CriticalLevel, QStringLiteral("/alarm/critical.wav"));
    SetSoundEventFile(SoundEvent::StartLevel, QStringLiteral("/alarm/start.wav"));
    auto boxes = UseBoxes<ScriptedBoxes>();
    auto sound = std::make_shared<SoundRecorder>();
    Services::SetSound(sound);
    TFormMargo::Register();
    {
        TMainForm form;
        TFormMarginEditRule edit(&form);
        TFormMarginAddRule add(&form);
        TFormMarginCopyRule copy(&form);
        TFormMarginLevel level(&form);
        TFormMargo::SetWindowOpener([&form](QWidget* w) { form.AddChildWindow(w); });
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 60000));
        level.FillControls(TReferenceData::Current());
        add.FillTreeBum(TReferenceData::Current());

        // Breaches are coloured, listed and sounded.
        auto* monitor = qobject_cast<TFormMargo*>(form.OpenWindow(WindowCommand::MarginMonitor));
        ASSERT_NE(monitor, nullptr);
        EXPECT_EQ(form.OpenWindow(WindowCommand::MarginMonitor), monitor); // one window
        TAdvColumnGrid& grid = monitor->GridMrg();
        ASSERT_TRUE(WaitUntil([&] { return monitor->ClientNumbers().size() == 10; }, 30000));
        EXPECT_EQ(monitor->CriticalCount(), 1);
        EXPECT_EQ(monitor->StartCount(), 2);
        EXPECT_EQ(sound->played, QStringList({"/alarm/critical.wav"}));
        EXPECT_EQ(copy.SourceTree()->topLevelItem(0)->childCount(), 10);

        // A client far above its levels, and its first marginal security.
        int healthy = -1;
        for (int row = grid.FixedRows(); row < grid.RowCount() && healthy < 0; ++row)
            if (gridcols::TextByTag(grid, TFormMargo::kMarginPercent, row).toInt() >= 50)
                healthy = row;
        ASSERT_GE(healthy, 0);
        const QString client = gridcols::TextByTag(grid, TFormMargo::kIdCli, healthy);
        Select(grid, healthy);
        monitor->OpenRules();
        TFormMarginRules* rules = nullptr;
        for (auto* r : form.findChildren<TFormMarginRules*>())
            if (r->ClientNumber() == client)
                rules = r;
        ASSERT_NE(rules, nullptr);
        TAdvColumnGrid& list = rules->GridMrgRules();
        ASSERT_TRUE(WaitUntil(
            [&] { return !gridcols::TextByTag(list, TFormMarginRules::kNumber, 1).isEmpty(); },
            20000));
        const QString security = gridcols::TextByTag(list, TFormMarginRules::kNumber, 1);

        // A breach forced with "set price" shows on the next refresh.
        TBrokerSession control(QStringLiteral("ctl"), true);
        control.SendRequest(QStringLiteral("ParvaneControl"),
                            PairParams({{QStringLiteral("action"), QStringLiteral("setprice")},
                                        {QStringLiteral("security"), security},
                                        {QStringLiteral("price"), QStringLiteral("0.01")}}));
        bool answered = false;
        control.OnData = [&](TBrokerSession*) { answered = true; };
        ASSERT_TRUE(WaitUntil([&] { return answered; }, 20000));
        sound->played.clear();
        monitor->Refresh();
        EXPECT_TRUE(WaitUntil(
            [&] {
                const int row = RowOfClient(grid, client);
                return row >= 0 &&
                       gridcols::TextByTag(grid, TFormMargo::kMarginPercent, row).toInt() < 25;
            },
            20000));
        EXPECT_EQ(monitor->CriticalCount(), 2);
        EXPECT_EQ(sound->played, QStringList({"/alarm/critical.wav"}));

        // A level change goes through 604.
        Select(grid, RowOfClient(grid, client));
        QTimer::singleShot(0, &level, [&] {
            level.EdMrgStartLevel()->setValue(60);
            level.EdMrgCriticalLevel()->setValue(10);
            level.ConfirmClick();
        });
        monitor->ChangeLevels();
        EXPECT_TRUE(WaitUntil(
            [&] {
                const int row = RowOfClient(grid, client);
                return row >= 0 &&
                       gridcols::TextByTag(grid, TFormMargo::kStartLevel, row) == "60" &&
                       gridcols::TextByTag(grid, TFormMargo::kCriticalLevel, row) == "10";
            },
            20000));

        // The rules window: add three, edit, remove, copy to two clients, clear.
        QSqlDatabase store =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("margin-e2e"));
        store.setDatabaseName(db);
        store.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        ASSERT_TRUE(store.open());
        const auto scalar = [&](const QString& sql) {
            QSqlQuery q(store);
            return q.exec(sql) && q.next() ? q.value(0).toString() : QString();
        };
        const auto ruleCount = [&](const QString& cli) {
            return scalar(QStringLiteral("SELECT COUNT(*) FROM margin_rule WHERE cli_id = ") + cli)
                .toInt();
        };
        const int before = ruleCount(client);
        QTimer::singleShot(0, &add, [&] {
            TMarginSecurityTree& t = add.Logic();
            t.Tree.SetMark(t.AllNode(), CheckMark::Unchecked);
            int marked = 0;
            for (int n : t.Tree.Order()) {
                const FilterNode& node = t.Tree.Node(n);
                if (node.kind == 4 && marked < 3 && node.id > 150) {
                    t.Tree.SetMark(n, CheckMark::Checked);
                    ++marked;
                }
            }
            add.ConfirmClick();
        });
        rules->AddClick();
        EXPECT_TRUE(WaitUntil(
            [&] { return list.RowCount() - list.FixedRows() == before + 3 && !rules->Waiting(); },
            20000));
        EXPECT_EQ(ruleCount(client), before + 3);

        Select(list, 1);
        const QString edited = gridcols::TextByTag(list, TFormMarginRules::kNumber, 1);
        QTimer::singleShot(0, &edit, [&] {
            edit.EdSellLimit()->setValue(2.5);
            edit.accept();
        });
        rules->EditClick();
        EXPECT_TRUE(WaitUntil([&] { return !rules->Waiting(); }, 20000));
        EXPECT_EQ(scalar(QStringLiteral("SELECT limit_value FROM margin_rule WHERE cli_id = %1 "
                                        "AND sec_id = %2")
                             .arg(client, edited)),
                  QStringLiteral("2"));

        boxes->answer = MsgOk;
        Select(list, 1);
        rules->DeleteClick();
        EXPECT_TRUE(WaitUntil([&] { return !rules->Waiting(); }, 20000));
        EXPECT_EQ(ruleCount(client), before + 2);

        QStringList destinations;
        QTimer::singleShot(0, &copy, [&] {
            QTreeWidgetItem* top = copy.DestTree()->topLevelItem(0);
            for (int i = 0; i < top->childCount() && destinations.size() < 2; ++i) {
                const QString id = QString::number(NodeTag(top->child(i)));
                if (id != client) {
                    copy.DestTree()->ToggleNode(top->child(i));
                    destinations << id;
                }
            }
            copy.accept();
        });
        rules->CopyClick();
        EXPECT_TRUE(WaitUntil([&] { return !rules->Waiting(); }, 20000));
        ASSERT_EQ(destinations.size(), 2);
        const auto ruleSet = [&](const QString& cli) {
            return scalar(QStringLiteral("SELECT group_concat(sec_id || ':' || limit_value, ';') "
                                         "FROM (SELECT * FROM margin_rule WHERE cli_id = %1 "
                                         "ORDER BY sec_id)")
                              .arg(cli));
        };
        for (const QString& dest : destinations)
            EXPECT_EQ(ruleSet(dest), ruleSet(client)) << dest.toStdString();

        rules->DeleteAllClick();
        EXPECT_TRUE(WaitUntil([&] { return !rules->Waiting(); }, 20000));
        EXPECT_EQ(ruleCount(client), 0);
        store.close();

        // The server dies while the list is outstanding: the timer stays off, and the
        // login after the restart refreshes.
        answered = false;
        control.SendRequest(QStringLiteral("ParvaneControl"),
                            PairParams({{QStringLiteral("action"), QStringLiteral("stall")},
                                        {QStringLiteral("ms"), QStringLiteral("600000")}}));
        ASSERT_TRUE(WaitUntil([&] { return answered; }, 20000));
        monitor->Refresh();
        EXPECT_FALSE(monitor->RefreshTimer().isActive());
        for (qint64 pid : Process().pids)
            ::kill(pid_t(pid), SIGKILL);
        WaitUntil([] { return false; }, 500);
        EXPECT_FALSE(monitor->RefreshTimer().isActive());
        EXPECT_TRUE(WaitUntil([&] { return monitor->RefreshTimer().isActive(); }, 90000));
        EXPECT_EQ(monitor->ClientNumbers().size(), 10);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("margin-e2e"));
    TFormMargo::SetWindowOpener(nullptr);
    Services::SetSound(nullptr);
}
