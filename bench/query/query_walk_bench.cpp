// The main window's walks of the snmpd test agent's 10,000-row column, by GetBulk and by
// GetNext, from the button's slot until the last row is shown, against net-snmp's
// snmpbulkwalk and snmpwalk of the same column in the same run; and the longest the
// window's event loop stood still meanwhile.
//
//   query-walk-bench [--runs N]        (runs offscreen unless QT_QPA_PLATFORM says otherwise)

#include "app/AppContext.h"
#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "platform/Folders.h"
#include "app/MainWindow.h"
#include "MibTestDb.h"
#include "ui/browser/OidBrowser.h"
#include "ui/browser/OidValueViewer.h"
#include "ScriptedPrompts.h"
#include "NetSnmpTool.h"
#include "SnmpdFixture.h"
#include "mib/TreeModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kWalkTimeoutMs = 120000;
constexpr int kToolTimeoutMs = 120000;
constexpr int kRepetitions = 20; // the program's max-repetitions per GETBULK
constexpr double kWalkTarget = 1.5;
constexpr double kStallTargetMs = 100;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

double cpuMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// User plus system time of a running process from /proc/PID/stat, and its parent's pid.
bool processCpuMs(const QString& pid, double* ms, qint64* parent)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = file.readAll();
    // The command name in parentheses may hold spaces; the fields after it are plain.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return false;
    *parent = fields.at(1).toLongLong();
    *ms = (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
    return true;
}

// CPU time so far of snmpd and of its pass_persist helpers (its children, which are still
// running and so not in snmpd's own children's times). Clock-tick resolution (10 ms).
double agentCpuMs(qint64 agentPid)
{
    double total = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        double ms = 0;
        qint64 parent = 0;
        if (numeric && processCpuMs(entry, &ms, &parent) && (pid == agentPid || parent == agentPid))
            total += ms;
    }
    return total;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// The times of one kind of walk over all runs.
struct Series
{
    Series(const QString& label, int requests)
        : label(label)
        , requests(requests)
    {
    }

    QString label;
    int requests; // per walk, to show the cost of one request
    QVector<double> ms;
    QVector<double> cpuMs;      // the program's process, or the tool process
    QVector<double> agentCpuMs; // snmpd and its helpers
    QVector<double> stallMs;    // program walks only: the longest gap between timer ticks
    QVector<double> callMs;     // program walks only: the slot's own run time
};

// One program walk: from calling the slot until the window says the query is over, with a
// 1 ms timer recording the longest gap between its ticks (the first tick, which waits for
// the slot to return, gives no gap).
bool walkInWindow(MainWindow& window, void (MainWindow::*slot)(), qint64 agentPid, Series* series, QString* error)
{
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 lastTickNs = -1;
    qint64 longestGapNs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTickNs >= 0)
            longestGapNs = std::max(longestGapNs, now - lastTickNs);
        lastTickNs = now;
        if (!window.isQueryRunning())
            loop.quit();
    });
    QTimer::singleShot(kWalkTimeoutMs, &loop, &QEventLoop::quit);

    const double cpuBefore = cpuMs(RUSAGE_SELF);
    const double agentBefore = agentCpuMs(agentPid);
    clock.start();
    ticker.start();
    (window.*slot)();
    const double callMs = clock.nsecsElapsed() / 1e6;
    if (window.isQueryRunning())
        loop.exec();
    const double ms = clock.nsecsElapsed() / 1e6;
    ticker.stop();
    series->ms << ms;
    series->cpuMs << cpuMs(RUSAGE_SELF) - cpuBefore;
    series->agentCpuMs << agentCpuMs(agentPid) - agentBefore;
    series->stallMs << longestGapNs / 1e6;
    series->callMs << callMs;

    const int rows = window.resultRowCount();
    const QVector<OidValueViewer::Row> shown = window.browser()->valueViewer()->rows();
    const QString first = QLatin1String(SnmpdFixture::kOidBulkColumn) + QLatin1String(".1");
    if (window.isQueryRunning())
        *error = QStringLiteral("still running after %1 s").arg(kWalkTimeoutMs / 1000);
    else if (rows != SnmpdFixture::kBulkRows || shown.size() != SnmpdFixture::kBulkRows)
        *error = QStringLiteral("%1 result rows, %2 rows in the viewer").arg(rows).arg(shown.size());
    else if (shown.constFirst().oidPath != first || shown.constLast().oidPath != QLatin1String(SnmpdFixture::kOidLast))
        *error = QStringLiteral("rows from %1 to %2").arg(shown.constFirst().oidPath, shown.constLast().oidPath);
    return error->isEmpty();
}

