// The five archive windows over their common frame: requests byte for byte, the
// busy state, the filter's asking and storing order, fix-ups, formats, colours, the
// totals line and the cross-window actions.
#include "../filter/FilterTestData.h"
#include "ListWindowTestSupport.h"
#include "filter/TFormFiltr.h"
#include "monitors/INewTransactionDialog.h"
#include "monitors/OrderDetailsLink.h"
#include "monitors/TFormAOrd.h"
#include "monitors/TFormAPortfel.h"
#include "monitors/TFormAPosition.h"
#include "monitors/TFormAProv.h"
#include "monitors/TFormASd.h"
#include "monitors/TFormEditProvDesc.h"
#include "session/wire/Cp1251.h"
#include "shell/base/DateValue.h"
#include "shell/base/WorkstationLocale.h"
#include "support/DesktopContractCheck.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace listtest;

namespace {

const QChar kNbsp(0x00A0);

struct WindowKind {
    const char* className;
    const char* session;
    std::function<std::unique_ptr<TArchiveWindow>()> make;
};

template <class W> WindowKind Kind(const char* className, const char* session) {
    return {className, session, [] { return std::make_unique<W>(); }};
}

const std::vector<WindowKind>& Kinds() {
    static const std::vector<WindowKind> kinds = {
        Kind<TFormAOrd>("TFormAOrd", "SesAOrd"),
        Kind<TFormASd>("TFormASd", "SesASd"),
        Kind<TFormAPortfel>("TFormAPortfel", "SesAPrf"),
        Kind<TFormAPosition>("TFormAPosition", "SesAPos"),
        Kind<TFormAProv>("TFormAProv", "SesAProv"),
    };
    return kinds;
}

const WindowKind& KindOf(const char* className) {
    for (const WindowKind& k : Kinds())
        if (qstrcmp(k.className, className) == 0)
            return k;
    throw std::logic_error("no such window");
}

class ArchiveWindows : public ::testing::Test {
protected:
    void SetUp() override { TReferenceData::SetCurrent(&refs); }
    void TearDown() override {
        TReferenceData::SetCurrent(nullptr);
        IOrderDetailsOpener::SetCurrent(nullptr);
        INewTransactionDialog::SetCurrent(nullptr);
    }

    ScopedWorkstationLocale locale{WorkstationLocale::Russian()};
    ScriptedSessionHub hub;
    TReferenceData refs;
};

// An answer with the named fields, all text, and these rows.
ScriptedAnswer Answer(const char* id, std::initializer_list<const char*> fields,
                      std::initializer_list<std::vector<AnswerBuilder::Cell>> rows) {
    AnswerBuilder b;
    b.Metadata(QString::fromLatin1(id));
    for (const char* f : fields)
        b.Text(QString::fromLatin1(f));
    for (const auto& row : rows)
        b.Row(row);
    return b.Build();
}

// Position answers carry no names: fields by position only.
ScriptedAnswer PositionAnswer(std::initializer_list<std::vector<AnswerBuilder::Cell>> rows) {
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.304"));
    for (const char* f : {"instr", "input_pos", "curr_pos", "plan_pos", "ID_BUM"})
        b.Text(QString::fromLatin1(f));
    for (const auto& row : rows)
        b.Row(row);
    return b.Build();
}

// A label on account 5 and on client 1, so decorated names show it.
void LabelAccountAndClient(TReferenceData& refs) {
    const auto row = [](const QStringList& fields) -> RowFieldReader {
        return [fields](int n) {
            return n < fields.size() ? Cp1251::Encode(fields[n]) : QByteArray();
        };
    };
    refs.UserInfoTypes.Append(TUITypeObj::FromRow(row({"1", "2", "2", "Метка"})));
    refs.UserInfoTypes.Append(TUITypeObj::FromRow(row({"2", "1", "1", "Метка"})));
    for (const auto& [id, owner, type] : {std::tuple{10, 1, 1}, std::tuple{11, 5, 2}}) {
        qint32 typeId = 0;
        auto v = TUserInfoObj::FromRow(
            row({QString::number(id), QString::number(owner), QString::number(type), "VIP"}),
            typeId);
        refs.AddUserInfoValue(std::move(v), typeId);
    }
}

QString Dotted(const QDate& d) {
    return FormatDottedDate(DateToValue(d));
}

struct FakeOpener : IOrderDetailsOpener {
    void OpenOrderDetails(const QString& number, QWidget*, const QDate& date) override {
        calls << number + QLatin1Char('|') + date.toString(QStringLiteral("dd.MM.yyyy"));
    }
    void OpenConditionalOrderDetails(const QString&, QWidget*) override {}
    QStringList calls;
};

struct FakeTransactionDialog : INewTransactionDialog {
    void OpenEmpty() override {}
    void OpenFilled(const QString& debit, const QString& credit, const QString& price,
                    const QString& reason, const QString& amount,
                    const QString& instrument) override {
        calls << QStringList{debit, credit, price, reason, amount, instrument}.join(u'|');
    }
    QStringList calls;
};

} // namespace

