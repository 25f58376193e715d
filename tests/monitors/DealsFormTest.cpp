// The deals window: its request and property rules, the totals line, the colours, the
// filter of the change stream and the appending of new deals.
#include "ListWindowTestSupport.h"
#include "controls/StringGrid.h"
#include "filter/TFormFiltr.h"
#include "monitors/TFormSd.h"
#include "shell/base/Beep.h"
#include "shell/base/WorkstationLocale.h"

#include <QLabel>
#include <QTimer>

using namespace listtest;

namespace {

const QChar kNbsp(0x00A0);

// A new-deal record of the change stream (22 fields).
struct DealSpec {
    const char* num;
    const char* side = "B";
    const char* price = "100";
    const char* lots = "10";
    const char* vol = "1234.5";
    const char* exch = "1";
    const char* depo = "1";
    const char* brok = "8";
    const char* profit = "0";
    const char* acc = "5";
    const char* sec = "12";
};

TChangeRecord Deal(const DealSpec& d) {
    TChangeRecord r;
    r.Fields = QStringList(22);
    const auto set = [&](int n, const char* text) { r.Fields[n] = QString::fromUtf8(text); };
    set(1, "SBER");
    set(2, "4");
    set(3, "777");
    set(5, d.price);
    set(7, d.side);
    set(8, d.lots);
    set(9, d.vol);
    set(10, "0");
    set(11, d.profit);
    set(12, "0");
    set(13, "12:00:01");
    set(14, "Счет");
    set(15, d.num);
    set(16, d.exch);
    set(17, d.depo);
    set(18, d.brok);
    set(19, "Клиент");
    set(20, d.acc);
    set(21, d.sec);
    return r;
}

AnswerBuilder DealFields() {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.201"));
    for (const char* name : {"snum", "buy_sell", "svol", "sexch", "sdepo", "sbrok", "sprofit",
                             "snkd", "ID_ACC", "name_acc"})
        b.Text(QString::fromLatin1(name));
    return b;
}

class DealsForm : public ::testing::Test {
protected:
    void SetUp() override {
        TReferenceData::SetCurrent(&refs);
        SetBeepHandler([this] { ++beeps; });
        form = std::make_unique<TFormSd>();
        ses = &hub.Get(QStringLiteral("SesSd"));
    }
    void TearDown() override {
        form.reset();
        SetBeepHandler({});
        TReferenceData::SetCurrent(nullptr);
    }
    TAdvColumnGrid& Grid() { return form->GridSd(); }
    void Load(const ScriptedAnswer& answer) {
        form->SesSdLogin();
        ses->FeedData(Echo(*ses, answer));
    }

    ScopedWorkstationLocale locale{WorkstationLocale::Russian()};
    ScriptedSessionHub hub;
    TReferenceData refs;
    std::unique_ptr<TFormSd> form;
    ScriptedSession* ses = nullptr;
    int beeps = 0;
};

} // namespace

TEST_F(DealsForm, FilterPropertyLogsInAndTheLoginSendsTheList) {
    form->setProperty("SQLFilter", QStringLiteral(" AND BUY_SELL='S'"));
    EXPECT_EQ(ses->LoginCalls(), 1);
    EXPECT_TRUE(ses->Sent().empty());
    ses->RaiseLogin();
    ASSERT_EQ(ses->Sent().size(), 1u);
    EXPECT_EQ(ses->Last().name, QStringLiteral("SpisokBB"));
    EXPECT_EQ(ses->Last().params, Pieces({"chto=201", "fltr= AND BUY_SELL='S'"}));
    ses->FeedData(Echo(*ses, DealFields().Build()));
    ses->RaiseLogin(); // every later login sends again, now from the metadata cache
    EXPECT_EQ(ses->Last().params,
              Pieces({"chto=201", "fltr= AND BUY_SELL='S'", "NoSendMetadata=1"}));
    // The settings are the grid's own text, without a prefix.
    const QString settings = form->property("FormSettings").toString();
    EXPECT_TRUE(settings.startsWith(QStringLiteral("\x06\x05") + QStringLiteral("acg04")));
    form->setProperty("FormSettings", settings);
    EXPECT_EQ(form->property("FormSettings").toString(), settings);
    EXPECT_EQ(form->Tag(), 2);
}

