#include "app/DatabaseStartup.h"

#include "app/AppLog.h"
#include "mib/MibDatabase.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

std::optional<DatabaseWarning> openMibDatabase(MibDatabase& database, const Folders& folders)
{
    // QFile::copy writes a temporary file first, so an interrupted copy leaves no damaged MIB.db.
    const QString path = folders.dataFile(QStringLiteral("MIB.db"));
    const QString installed = folders.applicationFile(QStringLiteral("MIB.db"));
    if (!QFile::exists(path) && QFile::exists(installed) && !QFile::copy(installed, path))
        qCWarning(lcApp) << "cannot copy the default MIB database" << installed << "to" << path;

    database.setFileName(path);
    QString problem;
    switch (database.check()) {
    case MibDatabase::Missing:
        problem = tr("OID Database not found.");
        break;
    case MibDatabase::Damaged:
        problem = tr("Database file is damaged.");
        break;
    case MibDatabase::Unsupported:
        problem = tr("Database file is not supported by this version of application.");
        break;
    default:
        if (database.open(false) == MibDatabase::Usable)
            return std::nullopt;
        qCWarning(lcApp) << "cannot open the MIB database" << path;
        return DatabaseWarning{tr("Failed to open database"),
                               tr("Failed to open database file %1\nDownload latest database file from server.")
                                   .arg(QDir::toNativeSeparators(path))};
    }
    qCWarning(lcApp) << "the MIB database" << path << "is missing, damaged or of another format";
    return DatabaseWarning{QString(),
                           problem + QLatin1Char('\n') + tr("The database will be downloaded from the server.")};
}
