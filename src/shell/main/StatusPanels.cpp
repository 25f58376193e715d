#include "StatusPanels.h"

#include <QLabel>
#include <QPainter>

#include <algorithm>

// Panel 3 draws its own text so the first character can choose the colour.
class TMessagePanel : public QWidget {
public:
    explicit TMessagePanel(QWidget* parent) : QWidget(parent) {}
    void SetText(const QString& text) {
        text_ = text;
        update();
    }
    const QString& Text() const { return text_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const TStatusPanels::Styled s = TStatusPanels::StyleMessage(text_);
        p.setPen(s.color.isValid() ? s.color : palette().color(QPalette::WindowText));
        // The text starts 2 pixels right of and 1 pixel below the panel's corner.
        p.drawText(rect().adjusted(2, 1, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, s.text);
    }

private:
    QString text_;
};

namespace {
constexpr int kWidths[5] = {50, 60, 150, 250, 50};
}

TStatusPanels::TStatusPanels(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    for (int i = 0; i < 5; ++i) {
        if (i == 3) {
            message_ = new TMessagePanel(this);
            message_->setObjectName(QStringLiteral("StatusPanel3"));
            message_->setMinimumWidth(kWidths[i]);
            message_->setMinimumHeight(fontMetrics().height() + 4);
            addWidget(message_);
            continue;
        }
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setMinimumWidth(kWidths[i]);
        label->setAlignment((i == 2   ? Qt::AlignLeft
                             : i == 4 ? Qt::AlignRight
                                      : Qt::AlignHCenter) |
                            Qt::AlignVCenter);
        if (i == 0)
            label->setFrameShape(QFrame::NoFrame);
        labels_[static_cast<size_t>(i)] = label;
        addWidget(label);
    }
}

void TStatusPanels::SetPanelText(int panel, const QString& text) {
    if (panel < 0 || panel >= 5)
        return;
    // Panels keep their width unless the text needs more (fonts here are wider
    // than the panels were drawn for); a panel never cuts its text.
    QWidget* w = panel == 3 ? static_cast<QWidget*>(message_) : labels_[size_t(panel)];
    const QString shown = panel == 3 ? StyleMessage(text).text : text;
    w->setMinimumWidth(std::max(kWidths[panel], fontMetrics().horizontalAdvance(shown) + 12));
    if (panel == 3)
        message_->SetText(text);
    else
        labels_[static_cast<size_t>(panel)]->setText(text);
}

QString TStatusPanels::PanelText(int panel) const {
    if (panel == 3)
        return message_->Text();
    if (panel >= 0 && panel < 5)
        return labels_[static_cast<size_t>(panel)]->text();
    return QString();
}

TStatusPanels::Styled TStatusPanels::StyleMessage(const QString& message) {
    if (message.isEmpty())
        return {};
    QColor color;
    switch (message.at(0).unicode()) {
    case '!':
        color = Qt::red;
        break;
    case '*':
        color = Qt::blue;
        break;
    case '+':
        color = Qt::darkGreen;
        break;
    default:
        return {message, QColor()};
    }
    return {message.mid(1, 500), color};
}
