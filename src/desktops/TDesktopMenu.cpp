#include "desktops/TDesktopMenu.h"

#include "desktops/TDeskTopConfig.h"
#include "shell/base/ErrorGuard.h"

#include <QAction>
#include <QMenu>

TDesktopMenu::TDesktopMenu(QMenu& desktopMenu, QAction& saveAs, QMenu& deleteMenu,
                           TDeskTopConfig& store, QObject* parent)
    : QObject(parent), menu_(desktopMenu), saveAs_(saveAs), deleteMenu_(deleteMenu), store_(store) {
    saveAs_.setEnabled(true);
    deleteMenu_.menuAction()->setEnabled(true);
    connect(&saveAs_, &QAction::triggered, this, [this] {
        GuardStep(QStringLiteral("MainForm.MenuSaveAsClick"), [&] { MenuSaveAsClick(); });
    });
}

QString TDesktopMenu::Caption(const QString& name) {
    QString caption = name;
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return caption;
}

QAction* TDesktopMenu::FindIn(const QMenu& menu, const QString& name) {
    for (QAction* a : menu.actions()) {
        const QVariant data = a->data();
        if (!a->isSeparator() && !a->menu() && data.typeId() == QMetaType::QString &&
            data.toString().compare(name, Qt::CaseInsensitive) == 0)
            return a;
    }
    return nullptr;
}

QAction* TDesktopMenu::FindEntry(const QString& name) const {
    return FindIn(menu_, name);
}

QAction* TDesktopMenu::FindDeleteEntry(const QString& name) const {
    return FindIn(deleteMenu_, name);
}

void TDesktopMenu::AddDesktopEntries(const QString& name) {
    if (menu_.actions().size() == 2)
        menu_.addSeparator();
    QAction* entry = menu_.addAction(Caption(name));
    entry->setData(name);
    entry->setCheckable(true);
    connect(entry, &QAction::triggered, this, [this, entry] {
        GuardStep(QStringLiteral("MainForm.DesktopClick"), [&] { SelectDesktop(entry); });
    });
    QAction* remove = deleteMenu_.addAction(Caption(name));
    remove->setData(name);
    connect(remove, &QAction::triggered, this, [this, remove] {
        GuardStep(QStringLiteral("MainForm.DeleteDesktopClick"), [&] { DeleteDesktop(remove); });
    });
}

void TDesktopMenu::MenuSaveAsClick() {
    QString name = current_;
    if (!ask_ || !ask_(name) || name.isEmpty())
        return;
    store_.SaveDesktop(name);
    current_ = name;
    QAction* entry = FindEntry(name);
    if (!entry) {
        AddDesktopEntries(name);
        entry = FindEntry(name);
    }
    MarkDesktopEntry(entry);
}

void TDesktopMenu::SelectDesktop(QAction* entry) {
    const QString name = entry->data().toString();
    store_.LoadDesktop(name);
    current_ = name;
    MarkDesktopEntry(entry);
}

void TDesktopMenu::DeleteDesktop(QAction* deleteEntry) {
    const QString name = deleteEntry->data().toString();
    store_.DeleteDesktop(name);
    MarkDesktopEntry(nullptr);
    if (QAction* entry = FindEntry(name)) {
        menu_.removeAction(entry);
        entry->deleteLater();
    }
    // The clicked entry is still delivering its signal: it goes once that is done.
    deleteMenu_.removeAction(deleteEntry);
    deleteEntry->deleteLater();
}

void TDesktopMenu::MarkDesktopEntry(QAction* entry) {
    if (marked_)
        marked_->setChecked(false);
    marked_ = entry;
    if (entry)
        entry->setChecked(true);
}
