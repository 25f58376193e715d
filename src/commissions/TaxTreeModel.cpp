#include "commissions/TaxTreeModel.h"

#include "shell/base/NumberText.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <functional>

namespace {

QString Utf(const char* text) {
    return QString::fromUtf8(text);
}

enum class Icon { None, Root, Tarif, Account, Plan, Client };

Icon IconOf(int kind) {
    using namespace taxnode;
    switch (kind) {
    case TarifRoot:
    case PlanRoot:
    case ClientRoot:
        return Icon::Root;
    case Tarif:
    case PlanTarif:
        return Icon::Tarif;
    case DestAccount:
    case ClientSelfAccount:
    case ClientSubAccount:
        return Icon::Account;
    case Plan:
        return Icon::Plan;
    case Client:
        return Icon::Client;
    default:
        return Icon::None;
    }
}

// The node pictures: a coloured tile with a letter, drawn once.
QIcon DrawIcon(Icon icon) {
    struct Look {
        QColor colour;
        const char* letter;
    };
    static const Look looks[] = {{{}, ""},
                                 {QColor(90, 110, 140), "\xE2\x96\xA0"},
                                 {QColor(40, 120, 60), "T"},
                                 {QColor(170, 110, 20), "$"},
                                 {QColor(40, 80, 160), "P"},
                                 {QColor(130, 50, 120), "K"}};
    const Look& look = looks[int(icon)];
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(look.colour);
    painter.setPen(look.colour.darker(130));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(11);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString::fromUtf8(look.letter));
    painter.end();
    return QIcon(pixmap);
}

QString ScaleLevelText(const TScaleItem& line) {
    return QStringLiteral("от ") + FormatNumberPattern(QStringLiteral(",0"), line.Level);
}

void ForEachNode(TTaxNode& node, const std::function<void(TTaxNode&)>& visit) {
    for (auto& child : node.Children) {
        visit(*child);
        ForEachNode(*child, visit);
    }
}

TTaxNode* FindInTree(const TTaxNode& node, int kind, qint32 objectKind, qint32 id) {
    for (const auto& child : node.Children) {
        if (child->Kind == kind && child->Object && child->Object->Kind == objectKind &&
            child->Object->Id == id)
            return child.get();
        if (TTaxNode* found = FindInTree(*child, kind, objectKind, id))
            return found;
    }
    return nullptr;
}

} // namespace

int TTaxNode::Row() const {
    if (!Parent)
        return 0;
    const auto& siblings = Parent->Children;
    if (RowGuess < siblings.size() && siblings[RowGuess].get() == this)
        return int(RowGuess);
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this) {
            RowGuess = i;
            return int(i);
        }
    return 0;
}

TTaxTreeModel::TTaxTreeModel(const TTaxLists& lists, QObject* parent)
    : QAbstractItemModel(parent), lists_(lists) {}

TTaxTreeModel::~TTaxTreeModel() = default;

TTaxNode* TTaxTreeModel::Append(TTaxNode* parent, int kind, TBaseSimpleObject* object) {
    auto node = std::make_unique<TTaxNode>();
    node->Kind = kind;
    node->Object = object;
    node->Parent = parent;
    node->RowGuess = parent->Children.size();
    parent->Children.push_back(std::move(node));
    return parent->Children.back().get();
}

void TTaxTreeModel::AppendTarifSubtree(TTaxNode* node, TTaxTarif* tarif) {
    using namespace taxnode;
    Append(node, TarifType, tarif);
    Append(node, Algorithm, tarif);
    Append(node, DestAccount, tarif);
    auto areas = [&](int headKind, int includeKind, int excludeKind, int itemKind,
                     const TAreaList& include, const TAreaList& exclude) {
        TTaxNode* head = Append(node, headKind, tarif);
        TTaxNode* in = Append(head, includeKind, tarif);
        for (const auto& item : include)
            Append(in, itemKind, item.get());
        TTaxNode* out = Append(head, excludeKind, tarif);
        for (const auto& item : exclude)
            Append(out, itemKind, item.get());
    };
    switch (tarif->Algorithm) {
    case 1:
    case 2: {
        areas(AreaOfWork, WorkInclude, WorkExclude, AreaOfWorkItem, tarif->WorkInclude,
              tarif->WorkExclude);
        areas(AreaOfVol, VolInclude, VolExclude, AreaOfVolItem, tarif->VolInclude,
              tarif->VolExclude);
        TTaxNode* scale = Append(node, Scale, tarif);
        const int lineKind = tarif->Algorithm == 1 ? ScaleLineTurnover : ScaleLineCount;
        for (const auto& line : tarif->ScaleItems)
            Append(scale, lineKind, line.get());
        break;
    }
    case 3:
        Append(node, TarifSum, tarif);
        Append(node, GroupFlag, tarif);
        areas(AreaOfWork, WorkInclude, WorkExclude, AreaOfWorkItem, tarif->WorkInclude,
              tarif->WorkExclude);
        break;
    default:
        break;
    }
}

