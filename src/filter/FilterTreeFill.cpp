// Building the two filter trees from the reference data.
#include "filter/ClientPlacement.h"
#include "filter/FilterLogic.h"
#include "shell/base/Log.h"
#include "shell/refs/ReferenceData.h"

#include <QElapsedTimer>
#include <QHash>

#include <algorithm>
#include <exception>

namespace {

FilterNode MakeNode(int kind, int id, const QString& name, const QString& text,
                    const void* object = nullptr) {
    FilterNode node;
    node.kind = kind;
    node.id = id;
    node.name = name;
    node.text = text;
    node.object = object;
    return node;
}

// Places the clients as PlaceClients orders them, each as the last child of its
// parent's node.
class ClientPlacer {
public:
    ClientPlacer(TFilterTree& tree, const TObjectList<TCliObj>& clients)
        : tree_(tree), clients_(clients), nodeOf_(static_cast<size_t>(clients.Count()), -1),
          indexById_(ClientIndexById(clients)) {}

    void PlaceAll() {
        for (const ClientPlacementStep& step : PlaceClients(clients_)) {
            int parentNode = tree_.Root();
            if (step.parent >= 0) {
                parentNode = nodeOf_[static_cast<size_t>(step.parent)];
                tree_.MutableNode(parentNode).icon = FilterIcon::ClientGroup;
            }
            const TCliObj* obj = clients_[step.client];
            FilterNode node = MakeNode(FilterKind::Client, obj->Id, obj->Name, obj->Name, obj);
            node.icon = FilterIcon::Client;
            nodeOf_[static_cast<size_t>(step.client)] = tree_.AddChild(parentNode, std::move(node));
        }
    }

    // The tree node of the first client with that id, or -1.
    int NodeOfClientId(qint32 id) const {
        const int i = indexById_.value(id, -1);
        return i < 0 ? -1 : nodeOf_[static_cast<size_t>(i)];
    }

private:
    TFilterTree& tree_;
    const TObjectList<TCliObj>& clients_;
    std::vector<int> nodeOf_;
    QHash<qint32, int> indexById_;
};

} // namespace

void TFilterLogic::ClearTrees() {
    AccTree.Clear();
    BumTree.Clear();
}

void TFilterLogic::FillTreeAcc(TReferenceData& refs, bool showClients) {
    WriteLog(QStringLiteral("Строю дерево клиентов и счетов в фильтре."));
    QElapsedTimer timer;
    timer.start();
    try {
        AccTree.Clear();
        const int root = AccTree.AddRoot(
            MakeNode(FilterKind::AllAccounts, 0, QString(), QStringLiteral("ВСЕ СЧЕТА")));
        ClientPlacer placer(AccTree, refs.Clients);
        if (showClients)
            placer.PlaceAll();
        // Accounts go in list order before the sub-clients of their client.
        QHash<int, std::vector<int>> accountsOf;
        for (const TAccObj* acc : refs.Accounts) {
            int target = showClients ? placer.NodeOfClientId(acc->ClientId) : -1;
            if (target < 0)
                target = root;
            FilterNode node = MakeNode(FilterKind::Account, acc->Id, acc->Name,
                                       PaddedId(acc->Id) + QLatin1Char(' ') +
                                           refs.AccountDisplayName(acc->Id, acc->Name),
                                       acc);
            node.icon = FilterIcon::Account;
            accountsOf[target].push_back(AccTree.AddDetached(std::move(node)));
        }
        for (auto it = accountsOf.begin(); it != accountsOf.end(); ++it) {
            std::vector<int> children = std::move(it.value());
            const auto& existing = AccTree.Node(it.key()).children;
            children.insert(children.end(), existing.begin(), existing.end());
            AccTree.SetChildren(it.key(), std::move(children));
        }
        if (!showClients) {
            // Names compared without regard to case: fold each once, not per comparison.
            std::vector<int> children = AccTree.Node(root).children;
            std::vector<QString> folded(static_cast<size_t>(AccTree.Count()));
            for (int n : children)
                folded[static_cast<size_t>(n)] = AccTree.Node(n).name.toCaseFolded();
            std::stable_sort(children.begin(), children.end(), [&](int a, int b) {
                const bool aAcc = AccTree.Node(a).kind == FilterKind::Account;
                const bool bAcc = AccTree.Node(b).kind == FilterKind::Account;
                if (aAcc != bAcc)
                    return aAcc;
                return folded[static_cast<size_t>(a)] < folded[static_cast<size_t>(b)];
            });
            AccTree.SetChildren(root, std::move(children));
        }
        AccTree.Finish();
        AccTree.SetMark(root, CheckMark::Checked);
        WriteLog(QStringLiteral("AccTree=") + QString::number(timer.elapsed()));
    } catch (const std::exception& e) {
        AccTree.Finish();
        WriteLog(QStringLiteral("EXCEPTION FormFiltr.FillTreeAcc. ") + QString::fromUtf8(e.what()));
    }
}

