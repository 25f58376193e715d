// The tier dialog: its checks and request text in both locales, and its flow against
// the scripted session.
#include "InterestTestSupport.h"

#include "grids/TAdvColumnGrid.h"
#include "interest/InterestRules.h"
#include "interest/TFormUpdateBrokPercent.h"
#include "shell/base/ConvertError.h"
#include "shell/base/WorkstationLocale.h"

using namespace interesttest;

namespace {

TEST(TierPercentChecks, RefuseInTheDialogsOrder) {
    struct Case {
        QStringList percents;
        const char* refusal;
    };
    const Case cases[] = {
        {{"10", "10", "8"}, ""},
        {{"8", "9"}, "Процент не может возрастать с увеличением оборотов!"},
        {{"100", "0"}, ""},
        {{"100.5", "1"}, "А не слипнется! :-)"},
        {{"", "0"}, ""}, // an empty cell reads 0
        {{"", "1"}, "Процент не может возрастать с увеличением оборотов!"},
        {{"1x", "0"}, "Cell does not contain a float value"},
        // The first failing row decides, before a later row is read.
        {{"8", "9", "x"}, "Процент не может возрастать с увеличением оборотов!"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckTierPercents(c.percents), QString::fromUtf8(c.refusal))
            << c.percents.join(QLatin1Char('|')).toStdString();
}

TEST(TierPercentChecks, RequestSendsDotDecimalsInEitherLocale) {
    const QList<TTierPercent> tiers = {{QStringLiteral("1"), QStringLiteral("12,5")},
                                       {QStringLiteral("2"), QString()}};
    const QString expected =
        PairText({"CLI=7", "ID_BROSHKA1=1", "PERCENT1=12.5", "ID_BROSHKA2=2", "PERCENT2=0"});
    {
        ScopedWorkstationLocale russian(WorkstationLocale::Russian());
        EXPECT_EQ(CheckTierPercents({QStringLiteral("12,5"), QString()}), QString());
        EXPECT_EQ(UpdateBrokerPercentParams(QStringLiteral("7"), tiers), expected);
    }
    {
        ScopedWorkstationLocale english(WorkstationLocale::English());
        QList<TTierPercent> dotted = tiers;
        dotted[0].Percent = QStringLiteral("12.5");
        EXPECT_EQ(UpdateBrokerPercentParams(QStringLiteral("7"), dotted), expected);
        dotted[1].Percent = QStringLiteral("five");
        EXPECT_THROW(UpdateBrokerPercentParams(QStringLiteral("7"), dotted), EConvertError);
    }
}

class TierDialogTest : public ::testing::Test {
protected:
    void SetUp() override { Services::SetMessageBox(boxes_); }
    void TearDown() override { Services::SetMessageBox(nullptr); }
    ScriptedSession& Perc() { return hub_.Get(QStringLiteral("SesPerc")); }
    ScriptedSession& Upd() { return hub_.Get(QStringLiteral("SesPercUpd")); }
    // A ladder of tiers: id, bounds, the higher broker's percentage, the client's.
    void FeedLadder(std::initializer_list<const char*> percents) {
        AnswerBuilder b;
        int id = 1;
        for (const char* percent : percents) {
            b.RawRow(QStringLiteral("%1").arg(id) + QChar(0) + QString::number((id - 1) * 1000000) +
                     QChar(0) + QString::number(id * 1000000) + QChar(0) + QStringLiteral("30.50") +
                     QChar(0) + QString::fromUtf8(percent) + QChar(0));
            ++id;
        }
        Perc().FeedData(b.Build());
    }

    ScopedWorkstationLocale locale_{WorkstationLocale::English()};
    ScriptedSessionHub hub_;
    std::shared_ptr<Boxes> boxes_ = std::make_shared<Boxes>();
    TFormUpdateBrokPercent dialog_;
};

TEST_F(TierDialogTest, OpeningAsksForTheClientsLadderAndShowsIt) {
    dialog_.Open(QStringLiteral("11"), QStringLiteral("Клиент 11"));
    EXPECT_EQ(dialog_.windowTitle(), QStringLiteral("Проценты по: Клиент 11"));
    EXPECT_EQ(Perc().Last().name, QStringLiteral("SPExec"));
    EXPECT_EQ(Perc().Last().params, PairText({"SP=GET_CLI_PERCENT", "Params=11"}));
    FeedLadder({"20.000", "15.25"});
    TAdvColumnGrid& grid = dialog_.PercGrid();
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cell(1, 2), QStringLiteral("1,000,000"));
    EXPECT_EQ(grid.Cell(3, 1), QStringLiteral("30.5"));
    EXPECT_EQ(grid.Cell(4, 1), QStringLiteral("20"));
    EXPECT_EQ(grid.Cell(4, 2), QStringLiteral("15.25"));
    EXPECT_NE(dialog_.cursor().shape(), Qt::WaitCursor);
}

TEST_F(TierDialogTest, OkSendsOnlyWhatPassesAndClosesOnlyOnTheServersOk) {
    dialog_.Open(QStringLiteral("11"), QStringLiteral("Клиент 11"));
    FeedLadder({"20", "15"});
    dialog_.PercGrid().SetCell(4, 2, QStringLiteral("25"));
    dialog_.BtnOkClick();
    EXPECT_EQ(boxes_->texts,
              QStringList({QStringLiteral("Процент не может возрастать с увеличением оборотов!")}));
    EXPECT_EQ(hub_.Find(QStringLiteral("SesPercUpd")), nullptr);

    dialog_.PercGrid().SetCell(4, 2, QStringLiteral("10.5"));
    dialog_.BtnOkClick();
    EXPECT_EQ(Upd().Last().name, QStringLiteral("UpdBrokPerc"));
    EXPECT_EQ(Upd().Last().params, PairText({"CLI=11", "ID_BROSHKA1=1", "PERCENT1=20",
                                             "ID_BROSHKA2=2", "PERCENT2=10.5"}));
    Upd().FeedData(AnswerBuilder().Param(QStringLiteral("Text"), QStringLiteral("Занято")).Build());
    EXPECT_EQ(boxes_->texts.last(), QStringLiteral("Занято"));
    EXPECT_EQ(dialog_.result(), 0);
    Upd().FeedData(AnswerBuilder().Param(QStringLiteral("Text"), QStringLiteral("OK")).Build());
    EXPECT_EQ(dialog_.result(), int(QDialog::Accepted));
}

TEST_F(TierDialogTest, SingleTierClosesWithCancelAndSendsNothing) {
    dialog_.setResult(-1);
    dialog_.Open(QStringLiteral("11"), QStringLiteral("Клиент 11"));
    FeedLadder({"20"});
    dialog_.BtnOkClick();
    EXPECT_EQ(dialog_.result(), int(QDialog::Rejected));
    EXPECT_EQ(hub_.Find(QStringLiteral("SesPercUpd")), nullptr);
}

} // namespace
