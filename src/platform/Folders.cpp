#include "platform/Folders.h"

#include "platform/PlatformLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace {

// Qt's separator; the native one is turned into it, so both count as "already there". An
// empty folder stays empty (relative to the current directory) rather than becoming "/".
QString withSeparator(const QString& folder)
{
    QString result = QDir::fromNativeSeparators(folder);
    if (!result.isEmpty() && !result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

} // namespace

Folders::Folders()
    : Folders(qEnvironmentVariable("ProgramData"), defaultDataBase(), QCoreApplication::applicationDirPath(),
              QDir::currentPath())
{
}

Folders::Folders(const QString& programData, const QString& defaultBase, const QString& applicationFolder,
                 const QString& workingFolder)
    : m_data(dataFolderFor(programData, defaultBase))
    , m_application(withSeparator(applicationFolder))
    , m_working(withSeparator(workingFolder))
{
}

bool Folders::createDataFolder() const
{
    if (QDir().mkpath(m_data))
        return true;
    qCWarning(lcPlatform) << "cannot create the data folder" << m_data;
    return false;
}

QString Folders::dataFolderFor(const QString& programData, const QString& defaultBase)
{
    const QString base = programData.isEmpty() ? defaultBase : programData;
    return withSeparator(base) + QLatin1String("Brantwick/Tessaro/");
}

QString Folders::defaultDataBase()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:/ProgramData/");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#endif
}

QString Folders::executableName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Tessaro.exe");
#else
    return QStringLiteral("Tessaro");
#endif
}

QString Folders::oldExecutableName()
{
    return executableName() + QLatin1String(".old");
}

QString Folders::tempExecutableName()
{
    return executableName() + QLatin1String(".temp");
}
