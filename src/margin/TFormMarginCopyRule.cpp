#include "margin/TFormMarginCopyRule.h"
#include "grids/NodeOps.h"
#include "grids/TtsvTreeView.h"
#include "shell/base/Log.h"
#include "shell/refs/ReferenceData.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <exception>

namespace {

QPointer<TFormMarginCopyRule>& Slot() {
    static QPointer<TFormMarginCopyRule> slot;
    return slot;
}

QWidget* Pane(const QString& title, TtsvTreeView*& tree, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(title, box));
    tree = new TtsvTreeView(box);
    layout->addWidget(tree, 1);
    return box;
}

// Nodes get their state before they join a tree, so building many costs no
// notifications of the views.
QTreeWidgetItem* MakeNode(TtsvTreeView* tree, const QString& text, int client) {
    auto* node = new QTreeWidgetItem(QStringList(text));
    SetNodeTag(node, client);
    tree->SetNodeState(node, TtsvTreeView::Unchecked);
    return node;
}

QTreeWidgetItem* CopyNode(TtsvTreeView* tree, const QTreeWidgetItem* from) {
    QTreeWidgetItem* node = MakeNode(tree, from->text(0), NodeTag(from));
    QList<QTreeWidgetItem*> children;
    children.reserve(from->childCount());
    for (int i = 0; i < from->childCount(); ++i)
        children << CopyNode(tree, from->child(i));
    node->addChildren(children);
    return node;
}

} // namespace

TFormMarginCopyRule::TFormMarginCopyRule(QWidget* parent) : QDialog(parent) {
    Slot() = this;
    setWindowTitle(QStringLiteral("Копировать список маржинальных бумаг"));
    resize(520, 420);
    auto* layout = new QVBoxLayout(this);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(Pane(QStringLiteral("От клиента"), source_, splitter));
    splitter->addWidget(Pane(QStringLiteral("На клиента"), dest_, splitter));
    layout->addWidget(splitter, 1);
    source_->SetCheckMode(TtsvTreeView::tvmRadioTreeView);
    dest_->SetCheckMode(TtsvTreeView::tvmCheckTreeView);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Copy"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TFormMarginCopyRule::~TFormMarginCopyRule() = default;

TFormMarginCopyRule* TFormMarginCopyRule::Instance() {
    return Slot().data();
}

void TFormMarginCopyRule::FillControls2(const TReferenceData& refs,
                                        const QStringList& clientNumbers) {
    if (source_->topLevelItemCount() > 0)
        return;
    WriteLog(QStringLiteral("Построение диалога копирования маржин.бумаг"));
    try {
        QSet<qint32> wanted;
        wanted.reserve(clientNumbers.size());
        for (const QString& number : clientNumbers) {
            bool ok = false;
            const qint32 id = number.toInt(&ok);
            if (ok)
                wanted.insert(id);
        }
        QTreeWidgetItem* root = nullptr;
        for (const TCliObj* cli : refs.Clients) {
            if (QString::number(cli->Id) == refs.ClientKey) {
                root = MakeNode(source_, cli->Name, cli->Id);
                break;
            }
        }
        if (!root)
            root = MakeNode(source_, QStringLiteral("Клиенты"), 0);
        QList<QTreeWidgetItem*> children;
        for (const TCliObj* cli : refs.Clients)
            if (wanted.contains(cli->Id))
                children << MakeNode(source_, cli->Name, cli->Id);
        root->addChildren(children);
        QTreeWidgetItem* destRoot = CopyNode(dest_, root);
        source_->SetNodeState(root, TtsvTreeView::Disabled); // the root is no source
        source_->addTopLevelItem(root);
        dest_->addTopLevelItem(destRoot);
        source_->expandItem(root);
        dest_->expandItem(destRoot);
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("EXCEPTION FormMarginCopyRule.FillControls2 ") +
                 QString::fromUtf8(e.what()));
    }
}

void TFormMarginCopyRule::BreakWork() {
    if (isVisible())
        reject();
    source_->clear();
    dest_->clear();
}

int TFormMarginCopyRule::ShowForClient(const QString& clientNumber) {
    for (QTreeWidgetItemIterator it(source_); *it; ++it) {
        if (QString::number(NodeTag(*it)) == clientNumber &&
            TtsvTreeView::NodeState(*it) != TtsvTreeView::Disabled) {
            source_->setCurrentItem(*it);
            source_->scrollToItem(*it, QAbstractItemView::PositionAtTop);
            if (TtsvTreeView::NodeState(*it) == TtsvTreeView::Unchecked)
                source_->ToggleNode(*it);
            break;
        }
    }
    return exec();
}

int TFormMarginCopyRule::SourceClient() const {
    for (QTreeWidgetItemIterator it(source_); *it; ++it)
        if (TtsvTreeView::NodeState(*it) == TtsvTreeView::Checked)
            return NodeTag(*it);
    return 0;
}

QList<int> TFormMarginCopyRule::DestinationClients() const {
    QList<int> out;
    bool first = true;
    for (QTreeWidgetItemIterator it(dest_); *it; ++it) {
        if (first) {
            first = false; // the top node is never a destination
            continue;
        }
        if (TtsvTreeView::NodeState(*it) == TtsvTreeView::Checked && NodeTag(*it) != 0)
            out << NodeTag(*it);
    }
    return out;
}
