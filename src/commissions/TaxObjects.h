#pragma once

#include "shell/refs/ReferenceData.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Kinds of the commission objects.
enum TaxKind : qint32 {
    kKindTaxClient = 30,
    kKindTaxAccount = 31,
    kKindTaxSelfAccount = 32,
    kKindTaxTarif = 33,
    kKindTaxPlan = 34,
    kKindBumType = 50,  // a security type
    kKindAllAreas = -1, // the pseudo-object "Все площадки"
};

class TTaxTarifPlan;
class TTaxTarif;

// A client to whom commissions apply (list 754), with its plan and the accounts the
// commissions are debited from (list 753).
class TTaxClient : public TBaseSimpleObject {
public:
    TTaxClient() : TBaseSimpleObject(kKindTaxClient, 0, QString()) {}
    qint32 PlanId = 0; // 0: no plan
    TTaxTarifPlan* Plan = nullptr;
    qint32 SelfAccountId = 0; // own deals; 0 the deal's own account
    qint32 CliAccountId = 0;  // deals of sub-clients
    QString SelfAccountName;
    QString CliAccountName;
};

// An account of a client from which commissions may be debited (list 755).
class TTaxAccount : public TBaseSimpleObject {
public:
    TTaxAccount() : TBaseSimpleObject(kKindTaxAccount, 0, QString()) {}
    qint32 OwnerClientId = 0;
    TTaxClient* OwnerClient = nullptr; // client accounts only

protected:
    explicit TTaxAccount(qint32 kind) : TBaseSimpleObject(kind, 0, QString()) {}
};

// One of the firm's own accounts that receive commissions (list 756).
class TTaxSelfAccount : public TTaxAccount {
public:
    TTaxSelfAccount() : TTaxAccount(kKindTaxSelfAccount) {}
};

// One entry of an area list: trading system, board, security type, security; -1
// stands for "any". The references serve the linking only: a reload of the
// reference data frees what they point to, the description stays.
class TAreaItem : public TBaseSimpleObject {
public:
    TAreaItem() : TBaseSimpleObject(kKindNone, 0, QString()) {}
    qint32 TsId = -1;
    const TTSObj* TsObj = nullptr;
    qint32 BoardId = -1;
    const TBoardObj* BoardObj = nullptr;
    qint32 BumTypeId = -1;
    const TBaseSimpleObject* BumTypeObj = nullptr;
    qint32 BumId = -1;
    const TBumObj* BumObj = nullptr;
    TTaxTarif* Owner = nullptr;
    bool Erroneous = false;

    bool SameCodes(const TAreaItem& o) const {
        return TsId == o.TsId && BoardId == o.BoardId && BumTypeId == o.BumTypeId &&
               BumId == o.BumId;
    }
};

// One line of a scale: from Level upward, a rate (Flag 0) or a fixed sum (Flag != 0).
class TScaleItem : public TBaseSimpleObject {
public:
    TScaleItem() : TBaseSimpleObject(kKindNone, 0, QString()) {}
    double Level = 0;
    qint32 Flag = 0;
    double Rate = 0;
    double Sum = 0;
    bool IsSumLine() const { return Flag != 0; }
};

using TAreaList = std::vector<std::unique_ptr<TAreaItem>>;
using TScaleList = std::vector<std::unique_ptr<TScaleItem>>;

// A tariff (list 750). The texts travel to and from the server; the lists are made
// from them by parsing.
class TTaxTarif : public TBaseSimpleObject {
public:
    TTaxTarif() : TBaseSimpleObject(kKindTaxTarif, 0, QString()) {}
    qint32 Algorithm = 0;
    qint32 TarifType = 0;
    qint32 DestAccountId = 0;
    double TarifSum = 0;
    QString AreaOfWork; // action, include
    QString AreaOfWorkExclude;
    QString AreaOfVol; // volume, include
    QString AreaOfVolExclude;
    QString Scale;
    qint32 GroupFlag = 1;

    TAreaList WorkInclude;
    TAreaList WorkExclude;
    TAreaList VolInclude;
    TAreaList VolExclude;
    TScaleList ScaleItems;

    // Throw EConvertError on a malformed text; the list parsed so far is kept.
    void ParseAreas();
    void ParseScale();
    void SerializeAreas();
    void SerializeScale();
    // The scalars and texts of source; the lists are not copied (parse them).
    void CopyFrom(const TTaxTarif* source);
};

// A tariff plan (list 751) and its tariffs (list 752), which it does not own.
class TTaxTarifPlan : public TBaseSimpleObject {
public:
    TTaxTarifPlan() : TBaseSimpleObject(kKindTaxPlan, 0, QString()) {}
    std::vector<TTaxTarif*> Tarifs;
    bool Holds(const TTaxTarif* tarif) const;
};

// Text forms of area lists and scales.
// Pieces cut at ";" and line breaks; the empty piece after the last ";" is dropped.
QStringList SplitTaxPieces(const QString& text);
void ParseAreaText(const QString& text, TAreaList& list, TTaxTarif* owner); // throws
QString AreaListText(const TAreaList& list);
void ParseScaleText(const QString& text, TScaleList& list); // throws
QString ScaleListText(const TScaleList& list);

// Display names; unknown codes read "???".
QString AlgorithmTreeName(qint32 code);
QString AlgorithmEditorName(qint32 code); // empty for unknown codes
QString TarifTypeName(qint32 code);
QString GroupFlagName(qint32 code);
QString GroupFlagSuffix(qint32 code); // the algorithm-3 suffix of the trees

// The security types in their order (-1, 0, 1, 3, 2, 5, 6) and "Все площадки"
// (kind -1, id -1), made once; they serve the linking and the area dialog.
const TObjectList<TBaseSimpleObject>& TaxStaticObjects();
const TBaseSimpleObject* FindBumType(qint32 code);
const TBaseSimpleObject* AllAreasObject();

// Resolves an item's references against the reference data, logging and
// neutralising what cannot be resolved, then writes its description.
void LinkAreaItem(TAreaItem& item, const TReferenceData& refs);
void DescribeAreaItem(TAreaItem& item);
// Links the four area lists and drops their erroneous items; the texts stay.
void LinkTarif(TTaxTarif& tarif, const TReferenceData& refs);

// The commission manager's lists, each owning its objects.
struct TTaxLists {
    TObjectList<TTaxSelfAccount> SelfAccounts;
    TObjectList<TTaxAccount> ClientAccounts;
    TObjectList<TTaxClient> Clients;
    TObjectList<TTaxTarif> Tarifs;
    TObjectList<TTaxTarifPlan> Plans;

    void Clear();
    // Sets the client's plan and accounts; plan 0 clears both accounts and names.
    void UpdateClientObject(TTaxClient& client, qint32 planId, qint32 selfAccountId,
                            qint32 cliAccountId) const;
    int CountPlansHolding(const TTaxTarif* tarif) const;
    int CountClientsOfPlan(const TTaxTarifPlan* plan) const;
    // The client accounts owned by a client, in list order.
    std::vector<TTaxAccount*> AccountsOf(qint32 clientId) const;
};

// "<Счет сделки>": the own-deal account that means the deal's own account.
QString DealAccountName();
