// The securities reference: its rows from the reference lists, the markup-aware name
// column, positioning on a security and the opening from a grid's popup item.
#include "BrowserTestData.h"

#include "browsers/TFormListBum.h"
#include "controls/SortKeys.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/contract/WindowCatalog.h"

#include <QPointer>

using browsertest::PublishedRefs;

namespace {

// One window over three trading systems' securities.
struct ListBumFixture : ::testing::Test {
    PublishedRefs refs;
    ScopedWorkstationLocale locale{WorkstationLocale::English()};

    void SetUp() override {
        refs.AddTs(1, QStringLiteral("ММВБ"), QStringLiteral("%CODE% (%TEXT%)"));
        refs.AddTs(2, QStringLiteral("РТС"), QStringLiteral("<b>%TEXT%</b> %CODE%"));
        refs.AddBoard(10, QStringLiteral("EQBR"), QStringLiteral("Основной режим"), 1);
        refs.AddBoard(11, QStringLiteral("EQBR"), QStringLiteral("Второй с тем же кодом"), 1);
        refs.AddBoard(20, QStringLiteral("FUT"), QStringLiteral("Фьючерсы"), 2);
        TBumObj* a = refs.AddBum(57, QStringLiteral("ABC"), QStringLiteral("Alpha"),
                                 QStringLiteral("EQBR"), 1);
        a->LotSize = 10;
        a->Precision = 2;
        a->Nominal = 1000;
        a->GovernmentCode = QStringLiteral("1-01-00001-A");
        TBumObj* f = refs.AddBum(3, QStringLiteral("RIH7"), QStringLiteral("RTS-3.07"),
                                 QStringLiteral("FUT"), 2);
        f->FutBuyDeposit = 12345.5;
        f->FutSellDeposit = 0.000001;
        refs.AddBum(8, QStringLiteral("ZZZ"), QStringLiteral("No board"), QStringLiteral("NONE"),
                    1);
        refs.AddBum(9, QStringLiteral("YYY"), QStringLiteral("No system"), QStringLiteral("FUT"),
                    7);
        for (int id = 100; id < 160; ++id)
            refs.AddBum(id, QStringLiteral("C%1").arg(id), QStringLiteral("Filler"),
                        QStringLiteral("EQBR"), 1);
    }

