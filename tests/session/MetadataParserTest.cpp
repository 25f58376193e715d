// The request protocol: field access with its row cache, escape decoding, metadata
// caching and the typed getters, all against the scripted session.
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "shell/base/Beep.h"
#include "shell/base/DateValue.h"
#include "shell/base/WorkstationLocale.h"
#include "support/ScriptedSession.h"

#include <QDate>
#include <gtest/gtest.h>

namespace {

const QChar kNul(0);

QString Nul() {
    return QString(kNul);
}

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

class SessionTest : public ::testing::Test {
protected:
    ScriptedSessionHub hub;
    ScopedWorkstationLocale locale{WorkstationLocale::Russian()};
};

// ---- fields of a row ----

TEST_F(SessionTest, GetFieldCutsFieldsAtNulsAndNeedsTheFinalNul) {
    TBrokerSession session(QStringLiteral("SesTest"), true);
    ScriptedSession& link = hub.Get(QStringLiteral("SesTest"));
    link.SetAnswer(AnswerBuilder()
                       .RawRow(QStringLiteral("a") + Nul() + "b" + Nul() + "c" + Nul())
                       .RawRow(QStringLiteral("a") + Nul() + "b" + Nul() + "c")
                       .RawRow(QString())
                       .RawRow(QStringLiteral("Ёлка") + Nul() + Nul() + "x" + Nul())
                       .Build());
    EXPECT_EQ(session.GetField(0, 2), QByteArray("c"));
    EXPECT_EQ(session.GetField(0, 0), QByteArray("a"));
    EXPECT_EQ(session.GetField(0, 5), QByteArray());
    EXPECT_EQ(session.GetField(0, -1), QByteArray());
    EXPECT_EQ(session.GetField(1, 1), QByteArray("b"));
    EXPECT_EQ(session.GetField(1, 2), QByteArray()); // cut without its NUL
    EXPECT_EQ(session.GetField(2, 0), QByteArray());
    EXPECT_EQ(session.GetField(3, 0), QByteArray("\xA8\xEB\xEA\xE0")); // Windows-1251
    EXPECT_EQ(session.GetField(3, 1), QByteArray());
    EXPECT_EQ(session.GetField(3, 2), QByteArray("x"));
    EXPECT_EQ(session.GetField(99, 0), QByteArray()); // beyond the answer
}

TEST_F(SessionTest, RowIsFetchedOncePerRowAndDroppedBeforeEveryEvent) {
    TBrokerSession session(QStringLiteral("SesTest"), true);
    ScriptedSession& link = hub.Get(QStringLiteral("SesTest"));
    link.SetAnswer(AnswerBuilder().Row({"1", "2", "3"}).Row({"4", "5", "6"}).Build());
    for (int n = 0; n < 3; ++n)
        session.GetField(0, n);
    EXPECT_EQ(link.RowTextCalls(), 1);
    session.GetField(1, 0);
    session.GetField(0, 0);
    EXPECT_EQ(link.RowTextCalls(), 3);

    // The same row number after an event reads the new answer, not the cached row.
    QByteArray seen;
    session.OnData = [&](TBrokerSession* s) { seen = s->GetField(0, 0); };
    link.FeedData(AnswerBuilder().Row({"new"}).Build());
    EXPECT_EQ(seen, QByteArray("new"));
    link.SetAnswer(AnswerBuilder().Row({"after"}).Build());
    link.RaiseLogin(); // no handler, but the cache still goes
    EXPECT_EQ(session.GetField(0, 0), QByteArray("after"));
}

TEST(DecodeFieldText, EscapesAndTheirEdges) {
    EXPECT_EQ(DecodeFieldText(Bytes({3, 48, 65, 3})), Bytes({0, 65, 3}));
    EXPECT_EQ(DecodeFieldText(Bytes({3, 51})), Bytes({3}));
    EXPECT_EQ(DecodeFieldText(Bytes({3, 47})), Bytes({255})); // (47 - 48) mod 256
    EXPECT_EQ(DecodeFieldText(Bytes({3, 3, 3})), Bytes({211, 3}));
    EXPECT_EQ(DecodeFieldText(QByteArray()), QByteArray());
    EXPECT_EQ(DecodeFieldText(QByteArray("plain")), QByteArray("plain"));
}

// ---- metadata caching ----

TEST_F(SessionTest, NoSendMetadataIsAddedOnlyWhileTheQueryMetadataIsCached) {
    TBrokerSession session(QStringLiteral("SesRef"), true);
    ScriptedSession& link = hub.Get(QStringLiteral("SesRef"));
    TMetadataParser parser(&session);
    const QString params = QStringLiteral("chto=409") + Nul();

    parser.SendList(QStringLiteral("SpisokBB"), QStringLiteral("409"), params);
    EXPECT_EQ(link.Last().params, params);
    EXPECT_FALSE(link.Last().command);

    link.SetAnswer(AnswerBuilder().Metadata("SpisokBB.409").Text("NAME").Build());
    parser.ParseMetadata();
    parser.SendList(QStringLiteral("SpisokBB"), QStringLiteral("409"), params);
    EXPECT_EQ(link.Last().params, params + QStringLiteral("NoSendMetadata=1") + Nul());

    // Another query on the same parser gets no flag.
    parser.SendList(QStringLiteral("SpisokBB"), QStringLiteral("408"),
                    QStringLiteral("chto=408") + Nul());
    EXPECT_FALSE(link.Last().HasParam(QStringLiteral("NoSendMetadata")));

    // The command form appends key and value as separate pieces.
    link.SetAnswer(AnswerBuilder().Metadata("ExecQueryBB.20").Int("RESULT_CODE").Build());
    parser.ParseMetadata();
    const QString cmd = AlternatingParams({{"chto", "20"}, {"param0", "5"}});
    parser.SendExec(QStringLiteral("ExecQueryBB"), QStringLiteral("20"), cmd);
    EXPECT_TRUE(link.Last().command);
    EXPECT_EQ(link.Last().params, cmd + QStringLiteral("NoSendMetadata") + Nul() + "1" + Nul());
    EXPECT_EQ(link.Last().a, 0);
    EXPECT_EQ(link.Last().b, 1);

    // An answer without a header empties the parser: no flag on the next request.
    link.SetAnswer(AnswerBuilder().Row({"x"}).Build());
    parser.ParseMetadata();
    EXPECT_FALSE(parser.IsValid());
    parser.SendExec(QStringLiteral("ExecQueryBB"), QStringLiteral("20"), cmd);
    EXPECT_EQ(link.Last().params, cmd);
}

TEST_F(SessionTest, ParameterStringWithoutFinalNulKeepsItsLastValue) {
    TBrokerSession session(QStringLiteral("SesRef"), true);
    ScriptedSession& link = hub.Get(QStringLiteral("SesRef"));
    TMetadataParser parser(&session);
    link.SetAnswer(AnswerBuilder().Metadata("SpisokBB.409").Text("NAME").Build());
    parser.ParseMetadata();
    parser.SendList(QStringLiteral("SpisokBB"), QStringLiteral("409"), QStringLiteral("chto=409"));
    EXPECT_EQ(link.Last().Param(QStringLiteral("chto")), QStringLiteral("409"));
    EXPECT_EQ(link.Last().Param(QStringLiteral("NoSendMetadata")), QStringLiteral("1"));
}

TEST_F(SessionTest, HeaderOnlyAnswerKeepsDescriptionsUnlessResetCacheSaysOtherwise) {
    TBrokerSession session(QStringLiteral("SesRef"), true);
    ScriptedSession& link = hub.Get(QStringLiteral("SesRef"));
    TMetadataParser parser(&session);
    link.SetAnswer(AnswerBuilder()
                       .Metadata("SpisokBB.409", "7")
                       .Text("NAME")
                       .Int("LOT")
                       .Row({"SBER", 10})
                       .Build());
    parser.ParseMetadata();
    ASSERT_TRUE(parser.IsValid());
    EXPECT_EQ(parser.Version(), QStringLiteral("7"));

    // Same version and id, no field table: the cached descriptions still read the rows.
    AnswerBuilder cached;
    cached.Metadata("SpisokBB.409", "7").Text("NAME").Int("LOT").HeaderOnly().Row({"GAZP", 20});
    link.FeedData(cached.Build()); // the event drops the cached row
    parser.ParseMetadata();
    EXPECT_EQ(parser.GetText(QStringLiteral("NAME"), 0), QStringLiteral("GAZP"));
    EXPECT_EQ(parser.GetInt(QStringLiteral("LOT"), 0, -1), 20);

    // RESET_CACHE "1" with the same version and id re-reads the descriptions.
    link.FeedData(AnswerBuilder()
                      .Metadata("SpisokBB.409", "7")
                      .ResetCache()
                      .Int("LOT")
                      .Text("NAME")
                      .Row({30, "LKOH"})
                      .Build());
    parser.ParseMetadata();
    ASSERT_TRUE(parser.IsValid());
    EXPECT_EQ(parser.FindField(QStringLiteral("LOT"))->FieldIndex, 0);
    EXPECT_EQ(parser.GetText(QStringLiteral("NAME"), 0), QStringLiteral("LKOH"));

    // A changed version re-reads too; a header-only answer then leaves it empty.
    cached = AnswerBuilder();
    cached.Metadata("SpisokBB.409", "8").Int("LOT").HeaderOnly();
    link.SetAnswer(cached.Build());
    parser.ParseMetadata();
    EXPECT_FALSE(parser.IsValid());
    EXPECT_EQ(parser.GetInt(QStringLiteral("LOT"), 0, -5), -5);
}

TEST_F(SessionTest, MalformedHeadersAndDescriptionsLeaveTheParserEmpty) {
    TBrokerSession session(QStringLiteral("SesRef"), true);
    ScriptedSession& link = hub.Get(QStringLiteral("SesRef"));
    TMetadataParser parser(&session);
    const ScriptedAnswer good = AnswerBuilder().Metadata("SpisokBB.1").Text("A").Build();
    struct Case {
        const char* what;
        QString table, field, value;
    };
    const std::vector<Case> cases = {
        {"empty version", "METADATA.HEADER", "METADATA_VERSION", ""},
        {"count not a number", "METADATA.HEADER", "FIELD_COUNT", "many"},
        {"zero count", "METADATA.HEADER", "FIELD_COUNT", "0"},
        {"negative count", "METADATA.HEADER", "FIELD_COUNT", "-3"},
        {"count beyond the descriptions", "METADATA.HEADER", "FIELD_COUNT", "2000000000"},
        {"index not a number", "METADATA.FIELDS", "FIELD_INDEX.0", "x"},
        {"packet type not a number", "METADATA.FIELDS", "PACKET_DATA_TYPE.0", ""},
        {"field type not a number", "METADATA.FIELDS", "FIELD_DATA_TYPE.0", "1.5"},
    };
    for (const Case& c : cases) {
        link.SetAnswer(good);
        parser.ParseMetadata();
        ASSERT_TRUE(parser.IsValid()) << c.what;
        parser.ResetMetadata(); // a fresh read, not the cached descriptions
        ScriptedAnswer bad = good;
        bad.tables[c.table][c.field] = c.value;
        link.SetAnswer(bad);
        parser.ParseMetadata();
        EXPECT_FALSE(parser.IsValid()) << c.what;
        EXPECT_TRUE(parser.Fields().empty()) << c.what;
        EXPECT_TRUE(parser.MetadataId().isEmpty()) << c.what;
    }
    // Display attributes that are not numbers fall back to 0 and keep the parser valid.
    ScriptedAnswer lenient = good;
    lenient.tables[QStringLiteral("METADATA.FIELDS")][QStringLiteral("VISIBLE_FLAG.0")] = "yes";
    lenient.tables[QStringLiteral("METADATA.FIELDS")][QStringLiteral("VISIBLE_ALIGN.0")] = "";
    link.SetAnswer(lenient);
    parser.ResetMetadata();
    parser.ParseMetadata();
    ASSERT_TRUE(parser.IsValid());
    EXPECT_EQ(parser.Fields()[0]->VisibleFlag, 0);
    EXPECT_EQ(parser.Fields()[0]->VisibleAlign, 0);

    TMetadataParser unbound(nullptr);
    unbound.ParseMetadata();
    EXPECT_FALSE(unbound.IsValid());
    EXPECT_THROW(unbound.SendList("SpisokBB", "1", "chto=1" + Nul()), ESessionError);
}

// ---- typed getters ----

class GetterTest : public SessionTest {
protected:
    void SetUp() override {
        session = std::make_unique<TBrokerSession>(QStringLiteral("SesGet"), true);
        link = &hub.Get(QStringLiteral("SesGet"));
        parser = std::make_unique<TMetadataParser>(session.get());
    }
    void Load(const AnswerBuilder& builder) {
        link->FeedData(builder.Build());
        parser->ParseMetadata();
        ASSERT_TRUE(parser->IsValid());
    }
    std::unique_ptr<TBrokerSession> session;
    ScriptedSession* link = nullptr;
    std::unique_ptr<TMetadataParser> parser;
};

TEST_F(GetterTest, TextPacketsByTypeGroup) {
    Load(AnswerBuilder()
             .Metadata("SpisokBB.211")
             .Text("ACC")
             .Int("QTY")
             .Float("PRICE")
             .Date("DT")
             .Field("SUB", 25)
             .Field("F6", 6)
             .Field("D11", 11)
             .Row({"L01", "15", "1234.5", "05.03.2007 12:30:00", "-7", "0.000001", "31.12.2024"})
             .Row({"", "abc", "1.2.3", "5.3.2007", "", "", ""})
             .Row({"x", "99999999999", "1e3", "30.02.2007"})
             .Row({"y", "1", "1", "05.03.-200"})
             .Row({"z", "1", "1", "+5.03.2007"}));
    EXPECT_EQ(parser->GetText(QStringLiteral("ACC"), 0), QStringLiteral("L01"));
    EXPECT_EQ(parser->GetText(QStringLiteral("QTY"), 0), QStringLiteral("15"));
    EXPECT_EQ(parser->GetText(QStringLiteral("PRICE"), 0), QStringLiteral("1234,5"));
    EXPECT_EQ(parser->GetText(QStringLiteral("F6"), 0), QStringLiteral("1E-6"));
    EXPECT_EQ(parser->GetText(QStringLiteral("SUB"), 0), QStringLiteral("-7"));
    // A dotted date reads the date only, at midnight.
    EXPECT_EQ(parser->GetDate(QStringLiteral("DT"), 0, -1), DateToValue(QDate(2007, 3, 5)));
    EXPECT_EQ(parser->GetText(QStringLiteral("DT"), 0), QStringLiteral("05.03.2007"));
    EXPECT_EQ(parser->GetDate(QStringLiteral("D11"), 0, -1), DateToValue(QDate(2024, 12, 31)));

    // Texts that do not convert give the defaults, and GetText its zero forms.
    EXPECT_EQ(parser->GetInt(QStringLiteral("QTY"), 1, 42), 42);
    EXPECT_EQ(parser->GetText(QStringLiteral("QTY"), 1), QStringLiteral("0"));
    EXPECT_EQ(parser->GetFloat(QStringLiteral("PRICE"), 1, -1.0), -1.0);
    EXPECT_EQ(parser->GetDate(QStringLiteral("DT"), 1, -2.0), -2.0);
    EXPECT_EQ(parser->GetText(QStringLiteral("DT"), 1), QString()); // date 0: empty
    EXPECT_EQ(parser->GetInt(QStringLiteral("SUB"), 1, 3), 3);
    EXPECT_EQ(parser->GetInt(QStringLiteral("QTY"), 2, 4), 4); // beyond 32 bits
    EXPECT_EQ(parser->GetFloat(QStringLiteral("PRICE"), 2, 0), 1000.0);
    EXPECT_EQ(parser->GetDate(QStringLiteral("DT"), 2, -3.0), -3.0); // no 30 February
    for (const int signed_ : {3, 4}) // a sign in a date part is no digit
        EXPECT_EQ(parser->GetDate(QStringLiteral("DT"), signed_, -4.0), -4.0);
    // Fields missing from a short row read as empty.
    EXPECT_EQ(parser->GetInt(QStringLiteral("SUB"), 2, 8), 8);
}

TEST_F(GetterTest, NamesIgnoreAsciiCaseAndUnknownNamesGiveDefaults) {
    Load(AnswerBuilder()
             .Metadata("SpisokBB.409")
             .Int("Stock_Sub_Type")
             .Text("ИМЯ")
             .Row({5, "Сбер"}));
    EXPECT_EQ(parser->FindField(QStringLiteral("stock_sub_type"))->FieldName,
              QStringLiteral("STOCK_SUB_TYPE"));
    EXPECT_EQ(parser->GetInt(QStringLiteral("stock_sub_type"), 0, 0), 5);
    EXPECT_EQ(parser->GetText(QStringLiteral("ИМЯ"), 0), QStringLiteral("Сбер"));
    // Only ASCII letters are folded: a Cyrillic name must match exactly.
    EXPECT_EQ(parser->FindField(QStringLiteral("имя")), nullptr);
    EXPECT_EQ(parser->FindField(QStringLiteral("NOPE")), nullptr);
    EXPECT_EQ(parser->GetText(QStringLiteral("NOPE"), 0), QString());
    EXPECT_EQ(parser->GetFloat(QStringLiteral("NOPE"), 0, 2.5), 2.5);
    EXPECT_EQ(parser->GetDate(QStringLiteral("NOPE"), 0, 3.5), 3.5);
    EXPECT_EQ(parser->GetInt(QStringLiteral("NOPE"), 0, 7), 7);
}

TEST_F(GetterTest, DuplicateNamesFindTheFirstDescription) {
    Load(AnswerBuilder().Metadata("SpisokBB.1").Text("NAME").Text("name").Row({"first", "second"}));
    EXPECT_EQ(parser->GetText(QStringLiteral("Name"), 0), QStringLiteral("first"));
}

TEST_F(GetterTest, BinaryPacketsEscapedAndShort) {
    const double when = DateTimeToValue(QDateTime(QDate(2024, 1, 15), QTime(10, 30, 15)));
    Load(AnswerBuilder()
             .Metadata("SpisokBB.212")
             .BinaryInt("KEY")
             .BinaryFloat("SUM")
             .BinaryDate("WHEN")
             .Field("ODD", AnswerBuilder::kIntType, 2)
             .Row({0x03000100, -0.125, when, "5"})
             .Row({-1, 0.0, 0.0, "5"})
             .RawRow(QStringLiteral("ab") + Nul() + "1234567" + Nul() + "" + Nul()));
    EXPECT_EQ(parser->GetInt(QStringLiteral("KEY"), 0, 0), 0x03000100); // NUL and 3 escaped
    EXPECT_EQ(parser->GetFloat(QStringLiteral("SUM"), 0, 0), -0.125);
    EXPECT_EQ(parser->GetDate(QStringLiteral("WHEN"), 0, 0), when);
    EXPECT_EQ(parser->GetText(QStringLiteral("WHEN"), 0), QStringLiteral("15.01.2024 10:30:15"));
    EXPECT_EQ(parser->GetText(QStringLiteral("SUM"), 0), QStringLiteral("-0,125"));
    EXPECT_EQ(parser->GetInt(QStringLiteral("KEY"), 1, 0), -1);
    EXPECT_EQ(parser->GetText(QStringLiteral("WHEN"), 1), QString());
    // An unknown packet type gives the default.
    EXPECT_EQ(parser->GetInt(QStringLiteral("ODD"), 0, 9), 9);
    // Binary fields shorter than their width give the default.
    EXPECT_EQ(parser->GetInt(QStringLiteral("KEY"), 2, 11), 11);
    EXPECT_EQ(parser->GetFloat(QStringLiteral("SUM"), 2, 12), 12);
    EXPECT_EQ(parser->GetDate(QStringLiteral("WHEN"), 2, 13), 13);
}

TEST_F(GetterTest, DateTextsMatchTheShortDateFormatForAnyValue) {
    const std::vector<double> values = {
        0.0,           1.0,        -1.5,  39146.5,    39146.999999999,
        45000.0000001, 2958465.99, 3.5e6, -700000.25, 1e-9};
    AnswerBuilder b;
    b.Metadata("SpisokBB.1").BinaryDate("D");
    for (double v : values)
        b.Row({v});
    Load(b);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(parser->GetText(QStringLiteral("d"), int(i)), FormatShortDateTime(values[i]))
            << values[i];
}

TEST_F(GetterTest, TextFieldsAreEscapeDecoded) {
    Load(AnswerBuilder()
             .Metadata("SpisokBB.1")
             .Text("T")
             .RawRow(QStringLiteral("a") + QChar(3) + "0b" + QChar(3) + "3" + Nul()));
    EXPECT_EQ(parser->GetText(QStringLiteral("T"), 0),
              QStringLiteral("a") + Nul() + "b" + QChar(3));
}

TEST_F(GetterTest, Utf8TextsAreTheTextsOfEveryFieldForm) {
    // Text, integer, float and date fields, plain and not, as text and binary packets:
    // the UTF-8 form a grid stores is always the text GetText gives.
    Load(AnswerBuilder()
             .Metadata("SpisokBB.1")
             .Text("T")
             .Int("I")
             .Float("F")
             .Date("D")
             .BinaryInt("BI")
             .BinaryFloat("BF")
             .BinaryDate("BD")
             .Row({"Ёлка №5 \u20AC", "15", "1234.5", "05.03.2007", 7, -0.125, 39146.5})
             .Row({"", "007", "abc", "30.02.2007", -1, 0.0, 0.0})
             .Row({"x", "-0", "1e3", "", 0, 1e300, 1.0})
             .Row({"y", "99999999999", "", "5.3.2007", 0x03000100, 2.5, -1.5})
             .Row({"z", "+5", "-0", "31.12.2024", 1, 1.0, 2.0})
             .Row({"w", "-2147483648", "0.000001", "01.01.1900", 2, 3.0, 3.0})
             .RawRow(QStringLiteral("a") + QChar(3) + "0b" + Nul() + "1" + Nul())
             .RawRow(QStringLiteral("cut"))
             // Numbers at the edges of the general format's plain form and past them.
             .Row({"v", "1", "0012.500", "", 0, 0.30000000000000004, 0.0})
             .Row({"u", "2", "123456789012345", "", 0, 1e15, 0.0})
             .Row({"t", "3", "1234567890123456", "", 0, 999999999999999.9, 0.0})
             .Row({"s", "4", "-0.000010", "", 0, 1e-5, 0.0})
             .Row({"r", "5", "1.", "", 0, -2.5e-5, 0.0})
             .Row({"q", "6", ".5", "", 0, 123.456, 0.0})
             .Row({"p", "7", "0.1234567890123456", "", 0, 9.99999999999999e-6, 0.0})
             .Row({"o", "8", "1,5", "", 0, -123456789012345.0, 0.0})
             .Row({"n", "9", "-100", "", 0, 100.25, 0.0})
             .Row({"m", "10", "000.000", "", 0, -0.0, 0.0}));
    for (const WorkstationLocale& locale :
         {WorkstationLocale::Russian(), WorkstationLocale::English()}) {
        const ScopedWorkstationLocale scoped(locale);
        for (int row = 0; row < 18; ++row)
            for (const auto& field : parser->Fields()) {
                std::string utf8 = "kept";
                parser->AppendTextUtf8(*field, row, utf8);
                EXPECT_EQ(QByteArray::fromStdString(utf8),
                          "kept" + parser->GetText(*field, row).toUtf8())
                    << field->FieldName.toStdString() << " row " << row;
            }
    }
}

// ---- the metadata session and handler errors ----

TEST_F(SessionTest, MetadataSessionParsesBeforeItsDataHandler) {
    TMetadataSession session(QStringLiteral("SesBum"), true);
    ScriptedSession& link = hub.Get(QStringLiteral("SesBum"));
    QString seen;
    session.OnData = [&](TBrokerSession*) {
        seen = session.Parser().GetText(QStringLiteral("code"), 0);
    };
    link.FeedData(AnswerBuilder().Metadata("SpisokBB.409").Text("CODE").Row({"SBER"}).Build());
    EXPECT_EQ(seen, QStringLiteral("SBER"));

    // Without an OnData handler nothing is parsed.
    session.OnData = nullptr;
    link.FeedData(AnswerBuilder().Metadata("SpisokBB.408").Text("X").Build());
    EXPECT_EQ(session.Parser().MetadataId(), QStringLiteral("SpisokBB.409"));
}

TEST_F(SessionTest, HandlerErrorsAreSwallowedWithABeep) {
    int beeps = 0;
    SetBeepHandler([&] { ++beeps; });
    TBrokerSession session(QStringLiteral("SesErr"), true);
    ScriptedSession& link = hub.Get(QStringLiteral("SesErr"));
    session.OnData = [](TBrokerSession*) { throw ESessionError(QStringLiteral("boom")); };
    session.OnLogin = [](TBrokerSession*) { throw std::runtime_error("bad"); };
    session.OnProcess = [](TBrokerSession*, int, int) { throw 42; };
    EXPECT_NO_THROW(link.RaiseData());
    EXPECT_NO_THROW(link.RaiseLogin());
    EXPECT_NO_THROW(link.RaiseProcess(10, 5));
    EXPECT_EQ(beeps, 3);
    SetBeepHandler({});
}

TEST_F(SessionTest, HandlerMayDestroyItsSessionOrReplaceItself) {
    auto session = std::make_unique<TBrokerSession>(QStringLiteral("SesGone"), true);
    ScriptedSession* link = hub.Find(QStringLiteral("SesGone"));
    session->OnData = [&](TBrokerSession*) { session.reset(); };
    link->RaiseData(); // the link dies with the session; nothing may touch either after
    EXPECT_EQ(session, nullptr);
    EXPECT_EQ(hub.Find(QStringLiteral("SesGone")), nullptr);

    TBrokerSession other(QStringLiteral("SesSelf"), true);
    int calls = 0;
    other.OnData = [&](TBrokerSession* s) {
        ++calls;
        s->OnData = nullptr;
    };
    hub.Get(QStringLiteral("SesSelf")).RaiseData();
    hub.Get(QStringLiteral("SesSelf")).RaiseData();
    EXPECT_EQ(calls, 1);
}

TEST_F(SessionTest, SessionsAttachWhenCreatedOrOnFirstUse) {
    TBrokerSession lazy(QStringLiteral("SesLazy"));
    EXPECT_FALSE(lazy.IsAttached());
    EXPECT_EQ(hub.Find(QStringLiteral("SesLazy")), nullptr);
    lazy.SendRequest(QStringLiteral("SQLktoExt"), QString());
    ASSERT_TRUE(lazy.IsAttached());
    EXPECT_EQ(hub.Get(QStringLiteral("SesLazy")).Last().name, QStringLiteral("SQLktoExt"));

    // A failed attach reaches the caller and is retried on the next use.
    hub.FailAttach(QStringLiteral("SesNext"));
    TBrokerSession next(QStringLiteral("SesNext"));
    EXPECT_THROW(next.GetRowCount(), ESessionError);
    EXPECT_FALSE(next.IsAttached());
    EXPECT_EQ(next.GetRowCount(), 0);
    EXPECT_TRUE(next.IsAttached());

    hub.FailAttach(QStringLiteral("SesAuto"));
    EXPECT_THROW(TBrokerSession(QStringLiteral("SesAuto"), true), ESessionError);

    // A failure the server reports reaches the caller.
    hub.Get(QStringLiteral("SesLazy")).FailNext(QStringLiteral("no such request"));
    EXPECT_THROW(lazy.SendRequest(QStringLiteral("Nope"), QString()), ESessionError);
}

TEST(ParamStrings, BothFormsEndEveryPieceWithNul) {
    EXPECT_EQ(PairParams({{"chto", "408"}, {"BackParam", "1"}}),
              QStringLiteral("chto=408") + Nul() + "BackParam=1" + Nul());
    EXPECT_EQ(AlternatingParams({{"chto", "20"}, {"param0", ""}}),
              QStringLiteral("chto") + Nul() + "20" + Nul() + "param0" + Nul() + Nul());
    EXPECT_EQ(PairParams({}), QString());
}

} // namespace

