#include "browsers/TFormUserInfo.h"

#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/contract/WindowCatalog.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <exception>

// A tree of the browser: the first column takes half the width on every resize, and
// an open editor can be dropped without its text being saved.
class TUserInfoView : public QTreeView {
public:
    explicit TUserInfoView(QWidget* parent) : QTreeView(parent) {
        setSelectionBehavior(SelectRows);
        setSelectionMode(SingleSelection);
        setUniformRowHeights(true);
        setRootIsDecorated(true);
        setItemsExpandable(true);
        setAllColumnsShowFocus(true);
        setEditTriggers(NoEditTriggers); // only "Редактировать" starts editing
        setContextMenuPolicy(Qt::CustomContextMenu);
        header()->setStretchLastSection(true);
        // Grid lines; a selected row keeps readable colours under the style sheet.
        setStyleSheet(QStringLiteral(
            "QTreeView::item { border-right: 1px solid #d0d0d0; border-bottom: 1px solid "
            "#d0d0d0; } QTreeView::item:selected { background: palette(highlight); "
            "color: palette(highlighted-text); }"));
    }
    void DiscardEditor() {
        const QModelIndex current = currentIndex();
        for (int column = 0; column < 2 && current.isValid(); ++column) {
            if (QWidget* editor = indexWidget(current.siblingAtColumn(column)))
                closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
    bool Editing() const { return state() == EditingState; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QTreeView::resizeEvent(event);
        header()->resizeSection(0, viewport()->width() / 2);
    }
};

namespace {

QPointer<TFormUserInfo>& Instance() {
    static QPointer<TFormUserInfo> instance;
    return instance;
}

TBrokerSession*& Session() {
    static TBrokerSession* session = nullptr;
    return session;
}

bool IsOwner(int kind) {
    return kind == kKindClient || kind == kKindAccount;
}

} // namespace

TFormUserInfo::TFormUserInfo(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Справочник клиентов и счетов"));
    resize(640, 520);
    baseCaption_ = windowTitle();
    Instance() = this;

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    layout->addWidget(bar);
    QAction* refresh =
        bar->addAction(style()->standardIcon(QStyle::SP_BrowserReload), QString(), this, [this] {
            GuardStep(QStringLiteral("FormUserInfo.BtnRefreshClick"), [this] { RefreshValues(); });
        });
    refresh->setToolTip(QStringLiteral("Обновить"));
    QAction* edit = bar->addAction(style()->standardIcon(QStyle::SP_DialogApplyButton), QString(),
                                   this, [this] { EditFocused(); });
    edit->setToolTip(QStringLiteral("Редактировать"));

    clients_ = new TUserInfoTree(TUserInfoTree::Shape::Clients, this);
    userInfo_ = new TUserInfoTree(TUserInfoTree::Shape::UserInfo, this);
    tabs_ = new QTabWidget(this);
    layout->addWidget(tabs_, 1);
    treeClients_ = new TUserInfoView(tabs_);
    treeClients_->setObjectName(QStringLiteral("treeClients"));
    treeClients_->setModel(clients_);
    treeUserInfo_ = new TUserInfoView(tabs_);
    treeUserInfo_->setObjectName(QStringLiteral("treeUserInfo"));
    treeUserInfo_->setModel(userInfo_);
    // The "C" of "Cчета" in both captions is the Latin letter.
    tabs_->addTab(treeClients_, QStringLiteral("Клиенты->\x43чета->Пользовательская информация"));
    tabs_->addTab(treeUserInfo_, QStringLiteral("Пользовательская информация->Клиенты\\\x43чета"));

    popup_ = new QMenu(this);
    QAction* editItem = popup_->addAction(QStringLiteral("Редактировать"));
    editItem->setShortcut(QKeySequence(Qt::Key_F2));
    editItem->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(editItem);
    connect(editItem, &QAction::triggered, this, [this] { EditFocused(); });
    popup_->addSeparator();
    QAction* refreshItem = popup_->addAction(QStringLiteral("Обновить "));
    connect(refreshItem, &QAction::triggered, this, [this] {
        GuardStep(QStringLiteral("FormUserInfo.BtnRefreshClick"), [this] { RefreshValues(); });
    });

    for (TUserInfoTree* tree : {clients_, userInfo_}) {
        TUserInfoView* view = ViewOf(*tree);
        connect(
            view, &QWidget::customContextMenuRequested, popup_,
            [this, view](const QPoint& pos) { popup_->exec(view->viewport()->mapToGlobal(pos)); });
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this, tree] { FocusChanged(*tree); });
        tree->OnEdit = [this, tree](int node, const QString& text) {
            GuardStep(QStringLiteral("FormUserInfo.SaveInfoValue"),
                      [&] { SaveInfoValue(*tree, node, text); });
        };
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) { TabChanged(tab); });

    tabs_->setCurrentIndex(0);
    Rebuild();
}

