#include "shell/base/DateValue.h"
#include "shell/base/WorkstationLocale.h"

#include <gtest/gtest.h>

TEST(DateValue, EpochAndRoundTrips) {
    EXPECT_EQ(DateToValue(QDate(1899, 12, 30)), 0.0);
    EXPECT_EQ(DateToValue(QDate(1900, 1, 1)), 2.0);
    const QDateTime noon(QDate(2007, 3, 5), QTime(12, 0), Qt::UTC);
    EXPECT_DOUBLE_EQ(DateTimeToValue(noon), 39146.5);
    EXPECT_EQ(ValueToDateTime(39146.5), noon);
    EXPECT_EQ(ValueToDateTime(39146.999999999), QDateTime(QDate(2007, 3, 6), QTime(0, 0), Qt::UTC));
    EXPECT_FALSE(ValueToDateTime(1e300).isValid());
    // A local time is read as the wall clock it shows.
    EXPECT_DOUBLE_EQ(DateTimeToValue(QDateTime(QDate(2007, 3, 5), QTime(12, 0))), 39146.5);
}

TEST(DateValue, DottedDatesByPosition) {
    EXPECT_EQ(ParseDottedDate("31.02.2007"), 0.0);
    EXPECT_EQ(ParseDottedDate("01.01.2007"), DateToValue(QDate(2007, 1, 1)));
    EXPECT_EQ(ParseDottedDate("1.1.2007"), 0.0);
    EXPECT_EQ(ParseDottedDate("05.03.2007 12:30:00"), DateToValue(QDate(2007, 3, 5)));
    EXPECT_EQ(ParseDottedDate("05/03/2007"), DateToValue(QDate(2007, 3, 5)));
    EXPECT_EQ(ParseDottedDate("05.03.07"), 0.0);
    EXPECT_EQ(ParseDottedDate(""), 0.0);
    EXPECT_EQ(ParseDottedDate("00.01.2007"), 0.0);
    EXPECT_EQ(FormatDottedDate(DateToValue(QDate(2007, 3, 5))), "05.03.2007");
}

TEST(DateValue, ShortDateTimeText) {
    ScopedWorkstationLocale locale(WorkstationLocale::Russian());
    EXPECT_EQ(FormatShortDateTime(0), "");
    EXPECT_EQ(FormatShortDateTime(39146.0), "05.03.2007");
    EXPECT_EQ(FormatShortDateTime(39146.5), "05.03.2007 12:00:00");
}
