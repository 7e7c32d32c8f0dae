#include "MibPackager.h"

#include "mib/MibDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

namespace {

const QString ArchiveEntry = QStringLiteral("MIB.db");

QString statusText(int status)
{
    switch (status) {
    case MibDatabase::Missing:
        return QStringLiteral("no such file");
    case MibDatabase::Damaged:
        return QStringLiteral("not a MIB database, or damaged");
    case MibDatabase::Unsupported:
        return QStringLiteral("unsupported database format");
    default:
        return QStringLiteral("unusable (status %1)").arg(status);
    }
}

} // namespace

MibPackager::MibPackager() = default;

MibPackager::~MibPackager() = default;

QString MibPackager::errorString() const
{
    return m_error;
}

int MibPackager::major() const
{
    return m_major;
}

int MibPackager::minor() const
{
    return m_minor;
}

qint64 MibPackager::archiveSize() const
{
    return m_archiveSize;
}

bool MibPackager::package(const QString& databaseFile, const QString& outputDir)
{
    m_error.clear();
    if (!readVersion(databaseFile))
        return false;
    if (!QDir().mkpath(outputDir)) {
        m_error = QStringLiteral("cannot create the folder %1").arg(outputDir);
        return false;
    }
    const QDir dir(outputDir);
    const QString archiveFile = dir.absoluteFilePath(QStringLiteral("MIB.zip"));
    if (!writeArchive(databaseFile, archiveFile))
        return false;
    m_archiveSize = QFileInfo(archiveFile).size();

    QSaveFile version(dir.absoluteFilePath(QStringLiteral("MIB.ver")));
    // The SHA-256 line lets the program check the archive it downloaded before using it.
    QFile archive(archiveFile);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!archive.open(QIODevice::ReadOnly) || !hash.addData(&archive)) {
        m_error = QStringLiteral("cannot read %1: %2").arg(archiveFile, archive.errorString());
        return false;
    }
    const QByteArray text =
        QStringLiteral("DB_VERSION:%1,%2\nDB_FILESIZE:%3\n").arg(m_major).arg(m_minor).arg(m_archiveSize).toLatin1() +
        "DB_SHA256:" + hash.result().toHex() + '\n';
    if (!version.open(QIODevice::WriteOnly) || version.write(text) != text.size() || !version.commit()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(version.fileName(), version.errorString());
        return false;
    }
    return true;
}

bool MibPackager::readVersion(const QString& databaseFile)
{
    MibDatabase database;
    database.setFileName(databaseFile);
    int status = database.check();
    if (status == MibDatabase::Usable)
        status = database.open(true);
    if (status != MibDatabase::Usable) {
        m_error = QStringLiteral("%1: %2").arg(databaseFile, statusText(status));
        return false;
    }
    int format = 0;
    const bool read = database.readVersion(&format, &m_major, &m_minor);
    database.close();
    if (!read || format != MibDatabase::SupportedFormat) {
        m_error = QStringLiteral("%1: %2").arg(databaseFile, statusText(MibDatabase::Damaged));
        return false;
    }
    return true;
}

bool MibPackager::writeArchive(const QString& databaseFile, const QString& archiveFile)
{
    QFile input(databaseFile);
    if (!input.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read %1: %2").arg(databaseFile, input.errorString());
        return false;
    }

    // Written beside its final name and moved there on commit, so a failure never leaves
    // the server folder with a broken MIB.zip.
    QSaveFile archive(archiveFile);
    if (!archive.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot create %1: %2").arg(archiveFile, archive.errorString());
        return false;
    }
    QuaZip zip(&archive);
    zip.setAutoClose(false);
    bool ok = zip.open(QuaZip::mdCreate);
    if (ok) {
        QuaZipFile entry(&zip);
        ok = entry.open(QIODevice::WriteOnly, QuaZipNewInfo(ArchiveEntry, databaseFile));
        while (ok && !input.atEnd()) {
            const QByteArray chunk = input.read(1 << 20);
            ok = !chunk.isEmpty() && entry.write(chunk) == chunk.size();
        }
        if (entry.isOpen())
            entry.close();
        ok = ok && entry.getZipError() == ZIP_OK;
        zip.close();
        ok = ok && zip.getZipError() == ZIP_OK;
    }
    if (!ok || !archive.commit()) {
        m_error = QStringLiteral("cannot write %1 (zip error %2): %3")
                      .arg(archiveFile)
                      .arg(zip.getZipError())
                      .arg(archive.errorString());
        return false;
    }
    return true;
}
