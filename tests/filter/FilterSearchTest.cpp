// Searching the filter trees by number, by part of a name and by longest prefix.
#include "FilterTestData.h"
#include "filter/FilterLogic.h"

#include <gtest/gtest.h>

using namespace filtertest;

namespace {

class FilterSearch : public ::testing::Test {
protected:
    void SetUp() override {
        FillSample(refs);
        AddAccount(refs, 21, QStringLiteral("Счет пятый"), 2);
        AddBum(refs, 104, QStringLiteral("SBERP"), QStringLiteral("TQBR"));
        logic.FillTreeAcc(refs, true);
        logic.FillTreeBum(refs, true);
    }
    int Id(const TFilterTree& tree, int node) {
        return node == TFilterTree::None ? 0 : tree.Node(node).id;
    }
    int Acc(const QString& text, bool fromFocused = false, int from = -1) {
        return Id(logic.AccTree, logic.FindAcc(text, fromFocused, from));
    }
    int Bum(const QString& text, bool fromFocused = false, int from = -1) {
        return Id(logic.BumTree, logic.FindBum(text, fromFocused, from));
    }

    TReferenceData refs;
    TFilterLogic logic;
};

} // namespace

TEST_F(FilterSearch, NumbersFindAccountsSecuritiesAndMoney) {
    EXPECT_EQ(Acc(QStringLiteral("7")), 7);
    EXPECT_EQ(Acc(QStringLiteral("1")), 0); // client 1 is not an account
    EXPECT_EQ(Bum(QStringLiteral("201")), 201);
    EXPECT_EQ(Bum(QStringLiteral("-2")), -2);
    EXPECT_EQ(Bum(QStringLiteral("10")), 0); // board 10 is not a security
    EXPECT_EQ(Acc(QString()), 0);
}

TEST_F(FilterSearch, StarFindsPartsOfNamesIgnoringCase) {
    EXPECT_EQ(Acc(QStringLiteral("*СЕМ")), 7);
    EXPECT_EQ(Acc(QStringLiteral("*дор")), 3); // a client
    EXPECT_EQ(Bum(QStringLiteral("*fz")), 201);
    const int first = logic.FindBum(QStringLiteral("*FZ"), false, -1);
    EXPECT_EQ(Bum(QStringLiteral("*FZ"), true, first), 202);
    EXPECT_EQ(Bum(QStringLiteral("*ZZZ")), 0);
}

TEST_F(FilterSearch, PrefixSelectsTheFirstLongestMatch) {
    EXPECT_EQ(Acc(QStringLiteral("сч")), 5);
    EXPECT_EQ(Acc(QStringLiteral("СЧЕТ ПЯТЫ")), 21);
    EXPECT_EQ(Acc(QStringLiteral("счет пятьдесят")), 5); // longest partial match
    EXPECT_EQ(Bum(QStringLiteral("sberp")), 104);
    EXPECT_EQ(Bum(QStringLiteral("SB")), 101);
    EXPECT_EQ(Bum(QStringLiteral("XYZ")), 0);
    // Continuing starts after the focused node.
    const int sber = logic.FindBum(QStringLiteral("SB"), false, -1);
    EXPECT_EQ(Bum(QStringLiteral("SB"), true, sber), 104);
    EXPECT_EQ(Bum(QStringLiteral("SBERP"), true, logic.FindBum(QStringLiteral("SBERP"), false, -1)),
              0);
}
