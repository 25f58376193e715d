// The commission commands against the real session server with the demo store: a
// tariff of each algorithm made in the editor, an edit, a deletion of a tariff two
// plans hold, a plan made, renamed and deleted, tariffs put into plans and taken out,
// a client attached and detached, and a refused command. After each step a closed
// and reopened manager shows the same three trees.
#include "TaxTestSupport.h"

#include "commissions/TFormTaxAddTarif.h"
#include "commissions/TFormTaxMain.h"
#include "commissions/TTaxCommands.h"
#include "commissions/TaxTreeModel.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/TComboBoxIndexed.h"
#include "shell/base/Services.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

using namespace taxtest;
using realserver::WaitUntil;

namespace {

constexpr int kAnswerMs = 30000; // a loaded machine answers slowly, never not at all

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

class TypedName : public IInputBoxService {
public:
    bool Ask(QWidget*, const QString&, const QString&, QString& value) override {
        value = typed;
        return true;
    }
    QString typed;
};

// A tree's texts, children indented under their parent, siblings sorted: the order
// of new nodes (appended until a reload sorts them) does not count.
void Dump(const TTaxTreeModel& model, const QModelIndex& parent, const QString& indent,
          QStringList& out) {
    QStringList siblings;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        QStringList sub{indent + index.data().toString() + QStringLiteral(" | ") +
                        model.index(row, 1, parent).data().toString()};
        Dump(model, index, indent + QStringLiteral("  "), sub);
        siblings << sub.join(QLatin1Char('\n'));
    }
    siblings.sort();
    out << siblings;
}

std::unique_ptr<TAreaItem> Item(int ts, int board, int type) {
    auto item = std::make_unique<TAreaItem>();
    item->TsId = ts;
    item->BoardId = board;
    item->BumTypeId = type;
    LinkAreaItem(*item, TReferenceData::Current());
    return item;
}

class Scenario {
public:
    explicit Scenario(TMainForm& form) : form_(form) {}

    bool Open() {
        manager_ = qobject_cast<TFormTaxMain*>(form_.OpenWindow(WindowCommand::Commissions));
        if (!manager_ || !WaitUntil([&] { return manager_->TreesBuilt(); }, 60000))
            return false;
        TBrokerSession& exec = manager_->sesTarifExec();
        exec.OnData = [this, inner = exec.OnData](TBrokerSession* session) {
            inner(session);
            ++answers_;
        };
        return true;
    }
    void Close() {
        QPointer<TFormTaxMain> closing(manager_.data());
        manager_->close();
        WaitUntil(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return closing.isNull();
            },
            kAnswerMs);
    }
    // Runs a command and waits for its answer.
    bool Run(const std::function<void(TTaxCommands&)>& command) {
        const int before = answers_;
        command(manager_->Commands());
        return WaitUntil([&] { return answers_ > before; }, kAnswerMs);
    }
    QString Trees() const {
        QStringList out;
        for (const TTaxTreeModel* model :
             {&manager_->TarifModel(), &manager_->PlanModel(), &manager_->ClientModel()})
            Dump(*model, {}, QString(), out);
        return out.join(QLatin1Char('\n'));
    }
    // The trees as applied in place, then as a reopened manager loads them.
    void ExpectSameAfterReload(const char* step) {
        const QString live = Trees();
        EXPECT_GT(live.count(QLatin1Char('\n')), 100) << step; // the demo's three trees
        Close();
        ASSERT_TRUE(Open()) << step;
        EXPECT_EQ(live.toStdString(), Trees().toStdString()) << step;
    }
    TFormTaxMain& M() const { return *manager_; }
    const TTaxNode* TarifNode(qint32 id) const {
        return manager_->TarifModel().FindNode(taxnode::Tarif, kKindTaxTarif, id);
    }
    const TTaxNode* PlanNode(qint32 id) const {
        return manager_->PlanModel().FindNode(taxnode::Plan, kKindTaxPlan, id);
    }
    TTaxTarif* TarifNamed(const QString& name) const {
        for (TTaxTarif* t : manager_->Lists().Tarifs)
            if (t->Name == name)
                return t;
        return nullptr;
    }
    TTaxTarifPlan* PlanNamed(const QString& name) const {
        for (TTaxTarifPlan* p : manager_->Lists().Plans)
            if (p->Name == name)
                return p;
        return nullptr;
    }

