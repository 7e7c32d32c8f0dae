#pragma once

#include "snmp/SnmpOidUtils.h"
#include "snmp/SubtreeWalk.h"

#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <memory>

// Runs GET, GETNEXT and GETBULK requests and whole walks in the background, one at a time
// in priority order, on a worker thread of its own (the device information query has its
// own pool, so it never holds these up), and hands each result to its callback on the
// owner's thread.
//
// A walk is stepped on the worker: each answer is judged there with SubtreeWalk and the
// next request goes out at once, over one session for the whole walk (so SNMPv3 learns the
// agent's engine once). Rows reach the owner's thread in batches, every few milliseconds.
// A walk holds the worker until it ends or is cancelled; cancelling takes effect between
// two requests, and from the moment of the call no more of its rows are handed over.
class SnmpAsyncReader final : public QObject
{
    Q_OBJECT

public:
    using ResultCallback = std::function<void(const QString& ip, const QString& request_path,
                                              const QList<SnmpOidUtils::OidValue>& results)>;

    enum Kind
    {
        Get = 0,
        GetNext = 1,
        GetBulk = 2
    };

    // The most rows one walk update carries, so that the owner's thread is never held long.
    static constexpr int MaxRowsPerUpdate = 400;
    // Bounds no real device reaches, so that an agent whose table never ends cannot keep a
    // walk going for ever: every walk ends after this many rows or seconds, or once its values
    // take this many bytes (huge values in an endless table), with reason GoesOn.
    static constexpr int MaxWalkRows = 100000;
    static constexpr int MaxWalkSeconds = 600;
    static constexpr qint64 MaxWalkBytes = 64 << 20;

    struct WalkOptions
    {
        Kind kind = GetNext; // GetNext or GetBulk (20 repetitions)
        int maxRows = 0;     // the walk ends after this many rows (reason GoesOn); 0: no limit
        // A walk whose first answer lies beyond the root hands that value over as a row
        // (firstBeyond) and goes on from it, so that the answer after it ends the walk.
        bool firstBeyondIsRow = false;
    };

    // What a walk hands over: the rows that arrived since the update before and, with the
    // last update, how the walk ended.
    struct WalkUpdate
    {
        QList<SnmpOidUtils::OidValue> rows;
        bool firstBeyond = false; // rows.first() is the first answer, beyond the root
        bool ended = false;
        SubtreeWalk::Reason reason = SubtreeWalk::GoesOn; // once ended; GoesOn: maxRows reached
        SnmpOidUtils::OidValue stopper;                   // the value that ended it, if one did
        QString asked;                                    // the OID of the walk's last request
        int total = 0;                                    // rows handed over so far, these included
        bool timeUp = false;                              // ended by the walk's time bound (reason GoesOn)
        bool sizeUp = false;                              // ended by the walk's size bound (reason GoesOn)
    };
    using WalkCallback = std::function<void(const WalkUpdate& update)>;

    static SnmpAsyncReader* instance();

    // Each queues one request and returns at once. A larger priority runs earlier among
    // the waiting requests; equal ones keep their order. The callback is skipped when the
    // receiver has been destroyed by then; a null receiver means the callback always runs.
    // A failure reaches the callback as an empty list.
    void get(const SnmpOidUtils::Device& device, const QString& requestPath, int priority, ResultCallback callback,
             QObject* receiver);
    void getNext(const SnmpOidUtils::Device& device, const QString& requestPath, int priority, ResultCallback callback,
                 QObject* receiver);
    void getBulk(const SnmpOidUtils::Device& device, const QString& requestPath, int priority, ResultCallback callback,
                 QObject* receiver);

    // Queues a walk of the subtree below root and returns its id (never 0). The callback
    // gets every update until the one that has ended set. The walk is cancelled when the
    // receiver is destroyed; a null receiver means it runs to its end.
    quint64 walk(const SnmpOidUtils::Device& device, const QString& root, const WalkOptions& options, int priority,
                 WalkCallback callback, QObject* receiver);
    // Ends the walk: a waiting one never starts, a running one sends no further request,
    // and its callback is not called again. Unknown and ended ids are ignored.
    void cancel(quint64 walkId);

    // Requests and walks queued and not yet finished, the running one included.
    int queuedRequests() const;

    // The bounds of walks started from now on (tests use small ones); 0 restores a default.
    static void setWalkBounds(int rows, int seconds, qint64 bytes = 0);
    static int walkRowBound();
    static int walkSecondBound();
    static qint64 walkByteBound();

private slots:
    void onGetValueFinished();

private:
    struct WalkJob;
    struct Request
    {
        int kind = Get;
        SnmpOidUtils::Device device;
        QString requestPath;
        int priority = 0;
        ResultCallback callback;
        QPointer<QObject> receiver;
        bool guarded = false; // a receiver was given, so its destruction cancels the callback
        std::shared_ptr<WalkJob> walk;
    };

    SnmpAsyncReader();
    ~SnmpAsyncReader() override;
    Q_DISABLE_COPY_MOVE(SnmpAsyncReader)

    void enqueue(Request request);
    void startFirst();
    static void runWalk(const std::shared_ptr<WalkJob>& job);
    static void publish(const std::shared_ptr<WalkJob>& job, WalkUpdate update);
    void deliver(const std::shared_ptr<WalkJob>& job, bool wasPosted);
    void collectRows();
    void forget(quint64 walkId);

    QThreadPool m_worker;
    QFutureWatcher<QList<SnmpOidUtils::OidValue>> m_watcher;
    QList<Request> m_queue;
    // Walks whose end has not been handed over yet, waiting, running or delivering.
    QHash<quint64, std::weak_ptr<WalkJob>> m_walks;
    QTimer m_collector; // runs while m_walks is not empty
    quint64 m_lastWalkId = 0;
};
