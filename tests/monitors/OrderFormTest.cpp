// The orders window: request strings, the change dispatch, withdrawals, the filter,
// the published properties and the cell colours.
#include "OrderTestSupport.h"
#include "controls/StringGrid.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "shell/main/ChangeDispatcher.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <algorithm>

using namespace ordertest;

namespace {

const QChar kNul(0);

QString Pieces(std::initializer_list<const char*> pieces) {
    QString text;
    for (const char* p : pieces)
        text += QString::fromUtf8(p) + kNul;
    return text;
}

class OrderForm : public ::testing::Test {
protected:
    void SetUp() override {
        boxes = std::make_shared<ScriptedBoxes>();
        Services::SetMessageBox(boxes);
        FillStatuses(refs);
        TReferenceData::SetCurrent(&refs);
        form = std::make_unique<TOrderForm>();
        ses = &hub.Get(QStringLiteral("SesOrd"));
        del = &hub.Get(QStringLiteral("SesNDel"));
    }
    void TearDown() override {
        form.reset();
        TReferenceData::SetCurrent(nullptr);
        Services::SetMessageBox(nullptr);
    }
    TAdvColumnGrid& Grid() { return form->GridOrd(); }
    void Load(std::initializer_list<OrderRow> rows) {
        form->RefreshList();
        ses->FeedData(Echo(*ses, Orders(rows)));
    }
    void SelectDataRow(int dataRow) { Grid().setCurrentIndex(Grid().model()->index(dataRow, 1)); }

    ScriptedSessionHub hub;
    std::shared_ptr<ScriptedBoxes> boxes;
    TReferenceData refs;
    std::unique_ptr<TOrderForm> form;
    ScriptedSession* ses = nullptr;
    ScriptedSession* del = nullptr;
};

} // namespace

TEST_F(OrderForm, FreshWindowSendsTheListRequestThenAddsNoSendMetadata) {
    EXPECT_TRUE(ses->Sent().empty());
    form->setProperty("RestoredComplete", 0);
    ASSERT_EQ(ses->Sent().size(), 1u);
    EXPECT_EQ(ses->Last().name, QStringLiteral("SpisokBB"));
    EXPECT_FALSE(ses->Last().command);
    EXPECT_EQ(ses->Last().params, Pieces({"chto=211", "filter_acc=", "filter_bum=",
                                          "filter_order_status=0", "filter_buy_sell="}));
    ses->FeedData(Echo(*ses, Orders({{"101", "K1"}})));
    form->setProperty("RestoredComplete", 1);
    EXPECT_EQ(ses->Last().params,
              Pieces({"chto=211", "filter_acc=", "filter_bum=", "filter_order_status=0",
                      "filter_buy_sell=", "NoSendMetadata=1"}));
    EXPECT_EQ(form->property("RestoredComplete").toInt(), 0);
    // A new login of the list session sends it again.
    ses->RaiseLogin();
    EXPECT_EQ(ses->Sent().size(), 3u);
}

TEST_F(OrderForm, KeyedRequestByteForByte) {
    form->setProperty("InternalFilterListAcc", QStringLiteral("5\r\n7"));
    form->setProperty("InternalFilterListBum", QStringLiteral("101"));
    form->setProperty("InternalFilterStatus", 5);
    form->setProperty("InternalFilterBuySell", QStringLiteral("B"));
    form->RefreshByKeys({QStringLiteral("K1"), QStringLiteral("K 2")});
    EXPECT_EQ(ses->Last().params,
              Pieces({"chto=211", "filter_acc=5,7", "filter_bum=101", "filter_order_status=5",
                      "filter_buy_sell=B", "filter_key_values=K1,\"K 2\"", "LoopBackCount=2",
                      "LoopBack0=UPDATE_WITH_KEY_FIELD", "LoopBack1=K1,\"K 2\""}));
}

TEST_F(OrderForm, PublishedPropertiesByName) {
    EXPECT_TRUE(form->setProperty("SQLFilter", QStringLiteral(" AND BUY_SELL='B'")));
    EXPECT_EQ(form->property("SQLFilter").toString(), QStringLiteral(" AND BUY_SELL='B'"));
    EXPECT_TRUE(ses->Sent().empty()); // storing the filter sends nothing
    form->setProperty("InternalFilterListBum", QStringLiteral("1\r\n2\r\n"));
    EXPECT_EQ(form->FilterListBum(), (QStringList{"1", "2"}));
    EXPECT_EQ(form->property("InternalFilterListBum").toString(), QStringLiteral("1\r\n2"));
    EXPECT_EQ(form->property("InternalFilterStatus").toInt(), 0);
    EXPECT_EQ(form->property("InternalFilterBuySell").toString(), QString());
    EXPECT_EQ(form->Tag(), 1);
}

