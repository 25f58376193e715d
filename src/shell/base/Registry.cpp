#include "Registry.h"

#include "Log.h"
#include "RegistryFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QMap>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QVarLengthArray>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

namespace {

// A value name as the store compares it: without regard to case. Hashing folds
// plain ASCII names in place, so loading a key with many values allocates nothing
// per name.
struct FoldedName {
    QString name;

    friend bool operator==(const FoldedName& a, const FoldedName& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) == 0;
    }
    friend size_t qHash(const FoldedName& key, size_t seed) {
        QVarLengthArray<char16_t, 64> folded(key.name.size());
        for (qsizetype i = 0; i < key.name.size(); ++i) {
            const char16_t u = key.name[i].unicode();
            if (u >= 0x80)
                return qHash(key.name.toCaseFolded(), seed);
            folded[i] = u >= u'A' && u <= u'Z' ? char16_t(u + (u'a' - u'A')) : u;
        }
        return qHash(QStringView(folded.data(), folded.size()), seed);
    }
};

struct KeyData {
    QString path; // as first written
    std::vector<std::pair<QString, QVariant>> values;

    int IndexOf(const QString& name) const { return index_.value(FoldedName{name}, -1); }
    // Adds a value at the end unless one of that name (in any case) is there already.
    bool Append(const QString& name, QVariant value) {
        const auto size = int(values.size());
        auto it = index_.find(FoldedName{name});
        if (it != index_.end())
            return false;
        index_.insert(FoldedName{name}, size);
        values.emplace_back(name, std::move(value));
        return true;
    }
    void Reserve(size_t n) {
        values.reserve(values.size() + n);
        index_.reserve(qsizetype(values.size() + n));
    }
    void RemoveAt(int i) {
        values.erase(values.begin() + i);
        index_.clear();
        for (size_t n = 0; n < values.size(); ++n)
            index_.insert(FoldedName{values[n].first}, int(n));
    }

private:
    // Name -> position in values, so a key with many values loads in linear time.
    QHash<FoldedName, int> index_;
};

QString Normalise(const QString& path) {
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
}

QString Folded(const QString& path) {
    return path.toLower();
}

// Reads the store's file (RegistryFile.h); anything of another shape is damage
// (false, with the fault), so it is kept aside, never dropped.
bool ReadStore(QByteArrayView bytes, QMap<QString, KeyData>& keys, QString& fault) {
    std::vector<TRegistryFileKey> read;
    if (!ReadRegistryFile(bytes, read, fault))
        return false;
    for (TRegistryFileKey& k : read) {
        const QString path = Normalise(k.path);
        KeyData& key = keys[Folded(path)];
        key.path = path;
        key.Reserve(k.values.size());
        for (TRegistryFileValue& v : k.values)
            key.Append(v.name, std::move(v.value));
    }
    return true;
}

class Store {
public:
    Store(QString file, bool readOnly) : file_(std::move(file)), readOnly_(readOnly) {}

    bool ReadOnly() const { return readOnly_; }
    QMap<QString, KeyData>& Keys() {
        Load();
        return keys_;
    }

    // Applies a change to what the file holds now and writes the result. Under the
    // file's lock the file is read again first, so a change of another running
    // instance is kept, not overwritten with this one's older picture. apply
    // returns whether it changed anything; false from Change means no change.
    bool Change(const std::function<bool(QMap<QString, KeyData>&)>& apply) {
        if (readOnly_)
            return false;
        Load();
        QLockFile lock(file_ + QStringLiteral(".lock"));
        QDir().mkpath(QFileInfo(file_).absolutePath());
        if (!lock.tryLock(kLockWaitMs))
            WriteLog(QStringLiteral("Не удалось заблокировать файл настроек: ") + file_);
        ReadAgain();
        if (!apply(keys_))
            return false;
        Save();
        return true;
    }

