// Parameter strings, comma texts, row encoding, metadata tables and filter texts.
#include "server/core/Answer.h"
#include "server/core/FilterExpr.h"
#include "server/core/Params.h"
#include "server/core/WireRowWriter.h"
#include "server/core/WireText.h"
#include "session/wire/Cp1251.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
const QChar NUL(u'\0');
}

TEST(ServerParams, PairFormSkipsEmptyPiecesAndSplitsAtFirstEquals) {
    // The pending-transactions request carries an empty piece; a filter value holds "=".
    const QString text = QStringLiteral("chto=207") + NUL + NUL +
                         QStringLiteral("fltr= AND (ID_ACC=5)") + NUL +
                         QStringLiteral("filter_bum=") + NUL;
    const ParsedParams p = ParseParams(text, ParamForm::Pair);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.params.Items().size(), 3);
    EXPECT_EQ(p.params.Value(QStringLiteral("FLTR")), QStringLiteral(" AND (ID_ACC=5)"));
    EXPECT_TRUE(p.params.Has(QStringLiteral("filter_bum")));
    EXPECT_EQ(p.params.Value(QStringLiteral("filter_bum")), QString());
    EXPECT_EQ(p.params.Value(QStringLiteral("absent")), QString());
    EXPECT_FALSE(ParseParams(QStringLiteral("chto=1") + NUL + QStringLiteral("garbage") + NUL,
                             ParamForm::Pair)
                     .ok);
    EXPECT_TRUE(ParseParams(QString(), ParamForm::Pair).params.IsEmpty());
}

TEST(ServerParams, AlternatingFormKeepsEmptyValuesAndRefusesOddPieces) {
    const QString text = QStringLiteral("chto") + NUL + QStringLiteral("100") + NUL +
                         QStringLiteral("param4") + NUL + NUL + QStringLiteral("param5") + NUL +
                         QStringLiteral("a=b\r\nc") + NUL;
    const ParsedParams p = ParseParams(text, ParamForm::Alternating);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.params.Items().size(), 3);
    EXPECT_EQ(p.params.Value(QStringLiteral("param4")), QString());
    EXPECT_EQ(p.params.Value(QStringLiteral("param5")), QStringLiteral("a=b\r\nc"));
    EXPECT_FALSE(ParseParams(QStringLiteral("chto") + NUL + QStringLiteral("20") + NUL +
                                 QStringLiteral("param0") + NUL,
                             ParamForm::Alternating)
                     .ok);
    // The guess tells the forms apart by the first piece.
    EXPECT_EQ(
        ParseParams(QStringLiteral("chto") + NUL + QStringLiteral("20") + NUL, ParamForm::Guess)
            .params.Value(QStringLiteral("chto")),
        QStringLiteral("20"));
    EXPECT_EQ(ParseParams(QStringLiteral("chto=20") + NUL, ParamForm::Guess)
                  .params.Value(QStringLiteral("chto")),
              QStringLiteral("20"));
}

