// The start-up chain of the main window: login, trading day, session, the
// reference answers, StartWork and BreakWork, and the change stream.
#include "MainForm.h"

#include "StatusPanels.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Cp1251.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/Beep.h"
#include "shell/base/DateValue.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/Log.h"
#include "shell/base/NumberText.h"
#include "shell/base/ProgramVersion.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>

namespace {

int g_loadSliceMs = 40;

QString NowText() {
    return FormatShortDateTime(DateTimeToValue(QDateTime::currentDateTime()));
}

} // namespace

QString TMainForm::Field(TBrokerSession& session, int row, int n) {
    return Cp1251::Decode(session.GetField(row, n));
}

void TMainForm::SetLoadSliceMs(int milliseconds) {
    g_loadSliceMs = milliseconds;
}

bool TMainForm::ForEachRow(
    TBrokerSession& session, const QString& rowErrorText,
    const std::function<void(int row, const RowFieldReader& fields)>& build) {
    // A hundred thousand rows take longer than the window may stay unpainted, so the
    // loop lets pending events run every few dozen milliseconds. If this session
    // raises another event meanwhile, its answer is no longer current: a newer call
    // of the handler owns the list now, and this one stops.
    const quint64 generation = ++answerGeneration_[&session];
    QElapsedTimer sinceYield;
    sinceYield.start();
    const int count = session.GetRowCount();
    for (int r = 0; r < count; ++r) {
        const RowFieldReader fields = [&session, r](int n) { return session.GetField(r, n); };
        try {
            build(r, fields);
        } catch (const std::exception& e) {
            WriteLog(rowErrorText + ErrorText(e));
        }
        if (sinceYield.elapsed() >= g_loadSliceMs) {
            QCoreApplication::processEvents();
            if (answerGeneration_.value(&session) != generation)
                return false;
            sinceYield.restart();
        }
    }
    return true;
}

void TMainForm::SesTorgLogin() {
    GuardStep(QStringLiteral("MainForm.SesTorgLogin"), [&] {
        WriteLog(QStringLiteral("Установлено соединение с сервером."));
        sesTorg_->SendRequest(vocab::request::kTradingDay,
                              PairParams({{vocab::key::kVersion, kProgramVersion}}));
    });
}

void TMainForm::SesTorgData() {
    GuardStep(QStringLiteral("MainForm.SesTorgData"), [&] {
        WriteLog(QStringLiteral("Читаем дату и состояние торгов."));
        const QString dayKey = Field(*sesTorg_, 0, 0);
        if (dayKey != refs_.TradingDayKey) {
            marks_.Securities = marks_.Boards = marks_.TradingSystems = false;
            marks_.Accounts = marks_.Clients = marks_.TransactionAccounts = false;
            interfaceBuilt_ = false;
        }
        progress_ = 0;
        startedThisRound_ = false;
        refs_.TradingDayKey = dayKey;
        const QString dateText = Field(*sesTorg_, 0, 1);
        refs_.TradingDate = ParseDottedDate(dateText);
        status_->SetPanelText(1, dateText);
        const QString state = Field(*sesTorg_, 0, 2);
        status_->SetPanelText(2, state == QLatin1String("1") ? QStringLiteral("торги открыты")
                                 : state == QLatin1String("0")
                                     ? QStringLiteral("торги закрыты")
                                     : QStringLiteral("торги закрыты(в архиве)"));
        sesKto_->SendRequest(vocab::request::kUserSession, QString());
        CountProgress(1);
    });
}

void TMainForm::SesKtoData() {
    GuardStep(QStringLiteral("MainForm.SesKtoData"), [&] {
        WriteLog(QStringLiteral("Читаем идентификатор сессии и клиента"));
        const QString clientKey = Field(*sesKto_, 0, 0);
        const QString sessionKey = Field(*sesKto_, 0, 3);
        if (sessionKey != refs_.SessionKey) {
            marks_ = TLoadedMarks();
            interfaceBuilt_ = false;
        }
        if (clientKey != refs_.ClientKey) {
            marks_.Accounts = marks_.Clients = marks_.TransactionAccounts = false;
            marks_.UserInfoTypes = marks_.UserInfoValues = false;
            interfaceBuilt_ = false;
        }
        refs_.ClientKey = clientKey;
        refs_.UserKind = TextToInt(Field(*sesKto_, 0, 2));
        setWindowTitle(Field(*sesKto_, 0, 1));
        refs_.SessionKey = sessionKey;
        if (!interfaceBuilt_ && hooks_.ClearReferenceTrees)
            hooks_.ClearReferenceTrees();
        SendStaleReferenceRequests();
        CountProgress(1);
        CheckAllLoaded();
    });
}

