#include "monitors/TFormPrf.h"
#include "filter/TFormFiltr.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/CommaText.h"
#include "grids/fill/ResponseFill.h"
#include "monitors/MonitorWindowKit.h"
#include "session/TBrokerSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Vocabulary.h"
#include "shell/base/ErrorGuard.h"
#include "shell/base/NumberText.h"
#include "shell/contract/WindowCatalog.h"
#include "shell/refs/ReferenceData.h"

using namespace monitorkit;

namespace {

const Column kColumns[] = {
    {"NAME_BUM", "Инструмент", 100, false, "", TSortStyle::Automatic},
    {"NAME_CLI", "Клиент", 100, false, "", TSortStyle::Automatic},
    {"NAME_ACC", "Счет", 80, false, "", TSortStyle::Automatic},
    {"input_saldo", "Входящий", 85, true, "", TSortStyle::Financial},
    {"curr_saldo", "Текущий", 85, true, "", TSortStyle::Financial},
    {"plan_saldo", "Плановый", 85, true, "", TSortStyle::Financial},
    {"avprice", "Средняя цена", 85, true, "%.4n", TSortStyle::Financial},
};

const HiddenColumn kHidden[] = {
    {TFormPrf::kIdAcc, "ID_ACC"},
    {TFormPrf::kIdCli, "ID_CLI"},
    {TFormPrf::kIdBum, "ID_BUM"},
    {TFormPrf::kKeyField, "KEY_FIELD"},
};

const QString kUpdateWithKey = QStringLiteral("UPDATE_WITH_KEY_FIELD");
constexpr int kMaxParamText = 255;

} // namespace

TFormPrf::TFormPrf(QWidget* parent)
    : TChildWindow(parent),
      sesPrf_(
          QStringLiteral("SesPrf"), true, [this] { SesPrfLogin(); }, [this] { SesPrfData(); }) {
    const ListFrame frame =
        BuildListWindow(*this, {QStringLiteral("Портфель"), 640, kColumns, kHidden},
                        {{"Фильтр", Qt::Key_F9, "FormPrf.N2Click", [this] { N2Click(); }},
                         {"Обновить", {}, "FormPrf.menuRefreshClick", [this] { SesPrfLogin(); }}});
    grid_ = frame.grid;
    popup_ = frame.popup;
}

// ---- published properties ---------------------------------------------------------

QString TFormPrf::FormSettings() const {
    return GridSettingsText(*grid_);
}

void TFormPrf::SetFormSettings(const QString& settings) {
    LoadGridSettings(*grid_, settings, QStringLiteral("FormPrf.FormSettings"));
}

QString TFormPrf::InternalFilterListBum() const {
    return ToLinesText(filterBum_);
}

void TFormPrf::SetInternalFilterListBum(const QString& lines) {
    filterBum_ = FromLinesText(lines);
}

QString TFormPrf::InternalFilterListAcc() const {
    return ToLinesText(filterAcc_);
}

void TFormPrf::SetInternalFilterListAcc(const QString& lines) {
    filterAcc_ = FromLinesText(lines);
}

void TFormPrf::SetRestoredComplete(int) {
    GuardStep(QStringLiteral("FormPrf.RestoredComplete"), [&] { sesPrf_.Session().Login(); });
}

// ---- requests and answers -----------------------------------------------------------

QString TFormPrf::FilterParams(int query) const {
    using namespace vocab::key;
    return KeyValue(kQuery, QString::number(query)) +
           KeyValue(kFilterAccounts, ToCommaText(filterAcc_)) +
           KeyValue(kFilterSecurities, ToCommaText(filterBum_)) +
           KeyValue(kFilterShortLong, shortLong_);
}

void TFormPrf::SesPrfLogin() {
    sesPrf_.Parser().SendList(vocab::request::kList, QString::number(vocab::list::kPortfolio),
                              FilterParams(vocab::list::kPortfolio));
}

void TFormPrf::RefreshByKeys(const QStringList& keys) {
    GuardStep(QStringLiteral("FormPrf.RefreshByKeys"), [&] {
        using namespace vocab::key;
        QString params = FilterParams(vocab::list::kPortfolioByKeys);
        // Each key "account_security" gives a pair numbered by its place in the list;
        // a key without "_" gives none but keeps its numbers.
        for (int i = 0; i < keys.size(); ++i) {
            const qsizetype cut = keys[i].indexOf(QLatin1Char('_'));
            if (cut < 0)
                continue;
            const auto param = [&](int n, const QString& value) {
                params += QStringLiteral("param%1=").arg(n) + value + QChar(0);
            };
            param(2 * i, keys[i].left(cut));
            param(2 * i + 1, keys[i].mid(cut + 1).left(kMaxParamText));
        }
        const QString keyText = ToCommaText(keys);
        params += KeyValue(kLoopBackCount, QStringLiteral("2")) +
                  KeyValue(kLoopBack0, kUpdateWithKey) + KeyValue(kLoopBack1, keyText);
        sesPrf_.Parser().SendList(vocab::request::kList,
                                  QString::number(vocab::list::kPortfolioByKeys), params);
    });
}

QString TFormPrf::BalanceFormat(const QString& securityId) {
    return monitorkit::BalanceFormat(securityId);
}

void TFormPrf::SesPrfData() {
    RowTexts cells(
        *grid_, {kIdAcc, kNameAcc, kIdCli, kNameCli, kIdBum, kInputSaldo, kCurrSaldo, kPlanSaldo});
    const AfterRowTexts hook = [&](int, int, QStringList& texts) {
        cells.Attach(texts);
        ShowAccountName(cells, kIdAcc, kNameAcc);
        ShowClientName(cells, kIdCli, kNameCli);
        FormatBalances(cells, kIdBum, {kInputSaldo, kCurrSaldo, kPlanSaldo});
    };
    if (sesPrf_.Session().GetRequestParam(vocab::key::kLoopBack0, 1) == kUpdateWithKey)
        MergeGridByKey(sesPrf_.Parser(), *grid_, hook);
    else
        LoadGridFromResponse(sesPrf_.Parser(), *grid_, hook);
}

// ---- actions ------------------------------------------------------------------------

void TFormPrf::N2Click() {
    TFormFiltr& dialog = TFormFiltr::Instance();
    if (dialog.ShowFilter(19) != TFormFiltr::mrOk)
        return;
    QString caption = QStringLiteral("Портфель ");
    QString sql = dialog.AccountFilter(caption);
    sql += dialog.SecurityFilter(caption, true);
    sql += dialog.PositionFilter(caption);
    sqlFilter_ = sql;
    setWindowTitle(caption);
    filterBum_ = dialog.FilterBumList();
    filterAcc_ = dialog.FilterAccList();
    shortLong_ = dialog.ShortLongCode();
    statusMask_ = dialog.StatusMask();
    SesPrfLogin();
}

void TFormPrf::Register() {
    WindowEntry entry;
    entry.Placement = WindowPlacement::NewChild;
    entry.Create = [](QWidget*) -> QWidget* { return new TFormPrf(); };
    entry.AfterShow = [](QWidget* window) { window->setProperty("RestoredComplete", 1); };
    TWindowCatalog::Register(WindowCommand::Portfolio, std::move(entry));
}
