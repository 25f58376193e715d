#include "commissions/TTaxCommands.h"

#include "commissions/TaxTreeModel.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/NumberText.h"
#include "shell/base/Services.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <stdexcept>

namespace {

QString Utf(const char* text) {
    return QString::fromUtf8(text);
}

QString Quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// An answer that does not fit the loaded lists: ends the handling of that answer.
class EInconsistent : public std::runtime_error {
public:
    explicit EInconsistent(const QString& text) : std::runtime_error(text.toStdString()) {}
};

const QString kDefaultPlanName = QString::fromUtf8("Мой тарифный план");

// Tokens of pending tariffs: a serial number that never repeats during a run (an
// address would come back for the next tariff once the old one is freed).
quint64 NextToken() {
    static quint64 serial = 0;
    return ++serial;
}

const TTaxNode* UpTo(const TTaxNode* node, int kind) {
    while (node && node->Kind != kind)
        node = node->Parent;
    return node;
}

} // namespace

TTaxCommandHooks& TTaxCommands::Hooks() {
    static TTaxCommandHooks hooks;
    return hooks;
}

TTaxCommands::TTaxCommands(TTaxLists& lists, TTaxTreeModel& tarifs, TTaxTreeModel& plans,
                           TTaxTreeModel& clients, TMetadataSession& session, QWidget* owner)
    : lists_(lists), tarifs_(tarifs), plans_(plans), clients_(clients), session_(session),
      owner_(owner) {}

TTaxCommands::~TTaxCommands() = default;

bool TTaxCommands::Ask(const QString& text, int buttons, int yes) {
    return Services::MessageBox().Show(owner_, text, QString(), MsgKind::Question, buttons) == yes;
}

void TTaxCommands::SendExec(int query, std::initializer_list<std::pair<QString, QString>> params) {
    const QString n = QString::number(query);
    QString text = AlternatingParams({{QStringLiteral("chto"), n}});
    for (const auto& [key, value] : params)
        text += key + QChar(0) + value + QChar(0);
    text += AlternatingParams({{QStringLiteral("BackParam"), QStringLiteral("1")},
                               {QStringLiteral("ShowResult"), QStringLiteral("NO")}});
    GuardStep(QStringLiteral("FormTaxMain.sesTarifExec"),
              [&] { session_.Parser().SendExec(vocab::request::kCommand, n, text); });
}

// ---- the commands ----------------------------------------------------------------

void TTaxCommands::NewTarif() {
    if (pending_ || !Hooks().EditTarif)
        return;
    if (auto tarif = Hooks().EditTarif(lists_, nullptr))
        SendTarif(std::move(tarif), 0);
}

void TTaxCommands::EditTarif(const TTaxNode* focused) {
    if (pending_ || !focused || focused->Kind == taxnode::TarifRoot || !Hooks().EditTarif)
        return;
    const TTaxNode* node = UpTo(focused, taxnode::Tarif);
    auto* tarif = node ? dynamic_cast<TTaxTarif*>(node->Object) : nullptr;
    if (!tarif)
        return;
    const qint32 id = tarif->Id;
    if (auto changed = Hooks().EditTarif(lists_, tarif))
        SendTarif(std::move(changed), id);
}

