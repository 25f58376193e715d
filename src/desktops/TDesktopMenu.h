#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class TDeskTopConfig;

// The "Рабочий стол" submenu: "Сохранить как...", the "Удалить" submenu, then (from
// the first desktop on) a separator and one entry per desktop. Entries show the
// name as typed (no accelerator letters) and carry it in their data; the name is
// never taken back from the shown text. The entry of the desktop last restored or
// saved carries the check mark.
class TDesktopMenu : public QObject {
    Q_OBJECT
public:
    // Asks for the name to save under, starting from the current one; false when
    // the user cancels (the save dialog, or a test's stand-in).
    using NameAsker = std::function<bool(QString& name)>;

    TDesktopMenu(QMenu& desktopMenu, QAction& saveAs, QMenu& deleteMenu, TDeskTopConfig& store,
                 QObject* parent = nullptr);

    void SetNameAsker(NameAsker ask) { ask_ = std::move(ask); }

    void AddDesktopEntries(const QString& name);
    void MenuSaveAsClick();
    void SelectDesktop(QAction* entry);
    void DeleteDesktop(QAction* deleteEntry);
    void MarkDesktopEntry(QAction* entry);

    // The desktop entry of that name in any letter case, or null.
    QAction* FindEntry(const QString& name) const;
    QAction* FindDeleteEntry(const QString& name) const;
    QAction* MarkedEntry() const { return marked_; }
    const QString& CurrentDesktopName() const { return current_; }

    // A name as a menu caption: "&" shows as itself.
    static QString Caption(const QString& name);

private:
    static QAction* FindIn(const QMenu& menu, const QString& name);

    QMenu& menu_;
    QAction& saveAs_;
    QMenu& deleteMenu_;
    TDeskTopConfig& store_;
    NameAsker ask_;
    QString current_;
    // The marked entry may be deleted meanwhile; the guard then reads null.
    QPointer<QAction> marked_;
};
