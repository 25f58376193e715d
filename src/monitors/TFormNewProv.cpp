#include "monitors/TFormNewProv.h"
#include "controls/TNumberEdit.h"
#include "grids/IdNameList.h"
#include "grids/TComboBoxIndexed.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/NumberText.h"
#include "shell/base/Services.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/contract/ShellEvents.h"
#include "shell/contract/ShellLink.h"
#include "shell/refs/ReferenceData.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include <cmath>

namespace {

const QString kCaption = QStringLiteral("Проводка");
const QString kNotAllFields = QStringLiteral("Заполнены не все обязательные поля!");
const QString kZeroPrice = QStringLiteral("Средневзвешенная цена 0? Вы уверены?");
const QString kBadValue =
    QStringLiteral("Недопустимое занчение суммы проводки или средневзвешенной цены!");
const QString kExternalName = QStringLiteral(" Внешний контрагент");
constexpr qint32 kExternalAccount = 0;

QString Key(QLatin1StringView key) {
    return QString(key);
}

// The "0" of an answer that says the command was done.
bool Done(const QString& field) {
    return field == QLatin1String("0");
}

} // namespace

TFormNewProv::TFormNewProv(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kCaption);
    setObjectName(QStringLiteral("FormNewProv"));
    instruments_ = new TIdNameListModel(this);
    accounts_ = new TIdNameListModel(this);
    sesPrIns_ = std::make_unique<TBrokerSession>(QStringLiteral("SesPrIns"), false);
    sesSaldo_ = std::make_unique<TBrokerSession>(QStringLiteral("SesSaldo"), false);
    sesPrIns_->OnData = [this](TBrokerSession*) {
        GuardStep(QStringLiteral("FormNewProv.SesPrInsData"), [this] { SesPrInsData(); });
    };
    sesPrIns_->OnDisconnect = [this](TBrokerSession*) { SesPrInsDisconnect(); };
    sesSaldo_->OnData = [this](TBrokerSession*) { SesSaldoData(); };

    auto* grid = new QGridLayout(this);
    int row = 0;
    const auto label = [&](const QString& text, QWidget* field, int span = 2) {
        auto* l = new QLabel(text, this);
        l->setBuddy(field);
        grid->addWidget(l, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
        grid->addWidget(field, row, 1, 1, span);
        ++row;
    };
    const auto list = [&](const char* name, TIdNameListModel& model) {
        auto* box = new TComboBoxIndexed(this);
        box->setObjectName(QString::fromLatin1(name));
        UseIdNameList(*box, model);
        box->setMinimumWidth(320);
        return box;
    };
    cbBum_ = list("CbBum", *instruments_);
    label(QStringLiteral("Наименование инструмента"), cbBum_);
    provType_ = new QComboBox(this);
    provType_->setObjectName(QStringLiteral("cbProvType"));
    provType_->addItems(
        {QStringLiteral("Обычная проводка"), QStringLiteral("Отложенная проводка")});
    label(QStringLiteral("Тип операци"), provType_);
    accOut_ = list("AccOut", *accounts_);
    label(QStringLiteral("Счет отправителя"), accOut_);
    accIn_ = list("AccIn", *accounts_);
    label(QStringLiteral("Счет получателя"), accIn_);

    sum_ = new TNumberEdit(2, QStringLiteral(",##0.##"), this);
    sum_->setObjectName(QStringLiteral("Sum"));
    saldo_ = new TNumberEdit(2, QStringLiteral(",##0.##"), this);
    saldo_->setObjectName(QStringLiteral("Saldo"));
    saldo_->setReadOnly(true);
    saldo_->setFocusPolicy(Qt::NoFocus);
    saldo_->setToolTip(QStringLiteral("Остаток на счету отправителя"));
    QPalette readOnly = saldo_->palette(); // shown, never typed in
    readOnly.setColor(QPalette::Base, readOnly.color(QPalette::Window));
    saldo_->setPalette(readOnly);
    label(QStringLiteral("Сумма проводки"), sum_, 1);
    grid->addWidget(saldo_, row - 1, 2);
    price_ = new TNumberEdit(4, QStringLiteral("0.####"), this);
    price_->setObjectName(QStringLiteral("Price"));
    label(QStringLiteral("Средневзвешенная цена\n(только для ценных бумаг)"), price_, 1);
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("ProvMemo"));
    memo_->setTabChangesFocus(true);
    memo_->setFixedHeight(memo_->fontMetrics().lineSpacing() * 4 + 10);
    label(QStringLiteral("Основание проводки"), memo_);

    btnOk_ = new QPushButton(QStringLiteral("OK"), this);
    btnOk_->setObjectName(QStringLiteral("BtnOk"));
    btnCancel_ = new QPushButton(QStringLiteral("Отмена"), this);
    btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);
    grid->addLayout(buttons, row, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    // The layout is the widening rule: the fields and buttons always fit.
    grid->setSizeConstraint(QLayout::SetMinimumSize);

    // OK checks and sends; only the server's "0" closes the dialog.
    btnOk_->setAutoDefault(false);
    btnOk_->setDefault(false);
    btnCancel_->setAutoDefault(false);
    connect(btnOk_, &QPushButton::clicked, this, [this] {
        GuardStep(QStringLiteral("FormNewProv.BtnOkClick"), [this] { BtnOkClick(); });
    });
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    cbBum_->OnChange = [this] { CbBumChange(); };
    accOut_->OnChange = [this] { AccOutChange(); };
    connect(provType_, &QComboBox::activated, this, [this](int) { cbProvTypeChange(); });
    sum_->installEventFilter(this);
    // A multi-line field has no length limit of its own: typing and pasting are cut here.
    connect(memo_, &QPlainTextEdit::textChanged, this, [this] { KeepReasonShort(); });

    INewTransactionDialog::SetCurrent(this);
}