void TTaxCommands::SendTarif(std::unique_ptr<TTaxTarif> tarif, qint32 id) {
    pending_ = std::move(tarif);
    pendingToken_ = NextToken();
    const TTaxTarif& t = *pending_;
    const QString params = AlternatingParams({
        {QStringLiteral("chto"), QStringLiteral("1901")},
        {QStringLiteral("param0"), QString::number(id)},
        {QStringLiteral("param1"), QString::number(t.Algorithm)},
        {QStringLiteral("param2"), QString::number(t.TarifType)},
        {QStringLiteral("param3"), QString::number(t.DestAccountId)},
        {QStringLiteral("param4"), FloatToDotText(t.TarifSum)},
        // Action include, volume include, action exclude, volume exclude.
        {QStringLiteral("param5"), t.AreaOfWork},
        {QStringLiteral("param6"), t.AreaOfVol},
        {QStringLiteral("param7"), t.AreaOfWorkExclude},
        {QStringLiteral("param8"), t.AreaOfVolExclude},
        {QStringLiteral("param9"), t.Scale},
        {QStringLiteral("param10"), t.Name},
        {QStringLiteral("param11"), QString::number(t.GroupFlag)},
        {QStringLiteral("BackParam"), QStringLiteral("1")},
        {QStringLiteral("ShowResult"), QStringLiteral("NO")},
        {QStringLiteral("LoopBackCount"), QStringLiteral("1")},
        {QStringLiteral("LoopBack0"), QString::number(pendingToken_)},
    });
    const bool sent = GuardStep(QStringLiteral("FormTaxMain.sesTarifExec"), [&] {
        session_.SendCommand(vocab::request::kCommand, params, 0, 1);
    });
    if (!sent) // nothing will answer: the buttons stay usable
        pending_.reset();
}

void TTaxCommands::DeleteTarif(const TTaxNode* focused) {
    using namespace taxnode;
    if (pending_ || !focused)
        return;
    static const int kinds[] = {Tarif, TarifType, Algorithm, AreaOfWork, AreaOfVol, Scale};
    if (std::find(std::begin(kinds), std::end(kinds), focused->Kind) == std::end(kinds))
        return;
    auto* tarif = dynamic_cast<TTaxTarif*>(focused->Object);
    if (!tarif || !Ask(Utf("Удалить тариф ") + Quoted(tarif->Name) + QLatin1Char('?'),
                       MsgOk | MsgCancel, MsgOk))
        return;
    const int plans = lists_.CountPlansHolding(tarif);
    if (plans > 0 &&
        Ask(Utf("Тариф ") + Quoted(tarif->Name) + Utf(" используется в ") + QString::number(plans) +
                Utf(" тарифных планах! Прервать операцию удаления?"),
            MsgYes | MsgNo, MsgYes))
        return;
    GuardStep(QStringLiteral("FormTaxMain.sesTarifExec"), [&] {
        session_.Parser().SendList(
            vocab::request::kCommand, QStringLiteral("1902"),
            PairParams({{QStringLiteral("chto"), QStringLiteral("1902")},
                        {QStringLiteral("BackParam"), QStringLiteral("1")},
                        {QStringLiteral("param0"), QString::number(tarif->Id)}}));
    });
}

void TTaxCommands::NewPlan() {
    QString name = kDefaultPlanName;
    if (!Services::InputBox().Ask(owner_, Utf("Новый тарифный план"), Utf("Название плана"), name))
        return;
    if (name.trimmed().isEmpty())
        name = kDefaultPlanName;
    SendExec(1903,
             {{QStringLiteral("param0"), QStringLiteral("0")}, {QStringLiteral("param1"), name}});
}

namespace {
TTaxTarifPlan* PlanOf(const TTaxNode* focused) {
    if (!focused)
        return nullptr;
    if (focused->Kind == taxnode::PlanTarif)
        focused = focused->Parent;
    return focused && focused->Kind == taxnode::Plan ? dynamic_cast<TTaxTarifPlan*>(focused->Object)
                                                     : nullptr;
}

TTaxClient* ClientOf(const TTaxNode* focused) {
    if (focused &&
        (focused->Kind == taxnode::ClientSelfAccount || focused->Kind == taxnode::ClientSubAccount))
        focused = focused->Parent;
    return focused && focused->Kind == taxnode::Client ? dynamic_cast<TTaxClient*>(focused->Object)
                                                       : nullptr;
}
} // namespace

void TTaxCommands::EditPlan(const TTaxNode* focused) {
    TTaxTarifPlan* plan = PlanOf(focused);
    if (!plan)
        return;
    QString name = plan->Name;
    if (!Services::InputBox().Ask(owner_, Utf("Изменить тарифный план"), Utf("Название плана"),
                                  name))
        return;
    if (name.trimmed().isEmpty())
        name = kDefaultPlanName;
    SendExec(1903, {{QStringLiteral("param0"), QString::number(plan->Id)},
                    {QStringLiteral("param1"), name}});
}

