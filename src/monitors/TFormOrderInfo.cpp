#include "monitors/TFormOrderInfo.h"
#include "grids/TAdvStringGrid.h"
#include "monitors/OrderDetailsLink.h"
#include "session/TBrokerSession.h"
#include "session/wire/Cp1251.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/DateValue.h"
#include "shell/base/ErrorGuard.h"

#include <QFontMetrics>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QResizeEvent>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

constexpr int kRewrapDelayMs = 500;
// An opening of an order whose date is unknown sends the day number 0.
const QString kNoDate = QStringLiteral("30.12.1899");

QString Pair(QLatin1StringView key, const QString& value) {
    return key + QLatin1Char('=') + value + QChar(0);
}

// The opener the order lists reach through the slot of OrderDetailsLink.h.
class TOrderInfoOpener final : public IOrderDetailsOpener {
public:
    void OpenOrderDetails(const QString& orderNumber, QWidget* owner, const QDate& date) override {
        TFormOrderInfo::OpenOrderDetails(orderNumber, owner, date);
    }
    void OpenConditionalOrderDetails(const QString& orderNumber, QWidget* owner) override {
        TFormOrderInfo::OpenConditionalOrderDetails(orderNumber, owner);
    }
};

// The sub-window frame a widget sits in, if any.
QMdiSubWindow* FrameOf(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (auto* frame = qobject_cast<QMdiSubWindow*>(w))
            return frame;
    return nullptr;
}

} // namespace

QString WrapOrderInfoText(const QString& text, const QFontMetrics& metrics, int columnWidth) {
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    // Advances of the Latin and Cyrillic letters are asked of the font once per cell:
    // asking per character costs more than the whole wrap.
    std::array<int, 0x500> known;
    known.fill(-1);
    const auto advance = [&](QChar c) {
        if (c.unicode() >= known.size())
            return metrics.horizontalAdvance(c);
        int& a = known[c.unicode()];
        if (a < 0)
            a = metrics.horizontalAdvance(c);
        return a;
    };
    const int margin = 2 * advance(QLatin1Char('O'));
    // Widths are sums of character advances, the measure the cutting below uses, so a
    // text that does not fit is always cut.
    int textWidth = 0;
    for (const QChar c : plain)
        textWidth += advance(c);
    if (columnWidth >= textWidth + margin)
        return plain;
    QString wrapped;
    wrapped.reserve(plain.size() + plain.size() / 8);
    int lineWidth = 0;
    bool lineEmpty = true;
    for (const QChar c : plain) {
        // A character that would reach into the margin begins a new line; a line always
        // takes at least one character, so a column narrower than the margin still shows
        // the text, one character a line.
        const int width = advance(c);
        if (!lineEmpty && lineWidth + width + margin > columnWidth) {
            wrapped += QLatin1Char('\r');
            lineWidth = 0;
            lineEmpty = true;
        }
        wrapped += c;
        lineWidth += width;
        lineEmpty = false;
    }
    return wrapped;
}

TFormOrderInfo::TFormOrderInfo(QWidget* parent) : TChildWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Дополнительная информация по заявке"));
    resize(460, 380);
    session_ = std::make_unique<TBrokerSession>(QStringLiteral("sesOrdInfo"), true);
    session_->OnData = [this](TBrokerSession*) { sesOrdInfoData(); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    grid_ = new TAdvStringGrid(this);
    grid_->setObjectName(QStringLiteral("GridOrdInfo"));
    layout->addWidget(grid_);
    grid_->SetFixedRows(0);
    grid_->SetFixedCols(0);
    grid_->AddColumn();
    grid_->AddColumn();
    grid_->SetHeaderSortable(false); // the pairs keep the server's order
    popup_ = new QMenu(this);
    grid_->SetPopupMenu(popup_);
    grid_->Loaded();
    grid_->SetRowMoving(false);
    grid_->ColumnsChanged();
    grid_->SetRowCount(1);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A long value may make a row taller than the list: scroll by pixels to reach its end.
    grid_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(kRewrapDelayMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        GuardStep(QStringLiteral("FormOrderInfo.Timer1Timer"), [&] { Timer1Timer(); });
    });
    // A burst of wheel steps gives one re-wrap, half a second after the last.
    connect(grid_, &TAdvStringGrid::FontZoomed, timer_, qOverload<>(&QTimer::start));
}

TFormOrderInfo::~TFormOrderInfo() {
    session_->OnData = nullptr;
    session_.reset();
}

bool TFormOrderInfo::IsOrderNumber(const QString& text) {
    const qsizetype start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (text.size() <= start || text.size() - start > 18)
        return false;
    for (qsizetype i = start; i < text.size(); ++i)
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return false;
    return true;
}

TFormOrderInfo* TFormOrderInfo::OpenOrderDetails(const QString& orderNumber, QWidget* owner,
                                                 const QDate& date) {
    const QString day = date.isValid() ? FormatDottedDate(DateToValue(date)) : kNoDate;
    return Open(orderNumber, owner, vocab::list::kOrderDetails, day);
}

TFormOrderInfo* TFormOrderInfo::OpenConditionalOrderDetails(const QString& orderNumber,
                                                            QWidget* owner) {
    return Open(orderNumber, owner, vocab::list::kConditionalOrderDetails, QString());
}

