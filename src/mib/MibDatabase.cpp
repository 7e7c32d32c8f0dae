#include "mib/MibDatabase.h"

#include "mib/MibLog.h"
#include "mib/SqliteFile.h"

#include <QDateTime>
#include <QAtomicInt>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const char* const readOnlyOption = "QSQLITE_OPEN_READONLY";

// Seconds beyond this cannot be turned into milliseconds without overflow; such a stored
// value is garbage and leaves the date invalid.
constexpr qint64 maxEpochSeconds = Q_INT64_C(100000000000000);

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("tessaro-mib-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

// Module and file names repeat for every node of a module: keep one shared copy of each.
class StringPool final
{
public:
    QString get(const QByteArray& utf8)
    {
        if (utf8.isEmpty())
            return QString();
        auto it = m_strings.constFind(utf8);
        if (it == m_strings.constEnd())
            it = m_strings.insert(QByteArray(utf8.constData(), utf8.size()), QString::fromUtf8(utf8));
        return it.value();
    }

private:
    QHash<QByteArray, QString> m_strings;
};

template <typename Value> using RowsById = std::vector<std::pair<qint64, Value>>;

template <typename Value, typename Read> RowsById<Value> loadRowsById(sqlite3* db, const char* sql, Read read)
{
    RowsById<Value> rows;
    SqliteStatement query(db, sql);
    while (query.next())
        rows.emplace_back(query.int64(0), read(query));
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return rows;
}

template <typename Value> QVector<Value> rowsFor(const RowsById<Value>& rows, qint64 id)
{
    QVector<Value> values;
    auto it =
        std::lower_bound(rows.begin(), rows.end(), id, [](const auto& row, qint64 key) { return row.first < key; });
    for (; it != rows.end() && it->first == id; ++it)
        values.append(it->second);
    return values;
}

} // namespace

MibDatabase::MibDatabase()
    : m_connection(nextConnectionName())
    , m_db(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection))
{
}

MibDatabase::~MibDatabase()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

void MibDatabase::setFileName(const QString& fileName)
{
    m_fileName = fileName;
}

QString MibDatabase::fileName() const
{
    return m_fileName;
}

int MibDatabase::check(int* major, int* minor)
{
    if (!QFileInfo::exists(m_fileName))
        return Missing;
    m_db.close();
    m_db.setDatabaseName(m_fileName);
    m_db.setConnectOptions(QLatin1String(readOnlyOption));
    if (!m_db.open()) {
        qCWarning(lcMib) << "cannot open the MIB database" << m_fileName << m_db.lastError().text();
        return Damaged;
    }
    int format = 0;
    int versionMajor = 0;
    int versionMinor = 0;
    const bool hasVersion = readVersion(&format, &versionMajor, &versionMinor);
    m_db.close();
    if (!hasVersion)
        return Damaged;
    if (major)
        *major = versionMajor;
    if (minor)
        *minor = versionMinor;
    return format == SupportedFormat ? Usable : Unsupported;
}

int MibDatabase::open(bool readOnly)
{
    m_db.close();
    m_db.setDatabaseName(m_fileName);
    m_db.setConnectOptions(readOnly ? QLatin1String(readOnlyOption) : QString());
    if (!m_db.open()) {
        qCWarning(lcMib) << "cannot open the MIB database" << m_fileName << m_db.lastError().text();
        return Damaged;
    }

    int format = 0;
    int major = 0;
    int minor = 0;
    if (!readVersion(&format, &major, &minor)) {
        // SQLite opens any file lazily; a file that is not a database shows itself only
        // when it is read. Reporting it usable would create nothing and show an empty tree.
        QSqlQuery probe(m_db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            qCWarning(lcMib) << "not a MIB database:" << m_fileName << probe.lastError().text();
            m_db.close();
            return Damaged;
        }
    }
    if (format != 0 && format != SupportedFormat) {
        m_db.close();
        return Unsupported;
    }
    if (format == 0 && !readOnly) {
        // One transaction: the schema is there whole or not at all, and it is synced once.
        m_db.transaction();
        QSqlQuery query(m_db);
        for (const QString& statement : schemaStatements())
            query.exec(statement);
        writeVersion(SupportedFormat, todayVersion(), 0);
        m_db.commit();
    }
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    return Usable;
}

void MibDatabase::close()
{
    m_db.close();
}

bool MibDatabase::isOpen() const
{
    return m_db.isOpen();
}

bool MibDatabase::readVersion(int* format, int* major, int* minor) const
{
    *format = 0;
    *major = 0;
    *minor = 0;
    if (!m_db.isOpen())
        return false;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT format, major, minor FROM db_version WHERE id = 1")) || !query.exec() ||
        !query.next())
        return false;
    *format = query.value(0).toInt();
    *major = query.value(1).toInt();
    *minor = query.value(2).toInt();
    return true;
}