    void Reset(QString file) {
        file_ = std::move(file);
        loaded_ = false;
        savingBlocked_ = false;
        keys_.clear();
    }

private:
    // Writes the whole store to a new file beside the old one and renames it over
    // the old one: a crash at any moment leaves the old file or the new one.
    void Save() {
        if (savingBlocked_)
            return;
        QJsonArray keys;
        for (const KeyData& k : std::as_const(keys_)) {
            QJsonArray values;
            for (const auto& [name, value] : k.values) {
                QJsonObject v{{QStringLiteral("name"), name}};
                if (value.typeId() == QMetaType::QByteArray) {
                    v.insert(QStringLiteral("type"), QStringLiteral("binary"));
                    v.insert(QStringLiteral("value"),
                             QString::fromLatin1(value.toByteArray().toBase64()));
                } else if (value.typeId() == QMetaType::Int) {
                    v.insert(QStringLiteral("type"), QStringLiteral("integer"));
                    v.insert(QStringLiteral("value"), value.toInt());
                } else {
                    v.insert(QStringLiteral("type"), QStringLiteral("string"));
                    v.insert(QStringLiteral("value"), value.toString());
                }
                values.append(v);
            }
            keys.append(
                QJsonObject{{QStringLiteral("path"), k.path}, {QStringLiteral("values"), values}});
        }
        QSaveFile out(file_);
        if (!out.open(QIODevice::WriteOnly)) {
            WriteLog(QStringLiteral("Не удалось сохранить настройки: ") + file_ +
                     QStringLiteral(" (") + out.errorString() + QLatin1Char(')'));
            return;
        }
        out.write(QJsonDocument(QJsonObject{{QStringLiteral("keys"), keys}}).toJson());
        if (!out.commit())
            WriteLog(QStringLiteral("Не удалось сохранить настройки: ") + file_ +
                     QStringLiteral(" (") + out.errorString() + QLatin1Char(')'));
    }

    void Load() {
        if (loaded_)
            return;
        loaded_ = true;
        ReadAgain();
    }

    // Reads the file into the store. A missing file leaves the store as it is; a
    // file that cannot be opened or read is damage like a broken one.
    void ReadAgain() {
        QFile in(file_);
        if (!in.exists())
            return;
        if (!in.open(QIODevice::ReadOnly)) {
            SetAside(QStringLiteral("не читается: ") + in.errorString());
            return;
        }
        // Read in place where the file can be mapped: a large file is not copied.
        QByteArray copy;
        QByteArrayView bytes;
        if (const uchar* mapped = in.size() > 0 ? in.map(0, in.size()) : nullptr) {
            bytes = QByteArrayView(mapped, in.size());
        } else {
            copy = in.readAll();
            bytes = copy;
        }
        QString fault;
        QMap<QString, KeyData> keys;
        const bool read = ReadStore(bytes, keys, fault);
        in.close(); // unmaps
        if (!read) {
            SetAside(fault);
            return;
        }
        keys_ = std::move(keys);
    }

    // Keeps a damaged file aside rather than overwrite it with the next change, each
    // time under a name not used yet: ".bad", ".bad.1", ".bad.2", ... Earlier copies
    // are never removed. When the file cannot be moved, this run saves nothing.
    void SetAside(const QString& fault) {
        WriteLog(QStringLiteral("Файл настроек поврежден: ") + file_ + QStringLiteral(" (") +
                 fault + QLatin1Char(')'));
        if (readOnly_)
            return;
        const auto copy = [this](int n) {
            return file_ + QStringLiteral(".bad") +
                   (n == 0 ? QString() : QStringLiteral(".%1").arg(n));
        };
        int slot = 0;
        while (QFile::exists(copy(slot)))
            ++slot;
        if (!QFile::rename(file_, copy(slot))) {
            WriteLog(QStringLiteral("Не удалось отложить поврежденный файл настроек: ") + file_);
            savingBlocked_ = true;
            return;
        }
        WriteLog(QStringLiteral("Поврежденный файл настроек сохранен как ") + copy(slot));
    }

    // How long a change waits for another instance's write to finish.
    static constexpr int kLockWaitMs = 10000;

    QString file_;
    bool readOnly_;
    bool loaded_ = false;
    bool savingBlocked_ = false;  // a damaged file that could not be moved aside
    QMap<QString, KeyData> keys_; // by folded path
};

Store& UserStore() {
    static Store store(TRegistry::UserStorePath(), false);
    return store;
}

Store& MachineStore() {
    static Store store(TRegistry::MachineStorePath(), true);
    return store;
}

} // namespace

TRegistry::TRegistry(Scope scope) : scope_(scope) {}

