// Timed figures of the commission manager and its dialogs at the sizes of the
// "large" demo store (20,000 clients, 50,000 accounts, 1,000 tariffs, 200 plans,
// 15,000 attached clients, 100,000 securities), fed through the scripted session.
// Prints one line per figure.
#include "commissions/TFormTaxAddArea.h"
#include "commissions/TFormTaxAddPlan2Client.h"
#include "commissions/TFormTaxMain.h"
#include "commissions/TTaxCommands.h"
#include "commissions/TaxTreeModel.h"
#include "grids/NodeOps.h"
#include "grids/TtsvTreeView.h"
#include "shell/base/Log.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeWidgetItemIterator>

#include <cstdio>
#include <ctime>

namespace {

constexpr int kClients = 20000;
constexpr int kAccounts = 50000;
constexpr int kTariffs = 1000;
constexpr int kPlans = 200;
constexpr int kAttached = 15000;
constexpr int kSecurities = 100000;

void FillRefs(TReferenceData& refs) {
    for (int ts = 1; ts <= 4; ++ts) {
        auto o = std::make_unique<TTSObj>();
        o->Id = ts;
        o->Name = QStringLiteral("Система %1").arg(ts);
        refs.AddTradingSystem(std::move(o));
        for (int b = 0; b < 2; ++b) {
            auto board = std::make_unique<TBoardObj>();
            board->Id = ts * 10 + b;
            board->Name = QStringLiteral("Секция %1").arg(board->Id);
            board->BoardCode = QStringLiteral("B%1").arg(board->Id);
            board->TradingSystemId = ts;
            refs.Boards.Append(std::move(board));
        }
    }
    for (int i = 1; i <= kSecurities; ++i) {
        auto s = std::make_unique<TBumObj>();
        s->Id = i;
        s->Name = QStringLiteral("Бумага %1").arg(i);
        s->BoardCode = QStringLiteral("B%1").arg((1 + i % 4) * 10 + i % 2);
        refs.Securities.Append(std::move(s));
    }
}

ScriptedAnswer Answer(int query) {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.%1").arg(query));
    b.Param(QStringLiteral("chto"), QString::number(query));
    switch (query) {
    case 754:
        b.Int("CLI_ID").Text("CLI_NAME");
        for (int i = 2; i < 2 + kClients; ++i)
            b.Row({i, QStringLiteral("Клиент %1").arg(i)});
        break;
    case 755:
        b.Int("ACC_ID").Int("CLI_ID").Text("ACC_NAME");
        for (int i = 10; i < 10 + kAccounts; ++i)
            b.Row({i, 2 + i % kClients, QStringLiteral("Счет %1").arg(i)});
        break;
    case 756:
        b.Int("ACC_ID").Int("CLI_ID").Text("ACC_NAME");
        for (int i = 1; i <= 3; ++i)
            b.Row({i, 1, QStringLiteral("Собственный %1").arg(i)});
        break;
    case 750:
        b.Int("TARIF_ID").Int("ALGORITM").Int("TARIF_TYPE").Int("DEST_ACCOUNT_ID");
        b.Float("TARIF_SUM").Text("TARIF_NAME").Text("AREA_OF_WORK").Text("AREA_OF_VOL");
        b.Text("AREA_OF_WORK_EXCLUDE").Text("AREA_OF_VOL_EXCLUDE").Text("SCALE");
        b.Int("ALGORITM_3_GROUP_SUB_CLIENT");
        for (int i = 1; i <= kTariffs; ++i) {
            const int algorithm = 1 + i % 4;
            const QString ts = QString::number(1 + i % 4);
            const QString work = algorithm == 4 ? QString() : ts + QStringLiteral(";-1;-1;-1;");
            b.Row({i, algorithm, 1 + i % 3, 1 + i % 3, 10.0, QStringLiteral("Тариф %1").arg(i),
                   work, algorithm <= 2 ? work : QString(),
                   i % 3 ? QString() : ts + QStringLiteral(";-1;2;-1;"), QString(),
                   algorithm <= 2 ? QStringLiteral("0;0;0.05;0;10000;1;0;150;") : QString(),
                   1 + i % 2});
        }
        break;
    case 751:
        b.Int("TARIF_PLAN_ID").Text("TARIF_PLAN_NAME");
        for (int i = 1; i <= kPlans; ++i)
            b.Row({i, QStringLiteral("План %1").arg(i)});
        break;
    case 752:
        b.Int("TARIF_PLAN_ID").Int("TARIF_ID");
        for (int plan = 1; plan <= kPlans; ++plan)
            for (int k = 0; k < 8; ++k)
                b.Row({plan, 1 + (plan * 37 + k * 113) % kTariffs});
        break;
    case 753:
        b.Int("TARIF_PLAN_ID").Int("CLIENT_ID").Int("SOURCE_ACCOUNT_SELF_OPERATION");
        b.Text("NAME_ACCOUNT_SELF_OPERATION").Int("SOURCE_ACCOUNT_CLI_OPERATION");
        b.Text("NAME_ACCOUNT_CLI_OPERATION");
        for (int i = 0; i < kAttached; ++i)
            b.Row({1 + i % kPlans, 2 + i, 0, QStringLiteral("<Счет сделки>"), 10 + i,
                   QStringLiteral("Счет %1").arg(10 + i)});
        break;
    }
    return b.Build();
}

double Ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

// CPU time of this thread: the machine runs other builds beside the benchmark, so
// the wall time says more about them than about us.
double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Answers the last command with its parameters echoed and times the applying.
double TimedAnswer(ScriptedSession& exec, int code, int newId) {
    const SentRequest& sent = exec.Last();
    const QString query = sent.Param(QStringLiteral("chto"));
    AnswerBuilder b;
    b.Metadata(QStringLiteral("ExecQueryBB.") + query).Int("RESULT_CODE").Text("RESULT_MSG");
    b.Int("TARIF_ID_NEW").Row({code, "", newId});
    for (const auto& [key, value] : sent.Params())
        b.Param(key, value);
    const ScriptedAnswer answer = b.Build();
    exec.SetAnswer(answer);
    QElapsedTimer t;
    t.start();
    exec.RaiseData();
    return Ms(t);
}

// Applying an edit's 1901 answer (the tariff sits in several of the 200 plans) and a
// 1907 answer, at the large sizes.
void CommandAnswers(TFormTaxMain& form, ScriptedSession& exec) {
    TTaxCommands::Hooks().EditTarif = [](const TTaxLists&, const TTaxTarif* existing) {
        auto tarif = std::make_unique<TTaxTarif>();
        tarif->CopyFrom(existing);
        tarif->ParseAreas();
        tarif->ParseScale();
        return tarif;
    };
    TTaxCommands::Hooks().AssignPlan = [](const TTaxLists&, const TTaxClient& client,
                                          TTaxClient& result) {
        result = client;
        result.PlanId = 7;
        return true;
    };
    const TTaxTarif* held = form.Lists().Plans[0]->Tarifs.front();
    const qint32 id = held->Id;
    form.Commands().EditTarif(form.TarifModel().FindNode(taxnode::Tarif, kKindTaxTarif, id));
    const double edit = TimedAnswer(exec, 0, id);
    form.Commands().AttachClient(
        form.ClientModel().FindNode(taxnode::Client, kKindTaxClient, 2 + kClients - 1));
    const double attach = TimedAnswer(exec, 0, 0);
    std::printf("command answers: an edit's 1901 (tariff in %d plans) %.2f ms, 1907 %.2f ms "
                "(target 20)\n",
                form.Lists().CountPlansHolding(form.Lists().Tarifs.Find(kKindTaxTarif, id)), edit,
                attach);
    TTaxCommands::Hooks() = {};
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SetLogFileName(dir.filePath(QStringLiteral("bench.log")));
    TReferenceData refs;
    FillRefs(refs);
    TReferenceData::SetCurrent(&refs);
    ScriptedSessionHub hub;

    std::vector<ScriptedAnswer> answers;
    for (int query : TFormTaxMain::kChain)
        answers.push_back(Answer(query));

    double chainBest = 1e9, treesBest = 1e9, chainCpuBest = 1e9, treesCpuBest = 1e9;
    for (int run = 0; run < 3; ++run) {
        auto form = std::make_unique<TFormTaxMain>();
        ScriptedSession& ses = hub.Get(QStringLiteral("sesTaxList"));
        QElapsedTimer chain;
        chain.start();
        const double chainCpu = CpuMs();
        for (const ScriptedAnswer& answer : answers)
            ses.FeedData(answer);
        QElapsedTimer trees;
        trees.start();
        const double treesCpu = CpuMs();
        QCoreApplication::sendPostedEvents();
        const double treesMs = Ms(trees);
        const double chainMs = Ms(chain);
        chainCpuBest = std::min(chainCpuBest, CpuMs() - chainCpu);
        treesCpuBest = std::min(treesCpuBest, CpuMs() - treesCpu);
        if (!form->TreesBuilt()) {
            std::printf("chain did not finish\n");
            return 1;
        }
        chainBest = std::min(chainBest, chainMs);
        treesBest = std::min(treesBest, treesMs);
        if (run == 2) {
            TFormTaxAddPlan2Client dialog;
            const TTaxClient& client = *form->Lists().Clients[100];
            double openBest = 1e9, openCpuBest = 1e9;
            for (int k = 0; k < 5; ++k) {
                QElapsedTimer open;
                open.start();
                const double cpu = CpuMs();
                dialog.Prepare(form->Lists(), client);
                dialog.show();
                QCoreApplication::processEvents();
                openBest = std::min(openBest, Ms(open));
                openCpuBest = std::min(openCpuBest, CpuMs() - cpu);
                dialog.hide();
            }
            std::printf("plan assignment dialog, open (50,000 accounts): wall %.1f ms, cpu %.1f "
                        "ms (target 50)\n",
                        openBest, openCpuBest);
            CommandAnswers(*form, hub.Get(QStringLiteral("sesTarifExec")));
        }
    }
    std::printf("commission chain, first answer to built trees: wall %.1f ms, cpu %.1f ms "
                "(target 1500)\n",
                chainBest, chainCpuBest);
    std::printf("  of which building and sorting the trees: wall %.1f ms, cpu %.1f ms (target "
                "300)\n",
                treesBest, treesCpuBest);

    TFormTaxAddArea area;
    double fillBest = 1e9, fillCpuBest = 1e9;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer fill;
        fill.start();
        const double cpu = CpuMs();
        area.FillTree(refs);
        fillBest = std::min(fillBest, Ms(fill));
        fillCpuBest = std::min(fillCpuBest, CpuMs() - cpu);
    }
    std::printf("area tree, %d securities: wall %.1f ms, cpu %.1f ms (target 500)\n", kSecurities,
                fillBest, fillCpuBest);
    area.PrepareShow();
    std::vector<QTreeWidgetItem*> picks;
    for (QTreeWidgetItemIterator it(area.vtBoards()); *it; ++it)
        if (NodeTag(*it) == TFormTaxAddArea::kSecurity && picks.size() < 200)
            picks.push_back(*it);
    QElapsedTimer choose;
    choose.start();
    for (QTreeWidgetItem* node : picks)
        area.Choose(node);
    std::printf("area tree, one radio choice: %.3f ms (target 10)\n",
                Ms(choose) / double(picks.size()));
    TReferenceData::SetCurrent(nullptr);
    return 0;
}
