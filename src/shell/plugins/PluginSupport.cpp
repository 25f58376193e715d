#include "shell/plugins/PluginSupport.h"

#include "session/TBrokerSession.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/Services.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

TPluginSupport::TPluginSupport(QMenu* menu, QStringList folders, QObject* parent)
    : QObject(parent), menu_(menu), folders_(std::move(folders)),
      sesPlugins_(std::make_unique<TMetadataSession>(QStringLiteral("SesPlugins"))) {
    sesPlugins_->OnData = [this](TBrokerSession*) {
        GuardStep(QStringLiteral("MainForm.SesPluginsData"), [this] { SesPluginsData(); });
    };
    sesPlugins_->OnDisconnect = [this](TBrokerSession*) { SesPluginsDisconnect(); };
}

TPluginSupport::~TPluginSupport() {
    sesPlugins_->OnData = nullptr;
    sesPlugins_->OnDisconnect = nullptr;
}

void TPluginSupport::ClearMenu() {
    if (!menu_)
        return;
    menu_->clear();
    menu_->menuAction()->setVisible(false);
}

void TPluginSupport::DiscoverPlugins() {
    plugIns_.clear();
    ClearMenu();
    const QStringList folders =
        folders_.isEmpty() ? PluginFolders(QCoreApplication::applicationDirPath()) : folders_;
    plugIns_ = ScanPlugins(folders);
    for (const TPlugInModule& module : plugIns_)
        sesPlugins_->SendRequest(vocab::request::kPluginSupport, vocab::key::kPluginId +
                                                                     QLatin1Char('=') +
                                                                     module.PlugInId + QChar(0));
}

void TPluginSupport::SesPluginsData() {
    WriteLog(QStringLiteral("Читаем справочник доступных плугинов."));
    if (sesPlugins_->GetCell(0, 1) != QLatin1String("OK") || !menu_)
        return;
    const QString id = sesPlugins_->GetCell(0, 0);
    for (const TPlugInModule& module : plugIns_) {
        if (module.PlugInId != id)
            continue;
        QAction* entry = menu_->addAction(module.PlugInName);
        connect(entry, &QAction::triggered, this, [this, module] { StartModule(module); });
        menu_->menuAction()->setVisible(true);
    }
}

void TPluginSupport::SesPluginsDisconnect() {
    ClearMenu();
    plugIns_.clear();
}

void TPluginSupport::StartModule(const TPlugInModule& module) {
    // The user is not told: the shell does not wait for the program or watch it.
    if (!Services::Process().StartDetached(module.Path, {}, QCoreApplication::applicationDirPath()))
        WriteLog(QStringLiteral("Не удалось запустить модуль \"%1\".").arg(module.Path));
}
