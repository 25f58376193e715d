#pragma once

#include "commissions/TaxObjects.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TAdvColumnGrid;
class TComboBoxIndexed;

// The tariff editor, "Новый тариф" or "Изменить тариф": composes a tariff on a
// working copy and, after OK, builds a new linked tariff that the caller sends. It
// sends nothing itself. Made once at start-up and reused; Reset runs before every
// showing and keeps the name, type and destination account the person chose last.
class TFormTaxAddTarif : public QDialog {
    Q_OBJECT
public:
    // The pages in their order.
    enum Page { kScaleOfVol, kScaleOfCount, kPositionChange, kAreaOfWork, kAreaOfVol, kPageCount };
    // Node kinds of the area trees.
    enum AreaNode { kIncludeHeader = 1, kExcludeHeader = 2, kAreaItem = 3 };
    // Columns of the scale grids.
    enum ScaleColumn { kLevel, kSum, kPercent };

    explicit TFormTaxAddTarif(QWidget* parent = nullptr);
    ~TFormTaxAddTarif() override;
    static TFormTaxAddTarif* Instance(); // the one made at start-up, or null

    // The manager's editor hook: opens the editor for a new tariff (existing null) or
    // a change of existing; the built tariff after OK, null after Cancel.
    static std::unique_ptr<TTaxTarif> EditTarif(const TTaxTarif* existing);

    // Reset and show; returns the modal result.
    int EditNew();
    // Reset, load the tariff and show; returns the modal result.
    int EditExisting(const TTaxTarif& tarif);
    void Reset();
    void LoadTarif(const TTaxTarif& tarif);
    // A new tariff made from the dialog, linked; the caller owns it.
    std::unique_ptr<TTaxTarif> BuildResult();

    // The manager's own accounts (after list 756); emptied when the manager closes.
    void RefillDestAccounts(const TTaxLists& lists);
    void EmptyDestAccounts();

    // Shows the pages of an algorithm and makes its first active page current.
    void SetPagesFor(int algorithm);
    bool PageShown(Page page) const;

    // A scale line as the scale line dialog gives it: one line per whole level.
    void AddScaleLine(TAdvColumnGrid* grid, double level, double sum, double rate);
    // The current row: the first data row is reset, a later one removed.
    void DeleteScaleLine(TAdvColumnGrid* grid);
    // Appends the item under the focused header; false when it was dropped.
    bool AddAreaItem(QTreeWidget* tree, std::unique_ptr<TAreaItem> item);
    // Deletes the focused item node and its item.
    void DeleteAreaItem(QTreeWidget* tree);

    // The first failed check's message; empty when the dialog may close with OK.
    QString CheckInput() const;
    // OK: the checks, in order; a failure shows its message and keeps the dialog open.
    void accept() override;

    const TTaxTarif& Working() const { return work_; }
    QComboBox* cbAlgoritm() const { return algorithms_; }
    QLineEdit* edTarifName() const { return name_; }
    QComboBox* cbTarifType() const { return types_; }
    TComboBoxIndexed* cbDestAccount() const { return accounts_; }
    QDoubleSpinBox* ceTarifSum() const { return tarifSum_; }
    QComboBox* cbAlgoritm3GroupFlag() const { return groupFlag_; }
    TAdvColumnGrid* gridScalaOfVol() const { return scaleOfVol_; }
    TAdvColumnGrid* gridScalaOfCount() const { return scaleOfCount_; }
    QTreeWidget* vtAreaOfWork() const { return areaOfWork_; }
    QTreeWidget* vtAreaOfVol() const { return areaOfVol_; }
    QTabWidget* Pages() const { return pages_; }

private:
    QWidget* BuildScalePage(TAdvColumnGrid*& grid, const char* name, const char* levelHeader,
                            const char* percentHeader, int mode);
    QWidget* BuildAreaPage(QTreeWidget*& tree, const char* name, bool work);
    QWidget* BuildPositionPage();
    void ResetGrid(TAdvColumnGrid* grid);
    void FillGridFromScale(TAdvColumnGrid* grid);
    void ScaleFromGrid(const TAdvColumnGrid* grid);
    void RebuildAreaTree(QTreeWidget* tree);
    TAreaList& IncludeList(const QTreeWidget* tree);
    TAreaList& ExcludeList(const QTreeWidget* tree);
    void AddScaleLineFromDialog(TAdvColumnGrid* grid, int mode);
    void AddAreaItemFromDialog(QTreeWidget* tree);
    int SelectedCode(const QComboBox* box, int none) const;

    TTaxTarif work_; // the working tariff the trees show
    QComboBox* algorithms_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* types_ = nullptr;
    TComboBoxIndexed* accounts_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QWidget* page_[kPageCount] = {};
    TAdvColumnGrid* scaleOfVol_ = nullptr;
    TAdvColumnGrid* scaleOfCount_ = nullptr;
    QDoubleSpinBox* tarifSum_ = nullptr;
    QComboBox* groupFlag_ = nullptr;
    QTreeWidget* areaOfWork_ = nullptr;
    QTreeWidget* areaOfVol_ = nullptr;
};

// Number texts of the scale grids in the locale's formats, and the reading back of
// a grouped number (a Russian locale groups digits with a no-break space).
QString ScaleLevelText(double level);
QString ScaleSumText(double sum);
QString ScaleRateText(double rate);
// The level rounded to a whole number, a half to the even neighbour.
double RoundScaleLevel(double level);
