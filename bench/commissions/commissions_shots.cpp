// Pictures of the commission windows for a look by eye: the manager's three pages
// with a tariff of each algorithm, the area dialog, the scale line dialog in both
// modes and the two plan dialogs. Writes PNG files into the folder given first.
#include "commissions/TFormTaxAddArea.h"
#include "commissions/TFormTaxAddPlan2Client.h"
#include "commissions/TFormTaxAddScalaLine.h"
#include "commissions/TFormTaxAddTarif.h"
#include "commissions/TFormTaxAddTarif2Plan.h"
#include "commissions/TFormTaxMain.h"
#include "grids/NodeOps.h"
#include "grids/TComboBoxIndexed.h"
#include "grids/TtsvTreeView.h"
#include "shell/base/Log.h"
#include "shell/base/WorkstationLocale.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidgetItemIterator>

#include <cstdio>

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

void FillRefs(TReferenceData& refs) {
    const char* systems[] = {"Фондовая биржа", "Срочный рынок", "Валютный рынок"};
    for (int ts = 1; ts <= 3; ++ts) {
        auto o = std::make_unique<TTSObj>();
        o->Id = ts;
        o->Name = U(systems[ts - 1]);
        refs.AddTradingSystem(std::move(o));
    }
    const struct {
        int id, ts;
        const char *code, *name;
    } boards[] = {{1, 1, "EQS1", "Акции. Основной режим"},
                  {3, 1, "BND1", "Облигации. Основной режим"},
                  {5, 2, "FUT1", "Фьючерсные контракты"},
                  {6, 2, "OPT1", "Опционы"},
                  {7, 3, "CUR1", "Валюта. Расчеты завтра"}};
    for (const auto& b : boards) {
        auto o = std::make_unique<TBoardObj>();
        o->Id = b.id;
        o->TradingSystemId = b.ts;
        o->BoardCode = QString::fromLatin1(b.code);
        o->Name = U(b.name);
        refs.Boards.Append(std::move(o));
    }
    const char* names[] = {"Газпром нефть ао", "Северсталь ао", "Сбербанк ап", "ОФЗ 26238",
                           "Si-12.26",         "RTS-12.26",     "USDRUB_TOM"};
    const char* codes[] = {"EQS1", "EQS1", "EQS1", "BND1", "FUT1", "FUT1", "CUR1"};
    for (int i = 0; i < 7; ++i) {
        auto o = std::make_unique<TBumObj>();
        o->Id = 11 + i * 7;
        o->Name = U(names[i]);
        o->BoardCode = QString::fromLatin1(codes[i]);
        refs.Securities.Append(std::move(o));
    }
}

ScriptedAnswer Answer(int query) {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.%1").arg(query));
    b.Param(QStringLiteral("chto"), QString::number(query));
    switch (query) {
    case 754:
        b.Int("CLI_ID").Text("CLI_NAME");
        b.Row({2, "ООО «Меридиан»"}).Row({3, "Иванов Сергей Петрович"}).Row({4, "АО «Вектор»"});
        break;
    case 755:
        b.Int("ACC_ID").Int("CLI_ID").Text("ACC_NAME");
        b.Row({101, 2, "Меридиан. Фондовый"}).Row({102, 2, "Меридиан. Срочный"});
        b.Row({201, 3, "Иванов. Фондовый"}).Row({301, 4, "Вектор. ИИС"});
        break;
    case 756:
        b.Int("ACC_ID").Int("CLI_ID").Text("ACC_NAME").Row({2, 1, "Счет комиссий брокера"});
        break;
    case 750:
        b.Int("TARIF_ID").Int("ALGORITM").Int("TARIF_TYPE").Int("DEST_ACCOUNT_ID");
        b.Float("TARIF_SUM").Text("TARIF_NAME").Text("AREA_OF_WORK").Text("AREA_OF_VOL");
        b.Text("AREA_OF_WORK_EXCLUDE").Text("AREA_OF_VOL_EXCLUDE").Text("SCALE");
        b.Int("ALGORITM_3_GROUP_SUB_CLIENT");
        b.Row({1, 1, 1, 2, 0.0, "Брокерская: фондовый рынок", "1;-1;-1;-1;", "1;-1;-1;-1;",
               "1;3;2;-1;", "", "0;0;0.05;0;1000000;0;0.03;0;10000000;1;0;5000;", 1});
        b.Row({2, 2, 3, 2, 0.0, "Биржевая: срочный рынок", "2;5;5;-1;", "2;-1;-1;-1;",
               "2;-1;-1;39;", "", "0;0;2;0;100;1;0;150;", 1});
        b.Row({3, 3, 2, 2, 75.5, "Депозитарная: за изменение позиции", "-1;-1;-1;-1;", "",
               "3;-1;-1;-1;", "", "", 2});
        b.Row({4, 4, 3, 2, 0.0, "Комиссии биржевых площадок", "", "", "", "", "", 1});
        break;
    case 751:
        b.Int("TARIF_PLAN_ID").Text("TARIF_PLAN_NAME");
        b.Row({1, "Стандартный"}).Row({2, "Активный трейдер"});
        break;
    case 752:
        b.Int("TARIF_PLAN_ID").Int("TARIF_ID");
        b.Row({1, 1}).Row({1, 3}).Row({1, 4}).Row({2, 2}).Row({2, 4});
        break;
    case 753:
        b.Int("TARIF_PLAN_ID").Int("CLIENT_ID").Int("SOURCE_ACCOUNT_SELF_OPERATION");
        b.Text("NAME_ACCOUNT_SELF_OPERATION").Int("SOURCE_ACCOUNT_CLI_OPERATION");
        b.Text("NAME_ACCOUNT_CLI_OPERATION");
        b.Row({1, 2, 0, "<Счет сделки>", 102, "Меридиан. Срочный"});
        b.Row({2, 3, 201, "Иванов. Фондовый", 201, "Иванов. Фондовый"});
        break;
    }
    return b.Build();
}

