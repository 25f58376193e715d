#include "support/ScriptedSession.h"

#include "session/TBrokerSession.h"
#include "session/wire/Cp1251.h"
#include "session/wire/FieldEscape.h"
#include "shell/base/NumberText.h"

#include <QTimer>
#include <QtEndian>

#include <cstring>
#include <stdexcept>

// ---- SentRequest ----

wire::Pairs SentRequest::Params() const {
    return wire::SplitParams(params,
                             command ? wire::Operation::SendCommand : wire::Operation::SendRequest);
}

QString SentRequest::Param(const QString& key) const {
    for (const auto& [k, v] : Params()) {
        if (k == key)
            return v;
    }
    return {};
}

bool SentRequest::HasParam(const QString& key) const {
    for (const auto& [k, v] : Params()) {
        if (k == key)
            return true;
    }
    return false;
}

// ---- ScriptedSession ----

ScriptedSession::ScriptedSession(const QString& name, ScriptedSessionHub* hub)
    : name_(name), hub_(hub) {}

ScriptedSession::~ScriptedSession() {
    if (hub_)
        hub_->Forget(this);
}

const SentRequest& ScriptedSession::Last() const {
    if (sent_.empty())
        throw std::logic_error("session " + name_.toStdString() + " sent nothing");
    return sent_.back();
}

std::vector<SentRequest> ScriptedSession::SentTo(const QString& name, const QString& chto) const {
    std::vector<SentRequest> out;
    for (const SentRequest& r : sent_) {
        if (r.name == name && (chto.isEmpty() || r.Param(QStringLiteral("chto")) == chto))
            out.push_back(r);
    }
    return out;
}

void ScriptedSession::SetAnswer(const ScriptedAnswer& answer) {
    answer_ = answer;
}

void ScriptedSession::FeedData(const ScriptedAnswer& answer) {
    SetAnswer(answer);
    RaiseData();
}

void ScriptedSession::RaiseLogin() {
    if (events_)
        events_->SessionLogin();
}

void ScriptedSession::RaiseDisconnect() {
    if (events_)
        events_->SessionDisconnect();
}

void ScriptedSession::RaiseProcess(int total, int read) {
    if (events_)
        events_->SessionProcess(total, read);
}

void ScriptedSession::RaiseData() {
    if (events_)
        events_->SessionData();
}

void ScriptedSession::RaiseCommonData() {
    if (events_)
        events_->SessionCommonData();
}

void ScriptedSession::ReplyTo(const QString& request, const QString& chto,
                              const ScriptedAnswer& answer) {
    replies_.push_back({request, chto, answer});
}

int ScriptedSession::DeliverPending() {
    int delivered = 0;
    // A handler may send again and queue more; deliver those too, in order.
    while (!pending_.empty()) {
        ScriptedAnswer next = std::move(pending_.front());
        pending_.erase(pending_.begin());
        FeedData(next);
        ++delivered;
    }
    return delivered;
}

void ScriptedSession::ThrowIfFailing() {
    if (failNext_.isEmpty())
        return;
    const QString message = failNext_;
    failNext_.clear();
    throw ESessionError(message);
}

void ScriptedSession::Record(SentRequest request) {
    ThrowIfFailing();
    sent_.push_back(request);
    if (OnSent)
        OnSent(*this, request);
    const QString chto = request.Param(QStringLiteral("chto"));
    for (const Reply& reply : replies_) {
        if (reply.request != request.name || (!reply.chto.isEmpty() && reply.chto != chto))
            continue;
        ScriptedAnswer answer = reply.answer;
        if (answer.requestParams.empty() && answer.echoRequest)
            answer.requestParams = request.Params();
        pending_.push_back(std::move(answer));
        if (!deliveryQueued_) {
            deliveryQueued_ = true;
            QTimer::singleShot(0, this, [this] {
                deliveryQueued_ = false;
                DeliverPending();
            });
        }
        break;
    }
}

void ScriptedSession::SendRequest(const QString& request, const QString& params) {
    Record({false, request, params, 0, 1});
}

int ScriptedSession::SendCommand(const QString& request, const QString& params, int a, int b) {
    Record({true, request, params, a, b});
    return commandResult_;
}

