// The main window's walks of the snmpd test agent's 10,000-row column, by GetBulk and by
// GetNext (SNMPv2c and SNMPv3), from the button's slot until the last row is shown, against
// net-snmp's snmpbulkwalk and snmpwalk of the same column in the same run; the GetBulk walk
// again while a second window identifies 300 devices; the index listing of the column and
// its Cancel; and the longest the event loop stood still during each.
//
//   query-walk-bench [--runs N]        (runs offscreen unless QT_QPA_PLATFORM says otherwise)

#include "app/AppContext.h"
#include "app/MainWindow.h"
#include "config/VelmoraFile.h"
#include "mib/TreeModel.h"
#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/ServiceManager.h"
#include "snmp/SnmpAsyncReader.h"
#include "snmp/SnmpReader.h"
#include "ui/browser/OidBrowser.h"
#include "ui/browser/OidValueViewer.h"
#include "ui/monitor/OidIndexSelectionWidget.h"
#include "MibTestDb.h"
#include "NetSnmpTool.h"
#include "ScriptedPrompts.h"
#include "SnmpdFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
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
constexpr double kWalkTarget = 1.2;
constexpr double kV3WalkTarget = 1.3;
constexpr double kBusyWalkTarget = 1.5;
constexpr double kStallTargetMs = 50;
// The stall timer: fine enough for the stall target, coarse enough not to load the window.
constexpr int kTickMs = 5;
constexpr double kCancelTargetMs = 100;
constexpr int kIdentifiedDevices = 300;
constexpr int kClosedDevices = 250;
// The SNMPv3 user of the v3 walks: SHA-256 and AES-256.
constexpr char kV3User[] = "aes256User";

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

// Runs start() and then the event loop until running() turns false (at most kWalkTimeoutMs),
// with a 1 ms timer recording the longest gap between its ticks (the first tick, which waits
// for start() to return, gives no gap). Returns the wall time; the stall and start()'s own
// time go to the series when one is given.
double runMeasured(const std::function<void()>& start, const std::function<bool()>& running, Series* series,
                   double* stallMs = nullptr)
{
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 lastTickNs = -1;
    qint64 longestGapNs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(kTickMs);
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTickNs >= 0)
            longestGapNs = std::max(longestGapNs, now - lastTickNs);
        lastTickNs = now;
        if (!running())
            loop.quit();
    });
    QTimer::singleShot(kWalkTimeoutMs, &loop, &QEventLoop::quit);
    clock.start();
    ticker.start();
    start();
    const double callMs = clock.nsecsElapsed() / 1e6;
    if (running())
        loop.exec();
    const double ms = clock.nsecsElapsed() / 1e6;
    ticker.stop();
    if (series) {
        series->stallMs << longestGapNs / 1e6;
        series->callMs << callMs;
    }
    if (stallMs)
        *stallMs = longestGapNs / 1e6;
    return ms;
}

