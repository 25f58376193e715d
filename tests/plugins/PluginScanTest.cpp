// Finding the plug-in modules: the folders in order, the merge rule, what is skipped.
#include "shell/plugins/PluginScan.h"
#include "shell/base/Log.h"
#include "shell/base/PluginBlock.h"
#include "shell/base/Registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PluginScanTest : public ::testing::Test {
protected:
    // A module file with the strings; version empty: none written.
    QString Module(const QString& folder, const QString& name, const QString& id,
                   const QString& version, const QString& interface = QStringLiteral("1")) {
        QDir().mkpath(folder);
        const QString path = QDir(folder).filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("program");
        f.close();
        pluginblock::Strings strings = {{QStringLiteral("OrvexPluginInterface"), interface},
                                        {QStringLiteral("OrvexPluginID"), id},
                                        {QStringLiteral("OrvexPluginName"), name}};
        if (!version.isEmpty())
            strings.append({QStringLiteral("OrvexPluginVersion"), version});
        EXPECT_TRUE(pluginblock::Stamp(path, strings, nullptr));
        return path;
    }
    QStringList Names(const QList<TPlugInModule>& modules) {
        QStringList names;
        for (const TPlugInModule& m : modules)
            names << m.PlugInName;
        return names;
    }
    QString Folder(const char* name) { return dir_.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir_;
};

TEST_F(PluginScanTest, MergeKeepsTheGreaterVersionTextInFoundOrder) {
    struct Case {
        const char* what;
        const char* firstVersion;
        const char* secondVersion;
        QStringList expected; // names, in list order
    };
    const Case cases[] = {
        {"2 beats 10 as text", "2", "10", {"a.opm", "b.opm"}},
        {"10 loses to 2 as text", "10", "2", {"b.opm", "z.opm"}},
        {"greater replaces and moves to the end", "1.1", "1.2", {"b.opm", "z.opm"}},
        {"same version: the first stays", "3", "3", {"a.opm", "b.opm"}},
        {"empty reads 1", "", "0", {"a.opm", "b.opm"}},
    };
    for (const Case& c : cases) {
        QTemporaryDir run;
        const QString first = run.filePath(QStringLiteral("prog"));
        const QString second = run.filePath(QStringLiteral("opt"));
        Module(first, QStringLiteral("a.opm"), QStringLiteral("same"),
               QString::fromUtf8(c.firstVersion));
        Module(first, QStringLiteral("b.opm"), QStringLiteral("other"), QStringLiteral("1"));
        Module(second, QStringLiteral("z.opm"), QStringLiteral("same"),
               QString::fromUtf8(c.secondVersion));
        EXPECT_EQ(Names(ScanPlugins({first, second})), c.expected) << c.what;
    }
}

TEST_F(PluginScanTest, OnlyReadableModulesOfInterfaceOneCount) {
    const QString folder = Folder("prog");
    Module(folder, QStringLiteral("upper.OPM"), QStringLiteral("u"), QStringLiteral("1"));
    Module(folder, QStringLiteral(".hidden.opm"), QStringLiteral("h"), QStringLiteral("1"));
    Module(folder, QStringLiteral("two.opm"), QStringLiteral("t"), QStringLiteral("1"),
           QStringLiteral("2"));
    Module(folder, QStringLiteral("report.exe"), QStringLiteral("e"), QStringLiteral("1"));
    QFile plain(QDir(folder).filePath(QStringLiteral("plain.opm")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("no block");
    plain.close();
    QDir().mkpath(QDir(folder).filePath(QStringLiteral("dir.opm")));

    const QList<TPlugInModule> found = ScanPlugins({folder + QLatin1Char('/')});
    EXPECT_EQ(Names(found), QStringList({".hidden.opm", "upper.OPM"}));
    EXPECT_EQ(found.value(1).Path, folder + QStringLiteral("/upper.OPM"));
    EXPECT_TRUE(ScanPlugins({Folder("missing")}).isEmpty());
}

TEST_F(PluginScanTest, ModulesEveryoneMayWriteAreSkippedWithALogLine) {
    SetLogFileName(dir_.filePath(QStringLiteral("test.log")));
    const QString folder = Folder("prog");
    const QString open =
        Module(folder, QStringLiteral("open.opm"), QStringLiteral("o"), QStringLiteral("1"));
    Module(folder, QStringLiteral("safe.opm"), QStringLiteral("s"), QStringLiteral("1"));
    QFile::setPermissions(open, QFile::permissions(open) | QFile::WriteOther);
    EXPECT_EQ(Names(ScanPlugins({folder})), QStringList({"safe.opm"}));

    const QString shared = Folder("shared");
    Module(shared, QStringLiteral("x.opm"), QStringLiteral("x"), QStringLiteral("1"));
    QFile::setPermissions(shared, QFile::permissions(shared) | QFile::WriteOther | QFile::ExeOther |
                                      QFile::ReadOther);
    EXPECT_TRUE(ScanPlugins({shared}).isEmpty());
    QFile log(dir_.filePath(QStringLiteral("test.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("open.opm"));
    EXPECT_TRUE(text.contains("shared"));
    SetLogFileName(QString());
}

TEST_F(PluginScanTest, FoldersAreTheProgramsTheFixedOneAndTheInstallersFromTheMachineStore) {
    qputenv("ORVEX_MACHINE_CONFIG_DIR", dir_.path().toLocal8Bit());
    TRegistry::ReloadStores();
    EXPECT_EQ(PluginFolders(QStringLiteral("/prog")), QStringList({"/prog", "/opt/velmor-orvex/"}));
    QFile f(dir_.filePath(QStringLiteral("registry.json")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral(R"({"keys":[{"path":"Software\\Вельмор-Орвекс\\Install","values":[)"
                           R"({"name":"AppPath","type":"string","value":"/srv/orvex"}]}]})")
                .toUtf8());
    f.close();
    TRegistry::ReloadStores();
    EXPECT_EQ(PluginFolders(QStringLiteral("/prog")),
              QStringList({"/prog", "/opt/velmor-orvex/", "/srv/orvex"}));
    qunsetenv("ORVEX_MACHINE_CONFIG_DIR");
    TRegistry::ReloadStores();
}

} // namespace
