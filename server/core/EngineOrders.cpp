// The orders list (211, full and keyed) and order withdrawals (20, 30, 40, 50).
#include "server/core/Engine.h"

#include "server/core/FilterExpr.h"
#include "server/core/OrderNameCache.h"
#include "server/core/RequestNumbers.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/StoreReader.h"
#include "server/core/WireRowWriter.h"
#include "server/core/WireText.h"
#include "session/wire/Vocabulary.h"

#include <QMutex>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

using WireText::RowBuilder;

namespace {

// Orders below this status can still be withdrawn; 11 is filled, 20 and above are final.
constexpr int kFilledStatus = 11;
constexpr int kWithdrawnStatus = 20;

const QList<FilterColumn>& OrderFilterColumns() {
    static const QList<FilterColumn> columns = {
        {QStringLiteral("ID_ACC"), QStringLiteral("o.acc_id"), false},
        {QStringLiteral("ID_CLI"), QStringLiteral("o.cli_id"), false},
        {QStringLiteral("ID_BUM"), QStringLiteral("o.sec_id"), false},
        {QStringLiteral("TS"), QStringLiteral("s.ts_id"), false},
        {QStringLiteral("BOARD"), QStringLiteral("s.board_code"), true},
        {QStringLiteral("BUY_SELL"), QStringLiteral("o.buy_sell"), true},
        {QStringLiteral("ostatus"), QStringLiteral("o.status"), false},
        {QStringLiteral("ORDER_STATUS"), QStringLiteral("o.status"), false},
    };
    return columns;
}

// The status mask of the filter dialog: 1 active, 2 filled, 4 cancelled, as the
// dialog's own expressions for each sum read.
bool StatusCondition(qint64 mask, QString* sql) {
    switch (mask) {
    case 0:
    case 7:
        *sql = QString();
        return true;
    case 1:
        *sql = QStringLiteral(" AND o.status < 11");
        return true;
    case 2:
        *sql = QStringLiteral(" AND o.status = 11");
        return true;
    case 3:
        *sql = QStringLiteral(" AND o.status < 20");
        return true;
    case 4:
        *sql = QStringLiteral(" AND o.status > 19");
        return true;
    case 5:
        *sql = QStringLiteral(" AND o.status <> 11");
        return true;
    case 6:
        *sql = QStringLiteral(" AND o.status > 10");
        return true;
    default:
        return false;
    }
}

// The forms of an order's stored day ("yyyy-MM-dd"): "dd.mm.yyyy" and the day number
// (days since 30.12.1899); both empty or 0 when the date is unreadable. Kept from row
// to row, since a list holds the orders of one day.
struct OrderDay {
    QByteArray iso;
    char dotted[10] = {};
    int dottedSize = 0;
    double dayNumber = 0;
    bool valid = false;

    void Read(const unsigned char* bytes, int size) {
        const QByteArrayView text(reinterpret_cast<const char*>(bytes), size);
        if (bytes && text == iso && !iso.isNull())
            return;
        iso = text.toByteArray();
        if (iso.isNull())
            iso = QByteArray("");
        const QDate d = QDate::fromString(QString::fromLatin1(iso), Qt::ISODate);
        valid = d.isValid();
        dottedSize = 0;
        dayNumber = 0;
        if (!valid)
            return;
        const QByteArray form = d.toString(QStringLiteral("dd.MM.yyyy")).toLatin1();
        dottedSize = int(std::min<qsizetype>(form.size(), sizeof dotted));
        std::memcpy(dotted, form.constData(), size_t(dottedSize));
        dayNumber = WireText::DateTimeValue(d.year(), d.month(), d.day());
    }
};

// Seconds of an "hh:mm:ss" time of day; 0 when it is not one.
int SecondsOfDay(const unsigned char* t, int size) {
    const auto two = [t](int at, int limit) {
        if (t[at] < '0' || t[at] > '9' || t[at + 1] < '0' || t[at + 1] > '9')
            return -1;
        const int v = (t[at] - '0') * 10 + (t[at + 1] - '0');
        return v < limit ? v : -1;
    };
    if (!t || size != 8 || t[2] != ':' || t[5] != ':')
        return 0;
    const int h = two(0, 24);
    const int m = two(3, 60);
    const int s = two(6, 60);
    return h < 0 || m < 0 || s < 0 ? 0 : h * 3600 + m * 60 + s;
}

} // namespace

