// The client browser: the shapes of both trees, editing and what it sends, the tab
// switch that keeps the selection in step, and emptying the trees under an editor.
#include "BrowserTestData.h"

#include "browsers/TFormUserInfo.h"
#include "session/TBrokerSession.h"
#include "support/ScriptedSession.h"

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeView>

using browsertest::PublishedRefs;

namespace {

struct UserInfoFixture : ::testing::Test {
    ScriptedSessionHub hub;
    PublishedRefs refs;
    TBrokerSession session{QStringLiteral("sesUserInfo")};

    void SetUp() override {
        refs.AddClient(1, QStringLiteral("Фирма"));
        refs.AddClient(2, QStringLiteral("Иванов"), 1);  // sub-client of 1
        refs.AddClient(3, QStringLiteral("Петров"), 99); // parent missing: top
        refs.AddClient(4, QStringLiteral("Цикл-А"), 5);  // 4 and 5 name each other
        refs.AddClient(5, QStringLiteral("Цикл-Б"), 4);
        refs.AddAccount(12, QStringLiteral("Счет 12"), 1);
        refs.AddAccount(13, QStringLiteral("Счет 13"), 1);
        refs.AddAccount(20, QStringLiteral("Счет 20"), 2);
        refs.AddAccount(77, QStringLiteral("Без клиента"), 404);
        refs.AddType(1, QStringLiteral("Метка счета"), 1);
        refs.AddType(2, QStringLiteral("Телефон"), 2, 2);
        refs.AddType(3, QStringLiteral("Примечание счета"), 1, 1);
        refs.AddValue(500, 13, 1, QStringLiteral("основной"));
        refs.AddValue(501, 2, 2, QStringLiteral("+7 495"));
        TFormUserInfo::SetSession(&session);
    }
    void TearDown() override { TFormUserInfo::SetSession(nullptr); }

