#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TBrokerSession;

// Description of one field of an answer, read from "METADATA.FIELDS".
struct TResponseDataField {
    QString FieldName; // upper case (ASCII letters)
    qint32 FieldIndex = 0;
    qint32 FieldDataType = 0;
    qint32 PacketDataType = 0; // 0 text, 1 raw binary bytes
    qint32 VisibleFlag = 0;
    qint32 VisibleAlign = 0;
    QString VisibleFormat;

    bool IsFloat() const;   // 6, 7, 8
    bool IsInteger() const; // 2, 3, 4, 25
    bool IsDate() const;    // 9, 11
};

// Byte 3 followed by c stands for the byte (c - 48) mod 256; a final lone 3 stays.
QByteArray DecodeFieldText(const QByteArray& raw);

// Reads an answer's self-description and serves its fields by name and type.
class TMetadataParser {
public:
    explicit TMetadataParser(TBrokerSession* session);
    ~TMetadataParser();
    TMetadataParser(const TMetadataParser&) = delete;
    TMetadataParser& operator=(const TMetadataParser&) = delete;

    void ParseMetadata();
    void ResetMetadata();
    const TResponseDataField* FindField(const QString& name) const;

    QString GetText(const QString& name, int row);
    // The same for a description already found (one of Fields()): loops over many
    // rows look each column up once.
    QString GetText(const TResponseDataField& field, int row);
    // The same text appended to out as UTF-8; text and plain integer fields go there
    // straight from the answer's bytes, with no text object per cell.
    void AppendTextUtf8(const TResponseDataField& field, int row, std::string& out);
    double GetDate(const QString& name, int row, double defaultValue);
    double GetFloat(const QString& name, int row, double defaultValue);
    qint32 GetInt(const QString& name, int row, qint32 defaultValue);

    // Append "NoSendMetadata" when the cached metadata is this query's, then send.
    void SendList(const QString& request, const QString& queryId, const QString& params);
    void SendExec(const QString& request, const QString& queryId, const QString& params);

    bool IsValid() const { return valid_; }
    const QString& Version() const { return version_; }
    const QString& MetadataId() const { return metadataId_; }
    const std::vector<std::unique_ptr<TResponseDataField>>& Fields() const { return fields_; }
    TBrokerSession* Session() const { return session_; }

private:
    // The field's bytes, escapes undone; valid until the next read.
    QByteArrayView RawValue(const TResponseDataField& field, int row);
    double DateOf(const TResponseDataField& field, int row, double defaultValue);
    double FloatOf(const TResponseDataField& field, int row, double defaultValue);
    qint32 IntOf(const TResponseDataField& field, int row, qint32 defaultValue);
    QString WithNoSendMetadata(const QString& request, const QString& queryId,
                               const QString& params, bool pairForm) const;

    TBrokerSession* session_; // not owned
    std::vector<std::unique_ptr<TResponseDataField>> fields_;
    QHash<QString, int> index_;             // upper-case name -> first description with it
    mutable QHash<QString, int> spellings_; // other spellings seen -> description or -1
    bool valid_ = false;
    QString version_;
    QString metadataId_;
    QByteArray unescaped_; // the last field that held an escape
};

// Parameter strings. Pair form: "key=value" + NUL for each pair.
// Alternating form: key + NUL + value + NUL for each parameter.
QString PairParams(std::initializer_list<std::pair<QString, QString>> pairs);
QString AlternatingParams(std::initializer_list<std::pair<QString, QString>> pairs);
