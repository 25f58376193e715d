#pragma once

#include <QString>

class QWidget;
class TComboBoxIndexed;
class TTaxAccount;

// An account list of the commission dialogs: each entry is drawn in two parts, the
// account id right-aligned in the width of "00000", then its display name 10 pixels
// further on; a typed number selects the entry with that id.
TComboBoxIndexed* MakeTaxAccountBox(QWidget* parent, const QString& objectName);
// Adds an entry carrying the account, named as the reference data names accounts.
void AddTaxAccount(TComboBoxIndexed& box, const TTaxAccount* account);
