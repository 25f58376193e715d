#include "margin/TFormMarginAddRule.h"
#include "filter/FilterTreeModel.h"
#include "margin/LimitSpinBox.h"
#include "shell/base/Services.h"
#include "shell/refs/ReferenceData.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

// The filter tree's model with the unseen node above the top level: its children are
// the view's top-level rows.
class TMarginTreeModel : public TFilterTreeModel {
public:
    TMarginTreeModel(TFilterTree& tree, QObject* parent)
        : TFilterTreeModel(tree, parent), tree_(tree) {}

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        if (parent.isValid() || tree_.IsEmpty())
            return TFilterTreeModel::index(row, column, parent);
        const auto& top = tree_.Node(tree_.Root()).children;
        if (column != 0 || row < 0 || row >= int(top.size()))
            return {};
        return createIndex(row, 0, quintptr(top[size_t(row)]));
    }
    QModelIndex parent(const QModelIndex& child) const override {
        const int node = NodeOf(child);
        if (node == TFilterTree::None || tree_.Node(node).parent == tree_.Root())
            return {};
        return TFilterTreeModel::parent(child);
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        if (parent.isValid() || tree_.IsEmpty())
            return TFilterTreeModel::rowCount(parent);
        return int(tree_.Node(tree_.Root()).children.size());
    }

private:
    TFilterTree& tree_;
};

namespace {
QPointer<TFormMarginAddRule>& Slot() {
    static QPointer<TFormMarginAddRule> slot;
    return slot;
}
} // namespace