    // A node's path of "Объект" texts below the top ("a/b/c"), for shape checks.
    static QString Path(const TUserInfoTree& tree, int node) {
        QStringList parts;
        for (int n = node; n != TUserInfoTree::None && tree.At(n).parent != TUserInfoTree::None;
             n = tree.At(n).parent)
            parts.prepend(tree.ObjectText(n));
        return parts.join(QLatin1Char('/'));
    }
    static QStringList Children(const TUserInfoTree& tree, int node) {
        QStringList texts;
        for (int r = 0; r < tree.At(node).childCount; ++r)
            texts << tree.ObjectText(tree.Child(node, r));
        return texts;
    }
    // The node at a path of child rows from the top.
    static int At(const TUserInfoTree& tree, std::initializer_list<int> rows) {
        int n = 0;
        for (int r : rows)
            n = tree.Child(n, r);
        return n;
    }
    ScriptedSession& Ses() { return hub.Get(QStringLiteral("sesUserInfo")); }
};

TEST_F(UserInfoFixture, ClientTreeNestsClientsAccountsAndInformation) {
    TFormUserInfo window;
    const TUserInfoTree& t = window.TreeClientsModel();
    EXPECT_EQ(window.Tabs().tabText(0), QStringLiteral("Клиенты->") + QLatin1Char('C') +
                                            QStringLiteral("чета->Пользовательская информация"));
    EXPECT_EQ(window.Tabs().tabText(1), QStringLiteral("Пользовательская информация->Клиенты\\") +
                                            QLatin1Char('C') + QStringLiteral("чета"));

    struct Case {
        std::initializer_list<int> rows;
        const char* text;
        std::initializer_list<const char*> children;
    } cases[] = {
        {{}, "ВСЕ КЛИЕНТЫ И СЧЕТА", {"0077 Без клиента", "Фирма", "Петров", "Цикл-Б"}},
        {{1}, "Фирма", {"Пользовательская информация", "0012 Счет 12", "0013 Счет 13", "Иванов"}},
        {{1, 0}, "Пользовательская информация", {"Телефон"}},
        {{1, 2}, "0013 Счет 13", {"Пользовательская информация"}},
        {{1, 2, 0}, "Пользовательская информация", {"Метка счета", "Примечание счета"}},
        {{1, 3}, "Иванов", {"Пользовательская информация", "0020 Счет 20"}},
        {{3}, "Цикл-Б", {"Пользовательская информация", "Цикл-А"}}, // the loop is cut once
    };
    for (const Case& c : cases) {
        const int n = At(t, c.rows);
        ASSERT_NE(n, TUserInfoTree::None) << c.text;
        EXPECT_EQ(t.ObjectText(n), QString::fromUtf8(c.text));
        QStringList expected;
        for (const char* child : c.children)
            expected << QString::fromUtf8(child);
        EXPECT_EQ(Children(t, n), expected) << c.text;
    }
    EXPECT_EQ(t.InfoText(At(t, {1, 2, 0, 0})), QStringLiteral("основной"));
    EXPECT_EQ(t.InfoText(At(t, {1, 1, 0, 0})), QString());
    EXPECT_EQ(t.InfoText(At(t, {1, 3, 0, 0})), QStringLiteral("+7 495"));
}

TEST_F(UserInfoFixture, InformationTreeListsEveryOwnerUnderEachType) {
    TFormUserInfo window;
    const TUserInfoTree& t = window.TreeUserInfoModel();
    EXPECT_EQ(t.ObjectText(0), QStringLiteral("ВСЕ ПОЛЬЗОВАТЕЛЬСКИЕ ДАННЫЕ"));
    EXPECT_EQ(Children(t, 0),
              (QStringList{QStringLiteral("По клиентам"), QStringLiteral("По счетам")}));
    EXPECT_EQ(Children(t, At(t, {0})), QStringList{QStringLiteral("Телефон")});
    EXPECT_EQ(Children(t, At(t, {1})),
              (QStringList{QStringLiteral("Метка счета"), QStringLiteral("Примечание счета")}));
    EXPECT_EQ(Children(t, At(t, {0, 0})).size(), refs.Clients.Count());
    EXPECT_EQ(Children(t, At(t, {1, 1})).size(), refs.Accounts.Count());
    EXPECT_EQ(t.InfoText(At(t, {1, 0, 1})), QStringLiteral("основной"));

    // Each pair once in each tree, found through the index.
    const TUserInfoTree& c = window.TreeClientsModel();
    struct Pair {
        int type, owner;
        const char* clientsPath;
        const char* infoPath;
    } pairs[] = {
        {1, 13, "Фирма/0013 Счет 13/Пользовательская информация/Метка счета",
         "По счетам/Метка счета/0013 Счет 13"},
        {2, 2, "Фирма/Иванов/Пользовательская информация/Телефон", "По клиентам/Телефон/Иванов"},
        {3, 77, "0077 Без клиента/Пользовательская информация/Примечание счета",
         "По счетам/Примечание счета/0077 Без клиента"},
    };
    for (const Pair& p : pairs) {
        EXPECT_EQ(Path(c, c.FindInfoNode(p.type, p.owner)), QString::fromUtf8(p.clientsPath));
        EXPECT_EQ(Path(t, t.FindInfoNode(p.type, p.owner)), QString::fromUtf8(p.infoPath));
    }
    EXPECT_EQ(c.FindInfoNode(2, 13), TUserInfoTree::None); // a client type on an account
    EXPECT_EQ(t.FindInfoNode(9, 1), TUserInfoTree::None);
}

TEST_F(UserInfoFixture, EditOnlyWhereAllowed) {
    TFormUserInfo window;
    window.show();
    struct Case {
        int tab;
        std::initializer_list<int> rows;
        bool edits;
    } cases[] = {
        {0, {1}, false},         // a client
        {0, {1, 1}, false},      // an account
        {0, {1, 0}, false},      // the information folder
        {0, {1, 1, 0, 0}, true}, // a type under an account
        {1, {1, 0}, false},      // a type
        {1, {1, 0, 2}, true},    // an account under a type
        {1, {0}, false},         // "По клиентам"
    };
    for (const Case& c : cases) {
        window.Tabs().setCurrentIndex(c.tab);
        TUserInfoTree& tree = c.tab == 0 ? window.TreeClientsModel() : window.TreeUserInfoModel();
        window.FocusNode(tree, At(tree, c.rows));
        window.EditFocused();
        QTreeView& view = c.tab == 0 ? window.TreeClients() : window.TreeUserInfo();
        const bool editing =
            view.findChild<QLineEdit*>() != nullptr && view.findChild<QLineEdit*>()->isVisible();
        EXPECT_EQ(editing, c.edits)
            << c.tab << " " << tree.ObjectText(At(tree, c.rows)).toStdString();
        window.EmptyTrees();
        window.Rebuild();
    }
}

TEST_F(UserInfoFixture, SavingSendsTheChangeAndCreatesMissingValuesInBothTrees) {
    TFormUserInfo window;
    TUserInfoTree& c = window.TreeClientsModel();
    TUserInfoTree& u = window.TreeUserInfoModel();
    const QString tail =
        QStringLiteral("BackParam=1") + QChar(0) + QStringLiteral("ShowResult=NO") + QChar(0);
    auto params = [&](const char* id, const char* owner, const char* type, const QString& text) {
        return QStringLiteral("chto=1821") + QChar(0) + QStringLiteral("param0=") +
               QLatin1String(id) + QChar(0) + QStringLiteral("param1=") + QLatin1String(owner) +
               QChar(0) + QStringLiteral("param2=") + QLatin1String(type) + QChar(0) +
               QStringLiteral("param3=") + text + QChar(0) + tail;
    };
    const int valuesBefore = refs.UserInfoValues.Count();

    // A new value on account 12 from the first tree: id 0, in both trees, old text shown.
    const int node = c.FindInfoNode(1, 12);
    c.setData(c.IndexOf(node, 1), QStringLiteral("новая метка"), Qt::EditRole);
    ASSERT_EQ(Ses().Sent().size(), 1u);
    EXPECT_EQ(Ses().Last().name, QStringLiteral("ExecQueryBB"));
    EXPECT_EQ(Ses().Last().params, params("0", "12", "1", QStringLiteral("новая метка")));
    ASSERT_NE(c.At(node).value, nullptr);
    EXPECT_EQ(c.At(node).value, u.At(u.FindInfoNode(1, 12)).value);
    EXPECT_EQ(c.At(node).value->Id, 0);
    EXPECT_EQ(c.InfoText(node), QString());
    EXPECT_EQ(refs.UserInfoValues.Count(), valuesBefore + 1);

    // An existing value from the second tree sends its id and creates nothing; an
    // empty text goes out empty.
    const int existing = u.FindInfoNode(1, 13);
    u.setData(u.IndexOf(existing, 1), QString(), Qt::EditRole);
    EXPECT_EQ(Ses().Last().params, params("500", "13", "1", QString()));
    EXPECT_EQ(refs.UserInfoValues.Count(), valuesBefore + 1);

    // A new client value from the second tree.
    u.setData(u.IndexOf(u.FindInfoNode(2, 3), 1), QStringLiteral("x"), Qt::EditRole);
    EXPECT_EQ(Ses().Last().params, params("0", "3", "2", QStringLiteral("x")));
    EXPECT_NE(c.At(c.FindInfoNode(2, 3)).value, nullptr);

    // Cells that are not editable send nothing.
    const size_t sent = Ses().Sent().size();
    c.setData(c.IndexOf(At(c, {1}), 1), QStringLiteral("no"), Qt::EditRole);
    u.setData(u.IndexOf(At(u, {1, 0}), 1), QStringLiteral("no"), Qt::EditRole);
    EXPECT_EQ(Ses().Sent().size(), sent);
}

TEST_F(UserInfoFixture, TabSwitchSelectsTheSamePairAndTheCaptionFollows) {
    TFormUserInfo window;
    window.show();
    TUserInfoTree& c = window.TreeClientsModel();
    TUserInfoTree& u = window.TreeUserInfoModel();
    window.FocusNode(c, c.FindInfoNode(1, 12));
    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("Справочник клиентов и счетов\\Фирма\\0012 Счет 12"));
    window.Tabs().setCurrentIndex(1);
    EXPECT_EQ(window.FocusedNode(u), u.FindInfoNode(1, 12));
    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("Справочник клиентов и счетов\\Метка счета\\0012 Счет 12"));

    window.FocusNode(u, u.FindInfoNode(2, 2));
    window.Tabs().setCurrentIndex(0);
    EXPECT_EQ(window.FocusedNode(c), c.FindInfoNode(2, 2));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Справочник клиентов и счетов\\Фирма\\Иванов"));

    // A node that is not a pair leaves the other tree alone.
    window.FocusNode(c, At(c, {1}));
    const int before = window.FocusedNode(u);
    window.Tabs().setCurrentIndex(1);
    EXPECT_EQ(window.FocusedNode(u), before);
}

TEST_F(UserInfoFixture, RefreshEmptiesUnderAnOpenEditorAndAsksForTheValues) {
    TFormUserInfo window;
    window.show();
    TUserInfoTree& c = window.TreeClientsModel();
    window.FocusNode(c, c.FindInfoNode(1, 13));
    window.EditFocused();
    auto* editor = window.TreeClients().findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("не сохранять"));

    window.RefreshValues();
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(window.TreeUserInfoModel().Count(), 0);
    // The reference data go as a reload frees them; nothing may touch them now.
    refs.ClearUserInfoValues();
    refs.UserInfoValues.Clear();
    QApplication::processEvents();
    ASSERT_EQ(Ses().Sent().size(), 1u);
    EXPECT_EQ(Ses().Last().name, QStringLiteral("SpisokBB"));
    EXPECT_EQ(Ses().Last().params,
              QStringLiteral("chto=421") + QChar(0) + QStringLiteral("BackParam=1") + QChar(0));

    window.Rebuild();
    EXPECT_EQ(c.InfoText(c.FindInfoNode(1, 13)), QString());
    EXPECT_GT(c.Count(), 0);
}

} // namespace
