#include "grids/NodeOps.h"
#include "grids/TComboBoxIndexed.h"
#include "grids/TtsvTreeView.h"
#include "shell/refs/ReferenceObjects.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QString States(const std::vector<QTreeWidgetItem*>& nodes) {
    QString out;
    for (const QTreeWidgetItem* node : nodes)
        out += QString::number(TtsvTreeView::NodeState(node));
    return out;
}

void Key(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
         const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
}

// A controllable tick count for the list timer.
struct FakeClock {
    qint64 now = 10000;
    FakeClock() {
        TExTimer::SetClock([this] { return now; });
    }
    ~FakeClock() { TExTimer::SetClock(nullptr); }
};

} // namespace

TEST(TtsvTreeView, CheckModeFlipsSubtreesAndAncestorsFollow) {
    TtsvTreeView tree;
    auto* parent = new QTreeWidgetItem(&tree, {QStringLiteral("Клиенты")});
    std::vector<QTreeWidgetItem*> kids;
    for (int i = 0; i < 3; ++i)
        kids.push_back(new QTreeWidgetItem(parent, {QStringLiteral("K%1").arg(i)}));
    auto* grandchild = new QTreeWidgetItem(kids[0], {QStringLiteral("G")});
    tree.SetCheckMode(TtsvTreeView::tvmCheckTreeView);

    tree.ToggleNode(kids[1]);
    EXPECT_EQ(States({parent, kids[0], kids[1], kids[2]}), QStringLiteral("2010"));
    tree.ToggleNode(kids[0]);
    EXPECT_EQ(TtsvTreeView::NodeState(grandchild), 1);
    tree.ToggleNode(kids[2]);
    EXPECT_EQ(States({parent, kids[0], kids[1], kids[2]}), QStringLiteral("1111"));
    tree.ToggleNode(parent);
    EXPECT_EQ(States({parent, kids[0], kids[1], kids[2], grandchild}), QStringLiteral("00000"));

    // A disabled node keeps its state through mass changes; a partial node unchecks.
    tree.SetNodeState(kids[2], TtsvTreeView::Disabled);
    tree.ToggleNode(parent);
    EXPECT_EQ(States({parent, kids[0], kids[1], kids[2]}), QStringLiteral("1113"));
    tree.ToggleNode(grandchild);
    EXPECT_EQ(States({parent, kids[0], grandchild}), QStringLiteral("200"));
    tree.ToggleNode(parent);
    EXPECT_EQ(States({parent, kids[0], kids[1], kids[2]}), QStringLiteral("0003"));
    tree.ToggleNode(nullptr);
}

TEST(TtsvTreeView, RadioModeChecksOneNode) {
    TtsvTreeView tree;
    auto* a = new QTreeWidgetItem(&tree, {QStringLiteral("A")});
    auto* b = new QTreeWidgetItem(&tree, {QStringLiteral("B")});
    auto* c = new QTreeWidgetItem(&tree, {QStringLiteral("C")});
    tree.SetCheckMode(TtsvTreeView::tvmRadioTreeView);
    EXPECT_EQ(States({a, b, c}), QStringLiteral("100"));
    tree.SetNodeState(c, TtsvTreeView::Disabled);
    tree.ToggleNode(b);
    EXPECT_EQ(States({a, b, c}), QStringLiteral("013"));
    tree.ToggleNode(b);
    EXPECT_EQ(States({a, b, c}), QStringLiteral("013"));
    tree.SetCheckMode(TtsvTreeView::tvmCheckTreeView);
    EXPECT_EQ(States({a, b, c}), QStringLiteral("003"));
}

