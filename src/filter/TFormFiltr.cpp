#include "filter/TFormFiltr.h"
#include "filter/FilterTreeModel.h"
#include "session/wire/Cp1251.h"
#include "shell/base/NumberText.h"
#include "shell/base/Services.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QPointer<TFormFiltr>& InstanceSlot() {
    static QPointer<TFormFiltr> instance;
    return instance;
}

QCheckBox* AddBox(QGroupBox* group, const QString& caption, bool& target) {
    auto* box = new QCheckBox(caption, group);
    box->setChecked(target);
    group->layout()->addWidget(box);
    QObject::connect(box, &QCheckBox::toggled, group, [&target](bool on) { target = on; });
    return box;
}

QGroupBox* MakeGroup(const QString& title, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(0);
    return group;
}

} // namespace

// One half of the middle: title, search controls, tree, popup menu and search state.
struct TFormFiltr::Pane {
    bool accounts = true;
    QWidget* box = nullptr;
    QLineEdit* search = nullptr;
    QToolButton* find = nullptr;
    QToolButton* findNext = nullptr;
    QTreeView* view = nullptr;
    TFilterTreeModel* model = nullptr;
    QMenu* popup = nullptr;
    QAction* invert = nullptr;
    QAction* findAgain = nullptr;
    QAction* option = nullptr; // show client names / show securities not traded
    QString typed;             // typed since the last search, upper case
    QString last;              // the last search text
};

TFormFiltr::TFormFiltr(QWidget* parent) : QDialog(parent) {
    if (InstanceSlot().isNull())
        InstanceSlot() = this;
    setWindowTitle(QStringLiteral("Фильтр"));
    setMinimumSize(384, 250);
    resize(560, 460);

    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(4, 4, 4, 4);

    topPanel_ = new QWidget(this);
    auto* top = new QHBoxLayout(topPanel_);
    top->setContentsMargins(0, 0, 0, 0);
    sideGroup_ = MakeGroup(QStringLiteral("Вид"), topPanel_);
    sell_ = AddBox(sideGroup_, QStringLiteral("продажа"), logic_.Sell);
    buy_ = AddBox(sideGroup_, QStringLiteral("покупка"), logic_.Buy);
    debitCreditGroup_ = MakeGroup(QStringLiteral("Вид"), topPanel_);
    debit_ = AddBox(debitCreditGroup_, QStringLiteral("списание"), logic_.Debit);
    credit_ = AddBox(debitCreditGroup_, QStringLiteral("зачисление"), logic_.Credit);
    positionGroup_ = MakeGroup(QStringLiteral("Позиция"), topPanel_);
    short_ = AddBox(positionGroup_, QStringLiteral("короткая"), logic_.Short);
    long_ = AddBox(positionGroup_, QStringLiteral("длинная"), logic_.Long);
    statusGroup_ = MakeGroup(QStringLiteral("Статус заявок"), topPanel_);
    active_ = AddBox(statusGroup_, QStringLiteral(" Активные"), logic_.Active);
    executed_ = AddBox(statusGroup_, QStringLiteral(" Удовлетворенные"), logic_.Executed);
    cancelled_ = AddBox(statusGroup_, QStringLiteral(" Отмененные"), logic_.Cancelled);
    // Shown groups spread with equal gaps, in the order side, transaction side,
    // position, status; hidden ones take no room.
    top->addStretch(1);
    for (QGroupBox* g : {sideGroup_, debitCreditGroup_, positionGroup_, statusGroup_}) {
        top->addWidget(g);
        top->addStretch(1);
    }
    main->addWidget(topPanel_);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setChildrenCollapsible(false);
    acc_ = MakePane(QStringLiteral("Клиенты\\Счета"), true);
    bum_ = MakePane(QStringLiteral("Инструменты"), false);
    splitter_->addWidget(acc_->box);
    splitter_->addWidget(bum_->box);
    main->addWidget(splitter_, 1);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Отмена"), this);
    // Enter belongs to the search fields and the trees, never to a default button.
    ok_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    main->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, &TFormFiltr::ConfirmClick);
    connect(cancel_, &QPushButton::clicked, this, [this] { done(mrCancel); });

    typingTimer_.setSingleShot(true);
    typingTimer_.setInterval(1000);
    connect(&typingTimer_, &QTimer::timeout, this, &TFormFiltr::TypingTimerFired);
}

