// Loading the per-user settings file: one key with many values (a file a user's
// desktops can grow to), timed from the first read to the last value found.
//
//     shell_registry_bench [values]      (default 380,000 values, about 55 MiB)
#include "shell/base/Registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 380000;
    QTemporaryDir dir;
    qputenv("ORVEX_CONFIG_DIR", dir.path().toLocal8Bit());
    TRegistry::ReloadStores();

    // The file as the store writes it (indented JSON), one key with `count` values.
    const QString path = TRegistry::UserStorePath();
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    const QByteArray text(12, 'x');
    out.write(
        "{\n    \"keys\": [\n        {\n            \"path\": \"Software\\\\orvexprof\\\\Big\",\n"
        "            \"values\": [\n");
    for (int i = 0; i < count; ++i) {
        out.write(
            "                {\n                    \"name\": \"Value" + QByteArray::number(i) +
            "\",\n                    \"type\": \"string\",\n                    \"value\": \"" +
            text + "\"\n                }" + (i + 1 < count ? ",\n" : "\n"));
    }
    out.write("            ]\n        }\n    ]\n}\n");
    out.close();
    const double mib = double(QFileInfo(path).size()) / (1024.0 * 1024.0);

    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuStart = std::clock();
    TRegistry reg;
    const bool opened = reg.OpenKeyReadOnly(QStringLiteral("Software\\orvexprof\\Big"));
    const qint64 loadMs = timer.elapsed();
    const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const QString last = reg.ReadString(QStringLiteral("VALUE") + QString::number(count - 1));
    const qsizetype names = reg.GetValueNames().size();
    std::printf("settings file: %d values, %.1f MiB\n", count, mib);
    std::printf("load: %lld ms, %.0f ms of processor time (key %s, %lld values, last value %s)\n",
                qint64(loadMs), cpuMs, opened ? "found" : "MISSING", qint64(names),
                last.isEmpty() ? "MISSING" : "found");
    return opened && names == count && !last.isEmpty() ? 0 : 1;
}
