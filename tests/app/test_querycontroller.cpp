// The query controller against the snmpd test agent: the lines of Gets and walks, queries
// asked while one runs, Stop and device changes. Without a MIB a line's label is its OID.

#include "app/QueryController.h"
#include "mib/MibDatabase.h"
#include "mib/TreeModel.h"
#include "SnmpdFixture.h"

#include <QtTest>

#include <memory>

namespace {

const QString Root = SnmpdFixture::kFixtureRoot;
const QString S = "1.3.6.1.2.1.1";
const QString Bulk = SnmpdFixture::kOidBulkColumn; // 300 rows, the last ones of the view

SnmpOidUtils::Device device(const QString& ip)
{
    return {ip, {2, SnmpdFixture::kCommunity, {}, 0, {}, 0, {}}};
}

} // namespace

class TestQueryController final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;
    MibDatabase m_database;
    std::unique_ptr<TreeModel> m_model;
    std::unique_ptr<QueryController> m_query;
    QStringList m_lines;
    int m_started = 0;
    QList<bool> m_stoppable;

    bool waitIdle()
    {
        return QTest::qWaitFor([this] { return !m_query->isRunning(); }, 20000);
    }
    void ask(QueryController::RequestKind kind, const QString& node, const QString& ip)
    {
        m_query->setDevice(device(ip));
        m_started = 0;
        m_stoppable.clear();
        m_query->ask(kind, node);
    }

private slots:
    void initTestCase()
    {
        m_agent.setBulkRows(300);
        m_agent.setMisbehavingColumns(true);
        SNMPD_FIXTURE_START(m_agent);
        // The model's icons cannot be drawn without a GUI; nothing here needs them.
        QLoggingCategory::setFilterRules("default.warning=false");
        m_model = std::make_unique<TreeModel>(m_database);
        QLoggingCategory::setFilterRules(QString());
        m_query = std::make_unique<QueryController>(*m_model);
        connect(m_query.get(), &QueryController::started, this, [this] { m_lines.clear(), ++m_started; });
        connect(m_query.get(), &QueryController::linesReady, this, [this](const QVector<ResultRow>& lines) {
            for (const ResultRow& line : lines)
                m_lines << (line.ok ? line.label : line.label + " ! " + line.message);
        });
        connect(m_query.get(), &QueryController::stoppableChanged, this, [this](bool on) { m_stoppable << on; });
    }

    void queries_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("node");
        QTest::addColumn<QStringList>("lines"); // the unreachable device's for an empty node
        QStringList table;
        for (int row = 1; row <= 300; ++row)
            table << Bulk + "." + QString::number(row);
        const QString lacking = Root + ".6 ! No results: The device does not support this OID or table";
        const QString outOfOrder = " ! The agent returned an OID out of order", back = Root + ".5.2.";
        QTest::newRow("Get adds .0") << 1 << S + ".5" << QStringList{S + ".5.0"};
        QTest::newRow("Get, no answer") << 1 << "" << QStringList{S + ".1.0 ! Nothing returned"};
        QTest::newRow("GetNext, no answer") << 2 << "" << QStringList{S + ".1 ! Nothing returned"};
        QTest::newRow("GetBulk to the end of the view") << 3 << Bulk << table;
        QTest::newRow("GetNext of an object the agent lacks") << 2 << Root + ".6" << QStringList{lacking, Bulk + ".1"};
        QTest::newRow("GetBulk of an object the agent lacks") << 3 << Root + ".6" << QStringList{lacking, Bulk + ".1"};
        QTest::newRow("GetBulk of a repeating column")
            << 3 << Root + ".5.1" << QStringList{Root + ".5.1.1", Root + ".5.1.1" + outOfOrder};
        QTest::newRow("GetNext back to the first row")
            << 2 << Root + ".5.2" << QStringList{back + "1", back + "2", back + "1" + outOfOrder};
    }

    void queries()
    {
        QFETCH(int, kind);
        QFETCH(QString, node);
        QFETCH(QStringList, lines);
        QSignalSpy finished(m_query.get(), &QueryController::finished);
        const QString closed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
        ask(QueryController::RequestKind(kind), node.isEmpty() ? S + ".1" : node,
            node.isEmpty() ? closed : m_agent.address());
        QVERIFY(m_query->isRunning() && m_stoppable == QList<bool>{kind != QueryController::GetRequest});
        QVERIFY(waitIdle());
        QCOMPARE(m_lines, lines);
        QVERIFY(!m_stoppable.last() && finished.size() == 1);
        QCOMPARE(m_query->rowCount(), lines.size() - lines.filter(" ! ").size());
    }

    void queriesMeanwhile()
    {
        // The last query asked during a walk takes its place; the one before it never runs.
        ask(QueryController::GetNextWalk, Bulk, m_agent.address());
        QTRY_VERIFY_WITH_TIMEOUT(m_query->rowCount() >= 3, 10000);
        m_query->ask(QueryController::GetNextWalk, S);
        m_query->ask(QueryController::GetBulkWalk, S + ".5");
        QVERIFY(waitIdle());
        QVERIFY(m_started == 2 && m_lines == QStringList{S + ".5.0"});

        // Stop while the first answer is on its way, and ask again: that answer is dropped.
        ask(QueryController::GetNextWalk, Bulk, m_agent.address());
        m_query->stop();
        m_query->ask(QueryController::GetRequest, S + ".5");
        QVERIFY(waitIdle());
        QTest::qWait(200);
        QCOMPARE(m_lines, QStringList{S + ".5.0"});

        // Stop, or a device change, during a walk: no more lines, and Stop goes off with the
        // late answer. A device change forgets the query waiting behind the walk.
        for (const bool stop : {true, false}) {
            ask(QueryController::GetNextWalk, Bulk, m_agent.address());
            QTRY_VERIFY_WITH_TIMEOUT(m_query->rowCount() >= 2, 10000);
            m_query->ask(QueryController::GetRequest, S + ".1");
            stop ? m_query->stop() : m_query->setDevice(device(m_agent.address()));
            QVERIFY(!m_query->isRunning());
            const int shown = m_lines.size();
            QTRY_VERIFY(!m_stoppable.last());
            QTest::qWait(200);
            QVERIFY(m_lines.size() == shown && shown < 300 && m_started == 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestQueryController)
#include "test_querycontroller.moc"
