// The workstation's entry point: services, translations, the main window and the
// shared dialogs in their fixed order, then the event loop.
#include "browsers/TFormListBum.h"
#include "browsers/TFormUserInfo.h"
#include "commissions/TFormTaxAddArea.h"
#include "commissions/TFormTaxAddPlan2Client.h"
#include "commissions/TFormTaxAddScalaLine.h"
#include "commissions/TFormTaxAddTarif.h"
#include "commissions/TFormTaxAddTarif2Plan.h"
#include "commissions/TFormTaxMain.h"
#include "commissions/TTaxCommands.h"
#include "desktops/TDeskTopConfig.h"
#include "desktops/TDesktopMenu.h"
#include "desktops/TFormSaveAsDesktop.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/TComboBoxIndexed.h"
#include "grids/TFormCols.h"
#include "interest/TFormAllBrokPercent.h"
#include "interest/TFormUpdateBrokPercent.h"
#include "margin/TFormMarginAddRule.h"
#include "margin/TFormMarginCopyRule.h"
#include "margin/TFormMarginEditRule.h"
#include "margin/TFormMarginLevel.h"
#include "margin/TFormMargo.h"
#include "margin/TFormSoundSettings.h"
#include "monitors/TFormAOrd.h"
#include "monitors/TFormAPortfel.h"
#include "monitors/TFormAPosition.h"
#include "monitors/TFormAProv.h"
#include "monitors/TFormASd.h"
#include "monitors/TFormConditionOrders.h"
#include "monitors/TFormEditProvDesc.h"
#include "monitors/TFormNewProv.h"
#include "monitors/TFormOrderInfo.h"
#include "monitors/TFormOrdersRPS.h"
#include "monitors/TFormOstatkiTn.h"
#include "monitors/TFormPortfelFut.h"
#include "monitors/TFormPos.h"
#include "monitors/TFormPrf.h"
#include "monitors/TFormProv.h"
#include "monitors/TFormProvWait.h"
#include "monitors/TFormSd.h"
#include "monitors/TOrderForm.h"
#include "shell/base/Beep.h"
#include "shell/base/Registry.h"
#include "shell/base/Services.h"
#include "shell/base/SoundPlayer.h"
#include "shell/main/AboutBox.h"
#include "shell/main/MainForm.h"
#include "shell/plugins/ChatComponent.h"
#include "shell/plugins/PluginSupport.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ApplyProductIdentity();

    // Standard buttons read "Да", "Нет", "Отмена".
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    // The tables' column widths are laid out for a compact 8-point face; the
    // condensed face keeps prices and volumes whole in them.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), font.family()});
    font.setPointSize(8);
    QApplication::setFont(font);

    Services::InstallInteractive();
    SetBeepHandler([] { QApplication::beep(); });
    // The margin alarms play through the sound player; "Настройка звука" opens the
    // program's own dialog (set below, once the main window exists).
    Services::SetSound(std::make_shared<TSoundPlayer>());

    // The desktop store reads the names of the saved desktops before any window exists.
    TDeskTopConfig desktops;

    // The main window creates its reference lists and sessions and asks the
    // session server to log in; the answers arrive through the event loop.
    TMainForm mainForm;

    // The shared dialogs, all hidden until used, in their fixed order: filter,
    // new transaction, about, broker-percent update, column order, desktop save,
    // the four margin rule dialogs, the five commission dialogs, transaction
    // description (each in its place among those the program has).
    TFormFiltr& filter = TFormFiltr::Instance();
    TStartupHooks& hooks = mainForm.Hooks();
    hooks.ClearReferenceTrees = [&filter] { filter.ClearTrees(); };
    hooks.FilterFillTreeAcc = [&filter] { filter.FillTreeAcc(); };
    hooks.FilterFillTreeBum = [&filter] { filter.FillTreeBum(); };
    hooks.CloseDialogsOnBreak = [&filter] { filter.ForceClose(); };
    // The new-transaction dialog: its lists are filled after the filter's instrument
    // tree at each (re)load; it opens the transaction lists' new and copy actions.
    TFormNewProv newTransaction(&mainForm);
    hooks.TransactionFillControls = [&newTransaction] {
        newTransaction.FillControls(TReferenceData::Current());
    };
    mainForm.SetAboutBox(new TAboutBox(&mainForm));
    TFormUpdateBrokPercent::CreateShared(&mainForm);
    TFormCols columnsDialog(&mainForm);
    TAdvColumnGrid::SetColumnsDialog(&columnsDialog);
    TFormSaveAsDesktop saveDesktopDialog(desktops.DesktopNames(), &mainForm);
    if (TDesktopMenu* menu = mainForm.Desktops())
        menu->SetNameAsker(
            [&saveDesktopDialog](QString& name) { return saveDesktopDialog.Ask(name); });
    // The transaction description dialog, last of the shared dialogs.
    TFormEditProvDesc::Instance(&mainForm);
    TExTimer::Start(); // drives the incremental search of the drop-down lists

    // The margin rule dialogs: edit, add, copy, level. The add tree and the level
    // dialog's accounts are built by StartWork and emptied before a reload; the copy
    // dialog's trees are emptied on a disconnect.
    TFormMarginEditRule marginEdit(&mainForm);
    TFormMarginAddRule marginAdd(&mainForm);
    TFormMarginCopyRule marginCopy(&mainForm);
    TFormMarginLevel marginLevel(&mainForm);
    hooks.ClearReferenceTrees = [clear = hooks.ClearReferenceTrees, &marginAdd, &marginLevel] {
        if (clear)
            clear();
        marginAdd.ClearTree();
        marginLevel.ClearAccounts();
    };
    hooks.MarginAddFillTreeBum = [&marginAdd] { marginAdd.FillTreeBum(TReferenceData::Current()); };
    hooks.MarginLevelFillControls = [&marginLevel] {
        marginLevel.FillControls(TReferenceData::Current());
    };
    hooks.CloseDialogsOnBreak = [close = hooks.CloseDialogsOnBreak, &marginCopy] {
        if (close)
            close();
        marginCopy.BreakWork();
    };
    TSoundPlayer::SetSettingsOpener([&mainForm] {
        TFormSoundSettings dialog(&mainForm);
        dialog.ShowModal();
    });

    // The commission dialogs: the tariff editor's slot, the scale line, the area,
    // the tariff-to-plan and the plan-to-client dialogs.
    TFormTaxAddTarif taxTarif(&mainForm);
    TFormTaxAddScalaLine taxScaleLine(&mainForm);
    TFormTaxAddArea taxArea(&mainForm);
    TFormTaxAddTarif2Plan taxTarif2Plan(&mainForm);
    TFormTaxAddPlan2Client taxPlan2Client(&mainForm);
    hooks.TariffAreaFillTree = [&taxArea] { taxArea.FillTree(TReferenceData::Current()); };
    // The area tree points into the reference data: it goes with the other trees.
    hooks.ClearReferenceTrees = [clear = hooks.ClearReferenceTrees, &taxArea] {
        if (clear)
            clear();
        taxArea.ClearTree();
    };
    // Through Instance(): a manager still open at exit closes after the dialogs are gone.
    TFormTaxMain::Hooks().TarifsLoaded = [] {
        if (TFormTaxAddTarif2Plan* d = TFormTaxAddTarif2Plan::Instance())
            d->MarkOutOfDate();
    };
    TTaxCommands::Hooks().TarifsChanged = TFormTaxMain::Hooks().TarifsLoaded;
    TTaxCommands::Hooks().EditTarif = [](const TTaxLists&, const TTaxTarif* existing) {
        return TFormTaxAddTarif::EditTarif(existing);
    };
    TFormTaxMain::Hooks().SelfAccountsLoaded = [](const TTaxLists& lists) {
        if (TFormTaxAddTarif* d = TFormTaxAddTarif::Instance())
            d->RefillDestAccounts(lists);
    };
    TTaxCommands::Hooks().ChooseTarif = [](const TTaxLists& lists) -> TTaxTarif* {
        TTaxTarif* chosen = nullptr;
        if (TFormTaxAddTarif2Plan* d = TFormTaxAddTarif2Plan::Instance())
            d->ChooseTarif(lists, chosen);
        return chosen;
    };
    TTaxCommands::Hooks().AssignPlan = [](const TTaxLists& lists, const TTaxClient& client,
                                          TTaxClient& result) {
        TFormTaxAddPlan2Client* d = TFormTaxAddPlan2Client::Instance();
        if (!d || d->AssignPlan(lists, client) != QDialog::Accepted)
            return false;
        result = d->TakeResult();
        return true;
    };
    TTaxCommands::Hooks().PostError = [&mainForm](const QString& text) {
        mainForm.PostDeferredMessage(text, MsgKind::Error, MsgCancel);
    };
    TFormTaxMain::Hooks().Closing = [] {
        if (TFormTaxAddTarif* d = TFormTaxAddTarif::Instance())
            d->EmptyDestAccounts();
        if (TFormTaxAddTarif2Plan* d = TFormTaxAddTarif2Plan::Instance())
            d->EmptyList();
        if (TFormTaxAddPlan2Client* d = TFormTaxAddPlan2Client::Instance())
            d->EmptyLists();
    };

    // The windows the menus open.
    TOrderForm::Register();
    TFormAllBrokPercent::Register();

    // The report programs of "Отчеты" and the chat, found and made by StartWork; both
    // go before the main window they hang on.
    TPluginSupport plugins(mainForm.ReportsMenu());
    hooks.DiscoverPlugins = [&plugins] { plugins.DiscoverPlugins(); };
    RegisterStandInChat(QCoreApplication::applicationDirPath());
    TChatHost chat;
    hooks.CreateChat = [&chat] { chat.CreateChat(); };
    mainForm.ChatAction()->setEnabled(true);
    QObject::connect(mainForm.ChatAction(), &QAction::triggered, [&chat] { chat.ShowChat(); });
    TFormMargo::Register();
    TFormMargo::SetWindowOpener([&mainForm](QWidget* window) { mainForm.AddChildWindow(window); });
    TFormSd::Register();
    TFormPrf::Register();
    TFormPos::Register();
    TFormProv::Register();
    TFormProvWait::Register();
    TFormAOrd::Register();
    TFormASd::Register();
    TFormAPortfel::Register();
    TFormAPosition::Register();
    TFormAProv::Register();
    TFormTaxMain::Register();
    TFormPortfelFut::Register();
    TFormOstatkiTn::Register();
    // Order details (the lists' details items), RPS and REPO orders, conditional orders.
    TFormOrderInfo::Register();
    TFormOrdersRPS::Register();
    TFormConditionOrders::Register();

    // The reference browsers: the securities reference (also opened on a grid row's
    // security) and the one client browser, which the login chain empties before a
    // reload, rebuilds after it and repaints when a value changes.
    TFormListBum::Register();
    TFormListBum::SetWindowOpener(
        [&mainForm](QWidget* window) { mainForm.AddChildWindow(window); });
    TFormUserInfo::Register();
    TFormUserInfo::SetSession(&mainForm.SesUserInfo());
    hooks.ClearReferenceTrees = [clear = hooks.ClearReferenceTrees] {
        if (clear)
            clear();
        if (TFormUserInfo* browser = TFormUserInfo::Current())
            browser->EmptyTrees();
    };
    hooks.ClientBrowserRebuild = [] {
        if (TFormUserInfo* browser = TFormUserInfo::Current())
            browser->Rebuild();
    };
    hooks.ClientBrowserRepaint = [] {
        if (TFormUserInfo* browser = TFormUserInfo::Current())
            browser->RepaintTrees();
    };

    if (RestoreWindowPlacement(mainForm, QStringLiteral("main"))) {
        mainForm.show();
    } else {
        // Opens maximized; the geometry covers window systems that ignore the state.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            mainForm.setGeometry(screen->availableGeometry());
        mainForm.showMaximized();
    }
    return QApplication::exec();
}
