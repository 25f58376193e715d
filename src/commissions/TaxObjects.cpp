#include "commissions/TaxObjects.h"

#include "shell/base/Log.h"
#include "shell/base/NumberText.h"

#include <algorithm>

namespace {

const QString kUnknown = QStringLiteral("???");

QString Utf(const char* text) {
    return QString::fromUtf8(text);
}

void LogMissing(const char* what, qint32 id) {
    WriteLog(QStringLiteral("ОШИБКА!FormTaxMain.LinkAreaItem. Не найден объект ") +
             QLatin1String(what) + QStringLiteral(" ID=") + QString::number(id));
}

} // namespace

QStringList SplitTaxPieces(const QString& text) {
    QStringList pieces;
    QString piece;
    bool atBoundary = true; // a line break right after ";" makes no extra piece
    for (const QChar c : text) {
        if (c == QLatin1Char(';')) {
            pieces << piece;
            piece.clear();
            atBoundary = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (!atBoundary) {
                pieces << piece;
                piece.clear();
                atBoundary = true;
            }
        } else {
            piece += c;
            atBoundary = false;
        }
    }
    if (!piece.isEmpty())
        pieces << piece;
    return pieces;
}

void ParseAreaText(const QString& text, TAreaList& list, TTaxTarif* owner) {
    list.clear();
    const QStringList pieces = SplitTaxPieces(text);
    for (qsizetype i = 0; i + 4 <= pieces.size(); i += 4) {
        auto item = std::make_unique<TAreaItem>();
        item->TsId = TextToInt(pieces[i]);
        item->BoardId = TextToInt(pieces[i + 1]);
        item->BumTypeId = TextToInt(pieces[i + 2]);
        item->BumId = TextToInt(pieces[i + 3]);
        item->Owner = owner;
        list.push_back(std::move(item));
    }
}

QString AreaListText(const TAreaList& list) {
    QString text;
    for (const auto& item : list)
        text += QStringLiteral("%1;%2;%3;%4;")
                    .arg(item->TsId)
                    .arg(item->BoardId)
                    .arg(item->BumTypeId)
                    .arg(item->BumId);
    return text;
}

void ParseScaleText(const QString& text, TScaleList& list) {
    list.clear();
    const QStringList pieces = SplitTaxPieces(text);
    for (qsizetype i = 0; i + 4 <= pieces.size(); i += 4) {
        auto line = std::make_unique<TScaleItem>();
        line->Level = DotTextToFloat(pieces[i]);
        line->Flag = TextToInt(pieces[i + 1]);
        line->Rate = DotTextToFloat(pieces[i + 2]);
        line->Sum = DotTextToFloat(pieces[i + 3]);
        list.push_back(std::move(line));
    }
}

QString ScaleListText(const TScaleList& list) {
    QString text;
    for (const auto& line : list)
        text += FloatToDotText(line->Level) + QLatin1Char(';') + QString::number(line->Flag) +
                QLatin1Char(';') + FloatToDotText(line->Rate) + QLatin1Char(';') +
                FloatToDotText(line->Sum) + QLatin1Char(';');
    return text;
}

void TTaxTarif::ParseAreas() {
    ParseAreaText(AreaOfWork, WorkInclude, this);
    ParseAreaText(AreaOfWorkExclude, WorkExclude, this);
    ParseAreaText(AreaOfVol, VolInclude, this);
    ParseAreaText(AreaOfVolExclude, VolExclude, this);
}

void TTaxTarif::ParseScale() {
    ParseScaleText(Scale, ScaleItems);
}

void TTaxTarif::SerializeAreas() {
    AreaOfWork = AreaListText(WorkInclude);
    AreaOfWorkExclude = AreaListText(WorkExclude);
    AreaOfVol = AreaListText(VolInclude);
    AreaOfVolExclude = AreaListText(VolExclude);
}

void TTaxTarif::SerializeScale() {
    Scale = ScaleListText(ScaleItems);
}