// ---- the scripted session itself (every window test leans on it) ----

namespace {

TEST(ScriptedSessionHub, CannedRepliesEchoTheRequestAndArriveAsData) {
    ScriptedSessionHub hub;
    hub.OnCreated = [](ScriptedSession& s) {
        s.ReplyTo(QStringLiteral("SpisokBB"), QStringLiteral("402"),
                  AnswerBuilder().Metadata("SpisokBB.402").Text("NAME").Row({"Иванов"}).Build());
    };
    TMetadataSession session(QStringLiteral("SesCli"), true);
    QStringList names;
    session.OnData = [&](TBrokerSession* s) {
        names << session.Parser().GetText(QStringLiteral("NAME"), 0)
              << s->GetRequestParam(QStringLiteral("BackParam"));
    };
    session.SendRequest(QStringLiteral("SpisokBB"),
                        PairParams({{"chto", "402"}, {"BackParam", "1"}}));
    session.SendRequest(QStringLiteral("SpisokBB"), PairParams({{"chto", "403"}}));
    ScriptedSession& link = hub.Get(QStringLiteral("SesCli"));
    EXPECT_EQ(link.PendingCount(), 1);
    EXPECT_TRUE(names.isEmpty()); // answers come later, as from the server
    EXPECT_EQ(link.DeliverPending(), 1);
    EXPECT_EQ(names, QStringList({QStringLiteral("Иванов"), QStringLiteral("1")}));
    EXPECT_EQ(link.SentTo(QStringLiteral("SpisokBB"), QStringLiteral("403")).size(), 1u);
    EXPECT_THROW(hub.Get(QStringLiteral("SesNone")), std::logic_error);
}

} // namespace
