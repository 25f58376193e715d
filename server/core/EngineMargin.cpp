// Margin lending: the monitor's list (650), a client's marginal securities (651), the
// rule commands (600 to 603) and the change of a client's mode and levels (604).
#include "server/core/Engine.h"
#include "server/core/MarginFigures.h"

#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"
#include "session/wire/Vocabulary.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>

using WireText::RowBuilder;

MarginFigures ComputeMarginFigures(double money, double longs, double shorts, int mode,
                                   int startLevel, int criticalLevel) {
    MarginFigures f;
    f.credit = std::max(0.0, -money) + shorts;
    f.assets = longs + std::max(0.0, money);
    f.own = f.assets - f.credit;
    if (f.credit <= 0)
        f.percent = 100;
    else if (f.assets <= 0)
        f.percent = 0;
    else
        f.percent = int(std::clamp(std::floor(100.0 * f.own / f.assets), 0.0, 100.0));
    if (mode == 1 && f.own > 0 && startLevel > 0)
        f.maxCredit = f.own * (100.0 / startLevel - 1.0);
    f.addCredit = std::max(0.0, f.maxCredit - f.credit);
    if (f.percent < criticalLevel) {
        if (f.own <= 0 || startLevel <= 0)
            f.needClose = f.credit;
        else
            f.needClose = std::max(0.0, std::min(f.credit, f.assets - 100.0 * f.own / startLevel));
    }
    return f;
}

namespace {

const QString kModeLending = QString::fromUtf8("Маржинальный");
const QString kModeNoLending = QString::fromUtf8("Без кредитования");

} // namespace

// CROSS JOIN keeps SQLite's join order: from the margin clients through their accounts
// to their positions, rather than over every position of the store.
QHash<qint64, MarginPositionSums> SumMarginPositions(const QSqlDatabase& db) {
    QHash<qint64, MarginPositionSums> sums;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const bool ok = q.exec(QStringLiteral(
        "SELECT cli, SUM(CASE WHEN sec < 0 THEN qty ELSE 0 END), "
        "SUM(CASE WHEN sec > 0 AND qty > 0 AND counted = 1 THEN qty * unit ELSE 0 END), "
        "SUM(CASE WHEN sec > 0 AND qty < 0 THEN -qty * unit ELSE 0 END) "
        "FROM (SELECT m.cli_id AS cli, p.sec_id AS sec, p.curr_saldo AS qty, r.in_level AS "
        "counted, "
        "      CASE WHEN s.last_price > 0 THEN s.last_price ELSE p.avprice END * "
        "      CASE WHEN s.nominal > 0 THEN s.nominal / 100.0 ELSE 1 END AS unit "
        "      FROM margin_client m CROSS JOIN account a ON a.client_id = m.cli_id "
        "      CROSS JOIN portfolio p ON p.acc_id = a.id "
        "      LEFT JOIN security s ON s.id = p.sec_id "
        "      LEFT JOIN margin_rule r ON r.cli_id = m.cli_id AND r.sec_id = p.sec_id) "
        "GROUP BY cli"));
    if (!ok) {
        ServerLog::Line(
            QStringLiteral("SpisokBB 650 positions failed: %1").arg(q.lastError().text()));
        return sums;
    }
    while (q.next())
        sums.insert(q.value(0).toLongLong(),
                    {q.value(1).toDouble(), q.value(2).toDouble(), q.value(3).toDouble()});
    return sums;
}

namespace {

// "0", "1": a flag as the rule commands carry it.
bool IsFlag(const QString& text) {
    return text == QLatin1String("0") || text == QLatin1String("1");
}

bool IsDotDecimal(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^[0-9]{1,15}(\\.[0-9]{1,10})?$"));
    return re.match(text).hasMatch();
}

} // namespace

const ResultLayout& Engine::MarginClientsLayout() {
    static const ResultLayout layout(QStringLiteral("SpisokBB.650"),
                                     {
                                         {QStringLiteral("id_cli"), FieldType::Int},
                                         {QStringLiteral("NAME_CLI"), FieldType::Text},
                                         {QStringLiteral("MARGIN_PERCENT"), FieldType::Int},
                                         {QStringLiteral("START_MARGIN_LEVEL"), FieldType::Int},
                                         {QStringLiteral("CRITICAL_MARGIN_LEVEL"), FieldType::Int},
                                         {QStringLiteral("SUM_KREDIT"), FieldType::Float},
                                         {QStringLiteral("SUM_ACTIVES"), FieldType::Float},
                                         {QStringLiteral("MARGIN_ACC_NAME"), FieldType::Text},
                                         {QStringLiteral("MARGIN_MODE_NAME"), FieldType::Text},
                                         {QStringLiteral("SUM_SELF_MONEY"), FieldType::Float},
                                         {QStringLiteral("SUM_MAX_KREDIT"), FieldType::Float},
                                         {QStringLiteral("SUM_ADD_KREDIT"), FieldType::Float},
                                         {QStringLiteral("SUM_NEED_CLOSE"), FieldType::Float},
                                     });
    return layout;
}