TEST_F(DealsForm, FullLoadShowsTheTotalsLineAndTheDealColours) {
    AnswerBuilder b = DealFields();
    b.Row({"1", "B", "1000,5", "1", "0,5", "2", "-3,25", "1", "5", "A"});
    b.Row({"2", "S", "234", "2", "0,5", "3", "10", "0", "5", "A"});
    b.Row({"3", "B", "", "", "", "", "4", "", "5", "A"});
    Load(b.Build());
    ASSERT_EQ(DataRows(Grid()), 3);
    const QString expected = QStringLiteral("  Итого Оборот: 1") + kNbsp +
                             QStringLiteral("234,50,  Бирже: 3,00,  Депо: 1,00,  Брокеру: 5,00,  "
                                            "НКД: 1,00,  Доход: 10,75");
    EXPECT_EQ(form->TotalsText(), expected);
    EXPECT_EQ(form->TotalsLabel()->text(), expected);

    const int profit = gridcols::RealByTag(Grid(), TFormSd::kProfit);
    const int volume = gridcols::RealByTag(Grid(), TFormSd::kVolume);
    const QColor navy(0, 0, 128);
    const QColor red(255, 0, 0);
    EXPECT_EQ(Grid().CellLook(volume, 1).Text, navy);
    EXPECT_EQ(Grid().CellLook(profit, 1).Text, red); // red wins over navy
    EXPECT_FALSE(Grid().CellLook(volume, 2).Text.isValid());
    EXPECT_EQ(Grid().CellLook(profit, 3).Text, navy);
    EXPECT_FALSE(Grid().CellLook(volume, 1).Background.isValid());
}

TEST_F(DealsForm, AnAnswerWithoutMetadataLeavesOneBlankRowAndZeroTotals) {
    AnswerBuilder b = DealFields();
    b.Row({"1", "B", "1000", "1", "0", "2", "3", "1", "5", "A"});
    Load(b.Build());
    ScriptedAnswer bare;
    bare.rows = {QStringLiteral("garbage") + QChar(0)};
    ses->FeedData(bare);
    EXPECT_EQ(DataRows(Grid()), 1);
    EXPECT_EQ(Cell(Grid(), TFormSd::kNum, 0), QString());
    EXPECT_EQ(form->TotalValue(TFormSd::kTurnover), 0);
    EXPECT_TRUE(
        form->TotalsText().startsWith(QStringLiteral("  Итого Оборот: 0,00,  Бирже: 0,00")));
}

TEST_F(DealsForm, DealMatchesFilterStepByStep) {
    struct Case {
        const char* sql;
        const char* buySell;
        QStringList accounts;
        QStringList securities;
        DealSpec deal;
        bool matches;
    };
    const Case cases[] = {
        {"", "S", {"9"}, {"9"}, {"1"}, true}, // an empty filter takes every deal
        {" x", "S", {}, {}, {"1", "B"}, false},
        {" x", "S", {}, {}, {"1", "S"}, true},
        {" x", "BS", {}, {}, {"1", "B"}, true},
        {" x", "BS", {}, {}, {"1", ""}, false}, // an empty letter occurs nowhere
        {" x", "", {}, {}, {"1", ""}, true},
        {" x", "", {"5", "7"}, {}, {"1", "B", "1", "1", "1", "0", "0", "0", "0", "7"}, true},
        {" x", "", {"5", "7"}, {}, {"1", "B", "1", "1", "1", "0", "0", "0", "0", "75"}, false},
        {" x", "", {"05"}, {}, {"1", "B", "1", "1", "1", "0", "0", "0", "0", "5"}, false},
        {" x", "", {}, {"12"}, {"1"}, true},
        {" x", "", {}, {"13"}, {"1"}, false},
    };
    for (const Case& c : cases) {
        form->setProperty("SQLFilter", QString::fromUtf8(c.sql));
        form->SetDealFilter(c.securities, c.accounts, QString::fromUtf8(c.buySell));
        EXPECT_EQ(form->DealMatchesFilter(Deal(c.deal)), c.matches)
            << c.sql << "|" << c.buySell << "|" << c.deal.side << "|" << c.deal.acc;
    }
}

