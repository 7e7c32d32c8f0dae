#include "snmp/SnmpAsyncReader.h"

#include "snmp/SnmpLog.h"
#include "snmp/SnmpUtils.h"

#include <QtConcurrent>

#include <utility>

namespace {

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

SnmpAsyncReader* SnmpAsyncReader::instance()
{
    static SnmpAsyncReader reader;
    return &reader;
}

SnmpAsyncReader::SnmpAsyncReader()
{
    SnmpUtils::initLibrary();
    connect(&m_watcher, &QFutureWatcher<QList<SnmpOidUtils::OidValue>>::finished, this,
            &SnmpAsyncReader::onGetValueFinished);
}

SnmpAsyncReader::~SnmpAsyncReader()
{
    // A request still running would call into the library after its shut-down.
    m_watcher.waitForFinished();
    m_queue.clear();
    SnmpUtils::shutdownLibrary();
}

void SnmpAsyncReader::get(const SnmpOidUtils::Device& device, const QString& requestPath, int priority,
                          ResultCallback callback, QObject* receiver)
{
    enqueue(Get, device, requestPath, priority, std::move(callback), receiver);
}

void SnmpAsyncReader::getNext(const SnmpOidUtils::Device& device, const QString& requestPath, int priority,
                              ResultCallback callback, QObject* receiver)
{
    enqueue(GetNext, device, requestPath, priority, std::move(callback), receiver);
}

void SnmpAsyncReader::getBulk(const SnmpOidUtils::Device& device, const QString& requestPath, int priority,
                              ResultCallback callback, QObject* receiver)
{
    enqueue(GetBulk, device, requestPath, priority, std::move(callback), receiver);
}

int SnmpAsyncReader::queuedRequests() const
{
    return m_queue.size();
}

void SnmpAsyncReader::enqueue(int kind, const SnmpOidUtils::Device& device, const QString& requestPath, int priority,
                              ResultCallback callback, QObject* receiver)
{
    Request request;
    request.kind = kind;
    request.device = device;
    request.requestPath = requestPath;
    request.priority = priority;
    request.callback = std::move(callback);
    request.receiver = receiver;
    request.guarded = receiver != nullptr;

    // Position 0 is the running request; a newcomer goes before the first waiting one of
    // strictly lower priority.
    int position = m_queue.size();
    for (int i = 1; i < m_queue.size(); ++i) {
        if (m_queue.at(i).priority < priority) {
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
    m_watcher.setFuture(QtConcurrent::run(&runRequest, request.kind, request.device, request.requestPath));
}

void SnmpAsyncReader::onGetValueFinished()
{
    const QList<SnmpOidUtils::OidValue> results = m_watcher.future().result();
    if (!m_queue.isEmpty()) {
        // The record stays at position 0 while its callback runs, so that a request queued
        // from inside the callback waits behind it.
        const Request request = m_queue.constFirst();
        if (request.callback && (!request.guarded || request.receiver))
            request.callback(request.device.ip, request.requestPath, results);
        m_queue.removeFirst();
    }
    if (!m_queue.isEmpty())
        startFirst();
}
