// Every query path against an agent that misbehaves (fixtures/hostile_agent.py): each ends in
// bounded time with its rows or an error in words, and the event loop keeps turning meanwhile.

#include "app/QueryController.h"
#include "mib/MibDatabase.h"
#include "mib/Oid.h"
#include "mib/TreeModel.h"
#include "snmp/SnmpReader.h"
#include "ui/devices/DeviceEditDialog.h"
#include "ui/monitor/OidChartDialog.h"
#include "ui/monitor/OidIndexSelectionWidget.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QtTest>

namespace {

enum Path
{
    Get,
    Next,
    Bulk,
    Info,
    Listing,
    Chart,
    Editor,
    PathCount
};
const char* const PathNames[] = {"get", "next", "bulk", "info", "listing", "chart", "editor"};
const QString Column = "1.3.6.1.2.1.2.2.1.1"; // ifIndex

} // namespace

class TestHostileAgent final : public QObject
{
    Q_OBJECT

    MibDatabase m_database;
    std::unique_ptr<TreeModel> m_model;

    // What the path shows, in words: its lines, rows and messages.
    QString run(int path, const SnmpOidUtils::Device& device)
    {
        QStringList shown;
        if (path <= Bulk) {
            QueryController query(*m_model);
            connect(&query, &QueryController::linesReady, this, [&shown](const QVector<ResultRow>& lines) {
                for (const ResultRow& line : lines)
                    shown << line.label + (line.ok ? " = " + line.valueText : " ! " + line.message);
            });
            query.setDevice(device);
            query.ask(QueryController::RequestKind(path + 1), path == Get ? "1.3.6.1.2.1.1.1" : Column);
            QTest::qWaitFor([&] { return !query.isRunning(); }, 20000);
        } else if (path == Info) {
            SnmpReader::HostInfoResult info;
            const int id = SnmpReader::newRequestId();
            auto got = connect(SnmpReader::instance(), &SnmpReader::HostResolved, this,
                               [&](const SnmpReader::HostInfoResult& result, int requestId) {
                                   if (requestId == id)
                                       info = result, shown << "done";
                               });
            SnmpReader::instance()->requestHostInfo(device.ip, device.params, 0x1f, id); // every part
            QTest::qWaitFor([&] { return !shown.isEmpty(); }, 20000);
            disconnect(got);
            shown << QString("note=%1 ok=%2 interfaces=%3").arg(info.stopNote).arg(info.ok).arg(info.interfaces.size());
        } else if (path == Listing) {
            OidIndexSelectionWidget listing;
            listing.setDevice(device);
            listing.setOid(Column, false, Oid::Integer);
            QSignalSpy finished(&listing, &OidIndexSelectionWidget::listingFinished);
            listing.onGetIndices();
            finished.wait(20000);
            shown << QString::number(listing.findChild<QTableWidget*>()->rowCount()) + " rows "
                  << listing.findChild<QLabel*>("progressLabel")->text();
        } else if (path == Chart) {
            OidChartDialog chart(device, "", "1.3.6.1.2.1.1.3.0", false);
            chart.show(); // the first poll
            QTest::qWaitFor([] { return SnmpAsyncReader::instance()->queuedRequests() == 0; }, 20000);
            shown << QString("samples=%1").arg(chart.samples().size());
        } else {
            ScriptedPrompts prompts;
            DeviceEditDialog dialog(DeviceEditDialog::AddDevice, {"Default"}, {});
            dialog.show();
            dialog.findChild<QLineEdit*>("ipAddressEdit")->setText(device.ip);
            buttonWithText(&dialog, "OK")->click();
            QTest::qWaitFor([&] { return !dialog.isVisible(); }, 20000);
            for (const auto& prompt : prompts.asked)
                shown << prompt.text;
            shown << QString("accepted=%1").arg(dialog.result());
        }
        return shown.join('\n');
    }

private slots:
    void initTestCase()
    {
        // An agent that never answers is given up in 0.4 s.
        SnmpUtils::limitSessionTiming(1, 200000);
        QLoggingCategory::setFilterRules("default.warning=false");
        m_model = std::make_unique<TreeModel>(m_database);
        QLoggingCategory::setFilterRules(QString());
    }