TEST_F(DealsForm, NewDealsFillTheBlankRowThenAppendWithGroupedCellsAndTotals) {
    AddSecurity(refs, 12, 1, 1000);
    Load(DealFields().Build()); // no deals yet: one blank row
    form->AppendDeal(Deal({"10", "B", "100", "10", "1234.5"}));
    ASSERT_EQ(DataRows(Grid()), 1);
    EXPECT_EQ(Cell(Grid(), TFormSd::kNum, 0), QStringLiteral("10"));
    EXPECT_EQ(Cell(Grid(), TFormSd::kVolume, 0), QStringLiteral("1") + kNbsp + "234,50");
    EXPECT_EQ(Cell(Grid(), TFormSd::kPrice, 0), QStringLiteral("100,0000"));
    EXPECT_EQ(Cell(Grid(), TFormSd::kNetPrice, 0), QStringLiteral("100,1000"));
    EXPECT_EQ(Cell(Grid(), TFormSd::kNameAcc, 0), QStringLiteral("Счет")); // not decorated
    EXPECT_EQ(Cell(Grid(), TFormSd::kIdAcc, 0), QString());

    form->AppendDeal(Deal({"11", "S", "100", "10", "1000"}));
    ASSERT_EQ(DataRows(Grid()), 2);
    EXPECT_EQ(Cell(Grid(), TFormSd::kNetPrice, 1), QStringLiteral("99,9000"));
    EXPECT_DOUBLE_EQ(form->TotalValue(TFormSd::kTurnover), 2234.5);
    EXPECT_DOUBLE_EQ(form->TotalValue(TFormSd::kBroker), 16);
    EXPECT_TRUE(form->TotalsLabel()->text().contains(QStringLiteral("Брокеру: 16,00")));

    // Loaded rows hold plain numbers, appended ones grouped: the totals read both.
    AnswerBuilder b = DealFields();
    b.Row({"1", "S", "5000,25", "0", "0", "0", "0", "0", "5", "A"});
    Load(b.Build());
    form->AppendDeal(Deal({"12", "B", "100", "10", "1234.5"}));
    EXPECT_DOUBLE_EQ(form->TotalValue(TFormSd::kTurnover), 6234.75);
}

TEST_F(DealsForm, ABurstOfDealsLandsInSortOrderWithOneSort) {
    AnswerBuilder b = DealFields();
    for (const char* num : {"20", "40", "60"})
        b.Row({num, "S", "1", "0", "0", "0", "0", "0", "5", "A"});
    Load(b.Build());
    Grid().SortByColumn(gridcols::RealByTag(Grid(), TFormSd::kNum), false);
    int sorts = 0;
    QObject::connect(&Grid(), &TStringGrid::Sorted, [&] { ++sorts; });
    form->AppendDeals({Deal({"50"}), Deal({"10"}), Deal({"70"})});
    QStringList order;
    for (int r = 0; r < DataRows(Grid()); ++r)
        order << Cell(Grid(), TFormSd::kNum, r);
    EXPECT_EQ(order, (QStringList{"70", "60", "50", "40", "20", "10"}));
    EXPECT_LE(sorts, 1);
}