TEST(ServerParams, CommaTextAndIdLists) {
    EXPECT_TRUE(ParseCommaText(QString()).isEmpty());
    EXPECT_EQ(ParseCommaText(QStringLiteral("\"\"")), QStringList{QString()});
    EXPECT_EQ(ParseCommaText(QStringLiteral("1,2,3")),
              (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    EXPECT_EQ(
        ParseCommaText(QStringLiteral("\"a,b\",\"say \"\"hi\"\"\",c")),
        (QStringList{QStringLiteral("a,b"), QStringLiteral("say \"hi\""), QStringLiteral("c")}));
    EXPECT_EQ(ParseCommaText(QStringLiteral("a,")), (QStringList{QStringLiteral("a"), QString()}));
    bool ok = true;
    ParseCommaText(QStringLiteral("\"open"), &ok);
    EXPECT_FALSE(ok);

    const auto ids = ParseIdList(QStringLiteral("5,-1,12"));
    ASSERT_TRUE(ids);
    EXPECT_EQ(*ids, (QList<qint64>{5, -1, 12}));
    EXPECT_FALSE(ParseIdList(QStringLiteral("5,x")));
    EXPECT_FALSE(ParseIdList(QStringLiteral("5) OR 1=1 --")));
}

TEST(ServerWireText, EscapesAndBinaryFieldsSurviveTheCodePage) {
    const QString text = QStringLiteral("a") + NUL + QChar(u'\x03') + QStringLiteral("б");
    const QString escaped = WireText::EscapeText(text);
    EXPECT_FALSE(escaped.contains(NUL));
    EXPECT_EQ(escaped, QStringLiteral("a\x03") + QStringLiteral("0\x03") + QStringLiteral("3б"));
    EXPECT_EQ(WireText::PlainText(text), QStringLiteral("a  б"));

    // Every byte value comes back, including NUL, 3 and the unassigned 0x98.
    for (qint32 v : {0, 3, 0x98, -1, 1234567, qint32(0x98039800), INT32_MIN}) {
        const QByteArray b = WireText::DecodeEscaped(WireText::BinaryInt(v));
        ASSERT_EQ(b.size(), 4) << v;
        quint32 u = 0;
        for (int i = 0; i < 4; ++i)
            u |= quint32(quint8(b[i])) << (8 * i);
        EXPECT_EQ(qint32(u), v);
        EXPECT_FALSE(WireText::BinaryInt(v).contains(NUL));
    }
    const QByteArray d = WireText::DecodeEscaped(WireText::BinaryDouble(46083.5));
    ASSERT_EQ(d.size(), 8);
    double back = 0;
    std::memcpy(&back, d.constData(), 8);
    EXPECT_EQ(back, 46083.5);
}

TEST(ServerWireText, NumbersDatesAndRows) {
    EXPECT_EQ(WireText::DotNumber(1500.70), QStringLiteral("1500.7"));
    EXPECT_EQ(WireText::DotNumber(-0.0), QStringLiteral("0"));
    EXPECT_EQ(WireText::DotNumber(0.000001), QStringLiteral("0.000001"));
    EXPECT_EQ(WireText::DotNumber(2.4, 0), QStringLiteral("2"));
    EXPECT_EQ(WireText::DotNumber(std::nan("")), QStringLiteral("0"));
    EXPECT_EQ(WireText::DateTimeValue(1899, 12, 30), 0);
    EXPECT_EQ(WireText::DateTimeValue(2007, 3, 5, 12), 39146.5);
    const QString row =
        WireText::RowBuilder().Plain(QStringLiteral("x")).Int(5).Number(1.25).Take();
    EXPECT_EQ(row,
              QStringLiteral("x") + NUL + QStringLiteral("5") + NUL + QStringLiteral("1.25") + NUL);
    EXPECT_EQ(WireText::SplitRow(row).size(), 3);
    // A last field without its NUL is not a field.
    EXPECT_EQ(WireText::SplitRow(QStringLiteral("a") + NUL + QStringLiteral("b")).size(), 1);
}

TEST(ServerWireText, RowsWrittenFromColumnValuesEqualTheRowBuilders) {
    // Texts as the store holds them (UTF-8), numbers and binary fields: the fast writer of
    // the large lists must write every field exactly as the row builder's row travels,
    // in the code page (a character outside it, and broken UTF-8, as '?').
    const QList<QByteArray> texts = {
        QByteArray(),
        QByteArray("SBER"),
        QString::fromUtf8("Сбербанк «ао» №1").toUtf8(),
        QByteArray("a\0b\x03c", 5),
        QString::fromUtf8("😀 x").toUtf8(),
        QByteArray("\xC3\x28 \xE2\x82 \xF0\x9F\x98 \xFF \xC0\x80 \xED\xA0\x80"),
    };
    const double numbers[] = {0.0,   -0.0, 0.004, -0.004, 1.005,    2.675,     123456789.125,
                              -17.5, 1e20, 1e-9,  NAN,    INFINITY, 3590970.17};
    const qint32 ints[] = {0,
                           1,
                           -1,
                           3,
                           0x98,
                           0x03000000,
                           std::numeric_limits<qint32>::min(),
                           std::numeric_limits<qint32>::max()};
    for (const QByteArray& text : texts) {
        WireRowWriter w;
        w.Utf8Text(reinterpret_cast<const unsigned char*>(text.constData()), int(text.size()));
        EXPECT_EQ(w.Take(), Cp1251::Decode(Cp1251::Encode(
                                WireText::RowBuilder().Text(QString::fromUtf8(text)).Take())))
            << text.toHex().toStdString();
    }
    for (double v : numbers) {
        for (int decimals : {0, 2, 6}) {
            WireRowWriter w;
            w.Number(v, decimals).BinDouble(v);
            EXPECT_EQ(w.Take(), WireText::RowBuilder().Number(v, decimals).BinDouble(v).Take())
                << v << " " << decimals;
        }
    }
    for (qint32 v : ints) {
        WireRowWriter w;
        w.Int(v).BinInt(v).Int(qint64(v) * 4294967296LL);
        EXPECT_EQ(w.Take(),
                  WireText::RowBuilder().Int(v).BinInt(v).Int(qint64(v) * 4294967296LL).Take())
            << v;
    }
}

TEST(ServerMetadata, HeaderAloneOnlyForACurrentCache) {
    const ResultLayout layout(QStringLiteral("SpisokBB.211"),
                              {{QStringLiteral("ORDER_NUM"), FieldType::Int},
                               {QStringLiteral("ORDER_PRICE"), FieldType::Float, 1}});
    MetadataMemory memory;

    // A client that claims a cache this session never filled gets all with RESET_CACHE.
    Answer claimed;
    memory.Attach(claimed, layout, true);
    ASSERT_NE(claimed.Table(QStringLiteral("METADATA.FIELDS")), nullptr);
    EXPECT_EQ(
        claimed.Table(QStringLiteral("METADATA.HEADER"))->Value(QStringLiteral("RESET_CACHE")),
        QStringLiteral("1"));

    Answer first;
    memory.Attach(first, layout, false);
    const AnswerTable* header = first.Table(QStringLiteral("METADATA.HEADER"));
    const AnswerTable* fields = first.Table(QStringLiteral("METADATA.FIELDS"));
    ASSERT_TRUE(header && fields);
    EXPECT_EQ(header->Value(QStringLiteral("METADATA_ID")), QStringLiteral("SpisokBB.211"));
    EXPECT_EQ(header->Value(QStringLiteral("FIELD_COUNT")), QStringLiteral("2"));
    EXPECT_FALSE(header->Value(QStringLiteral("METADATA_VERSION")).isEmpty());
    EXPECT_EQ(header->Value(QStringLiteral("RESET_CACHE")), QStringLiteral("0"));
    EXPECT_EQ(fields->Value(QStringLiteral("FIELD_NAME.1")), QStringLiteral("ORDER_PRICE"));
    EXPECT_EQ(fields->Value(QStringLiteral("FIELD_INDEX.1")), QStringLiteral("1"));
    EXPECT_EQ(fields->Value(QStringLiteral("PACKET_DATA_TYPE.1")), QStringLiteral("1"));
    EXPECT_EQ(fields->Value(QStringLiteral("FIELD_DATA_TYPE.0")), QStringLiteral("3"));

    Answer cached;
    memory.Attach(cached, layout, true);
    EXPECT_EQ(cached.Table(QStringLiteral("METADATA.FIELDS")), nullptr);
    const AnswerTable* h2 = cached.Table(QStringLiteral("METADATA.HEADER"));
    ASSERT_TRUE(h2);
    EXPECT_EQ(h2->Value(QStringLiteral("FIELD_COUNT")), QStringLiteral("2"));
    EXPECT_EQ(h2->Value(QStringLiteral("METADATA_VERSION")),
              header->Value(QStringLiteral("METADATA_VERSION")));

    // A changed description has another version.
    const ResultLayout changed(QStringLiteral("SpisokBB.211"),
                               {{QStringLiteral("ORDER_NUM"), FieldType::Int},
                                {QStringLiteral("ORDER_PRICE"), FieldType::Float, 0}});
    EXPECT_NE(changed.Version(), layout.Version());
    Answer afterChange;
    memory.Attach(afterChange, changed, true);
    EXPECT_NE(afterChange.Table(QStringLiteral("METADATA.FIELDS")), nullptr);
    EXPECT_EQ(
        afterChange.Table(QStringLiteral("METADATA.HEADER"))->Value(QStringLiteral("RESET_CACHE")),
        QStringLiteral("1"));
}

TEST(ServerFilter, ParsesTheExpressionsTheFilterDialogBuilds) {
    const ParsedFilter deals = ParseFilter(QStringLiteral(
        " AND (ID_ACC=5 OR ID_ACC=7) AND (BOARD='BRD1' OR ID_BUM=12) AND BUY_SELL='B'"));
    ASSERT_TRUE(deals.ok) << deals.error.toStdString();
    ASSERT_EQ(deals.clauses.size(), 3);
    EXPECT_EQ(deals.clauses[0].size(), 2);
    EXPECT_TRUE(deals.clauses[1][0].isText);
    EXPECT_EQ(deals.clauses[1][0].text, QStringLiteral("BRD1"));
    EXPECT_FALSE(deals.groupByInstrument);

    const ParsedFilter pos =
        ParseFilter(QStringLiteral(" AND (ID_ACC=5) AND (TS=1) group by ID_BUM,INSTR "));
    ASSERT_TRUE(pos.ok);
    EXPECT_TRUE(pos.groupByInstrument);
    EXPECT_EQ(pos.clauses.size(), 2);
    EXPECT_TRUE(ParseFilter(QStringLiteral(" group by ID_BUM,INSTR ")).groupByInstrument);
    EXPECT_TRUE(ParseFilter(QString()).ok);

    const ParsedFilter money =
        ParseFilter(QStringLiteral(" AND (ID_ACC_DEBET=5 OR ID_ACC_KREDIT=5) AND (ID_BUM=-1)"));
    ASSERT_TRUE(money.ok);
    EXPECT_EQ(money.clauses[1][0].number, -1);
    const ParsedFilter longs = ParseFilter(QStringLiteral(" AND curr>0 AND plann>0"));
    ASSERT_TRUE(longs.ok);
    EXPECT_EQ(longs.clauses.size(), 2);
    EXPECT_EQ(longs.clauses[0][0].op, QStringLiteral(">"));
    const ParsedFilter shorts =
        ParseFilter(QStringLiteral(" AND (curr<0 OR plann<0) AND ostatus<>11"));
    ASSERT_TRUE(shorts.ok);
    EXPECT_EQ(shorts.clauses[1][0].op, QStringLiteral("<>"));
}

TEST(ServerFilter, RefusesAnythingOutsideTheGrammar) {
    for (const char* bad :
         {" AND (ID_ACC=1); DROP TABLE orders; --", " OR 1=1", " AND (ID_ACC=1 OR 1=1)",
          " AND ID_ACC=1 --", " AND (ID_ACC=5", " AND BOARD='unterminated",
          " AND ID_ACC=(SELECT 1)", " AND (BOARD='x' OR 1=1 --')", " AND ID_ACC=1 UNION SELECT 1",
          " AND ID_ACC==1", " AND ID_ACC=1e5", "ID_ACC=1"}) {
        const ParsedFilter f = ParseFilter(QString::fromUtf8(bad));
        const FilterSql sql =
            FilterToSql(f, {{QStringLiteral("ID_ACC"), QStringLiteral("o.acc_id"), false},
                            {QStringLiteral("BOARD"), QStringLiteral("s.board_code"), true}});
        EXPECT_FALSE(sql.ok) << bad;
        EXPECT_FALSE(sql.error.isEmpty()) << bad;
    }
}

TEST(ServerFilter, BuildsBoundSqlOverAllowedColumnsOnly) {
    const QList<FilterColumn> allowed = {
        {QStringLiteral("ID_ACC"), QStringLiteral("o.acc_id"), false},
        {QStringLiteral("BOARD"), QStringLiteral("s.board_code"), true},
        {QStringLiteral("ostatus"), QStringLiteral("o.status"), false}};
    // A doubled quote inside a literal is one quote of the text (board codes may hold one).
    for (const auto& [fltr, code] :
         {std::pair{" AND (ID_ACC=5 OR BOARD='A''B') AND ostatus<11", "A'B"},
          std::pair{" AND (BOARD='O''')", "O'"}, std::pair{" AND (BOARD='''')", "'"}}) {
        const FilterSql quoted = FilterToSql(ParseFilter(QString::fromUtf8(fltr)), allowed);
        ASSERT_TRUE(quoted.ok) << fltr << " " << quoted.error.toStdString();
        EXPECT_TRUE(quoted.binds.contains(QString::fromUtf8(code))) << fltr;
    }
    const FilterSql ok = FilterToSql(
        ParseFilter(QStringLiteral(" AND (ID_ACC=5 OR ID_ACC=7 OR BOARD='X1') AND ostatus<11")),
        allowed);
    ASSERT_TRUE(ok.ok) << ok.error.toStdString();
    EXPECT_FALSE(ok.where.contains(QStringLiteral("X1")));
    EXPECT_FALSE(ok.where.contains(QStringLiteral("5")));
    EXPECT_EQ(ok.binds.size(), 3);
    // Columns a query does not list are refused, whatever their case.
    EXPECT_FALSE(FilterToSql(ParseFilter(QStringLiteral(" AND (ID_CLI=1)")), allowed).ok);
    EXPECT_TRUE(FilterToSql(ParseFilter(QStringLiteral(" AND (id_acc=1)")), allowed).ok);
    // Text columns compare with text, number columns with numbers.
    EXPECT_FALSE(FilterToSql(ParseFilter(QStringLiteral(" AND ID_ACC='1'")), allowed).ok);
    EXPECT_FALSE(FilterToSql(ParseFilter(QStringLiteral(" AND BOARD=1")), allowed).ok);
    EXPECT_FALSE(FilterToSql(ParseFilter(QStringLiteral(" AND BOARD<'A'")), allowed).ok);
}
