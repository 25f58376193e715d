#pragma once

#include <QDialog>

#include <memory>

class QComboBox;
class QTimer;
class QTreeWidgetItem;
class TAreaItem;
class TReferenceData;
class TtsvTreeView;

// "Добавить площадка\секцию": picks one scope of a tariff (all trading systems, a
// trading system, a board or one security) and a security type, and builds the
// area item for it. Made once at start-up; its tree is built with the reference
// data and cleared before the reference data is reloaded.
class TFormTaxAddArea : public QDialog {
    Q_OBJECT
public:
    // Node kinds of the tree.
    enum NodeKind { kAllAreas = 1, kTradingSystem = 2, kBoard = 3, kSecurity = 4 };

    explicit TFormTaxAddArea(QWidget* parent = nullptr);
    ~TFormTaxAddArea() override;

    static TFormTaxAddArea* Instance(); // the one made at start-up, or null

    void FillTree(const TReferenceData& refs);
    void ClearTree();
    // Checks the root and the first type when nothing is chosen (before showing).
    void PrepareShow();
    // The item of the current choice, linked and described; null with no choice.
    std::unique_ptr<TAreaItem> BuildAreaItem() const;

    // Chooses a node as a click on its radio button does.
    void Choose(QTreeWidgetItem* node);
    QTreeWidgetItem* CheckedNode() const { return checked_; }
    // Searches for text from a node on (the first node when null); true when found.
    bool Search(const QString& text, QTreeWidgetItem* start);
    // F7: the last search text again, after the focused node.
    void SearchNext();
    // The typed characters so far; FinishTyping is what the typing timer runs.
    void TypeText(const QString& text);
    void FinishTyping();

    TtsvTreeView* vtBoards() const { return tree_; }
    QComboBox* cbBumType() const { return types_; }
    QString LastSearch() const { return lastSearch_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void NodeChecked(QTreeWidgetItem* node);

    TtsvTreeView* tree_ = nullptr;
    QComboBox* types_ = nullptr;
    QTimer* typingTimer_ = nullptr;
    QTreeWidgetItem* checked_ = nullptr; // the one chosen node
    QString typing_;
    QString lastSearch_;
};
