// Timed figures of margin control at the "large" scale. Prints one line per figure:
//   the server's answer to 650 over 5,000 margin clients with 20 rules each (the store
//   given as the first argument, made by the demo generator when it does not exist yet);
//   the monitor's handling of that answer, the copy dialog's first build against
//   20,000 clients included;
//   the add dialog's tree of 100,000 securities: building it, checking its top node,
//   inverting the marks.
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "margin/MarginSecurityTree.h"
#include "margin/TFormMarginCopyRule.h"
#include "margin/TFormMargo.h"
#include "server/core/DemoData.h"
#include "server/core/Engine.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "shell/base/Log.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

void Figure(const char* what, double value, const char* unit) {
    std::printf("%-62s %10.1f %s\n", what, value, unit);
    std::fflush(stdout);
}

void FillReferences(TReferenceData& refs) {
    for (int t = 1; t <= 4; ++t) {
        auto ts = std::make_unique<TTSObj>();
        ts->Id = t;
        ts->Name = QStringLiteral("Площадка %1").arg(t);
        refs.AddTradingSystem(std::move(ts));
        for (int b = 0; b < 8; ++b) {
            auto board = std::make_unique<TBoardObj>();
            board->Id = t * 100 + b;
            board->BoardCode = QStringLiteral("B%1_%2").arg(t).arg(b);
            board->Name = QStringLiteral("Секция %1.%2").arg(t).arg(b);
            board->TradingSystemId = t;
            refs.Boards.Append(std::move(board));
        }
    }
    for (int i = 1; i <= 100000; ++i) {
        auto bum = std::make_unique<TBumObj>();
        bum->Id = i;
        bum->Name = QStringLiteral("БУМАГА%1").arg(i);
        bum->ShortName = bum->Name;
        const int t = 1 + i % 4;
        bum->BoardCode = QStringLiteral("B%1_%2").arg(t).arg((i / 4) % 8);
        refs.Securities.Append(std::move(bum));
    }
    for (int i = 1; i <= 20000; ++i) {
        auto cli = std::make_unique<TCliObj>();
        cli->Id = i;
        cli->Name = QStringLiteral("Клиент %1").arg(i);
        refs.Clients.Append(std::move(cli));
    }
    refs.ClientKey = QStringLiteral("1");
}

// The 650 answer of the store, its rows as the server wrote them.
EngineResult ServerList(Engine& engine, SessionState& session) {
    return engine.Handle(session, QStringLiteral("SpisokBB"), QStringLiteral("chto=650") + QChar(0),
                         false);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SetLogFileName(dir.filePath(QStringLiteral("bench.log")));
    ServerLog::SetQuiet(true);

    // The server.
    Store store;
    QString error;
    const QString path =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("large.sqlite"));
    const bool fresh = !QFileInfo::exists(path) || QFileInfo(path).size() == 0;
    if (!store.Open(path, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    if (fresh) {
        QElapsedTimer gen;
        gen.start();
        if (!DemoGenerator(store, DemoScale::Large(), 1, QDate::currentDate()).Generate(&error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        Figure("large demo store generated", gen.elapsed() / 1000.0, "s");
    }
    Engine engine(store);
    SessionState session;
    EngineResult answer = ServerList(engine, session);
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        answer = ServerList(engine, session);
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    Figure("server: 650 over the margin clients (best of 5)", best, "ms");
    Figure("server: margin clients in the answer", double(answer.answer.rows.size()), "rows");

    // The monitor, fed the server's rows through the scripted session.
    TReferenceData refs;
    FillReferences(refs);
    TReferenceData::SetCurrent(&refs);
    ScriptedSessionHub hub;
    TFormMarginCopyRule copy;
    TFormMargo monitor;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesMrg"));
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.650"));
    for (const FieldSpec& f : Engine::MarginClientsLayout().Fields())
        b.Field(f.name, f.dataType);
    for (const QString& row : answer.answer.rows)
        b.RawRow(row);
    const ScriptedAnswer scripted = b.Build();
    ses.SetAnswer(scripted);
    QElapsedTimer t;
    t.start();
    monitor.SesMrgData(); // the first answer also builds the copy dialog's trees
    Figure("monitor: first answer handled, copy dialog built", t.nsecsElapsed() / 1e6, "ms");
    t.restart();
    monitor.SesMrgData();
    Figure("monitor: a later answer handled", t.nsecsElapsed() / 1e6, "ms");
    Figure("monitor: breaches listed", monitor.CriticalCount() + monitor.StartCount(), "rows");

    // Its parts: the grid fill alone, and the event box.
    {
        TBrokerSession probe(QStringLiteral("Probe"), true);
        TMetadataParser parser(&probe);
        hub.Get(QStringLiteral("Probe")).SetAnswer(scripted);
        TAdvColumnGrid grid;
        grid.SetFixedRows(1);
        for (const FieldSpec& f : Engine::MarginClientsLayout().Fields())
            grid.AddColumn()->Name = f.name;
        grid.Loaded();
        t.restart();
        LoadGridFromResponse(parser, grid, AfterRowTexts());
        Figure("monitor part: grid fill alone", t.nsecsElapsed() / 1e6, "ms");
        QComboBox box;
        t.restart();
        for (int i = 0; i < monitor.CriticalCount() + monitor.StartCount(); ++i)
            box.addItem(QStringLiteral("12:00 Превышен начальный уровень Клиент"), i);
        Figure("monitor part: event box filled", t.nsecsElapsed() / 1e6, "ms");
    }

    // The add dialog's tree.
    TMarginSecurityTree tree;
    t.restart();
    tree.Fill(refs, true);
    Figure("add tree: built from 100,000 securities", t.nsecsElapsed() / 1e6, "ms");
    t.restart();
    tree.Tree.SetMark(tree.AllNode(), CheckMark::Checked);
    Figure("add tree: top node checked", t.nsecsElapsed() / 1e6, "ms");
    t.restart();
    tree.Invert();
    Figure("add tree: marks inverted", t.nsecsElapsed() / 1e6, "ms");
    TReferenceData::SetCurrent(nullptr);
    return 0;
}
