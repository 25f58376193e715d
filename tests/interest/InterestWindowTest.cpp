// The broker interest window against the scripted session: the reshaping of the
// answer into clients and tiers, the account list and the two updates.
#include "InterestTestSupport.h"

#include "grids/TAdvColumnGrid.h"
#include "interest/TFormAllBrokPercent.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QComboBox>

using namespace interesttest;

namespace {

// One answer row: client, name, withholding, tier id, bounds, upper broker's
// percentage, the client's percentage, the interest account.
QString Row(int client, const QString& flag, double lower, double upper, const QString& percent,
            int account = 3) {
    QStringList f = {QString::number(client),
                     QStringLiteral("Клиент %1").arg(client),
                     flag,
                     QStringLiteral("9"),
                     QString::number(lower, 'f', 0),
                     QString::number(upper, 'f', 0),
                     QStringLiteral("30"),
                     percent,
                     QString::number(account)};
    return f.join(QChar(0)) + QChar(0);
}

// clients x tiers rows; the second client withholds.
ScriptedAnswer Ladder(int clients, int tiers, const QString& percent = QStringLiteral("12.5")) {
    AnswerBuilder b;
    for (int k = 0; k < clients; ++k)
        for (int j = 0; j < tiers; ++j)
            b.RawRow(Row(10 + k, k == 1 ? QStringLiteral("1") : QStringLiteral("0"), j * 1000000.0,
                         (j + 1) * 1000000.0, percent));
    return b.Build();
}

class InterestWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        refs_.ClientKey = QStringLiteral("1");
        for (auto [id, client] : {std::pair{2, 1}, {3, 1}, {4, 7}}) {
            auto account = std::make_unique<TAccObj>();
            account->Id = id;
            account->ClientId = client;
            account->Name = QStringLiteral("Счет %1").arg(id);
            refs_.Accounts.Append(std::move(account));
        }
        TReferenceData::SetCurrent(&refs_);
        Services::SetMessageBox(boxes_);
        TFormAllBrokPercent::SetTierDialogRunner([this](const QString& id, const QString& name) {
            dialogCalls_ << id + QLatin1Char('/') + name;
            return dialogAnswer_;
        });
        form_ = new TFormAllBrokPercent();
        form_->show();
    }
    void TearDown() override {
        delete form_;
        TFormAllBrokPercent::SetTierDialogRunner({});
        TReferenceData::SetCurrent(nullptr);
        Services::SetMessageBox(nullptr);
    }
    ScriptedSession& All() { return hub_.Get(QStringLiteral("SesPercAll")); }
    ScriptedSession& Cmd() { return hub_.Get(QStringLiteral("SesPercCmd")); }
    TAdvColumnGrid& Grid() { return form_->PercAllGrid(); }
    void Select(int row, int realCol) {
        Grid().setCurrentIndex(
            Grid().model()->index(row - Grid().FixedRows(), Grid().DisplColIndex(realCol)));
    }

    ScopedWorkstationLocale locale_{WorkstationLocale::English()};
    ScriptedSessionHub hub_;
    TReferenceData refs_;
    std::shared_ptr<Boxes> boxes_ = std::make_shared<Boxes>();
    TFormAllBrokPercent* form_ = nullptr;
    QStringList dialogCalls_;
    bool dialogAnswer_ = false;
};

TEST_F(InterestWindowTest, LoadsOnFirstShowingOnly) {
    ASSERT_EQ(All().Sent().size(), 1u);
    EXPECT_EQ(All().Last().name, QStringLiteral("SPExec"));
    EXPECT_EQ(All().Last().params, PairText({"SP=GET_CLI_PERCENT_ALL", "Params=1"}));
    EXPECT_EQ(form_->cursor().shape(), Qt::WaitCursor);
    form_->hide();
    form_->show();
    EXPECT_EQ(All().Sent().size(), 1u);
}

TEST_F(InterestWindowTest, AnswerIsReshapedIntoClientsAndTiers) {
    struct Case {
        int clients, tiers, columns, rows;
    };
    for (const Case& c : {Case{3, 4, 7, 5}, Case{1, 3, 6, 3}, Case{2, 1, 4, 4}}) {
        All().FeedData(Ladder(c.clients, c.tiers));
        EXPECT_EQ(Grid().ColCount(), c.columns) << c.clients << "x" << c.tiers;
        EXPECT_EQ(Grid().RowCount(), c.rows) << c.clients << "x" << c.tiers;
    }
    EXPECT_NE(form_->cursor().shape(), Qt::WaitCursor);

    All().FeedData(Ladder(3, 4));
    EXPECT_EQ(Grid().Cell(3, 0), QStringLiteral("от 0"));
    EXPECT_EQ(Grid().Cell(4, 0), QStringLiteral("от 1,000,000"));
    EXPECT_EQ(Grid().Cell(4, 1), QStringLiteral("до 2,000,000"));
    EXPECT_EQ(Grid().Cell(0, 3), QStringLiteral("11"));
    EXPECT_EQ(Grid().Cell(1, 3), QStringLiteral("Клиент 11"));
    EXPECT_EQ(Grid().Cell(2, 2), QStringLiteral("OFF"));
    EXPECT_EQ(Grid().Cell(2, 3), QStringLiteral("ON"));
    EXPECT_EQ(Grid().Cell(6, 4), QStringLiteral("12.5"));
    // A withholding client is green across the row, others are not.
    for (int col = 0; col < 7; ++col)
        EXPECT_EQ(Grid().CellLook(col, 3).Background, QColor(0, 255, 0)) << col;
    EXPECT_NE(Grid().CellLook(4, 2).Background, QColor(0, 255, 0));
    EXPECT_TRUE(Grid().CellAlignment(5, 2) & Qt::AlignRight);

    // An empty answer leaves the bounds row only.
    All().FeedData(AnswerBuilder().Build());
    EXPECT_EQ(Grid().RowCount(), 2);
}

