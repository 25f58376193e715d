#pragma once

#include <QString>
#include <QStringList>

class TStringGrid;
class TAdvColumnGrid;

// Export file kinds in the order of the save dialog's type list (1-based).
enum class TExportKind { Text = 1, Csv = 2, Html = 3, Spreadsheet = 4, Document = 5 };

// The save dialog's type list as one filter string, and its entries for the dialog.
extern const char* const kExportFilter;
QStringList ExportFilterEntries();

// The file name with its extension replaced by the kind's (".txt", ".csv", ...).
QString ForceExportExtension(const QString& fileName, TExportKind kind);

// Data grid copy: header rows included, shown columns, cells through GetSaveText,
// tab-separated, CR LF after every row that produced a cell. With selectionOnly
// only the rows and shown columns of the selection rectangle.
QString GridCopyText(const TStringGrid& grid, bool selectionOnly);

// Plain grid copy: every cell preceded by a tab; all rows end with CR LF, while a
// selection copy ends a row only when it produced a cell and never takes header cells.
QString PlainGridCopyText(const TStringGrid& grid, bool selectionOnly);

// Writes the grid in the kind to exactly that file name. On failure returns false
// and sets the message the user sees.
bool WriteGridFile(const TStringGrid& grid, const QString& fileName, TExportKind kind,
                   QString& error);

// Byte images of the text kinds, for writing and for tests (Windows-1251).
QByteArray GridColumnText(const TStringGrid& grid);
QByteArray GridCsvText(const TStringGrid& grid);
QByteArray GridHtmlText(const TStringGrid& grid);
QByteArray GridRtfText(const TStringGrid& grid);

// "Экспорт в файл...": the save dialog, the forced extension, the file, the messages.
void ExportGridWithDialog(TAdvColumnGrid& grid);

// "Печать": all cells on the default printer without a dialog; with no printer the
// pages go to a PDF in the user's documents folder and a message tells where.
// Returns the PDF path when one was written.
QString PrintGridToDefaultPrinter(TAdvColumnGrid& grid);
// Renders the pages into a PDF file (the printing engine used by both paths).
bool PrintGridToPdf(TAdvColumnGrid& grid, const QString& pdfPath);
