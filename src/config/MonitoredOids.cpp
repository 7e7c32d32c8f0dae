#include "config/MonitoredOids.h"

#include <QDir>
#include <QFile>

MonitoredOids::MonitoredOids(const QString& path, const QString& historyFolder)
    : m_path(path)
    , m_historyFolder(historyFolder)
{
}

void MonitoredOids::load()
{
    m_entries = readOidEntries(m_path);
    m_changed.clear();
    m_error.clear();
}

void MonitoredOids::add(const OidEntry& entry)
{
    m_entries.append(entry);
    m_changed.insert(entry.fileName);
}

void MonitoredOids::replace(const QList<OidEntry>& entries, const QSet<QString>& changedFileNames)
{
    if (changedFileNames.isEmpty())
        return;
    m_entries = entries;
    m_changed.unite(changedFileNames);
}

QString MonitoredOids::historyFile(const QString& fileName) const
{
    // The names come from the legend label the user typed; they must not reach other folders.
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')) ||
        fileName == QLatin1String("..") || fileName == QLatin1String("."))
        return {};
    return QDir(m_historyFolder).filePath(fileName + QStringLiteral(".dat"));
}

bool MonitoredOids::savePending()
{
    if (m_changed.isEmpty())
        return true;
    QString reason;
    if (!writeOidEntries(m_path, m_entries, &reason)) {
        m_error = reason;
        return false;
    }
    m_error.clear();
    for (const QString& name : qAsConst(m_changed)) {
        const QString file = historyFile(name);
        if (!file.isEmpty())
            QFile::remove(file);
    }
    m_changed.clear();
    return true;
}
