#include "snmp/SnmpAsyncReader.h"
#include "snmp/SnmpReader.h"
#include "SnmpdFixture.h"

#include <QSignalSpy>
#include <QtTest>

#include <iterator>
#include <memory>
#include <tuple>

using Rows = QList<QStringList>;
using SnmpOidUtils::OidValue;

namespace {

const QString kRoot = QString(SnmpdFixture::kFixtureRoot) + '.';

SnmpUtils::SnmpParams communityParams(int version = 2)
{
    SnmpUtils::SnmpParams params;
    params.version = version;
    params.community = QString(SnmpdFixture::kCommunity);
    return params;
}

SnmpUtils::SnmpParams v3(const QString& user, int privProtocol)
{
    SnmpUtils::SnmpParams params;
    params.version = 3;
    params.userName = user;
    params.authProtocol = SnmpdFixture::v3User(user).authProtocol;
    params.privProtocol = privProtocol;
    params.authPassword = QString(SnmpdFixture::kAuthPassPhrase);
    params.privPassword = QString(SnmpdFixture::kPrivPassPhrase);
    return params;
}

QString closedAddress()
{
    return QStringLiteral("127.0.0.1:%1").arg(SnmpdFixture::closedPort());
}

// A result with one interface per (type, MAC).
SnmpReader::HostInfoResult host(const QString& ip, const QString& name, const QList<QPair<quint32, QString>>& macs)
{
    SnmpReader::HostInfoResult result;
    result.ip = ip;
    result.sysName = name;
    for (const auto& [type, mac] : macs) {
        SnmpReader::InterfaceInfo info;
        info.index = static_cast<quint32>(result.interfaces.size() + 1);
        info.type = type;
        info.mac = mac;
        result.interfaces.insert(info.index, info);
    }
    return result;
}

template <typename... T> QString joined(const T&... values)
{
    return QStringList{QVariant(values).toString()...}.join(QLatin1Char('|'));
}

struct Delivery
{
    QString ip;
    QString path;
    QList<OidValue> results;
};

} // namespace

class TestSnmpReader final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;

