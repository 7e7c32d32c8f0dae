#include "snmp/SnmpAsyncReader.h"

#include "snmp/SnmpLog.h"
#include "snmp/SnmpUtils.h"

#include <QDeadlineTimer>
#include <QtConcurrent>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <atomic>
#include <mutex>
#include <utility>

namespace {

// A walk's session waits and retries as the single exchanges do.
constexpr int WalkRetries = 2;
constexpr long WalkTimeoutMicroseconds = 1000000;
constexpr int WalkBulkRepetitions = 20;
// How often the rows of running walks are collected.
constexpr int CollectIntervalMs = 10;

std::atomic<int> g_walkRows{SnmpAsyncReader::MaxWalkRows};
std::atomic<int> g_walkSeconds{SnmpAsyncReader::MaxWalkSeconds};
std::atomic<qint64> g_walkBytes{SnmpAsyncReader::MaxWalkBytes};

QList<SnmpOidUtils::OidValue> runRequest(int kind, const SnmpOidUtils::Device& device, const QString& requestPath)
{
    bool ok = false;
    QList<SnmpOidUtils::OidValue> values;
    switch (kind) {
    case SnmpAsyncReader::Get:
        values = {SnmpOidUtils::get(ok, device, requestPath)};
        break;
    case SnmpAsyncReader::GetNext:
        values = {SnmpOidUtils::getNext(ok, device, requestPath)};
        break;
    case SnmpAsyncReader::GetBulk:
        values = SnmpOidUtils::getBulk(ok, device, requestPath);
        break;
    default:
        break;
    }
    if (ok)
        return values;
    qCInfo(lcSnmp) << "Request" << kind << "of" << requestPath << "to" << device.ip << "failed";
    return {};
}

} // namespace

// A walk shared between the owner's thread and the worker. The worker reads the settings
// and the cancelled flag and adds to pending; the owner's thread takes from pending.
struct SnmpAsyncReader::WalkJob
{
    quint64 id = 0;
    SnmpAsyncReader* reader = nullptr;
    SnmpOidUtils::Device device;
    QString root;
    WalkOptions options;
    WalkCallback callback;
    QPointer<QObject> receiver;
    bool guarded = false;
    QMetaObject::Connection receiverGone; // cancels the walk when the receiver is destroyed
    std::atomic<bool> cancelled{false};

    std::mutex mutex;
    WalkUpdate pending;     // rows not yet handed over and, once known, the end
    bool posted = false;    // a delivery is on its way to the owner's thread
    bool published = false; // rows or the end have been published
    int delivered = 0;      // owner's thread only
};

SnmpAsyncReader* SnmpAsyncReader::instance()
{
    static SnmpAsyncReader reader;
    return &reader;
}

SnmpAsyncReader::SnmpAsyncReader()
{
    SnmpUtils::initLibrary();
    // One worker, kept for the life of the process: the device information query's pool
    // may be full for minutes, and must never make these requests wait.
    m_worker.setMaxThreadCount(1);
    m_worker.setExpiryTimeout(-1);
    connect(&m_watcher, &QFutureWatcher<QList<SnmpOidUtils::OidValue>>::finished, this,
            &SnmpAsyncReader::onGetValueFinished);
    m_collector.setInterval(CollectIntervalMs);
    connect(&m_collector, &QTimer::timeout, this, &SnmpAsyncReader::collectRows);
}

SnmpAsyncReader::~SnmpAsyncReader()
{
    // A request still running would call into the library after its shut-down.
    for (const std::weak_ptr<WalkJob>& walk : qAsConst(m_walks)) {
        if (const std::shared_ptr<WalkJob> job = walk.lock())
            job->cancelled = true;
    }
    m_watcher.waitForFinished();
    m_worker.waitForDone();
    m_queue.clear();
    SnmpUtils::shutdownLibrary();
}

