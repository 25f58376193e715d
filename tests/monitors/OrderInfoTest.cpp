// The order details window: its request byte for byte, which numbers open nothing, the
// pairs of the answer, the wrap at the margin, the one re-wrap after a burst of zoom
// steps, and its place beside (and life with) the window it was opened from.
#include "ListWindowTestSupport.h"
#include "grids/TAdvStringGrid.h"
#include "monitors/OrderDetailsLink.h"
#include "monitors/TFormOrderInfo.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>
#include <QWheelEvent>

using namespace listtest;

namespace {

std::vector<TFormOrderInfo*> OpenDetails() {
    std::vector<TFormOrderInfo*> found;
    for (QWidget* w : QApplication::allWidgets())
        if (auto* d = qobject_cast<TFormOrderInfo*>(w))
            found.push_back(d);
    return found;
}

void CloseAll() {
    for (TFormOrderInfo* d : OpenDetails())
        delete d;
}

} // namespace

TEST(OrderInfo, RequestsGoOutInPairFormAndNonNumbersOpenNothing) {
    ScriptedSessionHub hub;
    TFormOrderInfo::Register();
    struct Case {
        const char* number;
        QDate date;
        bool conditional;
        QString params; // empty: nothing opens, nothing is sent
    } cases[] = {
        {"1000017", QDate(2026, 3, 2), false,
         Pieces({"chto=1418", "param0=1000017", "param1=02.03.2026"})},
        {"1000017", QDate(), false, Pieces({"chto=1418", "param0=1000017", "param1=30.12.1899"})},
        {"9000001", QDate(), true, Pieces({"chto=1421", "param0=9000001"})},
        {"", QDate(2026, 3, 2), false, QString()},
        {" 12", QDate(2026, 3, 2), false, QString()},
        {"12a", QDate(2026, 3, 2), false, QString()},
        {"-", QDate(), true, QString()},
        {"1,5", QDate(), true, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const int before = hub.CreatedCount(QStringLiteral("sesOrdInfo"));
        if (c.conditional)
            OpenConditionalOrderDetails(QString::fromUtf8(c.number), nullptr);
        else
            OpenOrderDetails(QString::fromUtf8(c.number), nullptr, c.date);
        if (c.params.isEmpty()) {
            EXPECT_EQ(hub.CreatedCount(QStringLiteral("sesOrdInfo")), before);
            continue;
        }
        ScriptedSession& ses = hub.Get(QStringLiteral("sesOrdInfo"));
        ASSERT_EQ(ses.Sent().size(), 1u);
        EXPECT_FALSE(ses.Last().command);
        EXPECT_EQ(ses.Last().name, QStringLiteral("SpisokIFD"));
        EXPECT_EQ(ses.Last().params, c.params);
    }
    EXPECT_EQ(OpenDetails().size(), 3u); // every opening a window of its own
    CloseAll();
    IOrderDetailsOpener::SetCurrent(nullptr);
}

TEST(OrderInfo, AnswerRowsBecomePairsWithoutCarriageReturns) {
    ScriptedSessionHub hub;
    TFormOrderInfo* w = TFormOrderInfo::OpenOrderDetails(QStringLiteral("5"), nullptr, QDate());
    ASSERT_NE(w, nullptr);
    ScriptedSession& ses = hub.Get(QStringLiteral("sesOrdInfo"));
    ScriptedAnswer answer;
    answer.rows = {QStringLiteral("Номер заявки") + QChar(0) + QStringLiteral("5") + QChar(0),
                   QStringLiteral("Только имя") + QChar(0),
                   QStringLiteral("Ко\rмментарий") + QChar(0) + QStringLiteral("a\rb") + QChar(0)};
    ses.FeedData(answer);
    const TAdvStringGrid& g = w->GridOrdInfo();
    ASSERT_EQ(g.RowCount(), 3);
    EXPECT_EQ(g.Cell(0, 0), QStringLiteral("Номер заявки"));
    EXPECT_EQ(g.Cell(1, 0), QStringLiteral("5"));
    EXPECT_EQ(g.Cell(1, 1), QString()); // one field: an empty value
    EXPECT_EQ(g.Cell(0, 2), QStringLiteral("Комментарий"));
    EXPECT_EQ(g.Cell(1, 2), QStringLiteral("ab"));
    ses.FeedData(ScriptedAnswer()); // an unknown order: no pairs
    EXPECT_EQ(g.RowCount(), 1);
    EXPECT_EQ(g.Cell(0, 0), QString());
    CloseAll();
}

TEST(OrderInfo, WrapKeepsTheMarginOfTwoLettersFree) {
    QFont font = QApplication::font();
    font.setPointSize(9);
    const QFontMetrics m(font);
    const QString text = QStringLiteral("Заявка принята с рабочего места брокера и передана");
    const int margin = 2 * m.horizontalAdvance(QLatin1Char('O'));
    int whole = margin; // the text's width as the sum of its characters' advances
    for (const QChar ch : text)
        whole += m.horizontalAdvance(ch);
    struct Case {
        int width;
        bool oneLine;
    } cases[] = {{whole, true},      {whole + 30, true},  {whole - 1, false},
                 {whole / 2, false}, {margin + 3, false}, {1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const QString wrapped = WrapOrderInfoText(text + QLatin1Char('\r'), m, c.width);
        EXPECT_EQ(!wrapped.contains(QLatin1Char('\r')), c.oneLine);
        EXPECT_EQ(QString(wrapped).remove(QLatin1Char('\r')), text); // nothing lost
        const QStringList lines = wrapped.split(QLatin1Char('\r'));
        for (int i = 0; i + 1 < lines.size(); ++i) {
            // A line ends where its next character would reach into the margin, never
            // earlier, and never inside it (a line of one character excepted).
            int width = 0;
            for (const QChar ch : lines[i])
                width += m.horizontalAdvance(ch);
            if (lines[i].size() > 1) {
                EXPECT_LE(width + margin, c.width) << lines[i].toStdString();
            }
            EXPECT_GT(width + m.horizontalAdvance(lines[i + 1].front()) + margin, c.width);
        }
    }
}

TEST(OrderInfo, ABurstOfZoomStepsGivesOneRewrapAfterTheTimer) {
    ScriptedSessionHub hub;
    TFormOrderInfo* w = TFormOrderInfo::OpenOrderDetails(QStringLiteral("5"), nullptr, QDate());
    ASSERT_NE(w, nullptr);
    w->resize(400, 300);
    ScriptedAnswer answer;
    answer.rows = {QStringLiteral("Комментарий") + QChar(0) + QString(300, QLatin1Char('x')) +
                   QChar(0)};
    hub.Get(QStringLiteral("sesOrdInfo")).FeedData(answer);
    TAdvStringGrid& g = w->GridOrdInfo();
    EXPECT_NEAR(g.ShownWidth(0), g.width() / 2, 2);
    const int lines = int(g.Cell(1, 0).count(QLatin1Char('\r'))) + 1;
    ASSERT_GT(lines, 2);
    const int height = g.RowHeight(0);
    EXPECT_GT(height, lines * QFontMetrics(g.GridFont()).height() / 2);

    EXPECT_FALSE(w->Timer1().isActive());
    const int points = g.GridFont().pointSize();
    for (int i = 0; i < 3; ++i) {
        QWheelEvent wheel(QPointF(10, 10), g.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(g.viewport(), &wheel);
    }
    EXPECT_EQ(g.GridFont().pointSize(), points + 3);
    ASSERT_TRUE(w->Timer1().isActive());
    EXPECT_TRUE(w->Timer1().isSingleShot());
    EXPECT_EQ(w->Timer1().interval(), 500);
    // Nothing is wrapped again until the timer fires.
    EXPECT_EQ(int(g.Cell(1, 0).count(QLatin1Char('\r'))) + 1, lines);
    w->Timer1Timer();
    EXPECT_FALSE(w->Timer1().isActive());
    EXPECT_GT(int(g.Cell(1, 0).count(QLatin1Char('\r'))) + 1, lines);
    EXPECT_GT(g.RowHeight(0), height);
    CloseAll();
}

TEST(OrderInfo, OpensCentredOnItsOwnerInTheFrameAndClosesWithIt) {
    ScriptedSessionHub hub;
    QMdiArea area;
    area.resize(1000, 700);
    area.show();
    auto* owner = new QWidget;
    QMdiSubWindow* ownerFrame = area.addSubWindow(owner);
    ownerFrame->setGeometry(100, 80, 700, 500);
    ownerFrame->show();
    TFormOrderInfo* first = TFormOrderInfo::OpenOrderDetails(QStringLiteral("7"), owner, QDate());
    TFormOrderInfo* second = TFormOrderInfo::OpenOrderDetails(QStringLiteral("7"), owner, QDate());
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    auto* frame = qobject_cast<QMdiSubWindow*>(first->parentWidget());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->mdiArea(), &area);
    EXPECT_LE((frame->geometry().center() - ownerFrame->geometry().center()).manhattanLength(), 2);
    QPointer<QMdiSubWindow> guard(frame);
    delete ownerFrame; // the owner goes, and its details with it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_TRUE(OpenDetails().empty());
}