void TTaxCommands::DeletePlan(const TTaxNode* focused) {
    TTaxTarifPlan* plan = PlanOf(focused);
    if (!plan || !Ask(Utf("Удалить тарифный план ") + Quoted(plan->Name) + QStringLiteral(" ?"),
                      MsgOk | MsgCancel, MsgOk))
        return;
    const int clients = lists_.CountClientsOfPlan(plan);
    if (clients > 0 && Ask(Utf("Этот тарифный план используется для ") + QString::number(clients) +
                               Utf(" клиентов! Прервать операцию удаления?"),
                           MsgYes | MsgNo, MsgYes))
        return;
    SendExec(1904, {{QStringLiteral("param0"), QString::number(plan->Id)}});
}

void TTaxCommands::AddTarifToPlan(const TTaxNode* focused) {
    TTaxTarifPlan* plan = PlanOf(focused);
    if (!plan || !Hooks().ChooseTarif)
        return;
    if (TTaxTarif* tarif = Hooks().ChooseTarif(lists_))
        SendExec(1905, {{QStringLiteral("param0"), QString::number(tarif->Id)},
                        {QStringLiteral("param1"), QString::number(plan->Id)}});
}

void TTaxCommands::DelTarifFromPlan(const TTaxNode* focused) {
    if (!focused || focused->Kind != taxnode::PlanTarif)
        return;
    auto* tarif = dynamic_cast<TTaxTarif*>(focused->Object);
    TTaxTarifPlan* plan = PlanOf(focused);
    if (!tarif || !plan ||
        !Ask(Utf("Удалить тариф ") + Quoted(tarif->Name) + Utf(" из тарифного плана ") +
                 Quoted(plan->Name) + QStringLiteral(" ?"),
             MsgOk | MsgCancel, MsgOk))
        return;
    SendExec(1906, {{QStringLiteral("param0"), QString::number(tarif->Id)},
                    {QStringLiteral("param1"), QString::number(plan->Id)}});
}

void TTaxCommands::AttachClient(const TTaxNode* focused) {
    TTaxClient* client = ClientOf(focused);
    if (!client || !Hooks().AssignPlan)
        return;
    TTaxClient result;
    if (!Hooks().AssignPlan(lists_, *client, result))
        return;
    SendExec(1907, {{QStringLiteral("param0"), QString::number(result.PlanId)},
                    {QStringLiteral("param1"), QString::number(client->Id)},
                    {QStringLiteral("param2"), QString::number(result.SelfAccountId)},
                    {QStringLiteral("param3"), QString::number(result.CliAccountId)}});
}

void TTaxCommands::DetachClient(const TTaxNode* focused) {
    TTaxClient* client = ClientOf(focused);
    if (!client || client->PlanId == 0)
        return;
    const QString plan = client->Plan ? client->Plan->Name : QString();
    if (!Ask(Utf("Отключить клиента ") + Quoted(client->Name) + Utf(" от тарифного плана ") +
                 Quoted(plan) + QLatin1Char('?'),
             MsgOk | MsgCancel, MsgOk))
        return;
    SendExec(1908, {{QStringLiteral("param0"), QString::number(client->PlanId)},
                    {QStringLiteral("param1"), QString::number(client->Id)},
                    {QStringLiteral("param2"), QString::number(client->SelfAccountId)},
                    {QStringLiteral("param3"), QString::number(client->CliAccountId)}});
}

// ---- the answers -------------------------------------------------------------------