TFormNewProv::~TFormNewProv() {
    if (INewTransactionDialog::Current() == this)
        INewTransactionDialog::SetCurrent(nullptr);
    SetBusy(false);
    sesPrIns_->OnData = nullptr;
    sesPrIns_->OnDisconnect = nullptr;
    sesSaldo_->OnData = nullptr;
}

// ---- the lists ----------------------------------------------------------------------

void TFormNewProv::FillControls(TReferenceData& refs) {
    WriteLog(QStringLiteral("Заполнение списков в окне продок."));
    qint32 bum = 0, out = 0, in = 0;
    const bool hadBum = Chosen(cbBum_, bum);
    const bool hadOut = Chosen(accOut_, out);
    const bool hadIn = Chosen(accIn_, in);
    std::vector<TIdNameItem> accounts;
    std::vector<TIdNameItem> instruments;
    try {
        accounts.reserve(size_t(refs.TransactionAccounts.Count()) + 1);
        if (refs.UserKind == 3)
            accounts.push_back({kExternalAccount, kExternalName});
        for (const TAccObj* account : refs.TransactionAccounts)
            accounts.push_back({account->Id, refs.AccountDisplayName(account->Id, account->Name)});
        instruments.reserve(size_t(refs.MoneyItems.Count() + refs.Securities.Count()));
        for (const TMoneyObj* money : refs.MoneyItems)
            instruments.push_back({money->Id, money->Name});
        for (const TBumObj* security : refs.Securities)
            if (security->StockSubType != 5 && security->StockSubType != 6)
                instruments.push_back({security->Id, security->Name});
    } catch (const std::exception& e) {
        WriteLog(QStringLiteral("EXCEPTION FormNewProv.FillControls. ") + ErrorText(e));
    }
    // Whatever was read is shown; a choice survives a reload by its id.
    accounts_->Reset(std::move(accounts));
    instruments_->Reset(std::move(instruments));
    cbBum_->setCurrentIndex(hadBum ? instruments_->IndexOfId(bum) : -1);
    accOut_->setCurrentIndex(hadOut ? accounts_->IndexOfId(out) : -1);
    accIn_->setCurrentIndex(hadIn ? accounts_->IndexOfId(in) : -1);
}

bool TFormNewProv::Chosen(const TComboBoxIndexed* box, qint32& id) const {
    return ChosenId(*box, id);
}

// ---- opening ------------------------------------------------------------------------

void TFormNewProv::PrepareEmpty() {
    cbBum_->setCurrentIndex(-1);
    accOut_->setCurrentIndex(-1);
    accIn_->setCurrentIndex(-1);
    memo_->clear();
    sum_->Clear();
    price_->SetValue(0);
}

