#pragma once

#include <QDialog>

class QDoubleSpinBox;
class QLabel;

// "Добавить элемент шкалы": one line of a scale, by turnover (mode 1) or by the
// number of contracts (mode 2). The rate and the sum exclude each other: an edit of
// one by the person zeroes the other. The values entered last stay for next time.
class TFormTaxAddScalaLine : public QDialog {
    Q_OBJECT
public:
    enum Mode { kTurnover = 1, kCount = 2 };

    explicit TFormTaxAddScalaLine(QWidget* parent = nullptr);
    ~TFormTaxAddScalaLine() override;
    static TFormTaxAddScalaLine* Instance(); // the one made at start-up, or null

    void SetMode(int mode);
    int Mode() const { return mode_; }
    // Shows modally in a mode; the caller then reads the three values.
    int Execute(int mode);

    double Level() const;
    double Sum() const;
    double Percent() const;
    // Values set by the program (they never zero each other).
    void SetValues(double level, double sum, double percent);

    QDoubleSpinBox* ceLevel() const { return level_; }
    QDoubleSpinBox* ceSum() const { return sum_; }
    QDoubleSpinBox* cePercent() const { return percent_; }
    QString LevelLabel() const;
    QString SumLabel() const;
    QString PercentLabel() const;

    // OK: refuses negative values with an error box.
    void accept() override;

private:
    QDoubleSpinBox* level_ = nullptr;
    QDoubleSpinBox* sum_ = nullptr;
    QDoubleSpinBox* percent_ = nullptr;
    QLabel* levelLabel_ = nullptr;
    QLabel* sumLabel_ = nullptr;
    QLabel* percentLabel_ = nullptr;
    int mode_ = kTurnover;
    bool programSets_ = false;
};
