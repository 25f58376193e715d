#pragma once

#include <QHash>

class QSqlDatabase;

// The sums of one margin client, from its money M, the value L of its long positions
// in the securities its rules count and the value Sh of its short positions:
// credit K = max(0, -M) + Sh, assets A = L + max(0, M), own funds E = A - K.
struct MarginFigures {
    double credit = 0;    // SUM_KREDIT
    double assets = 0;    // SUM_ACTIVES
    double own = 0;       // SUM_SELF_MONEY
    int percent = 100;    // MARGIN_PERCENT, 0 to 100
    double maxCredit = 0; // SUM_MAX_KREDIT
    double addCredit = 0; // SUM_ADD_KREDIT
    double needClose = 0; // SUM_NEED_CLOSE
};

// mode 1 lends; startLevel and criticalLevel are whole percents (1 to 100).
MarginFigures ComputeMarginFigures(double money, double longs, double shorts, int mode,
                                   int startLevel, int criticalLevel);

// What the positions of one margin client come to: its money, the value of its long
// positions in the securities its rules count, the value of its short positions.
struct MarginPositionSums {
    double money = 0;
    double longs = 0;
    double shorts = 0;
};

// The sums of every margin client by client id, in one pass over their positions. A
// security is valued at its last deal price, else at the position's average price; a
// bond's price is a percentage of its nominal.
QHash<qint64, MarginPositionSums> SumMarginPositions(const QSqlDatabase& db);
