#include "browsers/UserInfoTree.h"

#include "filter/ClientPlacement.h"
#include "filter/FilterLogic.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

namespace {

quint64 PairKey(qint32 typeId, qint32 ownerId) {
    return (quint64(quint32(typeId)) << 32) | quint64(quint32(ownerId));
}

bool IsOwnerKind(int kind) {
    return kind == kKindClient || kind == kKindAccount;
}

enum class Icon { Root, Client, ClientGroup, Account, Folder, TypeText, TypeOther, None };

QIcon IconOf(Icon icon) {
    QStyle* style = QApplication::style();
    switch (icon) {
    case Icon::Root:
        return style->standardIcon(QStyle::SP_DriveNetIcon);
    case Icon::Client:
        return style->standardIcon(QStyle::SP_FileDialogInfoView);
    case Icon::ClientGroup:
        return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    case Icon::Account:
        return style->standardIcon(QStyle::SP_FileIcon);
    case Icon::Folder:
        return style->standardIcon(QStyle::SP_DirIcon);
    case Icon::TypeText:
        return style->standardIcon(QStyle::SP_FileDialogContentsView);
    case Icon::TypeOther:
        return style->standardIcon(QStyle::SP_FileLinkIcon);
    case Icon::None:
        break;
    }
    return {};
}

} // namespace

// Collects nodes with growable child lists, then lays them out as ranges.
class TUserInfoTree::Builder {
public:
    explicit Builder(TUserInfoTree& tree) : tree_(tree) {}

    int Add(const TBaseSimpleObject* object, TUserInfoObj* value = nullptr) {
        tree_.nodes_.push_back({object, value, None, 0, 0, 0, false});
        kids_.emplace_back();
        return static_cast<int>(tree_.nodes_.size()) - 1;
    }
    void Append(int parent, int child) { kids_[size_t(parent)].push_back(child); }
    void Prepend(int parent, const std::vector<int>& front) {
        std::vector<int>& list = kids_[size_t(parent)];
        list.insert(list.begin(), front.begin(), front.end());
    }
    // An information folder with one node per type of the target kind, carrying the
    // owner's value of that type; it becomes the owner's first child.
    void AddInfoFolder(int owner, qint32 ownerId, qint32 targetKind, const TReferenceData& refs,
                       const TBaseSimpleObject* folderMarker) {
        const int folder = Add(folderMarker);
        for (TUITypeObj* type : refs.UserInfoTypes) {
            if (type->TargetKind == targetKind)
                Append(folder, Add(type, type->FindValueByOwner(ownerId)));
        }
        Prepend(owner, {folder});
    }
    void Finish() {
        std::vector<Node>& nodes = tree_.nodes_;
        tree_.children_.clear();
        tree_.children_.reserve(nodes.size());
        for (size_t n = 0; n < nodes.size(); ++n) {
            nodes[n].firstChild = static_cast<int>(tree_.children_.size());
            nodes[n].childCount = static_cast<int>(kids_[n].size());
            int row = 0;
            for (int child : kids_[n]) {
                nodes[size_t(child)].parent = static_cast<int>(n);
                nodes[size_t(child)].row = row++;
                tree_.children_.push_back(child);
            }
        }
        kids_.clear();
    }

private:
    TUserInfoTree& tree_;
    std::vector<std::vector<int>> kids_;
};

TUserInfoTree::TUserInfoTree(Shape shape, QObject* parent)
    : QAbstractItemModel(parent), shape_(shape) {}

TUserInfoTree::~TUserInfoTree() = default;

void TUserInfoTree::Clear() {
    beginResetModel();
    nodes_.clear();
    children_.clear();
    pairs_.clear();
    markers_.clear();
    endResetModel();
}

const TBaseSimpleObject* TUserInfoTree::Marker(int kind, const QString& text) {
    markers_.push_back(std::make_unique<TBaseSimpleObject>(kind, 0, text));
    return markers_.back().get();
}

