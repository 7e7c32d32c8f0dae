#include "SnmpOidUtils.h"
#include "SnmpUtils.h"
#include "SnmpdFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent>
#include <QtTest>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <atomic>
#include <cstring>

using SnmpOidUtils::Device;
using SnmpOidUtils::OidValue;

namespace {

Device v2Device(const QString& ip, const QString& community = SnmpdFixture::kCommunity)
{
    Device device;
    device.ip = ip;
    device.version = 2;
    device.community = community;
    return device;
}

Device v3Device(const QString& ip, const SnmpdFixture::V3User& user)
{
    Device device;
    device.ip = ip;
    device.version = 3;
    device.userName = user.name;
    device.authProtocol = user.authProtocol;
    device.authPassword = user.authProtocol ? SnmpdFixture::kAuthPassPhrase : "";
    device.privProtocol = user.privProtocol;
    device.privPassword = user.privProtocol ? SnmpdFixture::kPrivPassPhrase : "";
    return device;
}

Device v3Device(const QString& ip, const char* userName)
{
    return v3Device(ip, *SnmpdFixture::v3User(userName));
}

bool usmTableEmpty()
{
    SnmpUtils::LibraryLocker lock;
    return usm_get_userList() == nullptr;
}

// GET of sysName over a single session; the value's text, or empty on any failure.
QString singleSessionSysName(const Device& device, int retries = 1, long timeout = 1000000)
{
    SnmpUtils::SingleSession* session = SnmpUtils::openSingleSession(device.ip, device.params(), retries, timeout);
    if (!session)
        return {};
    bool ok = false;
    const QList<OidValue> values = SnmpOidUtils::request(ok, session, SNMP_MSG_GET, {SnmpdFixture::kOidSysName},
                                                         SnmpOidUtils::ValueForm::CellValue);
    SnmpUtils::closeSingleSession(session);
    return ok && values.size() == 1 ? values.first().value.toString() : QString();
}

} // namespace

class TestSnmp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void protocolTables();
    void sessions_data();
    void sessions();
    void refusals_data();
    void refusals();
    void securityLevelsAndPrivacyCodes();
    void exceptionsByVersion();
    void walkEnds();
    void values_data();
    void values();
    void tagTable();
    void timeOut();
    void cachedKeysAndClearing();
    void clearingWaitsForSessionsInUse();
    void concurrentV3WithClearing();

private:
    QTemporaryDir m_home;
    SnmpdFixture m_agent;
    QString m_ip;
};

void TestSnmp::initTestCase()
{
    // A user configuration that would change the printed values if the library read it.
    QVERIFY(m_home.isValid());
    QVERIFY(QDir(m_home.path()).mkpath(".snmp"));
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

void TestSnmp::cleanupTestCase()
{
    SnmpUtils::shutdownLibrary();
}

void TestSnmp::init()
{
    SnmpUtils::clearUsmUsers();
}

void TestSnmp::protocolTables()
{
    QCOMPARE(SnmpUtils::authProtocolNames(),
             QStringList({"NoAuth", "MD5", "SHA1", "SHA224", "SHA256", "SHA384", "SHA512"}));
    QCOMPARE(SnmpUtils::privProtocolNames(),
             QStringList({"NoPriv", "DES", "AES", "3DES", "AES192", "AES192 Cisco", "AES256", "AES256 Cisco"}));
    const QVector<int> partners{-1, -1, -1, -1, 5, 4, 7, 6, -1};
    for (int code = 0; code < partners.size(); ++code)
        QCOMPARE(SnmpUtils::privProtocolPartner(code), partners.at(code));
}

void TestSnmp::sessions_data()
{
    QTest::addColumn<Device>("device");
    QTest::newRow("v1") << [this] {
        Device device = v2Device(m_ip);
        device.version = 1;
        return device;
    }();
    QTest::newRow("v2c") << v2Device(m_ip);
    QTest::newRow("v2c community with ; and ,") << v2Device(m_ip, SnmpdFixture::kSpecialCommunity);
    for (const SnmpdFixture::V3User& user : SnmpdFixture::v3Users())
        QTest::newRow(user.name) << v3Device(m_ip, user);
}

void TestSnmp::sessions()
{
    QFETCH(Device, device);
    bool ok = false;
    const OidValue value = SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName);
    QVERIFY(ok);
    QCOMPARE(value.value.toByteArray(), QByteArray(SnmpdFixture::kSysName));
    QCOMPARE(singleSessionSysName(device), QString(SnmpdFixture::kSysName));

    if (device.version != 3)
        return;
    // A wrong pass phrase (or user) is refused in both kinds of session.
    SnmpUtils::clearUsmUsers();
    Device wrong = device;
    if (device.authProtocol != 0)
        wrong.authPassword = "wrongPassPhrase";
    else
        wrong.userName = "noSuchUser";
    SnmpOidUtils::get(ok, wrong, SnmpdFixture::kOidSysName);
    QVERIFY(!ok);
    QCOMPARE(singleSessionSysName(wrong, 0, 300000), QString());
}