qint32 TTaxCommands::RequestInt(const QString& key) const {
    bool ok = false;
    const qint32 value = session_.GetRequestParam(key).trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

void TTaxCommands::sesTarifExecData() {
    const int query = RequestInt(QStringLiteral("chto"));
    TMetadataParser& p = session_.Parser();
    try {
        if (p.GetInt(QStringLiteral("RESULT_CODE"), 0, 0) < 0) {
            const QString message = p.GetText(QStringLiteral("RESULT_MSG"), 0);
            if (Hooks().PostError) {
                Hooks().PostError(message);
            } else {
                QPointer<QWidget> owner(owner_);
                QTimer::singleShot(0, [owner, message] {
                    Services::MessageBox().Show(owner, message, QString(), MsgKind::Error,
                                                MsgCancel);
                });
            }
            if (query == 1901 && pending_) { // the tariff buttons work again
                pending_.reset();
                TarifsChanged();
            }
            return;
        }
        switch (query) {
        case 1901:
            ApplyTarif();
            break;
        case 1902:
            ApplyDeleteTarif();
            break;
        case 1903:
            ApplyPlan();
            break;
        case 1904:
            ApplyDeletePlan();
            break;
        case 1905:
            ApplyAddTarifToPlan();
            break;
        case 1906:
            ApplyDelTarifFromPlan();
            break;
        case 1907:
        case 1908:
            ApplyClient(query == 1907);
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("EXCEPTION sesTarifExecData! ") + ErrorText(e));
    }
}

void TTaxCommands::TarifsChanged() {
    if (Hooks().TarifsChanged)
        Hooks().TarifsChanged();
}

void TTaxCommands::ApplyTarif() {
    // Every answer clears the pending tariff; one not taken into the list goes here.
    const bool ours =
        pending_ && quint64(session_.GetRequestParam(QStringLiteral("LoopBack0")).toULongLong()) ==
                        pendingToken_;
    std::unique_ptr<TTaxTarif> tarif = std::move(pending_);
    TarifsChanged();
    if (!ours)
        return;
    const qint32 id = session_.Parser().GetInt(QStringLiteral("TARIF_ID_NEW"), 0, 0);
    if (id == 0)
        throw EInconsistent(QStringLiteral("qrsTaxAddTarif TARIF_ID_NEW=0"));
    tarif->Id = id;
    if (TTaxTarif* old = lists_.Tarifs.Find(kKindTaxTarif, id)) {
        // An edit: every reference moves to the new object before the old one goes.
        plans_.ReplaceObject(old, tarif.get());
        for (TTaxTarifPlan* plan : lists_.Plans)
            std::replace(plan->Tarifs.begin(), plan->Tarifs.end(), old, tarif.get());
        tarifs_.DeleteNodesOf(old);
        lists_.Tarifs.Take(old);
    }
    if (tarif->Name.trimmed().isEmpty())
        tarif->Name = Utf("Тариф ") + QString::number(id);
    TTaxTarif* added = lists_.Tarifs.Append(std::move(tarif));
    tarifs_.AddTarifNode(added);
    plans_.Redraw();
}

void TTaxCommands::ApplyDeleteTarif() {
    const qint32 id = RequestInt(QStringLiteral("param0"));
    TTaxTarif* tarif = lists_.Tarifs.Find(kKindTaxTarif, id);
    if (!tarif || !tarifs_.FindNode(taxnode::Tarif, kKindTaxTarif, id))
        return;
    plans_.DeleteNodesOf(tarif);
    for (TTaxTarifPlan* plan : lists_.Plans)
        plan->Tarifs.erase(std::remove(plan->Tarifs.begin(), plan->Tarifs.end(), tarif),
                           plan->Tarifs.end());
    tarifs_.DeleteNodesOf(tarif);
    lists_.Tarifs.Take(tarif);
    TarifsChanged();
}

void TTaxCommands::ApplyPlan() {
    const qint32 id = session_.Parser().GetInt(QStringLiteral("TARIF_PLAN_ID_NEW"), 0, 0);
    if (id == 0)
        throw EInconsistent(QStringLiteral("qrsTaxAddPlan TARIF_PLAN_ID_NEW=0"));
    const QString name = session_.GetRequestParam(QStringLiteral("param1"));
    if (TTaxTarifPlan* plan = lists_.Plans.Find(kKindTaxPlan, id)) {
        plan->Name = name;
        plans_.Redraw();
        clients_.Redraw();
        return;
    }
    auto plan = std::make_unique<TTaxTarifPlan>();
    plan->Id = id;
    plan->Name = name;
    plans_.AddPlanNode(lists_.Plans.Append(std::move(plan)));
}

void TTaxCommands::ApplyDeletePlan() {
    const qint32 id = RequestInt(QStringLiteral("param0"));
    TTaxTarifPlan* plan = lists_.Plans.Find(kKindTaxPlan, id);
    if (id == 0 || !plan || !plans_.FindNode(taxnode::Plan, kKindTaxPlan, id))
        return;
    for (TTaxClient* client : lists_.Clients)
        if (client->PlanId == id)
            lists_.UpdateClientObject(*client, 0, 0, 0);
    plans_.DeleteNodesOf(plan);
    lists_.Plans.Take(plan);
    clients_.Redraw();
}

void TTaxCommands::ApplyAddTarifToPlan() {
    const qint32 planId = RequestInt(QStringLiteral("param1"));
    if (planId == 0)
        throw EInconsistent(QStringLiteral("qrsTaxAddTarifToPlan param1=0"));
    TTaxNode* node = plans_.FindNode(taxnode::Plan, kKindTaxPlan, planId);
    if (!node)
        throw EInconsistent(QStringLiteral("qrsTaxAddTarifToPlan Node=nil"));
    const qint32 tarifId = RequestInt(QStringLiteral("param0"));
    if (tarifId == 0)
        throw EInconsistent(QStringLiteral("qrsTaxAddTarifToPlan param0=0"));
    auto* plan = static_cast<TTaxTarifPlan*>(node->Object);
    for (const TTaxTarif* held : plan->Tarifs)
        if (held->Id == tarifId)
            return;
    TTaxTarif* tarif = lists_.Tarifs.Find(kKindTaxTarif, tarifId);
    if (!tarif)
        throw EInconsistent(QStringLiteral("qrsTaxAddTarifToPlan Tarif=nil"));
    plan->Tarifs.push_back(tarif);
    plans_.AddPlanTarifNode(node, tarif);
}

void TTaxCommands::ApplyDelTarifFromPlan() {
    const qint32 planId = RequestInt(QStringLiteral("param1"));
    if (planId == 0)
        throw EInconsistent(QStringLiteral("qrsTaxDelTarifFromPlan param1=0"));
    TTaxNode* node = plans_.FindNode(taxnode::Plan, kKindTaxPlan, planId);
    if (!node)
        throw EInconsistent(QStringLiteral("qrsTaxDelTarifFromPlan PlanNode=nil"));
    const qint32 tarifId = RequestInt(QStringLiteral("param0"));
    if (tarifId == 0)
        throw EInconsistent(QStringLiteral("qrsTaxDelTarifFromPlan param0=0"));
    TTaxNode* child = TTaxTreeModel::FindChild(node, taxnode::PlanTarif, kKindTaxTarif, tarifId);
    if (!child)
        throw EInconsistent(QStringLiteral("qrsTaxDelTarifFromPlan TarifNode=nil"));
    auto* plan = static_cast<TTaxTarifPlan*>(node->Object);
    const TBaseSimpleObject* tarif = child->Object;
    plan->Tarifs.erase(std::remove(plan->Tarifs.begin(), plan->Tarifs.end(), tarif),
                       plan->Tarifs.end());
    plans_.DeleteNode(child);
}

void TTaxCommands::ApplyClient(bool attach) {
    const qint32 id = RequestInt(QStringLiteral("param1"));
    TTaxClient* client = lists_.Clients.Find(kKindTaxClient, id);
    if (!client || !clients_.FindNode(taxnode::Client, kKindTaxClient, id))
        throw EInconsistent(QStringLiteral("UpdateClientObject Node=nil ClientID=") +
                            QString::number(id));
    if (attach)
        lists_.UpdateClientObject(*client, RequestInt(QStringLiteral("param0")),
                                  RequestInt(QStringLiteral("param2")),
                                  RequestInt(QStringLiteral("param3")));
    else
        lists_.UpdateClientObject(*client, 0, 0, 0);
    clients_.Redraw();
}
