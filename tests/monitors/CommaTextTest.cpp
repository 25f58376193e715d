// Comma text of request parameters and loop-back values.
#include "grids/fill/CommaText.h"

#include <gtest/gtest.h>

TEST(CommaText, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(ToCommaText({}), QString());
    EXPECT_EQ(ToCommaText({QString()}), QStringLiteral("\"\""));
    EXPECT_EQ(ToCommaText({QStringLiteral("5"), QStringLiteral("7")}), QStringLiteral("5,7"));
    EXPECT_EQ(ToCommaText({QStringLiteral("a b"), QStringLiteral("c,d"), QStringLiteral("e\"f"),
                           QStringLiteral("g\th")}),
              QStringLiteral("\"a b\",\"c,d\",\"e\"\"f\",\"g\th\""));
}

TEST(CommaText, ReadsBackWhatItWrites) {
    const QStringList lists[] = {
        {QStringLiteral("1")},
        {QStringLiteral("K1"), QStringLiteral("K 2"), QStringLiteral("x,\"y\"")},
        {QString(), QStringLiteral("z")},
    };
    for (const QStringList& list : lists)
        EXPECT_EQ(FromCommaText(ToCommaText(list)), list);
    EXPECT_TRUE(FromCommaText(QString()).isEmpty());
    EXPECT_EQ(FromCommaText(QStringLiteral(" 5 , 7")), (QStringList{"5", "7"}));
}

TEST(CommaText, LinesUseCrLf) {
    EXPECT_EQ(ToLinesText({QStringLiteral("5"), QStringLiteral("7")}), QStringLiteral("5\r\n7"));
    EXPECT_EQ(FromLinesText(QStringLiteral("5\r\n7\r\n")), (QStringList{"5", "7"}));
    EXPECT_EQ(FromLinesText(QStringLiteral("5\n7")), (QStringList{"5", "7"}));
    EXPECT_TRUE(FromLinesText(QString()).isEmpty());
}
