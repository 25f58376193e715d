#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

// The stored form of a desktop, with no window involved: the desktop text, its two
// scramblings and its parsing into restore steps.
//
// The text (Windows-1251 bytes, CR LF after every line):
//   _version=2
//   _class=<window class>
//   <property>=<value scrambled with the inner key>     one line per published property
//   <empty line>                                         end of the window's block
// The registry value is the whole text scrambled with the outer key, so it holds
// only the characters 0-9 and a-f. Both keys are part of the stored format.
namespace DesktopText {

// The inner key: one Latin capital letter, fixed for good (docs/desktops.md).
inline constexpr char kInnerKey[] = "K";
// The outer key: "ой-ой" as its five Windows-1251 bytes.
inline constexpr char kOuterKey[] = "\xEE\xE9\x2D\xEE\xE9";

inline QByteArrayView InnerKey() {
    return QByteArrayView(kInnerKey, 1);
}
inline QByteArrayView OuterKey() {
    return QByteArrayView(kOuterKey, 5);
}

// The property names, in the order they are written and restored.
inline constexpr const char* kPropertyNames[] = {
    "Top",
    "Left",
    "Height",
    "Width",
    "Caption",
    "SQLFilter",
    "FormSettings",
    "InternalFilterListBum",
    "InternalFilterListAcc",
    "InternalFilterShortLong",
    "InternalFilterBuySell",
    "InternalFilterStatus",
    "RestoredComplete",
};

// Two lowercase hexadecimal digits per byte: byte i exclusive-or key[i mod key
// length]; with an empty key the byte itself.
QByteArray Scramble(QByteArrayView text, QByteArrayView key);
// Pairs of characters back to bytes: a last odd character is ignored, a pair that is
// not two hexadecimal digits reads as 32 (a blank) before the key is applied.
QByteArray Unscramble(QStringView hex, QByteArrayView key);
QByteArray Unscramble(QByteArrayView hex, QByteArrayView key);

// One window of a desktop: its registered class name and its readable properties
// (name, value as text) in the fixed order.
struct TWindowBlock {
    QString ClassName;
    std::vector<std::pair<QString, QString>> Properties;
};

// The desktop text before the outer scrambling.
QByteArray Build(const std::vector<TWindowBlock>& windows);
// What is stored in the registry: Build scrambled with the outer key.
QString BuildStored(const std::vector<TWindowBlock>& windows);

// One restore step, in the order of the text.
struct TStep {
    enum class Kind { Class, Property };
    Kind What = Kind::Class;
    QString Name;  // the class name for Class, the property name for Property
    QString Value; // the unscrambled value for Property
};

struct TParsed {
    bool VersionOk = false; // the first line is exactly "_version=2"
    std::vector<TStep> Steps;
};

// Unscrambles a stored value and splits it into steps. Lines with an empty name are
// dropped; property lines are kept wherever they stand (the restore ignores those
// outside a window's block).
TParsed ParseStored(QStringView stored);
// The same for a text already unscrambled with the outer key.
TParsed ParseText(QByteArrayView text);

} // namespace DesktopText