void SnmpAsyncReader::get(const SnmpOidUtils::Device& device, const QString& requestPath, int priority,
                          ResultCallback callback, QObject* receiver)
{
    enqueue(Request{Get, device, requestPath, priority, std::move(callback), receiver, receiver != nullptr, {}});
}

void SnmpAsyncReader::getNext(const SnmpOidUtils::Device& device, const QString& requestPath, int priority,
                              ResultCallback callback, QObject* receiver)
{
    enqueue(Request{GetNext, device, requestPath, priority, std::move(callback), receiver, receiver != nullptr, {}});
}

void SnmpAsyncReader::getBulk(const SnmpOidUtils::Device& device, const QString& requestPath, int priority,
                              ResultCallback callback, QObject* receiver)
{
    enqueue(Request{GetBulk, device, requestPath, priority, std::move(callback), receiver, receiver != nullptr, {}});
}

quint64 SnmpAsyncReader::walk(const SnmpOidUtils::Device& device, const QString& root, const WalkOptions& options,
                              int priority, WalkCallback callback, QObject* receiver)
{
    auto job = std::make_shared<WalkJob>();
    job->id = ++m_lastWalkId;
    job->reader = this;
    job->device = device;
    job->root = root;
    job->options = options;
    job->callback = std::move(callback);
    job->receiver = receiver;
    job->guarded = receiver != nullptr;
    if (receiver) {
        const quint64 id = job->id;
        job->receiverGone = connect(receiver, &QObject::destroyed, this, [this, id] { cancel(id); });
    }
    Request request;
    request.kind = options.kind;
    request.device = device;
    request.requestPath = root;
    request.priority = priority;
    request.walk = job;
    m_walks.insert(job->id, job);
    if (!m_collector.isActive())
        m_collector.start();
    enqueue(std::move(request));
    return job->id;
}

void SnmpAsyncReader::cancel(quint64 walkId)
{
    const std::shared_ptr<WalkJob> job = m_walks.value(walkId).lock();
    forget(walkId);
    if (!job)
        return;
    job->cancelled = true;
    // A waiting walk goes at once; the running one ends on the worker.
    for (int i = 1; i < m_queue.size(); ++i) {
        if (m_queue.at(i).walk == job) {
            m_queue.removeAt(i);
            return;
        }
    }
}

int SnmpAsyncReader::queuedRequests() const
{
    return m_queue.size();
}

void SnmpAsyncReader::setWalkBounds(int rows, int seconds, qint64 bytes)
{
    g_walkRows = rows > 0 ? rows : MaxWalkRows;
    g_walkSeconds = seconds > 0 ? seconds : MaxWalkSeconds;
    g_walkBytes = bytes > 0 ? bytes : MaxWalkBytes;
}

int SnmpAsyncReader::walkRowBound()
{
    return g_walkRows;
}

int SnmpAsyncReader::walkSecondBound()
{
    return g_walkSeconds;
}

qint64 SnmpAsyncReader::walkByteBound()
{
    return g_walkBytes;
}

void SnmpAsyncReader::enqueue(Request request)
{
    // Position 0 is the running request; a newcomer goes before the first waiting one of
    // strictly lower priority.
    int position = m_queue.size();
    for (int i = 1; i < m_queue.size(); ++i) {
        if (m_queue.at(i).priority < request.priority) {
            position = i;
            break;
        }
    }
    m_queue.insert(position, std::move(request));
    if (m_queue.size() == 1)
        startFirst();
}

void SnmpAsyncReader::startFirst()
{
    const Request& request = m_queue.constFirst();
    if (request.walk) {
        const std::shared_ptr<WalkJob> job = request.walk;
        m_watcher.setFuture(QtConcurrent::run(&m_worker, [job] {
            runWalk(job);
            return QList<SnmpOidUtils::OidValue>();
        }));
        return;
    }
    m_watcher.setFuture(QtConcurrent::run(&m_worker, &runRequest, request.kind, request.device, request.requestPath));
}

