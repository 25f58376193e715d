#include "monitors/ArchiveFrame.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/DateValue.h"
#include "shell/base/ErrorGuard.h"

#include <QApplication>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

using namespace monitorkit;

namespace {

QDateEdit* MakePicker(QWidget* parent, const char* name) {
    auto* picker = new QDateEdit(QDate::currentDate(), parent);
    picker->setObjectName(QString::fromLatin1(name));
    picker->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    picker->setCalendarPopup(true);
    return picker;
}

QToolButton* MakeButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon,
                        const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    return button;
}

} // namespace

TArchiveWindow::TArchiveWindow(const Frame& frame, QWidget* parent)
    : TChildWindow(parent), frame_(frame), queryText_(QString::number(frame.query)),
      session_(
          QString::fromLatin1(frame.session), true, [this] { Button1Click(); },
          [this] { SesData(); }, [this] { SesDisconnect(); }) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(frame.caption).trimmed());
    resize(640, 400);
    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("Panel1"));
    panelLayout_ = new QHBoxLayout(panel_);
    panelLayout_->setContentsMargins(4, 2, 4, 2);
    panelLayout_->addWidget(new QLabel(QStringLiteral("с"), panel_));
    dtpBegin_ = MakePicker(panel_, "DTPbegin");
    panelLayout_->addWidget(dtpBegin_);
    if (frame.range) {
        panelLayout_->addWidget(new QLabel(QStringLiteral("по"), panel_));
        dtpEnd_ = MakePicker(panel_, "DTPend");
        panelLayout_->addWidget(dtpEnd_);
    }
    button1_ = MakeButton(panel_, "Button1", QStyle::SP_BrowserReload,
                          QStringLiteral("Получить данные с сервера"));
    btnFilter_ = MakeButton(panel_, "BtnFilter", QStyle::SP_FileDialogContentsView,
                            QStringLiteral("Фильтр"));
    panelLayout_->addWidget(button1_);
    panelLayout_->addWidget(btnFilter_);
    const ListFrame body = BuildListBody(*this, panel_, {});
    layout_ = body.layout;
    grid_ = body.grid;
    popup_ = body.popup;
    QAction* filter = AddAction(*this, *popup_, QStringLiteral("Фильтр"), QKeySequence(Qt::Key_F9),
                                StepName("menuFilterClick"), [this] { menuFilterClick(); });
    connect(button1_, &QToolButton::clicked, this,
            [this] { GuardStep(StepName("Button1Click"), [this] { Button1Click(); }); });
    connect(btnFilter_, &QToolButton::clicked, filter, &QAction::trigger);
}

void TArchiveWindow::Start() {
    panelLayout_->addStretch(1);
    BuildGrid(*grid_, frame_.columns, frame_.hidden, popup_);
    resize(std::max(width(), std::min(grid_->FullWidth(), 1000)), height());
    GuardStep(StepName("FormCreate"), [&] { Session().Login(); });
}

TArchiveWindow::~TArchiveWindow() {
    // A window closed while waiting must not leave the application's cursor busy.
    EndBusy();
}

QString TArchiveWindow::StepName(const char* handler) const {
    return QString::fromLatin1(frame_.step) + QLatin1Char('.') + QLatin1String(handler);
}

// ---- published properties ---------------------------------------------------------

QString TArchiveWindow::FormSettings() const {
    return GridSettingsText(*grid_);
}

void TArchiveWindow::SetFormSettings(const QString& settings) {
    LoadGridSettings(*grid_, settings, StepName("FormSettings"));
}

// ---- dates and the busy state -------------------------------------------------------

void TArchiveWindow::SetDates(const QDate& from, const QDate& to) {
    dtpBegin_->setDate(from);
    if (dtpEnd_)
        dtpEnd_->setDate(to);
}

QString TArchiveWindow::FromDate() const {
    return FormatDottedDate(DateToValue(dtpBegin_->date()));
}

QString TArchiveWindow::ToDate() const {
    return FormatDottedDate(DateToValue((dtpEnd_ ? dtpEnd_ : dtpBegin_)->date()));
}

void TArchiveWindow::BeginBusy() {
    if (busy_)
        return;
    busy_ = true;
    if (frame_.busy == BusyScope::Application) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        grid_->setCursor(Qt::BusyCursor);
        panel_->setCursor(Qt::BusyCursor);
        btnFilter_->setEnabled(false);
    }
    button1_->setEnabled(false);
}

void TArchiveWindow::EndBusy() {
    if (!busy_)
        return;
    busy_ = false;
    if (frame_.busy == BusyScope::Application) {
        QApplication::restoreOverrideCursor();
    } else {
        grid_->unsetCursor();
        panel_->unsetCursor();
        btnFilter_->setEnabled(true);
    }
    button1_->setEnabled(true);
}

// ---- requests and answers -----------------------------------------------------------

void TArchiveWindow::Button1Click() {
    BeforeSend();
    BeginBusy();
    // A send that fails ends the busy state at once: no answer will come.
    struct EndUnlessSent {
        TArchiveWindow* window;
        bool sent = false;
        ~EndUnlessSent() {
            if (!sent)
                window->EndBusy();
        }
    } guard{this};
    const QString params = RequestParams();
    if (UsesParser())
        Parser().SendList(vocab::request::kList, queryText_, params);
    else
        Session().SendRequest(vocab::request::kList, params);
    guard.sent = true;
}

void TArchiveWindow::SesData() {
    struct EndAtExit {
        TArchiveWindow* window;
        ~EndAtExit() { window->EndBusy(); }
    } endAtExit{this};
    Load();
}

void TArchiveWindow::menuFilterClick() {
    TFormFiltr& dialog = TFormFiltr::Instance();
    if (dialog.ShowFilter(frame_.filterMask) != TFormFiltr::mrOk)
        return;
    QString caption = QString::fromUtf8(frame_.caption);
    sqlFilter_ = AskFilter(dialog, caption);
    setWindowTitle(caption);
    Button1Click();
}

QString TArchiveWindow::Cell(int tag, int row) const {
    return gridcols::TextByTag(*grid_, tag, row);
}

int TArchiveWindow::CurrentDataRow() const {
    const int row = gridcols::CurrentRow(*grid_);
    return gridcols::IsDataRow(*grid_, row) ? row : -1;
}

namespace archivekit {

void FitFirstColumn(TAdvColumnGrid& grid) {
    if (grid.ColCount() == 0)
        return;
    const int real = grid.RealColIndex(0);
    const QFontMetrics metrics(grid.font());
    int widest = metrics.horizontalAdvance(grid.Cell(real, 0));
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row)
        widest = std::max(widest, metrics.horizontalAdvance(grid.Cell(real, row)));
    const double scale = grid.WidthScale() > 0 ? grid.WidthScale() : 1.0;
    grid.SetColumnWidth(real, int(std::ceil((widest + 8) / scale)));
}

} // namespace archivekit
