// The tariff editor: its pages per algorithm, the scale grids in both locales, the
// area trees, the OK checks, loading and building a tariff, and the manager sending
// what the editor built.
#include "TaxTestSupport.h"

#include "commissions/TFormTaxAddTarif.h"
#include "commissions/TFormTaxMain.h"
#include "commissions/TTaxCommands.h"
#include "commissions/TaxTreeModel.h"
#include "grids/NodeOps.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/TComboBoxIndexed.h"
#include "shell/base/Services.h"
#include "shell/base/WorkstationLocale.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

using namespace taxtest;

namespace {

class RecordingBoxes : public IMessageBoxService {
public:
    int Show(QWidget*, const QString& text, const QString&, MsgKind kind, int buttons,
             bool) override {
        texts << text;
        kinds.push_back(kind);
        buttonSets.push_back(buttons);
        return MsgCancel;
    }
    QStringList texts;
    std::vector<MsgKind> kinds;
    std::vector<int> buttonSets;
};

std::unique_ptr<TAreaItem> Item(int ts, int board, int type, int security) {
    auto item = std::make_unique<TAreaItem>();
    item->TsId = ts;
    item->BoardId = board;
    item->BumTypeId = type;
    item->BumId = security;
    LinkAreaItem(*item, TReferenceData::Current());
    return item;
}

class TaxTarifEditor : public ::testing::Test {
protected:
    void SetUp() override {
        FillRefs(refs);
        TReferenceData::SetCurrent(&refs);
        Services::SetMessageBox(boxes);
        for (auto [id, name] : {std::pair{5, "Счет комиссий"}, std::pair{17, "Депо-сборы"}}) {
            auto a = std::make_unique<TTaxSelfAccount>();
            a->Id = id;
            a->Name = U(name);
            lists.SelfAccounts.Append(std::move(a));
        }
        editor.RefillDestAccounts(lists);
    }
    void TearDown() override {
        Services::SetMessageBox(nullptr);
        TReferenceData::SetCurrent(nullptr);
    }
    // The grid's rows as "level|sum|percent".
    static QStringList Rows(const TAdvColumnGrid* grid) {
        QStringList rows;
        for (int row = grid->FixedRows(); row < grid->RowCount(); ++row)
            rows << grid->Cell(0, row) + u'|' + grid->Cell(1, row) + u'|' + grid->Cell(2, row);
        return rows;
    }
    static void Focus(TAdvColumnGrid* grid, int dataRow) {
        grid->setCurrentIndex(grid->model()->index(dataRow, 0));
    }
    void FillUpper(int algorithm) {
        editor.cbAlgoritm()->setCurrentIndex(editor.cbAlgoritm()->findData(algorithm));
        editor.edTarifName()->setText(U("Тариф проверки"));
        editor.cbTarifType()->setCurrentIndex(0);
        editor.cbDestAccount()->setCurrentIndex(0);
    }

    ScopedLog log;
    TReferenceData refs;
    TTaxLists lists;
    std::shared_ptr<RecordingBoxes> boxes = std::make_shared<RecordingBoxes>();
    TFormTaxAddTarif editor;
};

} // namespace

TEST_F(TaxTarifEditor, EachAlgorithmShowsItsPagesAndMakesTheFirstActiveOneCurrent) {
    const QStringList captions = {U("Шкала от оброта"), U("Шкала от числа контрактов"),
                                  U("Изменение позиции"), U("Область действия"),
                                  U("Определение обьема")};
    for (int page = 0; page < editor.Pages()->count(); ++page)
        EXPECT_EQ(editor.Pages()->tabText(page), captions[page]);
    EXPECT_EQ(editor.cbAlgoritm()->itemText(2), U("за изменение позиции по ЦБ"));
    EXPECT_EQ(editor.cbAlgoritm()->itemText(3), U("комиссия биржевых площадок"));
    const struct {
        int algorithm;
        const char* shown; // one letter per page
        int current;
    } cases[] = {{1, "10011", 0}, {2, "01011", 1}, {3, "00110", 2}, {4, "00000", -1}};
    for (const auto& c : cases) {
        editor.cbAlgoritm()->setCurrentIndex(editor.cbAlgoritm()->findData(c.algorithm));
        QString shown;
        for (int page = 0; page < TFormTaxAddTarif::kPageCount; ++page)
            shown += editor.PageShown(TFormTaxAddTarif::Page(page)) ? u'1' : u'0';
        EXPECT_EQ(shown, QString::fromLatin1(c.shown)) << c.algorithm;
        if (c.current >= 0) {
            EXPECT_EQ(editor.Pages()->currentIndex(), c.current) << c.algorithm;
        }
        EXPECT_EQ(editor.Pages()->isVisibleTo(&editor), c.current >= 0) << c.algorithm;
    }
}