void SnmpAsyncReader::onGetValueFinished()
{
    const QList<SnmpOidUtils::OidValue> results = m_watcher.future().result();
    if (!m_queue.isEmpty()) {
        // The record stays at position 0 while its callback runs, so that a request queued
        // from inside the callback waits behind it. A walk has handed its rows over itself.
        const Request request = m_queue.constFirst();
        if (!request.walk && request.callback && (!request.guarded || request.receiver))
            request.callback(request.device.ip, request.requestPath, results);
        m_queue.removeFirst();
    }
    if (!m_queue.isEmpty())
        startFirst();
}

// The worker's side of a walk: one session; each answer is judged on its OIDs alone and the
// next request sent before the values are converted and handed over.
void SnmpAsyncReader::runWalk(const std::shared_ptr<WalkJob>& job)
{
    const WalkOptions& options = job->options;
    const int maxRows = options.maxRows > 0 ? qMin(options.maxRows, walkRowBound()) : walkRowBound();
    const QDeadlineTimer deadline(qint64(walkSecondBound()) * 1000);
    const qint64 maxBytes = walkByteBound();
    qint64 bytes = 0; // of the values handed over so far
    const int pduType = options.kind == GetBulk ? SNMP_MSG_GETBULK : SNMP_MSG_GETNEXT;
    SnmpOidUtils::SessionPipeline session(job->device, WalkRetries, WalkTimeoutMicroseconds, &job->cancelled);
    SubtreeWalk referee(job->root);
    QString asked = job->root;
    session.send(pduType, asked, WalkBulkRepetitions);
    int total = 0;
    bool beyondShown = false;
    while (!job->cancelled) {
        bool ok = false;
        const QList<SnmpOidUtils::OidValue> answer = session.receive(ok);
        SubtreeWalk::Step step = referee.judge(asked, answer, !ok);
        // The answer's leading values that are handed over as rows, and the one that ended the
        // walk (-1: none).
        int rows = step.rows;
        int stopper = step.rows;
        if (step.reason == SubtreeWalk::LeftSubtree && total == 0 && step.rows == 0 && options.firstBeyondIsRow &&
            !beyondShown) {
            // Nothing below the root: the first answer lies beyond it. It is handed over as a
            // row, and what follows it is judged from there (all beyond the root as well).
            beyondShown = true;
            rows = 1;
            step = answer.size() == 1 ? SubtreeWalk::Step{0, SubtreeWalk::GoesOn, answer.first().oid}
                                      : referee.judge(answer.first().oid, answer.mid(1));
            stopper = 1 + step.rows;
        }
        bool ended = step.reason != SubtreeWalk::GoesOn;
        // The row limit cuts a walk that goes on; one that ends by itself at the limit ends as it does.
        if (total + rows >= maxRows && (!ended || total + rows > maxRows)) {
            rows = maxRows - total;
            step.reason = SubtreeWalk::GoesOn;
            ended = true;
        }
        const bool timeUp = !ended && deadline.hasExpired();
        // Checked on the rows before this answer's, so that the next request is on its way
        // while these are converted.
        const bool sizeUp = !ended && !timeUp && bytes >= maxBytes;
        ended = ended || timeUp || sizeUp;
        if (!ended && !job->cancelled)
            session.send(pduType, step.next, WalkBulkRepetitions);
        if (!ended || step.reason == SubtreeWalk::NoAnswer || step.reason == SubtreeWalk::GoesOn ||
            stopper >= answer.size())
            stopper = -1;

        WalkUpdate update;
        update.asked = asked;
        update.firstBeyond = beyondShown && total == 0;
        update.ended = ended;
        update.reason = step.reason;
        update.timeUp = timeUp;
        update.sizeUp = sizeUp;
        QList<SnmpOidUtils::OidValue> values = session.values(qMax(rows, stopper + 1), SnmpOidUtils::ValueForm::Text);
        if (stopper >= 0)
            update.stopper = values.at(stopper);
        values.erase(values.begin() + rows, values.end());
        for (const SnmpOidUtils::OidValue& value : values)
            bytes += SnmpOidUtils::valueFootprint(value.text, value.value);
        update.rows = std::move(values);
        total += rows;
        if (job->cancelled)
            break;
        if (rows > 0 || ended)
            publish(job, std::move(update));
        if (ended)
            break;
        asked = step.next;
    }
}