void TestSnmp::refusals_data()
{
    QTest::addColumn<Device>("device");
    Device device = v2Device(m_ip);
    device.version = 0;
    QTest::newRow("version 0") << device;
    device.version = 4;
    QTest::newRow("version 4") << device;
    device = v3Device(m_ip, SnmpdFixture::kUserSha1);
    device.authPassword = "7chars!";
    QTest::newRow("auth pass phrase of 7 characters") << device;
    device = v3Device(m_ip, SnmpdFixture::kUserAes);
    device.privPassword = "7chars!";
    QTest::newRow("priv pass phrase of 7 characters") << device;
    device = v3Device(m_ip, SnmpdFixture::kUserSha1);
    device.authProtocol = 7;
    QTest::newRow("auth code 7") << device;
    device = v3Device(m_ip, SnmpdFixture::kUserAes);
    device.privProtocol = 8;
    QTest::newRow("priv code 8") << device;
}

void TestSnmp::refusals()
{
    QFETCH(Device, device);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!SnmpUtils::openSingleSession(device.ip, device.params(), 2, 1000000));
    bool ok = true;
    const OidValue value = SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName);
    QVERIFY(!ok);
    QVERIFY(value.oid.isEmpty());
    QCOMPARE(value.type, 0);
    QVERIFY(!value.value.isValid());
    ok = true;
    QVERIFY(SnmpOidUtils::getBulk(ok, device, SnmpdFixture::kOidSysName).isEmpty());
    QVERIFY(!ok);
    // Nothing was sent, so nothing was waited for.
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

void TestSnmp::securityLevelsAndPrivacyCodes()
{
    // Authentication code 0 makes a noAuthNoPriv session whatever else is set.
    Device device = v3Device(m_ip, SnmpdFixture::kUserNoAuth);
    device.privProtocol = 2;
    device.authPassword = SnmpdFixture::kAuthPassPhrase;
    device.privPassword = "short";
    device.community = "ignored-by-v3";
    bool ok = false;
    SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName);
    QVERIFY(ok);
    QCOMPARE(singleSessionSysName(device), QString(SnmpdFixture::kSysName));

    // Privacy code 0 makes authNoPriv: refused by a user that requires privacy.
    device = v3Device(m_ip, SnmpdFixture::kUserAes);
    device.privProtocol = 0;
    SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName);
    QVERIFY(!ok);

    // Codes 4..7 select the Blumenthal and the Cisco key extension in both openers.
    struct Case
    {
        const char* user;
        int privProtocol;
        bool works;
    };
    const Case cases[] = {{SnmpdFixture::kUserAes192, 4, true},      {SnmpdFixture::kUserAes192Cisco, 5, true},
                          {SnmpdFixture::kUserAes256Sha1, 6, true},  {SnmpdFixture::kUserAes256Cisco, 7, true},
                          {SnmpdFixture::kUserAes256Sha1, 7, false}, {SnmpdFixture::kUserAes256Cisco, 6, false}};
    for (const Case& c : cases) {
        SnmpUtils::clearUsmUsers();
        device = v3Device(m_ip, c.user);
        device.privProtocol = c.privProtocol;
        SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName);
        QVERIFY2(ok == c.works, c.user);
        SnmpUtils::clearUsmUsers();
        QVERIFY2(singleSessionSysName(device, 0, 500000).isEmpty() != c.works, c.user);
    }
}

