#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Writes MIB database files for tests, on a connection of its own so that the program's
// default connection stays untouched.
namespace MibTestDb {

struct Node
{
    QVariant id;
    QVariant parentId; // null or 0: top level
    QVariant name;
    QVariant number;
    QVariant access = 0;
    QVariant type = 0;
    QVariant module;
    QVariant filename;
    QVariant lastUpdated;
    QVariant description;
};

struct Enum
{
    qint64 nodeId;
    QString label;
    qint64 value;
};

struct Range
{
    qint64 nodeId;
    qint64 low;
    qint64 high;
};

// Nodes from "id parent name number [type access]" items separated by ';'; a parent of '-' is null.
QVector<Node> parse(const QString& text, const QString& module = {});
// Runs statements on the file (created when missing); false with a warning on the first failure.
bool exec(const QString& path, const QStringList& statements);
// A database with the program's schema, a version row (unless format < 0) and the rows.
bool create(const QString& path, const QVector<Node>& nodes, const QVector<Enum>& enums = {},
            const QVector<Range>& ranges = {}, int format = 1, int major = 20240101, int minor = 0);
// A small MIB: iso.org.dod.internet with mgmt.mib-2.system (sysDescr, sysObjectID, sysName),
// interfaces.ifTable.ifEntry (ifIndex, ifDescr), private.enterprises and a notification.
QVector<Node> sampleNodes();

} // namespace MibTestDb
