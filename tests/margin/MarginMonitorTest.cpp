// The margin monitor: its requests, the breaches with their colours, events and sounds,
// the refresh timer, the settings text and the level change.
#include "MarginTestSupport.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "margin/TFormMarginLevel.h"
#include "margin/TFormMargo.h"
#include "shell/base/Registry.h"
#include "shell/base/SoundScheme.h"

#include <QAction>
#include <QComboBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace margintest;

namespace {

class MarginMonitor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        qputenv("ORVEX_CONFIG_DIR", config.path().toLocal8Bit());
        TRegistry::ReloadStores();
        SetSoundEventFile(SoundEvent::CriticalLevel, QStringLiteral("/s/critical.wav"));
        SetSoundEventFile(SoundEvent::StartLevel, QStringLiteral("/s/start.wav"));
        sound = std::make_shared<SoundRecorder>();
        Services::SetSound(sound);
        boxes = std::make_shared<ScriptedBoxes>();
        Services::SetMessageBox(boxes);
        TReferenceData::SetCurrent(&refs);
        form = std::make_unique<TFormMargo>();
        ses = &hub.Get(QStringLiteral("SesMrg"));
        level = &hub.Get(QStringLiteral("SesMrgLevel"));
    }
    void TearDown() override {
        form.reset();
        TReferenceData::SetCurrent(nullptr);
        Services::SetSound(nullptr);
        Services::SetMessageBox(nullptr);
        qunsetenv("ORVEX_CONFIG_DIR");
        TRegistry::ReloadStores();
    }
    void Answer(std::initializer_list<MarginRow> rows) {
        ses->RaiseLogin();
        ses->FeedData(MarginList(rows));
    }
    TAdvColumnGrid& Grid() { return form->GridMrg(); }
    QString Cell(int tag, int row) { return gridcols::TextByTag(Grid(), tag, row); }
    void SelectRow(int row) { Grid().setCurrentIndex(Grid().model()->index(row - 1, 1)); }
    QColor Background(int row) {
        return Grid().CellLook(gridcols::RealByTag(Grid(), TFormMargo::kSumKredit), row).Background;
    }
    QStringList Events() {
        QStringList out;
        for (int i = 0; i < form->cbEvent().count(); ++i) {
            const QString text = form->cbEvent().itemText(i);
            out << text.mid(text.indexOf(QStringLiteral("Превышен"))) + QLatin1Char('#') +
                       form->cbEvent().itemData(i).toString();
        }
        return out;
    }
    // Moves the level columns away from their places: rules go by identity.
    void ShuffleColumns() {
        Grid().MoveColumn(gridcols::RealByTag(Grid(), TFormMargo::kMarginPercent), 12);
        Grid().MoveColumn(gridcols::RealByTag(Grid(), TFormMargo::kCriticalLevel), 1);
        Grid().MoveColumn(gridcols::RealByTag(Grid(), TFormMargo::kIdCli), 6);
    }

    QTemporaryDir config;
    ScriptedSessionHub hub;
    std::shared_ptr<SoundRecorder> sound;
    std::shared_ptr<ScriptedBoxes> boxes;
    TReferenceData refs;
    std::unique_ptr<TFormMargo> form;
    ScriptedSession* ses = nullptr;
    ScriptedSession* level = nullptr;
};

} // namespace

TEST_F(MarginMonitor, LoginSendsTheListAndTheTimerRunsOnlyAfterAnAnswer) {
    EXPECT_EQ(ses->LoginCalls(), 1);
    EXPECT_TRUE(ses->Sent().empty());
    EXPECT_FALSE(form->RefreshTimer().isActive());
    ses->RaiseLogin();
    ASSERT_EQ(ses->Sent().size(), 1u);
    EXPECT_FALSE(ses->Last().command);
    EXPECT_EQ(ses->Last().name, QStringLiteral("SpisokBB"));
    EXPECT_EQ(ses->Last().params, Pieces({"chto=650"}));
    EXPECT_FALSE(form->RefreshTimer().isActive());
    ses->FeedData(MarginList({{"5", "80", "50", "25"}}));
    EXPECT_TRUE(form->RefreshTimer().isActive());
    EXPECT_TRUE(form->RefreshTimer().isSingleShot());
    EXPECT_EQ(form->RefreshTimer().interval(), 60000);
    // Every later request goes out with full metadata again, and stops the timer.
    form->Refresh();
    EXPECT_EQ(ses->Last().params, Pieces({"chto=650"}));
    EXPECT_FALSE(form->RefreshTimer().isActive());
    // The server is lost while the list is outstanding: the timer stays off until the
    // next login refreshes.
    ses->RaiseDisconnect();
    EXPECT_FALSE(form->RefreshTimer().isActive());
}

