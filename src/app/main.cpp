// The workstation's entry point: services, translations, the main window and the
// shared dialogs in their fixed order, then the event loop.
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/TComboBoxIndexed.h"
#include "grids/TFormCols.h"
#include "monitors/TFormEditProvDesc.h"
#include "monitors/TFormPos.h"
#include "monitors/TFormPrf.h"
#include "monitors/TFormProv.h"
#include "monitors/TFormProvWait.h"
#include "monitors/TFormSd.h"
#include "monitors/TOrderForm.h"
#include "shell/base/Beep.h"
#include "shell/base/Registry.h"
#include "shell/base/Services.h"
#include "shell/main/AboutBox.h"
#include "shell/main/MainForm.h"

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
    mainForm.SetAboutBox(new TAboutBox(&mainForm));
    TFormCols columnsDialog(&mainForm);
    TAdvColumnGrid::SetColumnsDialog(&columnsDialog);
    // The transaction description dialog, last of the shared dialogs.
    TFormEditProvDesc::Instance(&mainForm);
    TExTimer::Start(); // drives the incremental search of the drop-down lists

    // The windows the menus open.
    TOrderForm::Register();
    TFormSd::Register();
    TFormPrf::Register();
    TFormPos::Register();
    TFormProv::Register();
    TFormProvWait::Register();

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
