// The commission manager's commands against the scripted session: what each sends,
// what it asks, and how each answer changes the lists and trees.
#include "TaxTestSupport.h"

#include "commissions/TFormTaxMain.h"
#include "commissions/TTaxCommands.h"
#include "commissions/TaxTreeModel.h"
#include "shell/base/Services.h"

#include <QCoreApplication>
#include <QToolButton>

#include <gtest/gtest.h>

#include <deque>

using namespace taxtest;

namespace {

class QueuedBoxes : public IMessageBoxService {
public:
    int Show(QWidget*, const QString& text, const QString&, MsgKind, int, bool) override {
        texts << text;
        if (answers.empty())
            return MsgCancel;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QStringList texts;
    std::deque<int> answers;
};

class FixedInput : public IInputBoxService {
public:
    bool Ask(QWidget*, const QString& caption, const QString& prompt, QString& value) override {
        asked << caption + QLatin1Char('/') + prompt + QLatin1Char('/') + value;
        value = typed;
        return true;
    }
    QStringList asked;
    QString typed;
};

QString Alt(std::initializer_list<const char*> pieces) {
    QString text;
    for (const char* p : pieces)
        text += U(p) + QChar(0);
    return text;
}

class TaxCommands : public ::testing::Test {
protected:
    void SetUp() override {
        FillRefs(refs);
        TReferenceData::SetCurrent(&refs);
        Services::SetMessageBox(boxes);
        Services::SetInputBox(input);
        TTaxCommands::Hooks() = {};
        TTaxCommands::Hooks().PostError = [this](const QString& text) { errors << text; };
        TTaxCommands::Hooks().ChooseTarif = [](const TTaxLists& lists) {
            return lists.Tarifs.Find(kKindTaxTarif, 4);
        };
        TTaxCommands::Hooks().AssignPlan = [](const TTaxLists&, const TTaxClient& client,
                                              TTaxClient& result) {
            result = client;
            result.PlanId = 2;
            result.SelfAccountId = 0;
            result.CliAccountId = 201;
            return true;
        };
        TTaxCommands::Hooks().EditTarif = [](const TTaxLists&, const TTaxTarif* existing) {
            auto tarif = std::make_unique<TTaxTarif>();
            tarif->CopyFrom(existing);
            tarif->Algorithm = 4;
            tarif->TarifType = 3;
            tarif->DestAccountId = 5;
            tarif->TarifSum = 0.5;
            tarif->AreaOfWork = QStringLiteral("1;-1;-1;-1;");
            tarif->AreaOfVolExclude = QStringLiteral("2;-1;-1;-1;");
            tarif->Name = existing ? existing->Name + U(" (изм.)") : QString();
            tarif->ParseAreas();
            return tarif;
        };
        form = std::make_unique<TFormTaxMain>();
        ScriptedSession& list = hub.Get(QStringLiteral("sesTaxList"));
        for (int query : TFormTaxMain::kChain)
            list.FeedData(ChainAnswer(query));
        QCoreApplication::sendPostedEvents();
        exec = &hub.Get(QStringLiteral("sesTarifExec"));
    }
    void TearDown() override {
        form.reset();
        TTaxCommands::Hooks() = {};
        Services::SetMessageBox(nullptr);
        Services::SetInputBox(nullptr);
        TReferenceData::SetCurrent(nullptr);
    }
    TTaxCommands& Cmd() { return form->Commands(); }
    const TTaxNode* Node(const TTaxTreeModel& model, int kind, qint32 objectKind, qint32 id) {
        return model.FindNode(kind, objectKind, id);
    }
    const TTaxNode* PlanTarifNode(qint32 plan, qint32 tarif) {
        return TTaxTreeModel::FindChild(
            form->PlanModel().FindNode(taxnode::Plan, kKindTaxPlan, plan), taxnode::PlanTarif,
            kKindTaxTarif, tarif);
    }
    // Answers the last request with its parameters echoed.
    void Answer(int code, const char* message = "", int newId = 0) {
        const SentRequest& sent = exec->Last();
        const QString query = sent.Param(QStringLiteral("chto"));
        AnswerBuilder b;
        b.Metadata(QStringLiteral("ExecQueryBB.") + query).Int("RESULT_CODE").Text("RESULT_MSG");
        if (query == QLatin1String("1901"))
            b.Int("TARIF_ID_NEW");
        if (query == QLatin1String("1903"))
            b.Int("TARIF_PLAN_ID_NEW");
        if (query == QLatin1String("1901") || query == QLatin1String("1903"))
            b.Row({code, message, newId});
        else
            b.Row({code, message});
        for (const auto& [key, value] : sent.Params())
            b.Param(key, value);
        exec->FeedData(b.Build());
    }
    std::vector<qint32> PlanTarifIds(qint32 plan) {
        std::vector<qint32> ids;
        for (const TTaxTarif* t : form->Lists().Plans.Find(kKindTaxPlan, plan)->Tarifs)
            ids.push_back(t->Id);
        return ids;
    }

