#pragma once

#include "filter/FilterLogic.h"

#include <QDialog>
#include <QTimer>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeView;
class TFilterTreeModel;
class TReferenceData;

// "Фильтр": the one filter dialog of the program. A window shows it with the parts it
// needs (ShowFilter with an option mask), and after OK asks it for the pieces of its
// filter expression and the lists and codes it leaves behind. The check marks and
// option boxes stay as the user leaves them from one use to the next.
class TFormFiltr : public QDialog {
    Q_OBJECT
public:
    // Modal results.
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;
    static constexpr int mrAbort = 3;

    explicit TFormFiltr(QWidget* parent = nullptr);
    ~TFormFiltr() override;

    // The program's dialog; made on first use when start-up has not made it.
    static TFormFiltr& Instance();
    static bool HasInstance();

    // Shows the dialog modally with the parts the mask asks for; mrOk when confirmed.
    int ShowFilter(int mask);
    // The part of ShowFilter before the modal loop (also used by tests).
    void PrepareShow(int mask);

    QString AccountFilter(QString& captions) { return logic_.AccountFilter(captions); }
    QString SecurityFilter(QString& captions, bool includeMoney) {
        return logic_.SecurityFilter(captions, includeMoney);
    }
    QString DebitCreditFilter(QString& captions);
    QString BuySellFilter(QString& captions) { return logic_.BuySellFilter(captions); }
    QString OrderStatusFilter(QString& captions) { return logic_.OrderStatusFilter(captions); }
    QString PositionFilter(QString& captions) { return logic_.PositionFilter(captions); }

    const QStringList& FilterBumList() const { return logic_.FilterBumList; }
    const QStringList& FilterAccList() const { return logic_.FilterAccList; }
    const QString& BuySellCode() const { return logic_.BuySellCode; }
    int StatusMask() const { return logic_.StatusMask; }
    const QString& ShortLongCode() const { return logic_.ShortLongCode; }
    bool IsDebetChecked() const { return logic_.IsDebetChecked(); }
    bool IsKreditChecked() const { return logic_.IsKreditChecked(); }

    // Main window: build the trees from the reference data, empty them, end the
    // dialog when the connection is lost.
    void FillTreeAcc();
    void FillTreeBum();
    void FillTreeAcc(TReferenceData& refs);
    void FillTreeBum(const TReferenceData& refs);
    void ClearTrees();
    void ForceClose();

    // "OK": closes with mrOk only when every check passes.
    void ConfirmClick();

    // Searches; select the node found. fromFocused: continue after the focused node.
    bool FindAcc(const QString& text, bool fromFocused);
    bool FindBum(const QString& text, bool fromFocused);

    // The typing search timer's handler (public so tests need not wait a second).
    void TypingTimerFired();
    QTimer& TypingTimer() { return typingTimer_; }

    TFilterLogic& Logic() { return logic_; }
    QTreeView* AccTreeView() const;
    QTreeView* BumTreeView() const;
    QLineEdit* AccSearchField() const;
    QLineEdit* BumSearchField() const;
    QAction* ShowClientsAction() const;
    QAction* ShowNotTradedAction() const;
    QWidget* TopPanel() const { return topPanel_; }
    QGroupBox* SideGroup() const { return sideGroup_; }
    QGroupBox* StatusGroup() const { return statusGroup_; }
    QGroupBox* PositionGroup() const { return positionGroup_; }
    QGroupBox* DebitCreditGroup() const { return debitCreditGroup_; }
    int FocusedAccNode() const;
    int FocusedBumNode() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Pane;
    Pane* MakePane(const QString& title, bool accounts);
    bool Find(Pane& pane, const QString& text, bool fromFocused);
    void Select(Pane& pane, int node);
    int Focused(const Pane& pane) const;
    bool HandleTreeKey(Pane& pane, QKeyEvent* key);
    void FlipAndMove(Pane& pane, bool forward);
    void SyncBoxesFromLogic();
    void LayOutTopPanel();

    TFilterLogic logic_;
    int mask_ = 0;
    QWidget* topPanel_ = nullptr;
    QGroupBox* sideGroup_ = nullptr;
    QGroupBox* statusGroup_ = nullptr;
    QGroupBox* positionGroup_ = nullptr;
    QGroupBox* debitCreditGroup_ = nullptr;
    QCheckBox* sell_ = nullptr;
    QCheckBox* buy_ = nullptr;
    QCheckBox* short_ = nullptr;
    QCheckBox* long_ = nullptr;
    QCheckBox* active_ = nullptr;
    QCheckBox* executed_ = nullptr;
    QCheckBox* cancelled_ = nullptr;
    QCheckBox* debit_ = nullptr;
    QCheckBox* credit_ = nullptr;
    QSplitter* splitter_ = nullptr;
    Pane* acc_ = nullptr;
    Pane* bum_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer typingTimer_;
};
