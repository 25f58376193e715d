#include "commissions/TFormTaxAddArea.h"

#include "commissions/TaxObjects.h"
#include "grids/NodeOps.h"
#include "grids/TComboBoxIndexed.h"
#include "grids/TtsvTreeView.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHash>
#include <QLabel>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace {

TFormTaxAddArea* g_instance = nullptr;

QString Utf(const char* text) {
    return QString::fromUtf8(text);
}

// Node objects are only read; the node slot takes a plain pointer.
TBaseSimpleObject* Slot(const TBaseSimpleObject* object) {
    return const_cast<TBaseSimpleObject*>(object);
}

} // namespace

TFormTaxAddArea::TFormTaxAddArea(QWidget* parent) : QDialog(parent) {
    if (!g_instance)
        g_instance = this;
    setWindowTitle(Utf("Добавить площадка\\секцию"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Utf("Площадка - Секции"), this));
    tree_ = new TtsvTreeView(this);
    tree_->setObjectName(QStringLiteral("vtBoards"));
    tree_->SetCheckMode(TtsvTreeView::tvmRadioTreeView);
    tree_->setUniformRowHeights(true);
    tree_->setContextMenuPolicy(Qt::ActionsContextMenu);
    layout->addWidget(tree_, 1);
    layout->addWidget(new QLabel(Utf("Тип бумаги"), this));
    types_ = new QComboBox(this);
    types_->setObjectName(QStringLiteral("cbBumType"));
    for (const TBaseSimpleObject* type : TaxStaticObjects())
        if (type->Kind == kKindBumType)
            AddComboObject(*types_, type->Name, type);
    layout->addWidget(types_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(460, 520);

    auto* next = new QAction(Utf("Искать далее"), tree_);
    next->setShortcuts({QKeySequence(Qt::Key_F7), QKeySequence(Qt::SHIFT | Qt::Key_F7),
                        QKeySequence(Qt::CTRL | Qt::Key_L)});
    next->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(next, &QAction::triggered, this, &TFormTaxAddArea::SearchNext);
    tree_->addAction(next);

    typingTimer_ = new QTimer(this);
    typingTimer_->setSingleShot(true);
    typingTimer_->setInterval(1000);
    connect(typingTimer_, &QTimer::timeout, this, &TFormTaxAddArea::FinishTyping);
    connect(tree_, &TtsvTreeView::KeyTyped, this, &TFormTaxAddArea::TypeText);
    connect(tree_, &TtsvTreeView::NodeChecked, this, &TFormTaxAddArea::NodeChecked);
}

TFormTaxAddArea::~TFormTaxAddArea() {
    if (g_instance == this)
        g_instance = nullptr;
}

TFormTaxAddArea* TFormTaxAddArea::Instance() {
    return g_instance;
}

void TFormTaxAddArea::ClearTree() {
    checked_ = nullptr;
    tree_->clear();
}

void TFormTaxAddArea::FillTree(const TReferenceData& refs) {
    ClearTree();
    // Boards by trading system and securities by board code, so the tree is one
    // pass over each list whatever their sizes.
    QHash<qint32, std::vector<const TBoardObj*>> boardsOf;
    for (const TBoardObj* board : refs.Boards)
        boardsOf[board->TradingSystemId].push_back(board);
    QHash<QString, std::vector<const TBumObj*>> securitiesOf;
    for (const TBumObj* security : refs.Securities)
        securitiesOf[security->BoardCode].push_back(security);

    auto node = [&](QTreeWidgetItem* parent, int kind, const TBaseSimpleObject* object,
                    const QString& text) {
        auto* item = new QTreeWidgetItem(parent, {text});
        SetNodeTag(item, kind);
        SetNodeObject(item, Slot(object));
        tree_->SetNodeState(item, TtsvTreeView::Unchecked);
        return item;
    };
    const bool updates = tree_->updatesEnabled();
    tree_->setUpdatesEnabled(false);
    auto* root = new QTreeWidgetItem({AllAreasObject()->Name});
    SetNodeTag(root, kAllAreas);
    SetNodeObject(root, Slot(AllAreasObject()));
    tree_->SetNodeState(root, TtsvTreeView::Unchecked);
    for (const TTSObj* system : refs.TradingSystems) {
        QTreeWidgetItem* systemNode = node(root, kTradingSystem, system, system->Name);
        for (const TBoardObj* board : boardsOf.value(system->Id)) {
            QTreeWidgetItem* boardNode = node(systemNode, kBoard, board, board->Name);
            for (const TBumObj* security : securitiesOf.value(board->BoardCode))
                node(boardNode, kSecurity, security,
                     QStringLiteral("%1  %2")
                         .arg(security->Id, 4, 10, QLatin1Char('0'))
                         .arg(security->Name));
        }
    }
    tree_->addTopLevelItem(root); // one insertion for the whole tree
    root->setExpanded(true);
    tree_->setUpdatesEnabled(updates);
}

void TFormTaxAddArea::PrepareShow() {
    if (types_->currentIndex() < 0 && types_->count() > 0)
        types_->setCurrentIndex(0);
    if (!checked_ && tree_->topLevelItemCount() > 0)
        Choose(tree_->topLevelItem(0));
}

void TFormTaxAddArea::showEvent(QShowEvent* event) {
    PrepareShow();
    QDialog::showEvent(event);
}

void TFormTaxAddArea::Choose(QTreeWidgetItem* node) {
    if (node)
        tree_->ToggleNode(node); // raises NodeChecked when it changes the choice
}

void TFormTaxAddArea::NodeChecked(QTreeWidgetItem* node) {
    checked_ = node;
    const bool security = NodeTag(node) == kSecurity;
    if (security)
        types_->setCurrentIndex(0);
    types_->setEnabled(!security);
}

std::unique_ptr<TAreaItem> TFormTaxAddArea::BuildAreaItem() const {
    if (!checked_)
        return nullptr;
    auto item = std::make_unique<TAreaItem>();
    const TBaseSimpleObject* object = NodeObject(checked_);
    switch (NodeTag(checked_)) {
    case kTradingSystem:
        item->TsObj = dynamic_cast<const TTSObj*>(object);
        break;
    case kBoard:
        item->BoardObj = dynamic_cast<const TBoardObj*>(object);
        item->TsObj = dynamic_cast<const TTSObj*>(NodeObject(checked_->parent()));
        break;
    case kSecurity:
        item->BumObj = dynamic_cast<const TBumObj*>(object);
        if (checked_->parent())
            item->TsObj = dynamic_cast<const TTSObj*>(NodeObject(checked_->parent()->parent()));
        break;
    default:
        break;
    }
    if (item->TsObj)
        item->TsId = item->TsObj->Id;
    if (item->BoardObj)
        item->BoardId = item->BoardObj->Id;
    if (item->BumObj)
        item->BumId = item->BumObj->Id;
    item->BumTypeObj = ComboObject(*types_, types_->currentIndex());
    if (!item->BumTypeObj)
        item->BumTypeObj = FindBumType(-1);
    item->BumTypeId = item->BumTypeObj->Id;
    DescribeAreaItem(*item);
    return item;
}

bool TFormTaxAddArea::Search(const QString& text, QTreeWidgetItem* start) {
    if (text.isEmpty())
        return false;
    bool isNumber = false;
    const qint32 number = text.toInt(&isNumber, 10);
    isNumber = isNumber && number != 0;
    QTreeWidgetItemIterator it =
        start ? QTreeWidgetItemIterator(start) : QTreeWidgetItemIterator(tree_);
    for (; *it; ++it) {
        QTreeWidgetItem* node = *it;
        if (NodeTag(node) != kSecurity)
            continue;
        const TBaseSimpleObject* security = NodeObject(node);
        if (!security)
            continue;
        const bool match = isNumber ? security->Id == number
                                    : security->Name.startsWith(text, Qt::CaseInsensitive);
        if (match) {
            tree_->setCurrentItem(node);
            tree_->scrollToItem(node);
            return true;
        }
    }
    return false;
}

void TFormTaxAddArea::SearchNext() {
    QTreeWidgetItem* focused = tree_->currentItem();
    QTreeWidgetItem* start = nullptr;
    if (focused) {
        QTreeWidgetItemIterator after(focused);
        ++after;
        start = *after; // null after the last node: from the first
    }
    Search(lastSearch_, start);
}

void TFormTaxAddArea::TypeText(const QString& text) {
    typing_ += text;
    typingTimer_->start();
}

void TFormTaxAddArea::FinishTyping() {
    typingTimer_->stop();
    lastSearch_ = typing_;
    typing_.clear();
    Search(lastSearch_, nullptr);
}
