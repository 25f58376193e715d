// Filters against the real session server: a filter the server refuses shows in the
// orders window's status bar instead of an empty grid, and a board code holding a quote,
// chosen in the filter dialog, reaches the server intact and filters by that board.
#include "OrderTestSupport.h"
#include "filter/FilterTree.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using realserver::WaitUntil;

const QString kQuotedBoard = QStringLiteral("EQ'S1");

// Runs SQL on the server's store from outside (the server keeps WAL mode, so this
// connection and the server's never block each other for long).
qint64 StoreQuery(const QString& path, const QString& sql, const QVariantList& binds = {}) {
    qint64 result = -1;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("e2e-store"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(sql);
            for (const QVariant& b : binds)
                q.addBindValue(b);
            if (q.exec())
                result = q.next() ? q.value(0).toLongLong() : q.numRowsAffected();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("e2e-store"));
    return result;
}

} // namespace

using OrdersFilterEndToEnd = realserver::EndToEndTest;

TEST_F(OrdersFilterEndToEnd, RefusedFilterShowsInTheStatusBarAndAQuotedBoardCodeFilters) {
    // The demo store is given a board code holding a quote before the server starts,
    // so that the workstation's reference data and the filter dialog's tree carry it.
    const QString db = Db();
    ASSERT_GT(StoreQuery(db, QStringLiteral("UPDATE board SET code = ? WHERE code = 'EQS1'"),
                         {kQuotedBoard}),
              0);
    ASSERT_GT(StoreQuery(db,
                         QStringLiteral("UPDATE security SET board_code = ? WHERE board_code = "
                                        "'EQS1'"),
                         {kQuotedBoard}),
              0);
    auto boxes = UseBoxes<ordertest::ScriptedBoxes>();
    TOrderForm::Register();
    {
        TMainForm form;
        // The filter dialog's trees are built from the loaded references, as the program does.
        TFormFiltr& dialog = TFormFiltr::Instance();
        form.Hooks().ClearReferenceTrees = [&dialog] { dialog.ClearTrees(); };
        form.Hooks().FilterFillTreeAcc = [&dialog] { dialog.FillTreeAcc(); };
        form.Hooks().FilterFillTreeBum = [&dialog] { dialog.FillTreeBum(); };
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 60000));
        auto* orders = qobject_cast<TOrderForm*>(form.OpenWindow(WindowCommand::Orders));
        ASSERT_NE(orders, nullptr);
        TAdvColumnGrid& grid = orders->GridOrd();
        ASSERT_TRUE(WaitUntil([&] { return grid.RowCount() > grid.FixedRows() + 10; }, 30000));
        EXPECT_EQ(orders->StatusText(), QString());

        // A side code the server does not know (a damaged desktop): the window says the
        // filter was refused; a good filter afterwards clears the message.
        orders->SetInternalFilterBuySell(QStringLiteral("Q"));
        orders->SetRestoredComplete(0);
        EXPECT_TRUE(WaitUntil(
            [&] { return orders->StatusText() == QStringLiteral("Фильтр не принят сервером"); },
            30000));
        EXPECT_EQ(grid.RowCount(), grid.FixedRows() + 1);
        orders->SetInternalFilterBuySell(QStringLiteral("B"));
        ordertest::Trigger(*orders, "Обновить");
        EXPECT_TRUE(WaitUntil(
            [&] {
                return orders->StatusText().isEmpty() && grid.RowCount() > grid.FixedRows() + 1;
            },
            30000));

        // Only the board with the quote, chosen in the filter dialog.
        TFilterTree& tree = dialog.Logic().BumTree;
        int board = TFilterTree::None;
        for (int n : tree.Order())
            if (tree.Node(n).kind == FilterKind::Board && tree.Node(n).code == kQuotedBoard)
                board = n;
        ASSERT_NE(board, TFilterTree::None) << "the board is not in the filter dialog";
        QTimer::singleShot(0, &dialog, [&] {
            tree.SetMark(tree.Root(), CheckMark::Unchecked);
            tree.SetMark(board, CheckMark::Checked);
            dialog.ConfirmClick();
        });
        ASSERT_EQ(dialog.ShowFilter(FilterMask::Securities), TFormFiltr::mrOk);
        QString caption;
        const QString expression = dialog.SecurityFilter(caption, false);
        EXPECT_EQ(expression, QStringLiteral(" AND (BOARD='EQ''S1')"));

        TBrokerSession session(QStringLiteral("SesTest"), true);
        TMetadataParser parser(&session);
        int answers = 0;
        session.OnData = [&](TBrokerSession*) {
            parser.ParseMetadata();
            ++answers;
        };
        parser.SendList(QStringLiteral("SpisokBB"), QStringLiteral("211"),
                        QStringLiteral("chto=211") + QChar(0) + QStringLiteral("fltr=") +
                            expression + QChar(0));
        ASSERT_TRUE(WaitUntil([&] { return answers > 0; }, 30000));
        EXPECT_EQ(session.GetTableSize(TBrokerSession::kRefusalTable), 0);
        const qint64 expected = StoreQuery(
            db,
            QStringLiteral("SELECT COUNT(*) FROM orders o JOIN security s ON s.id = o.sec_id "
                           "WHERE s.board_code = ? AND o.order_date = (SELECT value FROM "
                           "server_state WHERE key = 'trading_date')"),
            {kQuotedBoard});
        EXPECT_GT(expected, 0);
        EXPECT_EQ(session.GetRowCount(), expected);
        dialog.ClearTrees();
    }
}
