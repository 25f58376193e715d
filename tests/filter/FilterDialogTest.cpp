// The filter dialog: showing with a mask, OK checks, searches, typing and keys.
#include "FilterTestData.h"
#include "filter/FilterTreeModel.h"
#include "filter/TFormFiltr.h"
#include "shell/base/Services.h"

#include <QAbstractItemModelTester>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace filtertest;

namespace {

// Records every message box and answers with a fixed button.
class RecordingBoxes : public IMessageBoxService {
public:
    int Show(QWidget*, const QString& text, const QString&, MsgKind kind, int buttons,
             bool) override {
        texts.append(text);
        kinds.push_back(kind);
        buttonSets.push_back(buttons);
        return MsgCancel;
    }
    QStringList texts;
    std::vector<MsgKind> kinds;
    std::vector<int> buttonSets;
};

class FilterDialog : public ::testing::Test {
protected:
    void SetUp() override {
        boxes = std::make_shared<RecordingBoxes>();
        Services::SetMessageBox(boxes);
        // Qt's model checks follow both trees' models through every fill and check.
        for (QTreeView* view : {dialog.AccTreeView(), dialog.BumTreeView()})
            modelChecks.push_back(std::make_unique<QAbstractItemModelTester>(
                view->model(), QAbstractItemModelTester::FailureReportingMode::Fatal));
        FillSample(refs);
        AddAccount(refs, 21, QStringLiteral("Счет пятый"), 2);
        dialog.FillTreeAcc(refs);
        dialog.FillTreeBum(refs);
    }
    void TearDown() override { Services::SetMessageBox(nullptr); }

    int AccId(int node) { return node < 0 ? 0 : dialog.Logic().AccTree.Node(node).id; }
    void Key(QTreeView* view, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier,
             const QString& text = QString()) {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QCoreApplication::sendEvent(view, &press);
    }

    std::shared_ptr<RecordingBoxes> boxes;
    TReferenceData refs;
    TFormFiltr dialog;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> modelChecks;
};

} // namespace

TEST_F(FilterDialog, MaskShowsOnlyTheAskedParts) {
    dialog.PrepareShow(15);
    EXPECT_FALSE(dialog.SideGroup()->isHidden());
    EXPECT_FALSE(dialog.StatusGroup()->isHidden());
    EXPECT_TRUE(dialog.PositionGroup()->isHidden());
    EXPECT_TRUE(dialog.DebitCreditGroup()->isHidden());
    EXPECT_FALSE(dialog.TopPanel()->isHidden());
    EXPECT_TRUE(dialog.AccTreeView()->isEnabledTo(&dialog));

    dialog.PrepareShow(2);
    EXPECT_TRUE(dialog.TopPanel()->isHidden());
    EXPECT_FALSE(dialog.AccTreeView()->isEnabledTo(&dialog));
    EXPECT_TRUE(dialog.BumTreeView()->isEnabledTo(&dialog));
}

TEST_F(FilterDialog, OkRefusesAnEmptyAccountTreeOnlyWhenItIsEnabled) {
    dialog.Logic().AccTree.SetMark(dialog.Logic().AccTree.Root(), CheckMark::Unchecked);
    QTimer::singleShot(0, &dialog, [this] {
        dialog.ConfirmClick(); // refused: the dialog stays open
        dialog.ConfirmClick();
        dialog.reject();
    });
    EXPECT_NE(dialog.ShowFilter(15), TFormFiltr::mrOk);
    ASSERT_EQ(boxes->texts.size(), 2);
    EXPECT_EQ(boxes->texts[0], QStringLiteral("Не выбран ни один счет!"));
    EXPECT_EQ(boxes->kinds[0], MsgKind::Error);
    EXPECT_EQ(boxes->buttonSets[0], MsgCancel);

    QTimer::singleShot(0, &dialog, [this] { dialog.ConfirmClick(); });
    EXPECT_EQ(dialog.ShowFilter(14), TFormFiltr::mrOk);
    EXPECT_EQ(boxes->texts.size(), 2);
}

TEST_F(FilterDialog, ShowingResetsTheListsAndForcedCloseAborts) {
    QString caption;
    dialog.Logic().AccTree.SetMark(dialog.Logic().AccTree.Root(), CheckMark::Unchecked);
    dialog.Logic().AccTree.SetMark(dialog.Logic().AccTree.Order()[2], CheckMark::Checked);
    dialog.AccountFilter(caption);
    ASSERT_FALSE(dialog.FilterAccList().isEmpty());
    QTimer::singleShot(0, &dialog, [this] { dialog.ForceClose(); });
    EXPECT_EQ(dialog.ShowFilter(15), TFormFiltr::mrAbort);
    EXPECT_TRUE(dialog.FilterAccList().isEmpty());
    EXPECT_EQ(dialog.BuySellCode(), QStringLiteral("BS"));
    dialog.ForceClose(); // not showing: nothing happens
}

