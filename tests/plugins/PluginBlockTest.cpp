// The version block of a plug-in module: reading it back, refusing damaged blocks,
// stamping files.
#include "shell/base/PluginBlock.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const pluginblock::Strings kStrings = {{"OrvexPluginInterface", "1"},
                                       {"OrvexPluginID", "OrvexReport.Test"},
                                       {"OrvexPluginName", "Отчет"}};

TEST(PluginBlock, ReadsBackWhatWasBuiltBehindAnyContent) {
    const QByteArray block = pluginblock::Build(kStrings);
    ASSERT_FALSE(block.isEmpty());
    for (const QByteArray& before : {QByteArray(), QByteArray("\x7f"
                                                              "ELF\0\0binary",
                                                              12)}) {
        const auto read = pluginblock::Parse(before + block);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, kStrings);
    }
    EXPECT_EQ(pluginblock::Parse(pluginblock::Build({}))->size(), 0);
}

TEST(PluginBlock, RefusesDamagedTruncatedAndAmbiguousBlocks) {
    const QByteArray good = pluginblock::Build(kStrings);
    const auto rebuilt = [](const QByteArray& body) {
        // A body with a correct closing line, to test what the checksum cannot catch.
        return body + "#@orvex-plugin-end " + QByteArray::number(body.size()) + ' ' +
               QByteArray::number(pluginblock::Crc32(body), 16).rightJustified(8, '0') + '\n';
    };
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    QByteArray flipped = good;
    flipped[30] = flipped[30] ^ 1;
    const Case cases[] = {
        {"empty", QByteArray()},
        {"last byte cut", good.chopped(1)},
        {"first byte cut", good.mid(1)},
        {"one byte changed", flipped},
        {"trailing byte", good + "\n"},
        {"length too long", QByteArray(good).replace("end 1", "end 9")},
        {"repeated key", rebuilt("#@orvex-plugin-info 1\n#A=1\n#A=2\n")},
        {"line without #", rebuilt("#@orvex-plugin-info 1\nA=1\n")},
        {"line without =", rebuilt("#@orvex-plugin-info 1\n#A\n")},
        {"other version", rebuilt("#@orvex-plugin-info 2\n#A=1\n")},
        {"not UTF-8", rebuilt("#@orvex-plugin-info 1\n#A=\xff\xfe\n")},
        {"oversized", rebuilt("#@orvex-plugin-info 1\n#A=" + QByteArray(17000, 'x') + "\n")},
        {"length with sign", QByteArray(good).replace("end ", "end +")},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(pluginblock::Parse(c.bytes).has_value()) << c.what;
    // Values keep everything after the first "=".
    EXPECT_EQ(pluginblock::Parse(rebuilt("#@orvex-plugin-info 1\n#A=b=c\n"))->value(0).second,
              QStringLiteral("b=c"));
}

TEST(PluginBlock, StampReplacesTheBlockAndKeepsTheProgram) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.opm"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\necho report"); // a script whose last line has no line break
    f.close();
    QString error;
    ASSERT_TRUE(pluginblock::Stamp(path, kStrings, &error)) << error.toStdString();
    ASSERT_TRUE(pluginblock::Stamp(path, {{"OrvexPluginInterface", "1"}}, &error));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("#!/bin/sh\necho report\n#@orvex-plugin-info 1\n"));
    EXPECT_EQ(bytes.count("#@orvex-plugin-info"), 1);
    EXPECT_EQ(pluginblock::ReadFile(path)->size(), 1);
    EXPECT_FALSE(pluginblock::Stamp(dir.filePath(QStringLiteral("none/x.opm")), kStrings, &error));
    EXPECT_FALSE(pluginblock::Stamp(path, {{"Key", "two\nlines"}}, &error));
}

} // namespace
