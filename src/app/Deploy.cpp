#include "app/Deploy.h"

#include "app/AppInfo.h"
#include "app/AppLog.h"
#include "platform/Folders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <JlCompress.h>

bool runDeploy(const QString& folder)
{
    const QDir dir(folder);
    const QString archive = dir.filePath(QStringLiteral("Tessaro.zip"));
    QFile::remove(archive);
    if (!JlCompress::compressFile(archive, dir.filePath(Folders::executableName()))) {
        qCWarning(lcApp) << "cannot pack" << Folders::executableName() << "into" << archive;
        return false;
    }

    const qint64 size = QFileInfo(archive).size();
    QFile version(dir.filePath(QStringLiteral("Tessaro.ver")));
    if (!version.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        qCWarning(lcApp) << "cannot write" << version.fileName() << version.errorString();
        return false;
    }
    // The SHA-256 line lets the program check the archive it downloaded before using it.
    QFile packed(archive);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!packed.open(QIODevice::ReadOnly) || !hash.addData(&packed)) {
        qCWarning(lcApp) << "cannot read" << archive << packed.errorString();
        return false;
    }
    const QString text = QStringLiteral("APP_VERSION:%1,%2,%3\nAPP_FILESIZE:%4\n")
                             .arg(AppInfo::versionMajor)
                             .arg(AppInfo::versionMinor)
                             .arg(AppInfo::versionMaintenance)
                             .arg(size) +
                         QStringLiteral("APP_SHA256:%1\n").arg(QString::fromLatin1(hash.result().toHex()));
    if (version.write(text.toLatin1()) == text.size())
        return true;
    qCWarning(lcApp) << "cannot write" << version.fileName() << version.errorString();
    return false;
}