// One walk by net-snmp's tool (/usr/bin/TOOL) with no configuration or MIB files; the rows
// are the output lines of the column's instances with a value.
bool walkWithTool(const QString& tool, const QStringList& args, qint64 agentPid, Series* series, QString* error)
{
    QTemporaryDir home;
    QProcess process;
    process.setProcessEnvironment(netSnmpToolEnvironment(home.path()));

    const double cpuBefore = cpuMs(RUSAGE_CHILDREN);
    const double agentBefore = agentCpuMs(agentPid);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral("/usr/bin/") + tool, args);
    const bool finished = process.waitForStarted(5000) && process.waitForFinished(kToolTimeoutMs);
    series->ms << clock.nsecsElapsed() / 1e6;
    if (!finished && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(3000);
    }
    series->cpuMs << cpuMs(RUSAGE_CHILDREN) - cpuBefore;
    series->agentCpuMs << agentCpuMs(agentPid) - agentBefore;

    const QByteArray output = process.readAllStandardOutput();
    const QByteArray prefix = '.' + QByteArray(SnmpdFixture::kOidBulkColumn) + '.';
    int rows = 0;
    for (const QByteArray& line : output.split('\n')) {
        // snmpbulkwalk prints the endOfMibView after the last row as a line of its own.
        if (line.startsWith(prefix) && !line.contains("No more variables left"))
            ++rows;
    }
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        *error = tool + QStringLiteral(" failed: ") + QString::fromUtf8(process.readAllStandardError().right(300));
    else if (rows != SnmpdFixture::kBulkRows)
        *error = QStringLiteral("%1 rows from %2").arg(rows).arg(tool);
    return error->isEmpty();
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return condition();
}

// The data folder of a window: MIB.db with the registration path down to the agent's column,
// and Velmora.cfg with the agent as its one SNMPv2c device.
bool writeDataFolder(const Folders& folders, const SnmpdFixture& agent, QString* error)
{
    if (!folders.createDataFolder()) {
        *error = QStringLiteral("cannot create ") + folders.dataFolder();
        return false;
    }
    const QVector<MibTestDb::Node> nodes = MibTestDb::parse(
        QStringLiteral("1 - iso 1; 2 1 org 3; 3 2 dod 6; 4 3 internet 1; 5 4 private 4; 6 5 enterprises 1;"
                       "7 6 tessaroTest 32473; 8 7 fixture 1; 9 8 bulkTable 9 0 21; 10 9 bulkEntry 1 0 21;"
                       "11 10 bulkColumn 1 2 18"),
        QStringLiteral("TESSARO-TEST-MIB"));
    if (!MibTestDb::create(folders.dataFile(QStringLiteral("MIB.db")), nodes)) {
        *error = QStringLiteral("cannot write MIB.db");
        return false;
    }
    QFile devices(folders.dataFile(QStringLiteral("Velmora.cfg")));
    if (!devices.open(QIODevice::WriteOnly) ||
        devices.write(agent.address().toUtf8() + "\tDefault\t&v2c(\"" + SnmpdFixture::kCommunity + "\")\r\n") < 0) {
        *error = QStringLiteral("cannot write Velmora.cfg");
        return false;
    }
    return true;
}

