#include "FuzzTargets.h"

#include "desktops/DesktopText.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/WireProtocol.h"
#include "shell/base/WorkstationLocale.h"
#include "support/ScriptedSession.h"

#include <QStringList>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

bool SameDouble(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameMessage(const wire::Message& a, const wire::Message& b) {
    return a.type == b.type && a.version == b.version && a.id == b.id &&
           a.operation == b.operation && a.text == b.text && a.params == b.params && a.a == b.a &&
           a.b == b.b && a.flag == b.flag && a.rows == b.rows &&
           a.requestParams == b.requestParams && a.tables.size() == b.tables.size();
}

} // namespace

int FuzzFrameDecoder(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the chunk size, so partial frames are exercised too.
    const qsizetype chunk = 1 + data[0] % 64;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const qsizetype total = qsizetype(size - 1);

    // A small limit as well as the real one: the limit check must hold for any value.
    for (quint32 limit : {wire::kMaxFrameLength, quint32(1 + data[0])}) {
        wire::FrameDecoder decoder(limit);
        wire::Message m;
        for (qsizetype at = 0; at < total; at += chunk) {
            decoder.Feed(QByteArrayView(bytes + at, qMin(chunk, total - at)));
            while (decoder.Next(m)) {
                const QByteArray again = wire::Encode(m);
                wire::FrameDecoder check;
                check.Feed(again);
                wire::Message back;
                if (!check.Next(back) || !SameMessage(m, back))
                    Broken("decoded message does not survive re-encoding");
            }
            if (decoder.HasError() && decoder.HasPartialFrame())
                Broken("decoder keeps bytes after failing");
        }
        if (decoder.BufferedBytes() > total)
            Broken("decoder holds more than it was fed");
    }
    return 0;
}

