#include "GridTestSupport.h"

#include "grids/GridEvents.h"
#include "grids/SettingsStream.h"
#include "grids/TFormCols.h"
#include "shell/base/WorkstationLocale.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCoreApplication>
#include <QListWidget>
#include <QMenu>

#include <QHeaderView>

#include <cmath>

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {
// Qt's model checks run on every change of the grid's model; a broken contract aborts.
constexpr auto kFatalModelCheck = QAbstractItemModelTester::FailureReportingMode::Fatal;

QFont MakeFont(const QString& family, int points, bool bold = false, bool italic = false) {
    QFont font(family);
    font.setPointSize(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

// Column order as tags, hidden ones in brackets: "0 2 [1] 3".
QString Layout(const TAdvColumnGrid& grid) {
    QStringList parts;
    for (int i = 0; i < grid.AllColCount(); ++i) {
        const QString tag = QString::number(grid.Column(i)->Tag);
        parts.append(grid.IsHiddenColumn(i) ? QLatin1Char('[') + tag + QLatin1Char(']') : tag);
    }
    return parts.join(QLatin1Char(' '));
}

// The dialog as a person would use it, without showing it.
struct ScriptedColsDialog : TFormCols {
    std::function<void(TFormCols&)> script;
    bool ok = true;
    QStringList offered;
    bool Execute() override {
        for (int i = 0; i < Count(); ++i)
            offered.append(QString::number(Entry(i).Value));
        if (script)
            script(*this);
        return ok;
    }
};

struct EventCounter : QObject {
    int count = 0;
    bool event(QEvent* e) override {
        if (e->type() == GridSumEventType()) {
            ++count;
            return true;
        }
        return QObject::event(e);
    }
};

} // namespace

TEST(AdvColumnGridSettings, WritesTheStringByteForByte) {
    TAdvColumnGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    BuildGrid(grid, 4, 0);
    for (int i = 1; i < 4; ++i)
        grid.Column(i)->Font = MakeFont(QStringLiteral("Arial"), 8, true, true);
    grid.SetFixedFont(MakeFont(QStringLiteral("Tahoma"), 10));
    grid.SetColumnWidth(0, 100);
    grid.SetColumnWidth(1, 200);
    grid.SetColumnWidth(2, 40000);
    grid.SetColumnWidth(3, 5);
    grid.HideColumn(2);
    const QByteArray expected = QByteArray::fromHex("06056163673034" // "acg04"
                                                    "0605417269616c" // Arial
                                                    "0208"
                                                    "020c"             // 8 pt, bold italic
                                                    "06065461686f6d61" // Tahoma
                                                    "020a"
                                                    "0200" // 10 pt, plain
                                                    "0204" // four entries
                                                    "0200"
                                                    "0264"
                                                    "08"
                                                    "0201"
                                                    "03c800"
                                                    "08"
                                                    "0202"
                                                    "04409c0000"
                                                    "09"
                                                    "0203"
                                                    "0205"
                                                    "08");
    EXPECT_EQ(grid.SaveSettings().toHex(), expected.toHex());

    // A font name beyond 255 bytes takes the long string kind; strike-out alone is 1.
    QFont longFont(QString(300, QLatin1Char('F')));
    longFont.setPointSize(9);
    longFont.setStrikeOut(true);
    grid.Column(1)->Font = longFont;
    const QByteArray bytes = grid.SaveSettings();
    EXPECT_EQ(static_cast<unsigned char>(bytes[7]), 0x0C);
    EXPECT_EQ(bytes.mid(8 + 4 + 300, 4).toHex(), QByteArray("02090201"));
}

TEST(AdvColumnGridSettings, RoundTripRestoresOrderWidthsHiddenAndFonts) {
    TAdvColumnGrid source;
    BuildGrid(source, 5, 3);
    source.MoveColumn(4, 1);
    source.SetColumnWidth(2, 123);
    source.HideColumn(3);
    source.SetColumnWidth(3, 77); // width kept while hidden
    for (int i = 1; i < 5; ++i)
        source.Column(i)->Font = MakeFont(QStringLiteral("Courier"), 11, false, true);
    source.SetFixedFont(MakeFont(QStringLiteral("Verdana"), 9, true));
    const QByteArray saved = source.SaveSettings();

    TAdvColumnGrid target;
    BuildGrid(target, 5, 3);
    target.LoadSettings(saved);
    EXPECT_EQ(Layout(target), Layout(source));
    EXPECT_EQ(Layout(target), QStringLiteral("0 4 1 [2] 3"));
    EXPECT_EQ(target.ColumnWidth(2), 123);
    EXPECT_EQ(target.ColumnWidth(3), 77);
    EXPECT_EQ(target.Column(1)->Font.family(), QStringLiteral("Courier"));
    EXPECT_TRUE(target.Column(1)->Font.italic());
    EXPECT_EQ(target.FixedFont().family(), QStringLiteral("Verdana"));
    EXPECT_TRUE(target.FixedFont().bold());
    EXPECT_EQ(target.SaveSettings(), saved);
    // Cells travel with their column.
    EXPECT_EQ(target.Cell(1, 2), QStringLiteral("r2c4"));
}

// A wide face widens the columns on screen only: the settings string keeps design
// pixels byte for byte, and a column the user drags is stored in design pixels too.
TEST(AdvColumnGridSettings, WideFaceKeepsDesignWidthsInTheString) {
    TAdvColumnGrid source;
    BuildGrid(source, 4, 2);
    for (int i = 1; i < 4; ++i)
        source.Column(i)->Font = MakeFont(QStringLiteral("DejaVu Sans"), 16, true);
    source.ColumnsChanged();
    const QByteArray saved = source.SaveSettings();

    TAdvColumnGrid target;
    BuildGrid(target, 4, 2);
    target.resize(600, 200);
    target.show();
    target.LoadSettings(saved);
    ASSERT_GT(target.WidthScale(), 1.5);
    EXPECT_EQ(target.horizontalHeader()->sectionSize(2), target.ShownWidth(2));
    EXPECT_GT(target.ShownWidth(2), target.ColumnWidth(2));
    EXPECT_EQ(target.SaveSettings(), saved);

    const int design = target.ColumnWidth(2);
    target.horizontalHeader()->resizeSection(2, target.ShownWidth(2)); // a drag back
    EXPECT_EQ(target.SaveSettings(), saved);
    const int wider = static_cast<int>(std::lround((design + 20) * target.WidthScale()));
    target.horizontalHeader()->resizeSection(2, wider);
    EXPECT_EQ(target.ColumnWidth(2), design + 20);
}

TEST(AdvColumnGridSettings, ToleratesForeignAndDamagedStrings) {
    TAdvColumnGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    BuildGrid(grid, 4, 1);
    const QByteArray before = grid.SaveSettings();

    // Another signature: nothing changes.
    QByteArray foreign = before;
    foreign[6] = '5';
    grid.LoadSettings(foreign);
    EXPECT_EQ(grid.SaveSettings(), before);

    // An entry whose tag no column has is skipped; the others still apply.
    TSettingsWriter out;
    out.WriteString(QStringLiteral("acg04"));
    for (int i = 0; i < 2; ++i) {
        out.WriteString(QStringLiteral("Arial"));
        out.WriteInteger(8);
        out.WriteInteger(0);
    }
    out.WriteInteger(3);
    out.WriteInteger(0), out.WriteInteger(50), out.WriteBoolean(false);
    out.WriteInteger(99), out.WriteInteger(50), out.WriteBoolean(true);
    out.WriteInteger(3), out.WriteInteger(90), out.WriteBoolean(false);
    grid.LoadSettings(out.Bytes());
    EXPECT_EQ(Layout(grid), QStringLiteral("0 1 3 2"));
    EXPECT_EQ(grid.ColumnWidth(1), 61);

    // A broken entry list keeps what was applied; step 5 still runs.
    QByteArray cut = out.Bytes();
    cut.chop(2);
    grid.RestoreDefaults();
    grid.LoadSettings(cut);
    EXPECT_EQ(Layout(grid), QStringLiteral("0 1 2 3"));

    // A broken head is reported, with the fonts read so far applied.
    TSettingsWriter head;
    head.WriteString(QStringLiteral("acg04"));
    head.WriteString(QStringLiteral("Courier"));
    head.WriteInteger(12);
    head.WriteInteger(0);
    EXPECT_THROW(grid.LoadSettings(head.Bytes()), TSettingsReadError);
    EXPECT_EQ(grid.GridFont().family(), QStringLiteral("Courier"));
    EXPECT_THROW(grid.LoadSettings(QByteArray()), TSettingsReadError);
    EXPECT_THROW(grid.LoadSettings(QByteArray("\x06\x05"
                                              "acg04"
                                              "\x09",
                                              8)),
                 TSettingsReadError);
}

TEST(AdvColumnGridSettings, GarbageAfterTheSignatureNeverBreaksTheGrid) {
    TAdvColumnGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    BuildGrid(grid, 6, 2);
    const QByteArray good = grid.SaveSettings();
    std::mt19937 random(1237);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes = good;
        // Flip, cut or grow the string at random places after the signature.
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const int at = 7 + static_cast<int>(random() % (bytes.size() - 7));
            switch (random() % 3) {
            case 0:
                bytes[at] = static_cast<char>(random());
                break;
            case 1:
                bytes.truncate(at);
                break;
            default:
                bytes.insert(at, static_cast<char>(random()));
                break;
            }
            if (bytes.size() <= 8)
                break;
        }
        try {
            grid.LoadSettings(bytes);
        } catch (const TSettingsReadError&) {
        }
        ASSERT_GE(grid.ColCount(), grid.FixedCols() + 1);
        ASSERT_EQ(grid.AllColCount(), 6);
    }
    grid.RestoreDefaults();
    EXPECT_EQ(grid.SaveSettings(), good);
}

