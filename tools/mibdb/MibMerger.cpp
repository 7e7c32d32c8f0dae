#include "MibMerger.h"

#include "mib/MibDatabase.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

// Numeric paths ("1.3.6.1") of records whose parents precede them.
QStringList pathsOf(const QVector<MibNodeRecord>& nodes)
{
    QStringList paths;
    paths.reserve(nodes.size());
    for (const MibNodeRecord& node : nodes) {
        const QString number = QString::number(node.number);
        paths << (node.parentIndex < 0 ? number : paths.at(node.parentIndex) + QLatin1Char('.') + number);
    }
    return paths;
}

bool sameDefinition(const MibNodeRecord& a, const MibNodeRecord& b)
{
    auto sameEnums = [](const MibNodeRecord::EnumValue& x, const MibNodeRecord::EnumValue& y) {
        return x.label == y.label && x.value == y.value;
    };
    auto sameRanges = [](const MibNodeRecord::Range& x, const MibNodeRecord::Range& y) {
        return x.low == y.low && x.high == y.high;
    };
    return a.name == b.name && a.type == b.type && a.access == b.access && a.module == b.module &&
           a.filename == b.filename && a.lastUpdated == b.lastUpdated && a.description == b.description &&
           std::equal(a.enums.cbegin(), a.enums.cend(), b.enums.cbegin(), b.enums.cend(), sameEnums) &&
           std::equal(a.ranges.cbegin(), a.ranges.cend(), b.ranges.cbegin(), b.ranges.cend(), sameRanges);
}

} // namespace

bool MibMerger::load(const QString& fileName)
{
    MibDatabase database;
    database.setFileName(fileName);
    int format = 0;
    const int status = database.check();
    if (status != MibDatabase::Usable || database.open(true) != MibDatabase::Usable ||
        !database.readVersion(&format, &m_major, &m_minor)) {
        m_error = status == MibDatabase::Missing ? QStringLiteral("%1: no such file").arg(fileName)
                                                 : QStringLiteral("%1: not a MIB database this program reads "
                                                                  "(status %2)")
                                                       .arg(fileName)
                                                       .arg(status);
        return false;
    }

    QSqlQuery query(database.database());
    query.setForwardOnly(true);
    QHash<qint64, int> byId;
    QVector<qint64> parentIds;
    query.exec(QStringLiteral("SELECT id, parent_id, name, number, type, access, module, filename, last_updated, "
                              "description FROM node ORDER BY id"));
    while (query.next()) {
        MibNodeRecord record;
        record.id = query.value(0).toLongLong();
        parentIds << (query.value(1).isNull() ? 0 : query.value(1).toLongLong());
        record.name = query.value(2).toString();
        record.number = query.value(3).toLongLong();
        record.type = query.value(4).toInt();
        record.access = query.value(5).toInt();
        record.module = query.value(6).toString();
        record.filename = query.value(7).toString();
        record.lastUpdated = query.value(8).toLongLong();
        record.description = query.value(9).toString();
        byId.insert(record.id, m_nodes.size());
        m_nodes << record;
    }
    query.exec(QStringLiteral("SELECT node_id, label, value FROM enum ORDER BY rowid"));
    while (query.next()) {
        const int index = byId.value(query.value(0).toLongLong(), -1);
        if (index >= 0)
            m_nodes[index].enums.append({query.value(1).toString(), query.value(2).toLongLong()});
    }
    query.exec(QStringLiteral("SELECT node_id, low, high FROM range ORDER BY rowid"));
    while (query.next()) {
        const int index = byId.value(query.value(0).toLongLong(), -1);
        if (index >= 0)
            m_nodes[index].ranges.append({query.value(1).toLongLong(), query.value(2).toLongLong()});
    }
    // Rows come parent first, as the builder writes them and as merges append them.
    for (int i = 0; i < m_nodes.size(); ++i) {
        m_nodes[i].parentIndex = parentIds.at(i) ? byId.value(parentIds.at(i), i) : -1;
        if (m_nodes.at(i).parentIndex >= i) {
            m_error = QStringLiteral("%1: node %2 has no parent before it").arg(fileName).arg(m_nodes.at(i).id);
            return false;
        }
    }
    return true;
}

