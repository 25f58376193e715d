#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// A read-only path to the store for the large lists: its own SQLite connection (one per
// engine, so each engine's thread reads on its own), statements prepared once per query
// text and kept, and values read straight from the columns. The writes stay with the
// store's own connection; in WAL mode this connection reads beside them and sees every
// committed change.
class StoreReader {
public:
    StoreReader() = default;
    ~StoreReader();
    StoreReader(const StoreReader&) = delete;
    StoreReader& operator=(const StoreReader&) = delete;

    // One run of a prepared statement; resets the statement when it goes, so no read
    // snapshot is held between requests.
    class Run {
    public:
        Run(Run&& other) noexcept;
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;
        ~Run();
        bool Ok() const { return stmt_ != nullptr; }
        // Steps to the next row; false at the end or on an error (then Error() says so).
        bool Next();
        const QString& Error() const { return error_; }
        sqlite3_stmt* Statement() const { return stmt_; }

    private:
        friend class StoreReader;
        Run(sqlite3_stmt* stmt, QString error) : stmt_(stmt), error_(std::move(error)) {}
        sqlite3_stmt* stmt_;
        QString error_;
    };

    // Opens the connection on first use (and again when the store moved). A failed run
    // says why in Error().
    Run Query(const QString& path, const QString& sql, const QVariantList& binds);

private:
    bool OpenFor(const QString& path, QString* error);
    void Close();

    sqlite3* db_ = nullptr;
    QString path_;
    QHash<QString, sqlite3_stmt*> statements_; // by query text
};