TEST_F(OrderForm, SettingsPrefixDrivesTheButtonPanel) {
    const QString saved = form->property("FormSettings").toString();
    ASSERT_TRUE(saved.startsWith(QStringLiteral("BTNP01")));
    const QString grid = saved.mid(6);
    ASSERT_TRUE(grid.startsWith(QStringLiteral("\x06\x05") + QStringLiteral("acg04")));

    form->setProperty("FormSettings", QStringLiteral("BTNP00") + grid);
    EXPECT_TRUE(form->Panel1()->isHidden());
    EXPECT_FALSE(form->ShowPanelAction()->isChecked());
    EXPECT_EQ(form->property("FormSettings").toString(), QStringLiteral("BTNP00") + grid);

    // Without the prefix the whole text goes to the grid and the panel stays as it is.
    Grid().SetColumnWidth(gridcols::RealByTag(Grid(), TOrderForm::kPrice), 111);
    const QString wide = form->property("FormSettings").toString().mid(6);
    Grid().SetColumnWidth(gridcols::RealByTag(Grid(), TOrderForm::kPrice), 60);
    form->setProperty("FormSettings", wide);
    EXPECT_EQ(Grid().ColumnWidth(gridcols::RealByTag(Grid(), TOrderForm::kPrice)), 111);
    EXPECT_TRUE(form->Panel1()->isHidden());
    // A broken settings text changes nothing and does not escape.
    form->setProperty("FormSettings",
                      QStringLiteral("BTNP01") + QStringLiteral("\x06\x05acg04\x06"));
    EXPECT_FALSE(form->Panel1()->isHidden());

    Trigger(*form, "Панель кнопок");
    EXPECT_TRUE(form->Panel1()->isHidden());
    EXPECT_FALSE(form->ShowPanelAction()->isChecked());
}

TEST_F(OrderForm, GridColumnsAndHiddenIdentities) {
    EXPECT_EQ(Grid().ColCount(), 15);
    const int price = gridcols::RealByTag(Grid(), TOrderForm::kPrice);
    EXPECT_EQ(Grid().Column(price)->Name, QStringLiteral("ORDER_PRICE"));
    EXPECT_EQ(Grid().Column(price)->FloatFormat, QStringLiteral("%.4n"));
    EXPECT_EQ(Grid().Column(price)->SortStyle, TSortStyle::Financial);
    EXPECT_EQ(Grid().Column(price)->Width, 60);
    EXPECT_TRUE(Grid().Column(price)->Alignment & Qt::AlignRight);
    EXPECT_EQ(Grid().Column(gridcols::RealByTag(Grid(), 14))->Header, QStringLiteral("Группа"));
    for (int tag : {-10, -11, -12, -14, -15, -16})
        EXPECT_TRUE(Grid().IsHiddenColumn(gridcols::RealByTag(Grid(), tag))) << tag;
    EXPECT_EQ(gridcols::RealByTag(Grid(), -13), -1);
}

TEST_F(OrderForm, KeysReachTheirPopupItems) {
    const struct {
        const char* caption;
        QKeySequence keys;
    } cases[] = {
        {"Снять заявку", QKeySequence(Qt::Key_F8)},
        {"Снять все заявки  по счету", QKeySequence(Qt::CTRL | Qt::Key_F8)},
        {"Фильтр", QKeySequence(Qt::Key_F9)},
        {"Дополнительная информация по заявке", QKeySequence(Qt::SHIFT | Qt::Key_F9)},
    };
    for (const auto& c : cases) {
        const QList<QAction*> bound = form->actions();
        const auto it = std::find_if(bound.begin(), bound.end(), [&](QAction* a) {
            return a->text() == QString::fromUtf8(c.caption);
        });
        ASSERT_NE(it, bound.end()) << c.caption;
        EXPECT_EQ((*it)->shortcut(), c.keys) << c.caption;
    }
}