void TestSnmp::exceptionsByVersion()
{
    Device v1 = v2Device(m_ip);
    v1.version = 1;
    bool ok = true;
    OidValue value = SnmpOidUtils::get(ok, v1, SnmpdFixture::kOidNoSuchObject);
    QVERIFY(!ok); // noSuchName
    QCOMPARE(value.oid, QString(SnmpdFixture::kOidNoSuchObject));
    QCOMPARE(value.type, 0);
    QVERIFY(value.text.isEmpty());

    const Device v2 = v2Device(m_ip);
    value = SnmpOidUtils::get(ok, v2, SnmpdFixture::kOidNoSuchObject);
    QVERIFY(ok);
    QCOMPARE(value.type, 0);
    QCOMPARE(value.exception, OidValue::NoSuchObject);
    QVERIFY(!value.value.isValid());
    QCOMPARE(value.text, QString("No Such Object available on this agent at this OID"));

    value = SnmpOidUtils::get(ok, v2, SnmpdFixture::kOidNoSuchInstance);
    QVERIFY(ok);
    QCOMPARE(value.exception, OidValue::NoSuchInstance);
    QCOMPARE(value.text, QString("No Such Instance currently exists at this OID"));

    // An OID the library cannot parse is not sent.
    value = SnmpOidUtils::get(ok, v2, "not an oid");
    QVERIFY(!ok);
    QCOMPARE(value.oid, QString("not an oid"));
}

void TestSnmp::walkEnds()
{
    const Device device = v2Device(m_ip);
    bool ok = false;
    // Past the last object: the same OID comes back as endOfMibView, which ends a walk.
    OidValue value = SnmpOidUtils::getNext(ok, device, SnmpdFixture::kOidLast);
    QVERIFY(ok);
    QCOMPARE(value.exception, OidValue::EndOfMibView);
    QCOMPARE(value.type, 0);
    QCOMPARE(value.value, QVariant(QString()));
    QCOMPARE(value.text, QString("No more variables left in this MIB View (It is past the end of the MIB tree)"));

    Device v1 = device;
    v1.version = 1;
    SnmpOidUtils::getNext(ok, v1, SnmpdFixture::kOidLast);
    QVERIFY(!ok);

    const QString start = QString(SnmpdFixture::kOidBulkColumn) + ".9995";
    const QList<OidValue> values = SnmpOidUtils::getBulk(ok, device, start);
    QVERIFY(ok);
    QVERIFY(values.size() > 5 && values.size() <= 20);
    for (int i = 0; i < values.size(); ++i) {
        if (i < 5) {
            QCOMPARE(values.at(i).oid, QString(SnmpdFixture::kOidBulkColumn) + '.' + QString::number(9996 + i));
            QCOMPARE(values.at(i).value, QVariant("row " + QString::number(9996 + i)));
            QCOMPARE(values.at(i).type, 2);
        } else {
            QCOMPARE(values.at(i).exception, OidValue::EndOfMibView);
            QCOMPARE(values.at(i).type, 0);
        }
    }
    // Twenty at a time from inside the table.
    QCOMPARE(SnmpOidUtils::getBulk(ok, device, SnmpdFixture::kOidBulkColumn).size(), 20);
}