void MibDatabase::writeVersion(int format, int major, int minor)
{
    QSqlQuery(m_db).exec(
        QStringLiteral("INSERT OR REPLACE INTO db_version (id, format, major, minor) VALUES (1, %1, %2, %3)")
            .arg(format)
            .arg(major)
            .arg(minor));
}

QVector<OidPtr> MibDatabase::loadNodes() const
{
    QVector<OidPtr> nodes;
    if (!m_db.isOpen())
        return nodes;
    // The whole table is read in one pass through SQLite's own interface: the generic SQL
    // layer costs a variant per column, which dominates the load of a large database.
    const SqliteFile file(m_db.databaseName(), SqliteFile::Mode::ReadOnly);
    sqlite3* db = file.handle();
    if (!db) {
        qCWarning(lcMib) << "cannot read the MIB database" << m_db.databaseName() << file.errorString();
        return nodes;
    }

    StringPool modules;
    SqliteStatement query(db, "SELECT id, name, number, access, type, module, filename, last_updated, description, "
                              "parent_id FROM node");
    while (query.next()) {
        auto oid = std::make_shared<Oid>();
        oid->id = query.int64(0);
        oid->name = query.text(1);
        oid->number = query.int32(2);
        oid->access = Oid::accessFromCode(query.int64(3));
        oid->type = Oid::typeFromCode(query.int64(4));
        oid->module = modules.get(query.rawText(5));
        oid->filename = modules.get(query.rawText(6));
        const qint64 lastUpdated = query.int64(7);
        if (lastUpdated != 0 && lastUpdated <= maxEpochSeconds && lastUpdated >= -maxEpochSeconds)
            oid->lastUpdated = QDateTime::fromSecsSinceEpoch(lastUpdated, Qt::UTC);
        oid->description = query.bytes(8);
        oid->parentId = query.int64(9);
        nodes.append(std::move(oid));
    }

    const auto enums =
        loadRowsById<Oid::EnumValue>(db, "SELECT node_id, label, value FROM enum", [](const SqliteStatement& q) {
            return Oid::EnumValue{q.text(1), q.int64(2)};
        });
    const auto ranges =
        loadRowsById<Oid::Range>(db, "SELECT node_id, low, high FROM range", [](const SqliteStatement& q) {
            return Oid::Range{q.int64(1), q.int64(2)};
        });
    if (enums.empty() && ranges.empty())
        return nodes;
    for (const OidPtr& oid : qAsConst(nodes)) {
        if (!enums.empty()) {
            oid->enums = rowsFor(enums, oid->id);
            std::sort(oid->enums.begin(), oid->enums.end(),
                      [](const Oid::EnumValue& a, const Oid::EnumValue& b) { return a.value < b.value; });
        }
        if (!ranges.empty()) {
            oid->ranges = rowsFor(ranges, oid->id);
            for (Oid::Range& range : oid->ranges)
                range = Oid::widenedRange(oid->type, range.low, range.high);
            std::sort(oid->ranges.begin(), oid->ranges.end(),
                      [](const Oid::Range& a, const Oid::Range& b) { return a.low < b.low; });
        }
    }
    return nodes;
}

QStringList MibDatabase::schemaStatements()
{
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS node ( \nid INTEGER PRIMARY KEY,\nname TEXT NOT NULL, \n"
                       "number INTEGER NOT NULL, \naccess INTEGER NOT NULL, \ntype INTEGER NOT NULL, \nmodule TEXT, \n"
                       "filename TEXT, \nlast_updated INTEGER, \ndescription TEXT, \nparent_id INTEGER, \n"
                       "FOREIGN KEY (parent_id) REFERENCES node(id) ON DELETE CASCADE)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS enum ( \nnode_id INTEGER NOT NULL, \nlabel TEXT NOT NULL, \n"
                       "value INTEGER NOT NULL,FOREIGN KEY (node_id) REFERENCES node(id) ON DELETE CASCADE)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS range ( \nnode_id INTEGER NOT NULL, \nlow INTEGER NOT NULL, \n"
                       "high INTEGER NOT NULL,FOREIGN KEY (node_id) REFERENCES node(id) ON DELETE CASCADE)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS db_version ( \nid INTEGER NOT NULL UNIQUE, \n"
                       "format INTEGER NOT NULL, \nmajor INTEGER NOT NULL, \nminor INTEGER NOT NULL)"),
    };
}

int MibDatabase::todayVersion()
{
    const QDate today = QDateTime::currentDateTimeUtc().date();
    return today.year() * 10000 + today.month() * 100 + today.day();
}
