#include "server/host/WorkerPool.h"

#include "server/core/ServerLog.h"
#include "server/core/Store.h"
#include "session/wire/Vocabulary.h"
#include "session/wire/WireProtocol.h"

#include <algorithm>

WorkerPool::WorkerPool(QString dbPath, int workers, Deliver deliver)
    : dbPath_(std::move(dbPath)), workerCount_(std::max(1, workers)), deliver_(std::move(deliver)) {
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    started_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

bool WorkerPool::Start(QString* error) {
    for (int i = 0; i < workerCount_; ++i)
        threads_.emplace_back([this, i] { Run(i); });
    std::unique_lock lock(mutex_);
    started_.wait(lock, [this] { return opened_ == workerCount_ || !openError_.isEmpty(); });
    if (!openError_.isEmpty()) {
        *error = openError_;
        return false;
    }
    return true;
}

std::shared_ptr<SessionJobs> WorkerPool::Open(quint64 serial) {
    auto session = std::make_shared<SessionJobs>();
    session->serial = serial;
    std::lock_guard lock(mutex_);
    sessions_.push_back(session);
    return session;
}

void WorkerPool::SetPeerName(const std::shared_ptr<SessionJobs>& session, const QString& name) {
    std::lock_guard lock(mutex_);
    session->peerName = name;
}

void WorkerPool::Submit(const std::shared_ptr<SessionJobs>& session, WorkJob job) {
    {
        std::lock_guard lock(mutex_);
        if (session->closed)
            return;
        session->jobs.push_back(std::move(job));
        if (session->busy || session->jobs.size() > 1)
            return; // already waiting for a worker or being worked on
        ready_.push_back(session);
    }
    wake_.notify_one();
}

void WorkerPool::Close(const std::shared_ptr<SessionJobs>& session) {
    std::lock_guard lock(mutex_);
    session->closed = true;
    session->jobs.clear();
    sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), session), sessions_.end());
    ready_.erase(std::remove(ready_.begin(), ready_.end(), session), ready_.end());
}

void WorkerPool::NewEpoch(quint64 epoch) {
    std::lock_guard lock(mutex_);
    epoch_ = epoch;
    for (const auto& session : sessions_)
        session->forget = true;
}

namespace {
// A list expected to be at least this large gets its frame's memory ready at start.
constexpr qsizetype kWarmFrameMinimum = 1024 * 1024;
} // namespace

void WorkerPool::Run(int index) {
    // The store and the engine belong to this thread: SQLite handles and Qt SQL
    // connections must stay on the thread that opened them.
    Store store;
    QString error;
    const bool ok = store.Open(dbPath_, &error);
    {
        std::lock_guard lock(mutex_);
        if (ok)
            ++opened_;
        else
            openError_ =
                QStringLiteral("worker %1 cannot open the store: %2").arg(index).arg(error);
    }
    started_.notify_all();
    if (!ok)
        return;
    Engine engine(store);
    const qsizetype listBytes = engine.WarmUp();
    if (index == 0 && listBytes >= kWarmFrameMinimum) {
        // The first large list is written into memory already in use, as every later
        // one is, rather than into fresh pages the system finds and clears one by one.
        QByteArray frame(listBytes, '\0');
        KeepSpareFrame(frame);
    }

    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !ready_.empty(); });
        if (stopping_)
            return;
        std::shared_ptr<SessionJobs> session = std::move(ready_.front());
        ready_.pop_front();
        if (session->closed || session->jobs.empty())
            continue;
        session->busy = true;
        WorkJob job = std::move(session->jobs.front());
        session->jobs.pop_front();
        if (session->forget) {
            session->forget = false;
            session->state.metadata.Forget();
            session->state.subscribed = false;
        }
        lock.unlock();

        WorkResult result;
        if (job.epoch != epoch_.load()) {
            result.skipped = true; // the login it was sent in is gone
        } else {
            result = Build(*session, job, engine);
        }
        result.connection = session->serial;
        result.id = job.id;
        result.epoch = job.epoch;
        // Handed over before the next job of this session can start, so the answers
        // reach the socket loop in request order.
        deliver_(std::move(result));

        lock.lock();
        session->busy = false;
        if (!session->closed && !session->jobs.empty())
            ready_.push_back(session);
    }
}

WorkResult WorkerPool::Build(SessionJobs& session, const WorkJob& job, Engine& engine) {
    WorkResult out;
    EngineResult result = engine.HandleForFrame(session.state, job.request, job.params, job.command,
                                                job.id, TakeSpareFrame());
    if (result.refused) {
        out.refused = true;
        out.error = result.error;
        return out;
    }
    QString peer;
    {
        std::lock_guard lock(mutex_);
        peer = session.peerName;
    }
    Answer& answer = result.answer;
    out.logLine = QStringLiteral("%1 #%2 %3 %4: %5 row(s)%6")
                      .arg(peer)
                      .arg(job.id)
                      .arg(job.request, answer.echo.Describe().left(160))
                      .arg(answer.RowCount())
                      .arg(result.changes.isEmpty()
                               ? QString()
                               : QStringLiteral(", %1 change(s)").arg(result.changes.size()));
    out.subscribes = job.request == vocab::request::kChangeStream;
    std::vector<wire::Table> tables;
    for (const AnswerTable& t : answer.tables)
        tables.push_back({t.name, wire::Pairs(t.values.cbegin(), t.values.cend())});
    const wire::Pairs echo(answer.echo.Items().cbegin(), answer.echo.Items().cend());
    if (answer.frame) {
        // The rows are in the frame already.
        out.frame = answer.frame->Finish(tables, echo);
        answer.frame.reset();
        KeepSpareFrame(out.frame);
    } else {
        wire::Message data = wire::Message::Data(job.id);
        data.rows.assign(answer.rows.cbegin(), answer.rows.cend());
        answer.rows.clear(); // the rows live once at a time: large lists are large
        data.tables = std::move(tables);
        data.requestParams = echo;
        out.frame = wire::Encode(data);
    }
    out.changes = std::move(result.changes);
    return out;
}

QByteArray WorkerPool::TakeSpareFrame() {
    std::lock_guard lock(mutex_);
    // Only a frame the socket loop has let go of is free to be written again.
    if (spareFrame_.isDetached())
        return std::exchange(spareFrame_, QByteArray());
    return {};
}

void WorkerPool::KeepSpareFrame(const QByteArray& frame) {
    std::lock_guard lock(mutex_);
    if (!spareFrame_.isDetached() || frame.capacity() > spareFrame_.capacity())
        spareFrame_ = frame;
}
