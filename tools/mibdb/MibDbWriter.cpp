#include "MibDbWriter.h"

#include "mib/MibDatabase.h"
#include "ReplaceFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QVariant>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool execute(QSqlQuery& query, QString* error)
{
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

// Puts the file's bytes on the disk before it may take another file's place.
bool syncFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite))
        return false;
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return fsync(file.handle()) == 0;
#endif
}

qint64 rowId(const QVector<MibNodeRecord>& nodes, int index)
{
    return nodes.at(index).id > 0 ? nodes.at(index).id : index + 1;
}

} // namespace

MibDbWriter::MibDbWriter(const QString& fileName)
    : m_fileName(fileName)
{
}

MibDbWriter::~MibDbWriter() = default;

QString MibDbWriter::errorString() const
{
    return m_error;
}

bool MibDbWriter::write(const QVector<MibNodeRecord>& nodes, int major, int minor)
{
    m_error.clear();
    const QFileInfo target(m_fileName);
    if (!QDir().mkpath(target.absolutePath())) {
        m_error = QStringLiteral("cannot create the folder %1").arg(target.absolutePath());
        return false;
    }

    QTemporaryFile temp(target.absoluteFilePath() + QStringLiteral(".XXXXXX.tmp"));
    if (!temp.open()) {
        m_error = QStringLiteral("cannot create a temporary file beside %1: %2").arg(m_fileName, temp.errorString());
        return false;
    }
    const QString tempName = temp.fileName();
    temp.close();
    // Temporary files are private to their owner; a database is meant to be shared.
    temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);

    if (!fill(tempName, nodes, major, minor)) {
        QFile::remove(tempName + QStringLiteral("-journal"));
        return false;
    }
    // SQLite wrote without syncing (see fill()): the finished file is synced once.
    if (!syncFile(tempName)) {
        m_error = QStringLiteral("cannot write %1 to the disk").arg(tempName);
        return false;
    }
    if (!replaceFile(tempName, target.absoluteFilePath())) {
        m_error = QStringLiteral("cannot rename %1 to %2").arg(tempName, m_fileName);
        return false;
    }
    temp.setAutoRemove(false);
    return true;
}

bool MibDbWriter::fill(const QString& tempFileName, const QVector<MibNodeRecord>& nodes, int major, int minor)
{
    // The schema comes from MibDatabase itself, so the program and the builder cannot
    // disagree about it.
    MibDatabase database;
    database.setFileName(tempFileName);
    const int status = database.open(false);
    if (status != MibDatabase::Usable) {
        m_error = QStringLiteral("cannot create the database %1 (status %2)").arg(tempFileName).arg(status);
        return false;
    }
    QSqlDatabase db = database.database();
    // A temporary file that is never put in place unfinished needs no sync of every step;
    // write() syncs the finished file.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = OFF"));
    database.writeVersion(MibDatabase::SupportedFormat, major, minor);

    if (!db.transaction()) {
        m_error = db.lastError().text();
        return false;
    }

    QSqlQuery node(db);
    QSqlQuery enumeration(db);
    QSqlQuery range(db);
    const bool prepared =
        node.prepare(QStringLiteral("INSERT INTO node (id, parent_id, name, number, type, access, module, filename, "
                                    "last_updated, description) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
        enumeration.prepare(QStringLiteral("INSERT INTO enum (node_id, label, value) VALUES (?, ?, ?)")) &&
        range.prepare(QStringLiteral("INSERT INTO range (node_id, low, high) VALUES (?, ?, ?)"));
    if (!prepared) {
        m_error = QStringLiteral("the database has not the expected tables: %1")
                      .arg(node.lastError().text() + enumeration.lastError().text() + range.lastError().text());
        db.rollback();
        return false;
    }

    bool ok = true;
    for (int i = 0; ok && i < nodes.size(); ++i) {
        const MibNodeRecord& record = nodes.at(i);
        const qint64 id = rowId(nodes, i);
        node.bindValue(0, id);
        node.bindValue(1, record.parentIndex < 0 ? QVariant(QVariant::LongLong)
                                                 : QVariant(rowId(nodes, record.parentIndex)));
        node.bindValue(2, record.name);
        node.bindValue(3, record.number);
        node.bindValue(4, record.type);
        node.bindValue(5, record.access);
        node.bindValue(6, record.module);
        node.bindValue(7, record.filename);
        node.bindValue(8, record.lastUpdated);
        node.bindValue(9, record.description.isEmpty() ? QVariant(QVariant::String) : QVariant(record.description));
        ok = execute(node, &m_error);
        for (int e = 0; ok && e < record.enums.size(); ++e) {
            enumeration.bindValue(0, id);
            enumeration.bindValue(1, record.enums.at(e).label);
            enumeration.bindValue(2, record.enums.at(e).value);
            ok = execute(enumeration, &m_error);
        }
        for (int r = 0; ok && r < record.ranges.size(); ++r) {
            range.bindValue(0, id);
            range.bindValue(1, record.ranges.at(r).low);
            range.bindValue(2, record.ranges.at(r).high);
            ok = execute(range, &m_error);
        }
    }
    if (!ok) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        m_error = db.lastError().text();
        return false;
    }

    int format = 0;
    int storedMajor = 0;
    int storedMinor = 0;
    if (!database.readVersion(&format, &storedMajor, &storedMinor) || format != MibDatabase::SupportedFormat ||
        storedMajor != major || storedMinor != minor) {
        m_error = QStringLiteral("the version row could not be written");
        return false;
    }
    node.finish();
    enumeration.finish();
    range.finish();
    database.close();

    // Read back as the program reads it, before it can replace anything.
    MibDatabase check;
    check.setFileName(tempFileName);
    const int checked = check.check();
    const int loaded =
        checked == MibDatabase::Usable && check.open(true) == MibDatabase::Usable ? check.loadNodes().size() : -1;
    if (loaded != nodes.size()) {
        m_error = QStringLiteral("the written database reads back with %1 of %2 nodes (status %3)")
                      .arg(loaded)
                      .arg(nodes.size())
                      .arg(checked);
        return false;
    }
    return true;
}