void TestSnmp::values_data()
{
    QTest::addColumn<QString>("oid");
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("valueText");
    QTest::addColumn<QString>("text");

    QTest::newRow("Counter64") << SnmpdFixture::kOidCounter64 << 11 << QVariant(quint64(4294967301ULL)) << "4294967301"
                               << "Counter64: 4294967301";
    QTest::newRow("octets 41 00 42") << SnmpdFixture::kOidOctets << 2 << QVariant(QByteArray("A\0B", 3)) << "A"
                                     << "Hex-STRING: 41 00 42 ";
    QTest::newRow("IpAddress") << SnmpdFixture::kOidIpAddress << 5 << QVariant() << ""
                               << "IpAddress: 10.1.2.3";
    QTest::newRow("INTEGER") << SnmpdFixture::kOidInteger << 3 << QVariant(qint32(-42)) << "-42"
                             << "INTEGER: -42";
    QTest::newRow("Gauge32") << SnmpdFixture::kOidGauge << 7 << QVariant(quint32(4000000000U)) << "4000000000"
                             << "Gauge32: 4000000000";
    QTest::newRow("TimeTicks") << SnmpdFixture::kOidTimeTicks << 8 << QVariant(quint32(8640000)) << "8640000"
                               << "Timeticks: (8640000) 1 day, 0:00:00.00";
    QTest::newRow("OBJECT IDENTIFIER") << SnmpdFixture::kOidObjectId << 1 << QVariant("1.3.6.1.4.1.32473.1")
                                       << "1.3.6.1.4.1.32473.1"
                                       << "OID: iso.3.6.1.4.1.32473.1";
    QTest::newRow("Counter32") << SnmpdFixture::kOidCounter32 << 6 << QVariant(quint32(4294967295U)) << "4294967295"
                               << "Counter32: 4294967295";
    QTest::newRow("STRING") << SnmpdFixture::kOidText << 2 << QVariant(QByteArray("Hello, world")) << "Hello, world"
                            << "STRING: \"Hello, world\"";
    QTest::newRow("empty STRING") << SnmpdFixture::kOidEmptyString << 2 << QVariant(QByteArray("")) << ""
                                  << "\"\"";
    QTest::newRow("UTF-8 STRING") << SnmpdFixture::kOidUtf8Text << 2 << QVariant(QString("Grüße").toUtf8()) << "Grüße"
                                  << "Hex-STRING: 47 72 C3 BC C3 9F 65 ";
}

void TestSnmp::values()
{
    QFETCH(QString, oid);
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(QString, valueText);
    QFETCH(QString, text);
    const Device device = v2Device(m_ip);

    bool ok = false;
    const OidValue got = SnmpOidUtils::get(ok, device, '.' + oid);
    QVERIFY(ok);
    QCOMPARE(got.oid, '.' + oid); // as the caller gave it
    QCOMPARE(got.type, type);
    QCOMPARE(got.value.userType(), value.userType());
    QCOMPARE(got.value, value);
    QCOMPARE(got.exception, OidValue::NoException);
    QCOMPARE(got.text, text);

    const QString parent = oid.left(oid.lastIndexOf('.'));
    const OidValue next = SnmpOidUtils::getNext(ok, device, parent);
    QVERIFY(ok);
    QCOMPARE(next.oid, oid);
    QCOMPARE(next.type, type);
    QCOMPARE(next.value, QVariant(valueText));
    QCOMPARE(next.text, got.text);
}

