#include "shell/refs/ReferenceData.h"
#include "session/wire/Cp1251.h"
#include "shell/base/ConvertError.h"

#include <gtest/gtest.h>

namespace {

// A row as the session serves it: 8-bit fields by position.
RowFieldReader Row(const QStringList& fields) {
    return [fields](int n) { return n < fields.size() ? Cp1251::Encode(fields[n]) : QByteArray(); };
}

void AddType(TReferenceData& d, int id, int target, int valueKind) {
    d.UserInfoTypes.Append(TUITypeObj::FromRow(
        Row({QString::number(id), QString::number(target), QString::number(valueKind), "Метка"})));
}

bool AddValue(TReferenceData& d, int id, int owner, int type, const QString& text) {
    qint32 typeId = 0;
    auto v = TUserInfoObj::FromRow(
        Row({QString::number(id), QString::number(owner), QString::number(type), text}), typeId);
    return d.AddUserInfoValue(std::move(v), typeId);
}

} // namespace

TEST(ReferenceRows, SecurityFieldsByPositionAndBadNumbersFailTheRow) {
    auto b = TBumObj::FromRow(
        Row({"17", "Газпром", "GAZP", "TQBR", "10", "5", "2", "x", "y", "1", "0"}));
    EXPECT_EQ(b->Kind, kKindSecurity);
    EXPECT_EQ(b->Id, 17);
    EXPECT_EQ(b->Name, QStringLiteral("Газпром"));
    EXPECT_EQ(b->ShortName, b->Name);
    EXPECT_EQ(b->TradeCode, "GAZP");
    EXPECT_EQ(b->BoardCode, "TQBR");
    EXPECT_EQ(b->LotSize, 10);
    EXPECT_EQ(b->Nominal, 5);
    EXPECT_EQ(b->Precision, 2);
    EXPECT_EQ(b->PrecisionText, "2");
    EXPECT_EQ(b->TradingSystemId, 1);
    EXPECT_EQ(b->NotTraded, 0);

    EXPECT_THROW(TBumObj::FromRow(Row({"17", "A", "A", "B", "лот", "5", "2", "", "", "1", "0"})),
                 EConvertError);
    // A row cut short has empty trailing fields, which are not numbers either.
    EXPECT_THROW(TBumObj::FromRow(Row({"17", "A"})), EConvertError);
}

TEST(ReferenceRows, BoardIdFallsBackToZeroButSystemIdMustBeANumber) {
    auto b = TBoardObj::FromRow(Row({"TQBR", "Т+ Акции", "1", "", "abc"}));
    EXPECT_EQ(b->BoardCode, "TQBR");
    EXPECT_EQ(b->Name, QStringLiteral("Т+ Акции"));
    EXPECT_EQ(b->TradingSystemId, 1);
    EXPECT_EQ(b->Id, 0);
    EXPECT_EQ(TBoardObj::FromRow(Row({"X", "Y", "1", "", "44"}))->Id, 44);
    EXPECT_THROW(TBoardObj::FromRow(Row({"X", "Y", "один", "", "4"})), EConvertError);
}

TEST(ReferenceRows, ClientsAccountsAndSystems) {
    auto c = TCliObj::FromRow(Row({"5", "Иванов", "5"}));
    EXPECT_TRUE(c->IsTopLevel());
    EXPECT_TRUE(TCliObj::FromRow(Row({"6", "Петров", "0"}))->IsTopLevel());
    EXPECT_FALSE(TCliObj::FromRow(Row({"7", "Сидоров", "5"}))->IsTopLevel());

    auto a = TAccObj::FromRow(Row({"100", "Счет 1", "5"}));
    EXPECT_EQ(a->Kind, kKindAccount);
    EXPECT_EQ(a->ClientId, 5);

    auto t = TTSObj::FromRow(Row({"7", "ММВБ", "%CODE% %TEXT%"}));
    EXPECT_EQ(t->ShortName, QStringLiteral("ММВБ"));
    EXPECT_EQ(t->NameTemplate, "%CODE% %TEXT%");
}

TEST(ReferenceData, TradingSystemBringsItsMoneyItem) {
    TReferenceData d;
    d.AddTradingSystem(TTSObj::FromRow(Row({"7", "X", ""})));
    ASSERT_EQ(d.MoneyItems.Count(), 1);
    const TMoneyObj* m = d.MoneyItems[0];
    EXPECT_EQ(m->Kind, kKindMoney);
    EXPECT_EQ(m->Id, -7);
    EXPECT_EQ(m->TradingSystemId, 7);
    EXPECT_EQ(m->Name, QStringLiteral("_Деньги.X"));
    EXPECT_EQ(d.FindSecurityOrMoney(-7), m);
    d.ClearTradingSystems();
    EXPECT_TRUE(d.MoneyItems.IsEmpty());
    EXPECT_EQ(d.FindSecurityOrMoney(-7), nullptr);
}

