// Commission lists 750 to 756: the clients and accounts commissions are debited
// from, the firm's accounts that receive them, the tariffs (texts verbatim), the
// plans, their tariffs and their clients. Answered by name ("SpisokBB.N").
#include "server/core/Engine.h"

#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"

#include <QSqlError>
#include <QSqlQuery>

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
