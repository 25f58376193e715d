#include "session/TBrokerSession.h"

#include "session/LocalSocketSession.h"
#include "session/TMetadataParser.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Beep.h"
#include "shell/base/Log.h"

#include <cstring>
#include <exception>

// ---- SessionFactory ----

namespace {
SessionFactory::Creator& CreatorSlot() {
    static SessionFactory::Creator creator;
    return creator;
}
} // namespace

std::unique_ptr<IBrokerSession> SessionFactory::Create(const QString& sessionName) {
    if (CreatorSlot())
        return CreatorSlot()(sessionName);
    return std::make_unique<LocalSocketSession>(sessionName);
}

void SessionFactory::SetCreator(Creator creator) {
    CreatorSlot() = std::move(creator);
}

// ---- TBrokerSession ----

TBrokerSession::TBrokerSession(const QString& name, bool autoConnect) : name_(name) {
    if (autoConnect)
        Link();
}

TBrokerSession::~TBrokerSession() {
    if (link_)
        link_->SetEvents(nullptr);
}

IBrokerSession& TBrokerSession::Link() {
    if (!link_) {
        std::unique_ptr<IBrokerSession> link = SessionFactory::Create(name_);
        if (!link)
            throw ESessionError(QStringLiteral("No session link for %1").arg(name_));
        link->SetEvents(this);
        link_ = std::move(link);
        // A failed attach keeps the link: it goes on trying in the background.
        link_->Open();
    }
    return *link_;
}

void TBrokerSession::SendRequest(const QString& request, const QString& params) {
    Link().SendRequest(request, params);
}

int TBrokerSession::SendCommand(const QString& request, const QString& params, int a, int b) {
    return Link().SendCommand(request, params, a, b);
}

void TBrokerSession::Login() {
    Link().Login();
}

bool TBrokerSession::GetLoginState() {
    return Link().GetLoginState();
}

int TBrokerSession::GetRowCount() {
    return Link().GetRowCount();
}

QString TBrokerSession::GetRowText(int row) {
    return Link().GetRowText(row);
}

QString TBrokerSession::GetCell(int row, int column) {
    // Through the row's cached field offsets: an answer read cell by cell (80,000 rows
    // of nine fields) would otherwise walk each row again for every cell.
    return Cp1251::Decode(GetField(row, column));
}

int TBrokerSession::GetTableSize(const QString& table) {
    return Link().GetTableSize(table);
}

QString TBrokerSession::GetTableValue(const QString& table, const QString& field, int row) {
    return Link().GetTableValue(table, field, row);
}

QString TBrokerSession::GetRequestParam(const QString& key, int n) {
    return Link().GetRequestParam(key, n);
}

QByteArray TBrokerSession::GetField(int row, int n) {
    return FieldView(row, n).toByteArray();
}

QByteArrayView TBrokerSession::FieldView(int row, int n) {
    if (!hasCachedRow_ || cachedRow_ != row) {
        // Drop the old row first: a failing fetch must not leave it posing as this one.
        DropCache();
        // The row's bytes where the link keeps them; otherwise its text encoded into
        // the same buffer row after row.
        QByteArrayView bytes;
        if (!Link().ViewRowBytes(row, bytes)) {
            const QString text = GetRowText(row);
            cachedText_.resize(text.size()); // one byte per character, NULs stay NULs
            cachedText_.truncate(Cp1251::EncodeInto(text, cachedText_.data()));
            bytes = cachedText_;
        }
        cachedBytes_ = bytes;
        const char* data = bytes.data();
        const char* end = data + bytes.size();
        for (const char* p = data; p < end;) {
            const void* hit = std::memchr(p, 0, size_t(end - p));
            if (!hit)
                break;
            const char* nul = static_cast<const char*>(hit);
            cachedFieldEnds_.push_back(int(nul - data));
            p = nul + 1;
        }
        cachedRow_ = row;
        hasCachedRow_ = true;
    }
    // A field counts only when its NUL follows it; a last field cut short reads empty.
    if (n < 0 || size_t(n) >= cachedFieldEnds_.size())
        return {};
    const int start = n == 0 ? 0 : cachedFieldEnds_[size_t(n) - 1] + 1;
    return QByteArrayView(cachedBytes_.data() + start, cachedFieldEnds_[size_t(n)] - start);
}

void TBrokerSession::DropCache() {
    hasCachedRow_ = false;
    cachedRow_ = -1;
    cachedBytes_ = {};     // may point into an answer about to be replaced
    cachedText_.resize(0); // keeps the buffer for the next row
    cachedFieldEnds_.clear();
}

void TBrokerSession::BeforeEvent(bool) {}

void TBrokerSession::Guard(const char* eventName, const std::function<void()>& call) {
    // The handler may destroy this session before it throws: keep the name apart.
    const QString sessionName = name_;
    try {
        call();
    } catch (const ESessionError& e) {
        Swallow(sessionName, eventName, e.Message());
    } catch (const std::exception& e) {
        Swallow(sessionName, eventName, QString::fromUtf8(e.what()));
    } catch (...) {
        Swallow(sessionName, eventName, QStringLiteral("unknown error"));
    }
}

void TBrokerSession::Swallow(const QString& sessionName, const char* eventName,
                             const QString& text) {
    WriteLog(
        QStringLiteral("EXCEPTION %1.%2. %3").arg(sessionName, QLatin1String(eventName), text));
    ShortBeep();
}

void TBrokerSession::Raise(const Handler& handler, const char* eventName, bool isData) {
    BeforeEvent(isData);
    DropCache();
    if (!handler)
        return;
    // The handler may replace itself or destroy this session: run a copy and touch
    // nothing of the session after it returns.
    const Handler call = handler;
    Guard(eventName, [&] { call(this); });
}

void TBrokerSession::SessionLogin() {
    Raise(OnLogin, "OnLogin", false);
}

void TBrokerSession::SessionDisconnect() {
    Raise(OnDisconnect, "OnDisconnect", false);
}

void TBrokerSession::SessionProcess(int totalCount, int readCount) {
    BeforeEvent(false);
    DropCache();
    if (!OnProcess)
        return;
    const ProcessHandler call = OnProcess;
    Guard("OnProcess", [&] { call(this, totalCount, readCount); });
}

void TBrokerSession::SessionData() {
    // The link holds a new answer now: a cached row may point into the old one.
    DropCache();
    // A request the server answered without running it (a refused filter) carries why;
    // the log keeps it with the request it belongs to.
    try {
        if (GetTableSize(kRefusalTable) > 0)
            WriteLog(QStringLiteral("Session %1: the session server did not accept request "
                                    "chto=%2: %3")
                         .arg(name_, GetRequestParam(QStringLiteral("chto")),
                              GetTableValue(kRefusalTable, kRefusalText)));
    } catch (const ESessionError&) {
        // The answer is gone already; the handler finds out by itself.
    }
    Raise(OnData, "OnData", true);
}

void TBrokerSession::SessionCommonData() {
    Raise(OnCommonData, "OnCommonData", false);
}

// ---- TMetadataSession ----

TMetadataSession::TMetadataSession(const QString& name, bool autoConnect)
    : TBrokerSession(name, false), parser_(std::make_unique<TMetadataParser>(this)) {
    // Attach only once the parser exists, so no event can find it missing.
    if (autoConnect)
        Link();
}

TMetadataSession::~TMetadataSession() = default;

void TMetadataSession::BeforeEvent(bool isData) {
    if (!isData || !OnData)
        return;
    try {
        parser_->ParseMetadata();
    } catch (...) {
        // A failing session call while reading the header leaves the parser as it
        // was; the handler still runs and reads what it can.
    }
}