TEST_F(InterestWindowTest, RememberedCellComesBackOnlyInsideTheTable) {
    All().FeedData(Ladder(3, 4));
    Select(4, 5);
    form_->ReloadInterest();
    All().FeedData(Ladder(3, 4));
    EXPECT_EQ(Grid().currentIndex().row() + 1, 4);
    EXPECT_EQ(Grid().RealColIndex(Grid().currentIndex().column()), 5);
    form_->ReloadInterest();
    All().FeedData(Ladder(2, 2)); // row 4 and column 5 are gone
    EXPECT_NE(Grid().currentIndex().row() + 1, 4);
    EXPECT_TRUE(Grid().IsHiddenColumn(5));
}

TEST_F(InterestWindowTest, AnswerSelectsTheAccountWithoutSendingAndTheUserChoiceSends) {
    ASSERT_EQ(form_->CBPercAcc().count(), 2); // the firm's accounts only
    All().FeedData(Ladder(2, 2));
    EXPECT_EQ(form_->CBPercAcc().currentData().toInt(), 3);
    EXPECT_TRUE(hub_.Find(QStringLiteral("SesPercCmd")) == nullptr || Cmd().Sent().empty());

    emit form_->CBPercAcc().activated(0);
    EXPECT_EQ(Cmd().Last().name, QStringLiteral("UpdPercAcc"));
    EXPECT_EQ(Cmd().Last().params, PairText({"CLI=1", "PERC_ACC=2"}));
}

TEST_F(InterestWindowTest, SwitchFollowsTheRowAndTheAnswerReloadsOrShowsTheRefusal) {
    All().FeedData(Ladder(3, 2));
    struct Case {
        int row;
        const char* caption;
        const char* params;
    };
    for (const Case& c : {Case{3, "Отключить удержание процентов", "AUTO_CALC=0"},
                          Case{2, "Включить удержание процентов", "AUTO_CALC=1"}}) {
        Select(c.row, 1);
        form_->PreparePopup();
        EXPECT_EQ(form_->SwitchAction()->text(), QString::fromUtf8(c.caption));
        form_->SwitchAction()->trigger();
        EXPECT_EQ(Cmd().Last().name, QStringLiteral("UpdPercFlag"));
        EXPECT_EQ(Cmd().Last().params, QStringLiteral("CLI=%1").arg(8 + c.row) + QChar(0) +
                                           QString::fromUtf8(c.params) + QChar(0));
    }

    const size_t loads = All().Sent().size();
    Cmd().FeedData(AnswerBuilder().Param(QStringLiteral("Text"), QStringLiteral("OK")).Build());
    EXPECT_EQ(All().Sent().size(), loads + 1);
    EXPECT_TRUE(boxes_->texts.isEmpty());

    Cmd().FeedData(AnswerBuilder().Param(QStringLiteral("Text"), QStringLiteral("Нельзя")).Build());
    EXPECT_EQ(All().Sent().size(), loads + 1);
    ASSERT_EQ(boxes_->texts, QStringList({QStringLiteral("Нельзя")}));
    EXPECT_EQ(boxes_->kinds[0], MsgKind::Error);
    EXPECT_EQ(boxes_->buttonSets[0], int(MsgCancel));
}

TEST_F(InterestWindowTest, TierDialogOpensFromAClientRowAndItsOkReloads) {
    All().FeedData(Ladder(2, 2));
    Select(1, 3); // the bounds row opens nothing
    form_->PopupMenu()->actions().first()->trigger();
    EXPECT_TRUE(dialogCalls_.isEmpty());

    Select(3, 2);
    const size_t loads = All().Sent().size();
    form_->PopupMenu()->actions().first()->trigger();
    EXPECT_EQ(dialogCalls_, QStringList({QStringLiteral("11/Клиент 11")}));
    EXPECT_EQ(All().Sent().size(), loads);
    dialogAnswer_ = true;
    form_->PopupMenu()->actions().first()->trigger();
    EXPECT_EQ(All().Sent().size(), loads + 1);
}

TEST_F(InterestWindowTest, BoundThatIsNotANumberStopsTheFillWithALogLine) {
    AnswerBuilder b;
    b.RawRow(Row(10, QStringLiteral("0"), 0, 5, QStringLiteral("1")));
    QString bad = Row(10, QStringLiteral("0"), 5, 9, QStringLiteral("1"));
    QStringList fields = bad.split(QChar(0));
    fields[4] = QStringLiteral("abc");
    bad = fields.join(QChar(0));
    b.RawRow(bad);
    ScopedLog log;
    All().FeedData(b.Build());
    EXPECT_NE(form_->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(log.Text().contains(QStringLiteral("EXCEPTION SesPercAll.OnData")));
    EXPECT_TRUE(log.Text().contains(QStringLiteral("abc")));
}

} // namespace
