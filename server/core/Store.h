#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>

// The server's SQLite store: opened in WAL mode, its schema created and migrated
// on open. Every command runs inside one transaction, so a killed process never
// leaves half a command behind.
class Store {
public:
    Store();
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Opens (creating when missing) the database file and brings its schema up to date.
    bool Open(const QString& path, QString* error);
    void Close();
    bool IsOpen() const;
    QSqlDatabase Db() const;
    const QString& Path() const { return path_; }

    static int CurrentSchemaVersion();
    int SchemaVersion() const;
    bool IsEmpty() const; // no reference data yet

    // Server state values (trading day, keys, login flags).
    QString State(const QString& key, const QString& fallback = {}) const;
    void SetState(const QString& key, const QString& value);
    // A new unique number of a counter kept in the state table (order numbers, deal numbers...).
    qint64 NextId(const QString& counter);

    // Runs body inside BEGIN IMMEDIATE / COMMIT; rolls back when it returns false
    // or throws. Nested calls join the outer transaction.
    bool Transaction(const std::function<bool()>& body);

    // "ok" when the database passes SQLite's integrity check.
    QString IntegrityCheck() const;

    // Runs one statement; false (and a log line) on error.
    bool Exec(const QString& sql) const;
    QVariant ScalarQuery(const QString& sql, const QVariantList& binds = {}) const;

private:
    bool Migrate(QString* error);

    QString connection_;
    QString path_;
    int depth_ = 0;
};
