#pragma once

#include <QString>

#include <functional>

class QWidget;

// The windows the main window's menus open. Each window class registers a creator
// when its unit is linked into the program (main.cpp calls the registration
// functions); a menu item whose window has no creator stays disabled.
enum class WindowCommand {
    Orders,              // "Биржевые заявки"
    ConditionalOrders,   // "Условные заявки"
    RpsRepoOrders,       // "Заявки РПС и РЕПО"
    Deals,               // "Сделки"
    Portfolio,           // "Портфель"
    Position,            // "Позиция"
    FuturesPosition,     // "Фьючерсная позиция"
    Transactions,        // "Проводки"
    PendingTransactions, // "Отложенные проводки"
    MarginMonitor,       // "Учет маржи" (one window)
    Interest,            // "Проценты"
    Commissions,         // "Клиентские комиссии" (one window)
    SecuritiesReference, // "Справочник инструментов"
    ClientBrowser, // "Справочник клиентов и счетов" (one top-level window)
    ArchiveOrders,
    ArchiveDeals,
    ArchivePortfolio,
    ArchivePosition,
    ArchiveTransactions,
    TPlusBalances, // "Остатки и план поставок"
    Count_
};

enum class WindowPlacement {
    NewChild,    // a new MDI child window each time
    SingleChild, // one MDI child: shown, or restored when minimized
    TopLevel,    // one window of its own, outside the window list
};

struct WindowEntry {
    WindowPlacement Placement = WindowPlacement::NewChild;
    // Makes the window (not yet shown). parent: the main window, for top-level ones.
    std::function<QWidget*(QWidget* parent)> Create;
    // Runs after the window is shown, e.g. to write RestoredComplete, which sends
    // the window's first list request.
    std::function<void(QWidget* window)> AfterShow;
};

// The dynamic property by which the main window knows a window's command (the
// command's number + 1). A one-window class sets it on itself, so the menu finds the
// window whoever made it (the menu or a restored desktop).
inline constexpr char kWindowCommandProperty[] = "orvexWindowCommand";

class TWindowCatalog {
public:
    static void Register(WindowCommand command, WindowEntry entry);
    static void Unregister(WindowCommand command);
    static const WindowEntry* Find(WindowCommand command); // null when not registered
};