void TFilterLogic::FillTreeBum(const TReferenceData& refs, bool showNotTraded) {
    WriteLog(QStringLiteral("Строю дерево бумаг в фильтре."));
    try {
        BumTree.Clear();
        const int root = BumTree.AddRoot(
            MakeNode(FilterKind::AllSecurities, 0, QString(), QStringLiteral("ВСЕ БУМАГИ")));
        QHash<qint32, const TMoneyObj*> moneyOf;
        for (const TMoneyObj* money : refs.MoneyItems) {
            if (!moneyOf.contains(money->TradingSystemId))
                moneyOf.insert(money->TradingSystemId, money);
        }
        QHash<qint32, std::vector<const TBoardObj*>> boardsOf;
        for (const TBoardObj* board : refs.Boards)
            boardsOf[board->TradingSystemId].push_back(board);

        QHash<const TBoardObj*, int> boardNode;
        for (const TTSObj* ts : refs.TradingSystems) {
            const int tsNode = BumTree.AddChild(
                root, MakeNode(FilterKind::TradingSystem, ts->Id, ts->Name, ts->Name, ts));
            if (const TMoneyObj* money = moneyOf.value(ts->Id, nullptr)) {
                FilterNode node =
                    MakeNode(FilterKind::Money, money->Id, money->Name, money->ShortName, money);
                node.shortName = money->ShortName;
                BumTree.AddChild(tsNode, std::move(node));
            }
            for (const TBoardObj* board : boardsOf.value(ts->Id)) {
                FilterNode node =
                    MakeNode(FilterKind::Board, board->Id, board->Name, board->Name, board);
                node.code = board->BoardCode;
                const int n = BumTree.AddChild(tsNode, std::move(node));
                if (!boardNode.contains(board))
                    boardNode.insert(board, n);
            }
        }
        // A security goes under the first board of its code that is in the tree.
        QHash<QString, int> nodeOfCode;
        for (const TBoardObj* board : refs.Boards) {
            const int n = boardNode.value(board, -1);
            if (n >= 0 && !nodeOfCode.contains(board->BoardCode))
                nodeOfCode.insert(board->BoardCode, n);
        }
        for (const TBumObj* bum : refs.Securities) {
            if (bum->NotTraded == 1 && !showNotTraded)
                continue;
            const int boardIndex = nodeOfCode.value(bum->BoardCode, -1);
            if (boardIndex < 0)
                continue;
            FilterNode node = MakeNode(FilterKind::Security, bum->Id, bum->Name,
                                       PaddedId(bum->Id) + QLatin1Char(' ') + bum->ShortName, bum);
            node.shortName = bum->ShortName;
            if (bum->NotTraded == 1)
                node.icon = FilterIcon::NotTraded;
            BumTree.AddChild(boardIndex, std::move(node));
        }
        BumTree.Finish();
        BumTree.SetMark(root, CheckMark::Checked);
    } catch (const std::exception& e) {
        BumTree.Finish();
        WriteLog(QStringLiteral("EXCEPTION FormFiltr.FillTreeBum. ") + QString::fromUtf8(e.what()));
    }
}
