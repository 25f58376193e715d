// The composed expressions, caption lists, id lists and codes, and the OK checks.
#include "FilterTestData.h"
#include "filter/FilterLogic.h"

#include <gtest/gtest.h>

using namespace filtertest;

namespace {

class FilterExpressions : public ::testing::Test {
protected:
    void SetUp() override {
        FillSample(refs);
        logic.FillTreeAcc(refs, true);
        logic.FillTreeBum(refs, true);
        logic.ResetForShow();
    }
    int Node(const TFilterTree& tree, int kind, int id) {
        for (int n : tree.Order())
            if (tree.Node(n).kind == kind && tree.Node(n).id == id)
                return n;
        ADD_FAILURE() << "no node " << kind << "/" << id;
        return 0;
    }
    void CheckOnlyAccounts(std::initializer_list<int> ids) {
        logic.AccTree.SetMark(logic.AccTree.Root(), CheckMark::Unchecked);
        for (int id : ids)
            logic.AccTree.SetMark(Node(logic.AccTree, FilterKind::Account, id), CheckMark::Checked);
    }
    void UncheckAllSecurities() {
        logic.BumTree.SetMark(logic.BumTree.Root(), CheckMark::Unchecked);
    }
    // The orders window's sequence of calls.
    QString OrdersFilter(QString& caption) {
        caption = QStringLiteral("Заявки");
        QString sql = logic.AccountFilter(caption);
        sql += logic.SecurityFilter(caption, false);
        sql += logic.BuySellFilter(caption);
        sql += logic.OrderStatusFilter(caption);
        return sql;
    }

    TReferenceData refs;
    TFilterLogic logic;
};

} // namespace

TEST_F(FilterExpressions, EverythingCheckedComposesNothing) {
    QString caption;
    EXPECT_EQ(OrdersFilter(caption), QString());
    EXPECT_EQ(caption, QStringLiteral("Заявки"));
    EXPECT_TRUE(logic.FilterAccList.isEmpty());
    EXPECT_TRUE(logic.FilterBumList.isEmpty());
    EXPECT_EQ(logic.BuySellCode, QStringLiteral("BS"));
    EXPECT_EQ(logic.StatusMask, 0);
}

TEST_F(FilterExpressions, TwoAccountsOutOfMore) {
    CheckOnlyAccounts({5, 7});
    QString caption = QStringLiteral("Заявки");
    EXPECT_EQ(logic.AccountFilter(caption), QStringLiteral(" AND (ID_ACC=5 OR ID_ACC=7)"));
    // The account's own name, not the shown text with its number.
    EXPECT_EQ(caption, QStringLiteral("Заявки | Счет пять | счет семь"));
    EXPECT_EQ(logic.FilterAccList, (QStringList{QStringLiteral("5"), QStringLiteral("7")}));
}

TEST_F(FilterExpressions, CheckedBoardAndASingleSecurityOfAnotherBoard) {
    UncheckAllSecurities();
    logic.BumTree.SetMark(Node(logic.BumTree, FilterKind::Board, 10), CheckMark::Checked);
    logic.BumTree.SetMark(Node(logic.BumTree, FilterKind::Security, 201), CheckMark::Checked);
    QString caption = QStringLiteral("Заявки");
    EXPECT_EQ(logic.SecurityFilter(caption, false),
              QStringLiteral(" AND (BOARD='TQBR' OR ID_BUM=201)"));
    EXPECT_EQ(caption, QStringLiteral("Заявки | Все Акции | OFZ1"));
    EXPECT_EQ(logic.FilterBumList, (QStringList{QStringLiteral("101"), QStringLiteral("102"),
                                                QStringLiteral("103"), QStringLiteral("201")}));
}

TEST_F(FilterExpressions, CheckedTradingSystemGivesOneTerm) {
    UncheckAllSecurities();
    logic.BumTree.SetMark(Node(logic.BumTree, FilterKind::TradingSystem, 2), CheckMark::Checked);
    logic.BumTree.SetMark(Node(logic.BumTree, FilterKind::Security, 102), CheckMark::Checked);
    QString caption;
    EXPECT_EQ(logic.SecurityFilter(caption, true), QStringLiteral(" AND (ID_BUM=102 OR TS=2)"));
    EXPECT_EQ(caption, QStringLiteral("GAZP | Все РТС"));
    EXPECT_EQ(logic.FilterBumList,
              (QStringList{QStringLiteral("102"), QStringLiteral("-2"), QStringLiteral("301")}));
}

