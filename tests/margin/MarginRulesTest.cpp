// The margin rules window: its list, the rule commands with their counter and limits,
// the re-reads of other windows, the copy and the wait cursor.
#include "MarginTestSupport.h"
#include "grids/NodeOps.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/TtsvTreeView.h"
#include "grids/fill/ResponseFill.h"
#include "margin/LimitSpinBox.h"
#include "margin/TFormMarginAddRule.h"
#include "margin/TFormMarginCopyRule.h"
#include "margin/TFormMarginEditRule.h"
#include "margin/TFormMarginRules.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

using namespace margintest;

namespace {

ScriptedAnswer RuleList(std::initializer_list<std::initializer_list<const char*>> rows) {
    AnswerBuilder b;
    for (const auto& row : rows) {
        std::vector<AnswerBuilder::Cell> cells;
        for (const char* f : row)
            cells.emplace_back(f);
        b.Row(cells);
    }
    return b.Build();
}

class MarginRules : public ::testing::Test {
protected:
    void SetUp() override {
        boxes = std::make_shared<ScriptedBoxes>();
        Services::SetMessageBox(boxes);
        TReferenceData::SetCurrent(&refs);
    }
    void TearDown() override {
        windows.clear();
        TReferenceData::SetCurrent(nullptr);
        Services::SetMessageBox(nullptr);
    }
    TFormMarginRules& Open(const char* client) {
        windows.push_back(std::make_unique<TFormMarginRules>());
        TFormMarginRules& w = *windows.back();
        w.SetClient(QString::fromUtf8(client), QStringLiteral("Клиент ") + client);
        w.SesMrgRulesLogin();
        return w;
    }
    ScriptedSession& List(int i) { return *hub.All(QStringLiteral("SesMrgRules"))[size_t(i)]; }
    ScriptedSession& Change(int i) { return *hub.All(QStringLiteral("SesChangeRule"))[size_t(i)]; }
    void Load(int i, const ScriptedAnswer& answer) { List(i).FeedData(answer); }
    void SelectRow(TFormMarginRules& w, int row) {
        w.GridMrgRules().setCurrentIndex(w.GridMrgRules().model()->index(row - 1, 1));
    }

    ScriptedSessionHub hub;
    std::shared_ptr<ScriptedBoxes> boxes;
    TReferenceData refs;
    std::vector<std::unique_ptr<TFormMarginRules>> windows;
};

} // namespace

TEST_F(MarginRules, HandOverReadsTheListAndFlagsShowAsWords) {
    TFormMarginRules& w = Open("5");
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Клиент 5 - Инструменты маржинальной торговли"));
    EXPECT_EQ(List(0).Last().params, Pieces({"chto=651", "param0=5"}));
    Load(0, RuleList({{"101", "SBER", "1500.7", "1", "0"}, {"-1", "Деньги", "0", "7", "x"}}));
    const auto cell = [&](int tag, int row) {
        return gridcols::TextByTag(w.GridMrgRules(), tag, row);
    };
    EXPECT_EQ(cell(TFormMarginRules::kCountsInLevel, 1), QStringLiteral("Да"));
    EXPECT_EQ(cell(TFormMarginRules::kMarginTrading, 1), QString());
    EXPECT_EQ(cell(TFormMarginRules::kCountsInLevel, 2),
              QStringLiteral("Ошибка! Свяжитесь с разработчиком"));
    EXPECT_EQ(TFormMarginRules::FlagText(QString()), QString());
    // A new login reads again.
    List(0).RaiseLogin();
    EXPECT_EQ(List(0).Sent().size(), 2u);
}

