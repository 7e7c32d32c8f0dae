#pragma once

#include "mib/Oid.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

// The SQLite connection to MIB.db: checks a file before use, opens it (creating the
// schema in an empty file), reads and writes the version row and loads every node.
// Every MibDatabase has a connection of its own, named uniquely and removed with it.
class MibDatabase final
{
public:
    enum Status
    {
        Usable = 0,
        Missing = 1,    // check only: no file at fileName
        Damaged = 2,    // cannot be opened, or no readable version row
        Unsupported = 3 // version format other than 1 (open: other than 0 and 1)
    };

    static constexpr int SupportedFormat = 1;

    MibDatabase();
    ~MibDatabase();
    Q_DISABLE_COPY_MOVE(MibDatabase)

    void setFileName(const QString& fileName);
    QString fileName() const;

    // Inspects the file without keeping it open; major and minor are reported even for
    // an unsupported format. Either pointer may be null.
    int check(int* major = nullptr, int* minor = nullptr);
    // Opens the file and leaves it open; a file without a version row gets the schema
    // and a version row unless readOnly.
    int open(bool readOnly);
    void close();
    bool isOpen() const;

    bool readVersion(int* format, int* major, int* minor) const;
    void writeVersion(int format, int major, int minor);

    // Every node with its enumerations and ranges, unlinked.
    QVector<OidPtr> loadNodes() const;

    QSqlDatabase database() const { return m_db; }

    // The exact statements that create an empty database, in order.
    static QStringList schemaStatements();
    // Today's date in UTC as yyyymmdd: the major version of a database made today.
    static int todayVersion();

private:
    QString m_connection;
    QSqlDatabase m_db;
    QString m_fileName;
};
