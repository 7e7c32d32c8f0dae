#pragma once

#include "snmp/SnmpUtils.h"

#include <QDeadlineTimer>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QVariant>

template <typename T> class QFutureWatcher;

// Identifies devices: for each queued address it reads the system description and name
// and, as asked, the interface table, the IP address table and the neighbours learnt
// from ARP, CDP and LLDP. Up to 50 queries run at once on a thread pool of its own; each
// result comes back on the owner's thread as HostResolved, grouped by a caller-chosen
// request id, and AllHostsResolved follows the last query of an id.
class SnmpReader final : public QObject
{
    Q_OBJECT

public:
    // The bits of the flags passed with each query.
    enum HostInfoFlags
    {
        SystemInfo = 0x01,       // sysDescr and sysName
        Interfaces = 0x02,       // basic interface columns
        IpAddresses = 0x04,      // ipAddrTable, filtered against the interfaces read
        Neighbours = 0x08,       // ARP, CDP and LLDP
        InterfaceDetails = 0x10, // detailed interface columns (implies Interfaces)
        PrivacyFallback = 0x80   // retry an SNMPv3 AES-192/256 failure with the other key extension
    };

    static constexpr int MaxRunningQueries = 50;
    static constexpr int QueryRetries = 2;
    static constexpr long QueryTimeoutMicroseconds = 1500000;
    // Bounds no real device reaches, so that an agent whose tables never end cannot hold a
    // query for ever: a column walk ends after MaxWalkRows rows or once its values take
    // MaxWalkBytes, and the walks of a query end once it has run MaxQuerySeconds; its result
    // says so (stopNote).
    static constexpr int MaxWalkRows = 100000;
    static constexpr int MaxQuerySeconds = 60;
    static constexpr qint64 MaxWalkBytes = 64 << 20;

    struct InterfaceInfo
    {
        quint32 index = 0;
        QString description;
        quint32 type = 0;
        QString mac; // twelve upper-case hex digits, or empty
        quint32 speed = 0;
        quint32 highSpeed = 0;
        quint32 adminStatus = 0;
        quint32 operStatus = 0;
        QString name;
        QString alias;
    };

    struct AddressInfo
    {
        qint32 ifIndex = 0;
        QString address;
        QString netmask;
    };

    struct HostInfoResult
    {
        QString ip;
        bool ok = false;
        QString sysName;
        QString sysDescr;
        QMap<quint32, InterfaceInfo> interfaces;
        QList<AddressInfo> addresses;
        QSet<QString> neighbours;
        SnmpUtils::SnmpParams usedParams; // only filled when the privacy fallback changed them
        bool paramsChanged = false;
        QString stopNote; // why a walk stopped short, for the user: "Walk stopped after 100000 rows"
    };

    // One cell of a column walk: the string form of the value and the value itself.
    struct WalkCell
    {
        QString text;
        QVariant value;
    };
    using WalkRow = QList<WalkCell>;

    enum WalkMode
    {
        WalkGetNext = 0,
        WalkGetBulk = 1
    };

    static SnmpReader* instance();

    // A request id no other caller of this process has been given; each window or dialog that
    // asks for device information takes one and ignores results under other ids.
    static int newRequestId();

    // Queues one query under requestId and starts what the limit allows. Owner thread only.
    void requestHostInfo(const QString& ip, const SnmpUtils::SnmpParams& params, int flags, int requestId);

    // Queries started and not yet reported; queries of requestId not yet started.
    int runningQueries() const;
    int pendingQueries(int requestId) const;

    // The blocking body of one queued query, privacy fallback included; runs on pool threads.
    static HostInfoResult queryHostInfo(const QString& ip, const SnmpUtils::SnmpParams& params, int flags);

    // Walks the columns side by side over the session until one of them leaves its column,
    // the agent answers with an exception value or stops advancing. ok is false when any
    // request failed; the rows read before the failure are returned all the same. The walk
    // also ends, ok, after walkRowBound() rows, walkByteBound() bytes of values or once the
    // deadline has passed; stopNote
    // (when given) then says which.
    static QList<WalkRow> walkColumns(bool& ok, SnmpUtils::SingleSession* session, const QStringList& columnOids,
                                      int mode,
                                      const QDeadlineTimer& deadline = QDeadlineTimer(QDeadlineTimer::Forever),
                                      QString* stopNote = nullptr);

    // The bounds of queries started from now on (tests use small ones); 0 restores a default.
    static void setWalkBounds(int rows, int seconds, qint64 bytes = 0);
    static int walkRowBound();
    static int querySecondBound();
    static qint64 walkByteBound();

    // MACs of the Ethernet and 802.11 interfaces, without all-zero and broadcast ones.
    static QSet<QString> macAddresses(const HostInfoResult& result);
    // Whether two results are the same device; macsOfA is macAddresses(a).
    static bool isSameDevice(const HostInfoResult& a, const QSet<QString>& macsOfA, const HostInfoResult& b);

signals:
    void HostResolved(const SnmpReader::HostInfoResult& result, int request_id);
    void AllHostsResolved(int request_id);

private:
    struct PendingQuery
    {
        QString ip;
        SnmpUtils::SnmpParams params;
        int flags = 0;
    };

    SnmpReader();
    ~SnmpReader() override;
    Q_DISABLE_COPY_MOVE(SnmpReader)

    void schedule();
    void onQueryFinished(QFutureWatcher<HostInfoResult>* watcher, int requestId);

    QMap<int, QList<PendingQuery>> m_pending;
    QMap<int, int> m_outstanding;
    QSet<QFutureWatcher<HostInfoResult>*> m_running;
    QThreadPool m_pool;
};

Q_DECLARE_METATYPE(SnmpReader::HostInfoResult)