TEST_F(FilterDialog, TypedLettersSearchOneSecondAfterTheLastKey) {
    QTreeView* view = dialog.AccTreeView();
    Key(view, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("с"));
    Key(view, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("ч"));
    EXPECT_EQ(dialog.AccSearchField()->text(), QStringLiteral("СЧ"));
    EXPECT_TRUE(dialog.TypingTimer().isActive());
    EXPECT_EQ(dialog.TypingTimer().interval(), 1000);
    EXPECT_EQ(dialog.FocusedAccNode(), TFilterTree::None); // nothing yet
    dialog.TypingTimerFired();
    EXPECT_EQ(AccId(dialog.FocusedAccNode()), 5);
    EXPECT_FALSE(dialog.TypingTimer().isActive());
    // F7 searches again with the last text from the focused node.
    Key(view, Qt::Key_F7);
    EXPECT_EQ(AccId(dialog.FocusedAccNode()), 7);
}

TEST_F(FilterDialog, SearchControlsAndStarAndNumber) {
    EXPECT_TRUE(dialog.FindAcc(QStringLiteral("*пяты"), false));
    EXPECT_EQ(AccId(dialog.FocusedAccNode()), 21);
    EXPECT_TRUE(dialog.FindAcc(QStringLiteral("9"), true));
    EXPECT_EQ(AccId(dialog.FocusedAccNode()), 9);
    EXPECT_FALSE(dialog.FindAcc(QString(), false));
    EXPECT_EQ(AccId(dialog.FocusedAccNode()), 9);
    dialog.AccSearchField()->setText(QStringLiteral("счет"));
    QTest::keyClick(dialog.AccSearchField(), Qt::Key_Return);
    EXPECT_EQ(AccId(dialog.FocusedAccNode()), 5);
}

TEST_F(FilterDialog, KeysFlipChecksAndMove) {
    QTreeView* view = dialog.AccTreeView();
    ASSERT_TRUE(dialog.FindAcc(QStringLiteral("5"), false));
    const int five = dialog.FocusedAccNode();
    Key(view, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(dialog.Logic().AccTree.Mark(five), CheckMark::Unchecked);
    EXPECT_NE(dialog.FocusedAccNode(), five);
    Key(view, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(dialog.FocusedAccNode(), five);
    Key(view, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(dialog.Logic().AccTree.Mark(five), CheckMark::Checked);
    // Ctrl+arrows only move: no mark changes on the way down and back.
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Up}) {
        const int at = dialog.FocusedAccNode();
        const CheckMark mark = dialog.Logic().AccTree.Mark(at);
        Key(view, key, Qt::ControlModifier);
        EXPECT_EQ(dialog.Logic().AccTree.Mark(at), mark);
    }
    // The mixed top node flips to unchecked.
    dialog.Logic().AccTree.SetMark(five, CheckMark::Unchecked);
    const int root = dialog.Logic().AccTree.Root();
    dialog.AccTreeView()->setCurrentIndex(
        static_cast<TFilterTreeModel*>(view->model())->IndexOf(root));
    Key(view, Qt::Key_Space);
    EXPECT_EQ(dialog.Logic().AccTree.Mark(root), CheckMark::Unchecked);
}

TEST_F(FilterDialog, HidingClientsRebuildsTheTreeCheckedAgain) {
    dialog.Logic().AccTree.SetMark(dialog.Logic().AccTree.Root(), CheckMark::Unchecked);
    TReferenceData::SetCurrent(&refs);
    dialog.ShowClientsAction()->setChecked(false);
    TReferenceData::SetCurrent(nullptr);
    const TFilterTree& t = dialog.Logic().AccTree;
    EXPECT_EQ(t.Mark(t.Root()), CheckMark::Checked);
    for (int c : t.Node(t.Root()).children)
        EXPECT_EQ(t.Node(c).kind, FilterKind::Account);
}

TEST_F(FilterDialog, DebitCreditWithNeitherChecksBothBoxes) {
    dialog.Logic().Debit = false;
    dialog.Logic().Credit = false;
    QString caption;
    dialog.DebitCreditFilter(caption);
    EXPECT_TRUE(dialog.IsDebetChecked());
    EXPECT_TRUE(dialog.IsKreditChecked());
}
