#include "GridTestSupport.h"

#include "grids/GridExport.h"
#include "grids/TAdvStringGrid.h"
#include "session/wire/Cp1251.h"
#include "shell/base/WorkstationLocale.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {
// Qt's model checks run on every change of the grid's model; a broken contract aborts.
constexpr auto kFatalModelCheck = QAbstractItemModelTester::FailureReportingMode::Fatal;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Header "Кол0 Кол1 Кол2 Кол3", two data rows, column 3 hidden, column 2 financial.
void BuildExportGrid(TAdvColumnGrid& grid) {
    BuildGrid(grid, 4, 2);
    grid.Column(2)->SortStyle = TSortStyle::Financial;
    grid.Column(2)->Alignment = Qt::AlignRight;
    grid.SetCell(2, 1, QStringLiteral("1 250,00"));
    grid.SetCell(2, 2, QStringLiteral("7"));
    grid.SetCell(1, 2, QStringLiteral("Он сказал \"да\""));
    grid.SetCell(0, 2, QString());
    grid.SetCell(3, 1, QStringLiteral("СКРЫТО"));
    grid.HideColumn(3);
}

struct ExportFixture : ::testing::Test {
    void SetUp() override {
        WorkstationLocale spaced = WorkstationLocale::Russian();
        spaced.thousandSeparator = QLatin1Char(' ');
        locale = std::make_unique<ScopedWorkstationLocale>(spaced);
        Services::SetMessageBox(messages);
        Services::SetFileDialog(files);
        BuildExportGrid(grid);
    }
    void TearDown() override {
        Services::SetMessageBox(nullptr);
        Services::SetFileDialog(nullptr);
    }
    std::unique_ptr<ScopedWorkstationLocale> locale;
    std::shared_ptr<RecordingMessageBox> messages = std::make_shared<RecordingMessageBox>();
    std::shared_ptr<ScriptedFileDialog> files = std::make_shared<ScriptedFileDialog>();
    QTemporaryDir dir;
    TAdvColumnGrid grid;
    const QAbstractItemModelTester modelCheck{grid.model(), kFatalModelCheck};
};

} // namespace

TEST_F(ExportFixture, DataGridCopiesShownCellsThroughSaveText) {
    grid.MenuCopyAll();
    EXPECT_EQ(Services::Clipboard().Text(), QStringLiteral("Кол0\tКол1\tКол2\r\n"
                                                           "r1c0\tr1c1\t1250,00\r\n"
                                                           "\tОн сказал \"да\"\t7\r\n"));
    grid.UnHideColumn(3);
    grid.SetSelection(TGridRect{1, 1, 3, 2}); // two rows by three columns
    grid.MenuCopySelection();
    EXPECT_EQ(Services::Clipboard().Text(), QStringLiteral("r1c1\t1250,00\tСКРЫТО\r\n"
                                                           "Он сказал \"да\"\t7\tr2c3\r\n"));
    // A cell of several lines is quoted as spreadsheets expect.
    grid.SetCell(1, 1, QStringLiteral("две\r\n\"строки\""));
    grid.SetSelection(TGridRect{1, 1, 1, 1});
    grid.MenuCopySelection();
    EXPECT_EQ(Services::Clipboard().Text(), QStringLiteral("\"две\r\n\"\"строки\"\"\"\r\n"));
}

TEST(PlainGridCopy, EveryCellStartsWithATab) {
    TAdvStringGrid grid;
    grid.SetPopupMenu(new QMenu(&grid));
    for (int i = 0; i < 5; ++i)
        grid.AddColumn()->Header = QStringLiteral("H%1").arg(i);
    grid.Loaded();
    grid.SetRowCount(4);
    for (int r = 1; r < 4; ++r)
        for (int c = 0; c < 5; ++c)
            grid.SetCell(c, r, QStringLiteral("%1%2").arg(r).arg(c));
    grid.HideColumn(4);
    grid.SetSelection(TGridRect{1, 1, 3, 2}); // two rows by three columns
    grid.MenuCopySelection();
    EXPECT_EQ(Services::Clipboard().Text(), QStringLiteral("\t11\t12\t13\r\n\t21\t22\t23\r\n"));
    grid.MenuCopyAll();
    EXPECT_EQ(Services::Clipboard().Text(),
              QStringLiteral("\tH0\tH1\tH2\tH3\r\n\t10\t11\t12\t13\r\n\t20\t21\t22\t23\r\n"
                             "\t30\t31\t32\t33\r\n"));
    const QList<QAction*> actions = grid.PopupMenu()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[1]->text(), QStringLiteral("Копировать все"));
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Копировать выделенное"));
    EXPECT_FALSE(grid.IsVisibleVertSrollBar());
}

