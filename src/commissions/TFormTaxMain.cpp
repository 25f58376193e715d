#include "commissions/TFormTaxMain.h"

#include "commissions/TTaxCommands.h"
#include "commissions/TaxTreeModel.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/contract/WindowCatalog.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QString Utf(const char* text) {
    return QString::fromUtf8(text);
}

const char* const kSortOrderProperty = "taxSortOrder";

// Button pictures: a sign on a tile, drawn once per sign.
QIcon ButtonIcon(QChar sign, const QColor& colour) {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(140));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1.5, 1.5, 17, 17));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(14);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 20, 20), Qt::AlignCenter, QString(sign));
    painter.end();
    return QIcon(pixmap);
}

struct ButtonDef {
    const char* hint;
    QChar sign;
    QColor colour;
};

} // namespace

TTaxManagerHooks& TFormTaxMain::Hooks() {
    static TTaxManagerHooks hooks;
    return hooks;
}

TFormTaxMain::TFormTaxMain(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Utf("Клиентские комиссии"));
    tarifModel_ = new TTaxTreeModel(lists_, this);
    planModel_ = new TTaxTreeModel(lists_, this);
    clientModel_ = new TTaxTreeModel(lists_, this);
    BuildPages();
    resize(720, 520);

    sesTaxList_ = std::make_unique<TMetadataSession>(QStringLiteral("sesTaxList"), true);
    sesTarifExec_ = std::make_unique<TMetadataSession>(QStringLiteral("sesTarifExec"), true);
    listParser_ = &sesTaxList_->Parser();
    sesTaxList_->OnData = [this](TBrokerSession*) { sesTaxListData(); };
    commands_ = std::make_unique<TTaxCommands>(lists_, *tarifModel_, *planModel_, *clientModel_,
                                               *sesTarifExec_, this);
    sesTarifExec_->OnData = [this](TBrokerSession*) { commands_->sesTarifExecData(); };
    WireButtons();

    // The chain starts once, when the window opens; no tariff is pending.
    SendList(kChain[0]);
}

TFormTaxMain::~TFormTaxMain() {
    // The trees go before the objects they show; the dialogs drop what they hold
    // of the lists; answers after this reach nothing, the sessions go with us.
    sesTaxList_->OnData = nullptr;
    sesTarifExec_->OnData = nullptr;
    tarifModel_->Clear();
    planModel_->Clear();
    clientModel_->Clear();
    if (Hooks().Closing)
        GuardStep(QStringLiteral("FormTaxMain.FormClose"), [] { Hooks().Closing(); });
    commands_.reset();
    lists_.Clear();
}

void TFormTaxMain::BuildPages() {
    pages_ = new QTabWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(pages_);

    const QColor add(40, 140, 60), del(190, 50, 40), edit(50, 100, 180), link(150, 110, 20);
    const std::vector<ButtonDef> tarifButtons = {{"Новый тариф", u'+', add},
                                                 {"Удалить тариф", u'\u2212', del},
                                                 {"Редактировать тариф", u'\u270E', edit}};
    const std::vector<ButtonDef> planButtons = {
        {"Новый тарифный план", u'+', add},
        {"Удалить тарифный план", u'\u2212', del},
        {"Добавить тариф в тарифный план", u'\u00BB', link},
        {"Исключить тариф из тарифного плана", u'\u00AB', link},
        {"Редактировать тарифный план", u'\u270E', edit}};
    const std::vector<ButtonDef> clientButtons = {
        {"Установить тарифный план для клиента", u'\u2713', add},
        {"Отключить клиента от тарифного плана", u'\u00D7', del}};

    auto page = [&](const char* caption, const std::vector<ButtonDef>& buttons,
                    TTaxTreeModel* model) {
        auto* widget = new QWidget(pages_);
        auto* column = new QVBoxLayout(widget);
        column->setContentsMargins(2, 2, 2, 2);
        auto* row = new QHBoxLayout();
        for (const ButtonDef& def : buttons) {
            auto* button = new QToolButton(widget);
            button->setToolTip(Utf(def.hint));
            button->setObjectName(Utf(def.hint));
            button->setIcon(ButtonIcon(def.sign, def.colour));
            button->setIconSize(QSize(20, 20));
            button->setAutoRaise(true);
            row->addWidget(button);
        }
        row->addStretch();
        column->addLayout(row);
        QTreeView* tree = MakeTree(model);
        tree->setParent(widget);
        column->addWidget(tree);
        pages_->addTab(widget, Utf(caption));
        return tree;
    };
    vtTarif_ = page("Тарифы", tarifButtons, tarifModel_);
    vtPlan_ = page("Тарифные планы", planButtons, planModel_);
    vtClient_ = page("Клиенты  с тарифными планами", clientButtons, clientModel_);
    vtTarif_->setObjectName(QStringLiteral("vtTarif"));
    vtPlan_->setObjectName(QStringLiteral("vtPlan"));
    vtClient_->setObjectName(QStringLiteral("vtClient"));
    pages_->setCurrentIndex(0);
}

