// The desktop store against windows of its own: saving and restoring by published
// properties, the rules for writing them, and what a damaged desktop does.
#include "desktops/DesktopText.h"
#include "desktops/TDeskTopConfig.h"
#include "shell/base/Registry.h"
#include "shell/contract/TChildWindow.h"

#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// A window publishing a few contract properties; it records the order of the writes.
class TFakeOrders : public TChildWindow {
    Q_OBJECT
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings)
    Q_PROPERTY(int InternalFilterStatus READ Status WRITE SetStatus)
    Q_PROPERTY(int RestoredComplete READ Restored WRITE SetRestored)
public:
    int Tag() const override { return 1; }
    QString SQLFilter() const { return sql; }
    void SetSQLFilter(const QString& text) {
        sql = text;
        writes.append(QStringLiteral("SQLFilter"));
    }
    QString FormSettings() const { return QStringLiteral("read only"); }
    int Status() const { return status; }
    void SetStatus(int value) {
        status = value;
        writes.append(QStringLiteral("InternalFilterStatus"));
    }
    int Restored() const { return 0; }
    void SetRestored(int) { writes.append(QStringLiteral("RestoredComplete")); }

    QString sql;
    int status = 0;
    QStringList writes;
};

class TFakeDeals : public TChildWindow {
    Q_OBJECT
public:
    int Tag() const override { return 2; }
};

// A window of a class no desktop knows (the client browser, the commission manager).
class TFakeBrowser : public QWidget {
    Q_OBJECT
};

class DesktopStore : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORVEX_CONFIG_DIR", dir_.path().toLocal8Bit());
        TRegistry::ReloadStores();
        store_ = std::make_unique<TDeskTopConfig>(QStringLiteral("Software\\test\\Desktops"));
        store_->RegisterWindowClass<TFakeOrders>(QStringLiteral("TFakeOrders"));
        store_->RegisterWindowClass<TFakeDeals>(QStringLiteral("TFakeDeals"));
        area_.resize(1000, 800);
        area_.show();
        store_->SetWindowArea(&area_);
    }
    void TearDown() override {
        store_.reset();
        qunsetenv("ORVEX_CONFIG_DIR");
        TRegistry::ReloadStores();
    }
    template <class W> W* Open(const char* name) {
        return qobject_cast<W*>(store_->CreateWindow(QString::fromLatin1(name)));
    }
    void Store(const QString& name, const QByteArray& text) {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(QStringLiteral("Software\\test\\Desktops"), true));
        reg.WriteString(name,
                        QString::fromLatin1(DesktopText::Scramble(text, DesktopText::OuterKey())));
    }
    std::vector<QString> OpenNames() const {
        std::vector<QString> names;
        for (QWidget* w : store_->OpenWindows())
            names.push_back(store_->RegisteredName(w));
        return names;
    }
    static void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QTemporaryDir dir_;
    std::unique_ptr<TDeskTopConfig> store_;
    QMdiArea area_;
};

} // namespace

TEST_F(DesktopStore, SavedWindowsComeBackInPlaceWithFiltersLast) {
    auto* orders = Open<TFakeOrders>("TFakeOrders");
    ASSERT_NE(orders, nullptr);
    orders->SetCaption(QStringLiteral("Заявки & всё"));
    orders->setProperty("Top", 40);
    orders->setProperty("Left", 30);
    orders->setProperty("Width", 500);
    orders->setProperty("Height", 300);
    orders->sql = QString();
    orders->status = 5;
    auto* deals = Open<TFakeDeals>("TFakeDeals");
    deals->SetLeft(100);
    deals->SetTop(120);
    auto* dealsFrame = qobject_cast<QMdiSubWindow*>(deals->parentWidget());
    const QRect dealsNormal = dealsFrame->geometry();
    dealsFrame->showMinimized();
    auto* browser = new TFakeBrowser;
    area_.addSubWindow(browser)->show();
    EXPECT_EQ(orders->parentWidget()->windowTitle(), QStringLiteral("Заявки & всё"));
    // A minimized window reports the place it has when shown normally.
    EXPECT_EQ(QRect(deals->Left(), deals->Top(), deals->Width(), deals->Height()), dealsNormal);

    store_->SaveDesktop(QStringLiteral("Утро"));
    const DesktopText::TParsed saved =
        DesktopText::ParseStored(store_->StoredValue(QStringLiteral("Утро")));
    ASSERT_TRUE(saved.VersionOk);
    QStringList lines;
    for (const auto& step : saved.Steps)
        lines.append(step.Name + QLatin1Char('=') + step.Value);
    EXPECT_EQ(
        lines,
        QStringList({"TFakeOrders=", "Top=40", "Left=30", "Height=300", "Width=500",
                     QStringLiteral("Caption=Заявки & всё"), "SQLFilter=", "FormSettings=read only",
                     "InternalFilterStatus=5", "RestoredComplete=0", "TFakeDeals=", "Top=120",
                     "Left=100", QStringLiteral("Height=%1").arg(dealsNormal.height()),
                     QStringLiteral("Width=%1").arg(dealsNormal.width()), "Caption="}));

    QPointer<QWidget> oldOrders = orders;
    store_->LoadDesktop(QStringLiteral("утро"));
    EXPECT_EQ(OpenNames(), std::vector<QString>({"TFakeOrders", "TFakeDeals"}));
    Flush();
    EXPECT_TRUE(oldOrders.isNull());
    auto* restored = qobject_cast<TFakeOrders*>(store_->OpenWindows().at(0));
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->parentWidget()->geometry(), QRect(30, 40, 500, 300));
    EXPECT_EQ(restored->parentWidget()->windowTitle(), QStringLiteral("Заявки & всё"));
    EXPECT_EQ(restored->status, 5);
    // The read-only property is skipped, and the filters come before the restore.
    EXPECT_EQ(restored->writes,
              QStringList({"SQLFilter", "InternalFilterStatus", "RestoredComplete"}));
    EXPECT_EQ(store_->OpenWindows().at(1)->parentWidget()->geometry().topLeft(), QPoint(100, 120));
    // A place written while the window is maximized is where it returns to.
    auto* again = qobject_cast<TChildWindow*>(store_->OpenWindows().at(1));
    auto* frame = qobject_cast<QMdiSubWindow*>(again->parentWidget());
    frame->showMaximized();
    again->SetLeft(55);
    EXPECT_EQ(again->Left(), 55);
    frame->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->geometry().left(), 55);
    // The window of an unregistered class stays open.
    EXPECT_FALSE(browser->parentWidget()->isHidden());
}

