#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Kinds of the reference objects; every object carries its class's kind.
enum RefKind : qint32 {
    kKindNone = 0,
    kKindTradingSystem = 2,
    kKindBoard = 3,
    kKindSecurity = 4,
    kKindMoney = 5,
    kKindClient = 12,
    kKindAccount = 14,
    kKindUserInfo = 21,
    kKindUserInfoType = 22,
};

// Reads field n (0-based) of one answer row as 8-bit text (the session's GetField).
using RowFieldReader = std::function<QByteArray(int n)>;

// Field n as program text; the row's bytes are in the workstation's code page.
QString RowText(const RowFieldReader& row, int n);
// Field n as a decimal integer; throws EConvertError when it is not one, which
// makes the whole row fail.
qint32 RowInt(const RowFieldReader& row, int n);
// A decimal integer out of a text; throws EConvertError when it is not one.
qint32 TextToInt(const QString& text);

// Base of every reference object: kind, id and display name.
class TBaseSimpleObject {
public:
    TBaseSimpleObject() = default;
    TBaseSimpleObject(qint32 kind, qint32 id, const QString& name)
        : Kind(kind), Id(id), Name(name) {}
    virtual ~TBaseSimpleObject() = default;
    TBaseSimpleObject(const TBaseSimpleObject&) = default;
    TBaseSimpleObject& operator=(const TBaseSimpleObject&) = default;

    qint32 Kind = kKindNone;
    qint32 Id = 0;
    QString Name;
};

// Trading system (query 404).
class TTSObj : public TBaseSimpleObject {
public:
    TTSObj() : TBaseSimpleObject(kKindTradingSystem, 0, QString()) {}
    static std::unique_ptr<TTSObj> FromRow(const RowFieldReader& row);

    QString ShortName;
    // Display pattern of this system's securities: "%CODE%" the trading code,
    // "%TEXT%" the short name.
    QString NameTemplate;
};

// Board, a trading section of one trading system (query 405).
class TBoardObj : public TBaseSimpleObject {
public:
    TBoardObj() : TBaseSimpleObject(kKindBoard, 0, QString()) {}
    static std::unique_ptr<TBoardObj> FromRow(const RowFieldReader& row);

    QString BoardCode;
    QString ShortName;
    qint32 TradingSystemId = 0;
};

// Security (query 409).
class TBumObj : public TBaseSimpleObject {
public:
    TBumObj() : TBaseSimpleObject(kKindSecurity, 0, QString()) {}
    // Positional fields only; the loader adds the members named in the metadata.
    static std::unique_ptr<TBumObj> FromRow(const RowFieldReader& row);

    QString ShortName;
    QString TradeCode;
    QString BoardCode; // matches a board's BoardCode
    qint32 LotSize = 0;
    qint32 Nominal = 0;
    qint32 Precision = 0; // decimal places of prices
    QString PrecisionText;
    qint32 TradingSystemId = 0;
    qint32 NotTraded = 0; // 1: not traded
    qint32 StockSubType = 0;
    double FutBuyDeposit = 0;
    double FutSellDeposit = 0;
    QString GovernmentCode;

protected:
    explicit TBumObj(qint32 kind) : TBaseSimpleObject(kind, 0, QString()) {}
};

// The money of one trading system, offered where securities are chosen.
class TMoneyObj : public TBumObj {
public:
    TMoneyObj() : TBumObj(kKindMoney) {}
    // id -(system id), name "_Деньги." + the system's name.
    static std::unique_ptr<TMoneyObj> ForTradingSystem(const TTSObj& system);
};

// Client (query 402).
class TCliObj : public TBaseSimpleObject {
public:
    TCliObj() : TBaseSimpleObject(kKindClient, 0, QString()) {}
    static std::unique_ptr<TCliObj> FromRow(const RowFieldReader& row);
    // Parent id 0 or the client's own id: a top-level client.
    bool IsTopLevel() const { return ParentClientId == 0 || ParentClientId == Id; }

    QString ShortName;
    qint32 ParentClientId = 0;
    void* BrowserNode = nullptr; // the client browser's tree node, owned by the browser
};

// Account (queries 403 and 407).
class TAccObj : public TBaseSimpleObject {
public:
    TAccObj() : TBaseSimpleObject(kKindAccount, 0, QString()) {}
    static std::unique_ptr<TAccObj> FromRow(const RowFieldReader& row);

    QString ShortName;
    qint32 ClientId = 0;
};

class TUserInfoObj;

// User-information type (query 420).
class TUITypeObj : public TBaseSimpleObject {
public:
    TUITypeObj() : TBaseSimpleObject(kKindUserInfoType, 0, QString()) {}
    static std::unique_ptr<TUITypeObj> FromRow(const RowFieldReader& row);

    // The values of this type in load order (not owned).
    const std::vector<TUserInfoObj*>& Values() const { return values_; }
    void AddValue(TUserInfoObj* value);
    void ClearValues();
    // The first value whose owner is ownerId, or null; constant time.
    TUserInfoObj* FindValueByOwner(qint32 ownerId) const;

    qint32 TargetKind = 0; // 1 accounts, 2 clients
    qint32 ValueKind = 0;

private:
    std::vector<TUserInfoObj*> values_;
    QHash<qint32, TUserInfoObj*> byOwner_; // first value per owner
};

// One user-information value about a client or an account (query 421).
class TUserInfoObj : public TBaseSimpleObject {
public:
    TUserInfoObj() : TBaseSimpleObject(kKindUserInfo, 0, QString()) {}
    // InfoType stays null; the loader resolves field 2 (returned in typeId).
    static std::unique_ptr<TUserInfoObj> FromRow(const RowFieldReader& row, qint32& typeId);

    qint32 OwnerId = 0; // the client or account the value belongs to
    TUITypeObj* InfoType = nullptr;
};

// A message box waiting to be shown after the current event (event 1238).
class TDlgMessage : public TBaseSimpleObject {
public:
    TDlgMessage(const QString& text, quint8 kind, quint16 buttons)
        : TBaseSimpleObject(kKindNone, 0, text), Buttons(buttons), DialogKind(kind) {}
    quint16 Buttons = 0;   // MsgButton set
    quint8 DialogKind = 0; // MsgKind
};
