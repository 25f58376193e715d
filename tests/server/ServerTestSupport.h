#pragma once

#include "server/core/Answer.h"
#include "server/core/DemoData.h"
#include "server/core/Engine.h"
#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "server/core/WireText.h"
#include "support/StoreCache.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

// A store with the demo data of a fixed day, and the engine over it.
class DemoStoreTest : public ::testing::Test {
protected:
    static QDate Day() { return QDate(2026, 3, 2); }

    void SetUp() override {
        ServerLog::SetQuiet(true);
        ASSERT_TRUE(dir_.isValid());
        // The demo store is made once per build of the tests; each test gets a copy.
        const QString path = dir_.filePath(QStringLiteral("t.sqlite"));
        const QString tests = QCoreApplication::applicationFilePath();
        auto make = [](const QString& part) {
            Store store;
            QString error;
            return store.Open(part, &error) &&
                   DemoGenerator(store, DemoScale::Demo(), 7, Day()).Generate(&error);
        };
        ASSERT_TRUE(storecache::CopyPrepared(storecache::FolderBeside(tests),
                                             storecache::BuildOf(tests) + QStringLiteral("|demo|7"),
                                             make, path));
        QString error;
        ASSERT_TRUE(store_.Open(path, &error)) << error.toStdString();
        engine_ = std::make_unique<Engine>(store_);
    }

    // A request in pair form ({"chto", "211"} -> "chto=211" NUL ...).
    EngineResult Pair(const QString& request,
                      std::initializer_list<std::pair<QString, QString>> params) {
        QString text;
        for (const auto& [k, v] : params)
            text += k + QLatin1Char('=') + v + QChar(u'\0');
        return engine_->Handle(session_, request, text, false);
    }
    // A command in alternating form.
    EngineResult Alt(const QString& request,
                     std::initializer_list<std::pair<QString, QString>> params) {
        QString text;
        for (const auto& [k, v] : params)
            text += k + QChar(u'\0') + v + QChar(u'\0');
        return engine_->Handle(session_, request, text, true);
    }

    qint64 Count(const QString& sql, const QVariantList& binds = {}) {
        return store_.ScalarQuery(sql, binds).toLongLong();
    }

    QTemporaryDir dir_;
    Store store_;
    std::unique_ptr<Engine> engine_;
    SessionState session_;
};

// Reads the fields of an answer row by the names of a layout.
class RowReader {
public:
    RowReader(const ResultLayout& layout, const QString& row)
        : layout_(layout), fields_(WireText::SplitRow(row)) {}
    int Size() const { return int(fields_.size()); }
    QString Raw(const QString& name) const { return fields_.value(layout_.IndexOf(name)); }
    // Text fields decoded from their escapes.
    QString Text(const QString& name) const {
        const QString raw = Raw(name);
        QString out;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i].unicode() == 3 && i + 1 < raw.size())
                out += QChar(char16_t((raw[++i].unicode() - 48) & 0xFF));
            else
                out += raw[i];
        }
        return out;
    }
    qint32 BinInt(const QString& name) const {
        const QByteArray b = WireText::DecodeEscaped(Raw(name));
        if (b.size() < 4)
            return -999999;
        quint32 u = 0;
        for (int i = 0; i < 4; ++i)
            u |= quint32(quint8(b[i])) << (8 * i);
        return qint32(u);
    }
    double BinDouble(const QString& name) const {
        const QByteArray b = WireText::DecodeEscaped(Raw(name));
        if (b.size() < 8)
            return -999999;
        quint64 u = 0;
        for (int i = 0; i < 8; ++i)
            u |= quint64(quint8(b[i])) << (8 * i);
        double d = 0;
        std::memcpy(&d, &u, sizeof d);
        return d;
    }

private:
    const ResultLayout& layout_;
    QStringList fields_;
};