void TTaxTreeModel::AppendPlanSubtree(TTaxNode* node, TTaxTarifPlan* plan) {
    for (TTaxTarif* tarif : plan->Tarifs)
        Append(node, taxnode::PlanTarif, tarif);
}

void TTaxTreeModel::BuildTarifTree() {
    beginResetModel();
    root_.Children.clear();
    TTaxNode* top = Append(&root_, taxnode::TarifRoot, nullptr);
    for (TTaxTarif* tarif : lists_.Tarifs)
        AppendTarifSubtree(Append(top, taxnode::Tarif, tarif), tarif);
    endResetModel();
}

void TTaxTreeModel::BuildPlanTree() {
    beginResetModel();
    root_.Children.clear();
    TTaxNode* top = Append(&root_, taxnode::PlanRoot, nullptr);
    for (TTaxTarifPlan* plan : lists_.Plans)
        AppendPlanSubtree(Append(top, taxnode::Plan, plan), plan);
    endResetModel();
}

void TTaxTreeModel::BuildClientTree() {
    beginResetModel();
    root_.Children.clear();
    TTaxNode* top = Append(&root_, taxnode::ClientRoot, nullptr);
    for (TTaxClient* client : lists_.Clients) {
        TTaxNode* node = Append(top, taxnode::Client, client);
        Append(node, taxnode::ClientSelfAccount, client);
        Append(node, taxnode::ClientSubAccount, client);
    }
    endResetModel();
}

void TTaxTreeModel::Clear() {
    beginResetModel();
    root_.Children.clear();
    endResetModel();
}

TTaxNode* TTaxTreeModel::FirstRoot() const {
    return root_.Children.empty() ? nullptr : root_.Children.front().get();
}

void TTaxTreeModel::SortFirstRoot(int column, Qt::SortOrder order) {
    TTaxNode* top = FirstRoot();
    if (!top || top->Children.size() < 2)
        return;
    const bool byName = top->Kind == taxnode::TarifRoot;
    auto key = [&](const TTaxNode& node) {
        if (byName)
            return node.Kind == taxnode::Tarif && node.Object ? node.Object->Name : QString();
        return NodeText(node, column);
    };
    std::vector<std::pair<QString, std::unique_ptr<TTaxNode>>> keyed;
    keyed.reserve(top->Children.size());
    for (auto& child : top->Children)
        keyed.emplace_back(key(*child), std::move(child));
    // QString's operator< compares UTF-16 code units, not the locale's collation.
    if (order == Qt::AscendingOrder)
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    else
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return b.first < a.first; });

    emit layoutAboutToBeChanged({IndexOf(top)}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<std::pair<TTaxNode*, int>> held;
    held.reserve(size_t(persistent.size()));
    for (const QModelIndex& index : persistent)
        held.emplace_back(NodeOf(index), index.column());
    top->Children.clear();
    for (auto& [text, child] : keyed) {
        child->RowGuess = top->Children.size();
        top->Children.push_back(std::move(child));
    }
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const auto& [node, column] : held)
        moved << IndexOf(node, column);
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({IndexOf(top)}, QAbstractItemModel::VerticalSortHint);
}

TTaxNode* TTaxTreeModel::NodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<TTaxNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TTaxTreeModel::IndexOf(const TTaxNode* node, int column) const {
    if (!node || node == &root_)
        return {};
    return createIndex(node->Row(), column, const_cast<TTaxNode*>(node));
}

