// The margin rule dialogs: the level dialog's leverage and checks, the add dialog's
// tree, search, inverting and checks.
#include "filter/FilterTestData.h"
#define MARGIN_TEST_HAS_PRINTTO // the filter's test data brings one
#include "MarginTestSupport.h"
#include "margin/MarginLevels.h"
#include "margin/TFormMarginAddRule.h"
#include "margin/TFormMarginLevel.h"
#include "margin/TFormSoundSettings.h"
#include "shell/base/Registry.h"
#include "shell/base/SoundScheme.h"
#include "shell/base/WorkstationLocale.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace margintest;

namespace {

class MarginDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        boxes = std::make_shared<ScriptedBoxes>();
        Services::SetMessageBox(boxes);
        filtertest::FillSample(refs);
        refs.ClientKey = QStringLiteral("1");
    }
    void TearDown() override { Services::SetMessageBox(nullptr); }
    // The texts of the tree in order, indented by depth below the unseen top.
    QStringList Texts(const TMarginSecurityTree& t) {
        QStringList out;
        for (int n : t.Tree.Order()) {
            if (n == t.Top())
                continue;
            int depth = 0;
            for (int p = t.Tree.Node(n).parent; p != t.Top(); p = t.Tree.Node(p).parent)
                ++depth;
            out << QString(depth, QLatin1Char('.')) + t.Tree.Node(n).text;
        }
        return out;
    }

    std::shared_ptr<ScriptedBoxes> boxes;
    TReferenceData refs;
};

} // namespace

TEST(MarginLevels, LeverageWholeNumbersAndSettings) {
    ScopedWorkstationLocale russian(WorkstationLocale::Russian());
    const std::pair<int, const char*> leverage[] = {{50, "1 : 1"},  {25, "1 : 3"}, {30, "1 : 2,3"},
                                                    {100, "1 : 0"}, {0, ""},       {101, ""}};
    for (const auto& [start, text] : leverage)
        EXPECT_EQ(margin::LeverageText(start), QString::fromUtf8(text)) << start;
    const std::tuple<const char*, int, bool> numbers[] = {
        {"", 0, true}, {" 42 ", 42, true}, {"abc", 0, false}, {"1.5", 0, false}};
    for (const auto& [text, value, ok] : numbers) {
        bool wellFormed = !ok;
        EXPECT_EQ(margin::CellNumber(QString::fromUtf8(text), &wellFormed), value) << text;
        EXPECT_EQ(wellFormed, ok) << text;
    }
    const margin::MonitorSettings s =
        margin::ParseMonitorSettings(QStringLiteral("BTNP00BTNSM0acg"));
    EXPECT_EQ(s.panelShown, 0);
    EXPECT_EQ(s.soundOff, 1);
    EXPECT_EQ(s.gridSettings, QStringLiteral("acg"));
}

TEST_F(MarginDialogs, LevelDialogListsOwnAccountsAndChecksInOrder) {
    filtertest::AddAccount(refs, 21, QStringLiteral("Кредитный"), 1);
    TFormMarginLevel dialog;
    dialog.FillControls(refs);
    ASSERT_EQ(dialog.CbKreditAcc()->count(), 2); // accounts 5 and 21 of client 1
    struct Case {
        const char* account;
        bool mode;
        int start, critical;
        const char* message; // empty: accepted
    };
    const Case cases[] = {
        {"КРЕДИТНЫЙ", true, 20, 20, ""},
        {"КРЕДИТНЫЙ", true, 20, 21,
         "Критический уровень маржи должен быть меньше или равен начальному!"},
        {"нет такого", true, 50, 25, "Не выбран кредитный счет!"},
        {"нет такого", false, 50, 25, ""},
    };
    for (const Case& c : cases) {
        boxes->texts.clear();
        dialog.setResult(QDialog::Rejected);
        dialog.Prepare(QStringLiteral("5"), QStringLiteral("Клиент"), QString::fromUtf8(c.account),
                       c.mode, c.start, c.critical);
        dialog.ConfirmClick();
        EXPECT_EQ(boxes->texts.value(0), QString::fromUtf8(c.message)) << c.account << c.start;
        EXPECT_EQ(dialog.result() == QDialog::Accepted, *c.message == 0) << c.account << c.start;
    }
    EXPECT_EQ(dialog.ChosenAccountId(), 0);
    dialog.Prepare(QStringLiteral("5"), QString(), QStringLiteral("кредитный"), true, 30, 20);
    EXPECT_EQ(dialog.ChosenAccountId(), 21);
    // Before a reload the list empties: it never names freed accounts.
    dialog.ClearAccounts();
    EXPECT_EQ(dialog.CbKreditAcc()->count(), 0);
}

