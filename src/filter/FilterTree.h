#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// Check state of a filter tree node; the numbers are those of the tree's check images.
enum class CheckMark : std::uint8_t { Unchecked = 0, Checked = 1, Mixed = 2 };

// Kinds of the objects shown in the filter trees (the reference kinds).
namespace FilterKind {
constexpr int AllSecurities = 1;
constexpr int TradingSystem = 2;
constexpr int Board = 3;
constexpr int Security = 4;
constexpr int Money = 5;
constexpr int AllAccounts = 11;
constexpr int Client = 12;
constexpr int Account = 14;
} // namespace FilterKind

// Icons of the filter tree nodes.
enum class FilterIcon : std::uint8_t { None, Client, ClientGroup, Account, NotTraded };

// One node: a snapshot of what the filter needs from its reference object.
struct FilterNode {
    int kind = 0;
    int id = 0;
    QString name;      // the object's name: caption items and searches of accounts and clients
    QString shortName; // securities and money: caption items and searches
    QString code;      // boards: the board code of the expression
    QString text;      // what the tree shows
    FilterIcon icon = FilterIcon::None;
    CheckMark mark = CheckMark::Unchecked;
    const void* object = nullptr; // the reference object (not owned)
    int parent = -1;
    int row = 0; // position among the parent's children
    std::vector<int> children;
    // Kept by Finish: where the node stands in tree order and how many nodes its
    // subtree spans.
    int orderPos = 0;
    int subtreeSize = 1;
};

// A tree of filter nodes with three-state checks. Nodes are held in one vector and
// addressed by index; tree order (parent before children, children in order) is kept as
// a flat list so that a subtree is a contiguous range and a check spreads over 100,000
// leaves in one pass.
class TFilterTree {
public:
    static constexpr int None = -1;

    void Clear();
    bool IsEmpty() const { return nodes_.empty(); }
    int Count() const { return static_cast<int>(nodes_.size()); }
    int Root() const { return nodes_.empty() ? None : 0; }

    // Building. The first node added is the root. Children are appended in order;
    // SetChildren replaces a node's children wholesale (the builders use it to place
    // many nodes at the front at once, or to sort them). Finish must follow the last change of
    // shape.
    int AddRoot(FilterNode node);
    int AddChild(int parent, FilterNode node);
    void SetChildren(int parent, std::vector<int> children);
    int AddDetached(FilterNode node); // parent set later by SetChildren
    void Finish();

    const FilterNode& Node(int index) const { return nodes_[static_cast<size_t>(index)]; }
    FilterNode& MutableNode(int index) { return nodes_[static_cast<size_t>(index)]; }
    bool IsValid(int index) const { return index >= 0 && index < Count(); }
    CheckMark Mark(int index) const { return Node(index).mark; }
    bool HasChildren(int index) const { return !Node(index).children.empty(); }

    // Tree order.
    const std::vector<int>& Order() const { return order_; }
    int Next(int index) const; // None after the last node
    int Previous(int index) const;

    // Gives the node and its whole subtree the mark (checked or unchecked) and brings
    // every ancestor up to date.
    void SetMark(int index, CheckMark mark);
    // The check box rule: a checked or mixed node becomes unchecked, any other checked.
    void Toggle(int index);
    // Flips every node the predicate selects (checked <-> unchecked), then brings the
    // parents up to date. Only leaves should be selected: a parent's mark follows its
    // children.
    void InvertWhere(const std::function<bool(const FilterNode&)>& select);
    // Recomputes every parent's mark from its children.
    void RecomputeAll();

private:
    void RefreshParentMark(int index);
    CheckMark MarkFromChildren(const FilterNode& node) const;

    std::vector<FilterNode> nodes_;
    std::vector<int> order_;
};