void TFormTaxMain::WireButtons() {
    auto focused = [](QTreeView* tree) {
        return static_cast<TTaxTreeModel*>(tree->model())->NodeOf(tree->currentIndex());
    };
    auto on = [&](const char* hint, std::function<void()> command) {
        if (QToolButton* button = Button(QString::fromUtf8(hint)))
            connect(button, &QToolButton::clicked, this,
                    [command] { GuardStep(QStringLiteral("FormTaxMain.Command"), command); });
    };
    TTaxCommands* c = commands_.get();
    on("Новый тариф", [c] { c->NewTarif(); });
    on("Удалить тариф", [=, this] { c->DeleteTarif(focused(vtTarif_)); });
    on("Редактировать тариф", [=, this] { c->EditTarif(focused(vtTarif_)); });
    on("Новый тарифный план", [c] { c->NewPlan(); });
    on("Удалить тарифный план", [=, this] { c->DeletePlan(focused(vtPlan_)); });
    on("Добавить тариф в тарифный план", [=, this] { c->AddTarifToPlan(focused(vtPlan_)); });
    on("Исключить тариф из тарифного плана", [=, this] { c->DelTarifFromPlan(focused(vtPlan_)); });
    on("Редактировать тарифный план", [=, this] { c->EditPlan(focused(vtPlan_)); });
    on("Установить тарифный план для клиента", [=, this] { c->AttachClient(focused(vtClient_)); });
    on("Отключить клиента от тарифного плана", [=, this] { c->DetachClient(focused(vtClient_)); });
}

QTreeView* TFormTaxMain::MakeTree(TTaxTreeModel* model) {
    auto* tree = new QTreeView();
    tree->setModel(model);
    tree->setUniformRowHeights(true);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setProperty(kSortOrderProperty, int(Qt::DescendingOrder));
    tree->viewport()->installEventFilter(this);
    QHeaderView* header = tree->header();
    header->setStretchLastSection(true);
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    connect(header, &QHeaderView::sectionClicked, this,
            [this, tree](int column) { SortTree(tree, column); });
    connect(header, &QHeaderView::sectionResized, this, [this, tree](int logical, int, int) {
        if (logical == 0) // column 1 takes the rest again
            tree->header()->resizeSection(
                1, std::max(0, tree->viewport()->width() - tree->columnWidth(0)));
    });
    return tree;
}

QToolButton* TFormTaxMain::Button(const QString& hint) const {
    return findChild<QToolButton*>(hint);
}

void TFormTaxMain::SendList(int query) {
    const QString n = QString::number(query);
    listParser_->SendList(vocab::request::kList, n,
                          PairParams({{QStringLiteral("chto"), n},
                                      {QStringLiteral("BackParam"), QStringLiteral("1")}}));
}

void TFormTaxMain::sesTaxListData() {
    const QString chto = sesTaxList_->GetRequestParam(QStringLiteral("chto"));
    try {
        int next = 0;
        switch (chto.toInt()) {
        case 754:
            WriteLog(Utf("Читаем список клиентов для взимания комиссий"));
            ReadClients();
            next = 755;
            break;
        case 755:
            WriteLog(Utf("Читаем список счетов клиентов для взимания комиссий"));
            ReadClientAccounts();
            next = 756;
            break;
        case 756:
            WriteLog(Utf("Читаем список собственных счетов для зачисления комиссий"));
            ReadSelfAccounts();
            if (Hooks().SelfAccountsLoaded)
                Hooks().SelfAccountsLoaded(lists_);
            next = 750;
            break;
        case 750:
            WriteLog(Utf("Читаем список тарифов"));
            ReadTarifs();
            if (Hooks().TarifsLoaded)
                Hooks().TarifsLoaded();
            next = 751;
            break;
        case 751:
            WriteLog(Utf("Читаем список тарифых планов"));
            ReadPlans();
            next = 752;
            break;
        case 752:
            WriteLog(Utf("Читаем список Тарифый план->Тарифы"));
            ReadPlanTarifs();
            next = 753;
            break;
        case 753:
            WriteLog(Utf("Читаем список Тарифый план->Клиенты"));
            ReadPlanClients();
            QMetaObject::invokeMethod(this, &TFormTaxMain::BuildTrees, Qt::QueuedConnection);
            return;
        default:
            return; // not an answer of the chain
        }
        SendList(next);
    } catch (const std::exception& e) {
        WriteLog(Utf("ОШИБКА. Чтение данных для интерфейса взимания комиссий. query=\"") + chto +
                 QStringLiteral("\" msg=") + ErrorText(e));
    }
}

