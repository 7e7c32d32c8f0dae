// The main window's queries against the snmpd test agent: Get, GetNext and GetBulk walks
// into the result viewer, where walks end, queries asked for while another runs, Stop and
// device changes, and answers that belong to abandoned requests.

#include "app/AppSettings.h"
#include "platform/Folders.h"
#include "app/MainWindow.h"
#include "MibTestDb.h"
#include "ModalDialogs.h"
#include "ui/monitor/OidChartDialog.h"
#include "ui/monitor/OidIndexSelectionDialog.h"
#include "ui/monitor/OidIndexSelectionWidget.h"
#include "ui/browser/OidBrowser.h"
#include "ui/browser/OidValueViewer.h"
#include "ScriptedPrompts.h"
#include "SnmpdFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

constexpr int BulkRows = 300;
const QString Root = SnmpdFixture::kFixtureRoot;
const QString System = "1.3.6.1.2.1.1";

// The sample MIB plus the agent's own subtree: a Counter64 scalar with its instance node,
// the misbehaving columns, an object the agent lacks and the last table of the view.
QVector<MibTestDb::Node> queryNodes()
{
    QVector<MibTestDb::Node> nodes = MibTestDb::sampleNodes();
    nodes += MibTestDb::parse("100 18 fixture 32473; 101 100 fixtureRoot 1; 102 101 scalars 1;"
                              "103 102 fixCounter64 1 11 18; 104 103 fixCounter64Instance 0 11 18;"
                              "105 101 misbehaving 5; 106 105 repeatColumn 1 2 18; 107 105 backColumn 2 2 18;"
                              "108 101 unimplemented 6 2 18; 109 101 bulkTable 9; 110 109 bulkEntry 1;"
                              "111 110 bulkColumn 1 2 18",
                              "FIXTURE-MIB");
    return nodes;
}

QStringList labels(const OidValueViewer* viewer)
{
    QStringList result;
    for (const OidValueViewer::Row& row : viewer->rows())
        result << (row.ok ? row.label : row.label + " ! " + row.message);
    return result;
}

} // namespace

class TestMainQuery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void getShowsOneValue();
    void walksEndWhereTheirSubtreeEnds();
    void misbehavingAgentsEndTheWalk();
    void queryAskedDuringAWalkTakesItsPlace();
    void stoppedAnswersNeverReachANewerQuery();
    void deviceChangeAbandonsTheWalk();
    void treeMenuAndJumps();
    void monitorOpensTheChart();

private:
    void select(const QString& path);
    bool waitIdle(int timeoutMs = 20000);
    OidValueViewer* viewer() const { return m_window->browser()->valueViewer(); }

    SnmpdFixture m_agent;
    ScriptedPrompts m_prompts;
    QString m_closed;
    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainQuery::initTestCase()
{
    m_agent.setBulkRows(BulkRows);
    m_agent.setMisbehavingColumns(true);
    SNMPD_FIXTURE_START(m_agent);
    m_closed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
    AppSettings::instance(m_dir.filePath("Tessaro.ini"));

    const QString data = m_dir.filePath("Brantwick/Tessaro/");
    QVERIFY(QDir().mkpath(data));
    QVERIFY(MibTestDb::create(data + "MIB.db", queryNodes()));
    QFile file(data + "Velmora.cfg");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((m_agent.address() + "\tDefault\tpublic\r\n" + m_closed + "\tCore\t&v1(\"public\")\r\n").toUtf8());
}

void TestMainQuery::init()
{
    const Folders folders(m_dir.path(), QString(), m_dir.filePath("app"), m_dir.path());
    m_window = std::make_unique<MainWindow>(folders);
    m_window->show();
    QVERIFY(QTest::qWaitFor([this] { return m_window->isInitialized(); }, 20000));
    m_window->deviceBox()->setCurrentIndex(0);
}

void TestMainQuery::cleanup()
{
    m_window.reset();
    // Answers still queued for the window are dropped with it; let them drain.
    QTest::qWait(50);
}

void TestMainQuery::select(const QString& path)
{
    const OidPtr node = m_window->treeModel().findByPath(path);
    QVERIFY2(node, qPrintable(path));
    m_window->browser()->selectIndex(m_window->treeModel().indexFromOid(node));
    QCOMPARE(m_window->browser()->currentOid(), node);
}

bool TestMainQuery::waitIdle(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !m_window->isQueryRunning(); }, timeoutMs);
}