QString ratioLine(const QString& what, double ratio, double target)
{
    return QStringLiteral("  %1 %2 (target <= %3)  %4\n")
        .arg(what, -36)
        .arg(ratio, 5, 'f', 2)
        .arg(target, 0, 'f', 1)
        .arg(ratio <= target ? QStringLiteral("PASS") : QStringLiteral("MISS"));
}

void printSeries(const Series& series)
{
    const double ms = median(series.ms);
    out() << QStringLiteral("%1 %2 %3 %4 %5")
                 .arg(series.label, -30)
                 .arg(ms, 9, 'f', 0)
                 .arg(series.requests > 0 ? ms * 1e3 / series.requests : 0, 12, 'f', 0)
                 .arg(median(series.cpuMs), 8, 'f', 0)
                 .arg(median(series.agentCpuMs), 10, 'f', 0);
    if (!series.stallMs.isEmpty()) {
        out() << QStringLiteral("   stall %1 ms (longest %2), slot %3 ms")
                     .arg(median(series.stallMs), 0, 'f', 1)
                     .arg(*std::max_element(series.stallMs.begin(), series.stallMs.end()), 0, 'f', 1)
                     .arg(median(series.callMs), 0, 'f', 1);
    }
    out() << '\n';
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = std::max(1, args.at(++i).toInt());
        } else {
            std::fprintf(stderr, "usage: query-walk-bench [--runs N]\n");
            return 2;
        }
    }

    QTemporaryDir root;
    AppSettings settings(root.filePath(QStringLiteral("Tessaro.ini")));
    NullServiceManager services;
    const SystemClock clock;
    SnmpdFixture agent;
    if (!agent.start()) {
        std::fprintf(stderr, "cannot start snmpd: %s\n", qPrintable(agent.errorText()));
        return 1;
    }
    const qint64 agentPid = agent.processId();
    const Folders folders(root.path(), QString(), root.filePath(QStringLiteral("app")), root.path());
    QString error;
    if (!writeDataFolder(folders, agent, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    // A message box would wait for a user; these answer with the default button.
    ScriptedPrompts prompts;
    MainWindow window(AppContext{folders, settings, services, QString(), clock});
    window.show();
    // Without a device the window would open the device list editor, a modal dialog.
    if (window.devices().size() != 1) {
        std::fprintf(stderr, "the window did not read the agent from Velmora.cfg\n");
        return 1;
    }
    if (!waitFor([&] { return window.isInitialized(); }, 30000)) {
        std::fprintf(stderr, "the window did not finish its start-up\n");
        return 1;
    }
    // The device information query at start-up would share the agent with the first walk.
    if (!waitFor([&] { return !window.deviceInfo().isEmpty() && window.deviceInfo().constFirst().ok; }, 15000))
        out() << "note: the agent's device information did not arrive within 15 s\n";
    const QString column = QLatin1String(SnmpdFixture::kOidBulkColumn);
    TreeModel& model = window.treeModel();
    window.browser()->selectIndex(model.indexFromOid(model.findByPath(column)));
    const OidPtr current = window.browser()->currentOid();
    if (!current || current->numericPath() != column) {
        std::fprintf(stderr, "the tree has no node %s\n", qPrintable(column));
        return 1;
    }

    const QStringList toolBase = {QStringLiteral("-v2c"), QStringLiteral("-c"), QLatin1String(SnmpdFixture::kCommunity),
                                  QStringLiteral("-On"),  agent.address(),      QLatin1Char('.') + column};
    const int bulkRequests = SnmpdFixture::kBulkRows / kRepetitions + 1;
    const int nextRequests = SnmpdFixture::kBulkRows + 1;
    Series programBulk{QStringLiteral("program GetBulk walk"), bulkRequests};
    Series toolBulk{QStringLiteral("snmpbulkwalk -Cr20"), bulkRequests};
    Series toolBulkDefault{QStringLiteral("snmpbulkwalk (default -Cr10)"), SnmpdFixture::kBulkRows / 10 + 1};
    Series programNext{QStringLiteral("program GetNext walk"), nextRequests};
    Series toolNext{QStringLiteral("snmpwalk"), nextRequests};

    out() << "query-walk-bench: column " << column << " (" << SnmpdFixture::kBulkRows << " rows) of snmpd at "
          << agent.address() << ", " << runs << " alternating runs\n";
    out().flush();
    // Program and tool runs alternate, so that a change in the machine's load hits both alike.
    for (int run = 0; run < runs; ++run) {
        const bool sound = walkInWindow(window, &MainWindow::onGetBulkValue, agentPid, &programBulk, &error) &&
                           walkWithTool(QStringLiteral("snmpbulkwalk"),
                                        QStringList{QStringLiteral("-Cr%1").arg(kRepetitions)} + toolBase, agentPid,
                                        &toolBulk, &error) &&
                           walkWithTool(QStringLiteral("snmpbulkwalk"), toolBase, agentPid, &toolBulkDefault, &error) &&
                           walkInWindow(window, &MainWindow::onGetNextValue, agentPid, &programNext, &error) &&
                           walkWithTool(QStringLiteral("snmpwalk"), toolBase, agentPid, &toolNext, &error);
        if (!sound) {
            std::fprintf(stderr, "ERROR in run %d: %s\n", run + 1, qPrintable(error));
            return 1;
        }
        out() << "run " << run + 1 << ": GetBulk " << qRound(programBulk.ms.last()) << " ms / "
              << qRound(toolBulk.ms.last()) << " ms, GetNext " << qRound(programNext.ms.last()) << " ms / "
              << qRound(toolNext.ms.last()) << " ms\n";
        out().flush();
    }

    out() << "\nmedians (cpu: this process / the tool process; agent: snmpd and its helpers)\n";
    out() << QStringLiteral("%1 %2 %3 %4 %5\n")
                 .arg(QStringLiteral("walk"), -30)
                 .arg(QStringLiteral("wall ms"), 9)
                 .arg(QStringLiteral("us/request"), 12)
                 .arg(QStringLiteral("cpu ms"), 8)
                 .arg(QStringLiteral("agent ms"), 10);
    for (const Series* series : {&programBulk, &toolBulk, &toolBulkDefault, &programNext, &toolNext})
        printSeries(*series);

    const double stall = std::max(*std::max_element(programBulk.stallMs.begin(), programBulk.stallMs.end()),
                                  *std::max_element(programNext.stallMs.begin(), programNext.stallMs.end()));
    out() << "\ntargets\n"
          << ratioLine(QStringLiteral("GetBulk walk / snmpbulkwalk -Cr20"),
                       median(programBulk.ms) / median(toolBulk.ms), kWalkTarget)
          << ratioLine(QStringLiteral("GetNext walk / snmpwalk"), median(programNext.ms) / median(toolNext.ms),
                       kWalkTarget)
          << QStringLiteral("  %1 %2 ms (target <= %3 ms)  %4\n")
                 .arg(QStringLiteral("longest event-loop stall"), -36)
                 .arg(stall, 5, 'f', 1)
                 .arg(kStallTargetMs, 0, 'f', 0)
                 .arg(stall <= kStallTargetMs ? QStringLiteral("PASS") : QStringLiteral("MISS"));
    out() << "  (for information) GetBulk walk / snmpbulkwalk default: "
          << QString::number(median(programBulk.ms) / median(toolBulkDefault.ms), 'f', 2) << '\n';
    for (const ScriptedPrompts::Asked& asked : qAsConst(prompts.asked))
        out() << "note: the window asked (" << asked.kind << ") " << asked.title << ": " << asked.text << '\n';
    out().flush();
    return 0;
}