void TTaxTarif::CopyFrom(const TTaxTarif* source) {
    if (!source)
        return;
    Kind = source->Kind;
    Id = source->Id;
    Name = source->Name;
    Algorithm = source->Algorithm;
    TarifType = source->TarifType;
    DestAccountId = source->DestAccountId;
    TarifSum = source->TarifSum;
    AreaOfWork = source->AreaOfWork;
    AreaOfWorkExclude = source->AreaOfWorkExclude;
    AreaOfVol = source->AreaOfVol;
    AreaOfVolExclude = source->AreaOfVolExclude;
    Scale = source->Scale;
    GroupFlag = source->GroupFlag;
}

bool TTaxTarifPlan::Holds(const TTaxTarif* tarif) const {
    return std::find(Tarifs.begin(), Tarifs.end(), tarif) != Tarifs.end();
}

QString AlgorithmTreeName(qint32 code) {
    switch (code) {
    case 1:
        return Utf("% или сумма от оборота");
    case 2:
        return Utf("% или сумма от числа бумаг\\контрактов");
    case 3:
        return Utf("сумма за изменение позиции по ЦБ");
    case 4:
        return Utf("комиссии биржевых площадок");
    default:
        return kUnknown;
    }
}

QString AlgorithmEditorName(qint32 code) {
    switch (code) {
    case 3:
        return Utf("за изменение позиции по ЦБ");
    case 4:
        return Utf("комиссия биржевых площадок");
    default:
        return code == 1 || code == 2 ? AlgorithmTreeName(code) : QString();
    }
}

QString TarifTypeName(qint32 code) {
    switch (code) {
    case 1:
        return Utf("Брокерская");
    case 2:
        return Utf("Депозитарная");
    case 3:
        return Utf("Биржевая");
    default:
        return kUnknown;
    }
}

QString GroupFlagName(qint32 code) {
    switch (code) {
    case 1:
        return Utf("НЕ группировать");
    case 2:
        return Utf("Группировать");
    default:
        return kUnknown;
    }
}

QString GroupFlagSuffix(qint32 code) {
    switch (code) {
    case 1:
        return Utf(" (Не группировать субклиентов)");
    case 2:
        return Utf(" (Группировать субклиентов)");
    default:
        return QString();
    }
}

const TObjectList<TBaseSimpleObject>& TaxStaticObjects() {
    static const TObjectList<TBaseSimpleObject> objects = [] {
        TObjectList<TBaseSimpleObject> list;
        const std::pair<qint32, const char*> types[] = {{-1, "Все типы бумаг"},
                                                        {0, "Акции обыкновенные"},
                                                        {1, "Акции привилегированные"},
                                                        {3, "Паи"},
                                                        {2, "Облигации"},
                                                        {5, "Фьючерсы"},
                                                        {6, "Опционы"}};
        for (const auto& [code, name] : types)
            list.Append(std::make_unique<TBaseSimpleObject>(kKindBumType, code, Utf(name)));
        list.Append(std::make_unique<TBaseSimpleObject>(kKindAllAreas, -1, Utf("Все площадки")));
        return list;
    }();
    return objects;
}

const TBaseSimpleObject* FindBumType(qint32 code) {
    return TaxStaticObjects().Find(kKindBumType, code);
}

const TBaseSimpleObject* AllAreasObject() {
    return TaxStaticObjects().Find(kKindAllAreas, -1);
}

