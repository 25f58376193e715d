// Shape of the two filter trees and the three-state checks.
#include "FilterTestData.h"
#include "filter/FilterLogic.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Log.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace filtertest;

namespace {

int FindNode(const TFilterTree& tree, int kind, int id) {
    for (int n : tree.Order())
        if (tree.Node(n).kind == kind && tree.Node(n).id == id)
            return n;
    return -1;
}

std::vector<QString> ChildTexts(const TFilterTree& tree, int node) {
    std::vector<QString> texts;
    for (int c : tree.Node(node).children)
        texts.push_back(tree.Node(c).text);
    return texts;
}

class FilterTrees : public ::testing::Test {
protected:
    void SetUp() override {
        SetLogFileName(dir.filePath("filter.log"));
        FillSample(refs);
    }
    void TearDown() override { SetLogFileName(QString()); }
    QString LogText() {
        QFile f(dir.filePath("filter.log"));
        return f.open(QIODevice::ReadOnly) ? Cp1251::Decode(f.readAll()) : QString();
    }

    QTemporaryDir dir;
    TReferenceData refs;
    TFilterLogic logic;
};

} // namespace

TEST_F(FilterTrees, AccountTreeWithClientsPutsAccountsBeforeSubClients) {
    logic.FillTreeAcc(refs, true);
    const TFilterTree& t = logic.AccTree;
    ASSERT_EQ(t.Node(t.Root()).text, QStringLiteral("ВСЕ СЧЕТА"));
    EXPECT_EQ(t.Node(t.Root()).kind, FilterKind::AllAccounts);
    // The account of an unknown client sits first under the top node.
    EXPECT_EQ(ChildTexts(t, t.Root()),
              (std::vector<QString>{QStringLiteral("0011 Ничей"), QStringLiteral("Иванов"),
                                    QStringLiteral("Петров")}));
    const int ivanov = FindNode(t, FilterKind::Client, 1);
    EXPECT_EQ(ChildTexts(t, ivanov),
              (std::vector<QString>{QStringLiteral("0005 Счет пять"), QStringLiteral("Сидоров")}));
    EXPECT_EQ(t.Node(ivanov).icon, FilterIcon::ClientGroup);
    EXPECT_EQ(t.Node(FindNode(t, FilterKind::Client, 2)).icon, FilterIcon::Client);
    EXPECT_EQ(t.Node(FindNode(t, FilterKind::Account, 9)).icon, FilterIcon::Account);
    for (int n : t.Order())
        EXPECT_EQ(t.Mark(n), CheckMark::Checked);
    const QString log = LogText();
    EXPECT_TRUE(log.contains(QStringLiteral("Строю дерево клиентов и счетов в фильтре.")));
    EXPECT_TRUE(log.contains(QStringLiteral("AccTree=")));
}

TEST_F(FilterTrees, AccountTreeWithoutClientsIsSortedByNameIgnoringCase) {
    logic.FillTreeAcc(refs, false);
    const TFilterTree& t = logic.AccTree;
    EXPECT_EQ(
        ChildTexts(t, t.Root()),
        (std::vector<QString>{QStringLiteral("0009 Брокерский"), QStringLiteral("0011 Ничей"),
                              QStringLiteral("0005 Счет пять"), QStringLiteral("0007 счет семь")}));
}

TEST_F(FilterTrees, SubClientListedBeforeItsParentIsPlacedUnderIt) {
    TReferenceData r;
    AddClient(r, 30, QStringLiteral("Дочерний"), 40);
    AddClient(r, 40, QStringLiteral("Дочерний 2"), 50);
    AddClient(r, 50, QStringLiteral("Головной"), 0);
    logic.FillTreeAcc(r, true);
    const TFilterTree& t = logic.AccTree;
    const int head = FindNode(t, FilterKind::Client, 50);
    const int mid = FindNode(t, FilterKind::Client, 40);
    EXPECT_EQ(t.Node(head).parent, t.Root());
    EXPECT_EQ(t.Node(mid).parent, head);
    EXPECT_EQ(t.Node(FindNode(t, FilterKind::Client, 30)).parent, mid);
}

TEST_F(FilterTrees, ClientsWhoseParentsFormALoopStillAppearOnce) {
    TReferenceData r;
    AddClient(r, 1, QStringLiteral("A"), 2);
    AddClient(r, 2, QStringLiteral("B"), 1);
    AddAccount(r, 8, QStringLiteral("Счет A"), 1);
    logic.FillTreeAcc(r, true);
    const TFilterTree& t = logic.AccTree;
    EXPECT_EQ(t.Count(), 4);
    EXPECT_NE(FindNode(t, FilterKind::Client, 1), -1);
    EXPECT_NE(FindNode(t, FilterKind::Client, 2), -1);
    EXPECT_EQ(t.Node(FindNode(t, FilterKind::Account, 8)).parent,
              FindNode(t, FilterKind::Client, 1));
}

TEST_F(FilterTrees, LongParentChainDoesNotExhaustTheStack) {
    TReferenceData r;
    const int n = 200000;
    for (int i = 1; i <= n; ++i)
        AddClient(r, i, QStringLiteral("C"), i + 1 <= n ? i + 1 : 0);
    logic.FillTreeAcc(r, true);
    EXPECT_EQ(logic.AccTree.Count(), n + 1);
    EXPECT_EQ(logic.AccTree.Mark(logic.AccTree.Root()), CheckMark::Checked);
}