TEST(AdvColumnGridSettings, KeepsOneDataColumnShown) {
    TAdvColumnGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    BuildGrid(grid, 4, 1);
    TSettingsWriter out;
    out.WriteString(QStringLiteral("acg04"));
    for (int i = 0; i < 2; ++i) {
        out.WriteString(QStringLiteral("Arial"));
        out.WriteInteger(8);
        out.WriteInteger(0);
    }
    out.WriteInteger(4);
    out.WriteInteger(0), out.WriteInteger(50), out.WriteBoolean(false);
    for (int tag = 1; tag < 4; ++tag)
        out.WriteInteger(tag), out.WriteInteger(50), out.WriteBoolean(true);
    grid.LoadSettings(out.Bytes());
    EXPECT_EQ(Layout(grid), QStringLiteral("0 [1] [2] 3"));
    EXPECT_EQ(grid.DefaultRowHeight(), 16); // UpdateRowHeight ran: 8 pt is -11 px
}

TEST(AdvColumnGridSettings, InternalColumnsStayHiddenAndUnsaved) {
    TAdvColumnGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    BuildGrid(grid, 4, 2);
    const QByteArray defaults = grid.DefaultSettings();
    TGridColumn* key = grid.AddHiddenColumn(-10);
    key->Name = QStringLiteral("ID_ACC");
    TGridColumn* extra = grid.AddHiddenColumn(7);
    EXPECT_EQ(grid.ColumnByTag(-10), key);
    EXPECT_EQ(grid.ColumnByTag(42), nullptr);
    EXPECT_TRUE(grid.IsHiddenColumn(4));
    grid.SetCell(4, 1, QStringLiteral("555"));
    EXPECT_EQ(grid.Cell(4, 1), QStringLiteral("555"));

    ScriptedColsDialog dialog;
    TAdvColumnGrid::SetColumnsDialog(&dialog);
    dialog.script = [](TFormCols& d) {
        d.BoxCol()->setCurrentRow(d.Count() - 1); // the extra column, unchecked
        d.MoveFirst();
        d.BoxCol()->item(0)->setCheckState(Qt::Checked);
    };
    grid.ShowColumnsDialog();
    EXPECT_EQ(dialog.offered.join(QLatin1Char(' ')), QStringLiteral("1 2 3 7"));
    EXPECT_EQ(Layout(grid), QStringLiteral("0 7 1 2 3 [-10]"));
    EXPECT_EQ(grid.ColumnByTag(7), extra);

    const QByteArray saved = grid.SaveSettings();
    EXPECT_FALSE(saved.contains(QByteArray::fromHex("02f6"))); // tag -10 is never written

    // Restoring puts the design-time columns back; the internal one stays hidden.
    grid.RestoreDefaults();
    EXPECT_EQ(Layout(grid), QStringLiteral("0 1 2 3 7 [-10]"));
    EXPECT_TRUE(grid.SaveSettings().startsWith(defaults.left(defaults.size() - 22)));
    TAdvColumnGrid::SetColumnsDialog(nullptr);
}

