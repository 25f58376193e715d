// The reference browsers against the real session server: the securities reference
// lists the loaded securities and opens on one; a label edited in the client browser is
// stored (the server's own form when it shortens the text) and comes back after the
// workstation starts again.
#include "BrowserTestData.h"

#include "browsers/TFormListBum.h"
#include "browsers/TFormUserInfo.h"
#include "grids/TAdvColumnGrid.h"
#include "session/TBrokerSession.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/main/MainForm.h"
#include "support/EndToEndTest.h"

using realserver::WaitUntil;

namespace {

class Boxes : public IMessageBoxService {
public:
    int Show(QWidget*, const QString& text, const QString&, MsgKind, int, bool) override {
        texts.append(text);
        return MsgCancel;
    }
    QStringList texts;
};

// The main window with the browser hooks main() sets.
void JoinBrowsers(TMainForm& form) {
    TFormListBum::SetWindowOpener([&form](QWidget* w) { form.AddChildWindow(w); });
    TFormUserInfo::SetSession(&form.SesUserInfo());
    TStartupHooks& hooks = form.Hooks();
    hooks.ClearReferenceTrees = [] {
        if (TFormUserInfo* b = TFormUserInfo::Current())
            b->EmptyTrees();
    };
    hooks.ClientBrowserRebuild = [] {
        if (TFormUserInfo* b = TFormUserInfo::Current())
            b->Rebuild();
    };
    hooks.ClientBrowserRepaint = [] {
        if (TFormUserInfo* b = TFormUserInfo::Current())
            b->RepaintTrees();
    };
}

using BrowsersEndToEnd = realserver::EndToEndTest;

TEST_F(BrowsersEndToEnd, SecuritiesListAndALabelSurvivesARestart) {
    ScopedWorkstationLocale locale(WorkstationLocale::English());
    auto boxes = UseBoxes<Boxes>();
    TFormListBum::Register();
    TFormUserInfo::Register();
    const QString label = QStringLiteral("метка проверки");
    qint32 typeId = 0, ownerId = 0;
    {
        TMainForm form;
        JoinBrowsers(form);
        form.show();
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 60000));
        const TReferenceData& refs = form.Refs();

        // Every security one row; one opened on a security shows it current.
        auto* list =
            qobject_cast<TFormListBum*>(form.OpenWindow(WindowCommand::SecuritiesReference));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->BumGrid().RowCount(), 1 + refs.Securities.Count());
        const TBumObj* bum = refs.Securities[refs.Securities.Count() / 2];
        TFormListBum* on = TFormListBum::OpenOnSecurity(bum->Id);
        const TAdvColumnGrid& grid = on->BumGrid();
        const int row = grid.Selection().Top;
        ASSERT_GT(row, 0);
        EXPECT_EQ(grid.Cell(TFormListBum::kId, row), QString::number(bum->Id));
        EXPECT_EQ(grid.Cell(TFormListBum::kTradeCode, row), bum->TradeCode);
        EXPECT_FALSE(grid.Cell(TFormListBum::kName, row).isEmpty());

        // The one client browser; the menu brings the same window back.
        auto* browser = qobject_cast<TFormUserInfo*>(form.OpenWindow(WindowCommand::ClientBrowser));
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(form.OpenWindow(WindowCommand::ClientBrowser), browser);
        TUserInfoTree& tree = browser->TreeClientsModel();
        int node = TUserInfoTree::None;
        for (int n = 0; n < tree.Count() && node == TUserInfoTree::None; ++n)
            if (tree.IsEditable(n) && !tree.At(n).value)
                node = n;
        ASSERT_NE(node, TUserInfoTree::None);
        typeId = tree.At(node).object->Id;
        ownerId = tree.At(tree.At(tree.At(node).parent).parent).object->Id;

        // Stored as typed: code 0, the server's id, no message.
        tree.setData(tree.IndexOf(node, 1), label, Qt::EditRole);
        ASSERT_TRUE(WaitUntil([&] { return tree.InfoText(node) == label; }, 15000));
        EXPECT_GT(tree.At(node).value->Id, 0);
        const int pair = browser->TreeUserInfoModel().FindInfoNode(typeId, ownerId);
        EXPECT_EQ(browser->TreeUserInfoModel().InfoText(pair), label);
        EXPECT_TRUE(boxes->texts.isEmpty());

        // Shortened by the server: code -2, its text, then its message.
        const QString longText(300, QLatin1Char('x'));
        const int other = browser->TreeUserInfoModel().FindInfoNode(typeId, ownerId);
        browser->TreeUserInfoModel().setData(browser->TreeUserInfoModel().IndexOf(other, 1),
                                             longText, Qt::EditRole);
        ASSERT_TRUE(WaitUntil([&] { return !boxes->texts.isEmpty(); }, 15000));
        EXPECT_EQ(tree.InfoText(node), QString(255, QLatin1Char('x')));
        tree.setData(tree.IndexOf(node, 1), label, Qt::EditRole);
        ASSERT_TRUE(WaitUntil([&] { return tree.InfoText(node) == label; }, 15000));
    }
    {
        // The workstation again: the label comes back with the reference data.
        TMainForm form;
        JoinBrowsers(form);
        form.show();
        ASSERT_TRUE(WaitUntil([&] { return form.WorkStarted(); }, 60000));
        auto* browser = qobject_cast<TFormUserInfo*>(form.OpenWindow(WindowCommand::ClientBrowser));
        ASSERT_NE(browser, nullptr);
        const TUserInfoTree& tree = browser->TreeClientsModel();
        EXPECT_EQ(tree.InfoText(tree.FindInfoNode(typeId, ownerId)), label);
    }
    TFormListBum::SetWindowOpener(nullptr);
    TFormUserInfo::SetSession(nullptr);
}

} // namespace
