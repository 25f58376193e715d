#include "margin/TFormMargo.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "margin/MarginLevels.h"
#include "margin/TFormMarginCopyRule.h"
#include "margin/TFormMarginLevel.h"
#include "margin/TFormMarginRules.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Cp1251.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/Services.h"
#include "shell/base/SoundScheme.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPointer>
#include <QStandardItemModel>
#include <QStyle>
#include <QTime>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

struct ColumnSpec {
    const char* name;
    const char* header;
    int width;
    bool right;
    TSortStyle sort;
};

// The design-time columns; the order gives their identities.
const ColumnSpec kColumns[] = {
    {"id_cli", "Номер клиента", 85, true, TSortStyle::Automatic},
    {"NAME_CLI", "Клиент", 140, false, TSortStyle::Automatic},
    {"MARGIN_PERCENT", "% маржи", 60, true, TSortStyle::Automatic},
    {"START_MARGIN_LEVEL", "Начальная маржа", 100, true, TSortStyle::Automatic},
    {"CRITICAL_MARGIN_LEVEL", "Критическая маржа", 110, true, TSortStyle::Automatic},
    {"SUM_KREDIT", "Кредит", 80, true, TSortStyle::Financial},
    {"SUM_ACTIVES", "Активы", 80, true, TSortStyle::Financial},
    {"MARGIN_ACC_NAME", "Заемный счет", 80, false, TSortStyle::Automatic},
    {"MARGIN_MODE_NAME", "Режим кредитования", 115, false, TSortStyle::Automatic},
    {"SUM_SELF_MONEY", "Собственные", 80, true, TSortStyle::Financial},
    {"SUM_MAX_KREDIT", "Максимальный кредит", 120, true, TSortStyle::Financial},
    {"SUM_ADD_KREDIT", "Может еще занять", 105, true, TSortStyle::Financial},
    {"SUM_NEED_CLOSE", "Немедленно вернуть", 115, true, TSortStyle::Financial},
};

const QColor kCriticalColor(255, 120, 120);
const QColor kStartColor(255, 255, 140);

QPointer<TFormMargo>& CurrentSlot() {
    static QPointer<TFormMargo> slot;
    return slot;
}

std::function<void(QWidget*)>& WindowOpener() {
    static std::function<void(QWidget*)> opener;
    return opener;
}

} // namespace