void TFormTaxMain::ReadClients() {
    lists_.Clients.Clear();
    TMetadataParser& p = *listParser_;
    const int rows = sesTaxList_->GetRowCount();
    for (int row = 0; row < rows; ++row) {
        auto client = std::make_unique<TTaxClient>();
        client->Id = p.GetInt(QStringLiteral("CLI_ID"), row, 0);
        client->Name = p.GetText(QStringLiteral("CLI_NAME"), row);
        lists_.Clients.Append(std::move(client));
    }
}

void TFormTaxMain::ReadClientAccounts() {
    lists_.ClientAccounts.Clear();
    TMetadataParser& p = *listParser_;
    const int rows = sesTaxList_->GetRowCount();
    for (int row = 0; row < rows; ++row) {
        auto account = std::make_unique<TTaxAccount>();
        account->Id = p.GetInt(QStringLiteral("ACC_ID"), row, 0);
        account->OwnerClientId = p.GetInt(QStringLiteral("CLI_ID"), row, 0);
        account->OwnerClient = lists_.Clients.Find(kKindTaxClient, account->OwnerClientId);
        account->Name = p.GetText(QStringLiteral("ACC_NAME"), row);
        lists_.ClientAccounts.Append(std::move(account));
    }
}

void TFormTaxMain::ReadSelfAccounts() {
    lists_.SelfAccounts.Clear();
    TMetadataParser& p = *listParser_;
    const int rows = sesTaxList_->GetRowCount();
    for (int row = 0; row < rows; ++row) {
        auto account = std::make_unique<TTaxSelfAccount>();
        account->Id = p.GetInt(QStringLiteral("ACC_ID"), row, 0);
        account->OwnerClientId = p.GetInt(QStringLiteral("CLI_ID"), row, 0);
        account->Name = p.GetText(QStringLiteral("ACC_NAME"), row);
        lists_.SelfAccounts.Append(std::move(account));
    }
}

void TFormTaxMain::ReadTarifs() {
    // Plans point at tariffs: they go first (the chain reads them again after this).
    for (TTaxTarifPlan* plan : lists_.Plans)
        plan->Tarifs.clear();
    lists_.Tarifs.Clear();
    TMetadataParser& p = *listParser_;
    const TReferenceData& refs = TReferenceData::Current();
    const int rows = sesTaxList_->GetRowCount();
    for (int row = 0; row < rows; ++row) {
        auto owned = std::make_unique<TTaxTarif>();
        TTaxTarif& t = *owned;
        t.Id = p.GetInt(QStringLiteral("TARIF_ID"), row, 0);
        t.Algorithm = p.GetInt(QStringLiteral("ALGORITM"), row, 0);
        t.TarifType = p.GetInt(QStringLiteral("TARIF_TYPE"), row, 0);
        t.DestAccountId = p.GetInt(QStringLiteral("DEST_ACCOUNT_ID"), row, 0);
        t.TarifSum = p.GetFloat(QStringLiteral("TARIF_SUM"), row, 0);
        t.Name = p.GetText(QStringLiteral("TARIF_NAME"), row);
        t.AreaOfWork = p.GetText(QStringLiteral("AREA_OF_WORK"), row);
        t.AreaOfVol = p.GetText(QStringLiteral("AREA_OF_VOL"), row);
        t.AreaOfWorkExclude = p.GetText(QStringLiteral("AREA_OF_WORK_EXCLUDE"), row);
        t.AreaOfVolExclude = p.GetText(QStringLiteral("AREA_OF_VOL_EXCLUDE"), row);
        t.Scale = p.GetText(QStringLiteral("SCALE"), row);
        t.GroupFlag = p.GetInt(QStringLiteral("ALGORITM_3_GROUP_SUB_CLIENT"), row, 1);
        lists_.Tarifs.Append(std::move(owned));
        t.ParseAreas();
        LinkTarif(t, refs);
        t.ParseScale();
    }
}

