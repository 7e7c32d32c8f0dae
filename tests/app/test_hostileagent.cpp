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

// clang-format off
enum Path { Get, Next, Bulk, Info, Listing, Chart, Editor, PathCount };
// clang-format on
const char* const PathNames[] = {"get", "next", "bulk", "info", "listing", "chart", "editor"};
const QString Column = "1.3.6.1.2.1.2.2.1.1"; // ifIndex

} // namespace

class TestHostileAgent final : public QObject
{
    Q_OBJECT

    MibDatabase m_database;
    std::unique_ptr<TreeModel> m_model;
    QElapsedTimer m_tick;
    qint64 m_longestGap = 0; // between two ticks of a timer while the path waits

    // What the path shows, in words: its lines, rows and messages.
    QString run(int path, const SnmpOidUtils::Device& device)
    {
        QStringList shown;
        // The gap is measured from the query's start, after its widgets were made.
        const auto start = [this] { m_longestGap = 0, m_tick.restart(); };
        const auto waitFor = [](const std::function<bool()>& done) { (void)QTest::qWaitFor(done, 20000); };
        if (path <= Bulk) {
            QueryController query(*m_model);
            connect(&query, &QueryController::linesReady, this, [&shown](const QVector<ResultRow>& lines) {
                for (const ResultRow& line : lines)
                    shown << line.label + (line.ok ? " = " + line.valueText : " ! " + line.message);
            });
            query.setDevice(device);
            start();
            query.ask(QueryController::RequestKind(path + 1), path == Get ? "1.3.6.1.2.1.1.1" : Column);
            waitFor([&] { return !query.isRunning(); });
        } else if (path == Info) {
            SnmpReader::HostInfoResult info;
            const int id = SnmpReader::newRequestId();
            auto got = connect(SnmpReader::instance(), &SnmpReader::HostResolved, this,
                               [&](const SnmpReader::HostInfoResult& result, int requestId) {
                                   if (requestId == id)
                                       info = result, shown << "done";
                               });
            start();
            SnmpReader::instance()->requestHostInfo(device.ip, device.params, 0x1f, id); // every part
            waitFor([&] { return !shown.isEmpty(); });
            disconnect(got);
            shown << QString("note=%1 ok=%2 interfaces=%3").arg(info.stopNote).arg(info.ok).arg(info.interfaces.size());
        } else if (path == Listing) {
            OidIndexSelectionWidget listing;
            listing.setDevice(device);
            listing.setOid(Column, false, Oid::Integer);
            QSignalSpy finished(&listing, &OidIndexSelectionWidget::listingFinished);
            start();
            listing.onGetIndices();
            waitFor([&] { return !finished.isEmpty(); });
            shown << QString::number(listing.findChild<QTableWidget*>()->rowCount()) + " rows "
                  << listing.findChild<QLabel*>("progressLabel")->text();
        } else if (path == Chart) {
            OidChartDialog chart(device, "", "1.3.6.1.2.1.1.3.0", false);
            chart.setAttribute(Qt::WA_DontShowOnScreen); // never painted: only the poll counts
            start();
            chart.show(); // the first poll
            waitFor([] { return SnmpAsyncReader::instance()->queuedRequests() == 0; });
            shown << QString("samples=%1").arg(chart.samples().size());
        } else {
            ScriptedPrompts prompts;
            DeviceEditDialog dialog(DeviceEditDialog::AddDevice, {"Default"}, {});
            dialog.setAttribute(Qt::WA_DontShowOnScreen);
            dialog.show();
            dialog.findChild<QLineEdit*>("ipAddressEdit")->setText(device.ip);
            start();
            buttonWithText(&dialog, "OK")->click();
            waitFor([&] { return !dialog.isVisible(); });
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
        QTest::addColumn<int>("path");
        QTest::addColumn<QString>("expected"); // in what the path shows
        // Per mode, what each path shows, in the order of Path.
        const QString silent = "! Nothing returned|=|=|ok=0|0 rows \nNo rows|samples=0|No SNMP response";
        const QString unordered = ".1.0 = |out of order|=|ok=0|No rows|samples=2|No SNMP response";
        const QString cut = "! Walk stopped after 300 rows|=|note=Walk stopped after 300 rows ok=1 interfaces=300";
        const QString late = "! Walk stopped after 2 seconds|=|note=Walk stopped after 2 seconds ok=1";
        const QList<std::tuple<const char*, double, QString>> modes{
            {"wrongid", 0, silent},
            {"broken", 0, silent},
            {"random", 0, silent},
            {"late", 0.5, silent},
            {"repeat", 0, unordered},
            {"back", 0, unordered},
            {"endofview", 0, ".1.0 = |! No results|=|ok=0|No rows|samples=2|No SNMP response"},
            {"huge", 0, ".1.0 = STRING: \"xxx|.1019 = |=|note= ok=1 interfaces=18|20 rows|samples=0|accepted=1"},
            {"odd", 0,
             "0 ! Nothing|1004 ! Nothing|1099 ! Nothing|ok=0|The device stopped answering after 100 row(s)|"
             "samples=0|No SNMP response"},
            {"flood", 0, ".1.0 = |! Walk stopped after 300 rows|=|ok=0|Only the first 300 row(s)|samples=2|No SNMP"},
            {"heavy", 0, // GetNext rows take 140 KB each: text form and printed text
             ".1.0 = STRING: \"xxx|.1007 ! Walk stopped after 1 MB of values|! Walk stopped after 1 MB of values|"
             "note=Walk stopped after 1 MB of values ok=1|Only the first|samples=0|accepted=1"},
            {"endless", 0, "=|" + cut + "|Only the first 300 row(s) are listed|samples=2|Walk stopped after 300 rows"},
            {"endless", 0.05, "=|" + late + "|Only the first|samples=2|Walk stopped after 2 seconds"},
        };
        for (const auto& [mode, delay, expected] : modes) {
            QStringList texts = expected.split('|');
            for (int path = 0; path < PathCount; ++path) {
                if (texts.at(path) == "=") // as the path before
                    texts[path] = path == 0 ? ".1.0 = " : texts.at(path - 1);
                QTest::addRow("%s %g %s", mode, delay, PathNames[path]) << mode << delay << path << texts.at(path);
            }
        }
    }

    void paths()
    {
        QFETCH(QString, mode);
        QFETCH(double, delay);
        QFETCH(int, path);
        QFETCH(QString, expected);
        // 300 rows or 30 s; a slow agent meets a bound of 2 s first, a heavy one of 1 MB.
        const qint64 bytes = mode == "heavy" ? 1 << 20 : 0;
        SnmpReader::setWalkBounds(delay > 0 ? 5000 : 300, delay > 0 ? 2 : 30, bytes);
        SnmpAsyncReader::setWalkBounds(delay > 0 ? 5000 : 300, delay > 0 ? 2 : 30, bytes);
        QProcess agent;
        agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        agent.start("/usr/bin/python3", {QFINDTESTDATA("../fixtures/hostile_agent.py"), mode, QString::number(delay)});
        QVERIFY(agent.waitForReadyRead(20000));
        const QString ip = "127.0.0.1:" + QString(agent.readLine().trimmed());

        // The window must never stand still while a query waits.
        QElapsedTimer clock;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [this] { m_longestGap = qMax(m_longestGap, m_tick.restart()); });
        clock.start(), ticker.start(10);
        const QString shown = run(path, {ip, {2, "public", {}, 0, {}, 0, {}}});
        QVERIFY2(shown.contains(expected), qPrintable(shown.left(1000)));
        QVERIFY2(clock.elapsed() < 15000 && m_longestGap < 1000,
                 qPrintable(QString("%1 ms, gap %2 ms").arg(clock.elapsed()).arg(m_longestGap)));
        agent.kill();
        agent.waitForFinished();
    }
};

QTEST_MAIN(TestHostileAgent)
#include "test_hostileagent.moc"
