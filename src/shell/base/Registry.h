#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The program's settings store: keys named by paths such as
// "Software\orvexprof\Desktops" (parts separated by "\", compared without regard
// to case), each holding named string, integer and binary values.
//
// The per-user store lives in a file in the user's configuration folder
// ($ORVEX_CONFIG_DIR when set, so tests run against a folder of their own) and is
// written back after every change. The machine-wide store is read only.
class TRegistry {
public:
    enum class Scope { CurrentUser, LocalMachine };

    explicit TRegistry(Scope scope = Scope::CurrentUser);

    // Opens a key relative to the root (a leading "\" is allowed). canCreate makes
    // a missing key; false when the key does not exist and may not be made.
    bool OpenKey(const QString& path, bool canCreate);
    // Read-only opening: never creates.
    bool OpenKeyReadOnly(const QString& path) { return OpenKey(path, false); }
    void CloseKey();
    const QString& CurrentPath() const { return current_; }

    bool KeyExists(const QString& path) const;
    bool DeleteKey(const QString& path); // the key and all its subkeys
    QStringList GetKeyNames() const;     // direct subkeys of the open key
    QStringList GetValueNames() const;   // values of the open key, in write order
    bool ValueExists(const QString& name) const;
    bool DeleteValue(const QString& name);

    // Reads give the fallback when the value is missing or of another type.
    QString ReadString(const QString& name, const QString& fallback = QString()) const;
    qint32 ReadInteger(const QString& name, qint32 fallback = 0) const;
    bool ReadBool(const QString& name, bool fallback = false) const;
    QByteArray ReadBinary(const QString& name) const;

    // Writes fail (false) on the machine-wide store and without an open key.
    bool WriteString(const QString& name, const QString& value);
    bool WriteInteger(const QString& name, qint32 value);
    bool WriteBool(const QString& name, bool value);
    bool WriteBinary(const QString& name, const QByteArray& value);

    // Where the stores live.
    static QString UserStorePath();
    static QString MachineStorePath();
    // Drops what is held in memory so the next use reads the files again
    // (tests that change ORVEX_CONFIG_DIR call it).
    static void ReloadStores();

private:
    Scope scope_;
    QString current_; // normalised path of the open key; empty: none open
    bool open_ = false;
};

// "Software\" + the program's file name without extension: the root key of the
// program's own settings.
QString ProgramRegistryKey();

class QWidget;
// The placement of a top-level window in a section of the program key
// ("main" for the main window): position, size and whether it was maximized.
void SaveWindowPlacement(const QWidget& window, const QString& section);
// Applies a saved placement; false (window untouched) when none is saved or it
// lies outside every screen.
bool RestoreWindowPlacement(QWidget& window, const QString& section);