void TMainForm::SendStaleReferenceRequests() {
    using namespace vocab::list;
    auto chto = [](int query) {
        return PairParams({{vocab::key::kQuery, QString::number(query)}});
    };
    auto chtoBack = [](int query) {
        return PairParams({{vocab::key::kQuery, QString::number(query)},
                           {vocab::key::kBackParam, QStringLiteral("1")}});
    };
    const QString list = vocab::request::kList;
    if (!marks_.Clients)
        sesCli_->SendRequest(list, chto(kClients));
    if (!marks_.Accounts)
        sesAcc_->SendRequest(list, chto(kAccounts));
    if (!marks_.TransactionAccounts)
        sesAccProv_->SendRequest(list, chto(kTransactionAccounts));
    if (!marks_.TradingSystems)
        sesTs_->SendRequest(list, chto(kTradingSystems));
    if (!marks_.Boards)
        sesBoard_->SendRequest(list, chto(kBoards));
    if (!marks_.Securities)
        sesBum_->Parser().SendList(list, QString::number(kSecurities), chto(kSecurities));
    sesOrderStatus_->SendRequest(list, chtoBack(kOrderStatuses));
    // The values point at their types: new types always bring the values again.
    if (!marks_.UserInfoTypes)
        marks_.UserInfoValues = false;
    if (!marks_.UserInfoTypes)
        sesUserInfo_->SendRequest(list, chtoBack(kUserInfoTypes));
    if (!marks_.UserInfoValues)
        sesUserInfo_->SendRequest(list, chtoBack(kUserInfoValues));
}

void TMainForm::SesTsData() {
    GuardStep(QStringLiteral("MainForm.SesTsData"), [&] {
        WriteLog(QStringLiteral("Читаем справочник площадок."));
        refs_.ClearTradingSystems();
        if (!ForEachRow(
                *sesTs_, QStringLiteral("EXCEPTION Список площадок. "),
                [&](int, const RowFieldReader& f) { refs_.AddTradingSystem(TTSObj::FromRow(f)); }))
            return;
        marks_.TradingSystems = true;
        CountProgress(1);
        CheckAllLoaded();
    });
}

void TMainForm::SesBoardData() {
    GuardStep(QStringLiteral("MainForm.SesBoardData"), [&] {
        WriteLog(QStringLiteral("Читаем справочник секций."));
        refs_.Boards.Clear();
        if (!ForEachRow(
                *sesBoard_, QStringLiteral("EXCEPTION Список секций. "),
                [&](int, const RowFieldReader& f) { refs_.Boards.Append(TBoardObj::FromRow(f)); }))
            return;
        marks_.Boards = true;
        CountProgress(1);
        CheckAllLoaded();
    });
}

void TMainForm::SesBumData() {
    GuardStep(QStringLiteral("MainForm.SesBumData"), [&] {
        WriteLog(QStringLiteral("Читаем справочник бумаг."));
        refs_.Securities.Clear();
        TMetadataParser& parser = sesBum_->Parser();
        if (!ForEachRow(
                *sesBum_, QStringLiteral("EXCEPTION Список бумаг. "),
                [&](int r, const RowFieldReader& f) {
                    auto b = TBumObj::FromRow(f);
                    b->StockSubType = parser.GetInt(QStringLiteral("STOCK_SUB_TYPE"), r, 0);
                    b->FutBuyDeposit = parser.GetFloat(QStringLiteral("FUT_BUY_DEPOSIT"), r, 0);
                    b->FutSellDeposit = parser.GetFloat(QStringLiteral("FUT_SELL_DEPOSIT"), r, 0);
                    b->GovernmentCode = parser.GetText(QStringLiteral("GOVERNMENT_CODE"), r);
                    refs_.Securities.Append(std::move(b));
                }))
            return;
        marks_.Securities = true;
        CountProgress(1);
        CheckAllLoaded();
    });
}

void TMainForm::SesCliData() {
    GuardStep(QStringLiteral("MainForm.SesCliData"), [&] {
        WriteLog(QStringLiteral("Читаем справочник клиентов."));
        refs_.Clients.Clear();
        if (!ForEachRow(
                *sesCli_, QStringLiteral("EXCEPTION Список клиентов. "),
                [&](int, const RowFieldReader& f) { refs_.Clients.Append(TCliObj::FromRow(f)); }))
            return;
        marks_.Clients = true;
        CountProgress(1);
        CheckAllLoaded();
    });
}

void TMainForm::SesAccData() {
    GuardStep(QStringLiteral("MainForm.SesAccData"), [&] {
        WriteLog(QStringLiteral("Читаем справочник счетов."));
        refs_.Accounts.Clear();
        if (!ForEachRow(
                *sesAcc_, QStringLiteral("EXCEPTION Список счетов. "),
                [&](int, const RowFieldReader& f) { refs_.Accounts.Append(TAccObj::FromRow(f)); }))
            return;
        marks_.Accounts = true;
        CountProgress(1);
        CheckAllLoaded();
    });
}

