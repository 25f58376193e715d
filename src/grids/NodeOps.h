#pragma once

#include <Qt>

class QTreeWidget;
class QTreeWidgetItem;
class TBaseSimpleObject;

// Node operations of the data trees: each node holds a reference object (not owned)
// and a 32-bit tag in two data slots of its first column.
TBaseSimpleObject* NodeObject(const QTreeWidgetItem* node);
int NodeTag(const QTreeWidgetItem* node);
void SetNodeObject(QTreeWidgetItem* node, TBaseSimpleObject* object);
void SetNodeTag(QTreeWidgetItem* node, int tag);

// First node in tree order (from the first top node) whose tag, object kind and
// object id all match; nullptr when none does.
QTreeWidgetItem* FindNodeByTagKindId(const QTreeWidget* tree, int tag, int kind, int id);
// The same over the direct children of parent only, first to last.
QTreeWidgetItem* FindChildByTagKindId(const QTreeWidgetItem* parent, int tag, int id, int kind);
QTreeWidgetItem* FindNodeByObject(const QTreeWidget* tree, const TBaseSimpleObject* object);
// Every node holding oldObject gets newObject; returns how many.
int ReplaceNodeObject(QTreeWidget* tree, const TBaseSimpleObject* oldObject,
                      TBaseSimpleObject* newObject);
// Deletes every node holding the object, each with its subtree; returns how many.
int DeleteNodesOfObject(QTreeWidget* tree, const TBaseSimpleObject* object);

// The three-state rule of the data trees with check boxes: the node and all its
// descendants take the state, then every ancestor becomes checked when all its
// children are, unchecked when none is, partly checked otherwise. The work is one
// walk of the subtree plus one pass over each ancestor's children, so checking the
// top node of a tree with a hundred thousand leaves stays quick. The tree's signals
// are held back during the walk; the view repaints once at the end.
void SetTreeCheck(QTreeWidgetItem* node, Qt::CheckState state);
// Recomputes the ancestors of node from its parent up.
void UpdateTreeCheckAncestors(QTreeWidgetItem* node);
