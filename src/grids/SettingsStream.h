#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

// The tagged value stream of a grid's settings string. Each value starts with a kind
// byte: 0x02/0x03/0x04 integers of 1, 2 and 4 bytes (little-endian), 0x06 a string
// of up to 255 bytes with a length byte, 0x0C a longer string with a 4-byte length,
// 0x08/0x09 false/true. Strings are Windows-1251.

class TSettingsReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSettingsWriter {
public:
    void WriteInteger(int value);
    void WriteString(const QString& text);
    void WriteBoolean(bool value);
    const QByteArray& Bytes() const { return bytes_; }

private:
    QByteArray bytes_;
};

class TSettingsReader {
public:
    explicit TSettingsReader(const QByteArray& bytes) : bytes_(bytes) {}
    // Each throws TSettingsReadError when the stream ends early or holds another kind.
    int ReadInteger();
    QString ReadString();
    bool ReadBoolean();
    bool AtEnd() const { return pos_ >= bytes_.size(); }

private:
    unsigned char Byte();
    quint32 Little(int bytes);
    QByteArray bytes_;
    qsizetype pos_ = 0;
};
