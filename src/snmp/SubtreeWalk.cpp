#include "snmp/SubtreeWalk.h"

#include "mib/Oid.h"

SubtreeWalk::SubtreeWalk(const QString& root)
    : m_root(root)
{
}

bool SubtreeWalk::isInside(const QString& root, const QString& oid)
{
    return oid.size() > root.size() && oid.at(root.size()) == QLatin1Char('.') && oid.startsWith(root);
}

SubtreeWalk::Step SubtreeWalk::judge(const QString& asked, const QList<SnmpOidUtils::OidValue>& answer, bool failed)
{
    Step step;
    step.next = asked;
    if (failed || answer.isEmpty())
        return step;
    for (const SnmpOidUtils::OidValue& value : answer) {
        if (value.isException()) {
            step.reason = EndOfView;
            return step;
        }
        // Each value must lie beyond the one it follows; an agent that repeats an OID, goes
        // back or returns to the first row would otherwise be asked the same thing forever.
        if (!OidPath::follows(value.oid, step.next)) {
            step.reason = !m_firstRow.isEmpty() && value.oid == m_firstRow ? BackToFirst : OutOfOrder;
            return step;
        }
        if (!isInside(m_root, value.oid)) {
            step.reason = LeftSubtree;
            return step;
        }
        if (m_firstRow.isEmpty())
            m_firstRow = value.oid;
        step.next = value.oid;
        ++step.rows;
    }
    step.reason = GoesOn;
    return step;
}
