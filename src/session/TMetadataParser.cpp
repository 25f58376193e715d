#include "session/TMetadataParser.h"

#include "session/TBrokerSession.h"
#include "session/wire/Cp1251.h"
#include "session/wire/FieldEscape.h"
#include "shell/base/ConvertError.h"
#include "shell/base/DateValue.h"
#include "shell/base/NumberText.h"
#include "shell/base/WorkstationLocale.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

const QString kHeaderTable = QStringLiteral("METADATA.HEADER");
const QString kFieldsTable = QStringLiteral("METADATA.FIELDS");

// Field names are matched ignoring the case of ASCII letters only.
QString AsciiUpper(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(u - (u'a' - u'A'));
    }
    return out;
}

// Decimal digits with an optional minus, no leading zero, within 32 bits: the text
// QString::number gives back for the value it reads.
bool IsPlainInt(QByteArrayView raw) {
    const qsizetype sign = !raw.isEmpty() && raw[0] == '-' ? 1 : 0;
    const qsizetype digits = raw.size() - sign;
    if (digits < 1 || digits > 10 || (raw[sign] == '0' && (digits > 1 || sign)))
        return false;
    qint64 value = 0;
    for (qsizetype i = sign; i < raw.size(); ++i) {
        if (raw[i] < '0' || raw[i] > '9')
            return false;
        value = value * 10 + (raw[i] - '0');
    }
    return sign ? -value >= std::numeric_limits<qint32>::min()
                : value <= std::numeric_limits<qint32>::max();
}

bool HasAsciiLower(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= u'a' && c.unicode() <= u'z')
            return true;
    }
    return false;
}

// A decimal integer in 32 bits: optional sign, digits; surrounding blanks allowed.
bool ParseInt(QStringView text, qint32& out) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (ok)
        out = value;
    return ok;
}

qint32 RequireInt(const QString& text, const QString& what) {
    qint32 value = 0;
    if (!ParseInt(text, value))
        throw EConvertError(
            QStringLiteral("'%1' is not a valid integer value (%2)").arg(text, what));
    return value;
}

// Characters [from, from + count) of a dotted date as a decimal number: digits only,
// so a sign or a blank ("05.03.-200") is no date.
bool DatePart(QStringView text, qsizetype from, qsizetype count, int& out) {
    if (text.size() < from + count)
        return false;
    int value = 0;
    for (const QChar c : text.mid(from, count)) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    out = value;
    return true;
}

// The text of a date value as FormatShortDateTime writes it, formatted in UTC: a
// local-time date asks the C library for the time zone on every call, which costs a
// file-system lookup per cell when a large answer is read. The value is a wall-clock
// date and time already, so no zone applies to it.
QString DateValueText(double value) {
    if (value == 0.0 || !std::isfinite(value) || std::fabs(value) > 3.0e6)
        return FormatShortDateTime(value);
    constexpr qint64 kMsPerDay = 86400000;
    const double whole = std::trunc(value);
    qint64 ms = std::llround(std::fabs(value - whole) * kMsPerDay);
    qint64 days = qint64(whole);
    if (ms >= kMsPerDay) { // rounding reached the next midnight
        ms -= kMsPerDay;
        days += value >= 0 ? 1 : -1;
    }
    static const QDate epoch(1899, 12, 30);
    const QDateTime utc(epoch.addDays(days), QTime(0, 0), Qt::UTC);
    QString text = utc.toString(WorkstationLocale::Current().shortDateFormat);
    if (ms != 0) {
        text += QLatin1Char(' ');
        text += QTime::fromMSecsSinceStartOfDay(int(ms)).toString(QStringLiteral("hh:mm:ss"));
    }
    return text;
}

bool ReadDouble(QByteArrayView raw, double& out) {
    if (raw.size() < 8)
        return false;
    const quint64 bits = qFromLittleEndian<quint64>(raw.constData());
    std::memcpy(&out, &bits, sizeof out);
    return true;
}

} // namespace

bool TResponseDataField::IsFloat() const {
    return FieldDataType == 6 || FieldDataType == 7 || FieldDataType == 8;
}

bool TResponseDataField::IsInteger() const {
    return FieldDataType == 2 || FieldDataType == 3 || FieldDataType == 4 || FieldDataType == 25;
}

bool TResponseDataField::IsDate() const {
    return FieldDataType == 9 || FieldDataType == 11;
}

QByteArray DecodeFieldText(const QByteArray& raw) {
    // Most fields hold no escape: they come back shared, not copied.
    return raw.contains(wire::kFieldEscape) ? wire::UnescapeField(raw) : raw;
}

TMetadataParser::TMetadataParser(TBrokerSession* session) : session_(session) {}

TMetadataParser::~TMetadataParser() = default;

void TMetadataParser::ResetMetadata() {
    valid_ = false;
    version_.clear();
    metadataId_.clear();
    fields_.clear();
    index_.clear();
    spellings_.clear();
}

