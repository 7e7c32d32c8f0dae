#include "snmp/SnmpReader.h"

#include "snmp/SnmpLog.h"
#include "snmp/SnmpOidUtils.h"
#include "snmp/SubtreeWalk.h"

#include <QAtomicInt>
#include <QFutureWatcher>
#include <QVector>
#include <QtConcurrent>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <atomic>
#include <vector>

namespace {

using WalkRows = QList<SnmpReader::WalkRow>;

std::atomic<int> g_walkRows{SnmpReader::MaxWalkRows};
std::atomic<int> g_querySeconds{SnmpReader::MaxQuerySeconds};
std::atomic<qint64> g_walkBytes{SnmpReader::MaxWalkBytes};

const QLatin1String SysDescrColumn("1.3.6.1.2.1.1.1");
const QLatin1String SysNameColumn("1.3.6.1.2.1.1.5");

// ifIndex, ifDescr, ifType, ifPhysAddress; then the detailed ones.
const QLatin1String IfIndexColumn("1.3.6.1.2.1.2.2.1.1");
const QLatin1String IfDescrColumn("1.3.6.1.2.1.2.2.1.2");
const QLatin1String IfTypeColumn("1.3.6.1.2.1.2.2.1.3");
const QLatin1String IfPhysAddressColumn("1.3.6.1.2.1.2.2.1.6");
const QLatin1String IfSpeedColumn("1.3.6.1.2.1.2.2.1.5");
const QLatin1String IfHighSpeedColumn("1.3.6.1.2.1.31.1.1.1.15");
const QLatin1String IfAdminStatusColumn("1.3.6.1.2.1.2.2.1.7");
const QLatin1String IfOperStatusColumn("1.3.6.1.2.1.2.2.1.8");
const QLatin1String IfNameColumn("1.3.6.1.2.1.31.1.1.1.1");
const QLatin1String IfAliasColumn("1.3.6.1.2.1.31.1.1.1.18");

const QLatin1String IpAdEntAddrColumn("1.3.6.1.2.1.4.20.1.1");
const QLatin1String IpAdEntIfIndexColumn("1.3.6.1.2.1.4.20.1.2");
const QLatin1String IpAdEntNetMaskColumn("1.3.6.1.2.1.4.20.1.3");

const QLatin1String IpNetToMediaNetAddressColumn("1.3.6.1.2.1.4.22.1.3");
const QLatin1String CdpCacheAddressTypeColumn("1.3.6.1.4.1.9.9.23.1.2.1.1.3");
const QLatin1String CdpCacheAddressColumn("1.3.6.1.4.1.9.9.23.1.2.1.1.4");
const QLatin1String LldpRemChassisIdSubtypeColumn("1.0.8802.1.1.2.1.4.1.1.4");
const QLatin1String LldpRemChassisIdColumn("1.0.8802.1.1.2.1.4.1.1.5");

constexpr quint32 IfTypeEthernetCsmacd = 6;
constexpr quint32 IfTypeSoftwareLoopback = 24;
constexpr quint32 IfTypeIeee80211 = 71;

// Four octets as a dotted IPv4 address. LLDP's network-address chassis id starts with
// the IANA address family (1 = IPv4), so five octets of that form are accepted too.
QString dottedAddress(const QByteArray& octets)
{
    QByteArray address = octets;
    if (address.size() == 5 && static_cast<quint8>(address.at(0)) == 1)
        address.remove(0, 1);
    if (address.size() != 4)
        return {};
    return QStringLiteral("%1.%2.%3.%4")
        .arg(static_cast<quint8>(address.at(0)))
        .arg(static_cast<quint8>(address.at(1)))
        .arg(static_cast<quint8>(address.at(2)))
        .arg(static_cast<quint8>(address.at(3)));
}

QString macText(const QVariant& value)
{
    const QByteArray octets = value.toByteArray();
    if (octets.size() != 6)
        return {};
    return QString::fromLatin1(octets.toHex().toUpper());
}

bool toUnsigned(const SnmpReader::WalkCell& cell, quint32& number)
{
    bool ok = false;
    number = cell.text.toUInt(&ok);
    return ok;
}

// The walks of one query: one session, one deadline, and the note of the first walk cut short.
struct QueryWalks
{
    SnmpUtils::SingleSession* session = nullptr;
    int mode = SnmpReader::WalkGetNext;
    QDeadlineTimer deadline;
    QString stopNote;