QString TRegistry::UserStorePath() {
    QString dir = qEnvironmentVariable("ORVEX_CONFIG_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
              QStringLiteral("/orvex");
    return dir + QStringLiteral("/registry.json");
}

QString TRegistry::MachineStorePath() {
    QString dir = qEnvironmentVariable("ORVEX_MACHINE_CONFIG_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral("/etc/orvex");
    return dir + QStringLiteral("/registry.json");
}

void TRegistry::ReloadStores() {
    UserStore().Reset(UserStorePath());
    MachineStore().Reset(MachineStorePath());
}

static Store& StoreOf(TRegistry::Scope scope) {
    return scope == TRegistry::Scope::CurrentUser ? UserStore() : MachineStore();
}

bool TRegistry::OpenKey(const QString& path, bool canCreate) {
    const QString norm = Normalise(path);
    Store& store = StoreOf(scope_);
    if (!KeyExists(norm)) {
        if (!canCreate || store.ReadOnly())
            return false;
        store.Change([&](QMap<QString, KeyData>& keys) {
            bool made = false;
            QString sofar;
            for (const QString& part : norm.split(QLatin1Char('\\'))) {
                sofar = sofar.isEmpty() ? part : sofar + QLatin1Char('\\') + part;
                KeyData& k = keys[Folded(sofar)];
                if (k.path.isEmpty()) {
                    k.path = sofar;
                    made = true;
                }
            }
            return made;
        });
    }
    current_ = norm;
    open_ = true;
    return true;
}

void TRegistry::CloseKey() {
    current_.clear();
    open_ = false;
}

bool TRegistry::KeyExists(const QString& path) const {
    const QString folded = Folded(Normalise(path));
    if (folded.isEmpty())
        return true;
    auto& keys = StoreOf(scope_).Keys();
    if (keys.contains(folded))
        return true;
    const QString prefix = folded + QLatin1Char('\\');
    auto it = keys.lowerBound(prefix);
    return it != keys.end() && it.key().startsWith(prefix);
}

bool TRegistry::DeleteKey(const QString& path) {
    Store& store = StoreOf(scope_);
    if (store.ReadOnly())
        return false;
    const QString folded = Folded(Normalise(path));
    if (folded.isEmpty())
        return false;
    const QString prefix = folded + QLatin1Char('\\');
    return store.Change([&](QMap<QString, KeyData>& keys) {
        bool removed = keys.remove(folded) > 0;
        for (auto it = keys.lowerBound(prefix); it != keys.end() && it.key().startsWith(prefix);) {
            it = keys.erase(it);
            removed = true;
        }
        return removed;
    });
}

QStringList TRegistry::GetKeyNames() const {
    QStringList names;
    if (!open_)
        return names;
    const QString folded = Folded(current_);
    const QString prefix = folded.isEmpty() ? QString() : folded + QLatin1Char('\\');
    auto& keys = StoreOf(scope_).Keys();
    for (auto it = keys.lowerBound(prefix); it != keys.end(); ++it) {
        if (!it.key().startsWith(prefix))
            break;
        const QString rest = it.value().path.mid(prefix.size());
        const QString first = rest.section(QLatin1Char('\\'), 0, 0);
        if (!first.isEmpty() && !names.contains(first, Qt::CaseInsensitive))
            names.append(first);
    }
    return names;
}

QStringList TRegistry::GetValueNames() const {
    QStringList names;
    if (!open_)
        return names;
    auto& keys = StoreOf(scope_).Keys();
    auto it = keys.constFind(Folded(current_));
    if (it != keys.constEnd())
        for (const auto& v : it.value().values)
            names.append(v.first);
    return names;
}

namespace {
const QVariant* FindValue(TRegistry::Scope scope, const QString& path, const QString& name) {
    auto& keys = StoreOf(scope).Keys();
    auto it = keys.constFind(Folded(path));
    if (it == keys.constEnd())
        return nullptr;
    const int i = it.value().IndexOf(name);
    return i < 0 ? nullptr : &it.value().values[static_cast<size_t>(i)].second;
}
} // namespace

bool TRegistry::ValueExists(const QString& name) const {
    return open_ && FindValue(scope_, current_, name) != nullptr;
}

bool TRegistry::DeleteValue(const QString& name) {
    Store& store = StoreOf(scope_);
    if (!open_ || store.ReadOnly())
        return false;
    return store.Change([&](QMap<QString, KeyData>& keys) {
        auto it = keys.find(Folded(current_));
        if (it == keys.end())
            return false;
        const int i = it.value().IndexOf(name);
        if (i < 0)
            return false;
        it.value().RemoveAt(i);
        return true;
    });
}

QString TRegistry::ReadString(const QString& name, const QString& fallback) const {
    const QVariant* v = open_ ? FindValue(scope_, current_, name) : nullptr;
    return v && v->typeId() == QMetaType::QString ? v->toString() : fallback;
}

qint32 TRegistry::ReadInteger(const QString& name, qint32 fallback) const {
    const QVariant* v = open_ ? FindValue(scope_, current_, name) : nullptr;
    return v && v->typeId() == QMetaType::Int ? v->toInt() : fallback;
}

bool TRegistry::ReadBool(const QString& name, bool fallback) const {
    return ReadInteger(name, fallback ? 1 : 0) != 0;
}

QByteArray TRegistry::ReadBinary(const QString& name) const {
    const QVariant* v = open_ ? FindValue(scope_, current_, name) : nullptr;
    return v && v->typeId() == QMetaType::QByteArray ? v->toByteArray() : QByteArray();
}

static bool WriteValue(TRegistry::Scope scope, bool open, const QString& path, const QString& name,
                       const QVariant& value) {
    Store& store = StoreOf(scope);
    if (!open || store.ReadOnly())
        return false;
    store.Change([&](QMap<QString, KeyData>& keys) {
        KeyData& key = keys[Folded(path)];
        if (key.path.isEmpty())
            key.path = path;
        // A name already there in another letter case keeps its first spelling.
        const int i = key.IndexOf(name);
        if (i < 0)
            key.Append(name, value);
        else
            key.values[static_cast<size_t>(i)].second = value;
        return true;
    });
    return true;
}

bool TRegistry::WriteString(const QString& name, const QString& value) {
    return WriteValue(scope_, open_, current_, name, QVariant(value));
}

bool TRegistry::WriteInteger(const QString& name, qint32 value) {
    return WriteValue(scope_, open_, current_, name, QVariant(value));
}

bool TRegistry::WriteBool(const QString& name, bool value) {
    return WriteInteger(name, value ? 1 : 0);
}

bool TRegistry::WriteBinary(const QString& name, const QByteArray& value) {
    return WriteValue(scope_, open_, current_, name, QVariant(value));
}

QString ProgramRegistryKey() {
    QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (base.isEmpty())
        base = QStringLiteral("orvexprof");
    return QStringLiteral("Software\\") + base;
}

void SaveWindowPlacement(const QWidget& window, const QString& section) {
    TRegistry reg;
    if (!reg.OpenKey(ProgramRegistryKey() + QLatin1Char('\\') + section, true))
        return;
    const QRect r = window.normalGeometry().isValid() ? window.normalGeometry() : window.geometry();
    reg.WriteInteger(QStringLiteral("Left"), r.left());
    reg.WriteInteger(QStringLiteral("Top"), r.top());
    reg.WriteInteger(QStringLiteral("Width"), r.width());
    reg.WriteInteger(QStringLiteral("Height"), r.height());
    reg.WriteBool(QStringLiteral("Maximized"), window.isMaximized());
}

bool RestoreWindowPlacement(QWidget& window, const QString& section) {
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(ProgramRegistryKey() + QLatin1Char('\\') + section) ||
        !reg.ValueExists(QStringLiteral("Width")))
        return false;
    const QRect r(reg.ReadInteger(QStringLiteral("Left")), reg.ReadInteger(QStringLiteral("Top")),
                  reg.ReadInteger(QStringLiteral("Width")),
                  reg.ReadInteger(QStringLiteral("Height")));
    if (r.width() < window.minimumWidth() || r.height() < window.minimumHeight() ||
        r.width() > 20000 || r.height() > 20000)
        return false;
    bool onScreen = false;
    for (const QScreen* s : QGuiApplication::screens())
        onScreen = onScreen || s->availableGeometry().intersects(r);
    if (!onScreen)
        return false;
    window.setGeometry(r);
    if (reg.ReadBool(QStringLiteral("Maximized"), true))
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    return true;
}