TEST_F(ArchiveWindows, EachLogsInAtCreationAndItsLoginSendsTheRequestByteForByte) {
    const QString today = Dotted(QDate::currentDate());
    const QString nul(QChar(0));
    const QString t = QStringLiteral("param0=") + today + nul;
    const QString tt = t + QStringLiteral("param1=") + today + nul;
    const struct {
        const char* window;
        QString expected;
    } cases[] = {
        {"TFormAOrd",
         "chto=308" + nul + tt +
             Pieces({"filter_acc=", "filter_bum=", "filter_order_status=0", "filter_buy_sell="})},
        {"TFormASd", Pieces({"chto=301", "fltr="}) + tt},
        {"TFormAPortfel", Pieces({"chto=306", "fltr="}) + t},
        {"TFormAPosition", Pieces({"chto=304", "fltr= group by ID_BUM,INSTR "}) + t},
        {"TFormAProv", "chto=309" + nul + tt + Pieces({"param2=0", "fltr="})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window);
        const WindowKind& kind = KindOf(c.window);
        auto window = kind.make();
        ScriptedSession& ses = hub.Get(QString::fromLatin1(kind.session));
        EXPECT_EQ(ses.LoginCalls(), 1);
        EXPECT_TRUE(ses.Sent().empty());
        window->setProperty("SQLFilter", QStringLiteral(" AND (ID_ACC=5)"));
        EXPECT_TRUE(ses.Sent().empty()); // writing the filter sends nothing
        window->setProperty("SQLFilter", QString());
        ses.RaiseLogin();
        ASSERT_EQ(ses.Sent().size(), 1u);
        EXPECT_EQ(ses.Last().name, QStringLiteral("SpisokBB"));
        EXPECT_EQ(ses.Last().params, c.expected);
    }
}