// Waking the owner's thread for every answer would cost the worker a system call per
// request and keep both threads busy; rows are collected by a timer instead, and only the
// first rows and the end of a walk are posted.
void SnmpAsyncReader::publish(const std::shared_ptr<WalkJob>& job, WalkUpdate update)
{
    std::lock_guard<std::mutex> lock(job->mutex);
    WalkUpdate& pending = job->pending;
    pending.rows += update.rows;
    pending.firstBeyond = pending.firstBeyond || update.firstBeyond;
    if (update.ended) {
        pending.ended = true;
        pending.reason = update.reason;
        pending.stopper = update.stopper;
        pending.timeUp = update.timeUp;
        pending.sizeUp = update.sizeUp;
    }
    pending.asked = update.asked;
    const bool post = (update.ended || !job->published) && !job->posted;
    job->published = true;
    if (!post)
        return;
    job->posted = true;
    SnmpAsyncReader* reader = job->reader;
    QMetaObject::invokeMethod(
        reader, [reader, job] { reader->deliver(job, true); }, Qt::QueuedConnection);
}

// Hands the pending rows over, at most MaxRowsPerUpdate at a time. The rest of an ended
// walk goes in a later turn of the event loop, so that other events get their turn in
// between; that of a running walk with the next tick of the timer.
void SnmpAsyncReader::deliver(const std::shared_ptr<WalkJob>& job, bool wasPosted)
{
    WalkUpdate update;
    bool repost = false;
    {
        std::lock_guard<std::mutex> lock(job->mutex);
        if (wasPosted)
            job->posted = false;
        WalkUpdate& pending = job->pending;
        const int count = qMin(MaxRowsPerUpdate, pending.rows.size());
        update.rows = pending.rows.mid(0, count);
        pending.rows.erase(pending.rows.begin(), pending.rows.begin() + count);
        update.firstBeyond = pending.firstBeyond;
        pending.firstBeyond = false;
        update.asked = pending.asked;
        if (pending.ended && pending.rows.isEmpty()) {
            update.ended = true;
            update.reason = pending.reason;
            update.stopper = pending.stopper;
            update.timeUp = pending.timeUp;
            update.sizeUp = pending.sizeUp;
            pending.ended = false;
        }
        repost = pending.ended && !job->posted;
        job->posted = job->posted || repost;
    }
    if (repost)
        QMetaObject::invokeMethod(
            this, [this, job] { deliver(job, true); }, Qt::QueuedConnection);
    if (update.ended)
        forget(job->id);
    if (job->cancelled || (job->guarded && !job->receiver) || (update.rows.isEmpty() && !update.ended))
        return;
    job->delivered += update.rows.size();
    update.total = job->delivered;
    if (job->callback)
        job->callback(update);
}

void SnmpAsyncReader::forget(quint64 walkId)
{
    // A receiver that runs many walks must not gather a connection for each.
    if (const std::shared_ptr<WalkJob> job = m_walks.take(walkId).lock())
        disconnect(job->receiverGone);
    if (m_walks.isEmpty())
        m_collector.stop();
}

void SnmpAsyncReader::collectRows()
{
    // The callbacks may cancel walks, which changes m_walks.
    const QList<std::weak_ptr<WalkJob>> walks = m_walks.values();
    for (const std::weak_ptr<WalkJob>& walk : walks) {
        if (const std::shared_ptr<WalkJob> job = walk.lock())
            deliver(job, false);
    }
}
