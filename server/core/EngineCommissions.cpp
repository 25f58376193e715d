// Commission lists 750 to 756: the clients and accounts commissions are debited
// from, the firm's accounts that receive them, the tariffs (texts verbatim), the
// plans, their tariffs and their clients. Answered by name ("SpisokBB.N").
#include "server/core/Engine.h"

#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <map>

using WireText::RowBuilder;

namespace {

using FT = QList<FieldSpec>;

const ResultLayout* CommissionLayout(int query) {
    auto I = [](const char* name) { return FieldSpec(QString::fromLatin1(name), FieldType::Int); };
    auto T = [](const char* name) { return FieldSpec(QString::fromLatin1(name), FieldType::Text); };
    auto F = [](const char* name) {
        return FieldSpec(QString::fromLatin1(name), FieldType::Float);
    };
    static const ResultLayout clients(QStringLiteral("SpisokBB.754"),
                                      FT{I("CLI_ID"), T("CLI_NAME")});
    static const ResultLayout accounts(QStringLiteral("SpisokBB.755"),
                                       FT{I("ACC_ID"), I("CLI_ID"), T("ACC_NAME")});
    static const ResultLayout own(QStringLiteral("SpisokBB.756"),
                                  FT{I("ACC_ID"), I("CLI_ID"), T("ACC_NAME")});
    static const ResultLayout tariffs(
        QStringLiteral("SpisokBB.750"),
        FT{I("TARIF_ID"), I("ALGORITM"), I("TARIF_TYPE"), I("DEST_ACCOUNT_ID"), F("TARIF_SUM"),
           T("TARIF_NAME"), T("AREA_OF_WORK"), T("AREA_OF_VOL"), T("AREA_OF_WORK_EXCLUDE"),
           T("AREA_OF_VOL_EXCLUDE"), T("SCALE"), I("ALGORITM_3_GROUP_SUB_CLIENT")});
    static const ResultLayout plans(QStringLiteral("SpisokBB.751"),
                                    FT{I("TARIF_PLAN_ID"), T("TARIF_PLAN_NAME")});
    static const ResultLayout planTariffs(QStringLiteral("SpisokBB.752"),
                                          FT{I("TARIF_PLAN_ID"), I("TARIF_ID")});
    static const ResultLayout planClients(
        QStringLiteral("SpisokBB.753"),
        FT{I("TARIF_PLAN_ID"), I("CLIENT_ID"), I("SOURCE_ACCOUNT_SELF_OPERATION"),
           T("NAME_ACCOUNT_SELF_OPERATION"), I("SOURCE_ACCOUNT_CLI_OPERATION"),
           T("NAME_ACCOUNT_CLI_OPERATION")});
    switch (query) {
    case 754:
        return &clients;
    case 755:
        return &accounts;
    case 756:
        return &own;
    case 750:
        return &tariffs;
    case 751:
        return &plans;
    case 752:
        return &planTariffs;
    case 753:
        return &planClients;
    default:
        return nullptr;
    }
}

QString CommissionSql(int query) {
    switch (query) {
    case 754: // every client but the firm itself
        return QStringLiteral("SELECT id, name FROM client WHERE id <> :firm ORDER BY id");
    case 755:
        return QStringLiteral(
            "SELECT id, client_id, name FROM account WHERE client_id <> :firm ORDER BY id");
    case 756:
        return QStringLiteral(
            "SELECT id, client_id, name FROM account WHERE client_id = :firm ORDER BY id");
    case 750:
        return QStringLiteral(
            "SELECT id, algorithm, tariff_type, dest_acc_id, tariff_sum, name, area_work, "
            "area_vol, area_work_exclude, area_vol_exclude, scale, group_sub_client "
            "FROM tariff ORDER BY id");
    case 751:
        return QStringLiteral("SELECT id, name FROM tariff_plan ORDER BY id");
    case 752:
        return QStringLiteral("SELECT plan_id, tariff_id FROM plan_tariff ORDER BY plan_id, "
                              "tariff_id");
    case 753: // own-deal account 0 is the deal's own account
        return QStringLiteral(
            "SELECT pc.plan_id, pc.client_id, pc.self_acc_id, "
            "CASE WHEN pc.self_acc_id = 0 THEN :deal ELSE COALESCE(sa.name, '') END, "
            "pc.cli_acc_id, COALESCE(ca.name, '') FROM plan_client pc "
            "LEFT JOIN account sa ON sa.id = pc.self_acc_id "
            "LEFT JOIN account ca ON ca.id = pc.cli_acc_id "
            "WHERE pc.plan_id <> 0 ORDER BY pc.client_id");
    default:
        return {};
    }
}

} // namespace