    void paths_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<double>("delay"); // of every answer, in seconds
        QTest::addColumn<int>("seconds");  // the walks' time bound; their row bound is 300
        QTest::addColumn<int>("path");
        QTest::addColumn<QString>("expected"); // in what the path shows
        const QString none = "! Nothing returned";
        const QStringList silent{none, none, none, "ok=0", "0 rows \nNo rows", "samples=0", "No SNMP response"};
        const QString disorder = "! The agent returned an OID out of order";
        const QString value = "1.3.6.1.2.1.1.1.0 = ";
        const QStringList unordered{value, disorder, disorder, "ok=0", "No rows", "samples=2", "No SNMP response"};
        const QString cut = "! Walk stopped after 300 rows", listed = "Only the first 300 row(s) are listed";
        const QString late = "! Walk stopped after 2 seconds";
        const struct
        {
            const char* mode;
            double delay;
            int seconds;
            QStringList expected; // per path
        } modes[] = {
            {"wrongid", 0, 30, silent},
            {"broken", 0, 30, silent},
            {"random", 0, 30, silent},
            {"late", 0.5, 30, silent},
            {"repeat", 0, 30, unordered},
            {"back", 0, 30, unordered},
            {"endofview", 0, 30, {value, "! No results", "! No results", "ok=0", "No rows", "samples=2", "No SNMP"}},
            {"huge",
             0,
             30,
             {value, ".1019", ".1019", "note= ok=1 interfaces=18", "20 rows", "samples=0", "accepted=1"}},
            {"odd", 0, 30, {"0 ! Nothing returned", "1004 ! Nothing returned", "1099 ! Nothing returned", "ok=0", "100 rows \nThe device stopped answering after 100 row(s)", "samples=0", "No SNMP response"}},
            {"flood", 0, 30, {value, cut, cut, "ok=0", listed, "samples=2", "No SNMP response"}},
            {"endless",
             0,
             30,
             {value, cut, cut, "note=Walk stopped after 300 rows ok=1 interfaces=300", listed, "samples=2",
              cut.mid(2)}},
            {"endless",
             0.05,
             2,
             {value, late, late, "note=Walk stopped after 2 seconds ok=1", "Only the first", "samples=2", late.mid(2)}},
        };
        for (const auto& mode : modes) {
            for (int path = 0; path < PathCount; ++path)
                QTest::addRow("%s %g %s", mode.mode, mode.delay, PathNames[path])
                    << mode.mode << mode.delay << mode.seconds << path << mode.expected.at(path);
        }
    }

    void paths()
    {
        QFETCH(QString, mode);
        QFETCH(double, delay);
        QFETCH(int, seconds);
        QFETCH(int, path);
        QFETCH(QString, expected);
        const int rows = delay > 0 ? 5000 : 300; // a slow agent meets the time bound first
        SnmpReader::setWalkBounds(rows, seconds);
        SnmpAsyncReader::setWalkBounds(rows, seconds);
        QProcess agent;
        agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        agent.start("/usr/bin/python3", {QFINDTESTDATA("../fixtures/hostile_agent.py"), mode, QString::number(delay)});
        QVERIFY(agent.waitForReadyRead(20000));
        const QString ip = "127.0.0.1:" + QString(agent.readLine().trimmed());

        // The window must never stand still: the longest gap between two ticks of a timer.
        QElapsedTimer clock, tick;
        qint64 longestGap = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { longestGap = qMax(longestGap, tick.restart()); });
        clock.start(), tick.start(), ticker.start(10);
        const QString shown = run(path, {ip, {2, "public", {}, 0, {}, 0, {}}});
        QVERIFY2(shown.contains(expected), qPrintable(shown.left(1000)));
        QVERIFY2(clock.elapsed() < 15000 && longestGap < 1000,
                 qPrintable(QString("%1 ms, gap %2 ms").arg(clock.elapsed()).arg(longestGap)));
        agent.kill();
        agent.waitForFinished();
    }
};

QTEST_MAIN(TestHostileAgent)
#include "test_hostileagent.moc"
