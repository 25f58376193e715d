#include "server/core/ListFilters.h"

#include "server/core/Engine.h"
#include "server/core/ServerLog.h"
#include "session/wire/Vocabulary.h"

namespace listfilters {

QString MoneyName() {
    return QStringLiteral("'_Деньги.' || t.name");
}

QList<FilterColumn> InstrumentColumns(const QString& secId) {
    return {
        {QStringLiteral("ID_BUM"), secId, false},
        {QStringLiteral("TS"),
         QStringLiteral("CASE WHEN %1 < 0 THEN -%1 ELSE s.ts_id END").arg(secId), false},
        {QStringLiteral("BOARD"), QStringLiteral("s.board_code"), true},
    };
}

bool AddFilter(const QString& fltr, const QList<FilterColumn>& allowed, QString& where,
               QVariantList& binds, QString* why) {
    if (fltr.trimmed().isEmpty())
        return true;
    const ParsedFilter parsed = ParseFilter(fltr);
    if (!parsed.ok) {
        *why = QStringLiteral("fltr \"%1\": %2").arg(fltr.left(200), parsed.error);
        return false;
    }
    if (parsed.groupByInstrument) {
        *why = QStringLiteral("fltr \"%1\": this list is not grouped").arg(fltr.left(200));
        return false;
    }
    const FilterSql sql = FilterToSql(parsed, allowed);
    if (!sql.ok) {
        *why = QStringLiteral("fltr \"%1\": %2").arg(fltr.left(200), sql.error);
        return false;
    }
    where += sql.where;
    binds << sql.binds;
    return true;
}

bool AddIdList(const ParamList& params, QLatin1StringView key, const QString& column,
               QString& where, QVariantList& binds, QString* why) {
    const QString text = params.Value(key);
    if (text.isEmpty())
        return true;
    const auto ids = ParseIdList(text);
    if (!ids) {
        *why = QStringLiteral("%1 is not a list of ids: \"%2\"").arg(key, text.left(100));
        return false;
    }
    where += QStringLiteral(" AND %1 IN (SELECT value FROM json_each(?))").arg(column);
    binds << JsonArray(*ids);
    return true;
}

bool CachedMetadata(const ParamList& params) {
    return params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1");
}

EngineResult& Refused(EngineResult& r, int query, const QString& why) {
    ServerLog::Line(QStringLiteral("SpisokBB %1 rejected, empty answer: %2").arg(query).arg(why));
    r.answer.rows.clear();
    Refusal::Set(r.answer, why);
    return r;
}

} // namespace listfilters
