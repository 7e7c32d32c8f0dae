// The program's own storage: the settings file, the data folder and the service's registry key.

#include "config/ServiceRegistry.h"
#include "platform/AppSettings.h"
#include "platform/Folders.h"
#include "platform/RegistryStore.h"
#include "TestFiles.h"

#include <QtTest>

class TestSettings final : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_ini = m_temp.filePath(QString("%1.ini").arg(++m_files)); } // QSettings caches by file

    // Text stored by hand (the row's name) -> the search-from and search-for codes read back.
    void codes_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("searchFor");
        for (const char* row : {"|0|2", "2|2|2", "0|0|0", "3|0|2", "all|0|2"}) // an empty text: missing
            QTest::newRow(qPrintable(QString(row).section('|', 0, 0)))
                << QString(row).section('|', 1, 1).toInt() << QString(row).section('|', 2).toInt();
    }

    void codes()
    {
        const QByteArray text = QTest::currentDataTag();
        writeIni(text.isEmpty() ? QByteArray()
                                : "main_window_search_from=" + text + "\nmain_window_search_for=" + text);
        const AppSettings settings(m_ini);
        QTEST(settings.mainWindowSearchFrom(), "from");
        QTEST(settings.mainWindowSearchFor(), "searchFor");
    }

    // Values written by hand: lenient where a person may have typed them, else the default.
    void reads()
    {
        writeIni("main_window_view_full_oid=TRUE\nemail_enable_authentication=1\nmain_window_device_ip=10.0.0.1,x\n"
                 "oid_index_window_size=640x480\nDevices_scale=big\nemail_password=c2VjcmV0\n"
                 "[device_names]\n10.0.0.1=core-sw\n10.0.0.2=edge-rt\n");
        const AppSettings settings(m_ini);
        QVERIFY(settings.mainWindowViewFullOid() && settings.emailEnableAuthentication());
        QCOMPARE(settings.mainWindowDeviceIp(), QString("10.0.0.1,x")); // a comma is still one text
        QCOMPARE(settings.oidIndexWindowSize(), QSize());
        QCOMPARE(settings.dialogScale("Devices"), 1.25);
        QCOMPARE(settings.emailPassword(), QString("secret"));
        const QMap<QString, QString> names{{"10.0.0.1", "core-sw"}, {"10.0.0.2", "edge-rt"}};
        QCOMPARE(settings.deviceNames(), names);
        // Device names as QSettings writes a map.
        const QString map = m_ini + ".map";
        QSettings(map, QSettings::IniFormat)
            .setValue("device_names", QVariantMap{{"10.0.0.1", "core-sw"}, {"10.0.0.2", "edge-rt"}});
        QCOMPARE(AppSettings(map).deviceNames(), names);
    }

    // The exact lines the setters write at once (older versions and people read them), values not read as stored.
    void writes()
    {
        const QByteArray blob("\x01\x00\xff geo", 7);
        const QString password = QString::fromUtf8("Pässwörd ✓ ключ");
        AppSettings settings(m_ini);
        settings.setMainWindowGeometry(blob);
        settings.setMainWindowViewFullOid(true);
        settings.setMainWindowSearchText("ifDescr, ifType");
        settings.setMainWindowSearchHistory({"ifDescr", "sysName"});
        settings.setMainWindowSearchFor(0);
        settings.setOidIndexWindowSize(QSize(640, 480));
        settings.setEmailPassword(password);
        settings.setUpdateBaseUrl(" http://127.0.0.1:8080/u/ ");
        settings.setDialogGeometry("Devices", blob, 1.5);
        QCOMPARE(
            QString::fromUtf8(readBytes(m_ini)).split('\n'),
            QStringList({"[General]", "Devices_geometry=@ByteArray(\\x1\\0\\xff geo)", "Devices_scale=1.5",
                         QString("email_password=\"%1\"").arg(QString(password.toUtf8().toBase64())),
                         "main_window_geometry=@ByteArray(\\x1\\0\\xff geo)", "main_window_search_for=0",
                         "main_window_search_history=ifDescr, sysName", "main_window_search_text=\"ifDescr, ifType\"",
                         "main_window_view_full_oid=true", "oid_index_window_size=@Size(640 480)",
                         "update_base_url=\" http://127.0.0.1:8080/u/ \"", ""}));
        const AppSettings read(m_ini);
        QVERIFY(read.emailPassword() == password &&
                read.mainWindowSearchHistory() == QStringList({"ifDescr", "sysName"}));
        QCOMPARE(read.updateBaseUrl(), QString("http://127.0.0.1:8080/u/"));

        // A plain file where the folder should be: logged once (never the value); kept in memory.
        AppSettings unwritable(m_ini + "/Tessaro.ini");
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^cannot write the settings file \"[^\"]*Tessaro.ini\"$"));
        unwritable.setEmailPassword("secret");
        unwritable.setMainWindowDeviceIp("10.0.0.1");
        QCOMPARE(unwritable.mainWindowDeviceIp(), QString("10.0.0.1"));
    }

    void folders()
    {
        // ProgramData (null: unset), default base, data folder; without a base it stays relative, not at "/".
        const char* const cases[][3] = {{nullptr, "/home/u/.local/share", "/home/u/.local/share/Brantwick/Tessaro/"},
                                        {nullptr, "/srv/", "/srv/Brantwick/Tessaro/"},
                                        {"/data", "/home/u/.local/share", "/data/Brantwick/Tessaro/"},
                                        {"/data/", "/x", "/data/Brantwick/Tessaro/"},
                                        {"/", "/x", "/Brantwick/Tessaro/"},
                                        {nullptr, nullptr, "Brantwick/Tessaro/"}};
        for (const auto& row : cases)
            QCOMPARE(Folders(row[0], row[1], "/app", "/work").dataFolder(), QString(row[2]));

        // A plain file where a parent folder should be: reported and logged, nothing thrown.
        QTemporaryDir temp;
        QVERIFY(Folders(temp.filePath("deep/er"), QString(), temp.path(), temp.path()).createDataFolder());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^cannot create the data folder"));
        QVERIFY(QFile(temp.filePath("file")).open(QIODevice::WriteOnly));
        QVERIFY(!Folders(temp.filePath("file"), QString(), temp.path(), temp.path()).createDataFolder());
    }

    // The service's key: read from the native view until the 32-bit view has the value, written
    // there only; the service and people write plain ini lines, where a comma is still one string.
    void registry()
    {
        QCOMPARE(RegistryStore(RegistryStore::View::Wow6432Node, "/r").location(),
                 QString("/r/WOW6432Node/Dunmere/Velmora.ini"));
        qunsetenv("TESSARO_REGISTRY_ROOT");
        QCOMPARE(RegistryStore(RegistryStore::View::Native).location(), QString("/etc/Dunmere/Velmora.ini"));
        QTemporaryDir root;
        qputenv("TESSARO_REGISTRY_ROOT", QFile::encodeName(root.path()));
        RegistryStore native(RegistryStore::View::Native);
        QVERIFY(native.setValue("ServiceName", QStringLiteral("orvane")));
        QCOMPARE(ServiceRegistry::readString("ServiceName"), QString("orvane"));
        QVERIFY(ServiceRegistry::writeString("ServiceName", "orvane-test"));
        QCOMPARE(native.value("ServiceName").toString(), QString("orvane"));
        QCOMPARE(ServiceRegistry::readString("ServiceName"), QString("orvane-test"));
        QVERIFY(ServiceRegistry::writeString("SMTPPort", "four"));
        QCOMPARE(ServiceRegistry::readInt("SMTPPort", 25), 25);
        QVERIFY(writeBytes(native.location(), "[General]\nDestEmailFrom=a@b.example,noc@b.example\n"));
        QCOMPARE(native.value("DestEmailFrom").toString(), QString("a@b.example,noc@b.example"));

        // A plain file where the root should be: writes fail (and are logged), reads give nothing.
        RegistryStore blocked(RegistryStore::View::Native, native.location());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^cannot write \"ServiceName\" to"));
        QVERIFY(!blocked.setValue("ServiceName", QStringLiteral("orvane")) && blocked.value("ServiceName").isNull());
    }

private:
    void writeIni(const QByteArray& text) const { QVERIFY(writeBytes(m_ini, "[General]\n" + text + "\n")); }

    QTemporaryDir m_temp;
    int m_files = 0;
    QString m_ini;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