TEST_F(DealsForm, NetPriceIsLeftEmptyWithoutADivisorOrASecurity) {
    struct Case {
        int lotSize;
        int nominal;
        const char* lots;
        const char* net;
    };
    const Case cases[] = {
        {1, 1000, "10", "100,1000"},
        {0, 1000, "10", ""},
        {1, 0, "10", ""},
        {1, 1000, "0", ""},
        {1000, 1000, "100000", "100,0000"}, // 10^11 units: no 32-bit product
    };
    int sec = 100;
    for (const Case& c : cases) {
        ++sec;
        AddSecurity(refs, sec, c.lotSize, c.nominal);
        DealSpec d{"1", "B", "100", c.lots};
        const QByteArray secText = QByteArray::number(sec);
        d.sec = secText.constData();
        Load(DealFields().Build());
        form->AppendDeal(Deal(d));
        EXPECT_EQ(Cell(Grid(), TFormSd::kNetPrice, 0), QString::fromUtf8(c.net))
            << c.lotSize << " " << c.nominal << " " << c.lots;
    }
    Load(DealFields().Build());
    form->AppendDeal(Deal({"1", "B", "100", "10", "1", "1", "1", "1", "0", "5", "999"}));
    EXPECT_EQ(Cell(Grid(), TFormSd::kNetPrice, 0), QString());
}

TEST_F(DealsForm, ARecordThatCannotBeShownIsSkippedAndTheOthersAppended) {
    DealSpec noNumber{""};
    DealSpec badVolume{"2"};
    badVolume.vol = "12x";
    DealSpec emptyProfit{"3"};
    emptyProfit.profit = "";
    EXPECT_FALSE(Deal(badVolume).DealFault().isEmpty());
    EXPECT_TRUE(Deal(badVolume).DealFault().contains(QStringLiteral("2")));
    Load(DealFields().Build());
    form->AppendDeals(
        {Deal({"1"}), Deal(noNumber), Deal(badVolume), Deal(emptyProfit), Deal({"4"})});
    ASSERT_EQ(DataRows(Grid()), 2);
    EXPECT_EQ(Cell(Grid(), TFormSd::kNum, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(Grid(), TFormSd::kNum, 1), QStringLiteral("4"));
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(Cell(Grid(), TFormSd::kVolume, 1), QStringLiteral("1") + kNbsp + "234,50");
}

TEST_F(DealsForm, TheFilterActionSendsOnceAndItsListsGuideTheChangeStream) {
    TReferenceData filterRefs;
    for (int id : {5, 7}) {
        auto acc = std::make_unique<TAccObj>();
        acc->Id = id;
        acc->Name = QStringLiteral("Счет %1").arg(id);
        filterRefs.Accounts.Append(std::move(acc));
    }
    TFormFiltr& dialog = TFormFiltr::Instance();
    dialog.FillTreeAcc(filterRefs);
    dialog.FillTreeBum(filterRefs);
    TFilterTree& tree = dialog.Logic().AccTree;
    tree.SetMark(tree.Order()[1], CheckMark::Unchecked);
    dialog.Logic().Buy = false;

    QTimer::singleShot(0, &dialog, [&] { dialog.ConfirmClick(); });
    Trigger(*form->PopupMenu(), "Фильтр");
    EXPECT_EQ(ses->LoginCalls(), 0);
    ASSERT_EQ(ses->Sent().size(), 1u);
    EXPECT_EQ(ses->Last().params, Pieces({"chto=201", "fltr= AND (ID_ACC=7) AND BUY_SELL='S'"}));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Сделки | Счет 7 | {продажа}"));
    EXPECT_TRUE(form->DealMatchesFilter(Deal({"1", "S", "1", "1", "1", "0", "0", "0", "0", "7"})));
    EXPECT_FALSE(form->DealMatchesFilter(Deal({"1", "S", "1", "1", "1", "0", "0", "0", "0", "5"})));
    EXPECT_FALSE(form->DealMatchesFilter(Deal({"1", "B", "1", "1", "1", "0", "0", "0", "0", "7"})));
    dialog.ClearTrees();
    dialog.Logic().Buy = true;
}