TEST_F(MarginMonitor, BreachesAreColouredListedCountedAndSoundedByColumnIdentity) {
    struct Case {
        const char* name;
        std::initializer_list<MarginRow> rows;
        QStringList events;
        int critical, start;
        QStringList sounds;
    };
    const Case cases[] = {
        {"equal to critical is a start breach",
         {{"1", "25", "50", "25"}},
         {"Превышен начальный уровень Клиент 1#1"},
         0,
         1,
         {"/s/start.wav"}},
        {"equal to start raises nothing", {{"2", "50", "50", "25"}}, {}, 0, 0, {}},
        {"below both is critical only",
         {{"3", "10", "50", "25"}, {"4", "40", "50", "25"}},
         {"Превышен критический уровень Клиент 3#3", "Превышен начальный уровень Клиент 4#4"},
         1,
         1,
         {"/s/critical.wav"}},
        {"empty and text count as 0",
         {{"6", "", "50", "25"}, {"7", "abc", "50", "25"}},
         {"Превышен критический уровень Клиент 6#6", "Превышен критический уровень Клиент 7#7"},
         2,
         0,
         {"/s/critical.wav"}},
    };
    ShuffleColumns();
    for (const Case& c : cases) {
        sound->played.clear();
        Answer(c.rows);
        EXPECT_EQ(Events(), c.events) << c.name;
        EXPECT_EQ(form->CriticalCount(), c.critical) << c.name;
        EXPECT_EQ(form->StartCount(), c.start) << c.name;
        EXPECT_EQ(sound->played, c.sounds) << c.name;
        EXPECT_EQ(form->cbEvent().currentIndex(), c.events.isEmpty() ? -1 : 0) << c.name;
    }
    // The last answer's rows are both red.
    EXPECT_EQ(Background(1), QColor(255, 120, 120));
    Answer({{"8", "40", "50", "25"}, {"9", "90", "50", "25"}});
    EXPECT_EQ(Background(1), QColor(255, 255, 140));
    EXPECT_FALSE(Background(2).isValid());
    EXPECT_EQ(form->ClientNumbers(), QStringList({"8", "9"}));
    // Repeats are not suppressed.
    sound->played.clear();
    Answer({{"8", "40", "50", "25"}});
    EXPECT_EQ(sound->played, QStringList({"/s/start.wav"}));
}

TEST_F(MarginMonitor, EmptyOrUndescribedAnswerLeavesOneBlankRowAndRestartsTheTimer) {
    for (const ScriptedAnswer& answer :
         {AnswerBuilder().Build(), MarginList({}), AnswerBuilder().Row({"1", "x"}).Build()}) {
        sound->played.clear();
        ses->RaiseLogin();
        ses->FeedData(answer);
        EXPECT_EQ(Grid().RowCount(), 2);
        EXPECT_EQ(Cell(TFormMargo::kIdCli, 1), QString());
        EXPECT_EQ(form->cbEvent().count(), 0);
        EXPECT_TRUE(sound->played.isEmpty());
        EXPECT_TRUE(form->RefreshTimer().isActive());
        EXPECT_TRUE(form->ClientNumbers().isEmpty());
    }
}

