#include "MibTestDb.h"

#include "mib/MibDatabase.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <algorithm>

namespace MibTestDb {

namespace {

template <typename Work> bool withConnection(const QString& path, Work work)
{
    const QString connection = QStringLiteral("MibTestDb");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (db.open()) {
            db.transaction();
            ok = work(db);
            db.commit();
            db.close();
        } else {
            qWarning() << "cannot open" << path << db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

// Prepares the statement once and runs it with each row of values.
bool run(QSqlDatabase& db, const QString& sql, const QVector<QVariantList>& rows = {{}})
{
    QSqlQuery query(db);
    query.prepare(sql);
    for (const QVariantList& row : rows) {
        for (const QVariant& value : row)
            query.addBindValue(value);
        if (!query.exec()) {
            qWarning() << sql << query.lastError().text();
            return false;
        }
    }
    return true;
}

} // namespace

QVector<Node> parse(const QString& text, const QString& module)
{
    QVector<Node> nodes;
    for (const QString& item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList f = item.simplified().split(QLatin1Char(' '));
        if (f.size() < 4)
            continue;
        Node n;
        n.id = f[0].toLongLong();
        n.parentId = f[1] == QLatin1String("-") ? QVariant() : QVariant(f[1].toLongLong());
        n.name = f[2];
        n.number = f[3].toInt();
        n.type = f.value(4, QStringLiteral("0")).toInt();
        n.access = f.value(5, QStringLiteral("0")).toInt();
        n.module = module.isEmpty() ? QVariant() : QVariant(module);
        nodes << n;
    }
    return nodes;
}

bool exec(const QString& path, const QStringList& statements)
{
    return withConnection(path, [&statements](QSqlDatabase& db) {
        return std::all_of(statements.begin(), statements.end(), [&db](const QString& s) { return run(db, s); });
    });
}

bool create(const QString& path, const QVector<Node>& nodes, const QVector<Enum>& enums, const QVector<Range>& ranges,
            int format, int major, int minor)
{
    QVector<QVariantList> nodeRows, enumRows, rangeRows;
    for (const Node& n : nodes)
        nodeRows.append(
            {n.id, n.name, n.number, n.access, n.type, n.module, n.filename, n.lastUpdated, n.description, n.parentId});
    for (const Enum& e : enums)
        enumRows.append({e.nodeId, e.label, e.value});
    for (const Range& r : ranges)
        rangeRows.append({r.nodeId, r.low, r.high});
    return withConnection(path, [&](QSqlDatabase& db) {
        const QStringList schema = MibDatabase::schemaStatements();
        return std::all_of(schema.begin(), schema.end(), [&db](const QString& s) { return run(db, s); }) &&
               (format < 0 || run(db,
                                  QStringLiteral("INSERT INTO db_version (id, format, major, minor) "
                                                 "VALUES (1, ?, ?, ?)"),
                                  {{format, major, minor}})) &&
               run(db,
                   QStringLiteral("INSERT INTO node (id, name, number, access, type, module, filename, last_updated, "
                                  "description, parent_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   nodeRows) &&
               run(db, QStringLiteral("INSERT INTO enum (node_id, label, value) VALUES (?, ?, ?)"), enumRows) &&
               run(db, QStringLiteral("INSERT INTO range (node_id, low, high) VALUES (?, ?, ?)"), rangeRows);
    });
}

QVector<Node> sampleNodes()
{
    QVector<Node> nodes =
        parse(QStringLiteral(
                  "1 - iso 1; 2 1 org 3; 3 2 dod 6; 4 3 internet 1; 5 4 mgmt 2; 6 5 mib-2 1; 7 6 system 1;"
                  "8 7 sysDescr 1 2 18; 9 7 sysObjectID 2 1 18; 10 7 sysName 5 2 19; 11 6 interfaces 2;"
                  "12 11 ifNumber 1 16 18; 13 11 ifTable 2 0 21; 14 13 ifEntry 1 0 21; 15 14 ifIndex 1 16 18;"
                  "16 14 ifDescr 2 2 18; 17 4 private 4; 18 17 enterprises 1; 19 18 vendorTrap 7 21 67; 20 4 snmpV2 6"),
              QStringLiteral("SAMPLE-MIB"));
    nodes[7].description = QStringLiteral("A textual description of the entity.");
    nodes[9].description = QStringLiteral("An administratively-assigned name for this managed node.");
    return nodes;
}

} // namespace MibTestDb
