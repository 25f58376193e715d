#pragma once

#include "controls/StringGrid.h"

#include <QByteArray>

class QAction;
class TFormCols;

// The data grid every table of server data uses: the common set-up (Loaded), column
// identity by tag, the "acg04" settings string with restore to the design-time
// layout, the popup menu with settings, export, print and copy, and the selection
// sum shown as a hint and in the main window's status bar.
//
// A window builds its design-time columns, calls Loaded() once, appends its internal
// columns with AddHiddenColumn, applies a stored settings string and fills the grid.
class TAdvColumnGrid : public TStringGrid {
    Q_OBJECT
public:
    explicit TAdvColumnGrid(QWidget* parent = nullptr);

    // One-time set-up after the design-time columns are in place.
    void Loaded();

    QByteArray SaveSettings() const;
    // A string with another signature changes nothing. A read error in the head
    // (signature, fonts, count) throws TSettingsReadError with the fonts read so far
    // applied; an error among the column entries ends them quietly.
    void LoadSettings(const QByteArray& settings);
    void RestoreDefaults();
    const QByteArray& DefaultSettings() const { return defaultSettings_; }

    TGridColumn* ColumnByTag(int id) const;
    TGridColumn* AddHiddenColumn(int tag);
    void UpdateRowHeight();
    // Font height in pixels with the negative sign of character heights.
    static int FontHeight(const QFont& font);

    // Menu actions.
    void ShowColumnsDialog();
    void ChooseTableFont();
    void ChooseHeaderFont();
    void ExportToFile();
    void PrintGrid();
    void MenuCopyAll();
    void MenuCopySelection();
    void CopyToClipboard(const QString& text);

    // The grid-hint handler installed by Loaded.
    void GridSumHint(int row, int displCol, QString& hint);

    QString GetSaveText(int realCol, int row) const override;
    Qt::Alignment CellAlignment(int realCol, int row) const override;

    // Adds a window's own popup item just before the grid's own items.
    void InsertPopupItem(QAction* action);

    // The shared column order dialog; without one the grid makes its own.
    static void SetColumnsDialog(TFormCols* dialog);

    // Caption used as the print job name: the enclosing window's title.
    QString PrintJobName() const;

private:
    void ExtendPopupMenu();

    GridHintHook savedGridHint_;
    QByteArray defaultSettings_;
    QAction* firstOwnSeparator_ = nullptr;
    bool loaded_ = false;
};
