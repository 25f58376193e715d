// The archive lists of past days: date ranges, filters, list modes, refusals.
#include "ServerTestSupport.h"

using WireText::SplitRow;

namespace {

const QChar NUL(u'\0');

class ServerArchiveTest : public DemoStoreTest {
protected:
    EngineResult List(const char* chto, const QList<std::pair<const char*, QString>>& params) {
        QString text = QStringLiteral("chto=") + QLatin1String(chto) + NUL;
        for (const auto& [k, v] : params)
            text += QLatin1String(k) + QLatin1Char('=') + v + NUL;
        return engine_->Handle(session_, QStringLiteral("SpisokBB"), text, false);
    }
    static bool Refused(const EngineResult& r) {
        return r.answer.Table(Refusal::kTable) != nullptr && r.answer.rows.isEmpty();
    }
};

const QString kGroup = QStringLiteral(" group by ID_BUM,INSTR ");

} // namespace

TEST_F(ServerArchiveTest, DemoKeepsTwentyPastDaysOfEveryHistory) {
    for (const char* sql :
         {"SELECT COUNT(DISTINCT order_date) FROM orders WHERE order_date < '2026-03-02'",
          "SELECT COUNT(DISTINCT deal_date) FROM deal WHERE deal_date < '2026-03-02'",
          "SELECT COUNT(DISTINCT snap_date) FROM portfolio_archive"})
        EXPECT_EQ(Count(QString::fromLatin1(sql)), 20) << sql;
    EXPECT_GT(Count(QStringLiteral("SELECT COUNT(*) FROM txn WHERE exec_date <> create_date")), 0);
}

TEST_F(ServerArchiveTest, EachArchiveAnswersItsDatesRowForRowWithItsFields) {
    const struct {
        const char* chto;
        QList<std::pair<const char*, QString>> params;
        const char* count;
        int fields;
    } cases[] = {
        {"308",
         {{"param0", "10.02.2026"},
          {"param1", "01.03.2026"},
          {"filter_acc", ""},
          {"filter_bum", ""},
          {"filter_order_status", "0"},
          {"filter_buy_sell", ""}},
         "SELECT COUNT(*) FROM orders WHERE order_date BETWEEN '2026-02-10' AND '2026-03-01'",
         20},
        {"308",
         {{"param0", "01.03.2026"},
          {"param1", "01.03.2026"},
          {"filter_order_status", "2"},
          {"filter_buy_sell", "B"}},
         "SELECT COUNT(*) FROM orders WHERE order_date = '2026-03-01' AND status = 11 AND "
         "buy_sell = 'B'",
         20},
        {"301",
         {{"fltr", ""}, {"param0", "20.02.2026"}, {"param1", "02.03.2026"}},
         "SELECT COUNT(*) FROM deal WHERE deal_date BETWEEN '2026-02-20' AND '2026-03-02'",
         23},
        {"301",
         {{"fltr", " AND (ID_ACC=4 OR ID_ACC=5) AND BUY_SELL='S'"},
          {"param0", "20.02.2026"},
          {"param1", "28.02.2026"}},
         "SELECT COUNT(*) FROM deal WHERE deal_date BETWEEN '2026-02-20' AND '2026-02-28' AND "
         "acc_id IN (4, 5) AND buy_sell = 'S'",
         23},
        {"306",
         {{"fltr", ""}, {"param0", "27.02.2026"}},
         "SELECT COUNT(*) FROM portfolio_archive WHERE snap_date = '2026-02-27'",
         13},
        {"306",
         {{"fltr", " AND curr>0 AND plann>0"}, {"param0", "27.02.2026"}},
         "SELECT COUNT(*) FROM portfolio_archive WHERE snap_date = '2026-02-27' AND "
         "curr_saldo > 0 AND plan_saldo > 0",
         13},
        {"306",
         {{"fltr", " AND (ID_BUM=-1)"}, {"param0", "02.03.2026"}},
         "SELECT COUNT(*) FROM portfolio WHERE sec_id = -1",
         13},
        {"304",
         {{"fltr", kGroup}, {"param0", "27.02.2026"}},
         "SELECT COUNT(DISTINCT sec_id) FROM portfolio_archive WHERE snap_date = '2026-02-27'",
         5},
        {"309",
         {{"param0", "10.02.2026"}, {"param1", "02.03.2026"}, {"param2", "0"}, {"fltr", ""}},
         "SELECT COUNT(*) FROM txn WHERE exec_date BETWEEN '2026-02-10' AND '2026-03-02'",
         15},
        {"309",
         {{"param0", "10.02.2026"}, {"param1", "02.03.2026"}, {"param2", "1"}, {"fltr", ""}},
         "SELECT COUNT(*) FROM txn WHERE create_date BETWEEN '2026-02-10' AND '2026-03-02'",
         15},
        {"309",
         {{"param0", "10.02.2026"}, {"param1", "02.03.2026"}, {"param2", "2"}, {"fltr", ""}},
         "SELECT COUNT(*) FROM txn WHERE exec_date BETWEEN '2026-02-10' AND '2026-03-02' AND "
         "exec_date <> create_date",
         15},
        {"309",
         {{"param0", "10.02.2026"},
          {"param1", "02.03.2026"},
          {"param2", "3"},
          {"fltr", " AND (ID_ACC_DEBET=0 OR ID_ACC_KREDIT=0)"}},
         "SELECT COUNT(*) FROM txn WHERE create_date BETWEEN '2026-02-10' AND '2026-03-02' AND "
         "exec_date <> create_date AND (acc_debet = 0 OR acc_kredit = 0)",
         15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.chto) + " " + c.count);
        const EngineResult r = List(c.chto, c.params);
        ASSERT_FALSE(Refused(r));
        const qint64 expected = Count(QString::fromLatin1(c.count));
        EXPECT_GT(expected, 0);
        EXPECT_EQ(r.answer.rows.size(), expected);
        EXPECT_EQ(SplitRow(r.answer.rows.value(0)).size(), c.fields);
    }
}

