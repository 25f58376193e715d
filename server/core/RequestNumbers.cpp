#include "server/core/RequestNumbers.h"

#include <limits>

namespace RequestNumbers {

namespace {

struct Range {
    bool signAllowed;
    qint64 min;
    qint64 max;
    const char* what;
};

Range RangeOf(Kind kind) {
    constexpr qint64 kMax64 = std::numeric_limits<qint64>::max();
    switch (kind) {
    case Kind::QueryCode:
        return {false, 0, std::numeric_limits<qint32>::max(), "a query number"};
    case Kind::Id:
        return {true, std::numeric_limits<qint64>::min(), kMax64, "an id"};
    case Kind::OrderNumber:
        return {false, 0, kMax64, "an order number"};
    case Kind::StatusMask:
        return {false, 0, 7, "a status mask (0 to 7)"};
    }
    return {false, 0, 0, "a number"};
}

} // namespace

const std::vector<NumericParam>& Table() {
    static const std::vector<NumericParam> table = {
        {"SpisokBB", -1, "chto", Kind::QueryCode, false, true},
        {"ExecQueryBB", -1, "chto", Kind::QueryCode, false, true},
        {"SpisokBB", 211, "filter_acc", Kind::Id, true, false},
        {"SpisokBB", 211, "filter_bum", Kind::Id, true, false},
        {"SpisokBB", 211, "filter_order_status", Kind::StatusMask, false, false},
        {"SpisokBB", 211, "filter_key_values", Kind::OrderNumber, true, false},
        {"ExecQueryBB", 20, "param0", Kind::OrderNumber, false, true},
        {"ExecQueryBB", 30, "param0", Kind::Id, false, true},
        {"ExecQueryBB", 40, "param0", Kind::Id, false, true},
        {"ExecQueryBB", 1821, "param0", Kind::OrderNumber, false, true},
        {"ExecQueryBB", 1821, "param1", Kind::Id, false, true},
        {"ExecQueryBB", 1821, "param2", Kind::Id, false, true},
    };
    return table;
}

std::optional<qint64> Parse(QStringView text, Kind kind) {
    const Range range = RangeOf(kind);
    qsizetype i = 0;
    const bool negative = range.signAllowed && !text.isEmpty() && text[0] == u'-';
    if (negative)
        ++i;
    if (i >= text.size())
        return std::nullopt;
    // Accumulated as a negative value, which holds the whole range of qint64.
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (value < (kMin + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == kMin)
            return std::nullopt;
        value = -value;
    }
    if (value < range.min || value > range.max)
        return std::nullopt;
    return value;
}

QString Check(const QString& request, const ParamList& params) {
    std::optional<qint64> query;
    for (const NumericParam& p : Table()) {
        if (request != QLatin1String(p.request))
            continue;
        if (p.query >= 0 && query != p.query)
            continue;
        const QString key = QString::fromLatin1(p.key);
        const QString text = params.Value(key);
        const char* what = RangeOf(p.kind).what;
        if (text.isEmpty()) {
            if (p.required)
                return QStringLiteral("%1 is missing (%2 expected)").arg(key, QLatin1String(what));
            continue;
        }
        const auto refuse = [&](const QString& item) {
            return QStringLiteral("%1 \"%2\" is not %3")
                .arg(key, item.left(40), QLatin1String(what));
        };
        if (p.list) {
            bool closed = true;
            const QStringList items = ParseCommaText(text, &closed);
            if (!closed)
                return refuse(text);
            for (const QString& item : items)
                if (!Parse(item, p.kind))
                    return refuse(item);
            continue;
        }
        const auto value = Parse(text, p.kind);
        if (!value)
            return refuse(text);
        if (p.kind == Kind::QueryCode)
            query = value;
    }
    return {};
}

} // namespace RequestNumbers