bool Engine::IsCommissionList(int query) {
    return CommissionLayout(query) != nullptr;
}

EngineResult Engine::CommissionList(int query, SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const ResultLayout* layout = CommissionLayout(query);
    if (!layout)
        return r;
    const bool cached = params.Value(QStringLiteral("NoSendMetadata")) == QLatin1String("1");
    session.metadata.Attach(r.answer, *layout, cached);
    QSqlQuery q(store_.Db());
    q.setForwardOnly(true);
    q.prepare(CommissionSql(query));
    const QString sql = q.lastQuery();
    if (sql.contains(QLatin1String(":firm")))
        q.bindValue(QStringLiteral(":firm"),
                    store_.State(QStringLiteral("client_key"), QStringLiteral("1")).toLongLong());
    if (sql.contains(QLatin1String(":deal")))
        q.bindValue(QStringLiteral(":deal"), QString::fromUtf8("<Счет сделки>"));
    if (!q.exec()) {
        ServerLog::Line(
            QStringLiteral("SpisokBB %1 failed: %2").arg(query).arg(q.lastError().text()));
        return r;
    }
    const QList<FieldSpec>& fields = layout->Fields();
    while (q.next()) {
        RowBuilder b;
        for (int i = 0; i < fields.size(); ++i) {
            switch (fields[i].dataType) {
            case FieldType::Int:
                b.Int(q.value(i).toLongLong());
                break;
            case FieldType::Float:
                b.Number(q.value(i).toDouble(), 6);
                break;
            default:
                b.Text(q.value(i).toString());
            }
        }
        r.answer.rows << b.Take();
    }
    return r;
}

// ---- Commands 1901 to 1908 -------------------------------------------------------
// Each runs in one transaction and answers "RESULT_CODE" (0 done, -1 malformed
// parameter, -2 unknown object, -3 broken rule, -10 store failure) and "RESULT_MSG",
// with "TARIF_ID_NEW" (1901) or "TARIF_PLAN_ID_NEW" (1903).

namespace {

const ResultLayout& CommissionCommandLayout(int query) {
    static const ResultLayout tariff(QStringLiteral("ExecQueryBB.1901"),
                                     FT{{QStringLiteral("RESULT_CODE"), FieldType::Int},
                                        {QStringLiteral("RESULT_MSG"), FieldType::Text},
                                        {QStringLiteral("TARIF_ID_NEW"), FieldType::Int}});
    static const ResultLayout plan(QStringLiteral("ExecQueryBB.1903"),
                                   FT{{QStringLiteral("RESULT_CODE"), FieldType::Int},
                                      {QStringLiteral("RESULT_MSG"), FieldType::Text},
                                      {QStringLiteral("TARIF_PLAN_ID_NEW"), FieldType::Int}});
    static const std::map<int, ResultLayout> others = [] {
        std::map<int, ResultLayout> m;
        for (int q : {1902, 1904, 1905, 1906, 1907, 1908})
            m.emplace(q, ResultLayout(QStringLiteral("ExecQueryBB.%1").arg(q),
                                      FT{{QStringLiteral("RESULT_CODE"), FieldType::Int},
                                         {QStringLiteral("RESULT_MSG"), FieldType::Text}}));
        return m;
    }();
    if (query == 1901)
        return tariff;
    if (query == 1903)
        return plan;
    return others.at(query);
}

// A refusal: the code and the message for the answer.
struct Refused {
    int code;
    QString message;
};

QString Ru(const char* text) {
    return QString::fromUtf8(text);
}

// An integer parameter in plain decimal; a Refused -1 otherwise.
qint64 IntParam(const ParamList& params, const char* key) {
    bool ok = false;
    const QString text = params.Value(QString::fromLatin1(key));
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok || text.trimmed() != text || text.startsWith(QLatin1Char('+')))
        throw Refused{-1, Ru("Неверный параметр ") + QString::fromLatin1(key)};
    return value;
}

