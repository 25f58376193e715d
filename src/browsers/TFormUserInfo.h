#pragma once

#include "browsers/UserInfoTree.h"

#include <QWidget>

class QAction;
class QMenu;
class QTabWidget;
class QTreeView;
class TBrokerSession;
class TUserInfoView;

// "Справочник клиентов и счетов": the firm's own information about clients and
// accounts in two trees, clients with their accounts and information in the first,
// information types with their clients or accounts in the second. A value is edited
// in place and sent to the server at once; the main window applies the answer to the
// reference objects and asks this window to repaint.
//
// One window at a time: the main window keeps a guarded reference to it (Current()).
class TFormUserInfo : public QWidget {
    Q_OBJECT

public:
    explicit TFormUserInfo(QWidget* parent = nullptr);
    ~TFormUserInfo() override;

    // The open window, or null.
    static TFormUserInfo* Current();
    // The main window's user-information session, where the requests go.
    static void SetSession(TBrokerSession* session);

    // CreateTree then CreateUserInfoTree, from the published reference data.
    void Rebuild();
    void CreateTree();
    void CreateUserInfoTree();
    // Empties both trees (an open editor is closed without saving): before the
    // reference data are reloaded, and by "Обновить".
    void EmptyTrees();
    // Both trees show the values' current texts.
    void RepaintTrees();

    // "Редактировать": starts editing the information cell of the focused node of the
    // current tree when that node may be edited.
    void EditFocused();
    // "Обновить ": empties the trees and asks for the values again.
    void RefreshValues();
    // Stores a confirmed text of a node's information cell (see the source).
    void SaveInfoValue(TUserInfoTree& tree, int node, const QString& text);

    TUserInfoTree& TreeClientsModel() const { return *clients_; }
    TUserInfoTree& TreeUserInfoModel() const { return *userInfo_; }
    QTreeView& TreeClients() const;
    QTreeView& TreeUserInfo() const;
    QTabWidget& Tabs() const { return *tabs_; }
    QMenu* PopupMenu() const { return popup_; }
    // Makes a node the focused and selected one of its tree.
    void FocusNode(TUserInfoTree& tree, int node);
    // The focused node of a tree, or None.
    int FocusedNode(const TUserInfoTree& tree) const;

    // Registers the "Справочник клиентов и счетов" command.
    static void Register();

private:
    TUserInfoView* ViewOf(const TUserInfoTree& tree) const;
    TUserInfoTree& Other(const TUserInfoTree& tree) const;
    void FocusChanged(TUserInfoTree& tree);
    void TabChanged(int tab);

    TUserInfoTree* clients_ = nullptr;
    TUserInfoTree* userInfo_ = nullptr;
    TUserInfoView* treeClients_ = nullptr;
    TUserInfoView* treeUserInfo_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QMenu* popup_ = nullptr;
    QString baseCaption_;
};