void ScriptedSession::Login() {
    ThrowIfFailing();
    ++loginCalls_;
}

bool ScriptedSession::GetLoginState() {
    ThrowIfFailing();
    ++loginStateCalls_;
    return loginState_;
}

int ScriptedSession::GetRowCount() {
    return int(answer_.rows.size());
}

QString ScriptedSession::GetRowText(int row) {
    ++rowTextCalls_;
    if (row < 0 || size_t(row) >= answer_.rows.size())
        return {};
    return answer_.rows[size_t(row)];
}

QString ScriptedSession::GetCell(int row, int column) {
    const QString text =
        row >= 0 && size_t(row) < answer_.rows.size() ? answer_.rows[size_t(row)] : QString();
    const QStringList parts = text.split(QChar(0));
    return column >= 0 && column < parts.size() ? parts[column] : QString();
}

int ScriptedSession::GetTableSize(const QString& table) {
    return answer_.tables.contains(table) ? 1 : 0;
}

QString ScriptedSession::GetTableValue(const QString& table, const QString& field, int row) {
    if (row != 1)
        return {};
    return answer_.tables.value(table).value(field);
}

QString ScriptedSession::GetRequestParam(const QString& key, int) {
    for (const auto& [k, v] : answer_.requestParams) {
        if (k == key)
            return v;
    }
    return {};
}

// ---- ScriptedSessionHub ----

ScriptedSessionHub::ScriptedSessionHub() {
    SessionFactory::SetCreator([this](const QString& name) { return Create(name); });
}

ScriptedSessionHub::~ScriptedSessionHub() {
    SessionFactory::SetCreator({});
    for (ScriptedSession* s : live_)
        s->hub_ = nullptr;
}

std::unique_ptr<IBrokerSession> ScriptedSessionHub::Create(const QString& name) {
    for (const QString& key : {name, QString()}) {
        auto it = failAttach_.find(key);
        if (it != failAttach_.end()) {
            const QString message = it.value();
            failAttach_.erase(it);
            throw ESessionError(message);
        }
    }
    auto session = std::make_unique<ScriptedSession>(name, this);
    live_.push_back(session.get());
    created_[name] += 1;
    if (OnCreated)
        OnCreated(*session);
    return session;
}

void ScriptedSessionHub::Forget(ScriptedSession* session) {
    std::erase(live_, session);
}

ScriptedSession* ScriptedSessionHub::Find(const QString& name) const {
    for (auto it = live_.rbegin(); it != live_.rend(); ++it) {
        if ((*it)->Name() == name)
            return *it;
    }
    return nullptr;
}

ScriptedSession& ScriptedSessionHub::Get(const QString& name) const {
    if (ScriptedSession* s = Find(name))
        return *s;
    QStringList names;
    for (ScriptedSession* s : live_)
        names << s->Name();
    throw std::logic_error(QStringLiteral("no scripted session %1 (live: %2)")
                               .arg(name, names.join(QStringLiteral(", ")))
                               .toStdString());
}

std::vector<ScriptedSession*> ScriptedSessionHub::All(const QString& name) const {
    std::vector<ScriptedSession*> out;
    for (ScriptedSession* s : live_) {
        if (s->Name() == name)
            out.push_back(s);
    }
    return out;
}

void ScriptedSessionHub::FailAttach(const QString& name, const QString& message) {
    failAttach_.insert(name, message);
}

// ---- AnswerBuilder ----

AnswerBuilder& AnswerBuilder::Metadata(const QString& metadataId, const QString& version) {
    metadata_ = true;
    metadataId_ = metadataId;
    version_ = version;
    return *this;
}

AnswerBuilder& AnswerBuilder::ResetCache() {
    resetCache_ = true;
    return *this;
}

AnswerBuilder& AnswerBuilder::HeaderOnly() {
    headerOnly_ = true;
    return *this;
}

AnswerBuilder& AnswerBuilder::Field(const QString& name, int fieldType, int packetType, int index) {
    fields_.push_back({name, fieldType, packetType, index < 0 ? int(fields_.size()) : index});
    return *this;
}

QString AnswerBuilder::EscapeBytes(const QByteArray& bytes) {
    return Cp1251::Decode(wire::EscapeFieldBytes(bytes));
}

