#include "SnmpAsyncReader.h"
#include "SnmpReader.h"
#include "SnmpdFixture.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>

#include <iterator>
#include <memory>

using Rows = QList<QStringList>;

namespace {

SnmpUtils::SnmpParams v2c(const QString& community = QString(SnmpdFixture::kCommunity))
{
    SnmpUtils::SnmpParams params;
    params.version = 2;
    params.community = community;
    return params;
}

SnmpUtils::SnmpParams v3(const QString& user, int privProtocol = -1)
{
    const SnmpdFixture::V3User* known = SnmpdFixture::v3User(user);
    SnmpUtils::SnmpParams params;
    params.version = 3;
    params.userName = user;
    if (known) {
        params.authProtocol = known->authProtocol;
        params.privProtocol = privProtocol < 0 ? known->privProtocol : privProtocol;
    }
    params.authPassword = QString(SnmpdFixture::kAuthPassPhrase);
    params.privPassword = QString(SnmpdFixture::kPrivPassPhrase);
    return params;
}

Rows texts(const QList<SnmpReader::WalkRow>& rows)
{
    Rows result;
    for (const SnmpReader::WalkRow& row : rows) {
        QStringList cells;
        for (const SnmpReader::WalkCell& cell : row)
            cells << cell.text;
        result << cells;
    }
    return result;
}

QString closedAddress()
{
    return QStringLiteral("127.0.0.1:%1").arg(SnmpdFixture::closedPort());
}

struct Delivery
{
    QString ip;
    QString path;
    QList<SnmpOidUtils::OidValue> results;
};

} // namespace

class TestSnmpReader final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void walkColumns_data();
    void walkColumns();
    void walkFailures();

    void runnerPriorityOrder();
    void runnerDestroyedReceiver();

    void hostInfoContent_data();
    void hostInfoContent();
    void versionCodes();
    void privacyFallback();
    void schedulerLimitAndOrder();
    void groupGrowsFromReceiver();

    void duplicateRule_data();
    void duplicateRule();
    void macFilter();

private:
    SnmpOidUtils::Device agentDevice() const;

    SnmpdFixture m_agent;
};

void TestSnmpReader::initTestCase()
{
    m_agent.setMisbehavingColumns(true);
    // A short last column instead of the 10,000-row one, for the walk that runs into the
    // end of the view.
    m_agent.removeValues(QString(SnmpdFixture::kOidBulkColumn));
    for (int row = 1; row <= 3; ++row)
        m_agent.setValue(QString(SnmpdFixture::kOidBulkColumn) + QStringLiteral(".%1").arg(row),
                         QStringLiteral("string"), QStringLiteral("row %1").arg(row));
    SNMPD_FIXTURE_START(m_agent);
    SnmpReader::instance();
    SnmpAsyncReader::instance();
}

void TestSnmpReader::cleanupTestCase()
{
    m_agent.stop();
}

SnmpOidUtils::Device TestSnmpReader::agentDevice() const
{
    return SnmpOidUtils::Device::fromParams(m_agent.address(), v2c());
}

void TestSnmpReader::walkColumns_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<Rows>("expected");

    const QString sparse = QString(SnmpdFixture::kOidSparseColumn);
    const QString dotted = QString(SnmpdFixture::kOidDottedIndexColumn);
    const QString longColumn = QString(SnmpdFixture::kOidLongColumn);
    const QString shortColumn = QString(SnmpdFixture::kOidShortColumn);
    const Rows sparseRows{{"one"}, {"two"}, {"ten"}};
    const Rows unevenRows{{"11", "b1"}, {"12", "b2"}, {"13", "b3"}};
    for (int version : {1, 2}) {
        for (int mode : {0, 1}) {
            if (version == 1 && mode == 1)
                continue;
            const QByteArray tag = "v" + QByteArray::number(version) + (mode ? " bulk " : " next ");
            QTest::newRow(QByteArray(tag + "sparse column").constData())
                << version << mode << QStringList{sparse} << sparseRows;
            QTest::newRow(QByteArray(tag + "long and short column").constData())
                << version << mode << QStringList{longColumn, shortColumn} << unevenRows;
            QTest::newRow(QByteArray(tag + "short and long column").constData())
                << version << mode << QStringList{shortColumn, longColumn}
                << Rows{{"b1", "11"}, {"b2", "12"}, {"b3", "13"}};
            QTest::newRow(QByteArray(tag + "dotted index").constData())
                << version << mode << QStringList{dotted} << Rows{{"15"}, {"117"}, {"23"}};
            QTest::newRow(QByteArray(tag + "agent repeats the OID").constData())
                << version << mode << QStringList{QString(SnmpdFixture::kOidRepeatColumn)} << Rows{{"repeat"}};
            QTest::newRow(QByteArray(tag + "agent goes backwards").constData())
                << version << mode << QStringList{QString(SnmpdFixture::kOidBackwardsColumn)}
                << Rows{{"back-1"}, {"back-2"}};
        }
    }
}

