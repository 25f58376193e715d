// The RPS and REPO orders window and the conditional orders window against the real
// session server: each lists from its menu command, withdraws a waiting order, shows
// the server's refusal of a second withdrawal, and opens an order's details.
#include "ListWindowTestSupport.h"
#include "grids/TAdvStringGrid.h"
#include "monitors/OrderDetailsLink.h"
#include "monitors/TFormConditionOrders.h"
#include "monitors/TFormOrderInfo.h"
#include "monitors/TFormOrdersRPS.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

#include <QApplication>

using realserver::WaitUntil;
using namespace listtest;

namespace {

struct Boxes : IMessageBoxService {
    int Show(QWidget*, const QString& text, const QString&, MsgKind, int, bool) override {
        texts << text;
        return MsgYes;
    }
    QStringList texts;
};

// The first data row whose status is one of these, -1 when none.
int RowWithStatus(const TAdvColumnGrid& g, int statusTag, std::initializer_list<int> statuses) {
    for (int r = 0; r < DataRows(g); ++r)
        for (int s : statuses)
            if (Cell(g, statusTag, r) == QString::number(s))
                return r;
    return -1;
}

QString IdOfRow(const TAdvColumnGrid& g, int row) {
    return Cell(g, 0, row);
}

int RowOfId(const TAdvColumnGrid& g, const QString& id) {
    for (int r = 0; r < DataRows(g); ++r)
        if (IdOfRow(g, r) == id)
            return r;
    return -1;
}

TFormOrderInfo* NewestDetails(size_t before) {
    std::vector<TFormOrderInfo*> found;
    for (QWidget* w : QApplication::allWidgets())
        if (auto* d = qobject_cast<TFormOrderInfo*>(w))
            found.push_back(d);
    return found.size() > before ? found.back() : nullptr;
}

size_t DetailsCount() {
    size_t n = 0;
    for (QWidget* w : QApplication::allWidgets())
        n += qobject_cast<TFormOrderInfo*>(w) != nullptr;
    return n;
}

// Withdraws the waiting order of the window's first withdrawable row, waits for the
// reloaded list to show it withdrawn, then asks again and waits for the refusal box.
void WithdrawTwice(TAdvColumnGrid& grid, QMenu& popup, int statusTag,
                   std::initializer_list<int> waiting, Boxes& boxes) {
    const int row = RowWithStatus(grid, statusTag, waiting);
    ASSERT_GE(row, 0);
    const QString id = IdOfRow(grid, row);
    grid.setCurrentIndex(grid.model()->index(row, 1));
    Trigger(popup, "Снять заявку");
    ASSERT_TRUE(WaitUntil(
        [&] {
            const int r = RowOfId(grid, id);
            return r >= 0 && Cell(grid, statusTag, r) == QLatin1String("20");
        },
        30000));
    boxes.texts.clear();
    grid.setCurrentIndex(grid.model()->index(RowOfId(grid, id), 1));
    Trigger(popup, "Снять заявку");
    ASSERT_TRUE(WaitUntil(
        [&] {
            return boxes.texts.size() >= 2 &&
                   boxes.texts.back().contains(QStringLiteral("не может быть снята"));
        },
        30000))
        << boxes.texts.join(u'|').toStdString();
}

} // namespace

using RequestOrdersEndToEnd = realserver::EndToEndTest;

TEST_F(RequestOrdersEndToEnd, ListWithdrawRefuseAndOpenDetails) {
    auto boxes = UseBoxes<Boxes>();
    TFormOrdersRPS::Register();
    TFormConditionOrders::Register();
    TFormOrderInfo::Register();
    {
        TMainForm main;
        ASSERT_TRUE(WaitUntil([&] { return main.WorkStarted(); }, 60000));
        auto* rps = qobject_cast<TFormOrdersRPS*>(main.OpenWindow(WindowCommand::RpsRepoOrders));
        auto* cond =
            qobject_cast<TFormConditionOrders*>(main.OpenWindow(WindowCommand::ConditionalOrders));
        ASSERT_TRUE(rps && cond);
        ASSERT_TRUE(WaitUntil(
            [&] {
                return DataRows(rps->GridOrdersRPS()) > 5 && DataRows(cond->GridCondition()) > 5;
            },
            30000));

        {
            SCOPED_TRACE("RPS and REPO");
            WithdrawTwice(rps->GridOrdersRPS(), *rps->PopupMenu(), TFormOrdersRPS::kStatus,
                          {10, 27, 28}, *boxes);
        }
        {
            SCOPED_TRACE("conditional");
            WithdrawTwice(cond->GridCondition(), *cond->PopupMenu(), TFormConditionOrders::kStatus,
                          {10}, *boxes);
        }
        // A period with a day carries its time of day.
        bool timed = false;
        for (int r = 0; r < DataRows(cond->GridCondition()); ++r)
            timed = timed || Cell(cond->GridCondition(), TFormConditionOrders::kStopText, r)
                                 .contains(QLatin1Char(':'));
        EXPECT_TRUE(timed);

        // Details of an RPS order: the pairs arrive in a window of their own.
        const size_t before = DetailsCount();
        rps->GridOrdersRPS().setCurrentIndex(rps->GridOrdersRPS().model()->index(0, 1));
        Trigger(*rps->PopupMenu(), "Дополнительная информация по заявке");
        TFormOrderInfo* details = NewestDetails(before);
        ASSERT_NE(details, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return details->GridOrdInfo().RowCount() > 10; }, 30000));
        EXPECT_EQ(details->GridOrdInfo().Cell(1, 0), IdOfRow(rps->GridOrdersRPS(), 0));
    }
    IOrderDetailsOpener::SetCurrent(nullptr);
}