TEST_F(ServerArchiveTest, DatesAndNumbersComeInTheWorkstationsForms) {
    const EngineResult orders = List("308", {{"param0", "01.03.2026"}, {"param1", "01.03.2026"}});
    EXPECT_EQ(SplitRow(orders.answer.rows.value(0)).value(0), QStringLiteral("01.03.2026"));
    const EngineResult txn =
        List("309", {{"param0", "10.02.2026"}, {"param1", "02.03.2026"}, {"param2", "2"}});
    const QStringList f = SplitRow(txn.answer.rows.value(0));
    EXPECT_NE(f.value(0), f.value(9)); // executed and created on different days
    EXPECT_TRUE(QDate::fromString(f.value(9), QStringLiteral("dd.MM.yyyy")).isValid());
    // The position archive: dot-decimal quantities by position, one row per instrument.
    const EngineResult position = List("304", {{"fltr", kGroup}, {"param0", "27.02.2026"}});
    for (const QString& row : position.answer.rows) {
        const QStringList p = SplitRow(row);
        bool ok = false;
        p.value(2).toDouble(&ok);
        EXPECT_TRUE(ok) << p.value(2).toStdString();
    }
}

TEST_F(ServerArchiveTest, BadDatesFiltersAndModesGetAnEmptyRefusal) {
    const struct {
        const char* chto;
        QList<std::pair<const char*, QString>> params;
    } cases[] = {
        {"308", {{"param0", "2026-03-01"}, {"param1", "01.03.2026"}}},
        {"308", {{"param0", "01.03.2026"}, {"param1", "01.03.2026"}, {"filter_acc", "5;DROP"}}},
        {"308", {{"param0", "01.03.2026"}, {"param1", "01.03.2026"}, {"filter_order_status", "9"}}},
        {"301",
         {{"fltr", " AND (ID_ACC=4); DELETE FROM deal"},
          {"param0", "01.03.2026"},
          {"param1", "01.03.2026"}}},
        {"301",
         {{"fltr", " AND (ID_ACC_DEBET=4)"}, {"param0", "01.03.2026"}, {"param1", "01.03.2026"}}},
        {"301", {{"fltr", ""}, {"param0", "01.03.2026"}}}, // no to-date
        {"306", {{"fltr", " AND BUY_SELL='B'"}, {"param0", "27.02.2026"}}},
        {"306", {{"fltr", kGroup}, {"param0", "27.02.2026"}}},
        {"304", {{"fltr", " AND (ID_ACC=4)"}, {"param0", "27.02.2026"}}},
        {"304", {{"fltr", " AND curr>0" + kGroup}, {"param0", "27.02.2026"}}},
        {"309", {{"param0", "10.02.2026"}, {"param1", "02.03.2026"}, {"param2", "7"}}},
        {"309",
         {{"param0", "10.02.2026"},
          {"param1", "02.03.2026"},
          {"param2", "0"},
          {"fltr", " AND (ID_ACC=5)"}}},
    };
    for (const auto& c : cases) {
        const EngineResult r = List(c.chto, c.params);
        EXPECT_TRUE(Refused(r)) << c.chto << " " << c.params.value(0).second.toStdString();
    }
    EXPECT_GT(Count(QStringLiteral("SELECT COUNT(*) FROM deal")), 0); // nothing was run
}
