#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QPushButton;
class TAdvColumnGrid;
class TMetadataSession;

// "Изменение брокерского процента": one client's percentage per turnover tier. Made
// once at start-up, hidden, and reused: each opening names the client, loads its
// ladder and returns Accepted only after the server took the new percentages.
class TFormUpdateBrokPercent : public QDialog {
    Q_OBJECT
public:
    // Columns of PercGrid: the answer's fields by position.
    enum Column { kTierId = 0, kLower = 1, kUpper = 2, kUpperBroker = 3, kPercent = 4 };

    explicit TFormUpdateBrokPercent(QWidget* parent = nullptr);
    ~TFormUpdateBrokPercent() override;

    // The dialog made at start-up; made on first use when there is none (tests).
    static TFormUpdateBrokPercent& Shared();
    static void CreateShared(QWidget* parent);

    // Sets the client and the caption and asks for the client's ladder (no showing).
    void Open(const QString& clientId, const QString& clientName);
    // Open, then shows the dialog modally; true when the server accepted a change.
    bool Execute(const QString& clientId, const QString& clientName);

    // Answers of the ladder and of the update.
    void SesPercData();
    void SesUpdData();
    void BtnOkClick();

    const QString& ClientId() const { return clientId_; }
    TAdvColumnGrid& PercGrid() const { return *grid_; }
    TMetadataSession& SesPerc() const { return *sesPerc_; }
    TMetadataSession& SesUpd() const { return *sesUpd_; }

private:
    void BuildGrid();
    void ShowError(const QString& text);

    QString clientId_;
    std::unique_ptr<TMetadataSession> sesPerc_;
    std::unique_ptr<TMetadataSession> sesUpd_;
    TAdvColumnGrid* grid_ = nullptr;
    QPushButton* ok_ = nullptr;
};
