#pragma once

#include "commissions/TaxObjects.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <memory>
#include <vector>

// Node kinds of the commission manager's trees.
namespace taxnode {
enum : int {
    TarifRoot = 1,
    Tarif = 2,
    TarifType = 3,
    Algorithm = 4,
    AreaOfWork = 5,
    AreaOfWorkItem = 6,
    AreaOfVol = 7,
    AreaOfVolItem = 8,
    Scale = 9,
    ScaleLineTurnover = 10,
    WorkInclude = 11,
    WorkExclude = 12,
    VolInclude = 13,
    VolExclude = 14,
    DestAccount = 15,
    TarifSum = 16,
    ScaleLineCount = 17,
    GroupFlag = 18,
    PlanRoot = 100,
    Plan = 101,
    PlanTarif = 102,
    ClientRoot = 200,
    Client = 201,
    ClientSelfAccount = 202,
    ClientSubAccount = 203,
};
}

// One node: a kind and the object it shows (not owned).
struct TTaxNode {
    int Kind = 0;
    TBaseSimpleObject* Object = nullptr;
    TTaxNode* Parent = nullptr;
    std::vector<std::unique_ptr<TTaxNode>> Children;

    // The position among its siblings; the cached guess is checked, so it stays
    // cheap under a root with twenty thousand children.
    int Row() const;
    mutable size_t RowGuess = 0;
};

// The tree of one page of the commission manager. Texts are made from the objects
// each time they are asked for, so a changed object shows at the next repaint.
class TTaxTreeModel : public QAbstractItemModel {
public:
    explicit TTaxTreeModel(const TTaxLists& lists, QObject* parent = nullptr);
    ~TTaxTreeModel() override;

    // The three trees; each replaces what the model held.
    void BuildTarifTree();
    void BuildPlanTree();
    void BuildClientTree();
    void Clear();

    // Sorts the children of the first root by a column's texts, character codes
    // compared; the tariff tree compares only tariff nodes, by name.
    void SortFirstRoot(int column, Qt::SortOrder order);

    TTaxNode* FirstRoot() const;
    int TopCount() const { return int(root_.Children.size()); }
    TTaxNode* NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOf(const TTaxNode* node, int column = 0) const;
    QString NodeText(const TTaxNode& node, int column) const;

    // Node operations of the commands.
    TTaxNode* FindNode(int kind, qint32 objectKind, qint32 id) const;
    static TTaxNode* FindChild(const TTaxNode* parent, int kind, qint32 objectKind, qint32 id);
    int ReplaceObject(const TBaseSimpleObject* oldObject, TBaseSimpleObject* newObject);
    int DeleteNodesOf(const TBaseSimpleObject* object);
    TTaxNode* AddTarifNode(TTaxTarif* tarif);
    TTaxNode* AddPlanNode(TTaxTarifPlan* plan);
    TTaxNode* AddPlanTarifNode(TTaxNode* planNode, TTaxTarif* tarif);
    void DeleteNode(TTaxNode* node); // with its subtree
    // Repaints every text (names and plans changed in the objects).
    void Redraw();

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // Appends without telling the views (building runs inside a reset).
    static TTaxNode* Append(TTaxNode* parent, int kind, TBaseSimpleObject* object);
    static void AppendTarifSubtree(TTaxNode* tarifNode, TTaxTarif* tarif);
    static void AppendPlanSubtree(TTaxNode* planNode, TTaxTarifPlan* plan);
    TTaxNode* Insert(TTaxNode* parent, int kind, TBaseSimpleObject* object,
                     void (*fill)(TTaxNode*, TBaseSimpleObject*));
    QIcon NodeIcon(int kind) const;

    const TTaxLists& lists_;
    TTaxNode root_; // invisible; its children are the top nodes
};
