// Order details, "SpisokIFD": 1418 an exchange order of a given day (live or archived)
// or an RPS/REPO order, 1421 a conditional order. The answer is a list of name/value
// pairs, read by position, with no metadata.
#include "server/core/Engine.h"

#include "server/core/RequestNumbers.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"
#include "session/wire/Vocabulary.h"

#include <QDateTime>
#include <QSqlQuery>

using WireText::RowBuilder;

namespace {

using Pairs = QList<QPair<QString, QString>>;

QString Number(const QVariant& value, int decimals) {
    return WireText::DotNumber(value.toDouble(), decimals);
}

QString Side(const QString& code) {
    return code == QLatin1String("B") ? QStringLiteral("Покупка") : QStringLiteral("Продажа");
}

// A day number (days since 30.12.1899 with the time as the fraction) as "dd.mm.yyyy hh:mm".
QString MomentText(double value) {
    if (value == 0)
        return QString();
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return epoch.addSecs(qint64(value * 86400.0 + 0.5))
        .toString(QStringLiteral("dd.MM.yyyy hh:mm"));
}

// "dd.mm.yyyy" exactly; an invalid QDate when the text is not such a date.
QDate ReadDottedDate(const QString& text) {
    if (text.size() != 10)
        return {};
    return QDate::fromString(text, QStringLiteral("dd.MM.yyyy"));
}

// The one long text of every answer: what the order is and how it was handled, as the
// trading server keeps it with the order.
QString Comment(const QString& what, const QString& number, const QString& client,
                const QString& account, const QString& security) {
    return what + QStringLiteral(" №") + number + QStringLiteral(" клиента «") + client +
           QStringLiteral("» по счету ") + account + QStringLiteral(", инструмент ") + security +
           QStringLiteral(
               ". Заявка принята с рабочего места брокера, проверена на соответствие лимитам "
               "клиента, ограничениям торговой системы и правилам режима торгов и передана "
               "для исполнения. Изменения состояния заявки отражаются в окнах заявок; сделки "
               "по заявке видны в окне сделок и в архиве сделок за день выставления.");
}

bool ReadPairs(QSqlQuery& q, const std::function<Pairs(const QSqlQuery&)>& pairs, Answer& answer) {
    if (!q.exec() || !q.next())
        return false;
    for (const auto& [name, value] : pairs(q))
        answer.rows << RowBuilder().Plain(name).Plain(value).Take();
    return true;
}

} // namespace

