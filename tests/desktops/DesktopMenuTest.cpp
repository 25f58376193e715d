// The "Рабочий стол" menu of the main window and the save dialog.
#include "desktops/DesktopText.h"
#include "desktops/TDeskTopConfig.h"
#include "desktops/TDesktopMenu.h"
#include "desktops/TFormSaveAsDesktop.h"
#include "shell/base/Registry.h"
#include "shell/main/MainForm.h"
#include "support/ScriptedSession.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DesktopMenu : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORVEX_CONFIG_DIR", dir_.path().toLocal8Bit());
        TRegistry::ReloadStores();
    }
    void TearDown() override {
        main_.reset();
        store_.reset();
        qunsetenv("ORVEX_CONFIG_DIR");
        TRegistry::ReloadStores();
    }
    // Saved desktops (with no windows), then the program's start.
    void Start(const QStringList& saved) {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(TDeskTopConfig::DefaultKeyPath(), true));
        for (const QString& name : saved)
            reg.WriteString(name, DesktopText::BuildStored({}));
        store_ = std::make_unique<TDeskTopConfig>();
        main_ = std::make_unique<TMainForm>();
        menu_ = main_->Desktops();
        ASSERT_NE(menu_, nullptr);
        menu_->SetNameAsker([this](QString& name) {
            asked_.append(name);
            if (answers_.isEmpty())
                return false;
            name = answers_.takeFirst();
            return true;
        });
    }
    // The texts of the menu below "Удалить": "-" for the separator, "*" before a
    // checked entry.
    QStringList Entries(QMenu* menu, int from) const {
        QStringList texts;
        const QList<QAction*> all = menu->actions();
        for (int i = from; i < all.size(); ++i)
            texts.append(all[i]->isSeparator()
                             ? QStringLiteral("-")
                             : (all[i]->isChecked() ? QStringLiteral("*") : QString()) +
                                   all[i]->text());
        return texts;
    }
    QStringList Desktop() const { return Entries(main_->DesktopMenu(), 2); }
    QStringList Delete() const { return Entries(main_->DesktopDeleteMenu(), 0); }
    void SaveAs(const QString& answer) {
        answers_ = QStringList(answer);
        main_->DesktopSaveAction()->trigger();
    }

    QTemporaryDir dir_;
    ScriptedSessionHub hub_;
    std::unique_ptr<TDeskTopConfig> store_;
    std::unique_ptr<TMainForm> main_;
    TDesktopMenu* menu_ = nullptr;
    QStringList answers_;
    QStringList asked_;
};

} // namespace

TEST_F(DesktopMenu, EntriesFollowSavesSelectionsAndDeletes) {
    Start({QStringLiteral("Утро"), QStringLiteral("A & B")});
    EXPECT_EQ(main_->DesktopMenu()->actions().at(0)->text(), QStringLiteral("Сохранить как..."));
    EXPECT_EQ(main_->DesktopMenu()->actions().at(1), main_->DesktopDeleteAction());
    EXPECT_EQ(Desktop(), QStringList({"-", QStringLiteral("Утро"), "A && B"}));
    EXPECT_EQ(Delete(), QStringList({QStringLiteral("Утро"), "A && B"}));
    // The whole submenu works only while connected.
    EXPECT_FALSE(main_->DesktopMenu()->menuAction()->isEnabled());
    main_->StartWork();
    EXPECT_TRUE(main_->DesktopMenu()->menuAction()->isEnabled());
    main_->BreakWork();
    EXPECT_FALSE(main_->DesktopMenu()->menuAction()->isEnabled());

    // A name differing only in case adds no entry and marks the existing one.
    SaveAs(QStringLiteral("УТРО"));
    EXPECT_EQ(Desktop(), QStringList({"-", QStringLiteral("*Утро"), "A && B"}));
    SaveAs(QStringLiteral("Вечер"));
    EXPECT_EQ(asked_.last(), QStringLiteral("УТРО")); // the dialog starts at the current name
    EXPECT_EQ(Desktop(),
              QStringList({"-", QStringLiteral("Утро"), "A && B", QStringLiteral("*Вечер")}));
    // Cancel and an empty name change nothing.
    main_->DesktopSaveAction()->trigger();
    SaveAs(QString());
    EXPECT_EQ(Desktop().last(), QStringLiteral("*Вечер"));

    // Selecting restores by the name the entry carries, not by its shown text.
    menu_->FindEntry(QStringLiteral("a & b"))->trigger();
    EXPECT_EQ(menu_->CurrentDesktopName(), "A & B");
    EXPECT_EQ(Desktop(),
              QStringList({"-", QStringLiteral("Утро"), "*A && B", QStringLiteral("Вечер")}));

    // Deleting the marked desktop clears the mark; the separator stays.
    menu_->FindDeleteEntry(QStringLiteral("A & B"))->trigger();
    menu_->FindDeleteEntry(QStringLiteral("Утро"))->trigger();
    menu_->FindDeleteEntry(QStringLiteral("Вечер"))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Desktop(), QStringList({"-"}));
    EXPECT_EQ(Delete(), QStringList());
    EXPECT_EQ(menu_->MarkedEntry(), nullptr);
    TDeskTopConfig again;
    EXPECT_EQ(again.DesktopNames(), QStringList());
    // The next save adds its entry after the separator left behind.
    SaveAs(QStringLiteral("Ночь"));
    EXPECT_EQ(Desktop(), QStringList({"-", QStringLiteral("*Ночь")}));
}

TEST_F(DesktopMenu, FirstSaveAddsTheSeparatorOnce) {
    Start({});
    EXPECT_EQ(Desktop(), QStringList());
    SaveAs(QStringLiteral("Один"));
    SaveAs(QStringLiteral("Два"));
    EXPECT_EQ(Desktop(), QStringList({"-", QStringLiteral("Один"), QStringLiteral("*Два")}));
    // A marked entry removed behind the menu's back is not touched again.
    delete menu_->FindEntry(QStringLiteral("Два"));
    menu_->MarkDesktopEntry(menu_->FindEntry(QStringLiteral("Один")));
    EXPECT_EQ(Desktop(), QStringList({"-", QStringLiteral("*Один")}));
}

TEST_F(DesktopMenu, SaveDialogListsTheNamesOfTheStartOnly) {
    Start({QStringLiteral("Утро")});
    TFormSaveAsDesktop dialog(store_->DesktopNames(), main_.get());
    EXPECT_TRUE(dialog.isHidden());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Сохранение рабочего стола"));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_TRUE(dialog.CbDesktopName().isEditable());
    EXPECT_EQ(dialog.CbDesktopName().objectName(), "CbDesktopName");
    SaveAs(QStringLiteral("Вечер"));
    ASSERT_EQ(dialog.CbDesktopName().count(), 1);
    EXPECT_EQ(dialog.CbDesktopName().itemText(0), QStringLiteral("Утро"));
}