void Save(QWidget& w, const QDir& dir, const char* name) {
    w.show();
    QCoreApplication::processEvents();
    const QString path = dir.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    std::printf("%s: %s\n", name, w.grab().save(path) ? qPrintable(path) : "not written");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    QTemporaryDir logDir;
    SetLogFileName(logDir.filePath(QStringLiteral("shots.log")));
    ScopedWorkstationLocale locale(WorkstationLocale::Russian());
    TReferenceData refs;
    FillRefs(refs);
    TReferenceData::SetCurrent(&refs);
    ScriptedSessionHub hub;

    TFormTaxMain manager;
    for (int query : TFormTaxMain::kChain)
        hub.Get(QStringLiteral("sesTaxList")).FeedData(Answer(query));
    QCoreApplication::sendPostedEvents();
    manager.resize(900, 760);
    for (QTreeView* tree : {manager.vtTarif(), manager.vtPlan(), manager.vtClient()})
        tree->expandAll();
    const char* pages[] = {"manager_tariffs", "manager_plans", "manager_clients"};
    for (int page = 0; page < 3; ++page) {
        manager.Pages()->setCurrentIndex(page);
        Save(manager, out, pages[page]);
    }

    TFormTaxAddArea area;
    area.FillTree(refs);
    area.vtBoards()->expandAll();
    area.PrepareShow();
    for (QTreeWidgetItemIterator it(area.vtBoards()); *it; ++it)
        if (NodeTag(*it) == TFormTaxAddArea::kBoard && NodeObject(*it)->Id == 3)
            area.Choose(*it);
    area.cbBumType()->setCurrentIndex(4);
    Save(area, out, "area_dialog");

    TFormTaxAddScalaLine scale;
    scale.SetMode(TFormTaxAddScalaLine::kTurnover);
    scale.SetValues(1000000, 0, 0.035);
    Save(scale, out, "scale_line_turnover");
    scale.SetMode(TFormTaxAddScalaLine::kCount);
    scale.SetValues(100, 150, 0);
    Save(scale, out, "scale_line_count");

    // The tariff editor with each algorithm's tariff loaded, as "Редактировать тариф"
    // shows it.
    TFormTaxAddTarif editor;
    editor.RefillDestAccounts(manager.Lists());
    editor.resize(620, 560);
    for (int id = 1; id <= 4; ++id) {
        editor.Reset();
        editor.LoadTarif(*manager.Lists().Tarifs.Find(kKindTaxTarif, id));
        editor.setWindowTitle(U("Изменить тариф"));
        const QByteArray name = "tariff_editor_algorithm" + QByteArray::number(id);
        Save(editor, out, name.constData());
        if (id == 1) { // the other pages of the first tariff
            for (int page : {TFormTaxAddTarif::kAreaOfWork, TFormTaxAddTarif::kAreaOfVol}) {
                editor.Pages()->setCurrentIndex(page);
                const QByteArray pageName = name + "_page" + QByteArray::number(page);
                Save(editor, out, pageName.constData());
            }
        }
    }
    editor.hide();

    TFormTaxAddTarif2Plan tariffs;
    tariffs.Refresh(manager.Lists());
    Save(tariffs, out, "tariff_choice");

    TFormTaxAddPlan2Client plan;
    plan.Prepare(manager.Lists(), *manager.Lists().Clients.Find(kKindTaxClient, 2));
    Save(plan, out, "plan_assignment");
    plan.cbAcc4SubCli()->showPopup();
    QCoreApplication::processEvents();
    if (QWidget* popup = QApplication::activePopupWidget())
        Save(*popup, out, "plan_assignment_accounts");
    TReferenceData::SetCurrent(nullptr);
    return 0;
}