TEST_F(ArchiveWindows, StoredFilterAndPickedDatesGoIntoTheNextRequest) {
    const QString fltr = QStringLiteral(" AND (ID_ACC=5)");
    const struct {
        const char* window;
        QString expected;
    } cases[] = {
        // The orders archive keeps its condition text but sends its internal lists.
        {"TFormAOrd", Pieces({"chto=308", "param0=02.03.2026", "param1=06.03.2026", "filter_acc=",
                              "filter_bum=", "filter_order_status=0", "filter_buy_sell="})},
        {"TFormASd",
         Pieces({"chto=301", "fltr= AND (ID_ACC=5)", "param0=02.03.2026", "param1=06.03.2026"})},
        {"TFormAPortfel", Pieces({"chto=306", "fltr= AND (ID_ACC=5)", "param0=02.03.2026"})},
        {"TFormAPosition",
         Pieces({"chto=304", "fltr= AND (ID_ACC=5) group by ID_BUM,INSTR ", "param0=02.03.2026"})},
        {"TFormAProv", Pieces({"chto=309", "param0=02.03.2026", "param1=06.03.2026", "param2=2",
                               "fltr= AND (ID_ACC=5)"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window);
        const WindowKind& kind = KindOf(c.window);
        auto window = kind.make();
        ScriptedSession& ses = hub.Get(QString::fromLatin1(kind.session));
        window->setProperty("SQLFilter", fltr);
        window->SetDates(QDate(2026, 3, 2), QDate(2026, 3, 6));
        if (auto* prov = dynamic_cast<TFormAProv*>(window.get()))
            prov->cbListMode()->setCurrentIndex(2);
        window->Button1()->click();
        EXPECT_EQ(ses.Last().params, c.expected);
    }
}

TEST_F(ArchiveWindows, BusyStateHoldsTheButtonsUntilDataOrDisconnect) {
    for (const WindowKind& kind : Kinds()) {
        SCOPED_TRACE(kind.className);
        const bool orders = qstrcmp(kind.className, "TFormAOrd") == 0;
        auto window = kind.make();
        ScriptedSession& ses = hub.Get(QString::fromLatin1(kind.session));
        for (int ending = 0; ending < 2; ++ending) {
            window->Button1Click();
            EXPECT_TRUE(window->IsBusy());
            EXPECT_FALSE(window->Button1()->isEnabled());
            // The orders archive keeps its filter button and marks the whole program.
            EXPECT_EQ(window->BtnFilter()->isEnabled(), orders);
            if (orders) {
                ASSERT_NE(QApplication::overrideCursor(), nullptr);
                EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
            } else {
                EXPECT_EQ(window->Grid().cursor().shape(), Qt::BusyCursor);
                EXPECT_EQ(window->TopPanel()->cursor().shape(), Qt::BusyCursor);
            }
            window->Button1Click(); // a second press changes nothing
            if (ending == 0)
                ses.FeedData(Answer("SpisokBB.1", {"x"}, {}));
            else
                ses.RaiseDisconnect();
            EXPECT_FALSE(window->IsBusy());
            EXPECT_TRUE(window->Button1()->isEnabled());
            EXPECT_TRUE(window->BtnFilter()->isEnabled());
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);
            EXPECT_NE(window->Grid().cursor().shape(), Qt::BusyCursor);
        }
    }
}

TEST_F(ArchiveWindows, ClosingWhileBusyLeavesNoBusyCursorBehind) {
    {
        TFormAOrd window;
        window.Button1Click();
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ArchiveWindows, AnEmptyOrNamelessAnswerLeavesOneBlankRow) {
    for (const WindowKind& kind : Kinds()) {
        SCOPED_TRACE(kind.className);
        auto window = kind.make();
        ScriptedSession& ses = hub.Get(QString::fromLatin1(kind.session));
        window->Button1Click();
        ScriptedAnswer empty;
        ses.FeedData(empty);
        EXPECT_EQ(DataRows(window->Grid()), 1);
        EXPECT_FALSE(window->IsBusy());
    }
}

TEST_F(ArchiveWindows, FilterAsksInItsOrderAndStoresInAnother) {
    filtertest::FillSample(refs);
    TFormFiltr& dialog = TFormFiltr::Instance();
    dialog.FillTreeAcc(refs);
    dialog.FillTreeBum(refs);
    TFilterTree& accounts = dialog.Logic().AccTree;
    accounts.SetMark(accounts.Order()[1], CheckMark::Unchecked);
    TFilterTree& securities = dialog.Logic().BumTree;
    securities.SetMark(securities.Order()[1], CheckMark::Unchecked);
    dialog.Logic().Buy = false;

    using Ask = std::function<QString(TFormFiltr&, QString&)>;
    const auto acc = [](TFormFiltr& d, QString& c) { return d.AccountFilter(c); };
    const auto bum = [](TFormFiltr& d, QString& c) { return d.SecurityFilter(c, false); };
    const auto bumMoney = [](TFormFiltr& d, QString& c) { return d.SecurityFilter(c, true); };
    const auto side = [](TFormFiltr& d, QString& c) { return d.BuySellFilter(c); };
    const auto status = [](TFormFiltr& d, QString& c) { return d.OrderStatusFilter(c); };
    const auto position = [](TFormFiltr& d, QString& c) { return d.PositionFilter(c); };
    const auto debitCredit = [](TFormFiltr& d, QString& c) { return d.DebitCreditFilter(c); };
    const struct {
        const char* window;
        const char* base;
        std::vector<Ask> asked;
        std::vector<int> stored; // indexes into asked
    } cases[] = {
        {"TFormAOrd", "Архив заявок", {acc, bum, side, status}, {0, 1, 2, 3}},
        {"TFormASd", "Архив сделок", {acc, bum, side}, {0, 1, 2}},
        {"TFormAPortfel", "Портфель в архиве ", {acc, bumMoney, position}, {0, 1, 2}},
        {"TFormAPosition", "Позиция в архиве ", {bumMoney, acc}, {1, 0}},
        {"TFormAProv", "Проводки в архиве ", {bumMoney, debitCredit}, {1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window);
        const WindowKind& kind = KindOf(c.window);
        auto window = kind.make();
        ScriptedSession& ses = hub.Get(QString::fromLatin1(kind.session));
        QTimer::singleShot(0, &dialog, [&] { dialog.ConfirmClick(); });
        Trigger(*window->PopupMenu(), "Фильтр");
        ASSERT_EQ(ses.Sent().size(), 1u); // sent once, after the dialog
        // What the window must have made, asked from the dialog as it was left.
        QString caption = QString::fromUtf8(c.base);
        std::vector<QString> parts;
        for (const Ask& ask : c.asked)
            parts.push_back(ask(dialog, caption));
        QString sql;
        for (int i : c.stored)
            sql += parts[size_t(i)];
        EXPECT_FALSE(sql.isEmpty());
        EXPECT_EQ(window->SQLFilter(), sql);
        EXPECT_EQ(window->windowTitle(), caption);
        if (c.asked.size() == 2) {
            EXPECT_NE(parts[0] + parts[1], sql); // the two orders differ here
        }
    }
    dialog.ClearTrees();
    dialog.Logic().Buy = true;
}

TEST_F(ArchiveWindows, OrdersDecorateOnlyTheAccountAndColourLikeTheLiveList) {
    LabelAccountAndClient(refs);
    TFormAOrd form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesAOrd"));
    form.Button1Click();
    ses.FeedData(
        Answer("SpisokBB.308",
               {"ORDER_DATE", "ORDER_NUM", "ORDER_STATUS_NAME", "BUY_SELL", "NAME_ACC", "NAME_CLI",
                "ID_ACC", "ID_CLI", "ORDER_STATUS"},
               {{"02.03.2026", "77", "Исполнена сервером", "B", "A5", "C1", "5", "1", "11"}}));
    const TAdvColumnGrid& grid = form.Grid();
    EXPECT_EQ(Cell(grid, TFormAOrd::kNameAcc, 0), QStringLiteral("A5 (VIP)"));
    EXPECT_EQ(Cell(grid, TFormAOrd::kNameCli, 0), QStringLiteral("C1"));
    EXPECT_EQ(Cell(grid, TFormAOrd::kStatusName, 0), QStringLiteral("Исполнена сервером"));
    const int status = gridcols::RealByTag(grid, TFormAOrd::kStatusName);
    EXPECT_EQ(grid.CellLook(status, 1).Text, QColor(0, 0, 128));
    EXPECT_TRUE(grid.CellLook(status, 1).Background.isValid());
    // The hidden columns follow in their order.
    std::vector<int> hidden;
    for (int real = 0; real < grid.AllColCount(); ++real)
        if (grid.Column(real)->Tag < 0)
            hidden.push_back(grid.Column(real)->Tag);
    EXPECT_EQ(hidden, (std::vector<int>{-10, -11, -12, -15, -14}));
}

TEST_F(ArchiveWindows, OrderDetailsTakeTheRowsNumberAndDateByIdentity) {
    FakeOpener opener;
    IOrderDetailsOpener::SetCurrent(&opener);
    TFormAOrd form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesAOrd"));
    form.Button1Click();
    ses.FeedData(Answer("SpisokBB.308", {"ORDER_DATE", "ORDER_NUM"},
                        {{"02.03.2026", "77"}, {"xx.03.2026", "78"}, {"03.03.2026", ""}}));
    TAdvColumnGrid& grid = form.Grid();
    grid.MoveColumn(1, 4); // the user moved the number away from the second column
    for (int row = 0; row < 3; ++row) {
        grid.setCurrentIndex(grid.model()->index(row, 2));
        Trigger(*form.PopupMenu(), "Дополнительная информация по заявке");
    }
    // The unreadable date goes as the zero date; a row without a number opens nothing.
    EXPECT_EQ(opener.calls, (QStringList{"77|02.03.2026", "78|30.12.1899"}));
}

TEST_F(ArchiveWindows, DealsTotalsLeaveOutOwnCommissionAndReturn) {
    TFormASd form;
    form.resize(900, 300);
    form.show();
    ScriptedSession& ses = hub.Get(QStringLiteral("SesASd"));
    form.Button1Click();
    LabelAccountAndClient(refs);
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.301"))
        .Text(QStringLiteral("snum"))
        .Text(QStringLiteral("buy_sell"));
    for (const char* name :
         {"svol", "sexch", "sdepo", "sbrok", "snkd", "sprofit", "sbrok_my", "sbrok_ret"})
        b.Float(QString::fromLatin1(name));
    b.Text(QStringLiteral("name_cli")).Text(QStringLiteral("ID_CLI"));
    b.Row({"1", "B", 1000.5, 1.0, 2.0, 3.0, 4.0, -5.25, 100.0, 200.0, "C", "1"});
    b.Row({"2", "S", 2000.0, 1.0, 2.0, 3.0, 4.0, 10.0, 100.0, 200.0, "C", "7"});
    ses.FeedData(b.Build());
    EXPECT_EQ(form.TotalsLabel()->text(),
              QStringLiteral("  Итого Оборот: 3") + kNbsp +
                  "000,50,  Бирже: 2,00,  Депо: 4,00,  Брокеру: 6,00,  НКД: 8,00,  Доход: 4,75");
    EXPECT_EQ(form.TotalsLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(form.TotalsLabel()->width(), form.StatusBar()->width() - 10);
    const TAdvColumnGrid& grid = form.Grid();
    EXPECT_EQ(Cell(grid, TFormASd::kNameCli, 0), QStringLiteral("C (VIP)"));
    EXPECT_EQ(Cell(grid, TFormASd::kNameCli, 1), QStringLiteral("C"));
    const int profit = gridcols::RealByTag(grid, TFormASd::kProfit);
    EXPECT_EQ(grid.CellLook(profit, 1).Text, QColor(255, 0, 0));
    EXPECT_NE(grid.CellLook(profit, 2).Text, QColor(255, 0, 0));
    EXPECT_EQ(grid.CellLook(gridcols::RealByTag(grid, TFormASd::kNum), 1).Text, QColor(0, 0, 128));
}

TEST_F(ArchiveWindows, DealsPanelClickTogglesTheDateColumn) {
    TFormASd form;
    const int date = gridcols::RealByTag(form.Grid(), TFormASd::kDate);
    form.Panel1Click();
    EXPECT_TRUE(form.Grid().IsHiddenColumn(date));
    form.Panel1Click();
    EXPECT_FALSE(form.Grid().IsHiddenColumn(date));
}

TEST_F(ArchiveWindows, PortfolioBalancesFormatByRowInBothLocales) {
    const struct {
        WorkstationLocale locale;
        const char* money;
        const char* security;
        const char* price;
        const char* margin;
    } cases[] = {
        {WorkstationLocale::Russian(), "1\u00a0500,26", "70", "12,3457", "-3,50"},
        {WorkstationLocale::English(), "1,500.26", "70", "12.3457", "-3.50"},
    };
    for (const auto& c : cases) {
        ScopedWorkstationLocale inner{c.locale};
        TFormAPortfel form;
        ScriptedSession& ses = *hub.All(QStringLiteral("SesAPrf")).back();
        form.Button1Click();
        AnswerBuilder b;
        b.Metadata(QStringLiteral("SpisokBB.306"))
            .Text(QStringLiteral("instr"))
            .Float(QStringLiteral("curr"))
            .Float(QStringLiteral("avprice"))
            .Float(QStringLiteral("VAR_MARGIN"))
            .Int(QStringLiteral("ID_BUM"));
        b.Row({"_Деньги.Фондовый", 1500.255, 0.0, 0.0, -1});
        b.Row({"SBER", 70.0, 12.34567, -3.5, 12});
        ses.FeedData(b.Build());
        const TAdvColumnGrid& grid = form.Grid();
        EXPECT_EQ(Cell(grid, TFormAPortfel::kCurr, 0), QString::fromUtf8(c.money));
        EXPECT_EQ(Cell(grid, TFormAPortfel::kCurr, 1), QString::fromUtf8(c.security));
        EXPECT_EQ(Cell(grid, TFormAPortfel::kAvPrice, 1), QString::fromUtf8(c.price));
        EXPECT_EQ(Cell(grid, TFormAPortfel::kVarMargin, 1), QString::fromUtf8(c.margin));
    }
}

TEST_F(ArchiveWindows, PositionReadsDotNumbersByPositionAndStopsAtANonNumber) {
    TFormAPosition form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesAPos"));
    form.Button1Click();
    ses.FeedData(PositionAnswer(
        {{"_Деньги.Фондовый", "10.5", "1500.255", "-7", "-1"}, {"SBER", "3", "70", "71", "12"}}));
    const TAdvColumnGrid& grid = form.Grid();
    EXPECT_EQ(Cell(grid, TFormAPosition::kCurr, 0), QStringLiteral("1") + kNbsp + "500,26");
    EXPECT_EQ(Cell(grid, TFormAPosition::kPlan, 0), QStringLiteral("-7,00"));
    EXPECT_EQ(Cell(grid, TFormAPosition::kCurr, 1), QStringLiteral("70"));
    EXPECT_EQ(Cell(grid, TFormAPosition::kIdBum, 1), QStringLiteral("12"));

    form.Button1Click();
    ses.FeedData(PositionAnswer({{"SBER", "3", "70", "71", "12"}, {"GAZP", "1", "x1", "1", "13"}}));
    EXPECT_FALSE(form.IsBusy());
    EXPECT_TRUE(form.Button1()->isEnabled());
    EXPECT_EQ(Cell(form.Grid(), TFormAPosition::kInstr, 0), QStringLiteral("SBER"));
    EXPECT_TRUE(Cell(form.Grid(), TFormAPosition::kInstr, 1).isEmpty());

    form.Button1Click();
    ses.FeedData(PositionAnswer({}));
    EXPECT_EQ(DataRows(form.Grid()), 1);
}

TEST_F(ArchiveWindows, TransactionsHideTheLastTwoAndCopyTheRowInTheDialogsOrder) {
    {
        TFormAProv without;
        EXPECT_FALSE(without.CopyProvAction()->isEnabled());
        EXPECT_EQ(without.cbListMode()->count(), 4);
        EXPECT_EQ(without.cbListMode()->currentIndex(), 0);
        const TAdvColumnGrid& grid = without.Grid();
        for (int tag : {TFormAProv::kSymbolText, TFormAProv::kSpecialCodes})
            EXPECT_TRUE(grid.IsHiddenColumn(gridcols::RealByTag(grid, tag)));
    }
    FakeTransactionDialog dialog;
    INewTransactionDialog::SetCurrent(&dialog);
    TFormAProv form;
    EXPECT_TRUE(form.CopyProvAction()->isEnabled());
    ScriptedSession& ses = *hub.All(QStringLiteral("SesAProv")).back();
    form.Button1Click();
    ses.FeedData(
        Answer("SpisokBB.309",
               {"id_pr", "instr", "pvol", "prim", "pprice", "ID_ACC_DEBET", "ID_ACC_KREDIT"},
               {{"9", "SBER", "12", "", "250", "5", "7"}}));
    TAdvColumnGrid& grid = form.Grid();
    grid.setCurrentIndex(
        grid.model()->index(0, grid.DisplColIndex(gridcols::RealByTag(grid, TFormAProv::kReason))));
    form.menuCopyProvClick(); // an empty cell: nothing
    grid.setCurrentIndex(
        grid.model()->index(0, grid.DisplColIndex(gridcols::RealByTag(grid, TFormAProv::kInstr))));
    Trigger(*form.PopupMenu(), "Копировать проводку");
    EXPECT_EQ(dialog.calls, QStringList{QStringLiteral("5|7|250||12|SBER")});
}

TEST_F(ArchiveWindows, ReasonChangeSends103AndOnlyAnAgreedChangeReloads) {
    TFormAProv form;
    ScriptedSession& ses = hub.Get(QStringLiteral("SesAProv"));
    ScriptedSession& command = hub.Get(QStringLiteral("sesEditProvDesc"));
    form.Button1Click();
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.309"))
        .Text(QStringLiteral("id_pr"))
        .Text(QStringLiteral("prim"))
        .Text(QStringLiteral("SPECIAL_CODES"));
    b.Row({"9", "Старое", "K1"});
    ses.FeedData(b.Build());
    TAdvColumnGrid& grid = form.Grid();
    grid.setCurrentIndex(grid.model()->index(0, 1));
    TFormEditProvDesc& edit = TFormEditProvDesc::Instance();
    const struct {
        const char* answer;
        size_t listRequests;
    } cases[] = {{"0", 2}, {"1", 2}, {"", 2}};
    size_t commands = 0;
    for (const auto& c : cases) {
        QTimer::singleShot(0, &edit, [&] {
            EXPECT_EQ(edit.meUserText()->toPlainText(), QStringLiteral("Старое"));
            EXPECT_EQ(edit.edSpecialCodes()->text(), QStringLiteral("K1"));
            edit.accept();
        });
        Trigger(*form.PopupMenu(), "Изменить основание");
        ASSERT_EQ(command.Sent().size(), ++commands);
        EXPECT_TRUE(command.Last().command);
        EXPECT_EQ(command.Last().name, QStringLiteral("ExecQueryBB"));
        EXPECT_EQ(command.Last().params,
                  TFormEditProvDesc::ReasonChangeParams(
                      QStringLiteral("9"), QStringLiteral("Старое"), QStringLiteral("K1")));
        AnswerBuilder a;
        a.Metadata(QStringLiteral("ExecQueryBB.103")).Text(QStringLiteral("RESULT"));
        if (*c.answer)
            a.Row({c.answer});
        command.FeedData(a.Build());
        EXPECT_EQ(ses.SentTo(QStringLiteral("SpisokBB")).size(), c.listRequests) << c.answer;
    }
    // Cancelled: nothing is sent.
    QTimer::singleShot(0, &edit, [&] { edit.reject(); });
    Trigger(*form.PopupMenu(), "Изменить основание");
    EXPECT_EQ(command.Sent().size(), commands);
}

TEST(ArchiveDesktop, EveryArchiveKeepsTheDesktopContract) {
    for (const WindowKind& kind : Kinds())
        EXPECT_EQ(CheckDesktopContract(QString::fromLatin1(kind.className)),
                  DesktopContractResult::Passed)
            << kind.className;
}