TEST_F(TaxTarifEditor, ScaleLinesKeepOneLinePerWholeLevelInBothLocales) {
    struct Op {
        char what; // 'a' add (level, sum, rate), 'd' delete data row (level = row)
        double level, sum, rate;
    };
    const struct {
        const char* name;
        std::vector<Op> ops;
        const char* scale; // the built scale text
    } cases[] = {
        {"a rate at level 0 replaces the first line", {{'a', 0, 0, 0.05}}, "0;0;0.05;0;"},
        {"a rate after a sum at the same level",
         {{'a', 1000, 50, 0}, {'a', 1000, 0, 0.1}},
         "0;1;0;0;1000;0;0.1;0;"},
        {"levels sort ascending, grouped ones read back whole",
         {{'a', 1500000, 7.5, 0}, {'a', 500, 0, 0.125}, {'a', 1500000, 9, 0}},
         "0;1;0;0;500;0;0.125;0;1500000;1;0;9;"},
        {"halves round to the even neighbour",
         {{'a', 2.5, 1, 0}, {'a', 3.5, 2, 0}, {'a', 2, 3, 0}},
         "0;1;0;0;2;1;0;3;4;1;0;2;"},
        {"deleting the first of three lines resets it",
         {{'a', 0, 0, 0.3}, {'a', 10, 4, 0}, {'a', 20, 5, 0}, {'d', 0, 0, 0}},
         "0;1;0;0;10;1;0;4;20;1;0;5;"},
        {"deleting a later line removes it",
         {{'a', 10, 4, 0}, {'a', 20, 5, 0}, {'d', 1, 0, 0}},
         "0;1;0;0;20;1;0;5;"},
    };
    for (const WorkstationLocale& locale :
         {WorkstationLocale::Russian(), WorkstationLocale::English()}) {
        ScopedWorkstationLocale scoped(locale);
        for (const auto& c : cases) {
            editor.Reset();
            FillUpper(1);
            TAdvColumnGrid* grid = editor.gridScalaOfVol();
            for (const Op& op : c.ops) {
                if (op.what == 'a') {
                    editor.AddScaleLine(grid, op.level, op.sum, op.rate);
                } else {
                    Focus(grid, int(op.level));
                    editor.DeleteScaleLine(grid);
                }
            }
            editor.AddAreaItem(editor.vtAreaOfWork(), Item(1, -1, -1, -1));
            EXPECT_EQ(editor.BuildResult()->Scale, QString::fromLatin1(c.scale))
                << c.name << " / " << locale.decimalSeparator.toLatin1();
        }
    }
    // What the person sees: grouped levels, two decimals of a sum, eight of a rate.
    ScopedWorkstationLocale russian(WorkstationLocale::Russian());
    editor.Reset();
    editor.AddScaleLine(editor.gridScalaOfCount(), 1000, 0, 1.5);
    editor.AddScaleLine(editor.gridScalaOfCount(), 20, 12.5, 0);
    EXPECT_EQ(Rows(editor.gridScalaOfCount()),
              QStringList({U("0|0|"), U("20|12,50|"), U("1\u00A0000||1,50000000")}));
}

