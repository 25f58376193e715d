#include "desktops/TDeskTopConfig.h"

#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/Registry.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaProperty>
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace {

TDeskTopConfig*& InstancePtr() {
    static TDeskTopConfig* store = nullptr;
    return store;
}

// The registered name a window made by the store carries (a dynamic property: the
// store reads only declared ones, so it never reaches a saved desktop).
const char* const kClassProperty = "orvexDesktopClass";

// Whole decimal numbers only: an optional minus and digits, nothing around them.
bool StrictInt(const QString& text, int& value) {
    if (text.isEmpty())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) &&
            !(i == 0 && c == QLatin1Char('-') && text.size() > 1))
            return false;
    }
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

// The sub-windows of the area that are open: a closed one is hidden at once and
// deleted only later.
std::vector<QMdiSubWindow*> OpenSubWindows(QMdiArea* area) {
    std::vector<QMdiSubWindow*> open;
    if (!area)
        return open;
    for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::CreationOrder))
        if (!sub->isHidden() && sub->widget())
            open.push_back(sub);
    return open;
}

} // namespace

TDeskTopConfig::TDeskTopConfig(const QString& keyPath) : keyPath_(keyPath) {
    InstancePtr() = this;
    TRegistry reg;
    if (reg.OpenKeyReadOnly(keyPath_))
        desktopNames_ = reg.GetValueNames();
}

TDeskTopConfig::~TDeskTopConfig() {
    if (InstancePtr() == this)
        InstancePtr() = nullptr;
}

TDeskTopConfig* TDeskTopConfig::Instance() {
    return InstancePtr();
}

QString TDeskTopConfig::DefaultKeyPath() {
    return ProgramRegistryKey() + QStringLiteral("\\Desktops");
}

void TDeskTopConfig::RegisterWindowClass(const QString& name, const QMetaObject* meta,
                                         Factory create) {
    for (WindowClass& c : classes_)
        if (c.Name == name) {
            c.Meta = meta;
            c.Create = std::move(create);
            return;
        }
    classes_.push_back({name, meta, std::move(create)});
}

const TDeskTopConfig::WindowClass* TDeskTopConfig::FindClass(const QString& name) const {
    for (const WindowClass& c : classes_)
        if (c.Name == name)
            return &c;
    return nullptr;
}

bool TDeskTopConfig::IsRegistered(const QString& name) const {
    return FindClass(name) != nullptr;
}

QStringList TDeskTopConfig::RegisteredNames() const {
    QStringList names;
    for (const WindowClass& c : classes_)
        names.append(c.Name);
    return names;
}

void TDeskTopConfig::SetWindowArea(QMdiArea* area, Placer place) {
    area_ = area;
    place_ = std::move(place);
}

QWidget* TDeskTopConfig::CreateWindow(const QString& name) {
    const WindowClass* c = FindClass(name);
    if (!c || !c->Create)
        return nullptr;
    QWidget* window = c->Create();
    if (!window)
        return nullptr;
    window->setProperty(kClassProperty, name);
    if (place_) {
        place_(window);
    } else if (area_) {
        window->setAttribute(Qt::WA_DeleteOnClose);
        QMdiSubWindow* sub = area_->addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        sub->show();
    }
    return window;
}

QString TDeskTopConfig::RegisteredName(const QObject* window) const {
    if (!window)
        return QString();
    const QVariant stamped = window->property(kClassProperty);
    if (stamped.isValid() && IsRegistered(stamped.toString()))
        return stamped.toString();
    // Made elsewhere (a menu command): named by its exact class, so a class derived
    // from a registered one is not taken for it.
    for (const WindowClass& c : classes_)
        if (c.Meta && c.Meta == window->metaObject())
            return c.Name;
    return QString();
}

std::vector<QWidget*> TDeskTopConfig::OpenWindows() const {
    std::vector<QWidget*> windows;
    for (QMdiSubWindow* sub : OpenSubWindows(area_))
        if (!RegisteredName(sub->widget()).isEmpty())
            windows.push_back(sub->widget());
    return windows;
}

