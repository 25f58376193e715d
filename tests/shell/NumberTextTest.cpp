#include "shell/base/NumberText.h"
#include "shell/base/ConvertError.h"
#include "shell/base/WorkstationLocale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace {

WorkstationLocale CommaSpace() {
    WorkstationLocale l = WorkstationLocale::Russian();
    l.thousandSeparator = QLatin1Char(' ');
    return l;
}

} // namespace

TEST(GeneralNumber, FifteenDigitsNoTrailingZerosScientificAtTheEdges) {
    const QChar dot('.');
    EXPECT_EQ(FormatGeneralNumber(0, dot), "0");
    EXPECT_EQ(FormatGeneralNumber(12.5, dot), "12.5");
    EXPECT_EQ(FormatGeneralNumber(-0.1, dot), "-0.1");
    EXPECT_EQ(FormatGeneralNumber(100, dot), "100");
    EXPECT_EQ(FormatGeneralNumber(0.1 + 0.2, dot), "0.3");
    EXPECT_EQ(FormatGeneralNumber(1.0 / 3.0, dot), "0.333333333333333");
    EXPECT_EQ(FormatGeneralNumber(0.00001, dot), "0.00001");
    EXPECT_EQ(FormatGeneralNumber(0.000001, dot), "1E-6");
    EXPECT_EQ(FormatGeneralNumber(0.0000015, QChar(',')), "1,5E-6");
    EXPECT_EQ(FormatGeneralNumber(123456789012345.0, dot), "123456789012345");
    EXPECT_EQ(FormatGeneralNumber(1e15, dot), "1E15");
    EXPECT_EQ(FormatGeneralNumber(1234567890123456.0, dot), "1.23456789012346E15");
}

// The UTF-8 forms a grid's fill writes must be the general format's texts exactly:
// values of every magnitude, and each value's shortest and padded dot texts.
TEST(GeneralNumber, Utf8FormsEqualTheGeneralFormat) {
    std::mt19937_64 random(20261209);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1e15,
                                  1e-5,
                                  9.99999999999999e-6,
                                  0.1 + 0.2,
                                  999999999999999.9,
                                  123456789012345.0,
                                  -2.5e-5,
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::denorm_min()};
    for (int i = 0; i < 20000; ++i) {
        const int exponent = int(random() % 44) - 22; // 1e-22 .. 1e21
        const double mantissa = double(random() % 2000000001) / 1e6 - 1000.0;
        values.push_back(mantissa * std::pow(10.0, exponent));
        values.push_back(double(qint64(random() % 2000000) - 1000000) / 100.0); // prices
    }
    for (const QChar separator : {QChar('.'), QChar(','), QChar(0x066B)}) {
        for (const double v : values) {
            const QByteArray expected = FormatGeneralNumber(v, separator).toUtf8();
            std::string utf8 = "kept";
            AppendGeneralNumberUtf8(v, separator, utf8);
            ASSERT_EQ(QByteArray::fromStdString(utf8), "kept" + expected) << v;
            if (!std::isfinite(v))
                continue;
            for (const std::string& dotText :
                 {std::to_string(v), QString::number(v, 'f', 6).toStdString(),
                  QString::number(v, 'g', 17).toStdString()}) {
                std::string fromText;
                if (AppendPlainDecimalUtf8(
                        QByteArrayView(dotText.data(), qsizetype(dotText.size())), separator,
                        fromText)) {
                    const QString local =
                        QString::fromStdString(dotText).replace(QChar('.'), separator);
                    double parsed = 0;
                    const ScopedWorkstationLocale scoped([&] {
                        WorkstationLocale l = WorkstationLocale::Russian();
                        l.decimalSeparator = separator;
                        return l;
                    }());
                    ASSERT_TRUE(TryParseLocaleNumber(local, parsed)) << dotText;
                    ASSERT_EQ(QByteArray::fromStdString(fromText),
                              FormatGeneralNumber(parsed, separator).toUtf8())
                        << dotText;
                }
            }
        }
    }
}

TEST(NumberText, DotDecimalConversionsInBothLocales) {
    {
        ScopedWorkstationLocale locale(CommaSpace());
        EXPECT_DOUBLE_EQ(DotTextToFloat("12.5"), 12.5);
        EXPECT_DOUBLE_EQ(DotTextToFloat("-3"), -3);
        EXPECT_THROW(DotTextToFloat("abc"), EConvertError);
        EXPECT_THROW(DotTextToFloat(""), EConvertError);
        EXPECT_THROW(DotTextToFloat("1.2.3"), EConvertError);
        EXPECT_EQ(LocalToDotText("1,5"), "1.5");
        EXPECT_EQ(FloatToDotText(1.5), "1.5");
        EXPECT_EQ(NormalizeNumberText("12,5"), "12.5");
        EXPECT_EQ(NormalizeNumberText("12.5"), "12.5");
        EXPECT_THROW(NormalizeNumberText("abc"), EConvertError);
        EXPECT_DOUBLE_EQ(ParseGroupedNumber("1 234 567,5", -1), 1234567.5);
        EXPECT_DOUBLE_EQ(ParseGroupedNumber("n/a", -1), -1);
    }
    {
        ScopedWorkstationLocale locale(WorkstationLocale::English());
        EXPECT_DOUBLE_EQ(DotTextToFloat("12.5"), 12.5);
        EXPECT_THROW(DotTextToFloat("12,5"), EConvertError);
        EXPECT_EQ(LocalToDotText("1.5"), "1.5");
        EXPECT_EQ(NormalizeNumberText("12,5"), "12.5");
        EXPECT_EQ(NormalizeNumberText("12.5"), "12.5");
        EXPECT_DOUBLE_EQ(ParseGroupedNumber("1,234,567.5", 0), 1234567.5);
        EXPECT_DOUBLE_EQ(DotTextToFloat(" 1e3 "), 1000);
        EXPECT_THROW(DotTextToFloat("inf"), EConvertError);
    }
}

