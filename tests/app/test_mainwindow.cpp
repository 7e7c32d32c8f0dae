#include "app/MainWindow.h"
#include "config/ServiceRegistry.h"
#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "platform/SystemdServiceManager.h"
#include "ui/browser/OidBrowser.h"
#include "ui/devices/DeviceEditDialog.h"
#include "ui/devices/DevicesDialog.h"
#include "ui/monitor/OidChartDialog.h"
#include "ui/monitor/OidIndexSelectionDialog.h"
#include "ui/monitor/OidIndexSelectionWidget.h"
#include "ui/oids/OidSettingsDialog.h"
#include "ui/traps/TrapEditDialog.h"
#include "MibTestDb.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "SnmpdFixture.h"
#include "TestFiles.h"

#include <QAction>
#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <quazip.h>

#include <functional>

namespace {

const QString Root = SnmpdFixture::kFixtureRoot;

class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2031, 5, 6), QTime(12, 0)); }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path()));
        qputenv("TESSARO_REGISTRY_ROOT", QFile::encodeName(m_dir.filePath("registry")));
        ServiceRegistry::writeString("ServiceName", "orvane");
        m_agent.setBulkRows(300);
        SNMPD_FIXTURE_START(m_agent);
        m_closed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
        const QString ini = m_dir.filePath("Tessaro.ini");
        QSettings(ini, QSettings::IniFormat).setValue("device_names", QVariantMap{{m_closed, "named-before"}});
        m_settings = std::make_unique<AppSettings>(ini);
    }

    // net-snmp's persistent files stay out of the folder the program was started in.
    void cleanupTestCase() { QVERIFY(!QFileInfo::exists(m_dir.filePath("cert_indexes"))); }

    // Run with the one argument deploy, the executable packs itself and makes no window and no
    // data folder; the replaced executable goes, a stale archive and a longer version file are replaced.
    void deployPacksTheExecutable()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(TESSARO_EXECUTABLE, dir.filePath("Tessaro")));
        for (const char* name : {"Tessaro.old", "Tessaro.zip", "Tessaro.ver"})
            QVERIFY(writeBytes(dir.filePath(name), QByteArray(500, '#')));
        QProcess process;
        process.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ProgramData", dir.filePath("data"));
        process.setProcessEnvironment(env);
        process.start(TESSARO_EXECUTABLE, {"deploy"});
        QVERIFY(process.waitForFinished(60000) && process.exitCode() == 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList({"Tessaro", "Tessaro.ver", "Tessaro.zip"}));
        QuaZip zip(dir.filePath("Tessaro.zip"));
        QVERIFY(zip.open(QuaZip::mdUnzip));
        QCOMPARE(zip.getFileNameList(), QStringList{"Tessaro"});
        const QByteArray size = QByteArray::number(QFileInfo(dir.filePath("Tessaro.zip")).size());
        const QByteArray sha =
            QCryptographicHash::hash(readBytes(dir.filePath("Tessaro.zip")), QCryptographicHash::Sha256);
        QCOMPARE(readBytes(dir.filePath("Tessaro.ver")),
                 "APP_VERSION:14,0,10\nAPP_FILESIZE:" + size + "\nAPP_SHA256:" + sha.toHex() + "\n");
    }

    // A new user gets the database installed beside the program; the window's state is kept.
    // Without service control the service actions are off; the About box's year is the clock's.
    void stateSurvivesRestart()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("app")));
        QVERIFY(MibTestDb::create(dir.filePath("app/MIB.db"), MibTestDb::sampleNodes(), {}, {}, 1, 20240101, 3));
        ScriptedPrompts prompts;
        QString expansion;
        {
            auto window = startWindow(dir);
            // Default expansion: internet's children are visible, nothing below them.
            QCOMPARE(window->browser()->saveExpansion(), QString("1[3[6[1]]]"));
            // A search selects its node; the dialog's parameters are kept, an empty history too.
            FindDialog::Parameters parameters;
            parameters.text = "1.3.6.1.2.1.2.2";
            window->onFindNext(parameters);
            parameters.history.clear();
            parameters.searchFor = 1;
            window->onFindDialogClosed(parameters);
            expansion = window->browser()->saveExpansion();
            QVERIFY(window->close());
        }
        QCOMPARE(m_settings->mainWindowSearchFor(), 1);
        {
            auto window = startWindow(dir);
            QCOMPARE(window->browser()->saveExpansion(), expansion);
            QCOMPARE(window->browser()->currentOid(), window->treeModel().findByPath("1.3.6.1.2.1.2.2"));
            QCOMPARE(window->searchParameters().history.size(), 3); // an empty history reads as the defaults
            QVERIFY(!window->startServiceAction()->isEnabled() && !window->stopServiceAction()->isEnabled());
            window->onAboutBox();
            QCOMPARE(prompts.asked.size(), 1);
            QVERIFY(
                prompts.asked[0].text.startsWith("Tessaro v14.0.10<br><br>Database v20240101.3<br><br>Copyright 2031"));
            window->close();
        }

        // A window whose database is missing says so, and keeps the saved expansion for the next start.
        QTemporaryDir empty;
        startWindow(empty)->close();
        QCOMPARE(prompts.asked.last().text,
                 "OID Database not found.\nThe database will be downloaded from the server.");
        QCOMPARE(m_settings->mainWindowTreeExpansion(), expansion);
    }

    // From an empty device list through the editor to a saved Velmora.cfg after a failed save,
    // and the device box following the list, against the snmpd test agent.
    void emptyListEditedSavedAndShown()
    {
        // A folder in the file's place can neither be read as the list nor replaced by it.
        QTemporaryDir dir;
        const QString folder = dir.filePath("Brantwick/Tessaro/");
        const QString path = folder + "Velmora.cfg";
        QVERIFY(QDir().mkpath(path + "/inside") && MibTestDb::create(folder + "MIB.db", MibTestDb::sampleNodes()));
        ScriptedPrompts prompts;
        whenModal<DevicesDialog>([this](DevicesDialog* dialog) {
            whenModal<DeviceEditDialog>([this](DeviceEditDialog* edit) {
                edit->findChild<QLineEdit*>("ipAddressEdit")->setText(m_agent.address());
                buttonWithText(edit, "OK")->click();
            });
            buttonWithText(dialog, "Add...")->click();
            buttonWithText(dialog, "Close")->click();
        });
        auto window = startWindow(dir);
        QTRY_COMPARE_WITH_TIMEOUT(prompts.asked.size(), 2, 20000);
        QCOMPARE(prompts.asked[0].text,
                 QString("No devices configured.\nAdd devices to the configuration to perform SNMP requests."));
        QVERIFY(prompts.asked[1].text.contains(QDir::toNativeSeparators(path)));
        const QString label = m_agent.address() + " - fixture-agent";
        QCOMPARE(window->deviceBox()->currentText(), label);
        QCOMPARE(window->windowTitle(), "Tessaro / " + label);

        // Closing would lose the list: the user is asked, and No keeps the window open.
        prompts.answer(QMessageBox::No);
        QVERIFY(!window->close());
        QCOMPARE(prompts.asked.value(2).kind, QString("question"));

        // Once the file can be written, closing the editor again saves the list, below its header.
        QVERIFY(QDir(path).removeRecursively());
        whenModal<DevicesDialog>([](DevicesDialog* dialog) { buttonWithText(dialog, "Close")->click(); });
        window->onEditDevices();
        const QStringList lines = QString::fromUtf8(readBytes(path)).split("\r\n");
        QCOMPARE(lines.value(56), m_agent.address() + "\tDefault\t&v2c(\"public\")\t/\t/\t/\t");

        // A device added behind the program's back is in the box once the editor opens, with the
        // name known from before.
        QVERIFY(writeBytes(path, (m_closed + "\tLab\t&v1(\"public\")\r\n").toUtf8(), QIODevice::Append));
        whenModal<DevicesDialog>([](DevicesDialog* dialog) { buttonWithText(dialog, "Close")->click(); });
        window->onEditDevices();
        QCOMPARE(window->deviceBox()->itemText(1), m_closed + " - named-before");
        window->deviceBox()->setCurrentIndex(1);
        // What another part of the program found out about it shows at once.
        const SnmpReader::HostInfoResult result{m_closed, true, "a-name-longer-than-thirty-chars", {}, {}, {}, {}, {},
                                                {},       {}};
        emit SnmpReader::instance()->HostResolved(result, window->deviceList().requestId() + 1000);
        QCOMPARE(window->windowTitle(), "Tessaro / " + m_closed + " - a-name-longer-than-thirty-char");
        QCOMPARE(prompts.asked.size(), 3);
    }

    // ifInOctets of interface 2 added from the tree while the (fake) service runs: No keeps the
    // change pending (a trap rule is added meanwhile), and at close Yes restarts the service, which writes OIDEntry.cfg
    // while the service is stopped, drops the entry's old history, and ends the program once it runs again.
    void monitoredOidSavedAcrossRestart()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("app/Data")) && QDir().mkpath(dir.filePath("units")));
        QVERIFY(MibTestDb::create(dir.filePath("app/MIB.db"),
                                  MibTestDb::sampleNodes() + MibTestDb::parse("40 14 ifInOctets 10 6 18")));
        writeBytes(dir.filePath("Brantwick/Tessaro/Velmora.cfg"), m_agent.address().toUtf8() + "\tDefault\tpublic\r\n");
        writeBytes(dir.filePath("units/orvane.unit"), "stop_delay=300\n");
        qputenv("FAKE_SYSTEMCTL_DIR", QFile::encodeName(dir.filePath("units")));
        qputenv("TESSARO_SYSTEMCTL", QFile::encodeName(QFINDTESTDATA("../fixtures/fake_systemctl.sh")));
        SystemdServiceManager systemd;
        QVERIFY(systemd.start("orvane"));
        const QString history = dir.filePath("app/Data/1.3.6.1.2.1.2.2.1.10.2-" + m_agent.address() + "-2-In.dat");
        writeBytes(history, "old history");

        ScriptedPrompts prompts;
        auto window = startWindow(dir, &systemd);
        QVERIFY(window->stopServiceAction()->isEnabled() && !window->startServiceAction()->isEnabled());
        window->onJumpToOid("1.3.6.1.2.1.2.2.1.10");
        whenModal<OidSettingsDialog>([](OidSettingsDialog* dialog) {
            QTableWidget* rows = dialog->indexWidget()->resultsTable();
            QTRY_COMPARE_WITH_TIMEOUT(rows->rowCount(), 5, 20000);
            rows->selectRow(1);
            dialog->useInterfaceBox()->setChecked(true);
            QTRY_COMPARE_WITH_TIMEOUT(dialog->interfaceList()->count(), 5, 20000);
            dialog->interfaceList()->setCurrentRow(1);
            dialog->findChild<QLineEdit*>("legendEdit")->setText("In");
            dialog->saveButton()->click();
        });
        prompts.answer(QMessageBox::No);
        window->addOidAction()->trigger();
        QCOMPARE(prompts.asked.value(0).title, "Save changes");
        QCOMPARE(window->statusText(), QString("Files changed \u2013 restart the service to take effect"));
        QVERIFY(!QFile::exists(dir.filePath("app/OIDEntry.cfg")));

        // A trap rule for a notification node and the device goes beside the program (once: test_trapalerts).
        window->onJumpToOid("1.3.6.1.4.1.7");
        whenModal<TrapEditDialog>([](TrapEditDialog* edit) {
            edit->findChild<QLineEdit*>("emailEdit")->setText("noc@x.y");
            buttonWithText(edit, "Save")->click();
        });
        window->addTrapAction()->trigger();
        QVERIFY(readBytes(window->trapAlertPath())
                    .endsWith(m_agent.address().toUtf8() + "\t1.3.6.1.4.1.7\t*\tnoc@x.y\t\r\n"));

        prompts.answer(QMessageBox::Yes);
        QVERIFY(!window->close() && window->busyPopup() && window->busyPopup()->text() == "Stopping Orvane service...");
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 20000);
        QCOMPARE(prompts.asked.size(), 2);
        const QByteArray saved = readBytes(dir.filePath("app/OIDEntry.cfg"));
        QVERIFY2(saved.endsWith("\r\n\r\n" + m_agent.address().toUtf8() + "\t2\t1.3.6.1.2.1.2.2.1.10.2-" +
                                m_agent.address().toUtf8() +
                                "-2-In\tifInOctets\t/\tIn\tUCOUNTER:1.3.6.1.2.1.2.2.1.10.2\t/\t/\t/\r\n"),
                 saved.right(200).constData());
        QVERIFY(!QFile::exists(history));
        QCOMPARE(readBytes(dir.filePath("units/calls.log")).count("start orvane"), 2);
        QVERIFY(systemd.stop("orvane"));
    }

    // The query wiring against the agent (actions, viewer, Stop, "View Full OID", device box,
    // Jump To, chart hand-offs); the rules: test_querycontroller.
    void queriesFillTheViewer()
    {
        const QString nodes = "100 18 fixture 32473; 101 100 fixtureRoot 1; 102 101 scalars 1; 103 102 fixCounter64 1 "
                              "11 18; 104 103 fixCounter64Instance 0 11 18; 109 101 bulkTable 9; 110 109 bulkEntry 1;"
                              "111 110 bulkColumn 1 2 18";
        const QString data = m_queryDir.filePath("Brantwick/Tessaro/");
        QVERIFY(writeBytes(
            data + "Velmora.cfg",
            (m_agent.address() + "\tDefault\tpublic\r\n" + m_closed + "\tCore\t&v1(\"public\")\r\n").toUtf8()));
        QVERIFY(MibTestDb::create(data + "MIB.db", MibTestDb::sampleNodes() + MibTestDb::parse(nodes)));
        m_window = startWindow(m_queryDir);
        m_window->deviceBox()->setCurrentIndex(0);
        OidValueViewer* viewer = m_window->browser()->valueViewer();
        QCOMPARE(run(m_window->getAction(), "1.3.6.1.2.1.1.1"), QStringList{"sysDescr.0"});
        const OidValueViewer::Row row = viewer->rows().first();
        QVERIFY(row.valueText.contains(SnmpdFixture::kSysDescr) && row.type == Oid::OctetString && !row.showOidPath &&
                !m_window->stopQueryAction()->isEnabled());

        // GetBulk shows the rows GetNext shows; Stop goes off at the end.
        const QStringList walked = run(m_window->getNextAction(), "1.3.6.1.2.1.1");
        QVERIFY(walked.size() >= 7 && walked.first() == "sysDescr.0");
        QTRY_VERIFY(!m_window->stopQueryAction()->isEnabled());
        QCOMPARE(run(m_window->getBulkAction(), "1.3.6.1.2.1.1"), walked);

        // A leaf numbered 0 is read with Get on double-click; "View Full OID" shows paths.
        m_window->findChild<QCheckBox*>()->setChecked(true);
        m_window->onJumpToOid(Root + ".1.1.0");
        m_window->onLeafOidActivated(m_window->browser()->currentOid());
        QTRY_VERIFY(viewer->toPlainText().contains("fixCounter64Instance (" + Root + ".1.1.0)"));
        m_window->onJumpToOid("not an oid"); // Jump To ignores anything but a known node
        QCOMPARE(m_window->browser()->currentOid()->name, "fixCounter64Instance");

        // Each way to end a walk reaches the query; the late answer switches Stop off.
        const std::function<void()> ends[] = {[this] { m_window->stopQueryAction()->trigger(); },
                                              [viewer] { emit viewer->stopButtonClicked(); },
                                              [this] { m_window->deviceBox()->setCurrentIndex(1); }};
        for (const auto& end : ends) {
            m_window->deviceBox()->setCurrentIndex(0);
            m_window->onJumpToOid(Root + ".9.1.1");
            m_window->getNextAction()->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(m_window->resultRowCount() >= 2, 10000);
            end();
            QVERIFY(!m_window->isQueryRunning());
            QTRY_VERIFY(!m_window->stopQueryAction()->isEnabled());
        }
        QVERIFY(!m_window->getBulkAction()->isEnabled()); // the SNMPv1 device
        m_window->deviceBox()->setCurrentIndex(0);
    }

    void monitorOpensTheChart()
    {
        // From a result line: the chart of that very OID, named after its node. From the tree:
        // the device is asked for the column's rows, and the chart polls the row chosen.
        emit m_window->browser()->valueViewer()->monitorOidClicked(Root + ".1.1.0", Oid::Counter64, QString());
        std::unique_ptr<OidChartDialog> chart(m_window->findChild<OidChartDialog*>());
        QCOMPARE(chart ? chart->windowTitle() : "", m_agent.address() + " - fixCounter64Instance (" + Root + ".1.1.0)");
        chart.reset();
        m_window->onJumpToOid(Root + ".9.1.1");
        whenModal<OidIndexSelectionDialog>([](OidIndexSelectionDialog* dialog) {
            QTableWidget* table = dialog->findChild<QTableWidget*>();
            if (QTest::qWaitFor([table] { return table->rowCount() == 300; }, 20000))
                table->selectRow(2);
            dialog->monitorButton()->click();
        });
        m_window->onMonitorOidFromTree();
        chart.reset(m_window->findChild<OidChartDialog*>());
        QCOMPARE(chart ? chart->windowTitle() : "", m_agent.address() + " - bulkColumn (" + Root + ".9.1.1.3)");
    }

