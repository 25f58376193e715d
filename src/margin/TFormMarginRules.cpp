#include "margin/TFormMarginRules.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/PositionFill.h"
#include "grids/fill/ResponseFill.h"
#include "margin/TFormMarginAddRule.h"
#include "margin/TFormMarginCopyRule.h"
#include "margin/TFormMarginEditRule.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/NumberText.h"
#include "shell/base/Services.h"

#include <QAction>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <cmath>
#include <vector>

namespace {

struct ColumnSpec {
    const char* header;
    int width;
    Qt::Alignment align;
    TSortStyle sort;
};

const ColumnSpec kColumns[] = {
    {"Номер", 50, Qt::AlignRight, TSortStyle::Numeric},
    {"Инструмент", 160, Qt::AlignLeft, TSortStyle::Automatic},
    {"Лимит", 80, Qt::AlignRight, TSortStyle::Financial},
    {"Учитывать в уровне маржи", 90, Qt::AlignHCenter, TSortStyle::Automatic},
    {"Разрешить маржиналную торговлю", 90, Qt::AlignHCenter, TSortStyle::Automatic},
};

std::vector<TFormMarginRules*>& OpenWindows() {
    static std::vector<TFormMarginRules*> windows;
    return windows;
}

const QString kFlagError = QStringLiteral("Ошибка! Свяжитесь с разработчиком");

} // namespace

TFormMarginRules::TFormMarginRules(QWidget* parent) : TChildWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Инструменты маржинальной торговли"));
    resize(560, 360);
    OpenWindows().push_back(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    panel_ = new QToolBar(this);
    panel_->setIconSize(QSize(16, 16));
    layout->addWidget(panel_);
    grid_ = new TAdvColumnGrid(this);
    layout->addWidget(grid_, 1);
    BuildMenusAndPanel();
    BuildGrid();

    sesList_ = std::make_unique<TBrokerSession>(QStringLiteral("SesMrgRules"), true);
    sesChange_ = std::make_unique<TBrokerSession>(QStringLiteral("SesChangeRule"), true);
    sesList_->OnLogin = [this](TBrokerSession*) { SesMrgRulesLogin(); };
    sesList_->OnData = [this](TBrokerSession*) { SesMrgRulesData(); };
    sesChange_->OnData = [this](TBrokerSession*) { SesChangeRuleData(); };
    // Commands in flight when the link drops are never answered: the next list answer
    // ends the wait.
    sesChange_->OnDisconnect = [this](TBrokerSession*) {
        outstanding_ = 0;
        addCounter_ = 0;
    };
}

TFormMarginRules::~TFormMarginRules() {
    auto& windows = OpenWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
    sesList_->OnLogin = nullptr;
    sesList_->OnData = nullptr;
    sesChange_->OnData = nullptr;
    sesChange_->OnDisconnect = nullptr;
    sesList_.reset();
    sesChange_.reset();
}

void TFormMarginRules::BuildGrid() {
    grid_->SetFixedRows(1);
    grid_->SetFixedCols(1);
    for (const ColumnSpec& def : kColumns) {
        TGridColumn* column = grid_->AddColumn();
        column->Header = QString::fromUtf8(def.header);
        column->Width = def.width;
        column->Alignment = def.align | Qt::AlignVCenter;
        column->SortStyle = def.sort;
    }
    grid_->Column(0)->Fixed = true;
    grid_->SetRowMoving(true);
    grid_->SetPopupMenu(popup_);
    grid_->Loaded();
    grid_->AddHiddenColumn(kCountsInLevelRaw);
    grid_->AddHiddenColumn(kMarginTradingRaw);
    grid_->ColumnsChanged();
    grid_->SetRowCount(grid_->FixedRows() + 1);
}

void TFormMarginRules::BuildMenusAndPanel() {
    popup_ = new QMenu(this);
    const auto add = [this](const QString& caption, const QKeySequence& keys, auto slot) {
        QAction* action = popup_->addAction(caption);
        if (!keys.isEmpty()) {
            action->setShortcut(keys);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, slot] {
            GuardStep(QStringLiteral("FormMarginRules"), [&] { (this->*slot)(); });
        });
        return action;
    };
    QAction* addRule = add(QStringLiteral("Добавить маржинальную бумагу"),
                           QKeySequence(Qt::Key_Insert), &TFormMarginRules::AddClick);
    QAction* edit = add(QStringLiteral("Редактировать"), QKeySequence(Qt::Key_F4),
                        &TFormMarginRules::EditClick);
    QAction* del = add(QStringLiteral("Удалить"), QKeySequence(Qt::Key_Delete),
                       &TFormMarginRules::DeleteClick);
    popup_->addSeparator();
    QAction* copy = add(QStringLiteral("Копировать список маржинальных бумаг"), QKeySequence(),
                        &TFormMarginRules::CopyClick);
    popup_->addSeparator();
    QAction* delAll = add(QStringLiteral("Удалить все маржинальные бумаги"), QKeySequence(),
                          &TFormMarginRules::DeleteAllClick);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup_->exec(mapToGlobal(pos)); });

    const auto button = [this](QAction* action, QStyle::StandardPixmap icon, const QString& hint) {
        QAction* b = panel_->addAction(style()->standardIcon(icon), hint);
        b->setToolTip(hint);
        connect(b, &QAction::triggered, action, &QAction::trigger);
    };
    button(addRule, QStyle::SP_FileDialogNewFolder, QStringLiteral("Добавить маржинальную бумагу"));
    button(edit, QStyle::SP_FileDialogDetailedView,
           QStringLiteral("Редактировать маржинальную бумагу"));
    button(del, QStyle::SP_TrashIcon, QStringLiteral("Удалить\n"));
    button(copy, QStyle::SP_DialogSaveButton,
           QStringLiteral("Копировать список маржинальных бумаг"));
    button(delAll, QStyle::SP_DialogDiscardButton,
           QStringLiteral("Удалить все маржинальные бумаги"));
}