TEST(NumberText, PicturePatterns) {
    ScopedWorkstationLocale locale(CommaSpace());
    EXPECT_EQ(FormatDotNumber(",##0.0000", "1234567.5"), "1 234 567,5000");
    EXPECT_EQ(FormatDotNumber(",##0", "1234567.5"), "1 234 568");
    EXPECT_EQ(FormatDotNumber(",##0.00", "-0.125"), "-0,13");
    EXPECT_EQ(FormatDotNumber(",##0.00", "0.001"), "0,00");
    EXPECT_EQ(FormatDotNumber("0.######", "12.5"), "12,5");
    EXPECT_EQ(FormatDotNumber("0.######", "3"), "3");
    EXPECT_EQ(FormatDotNumber("0.######", "0.1234567"), "0,123457");
    EXPECT_EQ(FormatDotNumber(",0", "1000000"), "1 000 000");
    EXPECT_EQ(FormatDotNumber(",0", "999.5"), "1 000");
    EXPECT_EQ(FormatNumberPattern("#0%", 0.425), "43%");
    EXPECT_EQ(FormatNumberPattern("#.##", 0.5), ",5");
    EXPECT_EQ(FormatDotNumber("0.00", "1.005"), "1,01");
    EXPECT_THROW(FormatDotNumber("0.00", "x"), EConvertError);
}

TEST(NumberText, PrintfFormats) {
    ScopedWorkstationLocale locale(CommaSpace());
    EXPECT_EQ(FormatNumberPrintf("%.2f", 1234.5), "1234,50");
    EXPECT_EQ(FormatNumberPrintf("%.2n", 1234.5), "1 234,50");
    EXPECT_EQ(FormatNumberPrintf("%.0n", 1234567.49), "1 234 567");
    EXPECT_EQ(FormatNumberPrintf("%.4n", -0.5), "-0,5000");
}

// Not-a-number and the infinities, which a binary field can hold, show as the
// general format shows them in every formatter; an absurd precision is bounded.
TEST(NumberText, NonFiniteValuesAndHugePrecisions) {
    ScopedWorkstationLocale locale(CommaSpace());
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        QString (*format)(const QString&, double);
        const char* pattern;
        double value;
        const char* shown;
    } cases[] = {
        {FormatNumberPattern, ",0.00", nan, "NAN"},  {FormatNumberPattern, "#0%", inf, "INF"},
        {FormatNumberPattern, "0.##", -inf, "-INF"}, {FormatNumberPrintf, "%.2n", nan, "NAN"},
        {FormatNumberPrintf, "%.4f", inf, "INF"},    {FormatNumberPrintf, "%.0n", -inf, "-INF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.format(QString::fromLatin1(c.pattern), c.value), QString::fromLatin1(c.shown))
            << c.pattern;
    EXPECT_EQ(FormatNumberPrintf("%.99999999999f", 1.5).size(), 22); // "1," and 20 digits
}

TEST(CharacterClasses, WordCharactersAndStyleBits) {
    EXPECT_TRUE(IsWordChar('_'));
    EXPECT_TRUE(IsWordChar('['));
    EXPECT_TRUE(IsWordChar('7'));
    EXPECT_TRUE(IsWordChar(static_cast<char>(0xA8))); // Ё
    EXPECT_TRUE(IsWordChar(static_cast<char>(0xB8))); // ё
    EXPECT_TRUE(IsWordChar(static_cast<char>(0xFF))); // я
    EXPECT_FALSE(IsWordChar(' '));
    EXPECT_FALSE(IsWordChar('-'));
    EXPECT_FALSE(IsWordChar('{'));
    EXPECT_FALSE(IsWordChar(static_cast<char>(0xB9))); // №
    EXPECT_EQ(ReverseStyleBits(0b0001), 0b1000);
    EXPECT_EQ(ReverseStyleBits(0b0110), 0b0110);
    EXPECT_EQ(ReverseStyleBits(0b0011), 0b1100);
    EXPECT_EQ(ReverseStyleBits(ReverseStyleBits(0b1011)), 0b1011);
}
