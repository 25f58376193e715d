#include "shell/base/PluginBlock.h"

#include <QFile>
#include <QSet>
#include <QStringDecoder>

#include <array>

namespace pluginblock {

namespace {

const QByteArray kOpening = QByteArrayLiteral("#@orvex-plugin-info 1\n");
const QByteArray kClosing = QByteArrayLiteral("#@orvex-plugin-end ");

std::array<quint32, 256> MakeTable() {
    std::array<quint32, 256> table{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

// Where a valid block starts in these bytes, -1 when there is none.
qsizetype BlockStart(QByteArrayView tail) {
    if (tail.isEmpty() || tail.back() != '\n')
        return -1;
    const qsizetype lineStart = tail.first(tail.size() - 1).lastIndexOf('\n') + 1;
    const QByteArrayView closing = tail.sliced(lineStart, tail.size() - 1 - lineStart);
    if (!closing.startsWith(kClosing))
        return -1;
    const QList<QByteArray> numbers = closing.sliced(kClosing.size()).toByteArray().split(' ');
    if (numbers.size() != 2 || numbers[1].size() != 8)
        return -1;
    bool okLength = false, okCrc = false;
    const qint64 length = numbers[0].toLongLong(&okLength, 10);
    const quint32 crc = numbers[1].toUInt(&okCrc, 16);
    if (!okLength || !okCrc || numbers[0].startsWith('+') || numbers[0].startsWith('-') ||
        length < kOpening.size() || length > lineStart ||
        length + (tail.size() - lineStart) > kMaxBlockBytes)
        return -1;
    const qsizetype start = lineStart - qsizetype(length);
    const QByteArrayView body = tail.sliced(start, qsizetype(length));
    if (!body.startsWith(kOpening) || Crc32(body) != crc)
        return -1;
    return start;
}

} // namespace

quint32 Crc32(QByteArrayView bytes) {
    static const std::array<quint32, 256> table = MakeTable();
    quint32 c = 0xFFFFFFFFu;
    for (char b : bytes)
        c = table[(c ^ quint8(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::optional<Strings> Parse(QByteArrayView tail) {
    const qsizetype start = BlockStart(tail);
    if (start < 0)
        return std::nullopt;
    const qsizetype closingStart = tail.first(tail.size() - 1).lastIndexOf('\n') + 1;
    const QByteArrayView lines =
        tail.sliced(start + kOpening.size(), closingStart - start - kOpening.size());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(lines);
    if (utf8.hasError())
        return std::nullopt;
    Strings strings;
    QSet<QString> seen;
    // Every line ends with its line break, so the last piece of the split is empty.
    QStringList lineTexts = text.split(QLatin1Char('\n'));
    lineTexts.removeLast();
    for (const QString& line : lineTexts) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!line.startsWith(QLatin1Char('#')) || eq < 2)
            return std::nullopt;
        const QString key = line.mid(1, eq - 1);
        if (seen.contains(key))
            return std::nullopt;
        seen.insert(key);
        strings.append({key, line.mid(eq + 1)});
    }
    return strings;
}

std::optional<Strings> ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    const qint64 from = std::max<qint64>(0, size - kMaxBlockBytes);
    if (!file.seek(from))
        return std::nullopt;
    return Parse(file.read(size - from));
}

QByteArray Build(const Strings& strings) {
    QByteArray body = kOpening;
    for (const auto& [key, value] : strings) {
        if (key.isEmpty() || key.contains(QLatin1Char('=')) || key.contains(QLatin1Char('\n')) ||
            value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
            return {};
        body += '#' + key.toUtf8() + '=' + value.toUtf8() + '\n';
    }
    const QByteArray closing = kClosing + QByteArray::number(body.size()) + ' ' +
                               QByteArray::number(Crc32(body), 16).rightJustified(8, '0') + '\n';
    if (body.size() + closing.size() > kMaxBlockBytes)
        return {};
    return body + closing;
}

bool Stamp(const QString& path, const Strings& strings, QString* error) {
    const QByteArray block = Build(strings);
    if (block.isEmpty()) {
        if (error)
            *error = QStringLiteral("the strings do not fit in a block");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // Cut an earlier block off first, so a file carries one block only.
    const qint64 size = file.size();
    const qint64 from = std::max<qint64>(0, size - kMaxBlockBytes);
    file.seek(from);
    const QByteArray tail = file.read(size - from);
    qint64 end = size;
    const qsizetype start = BlockStart(tail);
    if (start >= 0)
        end = from + start;
    QByteArray write = block;
    // A script's last line must not run into the block's first.
    if (end > 0) {
        file.seek(end - 1);
        if (file.read(1) != "\n")
            write.prepend('\n');
    }
    if (!file.resize(end) || !file.seek(end) || file.write(write) != write.size()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString Value(const Strings& strings, const QString& key) {
    for (const auto& [k, v] : strings)
        if (k == key)
            return v;
    return {};
}

} // namespace pluginblock