TEST(AdvColumnGridColumns, DialogMovesUncheckedEntryAndCancelKeepsAll) {
    TAdvColumnGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    BuildGrid(grid, 5, 1);
    grid.HideColumn(2);
    ScriptedColsDialog dialog;
    TAdvColumnGrid::SetColumnsDialog(&dialog);

    dialog.ok = false;
    dialog.script = [](TFormCols& d) {
        d.BoxCol()->setCurrentRow(3);
        d.MoveFirst();
    };
    const QByteArray before = grid.SaveSettings();
    grid.ShowColumnsDialog();
    EXPECT_EQ(grid.SaveSettings(), before);

    // Moving the unchecked entry to the top keeps it unchecked.
    dialog.ok = true;
    dialog.script = [](TFormCols& d) {
        d.BoxCol()->setCurrentRow(1); // tag 2, unchecked
        d.MoveFirst();
        EXPECT_FALSE(d.Entry(0).Checked);
        EXPECT_EQ(d.BoxCol()->currentRow(), 0);
        d.BoxCol()->setCurrentRow(1);
        d.MoveDown();
        d.MoveDown();
        d.MoveUp();
        d.BoxCol()->setCurrentRow(3);
        d.MoveDown(); // last entry: nothing
        d.MoveLast();
    };
    grid.ShowColumnsDialog();
    EXPECT_EQ(Layout(grid), QStringLiteral("0 [2] 3 1 4"));
    TAdvColumnGrid::SetColumnsDialog(nullptr);
}

