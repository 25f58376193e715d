#include "NodeOps.h"

#include "shell/refs/ReferenceObjects.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <vector>

namespace {
constexpr int kObjectRole = Qt::UserRole + 100;
constexpr int kTagRole = Qt::UserRole + 101;

bool Matches(const QTreeWidgetItem* node, int tag, int kind, int id) {
    const TBaseSimpleObject* object = NodeObject(node);
    return object && NodeTag(node) == tag && object->Kind == kind && object->Id == id;
}

void SetCheckQuiet(QTreeWidgetItem* node, Qt::CheckState state) {
    if (node->checkState(0) != state)
        node->setCheckState(0, state);
}
} // namespace

TBaseSimpleObject* NodeObject(const QTreeWidgetItem* node) {
    if (!node)
        return nullptr;
    return reinterpret_cast<TBaseSimpleObject*>(node->data(0, kObjectRole).value<quintptr>());
}

int NodeTag(const QTreeWidgetItem* node) {
    return node ? node->data(0, kTagRole).toInt() : 0;
}

void SetNodeObject(QTreeWidgetItem* node, TBaseSimpleObject* object) {
    if (node)
        node->setData(0, kObjectRole, QVariant::fromValue(reinterpret_cast<quintptr>(object)));
}

void SetNodeTag(QTreeWidgetItem* node, int tag) {
    if (node)
        node->setData(0, kTagRole, tag);
}

QTreeWidgetItem* FindNodeByTagKindId(const QTreeWidget* tree, int tag, int kind, int id) {
    if (!tree)
        return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it)
        if (Matches(*it, tag, kind, id))
            return *it;
    return nullptr;
}

QTreeWidgetItem* FindChildByTagKindId(const QTreeWidgetItem* parent, int tag, int id, int kind) {
    if (!parent)
        return nullptr;
    for (int i = 0; i < parent->childCount(); ++i)
        if (Matches(parent->child(i), tag, kind, id))
            return parent->child(i);
    return nullptr;
}

QTreeWidgetItem* FindNodeByObject(const QTreeWidget* tree, const TBaseSimpleObject* object) {
    if (!tree)
        return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it)
        if (NodeObject(*it) == object)
            return *it;
    return nullptr;
}

int ReplaceNodeObject(QTreeWidget* tree, const TBaseSimpleObject* oldObject,
                      TBaseSimpleObject* newObject) {
    int count = 0;
    if (!tree)
        return 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if (NodeObject(*it) == oldObject) {
            SetNodeObject(*it, newObject);
            ++count;
        }
    }
    return count;
}

int DeleteNodesOfObject(QTreeWidget* tree, const TBaseSimpleObject* object) {
    int count = 0;
    while (QTreeWidgetItem* node = FindNodeByObject(tree, object)) {
        delete node; // takes its subtree with it
        ++count;
    }
    return count;
}

void UpdateTreeCheckAncestors(QTreeWidgetItem* node) {
    for (QTreeWidgetItem* parent = node ? node->parent() : nullptr; parent;
         parent = parent->parent()) {
        int checked = 0, unchecked = 0;
        for (int i = 0; i < parent->childCount(); ++i) {
            const Qt::CheckState s = parent->child(i)->checkState(0);
            checked += s == Qt::Checked;
            unchecked += s == Qt::Unchecked;
        }
        const int n = parent->childCount();
        const Qt::CheckState next = checked == n     ? Qt::Checked
                                    : unchecked == n ? Qt::Unchecked
                                                     : Qt::PartiallyChecked;
        if (parent->checkState(0) == next)
            break; // nothing above can change
        SetCheckQuiet(parent, next);
    }
}

void SetTreeCheck(QTreeWidgetItem* node, Qt::CheckState state) {
    if (!node)
        return;
    QTreeWidget* tree = node->treeWidget();
    const bool blocked = tree ? tree->model()->blockSignals(true) : false;
    std::vector<QTreeWidgetItem*> stack{node};
    while (!stack.empty()) {
        QTreeWidgetItem* item = stack.back();
        stack.pop_back();
        SetCheckQuiet(item, state);
        for (int i = 0; i < item->childCount(); ++i)
            stack.push_back(item->child(i));
    }
    UpdateTreeCheckAncestors(node);
    if (tree) {
        tree->model()->blockSignals(blocked);
        tree->viewport()->update();
    }
}
