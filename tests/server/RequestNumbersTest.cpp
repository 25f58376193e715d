// Numbers in requests are read exactly: every numeric parameter refuses what is not
// exactly a number of its kind, before anything runs.
#include "ServerTestSupport.h"

#include "server/core/RequestNumbers.h"

using RequestNumbers::Kind;

namespace {

const QChar NUL(u'\0');

// A request with one numeric parameter set to value and its required siblings valid.
struct Built {
    QString request;
    QString params;
    bool command;
};

Built BuildRequest(const RequestNumbers::NumericParam& target, const QString& value) {
    const QString request = QString::fromLatin1(target.request);
    const bool command = request == QLatin1String("ExecQueryBB");
    const int query = target.query >= 0 ? target.query : (command ? 20 : 211);
    QList<std::pair<QString, QString>> params;
    const auto set = [&](const QString& key, const QString& v) {
        for (auto& [k, old] : params)
            if (k == key) {
                old = v;
                return;
            }
        params.append({key, v});
    };
    set(QStringLiteral("chto"), QString::number(query));
    for (const auto& p : RequestNumbers::Table())
        if (p.required && QString::fromLatin1(p.request) == request && p.query == query)
            set(QString::fromLatin1(p.key), QStringLiteral("1"));
    set(QString::fromLatin1(target.key), value);
    QString text;
    for (const auto& [k, v] : params)
        text += command ? k + NUL + v + NUL : k + QLatin1Char('=') + v + NUL;
    return {request, text, command};
}

} // namespace

using ServerNumbersTest = DemoStoreTest;

TEST_F(ServerNumbersTest, EveryNumericParameterRefusesWhatIsNotExactlyANumberOfItsKind) {
    // Values no numeric parameter takes, whatever its kind.
    const QStringList neverNumbers = {
        QStringLiteral(" 5"),
        QStringLiteral("5 "),
        QStringLiteral("+5"),
        QStringLiteral("0x10"),
        QStringLiteral("5.0"),
        QStringLiteral("1e3"),
        QStringLiteral("-"),
        QStringLiteral("5;1"),
        QStringLiteral("9223372036854775808"),
        QStringLiteral("-9223372036854775809"),
        QStringLiteral("99999999999999999999"),
        QString::fromUtf8("٣"),
    };
    // Values refused by some kinds only.
    const QList<std::pair<Kind, QStringList>> outOfRange = {
        {Kind::QueryCode,
         {QStringLiteral("4294967507"), QStringLiteral("2147483648"), QStringLiteral("-211")}},
        {Kind::OrderNumber, {QStringLiteral("-1")}},
        {Kind::StatusMask,
         {QStringLiteral("8"), QStringLiteral("-1"), QStringLiteral("4294967297")}},
    };
    const QList<std::pair<Kind, QStringList>> accepted = {
        {Kind::QueryCode, {QStringLiteral("0"), QStringLiteral("2147483647")}},
        {Kind::Id,
         {QStringLiteral("-5"), QStringLiteral("0"), QStringLiteral("9223372036854775807"),
          QStringLiteral("-9223372036854775808"), QStringLiteral("0007")}},
        {Kind::OrderNumber, {QStringLiteral("0"), QStringLiteral("9223372036854775807")}},
        {Kind::StatusMask, {QStringLiteral("0"), QStringLiteral("7")}},
    };
    const qint64 ordersBefore = Count(QStringLiteral("SELECT SUM(status) FROM orders"));
    const qint64 valuesBefore = Count(QStringLiteral("SELECT COUNT(*) FROM ui_value"));

    for (const auto& param : RequestNumbers::Table()) {
        const QString where =
            QStringLiteral("%1 %2 %3").arg(param.request).arg(param.query).arg(param.key);
        QStringList bad = neverNumbers;
        for (const auto& [kind, values] : outOfRange)
            if (kind == param.kind)
                bad << values;
        if (param.list)
            bad << QStringLiteral("1,x") << QStringLiteral("1,,2") << QStringLiteral("\"1");
        if (param.required)
            bad << QString();
        for (const QString& value : bad) {
            const Built b = BuildRequest(param, value);
            EXPECT_FALSE(Engine::Precheck(b.request, b.params, b.command).isEmpty())
                << where.toStdString() << " \"" << value.toStdString() << "\"";
            const EngineResult r = engine_->Handle(session_, b.request, b.params, b.command);
            EXPECT_TRUE(r.refused) << where.toStdString() << " \"" << value.toStdString() << "\"";
            EXPECT_TRUE(r.error.startsWith(QStringLiteral("malformed parameter string")));
            EXPECT_TRUE(r.answer.rows.isEmpty());
        }
        for (const auto& [kind, values] : accepted) {
            if (kind != param.kind)
                continue;
            for (const QString& value : values) {
                const Built b =
                    BuildRequest(param, param.list ? value + QStringLiteral(",1") : value);
                EXPECT_EQ(Engine::Precheck(b.request, b.params, b.command), QString())
                    << where.toStdString() << " \"" << value.toStdString() << "\"";
            }
        }
    }
    // Nothing of the refused requests reached the store.
    EXPECT_EQ(Count(QStringLiteral("SELECT SUM(status) FROM orders")), ordersBefore);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM ui_value")), valuesBefore);
}

TEST_F(ServerNumbersTest, QueryNumbersBeyond32BitsNeverWrapIntoAnotherQuery) {
    // 4294967507 = 2^32 + 211 and 4294967316 = 2^32 + 20.
    const EngineResult list =
        Pair(QStringLiteral("SpisokBB"), {{QStringLiteral("chto"), QStringLiteral("4294967507")}});
    EXPECT_TRUE(list.refused);
    const qint64 active = Count(QStringLiteral(
        "SELECT MIN(order_num) FROM orders WHERE order_date = '2026-03-02' AND status = 10"));
    const EngineResult withdraw =
        Alt(QStringLiteral("ExecQueryBB"), {{QStringLiteral("chto"), QStringLiteral("4294967316")},
                                            {QStringLiteral("param0"), QString::number(active)}});
    EXPECT_TRUE(withdraw.refused);
    EXPECT_TRUE(withdraw.changes.isEmpty());
    EXPECT_EQ(Count(QStringLiteral("SELECT status FROM orders WHERE order_num = ?"), {active}), 10);
}