void TFormTaxMain::ReadPlans() {
    for (TTaxClient* client : lists_.Clients)
        client->Plan = nullptr;
    lists_.Plans.Clear();
    TMetadataParser& p = *listParser_;
    const int rows = sesTaxList_->GetRowCount();
    for (int row = 0; row < rows; ++row) {
        auto plan = std::make_unique<TTaxTarifPlan>();
        plan->Id = p.GetInt(QStringLiteral("TARIF_PLAN_ID"), row, 0);
        plan->Name = p.GetText(QStringLiteral("TARIF_PLAN_NAME"), row);
        lists_.Plans.Append(std::move(plan));
    }
}

void TFormTaxMain::ReadPlanTarifs() {
    TMetadataParser& p = *listParser_;
    const int rows = sesTaxList_->GetRowCount();
    for (int row = 0; row < rows; ++row) {
        TTaxTarifPlan* plan =
            lists_.Plans.Find(kKindTaxPlan, p.GetInt(QStringLiteral("TARIF_PLAN_ID"), row, 0));
        TTaxTarif* tarif =
            lists_.Tarifs.Find(kKindTaxTarif, p.GetInt(QStringLiteral("TARIF_ID"), row, 0));
        if (plan && tarif && !plan->Holds(tarif))
            plan->Tarifs.push_back(tarif);
    }
}

void TFormTaxMain::ReadPlanClients() {
    TMetadataParser& p = *listParser_;
    const int rows = sesTaxList_->GetRowCount();
    for (int row = 0; row < rows; ++row) {
        TTaxTarifPlan* plan =
            lists_.Plans.Find(kKindTaxPlan, p.GetInt(QStringLiteral("TARIF_PLAN_ID"), row, 0));
        TTaxClient* client =
            lists_.Clients.Find(kKindTaxClient, p.GetInt(QStringLiteral("CLIENT_ID"), row, 0));
        if (!plan || !client)
            continue;
        client->PlanId = plan->Id;
        client->Plan = plan;
        client->SelfAccountId = p.GetInt(QStringLiteral("SOURCE_ACCOUNT_SELF_OPERATION"), row, 0);
        client->SelfAccountName = p.GetText(QStringLiteral("NAME_ACCOUNT_SELF_OPERATION"), row);
        client->CliAccountId = p.GetInt(QStringLiteral("SOURCE_ACCOUNT_CLI_OPERATION"), row, 0);
        client->CliAccountName = p.GetText(QStringLiteral("NAME_ACCOUNT_CLI_OPERATION"), row);
    }
}

void TFormTaxMain::BuildTrees() {
    GuardStep(QStringLiteral("FormTaxMain.BuildTrees"), [&] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QApplication::restoreOverrideCursor(); }
        } restore;
        tarifModel_->BuildTarifTree();
        planModel_->BuildPlanTree();
        clientModel_->BuildClientTree();
        for (QTreeView* tree : {vtTarif_, vtPlan_, vtClient_}) {
            static_cast<TTaxTreeModel*>(tree->model())->SortFirstRoot(0, Qt::AscendingOrder);
            tree->expand(tree->model()->index(0, 0));
        }
        treesBuilt_ = true;
    });
}

void TFormTaxMain::SortTree(QTreeView* tree, int column) {
    const auto previous = Qt::SortOrder(tree->property(kSortOrderProperty).toInt());
    const Qt::SortOrder order =
        previous == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    tree->setProperty(kSortOrderProperty, int(order));
    tree->header()->setSortIndicatorShown(true);
    tree->header()->setSortIndicator(column, order);
    static_cast<TTaxTreeModel*>(tree->model())->SortFirstRoot(column, order);
}

void TFormTaxMain::FitColumns(QTreeView* tree) {
    const int half = tree->viewport()->width() / 2;
    tree->header()->resizeSection(0, half);
}

bool TFormTaxMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize)
        for (QTreeView* tree : {vtTarif_, vtPlan_, vtClient_})
            if (tree && tree->viewport() == watched)
                FitColumns(tree);
    return QWidget::eventFilter(watched, event);
}

void TFormTaxMain::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::SingleChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormTaxMain(); };
    TWindowCatalog::Register(WindowCommand::Commissions, std::move(entry));
}