TEST(ReferenceData, FindObjectReturnsTheFirstOfKindAndIdAndForgetsOnClear) {
    TReferenceData d;
    d.Accounts.Append(TAccObj::FromRow(Row({"1", "Первый", "1"})));
    d.Accounts.Append(TAccObj::FromRow(Row({"1", "Дубль", "1"})));
    d.Accounts.Append(TAccObj::FromRow(Row({"2", "Второй", "1"})));
    EXPECT_EQ(FindObject(d.Accounts, kKindAccount, 1)->Name, QStringLiteral("Первый"));
    EXPECT_EQ(FindObject(d.Accounts, kKindAccount, 2)->Name, QStringLiteral("Второй"));
    EXPECT_EQ(FindObject(d.Accounts, kKindClient, 1), nullptr);
    EXPECT_EQ(FindObject(d.Accounts, kKindAccount, 3), nullptr);
    // Load order is kept for the windows that walk the lists.
    EXPECT_EQ(d.Accounts[1]->Name, QStringLiteral("Дубль"));
    d.Accounts.Clear();
    EXPECT_EQ(FindObject(d.Accounts, kKindAccount, 1), nullptr);
}

TEST(ReferenceData, OrderStatusNames) {
    TReferenceData d;
    d.OrderStatuses.Add(QStringLiteral("Активна"), 10);
    d.OrderStatuses.Add(QStringLiteral("Исполнена"), 11);
    d.OrderStatuses.Add(QStringLiteral("Повтор"), 10);
    EXPECT_EQ(d.OrderStatusName(10), QStringLiteral("Активна"));
    EXPECT_EQ(d.OrderStatusName(11), QStringLiteral("Исполнена"));
    EXPECT_EQ(d.OrderStatusName(99), "???");
}

TEST(ReferenceData, DisplayNamesDecorateOnlyWithANonEmptyValue) {
    TReferenceData d;
    EXPECT_EQ(d.AccountDisplayName(1, "A"), "A"); // no values at all

    AddType(d, 1, 2, 2); // clients
    AddType(d, 2, 1, 1); // accounts
    EXPECT_TRUE(AddValue(d, 10, 100, 2, QStringLiteral("ИИС")));
    EXPECT_TRUE(AddValue(d, 11, 101, 2, QString()));
    EXPECT_TRUE(AddValue(d, 12, 5, 1, QStringLiteral("VIP")));
    EXPECT_FALSE(AddValue(d, 13, 5, 99, "lost")); // unknown type: dropped
    EXPECT_EQ(d.UserInfoValues.Count(), 3);

    EXPECT_EQ(d.AccountDisplayName(100, "A"), QStringLiteral("A (ИИС)"));
    EXPECT_EQ(d.AccountDisplayName(101, "B"), "B");
    EXPECT_EQ(d.AccountDisplayName(5, "C"), "C"); // 5 is a client value
    EXPECT_EQ(d.ClientDisplayName(5, "Иванов"), QStringLiteral("Иванов (VIP)"));

    // Reloading the types forgets the cached ones; the values go with them.
    d.ClearUserInfoTypes();
    EXPECT_TRUE(d.UserInfoValues.IsEmpty());
    AddType(d, 3, 1, 1);
    EXPECT_TRUE(AddValue(d, 14, 100, 3, QStringLiteral("Новое")));
    EXPECT_EQ(d.AccountDisplayName(100, "A"), QStringLiteral("A (Новое)"));
}

TEST(ReferenceData, UserInfoLookupsFindTheFirstValueOfAnOwner) {
    TReferenceData d;
    AddType(d, 1, 1, 1);
    AddValue(d, 1, 7, 1, "first");
    AddValue(d, 2, 7, 1, "second");
    const TUITypeObj* t = FindObject(d.UserInfoTypes, kKindUserInfoType, 1);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->Values().size(), 2u);
    EXPECT_EQ(FindUserInfo(t->Values(), 7)->Name, "first");
    EXPECT_EQ(FindUserInfo(*t, 7)->Name, "first");
    EXPECT_EQ(FindUserInfo(*t, 8), nullptr);
    d.ClearUserInfoValues();
    EXPECT_TRUE(t->Values().empty());
    EXPECT_EQ(FindUserInfo(*t, 7), nullptr);
}

TEST(ReferenceData, AttachedObjectsAreFoundById) {
    TReferenceData d;
    d.Clients.Append(TCliObj::FromRow(Row({"3", "Три", "0"})));
    EXPECT_EQ(IndexOfObjectId(QList<const TBaseSimpleObject*>{nullptr, d.Clients[0]}, 3), 1);
    EXPECT_EQ(IndexOfObjectId(QList<const TBaseSimpleObject*>{nullptr, d.Clients[0]}, 4), -1);
}

TEST(ReferenceData, CurrentFallsBackToAnEmptyInstance) {
    TReferenceData::SetCurrent(nullptr);
    EXPECT_TRUE(TReferenceData::Current().Securities.IsEmpty());
    TReferenceData d;
    TReferenceData::SetCurrent(&d);
    EXPECT_EQ(&TReferenceData::Current(), &d);
    TReferenceData::SetCurrent(nullptr);
}
