#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <vector>

// The text of the per-user settings file:
//   {"keys": [{"path": text, "values": [{"name": text,
//              "type": "string" | "integer" | "binary", "value": ...}]}]}
// (integers are whole numbers within 32 bits, binaries Base64 text). Members of
// other names are allowed and ignored.
struct TRegistryFileValue {
    QString name;
    QVariant value; // QString, qint32 or QByteArray
};

struct TRegistryFileKey {
    QString path;
    std::vector<TRegistryFileValue> values;
};

// Reads the file in one pass, in time linear in its size. False, with the fault in
// words, when the text is not JSON (or not UTF-8) or not of the shape above: such a
// file is damaged and must be kept, not read in part.
bool ReadRegistryFile(QByteArrayView text, std::vector<TRegistryFileKey>& keys, QString& fault);