void TestSnmpReader::walkColumns()
{
    QFETCH(int, version);
    QFETCH(int, mode);
    QFETCH(QStringList, columns);
    QFETCH(Rows, expected);

    SnmpUtils::SnmpParams params = v2c();
    params.version = version;
    SnmpUtils::SingleSession* session = SnmpUtils::openSingleSession(m_agent.address(), params, 1, 1000000);
    QVERIFY(session);
    bool ok = false;
    const Rows rows = texts(SnmpReader::walkColumns(ok, session, columns, mode));
    SnmpUtils::closeSingleSession(session);
    QVERIFY(ok);
    QCOMPARE(rows, expected);
}

void TestSnmpReader::walkFailures()
{
    bool ok = true;
    QVERIFY(SnmpReader::walkColumns(ok, nullptr, {QStringLiteral("1.3.6.1.2.1.1.1")}, 0).isEmpty());
    QVERIFY(!ok);

    // The last column of the agent's view ends in endOfMibView under the last name, which
    // still lies inside the column; the walk stops there with every row.
    SnmpUtils::SingleSession* session = SnmpUtils::openSingleSession(m_agent.address(), v2c(), 1, 1000000);
    QVERIFY(session);
    for (int mode : {0, 1}) {
        const Rows rows = texts(SnmpReader::walkColumns(ok, session, {QString(SnmpdFixture::kOidBulkColumn)}, mode));
        QVERIFY(ok);
        QCOMPARE(rows, (Rows{{"row 1"}, {"row 2"}, {"row 3"}}));
    }
    SnmpUtils::closeSingleSession(session);

    session = SnmpUtils::openSingleSession(closedAddress(), v2c(), 0, 300000);
    QVERIFY(session);
    ok = true;
    QVERIFY(SnmpReader::walkColumns(ok, session, {QStringLiteral("1.3.6.1.2.1.1.1")}, 0).isEmpty());
    SnmpUtils::closeSingleSession(session);
    QVERIFY(!ok);
}

void TestSnmpReader::runnerPriorityOrder()
{
    SnmpAsyncReader* runner = SnmpAsyncReader::instance();
    QObject receiver;
    QStringList order;
    QList<Delivery> deliveries;
    const SnmpOidUtils::Device device = agentDevice();
    auto record = [&](const QString& ip, const QString& path, const QList<SnmpOidUtils::OidValue>& results) {
        order << path;
        deliveries << Delivery{ip, path, results};
    };
    const QString a = QString(SnmpdFixture::kOidSysDescr);
    const QString b = QString(SnmpdFixture::kOidSysName);
    const QString c = QString(SnmpdFixture::kOidInteger);
    const QString d = QString(SnmpdFixture::kOidText);
    const QString e = QString(SnmpdFixture::kFixtureRoot) + QStringLiteral(".4.1.1");
    const QString f = QString(SnmpdFixture::kOidCounter32);

    // A runs at once; a request queued from A's callback waits behind the running one
    // and among equal priorities keeps its arrival order.
    runner->get(
        device, a, 0,
        [&](const QString& ip, const QString& path, const QList<SnmpOidUtils::OidValue>& results) {
            record(ip, path, results);
            runner->get(device, f, 2, record, &receiver);
            QCOMPARE(runner->queuedRequests(), 6);
        },
        &receiver);
    QCOMPARE(runner->queuedRequests(), 1);
    runner->get(device, b, 0, record, &receiver);
    runner->get(device, c, 2, record, &receiver);
    runner->get(device, d, 2, record, &receiver);
    runner->getBulk(device, e, 1, record, &receiver);
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 6, 10000);
    QCOMPARE(order, (QStringList{a, c, d, f, e, b}));
    QCOMPARE(runner->queuedRequests(), 0);

    for (const Delivery& delivery : qAsConst(deliveries)) {
        QCOMPARE(delivery.ip, device.ip);
        QVERIFY2(!delivery.results.isEmpty(), qPrintable(delivery.path));
    }
    QCOMPARE(deliveries.at(0).results.first().value.toString(), QString(SnmpdFixture::kSysDescr));
    QCOMPARE(deliveries.at(1).results.first().value.toInt(), -42);
    // GETBULK returns all 20 repetitions, past the end of the walked column.
    QCOMPARE(deliveries.at(4).results.size(), 20);
    QCOMPARE(deliveries.at(4).results.first().value.toString(), QStringLiteral("11"));
}