TEST_F(OrderForm, WithdrawingOneOrderAsksThenSendsCommand20) {
    Load({{"101", "K1", "10"}, {"102", "K2", "20"}});
    SelectDataRow(1); // status 20: nothing, not even a question
    Trigger(*form, "Снять заявку");
    EXPECT_TRUE(boxes->texts.isEmpty());
    EXPECT_TRUE(del->Sent().empty());

    SelectDataRow(0);
    boxes->answer = MsgNo;
    Trigger(*form, "Снять заявку");
    ASSERT_EQ(boxes->texts.size(), 1);
    EXPECT_EQ(boxes->texts[0], QStringLiteral("Снять заявку №101 SBER 10 лот. по 250.5?"));
    EXPECT_EQ(boxes->buttonSets[0], MsgYes | MsgNo);
    EXPECT_TRUE(del->Sent().empty());

    boxes->answer = MsgYes;
    Trigger(*form, "Снять заявку");
    ASSERT_EQ(del->Sent().size(), 1u);
    EXPECT_TRUE(del->Last().command);
    EXPECT_EQ(del->Last().name, QStringLiteral("ExecQueryBB"));
    EXPECT_EQ(del->Last().params, Pieces({"chto", "20", "param0", "101"}));

    // A merge in between keeps order 101 current: F8 again asks at once, no click.
    form->RefreshByKeys({"K3"});
    ses->FeedData(Echo(*ses, Orders({{"100", "K3"}})));
    boxes->answer = MsgNo;
    Trigger(*form, "Снять заявку");
    ASSERT_EQ(boxes->texts.size(), 3);
    EXPECT_EQ(boxes->texts[2], boxes->texts[0]);
}

TEST_F(OrderForm, MassWithdrawalsUseDecoratedNamesAndIds) {
    Load({{"101", "K1", "25", "S", 5, 1, "77"}});
    SelectDataRow(0);
    Trigger(*form, "Снять все заявки  по счету");
    Trigger(*form, "Снять все заявки  клиента");
    Trigger(*form, "Снять групповую заявку"); // the order's own status plays no part
    ASSERT_EQ(boxes->texts.size(), 3);
    EXPECT_EQ(boxes->texts[0], QStringLiteral("Снять все заявки со счета Счет 5 ?"));
    EXPECT_EQ(boxes->texts[1], QStringLiteral("Снять все заявки клиента Клиент 1 ?"));
    EXPECT_EQ(boxes->texts[2], QStringLiteral("Снять ГРУППОВУЮ заявку № 77 ?"));
    ASSERT_EQ(del->Sent().size(), 3u);
    EXPECT_EQ(del->Sent()[0].params, Pieces({"chto", "30", "param0", "5"}));
    EXPECT_EQ(del->Sent()[1].params, Pieces({"chto", "40", "param0", "1"}));
    EXPECT_EQ(del->Sent()[2].params, Pieces({"chto", "50", "param0", "77"}));
}

TEST_F(OrderForm, WithdrawalsNeedADataRowWithTheirFields) {
    Trigger(*form, "Снять заявку"); // no current cell
    Load({{"101", "K1", "10", "B", 5, 1, ""}});
    SelectDataRow(0);
    Trigger(*form, "Снять групповую заявку"); // empty group
    gridcols::SetTextByTag(Grid(), TOrderForm::kIdAcc, 1, QStringLiteral("x"));
    Trigger(*form, "Снять все заявки  по счету"); // account id not a number: silently nothing
    EXPECT_TRUE(boxes->texts.isEmpty());
    EXPECT_TRUE(del->Sent().empty());
}

TEST_F(OrderForm, RefusedWithdrawalChangesNothingOnScreen) {
    Load({{"101", "K1", "10"}});
    SelectDataRow(0);
    del->FailNext(QStringLiteral("отказ"));
    Trigger(*form, "Снять заявку");
    EXPECT_EQ(gridcols::TextByTag(Grid(), TOrderForm::kStatus, 1), QStringLiteral("10"));
    EXPECT_EQ(Grid().RowCount(), 2);
}

