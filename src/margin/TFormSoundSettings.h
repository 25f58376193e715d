#pragma once

#include <QDialog>

class QLineEdit;

// "Настройка звуковых сигналов": the sound files of the margin monitor's two alarms,
// kept in the user's sound scheme. Each row has the file, "Обзор..." and "Прослушать";
// OK stores both.
class TFormSoundSettings : public QDialog {
    Q_OBJECT
public:
    explicit TFormSoundSettings(QWidget* parent = nullptr);

    // Reads the scheme into the fields, then shows the dialog modally.
    int ShowModal();
    void ConfirmClick();

    QLineEdit* CriticalFile() const { return critical_; }
    QLineEdit* StartFile() const { return start_; }
    // The folder of the program's own alarm sounds.
    static QString SoundsFolder();

private:
    QLineEdit* AddRow(class QGridLayout* grid, int row, const QString& caption);

    QLineEdit* critical_ = nullptr;
    QLineEdit* start_ = nullptr;
};