TEST_F(TaxTarifEditor, AreaItemsGoUnderTheFocusedHeaderOnceEach) {
    QTreeWidget* tree = editor.vtAreaOfWork();
    QTreeWidgetItem* include = tree->topLevelItem(0);
    QTreeWidgetItem* exclude = tree->topLevelItem(1);
    EXPECT_EQ(include->text(0), U("Включая следующие площадки\\листинги\\типы бумаг\\бумаги"));
    EXPECT_EQ(exclude->text(0), U("Исключая следующие площадки\\листинги\\типы бумаг\\бумаги"));
    const struct {
        const char* name;
        QTreeWidgetItem* focus;
        int ts, board;
        bool added;
    } cases[] = {
        {"no focus: include", nullptr, 1, -1, true},
        {"the same again", nullptr, 1, -1, false},
        {"exclude header", exclude, 1, -1, true},
        {"another trading system", nullptr, 2, -1, true},
        {"a board", include, 1, 10, true},
    };
    for (const auto& c : cases) {
        tree->setCurrentItem(c.focus);
        EXPECT_EQ(editor.AddAreaItem(tree, Item(c.ts, c.board, -1, -1)), c.added) << c.name;
    }
    tree->setCurrentItem(include->child(0)); // an item node means its header's list
    EXPECT_TRUE(editor.AddAreaItem(tree, Item(2, 20, 5, -1)));
    EXPECT_EQ(editor.Working().WorkInclude.size(), 4u);
    EXPECT_EQ(editor.Working().WorkExclude.size(), 1u);
    EXPECT_EQ(include->child(2)->text(0), U("ФБ - Акции - Все типы бумаг"));
    EXPECT_TRUE(editor.Working().VolInclude.empty());

    tree->setCurrentItem(include->child(0));
    editor.DeleteAreaItem(tree);
    tree->setCurrentItem(exclude);
    editor.DeleteAreaItem(tree); // a header is not an item
    EXPECT_EQ(editor.Working().WorkInclude.size(), 3u);
    EXPECT_EQ(include->childCount(), 3);
    EXPECT_EQ(editor.Working().WorkExclude.size(), 1u);
}

TEST_F(TaxTarifEditor, OkChecksRunInOrderWithTheirMessages) {
    const std::function<void()> none = [] {};
    const struct {
        int algorithm;
        std::function<void()> spoil;
        const char* message; // null: accepted
    } cases[] = {
        {1, [&] { editor.cbAlgoritm()->setCurrentIndex(-1); }, "Алгоритм не выбран!"},
        {1, [&] { editor.edTarifName()->setText(QStringLiteral("  ")); },
         "Название тарифа не задано!"},
        {1, [&] { editor.cbTarifType()->setCurrentIndex(-1); }, "Тип комиссии не выбран!"},
        {1, [&] { editor.cbDestAccount()->setCurrentIndex(-1); }, "Счет для зачисления не выбран!"},
        {3, none, "Сумма за изменение позиции не задана!"},
        {3,
         [&] {
             editor.ceTarifSum()->setValue(10);
             editor.cbAlgoritm3GroupFlag()->setCurrentIndex(-1);
         },
         "Признак группировки изменения позиции субклиентов не выбран!"},
        {3, [&] { editor.ceTarifSum()->setValue(10); }, "Область действия не задана!"},
        {2, [&] { editor.AddAreaItem(editor.vtAreaOfWork(), Item(1, -1, -1, -1)); },
         "Область определения объёма не задана!"},
        {4, none, nullptr},
    };
    for (const auto& c : cases) {
        editor.Reset();
        FillUpper(c.algorithm);
        c.spoil();
        boxes->texts.clear();
        editor.setResult(QDialog::Rejected);
        editor.accept();
        if (c.message) {
            EXPECT_EQ(boxes->texts, QStringList({U(c.message)}));
            EXPECT_EQ(boxes->kinds.back(), MsgKind::Error);
            EXPECT_EQ(boxes->buttonSets.back(), int(MsgCancel));
            EXPECT_EQ(editor.result(), QDialog::Rejected);
        } else {
            EXPECT_TRUE(boxes->texts.isEmpty());
            EXPECT_EQ(editor.result(), QDialog::Accepted);
        }
    }
}

