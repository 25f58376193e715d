#include "commissions/TFormTaxAddTarif.h"

#include "commissions/TFormTaxAddArea.h"
#include "commissions/TFormTaxAddScalaLine.h"
#include "commissions/TaxAccountBox.h"
#include "grids/NodeOps.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/TComboBoxIndexed.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/NumberText.h"
#include "shell/base/Services.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

TFormTaxAddTarif* g_instance = nullptr;
constexpr double kSumLimit = 1e15; // beyond that a double loses whole kopecks

QString Utf(const char* text) {
    return QString::fromUtf8(text);
}

const char* const kIncludeCaption = "Включая следующие площадки\\листинги\\типы бумаг\\бумаги";
const char* const kExcludeCaption = "Исключая следующие площадки\\листинги\\типы бумаг\\бумаги";

// Which pages an algorithm shows, and which of them is made current.
struct PageSet {
    bool shown[TFormTaxAddTarif::kPageCount];
    int active; // -1: none
};

PageSet PagesOf(int algorithm) {
    switch (algorithm) {
    case 1:
        return {{true, false, false, true, true}, TFormTaxAddTarif::kScaleOfVol};
    case 2:
        return {{false, true, false, true, true}, TFormTaxAddTarif::kScaleOfCount};
    case 3:
        return {{false, false, true, true, false}, TFormTaxAddTarif::kPositionChange};
    default:
        return {{false, false, false, false, false}, -1};
    }
}

void EraseItem(TAreaList& list, const TAreaItem* item) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [item](const auto& owned) { return owned.get() == item; }),
               list.end());
}