// One program walk: from calling the slot until the window says the query is over.
bool walkInWindow(MainWindow& window, void (MainWindow::*slot)(), qint64 agentPid, Series* series, QString* error)
{
    const double cpuBefore = cpuMs(RUSAGE_SELF);
    const double agentBefore = agentCpuMs(agentPid);
    series->ms << runMeasured([&] { (window.*slot)(); }, [&] { return window.isQueryRunning(); }, series);
    series->cpuMs << cpuMs(RUSAGE_SELF) - cpuBefore;
    series->agentCpuMs << agentCpuMs(agentPid) - agentBefore;

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

// One walk by the request runner alone, its rows counted and dropped: what the window adds to it.
bool walkWithRunner(const SnmpOidUtils::Device& device, SnmpAsyncReader::Kind kind, Series* series, QString* error)
{
    int rows = 0;
    bool ended = false;
    SnmpAsyncReader::WalkOptions options;
    options.kind = kind;
    const double cpuBefore = cpuMs(RUSAGE_SELF);
    series->ms << runMeasured(
        [&] {
            SnmpAsyncReader::instance()->walk(
                device, QLatin1String(SnmpdFixture::kOidBulkColumn), options, 0,
                [&](const SnmpAsyncReader::WalkUpdate& update) {
                    rows = update.total;
                    ended = update.ended;
                },
                nullptr);
        },
        [&] { return !ended; }, series);
    series->cpuMs << cpuMs(RUSAGE_SELF) - cpuBefore;
    if (rows != SnmpdFixture::kBulkRows)
        *error = QStringLiteral("the runner walked %1 rows").arg(rows);
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
// and Velmora.cfg with the given device lines.
bool writeDataFolder(const Folders& folders, const QByteArray& deviceLines, QString* error)
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
    if (!devices.open(QIODevice::WriteOnly) || devices.write(deviceLines) < 0) {
        *error = QStringLiteral("cannot write Velmora.cfg");
        return false;
    }
    return true;
}

// One target: the figure, the limit and PASS or MISS; unit is "" for a ratio or " ms".
QString targetLine(const QString& what, double figure, double target, const QString& unit = QString())
{
    const bool ratio = unit.isEmpty();
    return QStringLiteral("  %1 %2%5 (target <= %3%5)  %4\n")
        .arg(what, -36)
        .arg(figure, 5, 'f', ratio ? 2 : 1)
        .arg(target, 0, 'f', ratio ? 1 : 0)
        .arg(figure <= target ? QStringLiteral("PASS") : QStringLiteral("MISS"), unit);
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

double longest(const QVector<double>& values)
{
    return values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Selects the agent's column in the window's tree; false when the tree lacks it.
bool selectColumn(MainWindow& window)
{
    const QString column = QLatin1String(SnmpdFixture::kOidBulkColumn);
    TreeModel& model = window.treeModel();
    window.browser()->selectIndex(model.indexFromOid(model.findByPath(column)));
    const OidPtr current = window.browser()->currentOid();
    return current && current->numericPath() == column;
}

// A Velmora.cfg line of the agent's endpoint i, SNMPv2c or SNMPv3.
QByteArray deviceLine(const SnmpdFixture& agent, int i, const QString& credentials)
{
    return (agent.address(i) + QLatin1Char('\t') + QStringLiteral("Default") + QLatin1Char('\t') + credentials +
            QStringLiteral("\r\n"))
        .toUtf8();
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // 250 unreachable devices would fill the output with the reader's debug lines.
    QLoggingCategory::setFilterRules(QStringLiteral("tessaro.*.debug=false"));
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
    // Endpoint 0 is walked; the others answer the busy window's identification.
    const int answering = kIdentifiedDevices - kClosedDevices;
    SnmpdFixture agent;
    QStringList endpoints;
    for (int i = 0; i < answering; ++i)
        endpoints << QStringLiteral("127.0.0.1");
    if (!agent.start(endpoints)) {
        std::fprintf(stderr, "cannot start snmpd: %s\n", qPrintable(agent.errorText()));
        return 1;
    }
    const qint64 agentPid = agent.processId();
    const SnmpdFixture::V3User& user = SnmpdFixture::v3User(QLatin1String(kV3User));
    const SnmpUtils::SnmpParams v3Params{3,
                                         QString(),
                                         QLatin1String(user.name),
                                         user.authProtocol,
                                         QLatin1String(SnmpdFixture::kAuthPassPhrase),
                                         user.privProtocol,
                                         QLatin1String(SnmpdFixture::kPrivPassPhrase)};
    const QString v2c = QStringLiteral("&v2c(\"%1\")").arg(QLatin1String(SnmpdFixture::kCommunity));
    const Folders folders(root.path(), QString(), root.filePath(QStringLiteral("app")), root.path());
    QString error;
    if (!writeDataFolder(
            folders, deviceLine(agent, 0, v2c) + deviceLine(agent, 0, VelmoraFile::credentialsToText(v3Params, false)),
            &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    // The busy window's devices: the agent first, then closed ports with the agent's other
    // endpoints spread among them.
    QTemporaryDir busyRoot;
    const Folders busyFolders(busyRoot.path(), QString(), busyRoot.filePath(QStringLiteral("app")), busyRoot.path());
    QByteArray busyLines = deviceLine(agent, 0, v2c);
    const QByteArray closedLine =
        QStringLiteral("127.0.0.1:%1\tDefault\t%2\r\n").arg(SnmpdFixture::closedPort()).arg(v2c).toUtf8();
    for (int i = 0, endpoint = 1; i < kIdentifiedDevices - 1; ++i)
        busyLines += i % 6 == 5 && endpoint < answering ? deviceLine(agent, endpoint++, v2c) : closedLine;
    if (!writeDataFolder(busyFolders, busyLines, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    // A message box would wait for a user; these answer with the default button.
    ScriptedPrompts prompts;
    MainWindow window(AppContext{folders, settings, services, QString(), clock});
    window.show();
    // Without a device the window would open the device list editor, a modal dialog.
    if (window.devices().size() != 2) {
        std::fprintf(stderr, "the window did not read the agent from Velmora.cfg\n");
        return 1;
    }
    if (!waitFor([&] { return window.isInitialized(); }, 30000)) {
        std::fprintf(stderr, "the window did not finish its start-up\n");
        return 1;
    }
    // The device information query at start-up would share the agent with the first walk.
    if (!waitFor([&] { return SnmpReader::instance()->runningQueries() == 0; }, 15000))
        out() << "note: the agent's device information did not arrive within 15 s\n";
    if (!selectColumn(window)) {
        std::fprintf(stderr, "the tree has no node %s\n", SnmpdFixture::kOidBulkColumn);
        return 1;
    }

    const QString column = QLatin1String(SnmpdFixture::kOidBulkColumn);
    const QStringList target = {QStringLiteral("-On"), agent.address(), QLatin1Char('.') + column};
    const QStringList toolBase =
        QStringList{QStringLiteral("-v2c"), QStringLiteral("-c"), QLatin1String(SnmpdFixture::kCommunity)} + target;
    const QStringList toolV3 = QStringList{QStringLiteral("-v3"),
                                           QStringLiteral("-l"),
                                           QStringLiteral("authPriv"),
                                           QStringLiteral("-u"),
                                           QLatin1String(user.name),
                                           QStringLiteral("-a"),
                                           QLatin1String(user.toolAuth),
                                           QStringLiteral("-A"),
                                           QLatin1String(SnmpdFixture::kAuthPassPhrase),
                                           QStringLiteral("-x"),
                                           QLatin1String(user.toolPriv),
                                           QStringLiteral("-X"),
                                           QLatin1String(SnmpdFixture::kPrivPassPhrase)} +
                               target;
    const int bulkRequests = SnmpdFixture::kBulkRows / kRepetitions + 1;
    const int nextRequests = SnmpdFixture::kBulkRows + 1;
    Series programBulk{QStringLiteral("program GetBulk walk"), bulkRequests};
    Series toolBulk{QStringLiteral("snmpbulkwalk -Cr20"), bulkRequests};
    Series toolBulkDefault{QStringLiteral("snmpbulkwalk (default -Cr10)"), SnmpdFixture::kBulkRows / 10 + 1};
    Series programNext{QStringLiteral("program GetNext walk"), nextRequests};
    Series toolNext{QStringLiteral("snmpwalk"), nextRequests};
    Series programNextV3{QStringLiteral("program GetNext walk, v3"), nextRequests};
    Series toolNextV3{QStringLiteral("snmpwalk, v3"), nextRequests};
    Series busyBulk{QStringLiteral("GetBulk walk, 300 identified"), bulkRequests};
    Series listing{QStringLiteral("index listing"), bulkRequests};
    Series runnerBulk{QStringLiteral("runner alone, GetBulk"), bulkRequests};
    Series runnerNext{QStringLiteral("runner alone, GetNext"), nextRequests};
    QVector<double> cancelMs;

    out() << "query-walk-bench: column " << column << " (" << SnmpdFixture::kBulkRows << " rows) of snmpd at "
          << agent.address() << ", " << runs << " alternating runs\n";
    out().flush();
    // Program and tool runs alternate, so that a change in the machine's load hits both alike.
    for (int run = 0; run < runs; ++run) {
        // The busy window of the run before may still be identifying devices.
        if (!waitFor([&] { return SnmpReader::instance()->runningQueries() == 0; }, 60000))
            out() << "note: the identification of the run before did not end within 60 s\n";
        bool sound = walkInWindow(window, &MainWindow::onGetBulkValue, agentPid, &programBulk, &error) &&
                     walkWithTool(QStringLiteral("snmpbulkwalk"),
                                  QStringList{QStringLiteral("-Cr%1").arg(kRepetitions)} + toolBase, agentPid,
                                  &toolBulk, &error) &&
                     walkWithTool(QStringLiteral("snmpbulkwalk"), toolBase, agentPid, &toolBulkDefault, &error) &&
                     walkInWindow(window, &MainWindow::onGetNextValue, agentPid, &programNext, &error) &&
                     walkWithTool(QStringLiteral("snmpwalk"), toolBase, agentPid, &toolNext, &error);
        SnmpOidUtils::Device device;
        device.ip = agent.address();
        device.params.version = 2;
        device.params.community = QLatin1String(SnmpdFixture::kCommunity);
        sound = sound && walkWithRunner(device, SnmpAsyncReader::GetBulk, &runnerBulk, &error) &&
                walkWithRunner(device, SnmpAsyncReader::GetNext, &runnerNext, &error);
        window.deviceBox()->setCurrentIndex(1);
        sound = sound && walkInWindow(window, &MainWindow::onGetNextValue, agentPid, &programNextV3, &error) &&
                walkWithTool(QStringLiteral("snmpwalk"), toolV3, agentPid, &toolNextV3, &error);
        window.deviceBox()->setCurrentIndex(0);

        // The index listing to its end, then one cancelled after 2,000 rows.
        if (sound) {
            OidIndexSelectionWidget widget;
            widget.setDevice(device);
            widget.setOid(column, false, Oid::OctetString);
            listing.ms << runMeasured([&] { widget.onGetIndices(); }, [&] { return widget.isListing(); }, &listing);
            if (widget.resultsTable()->rowCount() != SnmpdFixture::kBulkRows)
                error = QStringLiteral("the index listing has %1 rows").arg(widget.resultsTable()->rowCount());
            widget.onGetIndices();
            waitFor([&] { return widget.resultsTable()->rowCount() >= 2000; }, kWalkTimeoutMs);
            QElapsedTimer cancelled;
            cancelled.start();
            widget.cancelButton()->click();
            const int rows = widget.resultsTable()->rowCount();
            waitFor([] { return SnmpAsyncReader::instance()->queuedRequests() == 0; }, kWalkTimeoutMs);
            cancelMs << cancelled.nsecsElapsed() / 1e6;
            waitFor([] { return false; }, 100);
            if (widget.isListing() || widget.resultsTable()->rowCount() != rows)
                error = QStringLiteral("rows came after Cancel");
            sound = error.isEmpty();
        }

        // The GetBulk walk again, in a window that identifies 300 devices meanwhile.
        if (sound) {
            MainWindow busy(AppContext{busyFolders, settings, services, QString(), clock});
            busy.show();
            if (!waitFor([&] { return busy.isInitialized(); }, 30000) || !selectColumn(busy)) {
                error = QStringLiteral("the busy window did not start");
                sound = false;
            } else {
                const int identifying = SnmpReader::instance()->runningQueries();
                sound = walkInWindow(busy, &MainWindow::onGetBulkValue, agentPid, &busyBulk, &error);
                if (identifying < SnmpReader::MaxRunningQueries || SnmpReader::instance()->runningQueries() == 0)
                    out() << "note: the identification was not running throughout the walk (" << identifying
                          << " queries at its start)\n";
            }
        }
        if (!sound) {
            std::fprintf(stderr, "ERROR in run %d: %s\n", run + 1, qPrintable(error));
            return 1;
        }
        out() << "run " << run + 1 << ": GetBulk " << qRound(programBulk.ms.last()) << " ms / "
              << qRound(toolBulk.ms.last()) << " ms, GetNext " << qRound(programNext.ms.last()) << " ms / "
              << qRound(toolNext.ms.last()) << " ms, v3 GetNext " << qRound(programNextV3.ms.last()) << " ms / "
              << qRound(toolNextV3.ms.last()) << " ms, busy GetBulk " << qRound(busyBulk.ms.last()) << " ms, listing "
              << qRound(listing.ms.last()) << " ms, cancel " << cancelMs.last() << " ms\n";
        out().flush();
    }

    out() << "\nmedians (cpu: this process / the tool process; agent: snmpd and its helpers)\n";
    out() << QStringLiteral("%1 %2 %3 %4 %5\n")
                 .arg(QStringLiteral("walk"), -30)
                 .arg(QStringLiteral("wall ms"), 9)
                 .arg(QStringLiteral("us/request"), 12)
                 .arg(QStringLiteral("cpu ms"), 8)
                 .arg(QStringLiteral("agent ms"), 10);
    for (const Series* series : {&programBulk, &runnerBulk, &toolBulk, &toolBulkDefault, &programNext, &runnerNext,
                                 &toolNext, &programNextV3, &toolNextV3, &busyBulk})
        printSeries(*series);
    out() << QStringLiteral("%1 %2   stall %3 ms (longest %4)\n")
                 .arg(listing.label, -30)
                 .arg(median(listing.ms), 9, 'f', 0)
                 .arg(median(listing.stallMs), 0, 'f', 1)
                 .arg(longest(listing.stallMs), 0, 'f', 1);

    const double stall = std::max({longest(programBulk.stallMs), longest(programNext.stallMs),
                                   longest(programNextV3.stallMs), longest(busyBulk.stallMs)});
    out() << "\ntargets\n"
          << targetLine(QStringLiteral("GetBulk walk / snmpbulkwalk -Cr20"),
                        median(programBulk.ms) / median(toolBulk.ms), kWalkTarget)
          << targetLine(QStringLiteral("GetNext walk / snmpwalk"), median(programNext.ms) / median(toolNext.ms),
                        kWalkTarget)
          << targetLine(QStringLiteral("v3 GetNext walk / snmpwalk v3"),
                        median(programNextV3.ms) / median(toolNextV3.ms), kV3WalkTarget)
          << targetLine(QStringLiteral("GetBulk walk identifying / alone"),
                        median(busyBulk.ms) / median(programBulk.ms), kBusyWalkTarget)
          << targetLine(QStringLiteral("longest event-loop stall, walks"), stall, kStallTargetMs, QStringLiteral(" ms"))
          << targetLine(QStringLiteral("longest event-loop stall, listing"), longest(listing.stallMs), kStallTargetMs,
                        QStringLiteral(" ms"))
          << targetLine(QStringLiteral("longest Cancel of the listing"), longest(cancelMs), kCancelTargetMs,
                        QStringLiteral(" ms"));
    out() << "  (for information) GetBulk walk / snmpbulkwalk default: "
          << QString::number(median(programBulk.ms) / median(toolBulkDefault.ms), 'f', 2) << '\n';
    for (const ScriptedPrompts::Asked& asked : qAsConst(prompts.asked))
        out() << "note: the window asked (" << asked.kind << ") " << asked.title << ": " << asked.text << '\n';
    out().flush();
    return 0;
}