void TUserInfoTree::Build(const TReferenceData& refs) {
    beginResetModel();
    nodes_.clear();
    children_.clear();
    pairs_.clear();
    markers_.clear();
    Builder b(*this);
    try {
        if (shape_ == Shape::Clients) {
            const int top = b.Add(Marker(UserInfoKind::Top, QStringLiteral("ВСЕ КЛИЕНТЫ И СЧЕТА")));
            const TBaseSimpleObject* folder =
                Marker(UserInfoKind::InfoFolder, QStringLiteral("Пользовательская информация"));
            std::vector<int> clientNode(static_cast<size_t>(refs.Clients.Count()), None);
            for (const ClientPlacementStep& step : PlaceClients(refs.Clients)) {
                const int node = b.Add(refs.Clients[step.client]);
                clientNode[size_t(step.client)] = node;
                int parentNode = top;
                if (step.parent >= 0) {
                    parentNode = clientNode[size_t(step.parent)];
                    nodes_[size_t(parentNode)].group = true;
                }
                b.Append(parentNode, node);
            }
            // Accounts go first under their client, in list order, each with its folder.
            const QHash<qint32, int> clientById = ClientIndexById(refs.Clients);
            QHash<int, std::vector<int>> accountsOf;
            for (const TAccObj* acc : refs.Accounts) {
                const int client = clientById.value(acc->ClientId, -1);
                const int target = client < 0 ? top : clientNode[size_t(client)];
                const int node = b.Add(acc);
                b.AddInfoFolder(node, acc->Id, 1, refs, folder);
                accountsOf[target].push_back(node);
            }
            for (auto it = accountsOf.cbegin(); it != accountsOf.cend(); ++it)
                b.Prepend(it.key(), it.value());
            for (int i = 0; i < refs.Clients.Count(); ++i)
                b.AddInfoFolder(clientNode[size_t(i)], refs.Clients[i]->Id, 2, refs, folder);
        } else {
            const int top =
                b.Add(Marker(UserInfoKind::Top, QStringLiteral("ВСЕ ПОЛЬЗОВАТЕЛЬСКИЕ ДАННЫЕ")));
            const int byClients =
                b.Add(Marker(UserInfoKind::ByClients, QStringLiteral("По клиентам")));
            const int byAccounts =
                b.Add(Marker(UserInfoKind::ByAccounts, QStringLiteral("По счетам")));
            b.Append(top, byClients);
            b.Append(top, byAccounts);
            for (TUITypeObj* type : refs.UserInfoTypes) {
                if (type->TargetKind == 2) {
                    const int t = b.Add(type);
                    b.Append(byClients, t);
                    for (const TCliObj* client : refs.Clients)
                        b.Append(t, b.Add(client, type->FindValueByOwner(client->Id)));
                } else if (type->TargetKind == 1) {
                    const int t = b.Add(type);
                    b.Append(byAccounts, t);
                    for (const TAccObj* acc : refs.Accounts)
                        b.Append(t, b.Add(acc, type->FindValueByOwner(acc->Id)));
                }
            }
        }
        b.Finish();
        IndexPairs();
    } catch (...) {
        b.Finish();
        IndexPairs();
        endResetModel();
        throw;
    }
    endResetModel();
}

// Walks the tree once in tree order and keeps the first node of each pair.
void TUserInfoTree::IndexPairs() {
    pairs_.clear();
    if (nodes_.empty())
        return;
    pairs_.reserve(static_cast<qsizetype>(nodes_.size() / 2));
    auto keep = [this](quint64 key, int n) {
        if (!pairs_.contains(key))
            pairs_.insert(key, n);
    };
    // Pre-order: the first node met of a pair is the first in tree order.
    std::vector<int> stack{0};
    while (!stack.empty()) {
        const int n = stack.back();
        stack.pop_back();
        const Node& node = nodes_[size_t(n)];
        for (int r = node.childCount - 1; r >= 0; --r)
            stack.push_back(children_[size_t(node.firstChild + r)]);
        if (node.parent == None)
            continue;
        const int parentKind = Kind(node.parent);
        if (shape_ == Shape::Clients) {
            if (Kind(n) != kKindUserInfoType || nodes_[size_t(node.parent)].parent == None)
                continue;
            const int owner = nodes_[size_t(node.parent)].parent;
            if (IsOwnerKind(Kind(owner)))
                keep(PairKey(node.object->Id, At(owner).object->Id), n);
        } else if (IsOwnerKind(Kind(n)) && parentKind == kKindUserInfoType) {
            keep(PairKey(At(node.parent).object->Id, node.object->Id), n);
        }
    }
}

int TUserInfoTree::Child(int node, int row) const {
    const Node& n = At(node);
    return row >= 0 && row < n.childCount ? children_[size_t(n.firstChild + row)] : None;
}

int TUserInfoTree::Kind(int node) const {
    const TBaseSimpleObject* object = At(node).object;
    return object ? object->Kind : 0;
}

