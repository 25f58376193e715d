#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// The version strings of a plug-in module, kept in a marker block at the very end of
// the file (docs/plugins.md): UTF-8 lines that all begin with "#",
//
//     #@orvex-plugin-info 1
//     #OrvexPluginInterface=1
//     #OrvexPluginID=...
//     #@orvex-plugin-end <length> <crc32>
//
// where length and the CRC-32 (8 hex digits) cover the lines from the opening one up
// to the closing line. A program ignores trailing bytes and a script reads the lines
// as comments, so a stamped module still runs.
namespace pluginblock {

using Strings = QList<QPair<QString, QString>>; // in file order

// The most a block may take, and the most of a file's end that is read.
constexpr qsizetype kMaxBlockBytes = 16 * 1024;

// The block at the end of these bytes; nullopt when it is missing, damaged, oversized
// or names a key twice.
std::optional<Strings> Parse(QByteArrayView tail);

// The block of a file, reading at most its last kMaxBlockBytes; nullopt when the file
// cannot be read or carries no valid block.
std::optional<Strings> ReadFile(const QString& path);

// The block's bytes for these strings (keys must hold no "=", values no line break);
// empty when they do not fit in kMaxBlockBytes.
QByteArray Build(const Strings& strings);

// Writes the block at the end of a file, replacing a valid block already there.
// False with the reason when the file cannot be written or the strings do not fit.
bool Stamp(const QString& path, const Strings& strings, QString* error);

// The value of a key, empty when absent.
QString Value(const Strings& strings, const QString& key);

quint32 Crc32(QByteArrayView bytes);

} // namespace pluginblock
