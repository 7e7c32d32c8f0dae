// Walks of the snmpd test agent by the program's own requests against net-snmp's
// snmpwalk / snmpbulkwalk in the same run, and the device information query of many
// unreachable and live devices against its ideal duration.
//
//   snmp-walk-bench [--runs N] [--no-walks] [--no-reader]

#include "snmp/SnmpOidUtils.h"
#include "snmp/SnmpReader.h"
#include "snmp/SnmpUtils.h"
#include "NetSnmpTool.h"
#include "SnmpdFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

using Walk = QList<QPair<QString, QString>>; // OID, printable value

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// net-snmp's tool (/usr/bin/TOOL) with no configuration or MIB files: stdout then stderr in
// *output; true when it exited with 0 within timeoutMs.
bool runTool(const QString& tool, const QStringList& args, QString* output, int timeoutMs)
{
    QTemporaryDir home;
    QProcess process;
    process.setProcessEnvironment(netSnmpToolEnvironment(home.path()));
    process.start(QStringLiteral("/usr/bin/") + tool, args);
    const bool finished = process.waitForStarted(5000) && process.waitForFinished(timeoutMs);
    if (!finished && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(3000);
    }
    *output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The tools' arguments for the agent with these credentials: 1 s time-out, 1 retry, -On.
QStringList toolArgs(const SnmpdFixture& agent, const SnmpdFixture::V3User* user)
{
    const QString credentials =
        user ? QStringLiteral("-v3 -u %1 -l authPriv -a %2 -A %3 -x %4 -X %5")
                   .arg(QLatin1String(user->name), QLatin1String(user->toolAuth),
                        QLatin1String(SnmpdFixture::kAuthPassPhrase), QLatin1String(user->toolPriv),
                        QLatin1String(SnmpdFixture::kPrivPassPhrase))
             : QStringLiteral("-v2c -c %1").arg(QLatin1String(SnmpdFixture::kCommunity));
    return QString(credentials + QStringLiteral(" -t 1 -r 1 -On ") + agent.address()).split(QLatin1Char(' '));
}

struct Credentials
{
    QString label;
    SnmpOidUtils::Device device;
    QStringList toolArgs;
    double target;
};

bool under(const QString& oid, const QString& base)
{
    return base == QLatin1String("1") ? oid.startsWith(QLatin1String("1.")) : oid.startsWith(base + QLatin1Char('.'));
}

QVector<quint32> numbers(const QString& oid)
{
    QVector<quint32> parts;
    for (const QString& part : oid.split(QLatin1Char('.')))
        parts << part.toUInt();
    return parts;
}

// The walk's stop rules, shared by both request kinds: an exception value, a failed
// request, leaving the base, or an OID that does not increase ends it.
bool accept(const SnmpOidUtils::OidValue& value, const QString& base, Walk* walk)
{
    if (value.oid.isEmpty() || value.isException() || !under(value.oid, base))
        return false;
    if (!walk->isEmpty() && !(numbers(walk->last().first) < numbers(value.oid)))
        return false;
    walk->append({value.oid, value.text.trimmed()});
    return true;
}

constexpr int kMaxRequests = 30000;

Walk walkGetNext(const SnmpOidUtils::Device& device, const QString& base, bool* ok)
{
    Walk walk;
    QString current = base;
    *ok = true;
    for (int i = 0; i < kMaxRequests; ++i) {
        bool answered = false;
        const SnmpOidUtils::OidValue value = SnmpOidUtils::getNext(answered, device, current);
        if (!answered) {
            *ok = false;
            break;
        }
        if (!accept(value, base, &walk))
            break;
        current = value.oid;
    }
    return walk;
}

Walk walkGetBulk(const SnmpOidUtils::Device& device, const QString& base, bool* ok)
{
    Walk walk;
    QString current = base;
    *ok = true;
    for (int i = 0; i < kMaxRequests; ++i) {
        bool answered = false;
        const QList<SnmpOidUtils::OidValue> values = SnmpOidUtils::getBulk(answered, device, current);
        if (!answered) {
            *ok = false;
            break;
        }
        bool more = !values.isEmpty();
        for (const SnmpOidUtils::OidValue& value : values) {
            more = accept(value, base, &walk);
            if (!more)
                break;
        }
        if (!more)
            break;
        current = walk.last().first;
    }
    return walk;
}

// snmpwalk output with -On: ".OID = VALUE" lines; a value may continue on further lines.
Walk parseTool(const QString& output)
{
    Walk walk;
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        const int eq = line.indexOf(QLatin1String(" = "));
        if (line.startsWith(QLatin1Char('.')) && eq > 0) {
            if (line.contains(QLatin1String("No more variables left")))
                continue;
            walk.append({line.mid(1, eq - 1), line.mid(eq + 3).trimmed()});
        } else if (!walk.isEmpty() && !line.isEmpty()) {
            walk.last().second += QLatin1Char('\n') + line.trimmed();
        }
    }
    return walk;
}

