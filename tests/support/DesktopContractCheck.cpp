#include "support/DesktopContractCheck.h"

#include "desktops/DesktopText.h"
#include "desktops/TDeskTopConfig.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/CommaText.h"
#include "shell/base/Registry.h"
#include "shell/contract/IMonitorWindow.h"
#include "shell/main/MainForm.h"
#include "support/ScriptedSession.h"

#include <QCoreApplication>
#include <QMap>
#include <QMdiSubWindow>
#include <QMetaProperty>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

const char* const kShared[] = {"Top", "Left", "Height", "Width", "Caption"};
const char* const kIntegers[] = {
    "Top", "Left", "Height", "Width", "InternalFilterStatus", "RestoredComplete"};

const char* const kFilterAndLayout[] = {"SQLFilter", "FormSettings"};

bool IsInteger(const char* name) {
    return std::any_of(std::begin(kIntegers), std::end(kIntegers),
                       [&](const char* n) { return qstrcmp(n, name) == 0; });
}

// The request key each published list or code travels under.
const QMap<QString, QString>& ListKeys() {
    static const QMap<QString, QString> keys = {
        {QStringLiteral("InternalFilterListAcc"), QStringLiteral("filter_acc")},
        {QStringLiteral("InternalFilterListBum"), QStringLiteral("filter_bum")},
        {QStringLiteral("InternalFilterShortLong"), QStringLiteral("filter_short_long")},
        {QStringLiteral("InternalFilterBuySell"), QStringLiteral("filter_buy_sell")},
        {QStringLiteral("InternalFilterStatus"), QStringLiteral("filter_order_status")},
    };
    return keys;
}

QString Sample(const char* name, DesktopCarrier carrier) {
    const QString n = QString::fromLatin1(name);
    if (n == "Top")
        return QStringLiteral("13");
    if (n == "Left")
        return QStringLiteral("17");
    if (n == "Height")
        return QStringLiteral("340");
    if (n == "Width")
        return QStringLiteral("520");
    if (n == "Caption")
        return QStringLiteral("Проверка & / окна");
    if (n == "SQLFilter") {
        // Empty where the window keeps it unsent, so "SQLFilter=" round-trips as well.
        if (carrier == DesktopCarrier::Fltr)
            return QStringLiteral(" AND ID_ACC in (5,7)");
        if (carrier == DesktopCarrier::Fragment)
            return QStringLiteral("filter_bum=101,102") + QChar(0);
        return QString();
    }
    if (n == "InternalFilterListBum")
        return QStringLiteral("101\r\n102\r\n103");
    if (n == "InternalFilterListAcc")
        return QStringLiteral("5\r\n7");
    if (n == "InternalFilterShortLong")
        return QStringLiteral("L");
    if (n == "InternalFilterBuySell")
        return QStringLiteral("S");
    if (n == "InternalFilterStatus")
        return QStringLiteral("5");
    return QString();
}

QString Read(const QObject& window, const char* name) {
    QString text;
    EXPECT_TRUE(TDeskTopConfig::ReadProperty(window, name, text)) << name;
    return text;
}

// The layout of another window of the class after the user moved and hid a column.
QString ChangedLayout(TDeskTopConfig& store, const QString& className) {
    QPointer<QWidget> donor = store.CreateWindow(className);
    if (!donor)
        return QString();
    if (auto* grid = donor->findChild<TAdvColumnGrid*>(); grid && grid->AllColCount() >= 3) {
        grid->MoveColumn(0, 2);
        grid->HideColumn(1);
    }
    const QString settings = Read(*donor, "FormSettings");
    donor->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return settings;
}

// The list requests the sessions made after the restore sent, in order.
std::vector<SentRequest> ListRequests(const std::vector<ScriptedSession*>& sessions) {
    std::vector<SentRequest> sent;
    for (ScriptedSession* s : sessions)
        for (const SentRequest& r : s->SentTo(QStringLiteral("SpisokBB")))
            sent.push_back(r);
    return sent;
}

