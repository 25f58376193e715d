#pragma once

#include <QDialog>

// The about box: product name, version line and an OK button; shown modal.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};
