#pragma once

#include <QString>

// Prepares a MIB database for the update server: OUTDIR/MIB.zip holding the single entry
// MIB.db, and OUTDIR/MIB.ver naming the database's version and the archive's size.
class MibPackager final
{
public:
    MibPackager();
    ~MibPackager();
    Q_DISABLE_COPY_MOVE(MibPackager)

    bool package(const QString& databaseFile, const QString& outputDir);
    QString errorString() const;

    // Valid after a successful package().
    int major() const;
    int minor() const;
    qint64 archiveSize() const;

private:
    bool readVersion(const QString& databaseFile);
    bool writeArchive(const QString& databaseFile, const QString& archiveFile);

    QString m_error;
    int m_major = 0;
    int m_minor = 0;
    qint64 m_archiveSize = 0;
};