TEST_F(TaxTarifEditor, LoadingAndBuildingKeepWhatTheAlgorithmUses) {
    TTaxTarif source;
    source.Id = 7;
    source.Name = U("Бирж. оборот");
    source.Algorithm = 1;
    source.TarifType = 2;
    source.DestAccountId = 17;
    source.AreaOfWork = QStringLiteral("1;10;-1;-1;1;99;-1;-1;"); // board 99 is gone
    source.AreaOfVol = QStringLiteral("1;-1;-1;-1;");
    source.AreaOfWorkExclude = QStringLiteral("1;10;-1;7;");
    source.Scale = QStringLiteral("0;0;0.05;0;1000000;1;0;1500.5;250.5;1;0;3;");
    const struct {
        const char* name;
        int switchTo; // 0: keep the loaded algorithm
        const char* areaOfWork;
        const char* areaOfVol;
        const char* exclude;
        const char* scale;
        double sum;
    } cases[] = {
        {"as loaded", 0, "1;10;-1;-1;", "1;-1;-1;-1;", "1;10;-1;7;",
         "0;0;0.05;0;250.5;1;0;3;1000000;1;0;1500.5;", 0},
        {"switched to 3", 3, "1;10;-1;-1;", "", "1;10;-1;7;", "", 12.5},
        {"switched to 4", 4, "", "", "", "", 0},
    };
    for (const auto& c : cases) {
        editor.Reset();
        editor.LoadTarif(source);
        EXPECT_EQ(editor.edTarifName()->text(), source.Name);
        EXPECT_EQ(ComboObject(*editor.cbDestAccount(), editor.cbDestAccount()->currentIndex())->Id,
                  17);
        if (c.switchTo) {
            editor.cbAlgoritm()->setCurrentIndex(editor.cbAlgoritm()->findData(c.switchTo));
            editor.ceTarifSum()->setValue(12.5);
        }
        EXPECT_TRUE(editor.CheckInput().isEmpty()) << c.name;
        const std::unique_ptr<TTaxTarif> built = editor.BuildResult();
        EXPECT_EQ(built->Id, 7) << c.name;
        EXPECT_EQ(built->Algorithm, c.switchTo ? c.switchTo : 1) << c.name;
        EXPECT_EQ(built->TarifType, 2) << c.name;
        EXPECT_EQ(built->AreaOfWork, QString::fromLatin1(c.areaOfWork)) << c.name;
        EXPECT_EQ(built->AreaOfVol, QString::fromLatin1(c.areaOfVol)) << c.name;
        EXPECT_EQ(built->AreaOfWorkExclude, QString::fromLatin1(c.exclude)) << c.name;
        EXPECT_EQ(built->Scale, QString::fromLatin1(c.scale)) << c.name;
        EXPECT_EQ(built->TarifSum, c.sum) << c.name;
        EXPECT_EQ(built->GroupFlag, 1) << c.name;
        EXPECT_EQ(built->WorkInclude.size(), built->AreaOfWork.isEmpty() ? 0u : 1u) << c.name;
    }
    EXPECT_TRUE(log.Texts().contains(
        U("ОШИБКА!FormTaxMain.LinkAreaItem. Не найден объект BoardObj ID=99")));

    // Reset keeps the name, type and account on purpose, and empties the rest.
    editor.Reset();
    EXPECT_EQ(editor.edTarifName()->text(), source.Name);
    EXPECT_EQ(editor.cbTarifType()->currentData().toInt(), 2);
    EXPECT_EQ(editor.cbDestAccount()->currentIndex(), 1);
    EXPECT_EQ(editor.cbAlgoritm()->currentData().toInt(), 1);
    EXPECT_EQ(Rows(editor.gridScalaOfVol()), QStringList({U("0|0|")}));
    EXPECT_EQ(editor.vtAreaOfWork()->topLevelItem(0)->childCount(), 0);
    EXPECT_EQ(editor.ceTarifSum()->value(), 0);
}