private:
    TMainForm& form_;
    QPointer<TFormTaxMain> manager_;
    int answers_ = 0;
};

} // namespace

using CommissionsScenarios = realserver::EndToEndTest;

TEST_F(CommissionsScenarios, EveryCommandAgainstTheDemoStoreSurvivesAReload) {
    SetEnv("ORVEX_SERVER_CONTROL", QStringLiteral("1"));
    auto boxes = std::make_shared<QueuedBoxes>();
    auto input = std::make_shared<TypedName>();
    Services::SetMessageBox(boxes);
    Services::SetInputBox(input);
    TFormTaxMain::Register();

    // The editor as the program wires it; each showing runs the step's script, then OK.
    TFormTaxAddTarif editor;
    std::function<void(TFormTaxAddTarif&)> script;
    QStringList errors;
    TTaxTarif* chosen = nullptr;
    TTaxClient assigned;
    TTaxCommands::Hooks() = {};
    int editorShown = 0;
    TTaxCommands::Hooks().EditTarif = [&](const TTaxLists&, const TTaxTarif* existing) {
        ++editorShown;
        QTimer::singleShot(0, &editor, [&] {
            script(editor);
            editor.accept();
            if (editor.isVisible()) {
                ADD_FAILURE() << editor.CheckInput().toStdString();
                editor.reject();
            }
        });
        return TFormTaxAddTarif::EditTarif(existing);
    };
    TTaxCommands::Hooks().ChooseTarif = [&](const TTaxLists&) { return chosen; };
    TTaxCommands::Hooks().AssignPlan = [&](const TTaxLists&, const TTaxClient&,
                                           TTaxClient& result) {
        result = assigned;
        return true;
    };
    TTaxCommands::Hooks().PostError = [&](const QString& text) { errors << text; };
    TFormTaxMain::Hooks().SelfAccountsLoaded = [&](const TTaxLists& lists) {
        editor.RefillDestAccounts(lists);
    };
    TFormTaxMain::Hooks().Closing = [&] { editor.EmptyDestAccounts(); };
    {
        TMainForm form;
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 60000));
        Scenario s(form);
        ASSERT_TRUE(s.Open());
        const TReferenceData& refs = TReferenceData::Current();
        ASSERT_GT(refs.Boards.Count(), 0);
        const TBoardObj* board = refs.Boards.At(0);
        const int ts = board->TradingSystemId;

        // A tariff of each algorithm.
        const struct {
            int algorithm;
            std::function<void(TFormTaxAddTarif&)> fill;
        } tarifs[] = {
            {1,
             [&](TFormTaxAddTarif& e) {
                 e.AddScaleLine(e.gridScalaOfVol(), 0, 0, 0.05);
                 e.AddScaleLine(e.gridScalaOfVol(), 1000000, 1500, 0);
                 e.AddAreaItem(e.vtAreaOfWork(), Item(-1, -1, -1));
                 e.AddAreaItem(e.vtAreaOfVol(), Item(ts, -1, -1));
                 e.vtAreaOfWork()->setCurrentItem(e.vtAreaOfWork()->topLevelItem(1));
                 e.AddAreaItem(e.vtAreaOfWork(), Item(ts, board->Id, 2));
             }},
            {2,
             [&](TFormTaxAddTarif& e) {
                 e.AddScaleLine(e.gridScalaOfCount(), 0, 0, 2);
                 e.AddScaleLine(e.gridScalaOfCount(), 100, 150, 0);
                 e.AddAreaItem(e.vtAreaOfWork(), Item(-1, -1, 5));
                 e.AddAreaItem(e.vtAreaOfVol(), Item(-1, -1, -1));
             }},
            {3,
             [&](TFormTaxAddTarif& e) {
                 e.ceTarifSum()->setValue(75.5);
                 e.cbAlgoritm3GroupFlag()->setCurrentIndex(1);
                 e.AddAreaItem(e.vtAreaOfWork(), Item(ts, -1, -1));
             }},
            {4, [](TFormTaxAddTarif&) {}},
        };
        for (const auto& t : tarifs) {
            const QString name = U("Проверка ") + QString::number(t.algorithm);
            script = [&](TFormTaxAddTarif& e) {
                e.cbAlgoritm()->setCurrentIndex(e.cbAlgoritm()->findData(t.algorithm));
                e.edTarifName()->setText(name);
                e.cbTarifType()->setCurrentIndex((t.algorithm - 1) % 3);
                e.cbDestAccount()->setCurrentIndex(0);
                t.fill(e);
            };
            const int shownBefore = editorShown;
            ASSERT_TRUE(s.Run([](TTaxCommands& c) {
                c.NewTarif();
                EXPECT_TRUE(c.HasPending());
                c.NewTarif(); // blocked while the first awaits its answer
            })) << t.algorithm;
            EXPECT_EQ(editorShown, shownBefore + 1);
            EXPECT_FALSE(s.M().Commands().HasPending());
            ASSERT_NE(s.TarifNamed(name), nullptr) << t.algorithm;
            EXPECT_EQ(s.TarifNamed(name)->Algorithm, t.algorithm);
            s.ExpectSameAfterReload("new tariff");
        }
        EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();

        // An edit keeps the id.
        const qint32 first = s.TarifNamed(U("Проверка 1"))->Id;
        script = [](TFormTaxAddTarif& e) {
            e.edTarifName()->setText(U("Проверка 1 изм."));
            e.AddScaleLine(e.gridScalaOfVol(), 5000000, 0, 0.01);
        };
        ASSERT_TRUE(s.Run([&](TTaxCommands& c) { c.EditTarif(s.TarifNode(first)); }));
        ASSERT_NE(s.TarifNamed(U("Проверка 1 изм.")), nullptr);
        EXPECT_EQ(s.TarifNamed(U("Проверка 1 изм."))->Id, first);
        EXPECT_EQ(s.TarifNamed(U("Проверка 1 изм."))->ScaleItems.size(), 3u);
        s.ExpectSameAfterReload("edited tariff");

        // A plan made and renamed.
        input->typed = U("План проверки");
        ASSERT_TRUE(s.Run([](TTaxCommands& c) { c.NewPlan(); }));
        ASSERT_NE(s.PlanNamed(input->typed), nullptr);
        const qint32 plan = s.PlanNamed(input->typed)->Id;
        s.ExpectSameAfterReload("new plan");
        input->typed = U("План проверки 2");
        ASSERT_TRUE(s.Run([&](TTaxCommands& c) { c.EditPlan(s.PlanNode(plan)); }));
        EXPECT_EQ(s.M().Lists().Plans.Find(kKindTaxPlan, plan)->Name, input->typed);
        s.ExpectSameAfterReload("renamed plan");

        // Tariffs into plans: the edited one into two plans, another in and out again.
        const qint32 other = s.M().Lists().Plans.At(0)->Id == plan ? s.M().Lists().Plans.At(1)->Id
                                                                   : s.M().Lists().Plans.At(0)->Id;
        const qint32 second = s.TarifNamed(U("Проверка 2"))->Id;
        for (auto [tarif, into] :
             {std::pair{first, plan}, std::pair{first, other}, std::pair{second, plan}}) {
            chosen = s.M().Lists().Tarifs.Find(kKindTaxTarif, tarif);
            ASSERT_TRUE(s.Run([&](TTaxCommands& c) { c.AddTarifToPlan(s.PlanNode(into)); }));
        }
        EXPECT_EQ(s.M().Lists().Plans.Find(kKindTaxPlan, plan)->Tarifs.size(), 2u);
        s.ExpectSameAfterReload("tariffs into plans");
        boxes->answers = {MsgOk};
        ASSERT_TRUE(s.Run([&](TTaxCommands& c) {
            c.DelTarifFromPlan(TTaxTreeModel::FindChild(s.PlanNode(plan), taxnode::PlanTarif,
                                                        kKindTaxTarif, second));
        }));
        EXPECT_EQ(s.M().Lists().Plans.Find(kKindTaxPlan, plan)->Tarifs.size(), 1u);
        s.ExpectSameAfterReload("tariff out of a plan");

        // The tariff two plans hold is deleted after both questions.
        boxes->texts.clear();
        boxes->answers = {MsgOk, MsgNo};
        ASSERT_TRUE(s.Run([&](TTaxCommands& c) { c.DeleteTarif(s.TarifNode(first)); }));
        EXPECT_EQ(boxes->texts,
                  QStringList({U("Удалить тариф \"Проверка 1 изм.\"?"),
                               U("Тариф \"Проверка 1 изм.\" используется в 2 тарифных планах! "
                                 "Прервать операцию удаления?")}));
        EXPECT_EQ(s.M().Lists().Tarifs.Find(kKindTaxTarif, first), nullptr);
        s.ExpectSameAfterReload("deleted tariff");

        // A client without a plan is attached, then detached.
        const TTaxClient* client = nullptr;
        for (const TTaxClient* c : s.M().Lists().Clients)
            if (c->PlanId == 0 && !s.M().Lists().AccountsOf(c->Id).empty()) {
                client = c;
                break;
            }
        ASSERT_NE(client, nullptr);
        const qint32 clientId = client->Id;
        assigned = *client;
        assigned.PlanId = plan;
        assigned.SelfAccountId = 0;
        assigned.CliAccountId = s.M().Lists().AccountsOf(clientId).front()->Id;
        auto clientNode = [&] {
            return s.M().ClientModel().FindNode(taxnode::Client, kKindTaxClient, clientId);
        };
        ASSERT_TRUE(s.Run([&](TTaxCommands& c) { c.AttachClient(clientNode()); }));
        EXPECT_EQ(s.M().Lists().Clients.Find(kKindTaxClient, clientId)->PlanId, plan);
        s.ExpectSameAfterReload("attached client");
        boxes->answers = {MsgOk};
        ASSERT_TRUE(s.Run([&](TTaxCommands& c) { c.DetachClient(clientNode()); }));
        EXPECT_EQ(s.M().Lists().Clients.Find(kKindTaxClient, clientId)->PlanId, 0);
        s.ExpectSameAfterReload("detached client");

        // The plan, used by no client now, goes after one question.
        boxes->texts.clear();
        boxes->answers = {MsgOk};
        ASSERT_TRUE(s.Run([&](TTaxCommands& c) { c.DeletePlan(s.PlanNode(plan)); }));
        EXPECT_EQ(boxes->texts.size(), 1);
        EXPECT_EQ(s.M().Lists().Plans.Find(kKindTaxPlan, plan), nullptr);
        s.ExpectSameAfterReload("deleted plan");
        EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();

        // A refused command shows its message and changes nothing.
        ASSERT_EQ(QProcess::execute(Server(),
                                    {QStringLiteral("--ctl"), QStringLiteral("failcommission")}),
                  0);
        const QString before = s.Trees();
        input->typed = U("Не будет");
        ASSERT_TRUE(s.Run([](TTaxCommands& c) { c.NewPlan(); }));
        EXPECT_EQ(errors, QStringList({U("Отказ хранилища (проверка)")}));
        EXPECT_EQ(s.Trees(), before);
        s.ExpectSameAfterReload("refused command");
        s.Close();
    }
    TTaxCommands::Hooks() = {};
    TFormTaxMain::Hooks() = {};
    Services::SetInputBox(nullptr);
}