void LinkAreaItem(TAreaItem& item, const TReferenceData& refs) {
    item.TsObj = nullptr;
    if (item.TsId != -1) {
        item.TsObj = refs.TradingSystems.Find(kKindTradingSystem, item.TsId);
        if (!item.TsObj) {
            LogMissing("TsObj", item.TsId);
            item.TsId = -1;
            item.Erroneous = true;
        }
    }
    item.BoardObj = nullptr;
    if (item.BoardId != -1) {
        item.BoardObj = refs.Boards.Find(kKindBoard, item.BoardId);
        if (!item.BoardObj) {
            LogMissing("BoardObj", item.BoardId);
            item.BoardId = -1;
            item.Erroneous = true;
        }
    }
    item.BumTypeObj = FindBumType(item.BumTypeId);
    if (!item.BumTypeObj) {
        LogMissing("BumTypeObj", item.BumTypeId);
        item.BumTypeId = -1;
        item.BumTypeObj = FindBumType(-1);
        item.Erroneous = true;
    }
    item.BumObj = nullptr;
    if (item.BumId != -1) {
        item.BumObj = refs.Securities.Find(kKindSecurity, item.BumId);
        if (!item.BumObj) {
            LogMissing("BumObj", item.BumId);
            item.BumId = -1;
            item.Erroneous = true;
        }
    }
    DescribeAreaItem(item);
}

void DescribeAreaItem(TAreaItem& item) {
    if (item.Erroneous) {
        item.Name = Utf("!!!Ошибочные данные");
        return;
    }
    const QString sep = QStringLiteral(" - ");
    QString text = item.TsObj ? item.TsObj->Name : Utf("Все площадки");
    if (item.BumObj) {
        item.Name = text + sep + item.BumObj->Name;
        return;
    }
    if (item.BoardObj)
        text += sep + item.BoardObj->Name;
    item.Name = text + sep + (item.BumTypeObj ? item.BumTypeObj->Name : kUnknown);
}

void LinkTarif(TTaxTarif& tarif, const TReferenceData& refs) {
    for (TAreaList* list :
         {&tarif.WorkInclude, &tarif.WorkExclude, &tarif.VolInclude, &tarif.VolExclude}) {
        for (const auto& item : *list)
            LinkAreaItem(*item, refs);
        list->erase(std::remove_if(list->begin(), list->end(),
                                   [](const auto& item) { return item->Erroneous; }),
                    list->end());
    }
}

void TTaxLists::Clear() {
    // Plans and clients point at tariffs and plans: release the pointing side first.
    Clients.Clear();
    Plans.Clear();
    Tarifs.Clear();
    ClientAccounts.Clear();
    SelfAccounts.Clear();
}

void TTaxLists::UpdateClientObject(TTaxClient& client, qint32 planId, qint32 selfAccountId,
                                   qint32 cliAccountId) const {
    client.PlanId = planId;
    client.Plan = Plans.Find(kKindTaxPlan, planId);
    if (planId == 0) {
        client.SelfAccountId = 0;
        client.CliAccountId = 0;
        client.SelfAccountName.clear();
        client.CliAccountName.clear();
        return;
    }
    client.SelfAccountId = selfAccountId;
    client.CliAccountId = cliAccountId;
    const TTaxAccount* self = ClientAccounts.Find(kKindTaxAccount, selfAccountId);
    client.SelfAccountName = self ? self->Name : DealAccountName();
    const TTaxAccount* sub = ClientAccounts.Find(kKindTaxAccount, cliAccountId);
    client.CliAccountName = sub ? sub->Name : QString();
}

int TTaxLists::CountPlansHolding(const TTaxTarif* tarif) const {
    int n = 0;
    for (const TTaxTarifPlan* plan : Plans)
        n += plan->Holds(tarif) ? 1 : 0;
    return n;
}

int TTaxLists::CountClientsOfPlan(const TTaxTarifPlan* plan) const {
    if (!plan)
        return 0;
    int n = 0;
    for (const TTaxClient* client : Clients)
        n += client->PlanId == plan->Id ? 1 : 0;
    return n;
}

std::vector<TTaxAccount*> TTaxLists::AccountsOf(qint32 clientId) const {
    std::vector<TTaxAccount*> found;
    for (TTaxAccount* account : ClientAccounts)
        if (account->OwnerClientId == clientId)
            found.push_back(account);
    return found;
}

QString DealAccountName() {
    return Utf("<Счет сделки>");
}
