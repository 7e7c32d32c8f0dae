#include "snmp/SnmpOidUtils.h"
#include "snmp/SnmpUtils.h"
#include "SnmpdFixture.h"

#include <QtConcurrent>
#include <QtTest>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <tuple>

using SnmpOidUtils::Device;
using SnmpOidUtils::OidValue;

namespace {

const QString kRoot = QString(SnmpdFixture::kFixtureRoot) + '.';

Device communityDevice(const QString& ip, int version = 2, const QString& community = SnmpdFixture::kCommunity)
{
    Device device;
    device.ip = ip;
    device.params.version = version;
    device.params.community = community;
    return device;
}

Device v3Device(const QString& ip, const QString& userName)
{
    const SnmpdFixture::V3User& user = SnmpdFixture::v3User(userName);
    return Device{ip,
                  {3, {}, user.name, user.authProtocol, user.authProtocol ? SnmpdFixture::kAuthPassPhrase : "",
                   user.privProtocol, user.privProtocol ? SnmpdFixture::kPrivPassPhrase : ""}};
}

bool usmTableEmpty()
{
    SnmpUtils::LibraryLocker lock;
    return usm_get_userList() == nullptr;
}

// GET of sysName over a single session; the value's text, or empty on any failure.
QString singleSessionSysName(const Device& device, int retries = 1, long timeout = 1000000)
{
    SnmpUtils::SingleSession* session = SnmpUtils::openSingleSession(device.ip, device.params, retries, timeout);
    if (!session)
        return {};
    bool ok = false;
    const QList<OidValue> values = SnmpOidUtils::request(ok, session, SNMP_MSG_GET, {SnmpdFixture::kOidSysName},
                                                         SnmpOidUtils::ValueForm::CellValue);
    SnmpUtils::closeSingleSession(session);
    return ok && values.size() == 1 ? values.first().value.toString() : QString();
}

// GET of sysName over a traditional session.
bool traditionalGetWorks(const Device& device)
{
    bool ok = false;
    SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName);
    return ok;
}

// version, GETNEXT (or GET), OID, answered, exception, text
using ExceptionCase = std::tuple<int, bool, QString, bool, int, QString>;
// OID under kFixtureRoot, type, value of a GET, value of a GETNEXT, text
using ValueCase = std::tuple<QString, int, QVariant, QString, QString>;

} // namespace

Q_DECLARE_METATYPE(ExceptionCase)
Q_DECLARE_METATYPE(ValueCase)

class TestSnmp : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    SnmpdFixture m_agent;
    QString m_ip;

