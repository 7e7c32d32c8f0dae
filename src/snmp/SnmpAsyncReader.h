#pragma once

#include "snmp/SnmpOidUtils.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// Runs GET, GETNEXT and GETBULK requests in the background, one at a time in priority
// order, and hands each result to its callback on the owner's thread.
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

    // Requests queued and not yet delivered, the running one included.
    int queuedRequests() const;

private slots:
    void onGetValueFinished();

private:
    struct Request
    {
        int kind = Get;
        SnmpOidUtils::Device device;
        QString requestPath;
        int priority = 0;
        ResultCallback callback;
        QPointer<QObject> receiver;
        bool guarded = false; // a receiver was given, so its destruction cancels the callback
    };

    SnmpAsyncReader();
    ~SnmpAsyncReader() override;
    Q_DISABLE_COPY_MOVE(SnmpAsyncReader)

    void enqueue(int kind, const SnmpOidUtils::Device& device, const QString& requestPath, int priority,
                 ResultCallback callback, QObject* receiver);
    void startFirst();

    QFutureWatcher<QList<SnmpOidUtils::OidValue>> m_watcher;
    QList<Request> m_queue;
};