TFormMarginAddRule::TFormMarginAddRule(QWidget* parent) : QDialog(parent) {
    Slot() = this;
    setWindowTitle(QStringLiteral("Добавить маржинальные бумаги"));
    resize(460, 560);
    auto* layout = new QVBoxLayout(this);
    model_ = new TMarginTreeModel(logic_.Tree, this);
    view_ = new QTreeView(this);
    view_->setHeaderHidden(true);
    view_->setUniformRowHeights(true);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setModel(model_);
    view_->installEventFilter(this);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(model_, &TFilterTreeModel::ChecksChanged, view_,
            [this] { view_->viewport()->update(); });
    layout->addWidget(view_, 1);
    layout->addWidget(new QLabel(QStringLiteral("Лимит"), this));
    limit_ = new TLimitSpinBox(this);
    layout->addWidget(limit_);
    auto* hint = new QLabel(
        QStringLiteral(
            "Разрешить продавать из моего портфеля но не более чем...(0 - без ограничений)"),
        this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    buyEnable_ = new QCheckBox(QStringLiteral("Разрешить маржинальную торговлю"), this);
    calc_ = new QCheckBox(QStringLiteral("Учитывать при расчете уровня маржи"), this);
    layout->addWidget(buyEnable_);
    layout->addWidget(calc_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    buttons->button(QDialogButtonBox::Ok)->setAutoDefault(false);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormMarginAddRule::ConfirmClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    popup_ = new QMenu(this);
    connect(popup_->addAction(QStringLiteral("Инвертировать отметки")), &QAction::triggered, this,
            [this] { InvertMarks(); });
    QAction* again = popup_->addAction(QStringLiteral("Искать далее"));
    again->setShortcut(QKeySequence(Qt::Key_F7));
    connect(again, &QAction::triggered, this, [this] { Search(last_, true); });
    popup_->addSeparator();
    showNotTraded_ = popup_->addAction(QStringLiteral("Показыть не торгующиеся бумаги"));
    showNotTraded_->setCheckable(true);
    connect(showNotTraded_, &QAction::triggered, this, [this] {
        if (refs_)
            FillTreeBum(*refs_);
    });
    connect(view_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup_->exec(view_->viewport()->mapToGlobal(pos)); });

    typingTimer_.setSingleShot(true);
    typingTimer_.setInterval(1000);
    connect(&typingTimer_, &QTimer::timeout, this, &TFormMarginAddRule::TypingTimerFired);
}

TFormMarginAddRule::~TFormMarginAddRule() = default;

TFormMarginAddRule* TFormMarginAddRule::Instance() {
    return Slot().data();
}

void TFormMarginAddRule::FillTreeBum(const TReferenceData& refs) {
    refs_ = &refs;
    model_->BeginRebuild();
    logic_.Fill(refs, showNotTraded_->isChecked());
    model_->EndRebuild();
    view_->expand(model_->IndexOf(logic_.AllNode()));
}

void TFormMarginAddRule::ClearTree() {
    model_->BeginRebuild();
    logic_.Clear();
    model_->EndRebuild();
}

int TFormMarginAddRule::ShowModal() {
    chosen_.clear();
    return exec();
}

void TFormMarginAddRule::ConfirmClick() {
    const int all = logic_.AllNode();
    const auto refuse = [this](const QString& text) {
        Services::MessageBox().Show(this, text, windowTitle(), MsgKind::Error, MsgCancel);
    };
    if (all != TFilterTree::None && logic_.Tree.Mark(all) == CheckMark::Checked) {
        refuse(QStringLiteral("Сделать ВСЕ бумаги маржинальными!? Не не может такого быть!"));
        return;
    }
    if (all == TFilterTree::None || logic_.Tree.Mark(all) == CheckMark::Unchecked) {
        // Only "ВСЕ БУМАГИ" is looked at: securities beside it count when checked.
        const QStringList chosen = logic_.Chosen();
        if (chosen.isEmpty()) {
            refuse(QStringLiteral("Не выбрано ни одной бумаги!"));
            return;
        }
    }
    chosen_ = logic_.Chosen();
    if (chosen_.size() > 100 &&
        Services::MessageBox().Show(this,
                                    QStringLiteral("Вы точно хотите добавить более 100 бумаг!?"),
                                    windowTitle(), MsgKind::Warning, MsgOk | MsgCancel) != MsgOk) {
        chosen_.clear();
        return;
    }
    accept();
}

double TFormMarginAddRule::Limit() const {
    return limit_->value();
}

bool TFormMarginAddRule::MarginTrading() const {
    return buyEnable_->isChecked();
}

bool TFormMarginAddRule::CountsInLevel() const {
    return calc_->isChecked();
}

int TFormMarginAddRule::FocusedNode() const {
    return model_->NodeOf(view_->currentIndex());
}

void TFormMarginAddRule::Focus(int node) {
    const QModelIndex index = model_->IndexOf(node);
    if (!index.isValid())
        return;
    view_->setCurrentIndex(index);
    view_->scrollTo(index);
}

void TFormMarginAddRule::Search(const QString& text, bool again) {
    const int found = logic_.Find(text, again, FocusedNode());
    if (found != TFilterTree::None)
        Focus(found);
}

void TFormMarginAddRule::InvertMarks() {
    logic_.Invert();
    model_->MarksChanged();
}

void TFormMarginAddRule::FlipAndMove(bool forward) {
    const int node = FocusedNode();
    if (node == TFilterTree::None)
        return;
    model_->ToggleNode(node);
    const int next = forward ? logic_.Tree.Next(node) : logic_.Tree.Previous(node);
    if (next != TFilterTree::None && next != logic_.Top())
        Focus(next);
}

void TFormMarginAddRule::TypingTimerFired() {
    typingTimer_.stop();
    if (typed_.isEmpty())
        return;
    Search(typed_, false);
    last_ = typed_;
    typed_.clear();
}

bool TFormMarginAddRule::HandleTreeKey(QKeyEvent* key) {
    const Qt::KeyboardModifiers mods =
        key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int k = key->key();
    if ((k == Qt::Key_F7 && (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) ||
        (k == Qt::Key_L && mods == Qt::ControlModifier)) {
        Search(last_, true);
        return true;
    }
    if ((k == Qt::Key_Space && mods == Qt::ControlModifier) ||
        ((k == Qt::Key_Down || k == Qt::Key_Up) && mods == Qt::ShiftModifier)) {
        FlipAndMove(k != Qt::Key_Up);
        return true;
    }
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint() || (mods & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    // Every typed character is swallowed; all but blanks collect into the search that
    // runs a second after the last one.
    if (!text.at(0).isSpace()) {
        typed_ += text.toUpper();
        typingTimer_.start();
    }
    return true;
}

bool TFormMarginAddRule::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::KeyPress)
        return HandleTreeKey(static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}
