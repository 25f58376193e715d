#include "monitors/RequestOrdersKit.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/MonitorWindowKit.h"
#include "session/TMetadataParser.h"
#include "shell/base/Log.h"
#include "shell/contract/OrderStatusColors.h"
#include "shell/contract/ShellLink.h"

#include <QAction>
#include <QStyle>
#include <QToolBar>

namespace requestorders {

void AddButtons(QToolBar& panel, QAction* filter, QAction* refresh, QAction* withdraw) {
    const auto button = [&panel](QAction* action, QStyle::StandardPixmap icon, const char* name) {
        const QString hint = action->text();
        QAction* b = panel.addAction(panel.style()->standardIcon(icon), hint);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        QObject::connect(b, &QAction::triggered, action, &QAction::trigger);
    };
    button(filter, QStyle::SP_FileDialogContentsView, "BtnFilter");
    button(refresh, QStyle::SP_BrowserReload, "BtnRefresh");
    button(withdraw, QStyle::SP_DialogCancelButton, "BtnDelOrder");
}

bool WithdrawalAccepted(TMetadataParser& parser, const QString& window) {
    parser.ParseMetadata();
    if (!parser.IsValid()) // the getter's default reads as success; the reload tells
        WriteLog(window + QStringLiteral(": ответ на снятие без метаданных, список обновляется"));
    if (parser.GetInt(QStringLiteral("RESULT_CODE"), 0, 0) == 0)
        return true;
    TShellLink::PostDeferredMessage(parser.GetText(QStringLiteral("RESULT_MSG"), 0), MsgKind::Error,
                                    MsgCancel);
    return false;
}

void StatusLook(const TAdvColumnGrid& grid, int realCol, int row, int buySellTag, int statusTag,
                int statusNameTag, TCellLook& look) {
    if (row < grid.FixedRows())
        return;
    const TGridColumn* column = grid.Column(realCol);
    if (!column || column->Fixed)
        return;
    if (gridcols::TextByTag(grid, buySellTag, row) == QLatin1String("B"))
        look.Text = QColor(0, 0, 128);
    if (realCol != gridcols::RealByTag(grid, statusNameTag))
        return;
    const QString statusText = gridcols::TextByTag(grid, statusTag, row);
    if (statusText.isEmpty())
        return;
    int status = 0;
    if (!monitorkit::ReadInt(statusText, status))
        status = 0;
    QColor background;
    if (FindOrderStatusColor(StatusPalette::Requests, status, background))
        look.Background = background;
}

bool AskOrderFilter(const QString& baseCaption, OrderFilter& out) {
    TFormFiltr& dialog = TFormFiltr::Instance();
    if (dialog.ShowFilter(15) != TFormFiltr::mrOk)
        return false;
    out.caption = baseCaption;
    out.condition = dialog.AccountFilter(out.caption);
    out.condition += dialog.SecurityFilter(out.caption, false);
    out.condition += dialog.BuySellFilter(out.caption);
    out.condition += dialog.OrderStatusFilter(out.caption);
    out.securities = dialog.FilterBumList();
    out.accounts = dialog.FilterAccList();
    out.buySell = dialog.BuySellCode();
    out.statusMask = dialog.StatusMask();
    return true;
}

} // namespace requestorders
