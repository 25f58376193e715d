#pragma once

#include "commissions/TaxObjects.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;
class TMetadataSession;
class TTaxTreeModel;
struct TTaxNode;

// What the commands open and post through the program; unset entries do nothing
// (the deferred message falls back to a box shown after the current event).
struct TTaxCommandHooks {
    // The tariff editor: a new tariff (existing null) or a changed copy of existing;
    // null when cancelled. The caller owns the result.
    std::function<std::unique_ptr<TTaxTarif>(const TTaxLists& lists, const TTaxTarif* existing)>
        EditTarif;
    // The tariff choice; null when cancelled.
    std::function<TTaxTarif*(const TTaxLists& lists)> ChooseTarif;
    // The plan assignment for a client; false when cancelled, else the chosen values.
    std::function<bool(const TTaxLists& lists, const TTaxClient& client, TTaxClient& result)>
        AssignPlan;
    // The main window's deferred message box.
    std::function<void(const QString& text)> PostError;
    // After a tariff change: the tariff choice offers a new list next time.
    std::function<void()> TarifsChanged;
};

// The commission manager's commands (1901 to 1908) and the applying of their
// answers to the lists and trees. Nothing changes before the server confirms.
class TTaxCommands {
public:
    TTaxCommands(TTaxLists& lists, TTaxTreeModel& tarifs, TTaxTreeModel& plans,
                 TTaxTreeModel& clients, TMetadataSession& session, QWidget* owner);
    ~TTaxCommands();

    static TTaxCommandHooks& Hooks();

    // Each takes the focused node of its tree (null: nothing focused).
    void NewTarif();
    void EditTarif(const TTaxNode* focused);
    void DeleteTarif(const TTaxNode* focused);
    void NewPlan();
    void EditPlan(const TTaxNode* focused);
    void DeletePlan(const TTaxNode* focused);
    void AddTarifToPlan(const TTaxNode* focused);
    void DelTarifFromPlan(const TTaxNode* focused);
    void AttachClient(const TTaxNode* focused);
    void DetachClient(const TTaxNode* focused);

    // The answer of the command session.
    void sesTarifExecData();

    bool HasPending() const { return pending_ != nullptr; }
    quint64 PendingToken() const { return pendingToken_; }

private:
    void SendTarif(std::unique_ptr<TTaxTarif> tarif, qint32 id);
    void SendExec(int query, std::initializer_list<std::pair<QString, QString>> params);
    bool Ask(const QString& text, int buttons, int yes);
    qint32 RequestInt(const QString& key) const;
    void ApplyTarif();
    void ApplyDeleteTarif();
    void ApplyPlan();
    void ApplyDeletePlan();
    void ApplyAddTarifToPlan();
    void ApplyDelTarifFromPlan();
    void ApplyClient(bool attach);
    void TarifsChanged();

    TTaxLists& lists_;
    TTaxTreeModel& tarifs_;
    TTaxTreeModel& plans_;
    TTaxTreeModel& clients_;
    TMetadataSession& session_;
    QWidget* owner_;
    std::unique_ptr<TTaxTarif> pending_; // the tariff awaiting the answer to 1901
    quint64 pendingToken_ = 0;
};
