#pragma once

#include <QString>

#include <string>
#include <vector>

class StoreReader;

// The names a full orders list shows beside each order's ids (security, client,
// account), read in one scan of each table and kept while the store is unchanged, so
// 100,000 orders cost no lookup in the store each. They are read again when a name
// changed (the store's name counter moves; without it, on any commit at all).
class OrderNameCache {
public:
    struct Entry {
        quint32 at = 0;
        qint32 size = -1;        // -1: no such row
        double volumeFactor = 0; // securities: the lot times the nominal per cent
    };

    // Up to date for the store as the read connection sees it; false when the names
    // cannot be kept (ids far from dense, a failed read), and the list joins instead.
    bool Refresh(StoreReader& reader, const QString& path);

    const Entry* Security(qint64 id) const { return Find(securities_, id); }
    const Entry* Client(qint64 id) const { return Find(clients_, id); }
    const Entry* Account(qint64 id) const { return Find(accounts_, id); }
    // The UTF-8 bytes of a name (Entry::size of them).
    const unsigned char* Text(const Entry& e) const {
        return reinterpret_cast<const unsigned char*>(text_.data()) + e.at;
    }

private:
    static const Entry* Find(const std::vector<Entry>& table, qint64 id) {
        if (id < 0 || quint64(id) >= table.size() || table[size_t(id)].size < 0)
            return nullptr;
        return &table[size_t(id)];
    }
    bool Load(StoreReader& reader, const QString& path, const QString& sql,
              std::vector<Entry>* table);

    std::string text_;                                   // every name, back to back
    std::vector<Entry> securities_, clients_, accounts_; // by id
    qint64 version_ = 0;       // the read connection's data version when last checked
    qint64 namesVersion_ = -1; // the store's count of name changes the names were read at
    QString path_;
    bool valid_ = false;
};