private slots:
    void initTestCase()
    {
        // A user configuration that would change the printed values if the library read it.
        QVERIFY(m_home.isValid() && QDir(m_home.path()).mkpath(".snmp"));
        QFile conf(m_home.filePath(".snmp/snmp.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("printValueOnly yes\nquickPrinting yes\n");
        conf.close();
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("SNMPCONFPATH", m_home.filePath(".snmp").toUtf8());
        qunsetenv("MIBS");
        qunsetenv("MIBFILES");

        SNMPD_FIXTURE_START(m_agent);
        m_ip = m_agent.address();
        SnmpUtils::initLibrary();
        // A second user of the library; its shut-down must leave the first one working.
        SnmpUtils::initLibrary();
        SnmpUtils::shutdownLibrary();
    }

    void cleanupTestCase()
    {
        SnmpUtils::shutdownLibrary();
        const qint64 pid = m_agent.processId();
        m_agent.stop();
        QCOMPARE(::kill(static_cast<pid_t>(pid), 0), -1); // no snmpd left behind
    }

    void init() { SnmpUtils::clearUsmUsers(); }
    void sessions_data()
    {
        QTest::addColumn<Device>("device");
        QTest::newRow("v1") << communityDevice(m_ip, 1);
        QTest::newRow("v2c") << communityDevice(m_ip);
        QTest::newRow("v2c community with ; and ,") << communityDevice(m_ip, 2, SnmpdFixture::kSpecialCommunity);
        for (const SnmpdFixture::V3User& user : SnmpdFixture::kV3Users)
            QTest::newRow(user.name) << v3Device(m_ip, user.name);
    }

    void sessions()
    {
        QFETCH(Device, device);
        bool ok = false;
        QCOMPARE(SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName).value.toByteArray(),
                 QByteArray(SnmpdFixture::kSysName));
        QVERIFY(ok);
        QCOMPARE(singleSessionSysName(device), QString(SnmpdFixture::kSysName));
        if (device.params.version != 3)
            return;
        // A wrong pass phrase (or user) is refused in both kinds of session: neither the keys
        // just derived from the right one nor the library's user table may mask it.
        SnmpUtils::clearUsmUsers();
        if (device.params.authProtocol != 0)
            device.params.authPassword = "fixtureAuthPass2"; // the right one but for its last character
        else
            device.params.userName = "noSuchUser";
        QVERIFY(!traditionalGetWorks(device));
        QCOMPARE(singleSessionSysName(device, 0, 300000), QString());
    }

    void refusals_data()
    {
        QTest::addColumn<Device>("device");
        QTest::newRow("version 0") << communityDevice(m_ip, 0);
        QTest::newRow("version 4") << communityDevice(m_ip, 4);
        Device device = v3Device(m_ip, "sha1User");
        device.params.authPassword = "7chars!";
        QTest::newRow("auth pass phrase of 7 characters") << device;
        device.params.authPassword = SnmpdFixture::kAuthPassPhrase;
        device.params.authProtocol = 7;
        QTest::newRow("auth code 7") << device;
        device = v3Device(m_ip, "aesUser");
        device.params.privPassword = "7chars!";
        QTest::newRow("priv pass phrase of 7 characters") << device;
        device.params.privPassword = SnmpdFixture::kPrivPassPhrase;
        device.params.privProtocol = 8;
        QTest::newRow("priv code 8") << device;
    }

    void refusals()
    {
        QFETCH(Device, device);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!SnmpUtils::openSingleSession(device.ip, device.params, 2, 1000000));
        bool ok = true;
        const OidValue value = SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName);
        QVERIFY(!ok && value.oid.isEmpty() && value.type == 0 && !value.value.isValid());
        ok = true;
        QVERIFY(SnmpOidUtils::getBulk(ok, device, SnmpdFixture::kOidSysName).isEmpty() && !ok);
        // Nothing was sent, so nothing was waited for.
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }

    void securityLevelFromCodes()
    {
        // Authentication code 0 makes a noAuthNoPriv session whatever else is set.
        Device device = v3Device(m_ip, "noAuthUser");
        device.params.privProtocol = 2;
        device.params.authPassword = SnmpdFixture::kAuthPassPhrase;
        device.params.privPassword = "short";
        device.params.community = "ignored-by-v3";
        QVERIFY(traditionalGetWorks(device));
        QCOMPARE(singleSessionSysName(device), QString(SnmpdFixture::kSysName));

        // Privacy code 0 makes authNoPriv: refused by a user that requires privacy.
        device = v3Device(m_ip, "aesUser");
        device.params.privProtocol = 0;
        QVERIFY(!traditionalGetWorks(device));
        QCOMPARE(singleSessionSysName(device, 0, 300000), QString());
    }

    void exceptions_data()
    {
        QTest::addColumn<ExceptionCase>("c");
        const QString last = SnmpdFixture::kOidLast;
        const QList<QPair<const char*, ExceptionCase>> cases = {
            {"v1 noSuchName", {1, false, SnmpdFixture::kOidNoSuchObject, false, 0, ""}},
            {"v2c noSuchObject",
             {2, false, SnmpdFixture::kOidNoSuchObject, true, 0x80,
              "No Such Object available on this agent at this OID"}},
            {"v2c noSuchInstance",
             {2, false, SnmpdFixture::kOidNoSuchInstance, true, 0x81, "No Such Instance currently exists at this OID"}},
            // Past the last object the same OID comes back as endOfMibView, which ends a walk.
            {"v2c endOfMibView",
             {2, true, last, true, 0x82,
              "No more variables left in this MIB View (It is past the end of the MIB tree)"}},
            {"v1 past the end", {1, true, last, false, 0, ""}},
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
        const Device device = communityDevice(m_ip, version);
        const OidValue value =
            next ? SnmpOidUtils::getNext(answered, device, oid) : SnmpOidUtils::get(answered, device, oid);
        QCOMPARE(answered, ok);
        QCOMPARE(value.oid, next && !ok ? QString() : oid);
        QCOMPARE(int(value.exception), exception);
        QCOMPARE(value.type, 0);
        QCOMPARE(value.text, text);
        // GET gives the converted variant, GETNEXT the text form.
        QVERIFY(value.value.toString().isEmpty() && value.value.isValid() == (next && ok));
    }

    void bulkPastTheEnd()
    {
        const Device device = communityDevice(m_ip);
        const QString column = SnmpdFixture::kOidBulkColumn;
        bool ok = false;
        const QList<OidValue> values = SnmpOidUtils::getBulk(ok, device, column + ".9995");
        QVERIFY(ok && values.size() > 5 && values.size() <= 20);
        for (int i = 0; i < values.size(); ++i) {
            QCOMPARE(values.at(i).exception, i < 5 ? OidValue::NoException : OidValue::EndOfMibView);
            QCOMPARE(values.at(i).type, i < 5 ? 2 : 0);
            if (i < 5) {
                QCOMPARE(values.at(i).oid, column + '.' + QString::number(9996 + i));
                QCOMPARE(values.at(i).value, QVariant("row " + QString::number(9996 + i)));
            }
        }
        QCOMPARE(SnmpOidUtils::getBulk(ok, device, column).size(), 20); // twenty at a time inside the table
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
        const Device device = communityDevice(m_ip);
        const QString oid = kRoot + relativeOid;
        bool ok = false;
        const OidValue got = SnmpOidUtils::get(ok, device, '.' + oid);
        QVERIFY(ok);
        QCOMPARE(got.oid, '.' + oid); // as the caller gave it
        QCOMPARE(got.type, type);
        QCOMPARE(got.value.userType(), value.userType());
        QCOMPARE(got.value, value);
        QCOMPARE(got.exception, OidValue::NoException);
        QCOMPARE(got.text, text);

        const OidValue next = SnmpOidUtils::getNext(ok, device, oid.left(oid.lastIndexOf('.')));
        QVERIFY(ok);
        QCOMPARE(next.oid, oid);
        QCOMPARE(next.type, type);
        QCOMPARE(next.value, QVariant(valueText));
        QCOMPARE(next.text, got.text);
    }

    void handMadeVarbinds()
    {
        // Tags the test agent cannot send, and the type codes of the tags values() does not meet.
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
            {ASN_NSAP, bits, sizeof(bits), 13, {}},
            {ASN_IPADDRESS, address, sizeof(address), 5, {}}, // a column walk's cell: "192.168.0.255"
            {ASN_OBJECT_ID, longOid, sizeof(longOid), 1, "1.3.4294967295"},
            {0x47, bits, sizeof(bits), 0, {}},
            {SNMP_NOSUCHOBJECT, nullptr, 0, 0, {}},
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
            if (tag == ASN_IPADDRESS)
                QCOMPARE(SnmpOidUtils::toCellVariant(&var), QVariant("192.168.0.255"));
        }
        QVERIFY(!SnmpOidUtils::toVariant(nullptr).isValid());
        QCOMPARE(SnmpOidUtils::valueText(QVariant()), QString());
    }

    void timeOut()
    {
        const QString closed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
        QElapsedTimer timer;
        timer.start();
        bool ok = true;
        const OidValue value = SnmpOidUtils::get(ok, communityDevice(closed), SnmpdFixture::kOidSysName);
        const qint64 elapsed = timer.elapsed();
        QVERIFY(!ok && !value.value.isValid());
        QCOMPARE(value.oid, QString(SnmpdFixture::kOidSysName));
        QVERIFY2(elapsed >= 2800 && elapsed < 6000, qPrintable(QString::number(elapsed))); // 3 sends of 1 s

        // SNMPv3 needs the agent's engine ID first: no answer, no session.
        timer.restart();
        QVERIFY(!SnmpUtils::openSingleSession(closed, v3Device(closed, "sha1User").params, 1, 200000));
        QVERIFY(timer.elapsed() >= 350);
    }

    void clearingWaitsForSessionsInUse()
    {
        const Device device = v3Device(m_ip, "aesUser");
        SnmpUtils::SingleSession* first = SnmpUtils::openSingleSession(device.ip, device.params, 1, 1000000);
        QVERIFY(first);
        const auto firstWorks = [first] {
            bool ok = false;
            SnmpOidUtils::request(ok, first, SNMP_MSG_GET, {SnmpdFixture::kOidSysName},
                                  SnmpOidUtils::ValueForm::Variant);
            return ok;
        };
        QElapsedTimer timer;
        timer.start();
        SnmpUtils::clearUsmUsers();
        QVERIFY(timer.elapsed() < 200); // never blocks its caller
        QVERIFY(!usmTableEmpty());

        // The session in use keeps working; a new one waits until the clearing is done.
        QVERIFY(firstWorks());
        QFuture<QString> second = QtConcurrent::run([device] { return singleSessionSysName(device); });
        QThread::msleep(200);
        QVERIFY(!second.isFinished());
        QVERIFY(firstWorks());
        SnmpUtils::closeSingleSession(first);
        QCOMPARE(second.result(), QString(SnmpdFixture::kSysName));
    }

    void concurrentV3WithClearing()
    {
        // 50 device queries at once on their own single sessions, two threads of traditional
        // requests beside them, and the user table cleared again and again meanwhile: every
        // answer must come.
        QThreadPool pool;
        pool.setMaxThreadCount(52);
        std::atomic<int> failures{0};
        std::atomic<bool> running{true};
        QList<QFuture<void>> futures;
        for (int i = 0; i < 52; ++i) {
            const Device device = v3Device(m_ip, SnmpdFixture::kV3Users[i % std::size(SnmpdFixture::kV3Users)].name);
            futures << QtConcurrent::run(&pool, [i, device, &failures, &running] {
                if (i >= 50) {
                    for (int request = 0; request < 10 && running; ++request)
                        failures += traditionalGetWorks(device) ? 0 : 1;
                    return;
                }
                SnmpUtils::SingleSession* session =
                    SnmpUtils::openSingleSession(device.ip, device.params, 2, 1500000);
                failures += session ? 0 : 1;
                for (int request = 0; session && request < 3; ++request) {
                    bool ok = false;
                    const QList<OidValue> values =
                        SnmpOidUtils::request(ok, session, SNMP_MSG_GETNEXT, {"1.3.6.1.2.1.1.1", "1.3.6.1.2.1.1.5"},
                                              SnmpOidUtils::ValueForm::CellValue);
                    failures +=
                        ok && values.size() == 2 && values.at(1).value.toString() == SnmpdFixture::kSysName ? 0 : 1;
                }
                SnmpUtils::closeSingleSession(session);
            });
        }
        QElapsedTimer timer;
        timer.start();
        int clearings = 0;
        while (timer.elapsed() < 30000 &&
               !std::all_of(futures.cbegin(), futures.cend(), [](const QFuture<void>& f) { return f.isFinished(); })) {
            SnmpUtils::clearUsmUsers();
            ++clearings;
            QThread::msleep(2);
        }
        running = false;
        pool.waitForDone();
        QCOMPARE(failures.load(), 0);
        QVERIFY(clearings > 0);
        SnmpUtils::clearUsmUsers();
        QVERIFY(usmTableEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSnmp)
#include "test_snmp.moc"
