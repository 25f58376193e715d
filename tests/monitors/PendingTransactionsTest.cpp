// The pending transactions window: its request with the filter fragment, the colours
// by state, the cancellation and its answers, the copy into a new transaction.
#include "ListWindowTestSupport.h"
#include "monitors/INewTransactionDialog.h"
#include "monitors/TFormEditProvDesc.h"
#include "monitors/TFormProvWait.h"
#include "shell/base/Services.h"
#include "shell/contract/ShellEvents.h"
#include "shell/contract/ShellLink.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolBar>

using namespace listtest;

namespace {

struct Boxes : IMessageBoxService {
    int Show(QWidget*, const QString& text, const QString&, MsgKind, int, bool) override {
        texts << text;
        return answer;
    }
    QStringList texts;
    int answer = MsgYes;
};

struct Dialog : INewTransactionDialog {
    void OpenEmpty() override { calls << QStringLiteral("empty"); }
    void OpenFilled(const QString& a, const QString& b, const QString& c, const QString& d,
                    const QString& e, const QString& f) override {
        calls << QStringList{a, b, c, d, e, f}.join(u'|');
    }
    QStringList calls;
};

class PendingTransactions : public ::testing::Test {
protected:
    void SetUp() override {
        TReferenceData::SetCurrent(&refs);
        Services::SetMessageBox(boxes);
        INewTransactionDialog::SetCurrent(&dialog);
        TShellLink::Connect({[this](int n) { broadcasts << n; },
                             [this](const QString& text, MsgKind kind, int buttons) {
                                 posted << text;
                                 postedKind = kind;
                                 postedButtons = buttons;
                             }});
        form = std::make_unique<TFormProvWait>();
        ses = &hub.Get(QStringLiteral("SesProvWait"));
    }
    void TearDown() override {
        form.reset();
        TShellLink::Disconnect();
        INewTransactionDialog::SetCurrent(nullptr);
        Services::SetMessageBox(nullptr);
        TReferenceData::SetCurrent(nullptr);
    }
    void Load() {
        AnswerBuilder b;
        b.Metadata(QStringLiteral("SpisokBB.207"));
        for (const char* name : {"ID", "PROV_STATUS", "PROV_SUM", "PROV_TEXT", "BUM_NAME",
                                 "BUM_AVG_PRICE", "SOURCE_ACCOUNT_ID", "DEST_ACCOUNT_ID"})
            b.Text(QString::fromLatin1(name));
        b.Row({"801", "10", "100,5", "Перевод", "_Деньги.Фондовый", "0", "5", "7"});
        b.Row({"802", "20", "3", "", "SBER", "250", "7", "0"});
        b.Row({"803", "x", "1", "", "SBER", "1", "7", "5"});
        form->SesProvWaitLogin();
        ses->FeedData(Echo(*ses, b.Build()));
    }
    void Select(int dataRow, int tag) {
        TAdvColumnGrid& g = form->GridProvWait();
        g.setCurrentIndex(g.model()->index(dataRow, g.DisplColIndex(gridcols::RealByTag(g, tag))));
    }
    void Press(const char* button) {
        QAction* b = form->Panel1()->findChild<QAction*>(QString::fromLatin1(button));
        ASSERT_NE(b, nullptr) << button;
        b->trigger();
    }

    ScriptedSessionHub hub;
    TReferenceData refs;
    std::shared_ptr<Boxes> boxes = std::make_shared<Boxes>();
    Dialog dialog;
    QList<int> broadcasts;
    QStringList posted;
    MsgKind postedKind = MsgKind::None;
    int postedButtons = 0;
    std::unique_ptr<TFormProvWait> form;
    ScriptedSession* ses = nullptr;
};

} // namespace

TEST_F(PendingTransactions, TheFragmentGoesUnchangedBetweenTheQueryAndOneMoreNul) {
    EXPECT_EQ(ses->LoginCalls(), 1); // logs in at creation
    ses->RaiseLogin();
    EXPECT_EQ(ses->Last().params, QStringLiteral("chto=207") + QChar(0) + QChar(0));
    ses->FeedData(Echo(*ses, AnswerBuilder()
                                 .Metadata(QStringLiteral("SpisokBB.207"))
                                 .Text(QStringLiteral("ID"))
                                 .Build()));
    const QString fragment = Pieces({"filter_bum=-1,12", "filter_source_acc=5,7"});
    form->setProperty("SQLFilter", fragment); // sends at once
    EXPECT_EQ(ses->Last().params, QStringLiteral("chto=207") + QChar(0) + fragment + QChar(0) +
                                      Pieces({"NoSendMetadata=1"}));
    // The NULs survive the property both ways.
    EXPECT_EQ(form->property("SQLFilter").toString(), fragment);
    const size_t sent = ses->Sent().size();
    QEvent pending(ShellEventType(kEventPendingTransactionsChanged));
    QCoreApplication::sendEvent(form.get(), &pending);
    QEvent transactions(ShellEventType(kEventTransactionsChanged));
    QCoreApplication::sendEvent(form.get(), &transactions);
    EXPECT_EQ(ses->Sent().size(), sent + 1);
}

