// Broker interest: the ladder lists and the three updates with their "Text" answers.
#include "ServerTestSupport.h"

using WireText::SplitRow;

namespace {

class ServerInterestTest : public DemoStoreTest {
protected:
    QString Text(const EngineResult& r) const {
        return r.answer.echo.Value(QStringLiteral("Text"));
    }
    EngineResult Ladder(const QString& client) {
        return Pair(QStringLiteral("SPExec"),
                    {{QStringLiteral("SP"), QStringLiteral("GET_CLI_PERCENT")},
                     {QStringLiteral("Params"), client}});
    }
    // Percentages of a client's ladder, in ladder order.
    QStringList Percents(const QString& client) {
        QStringList out;
        for (const QString& row : Ladder(client).answer.rows)
            out << SplitRow(row).value(4);
        return out;
    }
    EngineResult SetPercents(std::initializer_list<std::pair<QString, QString>> params) {
        return Pair(QStringLiteral("UpdBrokPerc"), params);
    }
};

TEST_F(ServerInterestTest, AllClientsListEveryTierInLadderOrder) {
    const EngineResult all = Pair(QStringLiteral("SPExec"),
                                  {{QStringLiteral("SP"), QStringLiteral("GET_CLI_PERCENT_ALL")},
                                   {QStringLiteral("Params"), QStringLiteral("1")}});
    ASSERT_EQ(all.answer.rows.size(), 60 * 4);
    const QStringList first = SplitRow(all.answer.rows[0]);
    ASSERT_EQ(first.size(), 9);
    EXPECT_EQ(first[4], QStringLiteral("0"));
    EXPECT_EQ(first[5], QStringLiteral("1000000"));
    EXPECT_EQ(first[8], QStringLiteral("1"));
    for (qsizetype i = 0; i < all.answer.rows.size(); i += 4) {
        const QStringList row = SplitRow(all.answer.rows[i]);
        EXPECT_EQ(SplitRow(all.answer.rows[i + 3])[0], row[0]);
        EXPECT_EQ(SplitRow(all.answer.rows[i + 3])[3], QStringLiteral("4"));
    }
    // Only the firm asks for every client.
    EXPECT_TRUE(Pair(QStringLiteral("SPExec"),
                     {{QStringLiteral("SP"), QStringLiteral("GET_CLI_PERCENT_ALL")},
                      {QStringLiteral("Params"), QStringLiteral("2")}})
                    .answer.rows.isEmpty());
    EXPECT_TRUE(Ladder(QStringLiteral("999999")).answer.rows.isEmpty());
}

TEST_F(ServerInterestTest, PercentUpdateRefusesWhatTheDialogWouldRefuse) {
    const QString before = Percents(QStringLiteral("5")).join(QLatin1Char(';'));
    struct Case {
        const char* what;
        std::initializer_list<std::pair<QString, QString>> params;
        const char* text;
    };
    const auto p = [](const char* k, const char* v) {
        return std::pair<QString, QString>(QString::fromUtf8(k), QString::fromUtf8(v));
    };
    const Case cases[] = {
        {"unknown client",
         {p("CLI", "999999"), p("ID_BROSHKA1", "1"), p("PERCENT1", "1")},
         "Клиент не найден"},
        {"rising",
         {p("CLI", "5"), p("ID_BROSHKA1", "1"), p("PERCENT1", "8"), p("ID_BROSHKA2", "2"),
          p("PERCENT2", "9"), p("ID_BROSHKA3", "3"), p("PERCENT3", "1"), p("ID_BROSHKA4", "4"),
          p("PERCENT4", "1")},
         "Процент не может возрастать с увеличением оборотов!"},
        {"tier twice",
         {p("CLI", "5"), p("ID_BROSHKA1", "1"), p("PERCENT1", "8"), p("ID_BROSHKA2", "1"),
          p("PERCENT2", "8")},
         "Уровень оборота 1 указан дважды"},
        {"tier missing",
         {p("CLI", "5"), p("ID_BROSHKA1", "1"), p("PERCENT1", "8")},
         "Указаны не все уровни оборота"},
        {"comma decimal",
         {p("CLI", "5"), p("ID_BROSHKA1", "1"), p("PERCENT1", "8,5")},
         "Неверный процент: \"8,5\""},
        {"above 100",
         {p("CLI", "5"), p("ID_BROSHKA1", "1"), p("PERCENT1", "100.5")},
         "Неверный процент: \"100.5\""},
        {"unknown tier",
         {p("CLI", "5"), p("ID_BROSHKA1", "77"), p("PERCENT1", "1")},
         "Неизвестный уровень оборота: \"77\""},
    };
    for (const Case& c : cases) {
        const EngineResult r = Pair(QStringLiteral("UpdBrokPerc"), c.params);
        EXPECT_EQ(Text(r), QString::fromUtf8(c.text)) << c.what;
    }
    EXPECT_EQ(Percents(QStringLiteral("5")).join(QLatin1Char(';')), before);

    const EngineResult ok =
        Pair(QStringLiteral("UpdBrokPerc"),
             {p("CLI", "5"), p("ID_BROSHKA1", "1"), p("PERCENT1", "100"), p("ID_BROSHKA2", "2"),
              p("PERCENT2", "10.125"), p("ID_BROSHKA3", "3"), p("PERCENT3", "10.125"),
              p("ID_BROSHKA4", "4"), p("PERCENT4", "0")});
    EXPECT_EQ(Text(ok), QStringLiteral("OK"));
    EXPECT_EQ(Percents(QStringLiteral("5")), QStringList({"100", "10.125", "10.125", "0"}));
}

TEST_F(ServerInterestTest, FlagAndAccountChangesAreCheckedAndKept) {
    const auto p = [](const char* k, const char* v) {
        return std::pair<QString, QString>(QString::fromUtf8(k), QString::fromUtf8(v));
    };
    EXPECT_EQ(Text(Pair(QStringLiteral("UpdPercFlag"), {p("CLI", "5"), p("AUTO_CALC", "2")})),
              QStringLiteral("Неверный признак удержания: \"2\""));
    EXPECT_EQ(Text(Pair(QStringLiteral("UpdPercFlag"), {p("CLI", "5"), p("AUTO_CALC", "1")})),
              QStringLiteral("OK"));
    EXPECT_EQ(Count(QStringLiteral("SELECT auto_calc FROM client_interest_flag WHERE cli_id = 5")),
              1);
    EXPECT_EQ(Text(Pair(QStringLiteral("UpdPercFlag"), {p("CLI", "5"), p("AUTO_CALC", "0")})),
              QStringLiteral("OK"));
    EXPECT_EQ(Count(QStringLiteral("SELECT auto_calc FROM client_interest_flag WHERE cli_id = 5")),
              0);

    // Only an account of the firm's own client receives the interest.
    const qint64 clientAccount =
        Count(QStringLiteral("SELECT MIN(id) FROM account WHERE client_id = 5"));
    const EngineResult foreign =
        Pair(QStringLiteral("UpdPercAcc"),
             {p("CLI", "1"), {QStringLiteral("PERC_ACC"), QString::number(clientAccount)}});
    EXPECT_TRUE(Text(foreign).startsWith(QStringLiteral("Счет \""))) << Text(foreign).toStdString();
    EXPECT_NE(Text(Pair(QStringLiteral("UpdPercAcc"), {p("CLI", "5"), p("PERC_ACC", "2")})),
              QStringLiteral("OK"));
    EXPECT_EQ(Text(Pair(QStringLiteral("UpdPercAcc"), {p("CLI", "1"), p("PERC_ACC", "2")})),
              QStringLiteral("OK"));
    EXPECT_EQ(store_.State(QStringLiteral("interest_acc")), QStringLiteral("2"));
}

} // namespace