void TestSnmpReader::runnerDestroyedReceiver()
{
    SnmpAsyncReader* runner = SnmpAsyncReader::instance();
    auto running = std::make_unique<QObject>();
    auto waiting = std::make_unique<QObject>();
    QObject alive;
    QList<Delivery> deliveries;
    const SnmpOidUtils::Device device = agentDevice();
    SnmpOidUtils::Device unreachable = device;
    unreachable.ip = closedAddress();
    auto record = [&](const QString& ip, const QString& path, const QList<SnmpOidUtils::OidValue>& results) {
        deliveries << Delivery{ip, path, results};
    };

    runner->get(device, QStringLiteral("1.3.6.1.2.1.1.1.0"), 0, record, running.get());
    runner->getNext(device, QStringLiteral("1.3.6.1.2.1.1.1"), 0, record, waiting.get());
    runner->get(unreachable, QStringLiteral("1.3.6.1.2.1.1.5.0"), 0, record, &alive);
    running.reset();
    waiting.reset();

    // The unreachable device answers after the time-out and retries with an empty list.
    QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 1, 10000);
    QCOMPARE(deliveries.first().ip, unreachable.ip);
    QCOMPARE(deliveries.first().path, QStringLiteral("1.3.6.1.2.1.1.5.0"));
    QVERIFY(deliveries.first().results.isEmpty());
    QCOMPARE(runner->queuedRequests(), 0);
}

void TestSnmpReader::hostInfoContent_data()
{
    QTest::addColumn<SnmpUtils::SnmpParams>("params");
    QTest::newRow("v1") << [] {
        SnmpUtils::SnmpParams params = v2c();
        params.version = 1;
        return params;
    }();
    QTest::newRow("v2c") << v2c();
    QTest::newRow("v3 authNoPriv") << v3(SnmpdFixture::kUserSha1);
    QTest::newRow("v3 AES-256") << v3(SnmpdFixture::kUserAes256);
}

void TestSnmpReader::hostInfoContent()
{
    QFETCH(SnmpUtils::SnmpParams, params);
    const SnmpReader::HostInfoResult result = SnmpReader::queryHostInfo(
        m_agent.address(), params,
        SnmpReader::SystemInfo | SnmpReader::InterfaceDetails | SnmpReader::IpAddresses | SnmpReader::Neighbours);
    QVERIFY(result.ok);
    QCOMPARE(result.ip, m_agent.address());
    QCOMPARE(result.sysDescr, QString(SnmpdFixture::kSysDescr));
    QCOMPARE(result.sysName, QString(SnmpdFixture::kSysName));
    QVERIFY(!result.paramsChanged);

    const QVector<SnmpdFixture::Interface> interfaces = SnmpdFixture::interfaces();
    QCOMPARE(result.interfaces.size(), interfaces.size());
    for (const SnmpdFixture::Interface& expected : interfaces) {
        const SnmpReader::InterfaceInfo info = result.interfaces.value(expected.index);
        QCOMPARE(info.index, expected.index);
        QCOMPARE(info.description, expected.descr);
        QCOMPARE(info.type, expected.type);
        QCOMPARE(info.mac, expected.expectedMac);
        QCOMPARE(info.speed, expected.speed);
        QCOMPARE(info.highSpeed, expected.highSpeed);
        QCOMPARE(info.adminStatus, expected.adminStatus);
        QCOMPARE(info.operStatus, expected.operStatus);
        QCOMPARE(info.name, expected.name);
        QCOMPARE(info.alias, expected.alias);
    }
    QStringList expectedMacs = SnmpdFixture::expectedMacAddresses();
    QStringList macs = SnmpReader::macAddresses(result).values();
    expectedMacs.sort();
    macs.sort();
    QCOMPARE(macs, expectedMacs);

    QStringList addresses;
    for (const SnmpReader::AddressInfo& address : result.addresses)
        addresses << QStringLiteral("%1 %2 %3").arg(address.address).arg(address.ifIndex).arg(address.netmask);
    QStringList expectedAddresses;
    for (const SnmpdFixture::Address& address : SnmpdFixture::ipAddresses()) {
        if (address.reported)
            expectedAddresses
                << QStringLiteral("%1 %2 %3").arg(address.address).arg(address.ifIndex).arg(address.netmask);
    }
    QCOMPARE(addresses, expectedAddresses);

    // The LLDP-MIB form of a network address (family 1, then four octets) counts too.
    QStringList neighbours = result.neighbours.values();
    QStringList expectedNeighbours = SnmpdFixture::expectedNeighbours() << QStringLiteral("10.0.0.6");
    neighbours.sort();
    expectedNeighbours.sort();
    QCOMPARE(neighbours, expectedNeighbours);

    // Without the detailed flag only the basic columns are filled; without 0x04 and 0x08
    // nothing else is read.
    const SnmpReader::HostInfoResult basic = SnmpReader::queryHostInfo(m_agent.address(), params, 0x03);
    QVERIFY(basic.ok);
    QCOMPARE(basic.interfaces.size(), interfaces.size());
    QCOMPARE(basic.interfaces.value(2).mac, QStringLiteral("001122334455"));
    QCOMPARE(basic.interfaces.value(2).speed, 0u);
    QVERIFY(basic.interfaces.value(2).name.isEmpty());
    QVERIFY(basic.addresses.isEmpty());
    QVERIFY(basic.neighbours.isEmpty());
}