    // The row of a security id (-1 when none).
    static int RowOf(const TAdvColumnGrid& grid, const QString& id) {
        for (int row = 1; row < grid.RowCount(); ++row)
            if (grid.Cell(TFormListBum::kId, row) == id)
                return row;
        return -1;
    }
};

TEST_F(ListBumFixture, RowsTakeTheSecurityFieldsAndTheDisplayName) {
    TFormListBum window;
    TAdvColumnGrid& grid = window.BumGrid();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Справочник инструментов"));
    ASSERT_EQ(grid.RowCount(), 1 + refs.Securities.Count());
    EXPECT_EQ(grid.Cell(TFormListBum::kName, 0), QStringLiteral("Наименование"));

    struct Case {
        const char* id;
        int tag;
        const char* text;
    } cases[] = {
        {"57", TFormListBum::kName, "ABC (Alpha)"},
        {"57", TFormListBum::kListing, "Основной режим"}, // the first board of the code
        {"57", TFormListBum::kLot, "10"},
        {"57", TFormListBum::kPrecision, "2"},
        {"57", TFormListBum::kNominal, "1000"},
        {"57", TFormListBum::kTradeCode, "ABC"},
        {"57", TFormListBum::kGovernmentCode, "1-01-00001-A"},
        {"57", TFormListBum::kBuyDeposit, "0"},
        {"3", TFormListBum::kName, "<b>RTS-3.07</b> RIH7"},
        {"3", TFormListBum::kBuyDeposit, "12345.5"},
        {"3", TFormListBum::kSellDeposit, "1E-6"},
        {"8", TFormListBum::kName, ""}, // board code matches no board
        {"8", TFormListBum::kListing, ""},
        {"8", TFormListBum::kTradeCode, "ZZZ"},
        {"9", TFormListBum::kName, ""}, // no such trading system
        {"9", TFormListBum::kListing, ""},
    };
    for (const Case& c : cases) {
        const int row = RowOf(grid, QString::fromLatin1(c.id));
        ASSERT_GT(row, 0) << c.id;
        EXPECT_EQ(grid.Cell(c.tag, row), QString::fromUtf8(c.text)) << c.id << " column " << c.tag;
    }
}

TEST_F(ListBumFixture, DisplayNameReplacesEveryPlaceholderOnce) {
    struct Case {
        const char* nameTemplate;
        const char* code;
        const char* name;
        const char* expected;
    } cases[] = {
        {"%CODE% (%TEXT%)", "ABC", "Alpha", "ABC (Alpha)"},
        {"%CODE%/%CODE% %TEXT%%TEXT%", "A", "b", "A/A bb"},
        {"%CODE%", "%TEXT%", "x", "%TEXT%"}, // a code holding a placeholder stays as it is
        {"plain", "A", "b", "plain"},
        {"%COD", "A", "b", "%COD"},
        {"", "A", "b", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TFormListBum::DisplayName(QString::fromUtf8(c.nameTemplate),
                                            QString::fromUtf8(c.code), QString::fromUtf8(c.name)),
                  QString::fromUtf8(c.expected))
            << c.nameTemplate;
}

TEST_F(ListBumFixture, NameColumnSortsAndCopiesWithoutTags) {
    TFormListBum window;
    TAdvColumnGrid& grid = window.BumGrid();
    const int row = RowOf(grid, QStringLiteral("3"));
    EXPECT_EQ(grid.GetSaveText(TFormListBum::kName, row), QStringLiteral("RTS-3.07 RIH7"));

    // "<b>RTS..." sorts by "RTS", after "C1xx (Filler)" and "ABC (Alpha)".
    grid.SortByColumn(TFormListBum::kName, true);
    QStringList order;
    for (int r = 1; r < grid.RowCount(); ++r)
        if (!grid.Cell(TFormListBum::kName, r).isEmpty())
            order << grid.Cell(TFormListBum::kId, r);
    EXPECT_EQ(order.first(), QStringLiteral("57"));
    EXPECT_EQ(order.last(), QStringLiteral("3"));

    struct Case {
        const char* markup;
        const char* plain;
    } cases[] = {
        {"<b>A</b> &amp; <i>B</i>", "A & B"},
        {"<font color=\"red\">x</font>", "x"},
        {"a < b", "a < b"}, // an unclosed "<" is text
        {"&lt;tag&gt;&nbsp;", "<tag> "},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StripMarkup(QString::fromUtf8(c.markup)), QString::fromUtf8(c.plain)) << c.markup;
}

TEST_F(ListBumFixture, ShowSecurityMakesTheRowCurrentAndTopOrChangesNothing) {
    TFormListBum window;
    window.resize(600, 200);
    window.show();
    TAdvColumnGrid& grid = window.BumGrid();
    grid.SortByColumn(TFormListBum::kId, true); // 57 below a few rows
    const int row = RowOf(grid, QStringLiteral("57"));
    window.ShowSecurity(QStringLiteral("57"));
    EXPECT_EQ(grid.TopRow(), row);
    const TGridRect sel = grid.Selection();
    EXPECT_EQ(sel.Top, row);
    EXPECT_EQ(sel.Left, grid.FixedCols());

    for (const char* id : {"0", "999", "", "57.0"}) {
        window.ShowSecurity(QString::fromLatin1(id));
        EXPECT_EQ(grid.TopRow(), row) << id;
        EXPECT_EQ(grid.Selection().Top, row) << id;
    }
}

TEST_F(ListBumFixture, SecurityInfoItemOpensANewWindowOnTheSecurity) {
    TFormListBum::Register();
    ASSERT_NE(TWindowCatalog::Find(WindowCommand::SecuritiesReference), nullptr);
    std::vector<QPointer<QWidget>> opened;
    TFormListBum::SetWindowOpener([&](QWidget* w) {
        w->resize(600, 200);
        w->show();
        opened.emplace_back(w);
    });
    // The grids' popup item hands over the security id of the row.
    TFormListBum* first = TFormListBum::OpenOnSecurity(57);
    TFormListBum* second = TFormListBum::OpenOnSecurity(3);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->BumGrid().Cell(TFormListBum::kId, first->BumGrid().Selection().Top),
              QStringLiteral("57"));
    EXPECT_EQ(second->BumGrid().Cell(TFormListBum::kId, second->BumGrid().Selection().Top),
              QStringLiteral("3"));
    for (auto& w : opened)
        delete w.data();
    TFormListBum::SetWindowOpener(nullptr);
    SetSecurityInfoOpener(nullptr);
    TWindowCatalog::Unregister(WindowCommand::SecuritiesReference);
}

} // namespace
