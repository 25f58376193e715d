#pragma once

#include "shell/contract/TChildWindow.h"

#include <QDate>
#include <QString>

#include <memory>

class QFontMetrics;
class QMenu;
class QTimer;
class TAdvStringGrid;
class TBrokerSession;

// "Дополнительная информация по заявке": everything the server knows about one order,
// as a two-column list of name/value pairs. Every opening makes a new window, which
// opens centred on the window it was opened from and closes with it. Long texts are
// wrapped to the column width; Ctrl with the mouse wheel zooms the list, and the cells
// are wrapped again once the wheel has rested for half a second.
class TFormOrderInfo : public TChildWindow {
    Q_OBJECT
public:
    explicit TFormOrderInfo(QWidget* parent = nullptr);
    ~TFormOrderInfo() override;

    int Tag() const override { return 0; }

    // Opens a details window for an exchange order (query 1418 with the order's trading
    // day) or a conditional order (1421). A number that is not a decimal integer opens
    // nothing and sends nothing; null is returned then.
    static TFormOrderInfo* OpenOrderDetails(const QString& orderNumber, QWidget* owner,
                                            const QDate& date);
    static TFormOrderInfo* OpenConditionalOrderDetails(const QString& orderNumber, QWidget* owner);
    // Whether the text is a decimal integer: an optional minus sign and digits only.
    static bool IsOrderNumber(const QString& text);

    // Session event: the pairs of the answer, then the layout.
    void sesOrdInfoData();
    // Name column half the grid's width, every cell wrapped again, rows fitted.
    void LayoutCells();
    // The re-wrap timer fired: it stops itself and lays the cells out.
    void Timer1Timer();

    TAdvStringGrid& GridOrdInfo() const { return *grid_; }
    TBrokerSession& sesOrdInfo() const { return *session_; }
    QTimer& Timer1() const { return *timer_; }

    // Sets this window class as the opener the order lists call (at start-up).
    static void Register();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    static TFormOrderInfo* Open(const QString& orderNumber, QWidget* owner, int query,
                                const QString& dateParam);
    void PlaceBeside(QWidget* owner);

    std::unique_ptr<TBrokerSession> session_;
    TAdvStringGrid* grid_ = nullptr;
    QMenu* popup_ = nullptr;
    QTimer* timer_ = nullptr;
};

// The wrap of one cell of the details list: carriage returns removed, then, when the
// text with a margin of two "O" widths is wider than the column, cut character by
// character into lines that never reach into the margin (a line takes at least one
// character), joined with carriage returns.
QString WrapOrderInfoText(const QString& text, const QFontMetrics& metrics, int columnWidth);
