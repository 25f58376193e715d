#include "server/core/Store.h"

#include "server/core/Schema.h"
#include "server/core/ServerLog.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QAtomicInt connectionCounter;
}

Store::Store()
    : connection_(QStringLiteral("parvane-store-%1").arg(connectionCounter.fetchAndAddRelaxed(1))) {
}

Store::~Store() {
    Close();
}

bool Store::Open(const QString& path, QString* error) {
    Close();
    path_ = path;
    const QFileInfo info(path);
    if (!info.absoluteDir().exists() && !QDir().mkpath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create folder %1").arg(info.absolutePath());
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    // WAL keeps readers and the writer apart and makes a killed process roll back cleanly.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next() ||
        q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        ServerLog::Line(QStringLiteral("store: WAL mode not available for %1").arg(path));
    }
    q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    // Large lists read the same pages again and again: keep them mapped and cached.
    q.exec(QStringLiteral("PRAGMA mmap_size=268435456"));
    q.exec(QStringLiteral("PRAGMA cache_size=-32768"));
    q.exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
    return Migrate(error);
}

void Store::Close() {
    if (QSqlDatabase::contains(connection_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(connection_, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(connection_);
    }
    depth_ = 0;
}

bool Store::IsOpen() const {
    return QSqlDatabase::contains(connection_) && Db().isOpen();
}

QSqlDatabase Store::Db() const {
    return QSqlDatabase::database(connection_, false);
}

int Store::CurrentSchemaVersion() {
    return Schema::LatestVersion();
}

int Store::SchemaVersion() const {
    return ScalarQuery(QStringLiteral("SELECT MAX(version) FROM schema_version")).toInt();
}

bool Store::Migrate(QString* error) {
    QSqlDatabase db = Db();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER "
                               "PRIMARY KEY, applied TEXT NOT NULL)"))) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    const int have = SchemaVersion();
    if (have > Schema::LatestVersion()) {
        if (error)
            *error = QStringLiteral("database schema %1 is newer than this server (%2)")
                         .arg(have)
                         .arg(Schema::LatestVersion());
        return false;
    }
    for (int v = have + 1; v <= Schema::LatestVersion(); ++v) {
        QString failure;
        const bool ok = Transaction([&] {
            QSqlQuery step(db);
            for (const QString& sql : Schema::Upgrade(v)) {
                if (!step.exec(sql)) {
                    failure = step.lastError().text() + QStringLiteral(" in ") + sql.left(80);
                    return false;
                }
            }
            step.prepare(QStringLiteral(
                "INSERT INTO schema_version (version, applied) VALUES (?, datetime('now'))"));
            step.addBindValue(v);
            return step.exec();
        });
        if (!ok) {
            if (error)
                *error = QStringLiteral("schema upgrade to %1 failed: %2").arg(v).arg(failure);
            return false;
        }
        ServerLog::Line(QStringLiteral("store: schema version %1 applied").arg(v));
    }
    return true;
}

bool Store::IsEmpty() const {
    return ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM trading_system")).toInt() == 0;
}

QString Store::State(const QString& key, const QString& fallback) const {
    const QVariant v =
        ScalarQuery(QStringLiteral("SELECT value FROM server_state WHERE key = ?"), {key});
    return v.isValid() && !v.isNull() ? v.toString() : fallback;
}

void Store::SetState(const QString& key, const QString& value) {
    QSqlQuery q(Db());
    q.prepare(QStringLiteral("INSERT INTO server_state (key, value) VALUES (?, ?) "
                             "ON CONFLICT(key) DO UPDATE SET value = excluded.value"));
    q.addBindValue(key);
    q.addBindValue(value);
    if (!q.exec())
        ServerLog::Line(QStringLiteral("store: cannot set %1: %2").arg(key, q.lastError().text()));
}

qint64 Store::NextId(const QString& counter) {
    const QString key = QStringLiteral("next.") + counter;
    qint64 next = State(key, QStringLiteral("1")).toLongLong();
    if (next <= 0)
        next = 1;
    SetState(key, QString::number(next + 1));
    return next;
}

bool Store::Transaction(const std::function<bool()>& body) {
    QSqlDatabase db = Db();
    if (depth_ > 0) {
        ++depth_;
        bool ok = false;
        try {
            ok = body();
        } catch (...) {
            --depth_;
            throw;
        }
        --depth_;
        return ok;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        ServerLog::Line(QStringLiteral("store: BEGIN failed: %1").arg(q.lastError().text()));
        return false;
    }
    depth_ = 1;
    bool ok = false;
    try {
        ok = body();
    } catch (...) {
        depth_ = 0;
        q.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
    depth_ = 0;
    if (!ok) {
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    if (!q.exec(QStringLiteral("COMMIT"))) {
        ServerLog::Line(QStringLiteral("store: COMMIT failed: %1").arg(q.lastError().text()));
        q.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

QString Store::IntegrityCheck() const {
    return ScalarQuery(QStringLiteral("PRAGMA integrity_check")).toString();
}

bool Store::Exec(const QString& sql) const {
    QSqlQuery q(Db());
    if (!q.exec(sql)) {
        ServerLog::Line(
            QStringLiteral("store: %1 failed: %2").arg(sql.left(80), q.lastError().text()));
        return false;
    }
    return true;
}

QVariant Store::ScalarQuery(const QString& sql, const QVariantList& binds) const {
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return {};
    for (const QVariant& b : binds)
        q.addBindValue(b);
    if (!q.exec() || !q.next())
        return {};
    return q.value(0);
}