void TestSnmp::tagTable()
{
    const QMap<int, int> types{{0x02, 3}, {0x03, 12}, {0x04, 2}, {0x05, 10}, {0x06, 1},  {0x40, 5},  {0x41, 6},
                               {0x42, 7}, {0x43, 8},  {0x44, 9}, {0x45, 13}, {0x46, 11}, {0x4A, 11}, {0x4B, 11},
                               {0x47, 0}, {0x48, 0},  {0x49, 0}, {0x80, 0},  {0x81, 0},  {0x82, 0},  {0x7B, 0}};
    for (auto it = types.cbegin(); it != types.cend(); ++it)
        QVERIFY2(SnmpOidUtils::typeFromTag(it.key()) == it.value(), qPrintable(QString::number(it.key(), 16)));

    // Tags the test agent cannot send, converted from hand-made varbinds.
    const oid name[] = {1, 3, 6, 1, 4, 1, 32473, 99, 0};
    const auto convert = [&](u_char tag, const void* data, size_t length) {
        netsnmp_variable_list var;
        std::memset(&var, 0, sizeof(var));
        var.name = const_cast<oid*>(name);
        var.name_length = OID_LENGTH(name);
        var.type = tag;
        var.val.string = static_cast<u_char*>(const_cast<void*>(data));
        var.val_len = length;
        return qMakePair(SnmpOidUtils::toVariant(&var), SnmpOidUtils::toCellVariant(&var));
    };
    const counter64 big{0xFFFFFFFFUL, 0xFFFFFFFEUL};
    QCOMPARE(convert(ASN_APP_U64, &big, sizeof(big)).first, QVariant(quint64(0xFFFFFFFFFFFFFFFEULL)));
    QCOMPARE(convert(ASN_APP_I64, &big, sizeof(big)).first, QVariant(qint64(-2)));
    QCOMPARE(convert(ASN_COUNTER64, &big, sizeof(big)).first, QVariant(quint64(0xFFFFFFFFFFFFFFFEULL)));
    const u_char bits[] = {0x80, 0x01};
    QCOMPARE(convert(ASN_BIT_STR, bits, sizeof(bits)).first, QVariant(QByteArray("\x80\x01", 2)));
    QVERIFY(!convert(ASN_NULL, nullptr, 0).first.isValid());
    QVERIFY(!convert(ASN_OPAQUE, bits, sizeof(bits)).first.isValid());
    QVERIFY(!convert(ASN_NSAP, bits, sizeof(bits)).first.isValid());
    const u_char address[] = {192, 168, 0, 255};
    const auto ip = convert(ASN_IPADDRESS, address, sizeof(address));
    QVERIFY(!ip.first.isValid());
    QCOMPARE(ip.second, QVariant("192.168.0.255"));
    const oid longOid[] = {1, 3, 4294967295UL};
    QCOMPARE(convert(ASN_OBJECT_ID, longOid, sizeof(longOid)).first, QVariant("1.3.4294967295"));
    QVERIFY(!SnmpOidUtils::toVariant(nullptr).isValid());
    QCOMPARE(SnmpOidUtils::valueText(QVariant()), QString());
}

void TestSnmp::timeOut()
{
    const QString closed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
    QElapsedTimer timer;
    timer.start();
    bool ok = true;
    const OidValue value = SnmpOidUtils::get(ok, v2Device(closed), SnmpdFixture::kOidSysName);
    const qint64 elapsed = timer.elapsed();
    QVERIFY(!ok);
    QCOMPARE(value.oid, QString(SnmpdFixture::kOidSysName));
    QVERIFY(!value.value.isValid());
    // Three sends of one second each.
    QVERIFY2(elapsed >= 2800 && elapsed < 6000, qPrintable(QString::number(elapsed)));

    // SNMPv3 needs the agent's engine ID first: no answer, no session.
    timer.restart();
    QVERIFY(!SnmpUtils::openSingleSession(closed, v3Device(closed, SnmpdFixture::kUserSha1).params(), 1, 200000));
    QVERIFY(timer.elapsed() >= 350);
}

void TestSnmp::cachedKeysAndClearing()
{
    // The library keeps the keys of a user name at an engine until the table is cleared.
    Device device = v3Device(m_ip, SnmpdFixture::kUserAes256Cisco);
    device.privProtocol = SnmpUtils::PrivAES256;
    bool ok = true;
    SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName);
    QVERIFY(!ok);
    device.privProtocol = SnmpUtils::PrivAES256Cisco;
    SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName);
    QVERIFY(!ok);
    QVERIFY(!usmTableEmpty());
    SnmpUtils::clearUsmUsers();
    QVERIFY(usmTableEmpty());
    SnmpOidUtils::get(ok, device, SnmpdFixture::kOidSysName);
    QVERIFY(ok);

    // Derived keys are remembered by pass phrase: a wrong one after a right one fails.
    device = v3Device(m_ip, SnmpdFixture::kUserSha512);
    QCOMPARE(singleSessionSysName(device), QString(SnmpdFixture::kSysName));
    SnmpUtils::clearUsmUsers();
    device.authPassword = "fixtureAuthPass2";
    QCOMPARE(singleSessionSysName(device, 0, 300000), QString());
    SnmpUtils::clearUsmUsers();
    device.authPassword = SnmpdFixture::kAuthPassPhrase;
    QCOMPARE(singleSessionSysName(device), QString(SnmpdFixture::kSysName));
}