// A number in dot-decimal form ("12", "-0.5", "1E-8"); a Refused -1 otherwise.
double DotNumber(const QString& text, const QString& what) {
    static const QRegularExpression form(
        QStringLiteral("^-?[0-9]+(\\.[0-9]+)?([Ee][-+]?[0-9]+)?$"));
    if (!form.match(text).hasMatch())
        throw Refused{-1, Ru("Неверное число: ") + what};
    return text.toDouble();
}

QStringList Pieces(const QString& text) {
    QStringList pieces = text.split(QLatin1Char(';'));
    if (!pieces.isEmpty() && pieces.last().isEmpty())
        pieces.removeLast();
    return pieces;
}

} // namespace

bool Engine::IsCommissionCommand(int query) {
    return query >= 1901 && query <= 1908;
}

EngineResult Engine::CommissionCommand(int query, SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const bool cached = params.Value(QStringLiteral("NoSendMetadata")) == QLatin1String("1");
    session.metadata.Attach(r.answer, CommissionCommandLayout(query), cached);
    qint64 newId = 0;
    int code = 0;
    QString message;
    auto exists = [&](const char* sql, const QVariantList& binds) {
        return store_.ScalarQuery(QString::fromLatin1(sql), binds).toLongLong() > 0;
    };
    auto exec = [&](const char* sql, const QVariantList& binds) {
        QSqlQuery q(store_.Db());
        q.prepare(QString::fromLatin1(sql));
        for (const QVariant& b : binds)
            q.addBindValue(b);
        if (!q.exec())
            throw Refused{-10, Ru("Ошибка хранилища: ") + q.lastError().text()};
    };
    const QString failNext = QStringLiteral("commission.fail_next");
    try {
        if (store_.State(failNext) == QLatin1String("1")) {
            store_.SetState(failNext, QStringLiteral("0"));
            throw Refused{-10, Ru("Отказ хранилища (проверка)")};
        }
        const bool ok = store_.Transaction([&] {
            switch (query) {
            case 1901:
                newId = StoreTariff(params);
                break;
            case 1902: {
                const qint64 id = IntParam(params, "param0");
                if (!exists("SELECT COUNT(*) FROM tariff WHERE id = ?", {id}))
                    throw Refused{-2, Ru("Тариф не найден")};
                exec("DELETE FROM plan_tariff WHERE tariff_id = ?", {id});
                exec("DELETE FROM tariff WHERE id = ?", {id});
                break;
            }
            case 1903: {
                const qint64 id = IntParam(params, "param0");
                const QString name = params.Value(QStringLiteral("param1")).trimmed();
                if (name.isEmpty())
                    throw Refused{-3, Ru("Название плана не задано")};
                if (id == 0) {
                    newId = NextCommissionId("plan", "tariff_plan");
                    exec("INSERT INTO tariff_plan (id, name) VALUES (?, ?)", {newId, name});
                } else {
                    if (!exists("SELECT COUNT(*) FROM tariff_plan WHERE id = ?", {id}))
                        throw Refused{-2, Ru("Тарифный план не найден")};
                    exec("UPDATE tariff_plan SET name = ? WHERE id = ?", {name, id});
                    newId = id;
                }
                break;
            }
            case 1904: {
                const qint64 id = IntParam(params, "param0");
                if (!exists("SELECT COUNT(*) FROM tariff_plan WHERE id = ?", {id}))
                    throw Refused{-2, Ru("Тарифный план не найден")};
                exec("DELETE FROM plan_client WHERE plan_id = ?", {id});
                exec("DELETE FROM plan_tariff WHERE plan_id = ?", {id});
                exec("DELETE FROM tariff_plan WHERE id = ?", {id});
                break;
            }
            case 1905:
            case 1906: {
                const qint64 tariff = IntParam(params, "param0");
                const qint64 plan = IntParam(params, "param1");
                if (!exists("SELECT COUNT(*) FROM tariff WHERE id = ?", {tariff}) ||
                    !exists("SELECT COUNT(*) FROM tariff_plan WHERE id = ?", {plan}))
                    throw Refused{-2, Ru("Тариф или тарифный план не найден")};
                if (query == 1905) {
                    exec("INSERT OR IGNORE INTO plan_tariff (plan_id, tariff_id) VALUES (?, ?)",
                         {plan, tariff});
                } else {
                    if (!exists("SELECT COUNT(*) FROM plan_tariff WHERE plan_id = ? AND "
                                "tariff_id = ?",
                                {plan, tariff}))
                        throw Refused{-3, Ru("Тариф не входит в тарифный план")};
                    exec("DELETE FROM plan_tariff WHERE plan_id = ? AND tariff_id = ?",
                         {plan, tariff});
                }
                break;
            }
            case 1907:
            case 1908: {
                const qint64 plan = IntParam(params, "param0");
                const qint64 client = IntParam(params, "param1");
                const qint64 self = IntParam(params, "param2");
                const qint64 sub = IntParam(params, "param3");
                const qint64 firm =
                    store_.State(QStringLiteral("client_key"), QStringLiteral("1")).toLongLong();
                if (client == firm || !exists("SELECT COUNT(*) FROM client WHERE id = ?", {client}))
                    throw Refused{-2, Ru("Клиент не найден")};
                if (!exists("SELECT COUNT(*) FROM tariff_plan WHERE id = ?", {plan}))
                    throw Refused{-2, Ru("Тарифный план не найден")};
                if (query == 1908) {
                    if (!exists("SELECT COUNT(*) FROM plan_client WHERE client_id = ? AND "
                                "plan_id = ?",
                                {client, plan}))
                        throw Refused{-3, Ru("Клиент не подключен к этому тарифному плану")};
                    exec("DELETE FROM plan_client WHERE client_id = ?", {client});
                    break;
                }
                const char* own = "SELECT COUNT(*) FROM account WHERE id = ? AND client_id = ?";
                if ((self != 0 && !exists(own, {self, client})) || !exists(own, {sub, client}))
                    throw Refused{-3, Ru("Счет не принадлежит клиенту")};
                exec("INSERT OR REPLACE INTO plan_client (client_id, plan_id, self_acc_id, "
                     "cli_acc_id) VALUES (?, ?, ?, ?)",
                     {client, plan, self, sub});
                break;
            }
            }
            return true;
        });
        if (!ok)
            throw Refused{-10, Ru("Ошибка хранилища")};
    } catch (const Refused& refused) {
        code = refused.code;
        message = refused.message;
        newId = 0;
        ServerLog::Line(
            QStringLiteral("ExecQueryBB %1 refused (%2): %3").arg(query).arg(code).arg(message));
    }
    RowBuilder b;
    b.Int(code).Text(message);
    if (query == 1901 || query == 1903)
        b.Int(newId);
    r.answer.rows << b.Take();
    return r;
}