    ScopedLog log;
    TReferenceData refs;
    ScriptedSessionHub hub;
    std::shared_ptr<QueuedBoxes> boxes = std::make_shared<QueuedBoxes>();
    std::shared_ptr<FixedInput> input = std::make_shared<FixedInput>();
    QStringList errors;
    std::unique_ptr<TFormTaxMain> form;
    ScriptedSession* exec = nullptr;
};

} // namespace

TEST_F(TaxCommands, EachCommandSendsItsParametersInOrder) {
    struct Case {
        const char* what;
        std::function<void()> run;
        std::vector<int> answers;
        bool pairForm;
        QString params;
        QStringList questions;
    };
    const auto& tarifs = form->TarifModel();
    const auto& clients = form->ClientModel();
    const auto& plans = form->PlanModel();
    const Case cases[] = {
        {"delete tariff",
         [&] { Cmd().DeleteTarif(Node(tarifs, taxnode::Scale, kKindTaxTarif, 7)); },
         {MsgOk, MsgNo},
         true,
         Alt({"chto=1902", "BackParam=1", "param0=7"}),
         {U("Удалить тариф \"Бирж. оборот\"?"),
          U("Тариф \"Бирж. оборот\" используется в 1 тарифных планах! Прервать операцию "
            "удаления?")}},
        {"new plan",
         [&] { Cmd().NewPlan(); },
         {},
         false,
         Alt({"chto", "1903", "param0", "0", "param1", "Мой тарифный план", "BackParam", "1",
              "ShowResult", "NO"}),
         {}},
        {"rename plan",
         [&] { Cmd().EditPlan(PlanTarifNode(2, 12)); },
         {},
         false,
         Alt({"chto", "1903", "param0", "2", "param1", "Мой тарифный план", "BackParam", "1",
              "ShowResult", "NO"}),
         {}},
        {"delete plan",
         [&] { Cmd().DeletePlan(Node(plans, taxnode::Plan, kKindTaxPlan, 2)); },
         {MsgOk, MsgNo},
         false,
         Alt({"chto", "1904", "param0", "2", "BackParam", "1", "ShowResult", "NO"}),
         {U("Удалить тарифный план \"Активный\" ?"),
          U("Этот тарифный план используется для 1 клиентов! Прервать операцию удаления?")}},
        {"tariff into plan",
         [&] { Cmd().AddTarifToPlan(Node(plans, taxnode::Plan, kKindTaxPlan, 2)); },
         {},
         false,
         Alt({"chto", "1905", "param0", "4", "param1", "2", "BackParam", "1", "ShowResult", "NO"}),
         {}},
        {"tariff out of plan",
         [&] { Cmd().DelTarifFromPlan(PlanTarifNode(2, 12)); },
         {MsgOk},
         false,
         Alt({"chto", "1906", "param0", "12", "param1", "2", "BackParam", "1", "ShowResult", "NO"}),
         {U("Удалить тариф \"Срочный\" из тарифного плана \"Активный\" ?")}},
        {"attach client",
         [&] { Cmd().AttachClient(Node(clients, taxnode::ClientSubAccount, kKindTaxClient, 2)); },
         {},
         false,
         Alt({"chto", "1907", "param0", "2", "param1", "2", "param2", "0", "param3", "201",
              "BackParam", "1", "ShowResult", "NO"}),
         {}},
        {"detach client",
         [&] { Cmd().DetachClient(Node(clients, taxnode::Client, kKindTaxClient, 1)); },
         {MsgOk},
         false,
         Alt({"chto", "1908", "param0", "1", "param1", "1", "param2", "0", "param3", "102",
              "BackParam", "1", "ShowResult", "NO"}),
         {U("Отключить клиента \"Альфа\" от тарифного плана \"Стандарт\"?")}},
        {"edit tariff",
         [&] { Cmd().EditTarif(Node(tarifs, taxnode::Scale, kKindTaxTarif, 7)); },
         {},
         false,
         Alt({"chto",          "1901",
              "param0",        "7",
              "param1",        "4",
              "param2",        "3",
              "param3",        "5",
              "param4",        "0.5",
              "param5",        "1;-1;-1;-1;",
              "param6",        "1;-1;-1;-1;",
              "param7",        "1;10;-1;7;",
              "param8",        "2;-1;-1;-1;",
              "param9",        "0;0;0.05;0;1000000;1;0;1500.5;",
              "param10",       "Бирж. оборот (изм.)",
              "param11",       "1",
              "BackParam",     "1",
              "ShowResult",    "NO",
              "LoopBackCount", "1",
              "LoopBack0"}),
         {}},
    };
    input->typed = QStringLiteral("   ");
    for (const Case& c : cases) {
        exec->ClearSent();
        boxes->texts.clear();
        boxes->answers.assign(c.answers.begin(), c.answers.end());
        c.run();
        ASSERT_EQ(exec->Sent().size(), 1u) << c.what;
        EXPECT_EQ(exec->Last().name, QStringLiteral("ExecQueryBB")) << c.what;
        EXPECT_EQ(exec->Last().command, !c.pairForm) << c.what;
        EXPECT_TRUE(exec->Last().params.startsWith(c.params))
            << c.what << "\n"
            << QString(exec->Last().params).replace(QChar(0), u'|').toStdString();
        EXPECT_EQ(boxes->texts, c.questions) << c.what;
    }
    // The token is a serial number.
    EXPECT_EQ(exec->Last().Param(QStringLiteral("LoopBack0")),
              QString::number(Cmd().PendingToken()));
}

TEST_F(TaxCommands, DeletionsStopOnTheSecondQuestionOrWithoutATarget) {
    const auto* node = Node(form->TarifModel(), taxnode::Tarif, kKindTaxTarif, 7);
    boxes->answers = {MsgOk, MsgYes}; // Yes abandons
    Cmd().DeleteTarif(node);
    boxes->answers = {MsgCancel};
    Cmd().DeleteTarif(node);
    Cmd().DeleteTarif(Node(form->TarifModel(), taxnode::DestAccount, kKindTaxTarif, 7));
    Cmd().DetachClient(Node(form->ClientModel(), taxnode::Client, kKindTaxClient, 3)); // no plan
    Cmd().EditPlan(nullptr);
    EXPECT_TRUE(exec->Sent().empty());
}

TEST_F(TaxCommands, APendingTariffBlocksTheTariffButtonsUntilItsAnswer) {
    Cmd().NewTarif();
    ASSERT_TRUE(Cmd().HasPending());
    const quint64 first = Cmd().PendingToken();
    exec->ClearSent();
    boxes->answers = {MsgOk};
    Cmd().NewTarif();
    Cmd().EditTarif(Node(form->TarifModel(), taxnode::Tarif, kKindTaxTarif, 7));
    Cmd().DeleteTarif(Node(form->TarifModel(), taxnode::Tarif, kKindTaxTarif, 4));
    EXPECT_TRUE(exec->Sent().empty());
    EXPECT_TRUE(boxes->texts.isEmpty());

    // A refusal frees them (and shows its message, deferred).
    Cmd().NewTarif(); // still pending: nothing
    exec->FeedData(AnswerBuilder()
                       .Metadata(QStringLiteral("ExecQueryBB.1901"))
                       .Int("RESULT_CODE")
                       .Text("RESULT_MSG")
                       .Row({-3, "Процент больше 100"})
                       .Param(QStringLiteral("chto"), QStringLiteral("1901"))
                       .Param(QStringLiteral("LoopBack0"), QString::number(first))
                       .Build());
    EXPECT_FALSE(Cmd().HasPending());
    EXPECT_EQ(errors, QStringList({U("Процент больше 100")}));
    const int tarifs = form->Lists().Tarifs.Count();
    // A foreign token clears the pending tariff and changes nothing.
    Cmd().NewTarif();
    exec->FeedData(AnswerBuilder()
                       .Metadata(QStringLiteral("ExecQueryBB.1901"))
                       .Int("RESULT_CODE")
                       .Text("RESULT_MSG")
                       .Int("TARIF_ID_NEW")
                       .Row({0, "", 99})
                       .Param(QStringLiteral("chto"), QStringLiteral("1901"))
                       .Param(QStringLiteral("LoopBack0"), QString::number(first))
                       .Build());
    EXPECT_FALSE(Cmd().HasPending());
    EXPECT_EQ(form->Lists().Tarifs.Count(), tarifs);
    // So does an answer without an id, which is logged.
    Cmd().NewTarif();
    Answer(0, "", 0);
    EXPECT_FALSE(Cmd().HasPending());
    EXPECT_EQ(log.Texts().last(), U("EXCEPTION sesTarifExecData! qrsTaxAddTarif TARIF_ID_NEW=0"));
    EXPECT_EQ(form->Lists().Tarifs.Count(), tarifs);
}

TEST_F(TaxCommands, ConfirmedTariffChangesReachListsPlansAndTrees) {
    TTaxTreeModel& tarifs = form->TarifModel();
    // A new tariff with a blank name.
    Cmd().NewTarif();
    Answer(0, "", 20);
    const TTaxTarif* added = form->Lists().Tarifs.Find(kKindTaxTarif, 20);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->Name, U("Тариф 20"));
    EXPECT_NE(tarifs.FindNode(taxnode::Tarif, kKindTaxTarif, 20), nullptr);
    // An edit of a tariff held by plan 2: the plan and its node hold the new object.
    const TTaxTarif* old = form->Lists().Tarifs.Find(kKindTaxTarif, 12);
    Cmd().EditTarif(tarifs.FindNode(taxnode::Tarif, kKindTaxTarif, 12));
    Answer(0, "", 12);
    const TTaxTarif* edited = form->Lists().Tarifs.Find(kKindTaxTarif, 12);
    ASSERT_NE(edited, nullptr);
    EXPECT_NE(edited, old);
    EXPECT_EQ(edited->Name, U("Срочный (изм.)"));
    EXPECT_EQ(form->Lists().Plans.Find(kKindTaxPlan, 2)->Tarifs.front(), edited);
    EXPECT_EQ(PlanTarifNode(2, 12)->Object, edited);
    EXPECT_EQ(tarifs.FindNode(taxnode::Tarif, kKindTaxTarif, 12)->Object, edited);
    // A deleted tariff leaves plan 1 and the trees.
    boxes->answers = {MsgOk, MsgNo};
    Cmd().DeleteTarif(tarifs.FindNode(taxnode::Tarif, kKindTaxTarif, 7));
    Answer(0);
    EXPECT_EQ(form->Lists().Tarifs.Find(kKindTaxTarif, 7), nullptr);
    EXPECT_EQ(PlanTarifIds(1), std::vector<qint32>({3}));
    EXPECT_EQ(PlanTarifNode(1, 7), nullptr);
    EXPECT_EQ(tarifs.FindNode(taxnode::Tarif, kKindTaxTarif, 7), nullptr);
}

