#pragma once

#include <QString>
#include <QStringList>

class QAction;
class QToolBar;
class TAdvColumnGrid;
class TMetadataParser;
struct TCellLook;

// What the RPS and REPO orders window and the conditional orders window share: their
// toolbar, the reading of a withdrawal's answer and the colours of their rows.
namespace requestorders {

// The toolbar, left to right: "Фильтр", "Обновить", "Снять заявку".
void AddButtons(QToolBar& panel, QAction* filter, QAction* refresh, QAction* withdraw);

// Reads a withdrawal's answer: true when RESULT_CODE is 0 (the list is asked for
// again); otherwise RESULT_MSG is posted as one error box with the single button
// Cancel, which opens after the current handler has returned.
bool WithdrawalAccepted(TMetadataParser& parser, const QString& window);

// Navy text on buy rows outside the fixed column, and in the status name column the
// background of the status (a status that is not a number counts 0).
void StatusLook(const TAdvColumnGrid& grid, int realCol, int row, int buySellTag, int statusTag,
                int statusNameTag, TCellLook& look);

// What the filter dialog returns to both windows (mask 15: accounts, securities
// without money, side, statuses): the condition, the caption grown by it, the lists.
struct OrderFilter {
    QString caption;
    QString condition;
    QStringList securities;
    QStringList accounts;
    QString buySell;
    int statusMask = 0;
};

// Shows the filter dialog with the window's base caption; false when it is cancelled.
bool AskOrderFilter(const QString& baseCaption, OrderFilter& out);

} // namespace requestorders
