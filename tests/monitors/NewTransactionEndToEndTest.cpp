// The new-transaction dialog against the real session server: an ordinary transfer
// appears in the open transactions window, a deferred one in the pending window and,
// once executed by the server, among the transactions; a refused one leaves the
// dialog open with OK disabled.
#include "ListWindowTestSupport.h"
#include "controls/TNumberEdit.h"
#include "grids/IdNameList.h"
#include "grids/TComboBoxIndexed.h"
#include "monitors/TFormNewProv.h"
#include "monitors/TFormProv.h"
#include "monitors/TFormProvWait.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

using realserver::WaitUntil;
using namespace listtest;

namespace {

bool HasRow(const TAdvColumnGrid& grid, int tag, const QString& text) {
    for (int r = 0; r < DataRows(grid); ++r)
        if (Cell(grid, tag, r) == text)
            return true;
    return false;
}

void Choose(QComboBox* box, qint64 id) {
    for (int i = 0; i < box->count(); ++i)
        if (box->itemData(i, TIdNameListModel::IdRole).toLongLong() == id)
            box->setCurrentIndex(i);
}

} // namespace

using NewTransactionEndToEnd = realserver::EndToEndTest;

TEST_F(NewTransactionEndToEnd, TransfersReachTheirListsAndARefusalKeepsTheDialogOpen) {
    const QString db = Db();
    SetEnv("ORVEX_SERVER_SIM_RATE", QStringLiteral("0"));
    SetEnv("ORVEX_SERVER_CONTROL", QStringLiteral("1"));
    TFormProv::Register();
    TFormProvWait::Register();
    {
        TMainForm main;
        TFormNewProv dialog(&main);
        main.Hooks().TransactionFillControls = [&dialog] {
            dialog.FillControls(TReferenceData::Current());
        };
        ASSERT_TRUE(WaitUntil([&] { return main.WorkStarted(); }, 60000));
        ASSERT_GT(dialog.AccOut()->count(), 1);

        // A sender with money of trading system 1, and a receiver.
        qint64 sender = 0, receiver = 0;
        double held = 0;
        {
            QSqlDatabase store =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prov-e2e"));
            store.setDatabaseName(db);
            store.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            ASSERT_TRUE(store.open());
            QSqlQuery q(store);
            ASSERT_TRUE(q.exec(QStringLiteral(
                "SELECT p.acc_id, p.curr_saldo FROM portfolio p JOIN account a ON a.id = p.acc_id "
                "WHERE a.is_transaction = 1 AND p.sec_id = -1 AND p.curr_saldo > 100 "
                "ORDER BY p.acc_id LIMIT 1")));
            ASSERT_TRUE(q.next());
            sender = q.value(0).toLongLong();
            held = q.value(1).toDouble();
            ASSERT_TRUE(q.exec(QStringLiteral("SELECT id FROM account WHERE is_transaction = 1 "
                                              "AND id <> %1 ORDER BY id LIMIT 1")
                                   .arg(sender)));
            ASSERT_TRUE(q.next());
            receiver = q.value(0).toLongLong();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("prov-e2e"));

        auto* txns = qobject_cast<TFormProv*>(main.OpenWindow(WindowCommand::Transactions));
        auto* pending =
            qobject_cast<TFormProvWait*>(main.OpenWindow(WindowCommand::PendingTransactions));
        ASSERT_TRUE(txns && pending);

        // Fills the open dialog, presses OK and waits for the answer; the dialog is
        // cancelled when the answer leaves it open.
        bool stayedOpen = false;
        bool okEnabledAfter = true;
        const auto transfer = [&](int type, const QString& amount, const QString& reason) {
            QTimer::singleShot(0, &dialog, [&, type, amount, reason] {
                Choose(dialog.CbBum(), -1);
                Choose(dialog.AccOut(), sender);
                Choose(dialog.AccIn(), receiver);
                dialog.cbProvType()->setCurrentIndex(type);
                dialog.Sum()->setText(amount);
                dialog.ProvMemo()->setPlainText(reason);
                dialog.BtnOkClick();
                const bool answered = WaitUntil([&] { return !dialog.Busy(); }, 20000);
                stayedOpen = answered && dialog.isVisible();
                okEnabledAfter = dialog.BtnOk()->isEnabled();
                if (dialog.isVisible())
                    dialog.reject();
            });
            dialog.OpenEmpty();
        };

        // Ordinary: the transactions window shows it (the dialog's 1223 reloads it).
        transfer(TFormNewProv::kOrdinary, QStringLiteral("10"), QStringLiteral("e2e обычная"));
        EXPECT_FALSE(stayedOpen);
        EXPECT_TRUE(WaitUntil(
            [&] {
                return HasRow(txns->GridProv(), TFormProv::kReason, QStringLiteral("e2e обычная"));
            },
            20000));

        // Deferred: the pending window shows it waiting; executed by the server, it
        // leaves the pending list and joins the transactions.
        transfer(TFormNewProv::kDeferred, QStringLiteral("7"), QStringLiteral("e2e отложенная"));
        EXPECT_FALSE(stayedOpen);
        EXPECT_TRUE(WaitUntil(
            [&] {
                return HasRow(pending->GridProvWait(), TFormProvWait::kText,
                              QStringLiteral("e2e отложенная"));
            },
            20000));
        TBrokerSession control(QStringLiteral("ctl"), true);
        bool executed = false;
        control.OnData = [&](TBrokerSession* s) {
            executed = s->GetCell(0, 0) == QLatin1String("OK");
        };
        control.SendRequest(
            QStringLiteral("ParvaneControl"),
            PairParams({{QStringLiteral("action"), QStringLiteral("execpending")}}));
        ASSERT_TRUE(WaitUntil([&] { return executed; }, 20000));
        pending->SesProvWaitLogin();
        txns->SesProvLogin();
        EXPECT_TRUE(WaitUntil(
            [&] {
                return !HasRow(pending->GridProvWait(), TFormProvWait::kText,
                               QStringLiteral("e2e отложенная")) &&
                       HasRow(txns->GridProv(), TFormProv::kReason,
                              QStringLiteral("e2e отложенная"));
            },
            20000));

        // More than the sender holds: refused, the dialog stays open with OK disabled.
        transfer(TFormNewProv::kOrdinary, QString::number(qint64(held) * 10 + 1000),
                 QStringLiteral("e2e отказ"));
        EXPECT_TRUE(stayedOpen);
        EXPECT_FALSE(okEnabledAfter);
        EXPECT_FALSE(HasRow(txns->GridProv(), TFormProv::kReason, QStringLiteral("e2e отказ")));
    }
}