// An OBJECT IDENTIFIER value as the tools print it with -On: the program prints it with
// the library's defaults, where the first arc is named ("OID: iso.3.6.1...").
QString numericOidValue(const QString& text)
{
    return text.startsWith(QLatin1String("OID: iso.")) ? QStringLiteral("OID: .1.") + text.mid(9) : text;
}

// Objects whose values move between two walks: sysUpTime and the interface octet counters.
bool isMoving(const QString& oid)
{
    return oid == QLatin1String(SnmpdFixture::kOidSysUpTime) ||
           oid.startsWith(QLatin1String("1.3.6.1.2.1.2.2.1.10.")) ||
           oid.startsWith(QLatin1String("1.3.6.1.2.1.2.2.1.16."));
}

// The first difference, or empty. Of the moving objects only the OIDs count.
QString difference(const Walk& program, const Walk& tool)
{
    const int n = std::min(program.size(), tool.size());
    for (int i = 0; i < n; ++i) {
        if (program.at(i).first != tool.at(i).first)
            return QStringLiteral("OID %1: %2 against %3").arg(i).arg(program.at(i).first, tool.at(i).first);
        if (isMoving(program.at(i).first))
            continue;
        if (numericOidValue(program.at(i).second).simplified() != tool.at(i).second.simplified())
            return QStringLiteral("value of %1: [%2] against [%3]")
                .arg(program.at(i).first, program.at(i).second, tool.at(i).second);
    }
    if (program.size() != tool.size())
        return QStringLiteral("%1 OIDs against %2").arg(program.size()).arg(tool.size());
    return QString();
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

struct Timed
{
    QVector<double> ms;
    QVector<double> cpuMs;
    Walk walk;
    bool ok = true;
};

double cpuMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// One timed run: wall-clock time, and the CPU time of this process (the program's
// requests) or of the finished child processes (the tool).
void timeOnce(Timed* timed, int cpuOf, const std::function<Walk(bool*)>& body)
{
    const double cpuBefore = cpuMs(cpuOf);
    QElapsedTimer clock;
    clock.start();
    bool ok = false;
    Walk walk = body(&ok);
    timed->ms << clock.nsecsElapsed() / 1e6;
    timed->cpuMs << cpuMs(cpuOf) - cpuBefore;
    timed->ok = timed->ok && ok;
    if (timed->ms.size() == 1)
        timed->walk = walk;
}

// Returns false when a walk failed or the program and the tool disagree.
bool benchWalks(const SnmpdFixture& agent, int runs)
{
    SnmpOidUtils::Device v2c;
    v2c.ip = agent.address();
    v2c.params.version = 2;
    v2c.params.community = QLatin1String(SnmpdFixture::kCommunity);

    const SnmpdFixture::V3User& user = SnmpdFixture::v3User(QStringLiteral("aes256User"));
    SnmpOidUtils::Device v3;
    v3.ip = agent.address();
    v3.params.version = 3;
    v3.params.userName = QLatin1String(user.name);
    v3.params.authProtocol = user.authProtocol;
    v3.params.authPassword = QLatin1String(SnmpdFixture::kAuthPassPhrase);
    v3.params.privProtocol = user.privProtocol;
    v3.params.privPassword = QLatin1String(SnmpdFixture::kPrivPassPhrase);

    const QVector<Credentials> credentials = {
        {QStringLiteral("SNMPv2c"), v2c, toolArgs(agent, nullptr), 1.3},
        {QStringLiteral("SNMPv3 SHA-256/AES-256"), v3, toolArgs(agent, &user), 2.0},
    };
    const QVector<QPair<QString, QString>> subtrees = {
        {QStringLiteral("10,000-row table"), QLatin1String(SnmpdFixture::kOidBulkColumn)},
        {QStringLiteral("whole view"), QStringLiteral("1")},
    };

    bool sound = true;
    out() << "Walks (median of " << runs << " alternating runs each; ratio = program / net-snmp tool;\n"
          << "cpu = CPU time of the program's requests / of the tool process)\n";
    out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                 .arg(QStringLiteral("version"), -24)
                 .arg(QStringLiteral("subtree"), -18)
                 .arg(QStringLiteral("request"), -8)
                 .arg(QStringLiteral("OIDs"), 6)
                 .arg(QStringLiteral("program ms"), 11)
                 .arg(QStringLiteral("tool ms"), 9)
                 .arg(QStringLiteral("ratio (target)"), 15);
    out().flush();
    for (const Credentials& c : credentials) {
        for (const auto& subtree : subtrees) {
            for (const bool bulk : {false, true}) {
                const QString base = subtree.second;
                const QString toolName = bulk ? QStringLiteral("snmpbulkwalk") : QStringLiteral("snmpwalk");
                // The program asks for 20 repetitions per GETBULK; so does the tool here.
                const QStringList args = (bulk ? QStringList{QStringLiteral("-Cr20")} : QStringList()) + c.toolArgs +
                                         QStringList{QLatin1Char('.') + base};
                QString lastOutput;
                Timed program;
                Timed tool;
                // Alternating runs, so that a change in the machine's load hits both alike.
                for (int run = 0; run < runs; ++run) {
                    timeOnce(&program, RUSAGE_SELF, [&](bool* ok) {
                        return bulk ? walkGetBulk(c.device, base, ok) : walkGetNext(c.device, base, ok);
                    });
                    timeOnce(&tool, RUSAGE_CHILDREN, [&](bool* ok) {
                        QString output;
                        *ok = runTool(toolName, args, &output, 600000);
                        lastOutput = output;
                        return parseTool(output);
                    });
                }
                const double programMs = median(program.ms);
                const double toolMs = median(tool.ms);
                const double ratio = toolMs > 0 ? programMs / toolMs : 0;
                const double cpuRatio = median(tool.cpuMs) > 0 ? median(program.cpuMs) / median(tool.cpuMs) : 0;
                QString verdict = ratio <= c.target ? QStringLiteral("met") : QStringLiteral("MISSED");
                QString problem;
                if (!program.ok)
                    problem = QStringLiteral("program walk failed");
                else if (!tool.ok)
                    problem = toolName + QStringLiteral(" failed: ") + lastOutput.right(300);
                else
                    problem = difference(program.walk, tool.walk);
                out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 (%8) %9   cpu %10 / %11 ms = %12\n")
                             .arg(c.label, -24)
                             .arg(subtree.first, -18)
                             .arg(bulk ? QStringLiteral("getBulk") : QStringLiteral("getNext"), -8)
                             .arg(program.walk.size(), 6)
                             .arg(programMs, 11, 'f', 0)
                             .arg(toolMs, 9, 'f', 0)
                             .arg(ratio, 5, 'f', 2)
                             .arg(c.target, 0, 'f', 1)
                             .arg(verdict, -6)
                             .arg(median(program.cpuMs), 0, 'f', 0)
                             .arg(median(tool.cpuMs), 0, 'f', 0)
                             .arg(cpuRatio, 0, 'f', 2);
                if (!problem.isEmpty()) {
                    out() << "    DIFFERENT from " << toolName << ": " << problem << '\n';
                    sound = false;
                }
                out().flush();
            }
        }
    }
    return sound;
}

// 100 closed ports and 20 live endpoints in one request group of the device query.
bool benchReader()
{
    constexpr int kLive = 20;
    constexpr int kClosed = 100;
    SnmpdFixture live;
    QStringList hosts;
    for (int i = 0; i < kLive; ++i)
        hosts << QStringLiteral("127.0.0.%1").arg(2 + i);
    if (!live.start(hosts)) {
        out() << "cannot start the agent for the device query: " << live.errorText() << '\n';
        return false;
    }
    QSet<quint16> taken;
    for (int i = 0; i < kLive; ++i)
        taken.insert(live.port(i));
    QStringList closed;
    for (int attempts = 0; closed.size() < kClosed && attempts < 10 * kClosed; ++attempts) {
        const quint16 port = SnmpdFixture::closedPort();
        if (port != 0 && !taken.contains(port)) {
            taken.insert(port);
            closed << QStringLiteral("127.0.0.1:%1").arg(port);
        }
    }

    SnmpUtils::SnmpParams params;
    params.version = 2;
    params.community = QLatin1String(SnmpdFixture::kCommunity);
    SnmpReader* reader = SnmpReader::instance();
    int resolved = 0;
    int named = 0;
    QEventLoop loop;
    const auto onHost =
        QObject::connect(reader, &SnmpReader::HostResolved, &loop, [&](const SnmpReader::HostInfoResult& result, int) {
            ++resolved;
            if (result.ok && result.sysName == QLatin1String(SnmpdFixture::kSysName))
                ++named;
        });
    const auto onAll = QObject::connect(reader, &SnmpReader::AllHostsResolved, &loop, [&](int) { loop.quit(); });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);

    // Unreachable devices first: the live ones wait for free slots, as in a device list
    // that starts with dead entries.
    const QStringList addresses = closed + live.allAddresses();
    QElapsedTimer clock;
    clock.start();
    for (const QString& address : addresses)
        reader->requestHostInfo(address, params, SnmpReader::SystemInfo | SnmpReader::Interfaces, 1);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    QObject::disconnect(onHost);
    QObject::disconnect(onAll);

    const double timeout = SnmpReader::QueryTimeoutMicroseconds / 1e6 * (SnmpReader::QueryRetries + 1);
    const int rounds = static_cast<int>(std::ceil(double(addresses.size()) / SnmpReader::MaxRunningQueries));
    const double ideal = rounds * timeout;
    out() << "\nDevice information query: " << closed.size() << " closed ports + " << kLive << " live endpoints, "
          << SnmpReader::MaxRunningQueries << " at a time\n";
    out() << QStringLiteral("    %1 s until AllHostsResolved; %2 answered, %3 of %4 live ones named\n")
                 .arg(seconds, 0, 'f', 2)
                 .arg(resolved)
                 .arg(named)
                 .arg(kLive);
    out() << QStringLiteral("    ideal %1 rounds x %2 s time-out = %3 s; ratio %4\n")
                 .arg(rounds)
                 .arg(timeout, 0, 'f', 1)
                 .arg(ideal, 0, 'f', 1)
                 .arg(seconds / ideal, 0, 'f', 2);
    out().flush();
    return resolved == addresses.size() && named == kLive;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 3;
    bool walks = true;
    bool readerBench = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args.at(++i).toInt());
        else if (args.at(i) == QLatin1String("--no-walks"))
            walks = false;
        else if (args.at(i) == QLatin1String("--no-reader"))
            readerBench = false;
        else {
            std::fprintf(stderr, "usage: snmp-walk-bench [--runs N] [--no-walks] [--no-reader]\n");
            return 2;
        }
    }

    SnmpUtils::initLibrary();
    bool sound = true;
    if (walks) {
        SnmpdFixture agent;
        if (!agent.start()) {
            std::fprintf(stderr, "cannot start snmpd: %s\n", qPrintable(agent.errorText()));
            SnmpUtils::shutdownLibrary();
            return 1;
        }
        sound = benchWalks(agent, runs);
    }
    if (readerBench)
        sound = benchReader() && sound;
    SnmpUtils::shutdownLibrary();
    return sound ? 0 : 1;
}
