#include "monitors/TFormOstatkiTn.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/MonitorWindowKit.h"
#include "monitors/TFormPrf.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/DateValue.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/NumberText.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QDateEdit>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

using namespace monitorkit;

namespace {

using T = TFormOstatkiTn;

const Column kColumns[] = {
    {"dtorg", "Дата", 50, false, "", TSortStyle::Automatic},
    {"instr", "Инструмент", 100, false, "", TSortStyle::Automatic},
    {"name_cli", "Клиент", 70, false, "", TSortStyle::Automatic},
    {"aname", "Счет", 62, false, "", TSortStyle::Automatic},
    {"limit", "Входящий", 70, true, "", TSortStyle::Financial},
    {"curr", "Текущий", 68, true, "", TSortStyle::Financial},
    {"delivery", "Поставка", 100, true, "", TSortStyle::Financial},
    {"plann", "Плановый", 100, true, "", TSortStyle::Financial},
};

const HiddenColumn kHidden[] = {
    {T::kIdAcc, "ID_ACC"}, {T::kIdCli, "ID_CLI"}, {T::kIdBum, "ID_BUM"}};

const QString kBalancesQuery = QString::number(vocab::list::kTPlusBalances);

QString DottedDate(const QDateEdit& edit) {
    return FormatDottedDate(DateToValue(edit.date()));
}

QDateEdit* MakeDatePicker(QWidget* parent, const char* name) {
    auto* edit = new QDateEdit(QDate::currentDate(), parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    edit->setCalendarPopup(true);
    return edit;
}

} // namespace

TFormOstatkiTn::TFormOstatkiTn(QWidget* parent)
    : TChildWindow(parent), sesAPrf_(
                                QStringLiteral("SesAPrf"), true, [this] { SesAPrfLogin(); },
                                [this] { SesAPrfData(); }, [this] { SesAPrfDisconnect(); }) {
    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("Panel1"));
    auto* row = new QHBoxLayout(panel_);
    row->setContentsMargins(4, 2, 4, 2);
    dateFrom_ = MakeDatePicker(panel_, "DTPbegin");
    dateTo_ = MakeDatePicker(panel_, "DTPend");
    const auto button = [this](const char* name, QStyle::StandardPixmap icon, const QString& hint) {
        auto* b = new QToolButton(panel_);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(hint);
        b->setAutoRaise(true);
        return b;
    };
    fetch_ =
        button("Button1", QStyle::SP_BrowserReload, QStringLiteral("Получить данные с сервера"));
    filterButton_ =
        button("BtnFilter", QStyle::SP_FileDialogContentsView, QStringLiteral("Фильтр"));
    row->addWidget(new QLabel(QStringLiteral("с"), panel_));
    row->addWidget(dateFrom_);
    row->addWidget(new QLabel(QStringLiteral("по"), panel_));
    row->addWidget(dateTo_);
    row->addWidget(fetch_);
    row->addWidget(filterButton_);
    row->addStretch(1);
    const ListFrame frame = BuildListWindow(
        *this, {QStringLiteral("Остатки и план поставок Т+"), 640, kColumns, kHidden, panel_},
        {{"Фильтр", Qt::Key_F9, "FormOstatkiTn.menuFilterClick", [this] { menuFilterClick(); }}});
    grid_ = frame.grid;
    popup_ = frame.popup;
    // The key and the item wait with the button while a request is outstanding.
    connect(filterButton_, &QToolButton::clicked, frame.items[0], &QAction::trigger);
    connect(fetch_, &QToolButton::clicked, this, [this] {
        GuardStep(QStringLiteral("FormOstatkiTn.Button1Click"), [&] { Button1Click(); });
    });
    // The session logs in by itself; its login event sends the first request.
    GuardStep(QStringLiteral("FormOstatkiTn.FormCreate"), [&] { sesAPrf_.Session().Login(); });
}

QString TFormOstatkiTn::FormSettings() const {
    return GridSettingsText(*grid_);
}

void TFormOstatkiTn::SetFormSettings(const QString& settings) {
    LoadGridSettings(*grid_, settings, QStringLiteral("FormOstatkiTn.FormSettings"));
}

