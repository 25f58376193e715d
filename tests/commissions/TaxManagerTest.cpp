// The commission manager against the scripted session: the load chain with its
// requests and log lines, the three trees, sorting, failures and closing.
#include "TaxTestSupport.h"

#include "commissions/TFormTaxMain.h"
#include "commissions/TaxTreeModel.h"
#include "shell/base/WorkstationLocale.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace taxtest;

namespace {

const QChar kNul(0);

// The tree as text: one line per node, two blanks of indent per level, the two
// columns joined by " | ".
QStringList Dump(const TTaxTreeModel& model, const QModelIndex& parent = {}, int depth = 0) {
    QStringList lines;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        lines << QString(depth * 2, QLatin1Char(' ')) + index.data().toString() +
                     QStringLiteral(" | ") + model.index(row, 1, parent).data().toString();
        lines << Dump(model, index, depth + 1);
    }
    return lines;
}

QStringList Lines(std::initializer_list<const char*> lines) {
    QStringList out;
    for (const char* line : lines)
        out << U(line).replace(QLatin1Char('_'), QChar(0x00A0)); // "_": the grouping blank
    return out;
}

// Lines as one readable text for the comparisons.
std::string Text(const QStringList& lines) {
    return lines.join(QLatin1Char('\n')).toStdString();
}

class TaxManager : public ::testing::Test {
protected:
    void SetUp() override {
        FillRefs(refs);
        TReferenceData::SetCurrent(&refs);
        TFormTaxMain::Hooks() = {};
        TFormTaxMain::Hooks().SelfAccountsLoaded = [this](const TTaxLists& lists) {
            hookCalls << QStringLiteral("self:%1").arg(lists.SelfAccounts.Count());
        };
        TFormTaxMain::Hooks().TarifsLoaded = [this] { hookCalls << QStringLiteral("tarifs"); };
        TFormTaxMain::Hooks().Closing = [this] { hookCalls << QStringLiteral("closing"); };
        form = std::make_unique<TFormTaxMain>();
        ses = &hub.Get(QStringLiteral("sesTaxList"));
    }
    void TearDown() override {
        form.reset();
        TFormTaxMain::Hooks() = {};
        TReferenceData::SetCurrent(nullptr);
    }
    void RunChain() {
        for (int query : TFormTaxMain::kChain)
            ses->FeedData(ChainAnswer(query));
        QCoreApplication::sendPostedEvents();
    }

    ScopedLog log;
    ScopedWorkstationLocale locale{WorkstationLocale::Russian()};
    TReferenceData refs;
    ScriptedSessionHub hub;
    QStringList hookCalls;
    std::unique_ptr<TFormTaxMain> form;
    ScriptedSession* ses = nullptr;
};

} // namespace

TEST_F(TaxManager, ChainSendsEachQueryFromThePreviousAnswerAndLogsItsStep) {
    EXPECT_EQ(form->windowTitle(), U("Клиентские комиссии"));
    QStringList pages;
    for (int i = 0; i < form->Pages()->count(); ++i)
        pages << form->Pages()->tabText(i);
    EXPECT_EQ(Text(pages),
              Text(Lines({"Тарифы", "Тарифные планы", "Клиенты  с тарифными планами"})));
    EXPECT_EQ(form->Pages()->currentIndex(), 0);
    ASSERT_NE(form->Button(U("Исключить тариф из тарифного плана")), nullptr);

    for (int query : TFormTaxMain::kChain) {
        ASSERT_EQ(ses->Sent().size(), 1u) << query;
        EXPECT_EQ(ses->Last().name, QStringLiteral("SpisokBB"));
        EXPECT_EQ(ses->Last().params, QStringLiteral("chto=%1").arg(query) + kNul +
                                          QStringLiteral("BackParam=1") + kNul);
        ses->ClearSent();
        EXPECT_FALSE(form->TreesBuilt());
        ses->FeedData(ChainAnswer(query));
    }
    EXPECT_TRUE(ses->Sent().empty());
    EXPECT_FALSE(form->TreesBuilt()); // built from a queued call
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(form->TreesBuilt());

    EXPECT_EQ(Text(log.Texts()),
              Text(Lines({"Читаем список клиентов для взимания комиссий",
                          "Читаем список счетов клиентов для взимания комиссий",
                          "Читаем список собственных счетов для зачисления комиссий",
                          "Читаем список тарифов",
                          "ОШИБКА!FormTaxMain.LinkAreaItem. Не найден объект BoardObj ID=99",
                          "Читаем список тарифых планов", "Читаем список Тарифый план->Тарифы",
                          "Читаем список Тарифый план->Клиенты"})));
    EXPECT_EQ(hookCalls, QStringList({QStringLiteral("self:1"), QStringLiteral("tarifs")}));

    const TTaxLists& lists = form->Lists();
    EXPECT_EQ(lists.ClientAccounts.Find(kKindTaxAccount, 101)->OwnerClient,
              lists.Clients.Find(kKindTaxClient, 1));
    EXPECT_EQ(lists.ClientAccounts.Find(kKindTaxAccount, 301)->OwnerClient, nullptr);
    EXPECT_EQ(lists.Plans.Find(kKindTaxPlan, 1)->Tarifs.size(),
              2u); // duplicates and unknowns skipped
    EXPECT_EQ(lists.Plans.Find(kKindTaxPlan, 2)->Tarifs.size(), 1u);
    form.reset();
    EXPECT_EQ(hookCalls.last(), QStringLiteral("closing"));
}