QByteArray AnswerBuilder::IntBytes(qint32 value) {
    QByteArray out(4, '\0');
    qToLittleEndian(value, out.data());
    return out;
}

QByteArray AnswerBuilder::DoubleBytes(double value) {
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    QByteArray out(8, '\0');
    qToLittleEndian(bits, out.data());
    return out;
}

QString AnswerBuilder::CellText(const Cell& cell, int position) const {
    const FieldDesc* field = nullptr;
    for (const FieldDesc& f : fields_) {
        if (f.index == position) {
            field = &f;
            break;
        }
    }
    if (const auto* bytes = std::get_if<QByteArray>(&cell.value))
        return EscapeBytes(*bytes);
    if (field && field->packetType == 1) {
        const bool isInt = field->fieldType == 2 || field->fieldType == 3 ||
                           field->fieldType == 4 || field->fieldType == 25;
        double number = 0;
        if (const auto* i = std::get_if<qint64>(&cell.value))
            number = double(*i);
        else if (const auto* d = std::get_if<double>(&cell.value))
            number = *d;
        else
            return std::get<QString>(cell.value); // already in row form
        return EscapeBytes(isInt ? IntBytes(qint32(number)) : DoubleBytes(number));
    }
    if (const auto* i = std::get_if<qint64>(&cell.value))
        return QString::number(*i);
    if (const auto* d = std::get_if<double>(&cell.value))
        return FloatToDotText(*d);
    return std::get<QString>(cell.value);
}

AnswerBuilder& AnswerBuilder::Row(std::initializer_list<Cell> cells) {
    return Row(std::vector<Cell>(cells));
}

AnswerBuilder& AnswerBuilder::Row(const std::vector<Cell>& cells) {
    QString text;
    int position = 0;
    for (const Cell& cell : cells) {
        text += CellText(cell, position++);
        text += QChar(0);
    }
    rows_.push_back(text);
    return *this;
}

AnswerBuilder& AnswerBuilder::RawRow(const QString& text) {
    rows_.push_back(text);
    return *this;
}

AnswerBuilder& AnswerBuilder::Param(const QString& key, const QString& value) {
    params_.emplace_back(key, value);
    return *this;
}

AnswerBuilder& AnswerBuilder::Table(const QString& table, const QString& field,
                                    const QString& value) {
    tables_[table].insert(field, value);
    return *this;
}

ScriptedAnswer AnswerBuilder::Build() const {
    ScriptedAnswer answer;
    answer.rows = rows_;
    answer.tables = tables_;
    answer.requestParams = params_;
    if (metadata_) {
        QHash<QString, QString>& header = answer.tables[QStringLiteral("METADATA.HEADER")];
        header.insert(QStringLiteral("METADATA_VERSION"), version_);
        header.insert(QStringLiteral("FIELD_COUNT"), QString::number(fields_.size()));
        header.insert(QStringLiteral("METADATA_ID"), metadataId_);
        header.insert(QStringLiteral("RESET_CACHE"),
                      resetCache_ ? QStringLiteral("1") : QStringLiteral("0"));
        if (!headerOnly_) {
            QHash<QString, QString>& fields = answer.tables[QStringLiteral("METADATA.FIELDS")];
            for (size_t n = 0; n < fields_.size(); ++n) {
                const FieldDesc& f = fields_[n];
                const QString s = QString::number(n);
                fields.insert(QStringLiteral("FIELD_NAME.") + s, f.name);
                fields.insert(QStringLiteral("FIELD_INDEX.") + s, QString::number(f.index));
                fields.insert(QStringLiteral("PACKET_DATA_TYPE.") + s,
                              QString::number(f.packetType));
                fields.insert(QStringLiteral("FIELD_DATA_TYPE.") + s, QString::number(f.fieldType));
                fields.insert(QStringLiteral("VISIBLE_FLAG.") + s, QStringLiteral("1"));
                fields.insert(QStringLiteral("VISIBLE_ALIGN.") + s, QStringLiteral("0"));
                fields.insert(QStringLiteral("VISIBLE_FORMAT.") + s, QString());
            }
        }
    }
    return answer;
}
