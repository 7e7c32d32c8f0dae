// The SNMP layer against the snmpd test agent: sessions, credentials, exchanges, values,
// column walks, the background request runner and the device information reader.

#include "snmp/SnmpAsyncReader.h"
#include "snmp/SnmpOidUtils.h"
#include "snmp/SnmpReader.h"
#include "snmp/SnmpUtils.h"
#include "SnmpdFixture.h"
#include "TestFiles.h"

#include <QtConcurrent>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <memory>
#include <tuple>

using Rows = QList<QStringList>;
using SnmpOidUtils::Device;
using SnmpOidUtils::OidValue;
using SnmpUtils::SnmpParams;

namespace {

const QString kRoot = QString(SnmpdFixture::kFixtureRoot) + '.';
const QString kLast = SnmpdFixture::kOidBulkColumn + QString(".3"); // three rows: the last ends the view
const QString kClosed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());

SnmpParams community(int version, const QString& community = SnmpdFixture::kCommunity)
{
    return {version, community, {}, 0, {}, 0, {}};
}

SnmpParams v3(const QString& name)
{
    const SnmpdFixture::V3User& user = SnmpdFixture::v3User(name);
    return {3,
            {},
            user.name,
            user.authProtocol,
            user.authProtocol ? SnmpdFixture::kAuthPassPhrase : "",
            user.privProtocol,
            user.privProtocol ? SnmpdFixture::kPrivPassPhrase : ""};
}

// sysName by a GET over a traditional or a single session; empty on any failure.
QString sysName(const QString& ip, const SnmpParams& params, bool single, long timeout = 1000000)
{
    bool ok = false;
    if (!single) {
        const OidValue value = SnmpOidUtils::get(ok, Device{ip, params}, SnmpdFixture::kOidSysName);
        return ok ? value.value.toString() : QString();
    }
    SnmpUtils::SingleSession* session = SnmpUtils::openSingleSession(ip, params, 1, timeout);
    if (!session)
        return {};
    const QList<OidValue> values = SnmpOidUtils::request(ok, session, SNMP_MSG_GET, {SnmpdFixture::kOidSysName},
                                                         SnmpOidUtils::ValueForm::CellValue);
    SnmpUtils::closeSingleSession(session);
    return ok && values.size() == 1 ? values.first().value.toString() : QString();
}

template <typename... T> QString joined(const T&... values)
{
    return QStringList{QVariant(values).toString()...}.join('|');
}

// credentials, a user rightly used just before, works, sent (a refused request went out, else nothing waits)
using CredentialCase = std::tuple<SnmpParams, QString, bool, bool>;
// version, GETNEXT (or GET), OID, answered, exception, text
using ExceptionCase = std::tuple<int, bool, QString, bool, int, QString>;
// OID under kFixtureRoot, type, value of a GET, value of a GETNEXT, text
using ValueCase = std::tuple<QString, int, QVariant, QString, QString>;

} // namespace

Q_DECLARE_METATYPE(CredentialCase)
Q_DECLARE_METATYPE(ExceptionCase)
Q_DECLARE_METATYPE(ValueCase)

class TestSnmp final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    SnmpdFixture m_agent;
    QString m_ip;

