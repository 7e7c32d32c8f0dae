// The main window's frame: start-up rules, the database messages, state kept across a
// restart, and the packaging mode of the executable.

#include "app/AppSettings.h"
#include "platform/Folders.h"
#include "ui/widgets/ClickableLabel.h"
#include "app/Deploy.h"
#include "app/MainWindow.h"
#include "MibTestDb.h"
#include "ui/browser/OidBrowser.h"
#include "ScriptedPrompts.h"
#include "SnmpdFixture.h"
#include "ui/browser/TreeView.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <quazip.h>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sizeRules();
    void deployPacksTheExecutable();
    void databaseMessages_data();
    void databaseMessages();
    void firstStartInstallsDefaultDatabase();
    void stateSurvivesRestart();
    void searchSelectsAndKeepsParameters();
    void aboutBoxNamesDatabaseVersion();
    void statusLabelShowsOnlyWithText();
    void monitoringActionsFollowTheNode();

private:
    // A window on folders of its own, shown and past its postponed initialisation.
    std::unique_ptr<MainWindow> startWindow(const QString& programData, const QString& appFolder = QString());

    QTemporaryDir m_settingsDir;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    // The settings store is one per process: every window of this test shares it.
    AppSettings::instance(m_settingsDir.filePath("Tessaro.ini"));
}

// The data folder of a window started on programData.
static QString dataFile(const QTemporaryDir& programData, const QString& name)
{
    QDir().mkpath(programData.filePath("Brantwick/Tessaro"));
    return programData.filePath("Brantwick/Tessaro/" + name);
}

std::unique_ptr<MainWindow> TestMainWindow::startWindow(const QString& programData, const QString& appFolder)
{
    // One device, so that the window does not send the user to the device list editor.
    QDir().mkpath(programData + "/Brantwick/Tessaro");
    QFile devices(programData + "/Brantwick/Tessaro/Velmora.cfg");
    if (!devices.exists() && devices.open(QIODevice::WriteOnly))
        devices.write("127.0.0.1:" + QByteArray::number(SnmpdFixture::closedPort()) + "\tDefault\tpublic\r\n");
    const Folders folders(programData, QString(), appFolder.isEmpty() ? programData + "/app" : appFolder, programData);
    auto window = std::make_unique<MainWindow>(folders);
    window->show();
    // The database opens 10 ms after the first show.
    if (!QTest::qWaitFor([&] { return window->isInitialized(); }, 20000))
        qWarning("the window did not finish its start-up");
    return window;
}

void TestMainWindow::sizeRules()
{
    QCOMPARE(MainWindow::scaledPointSize(9, 1.4), 13);
    QCOMPARE(MainWindow::scaledPointSize(10, 1.4), 14);
    QCOMPARE(MainWindow::logoPixmapHeight(40), 30);
    QCOMPARE(MainWindow::logoRightMargin(40), 5);
    QCOMPARE(MainWindow::toolBarIconSize(24), 32);
    QCOMPARE(MainWindow::toolBarIconSize(32), 64);
    QCOMPARE(MainWindow::toolBarIconSize(64), 64);
    QCOMPARE(MainWindow::toolBarIconSize(96), 64);
}

// Run with the one argument deploy, the executable packs itself and makes no window.
void TestMainWindow::deployPacksTheExecutable()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(TESSARO_EXECUTABLE, dir.filePath("Tessaro")));
    // The replaced executable goes; a stale archive and a longer version file are replaced.
    for (const char* name : {"Tessaro.old", "Tessaro.zip", "Tessaro.ver"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(500, '#'));
    }

    QProcess process;
    process.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ProgramData", dir.filePath("data"));
    process.setProcessEnvironment(env);
    process.start(TESSARO_EXECUTABLE, {"deploy"});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFile::exists(dir.filePath("Tessaro.old")));
    QVERIFY(!QFile::exists(dir.filePath("data")));

    QuaZip zip(dir.filePath("Tessaro.zip"));
    QVERIFY(zip.open(QuaZip::mdUnzip));
    QCOMPARE(zip.getFileNameList(), QStringList{"Tessaro"});
    QFile ver(dir.filePath("Tessaro.ver"));
    QVERIFY(ver.open(QIODevice::ReadOnly));
    const qint64 size = QFileInfo(dir.filePath("Tessaro.zip")).size();
    QCOMPARE(ver.readAll(), QByteArray("APP_VERSION:14,0,10\nAPP_FILESIZE:") + QByteArray::number(size) + "\n");

    // Without the executable the mode stops before it writes anything.
    QTemporaryDir empty;
    QVERIFY(!runDeploy(empty.path()));
    QVERIFY(!QFile::exists(empty.filePath("Tessaro.ver")));
}