// Layout of a metadata answer input, as UTF-8 text split into lines:
//   METADATA_VERSION, FIELD_COUNT, METADATA_ID, RESET_CACHE,
//   then per field seven lines (FIELD_NAME, FIELD_INDEX, PACKET_DATA_TYPE,
//   FIELD_DATA_TYPE, VISIBLE_FLAG, VISIBLE_ALIGN, VISIBLE_FORMAT) up to a line "--",
//   then one row per line; a line "HEADERLESS" anywhere drops the header table.
int FuzzMetadataAnswer(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = text.split(QLatin1Char('\n'));

    ScriptedAnswer answer;
    QHash<QString, QString>& header = answer.tables[QStringLiteral("METADATA.HEADER")];
    const char* headerKeys[] = {"METADATA_VERSION", "FIELD_COUNT", "METADATA_ID", "RESET_CACHE"};
    const char* fieldKeys[] = {"FIELD_NAME.",      "FIELD_INDEX.",  "PACKET_DATA_TYPE.",
                               "FIELD_DATA_TYPE.", "VISIBLE_FLAG.", "VISIBLE_ALIGN.",
                               "VISIBLE_FORMAT."};
    QStringList names;
    qsizetype i = 0;
    for (; i < lines.size() && i < 4; ++i)
        header.insert(QLatin1String(headerKeys[i]), lines[i]);
    QHash<QString, QString>& fields = answer.tables[QStringLiteral("METADATA.FIELDS")];
    for (int n = 0; i < lines.size() && lines[i] != QLatin1String("--"); ++n) {
        for (int k = 0; k < 7 && i < lines.size() && lines[i] != QLatin1String("--"); ++k, ++i) {
            fields.insert(QLatin1String(fieldKeys[k]) + QString::number(n), lines[i]);
            if (k == 0)
                names << lines[i];
        }
    }
    for (++i; i < lines.size(); ++i)
        answer.rows.push_back(lines[i]);
    if (lines.contains(QStringLiteral("HEADERLESS")))
        answer.tables.remove(QStringLiteral("METADATA.HEADER"));
    names << QStringLiteral("NOPE") << QString();

    ScopedWorkstationLocale locale(WorkstationLocale::Russian());
    ScriptedSession* link = new ScriptedSession(QStringLiteral("SesFuzz"));
    SessionFactory::SetCreator(
        [&](const QString&) { return std::unique_ptr<IBrokerSession>(link); });
    {
        TMetadataSession session(QStringLiteral("SesFuzz"), true);
        SessionFactory::SetCreator({});
        int rowsSeen = 0;
        session.OnData = [&](TBrokerSession* s) {
            TMetadataParser& parser = session.Parser();
            const int rows = qMin(s->GetRowCount(), 64);
            for (int row = -1; row <= rows; ++row) {
                for (const QString& name : names) {
                    const QString lower = name.toLower();
                    const QString t = parser.GetText(name, row);
                    const double f = parser.GetFloat(name, row, 1.5);
                    const double d = parser.GetDate(lower, row, 2.5);
                    const qint32 n = parser.GetInt(lower, row, 7);
                    // Reading twice gives the same values: the row cache must not drift.
                    if (parser.GetText(name, row) != t ||
                        !SameDouble(parser.GetFloat(name, row, 1.5), f) ||
                        !SameDouble(parser.GetDate(lower, row, 2.5), d) ||
                        parser.GetInt(lower, row, 7) != n)
                        Broken("getter results differ between two reads");
                    if (!parser.FindField(name) && (t != QString() || n != 7))
                        Broken("an unknown field gave a value");
                }
                for (int field = -1; field < 40; ++field)
                    DecodeFieldText(s->GetField(row, field));
            }
            rowsSeen += rows;
        };
        link->FeedData(answer);
        // The same answer again keeps the cache; then a send picks the flag or not.
        link->FeedData(answer);
        TMetadataParser& parser = session.Parser();
        if (parser.IsValid() && parser.Fields().empty())
            Broken("a valid parser without descriptions");
        const QString id = parser.MetadataId();
        const qsizetype dot = id.lastIndexOf(QLatin1Char('.'));
        const QString request = dot < 0 ? id : id.left(dot);
        const QString query = dot < 0 ? QString() : id.mid(dot + 1);
        parser.SendList(request, query, PairParams({{"chto", query}}));
        // A command string that lacks its final NUL must keep its last value intact.
        parser.SendExec(request, query, QStringLiteral("chto") + QChar(0) + query);
        const bool flagged = link->Last().params.endsWith(
            QStringLiteral("NoSendMetadata") + QChar(0) + QStringLiteral("1") + QChar(0));
        if (flagged != (parser.IsValid() && dot >= 0))
            Broken("NoSendMetadata disagrees with the cached metadata");
        if (flagged && !query.isEmpty() && !query.contains(QChar(0)) &&
            link->Last().Param(QStringLiteral("chto")) != query)
            Broken("the flag was glued onto the last parameter");
        (void)rowsSeen;
    }
    return 0;
}

namespace {

// The window blocks a parsed desktop restores (lines outside a block are dropped).
std::vector<DesktopText::TWindowBlock> Blocks(const DesktopText::TParsed& parsed) {
    std::vector<DesktopText::TWindowBlock> blocks;
    for (const DesktopText::TStep& step : parsed.Steps) {
        if (step.What == DesktopText::TStep::Kind::Class)
            blocks.push_back({step.Name, {}});
        else if (!blocks.empty())
            blocks.back().Properties.emplace_back(step.Name, step.Value);
    }
    return blocks;
}

bool SameBlocks(const std::vector<DesktopText::TWindowBlock>& a,
                const std::vector<DesktopText::TWindowBlock>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].ClassName != b[i].ClassName || a[i].Properties != b[i].Properties)
            return false;
    return true;
}

void CheckDesktopRoundTrip(const DesktopText::TParsed& parsed) {
    if (!parsed.VersionOk)
        return;
    const auto blocks = Blocks(parsed);
    const DesktopText::TParsed again = DesktopText::ParseStored(DesktopText::BuildStored(blocks));
    if (!again.VersionOk || !SameBlocks(Blocks(again), blocks))
        Broken("a parsed desktop does not build back into itself");
}

} // namespace

int FuzzDesktopText(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CheckDesktopRoundTrip(DesktopText::ParseStored(QString::fromLatin1(bytes)));
    CheckDesktopRoundTrip(DesktopText::ParseText(bytes));
    return 0;
}
