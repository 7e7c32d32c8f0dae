#pragma once

#include "snmp/SnmpOidUtils.h"

#include <QList>
#include <QString>

// The referee of a walk of one subtree by GETNEXT or GETBULK: judges each answer against
// the walk's root and the OID the request asked, and says how many of its values are rows
// of the walk, whether the walk goes on, from which OID, and why it ends. One place for
// the rules, so that the main window's walk, the index listing and the column walks end
// alike; each caller decides what it shows for a reason.
class SubtreeWalk final
{
public:
    enum Reason
    {
        GoesOn,      // every value is a row; ask again from next
        NoAnswer,    // the request failed, or the answer is empty
        EndOfView,   // an exception value: endOfMibView, noSuchObject, noSuchInstance
        LeftSubtree, // a value beyond the root
        OutOfOrder,  // a value that does not come after the one before it (a repeat, a step back)
        BackToFirst  // out of order by returning to the walk's first row
    };

    struct Step
    {
        int rows = 0;             // the answer's leading values that are rows of the walk
        Reason reason = NoAnswer; // why the values after them are not
        QString next;             // the OID to ask next: the last row's, or the one asked
    };

    explicit SubtreeWalk(const QString& root);

    // The OID of the walk's first row; empty until there is one.
    QString firstRow() const { return m_firstRow; }

    // Judges the answer to a request that asked for asked. The values are checked in order,
    // each against the one before it (the first against asked): an exception value, then
    // the order, then the subtree.
    Step judge(const QString& asked, const QList<SnmpOidUtils::OidValue>& answer, bool failed = false);

    // Whether oid lies below root: root plus a dot starts it, so 1.3.6.1.2.1.10 is not below
    // 1.3.6.1.2.1.1.
    static bool isInside(const QString& root, const QString& oid);

private:
    QString m_root;
    QString m_firstRow;
};