void TestMainWindow::databaseMessages_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << QByteArray("missing")
                             << "OID Database not found.\nThe database will be downloaded from the server.";
    QTest::newRow("damaged") << QByteArray("damaged")
                             << "Database file is damaged.\nThe database will be downloaded from the server.";
    QTest::newRow("unsupported") << QByteArray("unsupported")
                                 << "Database file is not supported by this version of application.\n"
                                    "The database will be downloaded from the server.";
    QTest::newRow("usable") << QByteArray("usable") << QString();
}

void TestMainWindow::databaseMessages()
{
    QFETCH(QByteArray, kind);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString db = dataFile(dir, "MIB.db");
    if (kind == "damaged") {
        QFile file(db);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("this is not an SQLite database, just some text\n");
    } else if (kind == "unsupported") {
        QVERIFY(MibTestDb::create(db, MibTestDb::sampleNodes(), {}, {}, 2));
    } else if (kind == "usable") {
        QVERIFY(MibTestDb::create(db, MibTestDb::sampleNodes()));
    }

    ScriptedPrompts prompts;
    auto window = startWindow(dir.path());
    QStringList warnings;
    for (const auto& asked : prompts.asked) {
        if (asked.kind == "warning")
            warnings << asked.text;
    }
    if (message.isEmpty()) {
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('|')));
        QVERIFY(window->treeModel().findByPath("1.3.6.1.2.1.1.5"));
    } else {
        QCOMPARE(warnings, QStringList{message});
        QCOMPARE(prompts.asked.first().title, QString());
        QVERIFY(!window->treeModel().rootOid());
    }
    // A damaged file is left as it was, for the update to replace.
    if (kind == "damaged") {
        QFile file(db);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("this is not"));
    }
}

void TestMainWindow::firstStartInstallsDefaultDatabase()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("app")));
    QVERIFY(MibTestDb::create(dir.filePath("app/MIB.db"), MibTestDb::sampleNodes()));

    ScriptedPrompts prompts;
    auto window = startWindow(dir.path(), dir.filePath("app"));
    QVERIFY(QFile::exists(dataFile(dir, "MIB.db")));
    QVERIFY(window->treeModel().findByPath("1.3.6.1.2.1.1.1"));
    QVERIFY(prompts.asked.isEmpty());
}

void TestMainWindow::stateSurvivesRestart()
{
    QTemporaryDir dir;
    QVERIFY(MibTestDb::create(dataFile(dir, "MIB.db"), MibTestDb::sampleNodes()));
    ScriptedPrompts prompts;
    QString expansion;
    {
        auto window = startWindow(dir.path());
        TreeModel& model = window->treeModel();
        // Default expansion: internet's children are visible, nothing below them.
        TreeView* view = window->browser()->treeView();
        QVERIFY(view->isExpanded(model.indexFromOid(model.findByPath("1.3.6.1"))));
        QVERIFY(!view->isExpanded(model.indexFromOid(model.findByPath("1.3.6.1.2"))));

        view->expand(model.indexFromOid(model.findByPath("1.3.6.1.2")));
        view->expand(model.indexFromOid(model.findByPath("1.3.6.1.2.1")));
        view->expand(model.indexFromOid(model.findByPath("1.3.6.1.2.1.2")));
        window->browser()->selectIndex(model.indexFromOid(model.findByPath("1.3.6.1.2.1.1.5")));
        expansion = window->browser()->saveExpansion();
        QVERIFY(window->close());
    }
    QCOMPARE(AppSettings::instance().mainWindowCurrentOid(), QString("1.3.6.1.2.1.1.5"));
    {
        auto window = startWindow(dir.path());
        TreeModel& model = window->treeModel();
        TreeView* view = window->browser()->treeView();
        QCOMPARE(window->browser()->saveExpansion(), expansion);
        QVERIFY(view->isExpanded(model.indexFromOid(model.findByPath("1.3.6.1.2.1.2"))));
        QCOMPARE(window->browser()->currentOid(), model.findByPath("1.3.6.1.2.1.1.5"));
        window->close();
    }
    QVERIFY(prompts.asked.isEmpty());

    // A window whose database is missing keeps the saved expansion for the next start.
    QTemporaryDir empty;
    {
        auto window = startWindow(empty.path());
        window->close();
    }
    QCOMPARE(AppSettings::instance().mainWindowTreeExpansion(), expansion);
}

