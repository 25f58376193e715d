#include "filter/FilterTree.h"

#include <algorithm>

void TFilterTree::Clear() {
    nodes_.clear();
    order_.clear();
}

int TFilterTree::AddRoot(FilterNode node) {
    Clear();
    node.parent = None;
    nodes_.push_back(std::move(node));
    return 0;
}

int TFilterTree::AddChild(int parent, FilterNode node) {
    const int index = Count();
    node.parent = parent;
    node.row = static_cast<int>(nodes_[static_cast<size_t>(parent)].children.size());
    nodes_.push_back(std::move(node));
    nodes_[static_cast<size_t>(parent)].children.push_back(index);
    return index;
}

int TFilterTree::AddDetached(FilterNode node) {
    node.parent = None;
    nodes_.push_back(std::move(node));
    return Count() - 1;
}

void TFilterTree::SetChildren(int parent, std::vector<int> children) {
    FilterNode& p = nodes_[static_cast<size_t>(parent)];
    p.children = std::move(children);
    for (size_t i = 0; i < p.children.size(); ++i) {
        FilterNode& child = nodes_[static_cast<size_t>(p.children[i])];
        child.parent = parent;
        child.row = static_cast<int>(i);
    }
}

void TFilterTree::Finish() {
    order_.clear();
    order_.reserve(nodes_.size());
    if (nodes_.empty())
        return;
    // Iterative walk: client chains may be deep.
    std::vector<std::pair<int, size_t>> stack;
    stack.emplace_back(0, 0);
    nodes_[0].orderPos = 0;
    order_.push_back(0);
    while (!stack.empty()) {
        auto& [index, next] = stack.back();
        FilterNode& node = nodes_[static_cast<size_t>(index)];
        if (next < node.children.size()) {
            const int child = node.children[next++];
            nodes_[static_cast<size_t>(child)].orderPos = static_cast<int>(order_.size());
            order_.push_back(child);
            stack.emplace_back(child, 0);
        } else {
            node.subtreeSize = static_cast<int>(order_.size()) - node.orderPos;
            stack.pop_back();
        }
    }
    RecomputeAll();
}

int TFilterTree::Next(int index) const {
    if (!IsValid(index))
        return None;
    const size_t pos = static_cast<size_t>(Node(index).orderPos) + 1;
    return pos < order_.size() ? order_[pos] : None;
}

int TFilterTree::Previous(int index) const {
    if (!IsValid(index))
        return None;
    const int pos = Node(index).orderPos - 1;
    return pos >= 0 ? order_[static_cast<size_t>(pos)] : None;
}

void TFilterTree::RecomputeAll() {
    // Children follow their parent in tree order, so walking it backwards settles every
    // child before its parent.
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
        FilterNode& node = nodes_[static_cast<size_t>(*it)];
        if (!node.children.empty())
            node.mark = MarkFromChildren(node);
    }
}

CheckMark TFilterTree::MarkFromChildren(const FilterNode& node) const {
    size_t checked = 0;
    bool any = false;
    for (int child : node.children) {
        const CheckMark m = nodes_[static_cast<size_t>(child)].mark;
        checked += m == CheckMark::Checked;
        any = any || m != CheckMark::Unchecked;
    }
    if (checked == node.children.size())
        return CheckMark::Checked;
    return any ? CheckMark::Mixed : CheckMark::Unchecked;
}

void TFilterTree::RefreshParentMark(int index) {
    // Walk up while the parents change.
    int child = index;
    while (true) {
        const int parent = Node(child).parent;
        if (parent == None)
            return;
        FilterNode& p = nodes_[static_cast<size_t>(parent)];
        const CheckMark mark = MarkFromChildren(p);
        if (mark == p.mark)
            return;
        p.mark = mark;
        child = parent;
    }
}

void TFilterTree::SetMark(int index, CheckMark mark) {
    if (!IsValid(index) || order_.empty())
        return;
    if (mark == CheckMark::Mixed)
        mark = CheckMark::Checked;
    const FilterNode& node = Node(index);
    const size_t begin = static_cast<size_t>(node.orderPos);
    const size_t end = begin + static_cast<size_t>(node.subtreeSize);
    for (size_t pos = begin; pos < end; ++pos) {
        FilterNode& n = nodes_[static_cast<size_t>(order_[pos])];
        n.mark = mark;
    }
    RefreshParentMark(index);
}

void TFilterTree::Toggle(int index) {
    if (!IsValid(index))
        return;
    const CheckMark m = Mark(index);
    SetMark(index, m == CheckMark::Unchecked ? CheckMark::Checked : CheckMark::Unchecked);
}

void TFilterTree::InvertWhere(const std::function<bool(const FilterNode&)>& select) {
    for (FilterNode& node : nodes_) {
        if (node.mark == CheckMark::Mixed || !select(node))
            continue;
        node.mark = node.mark == CheckMark::Checked ? CheckMark::Unchecked : CheckMark::Checked;
    }
    RecomputeAll();
}
