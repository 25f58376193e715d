#include "margin/MarginSecurityTree.h"
#include "filter/FilterLogic.h"
#include "shell/base/Log.h"
#include "shell/refs/ReferenceData.h"

#include <QHash>

#include <exception>

namespace {

FilterNode MakeNode(int kind, int id, const QString& name, const QString& text) {
    FilterNode node;
    node.kind = kind;
    node.id = id;
    node.name = name;
    node.text = text;
    return node;
}

int LeadingMatch(const QString& name, const QString& text) {
    const qsizetype n = std::min(name.size(), text.size());
    int i = 0;
    while (i < n && name[i].toUpper() == text[i])
        ++i;
    return i;
}

} // namespace

int TMarginSecurityTree::AllNode() const {
    if (Tree.IsEmpty() || Tree.Node(Top()).children.empty())
        return TFilterTree::None;
    return Tree.Node(Top()).children.front();
}

void TMarginSecurityTree::Fill(const TReferenceData& refs, bool showNotTraded) {
    WriteLog(QStringLiteral("Сторою дерево в окне маржинальных бумаг."));
    Tree.Clear();
    try {
        const int top = Tree.AddRoot(MakeNode(0, 0, QString(), QString()));
        const int all = Tree.AddChild(
            top, MakeNode(FilterKind::AllSecurities, 0, QString(), QStringLiteral("ВСЕ БУМАГИ")));
        QHash<qint32, const TMoneyObj*> moneyOf;
        for (const TMoneyObj* money : refs.MoneyItems)
            if (!moneyOf.contains(money->TradingSystemId))
                moneyOf.insert(money->TradingSystemId, money);
        QHash<qint32, std::vector<const TBoardObj*>> boardsOf;
        for (const TBoardObj* board : refs.Boards)
            boardsOf[board->TradingSystemId].push_back(board);
        QHash<const TBoardObj*, int> boardNode;
        for (const TTSObj* ts : refs.TradingSystems) {
            const int tsNode =
                Tree.AddChild(all, MakeNode(FilterKind::TradingSystem, ts->Id, ts->Name, ts->Name));
            if (const TMoneyObj* money = moneyOf.value(ts->Id, nullptr))
                Tree.AddChild(tsNode,
                              MakeNode(FilterKind::Money, money->Id, money->Name, money->Name));
            for (const TBoardObj* board : boardsOf.value(ts->Id))
                boardNode.insert(board, Tree.AddChild(tsNode, MakeNode(FilterKind::Board, board->Id,
                                                                       board->Name, board->Name)));
        }
        // A security goes under the node of the first board of its code; when that
        // board got no node, to the top level; with no board of its code, nowhere.
        QHash<QString, const TBoardObj*> firstBoard;
        for (const TBoardObj* board : refs.Boards)
            if (!firstBoard.contains(board->BoardCode))
                firstBoard.insert(board->BoardCode, board);
        for (const TBumObj* bum : refs.Securities) {
            if (bum->NotTraded == 1 && !showNotTraded)
                continue;
            const TBoardObj* board = firstBoard.value(bum->BoardCode, nullptr);
            if (!board)
                continue;
            FilterNode node = MakeNode(FilterKind::Security, bum->Id, bum->Name,
                                       PaddedId(bum->Id) + QLatin1Char(' ') + bum->Name);
            if (bum->NotTraded == 1)
                node.icon = FilterIcon::NotTraded;
            Tree.AddChild(boardNode.value(board, top), std::move(node));
        }
        Tree.Finish();
        Tree.SetMark(top, CheckMark::Unchecked);
    } catch (const std::exception& e) {
        Tree.Finish();
        WriteLog(QStringLiteral("EXCEPTION FormMarginAddRule.FillTreeBum. ") +
                 QString::fromUtf8(e.what()));
    }
}

int TMarginSecurityTree::Find(const QString& text, bool fromFocused, int focused) const {
    if (text.isEmpty() || Tree.IsEmpty())
        return TFilterTree::None;
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber && number != 0) {
        for (int n = Tree.Next(Top()); n != TFilterTree::None; n = Tree.Next(n)) {
            const FilterNode& node = Tree.Node(n);
            if ((node.kind == FilterKind::Security || node.kind == FilterKind::Money) &&
                node.id == number)
                return n;
        }
        return TFilterTree::None;
    }
    const int start =
        fromFocused && Tree.IsValid(focused) ? Tree.Next(focused) : Tree.Next(AllNode());
    int best = 0;
    int found = TFilterTree::None;
    for (int n = start; n != TFilterTree::None; n = Tree.Next(n)) {
        const FilterNode& node = Tree.Node(n);
        if (node.kind != FilterKind::Security)
            continue;
        const int match = LeadingMatch(node.name, text);
        if (match > best) {
            best = match;
            found = n;
            if (best == text.size())
                break; // nothing later can match longer
        }
    }
    return found;
}

void TMarginSecurityTree::Invert() {
    Tree.InvertWhere([](const FilterNode& node) {
        return node.kind == FilterKind::Security || node.kind == FilterKind::Money ||
               (node.kind == FilterKind::Board && node.children.empty());
    });
}

QStringList TMarginSecurityTree::Chosen() const {
    QStringList out;
    for (int n : Tree.Order()) {
        const FilterNode& node = Tree.Node(n);
        if ((node.kind == FilterKind::Security || node.kind == FilterKind::Money) &&
            node.mark == CheckMark::Checked)
            out << QString::number(node.id);
    }
    return out;
}