void TestMainQuery::getShowsOneValue()
{
    // ".0" is added to the node's path...
    select(System + ".1");
    m_window->onGetValue();
    QVERIFY(m_window->isQueryRunning());
    QVERIFY(!m_window->stopQueryAction()->isEnabled());
    QVERIFY(waitIdle());
    QCOMPARE(labels(viewer()), QStringList{"sysDescr.0"});
    const OidValueViewer::Row row = viewer()->rows().first();
    QCOMPARE(row.oidPath, System + ".1.0");
    QVERIFY(row.valueText.contains(SnmpdFixture::kSysDescr));
    QCOMPARE(row.type, int(Oid::OctetString));
    QVERIFY(!row.showOidPath);

    // ... unless it ends in ".0" already; a leaf numbered 0 is fetched by double-click.
    m_window->findChild<QCheckBox*>()->setChecked(true);
    select(Root + ".1.1.0");
    m_window->onLeafOidActivated(m_window->browser()->currentOid());
    QVERIFY(waitIdle());
    QCOMPARE(labels(viewer()), QStringList{"fixCounter64Instance"});
    QCOMPARE(viewer()->rows().first().value.toULongLong(), 4294967301ULL);
    QVERIFY(viewer()->rows().first().showOidPath);
    QTRY_VERIFY(viewer()->toPlainText().contains("(" + Root + ".1.1.0)"));
    m_window->findChild<QCheckBox*>()->setChecked(false);

    // An unreachable device returns nothing.
    m_window->deviceBox()->setCurrentIndex(1);
    QVERIFY(!m_window->getBulkAction()->isEnabled());
    select(System + ".1");
    m_window->onGetValue();
    QVERIFY(waitIdle(15000));
    QCOMPARE(labels(viewer()), QStringList{"sysDescr.0 ! Nothing returned"});
}

void TestMainQuery::walksEndWhereTheirSubtreeEnds()
{
    // The system group, value by value, up to the interfaces group.
    select(System);
    m_window->onGetNextValue();
    QVERIFY(m_window->stopQueryAction()->isEnabled());
    QVERIFY(waitIdle());
    const QStringList walked = labels(viewer());
    QVERIFY(walked.size() >= 7);
    QCOMPARE(walked.first(), "sysDescr.0");
    for (const OidValueViewer::Row& row : viewer()->rows())
        QVERIFY2(row.ok && row.oidPath.startsWith(System + "."), qPrintable(row.oidPath));
    QTRY_VERIFY(!m_window->stopQueryAction()->isEnabled());

    // GetBulk shows the same rows.
    m_window->onGetBulkValue();
    QVERIFY(waitIdle());
    QCOMPARE(labels(viewer()), walked);

    // An object the agent lacks: the first answer lies beyond it; it is shown after the
    // note, and the next answer ends the walk.
    select(Root + ".6");
    m_window->onGetNextValue();
    QVERIFY(waitIdle());
    QCOMPARE(labels(viewer()), QStringList({"unimplemented ! No results: The device does not support this OID or table",
                                            "bulkColumn.1"}));

    // The last table of the agent's view ends in endOfMibView, quietly, for both walks.
    select(Root + ".9.1.1");
    for (void (MainWindow::*walk)() : {&MainWindow::onGetBulkValue, &MainWindow::onGetNextValue}) {
        (m_window.get()->*walk)();
        QVERIFY(waitIdle());
        QCOMPARE(viewer()->rows().size(), BulkRows);
        QCOMPARE(viewer()->rows().last().label, "bulkColumn." + QString::number(BulkRows));
        QCOMPARE(m_window->resultRowCount(), BulkRows);
    }

}

void TestMainQuery::misbehavingAgentsEndTheWalk()
{
    const QString outOfOrder = " ! The agent returned an OID out of order";
    // A column whose last row is answered by its first, walked with GetNext...
    select(Root + ".5.2");
    m_window->onGetNextValue();
    QVERIFY(waitIdle());
    QCOMPARE(labels(viewer()), QStringList({"backColumn.1", "backColumn.2", "backColumn.1" + outOfOrder}));

    // ... and a column that repeats its one row, with both walks.
    select(Root + ".5.1");
    for (void (MainWindow::*walk)() : {&MainWindow::onGetNextValue, &MainWindow::onGetBulkValue}) {
        (m_window.get()->*walk)();
        QVERIFY(waitIdle());
        QCOMPARE(labels(viewer()), QStringList({"repeatColumn.1", "repeatColumn.1" + outOfOrder}));
        QTRY_VERIFY(!m_window->stopQueryAction()->isEnabled());
    }
}

void TestMainQuery::queryAskedDuringAWalkTakesItsPlace()
{
    select(Root + ".9.1.1");
    m_window->onGetNextValue();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->resultRowCount() >= 3, 10000);
    select(System);
    m_window->onGetBulkValue();
    QVERIFY(m_window->isQueryRunning());
    QVERIFY(waitIdle());
    QCOMPARE(viewer()->rows().first().label, "sysDescr.0");
    for (const OidValueViewer::Row& row : viewer()->rows())
        QVERIFY2(row.oidPath.startsWith(System + "."), qPrintable(row.oidPath));
    QVERIFY(!m_window->stopQueryAction()->isEnabled());
}