TFormMargo::TFormMargo(QWidget* parent) : TChildWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Учёт маржи"));
    resize(760, 400);
    // The one monitor: the menu finds it here and among the main window's children,
    // however it was made (menu or desktop).
    CurrentSlot() = this;
    setProperty(kWindowCommandProperty, int(WindowCommand::MarginMonitor) + 1);
    timer_.setSingleShot(true);
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this,
            [this] { GuardStep(QStringLiteral("FormMargo.Timer"), [&] { Refresh(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    panel_ = new QToolBar(this);
    panel_->setIconSize(QSize(16, 16));
    layout->addWidget(panel_);
    grid_ = new TAdvColumnGrid(this);
    layout->addWidget(grid_, 1);
    events_ = new QComboBox(this);
    events_->setMaxVisibleItems(10);
    layout->addWidget(events_);
    // Only the user's choice selects an event: the code's own selection after each
    // answer must not scroll the grid or take the focus.
    connect(events_, &QComboBox::activated, this, [this](int index) {
        GuardStep(QStringLiteral("FormMargo.cbEvent"), [&] { EventChosen(index); });
    });
    BuildMenusAndPanel();
    BuildGrid();

    sesMrg_ = std::make_unique<TBrokerSession>(QStringLiteral("SesMrg"), true);
    sesMrgLevel_ = std::make_unique<TBrokerSession>(QStringLiteral("SesMrgLevel"), true);
    parser_ = std::make_unique<TMetadataParser>(sesMrg_.get());
    sesMrg_->OnLogin = [this](TBrokerSession*) { SesMrgLogin(); };
    sesMrg_->OnData = [this](TBrokerSession*) { SesMrgData(); };
    sesMrgLevel_->OnData = [this](TBrokerSession*) { SesMrgLevelData(); };
    GuardStep(QStringLiteral("FormMargo.Login"), [&] { sesMrg_->Login(); });
}

TFormMargo::~TFormMargo() {
    timer_.stop();
    sesMrg_->OnLogin = nullptr;
    sesMrg_->OnData = nullptr;
    sesMrgLevel_->OnData = nullptr;
    parser_.reset();
    sesMrg_.reset();
    sesMrgLevel_.reset();
}

TFormMargo* TFormMargo::Current() {
    return CurrentSlot().data();
}

void TFormMargo::BuildGrid() {
    grid_->SetFixedRows(1);
    grid_->SetFixedCols(1);
    for (const ColumnSpec& def : kColumns) {
        TGridColumn* column = grid_->AddColumn();
        column->Name = QString::fromLatin1(def.name);
        column->Header = QString::fromUtf8(def.header);
        column->Width = def.width;
        column->Alignment = (def.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        column->SortStyle = def.sort;
    }
    grid_->Column(0)->Fixed = true;
    grid_->SetPopupMenu(popup_);
    grid_->Loaded();
    grid_->SetRowCount(grid_->FixedRows() + 1);
    grid_->SetCellLookHook(
        [this](int realCol, int row, TCellLook& look) { CellLook(realCol, row, look); });
    connect(grid_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) {
        GuardStep(QStringLiteral("FormMargo.GridDblClick"), [&] { OpenRules(); });
    });
}

void TFormMargo::BuildMenusAndPanel() {
    popup_ = new QMenu(this);
    const auto add = [this](const QString& caption, auto slot) {
        QAction* action = popup_->addAction(caption);
        connect(action, &QAction::triggered, this,
                [this, slot] { GuardStep(QStringLiteral("FormMargo"), [&] { (this->*slot)(); }); });
        return action;
    };
    QAction* levels = add(QStringLiteral("Изменить уровни маржи"), &TFormMargo::ChangeLevels);
    QAction* rules = add(QStringLiteral("Список маржинальных бумаг"), &TFormMargo::OpenRules);
    popup_->addSeparator();
    QAction* refresh = add(QStringLiteral("Обновить"), &TFormMargo::Refresh);
    popup_->addSeparator();
    QAction* settings = popup_->addAction(QStringLiteral("Настройка звука"));
    connect(settings, &QAction::triggered, this, [] { Services::Sound().OpenSoundSettings(); });
    soundOff_ = popup_->addAction(QStringLiteral("Отключить звук"));
    soundOff_->setCheckable(true);
    connect(soundOff_, &QAction::triggered, this, [this] { menuSoundOffClick(); });
    popup_->addSeparator();
    showPanel_ = popup_->addAction(QStringLiteral("Панель кнопок"));
    showPanel_->setCheckable(true);
    showPanel_->setChecked(true);
    connect(showPanel_, &QAction::triggered, this, [this] { menuShowPanelClick(); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup_->exec(mapToGlobal(pos)); });

    const auto button = [this](QAction* action, QStyle::StandardPixmap icon, const QString& hint) {
        QAction* b = panel_->addAction(style()->standardIcon(icon), hint);
        b->setToolTip(hint);
        connect(b, &QAction::triggered, action, &QAction::trigger);
    };
    button(levels, QStyle::SP_FileDialogDetailedView,
           QStringLiteral("Изменить режим кредитования и уровни маржи"));
    button(rules, QStyle::SP_FileDialogListView, QStringLiteral("Список маржинальных бумаг"));
    button(refresh, QStyle::SP_BrowserReload, QStringLiteral("Обновить"));
    // The toggle button: down means the sound is off.
    soundButton_ = panel_->addAction(style()->standardIcon(QStyle::SP_MediaVolumeMuted),
                                     QStringLiteral("Вкл\\Выкл звуковые сигналы"));
    soundButton_->setCheckable(true);
    connect(soundButton_, &QAction::triggered, this, [this] { ToggleSound(); });
    button(settings, QStyle::SP_MediaVolume, QStringLiteral("Настройка звуковых сигналов"));
}

// ---- published properties ---------------------------------------------------------

QString TFormMargo::FormSettings() const {
    return margin::MonitorSettingsText(!panel_->isHidden(), SoundOff(),
                                       Cp1251::Decode(grid_->SaveSettings()));
}

void TFormMargo::SetFormSettings(const QString& settings) {
    const margin::MonitorSettings s = margin::ParseMonitorSettings(settings);
    if (s.panelShown >= 0)
        panel_->setVisible(s.panelShown == 1);
    showPanel_->setChecked(!panel_->isHidden());
    if (s.soundOff >= 0)
        soundButton_->setChecked(s.soundOff == 1);
    soundOff_->setChecked(SoundOff());
    GuardStep(QStringLiteral("FormMargo.FormSettings"),
              [&] { grid_->LoadSettings(Cp1251::Encode(s.gridSettings)); });
}

// ---- the list -----------------------------------------------------------------------

void TFormMargo::Refresh() {
    // The timer never runs while a request is outstanding.
    timer_.stop();
    sesMrg_->SendRequest(
        vocab::request::kList,
        PairParams({{vocab::key::kQuery, QString::number(vocab::list::kMarginClients)}}));
}

void TFormMargo::SesMrgData() {
    // 1. The client of the current row and the top row, to come back to them.
    const int current = CurrentDataRow();
    const QString rememberedClient = current >= 0 ? Cell(kIdCli, current) : QString();
    const int topRow = grid_->TopRow();

    // 2. The table, with the clients' display names.
    TReferenceData& refs = TReferenceData::Current();
    const int idCol = gridcols::RealByTag(*grid_, kIdCli);
    const int nameCol = gridcols::RealByTag(*grid_, kNameCli);
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        if (idCol < 0 || nameCol < 0 || idCol >= texts.size() || nameCol >= texts.size())
            return;
        bool ok = false;
        const int id = texts[idCol].trimmed().toInt(&ok);
        if (ok)
            texts[nameCol] = refs.ClientDisplayName(id, texts[nameCol]);
    };
    GuardStep(QStringLiteral("FormMargo.SesMrgData"),
              [&] { LoadGridFromResponse(*parser_, *grid_, hook); });

    // 3, 4. The breaches, one entry and one count per row; the client list. The
    // entries go into a model of their own, handed to the event box at once.
    clients_.clear();
    criticalCount_ = 0;
    startCount_ = 0;
    auto* entries = new QStandardItemModel(events_);
    const QString time = QLocale().toString(QTime::currentTime(), QLocale::ShortFormat);
    const int realPercent = gridcols::RealByTag(*grid_, kMarginPercent);
    const int realStart = gridcols::RealByTag(*grid_, kStartLevel);
    const int realCritical = gridcols::RealByTag(*grid_, kCriticalLevel);
    QStringList malformed;
    for (int row = grid_->FixedRows(); row < grid_->RowCount(); ++row) {
        const QString client = grid_->Cell(idCol, row);
        if (client.isEmpty())
            continue; // the blank row of an empty answer
        bool wellFormed = true;
        const auto number = [&](int realCol) {
            bool ok = true;
            const int n = margin::CellNumber(grid_->Cell(realCol, row), &ok);
            wellFormed = wellFormed && ok;
            return n;
        };
        const int percent = number(realPercent);
        const int start = number(realStart);
        const int critical = number(realCritical);
        if (!wellFormed)
            malformed << client;
        const margin::Breach breach = margin::BreachOf(percent, start, critical);
        if (breach != margin::Breach::None) {
            const bool isCritical = breach == margin::Breach::CriticalLevel;
            auto* entry =
                new QStandardItem(time +
                                  (isCritical ? QStringLiteral(" Превышен критический уровень ")
                                              : QStringLiteral(" Превышен начальный уровень ")) +
                                  grid_->Cell(nameCol, row));
            entry->setData(margin::CellNumber(client), Qt::UserRole);
            entries->appendRow(entry);
            ++(isCritical ? criticalCount_ : startCount_);
        }
        clients_ << client;
    }
    events_->setModel(entries); // frees the previous answer's entries
    if (!malformed.isEmpty())
        WriteLog(QStringLiteral("Учёт маржи: уровни маржи не целые числа у клиентов ") +
                 malformed.join(QStringLiteral(", ")));

    // 5. The first entry, selected in code (no "Selecting an event").
    if (events_->count() > 0)
        events_->setCurrentIndex(0);

    // 6. At most one sound, the critical one first; a failing sound changes nothing else.
    if (!SoundOff() && (criticalCount_ > 0 || startCount_ > 0)) {
        GuardStep(QStringLiteral("FormMargo.Sound"), [&] {
            Services::Sound().PlayFile(SoundEventFile(criticalCount_ > 0 ? SoundEvent::CriticalLevel
                                                                         : SoundEvent::StartLevel));
        });
    }

    // 7. The selection follows the client, not the row position.
    if (!rememberedClient.isEmpty()) {
        const int row = FindClientRow(rememberedClient);
        if (row >= 0) {
            grid_->SetTopRow(topRow);
            MakeCurrent(row);
        }
    }

    // 8. The copy dialog's trees come from these clients.
    if (TFormMarginCopyRule* copy = TFormMarginCopyRule::Instance())
        GuardStep(QStringLiteral("FormMargo.CopyDialog"),
                  [&] { copy->FillControls2(TReferenceData::Current(), clients_); });

    // 9. The next refresh a minute after this answer.
    timer_.start();
}

void TFormMargo::CellLook(int, int row, TCellLook& look) const {
    if (row < grid_->FixedRows() || Cell(kIdCli, row).isEmpty())
        return;
    switch (margin::BreachOf(margin::CellNumber(Cell(kMarginPercent, row)),
                             margin::CellNumber(Cell(kStartLevel, row)),
                             margin::CellNumber(Cell(kCriticalLevel, row)))) {
    case margin::Breach::CriticalLevel:
        look.Background = kCriticalColor;
        break;
    case margin::Breach::StartLevel:
        look.Background = kStartColor;
        break;
    case margin::Breach::None:
        break;
    }
}

void TFormMargo::EventChosen(int index) {
    if (index < 0 || index >= events_->count())
        return;
    const int row = FindClientRow(QString::number(events_->itemData(index).toInt()));
    if (row < 0)
        return;
    grid_->SetTopRow(row > grid_->FixedRows() ? row - 1 : grid_->FixedRows());
    MakeCurrent(row);
    grid_->setFocus(Qt::OtherFocusReason);
}

// ---- levels and rules ---------------------------------------------------------------

void TFormMargo::ChangeLevels() {
    const int row = CurrentDataRow();
    if (row < 0 || Cell(kIdCli, row).isEmpty())
        return;
    TFormMarginLevel* dialog = TFormMarginLevel::Instance();
    if (!dialog)
        return;
    dialog->Prepare(Cell(kIdCli, row), Cell(kNameCli, row), Cell(kMarginAccName, row),
                    Cell(kMarginModeName, row) == QStringLiteral("Маржинальный"),
                    margin::CellNumber(Cell(kStartLevel, row)),
                    margin::CellNumber(Cell(kCriticalLevel, row)));
    if (dialog->exec() != QDialog::Accepted)
        return;
    using namespace vocab::key;
    sesMrgLevel_->SendRequest(
        vocab::request::kCommand,
        PairParams({{kQuery, QString::number(vocab::command::kMarginClientLevels)},
                    {kParam0, dialog->ClientNumber()},
                    {QStringLiteral("param1"),
                     dialog->MarginMode() ? QStringLiteral("1") : QStringLiteral("0")},
                    {QStringLiteral("param2"), QString::number(dialog->StartLevel())},
                    {QStringLiteral("param3"), QString::number(dialog->CriticalLevel())},
                    {QStringLiteral("param4"), QString::number(dialog->ChosenAccountId())}}));
}

void TFormMargo::SesMrgLevelData() {
    // Anything but 0 is a refusal, left without a message.
    bool ok = false;
    const int code =
        sesMrgLevel_->GetRowCount() > 0 ? sesMrgLevel_->GetCell(0, 0).trimmed().toInt(&ok) : -1;
    if (ok && code == 0)
        Refresh();
    else
        WriteLog(QStringLiteral("Учёт маржи: изменение уровней не принято сервером"));
}

void TFormMargo::OpenRules() {
    const int row = CurrentDataRow();
    if (row < 0 || Cell(kIdCli, row).isEmpty())
        return;
    auto* rules = new TFormMarginRules();
    rules->SetClient(Cell(kIdCli, row), Cell(kNameCli, row));
    if (WindowOpener())
        WindowOpener()(rules);
    else
        rules->show();
    rules->SesMrgRulesLogin();
}

// ---- sound and panel -----------------------------------------------------------------

bool TFormMargo::SoundOff() const {
    return soundButton_->isChecked();
}

void TFormMargo::ToggleSound() {
    // The button has switched itself; the menu item shows its state.
    soundOff_->setChecked(soundButton_->isChecked());
}

void TFormMargo::menuSoundOffClick() {
    soundButton_->setChecked(!soundButton_->isChecked());
    soundOff_->setChecked(soundButton_->isChecked());
}

void TFormMargo::menuShowPanelClick() {
    panel_->setVisible(panel_->isHidden());
    showPanel_->setChecked(!panel_->isHidden());
}

// ---- helpers ----------------------------------------------------------------------------

QString TFormMargo::Cell(int tag, int row) const {
    return gridcols::TextByTag(*grid_, tag, row);
}

int TFormMargo::CurrentDataRow() const {
    const int row = gridcols::CurrentRow(*grid_);
    return gridcols::IsDataRow(*grid_, row) ? row : -1;
}

void TFormMargo::MakeCurrent(int row) {
    const QModelIndex current = grid_->currentIndex();
    const int column = current.isValid() ? current.column() : grid_->FixedCols();
    const QModelIndex index = grid_->model()->index(row - grid_->FixedRows(), column);
    if (index.isValid())
        grid_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

int TFormMargo::FindClientRow(const QString& client) const {
    for (int row = grid_->FixedRows(); row < grid_->RowCount(); ++row)
        if (Cell(kIdCli, row) == client)
            return row;
    return -1;
}

void TFormMargo::SetWindowOpener(std::function<void(QWidget*)> opener) {
    WindowOpener() = std::move(opener);
}

void TFormMargo::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::SingleChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormMargo(); };
    TWindowCatalog::Register(WindowCommand::MarginMonitor, std::move(entry));
}
