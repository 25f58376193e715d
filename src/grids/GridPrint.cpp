// Printing a data grid: title at the top centre, page number at the bottom centre,
// a single-line page border, every column with borders on all sides, spacing 5
// around cell texts, the header row repeated on every page, columns scaled down to
// the page width when the grid is wider.
#include "grids/GridExport.h"
#include "grids/TAdvColumnGrid.h"
#include "shell/base/Log.h"
#include "shell/base/Services.h"

#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <algorithm>

namespace {

constexpr int kSpacing = 5; // column and row spacing in grid pixels

void RenderPages(TAdvColumnGrid& grid, QPagedPaintDevice& device, const QString& title) {
    QPainter painter;
    if (!painter.begin(&device))
        return;
    const double scale = device.logicalDpiX() / 96.0;
    const QRect page(0, 0, device.width(), device.height());
    const QFont baseFont = grid.GridFont();
    QFont titleFont = baseFont;
    titleFont.setBold(true);
    titleFont.setPointSizeF(std::max(8.0, baseFont.pointSizeF() + 2));

    std::vector<int> columns;
    std::vector<double> widths;
    double total = 0;
    for (int d = 0; d < grid.ColCount(); ++d) {
        const int real = grid.RealColIndex(d);
        columns.push_back(real);
        widths.push_back((grid.ShownWidth(real) + 2 * kSpacing) * scale);
        total += widths.back();
    }
    const double fit = total > page.width() - 2 ? (page.width() - 2) / total : 1.0;
    for (double& w : widths)
        w *= fit;
    // Columns squeezed onto the page take their text along, so every digit stays.
    const auto fitted = [fit](QFont font) {
        if (fit < 1.0 && font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * fit);
        return font;
    };

    painter.setFont(titleFont);
    const int titleHeight = painter.fontMetrics().height() * 2;
    painter.setFont(fitted(baseFont));
    const int rowHeight =
        static_cast<int>(painter.fontMetrics().height() + 2 * kSpacing * scale * fit);
    const int footerHeight = painter.fontMetrics().height() * 2;
    const int bodyTop = page.top() + titleHeight;
    const int bodyBottom = page.bottom() - footerHeight;
    const int rowsPerPage = std::max(2, (bodyBottom - bodyTop) / std::max(1, rowHeight));
    const int headerRows = grid.FixedRows();
    const int dataRows = grid.RowCount() - headerRows;
    const int perPage = std::max(1, rowsPerPage - headerRows);
    const int pages = std::max(1, (dataRows + perPage - 1) / perPage);

    auto drawRow = [&](int row, int y) {
        double x = page.left();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const QRectF cell(x, y, widths[c], rowHeight);
            const TCellLook look = grid.CellLook(columns[c], row);
            if (look.Background.isValid() && row >= headerRows)
                painter.fillRect(cell, look.Background);
            painter.setPen(QPen(Qt::black, 0));
            painter.drawRect(cell);
            painter.setFont(fitted(row < headerRows ? grid.FixedFont() : look.Font));
            painter.setPen(look.Text.isValid() && row >= headerRows ? look.Text : Qt::black);
            const double pad = kSpacing * scale * fit;
            painter.drawText(
                cell.adjusted(pad, 0, -pad, 0),
                static_cast<int>(grid.CellAlignment(columns[c], row) & Qt::AlignHorizontal_Mask) |
                    Qt::AlignVCenter | Qt::TextSingleLine,
                grid.Cell(columns[c], row));
            x += widths[c];
        }
    };

    for (int p = 0; p < pages; ++p) {
        if (p > 0)
            device.newPage();
        painter.setPen(QPen(Qt::black, 0));
        painter.drawRect(page.adjusted(0, 0, -1, -1));
        painter.setFont(titleFont);
        painter.drawText(QRect(page.left(), page.top(), page.width(), titleHeight),
                         Qt::AlignHCenter | Qt::AlignVCenter, title);
        int y = bodyTop;
        for (int h = 0; h < headerRows; ++h, y += rowHeight)
            drawRow(h, y);
        const int first = headerRows + p * perPage;
        const int last = std::min(grid.RowCount(), first + perPage);
        for (int row = first; row < last; ++row, y += rowHeight)
            drawRow(row, y);
        painter.setFont(baseFont);
        painter.setPen(Qt::black);
        painter.drawText(QRect(page.left(), bodyBottom, page.width(), footerHeight),
                         Qt::AlignHCenter | Qt::AlignVCenter, QString::number(p + 1));
    }
    painter.end();
}

QString SafeFileName(QString name) {
    static const QString bad = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : name)
        if (bad.contains(c) || c < QLatin1Char(' '))
            c = QLatin1Char('_');
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("table") : name;
}

} // namespace

bool PrintGridToPdf(TAdvColumnGrid& grid, const QString& pdfPath) {
    QPdfWriter writer(pdfPath);
    writer.setTitle(grid.PrintJobName());
    writer.setResolution(300);
    writer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    RenderPages(grid, writer, grid.PrintJobName());
    return QFileInfo::exists(pdfPath);
}

QString PrintGridToDefaultPrinter(TAdvColumnGrid& grid) {
    for (int i = 0; i < grid.AllColCount(); ++i)
        grid.Column(i)->PrintBorders = true;
    const QString job = grid.PrintJobName();
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull()) {
        QPrinter printer(info, QPrinter::HighResolution);
        printer.setDocName(job); // orientation stays as the printer has it
        RenderPages(grid, printer, job);
        return {};
    }
    // No printer on this machine: keep the pages as a PDF and say where.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    // An earlier printout of the same table stays: the new one is numbered " (2)",
    // " (3)" and so on, as file managers do.
    const QDir dir(folder);
    const QString base = SafeFileName(job);
    QString path = dir.filePath(base + QStringLiteral(".pdf"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1 (%2).pdf").arg(base).arg(n));
    if (!PrintGridToPdf(grid, path)) {
        Services::MessageBox().Show(&grid, QStringLiteral("Cannot create file ") + path,
                                    QStringLiteral("Орвекс-Проф"), MsgKind::Error, MsgOk);
        return {};
    }
    WriteLog(QStringLiteral("Печать: принтер не найден, таблица сохранена в ") + path);
    Services::MessageBox().Show(
        &grid, QStringLiteral("Принтер не найден. Таблица сохранена в файл ") + path,
        QStringLiteral("Орвекс-Проф"), MsgKind::Information, MsgOk);
    return path;
}
