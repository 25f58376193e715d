#pragma once

#include "shell/plugins/PluginScan.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QMenu;
class TMetadataSession;

// The report programs offered in the "Отчеты" menu: found on disk at every StartWork,
// each asked about on SesPlugins ("NorvanePluginSupport"), and listed when the server
// allows it for this user. An entry starts its program in the workstation's folder.
class TPluginSupport : public QObject {
    Q_OBJECT
public:
    // menu: the "Отчеты" menu (hidden while empty). folders: the module folders, in
    // scan order; empty: PluginFolders() of the program's folder at each discovery.
    explicit TPluginSupport(QMenu* menu, QStringList folders = {}, QObject* parent = nullptr);
    ~TPluginSupport() override;

    void DiscoverPlugins();
    void SesPluginsData();
    void SesPluginsDisconnect();
    // What an entry does: starts the module, logging a failure.
    void StartModule(const TPlugInModule& module);

    const QList<TPlugInModule>& PlugIns() const { return plugIns_; }
    TMetadataSession& SesPlugins() const { return *sesPlugins_; }

private:
    void ClearMenu();

    QPointer<QMenu> menu_;
    QStringList folders_;
    QList<TPlugInModule> plugIns_;
    std::unique_ptr<TMetadataSession> sesPlugins_;
};