EngineResult Engine::MarginClients(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const bool cached = params.Value(vocab::key::kNoSendMetadata) == QLatin1String("1");
    session.metadata.Attach(r.answer, MarginClientsLayout(), cached);
    const QHash<qint64, MarginPositionSums> sums = SumMarginPositions(store_.Db());
    QSqlQuery q(store_.Db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(
            "SELECT m.cli_id, COALESCE(c.name, ''), m.mode, m.start_level, m.critical_level, "
            "COALESCE(a.name, '') FROM margin_client m LEFT JOIN client c ON c.id = m.cli_id "
            "LEFT JOIN account a ON a.id = m.credit_acc_id ORDER BY m.cli_id"))) {
        ServerLog::Line(QStringLiteral("SpisokBB 650 failed: %1").arg(q.lastError().text()));
        return r;
    }
    while (q.next()) {
        const qint64 client = q.value(0).toLongLong();
        const int mode = q.value(2).toInt();
        const int start = q.value(3).toInt();
        const int critical = q.value(4).toInt();
        const MarginPositionSums s = sums.value(client);
        const MarginFigures f =
            ComputeMarginFigures(s.money, s.longs, s.shorts, mode, start, critical);
        r.answer.rows << RowBuilder()
                             .Int(client)
                             .Text(q.value(1).toString())
                             .Int(f.percent)
                             .Int(start)
                             .Int(critical)
                             .Number(f.credit, 2)
                             .Number(f.assets, 2)
                             .Text(q.value(5).toString())
                             .Text(mode == 1 ? kModeLending : kModeNoLending)
                             .Number(f.own, 2)
                             .Number(f.maxCredit, 2)
                             .Number(f.addCredit, 2)
                             .Number(f.needClose, 2)
                             .Take();
    }
    return r;
}

EngineResult Engine::MarginRules(const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const auto client = params.Int(vocab::key::kParam0);
    if (!client) {
        ServerLog::Line(
            QStringLiteral("SpisokBB 651: param0 is not a client number, empty answer"));
        return r;
    }
    QSqlQuery q(store_.Db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT r.sec_id, CASE WHEN r.sec_id < 0 THEN '_Деньги.' || COALESCE(t.name, '') "
        "ELSE COALESCE(s.short_name, '') END, r.limit_value, r.in_level, r.allowed "
        "FROM margin_rule r LEFT JOIN security s ON s.id = r.sec_id "
        "LEFT JOIN trading_system t ON t.id = -r.sec_id WHERE r.cli_id = ? ORDER BY r.sec_id"));
    q.addBindValue(*client);
    if (!q.exec()) {
        ServerLog::Line(QStringLiteral("SpisokBB 651 failed: %1").arg(q.lastError().text()));
        return r;
    }
    while (q.next())
        r.answer.rows << RowBuilder()
                             .Int(q.value(0).toLongLong())
                             .Text(q.value(1).toString())
                             .Number(q.value(2).toDouble(), 6)
                             .Int(q.value(3).toInt())
                             .Int(q.value(4).toInt())
                             .Take();
    return r;
}