void MibMerger::merge(const QVector<MibNodeRecord>& compiled, const QVector<ModuleReport>& modules)
{
    QHash<QString, bool> added; // module -> compiled without problems
    for (const ModuleReport& module : modules) {
        if (!module.searched && module.nodeCount > 0)
            added.insert(module.name, !module.hasProblems());
    }
    const QStringList existingPaths = pathsOf(m_nodes);
    const QStringList compiledPaths = pathsOf(compiled);
    QHash<QString, int> existing;
    for (int i = 0; i < existingPaths.size(); ++i)
        existing.insert(existingPaths.at(i), i);

    // Children come after their parents: walking backwards marks every missing ancestor.
    QVector<bool> take(compiled.size(), false);
    for (int i = compiled.size() - 1; i >= 0; --i) {
        if (existing.contains(compiledPaths.at(i)))
            continue;
        take[i] = take.at(i) || added.contains(compiled.at(i).module);
        if (take.at(i) && compiled.at(i).parentIndex >= 0)
            take[compiled.at(i).parentIndex] = true;
    }

    qint64 nextId = 0;
    for (const MibNodeRecord& node : qAsConst(m_nodes))
        nextId = std::max(nextId, node.id);
    QVector<int> placed(compiled.size(), -1);
    for (int i = 0; i < compiled.size(); ++i) {
        MibNodeRecord record = compiled.at(i);
        const int at = existing.value(compiledPaths.at(i), -1);
        if (at >= 0) {
            placed[i] = at;
            MibNodeRecord& row = m_nodes[at];
            if (added.contains(record.module) && row.module == record.module && !sameDefinition(row, record)) {
                record.id = row.id;
                record.parentIndex = row.parentIndex;
                row = record;
                ++m_updated;
            }
        } else if (take.at(i)) {
            record.id = ++nextId;
            record.parentIndex = record.parentIndex < 0 ? -1 : placed.at(record.parentIndex);
            placed[i] = m_nodes.size();
            m_nodes << record;
            ++m_added;
        }
    }

    // Rows an added module no longer defines, deepest first, so that a parent whose children
    // all go can go too.
    const QSet<QString> stillDefined(compiledPaths.cbegin(), compiledPaths.cend());
    QVector<int> children(m_nodes.size(), 0);
    for (const MibNodeRecord& node : qAsConst(m_nodes)) {
        if (node.parentIndex >= 0)
            ++children[node.parentIndex];
    }
    QVector<int> candidates;
    for (int i = 0; i < existingPaths.size(); ++i) {
        if (added.value(m_nodes.at(i).module) && !stillDefined.contains(existingPaths.at(i)))
            candidates << i;
    }
    std::sort(candidates.begin(), candidates.end(), [&existingPaths](int a, int b) {
        return existingPaths.at(a).count(QLatin1Char('.')) > existingPaths.at(b).count(QLatin1Char('.'));
    });
    QVector<bool> gone(m_nodes.size(), false);
    for (const int i : qAsConst(candidates)) {
        if (children.at(i) > 0)
            continue;
        gone[i] = true;
        ++m_removed;
        if (m_nodes.at(i).parentIndex >= 0)
            --children[m_nodes.at(i).parentIndex];
    }
    if (m_removed == 0)
        return;
    QVector<int> newIndex(m_nodes.size(), -1);
    QVector<MibNodeRecord> kept;
    for (int i = 0; i < m_nodes.size(); ++i) {
        if (gone.at(i))
            continue;
        newIndex[i] = kept.size();
        kept << m_nodes.at(i);
        if (kept.last().parentIndex >= 0)
            kept.last().parentIndex = newIndex.at(kept.last().parentIndex);
    }
    m_nodes = kept;
}
