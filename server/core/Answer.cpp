#include "server/core/Answer.h"

#include <QCryptographicHash>

QString AnswerTable::Value(const QString& field) const {
    for (const auto& [k, v] : values)
        if (k.compare(field, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

const AnswerTable* Answer::Table(const QString& name) const {
    for (const AnswerTable& t : tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

void Refusal::Set(Answer& answer, const QString& why) {
    answer.rows.clear();
    answer.frame.reset();
    answer.tables << AnswerTable{kTable, {qMakePair(kText, why)}};
}

ResultLayout::ResultLayout(QString metadataId, QList<FieldSpec> fields)
    : id_(std::move(metadataId)), fields_(std::move(fields)) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const FieldSpec& f : fields_) {
        hash.addData(f.name.toUtf8());
        hash.addData(QByteArray::number(f.dataType) + '/' + QByteArray::number(f.packetType) + ';');
    }
    version_ = QStringLiteral("1.") + QString::fromLatin1(hash.result().toHex().left(8));

    fieldsTable_.name = QStringLiteral("METADATA.FIELDS");
    fieldsTable_.values.reserve(fields_.size() * 7);
    for (int n = 0; n < fields_.size(); ++n) {
        const FieldSpec& f = fields_[n];
        const QString s = QString::number(n);
        fieldsTable_.values
            << qMakePair(QStringLiteral("FIELD_NAME.") + s, f.name)
            << qMakePair(QStringLiteral("FIELD_INDEX.") + s, s)
            << qMakePair(QStringLiteral("PACKET_DATA_TYPE.") + s, QString::number(f.packetType))
            << qMakePair(QStringLiteral("FIELD_DATA_TYPE.") + s, QString::number(f.dataType))
            << qMakePair(QStringLiteral("VISIBLE_FLAG.") + s, QString::number(f.visibleFlag))
            << qMakePair(QStringLiteral("VISIBLE_ALIGN.") + s, QString::number(f.visibleAlign))
            << qMakePair(QStringLiteral("VISIBLE_FORMAT.") + s, f.visibleFormat);
    }
}

int ResultLayout::IndexOf(const QString& name) const {
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void MetadataMemory::Attach(Answer& answer, const ResultLayout& layout, bool clientHasCache) {
    const auto it = sent_.constFind(layout.Id());
    const bool current = it != sent_.cend() && it.value() == layout.Version();
    const bool headerOnly = clientHasCache && current;
    const bool reset = clientHasCache && !current;

    AnswerTable header{QStringLiteral("METADATA.HEADER"), {}};
    header.values << qMakePair(QStringLiteral("METADATA_VERSION"), layout.Version())
                  << qMakePair(QStringLiteral("FIELD_COUNT"),
                               QString::number(layout.Fields().size()))
                  << qMakePair(QStringLiteral("METADATA_ID"), layout.Id())
                  << qMakePair(QStringLiteral("RESET_CACHE"),
                               reset ? QStringLiteral("1") : QStringLiteral("0"));
    answer.tables << header;
    if (headerOnly)
        return;

    answer.tables << layout.FieldsTable(); // shared, not copied
    sent_.insert(layout.Id(), layout.Version());
}