const ResultLayout& Engine::OrdersLayout() {
    static const ResultLayout layout(QStringLiteral("SpisokBB.211"),
                                     {
                                         {QStringLiteral("ORDER_NUM"), FieldType::Int},
                                         {QStringLiteral("ORDER_TIME"), FieldType::Text},
                                         {QStringLiteral("NAME_BUM"), FieldType::Text},
                                         {QStringLiteral("ORDER_STATUS_NAME"), FieldType::Text},
                                         {QStringLiteral("BUY_SELL"), FieldType::Text},
                                         {QStringLiteral("ORDER_TYPE_NAME"), FieldType::Text},
                                         {QStringLiteral("ORDER_PRICE"), FieldType::Float, 1},
                                         {QStringLiteral("COUNT_IN_LOT_FIRST"), FieldType::Int},
                                         {QStringLiteral("COUNT_IN_LOT"), FieldType::Int, 1},
                                         {QStringLiteral("ORDER_VOL"), FieldType::Float},
                                         {QStringLiteral("NAME_CLI"), FieldType::Text},
                                         {QStringLiteral("NAME_ACC"), FieldType::Text},
                                         {QStringLiteral("ORDER_NKD"), FieldType::Float},
                                         {QStringLiteral("ORDER_YIELD"), FieldType::Float},
                                         {QStringLiteral("ORDER_GROUP"), FieldType::Text},
                                         {QStringLiteral("ID_ACC"), FieldType::Int},
                                         {QStringLiteral("ID_CLI"), FieldType::Int},
                                         {QStringLiteral("ID_BUM"), FieldType::Int, 1},
                                         {QStringLiteral("ORDER_STATUS"), FieldType::Int},
                                         {QStringLiteral("ORDER_TYPE"), FieldType::Int},
                                         {QStringLiteral("KEY_FIELD"), FieldType::Text},
                                         {QStringLiteral("ORDER_DATE"), FieldType::Text},
                                         // Day and time as a binary day number.
                                         {QStringLiteral("ORDER_DATETIME"), FieldType::Date, 1},
                                     });
    return layout;
}

const ResultLayout& Engine::CommandResultLayout(const QString& query) {
    // One layout per command number, made on first use and kept for the whole run; the
    // engines of several threads share it.
    static QMutex lock;
    static std::map<QString, std::unique_ptr<ResultLayout>> layouts;
    const QMutexLocker locked(&lock);
    auto& slot = layouts[query];
    if (!slot)
        slot = std::make_unique<ResultLayout>(
            QStringLiteral("ExecQueryBB.") + query,
            QList<FieldSpec>{{QStringLiteral("RESULT_CODE"), FieldType::Int},
                             {QStringLiteral("RESULT_MSG"), FieldType::Text},
                             {QStringLiteral("ROWS_CHANGED"), FieldType::Int}});
    return *slot;
}

qsizetype Engine::WarmUp() {
    if (!reader_)
        reader_ = std::make_unique<StoreReader>();
    if (!orderNames_)
        orderNames_ = std::make_unique<OrderNameCache>();
    orderNames_->Refresh(*reader_, store_.Path());
    StoreReader::Run count = reader_->Query(
        store_.Path(), QStringLiteral("SELECT COUNT(*) FROM orders WHERE order_date = ?"),
        {TradingDate().toString(Qt::ISODate)});
    constexpr qsizetype kOrderRowBytes = 210; // an order's row in the frame, about
    return count.Next() ? qsizetype(sqlite3_column_int64(count.Statement(), 0)) * kOrderRowBytes
                        : 0;
}

