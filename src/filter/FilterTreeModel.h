#pragma once

#include "filter/FilterTree.h"

#include <QAbstractItemModel>
#include <QIcon>

// Shows a filter tree in a tree view: node texts, icons and the three-state check
// boxes. The model reads the tree in place, so a tree of 100,000 nodes costs no
// items of its own; after the marks change the view is told to repaint.
class TFilterTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TFilterTreeModel(TFilterTree& tree, QObject* parent = nullptr);

    // Around a rebuild of the tree.
    void BeginRebuild() { beginResetModel(); }
    void EndRebuild() { endResetModel(); }

    QModelIndex IndexOf(int node) const;
    int NodeOf(const QModelIndex& index) const; // TFilterTree::None for an invalid index
    // Flips the node's check and tells the views.
    void ToggleNode(int node);
    // After marks changed behind the model's back (inverting, rebuilding).
    void MarksChanged();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static QIcon IconFor(FilterIcon icon);

signals:
    void ChecksChanged();

private:
    TFilterTree& tree_;
};
