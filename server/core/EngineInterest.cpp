// Broker interest: the tier ladder, each client's percentage per tier, the withholding
// flag and the firm's account that receives the interest. The lists answer "SPExec";
// the three updates answer with "Text" among the echoed parameters: "OK" or the reason,
// which the workstation shows verbatim.
#include "server/core/Engine.h"

#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <set>

using WireText::RowBuilder;

namespace {

const QString kText = QStringLiteral("Text");
const QString kOk = QStringLiteral("OK");

// A percentage exactly as the workstation sends it: digits with an optional "."
// fraction, never a sign, a blank or an exponent.
bool ReadPercent(const QString& text, double& value) {
    static const QRegularExpression dotDecimal(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,10})?$"));
    if (!dotDecimal.match(text).hasMatch())
        return false;
    bool ok = false;
    value = text.toDouble(&ok);
    return ok;
}

EngineResult Answered(const ParamList& params, const QString& text) {
    EngineResult r;
    r.answer.echo = params;
    r.answer.echo.Set(kText, text);
    if (text != kOk)
        ServerLog::Line(QStringLiteral("broker interest update refused: %1 (%2)")
                            .arg(text, params.Describe().left(300)));
    return r;
}

} // namespace

EngineResult Engine::StoredProcedure(const ParamList& params) {
    const QString procedure = params.Value(QStringLiteral("SP"));
    if (procedure == QLatin1String("GET_CLI_PERCENT_ALL"))
        return InterestAll(params);
    if (procedure == QLatin1String("GET_CLI_PERCENT"))
        return InterestOfClient(params);
    EngineResult r;
    r.answer.echo = params;
    ServerLog::Line(
        QStringLiteral("SPExec: unknown procedure \"%1\", empty answer").arg(procedure.left(60)));
    return r;
}

// Every client with interest settings, one row per (client, tier), the tiers in ladder
// order for every client: 0 client, 1 name, 2 withholding "1"/"0", 3 tier id, 4 lower
// bound, 5 upper bound, 6 the higher broker's percentage, 7 the client's percentage
// (0 where none is stored), 8 the firm's interest account.
EngineResult Engine::InterestAll(const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const auto firm = params.Int(QStringLiteral("Params"));
    if (!firm || QString::number(*firm) != store_.State(QStringLiteral("client_key"))) {
        ServerLog::Line(QStringLiteral("GET_CLI_PERCENT_ALL: \"%1\" is not the firm's client, "
                                       "empty answer")
                            .arg(params.Value(QStringLiteral("Params")).left(40)));
        return r;
    }
    const QString account = store_.State(QStringLiteral("interest_acc"), QStringLiteral("0"));
    QSqlQuery q(store_.Db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(
            "SELECT f.cli_id, c.name, f.auto_calc, t.id, t.lower_bound, t.upper_bound, "
            "t.upper_broker_percent, COALESCE(ci.percent, 0) "
            "FROM client_interest_flag f JOIN client c ON c.id = f.cli_id "
            "CROSS JOIN interest_tier t "
            "LEFT JOIN client_interest ci ON ci.cli_id = f.cli_id AND ci.tier_id = t.id "
            "ORDER BY f.cli_id, t.lower_bound, t.id"))) {
        ServerLog::Line(QStringLiteral("GET_CLI_PERCENT_ALL: %1").arg(q.lastError().text()));
        return r;
    }
    while (q.next()) {
        r.answer.rows << RowBuilder()
                             .Int(q.value(0).toLongLong())
                             .Text(q.value(1).toString())
                             .Int(q.value(2).toInt() != 0 ? 1 : 0)
                             .Int(q.value(3).toLongLong())
                             .Number(q.value(4).toDouble())
                             .Number(q.value(5).toDouble())
                             .Number(q.value(6).toDouble())
                             .Number(q.value(7).toDouble())
                             .Plain(account)
                             .Take();
    }
    return r;
}

// One client's ladder: 0 tier id, 1 lower bound, 2 upper bound, 3 the higher broker's
// percentage, 4 the client's percentage.
EngineResult Engine::InterestOfClient(const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const auto client = params.Int(QStringLiteral("Params"));
    if (!client ||
        store_.ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM client WHERE id = ?"), {*client})
                .toInt() == 0) {
        ServerLog::Line(QStringLiteral("GET_CLI_PERCENT: unknown client \"%1\", empty answer")
                            .arg(params.Value(QStringLiteral("Params")).left(40)));
        return r;
    }
    QSqlQuery q(store_.Db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT t.id, t.lower_bound, t.upper_bound, t.upper_broker_percent, "
                             "COALESCE(ci.percent, 0) FROM interest_tier t "
                             "LEFT JOIN client_interest ci ON ci.tier_id = t.id AND ci.cli_id = ? "
                             "ORDER BY t.lower_bound, t.id"));
    q.addBindValue(*client);
    if (!q.exec()) {
        ServerLog::Line(QStringLiteral("GET_CLI_PERCENT: %1").arg(q.lastError().text()));
        return r;
    }
    while (q.next())
        r.answer.rows << RowBuilder()
                             .Int(q.value(0).toLongLong())
                             .Number(q.value(1).toDouble())
                             .Number(q.value(2).toDouble())
                             .Number(q.value(3).toDouble())
                             .Number(q.value(4).toDouble())
                             .Take();
    return r;
}

