// Timed figures of the orders window with 100,000 orders, fed through the scripted
// session: from the answer's arrival to a sorted grid, and a keyed merge of 10 keys.
// Prints one line per figure.
#include "controls/RowStore.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/TOrderForm.h"
#include "session/TMetadataParser.h"
#include "shell/base/Log.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

AnswerBuilder OrderFields() {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.211"));
    for (const char* text : {"ORDER_NUM", "ORDER_TIME", "NAME_BUM", "BUY_SELL", "ORDER_TYPE_NAME",
                             "NAME_CLI", "NAME_ACC", "ORDER_GROUP", "KEY_FIELD"})
        b.Text(QString::fromLatin1(text));
    for (const char* number : {"ORDER_PRICE", "ORDER_VOL", "ORDER_NKD", "ORDER_YIELD"})
        b.Float(QString::fromLatin1(number));
    for (const char* integer : {"COUNT_IN_LOT_FIRST", "COUNT_IN_LOT", "ID_ACC", "ID_CLI", "ID_BUM",
                                "ORDER_STATUS", "ORDER_TYPE"})
        b.Int(QString::fromLatin1(integer));
    return b;
}

void AddOrder(AnswerBuilder& b, int i, int statusShift = 0) {
    const int status = (i + statusShift) % 3 == 0 ? 11 : ((i + statusShift) % 3 == 1 ? 10 : 21);
    b.Row({QString::number(1000000 + i),
           QStringLiteral("10:%1:%2")
               .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
               .arg(i % 60, 2, 10, QLatin1Char('0')),
           QStringLiteral("БУМАГА%1").arg(i % 5000),
           i % 2 ? QStringLiteral("B") : QStringLiteral("S"),
           QStringLiteral("Лимитная"),
           QStringLiteral("Клиент %1").arg(i % 20000),
           QStringLiteral("Счет %1").arg(i % 50000),
           QString(),
           QString::number(1000000 + i),
           100.25 + i % 1000,
           10000.5 + i,
           0.0,
           0.0,
           10 + i % 90,
           5 + i % 40,
           i % 50000,
           i % 20000,
           i % 5000,
           status,
           1});
}

