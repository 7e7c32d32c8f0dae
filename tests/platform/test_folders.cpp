#include "platform/Folders.h"
#include "platform/RegistryStore.h"

#include <QtTest>

class TestFolders final : public QObject
{
    Q_OBJECT

private slots:
    void dataFolder();
    void otherFolders();
    void registry();
};

void TestFolders::dataFolder()
{
    // ProgramData (null: unset), the default base, the data folder. Without any base the folder stays relative
    // instead of landing in the file system's root.
    const char* const cases[][3] = {{nullptr, "/home/u/.local/share", "/home/u/.local/share/Brantwick/Tessaro/"},
                                    {nullptr, "/srv/", "/srv/Brantwick/Tessaro/"},
                                    {"/data", "/home/u/.local/share", "/data/Brantwick/Tessaro/"},
                                    {"/data/", "/home/u/.local/share", "/data/Brantwick/Tessaro/"},
                                    {"/", "/x", "/Brantwick/Tessaro/"},
                                    {nullptr, nullptr, "Brantwick/Tessaro/"}};
    for (const auto& row : cases) {
        QCOMPARE(Folders::dataFolderFor(row[0], row[1]), QString(row[2]));
        QCOMPARE(Folders(row[0], row[1], "/app", "/work").dataFolder(), QString(row[2]));
    }
}

void TestFolders::otherFolders()
{
    const Folders folders("/pd", "/unused", "/opt/tessaro/bin", "/home/u/");
    QCOMPARE(folders.applicationFolder(), QStringLiteral("/opt/tessaro/bin/"));
    QCOMPARE(folders.workingFolder(), QStringLiteral("/home/u/"));
    QCOMPARE(folders.dataFile("Tessaro.ini"), QStringLiteral("/pd/Brantwick/Tessaro/Tessaro.ini"));
    QCOMPARE(folders.applicationFile("TrapAlert.cfg"), QStringLiteral("/opt/tessaro/bin/TrapAlert.cfg"));
    QCOMPARE(folders.workingFile("OIDEntry.cfg"), QStringLiteral("/home/u/OIDEntry.cfg"));
#ifndef Q_OS_WIN
    QCOMPARE(Folders::oldExecutableName(), QStringLiteral("Tessaro.old"));
    QCOMPARE(Folders::tempExecutableName(), QStringLiteral("Tessaro.temp"));
#endif

    QTemporaryDir temp;
    const Folders created(temp.path() + "/deep/er", QString(), temp.path(), temp.path());
    QVERIFY(created.createDataFolder());
    QVERIFY(QFileInfo(created.dataFolder()).isDir());
    // A regular file where a parent folder should be: reported, nothing thrown.
    QFile blocker(temp.path() + "/file");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!Folders(blocker.fileName(), QString(), temp.path(), temp.path()).createDataFolder());
    RegistryStore blocked(RegistryStore::View::Wow6432Node, blocker.fileName());
    QVERIFY(!blocked.setValue("ServiceName", QStringLiteral("orvane")));
    QVERIFY(blocked.value("ServiceName").isNull());
}

void TestFolders::registry()
{
#ifndef Q_OS_WIN
    QCOMPARE(RegistryStore(RegistryStore::View::Wow6432Node, "/r").location(),
             QStringLiteral("/r/WOW6432Node/Dunmere/Velmora.ini"));
    QCOMPARE(RegistryStore(RegistryStore::View::Native, "/r/").location(), QStringLiteral("/r/Dunmere/Velmora.ini"));
    const QByteArray saved = qgetenv("TESSARO_REGISTRY_ROOT");
    qunsetenv("TESSARO_REGISTRY_ROOT");
    QCOMPARE(RegistryStore::defaultRoot(), QStringLiteral("/etc"));
    qputenv("TESSARO_REGISTRY_ROOT", "/tmp/elsewhere");
    QCOMPARE(RegistryStore(RegistryStore::View::Native).location(),
             QStringLiteral("/tmp/elsewhere/Dunmere/Velmora.ini"));
    qputenv("TESSARO_REGISTRY_ROOT", saved);
#endif

    QTemporaryDir root;
    RegistryStore wow(RegistryStore::View::Wow6432Node, root.path());
    RegistryStore native(RegistryStore::View::Native, root.path());
    QVERIFY(wow.value("ServiceName").isNull());
    QVERIFY(wow.setValue("ServiceName", QStringLiteral("orvane")));
    QVERIFY(wow.setValue("SMTPPort", 587));
    QVERIFY(native.value("ServiceName").isNull());
    QCOMPARE(wow.value("ServiceName").toString(), QStringLiteral("orvane"));
    QCOMPARE(wow.value("SMTPPort").toInt(), 587);

    // The service and people write plain ini lines; a comma in them is still one string.
    QDir().mkpath(root.path() + "/Dunmere");
    QFile file(native.location());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\nDestEmailFrom=alerts@brantwick.example,noc@brantwick.example\n");
    file.close();
    QCOMPARE(native.value("DestEmailFrom").toString(),
             QStringLiteral("alerts@brantwick.example,noc@brantwick.example"));
}

QTEST_GUILESS_MAIN(TestFolders)
#include "test_folders.moc"
