#pragma once

#include <QColor>
#include <QStatusBar>
#include <QString>

#include <array>

class QLabel;
class TMessagePanel;

// The main window's status bar: five panels. 0 empty, 1 the trading date,
// 2 the trading state, 3 connection and progress messages coloured by their first
// character, 4 the selection sum.
class TStatusPanels : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusPanels(QWidget* parent = nullptr);

    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;

    // How panel 3 shows a message: "!" red, "*" blue, "+" green, without that
    // character and cut after 500 characters; anything else whole, normal colour.
    struct Styled {
        QString text;
        QColor color; // invalid: the normal text colour
    };
    static Styled StyleMessage(const QString& message);

private:
    std::array<QLabel*, 5> labels_{};
    TMessagePanel* message_ = nullptr;
};
