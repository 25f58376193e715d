#include "server/core/StoreReader.h"

#include <sqlite3.h>

namespace {

// Filters differ from request to request, so the texts vary: keep the recent ones only.
constexpr int kMaxStatements = 32;

QString LastError(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

} // namespace

StoreReader::~StoreReader() {
    Close();
}

void StoreReader::Close() {
    for (sqlite3_stmt* s : std::as_const(statements_))
        sqlite3_finalize(s);
    statements_.clear();
    if (db_)
        sqlite3_close(db_);
    db_ = nullptr;
    path_.clear();
}

bool StoreReader::OpenFor(const QString& path, QString* error) {
    if (db_ && path_ == path)
        return true;
    Close();
    // No shared cache and no mutex: the connection belongs to one engine on one thread.
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        *error = db_ ? LastError(db_) : QString::fromUtf8(sqlite3_errstr(rc));
        Close();
        return false;
    }
    path_ = path;
    sqlite3_busy_timeout(db_, 5000);
    // Large lists read the same pages again and again: keep them mapped and cached.
    sqlite3_exec(db_, "PRAGMA mmap_size=268435456; PRAGMA cache_size=-32768; PRAGMA query_only=1",
                 nullptr, nullptr, nullptr);
    return true;
}

StoreReader::Run StoreReader::Query(const QString& path, const QString& sql,
                                    const QVariantList& binds) {
    QString error;
    if (!OpenFor(path, &error))
        return Run(nullptr, error);
    sqlite3_stmt* stmt = statements_.value(sql, nullptr);
    if (!stmt) {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v3(db_, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT,
                               &stmt, nullptr) != SQLITE_OK) {
            error = LastError(db_);
            sqlite3_finalize(stmt);
            return Run(nullptr, error);
        }
        if (statements_.size() >= kMaxStatements) {
            for (sqlite3_stmt* s : std::as_const(statements_))
                sqlite3_finalize(s);
            statements_.clear();
        }
        statements_.insert(sql, stmt);
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (binds.size() > sqlite3_bind_parameter_count(stmt))
        return Run(nullptr, QStringLiteral("more values than the query binds"));
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant& v = binds[i];
        int rc = SQLITE_OK;
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Long:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(stmt, i + 1, v.toDouble());
            break;
        default:
            if (v.isNull()) {
                rc = sqlite3_bind_null(stmt, i + 1);
            } else {
                const QByteArray utf8 = v.toString().toUtf8();
                rc = sqlite3_bind_text(stmt, i + 1, utf8.constData(), int(utf8.size()),
                                       SQLITE_TRANSIENT);
            }
            break;
        }
        if (rc != SQLITE_OK)
            return Run(nullptr, LastError(db_));
    }
    return Run(stmt, QString());
}

StoreReader::Run::Run(Run&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), error_(std::move(other.error_)) {}

StoreReader::Run::~Run() {
    if (stmt_)
        sqlite3_reset(stmt_);
}

bool StoreReader::Run::Next() {
    if (!stmt_)
        return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        error_ = LastError(sqlite3_db_handle(stmt_));
    return false;
}