void TestSnmpReader::versionCodes()
{
    SnmpReader* reader = SnmpReader::instance();
    QSignalSpy resolved(reader, &SnmpReader::HostResolved);
    SnmpUtils::SnmpParams unset;
    unset.community = QStringLiteral("not used");
    SnmpUtils::SnmpParams unknown = v2c();
    unknown.version = 4;
    reader->requestHostInfo(m_agent.address(), unset, 0x03, 11);
    reader->requestHostInfo(m_agent.address(), unknown, 0x03, 12);
    QTRY_COMPARE_WITH_TIMEOUT(resolved.size(), 2, 10000);
    for (const QList<QVariant>& arguments : qAsConst(resolved)) {
        const auto result = arguments.at(0).value<SnmpReader::HostInfoResult>();
        if (arguments.at(1).toInt() == 11) {
            // Not set means SNMPv2c with "public".
            QVERIFY(result.ok);
            QCOMPARE(result.sysName, QString(SnmpdFixture::kSysName));
            QVERIFY(!result.paramsChanged);
        } else {
            QVERIFY(!result.ok);
            QVERIFY(result.sysName.isEmpty());
            QVERIFY(result.interfaces.isEmpty());
        }
    }
}

void TestSnmpReader::privacyFallback()
{
    // The fallbacks empty the library's user table while queries of other users run
    // beside them; none of those may lose its keys. Each user name appears with one set
    // of credentials only, as the library keeps one key set per user name and engine.
    SnmpUtils::clearUsmUsers();
    SnmpReader* reader = SnmpReader::instance();
    const struct
    {
        const char* user;
        int queuedPriv;
        int flags;
        bool ok;
        int usedPriv; // -1: credentials unchanged
    } cases[] = {
        {SnmpdFixture::kUserAes256Cisco, 6, 0x83, true, 7},
        {SnmpdFixture::kUserAes256Sha1, 7, 0x83, true, 6},
        {SnmpdFixture::kUserAes192Cisco, 4, 0x83, true, 5},
        {SnmpdFixture::kUserAes192, 5, 0x03, false, -1},
        // A SHA-256 key is long enough for AES-256 without extension: both variants work.
        {SnmpdFixture::kUserAes256, 7, 0x83, true, -1},
    };
    const int caseCount = static_cast<int>(std::size(cases));
    const int steadyId = 40;
    const char* steady[] = {SnmpdFixture::kUserSha1, SnmpdFixture::kUserMd5,    SnmpdFixture::kUserAes,
                            SnmpdFixture::kUserDes,  SnmpdFixture::kUserSha512, SnmpdFixture::kUserNoAuth};

    QSignalSpy resolved(reader, &SnmpReader::HostResolved);
    for (int i = 0; i < caseCount; ++i)
        reader->requestHostInfo(m_agent.address(), v3(cases[i].user, cases[i].queuedPriv), cases[i].flags, 30 + i);
    int steadyCount = 0;
    for (int round = 0; round < 4; ++round) {
        for (const char* user : steady) {
            reader->requestHostInfo(m_agent.address(), v3(user), 0x03, steadyId);
            ++steadyCount;
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(resolved.size(), caseCount + steadyCount, 30000);

    for (const QList<QVariant>& arguments : qAsConst(resolved)) {
        const auto result = arguments.at(0).value<SnmpReader::HostInfoResult>();
        const int id = arguments.at(1).toInt();
        if (id == steadyId) {
            QVERIFY(result.ok);
            QCOMPARE(result.interfaces.size(), SnmpdFixture::interfaces().size());
            QVERIFY(!result.paramsChanged);
            continue;
        }
        const auto& expected = cases[id - 30];
        QVERIFY2(result.ok == expected.ok, expected.user);
        QVERIFY2(result.paramsChanged == (expected.usedPriv >= 0), expected.user);
        if (expected.usedPriv >= 0) {
            SnmpUtils::SnmpParams used = v3(expected.user, expected.usedPriv);
            QCOMPARE(result.usedParams, used);
            QCOMPARE(result.sysName, QString(SnmpdFixture::kSysName));
        } else {
            QCOMPARE(result.usedParams, SnmpUtils::SnmpParams());
        }
    }
}

void TestSnmpReader::schedulerLimitAndOrder()
{
    // 50 unreachable devices fill every slot; 70 answering ones of the same id and three
    // of a lower id wait. Nothing else may start before a slot frees, and then the lower
    // id goes first.
    SnmpReader* reader = SnmpReader::instance();
    QCOMPARE(QThreadPool::globalInstance()->maxThreadCount(), SnmpReader::MaxRunningQueries);
    const int manyId = 7;
    const int fewId = 3;
    QMap<int, int> resolvedById;
    QList<int> allResolved;
    int mostRunning = 0;
    bool lowerIdFirst = true;
    int okCount = 0;
    const auto resolvedConnection =
        connect(reader, &SnmpReader::HostResolved, this, [&](const SnmpReader::HostInfoResult& result, int requestId) {
            ++resolvedById[requestId];
            okCount += result.ok ? 1 : 0;
            mostRunning = qMax(mostRunning, reader->runningQueries());
            if (reader->pendingQueries(manyId) < 70 && reader->pendingQueries(fewId) > 0)
                lowerIdFirst = false;
        });
    const auto allConnection = connect(reader, &SnmpReader::AllHostsResolved, this, [&](int requestId) {
        allResolved << requestId;
        if (requestId == manyId)
            QCOMPARE(resolvedById.value(manyId), 120);
    });

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 50; ++i)
        reader->requestHostInfo(closedAddress(), v2c(), 0x03, manyId);
    QCOMPARE(reader->runningQueries(), 50);
    for (int i = 0; i < 70; ++i)
        reader->requestHostInfo(m_agent.address(), v2c(), 0x03, manyId);
    for (int i = 0; i < 3; ++i)
        reader->requestHostInfo(m_agent.address(), v2c(), 0x01, fewId);
    QCOMPARE(reader->runningQueries(), 50);
    QCOMPARE(reader->pendingQueries(manyId), 70);
    QCOMPARE(reader->pendingQueries(fewId), 3);

    QTest::qWait(1000);
    QCOMPARE(resolvedById.value(manyId), 0);

    QTRY_COMPARE_WITH_TIMEOUT(allResolved.size(), 2, 30000);
    const qint64 elapsed = timer.elapsed();
    disconnect(resolvedConnection);
    disconnect(allConnection);
    qInfo("123 queries, 50 of them unreachable: %lld ms", elapsed);

    QCOMPARE(resolvedById.value(manyId), 120);
    QCOMPARE(resolvedById.value(fewId), 3);
    QVERIFY(allResolved.contains(manyId));
    QVERIFY(allResolved.contains(fewId));
    QCOMPARE(okCount, 73);
    QVERIFY(mostRunning <= 50);
    QVERIFY(lowerIdFirst);
    QCOMPARE(reader->runningQueries(), 0);
    // One wave of time-outs (3 x 1.5 s), not fifty after each other.
    QVERIFY2(elapsed < 20000, qPrintable(QString::number(elapsed)));
}

void TestSnmpReader::groupGrowsFromReceiver()
{
    // A receiver that queues one more query of the same id from HostResolved extends the
    // group: the end comes once, after that query too.
    SnmpReader* reader = SnmpReader::instance();
    const int requestId = 50;
    int resolved = 0;
    QList<int> endsAt;
    const auto resolvedConnection =
        connect(reader, &SnmpReader::HostResolved, this, [&](const SnmpReader::HostInfoResult&, int id) {
            if (id != requestId)
                return;
            if (++resolved == 1)
                reader->requestHostInfo(m_agent.address(), v2c(), 0x01, requestId);
        });
    const auto allConnection = connect(reader, &SnmpReader::AllHostsResolved, this, [&](int id) {
        if (id == requestId)
            endsAt << resolved;
    });
    reader->requestHostInfo(m_agent.address(), v2c(), 0x01, requestId);
    QTRY_COMPARE_WITH_TIMEOUT(endsAt.size(), 1, 10000);
    QTest::qWait(200);
    disconnect(resolvedConnection);
    disconnect(allConnection);
    QCOMPARE(endsAt, QList<int>{2});
}

void TestSnmpReader::duplicateRule_data()
{
    QTest::addColumn<SnmpReader::HostInfoResult>("a");
    QTest::addColumn<SnmpReader::HostInfoResult>("b");
    QTest::addColumn<bool>("same");

    auto host = [](const QString& ip, const QString& name, const QStringList& macs) {
        SnmpReader::HostInfoResult result;
        result.ip = ip;
        result.sysName = name;
        quint32 index = 1;
        for (const QString& mac : macs) {
            SnmpReader::InterfaceInfo info;
            info.index = index++;
            info.type = 6;
            info.mac = mac;
            result.interfaces.insert(info.index, info);
        }
        return result;
    };
    const QString a = QStringLiteral("00000000000A");
    const QString b = QStringLiteral("00000000000B");
    QTest::newRow("same address, other names") << host("10.0.0.1", "x", {a}) << host("10.0.0.1", "y", {b}) << true;
    QTest::newRow("other names, shared MAC") << host("10.0.0.1", "x", {a}) << host("10.0.0.2", "y", {a}) << false;
    QTest::newRow("same name, no MACs") << host("10.0.0.1", "core", {}) << host("10.0.0.2", "core", {}) << true;
    QTest::newRow("both names empty") << host("10.0.0.1", "", {}) << host("10.0.0.2", "", {}) << false;
    QTest::newRow("shared MAC") << host("10.0.0.1", "core", {a}) << host("10.0.0.2", "core", {b, a}) << true;
    QTest::newRow("no shared MAC") << host("10.0.0.1", "core", {a}) << host("10.0.0.2", "core", {b}) << false;
    QTest::newRow("only one has MACs") << host("10.0.0.1", "core", {a}) << host("10.0.0.2", "core", {}) << false;
    QTest::newRow("all-zero MACs do not count")
        << host("10.0.0.1", "core", {"000000000000"}) << host("10.0.0.2", "core", {"000000000000"}) << true;
}

void TestSnmpReader::duplicateRule()
{
    QFETCH(SnmpReader::HostInfoResult, a);
    QFETCH(SnmpReader::HostInfoResult, b);
    QFETCH(bool, same);
    QCOMPARE(SnmpReader::isSameDevice(a, SnmpReader::macAddresses(a), b), same);
    QCOMPARE(SnmpReader::isSameDevice(b, SnmpReader::macAddresses(b), a), same);
}

void TestSnmpReader::macFilter()
{
    SnmpReader::HostInfoResult result;
    const struct
    {
        quint32 type;
        const char* mac;
    } rows[] = {{6, "001122334455"},  {71, "02ABCDEF0123"}, {6, "FFFFFFFFFFFF"}, {6, "000000000000"}, {6, ""},
                {24, "0A0B0C0D0E0F"}, {117, "0A0B0C0D0E10"}};
    quint32 index = 1;
    for (const auto& row : rows) {
        SnmpReader::InterfaceInfo info;
        info.index = index++;
        info.type = row.type;
        info.mac = QString::fromLatin1(row.mac);
        result.interfaces.insert(info.index, info);
    }
    QCOMPARE(SnmpReader::macAddresses(result), (QSet<QString>{"001122334455", "02ABCDEF0123"}));
}

QTEST_GUILESS_MAIN(TestSnmpReader)
#include "test_snmpreader.moc"
