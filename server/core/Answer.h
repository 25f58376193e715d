#pragma once

#include "server/core/Params.h"
#include "session/wire/WireProtocol.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// A named table of an answer: one row of field = value pairs, read by the
// workstation at row number 1 ("METADATA.HEADER", "METADATA.FIELDS").
struct AnswerTable {
    QString name;
    QList<QPair<QString, QString>> values;
    QString Value(const QString& field) const;
};

// One answer as the server hands it to the transport.
struct Answer {
    QStringList rows;          // each field followed by NUL
    QList<AnswerTable> tables; // named tables
    ParamList echo;            // the parameters of the request it replies to
    // A large list whose engine was asked for a frame (Engine::HandleForFrame) writes its
    // rows here, straight in wire form, and leaves `rows` empty.
    std::optional<wire::DataFrameWriter> frame;
    const AnswerTable* Table(const QString& name) const;
    qsizetype RowCount() const { return frame ? qsizetype(frame->RowCount()) : rows.size(); }
};

// A list request whose filter the server refused, or could not run, still gets its
// answer (no rows, its metadata) and says why in this table, so a window can tell a
// refused filter from an empty market. Clients that do not know the table ignore it.
namespace Refusal {
inline const QString kTable = QStringLiteral("REQUEST.ERROR");
inline const QString kText = QStringLiteral("ERROR_TEXT");
void Set(Answer& answer, const QString& why);
} // namespace Refusal

// Declared value types of answer fields (the workstation groups them: 6-8 float,
// 2-4 and 25 integer, 9 and 11 date, anything else text).
namespace FieldType {
constexpr int Text = 1;
constexpr int Int = 3;
constexpr int Float = 8;
constexpr int Date = 11;
} // namespace FieldType

// One described field of a named answer, at the position given by its place in the layout.
struct FieldSpec {
    FieldSpec(QString fieldName, int type = FieldType::Text, int packet = 0)
        : name(std::move(fieldName)), dataType(type), packetType(packet) {}
    QString name;
    int dataType = FieldType::Text;
    int packetType = 0; // 0 text, 1 binary
    int visibleFlag = 1;
    int visibleAlign = 0;
    QString visibleFormat;
};

// The field layout of one named answer; the version follows the layout, so a
// changed description reaches clients that cached an older one.
class ResultLayout {
public:
    ResultLayout(QString metadataId, QList<FieldSpec> fields);
    const QString& Id() const { return id_; }
    const QString& Version() const { return version_; }
    const QList<FieldSpec>& Fields() const { return fields_; }
    int IndexOf(const QString& name) const; // -1 when absent
    // "METADATA.FIELDS" of this layout, made once with the layout.
    const AnswerTable& FieldsTable() const { return fieldsTable_; }

private:
    QString id_;
    QString version_;
    QList<FieldSpec> fields_;
    AnswerTable fieldsTable_;
};

// What one session was last sent, per metadata id, so that "NoSendMetadata=1" is
// answered with the header alone only when the client's cache is really current.
class MetadataMemory {
public:
    // Adds "METADATA.HEADER" and, unless the client's cache is current,
    // "METADATA.FIELDS" (with RESET_CACHE "1" when the client claimed a cache
    // this session never filled or filled with another version).
    void Attach(Answer& answer, const ResultLayout& layout, bool clientHasCache);
    void Forget() { sent_.clear(); }

private:
    QHash<QString, QString> sent_; // metadata id -> version
};
