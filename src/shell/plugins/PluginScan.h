#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One report program found on disk.
struct TPlugInModule {
    QString Path;
    QString PlugInId;
    QString PlugInName;
    QString PlugInVersion;
};

// The fixed program folder the modules may also be installed in.
inline const QString kFixedPluginFolder = QStringLiteral("/opt/velmor-orvex/");

// The folders searched for "*.opm" modules, in order: the program's own folder, the
// fixed program folder, and the folder the installer recorded in the machine-wide
// store ("Software\Вельмор-Орвекс\Install", "AppPath") when there is one.
QStringList PluginFolders(const QString& programFolder);

// The modules of the folders, merged: of two modules with one id the one with the
// greater version text stays (plain text order, so "2" beats "10"; an empty version
// reads "1"); a replacing module goes to the end of the list. Files that cannot be read,
// carry no valid block or an interface other than "1" are skipped silently; a module
// or folder every user may write is skipped with a log line. The path is the folder
// text followed by the file name.
QList<TPlugInModule> ScanPlugins(const QStringList& folders);

// The merge rule alone.
void MergePlugin(QList<TPlugInModule>& modules, const TPlugInModule& module);