    WalkRows walk(bool& ok, const QStringList& columns) { return walk(ok, columns, mode); }
    WalkRows walk(bool& ok, const QStringList& columns, int walkMode)
    {
        QString note;
        WalkRows rows = SnmpReader::walkColumns(ok, session, columns, walkMode, deadline, &note);
        if (stopNote.isEmpty())
            stopNote = note;
        return rows;
    }
};

bool readInterfaces(QueryWalks& walks, bool detailed, QMap<quint32, SnmpReader::InterfaceInfo>& interfaces)
{
    QStringList columns{IfIndexColumn, IfDescrColumn, IfTypeColumn, IfPhysAddressColumn};
    if (detailed) {
        columns << IfSpeedColumn << IfHighSpeedColumn << IfAdminStatusColumn << IfOperStatusColumn << IfNameColumn
                << IfAliasColumn;
    }
    bool ok = false;
    const WalkRows rows = walks.walk(ok, columns);
    if (!ok)
        return false;
    for (const SnmpReader::WalkRow& row : rows) {
        SnmpReader::InterfaceInfo info;
        bool numbers = toUnsigned(row.at(0), info.index) && toUnsigned(row.at(2), info.type);
        info.description = row.at(1).text;
        info.mac = macText(row.at(3).value);
        if (detailed) {
            numbers = numbers && toUnsigned(row.at(4), info.speed) && toUnsigned(row.at(5), info.highSpeed) &&
                      toUnsigned(row.at(6), info.adminStatus) && toUnsigned(row.at(7), info.operStatus);
            info.name = row.at(8).text;
            info.alias = row.at(9).text;
        }
        if (numbers)
            interfaces.insert(info.index, info);
    }
    return true;
}

bool readAddresses(QueryWalks& walks, const QMap<quint32, SnmpReader::InterfaceInfo>& interfaces,
                   QList<SnmpReader::AddressInfo>& addresses)
{
    bool ok = false;
    const WalkRows rows = walks.walk(ok, {IpAdEntAddrColumn, IpAdEntIfIndexColumn, IpAdEntNetMaskColumn});
    if (!ok)
        return false;
    for (const SnmpReader::WalkRow& row : rows) {
        SnmpReader::AddressInfo info;
        bool converted = false;
        info.ifIndex = row.at(1).text.toInt(&converted);
        if (!converted)
            continue;
        info.address = row.at(0).text;
        if (info.address.startsWith(QLatin1String("127.")))
            continue;
        const auto interface = interfaces.constFind(static_cast<quint32>(info.ifIndex));
        if (interface != interfaces.constEnd() && interface->type == IfTypeSoftwareLoopback)
            continue;
        info.netmask = row.at(2).text;
        addresses.append(info);
    }
    return true;
}

bool readNeighbours(QueryWalks& walks, QSet<QString>& neighbours)
{
    bool anyOk = false;
    bool ok = false;
    const WalkRows arpRows = walks.walk(ok, {IpNetToMediaNetAddressColumn});
    if (ok) {
        anyOk = true;
        for (const SnmpReader::WalkRow& row : arpRows) {
            if (!row.at(0).text.isEmpty())
                neighbours.insert(row.at(0).text);
        }
    }
    // CDP address type 1 and LLDP chassis-id subtype 5 both mean an address in octets.
    const struct
    {
        QLatin1String typeColumn;
        QLatin1String addressColumn;
        QLatin1String addressType;
    } tables[] = {{CdpCacheAddressTypeColumn, CdpCacheAddressColumn, QLatin1String("1")},
                  {LldpRemChassisIdSubtypeColumn, LldpRemChassisIdColumn, QLatin1String("5")}};
    for (const auto& table : tables) {
        const WalkRows rows = walks.walk(ok, {table.typeColumn, table.addressColumn});
        if (!ok)
            continue;
        anyOk = true;
        for (const SnmpReader::WalkRow& row : rows) {
            if (row.at(0).text != table.addressType)
                continue;
            const QString address = dottedAddress(row.at(1).value.toByteArray());
            if (!address.isEmpty())
                neighbours.insert(address);
        }
    }
    return anyOk;
}

SnmpReader::HostInfoResult queryOnce(const QString& ip, const SnmpUtils::SnmpParams& params, int flags)
{
    SnmpReader::HostInfoResult result;
    result.ip = ip;
    SnmpUtils::SingleSession* session =
        SnmpUtils::openSingleSession(ip, params, SnmpReader::QueryRetries, SnmpReader::QueryTimeoutMicroseconds);
    if (!session) {
        qCInfo(lcSnmp) << "No session with" << ip;
        return result;
    }

    QueryWalks walks;
    walks.session = session;
    walks.deadline.setRemainingTime(qint64(SnmpReader::querySecondBound()) * 1000);
    bool anyPart = false;
    if (flags & SnmpReader::SystemInfo) {
        bool ok = false;
        const WalkRows rows = walks.walk(ok, {SysDescrColumn, SysNameColumn}, SnmpReader::WalkGetNext);
        if (!ok || rows.isEmpty()) {
            SnmpUtils::closeSingleSession(session);
            return result;
        }
        result.sysDescr = rows.first().at(0).text;
        result.sysName = rows.first().at(1).text;
        anyPart = true;
    }
    walks.mode = params.version == 1 ? SnmpReader::WalkGetNext : SnmpReader::WalkGetBulk;
    if (flags & (SnmpReader::Interfaces | SnmpReader::InterfaceDetails))
        anyPart |= readInterfaces(walks, flags & SnmpReader::InterfaceDetails, result.interfaces);
    if (flags & SnmpReader::IpAddresses)
        anyPart |= readAddresses(walks, result.interfaces, result.addresses);
    if (flags & SnmpReader::Neighbours)
        anyPart |= readNeighbours(walks, result.neighbours);
    result.ok = anyPart;
    result.stopNote = walks.stopNote;
    SnmpUtils::closeSingleSession(session);
    return result;
}

} // namespace

