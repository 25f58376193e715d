// The desktop text: its exact bytes, the two scramblings and the parsing of what a
// damaged or foreign registry value may hold.
#include "desktops/DesktopText.h"
#include "session/wire/Cp1251.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace DesktopText;

namespace {

QByteArray Inner(const char* text) {
    return Scramble(QByteArray(text), InnerKey());
}

} // namespace

TEST(DesktopText, TwoWindowsGiveTheseBytes) {
    const std::vector<TWindowBlock> windows = {
        {QStringLiteral("TOrderForm"),
         {{QStringLiteral("Top"), QStringLiteral("10")},
          {QStringLiteral("Caption"), QStringLiteral("Заявки")},
          {QStringLiteral("SQLFilter"), QString()},
          {QStringLiteral("InternalFilterListAcc"), QStringLiteral("5\r\n7")}}},
        {QStringLiteral("TFormSd"), {}},
    };
    const QByteArray expected = "_version=2\r\n"
                                "_class=TOrderForm\r\n"
                                "Top=" +
                                Inner("10") +
                                "\r\nCaption=" + Scramble(Cp1251::Encode(u"Заявки"), InnerKey()) +
                                "\r\nSQLFilter=\r\nInternalFilterListAcc=" + Inner("5\r\n7") +
                                "\r\n\r\n_class=TFormSd\r\n\r\n";
    EXPECT_EQ(Build(windows), expected);
    // The id list stays on one line; the stored value is hexadecimal only.
    EXPECT_EQ(Inner("5\r\n7"), QByteArray("7e46417c"));
    const QString stored = BuildStored(windows);
    EXPECT_EQ(stored, QString::fromLatin1(Scramble(expected, OuterKey())));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]*$")).match(stored).hasMatch());

    const TParsed parsed = ParseStored(stored);
    ASSERT_TRUE(parsed.VersionOk);
    ASSERT_EQ(parsed.Steps.size(), 6u);
    EXPECT_EQ(parsed.Steps[0].Name, "TOrderForm");
    EXPECT_EQ(parsed.Steps[2].Value, QStringLiteral("Заявки"));
    EXPECT_EQ(parsed.Steps[3].Name, "SQLFilter");
    EXPECT_EQ(parsed.Steps[3].Value, QString());
    EXPECT_EQ(parsed.Steps[4].Value, "5\r\n7");
    EXPECT_EQ(parsed.Steps[5].What, TStep::Kind::Class);
}

TEST(DesktopText, ScramblingCases) {
    struct Case {
        const char* what;
        QString hex;
        QByteArray key;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"AB with the inner key", "0a09", "K", "AB"},
        {"zz with no key is a blank", "zz", "", " "},
        {"a last odd character is ignored", "0a0", "K", "A"},
        {"empty", "", "K", ""},
        {"upper-case digits are digits", "0A09", "K", "AB"},
        {"one bad digit spoils the pair", "0g41", "", " A"},
        {"a non-Latin character is no digit", QStringLiteral("ж1"), "", " "},
        {"the outer key runs round", "000000000000", OuterKey().toByteArray(),
         "\xEE\xE9\x2D\xEE\xE9\xEE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Unscramble(QStringView(c.hex), c.key), c.bytes);
    }
    EXPECT_EQ(Scramble("AB", InnerKey()), "0a09");
    EXPECT_EQ(Scramble("\x01\xff", ""), "01ff");
    // The outer key is the code page's bytes, not those of a source literal.
    EXPECT_EQ(OuterKey().toByteArray(), Cp1251::Encode(u"ой-ой"));
}

TEST(DesktopText, ParsingOddTexts) {
    struct Case {
        const char* what;
        QByteArray text;
        bool versionOk;
        std::vector<std::pair<TStep::Kind, QString>> steps;
    };
    using K = TStep::Kind;
    const Case cases[] = {
        {"empty", "", false, {}},
        {"another version", "_version=3\r\n_class=TOrderForm\r\n", false, {}},
        {"version with blanks", "_version= 2\r\n", false, {}},
        {"lines before any class",
         "_version=2\r\nTop=" + Inner("1") + "\r\n_class=A\r\n",
         true,
         {{K::Property, "Top"}, {K::Class, "A"}}},
        {"empty names and lines without =",
         "_version=2\r\n=x\r\nnoequals\r\n\r\n_class=\r\n",
         true,
         {{K::Class, ""}}},
        {"plain line feeds",
         "_version=2\n_class=B\nLeft=" + Inner("7") + "\n",
         true,
         {{K::Class, "B"}, {K::Property, "Left"}}},
        {"a value with = inside", "_version=2\r\n_class=C=D\r\n", true, {{K::Class, "C=D"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TParsed parsed = ParseText(c.text);
        EXPECT_EQ(parsed.VersionOk, c.versionOk);
        ASSERT_EQ(parsed.Steps.size(), c.steps.size());
        for (size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_EQ(parsed.Steps[i].What, c.steps[i].first);
            EXPECT_EQ(parsed.Steps[i].Name, c.steps[i].second);
        }
    }
    // A value that is not hexadecimal reads as blanks, and a stored value that is not
    // hexadecimal at all holds no version line.
    EXPECT_EQ(ParseText("_version=2\r\n_class=A\r\nTop=zz\r\n").Steps[1].Value,
              QString(QChar(' ' ^ 'K')));
    EXPECT_FALSE(ParseStored(u"not a desktop").VersionOk);
}
