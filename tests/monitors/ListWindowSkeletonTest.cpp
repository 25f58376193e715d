// What every list window shows around its data: caption, popup items and keys before the
// grid's own, the toolbar, the layout and the width that shows every column.
#include "ListWindowTestSupport.h"
#include "monitors/TFormConditionOrders.h"
#include "monitors/TFormOrdersRPS.h"
#include "monitors/TFormOstatkiTn.h"
#include "monitors/TFormPos.h"
#include "monitors/TFormPrf.h"
#include "monitors/TFormProv.h"
#include "monitors/TFormProvWait.h"
#include "monitors/TFormSd.h"

#include <QBoxLayout>
#include <QToolBar>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

struct Built {
    QWidget* window;
    QMenu* popup;
    TAdvColumnGrid* grid;
    QToolBar* toolbar; // none for windows without one
};

template <class W>
Built Make(TAdvColumnGrid& (W::*grid)() const, QToolBar* (W::*toolbar)() const = nullptr) {
    auto* w = new W();
    return {w, w->PopupMenu(), &(w->*grid)(), toolbar ? (w->*toolbar)() : nullptr};
}

// The window's own popup items: those before the grid's separator and "Настройки".
QList<QAction*> OwnItems(const QMenu& popup) {
    const QList<QAction*> all = popup.actions();
    for (qsizetype i = 1; i < all.size(); ++i)
        if (all[i]->menu() && all[i]->text() == QStringLiteral("Настройки"))
            return all.mid(0, i - 1);
    return all;
}

// The window's popup items: captions with their keys, "-" a separator.
QString PopupText(const QMenu& popup) {
    QStringList items;
    for (const QAction* action : OwnItems(popup)) {
        QString item = action->isSeparator() ? QStringLiteral("-") : action->text();
        if (!action->shortcut().isEmpty())
            item += QLatin1Char('[') + action->shortcut().toString() + QLatin1Char(']');
        items << item;
    }
    return items.join(u'|');
}

QString ToolbarText(const QToolBar* toolbar) {
    QStringList names;
    for (const QAction* action : toolbar ? toolbar->actions() : QList<QAction*>())
        names << action->objectName();
    return names.join(u'|');
}

// The layout's widgets top to bottom by class, the stretching one marked "*".
QString LayoutText(const QWidget& window) {
    QStringList parts;
    const auto* box = qobject_cast<const QBoxLayout*>(window.layout());
    for (int i = 0; box && i < box->count(); ++i) {
        const QWidget* w = box->itemAt(i)->widget();
        parts << QString::fromLatin1(w ? w->metaObject()->className() : "?") +
                     (box->stretch(i) > 0 ? QStringLiteral("*") : QString());
    }
    return parts.join(u'|');
}

} // namespace

TEST(ListWindowSkeleton, EachWindowKeepsItsFrameItemsAndWidth) {
    ScriptedSessionHub hub;
    TReferenceData refs;
    TReferenceData::SetCurrent(&refs);
    struct Case {
        const char* name;
        std::function<Built()> make;
        const char* caption;
        int width;
        const char* popup;
        const char* toolbar;
        const char* layout;
    };
    const char* const kFilterRefresh = "Фильтр[F9]|Обновить";
    const char* const kOrders =
        "Снять заявку[F8]|-|Фильтр[F9]|Обновить|Дополнительная информация по заявке[Shift+F9]";
    const char* const kToolbarOverGrid = "QToolBar|TAdvColumnGrid*";
    const Case cases[] = {
        {"deals", [] { return Make(&TFormSd::GridSd); }, "Сделки", 760, kFilterRefresh, "",
         "TAdvColumnGrid*|QStatusBar"},
        {"portfolio", [] { return Make(&TFormPrf::GridPrf); }, "Портфель", 640, kFilterRefresh, "",
         "TAdvColumnGrid*"},
        {"position", [] { return Make(&TFormPos::GridPos); }, "Позиция", 420, kFilterRefresh, "",
         "TAdvColumnGrid*"},
        {"transactions", [] { return Make(&TFormProv::GridProv, &TFormProv::Panel1); }, "Проводки",
         640, "Новая проводка[F2]|Копировать проводку|-|Фильтр[F9]|Обновить",
         "BtnNewProv|BtnCopyProv|BtnFilter|BtnRefresh", kToolbarOverGrid},
        {"pending", [] { return Make(&TFormProvWait::GridProvWait, &TFormProvWait::Panel1); },
         "Отложенные проводки", 720, kFilterRefresh,
         "BtnDelProvWait|BtnCopyProv|BtnFilter|BtnRefresh", kToolbarOverGrid},
        {"rps", [] { return Make(&TFormOrdersRPS::GridOrdersRPS, &TFormOrdersRPS::Panel1); },
         "Заявки РПС и РЕПО", 760, kOrders, "BtnFilter|BtnRefresh|BtnDelOrder", kToolbarOverGrid},
        {"conditional",
         [] { return Make(&TFormConditionOrders::GridCondition, &TFormConditionOrders::Panel1); },
         "Условные заявки", 760, kOrders, "BtnFilter|BtnRefresh|BtnDelOrder", kToolbarOverGrid},
        {"tplus", [] { return Make(&TFormOstatkiTn::GridAPortfel); }, "Остатки и план поставок Т+",
         640, "Фильтр[F9]", "", "QWidget|TAdvColumnGrid*"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Built b = c.make();
        std::unique_ptr<QWidget> owner(b.window);
        EXPECT_EQ(b.window->windowTitle(), QString::fromUtf8(c.caption));
        EXPECT_TRUE(b.window->testAttribute(Qt::WA_DeleteOnClose));
        EXPECT_EQ(PopupText(*b.popup), QString::fromUtf8(c.popup));
        // Keys work inside this window only, without opening the popup.
        for (QAction* action : OwnItems(*b.popup))
            if (!action->shortcut().isEmpty()) {
                EXPECT_TRUE(b.window->actions().contains(action)) << action->text().toStdString();
                EXPECT_EQ(action->shortcutContext(), Qt::WidgetWithChildrenShortcut);
            }
        EXPECT_EQ(ToolbarText(b.toolbar), QString::fromLatin1(c.toolbar));
        EXPECT_EQ(LayoutText(*b.window), QString::fromLatin1(c.layout));
        EXPECT_EQ(b.window->layout()->contentsMargins(), QMargins());
        EXPECT_EQ(b.window->size(), QSize(std::max(c.width, b.grid->FullWidth()), 400));
        EXPECT_EQ(b.grid->PopupMenu(), b.popup);
    }
    TReferenceData::SetCurrent(nullptr);
}
