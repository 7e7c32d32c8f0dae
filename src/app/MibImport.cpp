#include "app/MibImport.h"

#include "app/AppLog.h"
#include "app/Updater.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

// How long cancel() and the destructor wait for a killed builder.
constexpr int KillWaitMs = 3000;
// A module file larger than this is not scanned for its module names.
constexpr qint64 MaxScannedSize = 16 * 1024 * 1024;

QString decodeName(const QByteArray& token)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(token));
}

// The names of the modules a file defines ("NAME DEFINITIONS ::= BEGIN" at a line's start).
QStringList modulesOfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(file.read(MaxScannedSize));
    static const QRegularExpression header(
        QStringLiteral(R"(^\s*([A-Za-z][-A-Za-z0-9]*)\s+DEFINITIONS\s*(?:\w+\s+TAGS\s*)?::=\s*BEGIN\b)"),
        QRegularExpression::MultilineOption);
    QStringList names;
    for (auto it = header.globalMatch(text); it.hasNext();)
        names << it.next().captured(1);
    return names;
}

// Copies a module file to the kept one through a temporary name. Unlike QFile::copy it does not
// sync every file to the disk, which made keeping a hundred modules take seconds: a kept copy
// lost to a power cut is imported again.
bool keepCopy(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return false;
    QFile existing(to);
    if (existing.open(QIODevice::ReadOnly) && existing.size() == bytes.size() && existing.readAll() == bytes)
        return true;
    const QString part = to + QLatin1String(".part");
    QFile target(part);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate) || target.write(bytes) != bytes.size() ||
        !target.flush()) {
        target.remove();
        return false;
    }
    target.close();
    QFile::remove(to);
    if (QFile::rename(part, to))
        return true;
    QFile::remove(part);
    return false;
}

bool samePath(const QString& a, const QString& b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

} // namespace

MibImport::MibImport(const QString& builder, const QString& database, const QString& moduleFolder, QObject* parent)
    : QObject(parent)
    , m_builder(builder)
    , m_database(database)
    , m_moduleFolder(moduleFolder)
{
    const QString system = QStringLiteral("/usr/share/snmp/mibs");
    m_searchFolders =
        QStringList{system, QString(system + QLatin1String("/iana")), QString(system + QLatin1String("/ietf"))};
}

MibImport::~MibImport()
{
    stopProcess();
    QFile::remove(pendingDatabase());
}

void MibImport::setSearchFolders(const QStringList& folders)
{
    m_searchFolders = folders;
}

bool MibImport::prepareCopy()
{
    if (m_process) {
        m_error = tr("An import is already running.");
        return false;
    }
    m_modules.clear();
    m_summary = Summary();
    m_changed = false;
    m_haveResult = false;
    m_pending.clear();
    m_error.clear();
    m_inputs.clear();
    m_removing.clear();
    if (!QFileInfo(m_database).isFile()) {
        m_error = tr("The MIB database %1 does not exist.").arg(QDir::toNativeSeparators(m_database));
        return false;
    }
    const QString copy = pendingDatabase();
    QFile::remove(copy);
    if (!QFile::copy(m_database, copy)) {
        QFile::remove(copy);
        m_error =
            tr("Cannot write to the folder %1.").arg(QDir::toNativeSeparators(QFileInfo(m_database).absolutePath()));
        return false;
    }
    QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    return true;
}

bool MibImport::start(const QStringList& paths)
{
    if (paths.isEmpty() && !m_process) {
        m_error = tr("No MIB files were chosen.");
        return false;
    }
    if (!prepareCopy())
        return false;

    // The chosen files and the files of the chosen folders, to know later which file held
    // which module; the folders they are in resolve imports too.
    QStringList includes{m_moduleFolder};
    includes += m_searchFolders;
    QStringList absolutePaths; // a relative name could pass for an option of the builder
    for (const QString& path : paths) {
        const QFileInfo info(path);
        absolutePaths << info.absoluteFilePath();
        if (info.isDir()) {
            includes << info.absoluteFilePath();
            const QDir dir(info.absoluteFilePath());
            for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
                m_inputs << entry.absoluteFilePath();
        } else {
            includes << info.absolutePath();
            m_inputs << info.absoluteFilePath();
        }
    }
    QStringList arguments{QStringLiteral("add"), QStringLiteral("-d"), pendingDatabase()};
    QSet<QString> seen;
    for (const QString& folder : qAsConst(includes)) {
        const QString absolute = QFileInfo(folder).absoluteFilePath();
        if (!folder.isEmpty() && QFileInfo(folder).isDir() && !seen.contains(absolute)) {
            seen.insert(absolute);
            arguments << QStringLiteral("-I") << absolute;
        }
    }
    launch(arguments + absolutePaths);
    return true;
}