EngineResult Engine::OrderDetails(const ParamList& params) {
    EngineResult r;
    r.answer.echo = params;
    const auto empty = [&](const QString& why) {
        ServerLog::Line(QStringLiteral("SpisokIFD: %1, empty answer (%2)")
                            .arg(why, params.Describe().left(200)));
        return r;
    };
    const QString chto = params.Value(vocab::key::kQuery);
    const auto number =
        RequestNumbers::Parse(params.Value(vocab::key::kParam0), RequestNumbers::Kind::OrderNumber);
    if (chto != QString::number(vocab::list::kOrderDetails) &&
        chto != QString::number(vocab::list::kConditionalOrderDetails))
        return empty(QStringLiteral("unknown query \"%1\"").arg(chto.left(40)));
    if (!number)
        return empty(QStringLiteral("param0 is not an order number"));

    QSqlQuery q(store_.Db());
    q.setForwardOnly(true);
    if (chto == QString::number(vocab::list::kConditionalOrderDetails)) {
        q.prepare(QStringLiteral(
            "SELECT c.order_id, c.life_start, c.life_stop, c.type_name, c.status_name, c.if_text, "
            "s.short_name, c.action_text, c.buy_sell, a.name, cl.name, c.status "
            "FROM cond_order c LEFT JOIN security s ON s.id = c.if_sec_id "
            "LEFT JOIN account a ON a.id = c.acc_id LEFT JOIN client cl ON cl.id = a.client_id "
            "WHERE c.order_id = ?"));
        q.addBindValue(*number);
        const bool found = ReadPairs(
            q,
            [](const QSqlQuery& c) {
                const double start = c.value(1).toDouble(), stop = c.value(2).toDouble();
                return Pairs{
                    {QStringLiteral("Номер условной заявки"), c.value(0).toString()},
                    {QStringLiteral("Начало периода действия"),
                     start == 0 ? QStringLiteral("С момента выставления") : MomentText(start)},
                    {QStringLiteral("Конец периода действия"),
                     stop == 0 ? QStringLiteral("До отмены") : MomentText(stop)},
                    {QStringLiteral("Тип"), c.value(3).toString()},
                    {QStringLiteral("Статус"), c.value(4).toString()},
                    {QStringLiteral("Код статуса"), c.value(11).toString()},
                    {QStringLiteral("Условие"), c.value(5).toString()},
                    {QStringLiteral("Инструмент условия"), c.value(6).toString()},
                    {QStringLiteral("Действие"), c.value(7).toString()},
                    {QStringLiteral("Направление"), Side(c.value(8).toString())},
                    {QStringLiteral("Счет"), c.value(9).toString()},
                    {QStringLiteral("Клиент"), c.value(10).toString()},
                    {QStringLiteral("Комментарий"),
                     Comment(QStringLiteral("Условная заявка"), c.value(0).toString(),
                             c.value(10).toString(), c.value(9).toString(), c.value(6).toString())},
                };
            },
            r.answer);
        if (!found)
            ServerLog::Line(QStringLiteral("SpisokIFD 1421: no conditional order %1").arg(*number));
        return r;
    }

    // 1418: the exchange order of that day; an unknown day (30.12.1899, the day number 0)
    // finds the order by its number alone. RPS and REPO orders are numbered below every
    // exchange order, so a number names one order of either kind.
    const QDate day = ReadDottedDate(params.Value(QStringLiteral("param1")));
    if (!day.isValid())
        return empty(QStringLiteral("param1 is not a date dd.mm.yyyy"));
    const bool anyDay = day == QDate(1899, 12, 30);
    q.prepare(QStringLiteral(
        "SELECT o.order_num, o.order_date, o.order_time, s.short_name, s.trade_code, "
        "b.name, t.name, o.buy_sell, ot.name, st.name, o.price, o.qty_first, o.qty_left, "
        "MAX(s.lot_size, 1), o.price * o.qty_first * MAX(s.lot_size, 1) * CASE WHEN "
        "s.nominal > 0 THEN s.nominal / 100.0 ELSE 1 END, o.nkd, o.yield, c.name, a.name, "
        "o.order_group, o.changed_at, (SELECT COUNT(*) FROM deal d WHERE d.order_num = "
        "o.order_num), (SELECT SUM(d.price * d.qty) / SUM(d.qty) FROM deal d WHERE "
        "d.order_num = o.order_num), o.status "
        "FROM orders o LEFT JOIN security s ON s.id = o.sec_id "
        "LEFT JOIN board b ON b.code = s.board_code LEFT JOIN trading_system t ON t.id = s.ts_id "
        "LEFT JOIN order_type ot ON ot.code = o.order_type "
        "LEFT JOIN order_status st ON st.code = o.status "
        "LEFT JOIN client c ON c.id = o.cli_id LEFT JOIN account a ON a.id = o.acc_id "
        "WHERE o.order_num = ? AND (? OR o.order_date = ?)"));
    q.addBindValue(*number);
    q.addBindValue(anyDay);
    q.addBindValue(day.toString(Qt::ISODate));
    if (ReadPairs(
            q,
            [](const QSqlQuery& o) {
                return Pairs{
                    {QStringLiteral("Номер заявки"), o.value(0).toString()},
                    {QStringLiteral("Дата"), DottedDate(o.value(1).toString())},
                    {QStringLiteral("Время"), o.value(2).toString()},
                    {QStringLiteral("Инструмент"), o.value(3).toString()},
                    {QStringLiteral("Код инструмента"), o.value(4).toString()},
                    {QStringLiteral("Режим торгов"), o.value(5).toString()},
                    {QStringLiteral("Торговая система"), o.value(6).toString()},
                    {QStringLiteral("Направление"), Side(o.value(7).toString())},
                    {QStringLiteral("Тип заявки"), o.value(8).toString()},
                    {QStringLiteral("Статус"), o.value(9).toString()},
                    {QStringLiteral("Код статуса"), o.value(23).toString()},
                    {QStringLiteral("Цена"), Number(o.value(10), 6)},
                    {QStringLiteral("Количество (лот)"), o.value(11).toString()},
                    {QStringLiteral("Остаток (лот)"), o.value(12).toString()},
                    {QStringLiteral("Исполнено (лот)"),
                     QString::number(o.value(11).toLongLong() - o.value(12).toLongLong())},
                    {QStringLiteral("Размер лота"), o.value(13).toString()},
                    {QStringLiteral("Объем"), Number(o.value(14), 2)},
                    {QStringLiteral("НКД"), Number(o.value(15), 2)},
                    {QStringLiteral("Доходность"), Number(o.value(16), 2)},
                    {QStringLiteral("Клиент"), o.value(17).toString()},
                    {QStringLiteral("Счет"), o.value(18).toString()},
                    {QStringLiteral("Групповая заявка"), o.value(19).toString()},
                    {QStringLiteral("Время изменения"), o.value(20).toString()},
                    {QStringLiteral("Сделок по заявке"), o.value(21).toString()},
                    {QStringLiteral("Средняя цена сделок"),
                     o.value(22).isNull() ? QString() : Number(o.value(22), 6)},
                    {QStringLiteral("Комментарий"),
                     Comment(QStringLiteral("Биржевая заявка"), o.value(0).toString(),
                             o.value(17).toString(), o.value(18).toString(),
                             o.value(3).toString())},
                };
            },
            r.answer))
        return r;

    q.prepare(QStringLiteral(
        "SELECT r.order_id, r.exchange_id, r.order_type, r.type_name, r.order_date, "
        "r.order_time, s.short_name, r.status_name, r.buy_sell, r.price, r.qty, r.qty_pieces, "
        "r.vol, r.client_name, a.name, r.ref1, r.ref2, r.partner_code, r.partner_name, "
        "r.repo_second_date, r.repo_rate, r.repo_term, r.repo_refund_rate, r.status "
        "FROM rps_order r LEFT JOIN security s ON s.id = r.sec_id "
        "LEFT JOIN account a ON a.id = r.acc_id "
        "WHERE r.order_id = ? AND (? OR r.order_date = ?)"));
    q.addBindValue(*number);
    q.addBindValue(anyDay);
    q.addBindValue(day.toString(Qt::ISODate));
    const bool found = ReadPairs(
        q,
        [](const QSqlQuery& o) {
            Pairs pairs{
                {QStringLiteral("Номер заявки"), o.value(0).toString()},
                {QStringLiteral("Номер на бирже"), o.value(1).toString()},
                {QStringLiteral("Вид заявки"), o.value(3).toString()},
                {QStringLiteral("Дата"), DottedDate(o.value(4).toString())},
                {QStringLiteral("Время"), o.value(5).toString()},
                {QStringLiteral("Инструмент"), o.value(6).toString()},
                {QStringLiteral("Статус"), o.value(7).toString()},
                {QStringLiteral("Код статуса"), o.value(23).toString()},
                {QStringLiteral("Направление"), Side(o.value(8).toString())},
                {QStringLiteral("Цена"), Number(o.value(9), 6)},
                {QStringLiteral("Количество (лот)"), o.value(10).toString()},
                {QStringLiteral("Количество (шт)"), o.value(11).toString()},
                {QStringLiteral("Объем"), Number(o.value(12), 2)},
                {QStringLiteral("Клиент"), o.value(13).toString()},
                {QStringLiteral("Счет"), o.value(14).toString()},
                {QStringLiteral("Ссылка"), o.value(15).toString()},
                {QStringLiteral("Примечание"), o.value(16).toString()},
                {QStringLiteral("Код партнера"), o.value(17).toString()},
                {QStringLiteral("Партнер"), o.value(18).toString()},
            };
            if (!o.value(19).toString().isEmpty())
                pairs << Pairs{
                    {QStringLiteral("Дата возврата"), o.value(19).toString()},
                    {QStringLiteral("Ставка РЕПО"), o.value(20).toString()},
                    {QStringLiteral("Срок РЕПО, дни"), o.value(21).toString()},
                    {QStringLiteral("Возмещение РЕПО, %"), o.value(22).toString()},
                };
            pairs << QPair<QString, QString>{
                QStringLiteral("Комментарий"),
                Comment(QStringLiteral("Заявка ") + o.value(3).toString(), o.value(0).toString(),
                        o.value(13).toString(), o.value(14).toString(), o.value(6).toString())};
            return pairs;
        },
        r.answer);
    if (!found)
        ServerLog::Line(QStringLiteral("SpisokIFD 1418: no order %1 of %2")
                            .arg(*number)
                            .arg(day.toString(QStringLiteral("dd.MM.yyyy"))));
    return r;
}