// ---- requests and answers -----------------------------------------------------------

void TFormOstatkiTn::SetBusy(bool busy) {
    busy_ = busy;
    for (QWidget* w : {static_cast<QWidget*>(grid_), panel_}) {
        if (busy)
            w->setCursor(Qt::BusyCursor);
        else
            w->unsetCursor();
    }
    fetch_->setEnabled(!busy);
    filterButton_->setEnabled(!busy);
}

void TFormOstatkiTn::SendRequest() {
    using namespace vocab::key;
    const QString from = DottedDate(*dateFrom_);
    WriteLog(QStringLiteral("chto=310 fltr=") + sqlFilter_ + QStringLiteral(" param0=") + from);
    SetBusy(true);
    // A request that cannot go out gets no answer: the buttons come back at once.
    struct NotSent {
        TFormOstatkiTn* form;
        bool sent = false;
        ~NotSent() {
            if (!sent)
                form->SetBusy(false);
        }
    } guard{this};
    sesAPrf_.Parser().SendList(vocab::request::kList, kBalancesQuery,
                               KeyValue(kQuery, kBalancesQuery) + KeyValue(kFilter, sqlFilter_) +
                                   KeyValue(kParam0, from) +
                                   KeyValue(QLatin1StringView("param1"), DottedDate(*dateTo_)));
    guard.sent = true;
}

void TFormOstatkiTn::SesAPrfData() {
    WriteLog(QStringLiteral("SesAPrfData start"));
    {
        // Whatever happens in the load, the buttons come back.
        struct BusyEnds {
            TFormOstatkiTn* form;
            ~BusyEnds() { form->SetBusy(false); }
        } busyEnds{this};
        RowTexts cells(
            *grid_, {kIdAcc, kNameAcc, kIdCli, kNameCli, kIdBum, kLimit, kCurr, kDelivery, kPlann});
        const AfterRowTexts hook = [&](int, int, QStringList& texts) {
            cells.Attach(texts);
            ShowAccountName(cells, kIdAcc, kNameAcc);
            ShowClientName(cells, kIdCli, kNameCli);
            // Money in two decimals, securities in whole units.
            FormatBalances(cells, kIdBum, {kLimit, kCurr, kDelivery, kPlann});
        };
        LoadGridFromResponse(sesAPrf_.Parser(), *grid_, hook);
        SizeFirstColumn();
    }
    WriteLog(QStringLiteral("SesAPrfData end"));
}

void TFormOstatkiTn::SizeFirstColumn() {
    const int real = grid_->RealColIndex(0);
    if (real < 0)
        return;
    const QFontMetrics data(grid_->GridFont());
    int widest = QFontMetrics(grid_->FixedFont()).horizontalAdvance(grid_->Cell(real, 0));
    for (int row = grid_->FixedRows(); row < grid_->RowCount(); ++row)
        widest = std::max(widest, data.horizontalAdvance(grid_->Cell(real, row)));
    // Column widths are design pixels: the view scales them by the table font.
    const double scale = grid_->WidthScale() > 0 ? grid_->WidthScale() : 1.0;
    grid_->SetColumnWidth(real, int((widest + 10) / scale + 0.5));
}

// ---- actions ------------------------------------------------------------------------

void TFormOstatkiTn::menuFilterClick() {
    if (busy_)
        return; // the button waits for the answer; so do the key and the item
    TFormFiltr& dialog = TFormFiltr::Instance();
    if (dialog.ShowFilter(19) != TFormFiltr::mrOk)
        return;
    QString caption = QStringLiteral("Остатки и план поставок Т+ ");
    QString sql = dialog.AccountFilter(caption);
    sql += dialog.SecurityFilter(caption, true);
    sql += dialog.PositionFilter(caption);
    sqlFilter_ = sql;
    setWindowTitle(caption);
    SendRequest();
}

void TFormOstatkiTn::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormOstatkiTn(); };
    TWindowCatalog::Register(WindowCommand::TPlusBalances, std::move(entry));
}