private:
    // Runs the action on the node at path; the labels of the result lines.
    QStringList run(QAction* action, const QString& path)
    {
        m_window->browser()->selectIndex(m_window->treeModel().indexFromOid(m_window->treeModel().findByPath(path)));
        action->trigger();
        QStringList labels;
        if (QTest::qWaitFor([this] { return !m_window->isQueryRunning(); }, 20000)) {
            for (const OidValueViewer::Row& row : m_window->browser()->valueViewer()->rows())
                labels << row.label;
        }
        return labels;
    }

    // A window on a data folder of its own (with one device unless there is a list, so that it
    // does not send the user to the device list editor), shown and past its postponed initialisation.
    std::unique_ptr<MainWindow> startWindow(const QTemporaryDir& programData, ServiceManager* services = nullptr)
    {
        const QString devices = programData.filePath("Brantwick/Tessaro/Velmora.cfg");
        if (!QFile::exists(devices))
            writeBytes(devices,
                       "127.0.0.1:" + QByteArray::number(SnmpdFixture::closedPort()) + "\tDefault\tpublic\r\n");
        const Folders folders(programData.path(), QString(), programData.filePath("app"), programData.path());
        auto window = std::make_unique<MainWindow>(
            AppContext{folders, *m_settings, services ? *services : m_services, QString(), m_clock});
        window->show();
        if (!QTest::qWaitFor([&] { return window->isInitialized(); }, 20000))
            qWarning("the window did not finish its start-up");
        return window;
    }

    SnmpdFixture m_agent;
    QString m_closed;    // a device that never answers
    QTemporaryDir m_dir; // the working folder, the settings and the registry
    std::unique_ptr<AppSettings> m_settings;
    NullServiceManager m_services; // none installed
    FixedClock m_clock;
    QTemporaryDir m_queryDir; // the query tests' window, on the agent and m_closed
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