// "CLI", then "ID_BROSHKA"i / "PERCENT"i from 1: every tier of the ladder once, each
// percentage 0 to 100, never rising along the ladder. All or nothing.
EngineResult Engine::UpdateBrokerPercent(const ParamList& params) {
    const auto client = params.Int(QStringLiteral("CLI"));
    if (!client ||
        store_.ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM client WHERE id = ?"), {*client})
                .toInt() == 0)
        return Answered(params, QStringLiteral("Клиент не найден"));

    // The ladder in its order.
    std::vector<qint64> ladder;
    {
        QSqlQuery q(store_.Db());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT id FROM interest_tier ORDER BY lower_bound, id")))
            return Answered(params, QStringLiteral("Ошибка чтения уровней оборота"));
        while (q.next())
            ladder.push_back(q.value(0).toLongLong());
    }
    QHash<qint64, double> percentOf;
    for (int i = 1;; ++i) {
        const QString idKey = QStringLiteral("ID_BROSHKA%1").arg(i);
        const QString percentKey = QStringLiteral("PERCENT%1").arg(i);
        if (!params.Has(idKey) && !params.Has(percentKey))
            break;
        const auto tier = params.Int(idKey);
        if (!tier || std::find(ladder.begin(), ladder.end(), *tier) == ladder.end())
            return Answered(params, QStringLiteral("Неизвестный уровень оборота: \"%1\"")
                                        .arg(params.Value(idKey).left(40)));
        if (percentOf.contains(*tier))
            return Answered(params, QStringLiteral("Уровень оборота %1 указан дважды").arg(*tier));
        double percent = 0;
        if (!ReadPercent(params.Value(percentKey), percent) || percent > 100)
            return Answered(
                params,
                QStringLiteral("Неверный процент: \"%1\"").arg(params.Value(percentKey).left(40)));
        percentOf.insert(*tier, percent);
    }
    if (percentOf.size() != qsizetype(ladder.size()))
        return Answered(params, QStringLiteral("Указаны не все уровни оборота"));
    for (size_t k = 1; k < ladder.size(); ++k)
        if (percentOf.value(ladder[k]) > percentOf.value(ladder[k - 1]))
            return Answered(params,
                            QStringLiteral("Процент не может возрастать с увеличением оборотов!"));

    const bool stored = store_.Transaction([&] {
        QSqlQuery q(store_.Db());
        q.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO client_interest (cli_id, tier_id, percent) VALUES (?, ?, ?)"));
        for (qint64 tier : ladder) {
            q.addBindValue(*client);
            q.addBindValue(tier);
            q.addBindValue(percentOf.value(tier));
            if (!q.exec())
                return false;
        }
        // A client gets its withholding setting, switched off, with its first ladder.
        QSqlQuery flag(store_.Db());
        flag.prepare(QStringLiteral(
            "INSERT OR IGNORE INTO client_interest_flag (cli_id, auto_calc) VALUES (?, 0)"));
        flag.addBindValue(*client);
        return flag.exec();
    });
    return Answered(params, stored ? kOk : QStringLiteral("Ошибка записи процентов"));
}

// "CLI", "AUTO_CALC" 0 or 1.
EngineResult Engine::UpdatePercentFlag(const ParamList& params) {
    const auto client = params.Int(QStringLiteral("CLI"));
    if (!client ||
        store_.ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM client WHERE id = ?"), {*client})
                .toInt() == 0)
        return Answered(params, QStringLiteral("Клиент не найден"));
    const QString flag = params.Value(QStringLiteral("AUTO_CALC"));
    if (flag != QLatin1String("0") && flag != QLatin1String("1"))
        return Answered(params,
                        QStringLiteral("Неверный признак удержания: \"%1\"").arg(flag.left(40)));
    const bool stored = store_.Transaction([&] {
        QSqlQuery q(store_.Db());
        q.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO client_interest_flag (cli_id, auto_calc) VALUES (?, ?)"));
        q.addBindValue(*client);
        q.addBindValue(flag.toInt());
        return q.exec();
    });
    return Answered(params, stored ? kOk : QStringLiteral("Ошибка записи признака удержания"));
}

// "CLI" the firm's client, "PERC_ACC" one of the firm's accounts.
EngineResult Engine::UpdatePercentAccount(const ParamList& params) {
    const QString firm = store_.State(QStringLiteral("client_key"));
    const auto client = params.Int(QStringLiteral("CLI"));
    if (!client || QString::number(*client) != firm)
        return Answered(params, QStringLiteral("Счет для зачисления процентов задается только "
                                               "для собственного клиента"));
    const auto account = params.Int(QStringLiteral("PERC_ACC"));
    if (!account || store_.ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM account WHERE id = ? "
                                                      "AND client_id = ?"),
                                       {*account, *client})
                            .toInt() == 0)
        return Answered(params, QStringLiteral("Счет \"%1\" не принадлежит собственному клиенту")
                                    .arg(params.Value(QStringLiteral("PERC_ACC")).left(40)));
    const bool stored = store_.Transaction([&] {
        store_.SetState(QStringLiteral("interest_acc"), QString::number(*account));
        return true;
    });
    return Answered(params, stored ? kOk : QStringLiteral("Ошибка записи счета"));
}