TFormFiltr::~TFormFiltr() {
    delete acc_;
    delete bum_;
}

TFormFiltr& TFormFiltr::Instance() {
    if (InstanceSlot().isNull())
        new TFormFiltr(nullptr); // registers itself; lives for the rest of the run
    return *InstanceSlot();
}

bool TFormFiltr::HasInstance() {
    return !InstanceSlot().isNull();
}

TFormFiltr::Pane* TFormFiltr::MakePane(const QString& title, bool accounts) {
    auto* pane = new Pane;
    pane->accounts = accounts;
    pane->box = new QWidget(splitter_);
    pane->box->setMinimumWidth(70);
    auto* layout = new QVBoxLayout(pane->box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(new QLabel(title, pane->box));

    auto* searchRow = new QHBoxLayout();
    pane->search = new QLineEdit(pane->box);
    pane->search->setPlaceholderText(QStringLiteral("Поиск"));
    pane->search->setToolTip(QStringLiteral("Поиск"));
    pane->find = new QToolButton(pane->box);
    pane->find->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    pane->find->setToolTip(QStringLiteral("Искать"));
    pane->findNext = new QToolButton(pane->box);
    pane->findNext->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    pane->findNext->setToolTip(QStringLiteral("Искать дальше"));
    searchRow->addWidget(pane->search, 1);
    searchRow->addWidget(pane->find);
    searchRow->addWidget(pane->findNext);
    layout->addLayout(searchRow);

    pane->model = new TFilterTreeModel(accounts ? logic_.AccTree : logic_.BumTree, this);
    pane->view = new QTreeView(pane->box);
    pane->view->setHeaderHidden(true);
    pane->view->setUniformRowHeights(true);
    pane->view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pane->view->setSelectionMode(QAbstractItemView::SingleSelection);
    pane->view->setModel(pane->model);
    pane->view->setContextMenuPolicy(Qt::CustomContextMenu);
    pane->view->installEventFilter(this);
    layout->addWidget(pane->view, 1);
    connect(pane->model, &TFilterTreeModel::ChecksChanged, pane->view,
            [view = pane->view] { view->viewport()->update(); });

    pane->popup = new QMenu(this);
    pane->invert = pane->popup->addAction(QStringLiteral("Инвертировать отметки"));
    pane->findAgain = pane->popup->addAction(QStringLiteral("Искать далее"));
    pane->findAgain->setShortcut(QKeySequence(Qt::Key_F7));
    pane->popup->addSeparator();
    pane->option =
        pane->popup->addAction(accounts ? QStringLiteral("Показыть названия клиентов")
                                        : QStringLiteral("Показыть не торгующиеся бумаги"));
    pane->option->setCheckable(true);
    pane->option->setChecked(true);
    connect(pane->view, &QWidget::customContextMenuRequested, this, [pane](const QPoint& pos) {
        pane->popup->exec(pane->view->viewport()->mapToGlobal(pos));
    });
    connect(pane->invert, &QAction::triggered, this, [this, pane] {
        if (pane->accounts)
            logic_.InvertAccMarks();
        else
            logic_.InvertBumMarks();
        pane->model->MarksChanged();
    });
    connect(pane->findAgain, &QAction::triggered, this,
            [this, pane] { Find(*pane, pane->last, true); });
    connect(pane->option, &QAction::toggled, this, [this, pane] {
        if (pane->accounts)
            FillTreeAcc();
        else
            FillTreeBum();
    });
    connect(pane->find, &QToolButton::clicked, this, [this, pane] {
        pane->last = pane->search->text();
        Find(*pane, pane->last, false);
    });
    connect(pane->search, &QLineEdit::returnPressed, pane->find, &QToolButton::click);
    connect(pane->findNext, &QToolButton::clicked, this, [this, pane] {
        pane->last = pane->search->text();
        Find(*pane, pane->last, true);
    });
    return pane;
}

void TFormFiltr::PrepareShow(int mask) {
    mask_ = mask;
    logic_.ResetForShow();
    acc_->box->setEnabled(mask & FilterMask::Accounts);
    bum_->box->setEnabled(mask & FilterMask::Securities);
    sideGroup_->setVisible(mask & FilterMask::BuySell);
    statusGroup_->setVisible(mask & FilterMask::OrderStatus);
    positionGroup_->setVisible(mask & FilterMask::Position);
    debitCreditGroup_->setVisible(mask & FilterMask::DebitCredit);
    topPanel_->setVisible(mask & (FilterMask::BuySell | FilterMask::OrderStatus |
                                  FilterMask::Position | FilterMask::DebitCredit));
    SyncBoxesFromLogic();
}

int TFormFiltr::ShowFilter(int mask) {
    PrepareShow(mask);
    return exec();
}

void TFormFiltr::ConfirmClick() {
    const QString message = logic_.Validate(mask_);
    if (!message.isEmpty()) {
        Services::MessageBox().Show(this, message, windowTitle(), MsgKind::Error, MsgCancel);
        return;
    }
    done(mrOk);
}

QString TFormFiltr::DebitCreditFilter(QString& captions) {
    const QString result = logic_.DebitCreditFilter(captions);
    SyncBoxesFromLogic(); // neither box checked checks both
    return result;
}

void TFormFiltr::SyncBoxesFromLogic() {
    const std::pair<QCheckBox*, bool> boxes[] = {
        {sell_, logic_.Sell},           {buy_, logic_.Buy},       {short_, logic_.Short},
        {long_, logic_.Long},           {active_, logic_.Active}, {executed_, logic_.Executed},
        {cancelled_, logic_.Cancelled}, {debit_, logic_.Debit},   {credit_, logic_.Credit}};
    for (const auto& [box, on] : boxes)
        box->setChecked(on);
}

void TFormFiltr::FillTreeAcc() {
    FillTreeAcc(TReferenceData::Current());
}

void TFormFiltr::FillTreeBum() {
    FillTreeBum(TReferenceData::Current());
}

void TFormFiltr::FillTreeAcc(TReferenceData& refs) {
    acc_->model->BeginRebuild();
    logic_.FillTreeAcc(refs, acc_->option->isChecked());
    acc_->model->EndRebuild();
    acc_->view->expand(acc_->model->IndexOf(logic_.AccTree.Root()));
}

void TFormFiltr::FillTreeBum(const TReferenceData& refs) {
    bum_->model->BeginRebuild();
    logic_.FillTreeBum(refs, bum_->option->isChecked());
    bum_->model->EndRebuild();
    bum_->view->expand(bum_->model->IndexOf(logic_.BumTree.Root()));
}

void TFormFiltr::ClearTrees() {
    acc_->model->BeginRebuild();
    bum_->model->BeginRebuild();
    logic_.ClearTrees();
    acc_->model->EndRebuild();
    bum_->model->EndRebuild();
}

void TFormFiltr::ForceClose() {
    if (isVisible())
        done(mrAbort);
}

int TFormFiltr::Focused(const Pane& pane) const {
    return pane.model->NodeOf(pane.view->currentIndex());
}

int TFormFiltr::FocusedAccNode() const {
    return Focused(*acc_);
}

int TFormFiltr::FocusedBumNode() const {
    return Focused(*bum_);
}

void TFormFiltr::Select(Pane& pane, int node) {
    const QModelIndex index = pane.model->IndexOf(node);
    if (!index.isValid())
        return;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        pane.view->expand(p);
    pane.view->setCurrentIndex(index);
    pane.view->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    pane.view->scrollTo(index);
}

bool TFormFiltr::Find(Pane& pane, const QString& text, bool fromFocused) {
    const int from = Focused(pane);
    const int node = pane.accounts ? logic_.FindAcc(text, fromFocused, from)
                                   : logic_.FindBum(text, fromFocused, from);
    if (node == TFilterTree::None)
        return false;
    Select(pane, node);
    return true;
}

bool TFormFiltr::FindAcc(const QString& text, bool fromFocused) {
    return Find(*acc_, text, fromFocused);
}

bool TFormFiltr::FindBum(const QString& text, bool fromFocused) {
    return Find(*bum_, text, fromFocused);
}

void TFormFiltr::TypingTimerFired() {
    typingTimer_.stop();
    for (Pane* pane : {acc_, bum_}) {
        if (pane->typed.isEmpty())
            continue;
        Find(*pane, pane->typed, false);
        pane->last = pane->typed;
        pane->typed.clear();
    }
}

void TFormFiltr::FlipAndMove(Pane& pane, bool forward) {
    const TFilterTree& tree = pane.accounts ? logic_.AccTree : logic_.BumTree;
    const int node = Focused(pane);
    if (node == TFilterTree::None)
        return;
    pane.model->ToggleNode(node);
    const int next = forward ? tree.Next(node) : tree.Previous(node);
    if (next != TFilterTree::None)
        Select(pane, next);
}

bool TFormFiltr::HandleTreeKey(Pane& pane, QKeyEvent* key) {
    const Qt::KeyboardModifiers mods =
        key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int k = key->key();
    if ((k == Qt::Key_F7 && (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) ||
        (k == Qt::Key_L && mods == Qt::ControlModifier)) {
        Find(pane, pane.last, true);
        return true;
    }
    // Only Shift marks while moving: Ctrl+arrows move as the tree moves, so a user who
    // walks the tree with them does not change the filter unawares.
    if ((k == Qt::Key_Space && mods == Qt::ControlModifier) ||
        ((k == Qt::Key_Down || k == Qt::Key_Up) && mods == Qt::ShiftModifier)) {
        FlipAndMove(pane, k != Qt::Key_Up);
        return true;
    }
    if ((k == Qt::Key_Space || k == Qt::Key_Return || k == Qt::Key_Enter) &&
        mods == Qt::NoModifier) {
        pane.model->ToggleNode(Focused(pane));
        return true;
    }
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint() || (mods & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    // Typed characters collect into a search that runs a second after the last one;
    // none of them reaches the tree.
    if (IsWordChar(Cp1251::EncodeChar(text.at(0)))) {
        pane.typed += text.at(0).toUpper();
        pane.search->setText(pane.typed);
        typingTimer_.start();
    }
    return true;
}

bool TFormFiltr::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        for (Pane* pane : {acc_, bum_}) {
            if (watched == pane->view)
                return HandleTreeKey(*pane, static_cast<QKeyEvent*>(event));
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormFiltr::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int half = splitter_->width() / 2;
    splitter_->setSizes({half, splitter_->width() - half});
}

QTreeView* TFormFiltr::AccTreeView() const {
    return acc_->view;
}
QTreeView* TFormFiltr::BumTreeView() const {
    return bum_->view;
}
QLineEdit* TFormFiltr::AccSearchField() const {
    return acc_->search;
}
QLineEdit* TFormFiltr::BumSearchField() const {
    return bum_->search;
}
QAction* TFormFiltr::ShowClientsAction() const {
    return acc_->option;
}
QAction* TFormFiltr::ShowNotTradedAction() const {
    return bum_->option;
}
