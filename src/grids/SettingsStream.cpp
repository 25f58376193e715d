#include "SettingsStream.h"

#include "session/wire/Cp1251.h"

namespace {
enum : unsigned char {
    kInt8 = 0x02,
    kInt16 = 0x03,
    kInt32 = 0x04,
    kString = 0x06,
    kFalse = 0x08,
    kTrue = 0x09,
    kLongString = 0x0C,
};

void AppendLittle(QByteArray& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}
} // namespace

void TSettingsWriter::WriteInteger(int value) {
    if (value >= -128 && value <= 127) {
        bytes_.append(static_cast<char>(kInt8));
        AppendLittle(bytes_, static_cast<quint32>(value), 1);
    } else if (value >= -32768 && value <= 32767) {
        bytes_.append(static_cast<char>(kInt16));
        AppendLittle(bytes_, static_cast<quint32>(value), 2);
    } else {
        bytes_.append(static_cast<char>(kInt32));
        AppendLittle(bytes_, static_cast<quint32>(value), 4);
    }
}

void TSettingsWriter::WriteString(const QString& text) {
    const QByteArray bytes = Cp1251::Encode(text);
    if (bytes.size() <= 255) {
        bytes_.append(static_cast<char>(kString));
        bytes_.append(static_cast<char>(bytes.size()));
    } else {
        bytes_.append(static_cast<char>(kLongString));
        AppendLittle(bytes_, static_cast<quint32>(bytes.size()), 4);
    }
    bytes_.append(bytes);
}

void TSettingsWriter::WriteBoolean(bool value) {
    bytes_.append(static_cast<char>(value ? kTrue : kFalse));
}

unsigned char TSettingsReader::Byte() {
    if (pos_ >= bytes_.size())
        throw TSettingsReadError("settings string ends early");
    return static_cast<unsigned char>(bytes_[pos_++]);
}

quint32 TSettingsReader::Little(int bytes) {
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<quint32>(Byte()) << (8 * i);
    return value;
}

int TSettingsReader::ReadInteger() {
    switch (Byte()) {
    case kInt8:
        return static_cast<qint8>(Little(1));
    case kInt16:
        return static_cast<qint16>(Little(2));
    case kInt32:
        return static_cast<qint32>(Little(4));
    default:
        throw TSettingsReadError("integer expected in settings string");
    }
}

QString TSettingsReader::ReadString() {
    quint32 length = 0;
    switch (Byte()) {
    case kString:
        length = Byte();
        break;
    case kLongString:
        length = Little(4);
        break;
    default:
        throw TSettingsReadError("string expected in settings string");
    }
    if (length > static_cast<quint32>(bytes_.size() - pos_))
        throw TSettingsReadError("settings string ends early");
    const QByteArray text = bytes_.mid(pos_, static_cast<qsizetype>(length));
    pos_ += static_cast<qsizetype>(length);
    return Cp1251::Decode(text);
}

bool TSettingsReader::ReadBoolean() {
    switch (Byte()) {
    case kFalse:
        return false;
    case kTrue:
        return true;
    default:
        throw TSettingsReadError("boolean expected in settings string");
    }
}
