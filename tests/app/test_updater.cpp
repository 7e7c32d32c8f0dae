#include "app/MainWindow.h"
#include "app/Updater.h"
#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "ui/browser/OidBrowser.h"
#include "ui/mib/MibImportDialog.h"
#include "ui/update/DownloadDialog.h"
#include "MibTestDb.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QLabel>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <JlCompress.h>

using Updater::Outcome;
Q_DECLARE_METATYPE(Updater::Outcome)

namespace {

// Zips one file under its own name; the folder keeps nothing else.
QString zipOne(const QString& zip, const QString& name, const QByteArray& bytes)
{
    const QString file = QFileInfo(zip).absolutePath() + "/packed/" + name;
    return writeBytes(file, bytes) && JlCompress::compressFile(zip, file) && QFile::remove(file) ? zip : QString();
}

// A loopback HTTP server that answers each request once its header has arrived.
void serve(QTcpServer& server, const std::function<void(const QByteArray&, QTcpSocket*)>& answer)
{
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, answer] {
        QTcpSocket* socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, answer] {
            socket->setProperty("request", QByteArray(socket->property("request").toByteArray() + socket->readAll()));
            if (socket->property("request").toByteArray().endsWith("\r\n\r\n"))
                answer(socket->property("request").toByteArray(), socket);
        });
    });
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void versionFiles_data()
    {
        QTest::addColumn<bool>("program");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("parsed"); // major.minor.maintenance/size/sha, empty: refused
        QTest::newRow("program") << true << QByteArray("APP_FILESIZE:99\n\nX:1\nAPP_VERSION:14,1,2\n") << "14.1.2/99/";
        QTest::newRow("later wins") << true << QByteArray("APP_VERSION:1,1,1\nAPP_VERSION:2,0,0\nAPP_FILESIZE:5")
                                    << "2.0.0/5/";
        QTest::newRow("two numbers") << true << QByteArray("APP_VERSION:14,1\nAPP_FILESIZE:9\n") << "";
        QTest::newRow("no size") << true << QByteArray("APP_VERSION:14,1,0\n") << "";
        QTest::newRow("letters") << true << QByteArray("APP_VERSION:14,x,0\nAPP_FILESIZE:9\n") << "";
        QTest::newRow("database") << false << "DB_VERSION:3,5\nDB_FILESIZE:1048576\nDB_SHA256:" + QByteArray(64, 'a')
                                  << "3.5.0/1048576/" + QString(64, 'a');
        QTest::newRow("short sha") << false << QByteArray("DB_VERSION:3,5\nDB_FILESIZE:1\nDB_SHA256:abc") << "";
        QTest::newRow("program's keys") << false << QByteArray("APP_VERSION:3,5\nAPP_FILESIZE:1\n") << "";
        QTest::newRow("empty size") << false << QByteArray("DB_VERSION:3,5\nDB_FILESIZE:\n") << "";
    }
    void versionFiles()
    {
        QFETCH(bool, program);
        QFETCH(QByteArray, body);
        const auto v = program ? Updater::parseAppVersion(body) : Updater::parseDbVersion(body);
        QTEST(v ? QString::asprintf("%d.%d.%d/%d/%s", v->major, v->minor, v->maintenance, v->fileSize,
                                    v->sha256.constData())
                : QString(),
              "parsed");
    }

    void comparisonsAndSizes()
    {
        // The running program is 14.0.10, the server's database 3.5; an unreadable local one is older.
        QCOMPARE(QList<bool>({Updater::isNewerProgram(14, 0, 10), Updater::isNewerProgram(13, 9, 99),
                              Updater::isNewerProgram(14, 0, 11), Updater::isNewerProgram(14, 1, 0),
                              Updater::isNewerProgram(15, 0, 0)}),
                 QList<bool>({false, false, true, true, true}));
        QCOMPARE(QList<bool>({Updater::isNewerDatabase(3, 5, true, 3, 4), Updater::isNewerDatabase(3, 5, true, 3, 5),
                              Updater::isNewerDatabase(3, 5, true, 4, 0), Updater::isNewerDatabase(3, 5, false, 0, 0)}),
                 QList<bool>({true, false, false, true}));
        const auto text = &Updater::sizeText;
        QCOMPARE(QStringList({text(1048576), text(1048575), text(1024), text(1023)}),
                 QStringList({"1 MBytes", "1023 KBytes", "1 KBytes", "1023 Bytes"}));
    }

    // The new database is checked before it replaces the old one, which stays otherwise.
    void databaseInstall_data()
    {
        QTest::addColumn<QString>("content"); // what the archive holds
        QTest::addColumn<int>("sha");         // 1: the archive's, -1: another, 0: none
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("good") << "good" << 0 << Outcome::Installed;
        QTest::newRow("good, checked") << "good" << 1 << Outcome::Installed;
        QTest::newRow("changed on the way") << "good" << -1 << Outcome::Mismatch;
        QTest::newRow("not a database") << "garbage" << 0 << Outcome::Refused;
        QTest::newRow("no MIB.db") << "other" << 0 << Outcome::NotInArchive;
        QTest::newRow("cut short") << "truncated" << 0 << Outcome::NotInArchive;
    }
    void databaseInstall()
    {
        QFETCH(QString, content);
        QFETCH(int, sha);
        QFETCH(Outcome, outcome);
        QTemporaryDir dir;
        const QString folder = dir.path() + "/";
        QVERIFY(MibTestDb::create(folder + "new.db", MibTestDb::sampleNodes(), {}, {}, 1, 20250101, 2));
        const QByteArray bytes = content == "garbage" ? QByteArray(4096, 'x') : readBytes(folder + "new.db");
        const QString zip = zipOne(folder + "MIB.zip", content == "other" ? "Other.db" : "MIB.db", bytes);
        QVERIFY(!zip.isEmpty() && writeBytes(folder + "MIB.db", "old"));
        if (content == "truncated")
            QVERIFY(writeBytes(zip, readBytes(zip).left(QFileInfo(zip).size() / 2)));
        const QByteArray hash = QCryptographicHash::hash(readBytes(zip), QCryptographicHash::Sha256).toHex();
        int closed = 0;
        QString error;
        const auto close = [&closed] { ++closed; };
        QCOMPARE(Updater::installDatabase(folder, sha > 0 ? hash : QByteArray(-sha * 64, '0'), close, &error), outcome);
        QCOMPARE(readBytes(folder + "MIB.db") == bytes, outcome == Outcome::Installed);
        QCOMPARE(closed, outcome == Outcome::Installed ? 1 : 0);
        QCOMPARE(error.isEmpty(), outcome != Outcome::Refused);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({"MIB.db", "new.db"}));
    }

    void programInstallAndFailedMove()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + "/", exe = Folders::executableName();
        QVERIFY(writeBytes(folder + exe, "old") && !zipOne(folder + "Tessaro.zip", exe, "new").isEmpty());
        QCOMPARE(Updater::installProgram(folder, ""), Outcome::Installed);
        QCOMPARE(readBytes(folder + exe) + readBytes(folder + exe + ".old"), "newold");
        // A replacement that cannot be moved in puts the old file back.
        QVERIFY(!Updater::replaceFile(folder + exe, folder + "absent", folder + "aside"));
        QCOMPARE(readBytes(folder + exe), "new");
    }

    // The program's version file is asked for after a newer database is swapped in, the tree
    // rebuilt; the imported modules are added to it again, and the one that no longer loads is
    // shown.
    void windowDatabaseUpdate()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("app")) &&
                writeBytes(dir.filePath("Brantwick/Tessaro/Velmora.cfg"), "h:1\tA\tp\r\n"));
        QVERIFY(QFile::link(TESSARO_MIBDB_TOOL, dir.filePath("app/tessaro-mibdb")) &&
                QFile::link(TESSARO_CORE_MIBS_DIR, dir.filePath("app/mibs")));
        QVERIFY(writeBytes(dir.filePath("Brantwick/Tessaro/mibs/dep.mib"),
                           "TEST-DEP-MIB DEFINITIONS ::= BEGIN\nIMPORTS enterprises FROM SNMPv2-SMI;\n"
                           "depMIB OBJECT IDENTIFIER ::= { enterprises 88888 }\nEND\n") &&
                writeBytes(dir.filePath("Brantwick/Tessaro/mibs/lost.mib"),
                           "TEST-LOST-MIB DEFINITIONS ::= BEGIN\nIMPORTS gone FROM NO-SUCH-MIB;\n"
                           "lost OBJECT IDENTIFIER ::= { gone 1 }\nEND\n"));
        QString shown;
        whenModal<MibImportDialog>([&shown](MibImportDialog* dialog) {
            shown = dialog->findChild<QLabel*>()->text();
            buttonWithText(dialog, "Apply")->click();
        });
        QVERIFY(MibTestDb::create(dir.filePath("app/MIB.db"), MibTestDb::sampleNodes(), {}, {}, 1, 20240101, 3));
        QVERIFY(MibTestDb::create(dir.filePath("MIB.db"), MibTestDb::parse("1 - iso 1;2 1 x 42"), {}, {}, 1, 20250101));
        QVERIFY(JlCompress::compressFile(dir.filePath("MIB.zip"), dir.filePath("MIB.db")));
        QTcpServer server;
        QByteArray asked;
        serve(server, [&](const QByteArray& request, QTcpSocket* socket) {
            asked += request.left(request.indexOf(" HTTP"));
            const QByteArray ok = "HTTP/1.0 200 OK\r\n\r\n";
            socket->write(request.startsWith("GET /MIB.ver")   ? ok + "DB_VERSION:20250101,1\nDB_FILESIZE:9"
                          : request.startsWith("GET /MIB.zip") ? ok + readBytes(dir.filePath("MIB.zip"))
                                                               : QByteArray("HTTP/1.0 404 Not Found\r\n\r\n"));
            socket->disconnectFromHost();
        });
        ScriptedPrompts prompts;
        AppSettings settings(dir.filePath("Tessaro.ini"));
        settings.setMainWindowCurrentOid("1");
        NullServiceManager services;
        SystemClock clock;
        const Folders folders(dir.path(), QString(), dir.filePath("app"), dir.path());
        MainWindow window(
            {folders, settings, services, QString("http://127.0.0.1:%1/").arg(server.serverPort()), clock});
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(asked, "GET /MIB.verGET /MIB.zipGET /Tessaro.ver", 20000);
        QVERIFY(window.treeModel().findByPath("1.42"));
        QTRY_VERIFY(window.browser()->currentOid() && window.browser()->currentOid()->numericPath() == "1");
        QVERIFY(prompts.asked.value(0).text.contains("Current version: 20240101.3\nNew version: 20250101.1\n"));
        QTRY_VERIFY_WITH_TIMEOUT(window.treeModel().findByPath("1.3.6.1.4.1.88888"), 60000);
        QVERIFY(window.treeModel().findByPath("1.42"));
        QVERIFY2(shown.startsWith("Modules: 1 loaded, 0 with problems, 1 not loaded.\nThe updated MIB database was "
                                  "installed."),
                 qPrintable(shown));
        QCOMPARE(QDir(folders.dataFolder()).entryList({"MIB*"}, QDir::Files), QStringList{"MIB.db"});
    }

    // A download from a loopback server that fails: refused, cancelled (a complete one: windowDatabaseUpdate).
    void download_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("stall");
        QTest::newRow("missing") << QByteArray("HTTP/1.0 404 Not Found\r\n\r\n") << false;
        QTest::newRow("cancelled") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 900000\r\n\r\n") << true;
    }
    void download()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, stall);
        QTemporaryDir dir;
        const QString target = dir.filePath("MIB.zip");
        const QByteArray body = QByteArray("0123456789").repeated(30000);
        QTcpServer server;
        qint64 partial = -1;
        serve(server, [&](const QByteArray& request, QTcpSocket* socket) {
            QVERIFY(request.contains("User-Agent: Mozilla/5.0 (Windows NT 6.1; Win64; x64)"));
            socket->write(reply + (reply.contains(" 200 ") ? body : QByteArray()));
            if (!stall)
                return socket->disconnectFromHost();
            // The file grows while the download runs; Cancel then ends it.
            QTimer::singleShot(300, socket, [&, socket] {
                partial = QFileInfo(target).size();
                buttonWithText(QApplication::activeModalWidget(), "Cancel")->click();
                socket->abort();
            });
        });
        ScriptedPrompts prompts;
        QNetworkAccessManager network;
        auto* dialog = new DownloadDialog(&network, QString("http://127.0.0.1:%1/MIB.zip").arg(server.serverPort()),
                                          target, body.size());
        QTimer::singleShot(20000, dialog, &QDialog::reject);
        QCOMPARE(dialog->exec(), 0);
        QCOMPARE(readBytes(target), QByteArray("<missing>"));
        QCOMPARE(prompts.asked.value(0).text.section('\n', 0, 0), stall ? "" : "Failed to download update file");
        QCOMPARE(partial > 0, stall);
    }
};

QTEST_MAIN(TestUpdater)
#include "test_updater.moc"