TEST_F(TaxTarifEditor, DestinationAccountsAreDrawnFromTheManagersListsAndEmptied) {
    ASSERT_EQ(editor.cbDestAccount()->count(), 2);
    EXPECT_EQ(ComboObject(*editor.cbDestAccount(), 1)->Id, 17);
    int found = -1;
    bool ok = false;
    editor.cbDestAccount()->OnSearchNumeric(17, found, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(found, 1);
    editor.EmptyDestAccounts();
    EXPECT_EQ(editor.cbDestAccount()->count(), 0);
}

TEST_F(TaxTarifEditor, TheManagerSendsWhatTheEditorBuiltAndNothingOnCancel) {
    ScriptedSessionHub hub;
    TTaxCommands::Hooks() = {};
    TTaxCommands::Hooks().EditTarif = [](const TTaxLists&, const TTaxTarif* existing) {
        return TFormTaxAddTarif::EditTarif(existing);
    };
    TFormTaxMain::Hooks().SelfAccountsLoaded = [this](const TTaxLists& l) {
        editor.RefillDestAccounts(l);
    };
    {
        TFormTaxMain form;
        for (int query : TFormTaxMain::kChain)
            hub.Get(QStringLiteral("sesTaxList")).FeedData(ChainAnswer(query));
        QCoreApplication::sendPostedEvents();
        ScriptedSession& exec = hub.Get(QStringLiteral("sesTarifExec"));
        EXPECT_EQ(editor.cbDestAccount()->count(), 1); // the manager's own account 5

        // Edit tariff 12 (algorithm 2): rename it, add a count line, confirm.
        QTimer::singleShot(0, &editor, [this] {
            EXPECT_EQ(editor.windowTitle(), U("Изменить тариф"));
            editor.edTarifName()->setText(U("Срочный 2"));
            editor.cbDestAccount()->setCurrentIndex(0); // the tariff's account 6 is not own
            editor.AddScaleLine(editor.gridScalaOfCount(), 50, 0, 1.25);
            editor.accept();
            if (editor.isVisible()) // a refused OK must not leave the test waiting
                editor.reject();
        });
        form.Commands().EditTarif(form.TarifModel().FindNode(taxnode::Tarif, kKindTaxTarif, 12));
        ASSERT_EQ(exec.Sent().size(), 1u);
        const auto alt = [](std::initializer_list<const char*> pieces) {
            QString text;
            for (const char* p : pieces)
                text += U(p) + QChar(0);
            return text;
        };
        EXPECT_EQ(exec.Last().params, alt({"chto",          "1901",
                                           "param0",        "12",
                                           "param1",        "2",
                                           "param2",        "3",
                                           "param3",        "5",
                                           "param4",        "0",
                                           "param5",        "2;-1;-1;-1;",
                                           "param6",        "2;-1;-1;-1;",
                                           "param7",        "",
                                           "param8",        "",
                                           "param9",        "0;0;2;0;50;0;1.25;0;100;1;0;50;",
                                           "param10",       "Срочный 2",
                                           "param11",       "1",
                                           "BackParam",     "1",
                                           "ShowResult",    "NO",
                                           "LoopBackCount", "1",
                                           "LoopBack0"}) +
                                          QString::number(form.Commands().PendingToken()) +
                                          QChar(0));

        // A cancelled editor sends nothing.
        exec.ClearSent();
        QTimer::singleShot(0, &editor, [this] { editor.reject(); });
        TTaxCommands::Hooks().EditTarif(form.Lists(), nullptr);
        EXPECT_TRUE(exec.Sent().empty());
        EXPECT_EQ(editor.windowTitle(), U("Новый тариф"));
    }
    TTaxCommands::Hooks() = {};
    TFormTaxMain::Hooks() = {};
}
