#pragma once

#include <QDoubleSpinBox>
#include <QLineEdit>

// A limit field: shows the amount with digit grouping and no decimals, but keeps the
// value as typed ("1500.7" stays 1500.7 behind "1 501"), since adding sends it unrounded
// and only changing rounds it.
class TLimitSpinBox : public QDoubleSpinBox {
    Q_OBJECT
public:
    explicit TLimitSpinBox(QWidget* parent = nullptr);
    QLineEdit* Editor() const { return lineEdit(); }

    QString textFromValue(double value) const override;
    double valueFromText(const QString& text) const override;
    QValidator::State validate(QString& text, int& pos) const override;

private:
    static bool Parse(const QString& text, double* value);
};
