#pragma once

#include <QString>
#include <QVector>

// One node of the compiled object-identifier tree as it goes into MIB.db. Records come
// in depth-first pre-order; a node's parent always precedes it.
struct MibNodeRecord
{
    struct EnumValue
    {
        QString label;
        qint64 value = 0;
    };

    struct Range
    {
        qint64 low = 0;
        qint64 high = 0;
    };

    int parentIndex = -1; // index into the same list; -1 for the root
    qint64 id = 0;        // the row id to keep; 0: numbered by position in the list
    QString name;
    qint64 number = 0; // sub-identifiers are unsigned 32-bit
    int type = 0;      // net-snmp's TYPE_* code
    int access = 0;    // net-snmp's MIB_ACCESS_* code
    QString module;
    QString filename;
    qint64 lastUpdated = 0; // seconds since the epoch, UTC; 0 when unknown
    QString description;
    QVector<EnumValue> enums;
    QVector<Range> ranges;
};
