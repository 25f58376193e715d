#pragma once

#include "shell/contract/TChildWindow.h"

#include <QString>

class QMenu;
class TAdvColumnGrid;
class TReferenceData;

// "Справочник инструментов": a read-only table of every security the main window
// loaded, one row each with its trading parameters. The table is a snapshot taken
// when the window opens; it never asks the server for anything and is not refreshed
// when the reference data are reloaded. Every opening makes a new window.
class TFormListBum : public TChildWindow {
    Q_OBJECT

public:
    // Column identities (the column's place in the design-time table).
    enum ColumnTag {
        kId = 0,
        kName = 1,
        kLot = 2,
        kPrecision = 3,
        kNominal = 4,
        kListing = 5,
        kTradeCode = 6,
        kGovernmentCode = 7,
        kBuyDeposit = 8,
        kSellDeposit = 9,
    };

    explicit TFormListBum(QWidget* parent = nullptr);

    int Tag() const override { return 0; }

    // Refills the table from the reference data (done once on creation).
    void Fill(const TReferenceData& refs);

    // Makes the row of the security whose id text matches current (first data column)
    // and the top visible row; an id no row holds changes nothing.
    void ShowSecurity(const QString& securityId);

    TAdvColumnGrid& BumGrid() const { return *grid_; }

    // The display name of a security: the trading system's template with every
    // "%CODE%" replaced by the trade code and every "%TEXT%" by the short name.
    static QString DisplayName(const QString& nameTemplate, const QString& tradeCode,
                               const QString& shortName);

    // Registers the "Справочник инструментов" command and the "Информация по
    // бумаге..." item of the data grids, which open a new window on a security.
    static void Register();
    // Opens a new window in the main frame through the registered opener.
    static TFormListBum* OpenOnSecurity(int securityId);
    // How a window made outside the menu joins the main frame (set by main).
    static void SetWindowOpener(std::function<void(QWidget*)> opener);

private:
    TAdvColumnGrid* grid_ = nullptr;
    QMenu* popup_ = nullptr;
};
