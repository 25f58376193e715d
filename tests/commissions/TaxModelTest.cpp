// The commission objects: the text forms of areas and scales in both number
// conventions, linking area items to the reference data, names and client updates.
#include "TaxTestSupport.h"

#include "shell/base/ConvertError.h"
#include "shell/base/WorkstationLocale.h"

#include <gtest/gtest.h>

using namespace taxtest;

namespace {

std::vector<std::array<qint32, 4>> Codes(const TAreaList& list) {
    std::vector<std::array<qint32, 4>> out;
    for (const auto& item : list)
        out.push_back({item->TsId, item->BoardId, item->BumTypeId, item->BumId});
    return out;
}

} // namespace

TEST(TaxTextForms, AreaTextsCutIntoGroupsOfFour) {
    struct Case {
        const char* text;
        std::vector<std::array<qint32, 4>> items;
    } cases[] = {
        {"", {}},
        {"1;", {}},
        {"1;2;", {}},
        {"1;2;3;", {}},
        {"1;2;3;4", {{1, 2, 3, 4}}},
        {"1;2;3;4;5;6;", {{1, 2, 3, 4}}},
        {"5;-1;2;-1;", {{5, -1, 2, -1}}},
        {"1;2;3;4;\r\n5;6;7;8;", {{1, 2, 3, 4}, {5, 6, 7, 8}}},
        {"1;2;3;4\n5;6;7;8", {{1, 2, 3, 4}, {5, 6, 7, 8}}},
    };
    for (const Case& c : cases) {
        TAreaList list;
        ParseAreaText(QString::fromLatin1(c.text), list, nullptr);
        EXPECT_EQ(Codes(list), c.items) << c.text;
    }
}

TEST(TaxTextForms, NonIntegerPiecesRaiseAConversionError) {
    for (const char* text : {"1;x;3;4;", "1;2;3;4.5;", "1;;3;4;"}) {
        TAreaList list;
        EXPECT_THROW(ParseAreaText(QString::fromLatin1(text), list, nullptr), EConvertError)
            << text;
    }
    for (const char* text : {"0;0;abc;0;", "0;0.5;1;0;", "0;0;1,5;0;"}) {
        TScaleList list;
        EXPECT_THROW(ParseScaleText(QString::fromLatin1(text), list), EConvertError) << text;
    }
}

TEST(TaxTextForms, TextsRoundTripInCommaAndDotLocales) {
    const std::vector<std::pair<double, double>> lines = {
        {0, 0.05}, {1500.7, 0}, {0.00000001, 0.00000001}, {123456789012345, 0.123456789012345}};
    for (const WorkstationLocale& locale :
         {WorkstationLocale::Russian(), WorkstationLocale::English()}) {
        ScopedWorkstationLocale scoped(locale);
        TScaleList scale;
        for (const auto& [level, rate] : lines) {
            auto line = std::make_unique<TScaleItem>();
            line->Level = level;
            line->Flag = rate == 0 ? 1 : 0;
            line->Rate = rate;
            line->Sum = rate == 0 ? level : 0;
            scale.push_back(std::move(line));
        }
        const QString text = ScaleListText(scale);
        EXPECT_FALSE(text.contains(QLatin1Char(','))) << text.toStdString();
        EXPECT_TRUE(text.startsWith(QStringLiteral("0;0;0.05;0;1500.7;1;0;1500.7;")))
            << text.toStdString();
        TScaleList back;
        ParseScaleText(text, back);
        ASSERT_EQ(back.size(), scale.size());
        for (size_t i = 0; i < back.size(); ++i) {
            EXPECT_EQ(back[i]->Level, scale[i]->Level) << i;
            EXPECT_EQ(back[i]->Flag, scale[i]->Flag) << i;
            EXPECT_EQ(back[i]->Rate, scale[i]->Rate) << i;
            EXPECT_EQ(back[i]->Sum, scale[i]->Sum) << i;
        }
        EXPECT_EQ(ScaleListText(back), text);

        const QString areas = QStringLiteral("5;-1;2;-1;-1;-1;-1;-1;1;10;0;7;");
        TAreaList list;
        ParseAreaText(areas, list, nullptr);
        EXPECT_EQ(AreaListText(list), areas);
    }
}