bool MibImport::startRemoval(const QStringList& modules)
{
    if (modules.isEmpty() && !m_process) {
        m_error = tr("No MIB modules were chosen.");
        return false;
    }
    if (!prepareCopy())
        return false;
    m_removing = modules;
    // "--" keeps a module name from passing for an option.
    launch(QStringList{QStringLiteral("remove"), QStringLiteral("-d"), pendingDatabase(), QStringLiteral("--")} +
           modules);
    return true;
}

QMap<QString, QString> MibImport::importedModules(const QString& moduleFolder)
{
    QMap<QString, QString> modules;
    const QDir dir(moduleFolder);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        for (const QString& name : modulesOfFile(entry.absoluteFilePath()))
            modules.insert(name, entry.absoluteFilePath());
    }
    return modules;
}

void MibImport::launch(const QStringList& arguments)
{
    // The builder finds modules only where it is told to, never through net-snmp's variables.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"MIBS", "MIBDIRS", "MIBFILES", "SNMPCONFPATH"})
        environment.remove(QLatin1String(name));
    m_process = new QProcess(this);
    m_process->setProcessEnvironment(environment);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &MibImport::onOutput);
    connect(m_process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &MibImport::onProcessFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        // No finished() follows; the caller learns it from the event loop, as of any other run.
        m_error = tr("The MIB compiler %1 could not be started: %2")
                      .arg(QDir::toNativeSeparators(m_builder), m_process->errorString());
        QMetaObject::invokeMethod(
            this,
            [this, process = m_process]() {
                if (m_process == process)
                    endRun();
            },
            Qt::QueuedConnection);
    });
    qCInfo(lcApp) << "running the MIB compiler:" << m_builder << arguments;
    m_process->start(m_builder, arguments, QIODevice::ReadOnly);
}

void MibImport::cancel()
{
    if (!m_process)
        return;
    stopProcess();
    m_pending.clear();
    m_error = tr("Cancelled");
    endRun();
}

bool MibImport::isRunning() const
{
    return m_process != nullptr;
}

const QVector<MibImport::Module>& MibImport::modules() const
{
    return m_modules;
}

MibImport::Summary MibImport::summary() const
{
    return m_summary;
}

bool MibImport::hasChanges() const
{
    return m_haveResult && m_changed;
}

QString MibImport::errorText() const
{
    return m_error;
}

bool MibImport::apply()
{
    if (!m_haveResult) {
        m_error = tr("There is no imported MIB database to apply.");
        return false;
    }
    if (m_changed) {
        const QString aside = m_database + QLatin1String(".old");
        if (!Updater::replaceFile(m_database, pendingDatabase(), aside)) {
            m_error = tr("The MIB database %1 could not be replaced.").arg(QDir::toNativeSeparators(m_database));
            return false;
        }
        QFile::remove(aside);
    }
    QFile::remove(pendingDatabase());
    m_haveResult = false;

    if (!m_removing.isEmpty()) {
        // A file goes with the last of its modules: one kept module leaves it in place.
        const QSet<QString> removed(m_removing.cbegin(), m_removing.cend());
        const QMap<QString, QString> imported = importedModules(m_moduleFolder);
        QSet<QString> keep;
        for (auto it = imported.cbegin(); it != imported.cend(); ++it) {
            if (!removed.contains(it.key()))
                keep.insert(it.value());
        }
        for (const QString& file : imported) {
            if (!keep.contains(file) && QFile::exists(file) && !QFile::remove(file))
                qCWarning(lcApp) << "cannot remove the MIB module file" << file;
        }
        return true;
    }

    // The files of the modules that loaded are kept, so that later imports find them.
    QSet<QString> loaded;
    for (const Module& module : qAsConst(m_modules)) {
        if (module.kind != Module::Failed)
            loaded.insert(module.name);
    }
    QDir().mkpath(m_moduleFolder);
    for (const QString& input : qAsConst(m_inputs)) {
        const QStringList names = modulesOfFile(input);
        if (std::none_of(names.cbegin(), names.cend(),
                         [&loaded](const QString& name) { return loaded.contains(name); }))
            continue;
        const QString kept = QDir(m_moduleFolder).filePath(QFileInfo(input).fileName());
        if (!samePath(input, kept) && !keepCopy(input, kept))
            qCWarning(lcApp) << "cannot keep the MIB module file" << input << "in" << m_moduleFolder;
    }
    return true;
}

