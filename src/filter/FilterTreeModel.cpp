#include "filter/FilterTreeModel.h"

#include <QPainter>
#include <QPixmap>

namespace {

// Small drawn icons: the tree needs only to tell clients, client groups, accounts and
// securities that are not traded apart.
QPixmap DrawIcon(FilterIcon icon) {
    QPixmap pix(16, 16);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    switch (icon) {
    case FilterIcon::Client:
        p.setBrush(QColor(70, 110, 180));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(5, 1, 6, 6));
        p.drawRoundedRect(QRectF(3, 8, 10, 7), 3, 3);
        break;
    case FilterIcon::ClientGroup:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(120, 150, 200));
        p.drawEllipse(QRectF(8, 1, 5, 5));
        p.drawRoundedRect(QRectF(7, 7, 8, 6), 3, 3);
        p.setBrush(QColor(50, 90, 160));
        p.drawEllipse(QRectF(2, 3, 6, 6));
        p.drawRoundedRect(QRectF(0, 9, 10, 7), 3, 3);
        break;
    case FilterIcon::Account:
        p.setPen(QColor(120, 90, 20));
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(2.5, 3.5, 11, 9));
        p.drawLine(QPointF(4, 6.5), QPointF(12, 6.5));
        p.drawLine(QPointF(4, 9.5), QPointF(9, 9.5));
        break;
    case FilterIcon::NotTraded:
        p.setPen(QPen(QColor(200, 30, 30), 2));
        p.drawEllipse(QRectF(2, 2, 12, 12));
        p.drawLine(QPointF(4, 12), QPointF(12, 4));
        break;
    case FilterIcon::None:
        break;
    }
    return pix;
}

} // namespace

TFilterTreeModel::TFilterTreeModel(TFilterTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {}

QIcon TFilterTreeModel::IconFor(FilterIcon icon) {
    static const QIcon icons[] = {
        QIcon(), QIcon(DrawIcon(FilterIcon::Client)), QIcon(DrawIcon(FilterIcon::ClientGroup)),
        QIcon(DrawIcon(FilterIcon::Account)), QIcon(DrawIcon(FilterIcon::NotTraded))};
    return icons[static_cast<int>(icon)];
}

QModelIndex TFilterTreeModel::IndexOf(int node) const {
    if (!tree_.IsValid(node))
        return {};
    return createIndex(tree_.Node(node).row, 0, quintptr(node));
}

int TFilterTreeModel::NodeOf(const QModelIndex& index) const {
    if (!index.isValid())
        return TFilterTree::None;
    const int node = static_cast<int>(index.internalId());
    return tree_.IsValid(node) ? node : TFilterTree::None;
}

void TFilterTreeModel::ToggleNode(int node) {
    if (!tree_.IsValid(node))
        return;
    tree_.Toggle(node);
    MarksChanged();
}

void TFilterTreeModel::MarksChanged() {
    emit ChecksChanged();
}

QModelIndex TFilterTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || tree_.IsEmpty())
        return {};
    if (!parent.isValid())
        return row == 0 ? createIndex(0, 0, quintptr(tree_.Root())) : QModelIndex();
    const int p = NodeOf(parent);
    if (p == TFilterTree::None)
        return {};
    const auto& children = tree_.Node(p).children;
    if (row >= static_cast<int>(children.size()))
        return {};
    return createIndex(row, 0, quintptr(children[static_cast<size_t>(row)]));
}

QModelIndex TFilterTreeModel::parent(const QModelIndex& child) const {
    const int node = NodeOf(child);
    if (node == TFilterTree::None)
        return {};
    return IndexOf(tree_.Node(node).parent);
}

int TFilterTreeModel::rowCount(const QModelIndex& parent) const {
    if (tree_.IsEmpty())
        return 0;
    if (!parent.isValid())
        return 1;
    const int node = NodeOf(parent);
    return node == TFilterTree::None ? 0 : static_cast<int>(tree_.Node(node).children.size());
}

int TFilterTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant TFilterTreeModel::data(const QModelIndex& index, int role) const {
    const int n = NodeOf(index);
    if (n == TFilterTree::None)
        return {};
    const FilterNode& node = tree_.Node(n);
    switch (role) {
    case Qt::DisplayRole:
        return node.text.isEmpty() ? QStringLiteral("???") : node.text;
    case Qt::DecorationRole:
        return node.icon == FilterIcon::None ? QVariant() : QVariant(IconFor(node.icon));
    case Qt::CheckStateRole:
        switch (node.mark) {
        case CheckMark::Checked:
            return Qt::Checked;
        case CheckMark::Mixed:
            return Qt::PartiallyChecked;
        case CheckMark::Unchecked:
            return Qt::Unchecked;
        }
        return {};
    default:
        return {};
    }
}

bool TFilterTreeModel::setData(const QModelIndex& index, const QVariant&, int role) {
    if (role != Qt::CheckStateRole)
        return false;
    const int node = NodeOf(index);
    if (node == TFilterTree::None)
        return false;
    // A click on the check box follows the tree's rule rather than the value the view
    // proposes: a checked or mixed node becomes unchecked, any other checked.
    ToggleNode(node);
    return true;
}

Qt::ItemFlags TFilterTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}
