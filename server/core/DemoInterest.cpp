// The demo's broker interest: a ladder of four turnover tiers for every client, the
// withholding switched on for every third client, and the firm's own account as the
// account that receives the interest.
#include "server/core/DemoBuild.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace demo;

bool DemoGenerator::Build::WriteInterestLadders() {
    // The earlier step gave some clients three tiers; the fourth tier and the clients it
    // left out are added here, keeping what it wrote.
    const QStringList statements = {
        QStringLiteral("INSERT OR IGNORE INTO interest_tier (id, lower_bound, upper_bound, "
                       "upper_broker_percent) VALUES (1, 0, 1000000, 30), "
                       "(2, 1000000, 10000000, 25), (3, 10000000, 1000000000, 20), "
                       "(4, 1000000000, 100000000000, 15)"),
        QStringLiteral("INSERT OR IGNORE INTO client_interest (cli_id, tier_id, percent) "
                       "SELECT c.id, t.id, CASE t.id WHEN 1 THEN 20 WHEN 2 THEN 15 WHEN 3 THEN "
                       "10 ELSE 5 END FROM client c CROSS JOIN interest_tier t WHERE c.id <> %1")
            .arg(kFirmClientId),
        QStringLiteral("INSERT OR IGNORE INTO client_interest_flag (cli_id, auto_calc) "
                       "SELECT id, CASE WHEN id / 3 * 3 = id THEN 1 ELSE 0 END FROM client "
                       "WHERE id <> %1")
            .arg(kFirmClientId),
    };
    for (const QString& sql : statements) {
        QSqlQuery q(db);
        if (!q.exec(sql)) {
            failure = QStringLiteral("interest: %1").arg(q.lastError().text());
            return false;
        }
    }
    store_.SetState(QStringLiteral("interest_acc"), QStringLiteral("1"));
    return true;
}