void TFormNewProv::PrepareFilled(const QString& debitAccountId, const QString& creditAccountId,
                                 const QString& averagePrice, const QString& reason,
                                 const QString& amount, const QString& instrument) {
    const auto accountId = [](const QString& text) {
        bool ok = false;
        const int id = text.trimmed().toInt(&ok);
        return ok ? id : 0;
    };
    // Selections made here raise no change event: those are for the user's choices.
    accOut_->setCurrentIndex(accounts_->IndexOfId(accountId(debitAccountId)));
    accIn_->setCurrentIndex(accounts_->IndexOfId(accountId(creditAccountId)));
    cbBum_->setCurrentIndex(instruments_->IndexOfName(instrument));
    memo_->setPlainText(reason);
    sum_->SetValue(TNumberEdit::ReadGrouped(amount, 0));
    price_->SetValue(TNumberEdit::ReadGrouped(averagePrice, 0));
}

void TFormNewProv::OpenEmpty() {
    PrepareEmpty();
    RunModal();
}

void TFormNewProv::OpenFilled(const QString& debitAccountId, const QString& creditAccountId,
                              const QString& averagePrice, const QString& reason,
                              const QString& amount, const QString& instrument) {
    PrepareFilled(debitAccountId, creditAccountId, averagePrice, reason, amount, instrument);
    RunModal();
}

void TFormNewProv::RunModal() {
    if (isVisible())
        return; // already open: one transaction at a time
    if (exec() != QDialog::Accepted)
        return;
    TShellLink::BroadcastToWindows(sentType_ == kDeferred ? kEventPendingTransactionsChanged
                                                          : kEventTransactionsChanged);
}

void TFormNewProv::showEvent(QShowEvent* event) {
    ++showing_;
    btnOk_->setEnabled(true);
    saldo_->SetValue(0);
    provType_->setCurrentIndex(kOrdinary);
    ApplyPriceRule();
    adjustSize();
    QDialog::showEvent(event);
    cbBum_->setFocus(Qt::OtherFocusReason);
}

void TFormNewProv::reject() {
    // Cancel always closes, a command in flight or not; its answer closes nothing.
    SetBusy(false);
    QDialog::reject();
}

// ---- field events -------------------------------------------------------------------

void TFormNewProv::ApplyPriceRule() {
    qint32 id = 0;
    const bool money = Chosen(cbBum_, id) && id < 1;
    price_->setEnabled(!money);
    QPalette palette = price_->palette();
    palette.setColor(QPalette::Base, palette.color(money ? QPalette::Window : QPalette::Base));
    price_->setPalette(money ? palette : QPalette());
}

void TFormNewProv::CbBumChange() {
    saldo_->SetValue(0);
    ApplyPriceRule();
}

void TFormNewProv::AccOutChange() {
    saldo_->SetValue(0);
}

void TFormNewProv::cbProvTypeChange() {
    btnOk_->setEnabled(true);
}

void TFormNewProv::KeepReasonShort() {
    const QString text = memo_->toPlainText();
    if (text.size() <= kMaxReason)
        return;
    QTextCursor cursor = memo_->textCursor();
    const int position = std::min<int>(cursor.position(), kMaxReason);
    const QSignalBlocker block(memo_);
    memo_->setPlainText(text.left(kMaxReason));
    cursor = memo_->textCursor();
    cursor.setPosition(position);
    memo_->setTextCursor(cursor);
}

bool TFormNewProv::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sum_ && event->type() == QEvent::FocusIn)
        GuardStep(QStringLiteral("FormNewProv.SumEnter"), [this] { SumEnter(); });
    return QDialog::eventFilter(watched, event);
}

void TFormNewProv::SumEnter() {
    qint32 bum = 0, out = 0;
    if (!Chosen(cbBum_, bum) || !Chosen(accOut_, out))
        return;
    const QString query = QString::number(vocab::list::kBalance);
    sesSaldo_->SendRequest(vocab::request::kList, Key(vocab::key::kQuery) + QLatin1Char('=') +
                                                      query + QChar(0) + Key(vocab::key::kParam0) +
                                                      QLatin1Char('=') + QString::number(out) +
                                                      QChar(0) + QStringLiteral("param1=") +
                                                      QString::number(bum) + QChar(0));
}

void TFormNewProv::SesSaldoData() {
    QString text;
    try {
        text = sesSaldo_->GetCell(0, 0);
        saldo_->SetValue(DotTextToFloat(text));
    } catch (const std::exception& e) {
        saldo_->SetValue(0);
        WriteLog(QStringLiteral("FormNewProv.SesSaldoData: остаток \"") + text.left(40) +
                 QStringLiteral("\" не число, показан 0. ") + ErrorText(e));
    }
}

