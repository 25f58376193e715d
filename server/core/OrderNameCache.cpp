#include "server/core/OrderNameCache.h"

#include "server/core/StoreReader.h"

#include <sqlite3.h>

#include <algorithm>

namespace {
// One integer read by the store's read connection; false when it cannot be read.
bool ReadNumber(StoreReader& reader, const QString& path, const QString& sql, qint64& value) {
    StoreReader::Run v = reader.Query(path, sql, {});
    if (!v.Next())
        return false;
    value = sqlite3_column_int64(v.Statement(), 0);
    return true;
}
} // namespace

bool OrderNameCache::Refresh(StoreReader& reader, const QString& path) {
    qint64 version = 0;
    if (!ReadNumber(reader, path, QStringLiteral("PRAGMA data_version"), version))
        return false;
    if (valid_ && version == version_ && path == path_)
        return true;
    // Something was committed; the names are read again only when one of them changed
    // (a store without the counter reads them again every time).
    qint64 names = -1;
    if (!ReadNumber(reader, path, QStringLiteral("SELECT version FROM name_version"), names))
        names = -1;
    if (valid_ && names >= 0 && names == namesVersion_ && path == path_) {
        version_ = version;
        return true;
    }
    valid_ = false;
    text_.clear();
    if (!Load(reader, path,
              QStringLiteral("SELECT id, short_name, nominal, lot_size FROM security"),
              &securities_) ||
        !Load(reader, path, QStringLiteral("SELECT id, name FROM client"), &clients_) ||
        !Load(reader, path, QStringLiteral("SELECT id, name FROM account"), &accounts_))
        return false;
    valid_ = true;
    version_ = version;
    namesVersion_ = names;
    path_ = path;
    return true;
}

bool OrderNameCache::Load(StoreReader& reader, const QString& path, const QString& sql,
                          std::vector<Entry>* table) {
    table->clear();
    StoreReader::Run run = reader.Query(path, sql, {});
    if (!run.Ok())
        return false;
    sqlite3_stmt* q = run.Statement();
    const bool security = sqlite3_column_count(q) == 4;
    qint64 rows = 0;
    while (run.Next()) {
        const qint64 id = sqlite3_column_int64(q, 0);
        ++rows;
        // Ids are dense in practice; a table far from it is left to the join.
        if (id < 0 || id > 4 * rows + 4096)
            return false;
        if (quint64(id) >= table->size())
            table->resize(size_t(id) + 1);
        Entry& e = (*table)[size_t(id)];
        const auto* name = sqlite3_column_text(q, 1);
        const int size = sqlite3_column_bytes(q, 1);
        e.at = quint32(text_.size());
        e.size = size;
        if (size > 0)
            text_.append(reinterpret_cast<const char*>(name), size_t(size));
        if (security) {
            // As the list's SQL has it: the lot times the nominal per cent when there is one.
            const double nominal = sqlite3_column_double(q, 2);
            e.volumeFactor =
                std::max(sqlite3_column_double(q, 3), 1.0) * (nominal > 0 ? nominal / 100.0 : 1.0);
        }
        if (text_.size() > 0x7fffffffu)
            return false;
    }
    return run.Error().isEmpty();
}
