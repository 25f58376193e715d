#include "session/wire/Cp1251.h"

#include <gtest/gtest.h>

TEST(Cp1251, RoundTripsEveryByte) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = Cp1251::Decode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(Cp1251::Encode(text), all);
}

TEST(Cp1251, CyrillicAndUnmappedCharacters) {
    EXPECT_EQ(Cp1251::Encode(QStringLiteral("Ёё Жж")), QByteArray("\xA8\xB8 \xC6\xE6"));
    EXPECT_EQ(Cp1251::Decode(QByteArray("\xCE\xF0\xE2\xE5\xEA\xF1")), QStringLiteral("Орвекс"));
    // Outside the code page: one '?' per character, also beyond the basic plane.
    EXPECT_EQ(Cp1251::Encode(QStringLiteral("a\u4E2Db")), QByteArray("a?b"));
    EXPECT_EQ(Cp1251::Encode(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
    EXPECT_EQ(Cp1251::Encode(QStringLiteral("\u2116\u20AC")), QByteArray("\xB9\x88"));
    EXPECT_EQ(Cp1251::Encode(QString()), QByteArray());
}
