#pragma once

#include "margin/MarginSecurityTree.h"

#include <QDialog>
#include <QStringList>
#include <QTimer>

class QAction;
class QCheckBox;
class TLimitSpinBox;
class QKeyEvent;
class QMenu;
class QTreeView;
class TMarginTreeModel;
class TReferenceData;

// "Добавить маржинальные бумаги": chooses securities and money items with their limit
// and flags for a rules window. Made once at start-up; its check marks stay from one
// showing to the next, the chosen list starts empty at each.
class TFormMarginAddRule : public QDialog {
    Q_OBJECT
public:
    explicit TFormMarginAddRule(QWidget* parent = nullptr);
    ~TFormMarginAddRule() override;
    static TFormMarginAddRule* Instance(); // null before start-up made it

    // The tree from the reference data (StartWork, and when the not-traded item toggles).
    void FillTreeBum(const TReferenceData& refs);
    // Emptied while the reference lists are loaded again.
    void ClearTree();

    // Shows the dialog modally (the chosen list emptied first).
    int ShowModal();
    // OK: the three checks in order; the dialog stays open when one fails.
    void ConfirmClick();

    // After OK.
    const QStringList& Chosen() const { return chosen_; }
    double Limit() const;
    bool MarginTrading() const;
    bool CountsInLevel() const;

    // Tree operations, also used by the keys and the menu.
    void Search(const QString& text, bool again);
    void InvertMarks();
    void FlipAndMove(bool forward);
    void TypingTimerFired();
    bool HandleTreeKey(QKeyEvent* key);

    TMarginSecurityTree& Logic() { return logic_; }
    QTreeView* BumTree() const { return view_; }
    TLimitSpinBox* EdSellLimit() const { return limit_; }
    QCheckBox* CbMrgBuyEnable() const { return buyEnable_; }
    QCheckBox* CbMrgCalc() const { return calc_; }
    QAction* ShowNotTradedAction() const { return showNotTraded_; }
    int FocusedNode() const;
    QString TypingBuffer() const { return typed_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Focus(int node);

    TMarginSecurityTree logic_;
    TMarginTreeModel* model_ = nullptr;
    QTreeView* view_ = nullptr;
    TLimitSpinBox* limit_ = nullptr;
    QCheckBox* buyEnable_ = nullptr;
    QCheckBox* calc_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* showNotTraded_ = nullptr;
    QTimer typingTimer_;
    QString typed_;
    QString last_;
    QStringList chosen_;
    const TReferenceData* refs_ = nullptr;
};