TEST_F(FilterTrees, SecurityTreeShape) {
    logic.FillTreeBum(refs, true);
    const TFilterTree& t = logic.BumTree;
    EXPECT_EQ(t.Node(t.Root()).text, QStringLiteral("ВСЕ БУМАГИ"));
    EXPECT_EQ(ChildTexts(t, t.Root()),
              (std::vector<QString>{QStringLiteral("ММВБ"), QStringLiteral("РТС")}));
    const int micex = FindNode(t, FilterKind::TradingSystem, 1);
    EXPECT_EQ(ChildTexts(t, micex),
              (std::vector<QString>{QStringLiteral("_Деньги.ММВБ"), QStringLiteral("Акции"),
                                    QStringLiteral("Облигации")}));
    const int tqbr = FindNode(t, FilterKind::Board, 10);
    EXPECT_EQ(ChildTexts(t, tqbr),
              (std::vector<QString>{QStringLiteral("0101 SBER"), QStringLiteral("0102 GAZP"),
                                    QStringLiteral("0103 OLD")}));
    EXPECT_EQ(t.Node(FindNode(t, FilterKind::Security, 103)).icon, FilterIcon::NotTraded);
    EXPECT_EQ(t.Node(FindNode(t, FilterKind::Security, 101)).icon, FilterIcon::None);
    EXPECT_EQ(FindNode(t, FilterKind::Security, 999), -1); // its board is not in the tree
    EXPECT_TRUE(LogText().contains(QStringLiteral("Строю дерево бумаг в фильтре.")));

    logic.FillTreeBum(refs, false);
    EXPECT_EQ(FindNode(logic.BumTree, FilterKind::Security, 103), -1);
    EXPECT_NE(FindNode(logic.BumTree, FilterKind::Security, 102), -1);
}

TEST_F(FilterTrees, ChecksSpreadDownAndSettleUp) {
    logic.FillTreeBum(refs, true);
    TFilterTree& t = logic.BumTree;
    const int root = t.Root();
    const int tqbr = FindNode(t, FilterKind::Board, 10);
    const int sber = FindNode(t, FilterKind::Security, 101);
    const int gazp = FindNode(t, FilterKind::Security, 102);
    const int old = FindNode(t, FilterKind::Security, 103);

    t.SetMark(root, CheckMark::Unchecked);
    for (int n : t.Order())
        EXPECT_EQ(t.Mark(n), CheckMark::Unchecked);

    t.Toggle(sber);
    EXPECT_EQ(t.Mark(tqbr), CheckMark::Mixed);
    EXPECT_EQ(t.Mark(FindNode(t, FilterKind::TradingSystem, 1)), CheckMark::Mixed);
    EXPECT_EQ(t.Mark(root), CheckMark::Mixed);
    t.Toggle(gazp);
    t.Toggle(old);
    EXPECT_EQ(t.Mark(tqbr), CheckMark::Checked);
    EXPECT_EQ(t.Mark(root), CheckMark::Mixed);

    // A mixed node flips to unchecked, with everything under it.
    t.Toggle(root);
    for (int n : t.Order())
        EXPECT_EQ(t.Mark(n), CheckMark::Unchecked);
    t.Toggle(root);
    for (int n : t.Order())
        EXPECT_EQ(t.Mark(n), CheckMark::Checked);
}

TEST_F(FilterTrees, InvertFlipsLeavesAndLeavesParentsToFollow) {
    logic.FillTreeAcc(refs, true);
    TFilterTree& a = logic.AccTree;
    a.SetMark(FindNode(a, FilterKind::Account, 5), CheckMark::Unchecked);
    logic.InvertAccMarks();
    EXPECT_EQ(a.Mark(FindNode(a, FilterKind::Account, 5)), CheckMark::Checked);
    EXPECT_EQ(a.Mark(FindNode(a, FilterKind::Account, 7)), CheckMark::Unchecked);
    EXPECT_EQ(a.Mark(FindNode(a, FilterKind::Client, 2)), CheckMark::Unchecked);
    EXPECT_EQ(a.Mark(FindNode(a, FilterKind::Client, 1)), CheckMark::Mixed);

    TReferenceData r;
    FillSample(r);
    AddBoard(r, 13, QStringLiteral("EMPTY"), QStringLiteral("Пустая"), 2);
    logic.FillTreeBum(r, true);
    logic.InvertBumMarks();
    for (int n : logic.BumTree.Order())
        EXPECT_EQ(logic.BumTree.Mark(n), CheckMark::Unchecked)
            << logic.BumTree.Node(n).text.toStdString();
}

TEST_F(FilterTrees, NextAndPreviousWalkTreeOrder) {
    logic.FillTreeAcc(refs, true);
    const TFilterTree& t = logic.AccTree;
    const int ivanov = FindNode(t, FilterKind::Client, 1);
    EXPECT_EQ(t.Next(ivanov), FindNode(t, FilterKind::Account, 5));
    EXPECT_EQ(t.Previous(ivanov), FindNode(t, FilterKind::Account, 11));
    EXPECT_EQ(t.Previous(t.Root()), TFilterTree::None);
    EXPECT_EQ(t.Next(t.Order().back()), TFilterTree::None);
}

TEST_F(FilterTrees, ClearTreesEmptiesBoth) {
    logic.FillTreeAcc(refs, true);
    logic.FillTreeBum(refs, true);
    logic.ClearTrees();
    EXPECT_TRUE(logic.AccTree.IsEmpty());
    EXPECT_TRUE(logic.BumTree.IsEmpty());
    QString caption = QStringLiteral("Заявки");
    EXPECT_EQ(logic.AccountFilter(caption), QString());
    EXPECT_EQ(logic.SecurityFilter(caption, true), QString());
    EXPECT_EQ(logic.Validate(15), QString());
    EXPECT_EQ(logic.FindAcc(QStringLiteral("5"), false, -1), TFilterTree::None);
}