TFormUserInfo::~TFormUserInfo() {
    if (Instance() == this)
        Instance() = nullptr;
}

TFormUserInfo* TFormUserInfo::Current() {
    return Instance();
}

void TFormUserInfo::SetSession(TBrokerSession* session) {
    Session() = session;
}

QTreeView& TFormUserInfo::TreeClients() const {
    return *treeClients_;
}

QTreeView& TFormUserInfo::TreeUserInfo() const {
    return *treeUserInfo_;
}

TUserInfoView* TFormUserInfo::ViewOf(const TUserInfoTree& tree) const {
    return &tree == clients_ ? treeClients_ : treeUserInfo_;
}

TUserInfoTree& TFormUserInfo::Other(const TUserInfoTree& tree) const {
    return &tree == clients_ ? *userInfo_ : *clients_;
}

void TFormUserInfo::Rebuild() {
    CreateTree();
    CreateUserInfoTree();
}

void TFormUserInfo::CreateTree() {
    WriteLog(QStringLiteral("Строю дерево пользовательской информации."));
    treeClients_->DiscardEditor();
    try {
        clients_->Build(TReferenceData::Current());
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("EXCEPTION FormUserInfo.CreateTree. ") +
                 QString::fromUtf8(e.what()));
    }
    treeClients_->expand(clients_->IndexOf(0));
}

void TFormUserInfo::CreateUserInfoTree() {
    treeUserInfo_->DiscardEditor();
    GuardStep(QStringLiteral("FormUserInfo.CreateUserInfoTree"),
              [this] { userInfo_->Build(TReferenceData::Current()); });
    treeUserInfo_->expand(userInfo_->IndexOf(0));
}

void TFormUserInfo::EmptyTrees() {
    // The editor goes first: its node points at objects about to be freed.
    treeClients_->DiscardEditor();
    treeUserInfo_->DiscardEditor();
    clients_->Clear();
    userInfo_->Clear();
}

void TFormUserInfo::RepaintTrees() {
    treeClients_->viewport()->update();
    treeUserInfo_->viewport()->update();
}

int TFormUserInfo::FocusedNode(const TUserInfoTree& tree) const {
    return tree.NodeOf(ViewOf(tree)->currentIndex());
}

