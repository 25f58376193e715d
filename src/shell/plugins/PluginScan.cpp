#include "shell/plugins/PluginScan.h"

#include "shell/base/Log.h"
#include "shell/base/PluginBlock.h"
#include "shell/base/Registry.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

// Anyone could plant a program in a place every user may write, which the workstation
// would then offer and start.
bool WritableByAll(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IWOTH);
}

QString VersionText(const QString& version) {
    return version.isEmpty() ? QStringLiteral("1") : version;
}

} // namespace

QStringList PluginFolders(const QString& programFolder) {
    QStringList folders = {programFolder, kFixedPluginFolder};
    TRegistry machine(TRegistry::Scope::LocalMachine);
    if (machine.OpenKeyReadOnly(QStringLiteral("Software\\Вельмор-Орвекс\\Install"))) {
        const QString installed = machine.ReadString(QStringLiteral("AppPath"));
        if (!installed.isEmpty())
            folders << installed;
    }
    return folders;
}

void MergePlugin(QList<TPlugInModule>& modules, const TPlugInModule& module) {
    for (qsizetype i = 0; i < modules.size(); ++i) {
        if (modules[i].PlugInId != module.PlugInId)
            continue;
        if (QString::compare(VersionText(module.PlugInVersion),
                             VersionText(modules[i].PlugInVersion), Qt::CaseSensitive) > 0) {
            modules.removeAt(i);
            modules.append(module);
        }
        return;
    }
    modules.append(module);
}

QList<TPlugInModule> ScanPlugins(const QStringList& folders) {
    QList<TPlugInModule> modules;
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        // The mask of the folder: "*.opm" after a closing "/", else "/*.opm".
        const QString prefix =
            folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        const QDir dir(folder);
        if (!dir.exists())
            continue;
        if (WritableByAll(folder)) {
            WriteLog(QStringLiteral("Папка модулей \"%1\" доступна на запись всем; модули из нее "
                                    "не подключаются.")
                         .arg(folder));
            continue;
        }
        for (const QString& name :
             dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
            if (!name.endsWith(QStringLiteral(".opm"), Qt::CaseInsensitive))
                continue;
            const QString path = prefix + name;
            if (WritableByAll(path)) {
                WriteLog(QStringLiteral("Модуль \"%1\" доступен на запись всем и не подключается.")
                             .arg(path));
                continue;
            }
            const auto strings = pluginblock::ReadFile(path);
            if (!strings || pluginblock::Value(*strings, QStringLiteral("OrvexPluginInterface")) !=
                                QLatin1String("1"))
                continue;
            TPlugInModule module;
            module.Path = path;
            module.PlugInId = pluginblock::Value(*strings, QStringLiteral("OrvexPluginID"));
            module.PlugInName = pluginblock::Value(*strings, QStringLiteral("OrvexPluginName"));
            module.PlugInVersion =
                pluginblock::Value(*strings, QStringLiteral("OrvexPluginVersion"));
            MergePlugin(modules, module);
        }
    }
    return modules;
}