TEST(TtsvTreeView, KeysToggleAndMove) {
    TtsvTreeView tree;
    auto* a = new QTreeWidgetItem(&tree, {QStringLiteral("A")});
    auto* b = new QTreeWidgetItem(&tree, {QStringLiteral("B")});
    tree.SetCheckMode(TtsvTreeView::tvmCheckTreeView);
    tree.setCurrentItem(a);
    Key(&tree, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    EXPECT_EQ(States({a, b}), QStringLiteral("10"));
    Key(&tree, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(States({a, b}), QStringLiteral("00"));
    EXPECT_EQ(tree.currentItem(), b);
    Key(&tree, Qt::Key_Down, Qt::ControlModifier); // no next node: toggles, stays
    EXPECT_EQ(States({a, b}), QStringLiteral("01"));
    EXPECT_EQ(tree.currentItem(), b);
    Key(&tree, Qt::Key_Return);
    EXPECT_EQ(States({a, b}), QStringLiteral("00"));
    QString typed;
    QObject::connect(&tree, &TtsvTreeView::KeyTyped, [&typed](const QString& t) { typed += t; });
    Key(&tree, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    EXPECT_EQ(typed, QStringLiteral("a"));
    EXPECT_EQ(tree.currentItem(), b); // no type-to-select
}

TEST(TtsvTreeView, ClickOnTheImageToggles) {
    TtsvTreeView tree;
    auto* a = new QTreeWidgetItem(&tree, {QStringLiteral("Счёт А")});
    auto* b = new QTreeWidgetItem(&tree, {QStringLiteral("Счёт Б")});
    tree.SetCheckMode(TtsvTreeView::tvmCheckTreeView);
    tree.resize(200, 100);
    tree.show();
    QCoreApplication::processEvents();
    const QRect row = tree.visualItemRect(b);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      QPoint(row.left() + 5, row.center().y()));
    EXPECT_EQ(States({a, b}), QStringLiteral("01"));
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      QPoint(row.right() - 5, row.center().y()));
    EXPECT_EQ(States({a, b}), QStringLiteral("01")); // on the label: selects only
}

TEST(NodeOps, FindReplaceAndDeleteByObject) {
    QTreeWidget tree;
    TBaseSimpleObject client(kKindClient, 7, QStringLiteral("Иванов"));
    TBaseSimpleObject account(kKindAccount, 7, QStringLiteral("L01"));
    TBaseSimpleObject other(kKindAccount, 8, QStringLiteral("L02"));
    auto* top = new QTreeWidgetItem(&tree);
    SetNodeObject(top, &client);
    SetNodeTag(top, 1);
    std::vector<QTreeWidgetItem*> held;
    for (int i = 0; i < 3; ++i) {
        auto* node = new QTreeWidgetItem(i == 2 ? static_cast<QTreeWidgetItem*>(held[0]) : top);
        SetNodeObject(node, &account);
        SetNodeTag(node, 5);
        held.push_back(node);
    }
    auto* last = new QTreeWidgetItem(top);
    SetNodeObject(last, &other);
    SetNodeTag(last, 5);

    EXPECT_EQ(NodeObject(top), &client);
    EXPECT_EQ(NodeTag(top), 1);
    EXPECT_EQ(FindNodeByTagKindId(&tree, 5, kKindAccount, 7), held[0]);
    EXPECT_EQ(FindNodeByTagKindId(&tree, 1, kKindAccount, 7), nullptr);
    EXPECT_EQ(FindChildByTagKindId(top, 5, 8, kKindAccount), last);
    EXPECT_EQ(FindChildByTagKindId(held[1], 5, 7, kKindAccount), nullptr); // not deeper
    EXPECT_EQ(FindNodeByObject(&tree, &other), last);
    EXPECT_EQ(NodeObject(nullptr), nullptr);

    EXPECT_EQ(ReplaceNodeObject(&tree, &other, &account), 1);
    // Four nodes hold it; the nested one goes with its parent, so three deletions.
    EXPECT_EQ(DeleteNodesOfObject(&tree, &account), 3);
    EXPECT_EQ(top->childCount(), 0);
    EXPECT_EQ(DeleteNodesOfObject(&tree, &account), 0);
}

TEST(ThreeStateTree, ChecksSubtreeAndRecomputesAncestorsOnBigTrees) {
    QTreeWidget tree;
    auto* top = new QTreeWidgetItem(&tree);
    std::vector<QTreeWidgetItem*> groups;
    for (int g = 0; g < 100; ++g) {
        auto* group = new QTreeWidgetItem(top);
        groups.push_back(group);
        QList<QTreeWidgetItem*> leaves;
        for (int l = 0; l < 1000; ++l)
            leaves.append(new QTreeWidgetItem());
        group->addChildren(leaves);
    }
    int changes = 0;
    QObject::connect(&tree, &QTreeWidget::itemChanged, [&changes] { ++changes; });
    SetTreeCheck(top, Qt::Checked); // 100,000 leaves
    EXPECT_EQ(groups[57]->child(999)->checkState(0), Qt::Checked);
    EXPECT_EQ(changes, 0); // held back during the walk
    SetTreeCheck(groups[3]->child(0), Qt::Unchecked);
    EXPECT_EQ(groups[3]->checkState(0), Qt::PartiallyChecked);
    EXPECT_EQ(top->checkState(0), Qt::PartiallyChecked);
    SetTreeCheck(groups[3], Qt::Unchecked);
    EXPECT_EQ(top->checkState(0), Qt::PartiallyChecked);
    for (QTreeWidgetItem* group : groups)
        SetTreeCheck(group, Qt::Unchecked);
    EXPECT_EQ(top->checkState(0), Qt::Unchecked);
    SetTreeCheck(top, Qt::Checked);
    EXPECT_EQ(groups[3]->child(0)->checkState(0), Qt::Checked);
}

TEST(ComboBoxIndexed, NumericSearchRunsOnceAfterThePause) {
    FakeClock clock;
    TComboBoxIndexed combo;
    combo.addItems({QStringLiteral("Сбербанк"), QStringLiteral("Газпром"), QStringLiteral("ГМК")});
    int calls = 0;
    int seen = 0;
    combo.OnSearchNumeric = [&](int number, int& index, bool& found) {
        ++calls;
        seen = number;
        index = 2;
        found = true;
    };
    int changes = 0;
    combo.OnChange = [&changes] { ++changes; };
    Key(&combo, Qt::Key_1, Qt::NoModifier, QStringLiteral("1"));
    clock.now += 300;
    Key(&combo, Qt::Key_2, Qt::NoModifier, QStringLiteral("2"));
    Key(&combo, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")); // not a digit: dropped
    clock.now += 300;
    Key(&combo, Qt::Key_3, Qt::NoModifier, QStringLiteral("3"));
    EXPECT_EQ(combo.TypedText(), QStringLiteral("123"));
    clock.now += 999;
    combo.ProcessSearch();
    EXPECT_EQ(calls, 0);
    clock.now += 1;
    combo.ProcessSearch();
    combo.ProcessSearch();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, 123);
    EXPECT_EQ(combo.currentIndex(), 2);
    QCoreApplication::sendPostedEvents(&combo);
    EXPECT_EQ(changes, 1); // a selection made by search raises the change at once
}

TEST(ComboBoxIndexed, LetterFirstMakesATextSearch) {
    FakeClock clock;
    TComboBoxIndexed combo;
    combo.addItems({QStringLiteral("Сбербанк"), QStringLiteral("Газпром"), QStringLiteral("ГМК")});
    int numeric = 0;
    combo.OnSearchNumericEx = [&numeric](TComboBoxIndexed*, int, int&, bool&) { ++numeric; };
    Key(&combo, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("г"));
    Key(&combo, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("м"));
    clock.now += 1000;
    combo.ProcessSearch();
    EXPECT_EQ(numeric, 0);
    EXPECT_EQ(combo.currentIndex(), 2);
    EXPECT_TRUE(combo.TypedText().isEmpty());
}

TEST(ComboBoxIndexed, ChangeEventWaitsUnlessEnterOrFocusLoss) {
    FakeClock clock;
    TComboBoxIndexed combo;
    combo.addItems({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    int changes = 0;
    combo.OnChange = [&changes] { ++changes; };
    Key(&combo, Qt::Key_Down);
    EXPECT_EQ(combo.currentIndex(), 1);
    EXPECT_TRUE(combo.ChangePending());
    clock.now += 999;
    combo.FlushChange();
    EXPECT_EQ(changes, 0);
    clock.now += 1;
    combo.FlushChange();
    EXPECT_EQ(changes, 1);

    Key(&combo, Qt::Key_Down);
    Key(&combo, Qt::Key_Return);
    EXPECT_EQ(changes, 2);

    Key(&combo, Qt::Key_Up);
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(&combo, &out);
    EXPECT_EQ(changes, 3);
    EXPECT_FALSE(combo.ChangePending());

    combo.SetStyle(TComboBoxIndexed::csDropDown);
    EXPECT_EQ(combo.Style(), TComboBoxIndexed::csDropDownList);
    combo.SetStyle(TComboBoxIndexed::csOwnerDrawFixed);
    EXPECT_EQ(combo.Style(), TComboBoxIndexed::csOwnerDrawFixed);
}

// With the list open, typed characters feed the search (not the list's own
// type-to-select) and Enter ends the search and raises the change at once.
TEST(ComboBoxIndexed, OpenListTakesTypedTextAndEnterRaisesTheChangeAtOnce) {
    FakeClock clock;
    QWidget window;
    auto* combo = new TComboBoxIndexed(&window);
    combo->addItems({QStringLiteral("Сбербанк"), QStringLiteral("Газпром"), QStringLiteral("ГМК")});
    int changes = 0;
    combo->OnChange = [&changes] { ++changes; };
    window.show();
    const struct {
        const char* typed; // characters typed into the open list, then Enter
        int highlight;     // row highlighted in the list before Enter (-1: none)
        int chosen;
    } cases[] = {{"гм", -1, 2}, {"", 1, 1}, {"с", -1, 0}};
    int expected = 0;
    for (const auto& c : cases) {
        combo->showPopup();
        const int before = combo->view()->currentIndex().row();
        for (const QChar ch : QString::fromUtf8(c.typed))
            Key(combo->view(), Qt::Key_unknown, Qt::NoModifier, QString(ch));
        EXPECT_EQ(combo->view()->currentIndex().row(), before); // no type-to-select
        EXPECT_EQ(combo->TypedText(), QString::fromUtf8(c.typed));
        if (c.highlight >= 0)
            combo->view()->setCurrentIndex(combo->model()->index(c.highlight, 0));
        Key(combo->view(), Qt::Key_Return);
        EXPECT_EQ(combo->currentIndex(), c.chosen) << c.typed;
        EXPECT_EQ(changes, ++expected) << c.typed; // no wait for the change delay
        EXPECT_FALSE(combo->ChangePending());
        EXPECT_TRUE(combo->TypedText().isEmpty());
    }
}

TEST(ComboBoxIndexed, TimerTickServesTheFocusedList) {
    FakeClock clock;
    QWidget window;
    auto* combo = new TComboBoxIndexed(&window);
    combo->addItems({QStringLiteral("Альфа"), QStringLiteral("Бета")});
    window.show();
    QApplication::setActiveWindow(&window);
    combo->setFocus();
    if (QApplication::focusWidget() != combo)
        GTEST_SKIP() << "the platform gives no focus";
    Key(combo, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("б"));
    clock.now += 1000;
    TExTimer::Tick();
    EXPECT_EQ(combo->currentIndex(), 1);
    ASSERT_NE(TExTimer::Timer(), nullptr);
    EXPECT_EQ(TExTimer::Timer()->interval(), 100);
    EXPECT_TRUE(TExTimer::Timer()->isActive());
}

TEST(ComboBoxIndexed, ItemsCarryTheirObjects) {
    TBaseSimpleObject three(kKindClient, 3, QStringLiteral("Три"));
    TBaseSimpleObject four(kKindClient, 4, QStringLiteral("Четыре"));
    QComboBox box;
    box.addItem(QStringLiteral("(все)"));
    AddComboObject(box, three.Name, &three);
    AddComboObject(box, four.Name, &four);
    EXPECT_EQ(IndexOfObjectId(box, 4), 2);
    EXPECT_EQ(IndexOfObjectId(box, 5), -1);
    EXPECT_EQ(ComboObject(box, 0), nullptr);
    EXPECT_EQ(ComboObject(box, 1), &three);
}
