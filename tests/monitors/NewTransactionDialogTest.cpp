// The new-transaction dialog: its lists, the parsing of a copied row, the checks of OK
// in their order, the command it sends and what its answers do.
#include "ListWindowTestSupport.h"
#include "controls/TNumberEdit.h"
#include "grids/IdNameList.h"
#include "grids/TComboBoxIndexed.h"
#include "monitors/TFormNewProv.h"
#include "monitors/TFormProv.h"
#include "monitors/TFormProvWait.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Log.h"
#include "shell/base/Services.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/contract/ShellEvents.h"
#include "shell/contract/ShellLink.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace listtest;

namespace {

struct Box {
    QString text;
    MsgKind kind;
    int buttons;
};

struct Boxes : IMessageBoxService {
    int Show(QWidget*, const QString& text, const QString&, MsgKind kind, int buttons,
             bool) override {
        shown.push_back({text, kind, buttons});
        return answer;
    }
    std::vector<Box> shown;
    int answer = MsgYes;
};

constexpr int kMoney = -1;
constexpr int kSecurity = 12;

class NewTransaction : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(logDir.isValid());
        SetLogFileName(logDir.filePath(QStringLiteral("test.log")));
        TReferenceData::SetCurrent(&refs);
        Services::SetMessageBox(boxes);
        TShellLink::Connect({[this](int n) { broadcasts << n; }, nullptr});
        FillRefs(refs, 3);
        dialog = std::make_unique<TFormNewProv>();
        dialog->FillControls(refs);
    }
    void TearDown() override {
        dialog.reset();
        TShellLink::Disconnect();
        Services::SetMessageBox(nullptr);
        TReferenceData::SetCurrent(nullptr);
        SetLogFileName(QString());
    }
    static void FillRefs(TReferenceData& r, int userKind) {
        r.UserKind = userKind;
        for (const auto& [id, name] : {std::pair{5, "Счет 5"}, std::pair{7, "Счет 7"}}) {
            auto a = std::make_unique<TAccObj>();
            a->Id = id;
            a->Name = QString::fromUtf8(name);
            r.TransactionAccounts.Append(std::move(a));
        }
        auto money = std::make_unique<TMoneyObj>();
        money->Id = kMoney;
        money->Name = QStringLiteral("_Деньги.Фондовый");
        r.MoneyItems.Append(std::move(money));
        for (const auto& [id, name, subType] :
             {std::tuple{kSecurity, "SBER", 0}, std::tuple{13, "FUT5", 5},
              std::tuple{14, "FUT6", 6}, std::tuple{15, "GAZP", 1}}) {
            auto s = std::make_unique<TBumObj>();
            s->Id = id;
            s->Name = QString::fromUtf8(name);
            s->StockSubType = subType;
            r.Securities.Append(std::move(s));
        }
    }
    static QStringList Items(const QComboBox& box) {
        QStringList items;
        for (int i = 0; i < box.count(); ++i)
            items << box.itemData(i, TIdNameListModel::IdRole).toString() + QLatin1Char(' ') +
                         box.itemText(i);
        return items;
    }
    static void Choose(QComboBox* box, int id) {
        for (int i = 0; i < box->count(); ++i)
            if (box->itemData(i, TIdNameListModel::IdRole).toInt() == id)
                box->setCurrentIndex(i);
    }
    // Shows the dialog with the fields set; -100 leaves a list without a choice.
    void Fill(int bum, int out, int in, const QString& sum, const QString& price,
              const QString& memo = QString(), int type = TFormNewProv::kOrdinary) {
        dialog->PrepareEmpty();
        dialog->show();
        Choose(dialog->CbBum(), bum);
        Choose(dialog->AccOut(), out);
        Choose(dialog->AccIn(), in);
        dialog->cbProvType()->setCurrentIndex(type);
        dialog->Sum()->setText(sum);
        dialog->Price()->setText(price);
        dialog->ProvMemo()->setPlainText(memo);
    }
    QString Log() const {
        QFile f(logDir.filePath(QStringLiteral("test.log")));
        return f.open(QIODevice::ReadOnly) ? Cp1251::Decode(f.readAll()) : QString();
    }
    ScriptedSession* Commands() { return hub.Find(QStringLiteral("SesPrIns")); }
    void Answer(const char* first, const char* second = "") {
        ScriptedSession& s = hub.Get(QStringLiteral("SesPrIns"));
        s.FeedData(AnswerBuilder().Row({first, second, 0}).Build());
    }

    QTemporaryDir logDir;
    ScopedWorkstationLocale locale{WorkstationLocale::Russian()};
    ScriptedSessionHub hub;
    TReferenceData refs;
    std::shared_ptr<Boxes> boxes = std::make_shared<Boxes>();
    QList<int> broadcasts;
    std::unique_ptr<TFormNewProv> dialog;
};

} // namespace

