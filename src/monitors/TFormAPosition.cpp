#include "monitors/TFormAPosition.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/PositionFill.h"
#include "session/TBrokerSession.h"
#include "session/wire/Vocabulary.h"
#include "shell/contract/WindowCatalog.h"

using namespace monitorkit;

namespace {

// The quantities come as dot-decimal texts: the column format turns them into locale
// numbers with every digit (what sorting, the selection sum and copy read), and the
// row's own format then shows them as the position window does.
const Column kColumns[] = {
    {"", "Инструмент", 100, false, "", TSortStyle::Automatic},
    {"", "Входящий", 90, true, "%.10f", TSortStyle::Financial},
    {"", "Текущий", 90, true, "%.10f", TSortStyle::Financial},
    {"", "Плановый", 90, true, "%.10f", TSortStyle::Financial},
};

const HiddenColumn kHidden[] = {{TFormAPosition::kIdBum, "ID_BUM"}};

const QString kGroupClause = QStringLiteral(" group by ID_BUM,INSTR ");

const TArchiveWindow::Frame kFrame{"Позиция в архиве ",
                                   "SesAPos",
                                   "FormAPosition",
                                   vocab::list::kArchivePosition,
                                   false,
                                   TArchiveWindow::BusyScope::Panel,
                                   3,
                                   kColumns,
                                   kHidden};

} // namespace

TFormAPosition::TFormAPosition(QWidget* parent) : TArchiveWindow(kFrame, parent) {
    Start();
}

QString TFormAPosition::RequestParams() const {
    using namespace vocab::key;
    return KeyValue(kQuery, QueryText()) + KeyValue(kFilter, sqlFilter_ + kGroupClause) +
           KeyValue(kParam0, FromDate());
}

void TFormAPosition::Load() {
    RowTexts cells(Grid(), {kIdBum, kInput, kCurr, kPlan});
    PositionFillOptions options;
    options.StopOnNonNumber = true;
    options.AfterRowTexts = [&](int, QStringList& texts) {
        cells.Attach(texts);
        monitorkit::FormatBalances(cells, kIdBum, {kInput, kCurr, kPlan});
    };
    LoadGridByPosition(Session(), Grid(), options);
}

QString TFormAPosition::AskFilter(TFormFiltr& dialog, QString& caption) {
    // Asked securities first, stored accounts first.
    const QString securities = dialog.SecurityFilter(caption, true);
    const QString accounts = dialog.AccountFilter(caption);
    return accounts + securities;
}

void TFormAPosition::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormAPosition(); };
    TWindowCatalog::Register(WindowCommand::ArchivePosition, std::move(entry));
}
