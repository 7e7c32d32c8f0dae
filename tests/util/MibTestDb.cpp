#include "MibTestDb.h"

#include "mib/MibDatabase.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace MibTestDb {

namespace {

// Runs each statement, with each of its rows of values, in one transaction.
bool run(const QString& path, const QVector<QPair<QString, QVector<QVariantList>>>& statements)
{
    const QString connection = QStringLiteral("MibTestDb");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open() && db.transaction();
        QSqlQuery query(db);
        for (const auto& statement : statements) {
            ok = ok && query.prepare(statement.first);
            for (const QVariantList& row : statement.second) {
                for (const QVariant& value : row)
                    query.addBindValue(value);
                ok = ok && query.exec();
            }
            if (!ok) {
                qWarning() << path << statement.first << query.lastError().text() << db.lastError().text();
                break;
            }
        }
        ok = db.commit() && ok;
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
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
    QVector<QPair<QString, QVector<QVariantList>>> list;
    for (const QString& statement : statements)
        list.append({statement, {{}}});
    return run(path, list);
}

bool create(const QString& path, const QVector<Node>& nodes, const QVector<Enum>& enums, const QVector<Range>& ranges,
            int format, int major, int minor)
{
    QVector<QPair<QString, QVector<QVariantList>>> list;
    for (const QString& statement : MibDatabase::schemaStatements())
        list.append({statement, {{}}});
    if (format >= 0)
        list.append({QStringLiteral("INSERT INTO db_version VALUES (1, ?, ?, ?)"), {{format, major, minor}}});
    list.append({QStringLiteral("INSERT INTO node (id, name, number, access, type, module, filename, last_updated, "
                                "description, parent_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 {}});
    for (const Node& n : nodes)
        list.last().second.append(
            {n.id, n.name, n.number, n.access, n.type, n.module, n.filename, n.lastUpdated, n.description, n.parentId});
    list.append({QStringLiteral("INSERT INTO enum VALUES (?, ?, ?)"), {}});
    for (const Enum& e : enums)
        list.last().second.append({e.nodeId, e.label, e.value});
    list.append({QStringLiteral("INSERT INTO range VALUES (?, ?, ?)"), {}});
    for (const Range& r : ranges)
        list.last().second.append({r.nodeId, r.low, r.high});
    return run(path, list);
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