void CheckRequest(const DesktopContractRow& row, const QMap<QString, QString>& restored,
                  const SentRequest& request) {
    switch (row.Carrier) {
    case DesktopCarrier::None:
        break;
    case DesktopCarrier::Lists:
        for (auto it = restored.begin(); it != restored.end(); ++it) {
            const QString key = ListKeys().value(it.key());
            if (key.isEmpty() || !request.HasParam(key))
                continue;
            const QString expected = it.key().startsWith(QStringLiteral("InternalFilterList"))
                                         ? ToCommaText(FromLinesText(it.value()))
                                         : it.value();
            EXPECT_EQ(request.Param(key).toStdString(), expected.toStdString())
                << key.toStdString();
        }
        for (const char* list : {"InternalFilterListAcc", "InternalFilterListBum"})
            if (restored.contains(QLatin1String(list))) {
                EXPECT_TRUE(request.HasParam(ListKeys().value(QLatin1String(list)))) << list;
            }
        break;
    case DesktopCarrier::Fltr:
        EXPECT_TRUE(request.Param(QStringLiteral("fltr")).startsWith(restored.value("SQLFilter")))
            << request.Param(QStringLiteral("fltr")).toStdString();
        break;
    case DesktopCarrier::Fragment:
        EXPECT_TRUE(request.params.contains(restored.value("SQLFilter")));
        break;
    }
}

} // namespace

const std::vector<DesktopContractRow>& DesktopContractTable() {
    using C = DesktopCarrier;
    const std::vector<const char*> fl(std::begin(kFilterAndLayout), std::end(kFilterAndLayout));
    static const std::vector<DesktopContractRow> table = {
        {"TFormAOrd", fl, C::None},
        {"TFormAPortfel", fl, C::Fltr},
        {"TFormOstatkiTn", fl, C::Fltr},
        {"TFormAPosition", fl, C::Fltr},
        {"TFormAProv", fl, C::Fltr},
        {"TFormASd", fl, C::Fltr},
        {"TFormMargo", fl, C::None},
        {"TFormPos", fl, C::Fltr},
        {"TFormPrf",
         {"SQLFilter", "FormSettings", "InternalFilterListBum", "InternalFilterListAcc",
          "InternalFilterShortLong", "InternalFilterStatus", "RestoredComplete"},
         C::Lists},
        {"TFormProv", fl, C::Fltr},
        {"TFormSd", fl, C::Fltr},
        {"TOrderForm",
         {"SQLFilter", "FormSettings", "InternalFilterListBum", "InternalFilterListAcc",
          "InternalFilterBuySell", "InternalFilterStatus", "RestoredComplete"},
         C::Lists},
        {"TFormAllBrokPercent", {}, C::None},
        {"TFormListBum", {}, C::None},
        {"TFormProvWait", fl, C::Fragment},
        {"TFormOrdersRPS", fl, C::None},
        {"TFormConditionOrders", {}, C::None},
        {"TFormPortfelFut", {"InternalFilterListBum", "InternalFilterListAcc"}, C::Lists},
    };
    return table;
}

