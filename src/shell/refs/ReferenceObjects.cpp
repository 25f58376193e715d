#include "ReferenceObjects.h"

#include "session/wire/Cp1251.h"
#include "shell/base/ConvertError.h"

QString RowText(const RowFieldReader& row, int n) {
    return Cp1251::Decode(row(n));
}

qint32 TextToInt(const QString& text) {
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

qint32 RowInt(const RowFieldReader& row, int n) {
    return TextToInt(RowText(row, n));
}

std::unique_ptr<TTSObj> TTSObj::FromRow(const RowFieldReader& row) {
    auto o = std::make_unique<TTSObj>();
    o->Id = RowInt(row, 0);
    o->Name = RowText(row, 1);
    o->ShortName = o->Name;
    o->NameTemplate = RowText(row, 2);
    return o;
}

std::unique_ptr<TBoardObj> TBoardObj::FromRow(const RowFieldReader& row) {
    auto o = std::make_unique<TBoardObj>();
    o->BoardCode = RowText(row, 0);
    o->Name = RowText(row, 1);
    o->ShortName = o->Name;
    o->TradingSystemId = RowInt(row, 2);
    bool ok = false;
    const qint32 id = RowText(row, 4).trimmed().toInt(&ok, 10);
    o->Id = ok ? id : 0;
    return o;
}

std::unique_ptr<TBumObj> TBumObj::FromRow(const RowFieldReader& row) {
    auto o = std::make_unique<TBumObj>();
    o->Id = RowInt(row, 0);
    o->ShortName = RowText(row, 1);
    o->Name = o->ShortName;
    o->TradeCode = RowText(row, 2);
    o->BoardCode = RowText(row, 3);
    o->LotSize = RowInt(row, 4);
    o->Nominal = RowInt(row, 5);
    o->PrecisionText = RowText(row, 6);
    o->Precision = TextToInt(o->PrecisionText);
    o->TradingSystemId = RowInt(row, 9);
    o->NotTraded = RowInt(row, 10);
    return o;
}

std::unique_ptr<TMoneyObj> TMoneyObj::ForTradingSystem(const TTSObj& system) {
    auto o = std::make_unique<TMoneyObj>();
    o->Id = -system.Id;
    o->TradingSystemId = system.Id;
    o->ShortName = QStringLiteral("_Деньги.") + system.Name;
    o->Name = o->ShortName;
    return o;
}

std::unique_ptr<TCliObj> TCliObj::FromRow(const RowFieldReader& row) {
    auto o = std::make_unique<TCliObj>();
    o->Id = RowInt(row, 0);
    o->Name = RowText(row, 1);
    o->ShortName = o->Name;
    o->ParentClientId = RowInt(row, 2);
    return o;
}

std::unique_ptr<TAccObj> TAccObj::FromRow(const RowFieldReader& row) {
    auto o = std::make_unique<TAccObj>();
    o->Id = RowInt(row, 0);
    o->Name = RowText(row, 1);
    o->ShortName = o->Name;
    o->ClientId = RowInt(row, 2);
    return o;
}

std::unique_ptr<TUITypeObj> TUITypeObj::FromRow(const RowFieldReader& row) {
    auto o = std::make_unique<TUITypeObj>();
    o->Id = RowInt(row, 0);
    o->TargetKind = RowInt(row, 1);
    o->ValueKind = RowInt(row, 2);
    o->Name = RowText(row, 3);
    return o;
}

void TUITypeObj::AddValue(TUserInfoObj* value) {
    values_.push_back(value);
    if (!byOwner_.contains(value->OwnerId))
        byOwner_.insert(value->OwnerId, value);
}

void TUITypeObj::ClearValues() {
    values_.clear();
    byOwner_.clear();
}

TUserInfoObj* TUITypeObj::FindValueByOwner(qint32 ownerId) const {
    return byOwner_.value(ownerId, nullptr);
}

std::unique_ptr<TUserInfoObj> TUserInfoObj::FromRow(const RowFieldReader& row, qint32& typeId) {
    auto o = std::make_unique<TUserInfoObj>();
    o->Id = RowInt(row, 0);
    o->OwnerId = RowInt(row, 1);
    typeId = RowInt(row, 2);
    o->Name = RowText(row, 3);
    return o;
}