int SnmpReader::newRequestId()
{
    static QAtomicInt lastId;
    return lastId.fetchAndAddOrdered(1) + 1;
}

SnmpReader* SnmpReader::instance()
{
    static SnmpReader reader;
    return &reader;
}

SnmpReader::SnmpReader()
{
    qRegisterMetaType<SnmpReader::HostInfoResult>("SnmpReader::HostInfoResult");
    // A pool of its own: its queries wait on devices that may never answer, and nobody
    // else's work may queue behind them.
    m_pool.setMaxThreadCount(MaxRunningQueries);
    SnmpUtils::initLibrary();
}

SnmpReader::~SnmpReader()
{
    for (QFutureWatcher<HostInfoResult>* watcher : qAsConst(m_running))
        watcher->waitForFinished();
    m_pool.waitForDone();
    SnmpUtils::shutdownLibrary();
}

void SnmpReader::requestHostInfo(const QString& ip, const SnmpUtils::SnmpParams& params, int flags, int requestId)
{
    m_pending[requestId].append(PendingQuery{ip, params, flags});
    schedule();
}

int SnmpReader::runningQueries() const
{
    return m_running.size();
}

int SnmpReader::pendingQueries(int requestId) const
{
    return m_pending.value(requestId).size();
}

void SnmpReader::schedule()
{
    while (!m_pending.isEmpty() && m_running.size() < MaxRunningQueries) {
        const auto first = m_pending.begin();
        if (first->isEmpty()) {
            m_pending.erase(first);
            continue;
        }
        const int requestId = first.key();
        PendingQuery query = first->takeFirst();
        if (first->isEmpty())
            m_pending.erase(first);
        ++m_outstanding[requestId];
        if (query.params.version == 0) {
            query.params.version = 2;
            query.params.community = QStringLiteral("public");
        }
        auto* watcher = new QFutureWatcher<HostInfoResult>(this);
        connect(watcher, &QFutureWatcher<HostInfoResult>::finished, this,
                [this, watcher, requestId] { onQueryFinished(watcher, requestId); });
        m_running.insert(watcher);
        watcher->setFuture(QtConcurrent::run(&m_pool, &SnmpReader::queryHostInfo, query.ip, query.params, query.flags));
    }
}

void SnmpReader::onQueryFinished(QFutureWatcher<HostInfoResult>* watcher, int requestId)
{
    const HostInfoResult result = watcher->result();
    m_running.remove(watcher);
    watcher->deleteLater();
    --m_outstanding[requestId];
    emit HostResolved(result, requestId);
    // Looked at only now: a receiver may have queued more queries of this id, or run a
    // nested event loop in which other queries of it finished.
    const auto outstanding = m_outstanding.find(requestId);
    if (outstanding != m_outstanding.end() && *outstanding <= 0 && !m_pending.contains(requestId)) {
        m_outstanding.erase(outstanding);
        emit AllHostsResolved(requestId);
    }
    schedule();
}

SnmpReader::HostInfoResult SnmpReader::queryHostInfo(const QString& ip, const SnmpUtils::SnmpParams& params, int flags)
{
    HostInfoResult result = queryOnce(ip, params, flags);
    if (result.ok || params.version != 3 || !(flags & PrivacyFallback))
        return result;
    const int partner = SnmpUtils::privProtocolPartner(params.privProtocol);
    if (partner < 0)
        return result;
    SnmpUtils::SnmpParams swapped = params;
    swapped.privProtocol = partner;
    // Keys cached in the library for this user and engine would otherwise be reused.
    SnmpUtils::clearUsmUsers();
    result = queryOnce(ip, swapped, flags);
    if (result.ok) {
        result.paramsChanged = true;
        result.usedParams = swapped;
    }
    return result;
}

