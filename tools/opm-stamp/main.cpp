// opm-stamp: writes or replaces the version block of a plug-in module, or prints it.
//
//   opm-stamp FILE Key=Value...   stamp (after strip, which drops trailing bytes)
//   opm-stamp --print FILE        print the strings, one "Key=Value" a line
#include "shell/base/PluginBlock.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: opm-stamp FILE Key=Value...\n       opm-stamp --print FILE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("--print")) {
        const auto strings = pluginblock::ReadFile(args[1]);
        if (!strings) {
            std::fprintf(stderr, "opm-stamp: %s carries no valid block\n", qPrintable(args[1]));
            return 1;
        }
        for (const auto& [key, value] : *strings)
            std::printf("%s=%s\n", key.toUtf8().constData(), value.toUtf8().constData());
        return 0;
    }
    if (args.size() < 2 || args[0].startsWith(QLatin1String("--")))
        return Usage();
    pluginblock::Strings strings;
    for (const QString& pair : args.mid(1)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq < 1)
            return Usage();
        strings.append({pair.left(eq), pair.mid(eq + 1)});
    }
    QString error;
    if (!pluginblock::Stamp(args[0], strings, &error)) {
        std::fprintf(stderr, "opm-stamp: %s: %s\n", qPrintable(args[0]), qPrintable(error));
        return 1;
    }
    return 0;
}
