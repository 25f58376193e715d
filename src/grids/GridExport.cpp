#include "GridExport.h"

#include "grids/TAdvColumnGrid.h"
#include "session/wire/Cp1251.h"
#include "shell/base/DateValue.h"
#include "shell/base/Log.h"
#include "shell/base/NumberText.h"
#include "shell/base/Services.h"
#include "shell/base/WorkstationLocale.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>

const char* const kExportFilter =
    "Текст в колонку (*.txt)|*.txt|Текст с разделителями  (*.csv)|*.csv|HTML  (*.htm)|*.htm|"
    "MS Excel  (*.xls)|*.xls|MS Word (*.doc)|*.doc";

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kCaption = QStringLiteral("Орвекс-Проф");

// The shown columns in display order, as real indexes.
std::vector<int> ShownColumns(const TStringGrid& grid) {
    std::vector<int> columns;
    for (int d = 0; d < grid.ColCount(); ++d)
        if (grid.ColumnWidth(grid.RealColIndex(d)) >= 0)
            columns.push_back(grid.RealColIndex(d));
    return columns;
}

QString HtmlEscape(const QString& text) {
    return text.toHtmlEscaped();
}

QString ColorText(const QColor& color) {
    return color.name(QColor::HexRgb);
}

QString RtfEscape(const QString& text) {
    QString out;
    const QByteArray bytes = Cp1251::Encode(text);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\' || c == '{' || c == '}') {
            out += QLatin1Char('\\');
            out += QLatin1Char(c);
        } else if (c == '\n') {
            out += QStringLiteral("\\line ");
        } else if (c == '\r') {
            continue;
        } else if (b >= 0x80 || b < 0x20) {
            out += QStringLiteral("\\'%1").arg(b, 2, 16, QLatin1Char('0'));
        } else {
            out += QLatin1Char(c);
        }
    }
    return out;
}