EngineResult Engine::MarginCommand(int query, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const auto answer = [&](int code, const QString& reason) {
        r.answer.rows << RowBuilder().Int(code).Text(reason).Take();
        if (code != 0)
            ServerLog::Line(QStringLiteral("ExecQueryBB %1 refused: %2 (%3)")
                                .arg(query)
                                .arg(reason, params.Describe().left(300)));
        return r;
    };
    const auto exists = [&](const QString& sql, qint64 id) {
        return store_.ScalarQuery(sql, {id}).toLongLong() > 0;
    };
    const auto clientExists = [&](qint64 id) {
        return exists(QStringLiteral("SELECT COUNT(*) FROM client WHERE id = ?"), id);
    };
    const auto instrumentExists = [&](qint64 id) {
        return id < 0
                   ? exists(QStringLiteral("SELECT COUNT(*) FROM trading_system WHERE id = ?"), -id)
                   : exists(QStringLiteral("SELECT COUNT(*) FROM security WHERE id = ?"), id);
    };
    const auto p = [&](int n) { return params.Value(QStringLiteral("param%1").arg(n)); };
    const auto client = params.Int(QStringLiteral("param0"));
    if (query != vocab::command::kMarginRulesClear && (!client || !clientExists(*client)))
        return answer(1, QStringLiteral("unknown client \"%1\"").arg(p(0).left(40)));

    bool done = false;
    switch (query) {
    case vocab::command::kMarginRuleSet: {
        const auto instrument = params.Int(QStringLiteral("param1"));
        if (!instrument || *instrument == 0 || !instrumentExists(*instrument))
            return answer(2, QStringLiteral("unknown instrument \"%1\"").arg(p(1).left(40)));
        if (!IsDotDecimal(p(2)))
            return answer(3, QStringLiteral("limit \"%1\" is not a non-negative dot-decimal number")
                                 .arg(p(2).left(40)));
        if (!IsFlag(p(3)) || !IsFlag(p(4)) || !IsFlag(p(5)))
            return answer(4, QStringLiteral("flags must be \"0\" or \"1\""));
        done = store_.Transaction([&] {
            QSqlQuery q(store_.Db());
            q.prepare(QStringLiteral(
                "INSERT INTO margin_rule (cli_id, sec_id, limit_value, in_level, allowed, "
                "allowed2) "
                "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (cli_id, sec_id) DO UPDATE SET "
                "limit_value = excluded.limit_value, in_level = excluded.in_level, "
                "allowed = excluded.allowed, allowed2 = excluded.allowed2"));
            for (const QVariant& v : QVariantList{*client, *instrument, p(2).toDouble(),
                                                  p(3).toInt(), p(4).toInt(), p(5).toInt()})
                q.addBindValue(v);
            return q.exec();
        });
        break;
    }
    case vocab::command::kMarginRuleRemove: {
        const auto instrument = params.Int(QStringLiteral("param1"));
        if (!instrument)
            return answer(2, QStringLiteral("unknown instrument \"%1\"").arg(p(1).left(40)));
        bool found = false;
        done = store_.Transaction([&] {
            QSqlQuery q(store_.Db());
            q.prepare(QStringLiteral("DELETE FROM margin_rule WHERE cli_id = ? AND sec_id = ?"));
            q.addBindValue(*client);
            q.addBindValue(*instrument);
            if (!q.exec())
                return false;
            found = q.numRowsAffected() > 0;
            return true;
        });
        if (done && !found)
            return answer(5, QStringLiteral("no rule of client %1 for instrument %2")
                                 .arg(*client)
                                 .arg(*instrument));
        break;
    }
    case vocab::command::kMarginRulesCopy: {
        const auto dest = params.Int(QStringLiteral("param1"));
        if (!dest || !clientExists(*dest))
            return answer(1, QStringLiteral("unknown client \"%1\"").arg(p(1).left(40)));
        if (*dest == *client)
            return answer(6, QStringLiteral("a list cannot be copied onto its own client"));
        // The destination's list becomes the source's.
        done = store_.Transaction([&] {
            QSqlQuery q(store_.Db());
            q.prepare(QStringLiteral("DELETE FROM margin_rule WHERE cli_id = ?"));
            q.addBindValue(*dest);
            if (!q.exec())
                return false;
            q.prepare(QStringLiteral(
                "INSERT INTO margin_rule (cli_id, sec_id, limit_value, in_level, allowed, "
                "allowed2) "
                "SELECT ?, sec_id, limit_value, in_level, allowed, allowed2 FROM margin_rule "
                "WHERE cli_id = ?"));
            q.addBindValue(*dest);
            q.addBindValue(*client);
            return q.exec();
        });
        break;
    }
    case vocab::command::kMarginRulesClear:
        // Succeeds whatever the client: afterwards it has no rules.
        done = store_.Transaction([&] {
            QSqlQuery q(store_.Db());
            q.prepare(QStringLiteral("DELETE FROM margin_rule WHERE cli_id = ?"));
            q.addBindValue(client.value_or(0));
            return q.exec();
        });
        break;
    case vocab::command::kMarginClientLevels: {
        const auto mode = params.Int(QStringLiteral("param1"));
        const auto start = params.Int(QStringLiteral("param2"));
        const auto critical = params.Int(QStringLiteral("param3"));
        const auto account = params.Int(QStringLiteral("param4"));
        if (!mode || (*mode != 0 && *mode != 1))
            return answer(4, QStringLiteral("mode must be \"0\" or \"1\""));
        if (!start || !critical || *start < 1 || *start > 100 || *critical < 1 || *critical > 100 ||
            *critical > *start)
            return answer(7, QStringLiteral("levels must be 1 to 100, critical not above start"));
        const bool ownAccount =
            account && *account > 0 &&
            store_.ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM account WHERE id = ? AND "
                                              "client_id = (SELECT CAST(value AS INTEGER) FROM "
                                              "server_state WHERE key = 'client_key')"),
                               {*account})
                    .toLongLong() > 0;
        if (!account || (*account != 0 && !ownAccount) || (*mode == 1 && !ownAccount))
            return answer(8, QStringLiteral("credit account \"%1\" is not one of the firm's own")
                                 .arg(p(4).left(40)));
        done = store_.Transaction([&] {
            QSqlQuery q(store_.Db());
            q.prepare(QStringLiteral(
                "INSERT INTO margin_client (cli_id, mode, start_level, critical_level, "
                "credit_acc_id) VALUES (?, ?, ?, ?, ?) ON CONFLICT (cli_id) DO UPDATE SET "
                "mode = excluded.mode, start_level = excluded.start_level, "
                "critical_level = excluded.critical_level, credit_acc_id = "
                "excluded.credit_acc_id"));
            for (const QVariant& v : QVariantList{*client, *mode, *start, *critical, *account})
                q.addBindValue(v);
            return q.exec();
        });
        break;
    }
    default:
        break;
    }
    if (!done)
        return answer(9, QStringLiteral("the store refused the change"));
    return answer(0, QString());
}
