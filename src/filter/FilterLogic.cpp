#include "filter/FilterLogic.h"

namespace {

const QString kAnd = QStringLiteral(" AND (");
const QString kOr = QStringLiteral(" OR ");

// Terms of one list expression: " AND (" term { " OR " term } ")".
class TermList {
public:
    void Add(const QString& term) {
        text_ += text_.isEmpty() ? kAnd : kOr;
        text_ += term;
    }
    QString Close() const { return text_.isEmpty() ? text_ : text_ + QLatin1Char(')'); }

private:
    QString text_;
};

// A board code as an SQL text literal. Quotes inside the code are doubled so that an
// odd code cannot end the literal early and break the server's condition.
QString QuotedCode(const QString& code) {
    QString quoted = code;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// Number of leading characters of name equal to upperText, compared in upper case.
int LeadingMatch(const QString& name, const QString& upperText) {
    const qsizetype n = std::min(name.size(), upperText.size());
    qsizetype i = 0;
    while (i < n && name.at(i).toUpper() == upperText.at(i))
        ++i;
    return static_cast<int>(i);
}

enum class TreeKind { Accounts, Securities };

int FindInTree(const TFilterTree& tree, TreeKind which, const QString& text, bool fromFocused,
               int from) {
    if (text.isEmpty() || tree.IsEmpty())
        return TFilterTree::None;
    const bool accounts = which == TreeKind::Accounts;

    bool isNumber = false;
    const int number = text.trimmed().toInt(&isNumber);
    if (isNumber && number != 0) {
        for (int n = tree.Next(tree.Root()); n != TFilterTree::None; n = tree.Next(n)) {
            const FilterNode& node = tree.Node(n);
            const bool kindFits =
                accounts ? node.kind == FilterKind::Account
                         : (node.kind == FilterKind::Security || node.kind == FilterKind::Money);
            if (kindFits && node.id == number)
                return n;
        }
        return TFilterTree::None;
    }

    const int start = fromFocused && tree.IsValid(from) ? tree.Next(from) : tree.Next(tree.Root());
    if (text.startsWith(QLatin1Char('*'))) {
        const QString part = text.mid(1).toUpper();
        for (int n = start; n != TFilterTree::None; n = tree.Next(n)) {
            const FilterNode& node = tree.Node(n);
            if (accounts) {
                if ((node.kind == FilterKind::Account || node.kind == FilterKind::Client) &&
                    node.name.toUpper().contains(part))
                    return n;
            } else if (node.kind == FilterKind::Security &&
                       node.shortName.toUpper().contains(part)) {
                return n;
            }
        }
        return TFilterTree::None;
    }

    const QString prefix = text.toUpper();
    int best = 0;
    int found = TFilterTree::None;
    for (int n = start; n != TFilterTree::None; n = tree.Next(n)) {
        const FilterNode& node = tree.Node(n);
        const QString* name = nullptr;
        if (accounts && node.kind == FilterKind::Account)
            name = &node.name;
        else if (!accounts && node.kind == FilterKind::Security)
            name = &node.shortName;
        if (name == nullptr)
            continue;
        const int match = LeadingMatch(*name, prefix);
        if (match > best) {
            best = match;
            found = n;
            if (best == prefix.size())
                break; // nothing later can match longer
        }
    }
    return found;
}

} // namespace

void AddCaptionItem(QString& list, const QString& item) {
    if (list.isEmpty())
        list = item;
    else
        list += QStringLiteral(" | ") + item;
}

QString PaddedId(int id) {
    const QString digits = QString::number(id < 0 ? -static_cast<qint64>(id) : id);
    return (id < 0 ? QStringLiteral("-") : QString()) + digits.rightJustified(4, QLatin1Char('0'));
}

void TFilterLogic::ResetForShow() {
    FilterBumList.clear();
    FilterAccList.clear();
    BuySellCode = QStringLiteral("BS");
    StatusMask = 0;
}

QString TFilterLogic::AccountFilter(QString& captions) {
    const int root = AccTree.Root();
    if (root == TFilterTree::None || AccTree.Mark(root) != CheckMark::Mixed)
        return QString();
    TermList terms;
    for (int n : AccTree.Order()) {
        const FilterNode& node = AccTree.Node(n);
        if (node.kind != FilterKind::Account || node.mark != CheckMark::Checked)
            continue;
        terms.Add(QStringLiteral("ID_ACC=") + QString::number(node.id));
        AddCaptionItem(captions, node.name);
        FilterAccList.append(QString::number(node.id));
    }
    return terms.Close();
}

QString TFilterLogic::SecurityFilter(QString& captions, bool includeMoney) {
    const int root = BumTree.Root();
    if (root == TFilterTree::None || BumTree.Mark(root) == CheckMark::Checked)
        return QString();
    TermList terms;
    const QString all = QStringLiteral("Все ");
    for (int ts : BumTree.Node(root).children) {
        const FilterNode& tsNode = BumTree.Node(ts);
        if (tsNode.mark == CheckMark::Checked) {
            terms.Add(QStringLiteral("TS=") + QString::number(tsNode.id));
            AddCaptionItem(captions, all + tsNode.name);
            continue;
        }
        if (tsNode.mark != CheckMark::Mixed)
            continue;
        for (int child : tsNode.children) {
            const FilterNode& node = BumTree.Node(child);
            if (node.kind == FilterKind::Board) {
                if (node.mark == CheckMark::Checked) {
                    terms.Add(QStringLiteral("BOARD=") + QuotedCode(node.code));
                    AddCaptionItem(captions, all + node.name);
                } else if (node.mark == CheckMark::Mixed) {
                    for (int sec : node.children) {
                        const FilterNode& s = BumTree.Node(sec);
                        if (s.mark != CheckMark::Checked)
                            continue;
                        terms.Add(QStringLiteral("ID_BUM=") + QString::number(s.id));
                        AddCaptionItem(captions, s.shortName);
                    }
                }
            } else if (node.kind == FilterKind::Money && includeMoney &&
                       node.mark == CheckMark::Checked) {
                terms.Add(QStringLiteral("ID_BUM=") + QString::number(node.id));
                AddCaptionItem(captions, node.shortName);
            }
        }
    }
    for (int n : BumTree.Order()) {
        const FilterNode& node = BumTree.Node(n);
        if (node.mark != CheckMark::Checked)
            continue;
        if (node.kind == FilterKind::Security || (includeMoney && node.kind == FilterKind::Money))
            FilterBumList.append(QString::number(node.id));
    }
    return terms.Close();
}

QString TFilterLogic::DebitCreditFilter(QString& captions) {
    if (!Debit && !Credit) {
        Debit = true;
        Credit = true;
    }
    TermList terms;
    const int root = AccTree.Root();
    if (root != TFilterTree::None && AccTree.Mark(root) == CheckMark::Mixed) {
        for (int n : AccTree.Order()) {
            const FilterNode& node = AccTree.Node(n);
            if (node.kind != FilterKind::Account || node.mark != CheckMark::Checked)
                continue;
            const QString id = QString::number(node.id);
            if (Debit)
                terms.Add(QStringLiteral("ID_ACC_DEBET=") + id);
            if (Credit)
                terms.Add(QStringLiteral("ID_ACC_KREDIT=") + id);
            AddCaptionItem(captions, node.name);
            FilterAccList.append(id);
        }
    }
    if (Debit != Credit)
        AddCaptionItem(captions,
                       Debit ? QStringLiteral("{списание}") : QStringLiteral("{зачисление}"));
    return terms.Close();
}

QString TFilterLogic::BuySellFilter(QString& captions) {
    BuySellCode = QStringLiteral("BS");
    if (Sell && Buy)
        return QString();
    if (Sell) {
        AddCaptionItem(captions, QStringLiteral("{продажа}"));
        BuySellCode = QStringLiteral("S");
        return QStringLiteral(" AND BUY_SELL='S'");
    }
    AddCaptionItem(captions, QStringLiteral("{покупка}"));
    BuySellCode = QStringLiteral("B");
    return QStringLiteral(" AND BUY_SELL='B'");
}

QString TFilterLogic::OrderStatusFilter(QString& captions) {
    const bool all = Active && Executed && Cancelled;
    const bool none = !Active && !Executed && !Cancelled;
    if (all || none)
        return QString();
    int sum = 0;
    QString items;
    if (Active) {
        sum += StatusTag::Active;
        AddCaptionItem(items, QStringLiteral("{ Активные}"));
    }
    if (Executed) {
        sum += StatusTag::Executed;
        AddCaptionItem(items, QStringLiteral("{ Удовлетворенные}"));
    }
    if (Cancelled) {
        sum += StatusTag::Cancelled;
        AddCaptionItem(items, QStringLiteral("{ Отмененные}"));
    }
    AddCaptionItem(captions, items);
    StatusMask = sum;
    switch (sum) {
    case 1:
        return QStringLiteral(" AND ostatus<11");
    case 2:
        return QStringLiteral(" AND ostatus=11");
    case 3:
        return QStringLiteral(" AND ostatus<20");
    case 4:
        return QStringLiteral(" AND ostatus>19");
    case 5:
        return QStringLiteral(" AND ostatus<>11");
    default:
        return QStringLiteral(" AND ostatus>10");
    }
}

QString TFilterLogic::PositionFilter(QString& captions) {
    ShortLongCode = QStringLiteral("SL");
    if (Short == Long)
        return QString();
    if (Long) {
        AddCaptionItem(captions, QStringLiteral("{длинная}"));
        ShortLongCode = QStringLiteral("L");
        return QStringLiteral(" AND curr>0 AND plann>0");
    }
    AddCaptionItem(captions, QStringLiteral("{короткая}"));
    ShortLongCode = QStringLiteral("S");
    return QStringLiteral(" AND (curr<0 OR plann<0)");
}

QString TFilterLogic::Validate(int mask) const {
    const auto rootUnchecked = [](const TFilterTree& tree) {
        return !tree.IsEmpty() && tree.Mark(tree.Root()) == CheckMark::Unchecked;
    };
    if ((mask & FilterMask::Accounts) && rootUnchecked(AccTree))
        return QStringLiteral("Не выбран ни один счет!");
    if ((mask & FilterMask::Securities) && rootUnchecked(BumTree))
        return QStringLiteral("Не выбран ни один инструмент!");
    if ((mask & FilterMask::BuySell) && !Sell && !Buy)
        return QStringLiteral("Неправильно установлен фильтр покупки\\продажи!");
    if ((mask & FilterMask::Position) && !Short && !Long)
        return QStringLiteral("Неправильно установлен фильтр позиции!");
    if ((mask & FilterMask::OrderStatus) && !Active && !Executed && !Cancelled)
        return QStringLiteral("Неправильно установлен фильтр статуса заявок!");
    return QString();
}

void TFilterLogic::InvertAccMarks() {
    AccTree.InvertWhere([](const FilterNode& node) {
        return node.kind == FilterKind::Account ||
               (node.kind == FilterKind::Client && node.children.empty());
    });
}

void TFilterLogic::InvertBumMarks() {
    BumTree.InvertWhere([](const FilterNode& node) {
        return node.kind == FilterKind::Security || node.kind == FilterKind::Money ||
               (node.kind == FilterKind::Board && node.children.empty());
    });
}

int TFilterLogic::FindAcc(const QString& text, bool fromFocused, int from) const {
    return FindInTree(AccTree, TreeKind::Accounts, text, fromFocused, from);
}

int TFilterLogic::FindBum(const QString& text, bool fromFocused, int from) const {
    return FindInTree(BumTree, TreeKind::Securities, text, fromFocused, from);
}
