#include "monitors/TFormPos.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/MonitorWindowKit.h"
#include "monitors/TFormPrf.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/NumberText.h"
#include "shell/contract/WindowCatalog.h"

using namespace monitorkit;

namespace {

const Column kColumns[] = {
    {"instr", "Инструмент", 100, false, "", TSortStyle::Automatic},
    {"input_pos", "Входящий", 81, true, "", TSortStyle::Financial},
    {"curr_pos", "Текущий", 90, true, "", TSortStyle::Financial},
    {"plan_pos", "Плановый", 109, true, "", TSortStyle::Financial},
};

const HiddenColumn kHidden[] = {{TFormPos::kIdBum, "ID_BUM"}};

// The server sums per instrument when the condition ends with this clause.
const QString kGroupClause = QStringLiteral(" group by ID_BUM,INSTR ");

} // namespace

TFormPos::TFormPos(QWidget* parent)
    : TChildWindow(parent),
      sesPos_(
          QStringLiteral("SesPos"), true, [this] { SesPosLogin(); }, [this] { SesPosData(); }) {
    const ListFrame frame = BuildListWindow(
        *this, {QStringLiteral("Позиция"), 420, kColumns, kHidden},
        {{"Фильтр", Qt::Key_F9, "FormPos.menuFilterClick", [this] { menuFilterClick(); }},
         {"Обновить", {}, "FormPos.menuRefreshClick", [this] { SesPosLogin(); }}});
    grid_ = frame.grid;
    popup_ = frame.popup;
}

void TFormPos::SetSQLFilter(const QString& filter) {
    sqlFilter_ = filter;
    GuardStep(QStringLiteral("FormPos.SQLFilter"), [&] { sesPos_.Session().Login(); });
}

QString TFormPos::FormSettings() const {
    return GridSettingsText(*grid_);
}

void TFormPos::SetFormSettings(const QString& settings) {
    LoadGridSettings(*grid_, settings, QStringLiteral("FormPos.FormSettings"));
}

void TFormPos::SesPosLogin() {
    // No metadata cache: every answer carries its metadata. The busy cursor stays
    // until the answer is in.
    grid_->setCursor(Qt::BusyCursor);
    sesPos_.Session().SendRequest(
        vocab::request::kList,
        KeyValue(vocab::key::kQuery, QString::number(vocab::list::kPosition)) +
            KeyValue(vocab::key::kFilter, sqlFilter_ + kGroupClause));
}

void TFormPos::SesPosData() {
    struct CursorBack {
        QWidget* grid;
        ~CursorBack() { grid->unsetCursor(); }
    } cursorBack{grid_};
    RowTexts cells(*grid_, {kIdBum, kInputPos, kCurrPos, kPlanPos});
    const AfterRowTexts formats = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        FormatBalances(cells, kIdBum, {kInputPos, kCurrPos, kPlanPos});
    };
    LoadGridFromResponse(sesPos_.Parser(), *grid_, formats);
}

void TFormPos::menuFilterClick() {
    TFormFiltr& dialog = TFormFiltr::Instance();
    if (dialog.ShowFilter(3) != TFormFiltr::mrOk)
        return;
    QString caption = QStringLiteral("Позиция ");
    // Asked securities first, sent accounts first.
    const QString securities = dialog.SecurityFilter(caption, true);
    const QString accounts = dialog.AccountFilter(caption);
    sqlFilter_ = accounts + securities;
    setWindowTitle(caption);
    filterBum_ = dialog.FilterBumList();
    filterAcc_ = dialog.FilterAccList();
    buySell_ = dialog.BuySellCode();
    statusMask_ = dialog.StatusMask();
    SesPosLogin();
}

void TFormPos::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormPos(); };
    entry.AfterShow = [](QWidget* window) { window->setProperty("SQLFilter", QString()); };
    TWindowCatalog::Register(WindowCommand::Position, std::move(entry));
}
