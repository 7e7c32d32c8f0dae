// The query controller against the snmpd test agent: the lines of Gets and walks, queries
// asked while one runs, Stop and device changes. Without a MIB a line's label is its OID.

#include "app/QueryController.h"
#include "mib/MibDatabase.h"
#include "mib/TreeModel.h"
#include "snmp/SnmpUtils.h"
#include "SnmpdFixture.h"

#include <QtTest>

#include <memory>

namespace {

const QString Root = SnmpdFixture::kFixtureRoot;
const QString S = "1.3.6.1.2.1.1";
const QString Bulk = SnmpdFixture::kOidBulkColumn; // 300 rows, the last ones of the view

SnmpOidUtils::Device device(const QString& ip, bool v3 = false)
{
    if (v3) // SHA-256 and AES-256
        return {ip, {3, {}, "aes256User", 4, SnmpdFixture::kAuthPassPhrase, 6, SnmpdFixture::kPrivPassPhrase}};
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
    void ask(QueryController::RequestKind kind, const QString& node, const QString& ip, bool v3 = false)
    {
        m_query->setDevice(device(ip, v3));
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
        QTest::addColumn<bool>("v3");
        QStringList table;
        for (int row = 1; row <= 300; ++row)
            table << Bulk + "." + QString::number(row);
        const QString noResults = " ! No results: The device does not support this OID or table";
        const QString lacking = Root + ".6" + noResults;
        const QString last = SnmpdFixture::kOidLast;
        QTest::newRow("Get adds .0") << 1 << S + ".5" << QStringList{S + ".5.0"} << false;
        QTest::newRow("Get, no answer") << 1 << "" << QStringList{S + ".1.0 ! Nothing returned"} << false;
        QTest::newRow("GetNext, no answer") << 2 << "" << QStringList{S + ".1 ! Nothing returned"} << false;
        QTest::newRow("GetBulk to the end of the view") << 3 << Bulk << table << false;
        QTest::newRow("GetNext to the end of the view, v3") << 2 << Bulk << table << true;
        for (const int kind : {2, 3})
            QTest::addRow("%s of an object the agent lacks", kind == 2 ? "GetNext" : "GetBulk")
                << kind << Root + ".6" << QStringList{lacking, Bulk + ".1"} << false;
        // Past the end of the view the first answer is endOfMibView: the note and that answer (v2c: test_hostileagent).
        for (const int kind : {2, 3})
            QTest::addRow("%s past the end of the view, v3", kind == 2 ? "GetNext" : "GetBulk")
                << kind << last << QStringList{last + noResults, last} << true;
        // A return to the first row ends quietly (a repeat of it is one); other steps back: test_hostileagent.
        QTest::newRow("GetBulk of a repeating column") << 3 << Root + ".5.1" << QStringList{Root + ".5.1.1"} << false;
        QTest::newRow("GetNext back to the first row")
            << 2 << Root + ".5.2" << QStringList{Root + ".5.2.1", Root + ".5.2.2"} << false;
    }

    void queries()
    {
        QFETCH(int, kind);
        QFETCH(QString, node);
        QFETCH(QStringList, lines);
        QFETCH(bool, v3);
        QSignalSpy finished(m_query.get(), &QueryController::finished);
        const QString closed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
        const int discoveries = SnmpUtils::engineDiscoveries();
        ask(QueryController::RequestKind(kind), node.isEmpty() ? S + ".1" : node,
            node.isEmpty() ? closed : m_agent.address(), v3);
        QVERIFY(m_query->isRunning() && m_stoppable == QList<bool>{kind != QueryController::GetRequest});
        QVERIFY(waitIdle());
        QCOMPARE(m_lines, lines);
        QVERIFY(!m_stoppable.last() && finished.size() == 1);
        QCOMPARE(m_query->rowCount(), lines.size() - lines.filter(" ! ").size());
        // One session for the whole walk: SNMPv3 learns the agent's engine once.
        QCOMPARE(SnmpUtils::engineDiscoveries() - discoveries, v3 ? 1 : 0);
    }

    void queriesMeanwhile()
    {
        // A query asked during a walk takes its place at once; nothing of the ones before it
        // is shown afterwards.
        ask(QueryController::GetNextWalk, Bulk, m_agent.address());
        QTRY_VERIFY_WITH_TIMEOUT(m_query->rowCount() >= 3, 10000);
        m_query->ask(QueryController::GetNextWalk, S);
        m_query->ask(QueryController::GetBulkWalk, S + ".5");
        QVERIFY(waitIdle());
        QTest::qWait(200);
        QVERIFY(m_started == 3 && m_lines == QStringList{S + ".5.0"});

        // Stop, or a device change, during a walk: Stop goes off at once and no more lines come.
        for (const bool stop : {true, false}) {
            ask(QueryController::GetNextWalk, Bulk, m_agent.address());
            QTRY_VERIFY_WITH_TIMEOUT(m_query->rowCount() >= 2, 10000);
            stop ? m_query->stop() : m_query->setDevice(device(m_agent.address()));
            QVERIFY(!m_query->isRunning() && !m_stoppable.last());
            const int shown = m_lines.size();
            QTest::qWait(200);
            QVERIFY(m_lines.size() == shown && shown < 300 && m_started == 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestQueryController)
#include "test_querycontroller.moc"
