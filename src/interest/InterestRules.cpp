#include "interest/InterestRules.h"

#include "shell/base/NumberText.h"

namespace {

QString Pair(const QString& key, const QString& value) {
    return key + QLatin1Char('=') + value + QChar(0);
}

} // namespace

QString CheckTierPercents(const QStringList& percentTexts) {
    double previous = 0;
    for (qsizetype i = 0; i < percentTexts.size(); ++i) {
        const QString text = percentTexts[i].trimmed();
        double value = 0;
        if (!text.isEmpty() && !TryParseLocaleNumber(text, value))
            return QStringLiteral("Cell does not contain a float value");
        if (i > 0 && previous < value)
            return QStringLiteral("Процент не может возрастать с увеличением оборотов!");
        if (value > 100)
            return QStringLiteral("А не слипнется! :-)");
        previous = value;
    }
    return {};
}

QString UpdateBrokerPercentParams(const QString& clientId, const QList<TTierPercent>& tiers) {
    QString params = Pair(QStringLiteral("CLI"), clientId);
    for (qsizetype i = 0; i < tiers.size(); ++i) {
        const QString n = QString::number(i + 1);
        const QString percent = tiers[i].Percent.trimmed();
        params += Pair(QStringLiteral("ID_BROSHKA") + n, tiers[i].TierId);
        params += Pair(QStringLiteral("PERCENT") + n,
                       percent.isEmpty() ? QStringLiteral("0") : NormalizeNumberText(percent));
    }
    return params;
}