TEST_F(FilterExpressions, MoneyAloneCountsOnlyWhenAskedFor) {
    UncheckAllSecurities();
    logic.BumTree.SetMark(Node(logic.BumTree, FilterKind::Money, -1), CheckMark::Checked);
    ASSERT_EQ(logic.BumTree.Mark(logic.BumTree.Root()), CheckMark::Mixed);
    QString caption = QStringLiteral("Позиция ");
    EXPECT_EQ(logic.SecurityFilter(caption, false), QString());
    EXPECT_EQ(caption, QStringLiteral("Позиция "));
    EXPECT_TRUE(logic.FilterBumList.isEmpty());

    EXPECT_EQ(logic.SecurityFilter(caption, true), QStringLiteral(" AND (ID_BUM=-1)"));
    EXPECT_EQ(caption, QStringLiteral("Позиция  | _Деньги.ММВБ"));
    EXPECT_EQ(logic.FilterBumList, QStringList{QStringLiteral("-1")});
}

TEST_F(FilterExpressions, BoardCodeQuoteCannotEndTheLiteral) {
    TReferenceData r;
    AddTs(r, 1, QStringLiteral("T"));
    AddBoard(r, 1, QStringLiteral("A'B"), QStringLiteral("Кавычка"), 1);
    AddBoard(r, 2, QStringLiteral("C"), QStringLiteral("Другая"), 1);
    logic.FillTreeBum(r, true);
    logic.BumTree.SetMark(Node(logic.BumTree, FilterKind::Board, 2), CheckMark::Unchecked);
    QString caption;
    EXPECT_EQ(logic.SecurityFilter(caption, false), QStringLiteral(" AND (BOARD='A''B')"));
}

TEST_F(FilterExpressions, SidesAndTheirCodes) {
    QString caption;
    logic.Sell = false;
    EXPECT_EQ(logic.BuySellFilter(caption), QStringLiteral(" AND BUY_SELL='B'"));
    EXPECT_EQ(caption, QStringLiteral("{покупка}"));
    EXPECT_EQ(logic.BuySellCode, QStringLiteral("B"));

    logic.Sell = true;
    logic.Buy = false;
    caption = QStringLiteral("Сделки");
    EXPECT_EQ(logic.BuySellFilter(caption), QStringLiteral(" AND BUY_SELL='S'"));
    EXPECT_EQ(caption, QStringLiteral("Сделки | {продажа}"));
    EXPECT_EQ(logic.BuySellCode, QStringLiteral("S"));

    logic.Buy = true;
    EXPECT_EQ(logic.BuySellFilter(caption), QString());
    EXPECT_EQ(logic.BuySellCode, QStringLiteral("BS"));
}

TEST_F(FilterExpressions, EveryStatusCombination) {
    struct Case {
        bool a, e, c;
        int mask;
        const char* sql;
    };
    const Case cases[] = {
        {true, false, false, 1, " AND ostatus<11"},
        {false, true, false, 2, " AND ostatus=11"},
        {true, true, false, 3, " AND ostatus<20"},
        {false, false, true, 4, " AND ostatus>19"},
        {true, false, true, 5, " AND ostatus<>11"},
        {false, true, true, 6, " AND ostatus>10"},
        {true, true, true, 0, ""},
        {false, false, false, 0, ""},
    };
    for (const Case& c : cases) {
        logic.ResetForShow();
        logic.Active = c.a;
        logic.Executed = c.e;
        logic.Cancelled = c.c;
        QString caption;
        EXPECT_EQ(logic.OrderStatusFilter(caption), QString::fromLatin1(c.sql));
        EXPECT_EQ(logic.StatusMask, c.mask);
    }
}

TEST_F(FilterExpressions, ActiveAndCancelledMakeOneCaptionItem) {
    logic.Executed = false;
    QString caption = QStringLiteral("Заявки");
    EXPECT_EQ(logic.OrderStatusFilter(caption), QStringLiteral(" AND ostatus<>11"));
    EXPECT_EQ(caption, QStringLiteral("Заявки | { Активные} | { Отмененные}"));
    EXPECT_EQ(logic.StatusMask, 5);
}

TEST_F(FilterExpressions, DebitOnlyAndNeither) {
    CheckOnlyAccounts({5, 7});
    logic.Credit = false;
    QString caption = QStringLiteral("Проводки ");
    EXPECT_EQ(logic.DebitCreditFilter(caption),
              QStringLiteral(" AND (ID_ACC_DEBET=5 OR ID_ACC_DEBET=7)"));
    EXPECT_EQ(caption, QStringLiteral("Проводки  | Счет пять | счет семь | {списание}"));

    logic.Debit = false;
    logic.FilterAccList.clear();
    caption.clear();
    EXPECT_EQ(logic.DebitCreditFilter(caption),
              QStringLiteral(" AND (ID_ACC_DEBET=5 OR ID_ACC_KREDIT=5 OR ID_ACC_DEBET=7 OR "
                             "ID_ACC_KREDIT=7)"));
    EXPECT_TRUE(logic.IsDebetChecked());
    EXPECT_TRUE(logic.IsKreditChecked());
    EXPECT_EQ(caption, QStringLiteral("Счет пять | счет семь"));
    EXPECT_EQ(logic.FilterAccList, (QStringList{QStringLiteral("5"), QStringLiteral("7")}));

    logic.Debit = false;
    logic.AccTree.SetMark(logic.AccTree.Root(), CheckMark::Checked);
    caption.clear();
    EXPECT_EQ(logic.DebitCreditFilter(caption), QString());
    EXPECT_EQ(caption, QStringLiteral("{зачисление}"));
}