EngineResult Engine::Orders(SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const bool cached = params.Value(QStringLiteral("NoSendMetadata")) == QLatin1String("1");
    session.metadata.Attach(r.answer, OrdersLayout(), cached);
    auto reject = [&](const QString& why) {
        ServerLog::Line(QStringLiteral("SpisokBB 211 rejected, empty answer: %1").arg(why));
        Refusal::Set(r.answer, why);
        return r;
    };

    QString where = QStringLiteral(" WHERE o.order_date = ?");
    QVariantList binds{TradingDate().toString(Qt::ISODate)};

    const QString accText = params.Value(vocab::key::kFilterAccounts);
    if (!accText.isEmpty()) {
        const auto ids = ParseIdList(accText);
        if (!ids)
            return reject(
                QStringLiteral("filter_acc is not a list of ids: \"%1\"").arg(accText.left(100)));
        where += QStringLiteral(" AND o.acc_id IN (SELECT value FROM json_each(?))");
        binds << JsonArray(*ids);
    }
    const QString bumText = params.Value(vocab::key::kFilterSecurities);
    if (!bumText.isEmpty()) {
        const auto ids = ParseIdList(bumText);
        if (!ids)
            return reject(
                QStringLiteral("filter_bum is not a list of ids: \"%1\"").arg(bumText.left(100)));
        where += QStringLiteral(" AND o.sec_id IN (SELECT value FROM json_each(?))");
        binds << JsonArray(*ids);
    }
    const QString statusText = params.Value(vocab::key::kFilterOrderStatus);
    if (!statusText.isEmpty()) {
        const auto mask = RequestNumbers::Parse(statusText, RequestNumbers::Kind::StatusMask);
        QString cond;
        if (!mask || !StatusCondition(*mask, &cond))
            return reject(QStringLiteral("filter_order_status \"%1\" is not a status mask")
                              .arg(statusText.left(40)));
        where += cond;
    }
    const QString side = params.Value(vocab::key::kFilterBuySell).trimmed().toUpper();
    if (side == QLatin1String("B") || side == QLatin1String("S")) {
        where += QStringLiteral(" AND o.buy_sell = ?");
        binds << side;
    } else if (!side.isEmpty() && side != QLatin1String("BS") && side != QLatin1String("SB")) {
        return reject(
            QStringLiteral("filter_buy_sell \"%1\" is not B, S or BS").arg(side.left(40)));
    }
    if (params.Has(vocab::key::kFilterKeyValues)) {
        // Keys are order numbers (the request was refused when one is not).
        QList<qint64> keys;
        for (const QString& k : ParseCommaText(params.Value(vocab::key::kFilterKeyValues)))
            if (const auto v = RequestNumbers::Parse(k, RequestNumbers::Kind::OrderNumber))
                keys << *v;
        where += QStringLiteral(" AND o.order_num IN (SELECT value FROM json_each(?))");
        binds << JsonArray(keys);
    }
    const QString fltr = params.Value(QStringLiteral("fltr"));
    if (!fltr.trimmed().isEmpty()) {
        const ParsedFilter parsed = ParseFilter(fltr);
        const FilterSql fsql = FilterToSql(parsed, OrderFilterColumns());
        if (!fsql.ok)
            return reject(QStringLiteral("fltr \"%1\": %2").arg(fltr.left(200), fsql.error));
        where += fsql.where;
        binds << fsql.binds;
    }

    if (!reader_)
        reader_ = std::make_unique<StoreReader>();
    // A keyed request reads a few orders: joining their names costs less than keeping
    // every name. A full or filtered list takes the names from the cache.
    if (!orderNames_)
        orderNames_ = std::make_unique<OrderNameCache>();
    const OrderNameCache* cache =
        !params.Has(vocab::key::kFilterKeyValues) && orderNames_->Refresh(*reader_, store_.Path())
            ? orderNames_.get()
            : nullptr;
    // The columns keep their places either way; with the cache the names are left to it
    // (the security join stays for the filters that name its columns, and is dropped by
    // the store when nothing uses it).
    const QString sql =
        (cache ? QStringLiteral("SELECT o.order_num, o.order_time, NULL, o.status, o.buy_sell, "
                                "o.order_type, o.price, o.qty_first, o.qty_left, "
                                "o.price * o.qty_first, NULL, NULL, ")
               : QStringLiteral(
                     "SELECT o.order_num, o.order_time, s.short_name, o.status, o.buy_sell, "
                     "o.order_type, o.price, o.qty_first, o.qty_left, "
                     "o.price * o.qty_first * MAX(s.lot_size, 1) * CASE WHEN s.nominal > 0 "
                     "THEN s.nominal / 100.0 ELSE 1 END, c.name, a.name, ")) +
        QStringLiteral("o.nkd, o.yield, o.order_group, o.acc_id, o.cli_id, o.sec_id, o.status, "
                       "o.order_type, o.order_date "
                       "FROM orders o LEFT JOIN security s ON s.id = o.sec_id") +
        (cache ? QString()
               : QStringLiteral(" LEFT JOIN client c ON c.id = o.cli_id "
                                "LEFT JOIN account a ON a.id = o.acc_id")) +
        where + QStringLiteral(" ORDER BY o.order_num");
    // The few status and type names are read once per request rather than joined to every
    // order; a code missing from its table shows no name, as the join did.
    const auto names = [this](const QString& table) {
        QHash<qint64, QByteArray> byCode;
        StoreReader::Run n =
            reader_->Query(store_.Path(), QStringLiteral("SELECT code, name FROM ") + table, {});
        while (n.Next())
            byCode.insert(
                sqlite3_column_int64(n.Statement(), 0),
                QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(n.Statement(), 1)),
                           sqlite3_column_bytes(n.Statement(), 1)));
        return byCode;
    };
    const QHash<qint64, QByteArray> statusNames = names(QStringLiteral("order_status"));
    const QHash<qint64, QByteArray> typeNames = names(QStringLiteral("order_type"));
    StoreReader::Run run = reader_->Query(store_.Path(), sql, binds);
    if (!run.Ok())
        return reject(QStringLiteral("the store cannot run it: %1").arg(run.Error()));
    sqlite3_stmt* q = run.Statement();
    const auto text = [q](int col) {
        return std::pair{sqlite3_column_text(q, col), sqlite3_column_bytes(q, col)};
    };
    // A name from the cache, or from its column when the list joined it.
    const auto name = [&](const OrderNameCache::Entry* e, int col) {
        if (!cache)
            return text(col);
        return e ? std::pair{cache->Text(*e), int(e->size)}
                 : std::pair<const unsigned char*, int>{nullptr, 0};
    };
    if (frameTarget_)
        r.answer.frame.emplace(frameTarget_->id, std::move(frameTarget_->storage));
    WireRowWriter w;
    OrderDay day; // every order of a list is usually of one day: its forms are kept
    while (run.Next()) {
        const qint64 num = sqlite3_column_int64(q, 0);
        const auto [time, timeSize] = text(1);
        const auto [date, dateSize] = text(20);
        day.Read(date, dateSize);
        w.Int(num);
        w.Utf8Text(time, timeSize);
        const OrderNameCache::Entry* security =
            cache ? cache->Security(sqlite3_column_int64(q, 17)) : nullptr;
        const auto [securityName, securityNameSize] = name(security, 2);
        w.Utf8Text(securityName, securityNameSize);
        const QByteArray status = statusNames.value(sqlite3_column_int64(q, 3));
        w.Utf8Text(reinterpret_cast<const unsigned char*>(status.constData()), int(status.size()));
        const auto [side, sideSize] = text(4);
        w.Utf8Text(side, sideSize);
        const QByteArray type = typeNames.value(sqlite3_column_int64(q, 5));
        w.Utf8Text(reinterpret_cast<const unsigned char*>(type.constData()), int(type.size()));
        w.BinDouble(sqlite3_column_double(q, 6));
        w.Int(sqlite3_column_int64(q, 7));
        w.BinInt(qint32(sqlite3_column_int64(q, 8)));
        // Without its security the volume is empty in the store's arithmetic, so 0.
        w.Number(!cache     ? sqlite3_column_double(q, 9)
                 : security ? sqlite3_column_double(q, 9) * security->volumeFactor
                            : 0.0,
                 2);
        const auto [clientName, clientNameSize] =
            name(cache ? cache->Client(sqlite3_column_int64(q, 16)) : nullptr, 10);
        w.Utf8Text(clientName, clientNameSize);
        const auto [accountName, accountNameSize] =
            name(cache ? cache->Account(sqlite3_column_int64(q, 15)) : nullptr, 11);
        w.Utf8Text(accountName, accountNameSize);
        w.Number(sqlite3_column_double(q, 12), 2);
        w.Number(sqlite3_column_double(q, 13), 2);
        const auto [group, groupSize] = text(14);
        w.Utf8Text(group, groupSize);
        w.Int(sqlite3_column_int64(q, 15));
        w.Int(sqlite3_column_int64(q, 16));
        w.BinInt(qint32(sqlite3_column_int64(q, 17)));
        w.Int(sqlite3_column_int64(q, 18));
        w.Int(sqlite3_column_int64(q, 19));
        w.Int(num);
        w.Latin1Text(day.dotted, day.dottedSize);
        w.BinDouble(day.valid ? day.dayNumber + SecondsOfDay(time, timeSize) / 86400.0 : 0.0);
        if (r.answer.frame)
            w.TakeInto(*r.answer.frame);
        else
            r.answer.rows << w.Take();
    }
    if (!run.Error().isEmpty()) {
        r.answer.rows.clear();
        r.answer.frame.reset();
        return reject(QStringLiteral("the store cannot run it: %1").arg(run.Error()));
    }
    return r;
}

