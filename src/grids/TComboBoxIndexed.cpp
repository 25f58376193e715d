#include "TComboBoxIndexed.h"

#include "shell/refs/ReferenceObjects.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

Q_DECLARE_METATYPE(const TBaseSimpleObject*)

namespace {

std::function<qint64()>& Clock() {
    static std::function<qint64()> clock;
    return clock;
}

qint64 SystemTicks() {
    static QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

bool ReadsAsInteger(const QString& text, int& value) {
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

} // namespace

// --- TExTimer -----------------------------------------------------------------------

qint64 TExTimer::Now() {
    return Clock() ? Clock()() : SystemTicks();
}

void TExTimer::SetClock(std::function<qint64()> clock) {
    Clock() = std::move(clock);
}

QTimer* TExTimer::Timer() {
    static QPointer<QTimer> timer;
    if (!timer && QCoreApplication::instance()) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setInterval(kIntervalMs);
        QObject::connect(timer, &QTimer::timeout, [] { Tick(); });
    }
    return timer;
}

void TExTimer::Start() {
    if (QTimer* timer = Timer(); timer && !timer->isActive())
        timer->start();
}

void TExTimer::Tick() {
    auto* combo = qobject_cast<TComboBoxIndexed*>(QApplication::focusWidget());
    if (!combo)
        return;
    QTimer* timer = Timer();
    const bool running = timer && timer->isActive();
    if (running)
        timer->stop();
    try {
        combo->ProcessSearch();
    } catch (...) {
        // A failing owner handler must not stop the timer.
    }
    if (running)
        timer->start();
}

// --- TComboBoxIndexed ---------------------------------------------------------------

TComboBoxIndexed::TComboBoxIndexed(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    // A selection by mouse or keys raises the change event only after the delay.
    connect(this, &QComboBox::activated, this,
            [this](int) { MarkChange(TExTimer::Now() + ChangeTimeOut); });
    // While the list is open its view has the keys: Enter and typed characters are
    // taken there before the list's own handling (which would select by itself and
    // delay the change, or search by its own type-to-select).
    view()->installEventFilter(this);
    TExTimer::Start();
}

bool TComboBoxIndexed::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const int highlighted = view()->currentIndex().row();
            if (highlighted >= 0 && highlighted != currentIndex()) {
                setCurrentIndex(highlighted);
                changePending_ = true;
            }
            EndSearchAndRaiseChange();
            return true;
        }
        if (TypeCharacter(*key))
            return true;
    }
    return QComboBox::eventFilter(watched, event);
}

void TComboBoxIndexed::EndSearchAndRaiseChange() {
    hidePopup();
    // Characters typed and not yet searched are searched now, their selection
    // counting as this Enter's change.
    if (!typed_.isEmpty() && RunSearch())
        changePending_ = true;
    changeDeadline_ = TExTimer::Now() - 1;
    FlushChange();
}

bool TComboBoxIndexed::TypeCharacter(const QKeyEvent& event) {
    const QString text = event.text();
    const bool typed = !text.isEmpty() && text.at(0).isPrint() &&
                       !(event.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!typed)
        return false;
    searchDeadline_ = TExTimer::Now() + SearchTimeOut;
    const QChar c = text.at(0);
    if (NumericMode()) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            typed_ += c;
    } else {
        typed_ += c;
    }
    return true;
}

QEvent::Type TComboBoxIndexed::ComboSelectEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void TComboBoxIndexed::SetStyle(TStyle style) {
    if (style == csDropDown || style == csSimple)
        return;
    style_ = style;
}

void TComboBoxIndexed::MarkChange(qint64 deadline) {
    changePending_ = true;
    changeDeadline_ = deadline;
}

void TComboBoxIndexed::FlushChange() {
    if (!changePending_)
        return;
    if (changeDeadline_ < 0 || TExTimer::Now() >= changeDeadline_) {
        changePending_ = false;
        if (OnChange)
            OnChange();
    }
}

bool TComboBoxIndexed::NumericMode() const {
    int number = 0;
    return (OnSearchNumeric || OnSearchNumericEx) && ReadsAsInteger(typed_, number);
}

void TComboBoxIndexed::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        EndSearchAndRaiseChange();
        return;
    }
    // The list's own type-to-select never sees a typed character.
    if (!TypeCharacter(*event))
        QComboBox::keyPressEvent(event); // arrows, page keys, F4, ...
}

void TComboBoxIndexed::focusOutEvent(QFocusEvent* event) {
    changeDeadline_ = TExTimer::Now();
    FlushChange();
    QComboBox::focusOutEvent(event);
}

void TComboBoxIndexed::ProcessSearch() {
    FlushChange();
    if (searchDeadline_ >= 0 && TExTimer::Now() < searchDeadline_)
        return;
    if (typed_.isEmpty())
        return;
    if (RunSearch())
        QCoreApplication::postEvent(this, new QEvent(ComboSelectEventType()));
}

bool TComboBoxIndexed::RunSearch() {
    const QString typed = typed_;
    typed_.clear();
    int number = 0;
    if ((OnSearchNumeric || OnSearchNumericEx) && ReadsAsInteger(typed, number)) {
        int foundIndex = currentIndex();
        bool found = false;
        if (OnSearchNumericEx)
            OnSearchNumericEx(this, number, foundIndex, found);
        else
            OnSearchNumeric(number, foundIndex, found);
        if (!found || foundIndex < 0 || foundIndex >= count())
            return false;
        setCurrentIndex(foundIndex);
        return true;
    }
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).startsWith(typed, Qt::CaseInsensitive)) {
            setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

bool TComboBoxIndexed::event(QEvent* event) {
    if (event->type() == ComboSelectEventType()) {
        MarkChange(TExTimer::Now() - 1);
        FlushChange();
        return true;
    }
    return QComboBox::event(event);
}

void AddComboObject(QComboBox& box, const QString& text, const TBaseSimpleObject* object) {
    box.addItem(text, QVariant::fromValue(object));
}

const TBaseSimpleObject* ComboObject(const QComboBox& box, int index) {
    const QVariant v = box.itemData(index);
    return v.canConvert<const TBaseSimpleObject*>() ? v.value<const TBaseSimpleObject*>() : nullptr;
}

int IndexOfObjectId(const QComboBox& box, qint32 id) {
    for (int i = 0; i < box.count(); ++i) {
        const TBaseSimpleObject* o = ComboObject(box, i);
        if (o && o->Id == id)
            return i;
    }
    return -1;
}