bool WriteBytes(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

// How a column's cells go into the workbook: numbers as numbers in the column's
// number format, dates as dates, everything else as text (a code keeps its zeros).
enum class TSheetKind { Text, Number, Date };

TSheetKind SheetKindOf(const TGridColumn& column) {
    if (column.SortStyle == TSortStyle::Date)
        return TSheetKind::Date;
    if (column.SortStyle == TSortStyle::Numeric || column.SortStyle == TSortStyle::Financial ||
        !column.FloatFormat.isEmpty())
        return TSheetKind::Number;
    return TSheetKind::Text;
}

// "%.2n" gives "#,##0.00", "%.4f" gives "0.0000"; another format keeps the general one.
QByteArray SheetNumberFormat(const QString& floatFormat) {
    static const QRegularExpression pattern(QStringLiteral("^%\\.(\\d{1,2})([nf])$"));
    const QRegularExpressionMatch match = pattern.match(floatFormat);
    if (!match.hasMatch())
        return {};
    const int decimals = match.captured(1).toInt();
    QByteArray format = match.captured(2) == QLatin1String("n") ? "#,##0" : "0";
    if (decimals > 0)
        format += '.' + QByteArray(decimals, '0');
    return format;
}

// A cell text as the grid shows it (locale separators, grouping) or as the server
// wrote it ("." decimal); false for anything else, an infinity or not-a-number.
bool SheetNumber(const QString& text, double& value) {
    QString t = text.trimmed();
    t.remove(WorkstationLocale::Current().thousandSeparator);
    t.remove(QChar(0x00A0));
    bool ok = TryParseLocaleNumber(t, value);
    if (!ok)
        value = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(value);
}

// "dd.mm.yyyy", optionally followed by " hh:mm" or " hh:mm:ss".
bool SheetDate(const QString& text, double& value) {
    const QString t = text.trimmed();
    value = ParseDottedDate(t.left(10));
    if (value == 0 || (t.size() > 10 && t[10] != QLatin1Char(' ')))
        return false;
    if (t.size() > 10) {
        const QString clock = t.mid(11);
        QTime time = QTime::fromString(clock, QStringLiteral("hh:mm:ss"));
        if (!time.isValid())
            time = QTime::fromString(clock, QStringLiteral("hh:mm"));
        if (!time.isValid())
            return false;
        value += time.msecsSinceStartOfDay() / 86400000.0;
    }
    return true;
}

bool WriteWorkbook(const TStringGrid& grid, const QString& fileName) {
    const QByteArray path = QFile::encodeName(fileName);
    lxw_workbook* workbook = workbook_new(path.constData());
    if (!workbook)
        return false;
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    if (!sheet) {
        workbook_close(workbook);
        return false;
    }
    const std::vector<int> columns = ShownColumns(grid);
    std::vector<TSheetKind> kinds;
    std::vector<lxw_format*> formats;
    for (const int real : columns) {
        const TGridColumn* column = grid.Column(real);
        kinds.push_back(column ? SheetKindOf(*column) : TSheetKind::Text);
        QByteArray numberFormat;
        if (kinds.back() == TSheetKind::Date)
            numberFormat = "dd.mm.yyyy";
        else if (kinds.back() == TSheetKind::Number)
            numberFormat = SheetNumberFormat(column->FloatFormat);
        lxw_format* format = nullptr;
        if (!numberFormat.isEmpty()) {
            format = workbook_add_format(workbook);
            format_set_num_format(format, numberFormat.constData());
        }
        formats.push_back(format);
    }
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const QString text = grid.GetSaveText(columns[c], row);
            if (text.isEmpty())
                continue;
            const auto sheetRow = static_cast<lxw_row_t>(row);
            const auto sheetCol = static_cast<lxw_col_t>(c);
            double value = 0;
            const bool data = row >= grid.FixedRows();
            if (data && kinds[c] == TSheetKind::Number && SheetNumber(text, value))
                worksheet_write_number(sheet, sheetRow, sheetCol, value, formats[c]);
            else if (data && kinds[c] == TSheetKind::Date && SheetDate(text, value))
                worksheet_write_number(sheet, sheetRow, sheetCol, value, formats[c]);
            else
                worksheet_write_string(sheet, sheetRow, sheetCol, text.toUtf8().constData(),
                                       nullptr);
        }
    }
    for (std::size_t c = 0; c < columns.size(); ++c)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                             std::max(1, grid.ColumnWidth(columns[c])) / 7.0, nullptr);
    return workbook_close(workbook) == LXW_NO_ERROR;
}

} // namespace

QStringList ExportFilterEntries() {
    QStringList entries;
    const QStringList parts = QString::fromUtf8(kExportFilter).split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2)
        entries.append(parts[i]);
    return entries;
}

