// Control requests: the test controls of the server and, for its own user always,
// the simulator rate and the status line (they change no data of anyone else).
#include "server/core/PendingExecution.h"
#include "server/core/ServerLog.h"
#include "server/core/WireText.h"
#include "server/host/ServerHost.h"

#include <QLocalSocket>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

namespace {
constexpr int kReloginMs = 500;
constexpr int kSimulatorTickMs = 100;
} // namespace

void ServerHost::HandleControl(Connection* c, const wire::Message& m, const ParamList& params) {
    const QString action = params.Value(QStringLiteral("action")).trimmed().toLower();
    const bool openToUser = action == QLatin1String("simrate") || action == QLatin1String("status");
    if (!options_.control && !openToUser) {
        ServerLog::Line(QStringLiteral("control request refused: control is not enabled"));
        Send(c, wire::Message::Error(
                    m.id, QStringLiteral("control requests are disabled (start with --control)")));
        return;
    }
    // Everything but the status needs the store.
    if (!storeReady_ && action != QLatin1String("status") && action != QLatin1String("simrate")) {
        Send(c, wire::Message::Error(m.id, QStringLiteral("the server is preparing its store")));
        return;
    }
    QString reply;
    bool ok = true;
    auto newKey = [](const QString& prefix) {
        return prefix + QString::number(QRandomGenerator::global()->bounded(100000000u));
    };
    if (action == QLatin1String("drop")) {
        DropAll(kReloginMs);
        reply = QStringLiteral("sessions dropped, logging in again");
    } else if (action == QLatin1String("newday")) {
        const QString dateText = params.Value(QStringLiteral("date"));
        if (!dateText.isEmpty()) {
            const QDate d = QDate::fromString(dateText, QStringLiteral("dd.MM.yyyy"));
            if (!d.isValid()) {
                ok = false;
                reply = QStringLiteral("date must be dd.mm.yyyy");
            } else {
                store_.SetState(QStringLiteral("trading_date"), d.toString(Qt::ISODate));
            }
        }
        if (ok) {
            store_.SetState(QStringLiteral("trading_day_key"), newKey(QStringLiteral("TD")));
            DropAll(kReloginMs);
            reply = QStringLiteral("new trading day %1")
                        .arg(store_.State(QStringLiteral("trading_day_key")));
        }
    } else if (action == QLatin1String("sessionkey")) {
        store_.SetState(QStringLiteral("session_key"), newKey(QStringLiteral("S")));
        DropAll(kReloginMs);
        reply =
            QStringLiteral("new session key %1").arg(store_.State(QStringLiteral("session_key")));
    } else if (action == QLatin1String("clientkey")) {
        const auto v = params.Int(QStringLiteral("value"));
        if (!v || *v <= 0) {
            ok = false;
            reply = QStringLiteral("clientkey needs value=N (a client id)");
        } else {
            store_.SetState(QStringLiteral("client_key"), QString::number(*v));
            DropAll(kReloginMs);
            reply = QStringLiteral("client key %1").arg(*v);
        }
    } else if (action == QLatin1String("refuselogin")) {
        refuseNextLogin_ = true;
        reply = QStringLiteral("the next login will be refused");
    } else if (action == QLatin1String("stall")) {
        const auto v = params.Int(QStringLiteral("ms"));
        if (!v || *v < 0 || *v > 600000) {
            ok = false;
            reply = QStringLiteral("stall needs ms=N (0 to 600000)");
        } else {
            stallMs_ = int(*v);
            reply = QStringLiteral("answers held back %1 ms").arg(stallMs_);
            if (stallMs_ == 0)
                FlushQueues();
        }
    } else if (action == QLatin1String("failcommission")) {
        // The next commission command (1901 to 1908) fails as a store failure would.
        store_.SetState(QStringLiteral("commission.fail_next"), QStringLiteral("1"));
        reply = QStringLiteral("the next commission command will fail with -10");
    } else if (action == QLatin1String("simrate")) {
        bool num = false;
        const double rate = params.Value(QStringLiteral("rate")).toDouble(&num);
        if (!num || rate < 0 || rate > 100000) {
            ok = false;
            reply = QStringLiteral("simrate needs rate=N (0 to 100000)");
        } else {
            options_.simRate = rate;
            if (rate > 0 && storeReady_)
                simTimer_.start(kSimulatorTickMs);
            else
                simTimer_.stop();
            reply = QStringLiteral("simulator at %1 changes/s").arg(rate);
        }
    } else if (action == QLatin1String("plugin")) {
        // The user's allow list of report plug-ins: "plugin id=X allow=1" (or 0).
        const QString id = params.Value(QStringLiteral("id")).trimmed();
        const QString allow = params.Value(QStringLiteral("allow"));
        if (id.isEmpty() || (allow != QLatin1String("0") && allow != QLatin1String("1"))) {
            ok = false;
            reply = QStringLiteral("plugin needs id=ID allow=0|1");
        } else {
            ok = store_.Transaction([&] {
                QSqlQuery q(store_.Db());
                q.prepare(allow == QLatin1String("1")
                              ? QStringLiteral("INSERT OR IGNORE INTO plugin_allow VALUES (?)")
                              : QStringLiteral("DELETE FROM plugin_allow WHERE plugin_id = ?"));
                q.addBindValue(id);
                return q.exec();
            });
            reply = ok ? QStringLiteral("plug-in %1 %2")
                             .arg(id.left(100), allow == QLatin1String("1")
                                                    ? QStringLiteral("allowed")
                                                    : QStringLiteral("not allowed"))
                       : QStringLiteral("the store refused the change");
        }
    } else if (action == QLatin1String("setprice")) {
        // The last price of one security, as if a deal had been made at it: the next
        // margin list values the clients' positions with it.
        const auto id = params.Int(QStringLiteral("security"));
        bool num = false;
        const double price = params.Value(QStringLiteral("price")).toDouble(&num);
        if (!id || *id <= 0 || !num || !(price > 0) || price > 1e12) {
            ok = false;
            reply = QStringLiteral("setprice needs security=N and price=P (a positive number)");
        } else if (store_
                       .ScalarQuery(QStringLiteral("SELECT COUNT(*) FROM security WHERE id = ?"),
                                    {*id})
                       .toLongLong() == 0) {
            ok = false;
            reply = QStringLiteral("no security %1").arg(*id);
        } else {
            QSqlQuery q(store_.Db());
            q.prepare(QStringLiteral("UPDATE security SET last_price = ? WHERE id = ?"));
            q.addBindValue(price);
            q.addBindValue(*id);
            ok = q.exec();
            reply = ok ? QString() : q.lastError().text();
            if (ok)
                reply = QStringLiteral("security %1 priced %2").arg(*id).arg(price);
        }
    } else if (action == QLatin1String("execpending")) {
        // Waiting pending transactions become transactions: all, or the one of id=N.
        const QString idText = params.Value(QStringLiteral("id")).trimmed();
        const auto id = params.Int(QStringLiteral("id"));
        if (!idText.isEmpty() && (!id || *id <= 0)) {
            ok = false;
            reply = QStringLiteral("execpending takes id=N (a pending transaction) or nothing");
        } else {
            const PendingExecution done = ExecutePending(*engine_, id ? *id : 0);
            PushChanges(done.changes);
            reply = done.Summary();
        }
    } else if (action == QLatin1String("status")) {
        reply = ControlStatus();
    } else {
        ok = false;
        reply = QStringLiteral("unknown control action \"%1\"").arg(action.left(40));
    }
    ServerLog::Line(QStringLiteral("control %1: %2").arg(action.left(40), reply));
    Send(c, wire::Message::Ack(m.id, ok ? 0 : -1));
    wire::Message data = wire::Message::Data(m.id);
    data.rows.push_back(WireText::RowBuilder()
                            .Plain(ok ? QStringLiteral("OK") : QStringLiteral("ERROR"))
                            .Plain(reply)
                            .Take());
    data.requestParams.assign(params.Items().cbegin(), params.Items().cend());
    Send(c, data); // control answers are never stalled
}

QString ServerHost::ControlStatus() const {
    if (!storeReady_)
        return QStringLiteral("logged_in=0 sessions=%1 preparing=%2% sim_rate=%3")
            .arg(connections_.size())
            .arg(preparePercent_)
            .arg(options_.simRate);
    return QStringLiteral("logged_in=%1 sessions=%2 day=%3 date=%4 session_key=%5 "
                          "client_key=%6 stall=%7 sim_rate=%8 sim_events=%9")
        .arg(loggedIn_ ? 1 : 0)
        .arg(connections_.size())
        .arg(store_.State(QStringLiteral("trading_day_key")),
             store_.State(QStringLiteral("trading_date")),
             store_.State(QStringLiteral("session_key")),
             store_.State(QStringLiteral("client_key")))
        .arg(stallMs_)
        .arg(options_.simRate)
        .arg(simulator_->EventsDone());
}
