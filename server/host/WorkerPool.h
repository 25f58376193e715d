#pragma once

#include "server/core/Engine.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// One accepted request, waiting for a worker to build its answer.
struct WorkJob {
    quint32 id = 0;
    bool command = false;
    QString request;
    QString params;
    quint64 epoch = 0; // the login it belongs to; a drop makes older jobs void
};

// What a worker made of a job, handed back to the socket loop.
struct WorkResult {
    quint64 connection = 0; // serial of the connection that sent it
    quint32 id = 0;
    quint64 epoch = 0;
    bool skipped = false; // void after a drop: nothing to send
    bool refused = false;
    QString error;
    QByteArray frame; // the encoded Data answer
    QString logLine;  // the answer's log line
    bool subscribes = false;
    QStringList changes; // change-stream rows the request caused
};

// The requests of one connection: answered one at a time, in order, by whichever
// worker is free, with the connection's metadata memory kept between them.
class SessionJobs {
    friend class WorkerPool;
    quint64 serial = 0;
    QString peerName;
    std::deque<WorkJob> jobs;
    bool busy = false;   // a worker runs one of its jobs
    bool closed = false; // the connection ended
    bool forget = false; // the metadata memory is void (after a drop)
    SessionState state;  // touched only by the worker that runs its job
};

// A few worker threads that build answers beside the socket loop. Each worker opens
// its own connection to the store inside its own thread (SQLite in WAL mode lets the
// readers run beside the one writer) and keeps its own Engine over it. Jobs of one
// connection never run in parallel, so its answers leave in request order.
class WorkerPool {
public:
    // deliver runs on a worker thread; it must hand the result to the socket loop.
    using Deliver = std::function<void(WorkResult)>;
    WorkerPool(QString dbPath, int workers, Deliver deliver);
    ~WorkerPool(); // stops the workers and waits for them
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Starts the workers; false when a worker cannot open the store.
    bool Start(QString* error);

    std::shared_ptr<SessionJobs> Open(quint64 serial);
    void SetPeerName(const std::shared_ptr<SessionJobs>& session, const QString& name);
    void Submit(const std::shared_ptr<SessionJobs>& session, WorkJob job);
    // The connection ended: its waiting jobs are dropped.
    void Close(const std::shared_ptr<SessionJobs>& session);
    // A drop: jobs of earlier epochs are skipped, every metadata memory is forgotten.
    void NewEpoch(quint64 epoch);

private:
    void Run(int index);
    WorkResult Build(SessionJobs& session, const WorkJob& job, Engine& engine);
    // One large frame is kept for reuse once it has been sent: the next large list is
    // written into memory already in use rather than into fresh pages, which the system
    // has to find and clear one by one.
    QByteArray TakeSpareFrame();
    void KeepSpareFrame(const QByteArray& frame);

    QString dbPath_;
    int workerCount_;
    Deliver deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable started_;
    std::deque<std::shared_ptr<SessionJobs>> ready_; // sessions with work and no worker
    std::vector<std::shared_ptr<SessionJobs>> sessions_;
    std::vector<std::thread> threads_;
    int opened_ = 0;
    QString openError_;
    bool stopping_ = false;
    std::atomic<quint64> epoch_{0};
    QByteArray spareFrame_; // shared with the socket loop until it is written
};