QPushButton* PageButton(QWidget* parent, const char* text, const QString& name) {
    auto* button = new QPushButton(Utf(text), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

// ---- number texts of the scale grids -----------------------------------------------

QString ScaleLevelText(double level) {
    // Whole levels (all the editor makes) in ",0."; a fractional threshold from the
    // server keeps its decimals, so saving the tariff again does not move it.
    if (std::isfinite(level) && level != std::floor(level))
        return FormatNumberPattern(QStringLiteral(",0.########"), level);
    return FormatNumberPattern(QStringLiteral(",0."), level);
}

QString ScaleSumText(double sum) {
    return FormatNumberPattern(QStringLiteral(",0.00"), sum);
}

QString ScaleRateText(double rate) {
    return FormatNumberPattern(QStringLiteral(",0.00000000"), rate);
}

double RoundScaleLevel(double level) {
    return std::nearbyint(level); // the default rounding mode: a half to the even neighbour
}

// ---- the dialog ---------------------------------------------------------------------

TFormTaxAddTarif::TFormTaxAddTarif(QWidget* parent) : QDialog(parent) {
    if (!g_instance)
        g_instance = this;
    setWindowTitle(Utf("Новый тариф"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    algorithms_ = new QComboBox(this);
    algorithms_->setObjectName(QStringLiteral("cbAlgoritm"));
    for (int code = 1; code <= 4; ++code)
        algorithms_->addItem(AlgorithmEditorName(code), code);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("edTarifName"));
    types_ = new QComboBox(this);
    types_->setObjectName(QStringLiteral("cbTarifType"));
    for (int code = 1; code <= 3; ++code)
        types_->addItem(TarifTypeName(code), code);
    accounts_ = MakeTaxAccountBox(this, QStringLiteral("cbDestAccount"));
    form->addRow(Utf("Алгоритм"), algorithms_);
    form->addRow(Utf("Название тарифа"), name_);
    form->addRow(Utf("Тип комиссии"), types_);
    form->addRow(Utf("Счет для зачисления"), accounts_);
    layout->addLayout(form);

    pages_ = new QTabWidget(this);
    page_[kScaleOfVol] = BuildScalePage(scaleOfVol_, "gridScalaOfVol", "От, руб.", "Процент",
                                        TFormTaxAddScalaLine::kTurnover);
    page_[kScaleOfCount] = BuildScalePage(scaleOfCount_, "gridScalaOfCount", "От, шт.",
                                          "Сумма за контракт, руб", TFormTaxAddScalaLine::kCount);
    page_[kPositionChange] = BuildPositionPage();
    page_[kAreaOfWork] = BuildAreaPage(areaOfWork_, "vtAreaOfWork", true);
    page_[kAreaOfVol] = BuildAreaPage(areaOfVol_, "vtAreaOfVol", false);
    const char* captions[kPageCount] = {"Шкала от оброта", "Шкала от числа контрактов",
                                        "Изменение позиции", "Область действия",
                                        "Определение обьема"};
    for (int page = 0; page < kPageCount; ++page)
        pages_->addTab(page_[page], Utf(captions[page]));
    layout->addWidget(pages_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormTaxAddTarif::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(algorithms_, &QComboBox::currentIndexChanged, this,
            [this] { SetPagesFor(SelectedCode(algorithms_, 0)); });
    resize(560, 520);
    Reset();
}

TFormTaxAddTarif::~TFormTaxAddTarif() {
    if (g_instance == this)
        g_instance = nullptr;
    // The tree nodes point at the working tariff's items.
    areaOfWork_->clear();
    areaOfVol_->clear();
}

TFormTaxAddTarif* TFormTaxAddTarif::Instance() {
    return g_instance;
}

QWidget* TFormTaxAddTarif::BuildScalePage(TAdvColumnGrid*& grid, const char* name,
                                          const char* levelHeader, const char* percentHeader,
                                          int mode) {
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    auto* row = new QHBoxLayout();
    const QString base = QString::fromLatin1(name).mid(4); // "ScalaOfVol"
    QPushButton* add = PageButton(page, "Добавить", QStringLiteral("btnAdd") + base);
    QPushButton* del = PageButton(page, "Удалить", QStringLiteral("btnDel") + base);
    row->addWidget(add);
    row->addWidget(del);
    row->addStretch();
    column->addLayout(row);

    grid = new TAdvColumnGrid(page);
    grid->setObjectName(QString::fromLatin1(name));
    grid->SetFixedRows(1);
    grid->SetFixedCols(0);
    const struct {
        const char* field;
        const char* header;
        int width;
    } columns[] = {
        {"LEVEL", levelHeader, 110}, {"SUM", "Сумма, руб", 100}, {"PERCENT", percentHeader, 130}};
    for (const auto& c : columns) {
        TGridColumn* entry = grid->AddColumn();
        entry->Name = QString::fromLatin1(c.field);
        entry->Header = Utf(c.header);
        entry->Width = c.width;
        entry->Alignment = Qt::AlignRight | Qt::AlignVCenter;
        entry->SortStyle = TSortStyle::Financial; // grouped numbers
    }
    grid->Loaded();
    grid->SetRowMoving(false);
    grid->SetHeaderSortable(false); // the scale stays in the order of its levels
    grid->ColumnsChanged();
    column->addWidget(grid, 1);

    TAdvColumnGrid* target = grid;
    connect(add, &QPushButton::clicked, this, [this, target, mode] {
        GuardStep(QStringLiteral("FormTaxAddTarif.AddScalaLine"),
                  [&] { AddScaleLineFromDialog(target, mode); });
    });
    connect(del, &QPushButton::clicked, this, [this, target] {
        GuardStep(QStringLiteral("FormTaxAddTarif.DelScalaLine"), [&] { DeleteScaleLine(target); });
    });
    return page;
}

QWidget* TFormTaxAddTarif::BuildPositionPage() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    tarifSum_ = new QDoubleSpinBox(page);
    tarifSum_->setObjectName(QStringLiteral("ceTarifSum"));
    tarifSum_->setRange(0, kSumLimit);
    tarifSum_->setDecimals(2);
    tarifSum_->setGroupSeparatorShown(true);
    tarifSum_->setButtonSymbols(QAbstractSpinBox::NoButtons);
    tarifSum_->setAlignment(Qt::AlignRight);
    groupFlag_ = new QComboBox(page);
    groupFlag_->setObjectName(QStringLiteral("cbAlgoritm3GroupFlag"));
    for (int code = 1; code <= 2; ++code)
        groupFlag_->addItem(GroupFlagName(code), code);
    form->addRow(Utf("Сумма за изменнеие позиции"), tarifSum_);
    form->addRow(
        Utf("Группировать изменение позиции субклиентов\n(всех субклиентов считать за одного)"),
        groupFlag_);
    return page;
}

QWidget* TFormTaxAddTarif::BuildAreaPage(QTreeWidget*& tree, const char* name, bool work) {
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    auto* row = new QHBoxLayout();
    const QString base = work ? QStringLiteral("AreaOfWork") : QStringLiteral("AreaOfVol");
    QPushButton* add = PageButton(page, "Добавить", QStringLiteral("btnAdd") + base);
    QPushButton* del = PageButton(page, "Удалить", QStringLiteral("btnDel") + base);
    row->addWidget(add);
    row->addWidget(del);
    row->addStretch();
    column->addLayout(row);
    tree = new QTreeWidget(page);
    tree->setObjectName(QString::fromLatin1(name));
    tree->setColumnCount(1);
    tree->header()->hide();
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    column->addWidget(tree, 1);
    QTreeWidget* target = tree;
    connect(add, &QPushButton::clicked, this, [this, target] {
        GuardStep(QStringLiteral("FormTaxAddTarif.AddArea"),
                  [&] { AddAreaItemFromDialog(target); });
    });
    connect(del, &QPushButton::clicked, this, [this, target] {
        GuardStep(QStringLiteral("FormTaxAddTarif.DelArea"), [&] { DeleteAreaItem(target); });
    });
    return page;
}

std::unique_ptr<TTaxTarif> TFormTaxAddTarif::EditTarif(const TTaxTarif* existing) {
    TFormTaxAddTarif* editor = Instance();
    if (!editor)
        return nullptr;
    const int result = existing ? editor->EditExisting(*existing) : editor->EditNew();
    return result == QDialog::Accepted ? editor->BuildResult() : nullptr;
}

int TFormTaxAddTarif::EditNew() {
    Reset();
    setWindowTitle(Utf("Новый тариф"));
    return exec();
}

int TFormTaxAddTarif::EditExisting(const TTaxTarif& tarif) {
    Reset();
    LoadTarif(tarif);
    setWindowTitle(Utf("Изменить тариф"));
    return exec();
}

int TFormTaxAddTarif::SelectedCode(const QComboBox* box, int none) const {
    bool ok = false;
    const int code = box->currentData().toInt(&ok);
    return box->currentIndex() >= 0 && ok ? code : none;
}

// ---- reset and load -----------------------------------------------------------------

void TFormTaxAddTarif::Reset() {
    // The name, the type and the destination account keep what they showed last.
    ResetGrid(scaleOfVol_);
    ResetGrid(scaleOfCount_);
    algorithms_->setCurrentIndex(0);
    SetPagesFor(SelectedCode(algorithms_, 0));
    areaOfWork_->clear(); // the nodes point at the items cleared below
    areaOfVol_->clear();
    for (TAreaList* list :
         {&work_.WorkInclude, &work_.WorkExclude, &work_.VolInclude, &work_.VolExclude})
        list->clear();
    work_.ScaleItems.clear();
    for (QString* text : {&work_.AreaOfWork, &work_.AreaOfWorkExclude, &work_.AreaOfVol,
                          &work_.AreaOfVolExclude, &work_.Scale})
        text->clear();
    work_.Id = 0;
    work_.TarifSum = 0;
    tarifSum_->setValue(0);
    groupFlag_->setCurrentIndex(0);
    RebuildAreaTree(areaOfWork_);
    RebuildAreaTree(areaOfVol_);
}

void TFormTaxAddTarif::ResetGrid(TAdvColumnGrid* grid) {
    grid->SetRowCount(2);
    grid->SetCell(kLevel, 1, QStringLiteral("0"));
    grid->SetCell(kSum, 1, QStringLiteral("0"));
    grid->SetCell(kPercent, 1, QString());
    grid->SortByColumn(kLevel, true);
}

void TFormTaxAddTarif::LoadTarif(const TTaxTarif& tarif) {
    areaOfWork_->clear();
    areaOfVol_->clear();
    for (TAreaList* list :
         {&work_.WorkInclude, &work_.WorkExclude, &work_.VolInclude, &work_.VolExclude})
        list->clear();
    work_.ScaleItems.clear();
    work_.CopyFrom(&tarif);
    work_.ParseAreas();
    work_.ParseScale();
    LinkTarif(work_, TReferenceData::Current());
    switch (work_.Algorithm) {
    case 1:
        FillGridFromScale(scaleOfVol_);
        break;
    case 2:
        FillGridFromScale(scaleOfCount_);
        break;
    case 3:
        work_.ScaleItems.clear();
        work_.Scale.clear();
        work_.VolInclude.clear();
        work_.VolExclude.clear();
        work_.AreaOfVol.clear();
        work_.AreaOfVolExclude.clear();
        break;
    case 4:
        work_.ScaleItems.clear();
        work_.Scale.clear();
        for (TAreaList* list :
             {&work_.WorkInclude, &work_.WorkExclude, &work_.VolInclude, &work_.VolExclude})
            list->clear();
        for (QString* text : {&work_.AreaOfWork, &work_.AreaOfWorkExclude, &work_.AreaOfVol,
                              &work_.AreaOfVolExclude})
            text->clear();
        break;
    default:
        break;
    }
    RebuildAreaTree(areaOfWork_);
    RebuildAreaTree(areaOfVol_);
    accounts_->setCurrentIndex(IndexOfObjectId(*accounts_, work_.DestAccountId));
    types_->setCurrentIndex(types_->findData(work_.TarifType));
    groupFlag_->setCurrentIndex(groupFlag_->findData(work_.GroupFlag));
    algorithms_->setCurrentIndex(algorithms_->findData(work_.Algorithm));
    name_->setText(work_.Name);
    tarifSum_->setValue(work_.TarifSum);
    SetPagesFor(work_.Algorithm);
}

void TFormTaxAddTarif::RefillDestAccounts(const TTaxLists& lists) {
    accounts_->clear();
    for (const TTaxSelfAccount* account : lists.SelfAccounts)
        AddTaxAccount(*accounts_, account);
}

void TFormTaxAddTarif::EmptyDestAccounts() {
    accounts_->clear();
}

// ---- pages --------------------------------------------------------------------------

void TFormTaxAddTarif::SetPagesFor(int algorithm) {
    const PageSet set = PagesOf(algorithm);
    for (int page = 0; page < kPageCount; ++page)
        pages_->setTabVisible(page, set.shown[page]);
    if (set.active >= 0)
        pages_->setCurrentIndex(set.active);
    // Without a page the tab widget would still show the page last current.
    pages_->setVisible(set.active >= 0);
}

bool TFormTaxAddTarif::PageShown(Page page) const {
    return pages_->isTabVisible(page);
}

// ---- scales -------------------------------------------------------------------------

void TFormTaxAddTarif::AddScaleLine(TAdvColumnGrid* grid, double level, double sum, double rate) {
    level = RoundScaleLevel(level);
    auto write = [&](int row) {
        grid->SetCell(kLevel, row, ScaleLevelText(level));
        grid->SetCell(kPercent, row, rate != 0 ? ScaleRateText(rate) : QString());
        grid->SetCell(kSum, row, rate != 0 ? QString() : ScaleSumText(sum));
    };
    const double none = std::numeric_limits<double>::quiet_NaN();
    for (int row = grid->FixedRows(); row < grid->RowCount(); ++row) {
        const double held = ParseGroupedNumber(grid->Cell(kLevel, row), none);
        if (!std::isnan(held) && RoundScaleLevel(held) == level) {
            write(row); // one line per whole level: the new values replace the old
            return;
        }
    }
    const int row = grid->RowCount();
    grid->SetRowCount(row + 1);
    write(row);
    grid->SortByColumn(kLevel, true);
}

void TFormTaxAddTarif::DeleteScaleLine(TAdvColumnGrid* grid) {
    const QModelIndex current = grid->currentIndex();
    if (!current.isValid())
        return;
    const int row = current.row() + grid->FixedRows();
    if (row == grid->FixedRows()) { // a scale keeps its first line
        grid->SetCell(kLevel, row, QStringLiteral("0"));
        grid->SetCell(kSum, row, QStringLiteral("0"));
        grid->SetCell(kPercent, row, QString());
    } else if (row < grid->RowCount()) {
        grid->RemoveRow(row);
    }
}

void TFormTaxAddTarif::FillGridFromScale(TAdvColumnGrid* grid) {
    int row = grid->FixedRows();
    for (const auto& line : work_.ScaleItems) {
        if (row >= grid->RowCount())
            grid->SetRowCount(row + 1);
        grid->SetCell(kLevel, row, ScaleLevelText(line->Level));
        grid->SetCell(kSum, row, line->IsSumLine() ? ScaleSumText(line->Sum) : QString());
        grid->SetCell(kPercent, row, line->IsSumLine() ? QString() : ScaleRateText(line->Rate));
        ++row;
    }
    grid->SortByColumn(kLevel, true);
}

void TFormTaxAddTarif::ScaleFromGrid(const TAdvColumnGrid* grid) {
    work_.ScaleItems.clear();
    for (int row = grid->FixedRows(); row < grid->RowCount(); ++row) {
        auto line = std::make_unique<TScaleItem>();
        line->Level = ParseGroupedNumber(grid->Cell(kLevel, row), 0);
        const QString percent = grid->Cell(kPercent, row).trimmed();
        if (!percent.isEmpty()) {
            line->Flag = 0;
            line->Rate = ParseGroupedNumber(percent, 0);
        } else {
            line->Flag = 1;
            line->Sum = ParseGroupedNumber(grid->Cell(kSum, row), 0);
        }
        work_.ScaleItems.push_back(std::move(line));
    }
}

void TFormTaxAddTarif::AddScaleLineFromDialog(TAdvColumnGrid* grid, int mode) {
    TFormTaxAddScalaLine* dialog = TFormTaxAddScalaLine::Instance();
    if (dialog && dialog->Execute(mode) == QDialog::Accepted)
        AddScaleLine(grid, dialog->Level(), dialog->Sum(), dialog->Percent());
}

// ---- areas --------------------------------------------------------------------------

TAreaList& TFormTaxAddTarif::IncludeList(const QTreeWidget* tree) {
    return tree == areaOfWork_ ? work_.WorkInclude : work_.VolInclude;
}

TAreaList& TFormTaxAddTarif::ExcludeList(const QTreeWidget* tree) {
    return tree == areaOfWork_ ? work_.WorkExclude : work_.VolExclude;
}

void TFormTaxAddTarif::RebuildAreaTree(QTreeWidget* tree) {
    tree->clear();
    const std::pair<int, const char*> headers[] = {{kIncludeHeader, kIncludeCaption},
                                                   {kExcludeHeader, kExcludeCaption}};
    for (const auto& [kind, caption] : headers) {
        auto* header = new QTreeWidgetItem(tree, {Utf(caption)});
        SetNodeTag(header, kind);
        for (const auto& item : kind == kIncludeHeader ? IncludeList(tree) : ExcludeList(tree)) {
            auto* node = new QTreeWidgetItem(header, {item->Name});
            SetNodeTag(node, kAreaItem);
            SetNodeObject(node, item.get());
        }
        header->setExpanded(true);
    }
}

bool TFormTaxAddTarif::AddAreaItem(QTreeWidget* tree, std::unique_ptr<TAreaItem> item) {
    if (!item)
        return false;
    QTreeWidgetItem* header = tree->currentItem();
    if (!header)
        header = tree->topLevelItem(0);
    else if (NodeTag(header) == kAreaItem)
        header = header->parent();
    if (!header || (NodeTag(header) != kIncludeHeader && NodeTag(header) != kExcludeHeader))
        return false;
    TAreaList& list = NodeTag(header) == kIncludeHeader ? IncludeList(tree) : ExcludeList(tree);
    for (const auto& held : list)
        if (held->SameCodes(*item))
            return false;
    item->Owner = &work_;
    auto* node = new QTreeWidgetItem(header, {item->Name});
    SetNodeTag(node, kAreaItem);
    SetNodeObject(node, item.get());
    header->setExpanded(true);
    list.push_back(std::move(item));
    return true;
}

void TFormTaxAddTarif::DeleteAreaItem(QTreeWidget* tree) {
    QTreeWidgetItem* node = tree->currentItem();
    if (!node || NodeTag(node) != kAreaItem)
        return;
    const auto* item = static_cast<const TAreaItem*>(NodeObject(node));
    delete node;
    EraseItem(IncludeList(tree), item);
    EraseItem(ExcludeList(tree), item);
}

void TFormTaxAddTarif::AddAreaItemFromDialog(QTreeWidget* tree) {
    TFormTaxAddArea* dialog = TFormTaxAddArea::Instance();
    if (dialog && dialog->exec() == QDialog::Accepted)
        AddAreaItem(tree, dialog->BuildAreaItem());
}

// ---- OK and the result --------------------------------------------------------------

QString TFormTaxAddTarif::CheckInput() const {
    if (algorithms_->currentIndex() < 0)
        return Utf("Алгоритм не выбран!");
    if (name_->text().trimmed().isEmpty())
        return Utf("Название тарифа не задано!");
    if (types_->currentIndex() < 0)
        return Utf("Тип комиссии не выбран!");
    if (!ComboObject(*accounts_, accounts_->currentIndex()))
        return Utf("Счет для зачисления не выбран!");
    if (PageShown(kPositionChange) && tarifSum_->value() == 0)
        return Utf("Сумма за изменение позиции не задана!");
    if (PageShown(kPositionChange) && groupFlag_->currentIndex() < 0)
        return Utf("Признак группировки изменения позиции субклиентов не выбран!");
    if (PageShown(kAreaOfWork) && work_.WorkInclude.empty())
        return Utf("Область действия не задана!");
    if (PageShown(kAreaOfVol) && work_.VolInclude.empty())
        return Utf("Область определения объёма не задана!");
    return {};
}

void TFormTaxAddTarif::accept() {
    const QString failure = CheckInput();
    if (!failure.isEmpty()) {
        Services::MessageBox().Show(this, failure, windowTitle(), MsgKind::Error, MsgCancel);
        return;
    }
    QDialog::accept();
}

std::unique_ptr<TTaxTarif> TFormTaxAddTarif::BuildResult() {
    const TBaseSimpleObject* account = ComboObject(*accounts_, accounts_->currentIndex());
    work_.Algorithm = SelectedCode(algorithms_, 0);
    work_.Name = name_->text();
    work_.TarifType = SelectedCode(types_, 0);
    work_.DestAccountId = account ? account->Id : 0;
    work_.GroupFlag = 1;
    work_.TarifSum = 0;
    switch (work_.Algorithm) {
    case 1:
        ScaleFromGrid(scaleOfVol_);
        break;
    case 2:
        ScaleFromGrid(scaleOfCount_);
        break;
    case 3:
        work_.ScaleItems.clear();
        work_.VolInclude.clear();
        work_.VolExclude.clear();
        work_.TarifSum = tarifSum_->value();
        work_.GroupFlag = SelectedCode(groupFlag_, 1);
        break;
    default:
        work_.ScaleItems.clear();
        for (TAreaList* list :
             {&work_.WorkInclude, &work_.WorkExclude, &work_.VolInclude, &work_.VolExclude})
            list->clear();
        break;
    }
    // The trees must not point at the items cleared above.
    RebuildAreaTree(areaOfWork_);
    RebuildAreaTree(areaOfVol_);
    work_.SerializeScale();
    work_.SerializeAreas();

    auto result = std::make_unique<TTaxTarif>();
    result->CopyFrom(&work_);
    result->ParseAreas();
    result->ParseScale();
    LinkTarif(*result, TReferenceData::Current());
    return result;
}
