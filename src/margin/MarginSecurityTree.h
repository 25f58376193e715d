#pragma once

#include "filter/FilterTree.h"

#include <QString>
#include <QStringList>

class TReferenceData;

// The securities tree of the add dialog, without a window: under "ВСЕ БУМАГИ" each
// trading system with its money item first, then its boards with their securities. A
// security whose first board of its code got no node (its trading system is not listed)
// stands at the top level beside "ВСЕ БУМАГИ". The tree keeps an unseen node above the
// top level, so the top-level nodes are the children of Top().
class TMarginSecurityTree {
public:
    TFilterTree Tree;

    // Builds the tree from the reference data; a failure is logged and leaves what was
    // built. Every node starts unchecked.
    void Fill(const TReferenceData& refs, bool showNotTraded);
    void Clear() { Tree.Clear(); }

    int Top() const { return Tree.Root(); } // the unseen node, None when empty
    int AllNode() const;                    // "ВСЕ БУМАГИ", None when empty

    // Typing search: a non-zero number finds the first security or money item with that
    // id; other text the security whose upper-case name shares the longest leading part
    // with it, searching after the focused node (or from the start).
    int Find(const QString& text, bool fromFocused, int focused) const;
    // "Инвертировать отметки": securities, money items and boards without children.
    void Invert();
    // The checked securities and money items in tree order, as id texts.
    QStringList Chosen() const;
};