TEST(ExportNames, ExtensionIsForcedByKind) {
    EXPECT_EQ(ForceExportExtension(QStringLiteral("/tmp/a.dat"), TExportKind::Csv),
              QStringLiteral("/tmp/a.csv"));
    EXPECT_EQ(ForceExportExtension(QStringLiteral("/tmp/report"), TExportKind::Text),
              QStringLiteral("/tmp/report.txt"));
    EXPECT_EQ(ForceExportExtension(QStringLiteral("/tmp/my.dir/report"), TExportKind::Html),
              QStringLiteral("/tmp/my.dir/report.htm"));
    EXPECT_EQ(ForceExportExtension(QStringLiteral("/tmp/x.tar.gz"), TExportKind::Spreadsheet),
              QStringLiteral("/tmp/x.tar.xls"));
    EXPECT_EQ(ForceExportExtension(QStringLiteral("/tmp/.hidden"), TExportKind::Document),
              QStringLiteral("/tmp/.hidden.doc"));
    EXPECT_EQ(ExportFilterEntries(),
              (QStringList{QStringLiteral("Текст в колонку (*.txt)"),
                           QStringLiteral("Текст с разделителями  (*.csv)"),
                           QStringLiteral("HTML  (*.htm)"), QStringLiteral("MS Excel  (*.xls)"),
                           QStringLiteral("MS Word (*.doc)")}));
}

TEST_F(ExportFixture, TextKindsFollowTheirRules) {
    EXPECT_EQ(GridCsvText(grid),
              Cp1251::Encode(QStringLiteral("Кол0,Кол1,Кол2\r\n"
                                            "r1c0,r1c1,\"1250,00\"\r\n"
                                            "\"\",\"Он сказал \"\"да\"\"\",7\r\n")));
    EXPECT_EQ(GridColumnText(grid),
              Cp1251::Encode(QStringLiteral("Кол0 Кол1           Кол2    \r\n"
                                            "r1c0 r1c1           1250,00 \r\n"
                                            "     Он сказал \"да\"       7 \r\n")));
    grid.Column(1)->Alignment = Qt::AlignHCenter;
    const QString centred = Cp1251::Decode(GridColumnText(grid)).split(QStringLiteral("\r\n"))[1];
    EXPECT_EQ(centred, QStringLiteral("r1c0      r1c1      1250,00 "));

    grid.SetCellLookHook([](int realCol, int row, TCellLook& look) {
        if (realCol == 1 && row == 1) {
            look.Background = QColor(255, 0, 0);
            look.Font.setBold(true);
        }
    });
    const QString html = Cp1251::Decode(GridHtmlText(grid));
    EXPECT_TRUE(html.contains(QStringLiteral("charset=windows-1251")));
    EXPECT_TRUE(html.contains(
        QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"0\" width=\"100%\">")));
    EXPECT_TRUE(
        html.contains(QStringLiteral("bgcolor=\"#ff0000\"><font color=\"#000000\"><b>r1c1</b>")));
    EXPECT_TRUE(html.contains(QStringLiteral("align=\"right\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("<br>")));
    EXPECT_TRUE(html.contains(QStringLiteral("&quot;да&quot;")));
    EXPECT_FALSE(html.contains(QStringLiteral("СКРЫТО")));
    EXPECT_EQ(html.count(QStringLiteral("<tr>")), 3);

    const QByteArray rtf = GridRtfText(grid);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1251"));
    EXPECT_EQ(rtf.count("\\row"), 3);
    EXPECT_EQ(rtf.count("\\cell\r\n"), 9);
    EXPECT_TRUE(rtf.contains("\\qr 1250,00\\cell"));
    EXPECT_FALSE(rtf.contains(Cp1251::Encode(QStringLiteral("СКРЫТО"))));
}

TEST_F(ExportFixture, DialogForcesExtensionAndReportsFailures) {
    files->answer = dir.filePath(QStringLiteral("orders.dat"));
    files->chooseIndex = 2;
    grid.ExportToFile();
    EXPECT_EQ(files->seenIndex, 1);
    EXPECT_EQ(files->seenFilters.size(), 5);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("orders.csv"))));
    EXPECT_FALSE(QFile::exists(files->answer));
    EXPECT_TRUE(messages->texts.isEmpty());

    files->answer = dir.filePath(QStringLiteral("book"));
    files->chooseIndex = 4;
    grid.ExportToFile();
    const QString book = dir.filePath(QStringLiteral("book.xls"));
    EXPECT_TRUE(ReadAll(book).startsWith("PK"));
    // The workbook holds the written cells (and not the hidden column).
    const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (!unzip.isEmpty()) {
        QProcess process;
        process.start(unzip, {QStringLiteral("-p"), book, QStringLiteral("xl/sharedStrings.xml")});
        ASSERT_TRUE(process.waitForFinished(30000));
        const QString strings = QString::fromUtf8(process.readAllStandardOutput());
        EXPECT_TRUE(strings.contains(QStringLiteral("Кол1")));
        EXPECT_FALSE(strings.contains(QStringLiteral("1250,00"))); // a number, not a text
        EXPECT_FALSE(strings.contains(QStringLiteral("СКРЫТО")));
    }

    files->answer = QString(); // cancelled
    grid.ExportToFile();
    EXPECT_TRUE(messages->texts.isEmpty());

    const QString missing = dir.filePath(QStringLiteral("no/such/folder/t"));
    const QStringList expected{QStringLiteral("Cannot create file ") + missing + ".txt",
                               QStringLiteral("Cannot Create file ") + missing + ".csv",
                               QStringLiteral("Cannot Create file ") + missing + ".htm",
                               QStringLiteral("Cannot create file ") + missing + ".xls",
                               QStringLiteral("Cannot create file ") + missing + ".doc"};
    for (int kind = 1; kind <= 5; ++kind) {
        files->answer = missing;
        files->chooseIndex = kind;
        grid.ExportToFile();
    }
    EXPECT_EQ(messages->texts, expected);
}