void TMetadataParser::ParseMetadata() {
    if (!session_) {
        ResetMetadata();
        return;
    }
    // Failing session calls up to here reach the caller.
    if (session_->GetTableSize(kHeaderTable) == 0) {
        ResetMetadata();
        return;
    }
    const QString version =
        session_->GetTableValue(kHeaderTable, QStringLiteral("METADATA_VERSION"));
    if (version.isEmpty()) {
        ResetMetadata();
        return;
    }
    qint32 count = 0;
    if (!ParseInt(session_->GetTableValue(kHeaderTable, QStringLiteral("FIELD_COUNT")), count))
        count = 0;
    // A negative count describes no fields either; treating it as a valid empty
    // description would make the next request skip the metadata it lacks.
    if (count <= 0) {
        ResetMetadata();
        return;
    }
    const QString id = session_->GetTableValue(kHeaderTable, QStringLiteral("METADATA_ID"));
    const QString reset = session_->GetTableValue(kHeaderTable, QStringLiteral("RESET_CACHE"));

    if (valid_ && version_ == version && metadataId_ == id && reset != QLatin1String("1"))
        return;
    if (valid_)
        ResetMetadata();

    try {
        version_ = version;
        metadataId_ = id;
        valid_ = true;
        // The count comes from the server: grow with the fields actually read, so a
        // huge claim ends at the first missing description instead of in a huge reserve.
        for (qint32 n = 0; n < count; ++n) {
            const QString suffix = QString::number(n);
            auto value = [&](const char* key) {
                return session_->GetTableValue(kFieldsTable, QLatin1String(key) + suffix);
            };
            auto field = std::make_unique<TResponseDataField>();
            field->FieldName = AsciiUpper(value("FIELD_NAME."));
            field->FieldIndex = RequireInt(value("FIELD_INDEX."), QStringLiteral("FIELD_INDEX"));
            field->PacketDataType =
                RequireInt(value("PACKET_DATA_TYPE."), QStringLiteral("PACKET_DATA_TYPE"));
            field->FieldDataType =
                RequireInt(value("FIELD_DATA_TYPE."), QStringLiteral("FIELD_DATA_TYPE"));
            if (!ParseInt(value("VISIBLE_FLAG."), field->VisibleFlag))
                field->VisibleFlag = 0;
            if (!ParseInt(value("VISIBLE_ALIGN."), field->VisibleAlign))
                field->VisibleAlign = 0;
            field->VisibleFormat = value("VISIBLE_FORMAT.");
            // The first description of a name wins, as a front-to-back search would find it.
            if (!index_.contains(field->FieldName))
                index_.insert(field->FieldName, int(fields_.size()));
            fields_.push_back(std::move(field));
        }
    } catch (...) {
        ResetMetadata();
    }
}

const TResponseDataField* TMetadataParser::FindField(const QString& name) const {
    if (!valid_)
        return nullptr;
    auto it = index_.constFind(name);
    if (it == index_.constEnd()) {
        if (!HasAsciiLower(name))
            return nullptr;
        // Callers spell a handful of names the same way every time: remember each
        // spelling so reading a large answer does not upper-case a name per cell.
        auto seen = spellings_.constFind(name);
        if (seen == spellings_.constEnd()) {
            if (spellings_.size() >= 4096)
                spellings_.clear();
            const auto upper = index_.constFind(AsciiUpper(name));
            seen = spellings_.insert(name, upper == index_.constEnd() ? -1 : upper.value());
        }
        return seen.value() < 0 ? nullptr : fields_[size_t(seen.value())].get();
    }
    return fields_[size_t(it.value())].get();
}

QByteArrayView TMetadataParser::RawValue(const TResponseDataField& field, int row) {
    const QByteArrayView raw = session_->FieldView(row, field.FieldIndex);
    // Most fields hold no escape: they are read where they are.
    if (!raw.contains(wire::kFieldEscape))
        return raw;
    unescaped_ = wire::UnescapeField(raw);
    return unescaped_;
}

QString TMetadataParser::GetText(const QString& name, int row) {
    const TResponseDataField* field = FindField(name);
    return field ? GetText(*field, row) : QString();
}

QString TMetadataParser::GetText(const TResponseDataField& field, int row) {
    if (field.IsFloat())
        return FormatGeneralNumber(FloatOf(field, row, 0),
                                   WorkstationLocale::Current().decimalSeparator);
    if (field.IsInteger()) {
        // A plain decimal reads back as itself; anything else goes the long way.
        if (field.PacketDataType == 0) {
            const QByteArrayView raw = RawValue(field, row);
            if (IsPlainInt(raw))
                return QString::fromLatin1(raw);
        }
        return QString::number(IntOf(field, row, 0));
    }
    if (field.IsDate())
        return DateValueText(DateOf(field, row, 0));
    return Cp1251::Decode(RawValue(field, row));
}

