#pragma once

#include "filter/FilterTree.h"

class TReferenceData;

#include <QString>
#include <QStringList>

// Option mask of the filter dialog: which parts a window needs.
namespace FilterMask {
constexpr int Accounts = 1;
constexpr int Securities = 2;
constexpr int BuySell = 4;
constexpr int OrderStatus = 8;
constexpr int Position = 16;
constexpr int DebitCredit = 32;
} // namespace FilterMask

// Tags of the order status boxes; a status mask is the sum of the checked ones.
namespace StatusTag {
constexpr int Active = 1;
constexpr int Executed = 2;
constexpr int Cancelled = 4;
} // namespace StatusTag

// Adds an item to a caption list: the first item becomes the list, later ones follow
// after " | ".
void AddCaptionItem(QString& list, const QString& item);

// The state behind the filter dialog and the expressions it composes: the two trees,
// the option boxes and the lists and codes left behind for the windows. Everything here
// works without a window.
class TFilterLogic {
public:
    TFilterTree AccTree;
    TFilterTree BumTree;

    // Option boxes; all start checked and keep their state between uses.
    bool Sell = true;
    bool Buy = true;
    bool Short = true;
    bool Long = true;
    bool Active = true;
    bool Executed = true;
    bool Cancelled = true;
    bool Debit = true;
    bool Credit = true;

    // Left behind for the windows.
    QStringList FilterBumList;
    QStringList FilterAccList;
    QString BuySellCode = QStringLiteral("BS");
    int StatusMask = 0;
    QString ShortLongCode = QStringLiteral("SL");

    bool IsDebetChecked() const { return Debit; }
    bool IsKreditChecked() const { return Credit; }

    // Build the trees from the reference data; every node starts checked. Each logs its
    // lines; a failure is logged and leaves what was built.
    void FillTreeAcc(TReferenceData& refs, bool showClients);
    void FillTreeBum(const TReferenceData& refs, bool showNotTraded);
    void ClearTrees();

    // Before each showing of the dialog.
    void ResetForShow();

    // The composing operations; each extends the caption list.
    QString AccountFilter(QString& captions);
    QString SecurityFilter(QString& captions, bool includeMoney);
    QString DebitCreditFilter(QString& captions);
    QString BuySellFilter(QString& captions);
    QString OrderStatusFilter(QString& captions);
    QString PositionFilter(QString& captions);

    // The checks of "OK" for the given option mask, in order; the message of the first
    // that fails, empty when all pass.
    QString Validate(int mask) const;

    // "Инвертировать отметки".
    void InvertAccMarks();
    void InvertBumMarks();

    // Searches; from: the focused node, used when fromFocused is set. Return the node
    // found or TFilterTree::None.
    int FindAcc(const QString& text, bool fromFocused, int from) const;
    int FindBum(const QString& text, bool fromFocused, int from) const;
};

// The filter's text for an id: padded with zeros to at least four digits.
QString PaddedId(int id);
