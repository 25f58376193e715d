#pragma once

#include "desktops/DesktopText.h"

#include <QMdiArea>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QObject;
class QWidget;

// The desktop store: the registered window classes, the names of the saved desktops
// and the snapshots themselves in the per-user registry under
// "Software\<program>\Desktops", one string value per desktop.
//
// It knows windows only through Qt's meta-object system: a registered class name, a
// factory, and the published properties read and written by name. It never includes
// a window header; the main window's window-factory file registers the classes.
class TDeskTopConfig {
public:
    using Factory = std::function<QWidget*()>;
    // Puts a new window into the window area and shows it (the main window's
    // AddChildWindow); without one the store adds and shows the window itself.
    using Placer = std::function<void(QWidget* window)>;

    // Reads the desktop names once, from the key path.
    explicit TDeskTopConfig(const QString& keyPath = DefaultKeyPath());
    ~TDeskTopConfig();
    TDeskTopConfig(const TDeskTopConfig&) = delete;
    TDeskTopConfig& operator=(const TDeskTopConfig&) = delete;

    // The one store of the program (null before it exists and after it is gone).
    static TDeskTopConfig* Instance();
    static QString DefaultKeyPath();

    // Registers a window class under its stored name. meta is the class's own
    // meta-object: a window made by a menu command is named by it.
    void RegisterWindowClass(const QString& name, const QMetaObject* meta, Factory create);
    template <class Window> void RegisterWindowClass(const QString& name) {
        RegisterWindowClass(name, &Window::staticMetaObject,
                            [] { return static_cast<QWidget*>(new Window()); });
    }
    bool IsRegistered(const QString& name) const;
    QStringList RegisteredNames() const; // in registration order

    // The names read at creation, in the order they were first saved.
    const QStringList& DesktopNames() const { return desktopNames_; }

    void SetWindowArea(QMdiArea* area, Placer place = {});
    QMdiArea* WindowArea() const { return area_; }

    // Makes a window of a registered class and places it; null for another name or
    // when the window could not be made.
    QWidget* CreateWindow(const QString& name);
    // The registered name of a window, empty for a window of another class.
    QString RegisteredName(const QObject* window) const;
    // The open windows of registered classes in creation order. A closed window is
    // left out at once, even while its memory waits to be freed.
    std::vector<QWidget*> OpenWindows() const;

    // The blocks SaveDesktop would write.
    std::vector<DesktopText::TWindowBlock> Snapshot() const;
    // Writes the snapshot under the name, replacing a desktop of that name in any
    // letter case. A registry failure is logged by the registry, not reported.
    void SaveDesktop(const QString& name);
    // Restores the desktop: a missing or empty value does nothing; otherwise every
    // window of a registered class closes, and the windows of the desktop open
    // with their properties, RestoredComplete last.
    void LoadDesktop(const QString& name);
    void DeleteDesktop(const QString& name);
    // The stored value of a desktop, empty when missing.
    QString StoredValue(const QString& name) const;

    // A published property as text; false when the window does not declare it
    // readable (a dynamic property of that name does not count).
    static bool ReadProperty(const QObject& window, const char* name, QString& text);
    // Writes a published property from text: integers from strict decimal text only.
    // False, the window keeping its value, for an undeclared or read-only property
    // and for text that does not convert.
    static bool WriteProperty(QObject& window, const QString& name, const QString& text);

private:
    struct WindowClass {
        QString Name;
        const QMetaObject* Meta = nullptr;
        Factory Create;
    };
    const WindowClass* FindClass(const QString& name) const;
    void Restore(const DesktopText::TParsed& desktop);

    QString keyPath_;
    QStringList desktopNames_;
    std::vector<WindowClass> classes_;
    QPointer<QMdiArea> area_; // the main window's, gone before the store
    Placer place_;
};
