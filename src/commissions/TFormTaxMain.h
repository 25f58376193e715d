#pragma once

#include "commissions/TaxObjects.h"
#include "session/TBrokerSession.h"
#include "shell/contract/IMonitorWindow.h"

#include <QWidget>

#include <functional>
#include <memory>

class QTabWidget;
class QToolButton;
class QTreeView;
class TMetadataParser;
class TTaxCommands;
class TTaxTreeModel;

// What the manager tells the shared commission dialogs, which outlive it.
struct TTaxManagerHooks {
    // After list 756: the editor refills its destination accounts from the lists.
    std::function<void(const TTaxLists& lists)> SelfAccountsLoaded;
    // After list 750: the tariff choice offers a new list at its next showing.
    std::function<void()> TarifsLoaded;
    // Closing: the dialogs drop what points into the manager's lists.
    std::function<void()> Closing;
};

// "Клиентские комиссии": the tariffs, tariff plans and the clients' plans, loaded
// once when the window opens through the chain 754, 755, 756, 750, 751, 752, 753 and
// shown in three trees. One window at most; it never reloads.
class TFormTaxMain : public QWidget, public IMonitorWindow {
    Q_OBJECT
public:
    explicit TFormTaxMain(QWidget* parent = nullptr);
    ~TFormTaxMain() override;

    int Tag() const override { return 0; }

    // The chain's list queries in the order they are sent.
    static constexpr int kChain[] = {754, 755, 756, 750, 751, 752, 753};

    const TTaxLists& Lists() const { return lists_; }
    TTaxLists& Lists() { return lists_; }
    TTaxTreeModel& TarifModel() const { return *tarifModel_; }
    TTaxTreeModel& PlanModel() const { return *planModel_; }
    TTaxTreeModel& ClientModel() const { return *clientModel_; }
    QTreeView* vtTarif() const { return vtTarif_; }
    QTreeView* vtPlan() const { return vtPlan_; }
    QTreeView* vtClient() const { return vtClient_; }
    QTabWidget* Pages() const { return pages_; }
    TBrokerSession& sesTaxList() const { return *sesTaxList_; }
    TBrokerSession& sesTarifExec() const { return *sesTarifExec_; }
    TTaxCommands& Commands() const { return *commands_; }
    bool TreesBuilt() const { return treesBuilt_; }
    // The buttons by their hint, in page order.
    QToolButton* Button(const QString& hint) const;

    // The answer of the list session: reads it and sends the next query.
    void sesTaxListData();
    // Builds, then sorts the three trees (runs queued after the 753 answer).
    void BuildTrees();
    // A header click: flips the tree's order and sorts the first root's children.
    void SortTree(QTreeView* tree, int column);

    static TTaxManagerHooks& Hooks();
    // Registers the window with the "Клиентские комиссии" command.
    static void Register();

protected:
    // Each tree's viewport reports its resizes here: a page shown after the window
    // was resized still splits its columns half and half.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPages();
    void WireButtons();
    QTreeView* MakeTree(TTaxTreeModel* model);
    void SendList(int query);
    void ReadClients();
    void ReadClientAccounts();
    void ReadSelfAccounts();
    void ReadTarifs();
    void ReadPlans();
    void ReadPlanTarifs();
    void ReadPlanClients();
    void FitColumns(QTreeView* tree);

    TTaxLists lists_;
    // Each session parses its answers' metadata with its own parser.
    std::unique_ptr<TMetadataSession> sesTaxList_;
    std::unique_ptr<TMetadataSession> sesTarifExec_;
    TMetadataParser* listParser_ = nullptr;
    TTaxTreeModel* tarifModel_ = nullptr;
    TTaxTreeModel* planModel_ = nullptr;
    TTaxTreeModel* clientModel_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QTreeView* vtTarif_ = nullptr;
    QTreeView* vtPlan_ = nullptr;
    QTreeView* vtClient_ = nullptr;
    std::unique_ptr<TTaxCommands> commands_; // holds the tariff awaiting the server
    bool treesBuilt_ = false;
};