TEST_F(TaxCommands, ConfirmedPlanAndClientChangesReachListsAndTrees) {
    TTaxTreeModel& plans = form->PlanModel();
    input->typed = U("Новый");
    Cmd().NewPlan();
    Answer(0, "", 9);
    ASSERT_NE(plans.FindNode(taxnode::Plan, kKindTaxPlan, 9), nullptr);
    Cmd().EditPlan(plans.FindNode(taxnode::Plan, kKindTaxPlan, 1));
    Answer(0, "", 1);
    EXPECT_EQ(form->Lists().Plans.Find(kKindTaxPlan, 1)->Name, U("Новый"));

    Cmd().AddTarifToPlan(plans.FindNode(taxnode::Plan, kKindTaxPlan, 9));
    Answer(0);
    Cmd().AddTarifToPlan(plans.FindNode(taxnode::Plan, kKindTaxPlan, 9));
    Answer(0); // already there: once only
    EXPECT_EQ(PlanTarifIds(9), std::vector<qint32>({4}));
    EXPECT_NE(PlanTarifNode(9, 4), nullptr);
    boxes->answers = {MsgOk};
    Cmd().DelTarifFromPlan(PlanTarifNode(1, 3));
    Answer(0);
    EXPECT_EQ(PlanTarifIds(1), std::vector<qint32>({7}));
    EXPECT_EQ(PlanTarifNode(1, 3), nullptr);

    const TTaxClient* gamma = form->Lists().Clients.Find(kKindTaxClient, 3);
    Cmd().AttachClient(form->ClientModel().FindNode(taxnode::Client, kKindTaxClient, 3));
    Answer(0);
    EXPECT_EQ(gamma->PlanId, 2);
    EXPECT_EQ(gamma->CliAccountId, 201);
    EXPECT_EQ(gamma->SelfAccountName, DealAccountName());
    boxes->answers = {MsgOk};
    Cmd().DetachClient(form->ClientModel().FindNode(taxnode::Client, kKindTaxClient, 3));
    Answer(0);
    EXPECT_EQ(gamma->PlanId, 0);
    EXPECT_TRUE(gamma->CliAccountName.isEmpty());

    // Deleting plan 1 detaches client 1 first.
    boxes->answers = {MsgOk, MsgNo};
    Cmd().DeletePlan(plans.FindNode(taxnode::Plan, kKindTaxPlan, 1));
    Answer(0);
    EXPECT_EQ(form->Lists().Plans.Find(kKindTaxPlan, 1), nullptr);
    EXPECT_EQ(form->Lists().Clients.Find(kKindTaxClient, 1)->PlanId, 0);
    EXPECT_EQ(form->Lists().Clients.Find(kKindTaxClient, 1)->Plan, nullptr);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(TaxCommands, RefusedAndInconsistentAnswersChangeNothing) {
    struct Case {
        const char* chto;
        int code;
        std::vector<std::pair<const char*, const char*>> params;
        const char* logLine; // null: a refusal shown as a message
    } cases[] = {
        {"1904", -2, {{"param0", "1"}}, nullptr},
        {"1905", 0, {{"param0", "4"}, {"param1", "0"}}, "qrsTaxAddTarifToPlan param1=0"},
        {"1905", 0, {{"param0", "4"}, {"param1", "77"}}, "qrsTaxAddTarifToPlan Node=nil"},
        {"1905", 0, {{"param0", "x"}, {"param1", "1"}}, "qrsTaxAddTarifToPlan param0=0"},
        {"1905", 0, {{"param0", "55"}, {"param1", "1"}}, "qrsTaxAddTarifToPlan Tarif=nil"},
        {"1906", 0, {{"param0", "12"}, {"param1", "1"}}, "qrsTaxDelTarifFromPlan TarifNode=nil"},
        {"1907", 0, {{"param0", "1"}, {"param1", "99"}}, "UpdateClientObject Node=nil ClientID=99"},
    };
    for (const Case& c : cases) {
        AnswerBuilder b;
        b.Metadata(QStringLiteral("ExecQueryBB.") + QString::fromLatin1(c.chto))
            .Int("RESULT_CODE")
            .Text("RESULT_MSG")
            .Row({c.code, "Отказ"})
            .Param(QStringLiteral("chto"), QString::fromLatin1(c.chto));
        for (const auto& [k, v] : c.params)
            b.Param(QString::fromLatin1(k), QString::fromLatin1(v));
        errors.clear();
        exec->FeedData(b.Build());
        if (c.logLine) {
            EXPECT_EQ(log.Texts().last(), U("EXCEPTION sesTarifExecData! ") + U(c.logLine));
            EXPECT_TRUE(errors.isEmpty());
        } else {
            EXPECT_EQ(errors, QStringList({U("Отказ")}));
        }
    }
    EXPECT_EQ(form->Lists().Plans.Count(), 2);
    EXPECT_EQ(PlanTarifIds(1), std::vector<qint32>({7, 3}));
    EXPECT_EQ(form->Lists().Clients.Find(kKindTaxClient, 1)->PlanId, 1);
}