TEST_F(OrderForm, CellColours) {
    Load({{"101", "K1", "11", "B"}, {"102", "K2", "21", "S"}, {"103", "K3", "zz", "S"}});
    // The last row did not load (its status is broken); give it a text to colour.
    const int status = gridcols::RealByTag(Grid(), TOrderForm::kStatusName);
    const int price = gridcols::RealByTag(Grid(), TOrderForm::kPrice);
    TCellLook look;
    form->CellLook(price, 1, look);
    EXPECT_EQ(look.Text, QColor(0, 0, 128));
    look = TCellLook();
    form->CellLook(status, 1, look);
    EXPECT_EQ(look.Background, QColor(0, 255, 0));
    look = TCellLook();
    form->CellLook(status, 2, look);
    EXPECT_EQ(look.Background, QColor(255, 192, 175));
    EXPECT_FALSE(look.Text.isValid());
    gridcols::SetTextByTag(Grid(), TOrderForm::kStatus, 2, QStringLiteral("zz"));
    look = TCellLook();
    form->CellLook(status, 2, look);
    EXPECT_FALSE(look.Background.isValid());
    look = TCellLook();
    form->CellLook(status, 0, look); // header row keeps its colours
    EXPECT_FALSE(look.Background.isValid());
}

TEST_F(OrderForm, ChangeDispatchServesBothWindowsByKeyCount) {
    TOrderForm second;
    ScriptedSession& ses2 = hub.Get(QStringLiteral("SesOrd"));
    ASSERT_NE(&ses2, ses);
    TChangeDispatcher dispatcher([&](int tag) {
        return tag == 1 ? std::vector<IMonitorWindow*>{form.get(), &second}
                        : std::vector<IMonitorWindow*>{};
    });
    for (int i = 0; i < 10; ++i)
        dispatcher.NoteChange(1, QStringLiteral("K%1").arg(i));
    dispatcher.CheckChangeTimer1Timer();
    for (ScriptedSession* s : {ses, &ses2}) {
        ASSERT_EQ(s->Sent().size(), 1u);
        EXPECT_EQ(s->Last().Param(QStringLiteral("LoopBack0")),
                  QStringLiteral("UPDATE_WITH_KEY_FIELD"));
        EXPECT_EQ(s->Last().Param(QStringLiteral("filter_key_values")).split(',').size(), 10);
    }
    EXPECT_TRUE(dispatcher.ChangedOrderKeys().isEmpty());
    for (int i = 0; i < 11; ++i)
        dispatcher.NoteChange(2, QStringLiteral("K%1").arg(i));
    dispatcher.CheckChangeTimer1Timer();
    for (ScriptedSession* s : {ses, &ses2}) {
        ASSERT_EQ(s->Sent().size(), 2u);
        EXPECT_FALSE(s->Last().HasParam(QStringLiteral("LoopBack0")));
        EXPECT_FALSE(s->Last().HasParam(QStringLiteral("filter_key_values")));
    }
}

TEST_F(OrderForm, FilterComposesTitleExpressionAndRequest) {
    TReferenceData filterRefs;
    auto acc = std::make_unique<TAccObj>();
    acc->Id = 5;
    acc->Name = QStringLiteral("Счет пять");
    filterRefs.Accounts.Append(std::move(acc));
    acc = std::make_unique<TAccObj>();
    acc->Id = 7;
    acc->Name = QStringLiteral("Счет семь");
    filterRefs.Accounts.Append(std::move(acc));
    TFormFiltr& dialog = TFormFiltr::Instance();
    dialog.FillTreeAcc(filterRefs);
    dialog.FillTreeBum(filterRefs);
    TFilterTree& tree = dialog.Logic().AccTree;
    tree.SetMark(tree.Order()[1], CheckMark::Unchecked);
    dialog.Logic().Sell = false;

    QTimer::singleShot(0, &dialog, [&] { dialog.ConfirmClick(); });
    Trigger(*form, "Фильтр");
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Заявки | Счет семь | {покупка}"));
    EXPECT_EQ(form->SQLFilter(), QStringLiteral(" AND (ID_ACC=7) AND BUY_SELL='B'"));
    EXPECT_EQ(ses->Last().params, Pieces({"chto=211", "filter_acc=7", "filter_bum=",
                                          "filter_order_status=0", "filter_buy_sell=B"}));

    // Cancel changes nothing.
    const size_t sent = ses->Sent().size();
    QTimer::singleShot(0, &dialog, [&] { dialog.reject(); });
    Trigger(*form, "Фильтр");
    EXPECT_EQ(ses->Sent().size(), sent);
    EXPECT_EQ(form->SQLFilter(), QStringLiteral(" AND (ID_ACC=7) AND BUY_SELL='B'"));
    dialog.ClearTrees();
    dialog.Logic().Sell = true;
}
