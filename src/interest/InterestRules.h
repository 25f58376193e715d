#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The checks and the request text of the tier dialog's "OK", apart from the dialog.

// The client's percentages down the tiers, as the "%" column shows them (the
// workstation's decimal separator). Empty when they may be sent; otherwise the
// message the dialog shows: a cell that is not a number, a percentage that rises
// with turnover, or one above 100. An empty cell reads as 0.
QString CheckTierPercents(const QStringList& percentTexts);

// One tier as the dialog sends it back: its id and the percentage as shown.
struct TTierPercent {
    QString TierId;
    QString Percent;
};

// "CLI=" + client, then "ID_BROSHKA"i and "PERCENT"i from 1, each pair followed by
// NUL; the percentages with "." as the decimal separator (an empty cell sends 0).
// Throws EConvertError for a percentage that is not a number.
QString UpdateBrokerPercentParams(const QString& clientId, const QList<TTierPercent>& tiers);
