// Screenshots of the broker interest window, the tier dialog with a refusal, the
// "Отчеты" menu with the sample plug-in and its window, and the stand-in chat, against
// a demo server of its own. Run under a virtual X server:
//   xvfb-run -s "-screen 0 1280x800x24" build/bin/interest_screens /tmp/shots
#include "grids/TAdvColumnGrid.h"
#include "interest/TFormAllBrokPercent.h"
#include "interest/TFormUpdateBrokPercent.h"
#include "session/LocalSocketSession.h"
#include "shell/base/Registry.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/main/MainForm.h"
#include "shell/plugins/ChatComponent.h"
#include "shell/plugins/PluginSupport.h"
#include "support/RealServer.h"

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using realserver::WaitUntil;

namespace {

void Pause(int ms) {
    WaitUntil([] { return false; }, ms);
}

void Shot(const QString& folder, const char* name) {
    const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name) + ".png";
    QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir dir;
    qputenv("ORVEX_SERVER_SOCKET", dir.filePath(QStringLiteral("parvane.sock")).toUtf8());
    qputenv("ORVEX_SERVER_DB", dir.filePath(QStringLiteral("store.sqlite")).toUtf8());
    qputenv("ORVEX_SERVER_LOG", dir.filePath(QStringLiteral("parvane.log")).toUtf8());
    qputenv("ORVEX_SERVER_IDLE", "5");
    qputenv("ORVEX_SERVER_PATH", realserver::ServerBinary().toUtf8());
    qputenv("ORVEX_CONFIG_DIR", dir.filePath(QStringLiteral("config")).toUtf8());
    TRegistry::ReloadStores();
    Services::InstallInteractive();
    auto process = std::make_shared<realserver::RecordingProcess>();
    Services::SetProcess(process);
    LocalSocketSession::SetAttachTimeout(30000);
    TFormAllBrokPercent::Register();
    {
        TMainForm form;
        TFormUpdateBrokPercent::CreateShared(&form);
        TPluginSupport plugins(form.ReportsMenu());
        form.Hooks().DiscoverPlugins = [&plugins] { plugins.DiscoverPlugins(); };
        RegisterStandInChat(QCoreApplication::applicationDirPath());
        TChatHost chat;
        form.Hooks().CreateChat = [&chat] { chat.CreateChat(); };
        form.resize(1200, 760);
        form.show();
        if (!WaitUntil([&] { return form.WorkStarted(); }, 60000))
            return 1;
        auto* window = qobject_cast<TFormAllBrokPercent*>(form.OpenWindow(WindowCommand::Interest));
        TAdvColumnGrid& grid = window->PercAllGrid();
        WaitUntil([&] { return grid.RowCount() > 10; }, 30000);
        window->parentWidget()->resize(760, 420);
        grid.setCurrentIndex(grid.model()->index(3, 4));
        Pause(500);
        Shot(out, "interest");

        TFormUpdateBrokPercent& dialog = TFormUpdateBrokPercent::Shared();
        dialog.Open(grid.Cell(0, 4), grid.Cell(1, 4));
        dialog.show();
        WaitUntil([&] { return dialog.PercGrid().RowCount() == 5; }, 15000);
        dialog.PercGrid().SetCell(4, 3, QStringLiteral("50"));
        QTimer::singleShot(1200, [&] {
            Shot(out, "tier-dialog-refusal");
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        dialog.BtnOkClick();
        dialog.hide();

        WaitUntil([&] { return !form.ReportsMenu()->actions().isEmpty(); }, 15000);
        form.ReportsMenu()->popup(form.mapToGlobal(QPoint(300, 30)));
        Pause(500);
        Shot(out, "reports-menu");
        form.ReportsMenu()->close();
        if (!form.ReportsMenu()->actions().isEmpty())
            form.ReportsMenu()->actions().first()->trigger();
        Pause(2500);
        Shot(out, "sample-plugin");

        chat.ShowChat();
        Pause(2500);
        Shot(out, "chat");
    }
    TWindowCatalog::Unregister(WindowCommand::Interest);
    return 0;
}