void TMainForm::SesAccProvData() {
    GuardStep(QStringLiteral("MainForm.SesAccProvData"), [&] {
        WriteLog(QStringLiteral("Читаем справочник счетов2."));
        refs_.TransactionAccounts.Clear();
        if (!ForEachRow(*sesAccProv_, QStringLiteral("EXCEPTION Список счетов2. "),
                        [&](int, const RowFieldReader& f) {
                            refs_.TransactionAccounts.Append(TAccObj::FromRow(f));
                        }))
            return;
        marks_.TransactionAccounts = true;
        CountProgress(1);
        CheckAllLoaded();
    });
}

void TMainForm::sesOrderStatusData() {
    GuardStep(QStringLiteral("MainForm.sesOrderStatusData"), [&] {
        WriteLog(QStringLiteral("Читаем справочник состояний заявок."));
        refs_.OrderStatuses.Clear();
        const int count = sesOrderStatus_->GetRowCount();
        for (int r = 0; r < count; ++r) {
            const qint32 code = TextToInt(Field(*sesOrderStatus_, r, 0));
            refs_.OrderStatuses.Add(Field(*sesOrderStatus_, r, 1), code);
        }
    });
}

void TMainForm::sesUserInfoData() {
    GuardStep(QStringLiteral("MainForm.sesUserInfoData"), [&] {
        TMetadataSession& s = *sesUserInfo_;
        const QString query = s.GetRequestParam(vocab::key::kQuery, 1);
        if (query == QString::number(vocab::list::kUserInfoTypes)) {
            WriteLog(QStringLiteral("Читаем справочник пользовательских типов."));
            refs_.ClearUserInfoTypes(); // the values go with their types
            marks_.UserInfoValues = false;
            const int count = s.GetRowCount();
            for (int r = 0; r < count; ++r)
                refs_.UserInfoTypes.Append(
                    TUITypeObj::FromRow([&s, r](int n) { return s.GetField(r, n); }));
            marks_.UserInfoTypes = true;
            CountProgress(1);
        } else if (query == QString::number(vocab::list::kUserInfoValues)) {
            WriteLog(QStringLiteral("Читаем справочник пользовательских данных."));
            refs_.ClearUserInfoValues();
            const int count = s.GetRowCount();
            for (int r = 0; r < count; ++r) {
                qint32 typeId = 0;
                auto value =
                    TUserInfoObj::FromRow([&s, r](int n) { return s.GetField(r, n); }, typeId);
                refs_.AddUserInfoValue(std::move(value), typeId); // unknown type: dropped
            }
            if (marks_.UserInfoValues) {
                if (hooks_.ClientBrowserRebuild)
                    hooks_.ClientBrowserRebuild();
            } else {
                marks_.UserInfoValues = true;
                CountProgress(1);
                CheckAllLoaded();
            }
        } else if (query == QLatin1String("1821")) {
            const qint32 code = TextToInt(Field(s, 0, 0));
            if (code != 0 && code != -2) {
                PostDeferredMessage(Field(s, 0, 1), MsgKind::Error, MsgCancel);
                return;
            }
            TUITypeObj* type =
                FindObject(refs_.UserInfoTypes, kKindUserInfoType,
                           TextToInt(s.GetRequestParam(QStringLiteral("param2"), 1)));
            TUserInfoObj* value =
                type ? FindUserInfo(type->Values(),
                                    TextToInt(s.GetRequestParam(QStringLiteral("param1"), 1)))
                     : nullptr;
            if (type && value) {
                value->Id = TextToInt(Field(s, 0, 2));
                value->Name =
                    code == 0 ? s.GetRequestParam(QStringLiteral("param3"), 1) : Field(s, 0, 3);
                refs_.UserInfoValues.Reindex();
                if (hooks_.ClientBrowserRepaint)
                    hooks_.ClientBrowserRepaint();
            }
            if (code == -2)
                PostDeferredMessage(Field(s, 0, 1), MsgKind::Error, MsgCancel);
        }
    });
}

void TMainForm::CountProgress(int n) {
    progress_ += n;
    status_->SetPanelText(
        3, QStringLiteral("*Загрузка справочников ") +
               FormatNumberPattern(QStringLiteral("#0%"), double(progress_) / kProgressSteps));
    // Let the status bar repaint; pending session events may run here too.
    QCoreApplication::processEvents();
}

