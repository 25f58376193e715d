// Saving and restoring a desktop of twelve orders windows on scripted sessions, the
// first filtering on 50,000 account ids (the stored value is four times the text).
// Prints each stage in milliseconds, the best of the runs.
//
//     desktops_bench [runs]      (default 5)
#include "desktops/DesktopText.h"
#include "desktops/TDeskTopConfig.h"
#include "shell/base/Registry.h"
#include "shell/main/MainForm.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kWindows = 12;
constexpr int kAccounts = 50000;

double Ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

struct Figures {
    double build = 1e9, write = 1e9, registry = 1e9, read = 1e9, parse = 1e9, restore = 1e9,
           create = 1e9;
    void Keep(const Figures& f) {
        build = std::min(build, f.build);
        write = std::min(write, f.write);
        registry = std::min(registry, f.registry);
        read = std::min(read, f.read);
        parse = std::min(parse, f.parse);
        restore = std::min(restore, f.restore);
        create = std::min(create, f.create);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    qputenv("ORVEX_CONFIG_DIR", dir.path().toLocal8Bit());
    TRegistry::ReloadStores();

    ScriptedSessionHub hub;
    TDeskTopConfig store;
    TMainForm main;
    main.resize(1400, 1000);

    QStringList accounts;
    for (int i = 0; i < kAccounts; ++i)
        accounts.append(QString::number(100000 + i * 7));
    const QString accountLines = accounts.join(QStringLiteral("\r\n"));
    for (int i = 0; i < kWindows; ++i) {
        QWidget* w = store.CreateWindow(QStringLiteral("TOrderForm"));
        TDeskTopConfig::WriteProperty(*w, QStringLiteral("Caption"),
                                      QStringLiteral("Заявки %1").arg(i + 1));
        TDeskTopConfig::WriteProperty(*w, QStringLiteral("InternalFilterListAcc"),
                                      i == 0 ? accountLines : QStringLiteral("5\r\n7"));
    }

    Figures best;
    qsizetype textBytes = 0, storedChars = 0;
    for (int run = 0; run < runs; ++run) {
        Figures f;
        QElapsedTimer t;
        t.start();
        const QString stored = DesktopText::BuildStored(store.Snapshot());
        f.build = Ms(t);
        textBytes = stored.size() / 2;
        storedChars = stored.size();
        {
            TRegistry reg;
            reg.OpenKey(TDeskTopConfig::DefaultKeyPath(), true);
            t.restart();
            reg.WriteString(QStringLiteral("Большой"), stored);
            f.registry = Ms(t);
        }
        t.restart();
        store.SaveDesktop(QStringLiteral("Большой"));
        f.write = Ms(t); // includes building again: the save as the menu runs it
        t.restart();
        const QString back = store.StoredValue(QStringLiteral("Большой"));
        f.read = Ms(t);
        t.restart();
        const DesktopText::TParsed parsed = DesktopText::ParseStored(back);
        f.parse = Ms(t);
        if (!parsed.VersionOk || parsed.Steps.size() < size_t(kWindows))
            return 1;

        // The windows' own cost: made and given their lists directly.
        t.restart();
        std::vector<QWidget*> made;
        for (int i = 0; i < kWindows; ++i) {
            QWidget* w = store.CreateWindow(QStringLiteral("TOrderForm"));
            TDeskTopConfig::WriteProperty(*w, QStringLiteral("InternalFilterListAcc"),
                                          i == 0 ? accountLines : QStringLiteral("5\r\n7"));
            TDeskTopConfig::WriteProperty(*w, QStringLiteral("RestoredComplete"),
                                          QStringLiteral("0"));
            made.push_back(w);
        }
        f.create = Ms(t);
        for (QWidget* w : made)
            w->parentWidget()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        t.restart();
        store.LoadDesktop(QStringLiteral("Большой"));
        f.restore = Ms(t);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (store.OpenWindows().size() != size_t(kWindows))
            return 1;
        best.Keep(f);
    }

    std::printf("desktop of %d orders windows, %d account ids: text %lld bytes, stored %lld "
                "characters\n",
                kWindows, kAccounts, static_cast<long long>(textBytes),
                static_cast<long long>(storedChars));
    std::printf("build and scramble            %8.1f ms\n", best.build);
    std::printf("registry write alone          %8.1f ms\n", best.registry);
    std::printf("save (build, scramble, write) %8.1f ms   target < 100 ms\n", best.write);
    std::printf("read from the registry        %8.1f ms\n", best.read);
    std::printf("unscramble and parse          %8.1f ms\n", best.parse);
    std::printf("read, unscramble and parse    %8.1f ms   target < 100 ms\n",
                best.read + best.parse);
    std::printf("restore (close 12, open 12)   %8.1f ms\n", best.restore);
    std::printf("the windows' own making       %8.1f ms\n", best.create);
    std::printf("restore beyond the windows    %8.1f ms   target < 200 ms\n",
                best.restore - best.create - best.read - best.parse);
    return 0;
}