TEST(AdvColumnGridLook, HeadersLeftRowHeightsFontsAndMenu) {
    TAdvColumnGrid grid;
    grid.SetPopupMenu(new QMenu(&grid));
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    BuildGrid(grid, 3, 1);
    grid.Column(2)->Alignment = Qt::AlignRight;
    EXPECT_TRUE(grid.CellAlignment(2, 0) & Qt::AlignLeft);
    EXPECT_TRUE(grid.CellAlignment(2, 1) & Qt::AlignRight);

    auto fonts = std::make_shared<ScriptedFontDialog>();
    Services::SetFontDialog(fonts);
    fonts->answer = MakeFont(QStringLiteral("Arial"), 12);
    grid.ChooseTableFont();
    EXPECT_EQ(grid.Column(2)->Font.pointSize(), 12);
    EXPECT_NE(grid.Column(0)->Font.pointSize(), 12); // the fixed column keeps its font
    EXPECT_EQ(grid.DefaultRowHeight(), 19);          // -16 px: 3 + 16
    fonts->ok = false;
    grid.ChooseHeaderFont();
    EXPECT_EQ(grid.FixedFont(), fonts->seen);
    fonts->ok = true;
    fonts->answer = MakeFont(QStringLiteral("Arial"), 8);
    grid.ChooseHeaderFont();
    EXPECT_EQ(grid.FixedFont().pointSize(), 8);
    EXPECT_EQ(TAdvColumnGrid::FontHeight(MakeFont(QStringLiteral("Arial"), 8)), -11);
    Services::SetFontDialog(nullptr);

    QStringList captions;
    for (QAction* action : grid.PopupMenu()->actions())
        captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(captions.join(QLatin1Char('|')),
              QStringLiteral("-|Настройки|-|Экспорт в файл...|Печать|-|Копировать все|"
                             "Копировать выделенное"));
    QStringList sub;
    for (QAction* action : grid.PopupMenu()->actions()[1]->menu()->actions())
        sub.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(sub.join(QLatin1Char('|')), QStringLiteral("Колонки|Шрифт таблицы|Шрифт заголовков|-|"
                                                         "Восстановить по умолчанию"));
    auto* own = new QAction(QStringLiteral("Информация по бумаге..."), &grid);
    grid.InsertPopupItem(own);
    EXPECT_EQ(grid.PopupMenu()->actions()[0], own);

    // A grid without a popup menu gains none, nor the export shortcut.
    TAdvColumnGrid bare;
    BuildGrid(bare, 2, 1);
    EXPECT_EQ(bare.PopupMenu(), nullptr);
    EXPECT_TRUE(bare.actions().isEmpty());
}