qint64 Engine::NextCommissionId(const char* counter, const char* table) {
    // Above every id in use, whatever the counter says, and never 0.
    const qint64 next = store_.NextId(QString::fromLatin1(counter));
    const qint64 floor = store_
                             .ScalarQuery(QStringLiteral("SELECT COALESCE(MAX(id), 0) + 1 FROM %1")
                                              .arg(QString::fromLatin1(table)))
                             .toLongLong();
    if (next >= floor)
        return next;
    store_.SetState(QStringLiteral("next.") + QString::fromLatin1(counter),
                    QString::number(floor + 1));
    return floor;
}

qint64 Engine::StoreTariff(const ParamList& params) {
    const qint64 id = IntParam(params, "param0");
    const qint64 algorithm = IntParam(params, "param1");
    const qint64 type = IntParam(params, "param2");
    const qint64 dest = IntParam(params, "param3");
    const double sum = DotNumber(params.Value(QStringLiteral("param4")), QStringLiteral("param4"));
    const qint64 group = IntParam(params, "param11");
    // The four areas arrive as action include, volume include, action exclude,
    // volume exclude.
    const QString areas[4] = {
        params.Value(QStringLiteral("param5")), params.Value(QStringLiteral("param6")),
        params.Value(QStringLiteral("param7")), params.Value(QStringLiteral("param8"))};
    const QString scale = params.Value(QStringLiteral("param9"));
    QString name = params.Value(QStringLiteral("param10"));
    auto count = [&](const QString& sql, qint64 v) {
        return store_.ScalarQuery(sql, {v}).toLongLong();
    };
    for (const QString& area : areas) {
        const QStringList p = Pieces(area);
        if (p.size() % 4 != 0)
            throw Refused{-1, Ru("Неверный формат области")};
        for (int i = 0; i < p.size(); i += 4) {
            qint64 v[4];
            for (int k = 0; k < 4; ++k) {
                bool ok = false;
                v[k] = p[i + k].toLongLong(&ok, 10);
                if (!ok)
                    throw Refused{-1, Ru("Неверный формат области")};
            }
            const bool known =
                (v[0] == -1 ||
                 count(QStringLiteral("SELECT COUNT(*) FROM trading_system WHERE id = ?"), v[0])) &&
                (v[1] == -1 ||
                 count(QStringLiteral("SELECT COUNT(*) FROM board WHERE id = ?"), v[1])) &&
                QList<qint64>{-1, 0, 1, 2, 3, 5, 6}.contains(v[2]) &&
                (v[3] == -1 ||
                 count(QStringLiteral("SELECT COUNT(*) FROM security WHERE id = ?"), v[3]));
            if (!known)
                throw Refused{-2, Ru("Неизвестный объект в области: ") + p.mid(i, 4).join(u';')};
        }
    }
    const QStringList s = Pieces(scale);
    if (s.size() % 4 != 0)
        throw Refused{-1, Ru("Неверный формат шкалы")};
    for (int i = 0; i < s.size(); i += 4) {
        const double level = DotNumber(s[i], Ru("порог шкалы"));
        bool ok = false;
        const qint64 flag = s[i + 1].toLongLong(&ok, 10);
        if (!ok)
            throw Refused{-1, Ru("Неверный формат шкалы")};
        const double rate = DotNumber(s[i + 2], Ru("ставка шкалы"));
        const double amount = DotNumber(s[i + 3], Ru("сумма шкалы"));
        if (level < 0 || rate < 0 || amount < 0)
            throw Refused{-3, Ru("Отрицательные значения шкалы")};
        if (algorithm == 1 && flag == 0 && rate > 100)
            throw Refused{-3, Ru("Процент от оборота больше 100")};
    }
    if (algorithm < 1 || algorithm > 4 || type < 1 || type > 3)
        throw Refused{-3, Ru("Неверный алгоритм или тип комиссии")};
    const qint64 firm =
        store_.State(QStringLiteral("client_key"), QStringLiteral("1")).toLongLong();
    if (store_
            .ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM account WHERE id = ? AND "
                                        "client_id = ?"),
                         {dest, firm})
            .toLongLong() == 0)
        throw Refused{-3, Ru("Счет для зачисления не является собственным счетом")};
    if ((algorithm == 1 || algorithm == 2) && (s.isEmpty() || Pieces(areas[0]).isEmpty()))
        throw Refused{-3, Ru("Не заданы шкала или область действия")};
    if (algorithm == 3 && (sum <= 0 || (group != 1 && group != 2)))
        throw Refused{-3, Ru("Не заданы сумма или признак группировки")};
    if (sum < 0)
        throw Refused{-3, Ru("Отрицательная сумма")};

    qint64 stored = id;
    if (id == 0) {
        stored = NextCommissionId("tariff", "tariff");
    } else if (count(QStringLiteral("SELECT COUNT(*) FROM tariff WHERE id = ?"), id) == 0) {
        throw Refused{-2, Ru("Тариф не найден")};
    }
    if (name.trimmed().isEmpty())
        name = Ru("Тариф ") + QString::number(stored);
    QSqlQuery q(store_.Db());
    q.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO tariff (id, algorithm, tariff_type, dest_acc_id, tariff_sum, "
        "name, area_work, area_vol, area_work_exclude, area_vol_exclude, scale, "
        "group_sub_client) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant& v : QVariantList{stored, algorithm, type, dest, sum, name, areas[0],
                                          areas[1], areas[2], areas[3], scale, group})
        q.addBindValue(v);
    if (!q.exec())
        throw Refused{-10, Ru("Ошибка хранилища: ") + q.lastError().text()};
    return stored;
}