// ---- OK -----------------------------------------------------------------------------

int TFormNewProv::ChooseQuery(int type, qint32 senderId, qint32 receiverId) {
    if (type == kDeferred)
        return vocab::command::kNewPendingTransaction;
    return senderId != kExternalAccount && receiverId != kExternalAccount
               ? vocab::command::kNewTransaction
               : vocab::command::kNewExternalTransaction;
}

QString TFormNewProv::CommandNumber(double value) {
    return LocalToDotText(
        FormatGeneralNumber(value, WorkstationLocale::Current().decimalSeparator));
}

void TFormNewProv::Refuse(const QString& text) {
    Services::MessageBox().Show(this, text, windowTitle(), MsgKind::Error, MsgCancel);
    btnOk_->setEnabled(true);
}

void TFormNewProv::BtnOkClick() {
    if (!btnOk_->isEnabled())
        return;
    btnOk_->setEnabled(false);
    setResult(QDialog::Rejected); // stays open until the server says "0"
    qint32 bum = 0, out = 0, in = 0;
    const int type = provType_->currentIndex();
    if (!Chosen(cbBum_, bum) || !Chosen(accIn_, in) || !Chosen(accOut_, out) || type < 0 ||
        sum_->IsEmpty()) {
        Refuse(kNotAllFields);
        return;
    }
    const double amount = sum_->Value();
    const double price = price_->Value();
    if (bum > 0 && price == 0 &&
        Services::MessageBox().Show(this, kZeroPrice, windowTitle(), MsgKind::Warning,
                                    MsgYes | MsgNo) != MsgYes) {
        btnOk_->setEnabled(true);
        return;
    }
    if (price < 0 || amount < 0) {
        Refuse(kBadValue);
        return;
    }
    const QChar sep = WorkstationLocale::Current().decimalSeparator;
    if (bum > 0 &&
        FormatGeneralNumber(amount, sep) != FormatGeneralNumber(std::trunc(amount), sep)) {
        Refuse(kBadValue);
        return;
    }
    const int query = ChooseQuery(type, out, in);
    sentQuery_ = QString::number(query);
    const QString params = AlternatingParams({{Key(vocab::key::kQuery), sentQuery_},
                                              {Key(vocab::key::kParam0), QString::number(out)},
                                              {QStringLiteral("param1"), QString::number(in)},
                                              {QStringLiteral("param2"), QString::number(bum)},
                                              {QStringLiteral("param3"), CommandNumber(amount)},
                                              {QStringLiteral("param4"), memo_->toPlainText()},
                                              {QStringLiteral("param5"), CommandNumber(price)}});
    SetBusy(true);
    sentType_ = type;
    sentShowing_ = showing_;
    try {
        sesPrIns_->SendCommand(vocab::request::kCommand, params);
    } catch (...) {
        // The command never left: the dialog is as before it was pressed.
        sentShowing_ = -1;
        SetBusy(false);
        btnOk_->setEnabled(true);
        throw;
    }
}

void TFormNewProv::SetBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void TFormNewProv::SesPrInsData() {
    SetBusy(false);
    QString first, second;
    if (sesPrIns_->GetRowCount() > 0) {
        first = sesPrIns_->GetCell(0, 0);
        second = sesPrIns_->GetCell(0, 1);
    }
    WriteLog(QStringLiteral("FormNewProv.SesPrInsData: ExecQueryBB ") + sentQuery_ +
             QStringLiteral(" -> \"") + first + QStringLiteral("\" \"") + second +
             QStringLiteral("\""));
    const bool mine = isVisible() && sentShowing_ == showing_;
    sentShowing_ = -1;
    if (!Done(first))
        return; // refused: stays open, OK disabled until the type changes or a new showing
    if (mine) {
        accept();
        return;
    }
    // Done after the dialog was cancelled: the lists still show what the server made.
    TShellLink::BroadcastToWindows(sentType_ == kDeferred ? kEventPendingTransactionsChanged
                                                          : kEventTransactionsChanged);
}

void TFormNewProv::SesPrInsDisconnect() {
    // A lost command: no answer will come, so the dialog may be tried again.
    SetBusy(false);
    if (sentShowing_ >= 0 && sentShowing_ == showing_)
        btnOk_->setEnabled(true);
    sentShowing_ = -1;
}
