#pragma once

#include <QComboBox>
#include <QEvent>

#include <functional>

class QKeyEvent;
class QTimer;
class TBaseSimpleObject;

// The one application-wide 100 ms timer that drives the typed search of the
// drop-down lists. Each tick runs ProcessSearch of the list that has the focus.
class TExTimer {
public:
    static constexpr int kIntervalMs = 100;
    // Starts the timer (once; later calls do nothing).
    static void Start();
    static QTimer* Timer();
    // One tick, as the timer runs it; tests call it directly.
    static void Tick();

    // The tick count the lists read, in milliseconds. Tests replace it.
    static qint64 Now();
    static void SetClock(std::function<qint64()> clock);
};

// A drop-down list that selects by typed text (or by a number the owner looks up)
// and delays its change event: the event comes ChangeTimeOut ms after the last
// selection change, at once on Enter, on focus loss or after a typed search.
class TComboBoxIndexed : public QComboBox {
    Q_OBJECT
public:
    enum TStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
    using NumericSearch = std::function<void(int number, int& foundIndex, bool& found)>;
    using NumericSearchEx =
        std::function<void(TComboBoxIndexed* control, int number, int& foundIndex, bool& found)>;

    explicit TComboBoxIndexed(QWidget* parent = nullptr);

    // Only the list styles are accepted; the two editable ones are ignored.
    void SetStyle(TStyle style);
    TStyle Style() const { return style_; }

    int SearchTimeOut = 1000;
    int ChangeTimeOut = 1000;
    NumericSearch OnSearchNumeric;
    NumericSearchEx OnSearchNumericEx;
    std::function<void()> OnChange;

    void ProcessSearch();
    void FlushChange();
    QString TypedText() const { return typed_; }
    bool ChangePending() const { return changePending_; }

    static QEvent::Type ComboSelectEventType();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Enter: closes the list, searches what was typed and raises the change at once.
    void EndSearchAndRaiseChange();
    // Adds a typed character to the search text; false for keys that type nothing.
    bool TypeCharacter(const QKeyEvent& event);
    // Searches the typed text and selects what it finds; true when it selected.
    bool RunSearch();
    void MarkChange(qint64 deadline);
    bool NumericMode() const;

    TStyle style_ = csDropDownList;
    QString typed_;
    qint64 searchDeadline_ = 0;
    bool changePending_ = false;
    qint64 changeDeadline_ = 0;
};

// Items of a drop-down list that carry a reference object: adding one, the object
// of an item (null for items without one), and the position of the first item whose
// object has that id (-1 when none has).
void AddComboObject(QComboBox& box, const QString& text, const TBaseSimpleObject* object);
const TBaseSimpleObject* ComboObject(const QComboBox& box, int index);
int IndexOfObjectId(const QComboBox& box, qint32 id);