TFormOrderInfo* TFormOrderInfo::Open(const QString& orderNumber, QWidget* owner, int query,
                                     const QString& dateParam) {
    if (!IsOrderNumber(orderNumber))
        return nullptr;
    auto* window = new TFormOrderInfo();
    window->PlaceBeside(owner);
    QString params =
        Pair(vocab::key::kQuery, QString::number(query)) + Pair(vocab::key::kParam0, orderNumber);
    if (query == vocab::list::kOrderDetails)
        params += Pair(QLatin1StringView("param1"), dateParam);
    const QPointer<TFormOrderInfo> alive(window);
    GuardStep(QStringLiteral("FormOrderInfo.SendRequest"),
              [&] { window->sesOrdInfo().SendRequest(vocab::request::kOrderDetails, params); });
    return alive.data();
}

void TFormOrderInfo::PlaceBeside(QWidget* owner) {
    // The window takes over its owner's kind: a child of the main frame beside a child
    // window, a window of its own otherwise. It goes with its owner, but is never
    // parented into it (that would embed it in the owner's layout).
    QMdiSubWindow* ownerFrame = FrameOf(owner);
    QMdiArea* area = ownerFrame ? ownerFrame->mdiArea() : nullptr;
    QWidget* outer = this;
    QRect around = owner ? QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size()) : QRect();
    if (area) {
        QMdiSubWindow* frame = area->addSubWindow(this);
        frame->setAttribute(Qt::WA_DeleteOnClose);
        outer = frame;
        around = ownerFrame->geometry();
        frame->resize(
            frame->sizeHint().expandedTo(QSize(480, 400)).boundedTo(area->viewport()->size()));
    }
    if (owner)
        connect(owner, &QObject::destroyed, outer, &QObject::deleteLater);
    if (around.isValid()) {
        QRect placed = outer->frameGeometry();
        placed.moveCenter(around.center());
        if (area) {
            placed.moveLeft(std::max(0, placed.left()));
            placed.moveTop(std::max(0, placed.top()));
        }
        outer->move(placed.topLeft());
    }
    show();
    outer->show();
}

void TFormOrderInfo::sesOrdInfoData() {
    const int rows = std::max(0, session_->GetRowCount());
    grid_->BeginUpdate();
    grid_->SetRowCount(std::max(1, rows));
    if (rows == 0) {
        grid_->SetCell(0, 0, QString());
        grid_->SetCell(1, 0, QString());
    }
    for (int i = 0; i < rows; ++i) {
        // Read by position and not escape-decoded; a row with one field has an empty value.
        grid_->SetCell(0, i, Cp1251::Decode(session_->GetField(i, 0)));
        grid_->SetCell(1, i, Cp1251::Decode(session_->GetField(i, 1)));
    }
    grid_->EndUpdate();
    LayoutCells();
}

void TFormOrderInfo::LayoutCells() {
    // The value column takes the rest, with room kept for the vertical scroll bar that
    // long lists bring, so the list never scrolls sideways.
    const int room = grid_->width() - 2 * grid_->frameWidth() -
                     grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid_);
    const int nameWidth = grid_->width() / 2;
    const double scale = grid_->WidthScale() > 0 ? grid_->WidthScale() : 1.0;
    // Column widths are kept in design pixels; the view shows them scaled.
    grid_->Column(0)->Width = int(nameWidth / scale);
    grid_->Column(1)->Width = int(std::max(20, room - grid_->ShownWidth(0)) / scale);
    grid_->ColumnsChanged();
    const QFontMetrics metrics(grid_->GridFont());
    const int halfO = metrics.boundingRect(QLatin1Char('O')).height() / 2;
    const int widths[2] = {grid_->ShownWidth(0), grid_->ShownWidth(1)};
    grid_->BeginUpdate();
    std::vector<int> heights(size_t(grid_->RowCount()), 1);
    for (int row = 0; row < grid_->RowCount(); ++row) {
        int lines = 1;
        for (int col = 0; col < 2; ++col) {
            const QString wrapped = WrapOrderInfoText(grid_->Cell(col, row), metrics, widths[col]);
            if (wrapped != grid_->Cell(col, row))
                grid_->SetCell(col, row, wrapped);
            lines = std::max(lines, int(wrapped.count(QLatin1Char('\r'))) + 1);
        }
        heights[size_t(row)] = lines * metrics.lineSpacing() + halfO;
    }
    grid_->EndUpdate();
    for (int row = 0; row < grid_->RowCount(); ++row)
        grid_->SetRowHeight(row, heights[size_t(row)]);
}

void TFormOrderInfo::Timer1Timer() {
    timer_->stop();
    LayoutCells();
}

void TFormOrderInfo::resizeEvent(QResizeEvent* event) {
    TChildWindow::resizeEvent(event);
    GuardStep(QStringLiteral("FormOrderInfo.FormResize"), [&] { LayoutCells(); });
}

void TFormOrderInfo::Register() {
    static TOrderInfoOpener opener;
    IOrderDetailsOpener::SetCurrent(&opener);
}