TEST_F(TaxManager, TreesShowTheObjectsInTheirLayout) {
    RunChain();
    EXPECT_EQ(
        Text(Dump(form->TarifModel())),
        Text(Lines({"Тарифы | ",
                    "  0003  Абонентская | ",
                    "    Тип комиссии | Депозитарная",
                    "    Алгоритм | сумма за изменение позиции по ЦБ (Группировать субклиентов)",
                    "    Счет для зачисления | Счет комиссий",
                    "    Сумма за изменение позиции | 150,00",
                    "    Изменение позиции субклиентов | Группировать",
                    "    Область действия | ",
                    "      Включая следующие площадки\\листинги\\типы бумаг\\бумаги | ",
                    "        Все площадки - Все типы бумаг | ",
                    "      Исключая следующие площадки\\листинги\\типы бумаг\\бумаги | ",
                    "  0007  Бирж. оборот | ",
                    "    Тип комиссии | Брокерская",
                    "    Алгоритм | % или сумма от оборота",
                    "    Счет для зачисления | Счет комиссий",
                    "    Область действия | ",
                    "      Включая следующие площадки\\листинги\\типы бумаг\\бумаги | ",
                    "        ФБ - Акции - Все типы бумаг | ",
                    "      Исключая следующие площадки\\листинги\\типы бумаг\\бумаги | ",
                    "        ФБ - Газ | ",
                    "    Метод вычисления объема | ",
                    "      Включая следующие площадки\\листинги\\типы бумаг\\бумаги | ",
                    "        ФБ - Все типы бумаг | ",
                    "      Исключая следующие площадки\\листинги\\типы бумаг\\бумаги | ",
                    "    Шкала | ",
                    "      от 0 | 0,0500%",
                    "      от 1_000_000 | 1_500,50",
                    "  0004  Биржевые сборы | ",
                    "    Тип комиссии | Биржевая",
                    "    Алгоритм | комиссии биржевых площадок",
                    "    Счет для зачисления | Счет комиссий",
                    "  0012  Срочный | ",
                    "    Тип комиссии | Биржевая",
                    "    Алгоритм | % или сумма от числа бумаг\\контрактов",
                    "    Счет для зачисления | ???",
                    "    Область действия | ",
                    "      Включая следующие площадки\\листинги\\типы бумаг\\бумаги | ",
                    "        СР - Все типы бумаг | ",
                    "      Исключая следующие площадки\\листинги\\типы бумаг\\бумаги | ",
                    "    Метод вычисления объема | ",
                    "      Включая следующие площадки\\листинги\\типы бумаг\\бумаги | ",
                    "        СР - Все типы бумаг | ",
                    "      Исключая следующие площадки\\листинги\\типы бумаг\\бумаги | ",
                    "    Шкала | ",
                    "      от 0 | 2,0000   руб. за контракт",
                    "      от 100 | 50,00"})));
    EXPECT_EQ(Text(Dump(form->PlanModel())),
              Text(Lines({"Тарифные планы | ", "  Активный | ",
                          "    12  Срочный | Тип комиссии: Биржевая", "  Стандарт | ",
                          "    7  Бирж. оборот | Тип комиссии: Брокерская",
                          "    3  Абонентская | Тип комиссии: Депозитарная"})));
    // The own-deal line starts with a Latin "C"; "Zeta" sorts before Cyrillic names.
    EXPECT_EQ(Text(Dump(form->ClientModel())),
              Text(Lines({"Подчиненные клиенты | ", "  Zeta | ",
                          "    Cобственные сделки. Счет для списания комиссии | ",
                          "    Сделки субклиентов. Счет для списания комиссии | ",
                          "  Альфа | Тарифный план: Стандарт",
                          "    Cобственные сделки. Счет для списания комиссии | <Счет сделки>",
                          "    Сделки субклиентов. Счет для списания комиссии | Альфа-2",
                          "  Бета | Тарифный план: Активный",
                          "    Cобственные сделки. Счет для списания комиссии | Бета-1",
                          "    Сделки субклиентов. Счет для списания комиссии | Бета-1",
                          "  Гамма | ", "    Cобственные сделки. Счет для списания комиссии | ",
                          "    Сделки субклиентов. Счет для списания комиссии | "})));
    // Texts come from the objects when asked for.
    ASSERT_NE(form->Lists().Tarifs.Find(kKindTaxTarif, 4), nullptr);
    form->Lists().Tarifs.Find(kKindTaxTarif, 4)->TarifType = 1;
    EXPECT_TRUE(Dump(form->TarifModel()).contains(U("    Тип комиссии | Брокерская")));
    EXPECT_TRUE(Dump(form->TarifModel()).contains(U("  0004  Биржевые сборы | ")));
}

