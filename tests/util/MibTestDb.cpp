#include "MibTestDb.h"

#include "MibDatabase.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace MibTestDb {

namespace {

const QString connectionName = QStringLiteral("MibTestDb");

template <typename Work>
bool withConnection(const QString& path, Work work)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
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
    QSqlDatabase::removeDatabase(connectionName);
    return ok;
}

bool run(QSqlQuery& query)
{
    if (query.exec())
        return true;
    qWarning() << query.lastQuery() << query.lastError().text();
    return false;
}

} // namespace

bool exec(const QString& path, const QStringList& statements)
{
    return withConnection(path, [&statements](QSqlDatabase& db) {
        for (const QString& statement : statements) {
            QSqlQuery query(db);
            query.prepare(statement);
            if (!run(query))
                return false;
        }
        return true;
    });
}

bool create(const QString& path, const QVector<Node>& nodes, const QVector<Enum>& enums,
            const QVector<Range>& ranges, int format, int major, int minor)
{
    return withConnection(path, [&](QSqlDatabase& db) {
        for (const QString& statement : MibDatabase::schemaStatements()) {
            QSqlQuery query(db);
            query.prepare(statement);
            if (!run(query))
                return false;
        }
        QSqlQuery query(db);
        if (format >= 0) {
            query.prepare(QStringLiteral("INSERT INTO db_version (id, format, major, minor) VALUES (1, ?, ?, ?)"));
            query.addBindValue(format);
            query.addBindValue(major);
            query.addBindValue(minor);
            if (!run(query))
                return false;
        }
        query.prepare(QStringLiteral("INSERT INTO node (id, name, number, access, type, module, filename, "
                                     "last_updated, description, parent_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const Node& node : nodes) {
            query.addBindValue(node.id);
            query.addBindValue(node.name);
            query.addBindValue(node.number);
            query.addBindValue(node.access);
            query.addBindValue(node.type);
            query.addBindValue(node.module);
            query.addBindValue(node.filename);
            query.addBindValue(node.lastUpdated);
            query.addBindValue(node.description);
            query.addBindValue(node.parentId);
            if (!run(query))
                return false;
        }
        query.prepare(QStringLiteral("INSERT INTO enum (node_id, label, value) VALUES (?, ?, ?)"));
        for (const Enum& row : enums) {
            query.addBindValue(row.nodeId);
            query.addBindValue(row.label);
            query.addBindValue(row.value);
            if (!run(query))
                return false;
        }
        query.prepare(QStringLiteral("INSERT INTO range (node_id, low, high) VALUES (?, ?, ?)"));
        for (const Range& row : ranges) {
            query.addBindValue(row.nodeId);
            query.addBindValue(row.low);
            query.addBindValue(row.high);
            if (!run(query))
                return false;
        }
        return true;
    });
}

QVector<Node> sampleNodes()
{
    auto node = [](qint64 id, qint64 parent, const char* name, int number, int type = 0, int access = 0) {
        Node n;
        n.id = id;
        n.parentId = parent == 0 ? QVariant() : QVariant(parent);
        n.name = QString::fromLatin1(name);
        n.number = number;
        n.type = type;
        n.access = access;
        n.module = QStringLiteral("SAMPLE-MIB");
        return n;
    };
    QVector<Node> nodes = {
        node(1, 0, "iso", 1),
        node(2, 1, "org", 3),
        node(3, 2, "dod", 6),
        node(4, 3, "internet", 1),
        node(5, 4, "mgmt", 2),
        node(6, 5, "mib-2", 1),
        node(7, 6, "system", 1),
        node(8, 7, "sysDescr", 1, 2, 18),
        node(9, 7, "sysObjectID", 2, 1, 18),
        node(10, 7, "sysName", 5, 2, 19),
        node(11, 6, "interfaces", 2),
        node(12, 11, "ifNumber", 1, 16, 18),
        node(13, 11, "ifTable", 2, 0, 21),
        node(14, 13, "ifEntry", 1, 0, 21),
        node(15, 14, "ifIndex", 1, 16, 18),
        node(16, 14, "ifDescr", 2, 2, 18),
        node(17, 4, "private", 4),
        node(18, 17, "enterprises", 1),
        node(19, 18, "vendorTrap", 7, 21, 67),
        node(20, 4, "snmpV2", 6),
    };
    nodes[7].description = QStringLiteral("A textual description of the entity.");
    nodes[9].description = QStringLiteral("An administratively-assigned name for this managed node.");
    return nodes;
}

} // namespace MibTestDb
