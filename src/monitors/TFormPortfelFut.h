#pragma once

#include "monitors/ListSession.h"
#include "shell/contract/TChildWindow.h"

#include <QStringList>

class QMenu;
class QTabWidget;
class QToolBar;
class TAdvColumnGrid;
struct TCellLook;

// "Фьючерсные позиции": the clients' futures contracts ("Контракты") and their money
// on the futures market ("Деньги"), each page with its own list session and grid and a
// full reload on every answer. Only the contracts page is filtered; the money page asks
// for its list the first time it is shown.
class TFormPortfelFut : public TChildWindow {
    Q_OBJECT
    // The desktop contract: read and written by name.
    Q_PROPERTY(
        QString InternalFilterListBum READ InternalFilterListBum WRITE SetInternalFilterListBum)
    Q_PROPERTY(
        QString InternalFilterListAcc READ InternalFilterListAcc WRITE SetInternalFilterListAcc)

public:
    enum Page { kContractsPage = 0, kMoneyPage = 1 };

    enum ContractTag {
        kFutNameBum = 0,
        kFutNameCli = 1,
        kFutNameAcc = 2,
        kInputCount = 3,
        kCurrCount = 4,
        kCurrDeposit = 5,
        kPlanDeposit = 6,
        kAvgPrice = 7,
        kPlanVarMargin = 8,
    };
    enum MoneyTag {
        kMoneyNameBum = 0,
        kMoneyNameCli = 1,
        kMoneyNameAcc = 2,
        kMoneyFree = 3,
        kMoneySumDeposit = 4,
        kMoneyTotal = 5,
        kPlanSumVarMargin = 6,
        kPlanSumCommission = 7,
        kPlanMoneyTotal = 8,
        kAvailableMoney = 9,
    };
    // Internal columns of both grids (the money grid has no instrument id).
    enum HiddenTag { kIdAcc = -100, kIdBum = -101, kIdCli = -102 };

    explicit TFormPortfelFut(QWidget* parent = nullptr);

    // Published properties: the filter's id lists, one id per line.
    QString InternalFilterListBum() const;
    void SetInternalFilterListBum(const QString& lines);
    QString InternalFilterListAcc() const;
    void SetInternalFilterListAcc(const QString& lines);

    int Tag() const override { return 0; }
    void RefreshList() override { SendContracts(); }

    // Session events.
    void SesPortfelFutLogin() { SendContracts(); }
    void SesPortfelFutData();
    void sesMoneyPosLogin() { SendMoney(); }
    void sesMoneyPosData();

    // "Обновить": the request of the page shown.
    void BtnRefreshClick();

    TAdvColumnGrid& GridPortfelFut() const { return *gridFut_; }
    TAdvColumnGrid& GridMoneyPos() const { return *gridMoney_; }
    QTabWidget& PageControl1() const { return *pages_; }
    QMenu* ContractsPopup() const { return popupFut_; }
    QMenu* MoneyPopup() const { return popupMoney_; }
    QToolBar* ContractsPanel() const { return panelFut_; }
    // The filter's condition (accounts then securities): kept, never sent.
    const QString& Condition() const { return condition_; }
    void MoneyCellLook(int realCol, int row, TCellLook& look) const;

    // Registers the window with the main window's "Фьючерсная позиция" command.
    static void Register();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SendContracts();
    void SendMoney();
    void PageChanged(int index);
    void menuFilterClick();

    monitorkit::ListSession sesFut_;
    monitorkit::ListSession sesMoney_;
    QTabWidget* pages_ = nullptr;
    TAdvColumnGrid* gridFut_ = nullptr;
    TAdvColumnGrid* gridMoney_ = nullptr;
    QMenu* popupFut_ = nullptr;
    QMenu* popupMoney_ = nullptr;
    QToolBar* panelFut_ = nullptr;
    QToolBar* panelMoney_ = nullptr;
    QString condition_;
    QStringList filterBum_;
    QStringList filterAcc_;
    bool shown_ = false;
};