TEST(AdvColumnGridSum, SumsOneRightAlignedColumnInTheLocale) {
    WorkstationLocale spaced = WorkstationLocale::Russian();
    spaced.thousandSeparator = QLatin1Char(' ');
    ScopedWorkstationLocale locale(spaced);
    EventCounter receiver;
    SetGridSumReceiver(&receiver);

    TAdvColumnGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    BuildGrid(grid, 3, 4);
    grid.Column(2)->Alignment = Qt::AlignRight;
    grid.SetCell(2, 1, QStringLiteral("1 000,50"));
    grid.SetCell(2, 2, QStringLiteral("abc"));
    grid.SetCell(2, 3, QStringLiteral("2"));
    grid.SetSelection(TGridRect{2, 1, 2, 3});
    EXPECT_EQ(grid.HintFor(2, 2), QStringLiteral("Сумма= 1 002,50"));
    EXPECT_EQ(GridSumText(), QStringLiteral("Сумма= 1 002,50"));
    QCoreApplication::sendPostedEvents(&receiver);
    EXPECT_EQ(receiver.count, 1);

    grid.SetSelection(TGridRect{1, 1, 2, 3}); // two columns
    GridSumText() = QStringLiteral("old");
    EXPECT_NE(grid.HintFor(2, 2).left(6), QStringLiteral("Сумма="));
    grid.SetSelection(TGridRect{2, 1, 2, 1}); // one cell
    EXPECT_NE(grid.HintFor(2, 1).left(6), QStringLiteral("Сумма="));
    grid.SetSelection(TGridRect{1, 1, 1, 3}); // text column
    EXPECT_EQ(grid.HintFor(1, 2), QString());
    EXPECT_EQ(GridSumText(), QStringLiteral("old"));
    grid.HintFor(2, 4); // outside the selection clears the status text
    EXPECT_EQ(GridSumText(), QString());
    QCoreApplication::sendPostedEvents(&receiver);
    EXPECT_EQ(receiver.count, 2);

    // A financial column counts as numeric even when left-aligned, and a hint the
    // window gives first wins.
    grid.Column(1)->SortStyle = TSortStyle::Financial;
    grid.SetCell(1, 1, QStringLiteral("5"));
    grid.SetCell(1, 2, QStringLiteral("5"));
    grid.SetCell(1, 3, QString());
    EXPECT_EQ(grid.HintFor(1, 2), QStringLiteral("Сумма= 10,00"));
    SetGridSumReceiver(nullptr);
}

TEST(AdvColumnGridSum, WindowHintHandlerRunsFirst) {
    TAdvColumnGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    grid.AddColumn();
    grid.AddColumn();
    int calls = 0;
    grid.SetGridHintHook([&calls](int, int, QString& hint) {
        ++calls;
        hint = QStringLiteral("own");
    });
    grid.Loaded();
    grid.SetRowCount(3);
    EXPECT_EQ(grid.HintFor(1, 1), QStringLiteral("own"));
    EXPECT_EQ(calls, 1);
}

TEST(AdvColumnGridText, SaveTextDropsGroupingInFinancialColumnsOnly) {
    ScopedWorkstationLocale locale(WorkstationLocale::Russian());
    TAdvColumnGrid grid;
    const QAbstractItemModelTester modelCheck(grid.model(), kFatalModelCheck);
    BuildGrid(grid, 3, 1);
    grid.Column(1)->SortStyle = TSortStyle::Financial;
    const QString grouped = QStringLiteral("1") + QChar(0xA0) + QStringLiteral("250,00");
    grid.SetCell(1, 1, grouped);
    grid.SetCell(2, 1, grouped);
    grid.SetCell(1, 0, QStringLiteral("Сумма") + QChar(0xA0) + QStringLiteral("итого"));
    EXPECT_EQ(grid.GetSaveText(1, 1), QStringLiteral("1250,00"));
    EXPECT_EQ(grid.GetSaveText(2, 1), grouped);
    EXPECT_EQ(grid.GetSaveText(1, 0), grid.Cell(1, 0)); // header rows untouched
}
