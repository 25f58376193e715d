// Reference lists: read by position (no escapes possible there), 409 also by name.
#include "server/core/Engine.h"

#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using WireText::RowBuilder;

const ResultLayout& Engine::SecuritiesLayout() {
    static const ResultLayout layout(
        QStringLiteral("SpisokBB.409"),
        {
            {QStringLiteral("ID_BUM"), FieldType::Int},
            {QStringLiteral("SHORT_NAME"), FieldType::Text},
            {QStringLiteral("TRADE_CODE"), FieldType::Text},
            {QStringLiteral("BOARD_CODE"), FieldType::Text},
            {QStringLiteral("LOT_SIZE"), FieldType::Int},
            {QStringLiteral("NOMINAL"), FieldType::Int},
            {QStringLiteral("PRECISION"), FieldType::Int},
            {QStringLiteral("ISIN"), FieldType::Text},
            {QStringLiteral("LAST_PRICE"), FieldType::Float},
            {QStringLiteral("TS_ID"), FieldType::Int},
            {QStringLiteral("NOT_TRADED"), FieldType::Int},
            {QStringLiteral("STOCK_SUB_TYPE"), FieldType::Int},
            // The buy deposit travels as a binary double, the sell deposit as text.
            {QStringLiteral("FUT_BUY_DEPOSIT"), FieldType::Float, 1},
            {QStringLiteral("FUT_SELL_DEPOSIT"), FieldType::Float},
            {QStringLiteral("GOVERNMENT_CODE"), FieldType::Text},
        });
    return layout;
}

EngineResult Engine::ReferenceList(int query, SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    QString sql;
    switch (query) {
    case 402:
        sql = QStringLiteral("SELECT id, name, parent_id FROM client ORDER BY id");
        break;
    case 403:
        sql = QStringLiteral("SELECT id, name, client_id FROM account ORDER BY id");
        break;
    case 407:
        sql = QStringLiteral(
            "SELECT id, name, client_id FROM account WHERE is_transaction <> 0 ORDER BY id");
        break;
    case 404:
        sql = QStringLiteral("SELECT id, name, name_template FROM trading_system ORDER BY id");
        break;
    case 405:
        sql = QStringLiteral("SELECT code, name, ts_id, note, id FROM board ORDER BY id");
        break;
    case 408:
        sql = QStringLiteral("SELECT code, name FROM order_status ORDER BY code");
        break;
    case 420:
        sql = QStringLiteral("SELECT id, target_kind, value_kind, name FROM ui_type ORDER BY id");
        break;
    case 421:
        sql = QStringLiteral("SELECT id, owner_id, type_id, value FROM ui_value ORDER BY id");
        break;
    case 409:
        sql = QStringLiteral(
            "SELECT id, short_name, trade_code, board_code, lot_size, nominal, price_precision, "
            "isin, last_price, ts_id, not_traded, stock_sub_type, fut_buy_deposit, "
            "fut_sell_deposit, government_code FROM security ORDER BY id");
        break;
    default:
        return r;
    }
    QSqlQuery q(store_.Db());
    q.setForwardOnly(true);
    if (!q.exec(sql)) {
        ServerLog::Line(
            QStringLiteral("SpisokBB %1 failed: %2").arg(query).arg(q.lastError().text()));
        return r;
    }
    if (query == 409) {
        const bool cached = params.Value(QStringLiteral("NoSendMetadata")) == QLatin1String("1");
        session.metadata.Attach(r.answer, SecuritiesLayout(), cached);
        while (q.next()) {
            RowBuilder b;
            for (int i = 0; i <= 10; ++i)
                b.Plain(i == 8 ? WireText::DotNumber(q.value(i).toDouble(), 6)
                               : q.value(i).toString());
            b.Int(q.value(11).toInt())
                .BinDouble(q.value(12).toDouble())
                .Number(q.value(13).toDouble(), 2)
                .Text(q.value(14).toString());
            r.answer.rows << b.Take();
        }
        return r;
    }
    const int columns = q.record().count();
    while (q.next()) {
        RowBuilder b;
        for (int i = 0; i < columns; ++i)
            b.Plain(q.value(i).toString());
        r.answer.rows << b.Take();
    }
    return r;
}
