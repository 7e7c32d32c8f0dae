// The main window's query wiring against the snmpd test agent (actions, viewer, Stop, "View
// Full OID", device box, Jump To, chart hand-offs); the rules: test_querycontroller.

#include "app/MainWindow.h"
#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "MibTestDb.h"
#include "ModalDialogs.h"
#include "platform/Folders.h"
#include "SnmpdFixture.h"
#include "TestFiles.h"
#include "ui/browser/OidBrowser.h"
#include "ui/monitor/OidChartDialog.h"
#include "ui/monitor/OidIndexSelectionDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <functional>

const QString Root = SnmpdFixture::kFixtureRoot;
const QString System = "1.3.6.1.2.1.1";

class TestMainQuery : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;
    QTemporaryDir m_dir;
    std::unique_ptr<AppSettings> m_settings;
    NullServiceManager m_services;
    SystemClock m_clock;
    std::unique_ptr<MainWindow> m_window;

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

private slots:
    void initTestCase()
    {
        m_agent.setBulkRows(300);
        SNMPD_FIXTURE_START(m_agent);
        m_settings = std::make_unique<AppSettings>(m_dir.filePath("Tessaro.ini"));
        const QString data = m_dir.filePath("Brantwick/Tessaro/");
        const QString closed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
        QVERIFY(writeBytes(
            data + "Velmora.cfg",
            (m_agent.address() + "\tDefault\tpublic\r\n" + closed + "\tCore\t&v1(\"public\")\r\n").toUtf8()));
        const QString nodes = "100 18 fixture 32473; 101 100 fixtureRoot 1; 102 101 scalars 1; 103 102 fixCounter64 1 "
                              "11 18; 104 103 fixCounter64Instance 0 11 18; 109 101 bulkTable 9; 110 109 bulkEntry 1;"
                              "111 110 bulkColumn 1 2 18";
        QVERIFY(MibTestDb::create(data + "MIB.db", MibTestDb::sampleNodes() + MibTestDb::parse(nodes)));
        const Folders folders(m_dir.path(), QString(), m_dir.filePath("app"), m_dir.path());
        m_window = std::make_unique<MainWindow>(AppContext{folders, *m_settings, m_services, QString(), m_clock});
        m_window->show();
        QVERIFY(QTest::qWaitFor([this] { return m_window->isInitialized(); }, 20000));
    }

    void queriesFillTheViewer()
    {
        OidValueViewer* viewer = m_window->browser()->valueViewer();
        QCOMPARE(run(m_window->getAction(), System + ".1"), QStringList{"sysDescr.0"});
        const OidValueViewer::Row row = viewer->rows().first();
        QVERIFY(row.valueText.contains(SnmpdFixture::kSysDescr) && row.type == Oid::OctetString && !row.showOidPath &&
                !m_window->stopQueryAction()->isEnabled());

        // GetBulk shows the rows GetNext shows; Stop goes off at the end.
        const QStringList walked = run(m_window->getNextAction(), System);
        QVERIFY(walked.size() >= 7 && walked.first() == "sysDescr.0");
        QTRY_VERIFY(!m_window->stopQueryAction()->isEnabled());
        const QStringList bulk = run(m_window->getBulkAction(), System);
        QCOMPARE(bulk, walked);

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
};

QTEST_MAIN(TestMainQuery)
#include "test_mainquery.moc"