void TestMainWindow::searchSelectsAndKeepsParameters()
{
    QTemporaryDir dir;
    QVERIFY(MibTestDb::create(dataFile(dir, "MIB.db"), MibTestDb::sampleNodes()));
    auto window = startWindow(dir.path());
    TreeModel& model = window->treeModel();

    FindDialog::Parameters parameters;
    parameters.text = "1.3.6.1.2.1.1.5";
    parameters.history = QStringList{"1.3.6.1.2.1.1.5", "CPU"};
    window->onFindNext(parameters);
    QCOMPARE(window->browser()->currentOid(), model.findByPath("1.3.6.1.2.1.1.5"));
    QCOMPARE(window->searchParameters().history, parameters.history);

    parameters.text = "1.3.6.1.2.1.1.99";
    window->onFindNext(parameters);
    QVERIFY(!window->browser()->currentOid());

    FindDialog::Parameters closed;
    closed.history.clear();
    closed.searchFor = 1;
    window->onFindDialogClosed(closed);
    QVERIFY(window->searchParameters().history.isEmpty());
    QCOMPARE(window->searchParameters().searchFor, 1);
    window->close();
    QVERIFY(AppSettings::instance().mainWindowSearchHistory().size() == 3); // an empty history reads as the defaults
    QCOMPARE(AppSettings::instance().mainWindowSearchFor(), 1);
}

void TestMainWindow::aboutBoxNamesDatabaseVersion()
{
    QTemporaryDir dir;
    QVERIFY(MibTestDb::create(dataFile(dir, "MIB.db"), MibTestDb::sampleNodes(), {}, {}, 1, 20240101, 3));
    ScriptedPrompts prompts;
    auto window = startWindow(dir.path());
    window->onAboutBox();
    QCOMPARE(prompts.asked.size(), 1);
    QCOMPARE(prompts.asked[0].title, QString("About Tessaro"));
    QVERIFY(prompts.asked[0].text.startsWith("Tessaro v14.0.10<br><br>Database v20240101.3<br><br>"));
}

void TestMainWindow::statusLabelShowsOnlyWithText()
{
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    auto window = startWindow(dir.path());
    // Wide enough that no tool-bar item moves into the overflow menu.
    window->resize(2400, 600);
    window->setStatusText("Service is running");
    QLabel* status = nullptr;
    for (QLabel* label : window->toolBar()->findChildren<QLabel*>()) {
        if (label->text() == "Service is running")
            status = label;
    }
    QVERIFY(status);
    // The tool bar lays its items out later.
    QTRY_VERIFY(status->isVisible());
    window->setStatusText(QString());
    QTRY_VERIFY(!status->isVisible());
}

void TestMainWindow::monitoringActionsFollowTheNode()
{
    QTemporaryDir dir;
    QVERIFY(MibTestDb::create(dataFile(dir, "MIB.db"), MibTestDb::sampleNodes()));
    auto window = startWindow(dir.path());
    const auto action = [&](const QString& text) {
        for (QAction* candidate : window->findChildren<QAction*>()) {
            if (candidate->text() == text)
                return candidate;
        }
        return static_cast<QAction*>(nullptr);
    };
    QAction* addOid = action("Add OID");
    QAction* addTrap = action("Add Trap alert");
    QVERIFY(addOid && addTrap);
    TreeModel& model = window->treeModel();

    // A notification offers a trap alert, any other node an OID; with no device selected,
    // neither can be used.
    window->browser()->selectIndex(model.indexFromOid(model.findByPath("1.3.6.1.4.1.7")));
    QVERIFY(addTrap->isVisible() && !addOid->isVisible());
    window->browser()->selectIndex(model.indexFromOid(model.findByPath("1.3.6.1.2.1.1.5")));
    QVERIFY(addOid->isVisible() && !addTrap->isVisible());
    QVERIFY(!addOid->isEnabled() && !addTrap->isEnabled());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
