#include "platform/SystemdServiceManager.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace {

// A unit's name is letters, digits and ":-_.\@"; what list-dependencies puts before it
// (indentation, tree lines, state bullets) is none of these.
bool isUnitNameChar(QChar c)
{
    return c.isLetterOrNumber() || QStringLiteral(":-_.\\@").contains(c);
}

} // namespace

SystemdServiceManager::SystemdServiceManager(int commandTimeoutMs)
    : m_program(QProcessEnvironment::systemEnvironment().value(QStringLiteral("TESSARO_SYSTEMCTL")))
    , m_timeoutMs(commandTimeoutMs)
{
    if (m_program.isEmpty())
        m_program = QStringLiteral("systemctl");
}

SystemdServiceManager::Output SystemdServiceManager::run(const QStringList& arguments) const
{
    Output output;
    QProcess process;
    process.setProgram(m_program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(m_timeoutMs))
        return output;
    if (!process.waitForFinished(m_timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return output;
    }
    output.ran = process.exitStatus() == QProcess::NormalExit;
    output.exitCode = process.exitCode();
    output.text = QString::fromUtf8(process.readAllStandardOutput());
    return output;
}

bool SystemdServiceManager::open(const QString& name)
{
    if (name.isEmpty())
        return false;
    const Output output =
        run({QStringLiteral("show"), QStringLiteral("--property=LoadState"), QStringLiteral("--value"), name});
    return output.ran && output.text.trimmed() == QLatin1String("loaded");
}

std::optional<ServiceManager::Status> SystemdServiceManager::query(const QString& name)
{
    const Output output = run({QStringLiteral("is-active"), name});
    if (!output.ran)
        return std::nullopt;
    // is-active ends with 3 for a unit that is not active; its word tells the state.
    const QString word = output.text.trimmed();
    Status status;
    if (word == QLatin1String("active"))
        status.state = State::Running;
    else if (word == QLatin1String("activating"))
        status.state = State::StartPending;
    else if (word == QLatin1String("deactivating"))
        status.state = State::StopPending;
    return status;
}

bool SystemdServiceManager::start(const QString& name)
{
    const Output output = run({QStringLiteral("start"), QStringLiteral("--no-block"), name});
    return output.ran && output.exitCode == 0;
}

bool SystemdServiceManager::stop(const QString& name)
{
    const Output output = run({QStringLiteral("stop"), QStringLiteral("--no-block"), name});
    return output.ran && output.exitCode == 0;
}

std::optional<QStringList> SystemdServiceManager::activeDependents(const QString& name)
{
    const Output output =
        run({QStringLiteral("list-dependencies"), QStringLiteral("--reverse"), QStringLiteral("--plain"), name});
    if (!output.ran || output.exitCode != 0)
        return std::nullopt;
    // The first line is the unit itself; its dependents follow, indented.
    QStringList lines = output.text.split(QLatin1Char('\n'));
    if (!lines.isEmpty())
        lines.removeFirst();
    QStringList active;
    for (const QString& line : qAsConst(lines)) {
        int begin = 0;
        while (begin < line.size() && !isUnitNameChar(line.at(begin)))
            ++begin;
        int end = begin;
        while (end < line.size() && isUnitNameChar(line.at(end)))
            ++end;
        const QString unit = line.mid(begin, end - begin);
        if (unit.isEmpty() || unit == name || active.contains(unit))
            continue;
        const std::optional<Status> status = query(unit);
        if (!status)
            return std::nullopt;
        if (status->state == State::Running)
            active.append(unit);
    }
    return active;
}