DesktopContractResult CheckDesktopContract(const QString& className) {
    const auto& table = DesktopContractTable();
    const auto row = std::find_if(table.begin(), table.end(), [&](const DesktopContractRow& r) {
        return className == QLatin1String(r.ClassName);
    });
    if (row == table.end()) {
        ADD_FAILURE() << "no contract row for " << className.toStdString();
        return DesktopContractResult::Passed;
    }
    SCOPED_TRACE(className.toStdString());

    // A settings folder, sessions and a main window of the check's own.
    QTemporaryDir config;
    const QByteArray savedConfig = qgetenv("ORVEX_CONFIG_DIR");
    qputenv("ORVEX_CONFIG_DIR", config.path().toLocal8Bit());
    TRegistry::ReloadStores();
    DesktopContractResult result = DesktopContractResult::Passed;
    {
        ScriptedSessionHub hub;
        TDeskTopConfig store;
        TMainForm main;
        main.resize(1400, 1000);
        main.show();
        if (!store.IsRegistered(className)) {
            result = DesktopContractResult::Skipped;
        } else {
            [&] {
                QPointer<QWidget> window = store.CreateWindow(className);
                ASSERT_TRUE(window);
                EXPECT_EQ(store.RegisteredName(window), className);

                // Exactly the table's properties, of the table's types.
                QStringList published;
                for (const char* name : DesktopText::kPropertyNames) {
                    const bool expected =
                        std::any_of(std::begin(kShared), std::end(kShared),
                                    [&](const char* n) { return qstrcmp(n, name) == 0; }) ||
                        std::any_of(row->Properties.begin(), row->Properties.end(),
                                    [&](const char* n) { return qstrcmp(n, name) == 0; });
                    const QMetaObject* meta = window->metaObject();
                    const int index = meta->indexOfProperty(name);
                    EXPECT_EQ(index >= 0, expected) << name;
                    if (index < 0)
                        continue;
                    published.append(QLatin1String(name));
                    const QMetaProperty p = meta->property(index);
                    EXPECT_TRUE(p.isReadable() && p.isWritable()) << name;
                    EXPECT_EQ(p.typeId(), IsInteger(name) ? QMetaType::Int : QMetaType::QString)
                        << name;
                }

                // Distinct sample values, then what the window reads back from them.
                QMap<QString, QString> expected;
                for (const QString& name : published) {
                    const QByteArray n = name.toLatin1();
                    if (name == "RestoredComplete")
                        continue;
                    const QString value = name == "FormSettings"
                                              ? ChangedLayout(store, className)
                                              : Sample(n.constData(), row->Carrier);
                    EXPECT_TRUE(TDeskTopConfig::WriteProperty(*window, name, value)) << n.data();
                    expected[name] = Read(*window, n.constData());
                }
                if (published.contains("RestoredComplete")) {
                    EXPECT_EQ(Read(*window, "RestoredComplete"), "0");
                }

                store.SaveDesktop(QStringLiteral("Проверка"));
                const DesktopText::TParsed saved =
                    DesktopText::ParseStored(store.StoredValue(QStringLiteral("Проверка")));
                ASSERT_TRUE(saved.VersionOk);
                QStringList savedNames;
                for (const DesktopText::TStep& step : saved.Steps)
                    savedNames.append(step.Name);
                EXPECT_EQ(savedNames, QStringList(className) + published);

                std::vector<ScriptedSession*> before = hub.Live();
                store.LoadDesktop(QStringLiteral("Проверка"));
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                EXPECT_TRUE(window.isNull()); // the old window is gone
                const std::vector<QWidget*> open = store.OpenWindows();
                ASSERT_EQ(open.size(), 1u);
                QWidget* restored = open.front();
                EXPECT_EQ(store.RegisteredName(restored), className);
                for (auto it = expected.begin(); it != expected.end(); ++it)
                    EXPECT_EQ(Read(*restored, it.key().toLatin1().constData()).toStdString(),
                              it.value().toStdString())
                        << it.key().toStdString();
                if (published.contains("RestoredComplete")) {
                    EXPECT_EQ(Read(*restored, "RestoredComplete"), "0");
                }

                // Layouts from a damaged desktop break nothing.
                if (published.contains("FormSettings")) {
                    for (const QString& garbage :
                         {QStringLiteral("zz"), QString(), QStringLiteral("BTNP1\x01\xff"),
                          QString(70000, QChar(0x98))}) {
                        TDeskTopConfig::WriteProperty(*restored, QStringLiteral("FormSettings"),
                                                      garbage);
                        QString text;
                        EXPECT_TRUE(TDeskTopConfig::ReadProperty(*restored, "FormSettings", text));
                    }
                }

                // The list request after the restore; where the window sends none on
                // restore, the one its session's login or the next refresh sends.
                if (row->Carrier == DesktopCarrier::None)
                    return;
                std::vector<ScriptedSession*> fresh;
                for (ScriptedSession* s : hub.Live())
                    if (std::find(before.begin(), before.end(), s) == before.end())
                        fresh.push_back(s);
                QCoreApplication::processEvents();
                if (ListRequests(fresh).empty())
                    for (ScriptedSession* s : fresh)
                        s->RaiseLogin();
                if (ListRequests(fresh).empty())
                    if (auto* monitor = dynamic_cast<IMonitorWindow*>(restored))
                        monitor->RefreshList();
                const std::vector<SentRequest> sent = ListRequests(fresh);
                ASSERT_FALSE(sent.empty()) << "no list request after the restore";
                CheckRequest(*row, expected, sent.back());
            }();
        }
    }
    if (savedConfig.isEmpty())
        qunsetenv("ORVEX_CONFIG_DIR");
    else
        qputenv("ORVEX_CONFIG_DIR", savedConfig);
    TRegistry::ReloadStores();
    return result;
}