TEST_F(ExportFixture, OfficeSuiteOpensWorkbookAndDocument) {
    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty())
        GTEST_SKIP() << "no office suite on this machine";
    QString error;
    const QString book = dir.filePath(QStringLiteral("g.xls"));
    const QString doc = dir.filePath(QStringLiteral("g.doc"));
    ASSERT_TRUE(WriteGridFile(grid, book, TExportKind::Spreadsheet, error));
    ASSERT_TRUE(WriteGridFile(grid, doc, TExportKind::Document, error));
    // The workbook opens as a flat spreadsheet whose money cell is a number the user
    // can sum, and the text cells stay text.
    for (const auto& [file, target] : {std::pair{book, QStringLiteral("fods")},
                                       std::pair{doc, QStringLiteral("txt:Text (encoded):UTF8")}}) {
        QProcess process;
        process.start(office, {QStringLiteral("--headless"), QStringLiteral("--convert-to"), target,
                               QStringLiteral("--outdir"), dir.path(), file});
        ASSERT_TRUE(process.waitForFinished(120000));
    }
    const QString sheet = QString::fromUtf8(ReadAll(dir.filePath(QStringLiteral("g.fods"))));
    EXPECT_TRUE(sheet.contains(QStringLiteral("Кол1"))) << sheet.left(2000).toStdString();
    EXPECT_TRUE(
        sheet.contains(QStringLiteral("office:value-type=\"float\" office:value=\"1250\"")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("office:value-type=\"string\"")));
    // The document needs the office suite's word processor, which a machine may lack.
    const QString txt = dir.filePath(QStringLiteral("g.txt"));
    if (!QFileInfo::exists(txt))
        GTEST_SKIP() << "the office suite here has no word processor";
    const QString text = QString::fromUtf8(ReadAll(txt));
    EXPECT_TRUE(text.contains(QStringLiteral("Он сказал"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("r1c1")));
}

TEST_F(ExportFixture, PrintingWithoutPrinterLeavesAPdfAndSaysWhere) {
    QStandardPaths::setTestModeEnabled(true);
    QMainWindow window;
    window.setWindowTitle(QString(60, QChar(0x0416)) + QStringLiteral("tail"));
    grid.setParent(&window);
    EXPECT_EQ(grid.PrintJobName(), QString(50, QChar(0x0416)));
    const QString pdf = PrintGridToDefaultPrinter(grid);
    if (pdf.isEmpty())
        GTEST_SKIP() << "a printer is installed here";
    EXPECT_TRUE(ReadAll(pdf).startsWith("%PDF"));
    ASSERT_EQ(messages->texts.size(), 1);
    EXPECT_TRUE(messages->texts[0].endsWith(pdf));
    // A second printout of the same table does not overwrite the first.
    const QString second = PrintGridToDefaultPrinter(grid);
    EXPECT_EQ(second, pdf.chopped(4) + QStringLiteral(" (2).pdf"));
    EXPECT_TRUE(QFileInfo::exists(pdf));
    QFile::remove(pdf);
    QFile::remove(second);
    grid.setParent(nullptr);
    EXPECT_EQ(grid.PrintJobName(), QStringLiteral("Velmor-Orvex"));
    QStandardPaths::setTestModeEnabled(false);
}

