#include "config/ServiceRegistry.h"
#include "platform/Folders.h"
#include "platform/RegistryStore.h"

#include <QtTest>

class TestFolders final : public QObject
{
    Q_OBJECT

private slots:
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
        QFile file(native.location());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[General]\nDestEmailFrom=a@b.example,noc@b.example\n"));
        file.close();
        QCOMPARE(native.value("DestEmailFrom").toString(), QString("a@b.example,noc@b.example"));

        // A plain file where the root should be: writes fail (and are logged), reads give nothing.
        RegistryStore blocked(RegistryStore::View::Native, native.location());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^cannot write \"ServiceName\" to"));
        QVERIFY(!blocked.setValue("ServiceName", QStringLiteral("orvane")) && blocked.value("ServiceName").isNull());
    }
};

QTEST_GUILESS_MAIN(TestFolders)
#include "test_folders.moc"
