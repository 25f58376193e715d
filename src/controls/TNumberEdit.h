#pragma once

#include <QLineEdit>
#include <QString>

// A number entry on a line edit: the workstation's decimal separator ("." and ","
// typed are taken as it), at most `decimals` digits after it, an optional minus.
// Out of focus it shows the value in its picture pattern (grouped); in focus the
// plain number. An empty text stays distinct from 0: forms test for it.
class TNumberEdit : public QLineEdit {
    Q_OBJECT
public:
    TNumberEdit(int decimals, const QString& displayPattern, QWidget* parent = nullptr);

    bool IsEmpty() const;
    // The number shown; 0 for an empty or unreadable text.
    double Value() const;
    void SetValue(double value);
    void Clear();

    // Reads a number as a row shows it: grouping separators of the locale removed,
    // `fallback` when it is not a number.
    static double ReadGrouped(const QString& text, double fallback);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ShowFormatted();
    QString PlainText() const;

    int decimals_;
    QString pattern_;
};