void TMainForm::CheckAllLoaded() {
    // The last two answers may complete the set in nested handlers (CountProgress
    // lets pending answers run); the interface is built and subscribed once.
    if (marks_.Clients && marks_.Accounts && marks_.TradingSystems && marks_.Boards &&
        marks_.Securities && marks_.TransactionAccounts && marks_.UserInfoTypes &&
        marks_.UserInfoValues && !startedThisRound_) {
        startedThisRound_ = true;
        StartWork();
    }
}

void TMainForm::StartWork() {
    GuardStep(QStringLiteral("MainForm.StartWork"), [&] {
        WriteLog(QStringLiteral("Базовые справочники загружены. Построение интерфейса."));
        if (!interfaceBuilt_) {
            auto run = [](const std::function<void()>& hook) {
                if (hook)
                    hook();
            };
            run(hooks_.FilterFillTreeAcc);
            CountProgress(1);
            run(hooks_.FilterFillTreeBum);
            CountProgress(1);
            run(hooks_.TransactionFillControls);
            CountProgress(1);
            run(hooks_.MarginAddFillTreeBum);
            CountProgress(1);
            CountProgress(1);
            run(hooks_.MarginLevelFillControls);
            CountProgress(1);
            run(hooks_.ClientBrowserRebuild);
            run(hooks_.TariffAreaFillTree);
        }
        interfaceBuilt_ = true;
        if (hooks_.CreateChat)
            GuardStep(QStringLiteral("Запуск чата"), hooks_.CreateChat);
        sesIzm_->SendRequest(vocab::request::kChangeStream, QString());
        if (hooks_.DiscoverPlugins)
            hooks_.DiscoverPlugins();
        SetStartItemsEnabled(true);
        workStarted_ = true;
        // The first letter of the text below is a Latin "C", as the text has always been.
        status_->SetPanelText(3, QStringLiteral("+Cвязь установлена ") + NowText());
        WriteLog(QStringLiteral("Построение интерфейса закончено."));
    });
}

void TMainForm::SesTorgDisconnect() {
    status_->SetPanelText(3, QStringLiteral("!") + NowText() + QStringLiteral(" Отбой связи"));
    BreakWork();
}

void TMainForm::BreakWork() {
    GuardStep(QStringLiteral("MainForm.BreakWork"), [&] {
        WriteLog(QStringLiteral("Потеря связи.Обновление интерфейса."));
        progress_ = 0;
        SetStartItemsEnabled(false);
        workStarted_ = false;
        if (hooks_.CloseDialogsOnBreak)
            hooks_.CloseDialogsOnBreak();
    });
}

void TMainForm::SesIzmData() {
    // New deals are collected and handed to each deals window once per answer, so a
    // burst of deals costs each window one sort.
    std::vector<TChangeRecord> newDeals;
    try {
        TMetadataSession& s = *sesIzm_;
        const int count = s.GetRowCount();
        std::vector<IMonitorWindow*> deals;
        bool dealsFound = false;
        for (int r = 0; r < count; ++r) {
            using namespace vocab::change;
            const int kind = TextToInt(Field(s, r, kFieldKind));
            if (kind == kNewOrder || kind == kChangedOrder) {
                dispatcher_->NoteChange(kind, Field(s, r, kFieldOrderKey));
            } else if (kind == kPortfolioPosition) {
                dispatcher_->NoteChange(kind, Field(s, r, kFieldAccount) + QLatin1Char('_') +
                                                  Field(s, r, kFieldSecurityId));
            } else if (kind == kNewDeal) {
                if (!dealsFound) {
                    deals = WindowsByTag(kTagDeals);
                    dealsFound = true;
                }
                if (deals.empty())
                    continue;
                TChangeRecord deal = TChangeRecord::FromRowText(s.GetRowText(r));
                // A deal the tables cannot show is left out of every window, once.
                const QString fault = deal.DealFault();
                if (!fault.isEmpty()) {
                    WriteLog(QStringLiteral("MainForm.SesIzmData: новая сделка пропущена, ") +
                             fault);
                    ShortBeep();
                    continue;
                }
                newDeals.push_back(std::move(deal));
            }
        }
    } catch (const std::exception& e) {
        // A record that cannot be read ends this answer; the next one is read afresh.
        WriteLog(QStringLiteral("EXCEPTION MainForm.SesIzmData. ") + ErrorText(e));
        ShortBeep();
    }
    if (!newDeals.empty())
        HandNewDeals(newDeals);
}

void TMainForm::HandNewDeals(const std::vector<TChangeRecord>& newDeals) {
    for (IMonitorWindow* w : WindowsByTag(kTagDeals)) {
        GuardStep(QStringLiteral("MainForm.SesIzmData"), [&] {
            std::vector<TChangeRecord> matching;
            for (const TChangeRecord& deal : newDeals)
                if (w->DealMatchesFilter(deal))
                    matching.push_back(deal);
            if (!matching.empty())
                w->AppendDeals(matching);
        });
    }
}
