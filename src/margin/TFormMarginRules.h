#pragma once

#include "shell/contract/TChildWindow.h"

#include <memory>

class QAction;
class QMenu;
class QToolBar;
class TAdvColumnGrid;
class TBrokerSession;

// "<client> - Инструменты маржинальной торговли": one client's marginal securities,
// opened from the margin monitor (each opening makes another window). Every change is
// a command to the server; the list is read again when the server confirms it, in this
// window and in every other open one of the same client.
class TFormMarginRules : public TChildWindow {
    Q_OBJECT
public:
    // Column identities, the answer's field order.
    enum ColumnTag {
        kNumber = 0,
        kName = 1,
        kLimit = 2,
        kCountsInLevel = 3,
        kMarginTrading = 4,
        kCountsInLevelRaw = -3, // the flags as the server sent them
        kMarginTradingRaw = -4,
    };

    explicit TFormMarginRules(QWidget* parent = nullptr);
    ~TFormMarginRules() override;

    int Tag() const override { return 0; }

    // Set by the monitor before the first list request.
    void SetClient(const QString& clientNumber, const QString& clientName);
    QString ClientNumber() const { return client_; }

    // Session events.
    void SesMrgRulesLogin();
    void SesMrgRulesData();
    void SesChangeRuleData();

    // Commands.
    void AddClick();
    void EditClick();
    void DeleteClick();
    void CopyClick();
    void DeleteAllClick();

    bool Waiting() const { return waiting_; }
    int AddCounter() const { return addCounter_; }
    TAdvColumnGrid& GridMrgRules() const { return *grid_; }
    TBrokerSession& SesMrgRules() const { return *sesList_; }
    TBrokerSession& SesChangeRule() const { return *sesChange_; }
    QMenu* PopupMenu() const { return popup_; }
    QToolBar* Panel() const { return panel_; }

    // The flag cells' text: "1" "Да", "0" and empty nothing, else an error text.
    static QString FlagText(const QString& raw);
    // The change's limit: rounded to a whole number, a half to the even neighbour.
    static QString RoundedLimit(double value);

private:
    void BuildGrid();
    void BuildMenusAndPanel();
    QString Cell(int tag, int row) const;
    int CurrentDataRow() const;
    void SendCommand(int query, const QList<std::pair<QString, QString>>& params);
    void SetWaiting(bool on);
    // Every other open rules window of the client reads its list again.
    static void RefreshOthers(const TFormMarginRules* except, const QString& client);

    std::unique_ptr<TBrokerSession> sesList_;
    std::unique_ptr<TBrokerSession> sesChange_;
    TAdvColumnGrid* grid_ = nullptr;
    QToolBar* panel_ = nullptr;
    QMenu* popup_ = nullptr;
    QString client_;
    QString clientName_;
    int addCounter_ = 0;
    int outstanding_ = 0; // commands sent and not yet answered
    bool waiting_ = false;
};