void TMetadataParser::AppendTextUtf8(const TResponseDataField& field, int row, std::string& out) {
    const bool text = !field.IsFloat() && !field.IsInteger() && !field.IsDate();
    if (text || (field.IsInteger() && field.PacketDataType == 0)) {
        const QByteArrayView raw = RawValue(field, row);
        if (text) {
            Cp1251::AppendUtf8(raw, out);
            return;
        }
        if (IsPlainInt(raw)) {
            out.append(raw.data(), size_t(raw.size()));
            return;
        }
    }
    if (field.IsFloat() && (field.PacketDataType == 0 || field.PacketDataType == 1)) {
        const QChar separator = WorkstationLocale::Current().decimalSeparator;
        const QByteArrayView raw = RawValue(field, row);
        double value = 0;
        if (field.PacketDataType == 0 ? AppendPlainDecimalUtf8(raw, separator, out)
                                      : ReadDouble(raw, value)) {
            if (field.PacketDataType == 1)
                AppendGeneralNumberUtf8(value, separator, out);
            return;
        }
    }
    const QByteArray utf8 = GetText(field, row).toUtf8();
    out.append(utf8.constData(), size_t(utf8.size()));
}

double TMetadataParser::GetDate(const QString& name, int row, double defaultValue) {
    const TResponseDataField* field = FindField(name);
    return field ? DateOf(*field, row, defaultValue) : defaultValue;
}

double TMetadataParser::GetFloat(const QString& name, int row, double defaultValue) {
    const TResponseDataField* field = FindField(name);
    return field ? FloatOf(*field, row, defaultValue) : defaultValue;
}

qint32 TMetadataParser::GetInt(const QString& name, int row, qint32 defaultValue) {
    const TResponseDataField* field = FindField(name);
    return field ? IntOf(*field, row, defaultValue) : defaultValue;
}

double TMetadataParser::DateOf(const TResponseDataField& field, int row, double defaultValue) {
    const QByteArrayView raw = RawValue(field, row);
    if (field.PacketDataType == 0) {
        // Day at characters 1-2, month 4-5, year 7-10; the separators and any time
        // after the date play no part.
        const QString text = Cp1251::Decode(raw);
        int day = 0, month = 0, year = 0;
        if (!DatePart(text, 0, 2, day) || !DatePart(text, 3, 2, month) ||
            !DatePart(text, 6, 4, year))
            return defaultValue;
        const QDate date(year, month, day);
        return date.isValid() ? DateToValue(date) : defaultValue;
    }
    if (field.PacketDataType == 1) {
        double value = 0;
        return ReadDouble(raw, value) ? value : defaultValue;
    }
    return defaultValue;
}

double TMetadataParser::FloatOf(const TResponseDataField& field, int row, double defaultValue) {
    const QByteArrayView raw = RawValue(field, row);
    if (field.PacketDataType == 0) {
        try {
            return DotTextToFloat(Cp1251::Decode(raw));
        } catch (const EConvertError&) {
            return defaultValue;
        }
    }
    if (field.PacketDataType == 1) {
        double value = 0;
        return ReadDouble(raw, value) ? value : defaultValue;
    }
    return defaultValue;
}

qint32 TMetadataParser::IntOf(const TResponseDataField& field, int row, qint32 defaultValue) {
    const QByteArrayView raw = RawValue(field, row);
    if (field.PacketDataType == 0) {
        qint32 value = 0;
        return ParseInt(QString::fromLatin1(raw), value) ? value : defaultValue;
    }
    if (field.PacketDataType == 1) {
        if (raw.size() < 4)
            return defaultValue;
        return qFromLittleEndian<qint32>(raw.constData());
    }
    return defaultValue;
}

QString TMetadataParser::WithNoSendMetadata(const QString& request, const QString& queryId,
                                            const QString& params, bool pairForm) const {
    if (!valid_ || metadataId_ != request + QLatin1Char('.') + queryId)
        return params;
    QString out = params;
    // A parameter string without its final NUL would glue the flag onto its last
    // value ("chto=409NoSendMetadata=1") and change the query; close it first.
    if (!out.isEmpty() && out.back() != QChar(0))
        out += QChar(0);
    if (pairForm)
        out += QStringLiteral("NoSendMetadata=1") + QChar(0);
    else
        out += QStringLiteral("NoSendMetadata") + QChar(0) + QStringLiteral("1") + QChar(0);
    return out;
}

void TMetadataParser::SendList(const QString& request, const QString& queryId,
                               const QString& params) {
    if (!session_)
        throw ESessionError(QStringLiteral("The parser has no session"));
    session_->SendRequest(request, WithNoSendMetadata(request, queryId, params, true));
}

void TMetadataParser::SendExec(const QString& request, const QString& queryId,
                               const QString& params) {
    if (!session_)
        throw ESessionError(QStringLiteral("The parser has no session"));
    session_->SendCommand(request, WithNoSendMetadata(request, queryId, params, false), 0, 1);
}

QString PairParams(std::initializer_list<std::pair<QString, QString>> pairs) {
    QString out;
    for (const auto& [key, value] : pairs)
        out += key + QLatin1Char('=') + value + QChar(0);
    return out;
}

QString AlternatingParams(std::initializer_list<std::pair<QString, QString>> pairs) {
    QString out;
    for (const auto& [key, value] : pairs)
        out += key + QChar(0) + value + QChar(0);
    return out;
}