TEST_F(MarginMonitor, SoundSwitchMirrorsTheMenuAndSilencesOnlyTheSound) {
    form->SoundButton()->trigger();
    EXPECT_TRUE(form->SoundOff());
    EXPECT_TRUE(form->SoundOffAction()->isChecked());
    Answer({{"3", "10", "50", "25"}});
    EXPECT_TRUE(sound->played.isEmpty());
    EXPECT_EQ(form->cbEvent().count(), 1);
    form->SoundOffAction()->trigger();
    EXPECT_FALSE(form->SoundOff());
    EXPECT_FALSE(form->SoundOffAction()->isChecked());
    // No sound file set: nothing plays, the rest goes on.
    SetSoundEventFile(SoundEvent::CriticalLevel, QString());
    Answer({{"3", "10", "50", "25"}});
    EXPECT_EQ(sound->played, QStringList({QString()}));
    EXPECT_TRUE(form->RefreshTimer().isActive());
}

TEST_F(MarginMonitor, SelectionFollowsTheClientAndOnlyTheUsersEventChoiceMovesIt) {
    Answer({{"5", "80", "50", "25"}, {"7", "10", "50", "25"}, {"9", "40", "50", "25"}});
    SelectRow(1); // client 5, no breach
    Answer({{"1", "80", "50", "25"},
            {"5", "80", "50", "25"},
            {"7", "10", "50", "25"},
            {"9", "40", "50", "25"}});
    EXPECT_EQ(Cell(TFormMargo::kIdCli, gridcols::CurrentRow(Grid())), QStringLiteral("5"));
    // The code's own selection of the first event (client 7) left the current row
    // alone; the user's choice of client 9 moves it.
    form->EventChosen(1);
    EXPECT_EQ(Cell(TFormMargo::kIdCli, gridcols::CurrentRow(Grid())), QStringLiteral("9"));
}

TEST_F(MarginMonitor, SettingsTextConsumesOnlyMatchingPrefixes) {
    struct Case {
        const char* text;
        bool panelShown, soundOff;
    };
    const Case cases[] = {
        {"BTNP00BTNSM0", false, true},
        {"BTNP01BTNSM1", true, false},
        {"XXBTNP00", true, false}, // neither prefix: left whole for the grid
        {"BTNSM0", true, true},
    };
    for (const Case& c : cases) {
        form->SetFormSettings(QStringLiteral("BTNP01BTNSM1"));
        form->setProperty("FormSettings", QString::fromLatin1(c.text));
        EXPECT_EQ(!form->Panel1()->isHidden(), c.panelShown) << c.text;
        EXPECT_EQ(form->ShowPanelAction()->isChecked(), c.panelShown) << c.text;
        EXPECT_EQ(form->SoundOff(), c.soundOff) << c.text;
        EXPECT_EQ(form->SoundOffAction()->isChecked(), c.soundOff) << c.text;
    }
    form->SetFormSettings(QStringLiteral("BTNP00BTNSM0"));
    EXPECT_TRUE(
        form->property("FormSettings").toString().startsWith(QStringLiteral("BTNP00BTNSM0")));
    const QString saved = form->FormSettings();
    form->SetFormSettings(saved);
    EXPECT_EQ(form->FormSettings(), saved);
}

TEST_F(MarginMonitor, LevelChangeIsPrefilledByIdentityAndSentInPairForm) {
    refs.ClientKey = QStringLiteral("1");
    TFormMarginLevel dialog;
    Answer({{"5", "80", "30", "20", "счет 1", "Без кредитования"}});
    ShuffleColumns();
    SelectRow(1);
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_EQ(dialog.ClientNumber(), QStringLiteral("5"));
        EXPECT_EQ(dialog.StartLevel(), 30);
        EXPECT_EQ(dialog.CriticalLevel(), 20);
        EXPECT_FALSE(dialog.MarginMode());
        dialog.EdMrgStartLevel()->setValue(40);
        dialog.ConfirmClick();
    });
    form->ChangeLevels();
    ASSERT_EQ(level->Sent().size(), 1u);
    EXPECT_FALSE(level->Last().command);
    EXPECT_EQ(level->Last().name, QStringLiteral("ExecQueryBB"));
    EXPECT_EQ(level->Last().params,
              Pieces({"chto=604", "param0=5", "param1=0", "param2=40", "param3=20", "param4=0"}));
    const size_t before = ses->Sent().size();
    level->FeedData(CommandAnswer("7"));
    EXPECT_EQ(ses->Sent().size(), before);
    level->FeedData(CommandAnswer("0"));
    EXPECT_EQ(ses->Sent().size(), before + 1);
}
