#include "controls/SortKeys.h"
#include "shell/base/WorkstationLocale.h"

#include <gtest/gtest.h>

namespace {
std::vector<QString> Sorted(std::vector<QString> texts, TSortStyle style, bool ascending = true,
                            const QString& prefix = {}, const QString& suffix = {}) {
    const std::vector<int> order = SortOrder(texts, style, prefix, suffix, ascending);
    std::vector<QString> out;
    for (int i : order)
        out.push_back(texts[i]);
    return out;
}
QString S(const char* text) {
    return QString::fromUtf8(text);
}
} // namespace

TEST(SortKeys, ParsesLocaleNumbersAndDates) {
    ScopedWorkstationLocale russian(WorkstationLocale::Russian());
    double v = 0;
    EXPECT_TRUE(ParseSortNumber(u"1250,5", false, v));
    EXPECT_DOUBLE_EQ(v, 1250.5);
    EXPECT_TRUE(ParseSortNumber(u" -3.25 ", false, v));
    EXPECT_DOUBLE_EQ(v, -3.25);
    EXPECT_FALSE(ParseSortNumber(u"1 000,5", false, v));
    EXPECT_TRUE(ParseSortNumber(
        QString(QStringLiteral("1") + QChar(0xA0) + QStringLiteral("000,5")), true, v));
    EXPECT_DOUBLE_EQ(v, 1000.5);
    EXPECT_TRUE(ParseSortNumber(u"1E3", false, v));
    EXPECT_FALSE(ParseSortNumber(u"", false, v));
    EXPECT_FALSE(ParseSortNumber(u"12abc", false, v));
    EXPECT_FALSE(ParseSortNumber(u"1,2,3", false, v));
    EXPECT_FALSE(ParseSortNumber(QString(200, QLatin1Char('9')), false, v)); // too long, no crash

    double a = 0, b = 0;
    EXPECT_TRUE(ParseSortDate(u"31.12.2025", a));
    EXPECT_TRUE(ParseSortDate(u"01.01.2026 09:05", b));
    EXPECT_LT(a, b);
    EXPECT_TRUE(ParseSortDate(u"01.01.2026 09:05:01", a));
    EXPECT_GT(a, b);
    EXPECT_FALSE(ParseSortDate(u"1.1.2026", a));
    EXPECT_FALSE(ParseSortDate(u"01.13.2026", a));
    EXPECT_FALSE(ParseSortDate(u"01.01.2026 9", a));
}

TEST(SortKeys, StylesOrderAsTheUserExpects) {
    ScopedWorkstationLocale russian(WorkstationLocale::Russian());
    // Automatic: numbers by value, texts without case, empty first.
    EXPECT_EQ(
        Sorted({S("10"), S("9"), S("бета"), S(""), S("Альфа"), S("2,5")}, TSortStyle::Automatic),
        (std::vector<QString>{S(""), S("2,5"), S("9"), S("10"), S("Альфа"), S("бета")}));
    // Financial: grouping characters do not break the value.
    EXPECT_EQ(Sorted({S("1 000,00"), S("999,99"), S("-5,00"), S("x")}, TSortStyle::Financial),
              (std::vector<QString>{S("-5,00"), S("x"), S("999,99"), S("1 000,00")}));
    // Date: by day, then month, then year as a date should.
    EXPECT_EQ(Sorted({S("02.01.2026"), S("31.12.2025"), S("01.02.2025")}, TSortStyle::Date),
              (std::vector<QString>{S("01.02.2025"), S("31.12.2025"), S("02.01.2026")}));
    // Prefix and suffix are stripped before reading.
    EXPECT_EQ(Sorted({S("№12 шт"), S("№3 шт")}, TSortStyle::Numeric, true, S("№"), S(" шт")),
              (std::vector<QString>{S("№3 шт"), S("№12 шт")}));
}

TEST(SortKeys, EqualKeysKeepTheirOrderInBothDirections) {
    const std::vector<QString> texts{S("1"), S("2"), S("1"), S("2"), S("1")};
    const std::vector<int> up = SortOrder(texts, TSortStyle::Numeric, {}, {}, true);
    EXPECT_EQ(up, (std::vector<int>{0, 2, 4, 1, 3}));
    const std::vector<int> down = SortOrder(texts, TSortStyle::Numeric, {}, {}, false);
    EXPECT_EQ(down, (std::vector<int>{1, 3, 0, 2, 4}));
}
