#include "grids/SettingsStream.h"

#include <gtest/gtest.h>

TEST(SettingsStream, WriterPicksTheSmallestKind) {
    TSettingsWriter out;
    out.WriteInteger(100);
    out.WriteInteger(-128);
    out.WriteInteger(200);
    out.WriteInteger(-129);
    out.WriteInteger(32767);
    out.WriteInteger(32768);
    out.WriteInteger(-32769);
    out.WriteBoolean(false);
    out.WriteBoolean(true);
    out.WriteString(QStringLiteral("Ёж"));
    const QByteArray expected = QByteArray::fromHex("0264"
                                                    "0280"
                                                    "03c800"
                                                    "037fff"
                                                    "03ff7f"
                                                    "0400800000"
                                                    "04ff7fffff"
                                                    "08"
                                                    "09"
                                                    "0602a8e6");
    EXPECT_EQ(out.Bytes().toHex(), expected.toHex());

    TSettingsWriter longOut;
    longOut.WriteString(QString(300, QLatin1Char('x')));
    EXPECT_EQ(static_cast<unsigned char>(longOut.Bytes()[0]), 0x0C);
    EXPECT_EQ(longOut.Bytes().mid(1, 4).toHex(), QByteArray("2c010000"));
    EXPECT_EQ(longOut.Bytes().size(), 5 + 300);
    TSettingsWriter edge;
    edge.WriteString(QString(255, QLatin1Char('y')));
    EXPECT_EQ(static_cast<unsigned char>(edge.Bytes()[0]), 0x06);
}

TEST(SettingsStream, ReaderAcceptsEveryIntegerAndStringKind) {
    TSettingsReader in(QByteArray::fromHex("02fe"
                                           "030500"
                                           "04feffffff"
                                           "0c03000000414243"
                                           "0600"
                                           "09"
                                           "08"));
    EXPECT_EQ(in.ReadInteger(), -2);
    EXPECT_EQ(in.ReadInteger(), 5);
    EXPECT_EQ(in.ReadInteger(), -2);
    EXPECT_EQ(in.ReadString(), QStringLiteral("ABC"));
    EXPECT_EQ(in.ReadString(), QString());
    EXPECT_TRUE(in.ReadBoolean());
    EXPECT_FALSE(in.ReadBoolean());
    EXPECT_TRUE(in.AtEnd());
}

TEST(SettingsStream, ReaderRejectsWrongKindsAndShortStreams) {
    EXPECT_THROW(TSettingsReader(QByteArray::fromHex("0601")).ReadString(), TSettingsReadError);
    EXPECT_THROW(TSettingsReader(QByteArray::fromHex("0c ffffff7f41")).ReadString(),
                 TSettingsReadError);
    EXPECT_THROW(TSettingsReader(QByteArray::fromHex("0301")).ReadInteger(), TSettingsReadError);
    EXPECT_THROW(TSettingsReader(QByteArray::fromHex("09")).ReadInteger(), TSettingsReadError);
    EXPECT_THROW(TSettingsReader(QByteArray::fromHex("02")).ReadBoolean(), TSettingsReadError);
    EXPECT_THROW(TSettingsReader(QByteArray()).ReadString(), TSettingsReadError);
}
