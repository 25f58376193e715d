#pragma once

#include "server/core/Answer.h"
#include "server/core/FilterExpr.h"
#include "server/core/Params.h"

#include <QList>
#include <QString>
#include <QVariantList>

struct EngineResult;

// Request pieces the list handlers of one area share: the "fltr" condition over a
// list's allowed columns, comma lists of ids, the metadata cache flag and the refused
// answer (no rows, the reason in "REQUEST.ERROR", one log line).
namespace listfilters {

// "_Деньги." + the trading system name, for lists joined with "trading_system t".
QString MoneyName();

// ID_BUM, TS and BOARD over an instrument column (a security joined as "s").
QList<FilterColumn> InstrumentColumns(const QString& secId);

// Adds "fltr" to the WHERE text; false with the reason for a text that is not a
// condition, names another column or asks a grouping.
bool AddFilter(const QString& fltr, const QList<FilterColumn>& allowed, QString& where,
               QVariantList& binds, QString* why);

// Adds "column IN (ids)" for a comma list of ids; an empty list is no restriction.
bool AddIdList(const ParamList& params, QLatin1StringView key, const QString& column,
               QString& where, QVariantList& binds, QString* why);

bool CachedMetadata(const ParamList& params);

EngineResult& Refused(EngineResult& r, int query, const QString& why);

} // namespace listfilters
