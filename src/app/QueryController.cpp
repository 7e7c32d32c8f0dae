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
    setIdle();
}

void QueryController::setShowOidPath(bool show)
{
    m_showOidPath = show;
}

void QueryController::ask(RequestKind kind, const QString& nodePath)
{
    if (kind == NoRequest)
        return;
    setIdle();
    QString path = nodePath;
    if (kind == GetRequest && !path.endsWith(QLatin1String(".0")))
        path += QLatin1String(".0");
    emit started();
    m_requestPath = path;
    m_rowCount = 0;
    m_busy = true;
    SnmpAsyncReader* reader = SnmpAsyncReader::instance();
    if (kind == GetRequest) {
        const quint64 serial = ++m_requestSerial;
        reader->get(
            m_device, path, RequestPriority,
            [this, serial](const QString&, const QString& requestPath, const QList<SnmpOidUtils::OidValue>& results) {
                if (serial == m_requestSerial)
                    onGetAnswer(requestPath, results);
            },
            this);
    } else {
        SnmpAsyncReader::WalkOptions options;
        options.kind = kind == GetBulkWalk ? SnmpAsyncReader::GetBulk : SnmpAsyncReader::GetNext;
        options.firstBeyondIsRow = true;
        m_walkId = reader->walk(
            m_device, path, options, RequestPriority,
            [this](const SnmpAsyncReader::WalkUpdate& update) { onWalkUpdate(update); }, this);
    }
    emit stoppableChanged(kind != GetRequest);
}

void QueryController::stop()
{
    setIdle();
}

void QueryController::setIdle()
{
    ++m_requestSerial;
    if (m_walkId != 0) {
        SnmpAsyncReader::instance()->cancel(m_walkId);
        m_walkId = 0;
    }
    if (!m_busy)
        return;
    m_busy = false;
    emit stoppableChanged(false);
    emit finished();
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

void QueryController::onGetAnswer(const QString& requestPath, const QList<SnmpOidUtils::OidValue>& results)
{
    if (!m_busy)
        return;
    // A Get answers one value, shown whatever its OID.
    QVector<ResultRow> lines;
    for (const SnmpOidUtils::OidValue& value : results)
        lines.append(valueLine(value));
    if (results.isEmpty())
        lines.append(messageLine(requestPath, tr("Nothing returned")));
    m_rowCount += results.size();
    emit linesReady(lines);
    setIdle();
}

void QueryController::onWalkUpdate(const SnmpAsyncReader::WalkUpdate& update)
{
    if (!m_busy)
        return;
    const QString noResults = tr("No results: The device does not support this OID or table");
    QVector<ResultRow> lines;
    lines.reserve(update.rows.size() + 2);
    // Nothing below the node: the first answer lies beyond it, or is an exception value
    // (a node past the end of the agent's view). Either is shown after a note.
    if (update.firstBeyond)
        lines.append(messageLine(m_requestPath, noResults));
    for (const SnmpOidUtils::OidValue& value : update.rows)
        lines.append(valueLine(value));
    m_rowCount += update.rows.size();
    if (update.ended) {
        switch (update.reason) {
        case SubtreeWalk::NoAnswer:
            lines.append(messageLine(update.asked, tr("Nothing returned")));
            break;
        case SubtreeWalk::EndOfView:
            if (update.total == 0) {
                lines.append(messageLine(m_requestPath, noResults));
                lines.append(valueLine(update.stopper));
                ++m_rowCount;
            }
            break;
        case SubtreeWalk::OutOfOrder:
            lines.append(messageLine(update.stopper.oid, tr("The agent returned an OID out of order")));
            break;
        case SubtreeWalk::GoesOn: // a bound of the runner cut the walk short
            lines.append(messageLine(update.asked,
                                     update.sizeUp ? SnmpOidUtils::sizeBoundNote(SnmpAsyncReader::walkByteBound())
                                     : update.timeUp
                                         ? tr("Walk stopped after %1 seconds").arg(SnmpAsyncReader::walkSecondBound())
                                         : tr("Walk stopped after %1 rows").arg(update.total)));
            break;
        case SubtreeWalk::BackToFirst: // the agent wrapped round: the walk has seen everything
        case SubtreeWalk::LeftSubtree:
            break;
        }
    }
    if (!lines.isEmpty())
        emit linesReady(lines);
    if (update.ended) {
        m_walkId = 0;
        setIdle();
    }
}
