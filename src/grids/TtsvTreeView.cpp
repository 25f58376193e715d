#include "TtsvTreeView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace {

constexpr int kStateRole = Qt::UserRole + 200;

// The four state images, drawn once: an empty box, a ticked box, a grey ticked box
// (partly checked) and a grey filled box (disabled).
const QIcon& StateImage(int state) {
    static QIcon cache[4];
    if (cache[0].isNull()) {
        for (int s = 0; s < 4; ++s) {
            QPixmap pixmap(13, 13);
            pixmap.fill(Qt::white);
            QPainter painter(&pixmap);
            const bool grey = s >= 2;
            painter.setPen(grey ? QColor(128, 128, 128) : QColor(28, 81, 128));
            painter.drawRect(0, 0, 12, 12);
            if (s == 3)
                painter.fillRect(1, 1, 11, 11, QColor(224, 224, 224));
            if (s == 1 || s == 2) {
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setPen(QPen(grey ? QColor(128, 128, 128) : QColor(33, 161, 33), 2));
                painter.drawLine(QPointF(3, 6.5), QPointF(5.5, 9));
                painter.drawLine(QPointF(5.5, 9), QPointF(10, 3.5));
            }
            painter.end();
            cache[s] = QIcon(pixmap);
        }
    }
    return cache[std::clamp(state, 0, 3)];
}

// Busy cursor and no painting until the scope ends.
class BusyScope {
public:
    explicit BusyScope(QWidget* widget) : widget_(widget), updates_(widget->updatesEnabled()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        widget_->setUpdatesEnabled(false);
    }
    ~BusyScope() {
        widget_->setUpdatesEnabled(updates_);
        QApplication::restoreOverrideCursor();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    QWidget* widget_;
    bool updates_;
};

} // namespace

TtsvTreeView::TtsvTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setEditTriggers(NoEditTriggers);
    setIconSize(QSize(13, 13));
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        radioChecked_ = nullptr;
        radioExact_ = true;
    });
    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] {
        radioChecked_ = nullptr;
        radioExact_ = false;
    });
}

TtsvTreeView::~TtsvTreeView() {
    // The items go after this class is gone: the model's signals must not reach it.
    disconnect(model(), nullptr, this, nullptr);
}

int TtsvTreeView::NodeState(const QTreeWidgetItem* node) {
    if (!node)
        return 0;
    const QVariant value = node->data(0, kStateRole);
    return value.isValid() ? value.toInt() : 0;
}

void TtsvTreeView::SetNodeState(QTreeWidgetItem* node, int state) {
    if (!node)
        return;
    state = std::clamp(state, 0, 3);
    if (node->data(0, kStateRole).isValid() && NodeState(node) == state)
        return;
    if (mode_ == tvmRadioTreeView) {
        if (state == Checked) {
            if (radioExact_ && !radioChecked_)
                radioChecked_ = node;
            else if (node != radioChecked_)
                radioExact_ = false;
        } else if (node == radioChecked_) {
            radioChecked_ = nullptr;
        }
    }
    node->setData(0, kStateRole, state);
    node->setIcon(0, StateImage(state));
}

template <typename F> void TtsvTreeView::ForEachNode(F f) {
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        f(*it);
}

void TtsvTreeView::SetSubtree(QTreeWidgetItem* node, int state) {
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* child = node->child(i);
        if (NodeState(child) != Disabled)
            SetNodeState(child, state);
        SetSubtree(child, state);
    }
}

void TtsvTreeView::ToggleNode(QTreeWidgetItem* node) {
    if (!node)
        return;
    BusyScope busy(this);
    if (mode_ == tvmRadioTreeView) {
        if (NodeState(node) != Unchecked)
            return;
        if (radioExact_) {
            if (radioChecked_ && NodeState(radioChecked_) != Disabled)
                SetNodeState(radioChecked_, Unchecked);
        } else {
            ForEachNode([this](QTreeWidgetItem* item) {
                if (NodeState(item) != Disabled)
                    SetNodeState(item, Unchecked);
            });
            radioChecked_ = nullptr;
            radioExact_ = true;
        }
        SetNodeState(node, Checked);
        emit NodeChecked(node);
        return;
    }
    const int current = NodeState(node);
    const int next = current == Checked || current == Partial ? Unchecked : Checked;
    SetNodeState(node, next);
    SetSubtree(node, next);
    int childState = next;
    for (QTreeWidgetItem* parent = node->parent(); parent; parent = parent->parent()) {
        int state = Partial;
        if (childState == Checked || childState == Unchecked) {
            state = childState;
            for (int i = 0; i < parent->childCount(); ++i) {
                const int s = NodeState(parent->child(i));
                if (s == Partial || (childState == Checked ? s == Unchecked : s == Checked)) {
                    state = Partial;
                    break;
                }
            }
        }
        SetNodeState(parent, state);
        childState = state;
    }
}

void TtsvTreeView::SetCheckMode(TCheckMode mode) {
    mode_ = mode;
    radioChecked_ = nullptr;
    radioExact_ = true; // both branches below walk every node
    if (mode == tvmCheckTreeView) {
        ForEachNode([this](QTreeWidgetItem* item) {
            if (NodeState(item) != Disabled)
                SetNodeState(item, Unchecked);
        });
        return;
    }
    QTreeWidgetItem* first = nullptr;
    ForEachNode([this, &first](QTreeWidgetItem* item) {
        if (NodeState(item) == Disabled)
            return;
        SetNodeState(item, Unchecked);
        if (!first)
            first = item;
    });
    if (first)
        SetNodeState(first, Checked);
}

void TtsvTreeView::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        ToggleNode(currentItem());
        return;
    case Qt::Key_Down:
    case Qt::Key_Up:
        if (ctrl) {
            QTreeWidgetItem* node = currentItem();
            ToggleNode(node);
            QTreeWidgetItem* next =
                event->key() == Qt::Key_Down ? itemBelow(node) : itemAbove(node);
            if (node && next)
                setCurrentItem(next);
            return;
        }
        break;
    default:
        if (!event->text().isEmpty() && event->text().at(0).isPrint() &&
            !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            emit KeyTyped(event->text()); // type-to-select stays off
            return;
        }
        break;
    }
    QTreeWidget::keyPressEvent(event);
}

void TtsvTreeView::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    QTreeWidgetItem* node = itemAt(event->position().toPoint());
    if (!node)
        return;
    const QRect row = visualItemRect(node);
    const int x = event->position().toPoint().x();
    // The image sits at the start of the row, after the indentation.
    if (x >= row.left() && x < row.left() + iconSize().width() + 4)
        ToggleNode(currentItem());
}