// The print title is the caption of the nearest enclosing window: the frame's child
// window when the grid sits in one, not the frame.
TEST(PrintTitle, ComesFromTheNearestEnclosingWindow) {
    QMainWindow frame;
    frame.setWindowTitle(QStringLiteral("Брокер: Дилер"));
    auto* area = new QMdiArea(&frame);
    frame.setCentralWidget(area);
    auto* child = new QWidget;
    child->setWindowTitle(QStringLiteral("Заявки | Счет 1"));
    auto* grid = new TAdvColumnGrid(new QWidget(child)); // nested inside the child window
    area->addSubWindow(child);
    TAdvColumnGrid loose;
    const struct {
        const TAdvColumnGrid* grid;
        QString title;
    } cases[] = {
        {grid, QStringLiteral("Заявки | Счет 1")},
        {&loose, QStringLiteral("Velmor-Orvex")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.grid->PrintJobName(), c.title);
}

// The workbook holds numbers as numbers in the column's format, dates as dates and
// texts as texts (a code keeps its leading zero); read back from the sheet's XML.
TEST(SpreadsheetExport, CellsKeepTheirKinds) {
    const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (unzip.isEmpty())
        GTEST_SKIP() << "no unzip on this machine";
    WorkstationLocale spaced = WorkstationLocale::Russian();
    spaced.thousandSeparator = QLatin1Char(' ');
    ScopedWorkstationLocale locale(spaced);
    TAdvColumnGrid grid;
    BuildGrid(grid, 5, 1);
    const struct {
        TSortStyle sort;
        const char* format;
        const char* text;
        const char* cell; // what the sheet's XML holds for it
    } cases[] = {
        {TSortStyle::Automatic, "", "007", "t=\"s\""},
        {TSortStyle::Financial, "%.2n", "1 250,50", "<v>1250.5</v>"},
        {TSortStyle::Automatic, "%.4f", "33510.9341", "<v>33510.9341</v>"},
        {TSortStyle::Date, "", "05.03.2025", "<v>45721</v>"},
        {TSortStyle::Numeric, "", "n/a", "t=\"s\""},
    };
    for (int c = 0; c < 5; ++c) {
        grid.Column(c)->SortStyle = cases[c].sort;
        grid.Column(c)->FloatFormat = QString::fromLatin1(cases[c].format);
        grid.SetCell(c, 1, QString::fromUtf8(cases[c].text));
    }
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("g.xls"));
    QString error;
    ASSERT_TRUE(WriteGridFile(grid, book, TExportKind::Spreadsheet, error)) << error.toStdString();
    const auto part = [&](const char* name) {
        QProcess process;
        process.start(unzip, {QStringLiteral("-p"), book, QString::fromLatin1(name)});
        process.waitForFinished(60000);
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    const QString sheet = part("xl/worksheets/sheet1.xml");
    for (int c = 0; c < 5; ++c) {
        const QString ref = QStringLiteral("%1%2").arg(QChar('A' + c)).arg(2);
        const QRegularExpression cell(QStringLiteral("<c r=\"%1\"[^>]*>.*?</c>").arg(ref));
        const QString xml = cell.match(sheet).captured(0);
        EXPECT_TRUE(xml.contains(QString::fromLatin1(cases[c].cell))) << xml.toStdString();
    }
    EXPECT_TRUE(sheet.contains(QStringLiteral("<c r=\"B1\" t=\"s\""))); // headers are text
    const QString styles = part("xl/styles.xml");
    EXPECT_TRUE(styles.contains(QStringLiteral("formatCode=\"#,##0.00\""))) << styles.toStdString();
    EXPECT_TRUE(styles.contains(QStringLiteral("formatCode=\"0.0000\"")));
    EXPECT_TRUE(styles.contains(QStringLiteral("formatCode=\"dd.mm.yyyy\"")));
    EXPECT_TRUE(part("xl/sharedStrings.xml").contains(QStringLiteral(">007<")));
}