TEST_F(DesktopStore, WritingAPropertyByName) {
    struct Case {
        const char* name;
        const char* text;
        bool written;
    };
    const Case cases[] = {
        {"InternalFilterStatus", "12", true},
        {"InternalFilterStatus", "-3", true},
        {"InternalFilterStatus", "abc", false},
        {"InternalFilterStatus", "", false},
        {"InternalFilterStatus", " 12", false},
        {"InternalFilterStatus", "12x", false},
        {"InternalFilterStatus", "1e3", false},
        {"InternalFilterStatus", "99999999999", false},
        {"InternalFilterStatus", "-", false},
        {"FormSettings", "x", false},
        {"InternalFilterListBum", "1", false},
        {"sqlfilter", "x", false},
        {"SQLFilter", " AND ID_ACC=5", true},
        {"Width", "333", true},
        {"Caption", "Окно", true},
    };
    auto* w = Open<TFakeOrders>("TFakeOrders");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " <- " + c.text);
        w->status = 7;
        EXPECT_EQ(TDeskTopConfig::WriteProperty(*w, QString::fromLatin1(c.name),
                                                QString::fromUtf8(c.text)),
                  c.written);
        if (!c.written && QByteArray(c.name) == "InternalFilterStatus") {
            EXPECT_EQ(w->status, 7); // the window keeps its value
        }
    }
    // No write leaves a dynamic property behind for the next save to find.
    EXPECT_TRUE(w->dynamicPropertyNames().isEmpty() ||
                w->dynamicPropertyNames() == QList<QByteArray>({"orvexDesktopClass"}));
    QString text;
    EXPECT_FALSE(TDeskTopConfig::ReadProperty(*w, "InternalFilterListBum", text));
    EXPECT_FALSE(TDeskTopConfig::ReadProperty(*w, "sqlfilter", text));
}

TEST_F(DesktopStore, DamagedOrForeignDesktops) {
    const QByteArray top = "Top=" + DesktopText::Scramble("7", DesktopText::InnerKey());
    struct Case {
        const char* what;
        QByteArray text; // empty: no value stored at all
        bool closesOld;
        std::vector<QString> opened;
    };
    const Case cases[] = {
        {"no such desktop", "", false, {"TFakeDeals"}},
        {"another version", "_version=1\r\n_class=TFakeOrders\r\n", true, {}},
        {"not a desktop at all", "garbage", true, {}},
        {"an unknown class and its lines",
         "_version=2\r\n_class=TNope\r\n" + top + "\r\n\r\n_class=TFakeOrders\r\n",
         true,
         {"TFakeOrders"}},
        {"lines before any class",
         "_version=2\r\n" + top + "\r\n_class=TFakeDeals\r\n" + top + "\r\n",
         true,
         {"TFakeDeals"}},
        {"values the window refuses",
         "_version=2\r\n_class=TFakeOrders\r\nInternalFilterStatus=zz\r\nNoSuch=00\r\n"
         "FormSettings=00\r\n",
         true,
         {"TFakeOrders"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (QWidget* w : store_->OpenWindows())
            w->parentWidget()->close();
        Open<TFakeDeals>("TFakeDeals");
        if (!c.text.isEmpty())
            Store(QStringLiteral("d"), c.text);
        else
            store_->DeleteDesktop(QStringLiteral("d"));
        store_->LoadDesktop(QStringLiteral("d"));
        if (c.closesOld)
            EXPECT_EQ(OpenNames(), c.opened);
        else
            EXPECT_EQ(OpenNames(), std::vector<QString>({"TFakeDeals"}));
    }
    Store(QStringLiteral("e"), "_version=2\r\n_class=TFakeDeals\r\n" + top + "\r\n");
    store_->LoadDesktop(QStringLiteral("e"));
    EXPECT_EQ(store_->OpenWindows().at(0)->parentWidget()->geometry().top(), 7);
}

TEST_F(DesktopStore, AClosedWindowIsGoneAtOnceAndNamesKeepTheirFirstCase) {
    auto* first = Open<TFakeOrders>("TFakeOrders");
    Open<TFakeDeals>("TFakeDeals");
    first->parentWidget()->close(); // its memory is freed only later
    EXPECT_EQ(OpenNames(), std::vector<QString>({"TFakeDeals"}));
    EXPECT_EQ(store_->Snapshot().size(), 1u);
    // A window made elsewhere is known by its class; another class is not.
    TFakeDeals loose;
    EXPECT_EQ(store_->RegisteredName(&loose), "TFakeDeals");
    TFakeBrowser browser;
    EXPECT_EQ(store_->RegisteredName(&browser), QString());

    store_->SaveDesktop(QStringLiteral("Утро"));
    store_->SaveDesktop(QStringLiteral("УТРО"));
    TDeskTopConfig again(QStringLiteral("Software\\test\\Desktops"));
    EXPECT_EQ(again.DesktopNames(), QStringList({QStringLiteral("Утро")}));
}

#include "DesktopStoreTest.moc"
