#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class TLimitSpinBox;

// "Редактировать ": the limit and flags of one marginal security of a client. Made once
// at start-up; the rules window fills it, shows it and sends the change. It validates
// nothing.
class TFormMarginEditRule : public QDialog {
    Q_OBJECT
public:
    explicit TFormMarginEditRule(QWidget* parent = nullptr);
    ~TFormMarginEditRule() override;
    static TFormMarginEditRule* Instance(); // null before start-up made it

    // limitText: the rules list's limit, a dot-decimal number in every locale.
    void Prepare(const QString& clientName, const QString& securityName, const QString& limitText,
                 bool marginTrading, bool countsInLevel);

    double Limit() const;
    bool MarginTrading() const;
    bool CountsInLevel() const;

    QLineEdit* EdCliName() const { return client_; }
    QLineEdit* EdBumName() const { return security_; }
    TLimitSpinBox* EdSellLimit() const { return limit_; }
    QCheckBox* CbMrgBuyEnable() const { return buyEnable_; }
    QCheckBox* CbMrgCalc() const { return calc_; }

private:
    QLineEdit* client_ = nullptr;
    QLineEdit* security_ = nullptr;
    TLimitSpinBox* limit_ = nullptr;
    QCheckBox* buyEnable_ = nullptr;
    QCheckBox* calc_ = nullptr;
};