QString TTaxTreeModel::NodeText(const TTaxNode& node, int column) const {
    using namespace taxnode;
    const TBaseSimpleObject* object = node.Object;
    const auto* tarif = dynamic_cast<const TTaxTarif*>(object);
    const auto* client = dynamic_cast<const TTaxClient*>(object);
    const auto* line = dynamic_cast<const TScaleItem*>(object);
    const bool data = column == 1;
    switch (node.Kind) {
    case TarifRoot:
        return data ? QString() : Utf("Тарифы");
    case Tarif:
        return data || !tarif ? QString()
                              : QStringLiteral("%1  %2")
                                    .arg(tarif->Id, 4, 10, QLatin1Char('0'))
                                    .arg(tarif->Name);
    case TarifType:
        return !data ? Utf("Тип комиссии") : tarif ? TarifTypeName(tarif->TarifType) : QString();
    case Algorithm:
        if (!data)
            return Utf("Алгоритм");
        if (!tarif)
            return QString();
        return AlgorithmTreeName(tarif->Algorithm) +
               (tarif->Algorithm == 3 ? GroupFlagSuffix(tarif->GroupFlag) : QString());
    case AreaOfWork:
        return data ? QString() : Utf("Область действия");
    case AreaOfWorkItem:
    case AreaOfVolItem:
        return data || !object ? QString() : object->Name;
    case AreaOfVol:
        return data ? QString() : Utf("Метод вычисления объема");
    case Scale:
        return data ? QString() : Utf("Шкала");
    case ScaleLineTurnover:
    case ScaleLineCount:
        if (!line)
            return QString();
        if (!data)
            return ScaleLevelText(*line);
        if (line->IsSumLine())
            return FormatNumberPattern(QStringLiteral(",0.00"), line->Sum);
        if (node.Kind == ScaleLineTurnover) // "%" is a literal sign here, not a factor
            return FormatNumberPattern(QStringLiteral(",0.0000####"), line->Rate) +
                   QLatin1Char('%');
        return FormatNumberPattern(QStringLiteral(",0.0000"), line->Rate) +
               Utf("   руб. за контракт");
    case WorkInclude:
    case VolInclude:
        return data ? QString() : Utf("Включая следующие площадки\\листинги\\типы бумаг\\бумаги");
    case WorkExclude:
    case VolExclude:
        return data ? QString() : Utf("Исключая следующие площадки\\листинги\\типы бумаг\\бумаги");
    case DestAccount: {
        if (!data)
            return Utf("Счет для зачисления");
        if (!tarif)
            return QString();
        const TTaxSelfAccount* account =
            lists_.SelfAccounts.Find(kKindTaxSelfAccount, tarif->DestAccountId);
        return account ? account->Name : QStringLiteral("???");
    }
    case TarifSum:
        return !data   ? Utf("Сумма за изменение позиции")
               : tarif ? FormatNumberPattern(QStringLiteral(",0.00"), tarif->TarifSum)
                       : QString();
    case GroupFlag:
        return !data   ? Utf("Изменение позиции субклиентов")
               : tarif ? GroupFlagName(tarif->GroupFlag)
                       : QString();
    case PlanRoot:
        return data ? QString() : Utf("Тарифные планы");
    case Plan:
        return data || !object ? QString() : object->Name;
    case PlanTarif:
        if (!tarif)
            return QString();
        return data ? Utf("Тип комиссии: ") + TarifTypeName(tarif->TarifType)
                    : QStringLiteral("%1  %2").arg(tarif->Id).arg(tarif->Name);
    case ClientRoot:
        return data ? QString() : Utf("Подчиненные клиенты");
    case Client:
        if (!client)
            return QString();
        if (!data)
            return client->Name;
        return client->PlanId != 0 && client->Plan ? Utf("Тарифный план: ") + client->Plan->Name
                                                   : QString();
    case ClientSelfAccount: // the first letter is a Latin "C"
        if (!data)
            return Utf("Cобственные сделки. Счет для списания комиссии");
        return client && client->PlanId != 0 ? client->SelfAccountName : QString();
    case ClientSubAccount:
        if (!data)
            return Utf("Сделки субклиентов. Счет для списания комиссии");
        return client && client->PlanId != 0 ? client->CliAccountName : QString();
    default:
        return QString();
    }
}

TTaxNode* TTaxTreeModel::FindNode(int kind, qint32 objectKind, qint32 id) const {
    return FindInTree(root_, kind, objectKind, id);
}

TTaxNode* TTaxTreeModel::FindChild(const TTaxNode* parent, int kind, qint32 objectKind, qint32 id) {
    if (!parent)
        return nullptr;
    for (const auto& child : parent->Children)
        if (child->Kind == kind && child->Object && child->Object->Kind == objectKind &&
            child->Object->Id == id)
            return child.get();
    return nullptr;
}