TEST_F(FilterExpressions, Positions) {
    QString caption;
    EXPECT_EQ(logic.PositionFilter(caption), QString());
    EXPECT_EQ(logic.ShortLongCode, QStringLiteral("SL"));
    logic.Short = false;
    EXPECT_EQ(logic.PositionFilter(caption), QStringLiteral(" AND curr>0 AND plann>0"));
    EXPECT_EQ(logic.ShortLongCode, QStringLiteral("L"));
    logic.Short = true;
    logic.Long = false;
    EXPECT_EQ(logic.PositionFilter(caption), QStringLiteral(" AND (curr<0 OR plann<0)"));
    EXPECT_EQ(logic.ShortLongCode, QStringLiteral("S"));
    EXPECT_EQ(caption, QStringLiteral("{длинная} | {короткая}"));
    logic.Short = false;
    EXPECT_EQ(logic.PositionFilter(caption), QString());
    EXPECT_EQ(logic.ShortLongCode, QStringLiteral("SL"));
}

TEST_F(FilterExpressions, OrdersWindowJoinsItsPiecesInOrder) {
    CheckOnlyAccounts({9});
    UncheckAllSecurities();
    logic.BumTree.SetMark(Node(logic.BumTree, FilterKind::Security, 201), CheckMark::Checked);
    logic.Sell = false;
    logic.Active = false;
    logic.Cancelled = false;
    QString caption;
    EXPECT_EQ(OrdersFilter(caption), QStringLiteral(" AND (ID_ACC=9) AND (ID_BUM=201) AND "
                                                    "BUY_SELL='B' AND ostatus=11"));
    EXPECT_EQ(caption,
              QStringLiteral("Заявки | Брокерский | OFZ1 | {покупка} | { Удовлетворенные}"));
    logic.ResetForShow();
    EXPECT_TRUE(logic.FilterAccList.isEmpty());
    EXPECT_TRUE(logic.FilterBumList.isEmpty());
    EXPECT_EQ(logic.BuySellCode, QStringLiteral("BS"));
    EXPECT_EQ(logic.StatusMask, 0);
}

TEST_F(FilterExpressions, ValidationMessagesInOrder) {
    logic.AccTree.SetMark(logic.AccTree.Root(), CheckMark::Unchecked);
    UncheckAllSecurities();
    logic.Sell = logic.Buy = false;
    logic.Short = logic.Long = false;
    logic.Active = logic.Executed = logic.Cancelled = false;
    logic.Debit = logic.Credit = false;
    EXPECT_EQ(logic.Validate(63), QStringLiteral("Не выбран ни один счет!"));
    EXPECT_EQ(logic.Validate(62), QStringLiteral("Не выбран ни один инструмент!"));
    EXPECT_EQ(logic.Validate(60),
              QStringLiteral("Неправильно установлен фильтр покупки\\продажи!"));
    EXPECT_EQ(logic.Validate(56), QStringLiteral("Неправильно установлен фильтр позиции!"));
    EXPECT_EQ(logic.Validate(40), QStringLiteral("Неправильно установлен фильтр статуса заявок!"));
    // The transaction side is not checked here; disabled trees are ignored.
    EXPECT_EQ(logic.Validate(32), QString());
    EXPECT_EQ(logic.Validate(0), QString());
    // A mixed top node passes.
    logic.AccTree.SetMark(Node(logic.AccTree, FilterKind::Account, 5), CheckMark::Checked);
    EXPECT_EQ(logic.Validate(1), QString());
}

TEST(CaptionList, FirstItemBecomesTheList) {
    QString list;
    AddCaptionItem(list, QStringLiteral("a"));
    AddCaptionItem(list, QStringLiteral("b"));
    EXPECT_EQ(list, QStringLiteral("a | b"));
    EXPECT_EQ(PaddedId(5), QStringLiteral("0005"));
    EXPECT_EQ(PaddedId(123456), QStringLiteral("123456"));
    EXPECT_EQ(PaddedId(-7), QStringLiteral("-0007"));
}
