#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class TReferenceData;

// "Изменение уровней маржи": a client's lending mode, credit account and margin
// levels. Made once at start-up; the margin monitor prepares and shows it and sends
// the command with what it holds after OK.
class TFormMarginLevel : public QDialog {
    Q_OBJECT
public:
    explicit TFormMarginLevel(QWidget* parent = nullptr);
    ~TFormMarginLevel() override;
    static TFormMarginLevel* Instance(); // null before start-up made it

    // The credit accounts: the firm's own accounts (ClientId = ClientKey), by name.
    void FillControls(const TReferenceData& refs);
    // Before the reference lists are loaded again the list is emptied, so it never
    // names accounts of an older load.
    void ClearAccounts();

    // Fills the dialog for a client's row of the monitor.
    void Prepare(const QString& clientNumber, const QString& clientName, const QString& accountName,
                 bool marginMode, int startLevel, int criticalLevel);

    QString ClientNumber() const { return clientNumber_; }
    bool MarginMode() const;
    int ChosenAccountId() const; // 0 when none is chosen
    int StartLevel() const;
    int CriticalLevel() const;

    // OK: the two checks in order; the dialog stays open with a message when one fails.
    void ConfirmClick();

    QCheckBox* CbMarginMode() const { return mode_; }
    QComboBox* CbKreditAcc() const { return accounts_; }
    QSpinBox* EdMrgStartLevel() const { return start_; }
    QSpinBox* EdMrgCriticalLevel() const { return critical_; }
    QLabel* lbLevelFactor() const { return factor_; }
    QLabel* ClientNameLabel() const { return clientName_; }

private:
    void UpdateFactor();

    QLabel* clientName_ = nullptr;
    QCheckBox* mode_ = nullptr;
    QComboBox* accounts_ = nullptr;
    QSpinBox* start_ = nullptr;
    QSpinBox* critical_ = nullptr;
    QLabel* factor_ = nullptr;
    QString clientNumber_;
};