TEST_F(NewTransaction, ListsHoldCopiesOfTheAccountsAndTheTradableInstruments) {
    EXPECT_EQ(Items(*dialog->AccOut()),
              (QStringList{QStringLiteral("0  Внешний контрагент"), QStringLiteral("5 Счет 5"),
                           QStringLiteral("7 Счет 7")}));
    EXPECT_EQ(Items(*dialog->AccIn()), Items(*dialog->AccOut()));
    EXPECT_EQ(Items(*dialog->CbBum()),
              (QStringList{QStringLiteral("-1 _Деньги.Фондовый"), QStringLiteral("12 SBER"),
                           QStringLiteral("15 GAZP")}));
    EXPECT_TRUE(Log().contains(QStringLiteral("Заполнение списков в окне продок.")));
    EXPECT_EQ(INewTransactionDialog::Current(), dialog.get());

    // Without UserKind 3 there is no external counterparty; a reload keeps a choice by
    // its id, and the lists outlive the reference objects they were read from.
    Choose(dialog->AccOut(), 7);
    {
        TReferenceData other;
        FillRefs(other, 1);
        dialog->FillControls(other);
    }
    EXPECT_EQ(Items(*dialog->AccIn()),
              (QStringList{QStringLiteral("5 Счет 5"), QStringLiteral("7 Счет 7")}));
    EXPECT_EQ(dialog->AccOut()->currentText(), QStringLiteral("Счет 7"));

    // Typing a number selects by id.
    int found = -1;
    bool ok = false;
    dialog->CbBum()->OnSearchNumericEx(dialog->CbBum(), 15, found, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(found, 2);
    dialog->CbBum()->OnSearchNumericEx(dialog->CbBum(), 13, found, ok);
    EXPECT_FALSE(ok);
}

TEST_F(NewTransaction, OpenFilledReadsIdsNamesAndGroupedNumbers) {
    struct Case {
        const char *out, *in, *price, *amount, *instrument;
        const char *outText, *inText, *bumText;
        double sum, priceValue;
    };
    const Case cases[] = {
        {"5", "7", "250,5", "1\u00a0234\u00a0567,89", "sber", "Счет 5", "Счет 7", "SBER",
         1234567.89, 250.5},
        {"x", "7", "", "abc", "_деньги.фондовый", " Внешний контрагент", "Счет 7",
         "_Деньги.Фондовый", 0, 0},
        {"9", "", "1 000", "-3", "Нет такой", "", " Внешний контрагент", "", -3, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.amount);
        dialog->PrepareFilled(QString::fromUtf8(c.out), QString::fromUtf8(c.in),
                              QString::fromUtf8(c.price), QStringLiteral("Основание"),
                              QString::fromUtf8(c.amount), QString::fromUtf8(c.instrument));
        EXPECT_EQ(dialog->AccOut()->currentText(), QString::fromUtf8(c.outText));
        EXPECT_EQ(dialog->AccIn()->currentText(), QString::fromUtf8(c.inText));
        EXPECT_EQ(dialog->CbBum()->currentText(), QString::fromUtf8(c.bumText));
        EXPECT_DOUBLE_EQ(dialog->Sum()->Value(), c.sum);
        EXPECT_DOUBLE_EQ(dialog->Price()->Value(), c.priceValue);
        EXPECT_FALSE(dialog->Sum()->IsEmpty());
        EXPECT_EQ(dialog->ProvMemo()->toPlainText(), QStringLiteral("Основание"));
    }
    dialog->PrepareEmpty();
    EXPECT_TRUE(dialog->Sum()->IsEmpty());
    EXPECT_EQ(dialog->CbBum()->currentIndex(), -1);
    EXPECT_EQ(dialog->ProvMemo()->toPlainText(), QString());
}

TEST_F(NewTransaction, OkChecksInOrderAndSendsTheChosenQuery) {
    const QString nothing = QStringLiteral("Заполнены не все обязательные поля!");
    const QString zero = QStringLiteral("Средневзвешенная цена 0? Вы уверены?");
    const QString bad =
        QStringLiteral("Недопустимое занчение суммы проводки или средневзвешенной цены!");
    struct Case {
        const char* what;
        int bum, out, in;
        const char *sum, *price;
        int type;
        int answer; // to the price-0 question
        std::vector<std::pair<QString, MsgKind>> boxes;
        QString sent; // the parameters, empty when nothing is sent
    };
    const Case cases[] = {
        {"no amount", kMoney, 5, 7, "", "0", 0, MsgYes, {{nothing, MsgKind::Error}}, {}},
        {"no receiver", kMoney, 5, -100, "1", "0", 0, MsgYes, {{nothing, MsgKind::Error}}, {}},
        {"security at price 0, No",
         kSecurity,
         5,
         7,
         "-1",
         "0",
         0,
         MsgNo,
         {{zero, MsgKind::Warning}},
         {}},
        {"security at price 0, Yes, negative",
         kSecurity,
         5,
         7,
         "-1",
         "0",
         0,
         MsgYes,
         {{zero, MsgKind::Warning}, {bad, MsgKind::Error}},
         {}},
        {"negative price", kMoney, 5, 7, "1", "-2", 0, MsgYes, {{bad, MsgKind::Error}}, {}},
        {"fractional security",
         kSecurity,
         5,
         7,
         "10,5",
         "3",
         0,
         MsgYes,
         {{bad, MsgKind::Error}},
         {}},
        {"money between accounts",
         kMoney,
         5,
         7,
         "1234567,89",
         "0",
         0,
         MsgYes,
         {},
         Pieces({"chto", "100", "param0", "5", "param1", "7", "param2", "-1", "param3",
                 "1234567.89", "param4", "", "param5", "0"})},
        {"from the external counterparty",
         kSecurity,
         0,
         7,
         "10",
         "250,125",
         0,
         MsgYes,
         {},
         Pieces({"chto", "110", "param0", "0", "param1", "7", "param2", "12", "param3", "10",
                 "param4", "", "param5", "250.125"})},
        {"deferred",
         kMoney,
         0,
         7,
         "10,5",
         "0",
         1,
         MsgYes,
         {},
         Pieces({"chto", "101", "param0", "0", "param1", "7", "param2", "-1", "param3", "10.5",
                 "param4", "", "param5", "0"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fill(c.bum, c.out, c.in, QString::fromUtf8(c.sum), QString::fromUtf8(c.price), QString(),
             c.type);
        boxes->shown.clear();
        boxes->answer = c.answer;
        const size_t before = Commands() ? Commands()->Sent().size() : 0;
        dialog->BtnOkClick();
        ASSERT_EQ(boxes->shown.size(), c.boxes.size());
        for (size_t i = 0; i < c.boxes.size(); ++i) {
            EXPECT_EQ(boxes->shown[i].text, c.boxes[i].first);
            EXPECT_EQ(boxes->shown[i].kind, c.boxes[i].second);
            EXPECT_EQ(boxes->shown[i].buttons,
                      c.boxes[i].second == MsgKind::Warning ? MsgYes | MsgNo : int(MsgCancel));
        }
        const size_t after = Commands() ? Commands()->Sent().size() : 0;
        if (c.sent.isEmpty()) {
            EXPECT_EQ(after, before);
            EXPECT_TRUE(dialog->BtnOk()->isEnabled());
            EXPECT_FALSE(dialog->Busy());
            continue;
        }
        ASSERT_EQ(after, before + 1);
        EXPECT_TRUE(Commands()->Last().command);
        EXPECT_EQ(Commands()->Last().name, QStringLiteral("ExecQueryBB"));
        EXPECT_EQ(Commands()->Last().params, c.sent);
        EXPECT_FALSE(dialog->BtnOk()->isEnabled());
        EXPECT_TRUE(dialog->Busy());
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(dialog->isVisible()); // only the server's "0" closes it
        Answer("-1", "refused");
        EXPECT_FALSE(dialog->Busy());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        dialog->hide();
    }
}

TEST_F(NewTransaction, AnswersCloseOnlyOnZeroAndTheOpenerBroadcastsByType) {
    // A refusal: open, OK disabled and silent until the type changes.
    Fill(kMoney, 5, 7, QStringLiteral("10"), QStringLiteral("0"));
    dialog->BtnOkClick();
    Answer("-1", "Недостаточно средств");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->BtnOk()->isEnabled());
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_TRUE(
        Log().contains(QStringLiteral("ExecQueryBB 100 -> \"-1\" \"Недостаточно средств\"")));
    dialog->BtnOkClick(); // a disabled OK does nothing
    EXPECT_EQ(Commands()->Sent().size(), 1u);
    dialog->cbProvTypeChange();
    EXPECT_TRUE(dialog->BtnOk()->isEnabled());
    dialog->hide();

    // "0" closes the modal dialog with OK; the opener broadcasts 1223, or 1222 when deferred.
    for (const auto& [type, event] :
         {std::pair{int(TFormNewProv::kOrdinary), kEventTransactionsChanged},
          std::pair{int(TFormNewProv::kDeferred), kEventPendingTransactionsChanged}}) {
        broadcasts.clear();
        QTimer::singleShot(0, dialog.get(), [&, type = type] {
            Choose(dialog->CbBum(), kMoney);
            Choose(dialog->AccOut(), 5);
            Choose(dialog->AccIn(), 7);
            dialog->cbProvType()->setCurrentIndex(type);
            dialog->Sum()->setText(QStringLiteral("10"));
            dialog->BtnOkClick();
            Answer("0");
        });
        dialog->OpenEmpty();
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(broadcasts, QList<int>{event});
    }

    // An answer after Cancel closes nothing, but a "0" still tells the lists.
    Fill(kMoney, 5, 7, QStringLiteral("10"), QStringLiteral("0"), QString(),
         TFormNewProv::kDeferred);
    dialog->BtnOkClick();
    dialog->reject();
    EXPECT_FALSE(dialog->Busy());
    broadcasts.clear();
    Answer("0");
    EXPECT_EQ(broadcasts, QList<int>{kEventPendingTransactionsChanged});

    // A lost command leaves no busy cursor and an OK that works again.
    Fill(kMoney, 5, 7, QStringLiteral("10"), QStringLiteral("0"));
    dialog->BtnOkClick();
    hub.Get(QStringLiteral("SesPrIns")).RaiseDisconnect();
    EXPECT_FALSE(dialog->Busy());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialog->BtnOk()->isEnabled());
    dialog->hide();
}

TEST_F(NewTransaction, BalanceIsAskedOnEnteringTheAmountAndMoneyGreysThePrice) {
    Fill(kSecurity, 5, 7, QString(), QString());
    EXPECT_TRUE(dialog->Price()->isEnabled());
    dialog->SumEnter();
    ScriptedSession& saldo = hub.Get(QStringLiteral("SesSaldo"));
    EXPECT_FALSE(saldo.Last().command);
    EXPECT_EQ(saldo.Last().name, QStringLiteral("SpisokBB"));
    EXPECT_EQ(saldo.Last().params, Pieces({"chto=401", "param0=5", "param1=12"}));
    saldo.FeedData(AnswerBuilder().Row({"1500.5"}).Build());
    EXPECT_DOUBLE_EQ(dialog->Saldo()->Value(), 1500.5);
    saldo.FeedData(AnswerBuilder().Row({"много"}).Build());
    EXPECT_DOUBLE_EQ(dialog->Saldo()->Value(), 0);
    EXPECT_TRUE(Log().contains(QStringLiteral("FormNewProv.SesSaldoData")));

    // The user's choice of money greys the price, and so does showing a copied money row.
    Choose(dialog->CbBum(), kMoney);
    dialog->CbBumChange();
    EXPECT_FALSE(dialog->Price()->isEnabled());
    EXPECT_EQ(dialog->Price()->palette().color(QPalette::Base),
              dialog->palette().color(QPalette::Window));
    dialog->hide();
    dialog->PrepareFilled(QStringLiteral("5"), QStringLiteral("7"), QStringLiteral("0"), QString(),
                          QStringLiteral("1"), QStringLiteral("SBER"));
    dialog->show();
    EXPECT_TRUE(dialog->Price()->isEnabled());
    dialog->hide();
    dialog->PrepareFilled(QStringLiteral("5"), QStringLiteral("7"), QStringLiteral("0"), QString(),
                          QStringLiteral("1"), QStringLiteral("_Деньги.Фондовый"));
    dialog->show();
    EXPECT_FALSE(dialog->Price()->isEnabled());

    // Without a sender nothing is asked.
    dialog->AccOut()->setCurrentIndex(-1);
    const size_t sent = saldo.Sent().size();
    dialog->SumEnter();
    EXPECT_EQ(saldo.Sent().size(), sent);
    dialog->hide();
}

TEST_F(NewTransaction, ReasonIsCutAtOneHundredAndNumbersGoAsShortestDotTexts) {
    dialog->ProvMemo()->setPlainText(QString(150, QLatin1Char('a')) + QStringLiteral("\nb"));
    EXPECT_EQ(dialog->ProvMemo()->toPlainText().size(), 100);
    const std::pair<double, const char*> numbers[] = {
        {1234567.89, "1234567.89"}, {10, "10"}, {0.0001, "0.0001"}, {250.125, "250.125"}};
    for (const auto& [value, text] : numbers)
        EXPECT_EQ(TFormNewProv::CommandNumber(value), QString::fromLatin1(text));
}

TEST_F(NewTransaction, EachListWindowReloadsOnlyOnItsOwnEvent) {
    // The lists' dialog actions are alive while the dialog exists.
    TFormProv transactions;
    TFormProvWait pending;
    for (QAction* a : transactions.PopupMenu()->actions())
        EXPECT_TRUE(a->text() != QStringLiteral("Новая проводка") || a->isEnabled());
    ScriptedSession& prov = hub.Get(QStringLiteral("SesProv"));
    ScriptedSession& wait = hub.Get(QStringLiteral("SesProvWait"));
    prov.RaiseLogin();
    wait.RaiseLogin();
    for (const auto& [event, provSends, waitSends] :
         {std::tuple{kEventTransactionsChanged, 1u, 0u},
          std::tuple{kEventPendingTransactionsChanged, 0u, 1u}}) {
        const size_t p = prov.Sent().size();
        const size_t w = wait.Sent().size();
        QEvent e(ShellEventType(event));
        QCoreApplication::sendEvent(&transactions, &e);
        QCoreApplication::sendEvent(&pending, &e);
        EXPECT_EQ(prov.Sent().size(), p + provSends) << event;
        EXPECT_EQ(wait.Sent().size(), w + waitSends) << event;
    }
}
