#pragma once

#include <QDialog>

class QListWidget;
class TTaxTarif;
struct TTaxLists;

// "Тарифы": picks the tariff to put into a plan. The list is made again only when
// marked out of date (the manager marks it after reading or changing tariffs).
class TFormTaxAddTarif2Plan : public QDialog {
    Q_OBJECT
public:
    explicit TFormTaxAddTarif2Plan(QWidget* parent = nullptr);
    ~TFormTaxAddTarif2Plan() override;
    static TFormTaxAddTarif2Plan* Instance(); // the one made at start-up, or null

    void MarkOutOfDate() { outOfDate_ = true; }
    bool OutOfDate() const { return outOfDate_; }
    // Empties the list (the manager closes); it is then out of date.
    void EmptyList();
    // Refills from the lists when marked or empty; selects the first entry if none is.
    void Refresh(const TTaxLists& lists);
    // Shows modally; OK with a selected tariff gives Accepted and the tariff.
    int ChooseTarif(const TTaxLists& lists, TTaxTarif*& chosen);
    // The selected tariff, null when none is.
    TTaxTarif* SelectedTarif() const;

    QListWidget* lbListTarif() const { return list_; }

private:
    QListWidget* list_ = nullptr;
    bool outOfDate_ = true;
};