void MibImport::discard()
{
    if (m_process)
        cancel();
    QFile::remove(pendingDatabase());
    m_haveResult = false;
}

QString MibImport::pendingDatabase() const
{
    return m_database + QLatin1String(".import");
}

void MibImport::onOutput()
{
    m_pending += m_process->readAllStandardOutput();
    int end = 0;
    // A slot of progress may cancel the run: nothing is read after that.
    while (m_process && (end = m_pending.indexOf('\n')) >= 0) {
        parseLine(m_pending.left(end));
        m_pending.remove(0, end + 1);
    }
}

void MibImport::onProcessFinished(int exitCode, QProcess::ExitStatus status)
{
    onOutput();
    if (!m_process)
        return;
    if (!m_pending.isEmpty())
        parseLine(m_pending);
    m_pending.clear();
    if (status == QProcess::NormalExit && exitCode == 0) {
        m_haveResult = true;
        m_process->deleteLater();
        m_process = nullptr;
        emit finished(true);
        return;
    }
    if (status != QProcess::NormalExit)
        m_error = tr("The MIB compiler stopped unexpectedly.");
    else if (m_error.isEmpty()) {
        const QString detail =
            QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed().section(QLatin1Char('\n'), 0, 0);
        m_error = tr("The MIB compiler ended with exit code %1.").arg(exitCode);
        if (!detail.isEmpty())
            m_error += QLatin1Char(' ') + detail;
    }
    endRun();
}

void MibImport::parseLine(const QByteArray& line)
{
    const QList<QByteArray> fields = line.trimmed().split(' ');
    const QByteArray& event = fields.first();
    // The text from field index on: a reason or a message, which may hold blanks.
    const auto rest = [&fields](int index) { return QString::fromUtf8(fields.mid(index).join(' ')); };
    if (event == "progress" && fields.size() >= 4) {
        emit progress(fields.at(1).toInt(), fields.at(2).toInt(), rest(3));
    } else if (event == "module" && fields.size() >= 3) {
        Module module;
        module.name = decodeName(fields.at(1));
        const QByteArray& kind = fields.at(2);
        if (kind == "loaded" || kind == "problems" || kind == "removed") {
            module.kind = kind == "problems" ? Module::Problems : Module::Loaded;
            module.nodes = fields.value(3).toInt();
            module.reason = rest(4);
        } else {
            module.reason = rest(3);
        }
        m_modules.append(module);
    } else if (event == "merged" && fields.size() >= 5) {
        m_summary = {fields.at(1).toInt(), fields.at(2).toInt(), fields.at(3).toInt(), fields.at(4).toInt()};
        m_changed = true;
    } else if (event == "unchanged" && fields.size() >= 2) {
        m_summary = Summary();
        m_summary.total = fields.at(1).toInt();
        m_changed = false;
    } else if (event == "error") {
        m_error = rest(1);
    }
}

void MibImport::stopProcess()
{
    if (!m_process)
        return;
    m_process->disconnect(this);
    m_process->kill();
    if (!m_process->waitForFinished(KillWaitMs))
        qCWarning(lcApp) << "the MIB compiler did not end when killed";
    // Not deleted at once: this may run in a slot of one of its signals.
    m_process->deleteLater();
    m_process = nullptr;
}

void MibImport::endRun()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
    }
    QFile::remove(pendingDatabase());
    m_haveResult = false;
    emit finished(false);
}
