#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;

// "Сохранение рабочего стола": asks for the name to save the desktop under. Its list
// holds the desktop names of the program's start; names saved later join it at the
// next start.
class TFormSaveAsDesktop : public QDialog {
    Q_OBJECT
public:
    explicit TFormSaveAsDesktop(const QStringList& desktopNames, QWidget* parent = nullptr);

    // Shows the dialog modally starting from name; true with the name on OK.
    bool Ask(QString& name);

    QComboBox& CbDesktopName() const { return *combo_; }

private:
    QComboBox* combo_ = nullptr;
};
