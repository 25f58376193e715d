#pragma once

#include <QDialog>
#include <QIcon>

// The about box: the program's icon, product name, version line and an OK button;
// shown modal.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

// The program's own icon (drawn for it, carried inside the program).
QIcon ProductIcon();

// Names the application and gives it its icon. No display name is set: the window
// system would append it to every title, and the main window's title is the
// session's text alone.
void ApplyProductIdentity();