TEST_F(PendingTransactions, RowsAreGreenWhileWaitingAndSilverWhenCancelled) {
    Load();
    TAdvColumnGrid& g = form->GridProvWait();
    const int sum = gridcols::RealByTag(g, TFormProvWait::kSum);
    const int id = gridcols::RealByTag(g, TFormProvWait::kId); // the fixed column
    EXPECT_EQ(g.CellLook(sum, 1).Background, QColor(0, 255, 0));
    EXPECT_EQ(g.CellLook(sum, 2).Background, QColor(192, 192, 192));
    EXPECT_FALSE(g.CellLook(sum, 3).Background.isValid());
    EXPECT_NE(g.CellLook(id, 1).Background, QColor(0, 255, 0));
}

TEST_F(PendingTransactions, CancellationAsksSendsAndFollowsTheResultCode) {
    Load();
    Select(0, TFormProvWait::kSum);
    boxes->answer = MsgNo;
    Press("BtnDelProvWait");
    EXPECT_EQ(boxes->texts, QStringList{QStringLiteral("Удалить отложенную проводку №801")});
    // The command session attaches on its first use.
    EXPECT_EQ(hub.Find(QStringLiteral("sesProvWaitDel")), nullptr);
    boxes->answer = MsgYes;
    Press("BtnDelProvWait");
    ScriptedSession& del = hub.Get(QStringLiteral("sesProvWaitDel"));
    ASSERT_EQ(del.Sent().size(), 1u);
    EXPECT_TRUE(del.Last().command);
    EXPECT_EQ(del.Last().name, QStringLiteral("ExecQueryBB"));
    EXPECT_EQ(del.Last().params, Pieces({"chto", "102", "param0", "801"}));

    const auto answer = [](int code, const char* message) {
        return AnswerBuilder()
            .Metadata(QStringLiteral("ExecQueryBB.102"))
            .Int(QStringLiteral("RESULT_CODE"))
            .Text(QStringLiteral("RESULT_MSG"))
            .Row({code, message})
            .Build();
    };
    del.FeedData(answer(-1, "Отложенная проводка №801 не ожидает исполнения"));
    EXPECT_EQ(posted,
              QStringList{QStringLiteral("Отложенная проводка №801 не ожидает исполнения")});
    EXPECT_EQ(postedKind, MsgKind::Warning);
    EXPECT_EQ(postedButtons, int(MsgCancel));
    EXPECT_TRUE(broadcasts.isEmpty());
    del.FeedData(answer(0, ""));
    EXPECT_EQ(broadcasts, QList<int>{kEventPendingTransactionsChanged});
    ScriptedAnswer bare; // no metadata: the default code 0 reads as success
    bare.rows = {QStringLiteral("x") + QChar(0)};
    del.FeedData(bare);
    EXPECT_EQ(broadcasts.size(), 2);
}

TEST_F(PendingTransactions, CopyOpensFilledFromARowAndEmptyFromTheHeaderOrAnEmptyCell) {
    Load();
    Select(0, TFormProvWait::kSum);
    Press("BtnCopyProv");
    Select(1, TFormProvWait::kText); // empty cell
    Press("BtnCopyProv");
    Select(1, TFormProvWait::kSum);
    Press("BtnCopyProv");
    EXPECT_EQ(dialog.calls,
              (QStringList{QStringLiteral("5|7|0|Перевод|100,5|_Деньги.Фондовый"),
                           QStringLiteral("empty"), QStringLiteral("7|0|250||3|SBER")}));
}

TEST(TransactionDescription, TextsAreCutAtOneHundredAndTheChangeCommandKeepsEmptyValues) {
    TFormEditProvDesc dialog;
    dialog.meUserText()->setPlainText(QString(150, QLatin1Char('a')));
    EXPECT_EQ(dialog.meUserText()->toPlainText().size(), 100);
    dialog.edSpecialCodes()->setText(QString(150, QLatin1Char('b')));
    EXPECT_EQ(dialog.edSpecialCodes()->text().size(), 100);
    QString reason = QStringLiteral("Строка 1\nСтрока 2");
    QString codes = QStringLiteral("K1");
    QTimer::singleShot(0, &dialog, [&] {
        dialog.edSpecialCodes()->setText(QStringLiteral("K2"));
        dialog.accept();
    });
    ASSERT_TRUE(dialog.Edit(reason, codes));
    EXPECT_EQ(reason, QStringLiteral("Строка 1\nСтрока 2"));
    EXPECT_EQ(codes, QStringLiteral("K2"));
    EXPECT_EQ(TFormEditProvDesc::ReasonChangeParams(QStringLiteral("300001"), QString(),
                                                    QStringLiteral("K2")),
              Pieces({"chto", "103", "param0", "300001", "param1", "", "param2", "K2"}));
}
