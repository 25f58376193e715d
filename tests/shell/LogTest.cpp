#include "shell/base/Log.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Beep.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, qint64 size) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray(size, 'x'));
}

} // namespace

TEST(Log, LineFormatInCodePage) {
    QTemporaryDir dir;
    const QString log = dir.filePath("prog.log");
    WriteLog(QStringLiteral("Запуск программы. Версия 3.72"), log);
    const QByteArray bytes = ReadAll(log);
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    const QString line = Cp1251::Decode(bytes.chopped(2));
    const QRegularExpression shape(QStringLiteral(
        "^\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d  \\d+ Запуск программы\\. Версия 3\\.72$"));
    EXPECT_TRUE(shape.match(line).hasMatch()) << line.toStdString();
    EXPECT_TRUE(bytes.contains("\xC7\xE0\xEF\xF3\xF1\xEA")); // "Запуск" as 8-bit text
}

TEST(Log, RotatesAfterTheLineThatFindsTheLimit) {
    QTemporaryDir dir;
    const QString log = dir.filePath("prog.log");
    const QString old = log + ".old";
    WriteBytes(old, 5); // an older generation is replaced

    WriteBytes(log, kLogSizeLimit - 1);
    WriteLog("one more", log); // one byte short: the line lands, no rotation
    EXPECT_FALSE(ReadAll(old).size() > 5);
    const qint64 grown = ReadAll(log).size();
    EXPECT_GT(grown, kLogSizeLimit);

    WriteLog("lands then rotates", log);
    EXPECT_FALSE(QFile::exists(log));
    const QByteArray rotated = ReadAll(old);
    EXPECT_TRUE(rotated.endsWith("lands then rotates\r\n"));

    WriteLog("fresh", log);
    EXPECT_TRUE(ReadAll(log).endsWith("fresh\r\n"));
    EXPECT_LT(ReadAll(log).size(), 100);
}

TEST(Log, UnwritableFileLosesTheLineSilently) {
    int beeps = 0;
    SetBeepHandler([&] { ++beeps; });
    WriteLog("lost", "/nonexistent-folder/x.log");
    EXPECT_EQ(beeps, 0);
    SetBeepHandler({});
}

TEST(Log, DefaultNameIsReplaceable) {
    QTemporaryDir dir;
    const QString saved = LogFileName();
    EXPECT_EQ(saved, "norvane.log");
    SetLogFileName(dir.filePath("app.log"));
    WriteLog("x");
    EXPECT_TRUE(QFile::exists(dir.filePath("app.log")));
    SetLogFileName(saved);
}
