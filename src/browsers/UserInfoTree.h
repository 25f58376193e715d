#pragma once

#include "shell/refs/ReferenceData.h"

#include <QAbstractItemModel>
#include <QHash>

#include <functional>
#include <memory>
#include <vector>

// Kinds of the client browser's own marker objects (the other nodes point at
// reference objects: clients 12, accounts 14, information types 22).
namespace UserInfoKind {
constexpr int Top = 11;
constexpr int InfoFolder = 20; // "Пользовательская информация"
constexpr int ByAccounts = 23; // "По счетам"
constexpr int ByClients = 24;  // "По клиентам"
} // namespace UserInfoKind

// One tree of the client browser: nodes in one vector, children as ranges of one
// index array, so several hundred thousand nodes cost a few tens of bytes each. Each
// node points at its object (a reference object or one of the tree's markers) and at
// an information value or none. The pointers go stale when the reference data are
// reloaded, so the owner empties the tree first.
//
// Two columns: "Объект" and "Информация". Editing the second column of an editable
// node is handed to OnEdit; the cell keeps its old text until the value changes.
class TUserInfoTree : public QAbstractItemModel {
public:
    enum class Shape { Clients, UserInfo };
    static constexpr int None = -1;

    struct Node {
        const TBaseSimpleObject* object = nullptr;
        TUserInfoObj* value = nullptr;
        int parent = None;
        int row = 0;
        int firstChild = 0; // into the child index array
        int childCount = 0;
        bool group = false; // a client with sub-clients (client-group icon)
    };

    explicit TUserInfoTree(Shape shape, QObject* parent = nullptr);
    ~TUserInfoTree() override;

    Shape TreeShape() const { return shape_; }
    // Empties the tree and frees its markers.
    void Clear();
    // Builds the tree from the lists; a failure leaves what was built so far.
    void Build(const TReferenceData& refs);

    int Count() const { return static_cast<int>(nodes_.size()); }
    const Node& At(int node) const { return nodes_[static_cast<size_t>(node)]; }
    int Child(int node, int row) const;
    int Kind(int node) const;
    QString ObjectText(int node) const;
    QString InfoText(int node) const;
    void SetValue(int node, TUserInfoObj* value) {
        nodes_[static_cast<size_t>(node)].value = value;
    }

    // Whether the "Информация" cell of the node may be edited: an information type
    // node in the client tree, a client or account node in the information tree.
    bool IsEditable(int node) const;
    // The node of a (type, owner) pair: in the client tree the type node under the
    // owner's information folder, in the information tree the owner node under the
    // type; None when absent. Constant time.
    int FindInfoNode(qint32 typeId, qint32 ownerId) const;

    QModelIndex IndexOf(int node, int column = 0) const;
    int NodeOf(const QModelIndex& index) const;

    std::function<void(int node, const QString& text)> OnEdit;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    class Builder;
    const TBaseSimpleObject* Marker(int kind, const QString& text);
    void IndexPairs();

    Shape shape_;
    std::vector<Node> nodes_;
    std::vector<int> children_;
    std::vector<std::unique_ptr<TBaseSimpleObject>> markers_;
    QHash<quint64, int> pairs_; // (type id, owner id) -> first node in tree order
};
