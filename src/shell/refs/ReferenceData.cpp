#include "ReferenceData.h"

namespace {
TReferenceData*& Published() {
    static TReferenceData* data = nullptr;
    return data;
}
} // namespace

TUserInfoObj* FindUserInfo(const std::vector<TUserInfoObj*>& values, qint32 ownerId) {
    for (TUserInfoObj* v : values)
        if (v->OwnerId == ownerId)
            return v;
    return nullptr;
}

TUserInfoObj* FindUserInfo(const TUITypeObj& type, qint32 ownerId) {
    return type.FindValueByOwner(ownerId);
}

int IndexOfObjectId(const QList<const TBaseSimpleObject*>& attached, qint32 id) {
    for (int i = 0; i < attached.size(); ++i)
        if (attached[i] && attached[i]->Id == id)
            return i;
    return -1;
}

TReferenceData& TReferenceData::Current() {
    if (Published())
        return *Published();
    static TReferenceData empty;
    return empty;
}

void TReferenceData::SetCurrent(TReferenceData* data) {
    Published() = data;
}

void TReferenceData::ClearTradingSystems() {
    MoneyItems.Clear();
    TradingSystems.Clear();
}

TTSObj* TReferenceData::AddTradingSystem(std::unique_ptr<TTSObj> ts) {
    auto money = TMoneyObj::ForTradingSystem(*ts);
    TTSObj* raw = TradingSystems.Append(std::move(ts));
    MoneyItems.Append(std::move(money));
    return raw;
}

void TReferenceData::ClearUserInfoTypes() {
    accountInfoType_ = nullptr;
    clientInfoType_ = nullptr;
    UserInfoValues.Clear();
    UserInfoTypes.Clear();
}

void TReferenceData::ClearUserInfoValues() {
    for (TUITypeObj* t : UserInfoTypes)
        t->ClearValues();
    UserInfoValues.Clear();
}

bool TReferenceData::AddUserInfoValue(std::unique_ptr<TUserInfoObj> value, qint32 typeId) {
    TUITypeObj* type = FindObject(UserInfoTypes, kKindUserInfoType, typeId);
    if (!type)
        return false;
    value->InfoType = type;
    type->AddValue(UserInfoValues.Append(std::move(value)));
    return true;
}

QString TReferenceData::OrderStatusName(qint32 code) const {
    const int i = OrderStatuses.IndexOfCode(code);
    return i < 0 ? QStringLiteral("???") : OrderStatuses.Name(i);
}

QString TReferenceData::DisplayName(qint32 targetKind, TUITypeObj*& cache, qint32 id,
                                    const QString& name) {
    if (UserInfoValues.IsEmpty())
        return name;
    if (!cache) {
        for (TUITypeObj* t : UserInfoTypes) {
            if (t->TargetKind == targetKind && t->ValueKind == targetKind) {
                cache = t;
                break;
            }
        }
        if (!cache)
            return name;
    }
    const TUserInfoObj* v = FindUserInfo(*cache, id);
    if (v && !v->Name.isEmpty())
        return name + QStringLiteral(" (") + v->Name + QLatin1Char(')');
    return name;
}

QString TReferenceData::AccountDisplayName(qint32 accountId, const QString& name) {
    return DisplayName(1, accountInfoType_, accountId, name);
}

QString TReferenceData::ClientDisplayName(qint32 clientId, const QString& name) {
    return DisplayName(2, clientInfoType_, clientId, name);
}

TBumObj* TReferenceData::FindSecurityOrMoney(qint32 id) const {
    if (id < 0)
        if (TMoneyObj* m = MoneyItems.Find(kKindMoney, id))
            return m;
    return Securities.Find(kKindSecurity, id);
}