TEST(TaxLinking, ItemsResolveOrAreNeutralisedAndLogged) {
    ScopedLog log;
    TReferenceData refs;
    FillRefs(refs);
    struct Case {
        std::array<qint32, 4> codes;
        std::array<qint32, 4> linked;
        bool erroneous;
        const char* description;
        const char* logLine;
    } cases[] = {
        {{-1, -1, -1, -1}, {-1, -1, -1, -1}, false, "Все площадки - Все типы бумаг", nullptr},
        {{1, 10, 0, -1}, {1, 10, 0, -1}, false, "ФБ - Акции - Акции обыкновенные", nullptr},
        {{2, -1, 5, -1}, {2, -1, 5, -1}, false, "СР - Фьючерсы", nullptr},
        {{1, 10, 2, 7}, {1, 10, 2, 7}, false, "ФБ - Газ", nullptr},
        {{-1, -1, -1, 30}, {-1, -1, -1, 30}, false, "Все площадки - Si", nullptr},
        {{9, -1, -1, -1}, {-1, -1, -1, -1}, true, "!!!Ошибочные данные", "TsObj ID=9"},
        {{1, 99, -1, -1}, {1, -1, -1, -1}, true, "!!!Ошибочные данные", "BoardObj ID=99"},
        {{1, -1, 4, -1}, {1, -1, -1, -1}, true, "!!!Ошибочные данные", "BumTypeObj ID=4"},
        {{1, -1, -1, 999}, {1, -1, -1, -1}, true, "!!!Ошибочные данные", "BumObj ID=999"},
    };
    for (const Case& c : cases) {
        TAreaItem item;
        item.TsId = c.codes[0];
        item.BoardId = c.codes[1];
        item.BumTypeId = c.codes[2];
        item.BumId = c.codes[3];
        LinkAreaItem(item, refs);
        const std::array<qint32, 4> linked{item.TsId, item.BoardId, item.BumTypeId, item.BumId};
        EXPECT_EQ(linked, c.linked) << c.description;
        EXPECT_EQ(item.Erroneous, c.erroneous) << c.description;
        EXPECT_EQ(item.Name, U(c.description));
        if (c.logLine) {
            EXPECT_EQ(log.Texts().last(),
                      U("ОШИБКА!FormTaxMain.LinkAreaItem. Не найден объект ") + U(c.logLine));
        }
    }
}

TEST(TaxLinking, LinkingATariffDropsErroneousItemsAndKeepsItsTexts) {
    ScopedLog log;
    TReferenceData refs;
    FillRefs(refs);
    TTaxTarif tarif;
    tarif.AreaOfWork = QStringLiteral("1;10;-1;-1;1;99;-1;-1;2;-1;-1;-1;");
    tarif.AreaOfVolExclude = QStringLiteral("7;-1;-1;-1;");
    tarif.ParseAreas();
    LinkTarif(tarif, refs);
    ASSERT_EQ(tarif.WorkInclude.size(), 2u);
    EXPECT_EQ(tarif.WorkInclude[0]->Name, U("ФБ - Акции - Все типы бумаг"));
    EXPECT_EQ(tarif.WorkInclude[1]->Owner, &tarif);
    EXPECT_TRUE(tarif.VolExclude.empty());
    EXPECT_EQ(tarif.AreaOfWork, QStringLiteral("1;10;-1;-1;1;99;-1;-1;2;-1;-1;-1;"));
    EXPECT_EQ(log.Texts().size(), 2);
}

TEST(TaxObjects, CopyTakesTheTextsAndParsingRebuildsTheLists) {
    TTaxTarif source;
    source.Id = 7;
    source.Name = U("Тариф");
    source.Algorithm = 1;
    source.GroupFlag = 2;
    source.TarifSum = 12.5;
    source.AreaOfWork = QStringLiteral("-1;-1;-1;-1;");
    source.Scale = QStringLiteral("0;0;0.05;0;");
    source.ParseAreas();
    source.ParseScale();
    TTaxTarif copy;
    copy.CopyFrom(&source);
    EXPECT_TRUE(copy.WorkInclude.empty());
    EXPECT_TRUE(copy.ScaleItems.empty());
    EXPECT_EQ(copy.Id, 7);
    EXPECT_EQ(copy.GroupFlag, 2);
    EXPECT_EQ(copy.TarifSum, 12.5);
    copy.ParseAreas();
    copy.ParseScale();
    EXPECT_EQ(copy.WorkInclude.size(), 1u);
    EXPECT_EQ(copy.WorkInclude[0]->Owner, &copy);
    EXPECT_EQ(copy.ScaleItems.size(), 1u);
    copy.CopyFrom(nullptr);
    EXPECT_EQ(copy.Name, U("Тариф"));
}

