// The plug-in block reader over its seeds and a few thousand deterministic mutations of
// them: no input may crash it, and what it reads must build back into the same strings.
#include "shell/base/PluginBlock.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <random>

TEST(PluginBlockCorpus, SeedsAndMutationsNeverCrashAndRoundTrip) {
    std::vector<QByteArray> seeds;
    QDir dir(QStringLiteral(ORVEX_FUZZ_CORPUS "/pluginblock"));
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            seeds.push_back(f.readAll());
    }
    ASSERT_FALSE(seeds.empty());
    int valid = 0;
    std::mt19937 random(20070301);
    for (const QByteArray& seed : seeds) {
        for (int round = 0; round < 500; ++round) {
            QByteArray input = seed;
            const int edits = round == 0 ? 0 : 1 + int(random() % 4);
            for (int e = 0; e < edits && !input.isEmpty(); ++e) {
                const qsizetype at = qsizetype(random() % quint32(input.size()));
                switch (random() % 3) {
                case 0:
                    input[at] = char(random());
                    break;
                case 1:
                    input.remove(at, 1);
                    break;
                default:
                    input.insert(at, char(random()));
                    break;
                }
            }
            const auto strings = pluginblock::Parse(input);
            if (!strings)
                continue;
            ++valid;
            const QByteArray again = pluginblock::Build(*strings);
            if (!again.isEmpty()) {
                EXPECT_EQ(pluginblock::Parse(again), strings);
            }
        }
    }
    EXPECT_GE(valid, int(seeds.size()) - 1); // every seed but the damaged one reads
}