QString ForceExportExtension(const QString& fileName, TExportKind kind) {
    static const char* const extensions[] = {".txt", ".csv", ".htm", ".xls", ".doc"};
    const int index = std::clamp(static_cast<int>(kind), 1, 5) - 1;
    const int slash = static_cast<int>(
        std::max(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\'))));
    const int dot = static_cast<int>(fileName.lastIndexOf(QLatin1Char('.')));
    const QString base = dot > slash + 1 ? fileName.left(dot) : fileName;
    return base + QLatin1String(extensions[index]);
}

namespace {
// A cell that spans lines is quoted the way spreadsheets read the clipboard: in
// double quotes with its own quotes doubled; other cells go as they are.
QString ClipboardCell(const QString& text) {
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

QString GridCopyText(const TStringGrid& grid, bool selectionOnly) {
    int top = 0, bottom = grid.RowCount() - 1, left = 0, right = grid.ColCount() - 1;
    if (selectionOnly) {
        const TGridRect rect = grid.Selection();
        if (rect.IsEmpty())
            return {};
        top = rect.Top;
        bottom = rect.Bottom;
        left = rect.Left;
        right = rect.Right;
    }
    QString text;
    for (int row = top; row <= bottom; ++row) {
        int cells = 0;
        for (int d = left; d <= right; ++d) {
            const int real = grid.RealColIndex(d);
            if (real < 0 || grid.ColumnWidth(real) < 0)
                continue;
            if (cells++ > 0)
                text += QLatin1Char('\t');
            text += ClipboardCell(grid.GetSaveText(real, row));
        }
        if (cells > 0)
            text += kCrLf;
    }
    return text;
}

QString PlainGridCopyText(const TStringGrid& grid, bool selectionOnly) {
    QString text;
    for (int row = 0; row < grid.RowCount(); ++row) {
        int cells = 0;
        for (int d = 0; d < grid.ColCount(); ++d) {
            const int real = grid.RealColIndex(d);
            if (grid.ColumnWidth(real) < 0)
                continue;
            if (selectionOnly && !grid.IsSelected(d, row))
                continue;
            text += QLatin1Char('\t');
            text += grid.Cell(real, row);
            ++cells;
        }
        if (!selectionOnly || cells > 0)
            text += kCrLf;
    }
    return text;
}

QByteArray GridColumnText(const TStringGrid& grid) {
    const std::vector<int> columns = ShownColumns(grid);
    std::vector<qsizetype> widths(columns.size(), 0);
    for (int row = 0; row < grid.RowCount(); ++row)
        for (std::size_t c = 0; c < columns.size(); ++c)
            widths[c] = std::max(widths[c], grid.GetSaveText(columns[c], row).size());
    QString out;
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            QString cell = grid.GetSaveText(columns[c], row);
            const Qt::Alignment align = grid.CellAlignment(columns[c], row);
            if (align & Qt::AlignRight) {
                cell = QString(widths[c] - cell.size(), QLatin1Char(' ')) + cell;
            } else if (align & Qt::AlignHCenter) {
                bool front = true;
                while (cell.size() < widths[c]) {
                    cell = front ? QLatin1Char(' ') + cell : cell + QLatin1Char(' ');
                    front = !front;
                }
            }
            cell += QString(widths[c] + 1 - cell.size(), QLatin1Char(' '));
            out += cell;
        }
        out += kCrLf;
    }
    return Cp1251::Encode(out);
}

QByteArray GridCsvText(const TStringGrid& grid) {
    const std::vector<int> columns = ShownColumns(grid);
    QString out;
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (c > 0)
                out += QLatin1Char(',');
            QString cell = grid.GetSaveText(columns[c], row);
            if (cell.isEmpty()) {
                out += QStringLiteral("\"\"");
                continue;
            }
            // A quote, comma or line break inside a cell needs the enclosing quotes,
            // or a reader would split or misread the cell.
            const bool enclose =
                cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) ||
                cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r'));
            cell.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            out += enclose ? QLatin1Char('"') + cell + QLatin1Char('"') : cell;
        }
        out += kCrLf;
    }
    return Cp1251::Encode(out);
}

QByteArray GridHtmlText(const TStringGrid& grid) {
    const std::vector<int> columns = ShownColumns(grid);
    QString out = QStringLiteral(
        "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
        "charset=windows-1251\">\r\n</head>\r\n<body>\r\n"
        "<table border=\"1\" cellspacing=\"0\" cellpadding=\"0\" width=\"100%\">\r\n");
    for (int row = 0; row < grid.RowCount(); ++row) {
        out += QStringLiteral("<tr>");
        for (const int real : columns) {
            const TCellLook look = grid.CellLook(real, row);
            const Qt::Alignment align = grid.CellAlignment(real, row);
            QString td = QStringLiteral("<td nowrap");
            if (align & Qt::AlignRight)
                td += QStringLiteral(" align=\"right\"");
            else if (align & Qt::AlignHCenter)
                td += QStringLiteral(" align=\"center\"");
            const QColor background =
                row < grid.FixedRows()
                    ? grid.FixedColor()
                    : (look.Background.isValid() ? look.Background : QColor(Qt::white));
            td += QStringLiteral(" bgcolor=\"%1\">").arg(ColorText(background));
            const QString text = grid.GetSaveText(real, row);
            QString body = text.isEmpty() ? QStringLiteral("<br>") : HtmlEscape(text);
            if (look.Font.bold())
                body = QStringLiteral("<b>") + body + QStringLiteral("</b>");
            if (look.Font.italic())
                body = QStringLiteral("<i>") + body + QStringLiteral("</i>");
            if (look.Font.underline())
                body = QStringLiteral("<u>") + body + QStringLiteral("</u>");
            const QColor color = look.Text.isValid() ? look.Text : QColor(Qt::black);
            td += QStringLiteral("<font color=\"%1\">").arg(ColorText(color)) + body +
                  QStringLiteral("</font></td>");
            out += td;
        }
        out += QStringLiteral("</tr>\r\n");
    }
    out += QStringLiteral("</table>\r\n</body>\r\n</html>\r\n");
    return Cp1251::Encode(out);
}