int TTaxTreeModel::ReplaceObject(const TBaseSimpleObject* oldObject, TBaseSimpleObject* newObject) {
    int n = 0;
    ForEachNode(root_, [&](TTaxNode& node) {
        if (node.Object == oldObject) {
            node.Object = newObject;
            ++n;
        }
    });
    if (n)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 1));
    return n;
}

int TTaxTreeModel::DeleteNodesOf(const TBaseSimpleObject* object) {
    int n = 0;
    std::function<void(TTaxNode*)> sweep = [&](TTaxNode* parent) {
        for (int row = int(parent->Children.size()) - 1; row >= 0; --row) {
            TTaxNode* child = parent->Children[size_t(row)].get();
            if (child->Object == object) {
                beginRemoveRows(IndexOf(parent), row, row);
                parent->Children.erase(parent->Children.begin() + row);
                endRemoveRows();
                ++n;
            } else {
                sweep(child);
            }
        }
    };
    sweep(&root_);
    return n;
}

TTaxNode* TTaxTreeModel::Insert(TTaxNode* parent, int kind, TBaseSimpleObject* object,
                                void (*fill)(TTaxNode*, TBaseSimpleObject*)) {
    if (!parent)
        return nullptr;
    const int row = int(parent->Children.size());
    beginInsertRows(IndexOf(parent), row, row);
    TTaxNode* node = Append(parent, kind, object);
    if (fill)
        fill(node, object);
    endInsertRows();
    return node;
}

TTaxNode* TTaxTreeModel::AddTarifNode(TTaxTarif* tarif) {
    return Insert(FirstRoot(), taxnode::Tarif, tarif, [](TTaxNode* node, TBaseSimpleObject* o) {
        AppendTarifSubtree(node, static_cast<TTaxTarif*>(o));
    });
}

TTaxNode* TTaxTreeModel::AddPlanNode(TTaxTarifPlan* plan) {
    return Insert(FirstRoot(), taxnode::Plan, plan, [](TTaxNode* node, TBaseSimpleObject* o) {
        AppendPlanSubtree(node, static_cast<TTaxTarifPlan*>(o));
    });
}

TTaxNode* TTaxTreeModel::AddPlanTarifNode(TTaxNode* planNode, TTaxTarif* tarif) {
    return Insert(planNode, taxnode::PlanTarif, tarif, nullptr);
}

void TTaxTreeModel::DeleteNode(TTaxNode* node) {
    if (!node || !node->Parent)
        return;
    TTaxNode* parent = node->Parent;
    const int row = node->Row();
    beginRemoveRows(IndexOf(parent), row, row);
    parent->Children.erase(parent->Children.begin() + row);
    endRemoveRows();
}

void TTaxTreeModel::Redraw() {
    emit layoutAboutToBeChanged();
    emit layoutChanged();
}

QModelIndex TTaxTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const TTaxNode* owner = parent.isValid() ? NodeOf(parent) : &root_;
    if (!owner || row < 0 || column < 0 || column > 1 || row >= int(owner->Children.size()))
        return {};
    return createIndex(row, column, owner->Children[size_t(row)].get());
}

QModelIndex TTaxTreeModel::parent(const QModelIndex& child) const {
    const TTaxNode* node = NodeOf(child);
    if (!node || !node->Parent || node->Parent == &root_)
        return {};
    return IndexOf(node->Parent);
}

int TTaxTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const TTaxNode* owner = parent.isValid() ? NodeOf(parent) : &root_;
    return owner ? int(owner->Children.size()) : 0;
}

int TTaxTreeModel::columnCount(const QModelIndex&) const {
    return 2;
}

QVariant TTaxTreeModel::data(const QModelIndex& index, int role) const {
    const TTaxNode* node = NodeOf(index);
    if (!node)
        return {};
    if (role == Qt::DisplayRole)
        return NodeText(*node, index.column());
    if (role == Qt::DecorationRole && index.column() == 0)
        return NodeIcon(node->Kind);
    return {};
}

QVariant TTaxTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? Utf("Структура") : Utf("Данные");
}

QIcon TTaxTreeModel::NodeIcon(int kind) const {
    static QIcon icons[6];
    const Icon icon = IconOf(kind);
    if (icon == Icon::None)
        return {};
    QIcon& cached = icons[int(icon)];
    if (cached.isNull())
        cached = DrawIcon(icon);
    return cached;
}