TEST(TaxObjects, NamesOfCodes) {
    struct Case {
        qint32 code;
        const char* tree;
        const char* editor;
        const char* type;
        const char* group;
        const char* suffix;
    } cases[] = {
        {1, "% или сумма от оборота", "% или сумма от оборота", "Брокерская", "НЕ группировать",
         " (Не группировать субклиентов)"},
        {2, "% или сумма от числа бумаг\\контрактов", "% или сумма от числа бумаг\\контрактов",
         "Депозитарная", "Группировать", " (Группировать субклиентов)"},
        {3, "сумма за изменение позиции по ЦБ", "за изменение позиции по ЦБ", "Биржевая", "???",
         ""},
        {4, "комиссии биржевых площадок", "комиссия биржевых площадок", "???", "???", ""},
        {0, "???", "", "???", "???", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AlgorithmTreeName(c.code), U(c.tree));
        EXPECT_EQ(AlgorithmEditorName(c.code), U(c.editor));
        EXPECT_EQ(TarifTypeName(c.code), U(c.type));
        EXPECT_EQ(GroupFlagName(c.code), U(c.group));
        EXPECT_EQ(GroupFlagSuffix(c.code), U(c.suffix));
    }
    QStringList types;
    for (const TBaseSimpleObject* o : TaxStaticObjects())
        types << QStringLiteral("%1:%2").arg(o->Kind).arg(o->Id);
    EXPECT_EQ(types.join(QLatin1Char(' ')),
              QStringLiteral("50:-1 50:0 50:1 50:3 50:2 50:5 50:6 -1:-1"));
    EXPECT_EQ(AllAreasObject()->Name, U("Все площадки"));
}

TEST(TaxObjects, UpdateClientObjectSetsOrClearsPlanAndAccounts) {
    TTaxLists lists;
    auto plan = std::make_unique<TTaxTarifPlan>();
    plan->Id = 2;
    plan->Name = U("План");
    TTaxTarifPlan* planPtr = lists.Plans.Append(std::move(plan));
    auto account = std::make_unique<TTaxAccount>();
    account->Id = 101;
    account->Name = U("Счет 101");
    lists.ClientAccounts.Append(std::move(account));
    struct Case {
        qint32 plan, self, sub;
        TTaxTarifPlan* planObject;
        qint32 selfId, subId;
        const char* selfName;
        const char* subName;
    } cases[] = {
        {2, 101, 101, planPtr, 101, 101, "Счет 101", "Счет 101"},
        {2, 0, 55, planPtr, 0, 55, "<Счет сделки>", ""},
        {9, 101, 0, nullptr, 101, 0, "Счет 101", ""},
        {0, 101, 101, nullptr, 0, 0, "", ""},
    };
    for (const Case& c : cases) {
        TTaxClient client;
        client.SelfAccountName = U("старое");
        lists.UpdateClientObject(client, c.plan, c.self, c.sub);
        EXPECT_EQ(client.PlanId, c.plan);
        EXPECT_EQ(client.Plan, c.planObject);
        EXPECT_EQ(client.SelfAccountId, c.selfId);
        EXPECT_EQ(client.CliAccountId, c.subId);
        EXPECT_EQ(client.SelfAccountName, U(c.selfName)) << c.plan << " " << c.self;
        EXPECT_EQ(client.CliAccountName, U(c.subName));
    }
}

TEST(TaxObjects, CountsOfPlansAndClients) {
    TTaxLists lists;
    TTaxTarif* tarif = lists.Tarifs.Append(std::make_unique<TTaxTarif>());
    for (int id : {1, 2, 3}) {
        auto plan = std::make_unique<TTaxTarifPlan>();
        plan->Id = id;
        if (id != 2)
            plan->Tarifs.push_back(tarif);
        lists.Plans.Append(std::move(plan));
    }
    for (int planId : {1, 1, 3, 0}) {
        auto client = std::make_unique<TTaxClient>();
        client->PlanId = planId;
        lists.Clients.Append(std::move(client));
    }
    EXPECT_EQ(lists.CountPlansHolding(tarif), 2);
    EXPECT_EQ(lists.CountClientsOfPlan(lists.Plans[0]), 2);
    EXPECT_EQ(lists.CountClientsOfPlan(lists.Plans[1]), 0);
    EXPECT_EQ(lists.CountClientsOfPlan(nullptr), 0);
}