void TFormUserInfo::FocusNode(TUserInfoTree& tree, int node) {
    TUserInfoView* view = ViewOf(tree);
    const QModelIndex index = tree.IndexOf(node);
    if (!index.isValid())
        return;
    view->setCurrentIndex(index);
    view->selectionModel()->select(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->scrollTo(index);
}

void TFormUserInfo::EditFocused() {
    TUserInfoTree& tree = tabs_->currentIndex() == 0 ? *clients_ : *userInfo_;
    const int node = FocusedNode(tree);
    if (!tree.IsEditable(node))
        return;
    TUserInfoView* view = ViewOf(tree);
    view->setFocus();
    view->edit(tree.IndexOf(node, 1));
}

void TFormUserInfo::RefreshValues() {
    EmptyTrees();
    if (TBrokerSession* session = Session())
        session->SendRequest(
            vocab::request::kList,
            PairParams({{vocab::key::kQuery, QString::number(vocab::list::kUserInfoValues)},
                        {vocab::key::kBackParam, QStringLiteral("1")}}));
}

void TFormUserInfo::SaveInfoValue(TUserInfoTree& tree, int node, const QString& text) {
    if (node < 0 || node >= tree.Count())
        return;
    const TUserInfoTree::Node& n = tree.At(node);
    TUserInfoObj* value = n.value;
    const TUITypeObj* type = nullptr;
    qint32 ownerId = 0;
    if (tree.TreeShape() == TUserInfoTree::Shape::Clients) {
        // Only a type node; its owner is two levels up.
        if (tree.Kind(node) != kKindUserInfoType || n.parent == TUserInfoTree::None)
            return;
        const int owner = tree.At(n.parent).parent;
        if (owner == TUserInfoTree::None || !IsOwner(tree.Kind(owner)))
            return;
        type = static_cast<const TUITypeObj*>(n.object);
        ownerId = tree.At(owner).object->Id;
    } else if (value) {
        if (!value->InfoType)
            return;
        type = value->InfoType;
        ownerId = value->OwnerId;
    } else {
        if (n.parent == TUserInfoTree::None || tree.Kind(n.parent) != kKindUserInfoType ||
            !IsOwner(tree.Kind(node)))
            return;
        type = static_cast<const TUITypeObj*>(tree.At(n.parent).object);
        ownerId = n.object->Id;
    }
    if (!value) {
        // A new value: id 0 and no text until the server answers; both trees show it.
        auto created = std::make_unique<TUserInfoObj>();
        created->OwnerId = ownerId;
        TUserInfoObj* raw = created.get();
        if (!TReferenceData::Current().AddUserInfoValue(std::move(created), type->Id))
            return;
        value = raw;
        tree.SetValue(node, value);
        TUserInfoTree& other = Other(tree);
        const int pair = other.FindInfoNode(type->Id, ownerId);
        if (pair != TUserInfoTree::None)
            other.SetValue(pair, value);
    }
    if (TBrokerSession* session = Session())
        session->SendRequest(
            vocab::request::kCommand,
            PairParams({{vocab::key::kQuery, QString::number(vocab::command::kChangeUserInfo)},
                        {QStringLiteral("param0"), QString::number(value->Id)},
                        {QStringLiteral("param1"), QString::number(ownerId)},
                        {QStringLiteral("param2"), QString::number(type->Id)},
                        {QStringLiteral("param3"), text},
                        {vocab::key::kBackParam, QStringLiteral("1")},
                        {QStringLiteral("ShowResult"), QStringLiteral("NO")}}));
}

void TFormUserInfo::FocusChanged(TUserInfoTree& tree) {
    try {
        const int node = FocusedNode(tree);
        QString path;
        for (int n = node; n != TUserInfoTree::None && tree.At(n).parent != TUserInfoTree::None;
             n = tree.At(n).parent) {
            const int kind = tree.Kind(n);
            const bool named =
                IsOwner(kind) ||
                (tree.TreeShape() == TUserInfoTree::Shape::UserInfo && kind == kKindUserInfoType);
            if (named)
                path.prepend(QLatin1Char('\\') + tree.ObjectText(n));
        }
        setWindowTitle(baseCaption_ + path);
    } catch (...) {
        // The caption stays as it was.
    }
}

void TFormUserInfo::TabChanged(int tab) {
    if (tab == 1) {
        const int node = FocusedNode(*clients_);
        if (node == TUserInfoTree::None || clients_->Kind(node) != kKindUserInfoType)
            return;
        const int owner = clients_->At(clients_->At(node).parent).parent;
        if (owner == TUserInfoTree::None)
            return;
        const int pair =
            userInfo_->FindInfoNode(clients_->At(node).object->Id, clients_->At(owner).object->Id);
        if (pair != TUserInfoTree::None) {
            FocusNode(*userInfo_, pair);
            FocusChanged(*userInfo_);
        }
    } else if (tab == 0) {
        const int node = FocusedNode(*userInfo_);
        if (node == TUserInfoTree::None || !IsOwner(userInfo_->Kind(node)))
            return;
        const int parent = userInfo_->At(node).parent;
        if (userInfo_->Kind(parent) != kKindUserInfoType)
            return;
        const int pair = clients_->FindInfoNode(userInfo_->At(parent).object->Id,
                                                userInfo_->At(node).object->Id);
        if (pair != TUserInfoTree::None) {
            FocusNode(*clients_, pair);
            FocusChanged(*clients_);
        }
    }
}

void TFormUserInfo::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::TopLevel;
    entry.Create = [](QWidget* parent) -> QWidget* { return new TFormUserInfo(parent); };
    TWindowCatalog::Register(WindowCommand::ClientBrowser, std::move(entry));
}
