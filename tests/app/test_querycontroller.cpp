// The query controller against the snmpd test agent: the lines of Gets and walks, how each
// end of a walk shows, queries asked while one runs, Stop and device changes. Without a
// loaded MIB every line is labelled with its OID.

#include "app/QueryController.h"
#include "mib/MibDatabase.h"
#include "mib/TreeModel.h"
#include "SnmpdFixture.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

constexpr int BulkRows = 300;
const QString Root = SnmpdFixture::kFixtureRoot;
const QString S = "1.3.6.1.2.1.1";
const QString Bulk = SnmpdFixture::kOidBulkColumn;
const QString OutOfOrder = " ! The agent returned an OID out of order";

SnmpOidUtils::Device device(const QString& ip)
{
    SnmpUtils::SnmpParams params;
    params.version = 2;
    params.community = SnmpdFixture::kCommunity;
    return SnmpOidUtils::Device::fromParams(ip, params);
}

} // namespace

class TestQueryController final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;
    MibDatabase m_database;
    std::unique_ptr<TreeModel> m_model;
    QString m_closed;
    std::unique_ptr<QueryController> m_query;
    QStringList m_lines;
    int m_started = 0;
    QList<bool> m_stoppable;

    bool waitIdle()
    {
        return QTest::qWaitFor([this] { return !m_query->isRunning(); }, 20000);
    }

private slots:
    void initTestCase()
    {
        m_agent.setBulkRows(BulkRows);
        m_agent.setMisbehavingColumns(true);
        SNMPD_FIXTURE_START(m_agent);
        m_closed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
        // The model's icons cannot be drawn without a GUI; nothing here needs them.
        QLoggingCategory::setFilterRules("default.warning=false");
        m_model = std::make_unique<TreeModel>(m_database);
        QLoggingCategory::setFilterRules(QString());
    }

    void init()
    {
        m_query = std::make_unique<QueryController>(*m_model);
        m_query->setDevice(device(m_agent.address()));
        m_lines.clear();
        m_started = 0;
        m_stoppable.clear();
        connect(m_query.get(), &QueryController::started, this, [this] {
            m_lines.clear();
            ++m_started;
        });
        connect(m_query.get(), &QueryController::linesReady, this, [this](const QVector<OidValueViewer::Row>& lines) {
            for (const OidValueViewer::Row& line : lines)
                m_lines << (line.ok ? line.label : line.label + " ! " + line.message);
        });
        connect(m_query.get(), &QueryController::stoppableChanged, this, [this](bool on) { m_stoppable << on; });
    }

    void cleanup()
    {
        m_query.reset();
        QTest::qWait(50); // answers still queued for it are dropped
    }

    void queries_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("node");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QStringList>("lines");
        using Q = QueryController;
        QStringList table;
        for (int row = 1; row <= BulkRows; ++row)
            table << Bulk + "." + QString::number(row);
        const QStringList lacking{Root + ".6 ! No results: The device does not support this OID or table", Bulk + ".1"};
        const QString repeat = Root + ".5.1.1", back = Root + ".5.2.";
        QTest::newRow("Get adds .0") << int(Q::GetRequest) << S + ".5" << true << QStringList{S + ".5.0"};
        QTest::newRow("Get of an instance") << int(Q::GetRequest) << S + ".5.0" << true << QStringList{S + ".5.0"};
        QTest::newRow("Get, no answer") << int(Q::GetRequest) << S + ".1" << false
                                        << QStringList{S + ".1.0 ! Nothing returned"};
        QTest::newRow("GetNext, no answer")
            << int(Q::GetNextWalk) << S << false << QStringList{S + " ! Nothing returned"};
        QTest::newRow("GetNext leaves the subtree")
            << int(Q::GetNextWalk) << S + ".5" << true << QStringList{S + ".5.0"};
        for (const int kind : {int(Q::GetNextWalk), int(Q::GetBulkWalk)}) {
            const char* name = kind == Q::GetNextWalk ? "GetNext" : "GetBulk";
            QTest::addRow("%s to the end of the view", name) << kind << Bulk << true << table;
            QTest::addRow("%s of an object the agent lacks", name) << kind << Root + ".6" << true << lacking;
            QTest::addRow("%s of a repeating column", name)
                << kind << Root + ".5.1" << true << QStringList{repeat, repeat + OutOfOrder};
        }
        QTest::newRow("GetNext back to the first row") << int(Q::GetNextWalk) << Root + ".5.2" << true
                                                       << QStringList{back + "1", back + "2", back + "1" + OutOfOrder};
    }

    void queries()
    {
        QFETCH(int, kind);
        QFETCH(QString, node);
        QFETCH(bool, reachable);
        QFETCH(QStringList, lines);
        if (!reachable)
            m_query->setDevice(device(m_closed));
        QSignalSpy finished(m_query.get(), &QueryController::finished);
        m_query->ask(QueryController::RequestKind(kind), node);
        QVERIFY(m_query->isRunning());
        QCOMPARE(m_stoppable, QList<bool>{kind != QueryController::GetRequest});
        QVERIFY(waitIdle());
        QCOMPARE(m_lines, lines);
        QCOMPARE(m_stoppable.last(), false);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(m_query->rowCount(), lines.size() - lines.filter(" ! ").size());
    }

    void askedWhileRunning()
    {
        // The last query asked meanwhile takes the walk's place; the one before it never runs.
        m_query->ask(QueryController::GetNextWalk, Bulk);
        QTRY_VERIFY_WITH_TIMEOUT(m_query->rowCount() >= 3, 10000);
        m_query->ask(QueryController::GetNextWalk, S);
        m_query->ask(QueryController::GetBulkWalk, S + ".5");
        QVERIFY(waitIdle());
        QCOMPARE(m_started, 2);
        QCOMPARE(m_query->requestKind(), QueryController::GetBulkWalk);
        QCOMPARE(m_lines, QStringList{S + ".5.0"});
    }

    void stopAndDeviceChange()
    {
        // Stop while the first answer is on its way and ask again at once: the old answer (a
        // row of the bulk table) must not become the new query's.
        m_query->ask(QueryController::GetNextWalk, Bulk);
        m_query->stop();
        QVERIFY(!m_query->isRunning());
        m_query->ask(QueryController::GetRequest, S + ".5");
        QVERIFY(waitIdle());
        QTest::qWait(200);
        QCOMPARE(m_lines, QStringList{S + ".5.0"});

        // Stop, or a device change, during a walk: no more lines, and Stop goes off with the
        // late answer. A device change forgets the query waiting behind the walk.
        for (const bool stop : {true, false}) {
            m_query->ask(QueryController::GetNextWalk, Bulk);
            QTRY_VERIFY_WITH_TIMEOUT(m_query->rowCount() >= 2, 10000);
            if (!stop)
                m_query->ask(QueryController::GetRequest, S + ".1");
            m_started = 0;
            stop ? m_query->stop() : m_query->setDevice(device(m_closed));
            QVERIFY(!m_query->isRunning());
            const int shown = m_lines.size();
            QTRY_VERIFY(!m_stoppable.last());
            QTest::qWait(200);
            QCOMPARE(m_lines.size(), shown);
            QVERIFY(shown < BulkRows);
            QCOMPARE(m_started, 0);
            m_query->setDevice(device(m_agent.address()));
        }
    }
};

QTEST_GUILESS_MAIN(TestQueryController)
#include "test_querycontroller.moc"
