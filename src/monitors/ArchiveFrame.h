#pragma once

#include "monitors/ListSession.h"
#include "monitors/MonitorWindowKit.h"
#include "shell/contract/TChildWindow.h"

#include <QDate>
#include <QString>

#include <span>

class QDateEdit;
class QHBoxLayout;
class QMenu;
class QToolButton;
class QVBoxLayout;
class TAdvColumnGrid;
class TBrokerSession;
class TFormFiltr;
class TMetadataParser;

// The common frame of the archive windows: a top panel with the date pickers ("с",
// for range windows also "по"), "Получить данные с сервера" and "Фильтр", one list
// session that logs in by itself (its login sends the first request with today's
// dates), the grid and its popup. A request starts the busy state; the answer, a
// disconnect or an error while sending or loading ends it, so no button stays dead.
// Each window gives its differences as data and a few overrides.
class TArchiveWindow : public TChildWindow {
    Q_OBJECT
    // The desktop contract: read and written by name. Writing the filter sends nothing.
    Q_PROPERTY(QString SQLFilter READ SQLFilter WRITE SetSQLFilter)
    Q_PROPERTY(QString FormSettings READ FormSettings WRITE SetFormSettings)

public:
    // What the busy state covers: the orders archive uses the application-wide cursor
    // and disables only Button1; the others mark the grid and the panel and disable both.
    enum class BusyScope { Application, Panel };

    struct Frame {
        const char* caption; // the base caption of the filter (trailing blank kept)
        const char* session; // the list session's role name
        const char* step;    // the prefix of the window's log steps
        int query;
        bool range; // from-date and to-date, else one date
        BusyScope busy;
        int filterMask;
        std::span<const monitorkit::Column> columns;
        std::span<const monitorkit::HiddenColumn> hidden;
    };

    ~TArchiveWindow() override;

    QString SQLFilter() const { return sqlFilter_; }
    void SetSQLFilter(const QString& filter) { sqlFilter_ = filter; }
    QString FormSettings() const;
    void SetFormSettings(const QString& settings);

    int Tag() const override { return 0; }
    void RefreshList() override { Button1Click(); }

    // "Получить данные с сервера" and the login: the request with the current dates.
    void Button1Click();
    void menuFilterClick();
    // Session events.
    void SesData();
    void SesDisconnect() { EndBusy(); }

    bool IsBusy() const { return busy_; }
    void SetDates(const QDate& from, const QDate& to);
    QString FromDate() const;
    QString ToDate() const;

    TAdvColumnGrid& Grid() const { return *grid_; }
    TBrokerSession& Session() const { return session_.Session(); }
    QWidget* TopPanel() const { return panel_; }
    QDateEdit* DTPbegin() const { return dtpBegin_; }
    QDateEdit* DTPend() const { return dtpEnd_; }
    QToolButton* Button1() const { return button1_; }
    QToolButton* BtnFilter() const { return btnFilter_; }
    QMenu* PopupMenu() const { return popup_; }

protected:
    TArchiveWindow(const Frame& frame, QWidget* parent);
    // Called last by the window's constructor, after its own popup items and panel
    // controls: the grid gets its columns and the popup its grid items, the session
    // logs in.
    void Start();

    // The request's parameters in pair form.
    virtual QString RequestParams() const = 0;
    // Loads the current answer (inside the busy state's guard).
    virtual void Load() = 0;
    // Asks the filter dialog (already confirmed) for the window's expressions, extends
    // the caption list and returns the new SQLFilter.
    virtual QString AskFilter(TFormFiltr& dialog, QString& caption) = 0;
    // Sends with the parser's metadata cache; the position archive sends plainly.
    virtual bool UsesParser() const { return true; }
    virtual void BeforeSend() {}

    QString StepName(const char* handler) const;
    QString Cell(int tag, int row) const;
    int CurrentDataRow() const; // -1 when the current cell is not on a data row
    QHBoxLayout* PanelLayout() const { return panelLayout_; }
    QVBoxLayout* MainLayout() const { return layout_; }
    TMetadataParser& Parser() const { return session_.Parser(); }
    const QString& QueryText() const { return queryText_; }

    QString sqlFilter_;

private:
    void BeginBusy();
    void EndBusy();

    const Frame frame_;
    const QString queryText_;
    monitorkit::ListSession session_;
    QVBoxLayout* layout_ = nullptr;
    QWidget* panel_ = nullptr;
    QHBoxLayout* panelLayout_ = nullptr;
    QDateEdit* dtpBegin_ = nullptr;
    QDateEdit* dtpEnd_ = nullptr;
    QToolButton* button1_ = nullptr;
    QToolButton* btnFilter_ = nullptr;
    TAdvColumnGrid* grid_ = nullptr;
    QMenu* popup_ = nullptr;
    bool busy_ = false;
};

// Pair-form pieces the archives share.
namespace archivekit {
inline constexpr QLatin1StringView kParam1{"param1"};
inline constexpr QLatin1StringView kParam2{"param2"};
// Sizes the grid's first shown column to its widest text.
void FitFirstColumn(TAdvColumnGrid& grid);
} // namespace archivekit
