#include "MibDbWriter.h"

#include "mib/MibDatabase.h"
#include "mib/SqliteFile.h"
#include "ReplaceFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

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

// The rows go straight through SQLite: Qt's binding converts every value to a QVariant and
// every text to UTF-16, which took a third of a build.
bool MibDbWriter::writeRows(const QString& tempFileName, const QVector<MibNodeRecord>& nodes)
{
    SqliteFile file(tempFileName, SqliteFile::Mode::ReadWrite);
    if (!file.execute("PRAGMA synchronous = OFF") || !file.execute("PRAGMA foreign_keys = ON") ||
        !file.execute("BEGIN")) {
        m_error = QStringLiteral("cannot write the database %1: %2").arg(tempFileName, file.errorString());
        return false;
    }
    bool ok = true;
    {
        SqliteStatement node(file.handle(),
                             "INSERT INTO node (id, parent_id, name, number, type, access, module, "
                             "filename, last_updated, description) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        SqliteStatement enumeration(file.handle(), "INSERT INTO enum (node_id, label, value) VALUES (?, ?, ?)");
        SqliteStatement range(file.handle(), "INSERT INTO range (node_id, low, high) VALUES (?, ?, ?)");
        if (!node.isValid() || !enumeration.isValid() || !range.isValid()) {
            m_error = QStringLiteral("the database has not the expected tables: %1").arg(file.errorString());
            ok = false;
        }
        for (int i = 0; ok && i < nodes.size(); ++i) {
            const MibNodeRecord& record = nodes.at(i);
            const qint64 id = rowId(nodes, i);
            node.bindInt(1, id);
            if (record.parentIndex < 0)
                node.bindNull(2);
            else
                node.bindInt(2, rowId(nodes, record.parentIndex));
            node.bindText(3, record.name);
            node.bindInt(4, record.number);
            node.bindInt(5, record.type);
            node.bindInt(6, record.access);
            node.bindText(7, record.module);
            node.bindText(8, record.filename);
            node.bindInt(9, record.lastUpdated);
            node.bindText(10, record.description.isEmpty() ? QString() : record.description);
            ok = node.run(&m_error);
            for (int e = 0; ok && e < record.enums.size(); ++e) {
                enumeration.bindInt(1, id);
                enumeration.bindText(2, record.enums.at(e).label);
                enumeration.bindInt(3, record.enums.at(e).value);
                ok = enumeration.run(&m_error);
            }
            for (int r = 0; ok && r < record.ranges.size(); ++r) {
                range.bindInt(1, id);
                range.bindInt(2, record.ranges.at(r).low);
                range.bindInt(3, record.ranges.at(r).high);
                ok = range.run(&m_error);
            }
        }
    } // the statements are finalized before the transaction ends
    if (!ok) {
        file.execute("ROLLBACK");
        return false;
    }
    if (!file.execute("COMMIT")) {
        m_error = file.errorString();
        return false;
    }
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
    // A temporary file that is never put in place unfinished needs no sync of every step;
    // write() syncs the finished file.
    QSqlQuery(database.database()).exec(QStringLiteral("PRAGMA synchronous = OFF"));
    database.writeVersion(MibDatabase::SupportedFormat, major, minor);
    int format = 0;
    int storedMajor = 0;
    int storedMinor = 0;
    if (!database.readVersion(&format, &storedMajor, &storedMinor) || format != MibDatabase::SupportedFormat ||
        storedMajor != major || storedMinor != minor) {
        m_error = QStringLiteral("the version row could not be written");
        return false;
    }
    database.close();

    if (!writeRows(tempFileName, nodes))
        return false;

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