private slots:
    void initTestCase()
    {
        m_agent.setMisbehavingColumns(true);
        m_agent.setBulkRows(3); // a short last column, for the walk that runs into the end of the view
        SNMPD_FIXTURE_START(m_agent);
        SnmpReader::instance();
        SnmpAsyncReader::instance();
    }

    void walkColumns_data()
    {
        // SNMPv1 walks (GETNEXT only) are covered by hostInfoContent's v1 row.
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<Rows>("expected");
        const QString longColumn = kRoot + "4.1.1";
        const QString shortColumn = kRoot + "4.1.2";
        const QList<std::tuple<const char*, QStringList, Rows>> cases = {
            {"long and short column", {longColumn, shortColumn}, {{"11", "b1"}, {"12", "b2"}, {"13", "b3"}}},
            {"short and long column", {shortColumn, longColumn}, {{"b1", "11"}, {"b2", "12"}, {"b3", "13"}}},
            {"dotted index", {kRoot + "3.1.1"}, {{"15"}, {"117"}, {"23"}}}, // 1.5 < 1.17 < 2.3 number by number
            {"agent repeats the OID", {kRoot + "5.1"}, {{"repeat"}}},
            {"agent goes backwards", {kRoot + "5.2"}, {{"back-1"}, {"back-2"}}},
            // endOfMibView under the last name, still inside the column.
            {"end of the view", {SnmpdFixture::kOidBulkColumn}, {{"row 1"}, {"row 2"}, {"row 3"}}},
        };
        for (int mode : {0, 1}) {
            for (const auto& [name, columns, rows] : cases)
                QTest::addRow("%s %s", mode ? "bulk" : "next", name) << mode << columns << rows;
        }
    }

    void walkColumns()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, columns);
        QFETCH(Rows, expected);
        SnmpUtils::SingleSession* session =
            SnmpUtils::openSingleSession(m_agent.address(), communityParams(), 1, 1000000);
        QVERIFY(session);
        bool ok = false;
        Rows rows;
        for (const SnmpReader::WalkRow& row : SnmpReader::walkColumns(ok, session, columns, mode)) {
            rows.append(QStringList());
            for (const SnmpReader::WalkCell& cell : row)
                rows.last() << cell.text;
        }
        SnmpUtils::closeSingleSession(session);
        QVERIFY(ok);
        QCOMPARE(rows, expected);
    }

    void runner()
    {
        // A runs at once; B0 C2 D2 E1 wait and go by priority, equal ones in arrival order;
        // F2, queued from A's callback, goes before the lower ones still waiting.
        SnmpAsyncReader* runner = SnmpAsyncReader::instance();
        QObject receiver;
        QList<Delivery> deliveries;
        const auto device = SnmpOidUtils::Device{m_agent.address(), communityParams()};
        auto record = [&](const QString& ip, const QString& path, const QList<OidValue>& results) {
            deliveries << Delivery{ip, path, results};
        };
        const QString a = SnmpdFixture::kOidSysDescr, b = SnmpdFixture::kOidSysName, c = kRoot + "1.4.0",
                      d = kRoot + "1.9.0", e = kRoot + "4.1.1", f = kRoot + "1.8.0";
        const auto first = [&](const QString& ip, const QString& path, const QList<OidValue>& results) {
            record(ip, path, results);
            runner->get(device, f, 2, record, &receiver);
            QCOMPARE(runner->queuedRequests(), 6);
        };
        runner->get(device, a, 0, first, &receiver);
        QCOMPARE(runner->queuedRequests(), 1);
        runner->get(device, b, 0, record, &receiver);
        runner->get(device, c, 2, record, &receiver);
        runner->get(device, d, 2, record, &receiver);
        runner->getBulk(device, e, 1, record, &receiver);
        QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 6, 10000);
        QStringList order;
        for (const Delivery& delivery : qAsConst(deliveries)) {
            order << delivery.path;
            QCOMPARE(delivery.ip, device.ip);
            QVERIFY2(!delivery.results.isEmpty(), qPrintable(delivery.path));
        }
        QCOMPARE(order, (QStringList{a, c, d, f, e, b}));
        QCOMPARE(runner->queuedRequests(), 0);
        QCOMPARE(deliveries.at(0).results.first().value.toString(), QString(SnmpdFixture::kSysDescr));
        QCOMPARE(deliveries.at(1).results.first().value.toInt(), -42);
        // GETBULK returns all 20 repetitions, past the end of the walked column.
        QCOMPARE(deliveries.at(4).results.size(), 20);
        QCOMPARE(deliveries.at(4).results.first().value.toString(), QStringLiteral("11"));

        // No callback for a destroyed receiver, whether its request was running or waiting
        // (both run before the last one); an unreachable device gets an empty list after the
        // time-out and retries.
        auto running = std::make_unique<QObject>();
        auto waiting = std::make_unique<QObject>();
        const auto unreachable = SnmpOidUtils::Device{closedAddress(), communityParams()};
        deliveries.clear();
        runner->get(device, a, 0, record, running.get());
        runner->getNext(device, a, 0, record, waiting.get());
        runner->get(unreachable, b, 0, record, &receiver);
        running.reset();
        waiting.reset();
        QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 1, 10000);
        QCOMPARE(deliveries.first().ip, unreachable.ip);
        QCOMPARE(deliveries.first().path, b);
        QVERIFY(deliveries.first().results.isEmpty());
        QCOMPARE(runner->queuedRequests(), 0);
    }

    void hostInfoContent_data()
    {
        // SNMPv1 walks with GETNEXT, SNMPv2c with GETBULK; SNMPv3 queries: privacyFallback.
        QTest::addColumn<SnmpUtils::SnmpParams>("params");
        QTest::newRow("v1") << communityParams(1);
        QTest::newRow("v2c") << communityParams();
    }

    void hostInfoContent()
    {
        QFETCH(SnmpUtils::SnmpParams, params);
        const SnmpReader::HostInfoResult result = SnmpReader::queryHostInfo(
            m_agent.address(), params,
            SnmpReader::SystemInfo | SnmpReader::InterfaceDetails | SnmpReader::IpAddresses | SnmpReader::Neighbours);
        QVERIFY(result.ok);
        QVERIFY(!result.paramsChanged);
        QCOMPARE(joined(result.ip, result.sysDescr, result.sysName),
                 joined(m_agent.address(), SnmpdFixture::kSysDescr, SnmpdFixture::kSysName));
        // An eight-octet ifPhysAddress gives no MAC.
        QStringList interfaces;
        for (const SnmpReader::InterfaceInfo& i : result.interfaces)
            interfaces << joined(i.index, i.description, i.type, i.mac, i.speed, i.highSpeed, i.adminStatus,
                                 i.operStatus, i.name, i.alias);
        QCOMPARE(interfaces,
                 (QStringList{"1|lo|24||10000000|10|1|1|lo|", "2|eth0|6|001122334455|1000000000|1000|1|1|eth0|uplink",
                              "3|wlan0|71|02ABCDEF0123|54000000|54|1|2|wlan0|wireless",
                              "4|fw0|6||400000000|400|2|2|fw0|eight-octet",
                              "10|eth1|6|000000000000|4294967295|10000|1|1|eth1|ten-gig"}));
        // Neither loopback addresses nor those of software loopback interfaces.
        QStringList addresses;
        for (const SnmpReader::AddressInfo& address : result.addresses)
            addresses << joined(address.address, address.ifIndex, address.netmask);
        QCOMPARE(addresses, (QStringList{"10.0.0.1|2|255.255.255.0", "172.16.0.1|10|255.255.0.0",
                                         "192.168.1.10|3|255.255.255.0"}));
        // ARP, CDP (IPv4 of four octets), LLDP (four octets, or the LLDP-MIB's family 1 + four).
        QStringList neighbours = result.neighbours.values();
        neighbours.sort();
        QCOMPARE(neighbours,
                 (QStringList{"10.0.0.2", "10.0.0.3", "10.0.0.5", "10.0.0.6", "192.168.1.1", "192.168.1.20"}));

        // Without the detailed flag only the basic columns are filled; without 0x04 and 0x08
        // nothing else is read.
        const SnmpReader::HostInfoResult basic = SnmpReader::queryHostInfo(m_agent.address(), params, 0x03);
        QVERIFY(basic.ok);
        QCOMPARE(basic.interfaces.size(), 5);
        QCOMPARE(basic.interfaces.value(2).mac, QStringLiteral("001122334455"));
        QCOMPARE(basic.interfaces.value(2).speed, 0u);
        QVERIFY(basic.interfaces.value(2).name.isEmpty() && basic.addresses.isEmpty() && basic.neighbours.isEmpty());
    }

    void privacyFallback()
    {
        // All queries run at once, so each fallback empties the library's user table while
        // the others hold sessions. Each user name appears with one set of credentials only,
        // as the library keeps one key set per user name and engine.
        SnmpUtils::clearUsmUsers();
        SnmpReader* reader = SnmpReader::instance();
        // user, privacy code queued, flags, ok, privacy code used (-1: credentials unchanged)
        const std::tuple<const char*, int, int, bool, int> cases[] = {
            {"aes256CiscoUser", 6, 0x83, true, 7}, {"aes256Sha1User", 7, 0x83, true, 6},
            {"aes192CiscoUser", 4, 0x83, true, 5}, {"aes192User", 5, 0x03, false, -1},
            {"aes256User", 7, 0x83, true, -1}, // a SHA-256 key needs no extension: both variants work
        };
        const int caseCount = static_cast<int>(std::size(cases));
        QSignalSpy resolved(reader, &SnmpReader::HostResolved);
        for (int i = 0; i < caseCount; ++i) {
            const auto& [user, queuedPriv, flags, ok, usedPriv] = cases[i];
            reader->requestHostInfo(m_agent.address(), v3(user, queuedPriv), flags, 30 + i);
        }
        QTRY_COMPARE_WITH_TIMEOUT(resolved.size(), caseCount, 30000);
        for (const QList<QVariant>& arguments : qAsConst(resolved)) {
            const auto result = arguments.at(0).value<SnmpReader::HostInfoResult>();
            const auto& [user, queuedPriv, flags, ok, usedPriv] = cases[arguments.at(1).toInt() - 30];
            QVERIFY2(result.ok == ok && result.paramsChanged == (usedPriv >= 0), user);
            QCOMPARE(result.interfaces.size(), ok ? 5 : 0);
            QCOMPARE(result.usedParams, usedPriv >= 0 ? v3(user, usedPriv) : SnmpUtils::SnmpParams());
        }
    }

    void schedulerLimitAndOrder()
    {
        // 50 unreachable devices fill every slot; 70 answering ones of the same id and three
        // of a lower id wait. Nothing else may start before a slot frees, and then the lower
        // id goes first. The three have version 0 (not set), which means SNMPv2c with
        // "public": their community would get no answer.
        SnmpReader* reader = SnmpReader::instance();
        const int manyId = 7;
        const int fewId = 3;
        QMap<int, int> resolvedById;
        QList<int> allResolved;
        int mostRunning = 0;
        bool lowerIdFirst = true;
        int okCount = 0;
        const auto resolvedConnection = connect(
            reader, &SnmpReader::HostResolved, this, [&](const SnmpReader::HostInfoResult& result, int requestId) {
                ++resolvedById[requestId];
                okCount += result.ok ? 1 : 0;
                mostRunning = qMax(mostRunning, reader->runningQueries());
                lowerIdFirst =
                    lowerIdFirst && !(reader->pendingQueries(manyId) < 70 && reader->pendingQueries(fewId) > 0);
            });
        const auto allConnection = connect(reader, &SnmpReader::AllHostsResolved, this, [&](int requestId) {
            allResolved << requestId;
            if (requestId == manyId)
                QCOMPARE(resolvedById.value(manyId), 120);
        });

        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 50; ++i)
            reader->requestHostInfo(closedAddress(), communityParams(), 0x03, manyId);
        QCOMPARE(reader->runningQueries(), 50);
        for (int i = 0; i < 70; ++i)
            reader->requestHostInfo(m_agent.address(), communityParams(), 0x03, manyId);
        SnmpUtils::SnmpParams unset;
        unset.community = QStringLiteral("not used");
        for (int i = 0; i < 3; ++i)
            reader->requestHostInfo(m_agent.address(), unset, 0x01, fewId);
        QCOMPARE(reader->runningQueries(), 50);
        QCOMPARE(reader->pendingQueries(manyId), 70);
        QCOMPARE(reader->pendingQueries(fewId), 3);
        QTest::qWait(1000);
        QCOMPARE(resolvedById.value(manyId), 0);

        QTRY_COMPARE_WITH_TIMEOUT(allResolved.size(), 2, 30000);
        const qint64 elapsed = timer.elapsed();
        disconnect(resolvedConnection);
        disconnect(allConnection);
        QCOMPARE(resolvedById, (QMap<int, int>{{fewId, 3}, {manyId, 120}}));
        QVERIFY(allResolved.contains(manyId) && allResolved.contains(fewId)); // one end per id
        QCOMPARE(okCount, 73);
        QVERIFY(mostRunning <= 50);
        QVERIFY(lowerIdFirst);
        QCOMPARE(reader->runningQueries(), 0);
        // One wave of time-outs (3 x 1.5 s), not fifty after each other.
        QVERIFY2(elapsed < 20000, qPrintable(QString::number(elapsed)));
    }

    void groupGrowsFromReceiver()
    {
        // A receiver that queues one more query of the same id from HostResolved extends the
        // group: the end comes once, after that query too.
        SnmpReader* reader = SnmpReader::instance();
        const int requestId = 50;
        int resolved = 0;
        QList<int> endsAt;
        const auto resolvedConnection =
            connect(reader, &SnmpReader::HostResolved, this, [&](const SnmpReader::HostInfoResult&, int id) {
                if (id == requestId && ++resolved == 1)
                    reader->requestHostInfo(m_agent.address(), communityParams(), 0x01, requestId);
            });
        const auto allConnection = connect(reader, &SnmpReader::AllHostsResolved, this, [&](int id) {
            if (id == requestId)
                endsAt << resolved;
        });
        reader->requestHostInfo(m_agent.address(), communityParams(), 0x01, requestId);
        QTRY_COMPARE_WITH_TIMEOUT(endsAt.size(), 1, 10000);
        QTest::qWait(200);
        disconnect(resolvedConnection);
        disconnect(allConnection);
        QCOMPARE(endsAt, QList<int>{2});
    }

    void duplicateRule_data()
    {
        QTest::addColumn<SnmpReader::HostInfoResult>("a");
        QTest::addColumn<SnmpReader::HostInfoResult>("b");
        QTest::addColumn<bool>("same");
        const QPair<quint32, QString> a{6, "00000000000A"}, b{6, "00000000000B"}, zero{6, "000000000000"};
        QTest::newRow("same address, other names") << host("10.0.0.1", "x", {a}) << host("10.0.0.1", "y", {b}) << true;
        QTest::newRow("other names, shared MAC") << host("10.0.0.1", "x", {a}) << host("10.0.0.2", "y", {a}) << false;
        QTest::newRow("same name, no MACs") << host("10.0.0.1", "core", {}) << host("10.0.0.2", "core", {}) << true;
        QTest::newRow("both names empty") << host("10.0.0.1", "", {}) << host("10.0.0.2", "", {}) << false;
        QTest::newRow("shared MAC") << host("10.0.0.1", "core", {a}) << host("10.0.0.2", "core", {b, a}) << true;
        QTest::newRow("no shared MAC") << host("10.0.0.1", "core", {a}) << host("10.0.0.2", "core", {b}) << false;
        QTest::newRow("only one has MACs") << host("10.0.0.1", "core", {a}) << host("10.0.0.2", "core", {}) << false;
        QTest::newRow("all-zero MACs do not count")
            << host("10.0.0.1", "core", {zero}) << host("10.0.0.2", "core", {zero}) << true;
    }

    void duplicateRule()
    {
        QFETCH(SnmpReader::HostInfoResult, a);
        QFETCH(SnmpReader::HostInfoResult, b);
        QFETCH(bool, same);
        QCOMPARE(SnmpReader::isSameDevice(a, SnmpReader::macAddresses(a), b), same);
        QCOMPARE(SnmpReader::isSameDevice(b, SnmpReader::macAddresses(b), a), same);
    }

    void macFilter()
    {
        // Ethernet (6) and 802.11 (71) only; no empty, all-zero or broadcast MAC.
        const QList<QPair<quint32, QString>> interfaces{
            {6, "001122334455"},  {71, "02ABCDEF0123"}, {6, "FFFFFFFFFFFF"}, {6, "000000000000"}, {6, ""},
            {24, "0A0B0C0D0E0F"}, {117, "0A0B0C0D0E10"}};
        QCOMPARE(SnmpReader::macAddresses(host("10.0.0.1", "x", interfaces)),
                 (QSet<QString>{"001122334455", "02ABCDEF0123"}));
    }
};

QTEST_GUILESS_MAIN(TestSnmpReader)
#include "test_snmpreader.moc"