// 20: one order by number; 30: the active orders of an account; 40: those of a client
// (its own accounts, not its sub-clients'); 50: those of a group order. Only orders of
// the current trading day below the filled status are withdrawn; a refused withdrawal
// changes nothing. Every withdrawn order is reported as a kind 2 change.
EngineResult Engine::Withdraw(int query, SessionState& session, const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const QString queryText = QString::number(query);
    const bool cached = params.Value(QStringLiteral("NoSendMetadata")) == QLatin1String("1");
    session.metadata.Attach(r.answer, CommandResultLayout(queryText), cached);
    auto answer = [&](int code, const QString& message, int changed) {
        r.answer.rows << RowBuilder().Int(code).Text(message).Int(changed).Take();
        if (code != 0)
            ServerLog::Line(QStringLiteral("ExecQueryBB %1 refused: %2 (%3)")
                                .arg(queryText, message, params.Describe().left(200)));
        return r;
    };

    const QString value = params.Value(QStringLiteral("param0"));
    QString condition;
    QVariant bind;
    if (query == 50) {
        if (value.trimmed().isEmpty())
            return answer(-2, QString::fromUtf8("Не указан номер групповой заявки"), 0);
        condition = QStringLiteral("o.order_group = ?");
        bind = value.trimmed();
    } else {
        const auto id = RequestNumbers::Parse(value, query == 20 ? RequestNumbers::Kind::OrderNumber
                                                                 : RequestNumbers::Kind::Id);
        if (!id)
            return answer(-2, QString::fromUtf8("Неверный параметр: ") + value.left(40), 0);
        condition = query == 20   ? QStringLiteral("o.order_num = ?")
                    : query == 30 ? QStringLiteral("o.acc_id = ?")
                                  : QStringLiteral("o.cli_id = ?");
        bind = *id;
    }

    struct Withdrawn {
        qint64 num;
        qint64 acc;
        qint64 sec;
        QString name;
    };
    QList<Withdrawn> withdrawn;
    int matching = 0;
    const QString now = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    const QString day = TradingDate().toString(Qt::ISODate);
    const bool ok = store_.Transaction([&] {
        QSqlQuery q(store_.Db());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT o.order_num, o.acc_id, o.sec_id, s.short_name, o.status "
                                 "FROM orders o LEFT JOIN security s ON s.id = o.sec_id "
                                 "WHERE o.order_date = ? AND ") +
                  condition + QStringLiteral(" ORDER BY o.order_num"));
        q.addBindValue(day);
        q.addBindValue(bind);
        if (!q.exec())
            return false;
        while (q.next()) {
            ++matching;
            if (q.value(4).toInt() < kFilledStatus)
                withdrawn.append({q.value(0).toLongLong(), q.value(1).toLongLong(),
                                  q.value(2).toLongLong(), q.value(3).toString()});
        }
        q.finish();
        QSqlQuery u(store_.Db());
        u.prepare(QStringLiteral("UPDATE orders SET status = ?, changed_at = ? "
                                 "WHERE order_num = ? AND status < ?"));
        for (const Withdrawn& w : withdrawn) {
            u.bindValue(0, kWithdrawnStatus);
            u.bindValue(1, now);
            u.bindValue(2, w.num);
            u.bindValue(3, kFilledStatus);
            if (!u.exec())
                return false;
        }
        return true;
    });
    if (!ok) {
        withdrawn.clear();
        return answer(-3, QString::fromUtf8("Ошибка сервера при снятии заявок"), 0);
    }
    if (withdrawn.isEmpty()) {
        const QString why = matching == 0 ? QString::fromUtf8("Заявки для снятия не найдены")
                                          : QString::fromUtf8("Заявки не могут быть сняты: они уже "
                                                              "исполнены или сняты");
        return answer(-1, why, 0);
    }
    for (const Withdrawn& w : withdrawn)
        r.changes << OrderChangeRow(vocab::change::kChangedOrder, w.num, w.name, w.acc, w.sec, now);
    ServerLog::Line(QStringLiteral("ExecQueryBB %1 %2: %3 order(s) withdrawn")
                        .arg(queryText, value.left(40))
                        .arg(withdrawn.size()));
    return answer(0, QString(), int(withdrawn.size()));
}