double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SetLogFileName(dir.filePath("bench.log"));
    TReferenceData refs;
    refs.OrderStatuses.Add(QStringLiteral("Активна"), 10);
    refs.OrderStatuses.Add(QStringLiteral("Исполнена"), 11);
    refs.OrderStatuses.Add(QStringLiteral("Снята"), 21);
    TReferenceData::SetCurrent(&refs);

    const int rows = 100000;
    AnswerBuilder full = OrderFields();
    for (int i = 0; i < rows; ++i)
        AddOrder(full, i);
    const ScriptedAnswer answer = full.Build();

    ScriptedSessionHub hub;
    TOrderForm form;
    form.resize(900, 600);
    form.show();
    ScriptedSession& ses = hub.Get(QStringLiteral("SesOrd"));
    TAdvColumnGrid& grid = form.GridOrd();

    double bestLoad = 1e18;
    for (int run = 0; run < 3; ++run) {
        // Sorted descending by price, as a dealer might leave it.
        grid.SortByColumn(gridcols::RealByTag(grid, TOrderForm::kPrice), false);
        form.RefreshList();
        ScriptedAnswer a = answer;
        a.requestParams = ses.Last().Params();
        QElapsedTimer t;
        t.start();
        ses.FeedData(a);
        bestLoad = std::min(bestLoad, Ms(t));
        QApplication::processEvents();
    }
    // Where the time of a full load goes, along the window's own path: each column's
    // field found once, the texts read by field, the rows stored in one batch, one
    // sort; what is left of the best load is the row fix-up and the fill's own work.
    {
        ScriptedAnswer a = answer;
        ses.SetAnswer(a);
        TMetadataParser& parser = form.Parser();
        QElapsedTimer t;
        t.start();
        parser.ParseMetadata();
        std::vector<const TResponseDataField*> fields;
        for (int c = 0; c < grid.AllColCount(); ++c)
            fields.push_back(
                grid.Column(c)->Name.isEmpty() ? nullptr : parser.FindField(grid.Column(c)->Name));
        // Row by row as the fill goes, each row read and then stored, so the reading
        // is measured with the memory traffic the window sees.
        double read = Ms(t);
        double store = 0;
        grid.BeginUpdate();
        t.restart();
        grid.SetRowCount(1);
        grid.SetRowCount(1 + rows);
        store += Ms(t);
        QElapsedTimer part;
        TRowFields row;
        for (int i = 0; i < rows; ++i) {
            part.start();
            // The texts go from the answer's bytes to the grid's as UTF-8, as in the fill.
            row.Clear();
            for (const TResponseDataField* field : fields) {
                if (field)
                    parser.AppendTextUtf8(*field, i, row.Bytes());
                row.EndCell();
            }
            read += Ms(part);
            part.start();
            const std::vector<QByteArrayView>& cells = row.Views();
            grid.SetRowUtf8(1 + i, cells.data(), static_cast<int>(cells.size()));
            store += Ms(part);
        }
        t.restart();
        grid.EndUpdate();
        store += Ms(t);
        t.restart();
        grid.Resort();
        const double sort = Ms(t);
        std::printf("  of which: reading the answer %.1f ms, storing rows %.1f ms, sorting %.1f "
                    "ms, row fix-up and the rest %.1f ms\n",
                    read, store, sort, bestLoad - read - store - sort);
    }
    std::printf("full load of %d orders into a sorted grid   %9.1f ms   (target 500 ms)\n",
                grid.RowCount() - 1, bestLoad);
    std::printf("grid memory                                    %9.0f bytes per row (target 512)\n",
                double(grid.Store().MemoryBytes()) / rows);

    // Ten changed orders: eight change status in place, one is new, one is gone.
    QStringList keys;
    AnswerBuilder merge = OrderFields();
    for (int k = 0; k < 8; ++k) {
        const int i = 1000 + k * 9000;
        keys.append(QString::number(1000000 + i));
        AddOrder(merge, i, 1);
    }
    AddOrder(merge, rows + 1);
    keys.append(QString::number(1000000 + rows + 1));
    keys.append(QString::number(1000000 + 77));
    const ScriptedAnswer keyed = merge.Build();
    double bestMerge = 1e18;
    for (int run = 0; run < 5; ++run) {
        form.RefreshByKeys(keys);
        ScriptedAnswer a = keyed;
        a.requestParams = ses.Last().Params();
        QElapsedTimer t;
        t.start();
        ses.FeedData(a);
        bestMerge = std::min(bestMerge, Ms(t));
    }
    {
        const int keyCol = gridcols::RealByName(grid, QStringLiteral("KEY_FIELD"));
        QElapsedTimer t;
        t.start();
        int found = 0;
        for (int r = 1; r < grid.RowCount(); ++r)
            found += grid.Cell(keyCol, r).size() == 3;
        std::printf("  of which: reading the key column of every row %.2f ms\n", Ms(t) + found * 0);
    }
    std::printf("keyed merge of 10 keys into %d rows           %9.2f ms   (target 5 ms)\n",
                grid.RowCount() - 1, bestMerge);

    // The same merge when a changed order moves in the sort order.
    grid.SortByColumn(gridcols::RealByTag(grid, TOrderForm::kStatusName), true);
    double bestMove = 1e18;
    for (int run = 0; run < 3; ++run) {
        form.RefreshByKeys(keys);
        ScriptedAnswer a = keyed;
        a.requestParams = ses.Last().Params();
        QElapsedTimer t;
        t.start();
        ses.FeedData(a);
        bestMove = std::min(bestMove, Ms(t));
    }
    std::printf("keyed merge that moves rows in the sort order  %9.2f ms\n", bestMove);
    TReferenceData::SetCurrent(nullptr);
    SetLogFileName(QString());
    return 0;
}