QString TUserInfoTree::ObjectText(int node) const {
    const TBaseSimpleObject* object = At(node).object;
    if (!object)
        return QStringLiteral("???");
    switch (object->Kind) {
    case UserInfoKind::Top:
    case UserInfoKind::InfoFolder:
    case UserInfoKind::ByAccounts:
    case UserInfoKind::ByClients:
    case kKindClient:
    case kKindUserInfoType:
        return object->Name;
    case kKindAccount:
        return PaddedId(object->Id) + QLatin1Char(' ') + object->Name;
    default:
        return QStringLiteral("???");
    }
}

QString TUserInfoTree::InfoText(int node) const {
    const TUserInfoObj* value = At(node).value;
    return value ? value->Name : QString();
}

bool TUserInfoTree::IsEditable(int node) const {
    if (node < 0 || node >= Count())
        return false;
    if (shape_ == Shape::Clients)
        return Kind(node) == kKindUserInfoType;
    return IsOwnerKind(Kind(node));
}

int TUserInfoTree::FindInfoNode(qint32 typeId, qint32 ownerId) const {
    return pairs_.value(PairKey(typeId, ownerId), None);
}

QModelIndex TUserInfoTree::IndexOf(int node, int column) const {
    if (node < 0 || node >= Count())
        return {};
    return createIndex(At(node).row, column, quintptr(node));
}

int TUserInfoTree::NodeOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this)
        return None;
    const int node = static_cast<int>(index.internalId());
    return node < Count() ? node : None;
}

QModelIndex TUserInfoTree::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column > 1)
        return {};
    if (!parent.isValid())
        return row == 0 && !nodes_.empty() ? createIndex(0, column, quintptr(0)) : QModelIndex();
    const int p = NodeOf(parent);
    if (p == None)
        return {};
    const int child = Child(p, row);
    return child == None ? QModelIndex() : createIndex(row, column, quintptr(child));
}

QModelIndex TUserInfoTree::parent(const QModelIndex& child) const {
    const int n = NodeOf(child);
    if (n == None || At(n).parent == None)
        return {};
    return IndexOf(At(n).parent);
}

int TUserInfoTree::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return nodes_.empty() ? 0 : 1;
    if (parent.column() != 0)
        return 0;
    const int p = NodeOf(parent);
    return p == None ? 0 : At(p).childCount;
}

int TUserInfoTree::columnCount(const QModelIndex&) const {
    return 2;
}

QVariant TUserInfoTree::data(const QModelIndex& index, int role) const {
    const int n = NodeOf(index);
    if (n == None)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return index.column() == 0 ? ObjectText(n) : InfoText(n);
    if (role != Qt::DecorationRole || index.column() != 0)
        return {};
    static QIcon icons[int(Icon::None) + 1];
    Icon icon = Icon::None;
    switch (Kind(n)) {
    case UserInfoKind::Top:
        icon = Icon::Root;
        break;
    case kKindClient:
        icon = shape_ == Shape::Clients && At(n).group ? Icon::ClientGroup : Icon::Client;
        break;
    case kKindAccount:
    case UserInfoKind::ByAccounts:
        icon = Icon::Account;
        break;
    case UserInfoKind::ByClients:
        icon = Icon::ClientGroup;
        break;
    case UserInfoKind::InfoFolder:
        icon = Icon::Folder;
        break;
    case kKindUserInfoType:
        icon = static_cast<const TUITypeObj*>(At(n).object)->ValueKind == 0 ? Icon::TypeText
                                                                            : Icon::TypeOther;
        break;
    default:
        break;
    }
    QIcon& cached = icons[int(icon)];
    if (cached.isNull() && icon != Icon::None)
        cached = IconOf(icon);
    return cached;
}

QVariant TUserInfoTree::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? QStringLiteral("Объект") : QStringLiteral("Информация");
}

Qt::ItemFlags TUserInfoTree::flags(const QModelIndex& index) const {
    const int n = NodeOf(index);
    if (n == None)
        return Qt::NoItemFlags;
    // The information cell of a top node never takes the focus.
    if (index.column() == 1 && At(n).parent == None)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 1 && IsEditable(n))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TUserInfoTree::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int n = NodeOf(index);
    if (n == None || role != Qt::EditRole || index.column() != 1 || !IsEditable(n))
        return false;
    if (OnEdit)
        OnEdit(n, value.toString());
    return false; // the cell keeps its text until the server answers
}