TEST_F(MarginRules, LimitsAreSentUnroundedOnAddAndRoundedHalfToEvenOnChange) {
    struct Case {
        double value;
        const char* text;
    };
    for (const Case& c : {Case{1500.7, "1501"}, Case{2.5, "2"}, Case{3.5, "4"}, Case{0, "0"}})
        EXPECT_EQ(TFormMarginRules::RoundedLimit(c.value), QString::fromUtf8(c.text)) << c.value;

    TFormMarginEditRule edit;
    TFormMarginRules& w = Open("5");
    Load(0, RuleList({{"101", "SBER", "1000", "1", "0"}}));
    SelectRow(w, 1);
    QTimer::singleShot(0, &edit, [&] {
        EXPECT_EQ(edit.EdBumName()->text(), QStringLiteral("SBER"));
        EXPECT_DOUBLE_EQ(edit.Limit(), 1000);
        EXPECT_TRUE(edit.CountsInLevel());
        EXPECT_FALSE(edit.MarginTrading());
        edit.EdSellLimit()->Editor()->setText(QStringLiteral("1500.7"));
        edit.EdSellLimit()->interpretText();
        edit.accept();
    });
    w.EditClick();
    EXPECT_EQ(Change(0).Last().params, Pieces({"chto=600", "param0=5", "param1=101", "param2=1501",
                                               "param3=1", "param4=0", "param5=0"}));
    EXPECT_TRUE(w.Waiting());
    // The field shows no decimals but keeps what was typed.
    EXPECT_EQ(edit.EdSellLimit()->text().remove(QChar(',')).remove(QChar(0xA0)).remove(' '),
              QStringLiteral("1501"));
}

TEST_F(MarginRules, BatchOfAddsReReadsOnceAfterTheLastAnswer) {
    refs.ClientKey = QStringLiteral("1");
    TFormMarginAddRule add;
    TFormMarginRules& w = Open("5");
    QTimer::singleShot(0, &add, [&] {
        TFilterTree& tree = add.Logic().Tree;
        // Three securities chosen directly in the logic tree (no reference data needed).
        tree.Clear();
        const int top = tree.AddRoot({});
        FilterNode all;
        all.kind = 1;
        const int allNode = tree.AddChild(top, all);
        for (int id : {101, 102, -1}) {
            FilterNode n;
            n.kind = id < 0 ? 5 : 4;
            n.id = id;
            tree.AddChild(allNode, n);
        }
        FilterNode other;
        other.kind = 4;
        other.id = 103;
        tree.AddChild(allNode, other);
        tree.Finish();
        for (int n = 2; n <= 4; ++n)
            tree.SetMark(n, CheckMark::Checked);
        add.EdSellLimit()->Editor()->setText(QStringLiteral("1500.7"));
        add.EdSellLimit()->interpretText();
        add.CbMrgBuyEnable()->setChecked(true);
        add.ConfirmClick();
    });
    w.AddClick();
    const auto sent = Change(0).Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].params, Pieces({"chto=600", "param0=5", "param1=101", "param2=1500.7",
                                      "param3=0", "param4=1", "param5=1"}));
    EXPECT_EQ(sent[2].Param(QStringLiteral("param1")), QStringLiteral("-1"));
    const size_t reads = List(0).Sent().size();
    Change(0).FeedData(CommandAnswer("0"));
    Change(0).FeedData(CommandAnswer("0"));
    EXPECT_EQ(List(0).Sent().size(), reads);
    Change(0).FeedData(CommandAnswer("0"));
    EXPECT_EQ(List(0).Sent().size(), reads + 1);
}

TEST_F(MarginRules, ConfirmedChangesReReadEveryWindowOfTheClient) {
    TFormMarginRules& a = Open("5");
    Open("5");
    Open("6");
    Load(0, RuleList({{"101", "SBER", "0", "1", "1"}}));
    SelectRow(a, 1);
    boxes->answer = MsgOk;
    a.DeleteClick();
    EXPECT_EQ(boxes->texts.last(), QStringLiteral("Удалить маржинальный унструмент SBER ?"));
    EXPECT_EQ(Change(0).Last().params, Pieces({"chto=601", "param0=5", "param1=101"}));
    const size_t before[] = {List(0).Sent().size(), List(1).Sent().size(), List(2).Sent().size()};
    Change(0).FeedData(CommandAnswer("0"));
    EXPECT_EQ(List(0).Sent().size(), before[0] + 1);
    EXPECT_EQ(List(1).Sent().size(), before[1] + 1);
    EXPECT_EQ(List(2).Sent().size(), before[2]);
    // Remove all asks first; Cancel sends nothing.
    boxes->answer = MsgCancel;
    a.DeleteAllClick();
    EXPECT_EQ(boxes->texts.last(), QStringLiteral("Удалить все правила?"));
    EXPECT_EQ(Change(0).Sent().size(), 1u);
}

