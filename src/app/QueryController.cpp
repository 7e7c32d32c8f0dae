#include "app/QueryController.h"

#include "mib/TreeModel.h"
#include "snmp/SnmpAsyncReader.h"

namespace {

// Queries of the window go before the chart's polls.
constexpr int RequestPriority = 2;

} // namespace

QueryController::QueryController(const TreeModel& treeModel, QObject* parent)
    : QObject(parent)
    , m_treeModel(treeModel)
{
}

void QueryController::setDevice(const SnmpOidUtils::Device& device)
{
    m_device = device;
    m_pendingKind = NoRequest;
    m_pendingPath.clear();
    setIdle();
}

void QueryController::setShowOidPath(bool show)
{
    m_showOidPath = show;
}

void QueryController::ask(RequestKind kind, const QString& nodePath)
{
    QString path = nodePath;
    if (kind == GetRequest && !path.endsWith(QLatin1String(".0")))
        path += QLatin1String(".0");
    if (m_busy) {
        // The running query's next answer makes way for this one.
        m_pendingKind = kind;
        m_pendingPath = path;
        return;
    }
    start(kind, path);
}

void QueryController::stop()
{
    setIdle();
}

void QueryController::setIdle()
{
    if (!m_busy)
        return;
    m_busy = false;
    emit finished();
}

void QueryController::start(RequestKind kind, const QString& path)
{
    emit started();
    m_requestKind = kind;
    m_walk = SubtreeWalk(path);
    m_rowCount = 0;
    m_busy = true;
    send(kind, path);
    emit stoppableChanged(kind != GetRequest);
}

void QueryController::send(RequestKind kind, const QString& path)
{
    // A new serial per request: an answer that arrives after a newer request was queued
    // belongs to an abandoned query and is dropped unseen.
    const quint64 serial = ++m_requestSerial;
    auto callback = [this, serial](const QString&, const QString& requestPath,
                                   const QList<SnmpOidUtils::OidValue>& results) {
        if (serial == m_requestSerial)
            onAnswer(requestPath, results);
    };
    SnmpAsyncReader* reader = SnmpAsyncReader::instance();
    switch (kind) {
    case GetRequest:
        reader->get(m_device, path, RequestPriority, callback, this);
        break;
    case GetNextWalk:
        reader->getNext(m_device, path, RequestPriority, callback, this);
        break;
    case GetBulkWalk:
        reader->getBulk(m_device, path, RequestPriority, callback, this);
        break;
    case NoRequest:
        break;
    }
}

void QueryController::onAnswer(const QString& requestPath, const QList<SnmpOidUtils::OidValue>& results)
{
    const bool goesOn = handleAnswer(requestPath, results);
    emit stoppableChanged(goesOn);
}

ResultRow QueryController::valueLine(const SnmpOidUtils::OidValue& value) const
{
    ResultRow line;
    line.label = m_treeModel.labelFromPath(value.oid);
    line.oidPath = value.oid;
    line.showOidPath = m_showOidPath;
    line.value = value.value;
    line.valueText = value.text;
    line.type = value.type;
    return line;
}

ResultRow QueryController::messageLine(const QString& path, const QString& message) const
{
    ResultRow line;
    line.label = m_treeModel.labelFromPath(path);
    line.oidPath = path;
    line.showOidPath = m_showOidPath;
    line.ok = false;
    line.message = message;
    return line;
}

bool QueryController::handleAnswer(const QString& requestPath, const QList<SnmpOidUtils::OidValue>& results)
{
    if (!m_busy)
        return false;
    if (m_pendingKind != NoRequest) {
        const RequestKind kind = m_pendingKind;
        const QString path = m_pendingPath;
        m_pendingKind = NoRequest;
        m_pendingPath.clear();
        start(kind, path);
        return kind != GetRequest;
    }
    if (results.isEmpty()) {
        emit linesReady({messageLine(requestPath, tr("Nothing returned"))});
        setIdle();
        return false;
    }

    if (m_requestKind == GetRequest) {
        // A Get answers one value, shown whatever its OID.
        QVector<ResultRow> lines;
        lines.reserve(results.size());
        for (const SnmpOidUtils::OidValue& value : results)
            lines.append(valueLine(value));
        m_rowCount += results.size();
        emit linesReady(lines);
        setIdle();
        return false;
    }

    // The answer is judged and the next request queued before any line is made, so that the
    // agent works on it while the lines are labelled and shown.
    QList<SnmpOidUtils::OidValue> rest = results;
    QList<SnmpOidUtils::OidValue> rows;
    bool noResults = false;
    QString asked = requestPath;
    SubtreeWalk::Step step;
    for (;;) {
        step = m_walk.judge(asked, rest);
        rows += rest.mid(0, step.rows);
        m_rowCount += step.rows;
        if (step.reason != SubtreeWalk::LeftSubtree || m_rowCount != 0)
            break;
        // The device has nothing below the root: its first answer lies beyond. It is shown
        // after a note, and the walk goes on from it so that the next answer ends it.
        noResults = true;
        rows.append(rest.first());
        ++m_rowCount;
        asked = rest.takeFirst().oid;
        if (rest.isEmpty()) {
            step.reason = SubtreeWalk::GoesOn;
            step.next = asked;
            break;
        }
    }
    const bool outOfOrder = step.reason == SubtreeWalk::OutOfOrder || step.reason == SubtreeWalk::BackToFirst;
    const bool goesOn = step.reason == SubtreeWalk::GoesOn;
    if (goesOn)
        send(m_requestKind, step.next);

    QVector<ResultRow> lines;
    lines.reserve(rows.size() + 2);
    if (noResults)
        lines.append(messageLine(requestPath, tr("No results: The device does not support this OID or table")));
    for (const SnmpOidUtils::OidValue& value : qAsConst(rows))
        lines.append(valueLine(value));
    if (outOfOrder)
        lines.append(messageLine(rest.at(step.rows).oid, tr("The agent returned an OID out of order")));
    emit linesReady(lines);
    if (!goesOn)
        setIdle();
    return goesOn;
}