void SnmpReader::setWalkBounds(int rows, int seconds, qint64 bytes)
{
    g_walkRows = rows > 0 ? rows : MaxWalkRows;
    g_querySeconds = seconds > 0 ? seconds : MaxQuerySeconds;
    g_walkBytes = bytes > 0 ? bytes : MaxWalkBytes;
}

int SnmpReader::walkRowBound()
{
    return g_walkRows;
}

int SnmpReader::querySecondBound()
{
    return g_querySeconds;
}

qint64 SnmpReader::walkByteBound()
{
    return g_walkBytes;
}

QList<SnmpReader::WalkRow> SnmpReader::walkColumns(bool& ok, SnmpUtils::SingleSession* session,
                                                   const QStringList& columnOids, int mode,
                                                   const QDeadlineTimer& deadline, QString* stopNote)
{
    ok = false;
    QList<WalkRow> result;
    const int columnCount = columnOids.size();
    if (!session || columnCount == 0)
        return result;
    // Each column is a walk of its own; a row counts while every column has a row there.
    std::vector<SubtreeWalk> walks(columnOids.cbegin(), columnOids.cend());
    QStringList asked = columnOids;
    const int pduType = mode == WalkGetBulk ? SNMP_MSG_GETBULK : SNMP_MSG_GETNEXT;
    const int maxRows = walkRowBound();
    const qint64 maxBytes = walkByteBound();
    qint64 bytes = 0;
    for (;;) {
        const QList<SnmpOidUtils::OidValue> cells =
            SnmpOidUtils::request(ok, session, pduType, asked, SnmpOidUtils::ValueForm::CellValue, 10);
        if (!ok) {
            qCDebug(lcSnmp) << "Column walk failed at" << asked;
            return result;
        }
        // A trailing incomplete group of cells is no row.
        const int rowCount = cells.size() / columnCount;
        int rows = rowCount;
        for (int c = 0; c < columnCount; ++c) {
            QList<SnmpOidUtils::OidValue> column;
            for (int r = 0; r < rowCount; ++r)
                column.append(cells.at(r * columnCount + c));
            const SubtreeWalk::Step step = walks[c].judge(asked.at(c), column);
            rows = qMin(rows, step.rows);
            asked[c] = step.next;
        }
        for (int r = 0; r < rows; ++r) {
            WalkRow row;
            for (int c = 0; c < columnCount; ++c) {
                const SnmpOidUtils::OidValue& cell = cells.at(r * columnCount + c);
                row.append(WalkCell{SnmpOidUtils::valueText(cell.value), cell.value});
                bytes += SnmpOidUtils::valueFootprint(row.last().text, cell.value);
            }
            result.append(row);
        }
        if (rows == 0 || rows < rowCount)
            return result;
        if (result.size() >= maxRows || bytes >= maxBytes || deadline.hasExpired()) {
            const bool full = result.size() >= maxRows;
            result.erase(result.begin() + qMin(maxRows, result.size()), result.end());
            qCInfo(lcSnmp) << "Column walk stopped at" << asked << "after" << result.size() << "rows";
            if (stopNote)
                *stopNote = full                ? tr("Walk stopped after %1 rows").arg(maxRows)
                            : bytes >= maxBytes ? SnmpOidUtils::sizeBoundNote(maxBytes)
                                                : tr("Walk stopped after %1 seconds").arg(querySecondBound());
            return result;
        }
    }
}

QSet<QString> SnmpReader::macAddresses(const HostInfoResult& result)
{
    QSet<QString> macs;
    for (const InterfaceInfo& interface : result.interfaces) {
        if (interface.type != IfTypeEthernetCsmacd && interface.type != IfTypeIeee80211)
            continue;
        if (interface.mac.isEmpty() || interface.mac == QLatin1String("000000000000") ||
            interface.mac == QLatin1String("FFFFFFFFFFFF"))
            continue;
        macs.insert(interface.mac);
    }
    return macs;
}

bool SnmpReader::isSameDevice(const HostInfoResult& a, const QSet<QString>& macsOfA, const HostInfoResult& b)
{
    if (a.ip == b.ip)
        return true;
    if (a.sysName != b.sysName)
        return false;
    const QSet<QString> macsOfB = macAddresses(b);
    if (!a.sysName.isEmpty() && !b.sysName.isEmpty() && macsOfA.isEmpty() && macsOfB.isEmpty())
        return true;
    if (!macsOfA.isEmpty() && !macsOfB.isEmpty())
        return macsOfA.intersects(macsOfB);
    return false;
}