bool TDeskTopConfig::ReadProperty(const QObject& window, const char* name, QString& text) {
    const QMetaObject* meta = window.metaObject();
    const int index = meta->indexOfProperty(name);
    if (index < 0)
        return false;
    const QMetaProperty property = meta->property(index);
    if (!property.isReadable())
        return false;
    const QVariant value = property.read(&window);
    if (!value.isValid())
        return false;
    if (value.typeId() == QMetaType::Int) {
        text = QString::number(value.toInt());
        return true;
    }
    if (value.typeId() == QMetaType::QString) {
        text = value.toString();
        return true;
    }
    if (!value.canConvert<QString>())
        return false;
    text = value.toString();
    return true;
}

bool TDeskTopConfig::WriteProperty(QObject& window, const QString& name, const QString& text) {
    const QMetaObject* meta = window.metaObject();
    const int index = meta->indexOfProperty(name.toLatin1().constData());
    if (index < 0)
        return false;
    const QMetaProperty property = meta->property(index);
    if (!property.isWritable())
        return false;
    QVariant value;
    switch (property.typeId()) {
    case QMetaType::Int: {
        int number = 0;
        if (!StrictInt(text, number))
            return false;
        value = number;
        break;
    }
    case QMetaType::QString:
        value = text;
        break;
    default:
        value = text;
        if (!value.convert(property.metaType()))
            return false;
    }
    return property.write(&window, value);
}

std::vector<DesktopText::TWindowBlock> TDeskTopConfig::Snapshot() const {
    std::vector<DesktopText::TWindowBlock> blocks;
    for (QWidget* window : OpenWindows()) {
        DesktopText::TWindowBlock block;
        block.ClassName = RegisteredName(window);
        for (const char* name : DesktopText::kPropertyNames) {
            QString text;
            if (ReadProperty(*window, name, text))
                block.Properties.emplace_back(QLatin1String(name), text);
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

void TDeskTopConfig::SaveDesktop(const QString& name) {
    GuardStep(QStringLiteral("DeskTopConfig.SaveDesktop"), [&] {
        TRegistry reg;
        if (!reg.OpenKey(keyPath_, true))
            return;
        reg.WriteString(name, DesktopText::BuildStored(Snapshot()));
    });
}

QString TDeskTopConfig::StoredValue(const QString& name) const {
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(keyPath_))
        return QString();
    return reg.ReadString(name);
}

void TDeskTopConfig::DeleteDesktop(const QString& name) {
    GuardStep(QStringLiteral("DeskTopConfig.DeleteDesktop"), [&] {
        TRegistry reg;
        if (reg.OpenKeyReadOnly(keyPath_))
            reg.DeleteValue(name);
    });
}

void TDeskTopConfig::LoadDesktop(const QString& name) {
    GuardStep(QStringLiteral("DeskTopConfig.LoadDesktop"), [&] {
        const QString stored = StoredValue(name);
        if (stored.isEmpty())
            return;
        // Newest first, so windows close in the reverse order of their creation.
        const std::vector<QWidget*> open = OpenWindows();
        for (auto it = open.rbegin(); it != open.rend(); ++it) {
            QWidget* window = *it;
            if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
                sub->close();
            else
                window->close();
        }
        const DesktopText::TParsed desktop = DesktopText::ParseStored(stored);
        if (!desktop.VersionOk) {
            WriteLog(QStringLiteral("Рабочий стол другой версии: ") + name);
            return;
        }
        Restore(desktop);
    });
}

void TDeskTopConfig::Restore(const DesktopText::TParsed& desktop) {
    QPointer<QWidget> current;
    for (const DesktopText::TStep& step : desktop.Steps) {
        if (step.What == DesktopText::TStep::Kind::Class) {
            current = nullptr;
            GuardStep(QStringLiteral("DeskTopConfig.CreateWindow ") + step.Name,
                      [&] { current = CreateWindow(step.Name); });
            continue;
        }
        // A window that closed itself while being restored takes no more steps.
        if (!current)
            continue;
        GuardStep(QStringLiteral("DeskTopConfig.") + step.Name,
                  [&] { WriteProperty(*current, step.Name, step.Value); });
    }
}
