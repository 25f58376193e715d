#pragma once

#include "shell/refs/ReferenceObjects.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

// An owning list of reference objects in load order, with an index by kind and
// id so lookups stay constant-time with a hundred thousand securities.
template <class T> class TObjectList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }
    T* At(int i) const { return items_[static_cast<size_t>(i)].get(); }
    T* operator[](int i) const { return At(i); }

    T* Append(std::unique_ptr<T> object) {
        T* raw = object.get();
        const quint64 key = Key(raw->Kind, raw->Id);
        if (!index_.contains(key)) // the first object with a kind and id wins lookups
            index_.insert(key, raw);
        items_.push_back(std::move(object));
        return raw;
    }
    void Clear() {
        index_.clear();
        items_.clear();
    }
    // Takes an object out of the list (null when it is not there); the caller owns it.
    std::unique_ptr<T> Take(const T* object) {
        for (auto it = items_.begin(); it != items_.end(); ++it) {
            if (it->get() != object)
                continue;
            std::unique_ptr<T> taken = std::move(*it);
            items_.erase(it);
            Reindex();
            return taken;
        }
        return nullptr;
    }
    // Rebuilds the index after an object's id changed.
    void Reindex() {
        index_.clear();
        for (const auto& o : items_) {
            const quint64 key = Key(o->Kind, o->Id);
            if (!index_.contains(key))
                index_.insert(key, o.get());
        }
    }
    // The first object with that kind and id, or null.
    T* Find(qint32 kind, qint32 id) const { return index_.value(Key(kind, id), nullptr); }

    // Range access over raw pointers, in load order.
    class const_iterator {
    public:
        explicit const_iterator(typename std::vector<std::unique_ptr<T>>::const_iterator it)
            : it_(it) {}
        T* operator*() const { return it_->get(); }
        const_iterator& operator++() {
            ++it_;
            return *this;
        }
        bool operator!=(const const_iterator& o) const { return it_ != o.it_; }

    private:
        typename std::vector<std::unique_ptr<T>>::const_iterator it_;
    };
    const_iterator begin() const { return const_iterator(items_.begin()); }
    const_iterator end() const { return const_iterator(items_.end()); }

private:
    static quint64 Key(qint32 kind, qint32 id) {
        return (quint64(quint32(kind)) << 32) | quint64(quint32(id));
    }
    std::vector<std::unique_ptr<T>> items_;
    QHash<quint64, T*> index_;
};

// The order states: names carrying their integer codes, in answer order.
class TOrderStatusList {
public:
    void Clear() {
        entries_.clear();
        byCode_.clear();
    }
    void Add(const QString& name, qint32 code) {
        if (!byCode_.contains(code))
            byCode_.insert(code, static_cast<int>(entries_.size()));
        entries_.emplace_back(name, code);
    }
    int Count() const { return static_cast<int>(entries_.size()); }
    const QString& Name(int i) const { return entries_[static_cast<size_t>(i)].first; }
    qint32 Code(int i) const { return entries_[static_cast<size_t>(i)].second; }
    // Position of the first entry carrying the code, -1 when none does.
    int IndexOfCode(qint32 code) const { return byCode_.value(code, -1); }

private:
    std::vector<std::pair<QString, qint32>> entries_;
    QHash<qint32, int> byCode_;
};

// FindObject(collection, kind, id): the first object with that kind and id, or null.
template <class T> T* FindObject(const TObjectList<T>& list, qint32 kind, qint32 id) {
    return list.Find(kind, id);
}

// The first value of a list whose OwnerId equals ownerId, or null (walks the list).
TUserInfoObj* FindUserInfo(const std::vector<TUserInfoObj*>& values, qint32 ownerId);
// The same over a type's values, through the type's owner index.
TUserInfoObj* FindUserInfo(const TUITypeObj& type, qint32 ownerId);

// Position of the first entry whose attached object is a reference object with
// that id, -1 when none is (the drop-down lists' own form is in grids/TComboBoxIndexed.h).
int IndexOfObjectId(const QList<const TBaseSimpleObject*>& attached, qint32 id);

// The program's reference data: the collections (owning), the lookups and the
// scalars of the current trading day and session. The main window owns the one
// instance the program uses and publishes it through Current(); every other
// window only reads it.
class TReferenceData {
public:
    TReferenceData() = default;
    TReferenceData(const TReferenceData&) = delete;
    TReferenceData& operator=(const TReferenceData&) = delete;

    // The published instance; an empty one when none is published, so a window
    // opened without a main window finds empty lists rather than nothing.
    static TReferenceData& Current();
    static void SetCurrent(TReferenceData* data);

    TObjectList<TTSObj> TradingSystems;
    TObjectList<TMoneyObj> MoneyItems;
    TObjectList<TBoardObj> Boards;
    TObjectList<TBumObj> Securities;
    TObjectList<TCliObj> Clients;
    TObjectList<TAccObj> Accounts;
    TObjectList<TAccObj> TransactionAccounts;
    TOrderStatusList OrderStatuses;
    TObjectList<TUITypeObj> UserInfoTypes;
    TObjectList<TUserInfoObj> UserInfoValues;

    QString TradingDayKey;
    double TradingDate = 0;
    QString SessionKey;
    QString ClientKey;
    qint32 UserKind = 0;

    // Loading helpers that keep the dependent lists in step.
    void ClearTradingSystems();                           // also the money items
    TTSObj* AddTradingSystem(std::unique_ptr<TTSObj> ts); // also its money item
    // Types are reloaded together with their values: the values point at the
    // types, so they go too, and the display caches are forgotten.
    void ClearUserInfoTypes();
    void ClearUserInfoValues(); // and every type's value list
    // Links the value to its type; false (and the value dropped) when the type is unknown.
    bool AddUserInfoValue(std::unique_ptr<TUserInfoObj> value, qint32 typeId);

    QString OrderStatusName(qint32 code) const; // "???" when no entry carries it
    QString AccountDisplayName(qint32 accountId, const QString& name);
    QString ClientDisplayName(qint32 clientId, const QString& name);

    // The money item or security with that id (money items have negative ids).
    TBumObj* FindSecurityOrMoney(qint32 id) const;

private:
    QString DisplayName(qint32 targetKind, TUITypeObj*& cache, qint32 id, const QString& name);

    TUITypeObj* accountInfoType_ = nullptr;
    TUITypeObj* clientInfoType_ = nullptr;
};