TEST_F(MarginDialogs, AddTreePlacesMoneyFirstAndStraySecuritiesAtTheTop) {
    filtertest::AddBoard(refs, 13, QStringLiteral("FX"), QStringLiteral("Валюта"),
                         3); // no system 3
    filtertest::AddBum(refs, 401, QStringLiteral("USD"), QStringLiteral("FX"));
    TMarginSecurityTree t;
    t.Fill(refs, false);
    const QStringList texts = Texts(t);
    EXPECT_EQ(texts.value(0), QStringLiteral("ВСЕ БУМАГИ"));
    EXPECT_EQ(texts.value(1), QStringLiteral(".ММВБ"));
    EXPECT_TRUE(texts.value(2).startsWith(QStringLiteral("..")));
    EXPECT_TRUE(texts.contains(QStringLiteral("...0101 SBER")));
    EXPECT_FALSE(texts.contains(QStringLiteral("...0103 OLD"))); // not traded, hidden
    EXPECT_TRUE(texts.contains(QStringLiteral("0401 USD")));     // beside "ВСЕ БУМАГИ"
    EXPECT_FALSE(texts.join(QLatin1Char('|')).contains(QStringLiteral("0999")));
    t.Fill(refs, true);
    EXPECT_TRUE(Texts(t).contains(QStringLiteral("...0103 OLD")));
}

TEST_F(MarginDialogs, AddTreeSearchInvertAndChosenList) {
    TMarginSecurityTree t;
    t.Fill(refs, false);
    const auto idOf = [&](int node) { return node < 0 ? 0 : t.Tree.Node(node).id; };
    struct Case {
        const char* text;
        int id;
    };
    for (const Case& c :
         {Case{"301", 301}, Case{"OFZX", 201}, Case{"GA", 102}, Case{"Q", 0}, Case{"-1", -1}})
        EXPECT_EQ(idOf(t.Find(QString::fromUtf8(c.text), false, -1)), c.id) << c.text;
    // Searching again goes on after the focused node.
    EXPECT_EQ(idOf(t.Find(QStringLiteral("OFZ"), true, t.Find(QStringLiteral("OFZ"), false, -1))),
              202);

    const int mmvb = t.Tree.Node(t.AllNode()).children.front();
    t.Tree.SetMark(mmvb, CheckMark::Checked);
    EXPECT_EQ(t.Chosen(), QStringList({"-1", "101", "102", "201", "202"}));
    t.Invert();
    EXPECT_EQ(t.Chosen(), QStringList({"-2", "301"}));
}

TEST_F(MarginDialogs, AddDialogChecksAndTypingSearch) {
    TFormMarginAddRule dialog;
    dialog.FillTreeBum(refs);
    TFilterTree& tree = dialog.Logic().Tree;
    struct Case {
        CheckMark allMark;
        const char* message;
    };
    for (const Case& c :
         {Case{CheckMark::Checked, "Сделать ВСЕ бумаги маржинальными!? Не не может такого быть!"},
          Case{CheckMark::Unchecked, "Не выбрано ни одной бумаги!"}}) {
        boxes->texts.clear();
        tree.SetMark(dialog.Logic().AllNode(), c.allMark);
        dialog.ConfirmClick();
        EXPECT_EQ(boxes->texts.value(0), QString::fromUtf8(c.message));
        EXPECT_TRUE(dialog.Chosen().isEmpty());
    }
    // Typed letters collect in upper case without blanks; the search runs on the timer.
    dialog.show();
    for (const char* key : {"g", " ", "a"}) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8(key));
        dialog.HandleTreeKey(&press);
    }
    EXPECT_EQ(dialog.TypingBuffer(), QStringLiteral("GA"));
    dialog.TypingTimerFired();
    EXPECT_EQ(tree.Node(dialog.FocusedNode()).id, 102);
    // Ctrl+Space marks the focused node and moves on.
    QKeyEvent mark(QEvent::KeyPress, Qt::Key_Space, Qt::ControlModifier, QStringLiteral(" "));
    dialog.HandleTreeKey(&mark);
    EXPECT_EQ(dialog.Logic().Chosen(), QStringList({"102"}));
    dialog.ConfirmClick();
    EXPECT_EQ(dialog.Chosen(), QStringList({"102"}));
}

TEST_F(MarginDialogs, SoundSettingsReadAndWriteTheScheme) {
    QTemporaryDir config;
    qputenv("ORVEX_CONFIG_DIR", config.path().toLocal8Bit());
    TRegistry::ReloadStores();
    EXPECT_EQ(SoundEventFile(SoundEvent::CriticalLevel), QString()); // a new user has none
    EXPECT_FALSE(TRegistry().KeyExists(SoundEventKey(SoundEvent::CriticalLevel)));
    TFormSoundSettings dialog;
    dialog.CriticalFile()->setText(QStringLiteral("/a/critical.wav"));
    dialog.StartFile()->setText(QStringLiteral(" /a/start.wav "));
    dialog.ConfirmClick();
    EXPECT_EQ(SoundEventFile(SoundEvent::CriticalLevel), QStringLiteral("/a/critical.wav"));
    EXPECT_EQ(SoundEventFile(SoundEvent::StartLevel), QStringLiteral("/a/start.wav"));
    qunsetenv("ORVEX_CONFIG_DIR");
    TRegistry::ReloadStores();
}