QByteArray GridRtfText(const TStringGrid& grid) {
    const std::vector<int> columns = ShownColumns(grid);
    QString out = QStringLiteral("{\\rtf1\\ansi\\ansicpg1251\\deff0\\deflang1049"
                                 "{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}\r\n"
                                 "\\paperw16838\\paperh11906\\margl720\\margr720\\f0\\fs18\r\n");
    QString rowHead = QStringLiteral("\\trowd\\trgaph60\\trleft0");
    int right = 0;
    for (const int real : columns) {
        right += std::max(300, grid.ColumnWidth(real) * 15);
        rowHead += QStringLiteral("\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
                                  "\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10\\cellx%1")
                       .arg(right);
    }
    for (int row = 0; row < grid.RowCount(); ++row) {
        out += rowHead + QStringLiteral("\r\n");
        for (const int real : columns) {
            const Qt::Alignment align = grid.CellAlignment(real, row);
            const QString q = (align & Qt::AlignRight)     ? QStringLiteral("\\qr")
                              : (align & Qt::AlignHCenter) ? QStringLiteral("\\qc")
                                                           : QStringLiteral("\\ql");
            out += QStringLiteral("\\pard\\intbl") + q + QLatin1Char(' ') +
                   RtfEscape(grid.GetSaveText(real, row)) + QStringLiteral("\\cell\r\n");
        }
        out += QStringLiteral("\\row\r\n");
    }
    out += QStringLiteral("\\pard\\par\r\n}\r\n");
    return out.toLatin1();
}

bool WriteGridFile(const TStringGrid& grid, const QString& fileName, TExportKind kind,
                   QString& error) {
    bool ok = false;
    switch (kind) {
    case TExportKind::Text:
        ok = WriteBytes(fileName, GridColumnText(grid));
        error = QStringLiteral("Cannot create file ") + fileName;
        break;
    case TExportKind::Csv:
        ok = WriteBytes(fileName, GridCsvText(grid));
        error = QStringLiteral("Cannot Create file ") + fileName;
        break;
    case TExportKind::Html:
        ok = WriteBytes(fileName, GridHtmlText(grid));
        error = QStringLiteral("Cannot Create file ") + fileName;
        break;
    case TExportKind::Spreadsheet:
        ok = WriteWorkbook(grid, fileName);
        error = QStringLiteral("Cannot create file ") + fileName;
        break;
    case TExportKind::Document:
        ok = WriteBytes(fileName, GridRtfText(grid));
        error = QStringLiteral("Cannot create file ") + fileName;
        break;
    }
    if (ok)
        error.clear();
    return ok;
}

void ExportGridWithDialog(TAdvColumnGrid& grid) {
    int index = 1;
    const QString chosen = Services::FileDialog().GetSaveFileName(
        &grid, QStringLiteral("Экспорт в файл"), ExportFilterEntries(), index, QString());
    if (chosen.isEmpty())
        return;
    const auto kind = static_cast<TExportKind>(std::clamp(index, 1, 5));
    const QString fileName = ForceExportExtension(chosen, kind);
    const bool busy = kind == TExportKind::Text;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool ok = WriteGridFile(grid, fileName, kind, error);
    if (busy)
        QApplication::restoreOverrideCursor();
    if (!ok) {
        WriteLog(QStringLiteral("Export failed: ") + error);
        Services::MessageBox().Show(&grid, error, kCaption, MsgKind::Error, MsgOk);
    }
}