TEST_F(MarginRules, RefusedCommandWithNothingOutstandingEndsTheWait) {
    TFormMarginRules& w = Open("5");
    boxes->answer = MsgOk;
    w.DeleteAllClick();
    w.DeleteAllClick();
    EXPECT_TRUE(w.Waiting());
    Change(0).FeedData(CommandAnswer("3"));
    EXPECT_TRUE(w.Waiting()); // one still outstanding
    const size_t reads = List(0).Sent().size();
    Change(0).FeedData(CommandAnswer("3"));
    EXPECT_FALSE(w.Waiting());
    EXPECT_EQ(List(0).Sent().size(), reads);
}

// A reload after one confirmed command must not end the wait of another still in
// flight (a copy to two clients), unless the link dropped and that answer is lost.
TEST_F(MarginRules, ReloadEndsTheWaitOnlyWhenNoCommandIsOutstanding) {
    for (const bool dropped : {false, true}) {
        SCOPED_TRACE(dropped ? "link dropped" : "both answered");
        windows.clear();
        TFormMarginRules& w = Open("5");
        const int i = int(hub.All(QStringLiteral("SesChangeRule")).size()) - 1;
        boxes->answer = MsgOk;
        w.DeleteAllClick();
        w.DeleteAllClick();
        Change(i).FeedData(CommandAnswer("0"));
        if (dropped)
            Change(i).RaiseDisconnect();
        List(i).FeedData(RuleList({{"101", "SBER", "1000", "1", "0"}}));
        EXPECT_EQ(w.Waiting(), !dropped);
        if (!dropped) {
            Change(i).FeedData(CommandAnswer("0"));
            List(i).FeedData(RuleList({}));
            EXPECT_FALSE(w.Waiting());
        }
    }
}

TEST_F(MarginRules, CopySendsOneCommandPerCheckedDestinationBelowTheTop) {
    refs.ClientKey = QStringLiteral("1");
    for (int id : {1, 5, 7, 9}) {
        auto c = std::make_unique<TCliObj>();
        c->Id = id;
        c->Name = QStringLiteral("Клиент ") + QString::number(id);
        refs.Clients.Append(std::move(c));
    }
    TFormMarginCopyRule copy;
    copy.FillControls2(refs, {"5", "7", "9"});
    copy.FillControls2(refs, {"5"}); // once per connection
    EXPECT_EQ(copy.SourceTree()->topLevelItem(0)->childCount(), 3);
    EXPECT_EQ(TtsvTreeView::NodeState(copy.SourceTree()->topLevelItem(0)), TtsvTreeView::Disabled);
    TFormMarginRules& w = Open("5");
    QTimer::singleShot(0, &copy, [&] {
        EXPECT_EQ(copy.SourceClient(), 5);
        QTreeWidgetItem* top = copy.DestTree()->topLevelItem(0);
        copy.DestTree()->ToggleNode(top); // the whole tree, the top node too
        copy.DestTree()->ToggleNode(top->child(0));
        copy.accept();
    });
    w.CopyClick();
    const auto sent = Change(0).Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].params, Pieces({"chto=602", "param0=5", "param1=7"}));
    EXPECT_EQ(sent[1].params, Pieces({"chto=602", "param0=5", "param1=9"}));
    copy.BreakWork();
    EXPECT_EQ(copy.SourceTree()->topLevelItemCount(), 0);
    EXPECT_EQ(copy.DestTree()->topLevelItemCount(), 0);
}