private slots:
    void initTestCase()
    {
        // A user configuration that would change the printed values if the library read it.
        QVERIFY(writeBytes(m_home.filePath(".snmp/snmp.conf"), "printValueOnly yes\nquickPrinting yes\n"));
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("SNMPCONFPATH", m_home.filePath(".snmp").toUtf8());
        qunsetenv("MIBS");
        qunsetenv("MIBFILES");
        m_agent.setMisbehavingColumns(true);
        m_agent.setBulkRows(3);
        SNMPD_FIXTURE_START(m_agent);
        m_ip = m_agent.address();
        // The library reads no MIB folder: a pipe in the current directory would hold its
        // start-up for ever (writing to it, should that happen, lets it go on).
        const QString pipe = m_home.filePath("pipe");
        QVERIFY(mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0 && QDir::setCurrent(m_home.path()));
        QFuture<void> start = QtConcurrent::run(&SnmpUtils::initLibrary);
        const bool started = QTest::qWaitFor([&start] { return start.isFinished(); }, 5000);
        if (!started)
            close(open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK));
        start.waitForFinished();
        QVERIFY(started);
        // A second user of the library; its shut-down must leave the first one working.
        SnmpUtils::initLibrary();
        SnmpUtils::shutdownLibrary();
        SnmpReader::instance();
        SnmpAsyncReader::instance();
    }

    void init() { SnmpUtils::clearUsmUsers(); }

    void credentials_data()
    {
        QTest::addColumn<CredentialCase>("c");
        QTest::newRow("v1") << CredentialCase{community(1), "", true, true};
        QTest::newRow("v2c") << CredentialCase{community(2), "", true, true};
        QTest::newRow("community with ; and ,")
            << CredentialCase{community(2, SnmpdFixture::kSpecialCommunity), "", true, true};
        for (const SnmpdFixture::V3User& user : SnmpdFixture::kV3Users) {
            SnmpParams wrong = v3(user.name);
            // Neither the keys just derived from the right pass phrase nor the user table may mask a wrong one.
            user.authProtocol ? wrong.authPassword = "fixtureAuthPass2" : wrong.userName = "noSuchUser";
            QTest::newRow(user.name) << CredentialCase{v3(user.name), "", true, true};
            QTest::addRow("%s, wrong", user.name) << CredentialCase{wrong, user.name, false, true};
        }
        // Refused before anything is sent.
        const QString auth = SnmpdFixture::kAuthPassPhrase, priv = SnmpdFixture::kPrivPassPhrase;
        const QList<QPair<const char*, SnmpParams>> invalid = {
            {"version 0", community(0)},
            {"version 4", community(4)},
            {"auth pass phrase of 7 characters", {3, {}, "sha1User", 2, "7chars!", 0, {}}},
            {"auth code 7", {3, {}, "sha1User", 7, auth, 0, {}}},
            {"priv pass phrase of 7 characters", {3, {}, "aesUser", 2, auth, 2, "7chars!"}},
            {"priv code 8", {3, {}, "aesUser", 2, auth, 8, priv}}};
        for (const auto& [name, params] : invalid)
            QTest::newRow(name) << CredentialCase{params, "", false, false};
        QTest::newRow("priv code 0: authNoPriv, refused")
            << CredentialCase{{3, {}, "aesUser", 2, auth, 0, {}}, "", false, true};
        QTest::newRow("auth code 0: noAuthNoPriv whatever else")
            << CredentialCase{{3, "ignored-by-v3", "noAuthUser", 0, auth, 2, "short"}, "", true, true};
    }

    void credentials()
    {
        QFETCH(CredentialCase, c);
        const auto& [params, before, works, sent] = c;
        if (!before.isEmpty()) {
            QCOMPARE(sysName(m_ip, v3(before), false), SnmpdFixture::kSysName);
            SnmpUtils::clearUsmUsers();
        }
        QElapsedTimer timer;
        timer.start();
        const QString expected = works ? SnmpdFixture::kSysName : "";
        QCOMPARE(sysName(m_ip, params, false), expected);
        QCOMPARE(sysName(m_ip, params, true, works ? 1000000 : 300000), expected);
        if (sent)
            return;
        bool ok = true;
        const OidValue value = SnmpOidUtils::get(ok, Device{m_ip, params}, SnmpdFixture::kOidSysName);
        QVERIFY(!ok && value.oid.isEmpty() && value.type == 0 && !value.value.isValid());
        QVERIFY(SnmpOidUtils::getBulk(ok, Device{m_ip, params}, SnmpdFixture::kOidSysName).isEmpty() && !ok);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }

    void exceptions_data()
    {
        QTest::addColumn<ExceptionCase>("c");
        const QList<QPair<const char*, ExceptionCase>> cases = {
            {"v1 noSuchName", {1, false, SnmpdFixture::kOidNoSuchObject, false, 0, ""}},
            {"v2c noSuchObject",
             {2, false, SnmpdFixture::kOidNoSuchObject, true, 0x80,
              "No Such Object available on this agent at this OID"}},
            {"v2c noSuchInstance",
             {2, false, SnmpdFixture::kOidNoSuchInstance, true, 0x81, "No Such Instance currently exists at this OID"}},
            // Past the last object the same OID comes back as endOfMibView, which ends a walk.
            {"v2c endOfMibView",
             {2, true, kLast, true, 0x82,
              "No more variables left in this MIB View (It is past the end of the MIB tree)"}},
            {"v1 past the end", {1, true, kLast, false, 0, ""}},
            {"not an OID", {2, false, "not an oid", false, 0, ""}}, // not sent
        };
        for (const auto& [name, c] : cases)
            QTest::newRow(name) << c;
    }

    void exceptions()
    {
        QFETCH(ExceptionCase, c);
        const auto& [version, next, oid, ok, exception, text] = c;
        bool answered = !ok;
        const Device target{m_ip, community(version)};
        const OidValue value =
            next ? SnmpOidUtils::getNext(answered, target, oid) : SnmpOidUtils::get(answered, target, oid);
        QCOMPARE(answered, ok);
        QCOMPARE(value.oid, next && !ok ? QString() : oid);
        QCOMPARE(int(value.exception), exception);
        QCOMPARE(value.type, 0);
        QCOMPARE(value.text, text);
        // GET gives the converted variant, GETNEXT the text form.
        QVERIFY(value.value.toString().isEmpty() && value.value.isValid() == (next && ok));
    }

    void values_data()
    {
        QTest::addColumn<ValueCase>("c");
        const QList<QPair<const char*, ValueCase>> cases = {
            {"Counter64", {"1.1.0", 11, quint64(4294967301ULL), "4294967301", "Counter64: 4294967301"}},
            {"octets 41 00 42", {"1.2.0", 2, QByteArray("A\0B", 3), "A", "Hex-STRING: 41 00 42 "}},
            {"IpAddress", {"1.3.0", 5, QVariant(), "", "IpAddress: 10.1.2.3"}},
            {"INTEGER", {"1.4.0", 3, qint32(-42), "-42", "INTEGER: -42"}},
            {"Gauge32", {"1.5.0", 7, quint32(4000000000U), "4000000000", "Gauge32: 4000000000"}},
            {"TimeTicks", {"1.6.0", 8, quint32(8640000), "8640000", "Timeticks: (8640000) 1 day, 0:00:00.00"}},
            {"OBJECT IDENTIFIER",
             {"1.7.0", 1, "1.3.6.1.4.1.32473.1", "1.3.6.1.4.1.32473.1", "OID: iso.3.6.1.4.1.32473.1"}},
            {"Counter32", {"1.8.0", 6, quint32(4294967295U), "4294967295", "Counter32: 4294967295"}},
            {"empty STRING", {"1.10.0", 2, QByteArray(""), "", "\"\""}},
            {"UTF-8 STRING", {"1.11.0", 2, QString("Grüße").toUtf8(), "Grüße", "Hex-STRING: 47 72 C3 BC C3 9F 65 "}},
        };
        for (const auto& [name, c] : cases)
            QTest::newRow(name) << c;
    }

    void values()
    {
        QFETCH(ValueCase, c);
        const auto& [relativeOid, type, value, valueText, text] = c;
        const Device target{m_ip, community(2)};
        const QString oid = kRoot + relativeOid;
        bool ok = false;
        const OidValue got = SnmpOidUtils::get(ok, target, '.' + oid);
        QVERIFY(ok && got.oid == '.' + oid && got.exception == OidValue::NoException); // the OID as given
        QCOMPARE(got.type, type);
        QCOMPARE(got.value.userType(), value.userType());
        QCOMPARE(got.value, value);
        QCOMPARE(got.text, text);
        const OidValue next = SnmpOidUtils::getNext(ok, target, oid.left(oid.lastIndexOf('.')));
        QVERIFY(ok && next.oid == oid && next.type == type && next.text == text);
        QCOMPARE(next.value, QVariant(valueText)); // the string form
    }

    // Tags the test agent cannot send: 64-bit halves in the right order and sign, bit strings,
    // large sub-identifiers, an IpAddress cell, and the tags that convert to nothing.
    void handMadeVarbinds()
    {
        const counter64 big{0xFFFFFFFFUL, 0xFFFFFFFEUL};
        const u_char bits[] = {0x80, 0x01};
        const u_char address[] = {192, 168, 0, 255};
        const oid longOid[] = {1, 3, 4294967295UL};
        const QList<std::tuple<u_char, const void*, size_t, int, QVariant>> cases = {
            {ASN_APP_U64, &big, sizeof(big), 11, quint64(0xFFFFFFFFFFFFFFFEULL)},
            {ASN_APP_I64, &big, sizeof(big), 11, qint64(-2)},
            {ASN_COUNTER64, &big, sizeof(big), 11, quint64(0xFFFFFFFFFFFFFFFEULL)},
            {ASN_BIT_STR, bits, sizeof(bits), 12, QByteArray("\x80\x01", 2)},
            {ASN_NULL, nullptr, 0, 10, {}},
            {ASN_OPAQUE, bits, sizeof(bits), 9, {}},
            {ASN_IPADDRESS, address, sizeof(address), 5, {}},
            {ASN_OBJECT_ID, longOid, sizeof(longOid), 1, "1.3.4294967295"},
            {0x47, bits, sizeof(bits), 0, {}},
        };
        const oid name[] = {1, 3, 6, 1, 4, 1, 32473, 99, 0};
        for (const auto& [tag, data, length, type, value] : cases) {
            netsnmp_variable_list var{};
            var.name = const_cast<oid*>(name);
            var.name_length = OID_LENGTH(name);
            var.type = tag;
            var.val.string = static_cast<u_char*>(const_cast<void*>(data));
            var.val_len = length;
            const QVariant got = SnmpOidUtils::toVariant(&var);
            const QByteArray row = QByteArray::number(tag, 16);
            QVERIFY2(SnmpOidUtils::typeFromTag(tag) == type, row.constData());
            QVERIFY2(got.userType() == value.userType() && got == value, row.constData());
        }
        netsnmp_variable_list cell{};
        cell.type = ASN_IPADDRESS;
        cell.val.string = const_cast<u_char*>(address);
        cell.val_len = sizeof(address);
        QCOMPARE(SnmpOidUtils::toCellVariant(&cell), QVariant("192.168.0.255"));
    }

    // Columns side by side: the walk ends with the first row one of them lacks. SNMPv1: hostInfo.
    void walkColumns_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<Rows>("expected");
        const QString longColumn = kRoot + "4.1.1", shortColumn = kRoot + "4.1.2";
        const QList<std::tuple<const char*, QStringList, Rows>> cases = {
            {"long and short column", {longColumn, shortColumn}, {{"11", "b1"}, {"12", "b2"}, {"13", "b3"}}},
            {"short and long column", {shortColumn, longColumn}, {{"b1", "11"}, {"b2", "12"}, {"b3", "13"}}},
        };
        for (int mode : {0, 1}) {
            for (const auto& [name, columns, rows] : cases)
                QTest::addRow("%s %s", mode ? "bulk" : "next", name) << mode << columns << rows;
        }
        QTest::newRow("unreachable") << 0 << QStringList{longColumn} << Rows();
    }

    void walkColumns()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, columns);
        QFETCH(Rows, expected);
        const bool reachable = QTest::currentDataTag() != QLatin1String("unreachable");
        SnmpUtils::SingleSession* session =
            SnmpUtils::openSingleSession(reachable ? m_ip : kClosed, community(2), 0, 300000);
        QVERIFY(session);
        bool ok = false;
        Rows rows;
        for (const SnmpReader::WalkRow& row : SnmpReader::walkColumns(ok, session, columns, mode)) {
            rows.append(QStringList());
            for (const SnmpReader::WalkCell& cell : row)
                rows.last() << cell.text;
        }
        SnmpUtils::closeSingleSession(session);
        QCOMPARE(ok, reachable);
        QCOMPARE(rows, expected);
    }

    void runner()
    {
        // A runs at once; B0 C2 E1 wait and go by priority, equal ones in arrival order; F2, queued
        // from A's callback, goes before the lower ones waiting. No callback for a destroyed
        // receiver, running (G) or waiting (H); an unreachable device (I) gets an empty list.
        SnmpAsyncReader* runner = SnmpAsyncReader::instance();
        QObject receiver;
        auto running = std::make_unique<QObject>(), waiting = std::make_unique<QObject>();
        QStringList deliveries;
        const Device target{m_ip, community(2)};
        auto record = [&](const QString& ip, const QString& path, const QList<OidValue>& results) {
            deliveries << QStringList{ip == m_ip ? "" : ip, path, QString::number(results.size())}.join(' ');
        };
        const QString a = SnmpdFixture::kOidSysDescr, b = SnmpdFixture::kOidSysName, c = kRoot + "1.4.0",
                      e = kRoot + "4.1.1", f = kRoot + "1.8.0";
        const auto first = [&](const QString& ip, const QString& path, const QList<OidValue>& results) {
            record(ip, path, results);
            runner->get(target, f, 2, record, &receiver);
        };
        runner->get(target, a, 0, first, &receiver);
        runner->get(target, b, 0, record, &receiver);
        runner->get(target, c, 2, record, &receiver);
        runner->getBulk(target, e, 1, record, &receiver);
        QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 5, 10000);
        runner->get(target, "G", 0, record, running.get());
        runner->getNext(target, "H", 0, record, waiting.get());
        runner->get(Device{kClosed, community(2)}, "I", 0, record, &receiver);
        QCOMPARE(runner->queuedRequests(), 3);
        running.reset();
        waiting.reset();
        QTRY_COMPARE_WITH_TIMEOUT(deliveries.size(), 6, 10000);
        QCOMPARE(deliveries, (QStringList{" " + a + " 1", " " + c + " 1", " " + f + " 1", " " + e + " 20",
                                          " " + b + " 1", kClosed + " I 0"}));
        QCOMPARE(runner->queuedRequests(), 0);
    }

    // Walks on the runner's worker: rows and ending in order, the row limit; a cancelled walk,
    // running or waiting, never calls back, and the worker goes on.
    void walks()
    {
        using Walk = SnmpAsyncReader::WalkUpdate;
        SnmpAsyncReader* runner = SnmpAsyncReader::instance();
        const Device target{m_ip, community(2)};
        QObject receiver;
        QStringList seen;
        // Rows come in as many updates as the timing gives; one line per walk once it ends.
        QStringList oids;
        auto record = [&seen, &oids](const Walk& walk) {
            for (const OidValue& row : walk.rows)
                oids << row.oid.mid(kRoot.size());
            if (walk.ended) {
                seen << joined(oids.join(' '), walk.reason, walk.stopper.exception, walk.total);
                oids.clear();
            }
        };
        const QString column = SnmpdFixture::kOidBulkColumn;
        runner->walk(target, column, {SnmpAsyncReader::GetBulk, 0, false}, 0, record, &receiver);
        runner->walk(target, column, {SnmpAsyncReader::GetNext, 2, false}, 0, record, &receiver);
        const quint64 cancelled = runner->walk(target, column, {}, 0, record, &receiver);
        runner->cancel(cancelled);
        QTRY_COMPARE_WITH_TIMEOUT(runner->queuedRequests(), 0, 10000);
        QCOMPARE(seen, (QStringList{"9.1.1.1 9.1.1.2 9.1.1.3|2|130|3", "9.1.1.1 9.1.1.2|0|0|2"}));

        // Cancelling a running walk that waits on a device that never answers frees the worker at
        // once: a Get behind it answers long before the walk's retries (3 s) would have run out.
        const quint64 dead = runner->walk(Device{kClosed, community(2)}, column, {}, 0, record, nullptr);
        QTest::qWait(200);
        runner->cancel(dead);
        bool answered = false;
        runner->get(
            target, SnmpdFixture::kOidSysName, 0, [&answered](auto&&...) { answered = true; }, nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(answered, 1500);
        QCOMPARE(seen.size(), 2);
    }

    void hostInfo_data()
    {
        QTest::addColumn<SnmpParams>("params");
        QTest::newRow("v1") << community(1);  // walks with GETNEXT
        QTest::newRow("v2c") << community(2); // walks with GETBULK
    }

    void hostInfo()
    {
        QFETCH(SnmpParams, params);
        const SnmpReader::HostInfoResult result = SnmpReader::queryHostInfo(m_ip, params, 0x1F);
        QVERIFY(result.ok && !result.paramsChanged);
        QCOMPARE(joined(result.sysDescr, result.sysName), joined(SnmpdFixture::kSysDescr, SnmpdFixture::kSysName));
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
    }

    // The device information query has a pool of its own: a Get issued while it is full of
    // queries of a device that never answers comes back while they all still wait.
    void getBesideDeviceQueries()
    {
        SnmpReader* reader = SnmpReader::instance();
        const int id = SnmpReader::newRequestId();
        QSignalSpy resolved(reader, &SnmpReader::AllHostsResolved);
        for (int i = 0; i < SnmpReader::MaxRunningQueries; ++i)
            reader->requestHostInfo(kClosed, community(2), SnmpReader::SystemInfo, id);
        QCOMPARE(reader->runningQueries(), SnmpReader::MaxRunningQueries);
        int runningMeanwhile = -1;
        SnmpAsyncReader::instance()->get(
            Device{m_ip, community(2)}, SnmpdFixture::kOidSysName, 0,
            [&](auto&&...) { runningMeanwhile = reader->runningQueries(); }, nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(runningMeanwhile, SnmpReader::MaxRunningQueries, 10000);
        QVERIFY(resolved.wait(15000));
    }
};

QTEST_GUILESS_MAIN(TestSnmp)
#include "test_snmp.moc"