void TestMainQuery::stoppedAnswersNeverReachANewerQuery()
{
    // Stop while the first answer is on its way, and ask again at once: the old answer
    // (a row of the bulk table) must not become the new query's result.
    select(Root + ".9.1.1");
    m_window->onGetNextValue();
    m_window->onStopGet();
    QVERIFY(!m_window->isQueryRunning());
    select(System + ".5");
    m_window->onGetValue();
    QVERIFY(waitIdle());
    QTest::qWait(200);
    QCOMPARE(labels(viewer()), QStringList{"sysName.0"});
    QVERIFY(viewer()->rows().first().valueText.contains(SnmpdFixture::kSysName));

    // Stop during a walk: nothing more is shown and the controls go off with the late answer.
    select(Root + ".9.1.1");
    m_window->onGetNextValue();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->resultRowCount() >= 2, 10000);
    m_window->onStopGet();
    const int shown = viewer()->rows().size();
    QTRY_VERIFY(!m_window->stopQueryAction()->isEnabled());
    QTest::qWait(200);
    QCOMPARE(viewer()->rows().size(), shown);
}

void TestMainQuery::deviceChangeAbandonsTheWalk()
{
    select(Root + ".9.1.1");
    m_window->onGetNextValue();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->resultRowCount() >= 2, 10000);
    m_window->deviceBox()->setCurrentIndex(1);
    QVERIFY(!m_window->isQueryRunning());
    const int shown = viewer()->rows().size();
    QTRY_VERIFY(!m_window->stopQueryAction()->isEnabled());
    QTest::qWait(200);
    QCOMPARE(viewer()->rows().size(), shown);
    QVERIFY(shown < BulkRows);
}

void TestMainQuery::treeMenuAndJumps()
{
    const auto menuOf = [this](const QString& path, QStringList* texts) {
        QMenu menu;
        m_window->buildTreeContextMenu(&menu, m_window->treeModel().findByPath(path));
        texts->clear();
        for (QAction* action : menu.actions())
            *texts << (action->isSeparator() ? QString("-") : action->text() + (action->isEnabled() ? "" : " (off)"));
        return menu.defaultAction() ? menu.defaultAction()->text() : QString();
    };
    QStringList texts;
    // A numeric leaf numbered 0 is read with Get; a text leaf is walked; a branch has no default.
    QCOMPARE(menuOf(Root + ".1.1.0", &texts), "Get");
    QCOMPARE(texts, QStringList({"Get", "GetNext", "GetBulk", "-", "Monitor..."}));
    QCOMPARE(menuOf(System + ".1", &texts), "GetNext");
    QCOMPARE(texts, QStringList({"Get", "GetNext", "GetBulk"}));
    QCOMPARE(menuOf(System, &texts), QString());

    // With the SNMPv1 device GetBulk is off.
    m_window->deviceBox()->setCurrentIndex(1);
    menuOf(System + ".1", &texts);
    QCOMPARE(texts, QStringList({"Get", "GetNext", "GetBulk (off)"}));

    // Jump To selects a known node and ignores anything else.
    m_window->onJumpToOid(System + ".5");
    QCOMPARE(m_window->browser()->currentOid()->name, "sysName");
    m_window->onJumpToOid("1.3.6.1.2.1.77");
    m_window->onJumpToOid("not an oid");
    QCOMPARE(m_window->browser()->currentOid()->name, "sysName");
}

void TestMainQuery::monitorOpensTheChart()
{
    // From a result line: the chart of that very OID, named after its node.
    select(Root + ".1.1.0");
    m_window->onGetValue();
    QVERIFY(waitIdle());
    const OidValueViewer::Row row = viewer()->rows().first();
    emit viewer()->monitorOidClicked(row.oidPath, Oid::Type(row.type), row.valueText);
    auto* chart = m_window->findChild<OidChartDialog*>();
    QVERIFY(chart);
    QCOMPARE(chart->windowTitle(), m_agent.address() + " - fixCounter64Instance (" + Root + ".1.1.0)");
    chart->close();
    QTRY_VERIFY(!m_window->findChild<OidChartDialog*>());

    // From the tree: the device is asked for the column's rows first, and the chart polls the
    // row chosen; its name is the column's.
    select(Root + ".9.1.1");
    bool listed = false;
    whenModal<OidIndexSelectionDialog>([&listed](OidIndexSelectionDialog* dialog) {
        QTableWidget* table = dialog->findChild<QTableWidget*>();
        listed = QTest::qWaitFor([table] { return table->rowCount() == BulkRows; }, 20000);
        table->selectRow(2);
        dialog->monitorButton()->click();
    });
    m_window->onMonitorOidFromTree();
    QVERIFY(listed);
    chart = m_window->findChild<OidChartDialog*>();
    QVERIFY(chart);
    QCOMPARE(chart->windowTitle(), m_agent.address() + " - bulkColumn (" + Root + ".9.1.1.3)");
    chart->close();
    QVERIFY(AppSettings::instance().oidIndexWindowSize().isValid());

    // Cancelling the choice opens nothing.
    whenModal<OidIndexSelectionDialog>([](OidIndexSelectionDialog* dialog) { dialog->reject(); });
    m_window->onMonitorOidFromTree();
    QTest::qWait(50);
    QVERIFY(!m_window->findChild<OidChartDialog*>());
}

QTEST_MAIN(TestMainQuery)
#include "test_mainquery.moc"