TEST_F(TaxManager, HeaderClicksFlipTheOrderOfTheFirstRootsChildren) {
    RunChain();
    auto topTexts = [](const TTaxTreeModel& model) {
        QStringList texts;
        const QModelIndex top = model.index(0, 0);
        for (int row = 0; row < model.rowCount(top); ++row)
            texts << model.index(row, 0, top).data().toString();
        return texts;
    };
    // The first click sorts ascending (already so), the second descending.
    form->SortTree(form->vtClient(), 0);
    EXPECT_EQ(Text(topTexts(form->ClientModel())), Text(Lines({"Zeta", "Альфа", "Бета", "Гамма"})));
    form->SortTree(form->vtClient(), 0);
    EXPECT_EQ(Text(topTexts(form->ClientModel())), Text(Lines({"Гамма", "Бета", "Альфа", "Zeta"})));
    // By the second column, ascending again; equal texts keep their order.
    form->SortTree(form->vtClient(), 1);
    EXPECT_EQ(Text(topTexts(form->ClientModel())), Text(Lines({"Гамма", "Zeta", "Бета", "Альфа"})));
    // The tariff tree compares names whatever the column.
    form->SortTree(form->vtTarif(), 1);
    form->SortTree(form->vtTarif(), 1);
    EXPECT_EQ(Text(topTexts(form->TarifModel())),
              Text(Lines({"0012  Срочный", "0004  Биржевые сборы", "0007  Бирж. оборот",
                          "0003  Абонентская"})));
}

TEST_F(TaxManager, ColumnsShareTheTreeWidth) {
    RunChain();
    form->resize(800, 500);
    form->show();
    QCoreApplication::processEvents();
    QTreeView* tree = form->vtTarif();
    EXPECT_NEAR(tree->columnWidth(0), tree->viewport()->width() / 2, 1);
    tree->header()->resizeSection(0, 100);
    EXPECT_EQ(tree->columnWidth(1), tree->viewport()->width() - 100);
    // A page first shown after the window was resized splits its width too.
    form->resize(1000, 500);
    form->Pages()->setCurrentIndex(2);
    QCoreApplication::processEvents();
    QTreeView* clients = form->vtClient();
    EXPECT_NEAR(clients->columnWidth(0), clients->viewport()->width() / 2, 1);
}

TEST_F(TaxManager, AMalformedTariffStopsTheChainAndTheWindowStillCloses) {
    for (int query : {754, 755, 756})
        ses->FeedData(ChainAnswer(query));
    ses->ClearSent();
    ses->FeedData(ChainAnswer(750, QStringLiteral("0;0;x;0;")));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(ses->Sent().empty());
    EXPECT_FALSE(form->TreesBuilt());
    EXPECT_TRUE(log.Texts().last().startsWith(
        U("ОШИБКА. Чтение данных для интерфейса взимания комиссий. query=\"750\" msg=")))
        << log.Texts().last().toStdString();
    EXPECT_EQ(form->Lists().Tarifs.Count(), 1); // what was read before the failure stays
    form.reset();
    EXPECT_EQ(hub.Find(QStringLiteral("sesTaxList")), nullptr);
}

TEST_F(TaxManager, AMissingGroupingFlagReadsAsOne) {
    for (int query : {754, 755, 756})
        ses->FeedData(ChainAnswer(query));
    ses->FeedData(AnswerBuilder()
                      .Metadata(QStringLiteral("SpisokBB.750"))
                      .Int("TARIF_ID")
                      .Int("ALGORITM")
                      .Text("TARIF_NAME")
                      .Row({5, 3, "Без признака"})
                      .Param(QStringLiteral("chto"), QStringLiteral("750"))
                      .Build());
    ASSERT_EQ(form->Lists().Tarifs.Count(), 1);
    EXPECT_EQ(form->Lists().Tarifs[0]->GroupFlag, 1);
    EXPECT_EQ(ses->Last().Param(QStringLiteral("chto")), QStringLiteral("751"));
}
