// The commission manager against the real session server with the demo store: the
// chain loads in order with its log lines, and the trees hold the demo's tariffs,
// plans and attached clients; a second menu command keeps the one window.
#include "TaxTestSupport.h"

#include "commissions/TFormTaxMain.h"
#include "commissions/TaxTreeModel.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

#include <gtest/gtest.h>

using namespace taxtest;
using realserver::WaitUntil;

namespace {

// Every text of a tree, depth first.
void Collect(const TTaxTreeModel& model, const QModelIndex& parent, QStringList& out) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        out << index.data().toString() + QStringLiteral(" | ") +
                   model.index(row, 1, parent).data().toString();
        Collect(model, index, out);
    }
}

int TopChildren(const TTaxTreeModel& model) {
    return model.rowCount(model.index(0, 0));
}

} // namespace

using CommissionsEndToEnd = realserver::EndToEndTest;

TEST_F(CommissionsEndToEnd, DemoLoadsThroughTheChainIntoThreeTrees) {
    TFormTaxMain::Register();
    {
        TMainForm form;
        ScopedLog log; // after the main window, which names its own log
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 60000));
        auto* manager = qobject_cast<TFormTaxMain*>(form.OpenWindow(WindowCommand::Commissions));
        ASSERT_NE(manager, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return manager->TreesBuilt(); }, 30000));
        EXPECT_EQ(form.OpenWindow(WindowCommand::Commissions), manager);

        QStringList steps;
        for (const QString& line : log.Texts())
            if (line.startsWith(U("Читаем список")) || line.contains(U("ОШИБКА")))
                steps << line;
        EXPECT_EQ(steps.join(QLatin1Char('\n')).toStdString(),
                  U("Читаем список клиентов для взимания комиссий\n"
                    "Читаем список счетов клиентов для взимания комиссий\n"
                    "Читаем список собственных счетов для зачисления комиссий\n"
                    "Читаем список тарифов\n"
                    "Читаем список тарифых планов\n"
                    "Читаем список Тарифый план->Тарифы\n"
                    "Читаем список Тарифый план->Клиенты")
                      .toStdString());

        const TTaxLists& lists = manager->Lists();
        EXPECT_EQ(TopChildren(manager->TarifModel()), lists.Tarifs.Count());
        EXPECT_GE(lists.Tarifs.Count(), 12);
        EXPECT_EQ(TopChildren(manager->PlanModel()), 4);
        EXPECT_EQ(TopChildren(manager->ClientModel()), lists.Clients.Count());
        int attached = 0;
        for (const TTaxClient* client : lists.Clients)
            attached += client->Plan ? 1 : 0;
        EXPECT_GE(attached, 30);
        EXPECT_GT(lists.SelfAccounts.Count(), 0);

        QStringList texts;
        Collect(manager->TarifModel(), {}, texts);
        Collect(manager->PlanModel(), {}, texts);
        Collect(manager->ClientModel(), {}, texts);
        const QString all = texts.join(QLatin1Char('\n'));
        EXPECT_FALSE(all.contains(QStringLiteral("???")));
        EXPECT_FALSE(all.contains(U("!!!Ошибочные данные")));
        for (const char* expected :
             {"Алгоритм | % или сумма от оборота", "Алгоритм | комиссии биржевых площадок",
              "Алгоритм | % или сумма от числа бумаг\\контрактов",
              "Алгоритм | сумма за изменение позиции по ЦБ (Группировать субклиентов)",
              "Cобственные сделки. Счет для списания комиссии | <Счет сделки>",
              "Тип комиссии | Депозитарная", "Тип комиссии: Биржевая"})
            EXPECT_TRUE(all.contains(U(expected))) << expected;
        manager->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