void TFormMarginRules::SetClient(const QString& clientNumber, const QString& clientName) {
    client_ = clientNumber;
    clientName_ = clientName;
    setWindowTitle(clientName + QStringLiteral(" - ") +
                   QStringLiteral("Инструменты маржинальной торговли"));
}

// ---- the list -----------------------------------------------------------------------

void TFormMarginRules::SesMrgRulesLogin() {
    if (client_.isEmpty())
        return;
    sesList_->SendRequest(
        vocab::request::kList,
        PairParams({{vocab::key::kQuery, QString::number(vocab::list::kMarginRules)},
                    {vocab::key::kParam0, client_}}));
}

QString TFormMarginRules::FlagText(const QString& raw) {
    if (raw.isEmpty() || raw == QLatin1String("0"))
        return QString();
    if (raw == QLatin1String("1"))
        return QStringLiteral("Да");
    return kFlagError;
}

void TFormMarginRules::SesMrgRulesData() {
    const int current = CurrentDataRow();
    const QString rememberedNumber = current >= 0 ? Cell(kNumber, current) : QString();
    GuardStep(QStringLiteral("FormMarginRules.SesMrgRulesData"), [&] {
        LoadGridByPosition(*sesList_, *grid_);
        // The flags are shown as words; what the server sent stays beside them.
        const std::pair<int, int> flags[] = {{kCountsInLevel, kCountsInLevelRaw},
                                             {kMarginTrading, kMarginTradingRaw}};
        for (int row = grid_->FixedRows(); row < grid_->RowCount(); ++row)
            for (const auto& [shown, raw] : flags) {
                const QString text = Cell(shown, row);
                gridcols::SetTextByTag(*grid_, raw, row, text);
                gridcols::SetTextByTag(*grid_, shown, row, FlagText(text));
            }
    });
    // A list answer ends the wait only when no command is still outstanding: after a
    // copy to two clients the first command's reload must not end the second's wait.
    if (outstanding_ == 0)
        SetWaiting(false);
    int row = -1;
    if (!rememberedNumber.isEmpty())
        for (int r = grid_->FixedRows(); r < grid_->RowCount() && row < 0; ++r)
            if (Cell(kNumber, r) == rememberedNumber)
                row = r;
    if (row < 0 && current >= 0 && gridcols::IsDataRow(*grid_, current))
        row = current;
    if (row >= 0) {
        const QModelIndex index = grid_->model()->index(row - grid_->FixedRows(), 0);
        grid_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
}

// ---- commands -----------------------------------------------------------------------

void TFormMarginRules::SendCommand(int query, const QList<std::pair<QString, QString>>& params) {
    QString text = QLatin1StringView(vocab::key::kQuery) + QLatin1Char('=') +
                   QString::number(query) + QChar(0);
    for (const auto& [key, value] : params)
        text += key + QLatin1Char('=') + value + QChar(0);
    SetWaiting(true);
    ++outstanding_;
    sesChange_->SendRequest(vocab::request::kCommand, text);
}

void TFormMarginRules::SesChangeRuleData() {
    if (outstanding_ > 0)
        --outstanding_;
    if (addCounter_ > 0)
        --addCounter_;
    const bool hasRow = sesChange_->GetRowCount() > 0;
    if (addCounter_ > 0 || !hasRow) {
        if (!hasRow && outstanding_ == 0)
            SetWaiting(false);
        return;
    }
    if (sesChange_->GetCell(0, 0) == QLatin1String("0")) {
        SesMrgRulesLogin();
        RefreshOthers(this, client_);
        return;
    }
    // A refused command is only logged; with nothing else outstanding no list answer
    // would come to end the wait.
    WriteLog(QStringLiteral("Маржинальные бумаги клиента %1: команда не принята сервером: %2")
                 .arg(client_, sesChange_->GetCell(0, 1)));
    if (outstanding_ == 0)
        SetWaiting(false);
}

void TFormMarginRules::RefreshOthers(const TFormMarginRules* except, const QString& client) {
    // A copy: a request may run event handlers that open or close windows.
    const std::vector<TFormMarginRules*> windows = OpenWindows();
    for (TFormMarginRules* w : windows)
        if (w != except && w->client_ == client)
            GuardStep(QStringLiteral("FormMarginRules.Refresh"), [&] { w->SesMrgRulesLogin(); });
}

void TFormMarginRules::AddClick() {
    TFormMarginAddRule* dialog = TFormMarginAddRule::Instance();
    if (!dialog || dialog->ShowModal() != QDialog::Accepted)
        return;
    const QStringList chosen = dialog->Chosen();
    const QString limit = FloatToDotText(dialog->Limit());
    const QString inLevel = dialog->CountsInLevel() ? QStringLiteral("1") : QStringLiteral("0");
    const QString trading = dialog->MarginTrading() ? QStringLiteral("1") : QStringLiteral("0");
    for (const QString& id : chosen) {
        ++addCounter_;
        SendCommand(vocab::command::kMarginRuleSet, {{QStringLiteral("param0"), client_},
                                                     {QStringLiteral("param1"), id},
                                                     {QStringLiteral("param2"), limit},
                                                     {QStringLiteral("param3"), inLevel},
                                                     {QStringLiteral("param4"), trading},
                                                     {QStringLiteral("param5"), trading}});
    }
}

QString TFormMarginRules::RoundedLimit(double value) {
    // The default rounding mode takes a half to the even neighbour.
    return QString::number(qint64(std::nearbyint(value)));
}

void TFormMarginRules::EditClick() {
    const int row = CurrentDataRow();
    if (row < 0 || Cell(kNumber, row).isEmpty())
        return;
    TFormMarginEditRule* dialog = TFormMarginEditRule::Instance();
    if (!dialog)
        return;
    dialog->Prepare(clientName_, Cell(kName, row), Cell(kLimit, row),
                    Cell(kMarginTradingRaw, row) == QLatin1String("1"),
                    Cell(kCountsInLevelRaw, row) == QLatin1String("1"));
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QString trading = dialog->MarginTrading() ? QStringLiteral("1") : QStringLiteral("0");
    SendCommand(vocab::command::kMarginRuleSet,
                {{QStringLiteral("param0"), client_},
                 {QStringLiteral("param1"), Cell(kNumber, row)},
                 {QStringLiteral("param2"), RoundedLimit(dialog->Limit())},
                 {QStringLiteral("param3"),
                  dialog->CountsInLevel() ? QStringLiteral("1") : QStringLiteral("0")},
                 {QStringLiteral("param4"), trading},
                 {QStringLiteral("param5"), trading}});
}

void TFormMarginRules::DeleteClick() {
    const int row = CurrentDataRow();
    if (row < 0 || Cell(kNumber, row).isEmpty())
        return;
    if (Services::MessageBox().Show(this,
                                    QStringLiteral("Удалить маржинальный унструмент ") +
                                        Cell(kName, row) + QStringLiteral(" ?"),
                                    windowTitle(), MsgKind::Question, MsgOk | MsgCancel) != MsgOk)
        return;
    SendCommand(
        vocab::command::kMarginRuleRemove,
        {{QStringLiteral("param0"), client_}, {QStringLiteral("param1"), Cell(kNumber, row)}});
}

void TFormMarginRules::DeleteAllClick() {
    if (Services::MessageBox().Show(this, QStringLiteral("Удалить все правила?"), windowTitle(),
                                    MsgKind::Question, MsgOk | MsgCancel) != MsgOk)
        return;
    SendCommand(vocab::command::kMarginRulesClear, {{QStringLiteral("param0"), client_}});
}

void TFormMarginRules::CopyClick() {
    TFormMarginCopyRule* dialog = TFormMarginCopyRule::Instance();
    if (!dialog || dialog->ShowForClient(client_) != QDialog::Accepted)
        return;
    const int source = dialog->SourceClient();
    if (source == 0)
        return;
    for (int dest : dialog->DestinationClients()) {
        SendCommand(vocab::command::kMarginRulesCopy,
                    {{QStringLiteral("param0"), QString::number(source)},
                     {QStringLiteral("param1"), QString::number(dest)}});
        RefreshOthers(this, QString::number(dest));
    }
}

// ---- helpers ----------------------------------------------------------------------------

void TFormMarginRules::SetWaiting(bool on) {
    if (on == waiting_)
        return;
    waiting_ = on;
    for (QWidget* w : {static_cast<QWidget*>(grid_), static_cast<QWidget*>(panel_)}) {
        if (on)
            w->setCursor(Qt::WaitCursor);
        else
            w->unsetCursor();
    }
}

QString TFormMarginRules::Cell(int tag, int row) const {
    return gridcols::TextByTag(*grid_, tag, row);
}

int TFormMarginRules::CurrentDataRow() const {
    const int row = gridcols::CurrentRow(*grid_);
    return gridcols::IsDataRow(*grid_, row) ? row : -1;
}