void TestSnmp::clearingWaitsForSessionsInUse()
{
    const Device device = v3Device(m_ip, SnmpdFixture::kUserAes);
    SnmpUtils::SingleSession* first = SnmpUtils::openSingleSession(device.ip, device.params(), 1, 1000000);
    QVERIFY(first);
    QElapsedTimer timer;
    timer.start();
    SnmpUtils::clearUsmUsers();
    QVERIFY(timer.elapsed() < 200); // never blocks its caller
    QVERIFY(!usmTableEmpty());

    // The session in use keeps working; a new one waits until the clearing is done.
    bool ok = false;
    SnmpOidUtils::request(ok, first, SNMP_MSG_GET, {SnmpdFixture::kOidSysName}, SnmpOidUtils::ValueForm::Variant);
    QVERIFY(ok);
    QFuture<QString> second = QtConcurrent::run([device] { return singleSessionSysName(device); });
    QThread::msleep(200);
    QVERIFY(!second.isFinished());
    SnmpOidUtils::request(ok, first, SNMP_MSG_GET, {SnmpdFixture::kOidSysName}, SnmpOidUtils::ValueForm::Variant);
    QVERIFY(ok);
    SnmpUtils::closeSingleSession(first);
    second.waitForFinished();
    QCOMPARE(second.result(), QString(SnmpdFixture::kSysName));
}

void TestSnmp::concurrentV3WithClearing()
{
    // 50 device queries at once on their own single sessions, traditional requests beside
    // them, and the user table cleared again and again meanwhile: every answer must come.
    QThreadPool pool;
    pool.setMaxThreadCount(52);
    const QVector<SnmpdFixture::V3User>& users = SnmpdFixture::v3Users();
    std::atomic<int> failures{0};
    std::atomic<bool> running{true};
    QList<QFuture<void>> futures;
    for (int i = 0; i < 50; ++i) {
        const Device device = v3Device(m_ip, users.at(i % users.size()));
        futures << QtConcurrent::run(&pool, [device, &failures] {
            SnmpUtils::SingleSession* session = SnmpUtils::openSingleSession(device.ip, device.params(), 2, 1500000);
            if (!session) {
                ++failures;
                return;
            }
            for (int request = 0; request < 3; ++request) {
                bool ok = false;
                const QList<OidValue> values =
                    SnmpOidUtils::request(ok, session, SNMP_MSG_GETNEXT, {"1.3.6.1.2.1.1.1", "1.3.6.1.2.1.1.5"},
                                          SnmpOidUtils::ValueForm::CellValue);
                if (!ok || values.size() != 2 || values.at(1).value.toString() != SnmpdFixture::kSysName)
                    ++failures;
            }
            SnmpUtils::closeSingleSession(session);
        });
    }
    for (int t = 0; t < 2; ++t) {
        const Device device = v3Device(m_ip, users.at(users.size() - 1 - t));
        futures << QtConcurrent::run(&pool, [device, &failures, &running] {
            for (int request = 0; request < 10 && running; ++request) {
                bool ok = false;
                SnmpOidUtils::getNext(ok, device, "1.3.6.1.2.1.1.4");
                if (!ok)
                    ++failures;
            }
        });
    }
    QElapsedTimer timer;
    timer.start();
    int clearings = 0;
    while (timer.elapsed() < 30000) {
        const bool allDone =
            std::all_of(futures.cbegin(), futures.cend(), [](const QFuture<void>& f) { return f.isFinished(); });
        if (allDone)
            break;
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

QTEST_GUILESS_MAIN(TestSnmp)
#include "test_snmp.moc"
